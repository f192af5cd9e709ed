#pragma once

// The workbook report: the worker that drives the spreadsheet application
// (Excel through COM on Windows, the built-in engine everywhere) to build the
// "PET'S DATA REPORT" sheet and a chart sheet per session, then save it.

#include <atomic>
#include <memory>
#include <string>

#include "activity/ChartSeries.h"
#include "activity/PetInfo.h"
#include "activity/SessionTable.h"
#include "automation/AutomationServer.h"
#include "automation/ExcelAutomation.h"
#include "engine/SpreadsheetEngine.h"

namespace yelvane {

inline constexpr const char* kReportSheetName = "PET'S DATA REPORT";
inline constexpr const char* kReportFont = "Lucida Sans Unicode";
// Rows written per session sheet; borders and the chart still span them all.
inline constexpr int kMaxChartRows = 2000;

// 1 when the application's version is 12.0 or later; set by each run.
extern std::atomic<int> g_bExcel12;

// What the saving dialog shows while an export runs. The GUI implements it
// with blocking calls to the UI thread; the command-line tool on a terminal.
class SaveObserver {
 public:
  virtual ~SaveObserver() = default;
  virtual void SetProgress(int percent) = 0;
  virtual void SetStatus(const std::string& text) = 0;
  // The export has ended: the dialog closes.
  virtual void End() = 0;
};

// The application this platform offers: Excel through COM on Windows, the
// built-in engine elsewhere.
std::unique_ptr<AutomationServer> MakeAutomationServer(EngineOptions options = {});

struct WorkbookJob {
  std::string path;  // the file to write (.xls, or .xlsx)
  bool plot = true;  // a chart sheet per session
  PetInfo pet;
  const SessionTable* table = nullptr;
  std::string dumpPath = "tmp.bin";    // the memory dump the series come from
  std::atomic<int>* saving = nullptr;  // the dialog's busy flag, cleared at the end
};

// The worker. Returns 1 when it ran to the end (the file is saved unless
// SaveAs failed, see `saved`), 0 when it stopped early without writing.
int BuildWorkbook(const WorkbookJob& job, AutomationServer& server, CExcelAutomation& excel,
                  SaveObserver& observer, bool* saved = nullptr);

void FormatSheet(CExcelAutomation& excel, Dispatch* application, Dispatch* sheet,
                 const std::string& name);

void AddSessionChart(CExcelAutomation& excel, Dispatch* application, Dispatch* workbook,
                     Dispatch* sheet, const ChartSeries& series, const std::string& chartTitle,
                     int session, const std::string& sheetName, int top);

}  // namespace yelvane
