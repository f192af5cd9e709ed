// The session sheets of the workbook report: one sheet per session with its
// half-hour table and a line chart of it.

#include <cstdio>
#include <utility>

#include "common/Format.h"
#include "report/WorkbookReport.h"

namespace yelvane {

namespace {

// owner.Font.Name = the report's font.
void SetReportFontOf(MessageSink& m, Dispatch* owner) {
  Variant font;
  AutoWrap(m, kDispatchPropertyGet, &font, owner, "Font");
  AutoWrap(m, kDispatchPropertyPut, nullptr, font.Object(), "Name", {kReportFont});
}

// caption.Characters.Text = text.
void SetCaptionText(MessageSink& m, Dispatch* caption, const std::string& text) {
  Variant characters;
  AutoWrap(m, kDispatchPropertyGet, &characters, caption, "Characters");
  AutoWrap(m, kDispatchPropertyPut, nullptr, characters.Object(), "Text", {text});
}

// Printed landscape and one page wide (column widths differ from reader to
// reader), with the chart beside its table (from column E, level with the
// chart title), sized to be whole on the first page.
void PlaceForPrinting(MessageSink& m, Dispatch* sheet, int top) {
  Variant setup;
  AutoWrap(m, kDispatchPropertyGet, &setup, sheet, "PageSetup");
  SetPrintedLandscapeOnePageWide(m, setup.Object());
  Variant anchor;
  AutoWrap(m, kDispatchPropertyGet, &anchor, sheet, "Range", {Format("E%d", top)});
  Variant left;
  AutoWrap(m, kDispatchPropertyGet, &left, anchor.Object(), "Left");
  Variant upper;
  AutoWrap(m, kDispatchPropertyGet, &upper, anchor.Object(), "Top");
  Variant frame;
  AutoWrap(m, kDispatchMethod | kDispatchPropertyGet, &frame, sheet, "ChartObjects", {1});
  Dispatch* f = frame.Object();
  AutoWrap(m, kDispatchPropertyPut, nullptr, f, "Left", {left});
  AutoWrap(m, kDispatchPropertyPut, nullptr, f, "Top", {upper});
  AutoWrap(m, kDispatchPropertyPut, nullptr, f, "Width", {kSessionChartWidth});
  AutoWrap(m, kDispatchPropertyPut, nullptr, f, "Height", {kSessionChartHeight});
}

}  // namespace

void AddSessionSheets(CExcelAutomation& excel, Dispatch* application, Dispatch* workbook,
                      Dispatch* worksheets, const WorkbookJob& job, SaveObserver& observer) {
  MessageSink& m = excel.Messages();
  // Every session in .xlsx, the first 256 in .xls (the caller has asked).
  const int n = SessionSheetCount(job.path, true, job.table ? job.table->RowCount() : 0);
  std::FILE* dump = job.dump ? nullptr : std::fopen(job.dumpPath.c_str(), "rb");
  if (!dump && !job.dump) return;
  ChartSeries series;
  for (int s = 0; s < n && !observer.Cancelled(); ++s) {
    Variant added;
    AutoWrap(m, kDispatchMethod | kDispatchPropertyGet, &added, worksheets, "Add");
    Dispatch* sessionSheet = added.Object();
    AutoWrap(m, kDispatchMethod, nullptr, sessionSheet, "Activate");
    const std::string name = Format("Session%d", s + 1);
    FormatSheet(excel, application, sessionSheet, name);
    SetFontRange(excel, sessionSheet, "1:1", "Name", 0, true);
    SetFontRange(excel, sessionSheet, "1:1", "Size", 12, false);
    excel.SetCellValue(sessionSheet, 1, 1, Format("THE PLOT GRAPHIC FOR SESSION%d.", s + 1));
    if (job.dump)
      LoadSessionChart(*job.table, s + 1, job.dump->data(), job.dump->size(), series);
    else
      LoadSessionChart(*job.table, s + 1, dump, series);
    AddSessionChart(excel, application, workbook, sessionSheet, series,
                    Format("Session%d plot graphic", s + 1), s + 1, name, 3);
    observer.SetProgress(50 + s * 50 / n);
  }
  if (dump) std::fclose(dump);
}

void AddSessionChart(CExcelAutomation& excel, Dispatch* /*application*/, Dispatch* workbook,
                     Dispatch* sheet, const ChartSeries& series, const std::string& chartTitle,
                     int /*session*/, const std::string& sheetName, int top) {
  MessageSink& m = excel.Messages();
  const int k = static_cast<int>(series.labels.size());
  excel.SelectCell(sheet, top, 1);
  excel.SetCellValue(sheet, top, 1, chartTitle);
  excel.SetCellValue(sheet, top + 1, 2, "Bark");
  excel.SetCellValue(sheet, top + 1, 3, "Activity");
  for (int i = 0; i < k && i < kMaxChartRows; ++i) {
    const auto at = static_cast<std::size_t>(i);
    excel.SetCellValue(sheet, top + 2 + i, 1, series.labels[at]);
    excel.SetCellValue(sheet, top + 2 + i, 2,
                       Format("%d", at < series.bark.size() ? series.bark[at] : 0));
    excel.SetCellValue(sheet, top + 2 + i, 3,
                       Format("%d", at < series.activity.size() ? series.activity[at] : 0));
  }
  const std::string source = Format("A%d:C%d", top + 1, top + 1 + k);
  excel.SetBorders(sheet, source, "LineStyle", 7);
  excel.SetBorders(sheet, source, "ColorIndex", 1);

  Variant charts;
  AutoWrap(m, kDispatchPropertyGet, &charts, workbook, "Charts");
  Variant chart;
  AutoWrap(m, kDispatchMethod | kDispatchPropertyGet, &chart, charts.Object(), "Add");
  Dispatch* c = chart.Object();
  AutoWrap(m, kDispatchPropertyPut, nullptr, c, "ChartType", {65});

  AutoWrap(m, kDispatchPropertyPut, nullptr, c, "HasTitle", {1});
  Variant title;
  AutoWrap(m, kDispatchPropertyGet, &title, c, "ChartTitle");
  SetReportFontOf(m, title.Object());
  SetCaptionText(m, title.Object(), chartTitle);

  Variant legend;
  AutoWrap(m, kDispatchPropertyGet, &legend, c, "Legend");
  SetReportFontOf(m, legend.Object());

  // Axes(Type, AxisGroup): the group (last parameter) goes first.
  const std::pair<int, const char*> axes[] = {{1, "Time"}, {2, "Bark/Activity"}};
  for (const auto& [type, text] : axes) {
    Variant axis;
    AutoWrap(m, kDispatchPropertyGet, &axis, c, "Axes", {1, type});
    AutoWrap(m, kDispatchPropertyPut, nullptr, axis.Object(), "HasTitle", {1});
    Variant again;
    AutoWrap(m, kDispatchPropertyGet, &again, c, "Axes", {1, type});
    Variant axisTitle;
    AutoWrap(m, kDispatchPropertyGet, &axisTitle, again.Object(), "AxisTitle");
    SetReportFontOf(m, axisTitle.Object());
    SetCaptionText(m, axisTitle.Object(), text);
    Variant ticks;
    AutoWrap(m, kDispatchPropertyGet, &ticks, again.Object(), "TickLabels");
    SetReportFontOf(m, ticks.Object());
  }

  Variant range;
  AutoWrap(m, kDispatchPropertyGet, &range, sheet, "Range", {source});
  // SetSourceData(Source, PlotBy) and Location(Where, Name), last first.
  AutoWrap(m, kDispatchMethod, nullptr, c, "SetSourceData", {2, range});
  AutoWrap(m, kDispatchMethod, nullptr, c, "Location", {sheetName, 2});
  PlaceForPrinting(m, sheet, top);
}

}  // namespace yelvane
