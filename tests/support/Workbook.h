#pragma once

// Helpers shared by the workbook tests: a recorder for the saving dialog, the
// engine with every automation call logged, demo dumps, and readers that
// check produced workbooks with LibreOffice and openpyxl.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "activity/FlashReport.h"
#include "common/Sinks.h"
#include "engine/LibreOffice.h"
#include "report/WorkbookReport.h"
#include "sim/DemoData.h"
#include "support/Automation.h"
#include "support/Files.h"

namespace yelvane::test {

struct RecordedObserver final : SaveObserver {
  std::vector<int> progress;
  std::vector<std::string> statuses;
  int ends = 0;
  void SetProgress(int percent) override { progress.push_back(percent); }
  void SetStatus(const std::string& text) override { statuses.push_back(text); }
  void End() override { ++ends; }
};

// The engine, with every call logged.
class RecordingServer final : public AutomationServer {
 public:
  explicit RecordingServer(EngineOptions options = {}) : engine_(std::move(options)) {}
  std::string CheckTarget(const std::string& path) override { return engine_.CheckTarget(path); }
  bool LookUpClass() override { return true; }
  std::shared_ptr<Dispatch> CreateInstance() override {
    return std::make_shared<RecordingDispatch>(engine_.CreateInstance(), log);
  }
  EngineOptions& Options() { return engine_.Options(); }
  std::shared_ptr<EngineApplication> Application() const { return engine_.LastApplication(); }
  std::shared_ptr<RecordingDispatch::Log> log = std::make_shared<RecordingDispatch::Log>();

 private:
  EngineAutomationServer engine_;
};

// The workbook report of `job` through the built-in engine; true when the
// file was saved.
inline bool SaveReport(const WorkbookJob& job, MessageSink& messages, SaveObserver& observer) {
  EngineAutomationServer server;
  CExcelAutomation excel(messages);
  bool saved = false;
  BuildWorkbook(job, server, excel, observer, &saved);
  return saved;
}

inline bool HavePythonOpenpyxl() {
  return std::system("/usr/bin/python3 -c 'import openpyxl' >/dev/null 2>&1") == 0;
}

// Runs a Python snippet with the workbook path as sys.argv[1]; true when it
// exits 0. Its output goes to `output`.
inline bool RunPython(const std::string& dir, const std::string& script, const std::string& arg,
                      std::string& output) {
  const std::string scriptPath = dir + "/check.py";
  std::ofstream(scriptPath) << script;
  const std::string outPath = dir + "/check.out";
  const std::string command =
      "/usr/bin/python3 '" + scriptPath + "' '" + arg + "' >'" + outPath + "' 2>&1";
  const int status = std::system(command.c_str());
  output = ReadText(outPath);
  return status == 0;
}

// One sheet (1-based) of a workbook as CSV rows, through LibreOffice.
inline std::vector<std::vector<std::string>> SheetAsCsv(const std::string& soffice,
                                                        const std::string& workbook, int sheet,
                                                        const std::string& outDir) {
  std::string error;
  const std::string filter =
      "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,true,false,false," +
      std::to_string(sheet);
  const std::string produced =
      ConvertWithLibreOffice(soffice, workbook, filter, "csv", outDir, 120, error);
  std::vector<std::vector<std::string>> rows;
  if (produced.empty()) return rows;
  std::istringstream in(ReadText(produced));
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> cells;
    std::string cell;
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
      const char ch = line[i];
      if (quoted) {
        if (ch == '"' && i + 1 < line.size() && line[i + 1] == '"')
          cell += '"', ++i;
        else if (ch == '"')
          quoted = false;
        else
          cell += ch;
      } else if (ch == '"') {
        quoted = true;
      } else if (ch == ',') {
        cells.push_back(cell);
        cell.clear();
      } else {
        cell += ch;
      }
    }
    cells.push_back(cell);
    rows.push_back(cells);
  }
  std::filesystem::remove(produced);
  return rows;
}

// A demo dump of `sessions` sessions written to `dir`/dump.bin, and its table.
inline std::string MakeDemoDump(const std::string& dir, int sessions, MemorySessionTable& table) {
  DemoOptions options;
  options.sessions = sessions;
  const std::vector<uint8_t> dump = DumpSlice(MakeDemoMemory(options));
  const std::string path = dir + "/dump.bin";
  WriteBytes(path, dump);
  NullLog log;
  NullProgress progress;
  ReportFlashDataFromMemory(dump.data(), dump.size(), table, log, progress);
  return path;
}

}  // namespace yelvane::test
