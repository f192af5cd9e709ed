#pragma once

// The workbook report: the worker that drives the spreadsheet application
// (Excel through COM on Windows, the built-in engine everywhere) to build the
// "PET'S DATA REPORT" sheet and a chart sheet per session, then save it.
// Every step is an object-model call by name, so Excel and the engine see
// the same calls in the same order.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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
// A 97-2003 workbook (.xls) carries the sheets of the first 256 sessions
// only: beyond that LibreOffice's conversion grows slow and memory-hungry.
inline constexpr int kMaxXlsSessionSheets = 256;
// PageSetup.Orientation's landscape (xlLandscape).
inline constexpr int kLandscape = 2;
// The session chart's size in points: beside the three-column table it fits
// one landscape page (Letter or A4, the default margins) whole.
inline constexpr int kSessionChartWidth = 480;
inline constexpr int kSessionChartHeight = 320;

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
  // True once the export is no longer wanted (its window is going away): the
  // worker then stops between sessions and saves nothing.
  virtual bool Cancelled() { return false; }
};

// The application this platform offers: Excel through COM on Windows, the
// built-in engine elsewhere.
std::unique_ptr<AutomationServer> MakeAutomationServer(EngineOptions options = {});

struct WorkbookJob {
  std::string path;  // the file to write (.xls, or .xlsx)
  bool plot = true;  // a chart sheet per session
  PetInfo pet;
  const SessionTable* table = nullptr;
  std::string dumpPath = "tmp.bin";  // the memory dump the series come from
  // The dump's bytes as a read or a walk took them; when set, the series
  // come from these instead of a file that may have changed since.
  std::shared_ptr<const std::vector<uint8_t>> dump{};
  std::atomic<int>* saving = nullptr;  // the dialog's busy flag, cleared at the end
};

// How many session sheets an export to `path` of `sessions` sessions gets:
// all of them in .xlsx, at most kMaxXlsSessionSheets in .xls, none without
// the plot.
int SessionSheetCount(const std::string& path, bool plot, int sessions);

// What the user is told before such an export leaves sessions without their
// sheet; empty when every session gets its sheet. The dialog then asks
// kSessionSheetLimitQuestion (Yes goes on), the tool wants --yes.
std::string SessionSheetLimitWarning(const std::string& path, bool plot, int sessions);
inline constexpr const char* kSessionSheetLimitQuestion = "Write the .xls anyway?";

// The worker. Returns 1 when it ran to the end (the file is saved unless
// SaveAs failed, see `saved`), 0 when it stopped early without writing.
int BuildWorkbook(const WorkbookJob& job, AutomationServer& server, CExcelAutomation& excel,
                  SaveObserver& observer, bool* saved = nullptr);

// The parts of BuildWorkbook, in order, each on a workbook the application
// has made.

// The "PET'S DATA REPORT" sheet: its formats, the pet information and the
// whole session table in one block.
void BuildReportSheet(CExcelAutomation& excel, Dispatch* application, Dispatch* sheet,
                      const WorkbookJob& job, SaveObserver& observer);

// A sheet per session of the table, with its half-hour series read from the
// dump and their chart (SessionSheets.cpp). Nothing when the dump cannot be
// opened.
void AddSessionSheets(CExcelAutomation& excel, Dispatch* application, Dispatch* workbook,
                      Dispatch* worksheets, const WorkbookJob& job, SaveObserver& observer);

// SaveAs to `temporary` (with the file format the application's version
// takes), then Quit. Returns SaveAs's status.
HResult SaveAndQuit(CExcelAutomation& excel, Dispatch* application, Dispatch* workbook,
                    const std::string& target, const std::string& temporary);

// What both kinds of sheet share: the name, hidden gridlines, left
// alignment and the report's font at size 9 over all cells.
void FormatSheet(CExcelAutomation& excel, Dispatch* application, Dispatch* sheet,
                 const std::string& name);

// One font property of a range in the report's font: "Name" sets the font's
// name, any other property takes `number`; `bold` sets Bold too.
void SetFontRange(CExcelAutomation& excel, Dispatch* sheet, const char* range, const char* property,
                  int number, bool bold);

// A sheet's PageSetup: landscape, one page wide, as many pages tall as needed.
void SetPrintedLandscapeOnePageWide(MessageSink& m, Dispatch* pageSetup);

void AddSessionChart(CExcelAutomation& excel, Dispatch* application, Dispatch* workbook,
                     Dispatch* sheet, const ChartSeries& series, const std::string& chartTitle,
                     int session, const std::string& sheetName, int top);

}  // namespace yelvane
