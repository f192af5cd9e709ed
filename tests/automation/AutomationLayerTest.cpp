// The automation call layer over the built-in engine: argument order, call
// kinds, the exact message boxes, and the engine's answers to bad calls.

#include <gtest/gtest.h>

#include "automation/AutoWrap.h"
#include "automation/ExcelAutomation.h"
#include "engine/SpreadsheetEngine.h"
#include "support/Automation.h"
#include "support/Recorders.h"

namespace yelvane {
namespace {

using test::RecordingDispatch;
using test::RecordingMessages;

struct Fixture {
  RecordingMessages messages;
  std::shared_ptr<EngineApplication> app = CreateEngineApplication({});
  Variant book;
  Variant sheet;
  std::shared_ptr<RecordingDispatch::Log> log = std::make_shared<RecordingDispatch::Log>();
  std::shared_ptr<RecordingDispatch> recorded;

  Fixture() {
    Variant books;
    AutoWrap(messages, kDispatchPropertyGet, &books, AsDispatch(app).get(), "Workbooks");
    AutoWrap(messages, kDispatchPropertyGet, &book, books.Object(), "Add");
    AutoWrap(messages, kDispatchPropertyGet, &sheet, AsDispatch(app).get(), "ActiveSheet");
    recorded = std::make_shared<RecordingDispatch>(sheet.ObjectRef(), log);
  }
  SheetModel& Model() { return *EngineWorkbooks(*app).front()->sheets.front(); }
};

TEST(AutomationLayer, SetCellValuePassesColumnFirstAndPutsOneValue) {
  Fixture f;
  CExcelAutomation excel(f.messages);
  excel.SetCellValue(f.recorded.get(), 2, 1, "Pet Name:");
  ASSERT_EQ(f.log->calls.size(), 2u);
  EXPECT_EQ(f.log->calls[0].name, "Cells");
  EXPECT_EQ(f.log->calls[0].flags, kDispatchPropertyGet);
  EXPECT_EQ(f.log->calls[0].args, (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(f.log->calls[1].name, "Value");
  EXPECT_EQ(f.log->calls[1].flags, kDispatchPropertyPut);
  EXPECT_EQ(f.log->calls[1].args, (std::vector<std::string>{"\"Pet Name:\""}));
  EXPECT_EQ(f.log->calls[1].namedArgs, 1u);
  // Row 2, column A: a swapped pair would have written B1.
  ASSERT_NE(f.Model().ValueAt(2, 1), nullptr);
  EXPECT_EQ(f.Model().ValueAt(2, 1)->text, "Pet Name:");
  EXPECT_EQ(f.Model().ValueAt(1, 2), nullptr);
  EXPECT_TRUE(f.messages.shown.empty());
}

TEST(AutomationLayer, OperationsAddressTheRightObjects) {
  Fixture f;
  CExcelAutomation excel(f.messages);
  excel.SetColumnNumberFormat(f.recorded.get(), 'B', "@");
  ASSERT_GE(f.log->calls.size(), 2u);
  EXPECT_EQ(f.log->calls[0].name, "Columns");
  EXPECT_EQ(f.log->calls[0].args, (std::vector<std::string>{"\"B:B\""}));
  EXPECT_EQ(f.log->calls[1].name, "NumberFormatLocal");

  f.log->calls.clear();
  excel.SetFont(f.recorded.get(), "Cells", "A1:B2", "Size", "", 9, true);
  ASSERT_EQ(f.log->calls.size(), 5u);
  EXPECT_EQ(f.log->calls[0].name, "Cells");
  EXPECT_TRUE(f.log->calls[0].args.empty());  // the range text is ignored
  EXPECT_EQ(f.log->calls[2].name, "Size");
  EXPECT_EQ(f.log->calls[2].args, (std::vector<std::string>{"9"}));
  EXPECT_EQ(f.log->calls[4].name, "Bold");

  f.log->calls.clear();
  excel.SelectCell(f.recorded.get(), 3, 1);
  excel.MergeRange(f.recorded.get(), "B2:E2");
  ASSERT_EQ(f.log->calls.size(), 4u);
  EXPECT_EQ(f.log->calls[1].name, "Select");
  EXPECT_EQ(f.log->calls[1].flags, kDispatchMethod);
  EXPECT_EQ(f.log->calls[3].name, "Merge");
  EXPECT_TRUE(f.messages.shown.empty());

  // Text format before the value: the duration stays text; elsewhere a time
  // or a number typed as text becomes a value, as in the application.
  excel.SetCellValue(f.recorded.get(), 7, 2, "01:30");
  excel.SetCellValue(f.recorded.get(), 7, 3, "01:30");
  excel.SetCellValue(f.recorded.get(), 7, 4, "42");
  EXPECT_FALSE(f.Model().ValueAt(7, 2)->isNumber);
  EXPECT_TRUE(f.Model().ValueAt(7, 3)->isNumber);
  EXPECT_DOUBLE_EQ(f.Model().ValueAt(7, 4)->number, 42);
  EXPECT_EQ(f.Model().Merges(), (std::vector<CellRect>{CellRect{2, 2, 2, 5}}));
}

TEST(AutomationLayer, FailuresShowTheirBoxesAndTheCallerGoesOn) {
  Fixture f;
  Dispatch* sheet = f.sheet.Object();
  Variant result;
  EXPECT_EQ(AutoWrap(f.messages, kDispatchPropertyGet, &result, sheet, "Bogus"), kDispEUnknownName);
  EXPECT_EQ(AutoWrap(f.messages, kDispatchMethod, nullptr, nullptr, "Select"), kStatusOk);
  EXPECT_EQ(AutoWrap(f.messages, 3, &result, f.book.Object(), "Sheets", {5}), kDispEBadIndex);
  ASSERT_EQ(f.messages.shown.size(), 3u);
  EXPECT_EQ(f.messages.shown[0], "IDispatch::GetIDsOfNames(\"Bogus\") failed w/err 0x80020006");
  EXPECT_EQ(f.messages.shown[1], "NULL IDispatch passed to AutoWrap()");
  EXPECT_EQ(f.messages.icons[1], MessageIcon::Error);
  const std::string& invoke = f.messages.shown[2];
  EXPECT_EQ(invoke.rfind("IDispatch::Invoke(\"Sheets\"=", 0), 0u) << invoke;
  EXPECT_NE(invoke.find(") failed w/err 0x8002000b"), std::string::npos) << invoke;
  // The dispatch id is eight hex digits between "=" and ")".
  EXPECT_EQ(invoke.find(')') - invoke.find('=') - 1, 8u) << invoke;

  // A null sheet: one plain box, no calls.
  f.messages.Clear();
  CExcelAutomation excel(f.messages);
  excel.SetBorders(nullptr, "A1:B2", "LineStyle", 7);
  ASSERT_EQ(f.messages.shown.size(), 1u);
  EXPECT_EQ(f.messages.shown[0], "Excel WorkSheet is null!");
  EXPECT_EQ(f.messages.icons[0], MessageIcon::None);

  // A failed get leaves a null object: the put on it gives the null box.
  f.messages.Clear();
  excel.SetInteriorColor(sheet, "not a range", 36);
  ASSERT_EQ(f.messages.shown.size(), 3u);
  EXPECT_NE(f.messages.shown[0].find("Invoke(\"Range\""), std::string::npos);
  EXPECT_EQ(f.messages.shown[1], kNullDispatchMessage);
  EXPECT_EQ(f.messages.shown[2], kNullDispatchMessage);
}

TEST(AutomationLayer, EngineGivesTheApplicationsStatusCodes) {
  Fixture f;
  Dispatch* sheet = f.sheet.Object();
  Variant r;
  // Put on a read-only property, a put without its value, a bad colour.
  EXPECT_EQ(AutoWrap(f.messages, kDispatchPropertyPut, nullptr, AsDispatch(f.app).get(), "Version",
                     {"1"}),
            kDispEMemberNotFound);
  EXPECT_EQ(AutoWrap(f.messages, kDispatchPropertyPut, nullptr, sheet, "Name", {}),
            kDispEParamNotFound);
  AutoWrap(f.messages, kDispatchPropertyGet, &r, sheet, "Range", {"A1"});
  Variant interior;
  AutoWrap(f.messages, kDispatchPropertyGet, &interior, r.Object(), "Interior");
  EXPECT_EQ(
      AutoWrap(f.messages, kDispatchPropertyPut, nullptr, interior.Object(), "ColorIndex", {99}),
      kXlEApplication);
  EXPECT_EQ(AutoWrap(f.messages, kDispatchPropertyGet, &r, sheet, "Cells", {1, 0}),
            kXlEApplication);
  EXPECT_EQ(AutoWrap(f.messages, kDispatchPropertyGet, &r, sheet, "Cells", {"x", 1}),
            kDispETypeMismatch);
  // Names are found whatever their case, like the real server.
  EXPECT_EQ(AutoWrap(f.messages, kDispatchPropertyGet, &r, sheet, "cElLs"), kStatusOk);
}

}  // namespace
}  // namespace yelvane
