#pragma once

// The in-memory workbook behind the built-in spreadsheet engine: sheets with
// cell texts, formatting applied range by range in call order, merges,
// column widths, gridline flags and charts. SaveAs turns it into a file.

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace yelvane {

inline constexpr int kMaxSheetRows = 1048576;
inline constexpr int kMaxSheetColumns = 16384;

struct CellRect {
  int row1 = 1, col1 = 1, row2 = 1, col2 = 1;  // 1-based, inclusive
  bool Contains(int row, int col) const {
    return row >= row1 && row <= row2 && col >= col1 && col <= col2;
  }
  bool AllRows() const { return row1 == 1 && row2 == kMaxSheetRows; }
  bool AllColumns() const { return col1 == 1 && col2 == kMaxSheetColumns; }
  int64_t CellCount() const {
    return static_cast<int64_t>(row2 - row1 + 1) * static_cast<int64_t>(col2 - col1 + 1);
  }
  bool operator==(const CellRect&) const = default;
};
using Areas = std::vector<CellRect>;

// Parses an A1-style address: "A1", "A1:L9", "$A$1", "A:L", "1:1" and lists of
// them separated by commas. False for anything else.
bool ParseRangeAddress(std::string_view text, Areas& areas);
std::string ColumnName(int col);  // 1 -> "A", 27 -> "AA"

// The default 56-colour palette; 0 for an index outside 1..56.
bool PaletteColor(int index, uint32_t& rgb);

// Constants of the object model that the engine understands.
inline constexpr int kColorIndexNone = -4142;
inline constexpr int kColorIndexAutomatic = -4105;
inline constexpr int kLineStyleNone = -4142;

enum class FormatAttr {
  FontName,
  FontSize,
  Bold,
  HAlign,
  BorderStyle,
  BorderColor,
  Interior,
  NumberFormat
};
inline constexpr std::size_t kFormatAttrCount = 8;

// Font names and number formats are kept as ids of a process-wide text
// table, so that a cell's format is cheap to compute, copy and compare.
int InternText(const std::string& text);
std::string InternedText(int id);
inline constexpr int kTextCalibri = 0;
inline constexpr int kTextGeneral = 1;
inline constexpr int kTextAt = 2;  // "@", the text format

struct CellFormat {
  int fontName = kTextCalibri;
  int fontSize = 11;
  int bold = 0;
  int hAlign = 1;  // general
  int borderStyle = kLineStyleNone;
  int borderColor = kColorIndexAutomatic;
  int interior = kColorIndexNone;
  int numberFormat = kTextGeneral;
  auto operator<=>(const CellFormat&) const = default;
};

struct CellValue {
  bool isNumber = false;
  std::string text;  // texts only
  double number = 0;
  int autoFormat = kTextGeneral;  // number format picked when a text was read as a time
};

struct ChartFont {
  std::string name;  // empty: the chart's default
  int size = 0;      // 0: default
  int bold = -1;     // -1: default
};

struct ChartAxis {
  bool hasTitle = false;
  std::string title;
  ChartFont titleFont;
  ChartFont tickFont;
};

class SheetModel;

struct ChartModel {
  int type = 51;  // clustered column, the application's default
  bool hasTitle = false;
  std::string title;
  ChartFont titleFont;
  bool hasLegend = true;
  ChartFont legendFont;
  ChartAxis category;
  ChartAxis value;
  std::weak_ptr<SheetModel> sourceSheet;
  CellRect source;
  int plotBy = 2;  // columns
};

// Sizes in pixels, as the file format places drawings (4 pixels are 3 points).
inline constexpr int kDefaultChartWidthPx = 480;  // 360 x 216 points
inline constexpr int kDefaultChartHeightPx = 288;

struct EmbeddedChart {
  std::shared_ptr<ChartModel> chart;
  int row = 1;  // top-left anchor cell
  int col = 1;
  int xOffset = 0;  // from the anchor cell's top-left corner
  int yOffset = 0;
  int width = kDefaultChartWidthPx;
  int height = kDefaultChartHeightPx;
};

// How a sheet prints (the PageSetup object).
struct PageSetupModel {
  int orientation = 1;  // 1 portrait, 2 landscape
  int zoom = 100;       // percent; 0 (False): scaled to fitWide x fitTall pages
  int fitWide = 1;      // 0 (False): as many pages as needed
  int fitTall = 1;
  bool hasTitleRows = false;  // rows repeated at the top of every page
  int titleRow1 = 0, titleRow2 = 0;
};

class SheetModel {
 public:
  enum class Kind { Worksheet, ChartSheet };

  SheetModel(Kind kind, std::string name) : kind_(kind), name_(std::move(name)) {}

  Kind GetKind() const { return kind_; }
  const std::string& Name() const { return name_; }
  void SetName(std::string name) { name_ = std::move(name); }
  bool Deleted() const { return deleted_; }
  void MarkDeleted() { deleted_ = true; }

  // Formatting, in call order: the last operation covering a cell wins.
  void ApplyFormat(FormatAttr attr, const Areas& areas, int number, const std::string& text);
  CellFormat FormatAt(int row, int col) const;
  // Format of the cells of a whole column / whole row that nothing else covers.
  CellFormat ColumnFormat(int col) const;
  CellFormat RowFormat(int row) const;
  // Every area that any formatting operation touched.
  std::vector<CellRect> FormattedAreas() const;
  int NumberFormatAt(int row, int col) const;

  // Writes a text the way the application does: read as a number or a time
  // unless the cell is formatted as text ("@").
  void PutText(int row, int col, const std::string& text);
  void ClearValue(int row, int col);
  const CellValue* ValueAt(int row, int col) const;
  const std::map<uint64_t, CellValue>& Values() const { return values_; }
  static uint64_t Key(int row, int col) {
    return (static_cast<uint64_t>(row) << 20) | static_cast<uint64_t>(col);
  }
  static int KeyRow(uint64_t key) { return static_cast<int>(key >> 20); }
  static int KeyCol(uint64_t key) { return static_cast<int>(key & 0xFFFFF); }

  void Merge(const CellRect& rect);
  const std::vector<CellRect>& Merges() const { return merges_; }

  void SetColumnWidth(int col1, int col2, double width);
  double ColumnWidth(int col) const;  // 8.43 unless set
  const std::map<int, double>& ColumnWidths() const { return widths_; }
  bool HasDefaultWidth() const { return hasDefaultWidth_; }
  double DefaultWidth() const { return defaultWidth_; }

  bool Gridlines() const { return gridlines_; }
  void SetGridlines(bool show) { gridlines_ = show; }

  bool HasSelection() const { return hasSelection_; }
  CellRect Selection() const { return selection_; }
  void Select(const CellRect& rect) {
    selection_ = rect;
    hasSelection_ = true;
  }

  // Positions in pixels from the sheet's top-left corner, with the sizes the
  // file gets: a row is 20 pixels unless its font makes it taller.
  int ColumnLeftPx(int col) const;
  int RowTopPx(int row) const;
  double RowHeightPoints(int row) const;  // 0: the default height
  static int ColumnWidthPx(double width);

  PageSetupModel& PageSetup() { return pageSetup_; }
  const PageSetupModel& PageSetup() const { return pageSetup_; }

  std::vector<EmbeddedChart>& Charts() { return charts_; }
  const std::vector<EmbeddedChart>& Charts() const { return charts_; }
  // The chart of a chart sheet.
  std::shared_ptr<ChartModel>& SheetChart() { return sheetChart_; }
  const std::shared_ptr<ChartModel>& SheetChart() const { return sheetChart_; }

 private:
  struct Op {
    Areas areas;
    int number;  // the value, or the text's id for names and number formats
  };
  template <class Pred>
  void Replay(CellFormat& format, Pred covers) const;

  Kind kind_;
  std::string name_;
  bool deleted_ = false;
  bool gridlines_ = true;
  std::array<std::vector<Op>, kFormatAttrCount> ops_;
  std::map<uint64_t, CellValue> values_;
  std::vector<CellRect> merges_;
  std::map<int, double> widths_;
  bool hasDefaultWidth_ = false;
  double defaultWidth_ = 8.43;
  bool hasSelection_ = false;
  CellRect selection_;
  std::vector<EmbeddedChart> charts_;
  std::shared_ptr<ChartModel> sheetChart_;
  PageSetupModel pageSetup_;
};

struct WorkbookModel {
  std::vector<std::shared_ptr<SheetModel>> sheets;
  int active = 0;        // index into sheets
  int sheetCounter = 0;  // names new worksheets "Sheet<n>"
  int chartCounter = 0;  // and chart sheets "Chart<n>"
  int IndexOf(const SheetModel* sheet) const;
};

// The application's rules for sheet names: 1 to 31 characters, none of
// []:*?/\ and no apostrophe at either end.
bool ValidSheetName(const std::string& name);

}  // namespace yelvane
