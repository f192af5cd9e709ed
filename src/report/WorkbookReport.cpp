#include "report/WorkbookReport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "common/FileReplace.h"
#include "common/Format.h"
#include "common/NoCase.h"

#ifdef _WIN32
#include "automation/ComAutomation.h"
#endif

namespace yelvane {

std::atomic<int> g_bExcel12{0};

namespace fs = std::filesystem;

namespace {

// The application's version as a number: 16 for "16.0", 0 when unreadable.
float VersionNumber(const Variant& version) {
  if (version.GetType() == Variant::Type::Int) return static_cast<float>(version.Int());
  if (version.GetType() != Variant::Type::String) return 0;
  char* end = nullptr;
  const float parsed = std::strtof(version.String().c_str(), &end);
  return end != version.String().c_str() && *end == '\0' ? parsed : 0;
}

// Only a complete file replaces the old one: true when the temporary file
// the application saved became the target. The temporary file goes in any case.
bool ReplaceTarget(HResult saveStatus, FileReplacement& replacement, MessageSink& m) {
  std::error_code ec;
  if (saveStatus < 0 || fs::file_size(replacement.TemporaryPath(), ec) == 0 || ec) {
    replacement.Abandon();
    return false;
  }
  std::string error;
  if (!replacement.Commit(error)) {
    m.ShowMessage(error, MessageIcon::Error);
    return false;
  }
  return true;
}

}  // namespace

int SessionSheetCount(const std::string& path, bool plot, int sessions) {
  if (!plot || sessions <= 0) return 0;
  return EndsWithNoCase(path, ".xls") ? std::min(sessions, kMaxXlsSessionSheets) : sessions;
}

std::string SessionSheetLimitWarning(const std::string& path, bool plot, int sessions) {
  const int sheets = SessionSheetCount(path, plot, sessions);
  if (!plot || sheets >= sessions) return {};
  return Format(
      "The 97-2003 format (.xls) holds at most %d session sheets: sessions 1 to %d get their "
      "sheet and chart, the other %d only their row on the report sheet. An .xlsx workbook "
      "holds the sheets of all %d sessions.",
      kMaxXlsSessionSheets, sheets, sessions - sheets, sessions);
}

void SetPrintedLandscapeOnePageWide(MessageSink& m, Dispatch* pageSetup) {
  AutoWrap(m, kDispatchPropertyPut, nullptr, pageSetup, "Orientation", {kLandscape});
  // Zoom False: scaled to FitToPagesWide x FitToPagesTall (False: as many as needed).
  AutoWrap(m, kDispatchPropertyPut, nullptr, pageSetup, "Zoom", {Variant::Boolean(false)});
  AutoWrap(m, kDispatchPropertyPut, nullptr, pageSetup, "FitToPagesWide", {1});
  AutoWrap(m, kDispatchPropertyPut, nullptr, pageSetup, "FitToPagesTall",
           {Variant::Boolean(false)});
}

void SetFontRange(CExcelAutomation& excel, Dispatch* sheet, const char* range, const char* property,
                  int number, bool bold) {
  if (std::string(property) == "Name") {
    excel.SetFont(sheet, "Range", range, property, kReportFont, 0, bold);
  } else {
    excel.SetFont(sheet, "Range", range, property, "", number, bold);
  }
}

std::unique_ptr<AutomationServer> MakeAutomationServer(EngineOptions options) {
#ifdef _WIN32
  (void)options;
  return std::make_unique<ComAutomationServer>();
#else
  return std::make_unique<EngineAutomationServer>(std::move(options));
#endif
}

void FormatSheet(CExcelAutomation& excel, Dispatch* application, Dispatch* sheet,
                 const std::string& name) {
  MessageSink& m = excel.Messages();
  AutoWrap(m, kDispatchPropertyPut, nullptr, sheet, "Name", {name});
  Variant window;
  AutoWrap(m, kDispatchPropertyGet, &window, application, "ActiveWindow");
  AutoWrap(m, kDispatchPropertyPut, nullptr, window.Object(), "DisplayGridlines", {0});
  Variant cells;
  AutoWrap(m, kDispatchPropertyGet, &cells, sheet, "Cells");
  AutoWrap(m, kDispatchPropertyPut, nullptr, cells.Object(), "HorizontalAlignment", {2});
  excel.SetFont(sheet, "Cells", "", "Name", kReportFont, 0, false);
  excel.SetFont(sheet, "Cells", "", "Size", "", 9, false);
}

void BuildReportSheet(CExcelAutomation& excel, Dispatch* application, Dispatch* sheet,
                      const WorkbookJob& job, SaveObserver& observer) {
  MessageSink& m = excel.Messages();
  FormatSheet(excel, application, sheet, kReportSheetName);

  SetFontRange(excel, sheet, "A:L", "Name", 0, false);
  SetFontRange(excel, sheet, "A:L", "Size", 10, false);
  SetFontRange(excel, sheet, "A1:L1", "Name", 0, true);
  SetFontRange(excel, sheet, "1:1", "Size", 16, false);
  SetFontRange(excel, sheet, "A2:L4", "Name", 0, false);
  SetFontRange(excel, sheet, "2:2,3:3,4:4", "Size", 11, false);
  SetFontRange(excel, sheet, "A5:L6", "Name", 0, true);
  SetFontRange(excel, sheet, "5:5", "Size", 12, false);

  static constexpr int kWidths[12] = {13, 10, 7, 10, 18, 18, 2, 10, 7, 10, 18, 18};
  for (int col = 0; col < 12; ++col) {
    const char letter = static_cast<char>('A' + col);
    excel.SetColumnWidth(sheet, Format("%c:%c", letter, letter), kWidths[col]);
  }
  // The duration columns keep their texts ("01:30") as written.
  excel.SetColumnNumberFormat(sheet, 'B', "@");
  excel.SetColumnNumberFormat(sheet, 'H', "@");

  excel.MergeRange(sheet, "A1:L1");
  observer.SetProgress(11);
  excel.SetCellValue(sheet, 1, 1, kReportSheetName);

  excel.MergeRange(sheet, "B2:E2");
  excel.MergeRange(sheet, "B3:E3");
  excel.MergeRange(sheet, "B4:E4");
  excel.SetCellValue(sheet, 2, 1, "Pet Name:");
  excel.SetCellValue(sheet, 2, 2, job.pet.name);
  excel.SetCellValue(sheet, 3, 1, "Pet Owner:");
  excel.SetCellValue(sheet, 3, 2, job.pet.owner);
  excel.SetCellValue(sheet, 4, 1, "Pet Location:");
  excel.SetCellValue(sheet, 4, 2, job.pet.location);
  excel.SetBorders(sheet, "A2:E4", "LineStyle", 7);
  excel.SetBorders(sheet, "A2:E4", "ColorIndex", 1);

  excel.MergeRange(sheet, "B5:F5");
  excel.MergeRange(sheet, "H5:L5");
  excel.SetCellValue(sheet, 5, 2, "BARKING");
  excel.SetCellValue(sheet, 5, 8, "ACTIVITY");

  const SessionTable* table = job.table;
  const int headers = table ? table->HeaderCount() : 0;
  for (int c = 0; c < headers; ++c) {
    excel.SetCellValue(sheet, 6, c < 6 ? c + 1 : c + 2, table->HeaderText(c, kHeaderBufferSize));
  }

  observer.SetProgress(12);
  const int n = table ? table->RowCount() : 0;
  auto block = std::make_shared<VariantArray>(n, headers + 1);
  for (int r = 0; r < n; ++r) {
    for (int c = 0; c < headers; ++c) {
      block->At(r + 1, c < 6 ? c + 1 : c + 2) = table->CellText(r, c, kCellBufferSize);
    }
    observer.SetProgress(12 + (r * 70 / n) / 2);
    observer.SetStatus(Format("Session: %d", r + 1));
  }
  if (n > 0) {
    // An empty table has no block: "A7:L6" would cover the header row.
    Variant range;
    AutoWrap(m, kDispatchPropertyGet, &range, sheet, "Range", {Format("A7:L%d", n + 6)});
    observer.SetProgress(45);
    AutoWrap(m, kDispatchPropertyPut, nullptr, range.Object(), "Value", {block});
  } else {
    observer.SetProgress(45);
  }
  observer.SetProgress(50);

  excel.SetBorders(sheet, Format("A5:F%d", n + 6), "LineStyle", 7);
  excel.SetBorders(sheet, Format("A5:F%d", n + 6), "ColorIndex", 1);
  excel.SetBorders(sheet, Format("H5:L%d", n + 6), "LineStyle", 7);
  excel.SetBorders(sheet, Format("H5:L%d", n + 6), "ColorIndex", 1);
  excel.SetInteriorColor(sheet, Format("A6:A%d", n + 6), 36);
  excel.SetInteriorColor(sheet, Format("B5:F%d", n + 6), 35);
  excel.SetInteriorColor(sheet, Format("H5:L%d", n + 6), 37);

  // Printed: landscape, one page wide (as many pages tall as needed), the
  // column titles of rows 5 and 6 at the top of every page.
  Variant setup;
  AutoWrap(m, kDispatchPropertyGet, &setup, sheet, "PageSetup");
  SetPrintedLandscapeOnePageWide(m, setup.Object());
  AutoWrap(m, kDispatchPropertyPut, nullptr, setup.Object(), "PrintTitleRows", {"$5:$6"});
}

HResult SaveAndQuit(CExcelAutomation& excel, Dispatch* application, Dispatch* workbook,
                    const std::string& target, const std::string& temporary) {
  MessageSink& m = excel.Messages();
  HResult status;
  if (g_bExcel12) {
    // SaveAs(Filename, FileFormat): 56 the 97-2003 format, 51 for an .xlsx name.
    const int format = EndsWithNoCase(target, ".xlsx") ? 51 : 56;
    status = AutoWrap(m, kDispatchMethod, nullptr, workbook, "SaveAs", {format, temporary});
  } else {
    status = AutoWrap(m, kDispatchMethod, nullptr, workbook, "SaveAs", {temporary});
  }
  AutoWrap(m, kDispatchMethod, nullptr, application, "Quit");
  return status;
}

int BuildWorkbook(const WorkbookJob& job, AutomationServer& server, CExcelAutomation& excel,
                  SaveObserver& observer, bool* saved) {
  MessageSink& m = excel.Messages();
  if (saved) *saved = false;
  auto stopEarly = [&](const std::string& text) {
    m.ShowMessage(text, MessageIcon::Error);
    if (job.saving) *job.saving = 0;
    return 0;
  };
  if (const std::string problem = server.CheckTarget(job.path); !problem.empty()) {
    return stopEarly(problem);
  }

  // The application saves to a temporary file beside the target (links
  // followed, permissions carried over at the end).
  FileReplacement replacement;
  if (std::string error;
      !replacement.Begin(job.path, error, fs::path(job.path).extension().string()))
    return stopEarly(error);
  const std::string temporary = replacement.TemporaryPath();

  observer.SetProgress(1);
  server.Initialize();
  if (!server.LookUpClass()) {
    server.Uninitialize();
    return stopEarly(kClassLookupFailed);
  }
  observer.SetProgress(2);
  std::shared_ptr<Dispatch> app = server.CreateInstance();
  if (!app) {
    server.Uninitialize();
    return stopEarly(kNotRegistered);
  }
  Dispatch* xl = app.get();
  observer.SetProgress(3);

  HResult status;
  {
    // Every object of the application goes before the application does.
    Variant version;
    AutoWrap(m, kDispatchPropertyGet, &version, xl, "Version");
    g_bExcel12 = VersionNumber(version) >= 12.0f ? 1 : 0;

    observer.SetProgress(4);
    AutoWrap(m, kDispatchPropertyPut, nullptr, xl, "AlertBeforeOverwriting", {0});
    observer.SetProgress(4);
    AutoWrap(m, kDispatchPropertyPut, nullptr, xl, "DisplayAlerts", {0});
    observer.SetProgress(4);
    AutoWrap(m, kDispatchPropertyPut, nullptr, xl, "Visible", {0});
    observer.SetProgress(4);
    Variant books;
    AutoWrap(m, kDispatchPropertyGet, &books, xl, "Workbooks");

    observer.SetProgress(5);
    Variant book;
    AutoWrap(m, kDispatchPropertyGet, &book, books.Object(), "Add");
    observer.SetProgress(6);
    Variant reportSheet;
    AutoWrap(m, kDispatchPropertyGet, &reportSheet, xl, "ActiveSheet");
    observer.SetProgress(7);
    Variant worksheets;
    AutoWrap(m, kDispatchMethod | kDispatchPropertyGet, &worksheets, book.Object(), "WorkSheets");

    // A new workbook has three sheets; keep the first only.
    for (int i = 0; i < 2; ++i) {
      Variant extra;
      AutoWrap(m, kDispatchMethod | kDispatchPropertyGet, &extra, book.Object(), "Sheets", {2});
      AutoWrap(m, kDispatchMethod | kDispatchPropertyGet, nullptr, extra.Object(), "Delete");
    }

    BuildReportSheet(excel, xl, reportSheet.Object(), job, observer);
    if (job.plot && job.table && job.table->RowCount() > 0)
      AddSessionSheets(excel, xl, book.Object(), worksheets.Object(), job, observer);
    AutoWrap(m, kDispatchMethod, nullptr, reportSheet.Object(), "Activate");
    if (observer.Cancelled()) {
      status = kDispEException;  // nothing saved
      AutoWrap(m, kDispatchMethod, nullptr, xl, "Quit");
    } else {
      status = SaveAndQuit(excel, xl, book.Object(), job.path, temporary);
    }
  }
  app.reset();
  server.Uninitialize();

  const bool replaced = ReplaceTarget(status, replacement, m);
  if (saved) *saved = replaced;
  observer.SetProgress(100);
  if (job.saving) *job.saving = 0;
  observer.End();
  return 1;
}

}  // namespace yelvane
