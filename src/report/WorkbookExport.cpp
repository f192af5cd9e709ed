#include "report/WorkbookExport.h"

#include <cctype>
#include <cstdio>
#include <filesystem>

#include "activity/FlashReport.h"
#include "activity/SessionRecord.h"
#include "common/Format.h"
#include "common/NoCase.h"
#include "common/StderrLog.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace yelvane {

namespace {

class StderrErrors final : public MessageSink {
 public:
  explicit StderrErrors(TerminalSaveObserver& observer) : observer_(observer) {}
  void ShowMessage(const std::string& text, MessageIcon) override {
    observer_.ClearLine();
    std::fprintf(stderr, "Error: %s\n", text.c_str());
  }
  bool AskYesNo(const std::string&, const std::string&) override { return false; }

 private:
  TerminalSaveObserver& observer_;
};

}  // namespace

bool IsWorkbookPath(const std::string& path) {
  const std::string ext = LowerExtension(path);
  return ext == ".xls" || ext == ".xlsx";
}

TerminalSaveObserver::TerminalSaveObserver() {
#ifndef _WIN32
  tty_ = isatty(2) != 0;
#else
  tty_ = false;
#endif
}

void TerminalSaveObserver::SetProgress(int percent) {
  percent_ = percent;
  Draw();
}

void TerminalSaveObserver::SetStatus(const std::string& text) {
  status_ = text;
  Draw();
}

void TerminalSaveObserver::End() {
  ClearLine();
}

void TerminalSaveObserver::ClearLine() {
  if (tty_) std::fprintf(stderr, "\r\033[K");
}

void TerminalSaveObserver::Draw() {
  if (!tty_) return;
  std::fprintf(stderr, "\r\033[KSaving... %3d%%  %s", percent_, status_.c_str());
  std::fflush(stderr);
}

int RunWorkbookReportCommand(const std::string& dumpPath, const std::string& output,
                             const PetInfo& pet, bool charts) {
  TerminalSaveObserver observer;
  StderrErrors messages(observer);
  EngineOptions options;
  options.diagnostic = [&observer](const std::string& text) {
    observer.ClearLine();
    std::fprintf(stderr, "Error: %s\n", text.c_str());
  };
  EngineAutomationServer server(options);
  // Say what cannot be done before doing anything.
  if (const std::string problem = server.CheckTarget(output); !problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    return 1;
  }

  std::error_code ec;
  const auto size = std::filesystem::file_size(dumpPath, ec);
  if (!ec && size < kDumpSize) {
    std::fprintf(stderr,
                 "Warning: the dump has %llu bytes instead of %zu; the missing bytes read as 0.\n",
                 static_cast<unsigned long long>(size), kDumpSize);
  }
  MemorySessionTable table;
  StderrLog log;
  NullProgress progress;
  NullMessages none;
  if (ReportFlashData(dumpPath, table, log, progress, none) != 1) {
    std::fprintf(stderr, "File Open Error!\n");
    return 1;
  }

  // Every session gets its chart sheet; LibreOffice's conversion to the
  // 97-2003 format grows slow and memory-hungry with hundreds of them.
  if (charts && table.RowCount() > 256 && LowerExtension(output) == ".xls") {
    std::fprintf(stderr,
                 "Warning: converting %d chart sheets to the 97-2003 format (.xls) takes long and "
                 "much memory; .xlsx is written in seconds.\n",
                 table.RowCount());
  }
  WorkbookJob job;
  job.path = output;
  job.plot = charts;
  job.pet = pet;
  job.table = &table;
  job.dumpPath = dumpPath;
  CExcelAutomation excel(messages);
  bool saved = false;
  BuildWorkbook(job, server, excel, observer, &saved);
  if (!saved) {
    std::fprintf(stderr, "The workbook report was not saved to \"%s\".\n", output.c_str());
    return 1;
  }
  std::fprintf(stderr, "Saved the workbook report of %d sessions to \"%s\".\n", table.RowCount(),
               output.c_str());
  return 0;
}

}  // namespace yelvane
