#include "engine/SpreadsheetEngine.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

#include "common/Format.h"
#include "common/NoCase.h"
#include "engine/WorkbookFile.h"

namespace yelvane {

struct EngineState {
  EngineOptions options;
  std::vector<std::shared_ptr<WorkbookModel>> workbooks;
  std::shared_ptr<WorkbookModel> activeBook;
  int alertBeforeOverwriting = 1;
  int displayAlerts = 1;
  int visible = 0;
};

namespace {

constexpr int64_t kMaxCellsPerPut = 4 * 1024 * 1024;

struct EngineCall {
  std::vector<Variant> args;  // declared parameter order
  const Variant* value = nullptr;
  Variant* result = nullptr;
  void Return(Variant v) const {
    if (result) *result = std::move(v);
  }
};

HResult IntArg(const Variant& v, int32_t& out) {
  switch (v.GetType()) {
    case Variant::Type::Int:
      out = v.Int();
      return kStatusOk;
    case Variant::Type::String: {
      const std::string& s = v.String();
      char* end = nullptr;
      const double d = std::strtod(s.c_str(), &end);
      if (s.empty() || *end != '\0' || std::fabs(d) > 2147483647.0) return kDispETypeMismatch;
      out = static_cast<int32_t>(std::lround(d));
      return kStatusOk;
    }
    default:
      return kDispETypeMismatch;
  }
}

HResult StringArg(const Variant& v, std::string& out) {
  switch (v.GetType()) {
    case Variant::Type::String:
      out = v.String();
      return kStatusOk;
    case Variant::Type::Int:
      out = std::to_string(v.Int());
      return kStatusOk;
    default:
      return kDispETypeMismatch;
  }
}

// Base of every engine object: a static table of members found by name
// (case-insensitive, like the real server) and invoked by index.
class EngineBase : public Dispatch, public std::enable_shared_from_this<EngineBase> {
 public:
  using Handler = HResult (EngineBase::*)(const EngineCall&);
  struct Member {
    const char* name;
    Handler get;  // property get, or the method itself
    Handler put;  // null: read-only / method
  };

  HResult GetIDsOfNames(const std::string& name, uint32_t, DispId& id) override {
    const auto& members = Members();
    for (std::size_t i = 0; i < members.size(); ++i) {
      if (EqualNoCase(name, members[i].name)) {
        id = static_cast<DispId>(i + 1);
        return kStatusOk;
      }
    }
    id = -1;
    return kDispEUnknownName;
  }

  HResult Invoke(DispId id, uint32_t, uint16_t flags, const DispParams& params,
                 Variant* result) override {
    const auto& members = Members();
    if (id < 1 || static_cast<std::size_t>(id) > members.size()) return kDispEMemberNotFound;
    if (!Alive()) return kRpcEDisconnected;
    const Member& m = members[static_cast<std::size_t>(id - 1)];
    const auto& a = params.args;
    EngineCall call;
    call.result = result;
    if (flags & kDispatchPropertyPut) {
      if (!m.put) return kDispEMemberNotFound;
      if (params.namedArgs.size() != 1 || params.namedArgs[0] != kDispIdPropertyPut || a.empty())
        return kDispEParamNotFound;
      call.value = &a[0];
      call.args.assign(a.rbegin(), a.rend() - 1);
      return (this->*m.put)(call);
    }
    if (!params.namedArgs.empty()) return kDispENoNamedArgs;
    if (!(flags & (kDispatchMethod | kDispatchPropertyGet)) || !m.get) return kDispEMemberNotFound;
    call.args.assign(a.rbegin(), a.rend());
    return (this->*m.get)(call);
  }

 protected:
  virtual const std::vector<Member>& Members() const = 0;
  virtual bool Alive() const { return true; }
};

template <class T>
EngineBase::Handler H(HResult (T::*fn)(const EngineCall&)) {
  return static_cast<EngineBase::Handler>(fn);
}

HResult ArgCount(const EngineCall& call, std::size_t min, std::size_t max) {
  return call.args.size() < min || call.args.size() > max ? kDispEBadParamCount : kStatusOk;
}

#define RETURN_IF_FAILED(expr)       \
  do {                               \
    const HResult status_ = (expr);  \
    if (status_ < 0) return status_; \
  } while (0)

// ---------------------------------------------------------------- charts

class ChartFontObject final : public EngineBase {
 public:
  ChartFontObject(std::shared_ptr<ChartModel> chart, ChartFont* font)
      : chart_(std::move(chart)), font_(font) {}

  HResult GetName(const EngineCall& c) {
    c.Return(font_->name);
    return kStatusOk;
  }
  HResult PutName(const EngineCall& c) {
    std::string name;
    RETURN_IF_FAILED(StringArg(*c.value, name));
    if (name.empty()) return kXlEApplication;
    font_->name = name;
    return kStatusOk;
  }
  HResult GetSize(const EngineCall& c) {
    c.Return(font_->size ? font_->size : 10);
    return kStatusOk;
  }
  HResult PutSize(const EngineCall& c) {
    int32_t size = 0;
    RETURN_IF_FAILED(IntArg(*c.value, size));
    if (size < 1 || size > 409) return kXlEApplication;
    font_->size = size;
    return kStatusOk;
  }
  HResult GetBold(const EngineCall& c) {
    c.Return(font_->bold > 0 ? 1 : 0);
    return kStatusOk;
  }
  HResult PutBold(const EngineCall& c) {
    int32_t bold = 0;
    RETURN_IF_FAILED(IntArg(*c.value, bold));
    font_->bold = bold != 0 ? 1 : 0;
    return kStatusOk;
  }

 protected:
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> m = {
        {"Name", H(&ChartFontObject::GetName), H(&ChartFontObject::PutName)},
        {"Size", H(&ChartFontObject::GetSize), H(&ChartFontObject::PutSize)},
        {"Bold", H(&ChartFontObject::GetBold), H(&ChartFontObject::PutBold)}};
    return m;
  }

 private:
  std::shared_ptr<ChartModel> chart_;  // keeps font_ alive
  ChartFont* font_;
};

// A caption (chart title or axis title) with its text and font.
class CaptionObject final : public EngineBase {
 public:
  CaptionObject(std::shared_ptr<ChartModel> chart, std::string* text, ChartFont* font)
      : chart_(std::move(chart)), text_(text), font_(font) {}

  HResult GetFont(const EngineCall& c) {
    c.Return(std::shared_ptr<Dispatch>(std::make_shared<ChartFontObject>(chart_, font_)));
    return kStatusOk;
  }
  HResult GetCharacters(const EngineCall& c) {
    RETURN_IF_FAILED(ArgCount(c, 0, 2));
    c.Return(std::shared_ptr<Dispatch>(std::make_shared<CaptionObject>(chart_, text_, font_)));
    return kStatusOk;
  }
  HResult GetText(const EngineCall& c) {
    c.Return(*text_);
    return kStatusOk;
  }
  HResult PutText(const EngineCall& c) { return StringArg(*c.value, *text_); }

 protected:
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> m = {
        {"Font", H(&CaptionObject::GetFont), nullptr},
        {"Characters", H(&CaptionObject::GetCharacters), nullptr},
        {"Text", H(&CaptionObject::GetText), H(&CaptionObject::PutText)},
        {"Caption", H(&CaptionObject::GetText), H(&CaptionObject::PutText)}};
    return m;
  }

 private:
  std::shared_ptr<ChartModel> chart_;
  std::string* text_;
  ChartFont* font_;
};

// Objects that only carry a font: the legend and the tick labels.
class FontHolderObject final : public EngineBase {
 public:
  FontHolderObject(std::shared_ptr<ChartModel> chart, ChartFont* font)
      : chart_(std::move(chart)), font_(font) {}
  HResult GetFont(const EngineCall& c) {
    c.Return(std::shared_ptr<Dispatch>(std::make_shared<ChartFontObject>(chart_, font_)));
    return kStatusOk;
  }

 protected:
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> m = {{"Font", H(&FontHolderObject::GetFont), nullptr}};
    return m;
  }

 private:
  std::shared_ptr<ChartModel> chart_;
  ChartFont* font_;
};

class AxisObject final : public EngineBase {
 public:
  AxisObject(std::shared_ptr<ChartModel> chart, ChartAxis* axis)
      : chart_(std::move(chart)), axis_(axis) {}

  HResult GetHasTitle(const EngineCall& c) {
    c.Return(axis_->hasTitle ? 1 : 0);
    return kStatusOk;
  }
  HResult PutHasTitle(const EngineCall& c) {
    int32_t has = 0;
    RETURN_IF_FAILED(IntArg(*c.value, has));
    axis_->hasTitle = has != 0;
    return kStatusOk;
  }
  HResult GetAxisTitle(const EngineCall& c) {
    if (!axis_->hasTitle) return kXlEApplication;  // no title object to return
    c.Return(std::shared_ptr<Dispatch>(
        std::make_shared<CaptionObject>(chart_, &axis_->title, &axis_->titleFont)));
    return kStatusOk;
  }
  HResult GetTickLabels(const EngineCall& c) {
    c.Return(
        std::shared_ptr<Dispatch>(std::make_shared<FontHolderObject>(chart_, &axis_->tickFont)));
    return kStatusOk;
  }

 protected:
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> m = {
        {"HasTitle", H(&AxisObject::GetHasTitle), H(&AxisObject::PutHasTitle)},
        {"AxisTitle", H(&AxisObject::GetAxisTitle), nullptr},
        {"TickLabels", H(&AxisObject::GetTickLabels), nullptr}};
    return m;
  }

 private:
  std::shared_ptr<ChartModel> chart_;
  ChartAxis* axis_;
};

class RangeObject;
std::shared_ptr<Dispatch> MakeWorksheet(std::shared_ptr<EngineState> state,
                                        std::shared_ptr<WorkbookModel> book,
                                        std::shared_ptr<SheetModel> sheet);

class ChartObject final : public EngineBase {
 public:
  ChartObject(std::shared_ptr<EngineState> state, std::shared_ptr<WorkbookModel> book,
              std::shared_ptr<ChartModel> chart)
      : state_(std::move(state)), book_(std::move(book)), chart_(std::move(chart)) {}

  HResult GetChartType(const EngineCall& c) {
    c.Return(chart_->type);
    return kStatusOk;
  }
  HResult PutChartType(const EngineCall& c) {
    int32_t type = 0;
    RETURN_IF_FAILED(IntArg(*c.value, type));
    // line, line with markers, column, bar, pie, area, XY scatter
    static constexpr int kKnown[] = {4, 65, 51, 57, 5, 1, -4169};
    if (std::find(std::begin(kKnown), std::end(kKnown), type) == std::end(kKnown))
      return kXlEApplication;
    chart_->type = type;
    return kStatusOk;
  }
  HResult GetHasTitle(const EngineCall& c) {
    c.Return(chart_->hasTitle ? 1 : 0);
    return kStatusOk;
  }
  HResult PutHasTitle(const EngineCall& c) {
    int32_t has = 0;
    RETURN_IF_FAILED(IntArg(*c.value, has));
    chart_->hasTitle = has != 0;
    return kStatusOk;
  }
  HResult GetChartTitle(const EngineCall& c) {
    if (!chart_->hasTitle) return kXlEApplication;
    c.Return(std::shared_ptr<Dispatch>(
        std::make_shared<CaptionObject>(chart_, &chart_->title, &chart_->titleFont)));
    return kStatusOk;
  }
  HResult GetHasLegend(const EngineCall& c) {
    c.Return(chart_->hasLegend ? 1 : 0);
    return kStatusOk;
  }
  HResult PutHasLegend(const EngineCall& c) {
    int32_t has = 0;
    RETURN_IF_FAILED(IntArg(*c.value, has));
    chart_->hasLegend = has != 0;
    return kStatusOk;
  }
  HResult GetLegend(const EngineCall& c) {
    if (!chart_->hasLegend) return kXlEApplication;
    c.Return(
        std::shared_ptr<Dispatch>(std::make_shared<FontHolderObject>(chart_, &chart_->legendFont)));
    return kStatusOk;
  }
  HResult Axes(const EngineCall& c) {
    RETURN_IF_FAILED(ArgCount(c, 1, 2));
    int32_t type = 0;
    int32_t group = 1;
    RETURN_IF_FAILED(IntArg(c.args[0], type));
    if (c.args.size() > 1) RETURN_IF_FAILED(IntArg(c.args[1], group));
    if (chart_->type == 5 || group != 1 || (type != 1 && type != 2)) return kXlEApplication;
    ChartAxis* axis = type == 1 ? &chart_->category : &chart_->value;
    c.Return(std::shared_ptr<Dispatch>(std::make_shared<AxisObject>(chart_, axis)));
    return kStatusOk;
  }
  HResult SetSourceData(const EngineCall& c);
  HResult Location(const EngineCall& c);
  HResult Activate(const EngineCall&) {
    const int index = FindChartSheet();
    if (index < 0) return kXlEApplication;
    book_->active = index;
    state_->activeBook = book_;
    return kStatusOk;
  }

 protected:
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> m = {
        {"ChartType", H(&ChartObject::GetChartType), H(&ChartObject::PutChartType)},
        {"HasTitle", H(&ChartObject::GetHasTitle), H(&ChartObject::PutHasTitle)},
        {"ChartTitle", H(&ChartObject::GetChartTitle), nullptr},
        {"HasLegend", H(&ChartObject::GetHasLegend), H(&ChartObject::PutHasLegend)},
        {"Legend", H(&ChartObject::GetLegend), nullptr},
        {"Axes", H(&ChartObject::Axes), nullptr},
        {"SetSourceData", H(&ChartObject::SetSourceData), nullptr},
        {"Location", H(&ChartObject::Location), nullptr},
        {"Activate", H(&ChartObject::Activate), nullptr}};
    return m;
  }
  bool Alive() const override {
    if (FindChartSheet() >= 0) return true;
    for (const auto& sheet : book_->sheets) {
      for (const auto& embedded : sheet->Charts()) {
        if (embedded.chart == chart_) return true;
      }
    }
    return false;
  }

 private:
  int FindChartSheet() const {
    for (std::size_t i = 0; i < book_->sheets.size(); ++i) {
      if (book_->sheets[i]->SheetChart() == chart_) return static_cast<int>(i);
    }
    return -1;
  }

  std::shared_ptr<EngineState> state_;
  std::shared_ptr<WorkbookModel> book_;
  std::shared_ptr<ChartModel> chart_;
};

// ---------------------------------------------------------------- ranges

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
      c.Return(CellVariant(a.row1, a.col1));
      return kStatusOk;
    }
    if (a.CellCount() > kMaxCellsPerPut) return kXlEApplication;
    auto array = std::make_shared<VariantArray>(a.row2 - a.row1 + 1, a.col2 - a.col1 + 1);
    for (int r = a.row1; r <= a.row2; ++r) {
      for (int col = a.col1; col <= a.col2; ++col)
        array->At(r - a.row1 + 1, col - a.col1 + 1) = CellVariant(r, col);
    }
    c.Return(array);
    return kStatusOk;
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
    c.Return(sheet_->FormatAt(areas_[0].row1, areas_[0].col1).hAlign);
    return kStatusOk;
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
    c.Return(static_cast<int32_t>(std::lround(sheet_->ColumnWidth(areas_[0].col1))));
    return kStatusOk;
  }
  HResult PutColumnWidth(const EngineCall& c) {
    int32_t width = 0;
    RETURN_IF_FAILED(IntArg(*c.value, width));
    if (width < 0 || width > 255) return kXlEApplication;
    for (const auto& a : areas_) sheet_->SetColumnWidth(a.col1, a.col2, width);
    return kStatusOk;
  }
  HResult GetNumberFormat(const EngineCall& c) {
    c.Return(InternedText(sheet_->NumberFormatAt(areas_[0].row1, areas_[0].col1)));
    return kStatusOk;
  }
  HResult PutNumberFormat(const EngineCall& c) {
    std::string format;
    RETURN_IF_FAILED(StringArg(*c.value, format));
    if (format.empty()) format = "General";
    sheet_->ApplyFormat(FormatAttr::NumberFormat, areas_, 0, format);
    return kStatusOk;
  }
  HResult GetRow(const EngineCall& c) {
    c.Return(areas_[0].row1);
    return kStatusOk;
  }
  HResult GetColumn(const EngineCall& c) {
    c.Return(areas_[0].col1);
    return kStatusOk;
  }
  HResult GetCount(const EngineCall& c) {
    int64_t count = 0;
    for (const auto& a : areas_) count += a.CellCount();
    c.Return(static_cast<int32_t>(std::min<int64_t>(count, 0x7FFFFFFF)));
    return kStatusOk;
  }
  HResult GetAddress(const EngineCall& c) {
    std::string text;
    for (const auto& a : areas_) {
      if (!text.empty()) text += ',';
      text += Format("$%s$%d", ColumnName(a.col1).c_str(), a.row1);
      if (a.CellCount() > 1) text += Format(":$%s$%d", ColumnName(a.col2).c_str(), a.row2);
    }
    c.Return(text);
    return kStatusOk;
  }
  HResult GetCells(const EngineCall& c) {
    RETURN_IF_FAILED(ArgCount(c, 0, 2));
    if (c.args.empty()) {
      c.Return(std::shared_ptr<Dispatch>(shared_from_this()));
      return kStatusOk;
    }
    if (c.args.size() != 2) return kDispEBadParamCount;
    int32_t row = 0, col = 0;
    RETURN_IF_FAILED(IntArg(c.args[0], row));
    RETURN_IF_FAILED(IntArg(c.args[1], col));
    const int r = areas_[0].row1 + row - 1, cc = areas_[0].col1 + col - 1;
    if (row < 1 || col < 1 || r > kMaxSheetRows || cc > kMaxSheetColumns) return kXlEApplication;
    c.Return(std::shared_ptr<Dispatch>(
        std::make_shared<RangeObject>(state_, book_, sheet_, Areas{CellRect{r, cc, r, cc}})));
    return kStatusOk;
  }
  HResult GetWorksheet(const EngineCall& c) {
    c.Return(MakeWorksheet(state_, book_, sheet_));
    return kStatusOk;
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
        {"Worksheet", H(&RangeObject::GetWorksheet), nullptr}};
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

  HResult GetName(const EngineCall& c) {
    c.Return(InternedText(First().fontName));
    return kStatusOk;
  }
  HResult PutName(const EngineCall& c) {
    std::string name;
    RETURN_IF_FAILED(StringArg(*c.value, name));
    if (name.empty()) return kXlEApplication;
    sheet_->ApplyFormat(FormatAttr::FontName, areas_, 0, name);
    return kStatusOk;
  }
  HResult GetSize(const EngineCall& c) {
    c.Return(First().fontSize);
    return kStatusOk;
  }
  HResult PutSize(const EngineCall& c) {
    int32_t size = 0;
    RETURN_IF_FAILED(IntArg(*c.value, size));
    if (size < 1 || size > 409) return kXlEApplication;
    sheet_->ApplyFormat(FormatAttr::FontSize, areas_, size, {});
    return kStatusOk;
  }
  HResult GetBold(const EngineCall& c) {
    c.Return(First().bold ? 1 : 0);
    return kStatusOk;
  }
  HResult PutBold(const EngineCall& c) {
    int32_t bold = 0;
    RETURN_IF_FAILED(IntArg(*c.value, bold));
    sheet_->ApplyFormat(FormatAttr::Bold, areas_, bold != 0 ? 1 : 0, {});
    return kStatusOk;
  }
  HResult GetLineStyle(const EngineCall& c) {
    c.Return(First().borderStyle);
    return kStatusOk;
  }
  HResult PutLineStyle(const EngineCall& c) {
    int32_t style = 0;
    RETURN_IF_FAILED(IntArg(*c.value, style));
    sheet_->ApplyFormat(FormatAttr::BorderStyle, areas_, style, {});
    return kStatusOk;
  }
  HResult GetColorIndex(const EngineCall& c) {
    c.Return(kind_ == Kind::Interior ? First().interior : First().borderColor);
    return kStatusOk;
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
  c.Return(std::shared_ptr<Dispatch>(
      std::make_shared<RangeFormatObject>(RangeFormatObject::Kind::Font, sheet_, areas_)));
  return kStatusOk;
}

HResult RangeObject::GetBorders(const EngineCall& c) {
  RETURN_IF_FAILED(ArgCount(c, 0, 0));
  c.Return(std::shared_ptr<Dispatch>(
      std::make_shared<RangeFormatObject>(RangeFormatObject::Kind::Borders, sheet_, areas_)));
  return kStatusOk;
}

HResult RangeObject::GetInterior(const EngineCall& c) {
  c.Return(std::shared_ptr<Dispatch>(
      std::make_shared<RangeFormatObject>(RangeFormatObject::Kind::Interior, sheet_, areas_)));
  return kStatusOk;
}

HResult ChartObject::SetSourceData(const EngineCall& c) {
  RETURN_IF_FAILED(ArgCount(c, 1, 2));
  const auto* range = dynamic_cast<const RangeObject*>(c.args[0].Object());
  if (!range || range->GetAreas().size() != 1) return kXlEApplication;
  int32_t plotBy = 2;
  if (c.args.size() > 1) RETURN_IF_FAILED(IntArg(c.args[1], plotBy));
  if (plotBy != 1 && plotBy != 2) return kXlEApplication;
  chart_->sourceSheet = range->Sheet();
  chart_->source = range->GetAreas().front();
  chart_->plotBy = plotBy;
  return kStatusOk;
}

HResult ChartObject::Location(const EngineCall& c) {
  RETURN_IF_FAILED(ArgCount(c, 1, 2));
  int32_t where = 0;
  RETURN_IF_FAILED(IntArg(c.args[0], where));
  std::string name;
  if (c.args.size() > 1) RETURN_IF_FAILED(StringArg(c.args[1], name));
  if (where != 2) return kXlEApplication;  // only "as an object in a sheet"
  std::shared_ptr<SheetModel> target;
  for (const auto& sheet : book_->sheets) {
    if (sheet->GetKind() == SheetModel::Kind::Worksheet && EqualNoCase(sheet->Name(), name))
      target = sheet;
  }
  if (!target) return kXlEApplication;
  // Take the chart out of its chart sheet (which goes away) or its old sheet.
  const int chartSheet = FindChartSheet();
  if (chartSheet >= 0) {
    book_->sheets[static_cast<std::size_t>(chartSheet)]->MarkDeleted();
    book_->sheets.erase(book_->sheets.begin() + chartSheet);
  }
  for (const auto& sheet : book_->sheets) {
    std::erase_if(sheet->Charts(), [&](const EmbeddedChart& e) { return e.chart == chart_; });
  }
  // The default place: right of the first columns, a little lower for each
  // further chart on the same sheet.
  const int offset = static_cast<int>(target->Charts().size()) * 2;
  target->Charts().push_back(EmbeddedChart{chart_, 2 + offset, 5 + offset});
  book_->active = book_->IndexOf(target.get());
  c.Return(std::shared_ptr<Dispatch>(shared_from_this()));
  return kStatusOk;
}

// ---------------------------------------------------------------- sheets

class WorksheetObject final : public EngineBase {
 public:
  WorksheetObject(std::shared_ptr<EngineState> state, std::shared_ptr<WorkbookModel> book,
                  std::shared_ptr<SheetModel> sheet)
      : state_(std::move(state)), book_(std::move(book)), sheet_(std::move(sheet)) {}

  HResult GetName(const EngineCall& c) {
    c.Return(sheet_->Name());
    return kStatusOk;
  }
  HResult PutName(const EngineCall& c) {
    std::string name;
    RETURN_IF_FAILED(StringArg(*c.value, name));
    if (!ValidSheetName(name)) return kXlEApplication;
    for (const auto& other : book_->sheets) {
      if (other != sheet_ && EqualNoCase(other->Name(), name)) return kXlEApplication;
    }
    sheet_->SetName(name);
    return kStatusOk;
  }
  HResult GetCells(const EngineCall& c) {
    RETURN_IF_FAILED(ArgCount(c, 0, 2));
    if (c.args.empty()) return Return(c, CellRect{1, 1, kMaxSheetRows, kMaxSheetColumns});
    int32_t row = 0, col = 0;
    if (c.args.size() == 1) {
      int32_t index = 0;
      RETURN_IF_FAILED(IntArg(c.args[0], index));
      if (index < 1) return kXlEApplication;
      row = (index - 1) / kMaxSheetColumns + 1;
      col = (index - 1) % kMaxSheetColumns + 1;
    } else {
      RETURN_IF_FAILED(IntArg(c.args[0], row));
      RETURN_IF_FAILED(IntArg(c.args[1], col));
    }
    if (row < 1 || col < 1 || row > kMaxSheetRows || col > kMaxSheetColumns) return kXlEApplication;
    return Return(c, CellRect{row, col, row, col});
  }
  HResult GetRange(const EngineCall& c) {
    RETURN_IF_FAILED(ArgCount(c, 1, 2));
    Areas first;
    RETURN_IF_FAILED(AreasOf(c.args[0], first));
    if (c.args.size() == 1) return Return(c, first);
    Areas second;
    RETURN_IF_FAILED(AreasOf(c.args[1], second));
    CellRect box = first.front();
    for (const auto& a : second) {
      box.row1 = std::min(box.row1, a.row1);
      box.col1 = std::min(box.col1, a.col1);
      box.row2 = std::max(box.row2, a.row2);
      box.col2 = std::max(box.col2, a.col2);
    }
    return Return(c, box);
  }
  HResult GetColumns(const EngineCall& c) { return Lines(c, true); }
  HResult GetRows(const EngineCall& c) { return Lines(c, false); }
  HResult Activate(const EngineCall&) {
    book_->active = book_->IndexOf(sheet_.get());
    state_->activeBook = book_;
    return kStatusOk;
  }
  HResult Delete(const EngineCall&) {
    const int index = book_->IndexOf(sheet_.get());
    if (index < 0 || book_->sheets.size() < 2) return kXlEApplication;  // the last sheet stays
    sheet_->MarkDeleted();
    book_->sheets.erase(book_->sheets.begin() + index);
    if (book_->active > index || book_->active >= static_cast<int>(book_->sheets.size()))
      book_->active = std::max(0, book_->active - 1);
    return kStatusOk;
  }
  HResult GetIndex(const EngineCall& c) {
    c.Return(book_->IndexOf(sheet_.get()) + 1);
    return kStatusOk;
  }

 protected:
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> m = {
        {"Name", H(&WorksheetObject::GetName), H(&WorksheetObject::PutName)},
        {"Cells", H(&WorksheetObject::GetCells), nullptr},
        {"Range", H(&WorksheetObject::GetRange), nullptr},
        {"Columns", H(&WorksheetObject::GetColumns), nullptr},
        {"Rows", H(&WorksheetObject::GetRows), nullptr},
        {"Activate", H(&WorksheetObject::Activate), nullptr},
        {"Select", H(&WorksheetObject::Activate), nullptr},
        {"Delete", H(&WorksheetObject::Delete), nullptr},
        {"Index", H(&WorksheetObject::GetIndex), nullptr}};
    return m;
  }
  bool Alive() const override { return !sheet_->Deleted(); }

 private:
  HResult Return(const EngineCall& c, const CellRect& rect) { return Return(c, Areas{rect}); }
  HResult Return(const EngineCall& c, Areas areas) {
    c.Return(std::shared_ptr<Dispatch>(
        std::make_shared<RangeObject>(state_, book_, sheet_, std::move(areas))));
    return kStatusOk;
  }
  HResult AreasOf(const Variant& v, Areas& areas) {
    if (const auto* range = dynamic_cast<const RangeObject*>(v.Object())) {
      if (range->Sheet() != sheet_) return kXlEApplication;
      areas = range->GetAreas();
      return kStatusOk;
    }
    if (v.GetType() != Variant::Type::String) return kDispETypeMismatch;
    return ParseRangeAddress(v.String(), areas) ? kStatusOk : kXlEApplication;
  }
  // Columns("B:B"), Columns("B"), Columns(2) and the Rows counterparts.
  HResult Lines(const EngineCall& c, bool columns) {
    RETURN_IF_FAILED(ArgCount(c, 0, 1));
    CellRect all{1, 1, kMaxSheetRows, kMaxSheetColumns};
    if (c.args.empty()) return Return(c, all);
    const Variant& v = c.args[0];
    if (v.GetType() == Variant::Type::Int) {
      const int n = v.Int();
      if (n < 1 || n > (columns ? kMaxSheetColumns : kMaxSheetRows)) return kXlEApplication;
      if (columns)
        all.col1 = all.col2 = n;
      else
        all.row1 = all.row2 = n;
      return Return(c, all);
    }
    if (v.GetType() != Variant::Type::String) return kDispETypeMismatch;
    std::string text = v.String();
    if (text.find(':') == std::string::npos) text += ":" + text;
    Areas areas;
    if (!ParseRangeAddress(text, areas)) return kXlEApplication;
    for (const auto& a : areas) {
      if (columns ? !a.AllRows() : !a.AllColumns()) return kXlEApplication;
    }
    return Return(c, areas);
  }

  std::shared_ptr<EngineState> state_;
  std::shared_ptr<WorkbookModel> book_;
  std::shared_ptr<SheetModel> sheet_;
};

std::shared_ptr<Dispatch> MakeWorksheet(std::shared_ptr<EngineState> state,
                                        std::shared_ptr<WorkbookModel> book,
                                        std::shared_ptr<SheetModel> sheet) {
  if (sheet->GetKind() == SheetModel::Kind::ChartSheet) {
    return std::make_shared<ChartObject>(std::move(state), std::move(book), sheet->SheetChart());
  }
  return std::make_shared<WorksheetObject>(std::move(state), std::move(book), std::move(sheet));
}

// Sheets, Worksheets and Charts of a workbook.
class SheetsObject final : public EngineBase {
 public:
  enum class Filter { All, Worksheets, Charts };
  SheetsObject(std::shared_ptr<EngineState> state, std::shared_ptr<WorkbookModel> book,
               Filter filter)
      : state_(std::move(state)), book_(std::move(book)), filter_(filter) {}

  HResult Item(const EngineCall& c, Variant& out) {
    RETURN_IF_FAILED(ArgCount(c, 1, 1));
    const auto list = Matching();
    const Variant& key = c.args[0];
    if (key.GetType() == Variant::Type::String) {
      for (const auto& sheet : list) {
        if (EqualNoCase(sheet->Name(), key.String())) {
          out = MakeWorksheet(state_, book_, sheet);
          return kStatusOk;
        }
      }
      return kDispEBadIndex;
    }
    int32_t index = 0;
    RETURN_IF_FAILED(IntArg(key, index));
    if (index < 1 || index > static_cast<int>(list.size())) return kDispEBadIndex;
    out = MakeWorksheet(state_, book_, list[static_cast<std::size_t>(index - 1)]);
    return kStatusOk;
  }
  HResult GetItem(const EngineCall& c) {
    Variant out;
    RETURN_IF_FAILED(Item(c, out));
    c.Return(out);
    return kStatusOk;
  }
  HResult GetCount(const EngineCall& c) {
    c.Return(static_cast<int32_t>(Matching().size()));
    return kStatusOk;
  }
  // Add(Before, After, Count, Type): a new sheet, placed before the active
  // sheet unless told otherwise, becomes the active sheet.
  HResult Add(const EngineCall& c) {
    RETURN_IF_FAILED(ArgCount(c, 0, 4));
    int position = book_->active;
    for (std::size_t i = 0; i < std::min<std::size_t>(c.args.size(), 2); ++i) {
      if (c.args[i].IsEmpty()) continue;
      int index = -1;
      if (auto* ws = dynamic_cast<WorksheetObject*>(c.args[i].Object())) {
        Variant v;
        EngineCall get;
        get.result = &v;
        ws->GetIndex(get);
        index = v.Int() - 1;
      }
      if (index < 0) return kDispETypeMismatch;
      position = i == 0 ? index : index + 1;
    }
    std::shared_ptr<SheetModel> sheet;
    if (filter_ == Filter::Charts) {
      sheet = std::make_shared<SheetModel>(SheetModel::Kind::ChartSheet,
                                           Format("Chart%d", ++book_->chartCounter));
      sheet->SheetChart() = std::make_shared<ChartModel>();
    } else {
      sheet = std::make_shared<SheetModel>(SheetModel::Kind::Worksheet,
                                           Format("Sheet%d", ++book_->sheetCounter));
    }
    position = std::clamp(position, 0, static_cast<int>(book_->sheets.size()));
    book_->sheets.insert(book_->sheets.begin() + position, sheet);
    book_->active = position;
    state_->activeBook = book_;
    c.Return(MakeWorksheet(state_, book_, sheet));
    return kStatusOk;
  }

 protected:
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> m = {{"Item", H(&SheetsObject::GetItem), nullptr},
                                          {"Count", H(&SheetsObject::GetCount), nullptr},
                                          {"Add", H(&SheetsObject::Add), nullptr}};
    return m;
  }

 private:
  std::vector<std::shared_ptr<SheetModel>> Matching() const {
    std::vector<std::shared_ptr<SheetModel>> list;
    for (const auto& sheet : book_->sheets) {
      const bool chart = sheet->GetKind() == SheetModel::Kind::ChartSheet;
      if (filter_ == Filter::All || (filter_ == Filter::Charts) == chart) list.push_back(sheet);
    }
    return list;
  }
  std::shared_ptr<EngineState> state_;
  std::shared_ptr<WorkbookModel> book_;
  Filter filter_;
};

class WorkbookObject final : public EngineBase {
 public:
  WorkbookObject(std::shared_ptr<EngineState> state, std::shared_ptr<WorkbookModel> book)
      : state_(std::move(state)), book_(std::move(book)) {}

  HResult GetSheets(const EngineCall& c) { return Collection(c, SheetsObject::Filter::All); }
  HResult GetWorksheets(const EngineCall& c) {
    return Collection(c, SheetsObject::Filter::Worksheets);
  }
  HResult GetCharts(const EngineCall& c) { return Collection(c, SheetsObject::Filter::Charts); }
  HResult GetActiveSheet(const EngineCall& c) {
    c.Return(MakeWorksheet(state_, book_, book_->sheets[static_cast<std::size_t>(book_->active)]));
    return kStatusOk;
  }
  // SaveAs(Filename, FileFormat, ...): 56 is the 97-2003 format, 51 the
  // XML workbook; without a format the file name's extension decides.
  HResult SaveAs(const EngineCall& c) {
    RETURN_IF_FAILED(ArgCount(c, 1, 12));
    std::string path;
    RETURN_IF_FAILED(StringArg(c.args[0], path));
    bool xls = EndsWithNoCase(path, ".xls");
    if (c.args.size() > 1 && !c.args[1].IsEmpty()) {
      int32_t format = 0;
      RETURN_IF_FAILED(IntArg(c.args[1], format));
      if (format == 56)
        xls = true;
      else if (format == 51)
        xls = false;
      else if (format != -4143)
        return kXlEApplication;
    }
    std::string error;
    const EngineOptions& o = state_->options;
    const std::string soffice = xls ? FindLibreOffice(o.sofficePath) : std::string();
    if (xls && soffice.empty()) {
      error = "LibreOffice is not installed; it is needed for the 97-2003 format (.xls)";
    } else if (SaveWorkbookFile(*book_, path, xls, soffice, o.conversionTimeoutSeconds, error)) {
      return kStatusOk;
    }
    if (o.diagnostic) o.diagnostic(error);
    return kXlEApplication;
  }
  HResult Activate(const EngineCall&) {
    state_->activeBook = book_;
    return kStatusOk;
  }
  HResult Close(const EngineCall&) {
    std::erase(state_->workbooks, book_);
    if (state_->activeBook == book_)
      state_->activeBook = state_->workbooks.empty() ? nullptr : state_->workbooks.back();
    return kStatusOk;
  }

 protected:
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> m = {
        {"Sheets", H(&WorkbookObject::GetSheets), nullptr},
        {"Worksheets", H(&WorkbookObject::GetWorksheets), nullptr},
        {"Charts", H(&WorkbookObject::GetCharts), nullptr},
        {"ActiveSheet", H(&WorkbookObject::GetActiveSheet), nullptr},
        {"SaveAs", H(&WorkbookObject::SaveAs), nullptr},
        {"Activate", H(&WorkbookObject::Activate), nullptr},
        {"Close", H(&WorkbookObject::Close), nullptr}};
    return m;
  }

 private:
  // Without an argument the collection; with one, the item (Sheets(2)).
  HResult Collection(const EngineCall& c, SheetsObject::Filter filter) {
    RETURN_IF_FAILED(ArgCount(c, 0, 1));
    auto sheets = std::make_shared<SheetsObject>(state_, book_, filter);
    if (c.args.empty()) {
      c.Return(std::shared_ptr<Dispatch>(sheets));
      return kStatusOk;
    }
    return sheets->GetItem(c);
  }
  std::shared_ptr<EngineState> state_;
  std::shared_ptr<WorkbookModel> book_;
};

class WorkbooksObject final : public EngineBase {
 public:
  explicit WorkbooksObject(std::shared_ptr<EngineState> state) : state_(std::move(state)) {}

  HResult Add(const EngineCall& c) {
    RETURN_IF_FAILED(ArgCount(c, 0, 1));
    auto book = std::make_shared<WorkbookModel>();
    const int count = std::max(1, state_->options.sheetsInNewWorkbook);
    for (int i = 1; i <= count; ++i) {
      book->sheets.push_back(
          std::make_shared<SheetModel>(SheetModel::Kind::Worksheet, Format("Sheet%d", i)));
    }
    book->sheetCounter = count;
    state_->workbooks.push_back(book);
    state_->activeBook = book;
    c.Return(std::shared_ptr<Dispatch>(std::make_shared<WorkbookObject>(state_, book)));
    return kStatusOk;
  }
  HResult GetCount(const EngineCall& c) {
    c.Return(static_cast<int32_t>(state_->workbooks.size()));
    return kStatusOk;
  }
  HResult GetItem(const EngineCall& c) {
    RETURN_IF_FAILED(ArgCount(c, 1, 1));
    int32_t index = 0;
    RETURN_IF_FAILED(IntArg(c.args[0], index));
    if (index < 1 || index > static_cast<int>(state_->workbooks.size())) return kDispEBadIndex;
    c.Return(std::shared_ptr<Dispatch>(std::make_shared<WorkbookObject>(
        state_, state_->workbooks[static_cast<std::size_t>(index - 1)])));
    return kStatusOk;
  }

 protected:
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> m = {{"Add", H(&WorkbooksObject::Add), nullptr},
                                          {"Count", H(&WorkbooksObject::GetCount), nullptr},
                                          {"Item", H(&WorkbooksObject::GetItem), nullptr}};
    return m;
  }

 private:
  std::shared_ptr<EngineState> state_;
};

class WindowObject final : public EngineBase {
 public:
  WindowObject(std::shared_ptr<EngineState> state, std::shared_ptr<WorkbookModel> book)
      : state_(std::move(state)), book_(std::move(book)) {}

  HResult GetGridlines(const EngineCall& c) {
    SheetModel* sheet = Active();
    if (!sheet) return kXlEApplication;
    c.Return(sheet->Gridlines() ? 1 : 0);
    return kStatusOk;
  }
  HResult PutGridlines(const EngineCall& c) {
    int32_t show = 0;
    RETURN_IF_FAILED(IntArg(*c.value, show));
    SheetModel* sheet = Active();
    if (!sheet) return kXlEApplication;
    sheet->SetGridlines(show != 0);
    return kStatusOk;
  }

 protected:
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> m = {
        {"DisplayGridlines", H(&WindowObject::GetGridlines), H(&WindowObject::PutGridlines)}};
    return m;
  }

 private:
  // The window shows its workbook's active sheet; a chart sheet has no grid.
  SheetModel* Active() const {
    if (book_->sheets.empty()) return nullptr;
    SheetModel* sheet = book_->sheets[static_cast<std::size_t>(book_->active)].get();
    return sheet->GetKind() == SheetModel::Kind::Worksheet ? sheet : nullptr;
  }
  std::shared_ptr<EngineState> state_;
  std::shared_ptr<WorkbookModel> book_;
};

}  // namespace

class EngineApplication final : public EngineBase {
 public:
  explicit EngineApplication(const EngineOptions& options)
      : state_(std::make_shared<EngineState>()) {
    state_->options = options;
  }
  const std::vector<std::shared_ptr<WorkbookModel>>& Books() const { return state_->workbooks; }

  HResult GetVersion(const EngineCall& c) {
    c.Return(state_->options.version);
    return kStatusOk;
  }
  HResult GetAlert(const EngineCall& c) {
    c.Return(state_->alertBeforeOverwriting);
    return kStatusOk;
  }
  HResult PutAlert(const EngineCall& c) { return IntArg(*c.value, state_->alertBeforeOverwriting); }
  HResult GetDisplayAlerts(const EngineCall& c) {
    c.Return(state_->displayAlerts);
    return kStatusOk;
  }
  HResult PutDisplayAlerts(const EngineCall& c) { return IntArg(*c.value, state_->displayAlerts); }
  HResult GetVisible(const EngineCall& c) {
    c.Return(state_->visible);
    return kStatusOk;
  }
  HResult PutVisible(const EngineCall& c) { return IntArg(*c.value, state_->visible); }
  HResult GetWorkbooks(const EngineCall& c) {
    c.Return(std::shared_ptr<Dispatch>(std::make_shared<WorkbooksObject>(state_)));
    return kStatusOk;
  }
  // Without a workbook these return "nothing" (an empty object).
  HResult GetActiveSheet(const EngineCall& c) {
    const auto& book = state_->activeBook;
    if (book && !book->sheets.empty())
      c.Return(MakeWorksheet(state_, book, book->sheets[static_cast<std::size_t>(book->active)]));
    return kStatusOk;
  }
  HResult GetActiveWorkbook(const EngineCall& c) {
    if (state_->activeBook)
      c.Return(
          std::shared_ptr<Dispatch>(std::make_shared<WorkbookObject>(state_, state_->activeBook)));
    return kStatusOk;
  }
  HResult GetActiveWindow(const EngineCall& c) {
    if (state_->activeBook)
      c.Return(
          std::shared_ptr<Dispatch>(std::make_shared<WindowObject>(state_, state_->activeBook)));
    return kStatusOk;
  }
  HResult Quit(const EngineCall&) { return kStatusOk; }

 protected:
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> m = {
        {"Version", H(&EngineApplication::GetVersion), nullptr},
        {"AlertBeforeOverwriting", H(&EngineApplication::GetAlert),
         H(&EngineApplication::PutAlert)},
        {"DisplayAlerts", H(&EngineApplication::GetDisplayAlerts),
         H(&EngineApplication::PutDisplayAlerts)},
        {"Visible", H(&EngineApplication::GetVisible), H(&EngineApplication::PutVisible)},
        {"Workbooks", H(&EngineApplication::GetWorkbooks), nullptr},
        {"ActiveSheet", H(&EngineApplication::GetActiveSheet), nullptr},
        {"ActiveWorkbook", H(&EngineApplication::GetActiveWorkbook), nullptr},
        {"ActiveWindow", H(&EngineApplication::GetActiveWindow), nullptr},
        {"Quit", H(&EngineApplication::Quit), nullptr}};
    return m;
  }

 private:
  std::shared_ptr<EngineState> state_;
};

std::shared_ptr<EngineApplication> CreateEngineApplication(const EngineOptions& options) {
  return std::make_shared<EngineApplication>(options);
}

const std::vector<std::shared_ptr<WorkbookModel>>& EngineWorkbooks(const EngineApplication& app) {
  return app.Books();
}

std::shared_ptr<Dispatch> AsDispatch(const std::shared_ptr<EngineApplication>& app) {
  return app;
}

std::string EngineAutomationServer::CheckTarget(const std::string& path) {
  if (EndsWithNoCase(path, ".xls") && FindLibreOffice(options_.sofficePath).empty()) {
    return "LibreOffice is not installed, and it is needed to write the 97-2003 format (.xls). "
           "Save the report as .xlsx instead.";
  }
  return {};
}

std::shared_ptr<Dispatch> EngineAutomationServer::CreateInstance() {
  last_ = CreateEngineApplication(options_);
  return AsDispatch(last_);
}

}  // namespace yelvane
