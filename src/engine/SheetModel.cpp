#include "engine/SheetModel.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <mutex>

namespace yelvane {

namespace {

// One side of an address: column letters and/or row digits, '$' allowed.
struct AddressPart {
  int col = 0;  // 0: none given
  int row = 0;
};

bool ParsePart(std::string_view text, AddressPart& part) {
  std::size_t i = 0;
  if (i < text.size() && text[i] == '$') ++i;
  int col = 0;
  std::size_t letters = 0;
  while (i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]))) {
    col = col * 26 + (std::toupper(static_cast<unsigned char>(text[i])) - 'A' + 1);
    if (++letters > 3) return false;
    ++i;
  }
  if (i < text.size() && text[i] == '$') {
    if (letters == 0) return false;
    ++i;
  }
  int row = 0;
  std::size_t digits = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) {
    row = row * 10 + (text[i] - '0');
    if (++digits > 7) return false;
    ++i;
  }
  if (i != text.size() || (letters == 0 && digits == 0)) return false;
  if (letters > 0 && (col < 1 || col > kMaxSheetColumns)) return false;
  if (digits > 0 && (row < 1 || row > kMaxSheetRows)) return false;
  part.col = col;
  part.row = row;
  return true;
}

bool ParseArea(std::string_view text, CellRect& rect) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  const std::size_t colon = text.find(':');
  AddressPart a;
  AddressPart b;
  if (colon == std::string_view::npos) {
    if (!ParsePart(text, a) || a.col == 0 || a.row == 0) return false;
    b = a;
  } else {
    if (!ParsePart(text.substr(0, colon), a) || !ParsePart(text.substr(colon + 1), b)) return false;
    const bool aCell = a.col && a.row, bCell = b.col && b.row;
    const bool aCols = a.col && !a.row, bCols = b.col && !b.row;
    const bool aRows = !a.col && a.row, bRows = !b.col && b.row;
    if (aCols && bCols) {
      a.row = 1;
      b.row = kMaxSheetRows;
    } else if (aRows && bRows) {
      a.col = 1;
      b.col = kMaxSheetColumns;
    } else if (!(aCell && bCell)) {
      return false;
    }
  }
  rect.row1 = std::min(a.row, b.row);
  rect.row2 = std::max(a.row, b.row);
  rect.col1 = std::min(a.col, b.col);
  rect.col2 = std::max(a.col, b.col);
  return true;
}

bool IsNumberText(const std::string& text, double& value) {
  // Plain decimal numbers only: optional sign, digits, optional fraction.
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  std::size_t digits = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
  }
  if (digits == 0 || i != text.size() || digits > 15) return false;
  value = std::strtod(text.c_str(), nullptr);
  return true;
}

bool IsTimeText(const std::string& text, double& value, std::string& format) {
  // h:mm or h:mm:ss, as the application reads a typed time.
  int parts[3] = {0, 0, 0};
  int count = 0;
  std::size_t i = 0;
  while (count < 3) {
    std::size_t digits = 0;
    int number = 0;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) && digits < 4) {
      number = number * 10 + (text[i] - '0');
      ++i;
      ++digits;
    }
    if (digits == 0 || (count > 0 && digits != 2)) return false;
    parts[count++] = number;
    if (i == text.size()) break;
    if (text[i] != ':') return false;
    ++i;
  }
  if (i != text.size() || count < 2 || parts[1] > 59 || parts[2] > 59) return false;
  value = (parts[0] * 3600.0 + parts[1] * 60.0 + parts[2]) / 86400.0;
  if (parts[0] >= 24) {
    format = "[h]:mm:ss";
  } else {
    format = count == 3 ? "h:mm:ss" : "h:mm";
  }
  return true;
}

}  // namespace

bool ParseRangeAddress(std::string_view text, Areas& areas) {
  Areas parsed;
  while (true) {
    const std::size_t comma = text.find(',');
    CellRect rect;
    if (!ParseArea(text.substr(0, comma), rect)) return false;
    parsed.push_back(rect);
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  areas = std::move(parsed);
  return true;
}

std::string ColumnName(int col) {
  std::string name;
  while (col > 0) {
    const int digit = (col - 1) % 26;
    name.insert(name.begin(), static_cast<char>('A' + digit));
    col = (col - 1) / 26;
  }
  return name;
}

bool PaletteColor(int index, uint32_t& rgb) {
  static constexpr uint32_t kPalette[56] = {
      0x000000, 0xFFFFFF, 0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0xFF00FF, 0x00FFFF,
      0x800000, 0x008000, 0x000080, 0x808000, 0x800080, 0x008080, 0xC0C0C0, 0x808080,
      0x9999FF, 0x993366, 0xFFFFCC, 0xCCFFFF, 0x660066, 0xFF8080, 0x0066CC, 0xCCCCFF,
      0x000080, 0xFF00FF, 0xFFFF00, 0x00FFFF, 0x800080, 0x800000, 0x008080, 0x0000FF,
      0x00CCFF, 0xCCFFFF, 0xCCFFCC, 0xFFFF99, 0x99CCFF, 0xFF99CC, 0xCC99FF, 0xFFCC99,
      0x3366FF, 0x33CCCC, 0x99CC00, 0xFFCC00, 0xFF9900, 0xFF6600, 0x666699, 0x969696,
      0x003366, 0x339966, 0x003300, 0x333300, 0x993300, 0x993366, 0x333399, 0x333333};
  if (index < 1 || index > 56) return false;
  rgb = kPalette[index - 1];
  return true;
}

bool ValidSheetName(const std::string& name) {
  if (name.empty() || name.size() > 31) return false;
  if (name.front() == '\'' || name.back() == '\'') return false;
  return name.find_first_of("[]:*?/\\") == std::string::npos;
}

namespace {

struct TextTable {
  std::mutex mutex;
  std::vector<std::string> texts{"Calibri", "General", "@"};
};

TextTable& Texts() {
  static TextTable* table = new TextTable;  // lives as long as the process
  return *table;
}

}  // namespace

int InternText(const std::string& text) {
  TextTable& t = Texts();
  std::lock_guard<std::mutex> lock(t.mutex);
  for (std::size_t i = 0; i < t.texts.size(); ++i) {
    if (t.texts[i] == text) return static_cast<int>(i);
  }
  t.texts.push_back(text);
  return static_cast<int>(t.texts.size() - 1);
}

std::string InternedText(int id) {
  TextTable& t = Texts();
  std::lock_guard<std::mutex> lock(t.mutex);
  return id >= 0 && static_cast<std::size_t>(id) < t.texts.size()
             ? t.texts[static_cast<std::size_t>(id)]
             : std::string();
}

void SheetModel::ApplyFormat(FormatAttr attr, const Areas& areas, int number,
                             const std::string& text) {
  if (attr == FormatAttr::FontName || attr == FormatAttr::NumberFormat) number = InternText(text);
  ops_[static_cast<std::size_t>(attr)].push_back(Op{areas, number});
}

template <class Pred>
void SheetModel::Replay(CellFormat& format, Pred covers) const {
  for (std::size_t a = 0; a < kFormatAttrCount; ++a) {
    const auto& ops = ops_[a];
    for (auto op = ops.rbegin(); op != ops.rend(); ++op) {
      if (!std::any_of(op->areas.begin(), op->areas.end(), covers)) continue;
      switch (static_cast<FormatAttr>(a)) {
        case FormatAttr::FontName:
          format.fontName = op->number;
          break;
        case FormatAttr::FontSize:
          format.fontSize = op->number;
          break;
        case FormatAttr::Bold:
          format.bold = op->number;
          break;
        case FormatAttr::HAlign:
          format.hAlign = op->number;
          break;
        case FormatAttr::BorderStyle:
          format.borderStyle = op->number;
          break;
        case FormatAttr::BorderColor:
          format.borderColor = op->number;
          break;
        case FormatAttr::Interior:
          format.interior = op->number;
          break;
        case FormatAttr::NumberFormat:
          format.numberFormat = op->number;
          break;
      }
      break;
    }
  }
}

CellFormat SheetModel::FormatAt(int row, int col) const {
  CellFormat format;
  Replay(format, [&](const CellRect& r) { return r.Contains(row, col); });
  return format;
}

CellFormat SheetModel::ColumnFormat(int col) const {
  CellFormat format;
  Replay(format, [&](const CellRect& r) { return r.AllRows() && col >= r.col1 && col <= r.col2; });
  return format;
}

CellFormat SheetModel::RowFormat(int row) const {
  CellFormat format;
  Replay(format,
         [&](const CellRect& r) { return r.AllColumns() && row >= r.row1 && row <= r.row2; });
  return format;
}

std::vector<CellRect> SheetModel::FormattedAreas() const {
  std::vector<CellRect> areas;
  for (const auto& ops : ops_) {
    for (const auto& op : ops) areas.insert(areas.end(), op.areas.begin(), op.areas.end());
  }
  return areas;
}

int SheetModel::NumberFormatAt(int row, int col) const {
  const auto& ops = ops_[static_cast<std::size_t>(FormatAttr::NumberFormat)];
  for (auto op = ops.rbegin(); op != ops.rend(); ++op) {
    for (const auto& r : op->areas) {
      if (r.Contains(row, col)) return op->number;
    }
  }
  return kTextGeneral;
}

void SheetModel::PutText(int row, int col, const std::string& text) {
  if (text.empty()) {
    ClearValue(row, col);
    return;
  }
  CellValue value;
  // Numbers keep only their value, texts their text.
  if (NumberFormatAt(row, col) != kTextAt) {
    double number = 0;
    std::string format;
    if (IsNumberText(text, number)) {
      value.isNumber = true;
      value.number = number;
    } else if (IsTimeText(text, number, format)) {
      value.isNumber = true;
      value.number = number;
      value.autoFormat = InternText(format);
    }
  }
  if (!value.isNumber) value.text = text;
  // Blocks arrive in key order: the end is the right place to look first.
  values_.insert_or_assign(values_.end(), Key(row, col), std::move(value));
}

void SheetModel::ClearValue(int row, int col) {
  values_.erase(Key(row, col));
}

const CellValue* SheetModel::ValueAt(int row, int col) const {
  const auto it = values_.find(Key(row, col));
  return it == values_.end() ? nullptr : &it->second;
}

void SheetModel::Merge(const CellRect& rect) {
  // Merging keeps the top-left value only and swallows merges it overlaps.
  std::erase_if(merges_, [&](const CellRect& m) {
    return m.row1 <= rect.row2 && rect.row1 <= m.row2 && m.col1 <= rect.col2 && rect.col1 <= m.col2;
  });
  if (rect.CellCount() > 1) merges_.push_back(rect);
  auto it = values_.lower_bound(Key(rect.row1, 0));
  while (it != values_.end() && KeyRow(it->first) <= rect.row2) {
    const int r = KeyRow(it->first), c = KeyCol(it->first);
    if (rect.Contains(r, c) && !(r == rect.row1 && c == rect.col1)) {
      it = values_.erase(it);
    } else {
      ++it;
    }
  }
}

void SheetModel::SetColumnWidth(int col1, int col2, double width) {
  if (col1 == 1 && col2 == kMaxSheetColumns) {
    widths_.clear();
    hasDefaultWidth_ = true;
    defaultWidth_ = width;
    return;
  }
  for (int c = col1; c <= col2; ++c) widths_[c] = width;
}

double SheetModel::ColumnWidth(int col) const {
  const auto it = widths_.find(col);
  return it == widths_.end() ? defaultWidth_ : it->second;
}

int SheetModel::ColumnWidthPx(double width) {
  // The file format's rule: a 7-pixel digit plus 5 pixels of padding.
  if (width <= 0) return 0;
  if (width < 1) return static_cast<int>(width * 12 + 0.5);
  return static_cast<int>(width * 7 + 0.5) + 5;
}

int SheetModel::ColumnLeftPx(int col) const {
  int left = 0;
  const int defaultPx = ColumnWidthPx(defaultWidth_);
  int next = 1;
  for (const auto& [c, width] : widths_) {
    if (c >= col) break;
    left += (c - next) * defaultPx + ColumnWidthPx(width);
    next = c + 1;
  }
  return left + std::max(0, col - next) * defaultPx;
}

double SheetModel::RowHeightPoints(int row) const {
  // Rows formatted whole are as tall as their font needs, as the application
  // sizes them; the others keep the default.
  bool whole = false;
  for (const auto& attr : ops_) {
    for (const auto& op : attr) {
      for (const auto& a : op.areas) {
        if (a.AllColumns() && !a.AllRows() && row >= a.row1 && row <= a.row2) whole = true;
      }
    }
  }
  if (!whole) return 0;
  return std::max(15.0, std::ceil(RowFormat(row).fontSize * 1.3 * 4.0) / 4.0);
}

int SheetModel::RowTopPx(int row) const {
  int top = 0;
  for (int r = 1; r < row; ++r) {
    const double points = RowHeightPoints(r);
    top += points > 0 ? static_cast<int>(points * 4 / 3 + 0.5) : 20;
  }
  return top;
}

int WorkbookModel::IndexOf(const SheetModel* sheet) const {
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    if (sheets[i].get() == sheet) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace yelvane
