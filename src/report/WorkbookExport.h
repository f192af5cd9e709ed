#pragma once

// The workbook report without the saving dialog: the command-line tool's
// "report DUMP -o FILE.xlsx|FILE.xls". Progress goes to stderr when it is a
// terminal, the automation boxes are printed as error lines.

#include <string>

#include "activity/PetInfo.h"
#include "common/Sinks.h"
#include "report/WorkbookReport.h"

namespace yelvane {

// Whether a report path asks for a workbook (.xls or .xlsx, any case).
bool IsWorkbookPath(const std::string& path);

// Progress and status of a save on a terminal ("\r" updates on stderr);
// silent when stderr is not a terminal.
class TerminalSaveObserver final : public SaveObserver {
 public:
  TerminalSaveObserver();
  void SetProgress(int percent) override;
  void SetStatus(const std::string& text) override;
  void End() override;
  // Clears the progress line so that a message starts on a line of its own.
  void ClearLine();

 private:
  void Draw();
  bool tty_;
  int percent_ = 0;
  std::string status_;
};

// Walks the dump, builds and saves the workbook. Returns 0 when the file was
// saved, 1 otherwise (with the reason on stderr); nothing is written when
// the format cannot be produced here.
int RunWorkbookReportCommand(const std::string& dumpPath, const std::string& output,
                             const PetInfo& pet, bool charts);

}  // namespace yelvane
