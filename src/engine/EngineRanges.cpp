// The engine's range objects: cell values, merges, widths, number formats,
// and the font, borders and interior of a range.

#include <algorithm>
#include <cmath>
#include <iterator>

#include "common/Format.h"
#include "engine/EngineObjects.h"

namespace yelvane::engine {
namespace {

class RangeObject final : public EngineBase {
 public:
  RangeObject(std::shared_ptr<EngineState> state, std::shared_ptr<WorkbookModel> book,
              std::shared_ptr<SheetModel> sheet, Areas areas)
      : state_(std::move(state)),
        book_(std::move(book)),
        sheet_(std::move(sheet)),
        areas_(std::move(areas)) {}

  const std::shared_ptr<SheetModel>& Sheet() const { return sheet_; }
  const Areas& GetAreas() const { return areas_; }

  HResult GetValue(const EngineCall& c) {
    const CellRect& a = areas_.front();
    if (a.CellCount() == 1) {
      return c.Answer(CellVariant(a.row1, a.col1));
    }
    if (a.CellCount() > kMaxCellsPerPut) return kXlEApplication;
    auto array = std::make_shared<VariantArray>(a.row2 - a.row1 + 1, a.col2 - a.col1 + 1);
    for (int r = a.row1; r <= a.row2; ++r) {
      for (int col = a.col1; col <= a.col2; ++col)
        array->At(r - a.row1 + 1, col - a.col1 + 1) = CellVariant(r, col);
    }
    return c.Answer(array);
  }
  HResult PutValue(const EngineCall& c) {
    RETURN_IF_FAILED(ArgCount(c, 0, 0));
    const Variant& v = *c.value;
    if (const VariantArray* array = v.Array()) {
      const CellRect& a = areas_.front();
      if (a.CellCount() > kMaxCellsPerPut) return kXlEApplication;
      for (int r = a.row1; r <= a.row2; ++r) {
        for (int col = a.col1; col <= a.col2; ++col) {
          const int i = r - a.row1 + 1, j = col - a.col1 + 1;
          if (i <= array->Rows() && j <= array->Columns()) {
            RETURN_IF_FAILED(PutCell(r, col, array->At(i, j)));
          } else {
            sheet_->PutText(r, col, "#N/A");
          }
        }
      }
      return kStatusOk;
    }
    for (const auto& a : areas_) {
      if (a.CellCount() > kMaxCellsPerPut) return kXlEApplication;
    }
    for (const auto& a : areas_) {
      for (int r = a.row1; r <= a.row2; ++r) {
        for (int col = a.col1; col <= a.col2; ++col) RETURN_IF_FAILED(PutCell(r, col, v));
      }
    }
    return kStatusOk;
  }
  HResult GetFont(const EngineCall& c);
  HResult GetBorders(const EngineCall& c);
  HResult GetInterior(const EngineCall& c);
  HResult Merge(const EngineCall& c) {
    RETURN_IF_FAILED(ArgCount(c, 0, 1));
    for (const auto& a : areas_) {
      if (a.CellCount() > kMaxCellsPerPut) return kXlEApplication;
      sheet_->Merge(a);
    }
    return kStatusOk;
  }
  HResult Select(const EngineCall&) {
    // Only cells of the active sheet can be selected.
    if (state_->activeBook != book_ || book_->IndexOf(sheet_.get()) != book_->active)
      return kXlEApplication;
    sheet_->Select(areas_.front());
    return kStatusOk;
  }
  HResult GetHAlign(const EngineCall& c) {
    return c.Answer(sheet_->FormatAt(areas_[0].row1, areas_[0].col1).hAlign);
  }
  HResult PutHAlign(const EngineCall& c) {
    int32_t value = 0;
    RETURN_IF_FAILED(IntArg(*c.value, value));
    static constexpr int kKnown[] = {1, 2, 3, 4, 5, 6, 7, -4131, -4108, -4152, -4130, -4117};
    if (std::find(std::begin(kKnown), std::end(kKnown), value) == std::end(kKnown))
      return kXlEApplication;
    sheet_->ApplyFormat(FormatAttr::HAlign, areas_, value, {});
    return kStatusOk;
  }
  HResult GetColumnWidth(const EngineCall& c) {
    return c.Answer(static_cast<int32_t>(std::lround(sheet_->ColumnWidth(areas_[0].col1))));
  }
  HResult PutColumnWidth(const EngineCall& c) {
    int32_t width = 0;
    RETURN_IF_FAILED(IntArg(*c.value, width));
    if (width < 0 || width > 255) return kXlEApplication;
    for (const auto& a : areas_) sheet_->SetColumnWidth(a.col1, a.col2, width);
    return kStatusOk;
  }
  HResult GetNumberFormat(const EngineCall& c) {
    return c.Answer(InternedText(sheet_->NumberFormatAt(areas_[0].row1, areas_[0].col1)));
  }
  HResult PutNumberFormat(const EngineCall& c) {
    std::string format;
    RETURN_IF_FAILED(StringArg(*c.value, format));
    if (format.empty()) format = "General";
    sheet_->ApplyFormat(FormatAttr::NumberFormat, areas_, 0, format);
    return kStatusOk;
  }
  HResult GetRow(const EngineCall& c) { return c.Answer(areas_[0].row1); }
  HResult GetColumn(const EngineCall& c) { return c.Answer(areas_[0].col1); }
  HResult GetCount(const EngineCall& c) {
    int64_t count = 0;
    for (const auto& a : areas_) count += a.CellCount();
    return c.Answer(static_cast<int32_t>(std::min<int64_t>(count, 0x7FFFFFFF)));
  }
  HResult GetAddress(const EngineCall& c) {
    std::string text;
    for (const auto& a : areas_) {
      if (!text.empty()) text += ',';
      text += Format("$%s$%d", ColumnName(a.col1).c_str(), a.row1);
      if (a.CellCount() > 1) text += Format(":$%s$%d", ColumnName(a.col2).c_str(), a.row2);
    }
    return c.Answer(text);
  }
  HResult GetCells(const EngineCall& c) {
    RETURN_IF_FAILED(ArgCount(c, 0, 2));
    if (c.args.empty()) {
      return c.Answer(std::shared_ptr<Dispatch>(shared_from_this()));
    }
    if (c.args.size() != 2) return kDispEBadParamCount;
    int32_t row = 0, col = 0;
    RETURN_IF_FAILED(IntArg(c.args[0], row));
    RETURN_IF_FAILED(IntArg(c.args[1], col));
    const int r = areas_[0].row1 + row - 1, cc = areas_[0].col1 + col - 1;
    if (row < 1 || col < 1 || r > kMaxSheetRows || cc > kMaxSheetColumns) return kXlEApplication;
    return c.Answer(New<RangeObject>(state_, book_, sheet_, Areas{CellRect{r, cc, r, cc}}));
  }
  HResult GetWorksheet(const EngineCall& c) {
    return c.Answer(MakeWorksheet(state_, book_, sheet_));
  }
  // Where the range's first area is on the sheet, in points (a drawing is
  // placed with these).
  HResult GetLeft(const EngineCall& c) { return Points(c, sheet_->ColumnLeftPx(areas_[0].col1)); }
  HResult GetTop(const EngineCall& c) { return Points(c, sheet_->RowTopPx(areas_[0].row1)); }
  HResult GetWidth(const EngineCall& c) {
    const CellRect& a = areas_[0];
    return Points(c, sheet_->ColumnLeftPx(a.col2 + 1) - sheet_->ColumnLeftPx(a.col1));
  }
  HResult GetHeight(const EngineCall& c) {
    const CellRect& a = areas_[0];
    if (a.row2 - a.row1 > 100000) return kXlEApplication;
    return Points(c, sheet_->RowTopPx(a.row2 + 1) - sheet_->RowTopPx(a.row1));
  }

 protected:
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> m = {
        {"Value", H(&RangeObject::GetValue), H(&RangeObject::PutValue)},
        {"Value2", H(&RangeObject::GetValue), H(&RangeObject::PutValue)},
        {"Font", H(&RangeObject::GetFont), nullptr},
        {"Borders", H(&RangeObject::GetBorders), nullptr},
        {"Interior", H(&RangeObject::GetInterior), nullptr},
        {"Merge", H(&RangeObject::Merge), nullptr},
        {"Select", H(&RangeObject::Select), nullptr},
        {"HorizontalAlignment", H(&RangeObject::GetHAlign), H(&RangeObject::PutHAlign)},
        {"ColumnWidth", H(&RangeObject::GetColumnWidth), H(&RangeObject::PutColumnWidth)},
        {"NumberFormat", H(&RangeObject::GetNumberFormat), H(&RangeObject::PutNumberFormat)},
        {"NumberFormatLocal", H(&RangeObject::GetNumberFormat), H(&RangeObject::PutNumberFormat)},
        {"Row", H(&RangeObject::GetRow), nullptr},
        {"Column", H(&RangeObject::GetColumn), nullptr},
        {"Count", H(&RangeObject::GetCount), nullptr},
        {"Address", H(&RangeObject::GetAddress), nullptr},
        {"Cells", H(&RangeObject::GetCells), nullptr},
        {"Worksheet", H(&RangeObject::GetWorksheet), nullptr},
        {"Left", H(&RangeObject::GetLeft), nullptr},
        {"Top", H(&RangeObject::GetTop), nullptr},
        {"Width", H(&RangeObject::GetWidth), nullptr},
        {"Height", H(&RangeObject::GetHeight), nullptr}};
    return m;
  }
  bool Alive() const override { return !sheet_->Deleted(); }

 private:
  Variant CellVariant(int row, int col) const {
    const CellValue* value = sheet_->ValueAt(row, col);
    if (!value) return Variant();
    if (value->isNumber && value->autoFormat == kTextGeneral &&
        value->number == std::floor(value->number) && std::fabs(value->number) < 2147483647.0)
      return Variant(static_cast<int32_t>(value->number));
    return value->isNumber ? Variant(Format("%.15g", value->number)) : Variant(value->text);
  }
  static HResult Points(const EngineCall& c, int64_t pixels) {
    return c.Answer(static_cast<int32_t>((pixels * 3 + 2) / 4));
  }
  HResult PutCell(int row, int col, const Variant& v) {
    switch (v.GetType()) {
      case Variant::Type::String:
        sheet_->PutText(row, col, v.String());
        return kStatusOk;
      case Variant::Type::Int:
        sheet_->PutText(row, col, std::to_string(v.Int()));
        return kStatusOk;
      case Variant::Type::Empty:
        sheet_->ClearValue(row, col);
        return kStatusOk;
      default:
        return kDispETypeMismatch;
    }
  }

  std::shared_ptr<EngineState> state_;
  std::shared_ptr<WorkbookModel> book_;
  std::shared_ptr<SheetModel> sheet_;
  Areas areas_;
};

// Font, borders and interior of a range: each put is one formatting
// operation over the range's areas.
class RangeFormatObject final : public EngineBase {
 public:
  enum class Kind { Font, Borders, Interior };
  RangeFormatObject(Kind kind, std::shared_ptr<SheetModel> sheet, Areas areas)
      : kind_(kind), sheet_(std::move(sheet)), areas_(std::move(areas)) {}

  HResult GetName(const EngineCall& c) { return c.Answer(InternedText(First().fontName)); }
  HResult PutName(const EngineCall& c) {
    std::string name;
    RETURN_IF_FAILED(StringArg(*c.value, name));
    if (name.empty()) return kXlEApplication;
    sheet_->ApplyFormat(FormatAttr::FontName, areas_, 0, name);
    return kStatusOk;
  }
  HResult GetSize(const EngineCall& c) { return c.Answer(First().fontSize); }
  HResult PutSize(const EngineCall& c) {
    int32_t size = 0;
    RETURN_IF_FAILED(IntArg(*c.value, size));
    if (size < 1 || size > 409) return kXlEApplication;
    sheet_->ApplyFormat(FormatAttr::FontSize, areas_, size, {});
    return kStatusOk;
  }
  HResult GetBold(const EngineCall& c) { return c.Answer(First().bold ? 1 : 0); }
  HResult PutBold(const EngineCall& c) {
    int32_t bold = 0;
    RETURN_IF_FAILED(IntArg(*c.value, bold));
    sheet_->ApplyFormat(FormatAttr::Bold, areas_, bold != 0 ? 1 : 0, {});
    return kStatusOk;
  }
  HResult GetLineStyle(const EngineCall& c) { return c.Answer(First().borderStyle); }
  HResult PutLineStyle(const EngineCall& c) {
    int32_t style = 0;
    RETURN_IF_FAILED(IntArg(*c.value, style));
    sheet_->ApplyFormat(FormatAttr::BorderStyle, areas_, style, {});
    return kStatusOk;
  }
  HResult GetColorIndex(const EngineCall& c) {
    return c.Answer(kind_ == Kind::Interior ? First().interior : First().borderColor);
  }
  HResult PutColorIndex(const EngineCall& c) {
    int32_t index = 0;
    uint32_t rgb = 0;
    RETURN_IF_FAILED(IntArg(*c.value, index));
    if (!PaletteColor(index, rgb) && index != kColorIndexNone && index != kColorIndexAutomatic)
      return kXlEApplication;
    sheet_->ApplyFormat(kind_ == Kind::Interior ? FormatAttr::Interior : FormatAttr::BorderColor,
                        areas_, index, {});
    return kStatusOk;
  }

 protected:
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> font = {
        {"Name", H(&RangeFormatObject::GetName), H(&RangeFormatObject::PutName)},
        {"Size", H(&RangeFormatObject::GetSize), H(&RangeFormatObject::PutSize)},
        {"Bold", H(&RangeFormatObject::GetBold), H(&RangeFormatObject::PutBold)}};
    static const std::vector<Member> borders = {
        {"LineStyle", H(&RangeFormatObject::GetLineStyle), H(&RangeFormatObject::PutLineStyle)},
        {"ColorIndex", H(&RangeFormatObject::GetColorIndex), H(&RangeFormatObject::PutColorIndex)}};
    static const std::vector<Member> interior = {
        {"ColorIndex", H(&RangeFormatObject::GetColorIndex), H(&RangeFormatObject::PutColorIndex)}};
    switch (kind_) {
      case Kind::Font:
        return font;
      case Kind::Borders:
        return borders;
      default:
        return interior;
    }
  }
  bool Alive() const override { return !sheet_->Deleted(); }

 private:
  CellFormat First() const { return sheet_->FormatAt(areas_[0].row1, areas_[0].col1); }
  Kind kind_;
  std::shared_ptr<SheetModel> sheet_;
  Areas areas_;
};

HResult RangeObject::GetFont(const EngineCall& c) {
  return c.Answer(New<RangeFormatObject>(RangeFormatObject::Kind::Font, sheet_, areas_));
}

HResult RangeObject::GetBorders(const EngineCall& c) {
  RETURN_IF_FAILED(ArgCount(c, 0, 0));
  return c.Answer(New<RangeFormatObject>(RangeFormatObject::Kind::Borders, sheet_, areas_));
}

HResult RangeObject::GetInterior(const EngineCall& c) {
  return c.Answer(New<RangeFormatObject>(RangeFormatObject::Kind::Interior, sheet_, areas_));
}

}  // namespace

std::shared_ptr<Dispatch> MakeRange(std::shared_ptr<EngineState> state,
                                    std::shared_ptr<WorkbookModel> book,
                                    std::shared_ptr<SheetModel> sheet, Areas areas) {
  return std::make_shared<RangeObject>(std::move(state), std::move(book), std::move(sheet),
                                       std::move(areas));
}

std::optional<RangeSpan> RangeOf(const Variant& v) {
  const auto* range = dynamic_cast<const RangeObject*>(v.Object());
  if (!range) return std::nullopt;
  return RangeSpan{range->Sheet(), range->GetAreas()};
}

}  // namespace yelvane::engine
