// The engine's sheet objects: worksheets, the sheet collections, workbooks,
// the window, and the application above them.

#include <algorithm>

#include "common/Format.h"
#include "common/NoCase.h"
#include "engine/EngineObjects.h"
#include "engine/LibreOffice.h"
#include "engine/WorkbookFile.h"

namespace yelvane {
namespace engine {
namespace {

// How a sheet prints: orientation, scaling and the rows repeated on every page.
class PageSetupObject final : public EngineBase {
 public:
  explicit PageSetupObject(std::shared_ptr<SheetModel> sheet) : sheet_(std::move(sheet)) {}

  HResult GetOrientation(const EngineCall& c) { return c.Answer(Page().orientation); }
  HResult PutOrientation(const EngineCall& c) {
    int32_t value = 0;
    RETURN_IF_FAILED(IntArg(*c.value, value));
    if (value != 1 && value != 2) return kXlEApplication;  // portrait, landscape
    Page().orientation = value;
    return kStatusOk;
  }
  // False (0) scales the sheet to FitToPagesWide x FitToPagesTall pages.
  HResult GetZoom(const EngineCall& c) {
    return c.Answer(Page().zoom == 0 ? Variant::Boolean(false) : Variant(Page().zoom));
  }
  HResult PutZoom(const EngineCall& c) {
    int32_t value = 0;
    RETURN_IF_FAILED(IntArg(*c.value, value));
    if (value != 0 && (value < 10 || value > 400)) return kXlEApplication;
    Page().zoom = value;
    return kStatusOk;
  }
  HResult GetFitWide(const EngineCall& c) { return Fit(c, Page().fitWide); }
  HResult PutFitWide(const EngineCall& c) { return PutFit(c, Page().fitWide); }
  HResult GetFitTall(const EngineCall& c) { return Fit(c, Page().fitTall); }
  HResult PutFitTall(const EngineCall& c) { return PutFit(c, Page().fitTall); }
  HResult GetTitleRows(const EngineCall& c) {
    const PageSetupModel& p = Page();
    return c.Answer(p.hasTitleRows ? Format("$%d:$%d", p.titleRow1, p.titleRow2) : std::string());
  }
  // "$5:$6" (whole rows, one area); "" repeats nothing.
  HResult PutTitleRows(const EngineCall& c) {
    std::string text;
    RETURN_IF_FAILED(StringArg(*c.value, text));
    PageSetupModel& p = Page();
    if (text.empty()) {
      p.hasTitleRows = false;
      return kStatusOk;
    }
    Areas areas;
    if (!ParseRangeAddress(text, areas) || areas.size() != 1 || !areas[0].AllColumns())
      return kXlEApplication;
    p.hasTitleRows = true;
    p.titleRow1 = areas[0].row1;
    p.titleRow2 = areas[0].row2;
    return kStatusOk;
  }

 protected:
  const std::vector<Member>& Members() const override {
    static const std::vector<Member> m = {
        {"Orientation", H(&PageSetupObject::GetOrientation), H(&PageSetupObject::PutOrientation)},
        {"Zoom", H(&PageSetupObject::GetZoom), H(&PageSetupObject::PutZoom)},
        {"FitToPagesWide", H(&PageSetupObject::GetFitWide), H(&PageSetupObject::PutFitWide)},
        {"FitToPagesTall", H(&PageSetupObject::GetFitTall), H(&PageSetupObject::PutFitTall)},
        {"PrintTitleRows", H(&PageSetupObject::GetTitleRows), H(&PageSetupObject::PutTitleRows)}};
    return m;
  }
  bool Alive() const override { return !sheet_->Deleted(); }

 private:
  PageSetupModel& Page() { return sheet_->PageSetup(); }
  static HResult Fit(const EngineCall& c, int pages) {
    return c.Answer(pages == 0 ? Variant::Boolean(false) : Variant(pages));
  }
  static HResult PutFit(const EngineCall& c, int& pages) {
    int32_t value = 0;
    RETURN_IF_FAILED(IntArg(*c.value, value));
    if (value < 0 || value > 32767) return kXlEApplication;
    pages = value;
    return kStatusOk;
  }
  std::shared_ptr<SheetModel> sheet_;
};

class WorksheetObject final : public EngineBase {
 public:
  WorksheetObject(std::shared_ptr<EngineState> state, std::shared_ptr<WorkbookModel> book,
                  std::shared_ptr<SheetModel> sheet)
      : state_(std::move(state)), book_(std::move(book)), sheet_(std::move(sheet)) {}

  HResult GetName(const EngineCall& c) { return c.Answer(sheet_->Name()); }
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
  HResult GetIndex(const EngineCall& c) { return c.Answer(book_->IndexOf(sheet_.get()) + 1); }
  HResult GetPageSetup(const EngineCall& c) { return c.Answer(New<PageSetupObject>(sheet_)); }
  // ChartObjects(n): the n-th chart embedded in the sheet, in the order added.
  HResult GetChartObjects(const EngineCall& c) {
    RETURN_IF_FAILED(ArgCount(c, 1, 1));
    int32_t index = 0;
    RETURN_IF_FAILED(IntArg(c.args[0], index));
    if (index < 1 || index > static_cast<int>(sheet_->Charts().size())) return kDispEBadIndex;
    return c.Answer(
        MakeChartObject(sheet_, sheet_->Charts()[static_cast<std::size_t>(index - 1)].chart));
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
        {"Index", H(&WorksheetObject::GetIndex), nullptr},
        {"PageSetup", H(&WorksheetObject::GetPageSetup), nullptr},
        {"ChartObjects", H(&WorksheetObject::GetChartObjects), nullptr}};
    return m;
  }
  bool Alive() const override { return !sheet_->Deleted(); }

 private:
  HResult Return(const EngineCall& c, const CellRect& rect) { return Return(c, Areas{rect}); }
  HResult Return(const EngineCall& c, Areas areas) {
    return c.Answer(MakeRange(state_, book_, sheet_, std::move(areas)));
  }
  HResult AreasOf(const Variant& v, Areas& areas) {
    if (const std::optional<RangeSpan> range = RangeOf(v)) {
      if (range->sheet != sheet_) return kXlEApplication;
      areas = range->areas;
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

}  // namespace

std::shared_ptr<Dispatch> MakeWorksheet(std::shared_ptr<EngineState> state,
                                        std::shared_ptr<WorkbookModel> book,
                                        std::shared_ptr<SheetModel> sheet) {
  if (sheet->GetKind() == SheetModel::Kind::ChartSheet) {
    return MakeChart(std::move(state), std::move(book), sheet->SheetChart());
  }
  return std::make_shared<WorksheetObject>(std::move(state), std::move(book), std::move(sheet));
}

namespace {

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
    return c.Answer(out);
  }
  HResult GetCount(const EngineCall& c) {
    return c.Answer(static_cast<int32_t>(Matching().size()));
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
    return c.Answer(MakeWorksheet(state_, book_, sheet));
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
    return c.Answer(
        MakeWorksheet(state_, book_, book_->sheets[static_cast<std::size_t>(book_->active)]));
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
    } else if (SaveWorkbookFile(*book_, path, xls, soffice, o.conversionTimeoutSeconds, error,
                                o.conversionMemoryMB)) {
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
      return c.Answer(std::shared_ptr<Dispatch>(sheets));
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
    return c.Answer(New<WorkbookObject>(state_, book));
  }
  HResult GetCount(const EngineCall& c) {
    return c.Answer(static_cast<int32_t>(state_->workbooks.size()));
  }
  HResult GetItem(const EngineCall& c) {
    RETURN_IF_FAILED(ArgCount(c, 1, 1));
    int32_t index = 0;
    RETURN_IF_FAILED(IntArg(c.args[0], index));
    if (index < 1 || index > static_cast<int>(state_->workbooks.size())) return kDispEBadIndex;
    return c.Answer(
        New<WorkbookObject>(state_, state_->workbooks[static_cast<std::size_t>(index - 1)]));
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
    return c.Answer(sheet->Gridlines() ? 1 : 0);
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
}  // namespace engine

using namespace engine;

class EngineApplication final : public EngineBase {
 public:
  explicit EngineApplication(const EngineOptions& options)
      : state_(std::make_shared<EngineState>()) {
    state_->options = options;
  }
  const std::vector<std::shared_ptr<WorkbookModel>>& Books() const { return state_->workbooks; }

  HResult GetVersion(const EngineCall& c) { return c.Answer(state_->options.version); }
  HResult GetAlert(const EngineCall& c) { return c.Answer(state_->alertBeforeOverwriting); }
  HResult PutAlert(const EngineCall& c) { return IntArg(*c.value, state_->alertBeforeOverwriting); }
  HResult GetDisplayAlerts(const EngineCall& c) { return c.Answer(state_->displayAlerts); }
  HResult PutDisplayAlerts(const EngineCall& c) { return IntArg(*c.value, state_->displayAlerts); }
  HResult GetVisible(const EngineCall& c) { return c.Answer(state_->visible); }
  HResult PutVisible(const EngineCall& c) { return IntArg(*c.value, state_->visible); }
  HResult GetWorkbooks(const EngineCall& c) { return c.Answer(New<WorkbooksObject>(state_)); }
  // Without a workbook these return "nothing" (an empty object).
  HResult GetActiveSheet(const EngineCall& c) {
    const auto& book = state_->activeBook;
    if (book && !book->sheets.empty())
      c.Return(MakeWorksheet(state_, book, book->sheets[static_cast<std::size_t>(book->active)]));
    return kStatusOk;
  }
  HResult GetActiveWorkbook(const EngineCall& c) {
    if (state_->activeBook) c.Return(New<WorkbookObject>(state_, state_->activeBook));
    return kStatusOk;
  }
  HResult GetActiveWindow(const EngineCall& c) {
    if (state_->activeBook) c.Return(New<WindowObject>(state_, state_->activeBook));
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

}  // namespace yelvane
