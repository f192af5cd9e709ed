// The engine's chart objects: the chart, its title and axes, and their fonts.

#include <algorithm>
#include <iterator>

#include "common/NoCase.h"
#include "engine/EngineObjects.h"

namespace yelvane::engine {
namespace {

// A part of a chart (a font, a caption, an axis): it points into the
// chart's model and keeps the chart alive while a caller holds it.
class ChartPart : public EngineBase {
 protected:
  explicit ChartPart(std::shared_ptr<ChartModel> chart) : chart_(std::move(chart)) {}
  std::shared_ptr<ChartModel> chart_;
};

class ChartFontObject final : public ChartPart {
 public:
  ChartFontObject(std::shared_ptr<ChartModel> chart, ChartFont* font)
      : ChartPart(std::move(chart)), font_(font) {}

  HResult GetName(const EngineCall& c) { return c.Answer(font_->name); }
  HResult PutName(const EngineCall& c) {
    std::string name;
    RETURN_IF_FAILED(StringArg(*c.value, name));
    if (name.empty()) return kXlEApplication;
    font_->name = name;
    return kStatusOk;
  }
  HResult GetSize(const EngineCall& c) { return c.Answer(font_->size ? font_->size : 10); }
  HResult PutSize(const EngineCall& c) {
    int32_t size = 0;
    RETURN_IF_FAILED(IntArg(*c.value, size));
    if (size < 1 || size > 409) return kXlEApplication;
    font_->size = size;
    return kStatusOk;
  }
  HResult GetBold(const EngineCall& c) { return c.Answer(font_->bold > 0 ? 1 : 0); }
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
  ChartFont* font_;
};

// A caption (chart title or axis title) with its text and font.
class CaptionObject final : public ChartPart {
 public:
  CaptionObject(std::shared_ptr<ChartModel> chart, std::string* text, ChartFont* font)
      : ChartPart(std::move(chart)), text_(text), font_(font) {}

  HResult GetFont(const EngineCall& c) { return c.Answer(New<ChartFontObject>(chart_, font_)); }
  HResult GetCharacters(const EngineCall& c) {
    RETURN_IF_FAILED(ArgCount(c, 0, 2));
    return c.Answer(New<CaptionObject>(chart_, text_, font_));
  }
  HResult GetText(const EngineCall& c) { return c.Answer(*text_); }
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
  std::string* text_;
  ChartFont* font_;
};

// Objects that only carry a font: the legend and the tick labels.
class FontHolderObject final : public ChartPart {
 public:
  FontHolderObject(std::shared_ptr<ChartModel> chart, ChartFont* font)
      : ChartPart(std::move(chart)), font_(font) {}
  HResult GetFont(const EngineCall& c) { return c.Answer(New<ChartFontObject>(chart_, font_)); }

 protected:
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> m = {{"Font", H(&FontHolderObject::GetFont), nullptr}};
    return m;
  }

 private:
  ChartFont* font_;
};

class AxisObject final : public ChartPart {
 public:
  AxisObject(std::shared_ptr<ChartModel> chart, ChartAxis* axis)
      : ChartPart(std::move(chart)), axis_(axis) {}

  HResult GetHasTitle(const EngineCall& c) { return c.Answer(axis_->hasTitle ? 1 : 0); }
  HResult PutHasTitle(const EngineCall& c) { return PutFlag(c, axis_->hasTitle); }
  HResult GetAxisTitle(const EngineCall& c) {
    if (!axis_->hasTitle) return kXlEApplication;  // no title object to return
    return c.Answer(New<CaptionObject>(chart_, &axis_->title, &axis_->titleFont));
  }
  HResult GetTickLabels(const EngineCall& c) {
    return c.Answer(New<FontHolderObject>(chart_, &axis_->tickFont));
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
  ChartAxis* axis_;
};

class ChartObject final : public EngineBase {
 public:
  ChartObject(std::shared_ptr<EngineState> state, std::shared_ptr<WorkbookModel> book,
              std::shared_ptr<ChartModel> chart)
      : state_(std::move(state)), book_(std::move(book)), chart_(std::move(chart)) {}

  HResult GetChartType(const EngineCall& c) { return c.Answer(chart_->type); }
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
  HResult GetHasTitle(const EngineCall& c) { return c.Answer(chart_->hasTitle ? 1 : 0); }
  HResult PutHasTitle(const EngineCall& c) { return PutFlag(c, chart_->hasTitle); }
  HResult GetChartTitle(const EngineCall& c) {
    if (!chart_->hasTitle) return kXlEApplication;
    return c.Answer(New<CaptionObject>(chart_, &chart_->title, &chart_->titleFont));
  }
  HResult GetHasLegend(const EngineCall& c) { return c.Answer(chart_->hasLegend ? 1 : 0); }
  HResult PutHasLegend(const EngineCall& c) { return PutFlag(c, chart_->hasLegend); }
  HResult GetLegend(const EngineCall& c) {
    if (!chart_->hasLegend) return kXlEApplication;
    return c.Answer(New<FontHolderObject>(chart_, &chart_->legendFont));
  }
  HResult Axes(const EngineCall& c) {
    RETURN_IF_FAILED(ArgCount(c, 1, 2));
    int32_t type = 0;
    int32_t group = 1;
    RETURN_IF_FAILED(IntArg(c.args[0], type));
    if (c.args.size() > 1) RETURN_IF_FAILED(IntArg(c.args[1], group));
    if (chart_->type == 5 || group != 1 || (type != 1 && type != 2)) return kXlEApplication;
    ChartAxis* axis = type == 1 ? &chart_->category : &chart_->value;
    return c.Answer(New<AxisObject>(chart_, axis));
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

HResult ChartObject::SetSourceData(const EngineCall& c) {
  RETURN_IF_FAILED(ArgCount(c, 1, 2));
  const std::optional<RangeSpan> range = RangeOf(c.args[0]);
  if (!range || range->areas.size() != 1) return kXlEApplication;
  int32_t plotBy = 2;
  if (c.args.size() > 1) RETURN_IF_FAILED(IntArg(c.args[1], plotBy));
  if (plotBy != 1 && plotBy != 2) return kXlEApplication;
  chart_->sourceSheet = range->sheet;
  chart_->source = range->areas.front();
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
  return c.Answer(std::shared_ptr<Dispatch>(shared_from_this()));
}

// The frame of an embedded chart: Left, Top, Width and Height in points.
class ChartFrameObject final : public EngineBase {
 public:
  ChartFrameObject(std::shared_ptr<SheetModel> sheet, std::shared_ptr<ChartModel> chart)
      : sheet_(std::move(sheet)), chart_(std::move(chart)) {}

  HResult GetLeft(const EngineCall& c) {
    EmbeddedChart* e = Find();
    return e ? Points(c, sheet_->ColumnLeftPx(e->col) + e->xOffset) : kXlEApplication;
  }
  HResult GetTop(const EngineCall& c) {
    EmbeddedChart* e = Find();
    return e ? Points(c, sheet_->RowTopPx(e->row) + e->yOffset) : kXlEApplication;
  }
  HResult GetWidth(const EngineCall& c) {
    EmbeddedChart* e = Find();
    return e ? Points(c, e->width) : kXlEApplication;
  }
  HResult GetHeight(const EngineCall& c) {
    EmbeddedChart* e = Find();
    return e ? Points(c, e->height) : kXlEApplication;
  }
  // A new place counts from the sheet's top-left corner.
  HResult PutLeft(const EngineCall& c) {
    return Put(c, 0, 1 << 24, [](EmbeddedChart& e, int px) { e.col = 1, e.xOffset = px; });
  }
  HResult PutTop(const EngineCall& c) {
    return Put(c, 0, 1 << 24, [](EmbeddedChart& e, int px) { e.row = 1, e.yOffset = px; });
  }
  HResult PutWidth(const EngineCall& c) {
    return Put(c, 1, 1 << 16, [](EmbeddedChart& e, int px) { e.width = px; });
  }
  HResult PutHeight(const EngineCall& c) {
    return Put(c, 1, 1 << 16, [](EmbeddedChart& e, int px) { e.height = px; });
  }

 protected:
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> m = {
        {"Left", H(&ChartFrameObject::GetLeft), H(&ChartFrameObject::PutLeft)},
        {"Top", H(&ChartFrameObject::GetTop), H(&ChartFrameObject::PutTop)},
        {"Width", H(&ChartFrameObject::GetWidth), H(&ChartFrameObject::PutWidth)},
        {"Height", H(&ChartFrameObject::GetHeight), H(&ChartFrameObject::PutHeight)}};
    return m;
  }
  bool Alive() const override { return !sheet_->Deleted() && Find(); }

 private:
  EmbeddedChart* Find() const {
    for (auto& e : sheet_->Charts()) {
      if (e.chart == chart_) return &e;
    }
    return nullptr;
  }
  static HResult Points(const EngineCall& c, int pixels) {
    return c.Answer(static_cast<int32_t>((pixels * 3 + 2) / 4));
  }
  template <class Set>
  HResult Put(const EngineCall& c, int minPx, int maxPx, Set set) {
    int32_t points = 0;
    RETURN_IF_FAILED(IntArg(*c.value, points));
    const int64_t px = (static_cast<int64_t>(points) * 4 + 1) / 3;
    if (px < minPx || px > maxPx) return kXlEApplication;
    EmbeddedChart* e = Find();
    if (!e) return kXlEApplication;
    set(*e, static_cast<int>(px));
    return kStatusOk;
  }
  std::shared_ptr<SheetModel> sheet_;
  std::shared_ptr<ChartModel> chart_;
};

}  // namespace

std::shared_ptr<Dispatch> MakeChartObject(std::shared_ptr<SheetModel> sheet,
                                          std::shared_ptr<ChartModel> chart) {
  return std::make_shared<ChartFrameObject>(std::move(sheet), std::move(chart));
}

std::shared_ptr<Dispatch> MakeChart(std::shared_ptr<EngineState> state,
                                    std::shared_ptr<WorkbookModel> book,
                                    std::shared_ptr<ChartModel> chart) {
  return std::make_shared<ChartObject>(std::move(state), std::move(book), std::move(chart));
}

}  // namespace yelvane::engine
