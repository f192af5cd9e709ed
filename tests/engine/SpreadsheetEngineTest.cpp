// The engine's object model: addresses, sheets, charts and the block put.

#include <gtest/gtest.h>

#include "automation/AutoWrap.h"
#include "engine/SpreadsheetEngine.h"
#include "support/Recorders.h"

namespace yelvane {
namespace {

using test::RecordingMessages;

TEST(RangeAddress, ParsesTheFormsTheReportUses) {
  Areas a;
  ASSERT_TRUE(ParseRangeAddress("A7:L3006", a));
  EXPECT_EQ(a, (Areas{CellRect{7, 1, 3006, 12}}));
  ASSERT_TRUE(ParseRangeAddress("B:B", a));
  EXPECT_EQ(a, (Areas{CellRect{1, 2, kMaxSheetRows, 2}}));
  ASSERT_TRUE(ParseRangeAddress("2:2,3:3,4:4", a));
  ASSERT_EQ(a.size(), 3u);
  EXPECT_EQ(a[2], (CellRect{4, 1, 4, kMaxSheetColumns}));
  ASSERT_TRUE(ParseRangeAddress("$C$9:A1", a));
  EXPECT_EQ(a, (Areas{CellRect{1, 1, 9, 3}}));
  for (const char* bad : {"", "A", "A0", "1:B", "A1:", "XFE1", "A1048577", "A1:B2,"}) {
    EXPECT_FALSE(ParseRangeAddress(bad, a)) << bad;
  }
  EXPECT_EQ(ColumnName(1), "A");
  EXPECT_EQ(ColumnName(28), "AB");
}

struct Book {
  RecordingMessages m;
  std::shared_ptr<EngineApplication> app;
  Variant book;
  explicit Book(int sheets = 3) {
    EngineOptions options;
    options.sheetsInNewWorkbook = sheets;
    app = CreateEngineApplication(options);
    Variant books;
    AutoWrap(m, 2, &books, AsDispatch(app).get(), "Workbooks");
    AutoWrap(m, 2, &book, books.Object(), "Add");
  }
  WorkbookModel& Model() { return *EngineWorkbooks(*app).front(); }
  std::vector<std::string> Names() {
    std::vector<std::string> names;
    for (const auto& s : Model().sheets) names.push_back(s->Name());
    return names;
  }
};

TEST(SpreadsheetEngine, SheetsBehaveLikeTheApplications) {
  Book b;
  EXPECT_EQ(b.Names(), (std::vector<std::string>{"Sheet1", "Sheet2", "Sheet3"}));
  for (int i = 0; i < 2; ++i) {
    Variant extra;
    AutoWrap(b.m, 3, &extra, b.book.Object(), "Sheets", {2});
    AutoWrap(b.m, 3, nullptr, extra.Object(), "Delete");
  }
  EXPECT_EQ(b.Names(), (std::vector<std::string>{"Sheet1"}));
  // The last sheet cannot go; a deleted sheet's objects are disconnected.
  Variant last;
  AutoWrap(b.m, 3, &last, b.book.Object(), "Sheets", {1});
  EXPECT_EQ(AutoWrap(b.m, 3, nullptr, last.Object(), "Delete"), kXlEApplication);

  // Add puts the new sheet before the active one and activates it.
  Variant worksheets;
  AutoWrap(b.m, 3, &worksheets, b.book.Object(), "WorkSheets");
  Variant added;
  AutoWrap(b.m, 3, &added, worksheets.Object(), "Add");
  EXPECT_EQ(b.Names(), (std::vector<std::string>{"Sheet4", "Sheet1"}));
  EXPECT_EQ(b.Model().active, 0);
  EXPECT_EQ(AutoWrap(b.m, 4, nullptr, added.Object(), "Name", {"Sheet1"}), kXlEApplication);
  EXPECT_EQ(AutoWrap(b.m, 4, nullptr, added.Object(), "Name", {"'bad"}), kXlEApplication);
  EXPECT_EQ(AutoWrap(b.m, 4, nullptr, added.Object(), "Name", {"PET'S DATA REPORT"}), kStatusOk);
  AutoWrap(b.m, 3, nullptr, added.Object(), "Delete");
  Variant r;
  EXPECT_EQ(AutoWrap(b.m, 2, &r, added.Object(), "Cells"), kRpcEDisconnected);
}

TEST(SpreadsheetEngine, ChartMovesIntoItsSheetWithItsSourceAndTitles) {
  Book b(1);
  Variant sheet;
  AutoWrap(b.m, 2, &sheet, AsDispatch(b.app).get(), "ActiveSheet");
  Variant charts, chart;
  AutoWrap(b.m, 2, &charts, b.book.Object(), "Charts");
  AutoWrap(b.m, 3, &chart, charts.Object(), "Add");
  EXPECT_EQ(b.Names(), (std::vector<std::string>{"Chart1", "Sheet1"}));
  // No title object before HasTitle, like the application.
  Variant title;
  EXPECT_EQ(AutoWrap(b.m, 2, &title, chart.Object(), "ChartTitle"), kXlEApplication);
  AutoWrap(b.m, 4, nullptr, chart.Object(), "HasTitle", {1});
  AutoWrap(b.m, 2, &title, chart.Object(), "ChartTitle");
  Variant chars;
  AutoWrap(b.m, 2, &chars, title.Object(), "Characters");
  AutoWrap(b.m, 4, nullptr, chars.Object(), "Text", {"T"});
  Variant axis;
  EXPECT_EQ(AutoWrap(b.m, 2, &axis, chart.Object(), "Axes", {1, 2}), kStatusOk);
  EXPECT_EQ(AutoWrap(b.m, 2, &axis, chart.Object(), "Axes", {2, 1}), kXlEApplication);
  Variant range;
  AutoWrap(b.m, 2, &range, sheet.Object(), "Range", {"A4:C10"});
  EXPECT_EQ(AutoWrap(b.m, 1, nullptr, chart.Object(), "SetSourceData", {2, range}), kStatusOk);
  EXPECT_EQ(AutoWrap(b.m, 1, nullptr, chart.Object(), "Location", {"Nowhere", 2}), kXlEApplication);
  EXPECT_EQ(AutoWrap(b.m, 1, nullptr, chart.Object(), "Location", {"Sheet1", 2}), kStatusOk);
  EXPECT_EQ(b.Names(), (std::vector<std::string>{"Sheet1"}));
  const auto& embedded = b.Model().sheets[0]->Charts();
  ASSERT_EQ(embedded.size(), 1u);
  EXPECT_EQ(embedded[0].chart->title, "T");
  EXPECT_EQ(embedded[0].chart->value.hasTitle, false);
  EXPECT_EQ(embedded[0].chart->source, (CellRect{4, 1, 10, 3}));
}

TEST(SpreadsheetEngine, BlockPutFillsTheRangeAndPadsAShortArray) {
  Book b(1);
  Variant sheet, range;
  AutoWrap(b.m, 2, &sheet, AsDispatch(b.app).get(), "ActiveSheet");
  auto block = std::make_shared<VariantArray>(2, 3);
  block->At(1, 1) = "a";
  block->At(2, 3) = 5;
  AutoWrap(b.m, 2, &range, sheet.Object(), "Range", {"A7:D8"});
  EXPECT_EQ(AutoWrap(b.m, 4, nullptr, range.Object(), "Value", {block}), kStatusOk);
  const SheetModel& s = *b.Model().sheets[0];
  EXPECT_EQ(s.ValueAt(7, 1)->text, "a");
  EXPECT_EQ(s.ValueAt(7, 2), nullptr);  // an empty element leaves the cell empty
  EXPECT_DOUBLE_EQ(s.ValueAt(8, 3)->number, 5);
  EXPECT_EQ(s.ValueAt(8, 4)->text, "#N/A");  // beyond the array
  EXPECT_TRUE(b.m.shown.empty());
}

}  // namespace
}  // namespace yelvane
