#include "engine/XlsxWriter.h"

#include <xlsxwriter.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>
#include <tuple>
#include <vector>

#include "common/Format.h"
#include "common/SafeText.h"

namespace yelvane {

namespace fs = std::filesystem;

namespace {

lxw_color_t LxwColor(uint32_t rgb) {
  return rgb == 0 ? static_cast<lxw_color_t>(LXW_COLOR_BLACK) : rgb;
}

uint8_t LxwAlign(int value) {
  switch (value) {
    case 2:
    case -4131:
      return LXW_ALIGN_LEFT;
    case 3:
    case -4108:
      return LXW_ALIGN_CENTER;
    case 4:
    case -4152:
      return LXW_ALIGN_RIGHT;
    case 5:
      return LXW_ALIGN_FILL;
    case 6:
    case -4130:
      return LXW_ALIGN_JUSTIFY;
    case 7:
      return LXW_ALIGN_CENTER_ACROSS;
    case -4117:
      return LXW_ALIGN_DISTRIBUTED;
    default:
      return LXW_ALIGN_NONE;
  }
}

uint8_t LxwBorder(int style) {
  switch (style) {
    case kLineStyleNone:
      return LXW_BORDER_NONE;
    case -4115:
      return LXW_BORDER_DASHED;
    case 4:
      return LXW_BORDER_DASH_DOT;
    case 5:
      return LXW_BORDER_DASH_DOT_DOT;
    case -4118:
      return LXW_BORDER_DOTTED;
    case -4119:
      return LXW_BORDER_DOUBLE;
    case 13:
      return LXW_BORDER_SLANT_DASH_DOT;
    default:
      return LXW_BORDER_THIN;  // continuous and the application's other codes
  }
}

// Each distinct mix of font, alignment, border, fill and number format is
// one format object of the library, created once.
class FormatCache {
 public:
  explicit FormatCache(lxw_workbook* book) : book_(book) {}
  lxw_format* Get(const CellFormat& f) {
    auto it = cache_.find(f);
    if (it != cache_.end()) return it->second;
    lxw_format* format = workbook_add_format(book_);
    format_set_font_name(format, ReportText(InternedText(f.fontName)).c_str());
    format_set_font_size(format, f.fontSize);
    if (f.bold) format_set_bold(format);
    if (const uint8_t align = LxwAlign(f.hAlign)) format_set_align(format, align);
    if (f.borderStyle != kLineStyleNone) {
      format_set_border(format, LxwBorder(f.borderStyle));
      uint32_t rgb = 0;
      if (!PaletteColor(f.borderColor, rgb)) rgb = 0;
      format_set_border_color(format, LxwColor(rgb));
    }
    uint32_t fill = 0;
    if (PaletteColor(f.interior, fill)) {
      format_set_pattern(format, LXW_PATTERN_SOLID);
      format_set_bg_color(format, LxwColor(fill));
    }
    if (f.numberFormat != kTextGeneral)
      format_set_num_format(format, ReportText(InternedText(f.numberFormat)).c_str());
    cache_.emplace(f, format);
    return format;
  }

 private:
  lxw_workbook* book_;
  std::map<CellFormat, lxw_format*> cache_;
};

// `name` keeps the font's name for as long as `font` is used.
void SetChartFont(const ChartFont& model, lxw_chart_font& font, std::string& name) {
  font = lxw_chart_font{};
  name = ReportText(model.name);
  font.name = name.empty() ? nullptr : name.data();
  font.size = model.size;
  font.bold = model.bold > 0 ? 1 : 0;
}

bool HasFont(const ChartFont& f) {
  return !f.name.empty() || f.size > 0 || f.bold >= 0;
}

// A chart of the model, or null when it has no data to show.
lxw_chart* BuildChart(lxw_workbook* book, const ChartModel& model) {
  const auto source = model.sourceSheet.lock();
  if (!source || source->Deleted()) return nullptr;
  const CellRect& r = model.source;
  // Like the application: text (or nothing) in the top-left corner means the
  // first row names the series and the first column holds the categories.
  const CellValue* corner = source->ValueAt(r.row1, r.col1);
  const bool labels = !corner || !corner->isNumber;
  const bool byColumns = model.plotBy != 1;
  const int seriesFirst = (byColumns ? r.col1 : r.row1) + (labels ? 1 : 0);
  const int seriesLast = byColumns ? r.col2 : r.row2;
  const int pointFirst = (byColumns ? r.row1 : r.col1) + (labels ? 1 : 0);
  const int pointLast = byColumns ? r.row2 : r.col2;
  if (seriesFirst > seriesLast || pointFirst > pointLast) return nullptr;

  uint8_t type = LXW_CHART_COLUMN;
  switch (model.type) {
    case 4:
    case 65:
      type = LXW_CHART_LINE;
      break;
    case 57:
      type = LXW_CHART_BAR;
      break;
    case 5:
      type = LXW_CHART_PIE;
      break;
    case 1:
      type = LXW_CHART_AREA;
      break;
    case -4169:
      type = LXW_CHART_SCATTER;
      break;
    default:
      break;
  }
  lxw_chart* chart = workbook_add_chart(book, type);
  if (!chart) return nullptr;
  const std::string sheetName = ReportText(source->Name());
  const char* sheet = sheetName.c_str();
  const lxw_row_t p1 = static_cast<lxw_row_t>(pointFirst - 1),
                  p2 = static_cast<lxw_row_t>(pointLast - 1);
  for (int s = seriesFirst; s <= seriesLast; ++s) {
    lxw_chart_series* series = chart_add_series(chart, nullptr, nullptr);
    const auto idx = static_cast<lxw_col_t>(s - 1);
    if (byColumns) {
      if (labels) {
        chart_series_set_categories(series, sheet, p1, static_cast<lxw_col_t>(r.col1 - 1), p2,
                                    static_cast<lxw_col_t>(r.col1 - 1));
        chart_series_set_name_range(series, sheet, static_cast<lxw_row_t>(r.row1 - 1), idx);
      }
      chart_series_set_values(series, sheet, p1, idx, p2, idx);
    } else {
      const auto row = static_cast<lxw_row_t>(s - 1);
      if (labels) {
        chart_series_set_categories(series, sheet, static_cast<lxw_row_t>(r.row1 - 1),
                                    static_cast<lxw_col_t>(p1), static_cast<lxw_row_t>(r.row1 - 1),
                                    static_cast<lxw_col_t>(p2));
        chart_series_set_name_range(series, sheet, row, static_cast<lxw_col_t>(r.col1 - 1));
      }
      chart_series_set_values(series, sheet, row, static_cast<lxw_col_t>(p1), row,
                              static_cast<lxw_col_t>(p2));
    }
    // The library's line chart draws no markers unless asked: 65 is the line
    // with the application's automatic markers, 4 the plain line.
    if (model.type == 65) chart_series_set_marker_type(series, LXW_CHART_MARKER_AUTOMATIC);
    if (model.type == 4) chart_series_set_marker_type(series, LXW_CHART_MARKER_NONE);
  }
  lxw_chart_font font;
  std::string fontName;
  if (model.hasTitle) {
    if (!model.title.empty()) chart_title_set_name(chart, ReportText(model.title).c_str());
    if (HasFont(model.titleFont)) {
      SetChartFont(model.titleFont, font, fontName);
      if (model.titleFont.bold < 0) font.bold = 1;  // titles are bold by default
      chart_title_set_name_font(chart, &font);
    }
  } else {
    chart_title_off(chart);
  }
  if (!model.hasLegend) {
    chart_legend_set_position(chart, LXW_CHART_LEGEND_NONE);
  } else if (HasFont(model.legendFont)) {
    SetChartFont(model.legendFont, font, fontName);
    chart_legend_set_font(chart, &font);
  }
  if (type != LXW_CHART_PIE) {
    const std::pair<const ChartAxis*, lxw_chart_axis*> axes[] = {{&model.category, chart->x_axis},
                                                                 {&model.value, chart->y_axis}};
    for (const auto& [axis, lxw] : axes) {
      if (axis->hasTitle) {
        chart_axis_set_name(lxw, ReportText(axis->title).c_str());
        if (HasFont(axis->titleFont)) {
          SetChartFont(axis->titleFont, font, fontName);
          if (axis->titleFont.bold < 0) font.bold = 1;
          chart_axis_set_name_font(lxw, &font);
        }
      }
      if (HasFont(axis->tickFont)) {
        SetChartFont(axis->tickFont, font, fontName);
        chart_axis_set_num_font(lxw, &font);
      }
    }
  }
  return chart;
}

void WriteWorksheet(lxw_workbook* book, lxw_worksheet* ws, const SheetModel& sheet,
                    FormatCache& formats) {
  const std::vector<CellRect> areas = sheet.FormattedAreas();
  // Rows and columns formatted as a whole (not just as part of the sheet).
  std::set<int> rows;
  std::set<int> columns;
  bool wholeSheet = false;
  for (const auto& a : areas) {
    if (a.AllRows() && a.AllColumns()) {
      wholeSheet = true;
    } else if (a.AllRows()) {
      for (int c = a.col1; c <= a.col2; ++c) columns.insert(c);
    } else if (a.AllColumns()) {
      for (int r = a.row1; r <= a.row2; ++r) rows.insert(r);
    }
  }
  int lastColumn = columns.empty() ? 0 : *columns.rbegin();
  if (!sheet.ColumnWidths().empty())
    lastColumn = std::max(lastColumn, sheet.ColumnWidths().rbegin()->first);
  for (int c = 1; c <= lastColumn; ++c) {
    const bool formatted = wholeSheet || columns.count(c);
    worksheet_set_column(ws, static_cast<lxw_col_t>(c - 1), static_cast<lxw_col_t>(c - 1),
                         sheet.ColumnWidth(c),
                         formatted ? formats.Get(sheet.ColumnFormat(c)) : nullptr);
  }
  if ((wholeSheet || sheet.HasDefaultWidth()) && lastColumn < kMaxSheetColumns) {
    worksheet_set_column(ws, static_cast<lxw_col_t>(lastColumn), kMaxSheetColumns - 1,
                         sheet.DefaultWidth(),
                         wholeSheet ? formats.Get(sheet.ColumnFormat(lastColumn + 1)) : nullptr);
  }
  for (int r : rows) {
    const CellFormat f = sheet.RowFormat(r);
    worksheet_set_row(ws, static_cast<lxw_row_t>(r - 1), sheet.RowHeightPoints(r), formats.Get(f));
  }

  // Cells to write: those with values, those a bounded range formatted or
  // merged, and the crossings of formatted rows and formatted columns.
  std::vector<uint64_t> cells;
  cells.reserve(sheet.Values().size());
  for (const auto& [key, value] : sheet.Values()) cells.push_back(key);
  auto addRect = [&](const CellRect& a) {
    if (a.CellCount() > (1 << 22)) return;
    for (int r = a.row1; r <= a.row2; ++r) {
      for (int c = a.col1; c <= a.col2; ++c) cells.push_back(SheetModel::Key(r, c));
    }
  };
  // Several operations often cover the same range (line style, then colour).
  std::vector<CellRect> bounded;
  for (const auto& a : areas) {
    if (!a.AllRows() && !a.AllColumns()) bounded.push_back(a);
  }
  bounded.insert(bounded.end(), sheet.Merges().begin(), sheet.Merges().end());
  auto order = [](const CellRect& a, const CellRect& b) {
    return std::tie(a.row1, a.col1, a.row2, a.col2) < std::tie(b.row1, b.col1, b.row2, b.col2);
  };
  std::sort(bounded.begin(), bounded.end(), order);
  bounded.erase(std::unique(bounded.begin(), bounded.end()), bounded.end());
  for (const auto& a : bounded) addRect(a);
  for (int r : rows) {
    for (int c : columns) cells.push_back(SheetModel::Key(r, c));
  }
  std::sort(cells.begin(), cells.end());
  cells.erase(std::unique(cells.begin(), cells.end()), cells.end());

  for (const auto& m : sheet.Merges()) {
    worksheet_merge_range(ws, static_cast<lxw_row_t>(m.row1 - 1),
                          static_cast<lxw_col_t>(m.col1 - 1), static_cast<lxw_row_t>(m.row2 - 1),
                          static_cast<lxw_col_t>(m.col2 - 1), "",
                          formats.Get(sheet.FormatAt(m.row1, m.col1)));
  }
  std::map<int, CellFormat> rowShown;
  std::map<int, CellFormat> columnShown;
  auto next = sheet.Values().begin();
  for (uint64_t key : cells) {
    const int r = SheetModel::KeyRow(key), c = SheetModel::KeyCol(key);
    CellFormat f = sheet.FormatAt(r, c);
    // Both lists are in key order: walk them side by side.
    while (next != sheet.Values().end() && next->first < key) ++next;
    const CellValue* value =
        next != sheet.Values().end() && next->first == key ? &next->second : nullptr;
    if (value && value->autoFormat != kTextGeneral && f.numberFormat == kTextGeneral)
      f.numberFormat = value->autoFormat;
    const auto row = static_cast<lxw_row_t>(r - 1);
    const auto col = static_cast<lxw_col_t>(c - 1);
    if (value && value->isNumber) {
      worksheet_write_number(ws, row, col, value->number, formats.Get(f));
    } else if (value) {
      // Whatever reached the cell, the file stays well-formed XML.
      worksheet_write_string(ws, row, col, ReportText(value->text).c_str(), formats.Get(f));
    } else {
      // What a reader shows for an empty cell: its row's format, else its column's.
      const bool byRow = rows.count(r) != 0;
      auto& shownCache = byRow ? rowShown : columnShown;
      auto it = shownCache.find(byRow ? r : c);
      if (it == shownCache.end())
        it = shownCache.emplace(byRow ? r : c, byRow ? sheet.RowFormat(r) : sheet.ColumnFormat(c))
                 .first;
      if (!(f == it->second)) worksheet_write_blank(ws, row, col, formats.Get(f));
    }
  }

  // The used range is the cells' own extent. The library also counts the
  // columns formatted as a whole (all 16,384 when the whole sheet is), which
  // makes readers return that many values per row.
  if (!cells.empty()) {
    int colMin = kMaxSheetColumns, colMax = 1;
    for (uint64_t key : cells) {
      colMin = std::min(colMin, SheetModel::KeyCol(key));
      colMax = std::max(colMax, SheetModel::KeyCol(key));
    }
    ws->dim_rowmin = static_cast<lxw_row_t>(SheetModel::KeyRow(cells.front()) - 1);
    ws->dim_rowmax = static_cast<lxw_row_t>(SheetModel::KeyRow(cells.back()) - 1);
    ws->dim_colmin = static_cast<lxw_col_t>(colMin - 1);
    ws->dim_colmax = static_cast<lxw_col_t>(colMax - 1);
  } else {
    ws->dim_rowmin = ws->dim_rowmax = 0;
    ws->dim_colmin = ws->dim_colmax = 0;
  }

  const PageSetupModel& page = sheet.PageSetup();
  if (page.orientation == 2) worksheet_set_landscape(ws);
  if (page.zoom == 0) {
    worksheet_fit_to_pages(ws, static_cast<uint16_t>(page.fitWide),
                           static_cast<uint16_t>(page.fitTall));
  } else if (page.zoom != 100) {
    worksheet_set_print_scale(ws, static_cast<uint16_t>(page.zoom));
  }
  if (page.hasTitleRows) {
    worksheet_repeat_rows(ws, static_cast<lxw_row_t>(page.titleRow1 - 1),
                          static_cast<lxw_row_t>(page.titleRow2 - 1));
  }

  if (!sheet.Gridlines()) worksheet_gridlines(ws, LXW_HIDE_ALL_GRIDLINES);
  if (sheet.HasSelection()) {
    const CellRect s = sheet.Selection();
    worksheet_set_selection(ws, static_cast<lxw_row_t>(s.row1 - 1),
                            static_cast<lxw_col_t>(s.col1 - 1), static_cast<lxw_row_t>(s.row2 - 1),
                            static_cast<lxw_col_t>(s.col2 - 1));
  }
  for (const auto& embedded : sheet.Charts()) {
    if (lxw_chart* chart = BuildChart(book, *embedded.chart)) {
      lxw_chart_options place{};
      place.x_offset = embedded.xOffset;
      place.y_offset = embedded.yOffset;
      place.x_scale = static_cast<double>(embedded.width) / kDefaultChartWidthPx;
      place.y_scale = static_cast<double>(embedded.height) / kDefaultChartHeightPx;
      worksheet_insert_chart_opt(ws, static_cast<lxw_row_t>(embedded.row - 1),
                                 static_cast<lxw_col_t>(embedded.col - 1), chart, &place);
    }
  }
}

}  // namespace

bool WriteXlsx(const WorkbookModel& model, const std::string& path, std::string& error) {
  // Normal (not constant-memory) mode: cells arrive in any order and the
  // charts' data caches are filled from the sheets.
  lxw_workbook_options options{};
  options.constant_memory = LXW_FALSE;
  lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
  if (!book) {
    error = Format("cannot create %s", path.c_str());
    return false;
  }
  FormatCache formats(book);
  for (std::size_t i = 0; i < model.sheets.size(); ++i) {
    const SheetModel& sheet = *model.sheets[i];
    const bool active = static_cast<int>(i) == model.active;
    if (sheet.GetKind() == SheetModel::Kind::ChartSheet) {
      lxw_chartsheet* cs = workbook_add_chartsheet(book, ReportText(sheet.Name()).c_str());
      if (!cs) continue;
      lxw_chart* chart = sheet.SheetChart() ? BuildChart(book, *sheet.SheetChart()) : nullptr;
      if (!chart) {
        // An empty chart sheet is still a sheet; give it an empty chart.
        chart = workbook_add_chart(book, LXW_CHART_COLUMN);
        chart_add_series(chart, nullptr, "={0}");
      }
      chartsheet_set_chart(cs, chart);
      if (active) chartsheet_activate(cs);
      continue;
    }
    lxw_worksheet* ws = workbook_add_worksheet(book, ReportText(sheet.Name()).c_str());
    if (!ws) {
      workbook_close(book);
      std::error_code ec;
      fs::remove(path, ec);
      error = Format("invalid sheet name \"%s\"", sheet.Name().c_str());
      return false;
    }
    WriteWorksheet(book, ws, sheet, formats);
    if (active) worksheet_activate(ws);
  }
  const lxw_error status = workbook_close(book);
  if (status != LXW_NO_ERROR) {
    error = Format("cannot write %s: %s", path.c_str(), lxw_strerror(status));
    std::error_code ec;
    fs::remove(path, ec);
    return false;
  }
  return true;
}

}  // namespace yelvane
