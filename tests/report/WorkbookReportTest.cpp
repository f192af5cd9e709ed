// The workbook worker over the built-in engine: the calls and their order,
// progress and status, the boxes of failing calls, and the saved file.

#include <gtest/gtest.h>

#include <algorithm>

#include "activity/ChartSeries.h"
#include "common/Format.h"
#include "common/TempFolder.h"
#include "support/Recorders.h"
#include "support/Workbook.h"

namespace yelvane {
namespace {

namespace fs = std::filesystem;
using namespace yelvane::test;

class WorkbookReport : public ::testing::Test {
 protected:
  // The job: a demo dump of `sessions` sessions, the report to dir/<name>.
  void OnDemo(int sessions, const std::string& name) {
    job.dumpPath = MakeDemoDump(dir, sessions, table);
    job.path = dir + "/" + name;
  }
  int Run(RecordingServer& server, bool plot = true) {
    job.table = &table;
    job.plot = plot;
    job.saving = &saving;
    saving = 1;
    CExcelAutomation excel(messages);
    return BuildWorkbook(job, server, excel, observer, &saved);
  }
  std::vector<CallRecord> Calls(RecordingServer& s, const std::string& name) {
    std::vector<CallRecord> found;
    for (const auto& c : s.log->calls) {
      if (c.name == name) found.push_back(c);
    }
    return found;
  }
  std::vector<std::string> SheetNames(RecordingServer& s) {
    std::vector<std::string> names;
    for (const auto& sheet : EngineWorkbooks(*s.Application()).front()->sheets)
      names.push_back(sheet->Name());
    return names;
  }
  const SheetModel& Sheet(RecordingServer& s, const std::string& name) {
    for (const auto& sheet : EngineWorkbooks(*s.Application()).front()->sheets) {
      if (sheet->Name() == name) return *sheet;
    }
    throw std::runtime_error("no sheet " + name);
  }
  std::vector<std::string> Leftovers() { return FileNames(dir); }

  TempFolder folder;
  const std::string dir = folder.Str();
  MemorySessionTable table;
  WorkbookJob job;
  std::atomic<int> saving{0};
  bool saved = false;
  RecordingMessages messages;
  RecordedObserver observer;
};

TEST_F(WorkbookReport, ThreeSessionsMakeTheCallsInOrderWithTheirProgress) {
  OnDemo(3, "Rex0001.xlsx");
  job.pet = {"Rex", "Ann", "Garden"};
  RecordingServer server;
  EXPECT_EQ(Run(server), 1);
  EXPECT_TRUE(messages.shown.empty()) << messages.shown.front();
  EXPECT_TRUE(saved);
  EXPECT_EQ(saving, 0);
  EXPECT_EQ(observer.ends, 1);
  EXPECT_EQ(observer.progress, (std::vector<int>{1,  2,  3,  4,  4,  4,  4,  5,  6,  7,  11,
                                                 12, 12, 23, 35, 45, 50, 50, 66, 83, 100}));
  EXPECT_EQ(observer.statuses,
            (std::vector<std::string>{"Session: 1", "Session: 2", "Session: 3"}));
  EXPECT_EQ(Leftovers(), (std::vector<std::string>{"Rex0001.xlsx", "dump.bin"}));

  // The block is one put of a 3 x 12 array into A7:L9.
  const auto values = Calls(server, "Value");
  const auto block = std::find_if(values.begin(), values.end(),
                                  [](const CallRecord& c) { return c.args[0] == "<array 3x12>"; });
  ASSERT_NE(block, values.end());
  std::vector<std::string> ranges;
  for (const auto& c : Calls(server, "Range")) ranges.push_back(c.args[0]);
  for (const char* expected :
       {"\"A7:L9\"", "\"A5:F9\"", "\"H5:L9\"", "\"A6:A9\"", "\"B5:F9\"", "\"A4:C12\""}) {
    EXPECT_NE(std::find(ranges.begin(), ranges.end(), expected), ranges.end()) << expected;
  }
  // Version 16 with an .xlsx name: SaveAs(file name, 51), last parameter first.
  const auto saveAs = Calls(server, "SaveAs");
  ASSERT_EQ(saveAs.size(), 1u);
  ASSERT_EQ(saveAs[0].args.size(), 2u);
  EXPECT_EQ(saveAs[0].args[0], "51");
  EXPECT_EQ(g_bExcel12, 1);
  const auto location = Calls(server, "Location");
  ASSERT_EQ(location.size(), 3u);
  EXPECT_EQ(location[1].args, (std::vector<std::string>{"\"Session2\"", "2"}));
  EXPECT_EQ(Calls(server, "Axes")[0].args, (std::vector<std::string>{"1", "1"}));

  // New sheets go before the active one, as the application adds them.
  EXPECT_EQ(SheetNames(server),
            (std::vector<std::string>{"Session3", "Session2", "Session1", "PET'S DATA REPORT"}));
  const SheetModel& report = Sheet(server, "PET'S DATA REPORT");
  EXPECT_FALSE(report.Gridlines());
  EXPECT_EQ(report.ValueAt(7, 7), nullptr);
  EXPECT_EQ(report.ValueAt(9, 8)->text, table.CellText(2, 6, kCellBufferSize));
  EXPECT_FALSE(report.ValueAt(7, 2)->isNumber);  // the duration stays text
  EXPECT_EQ(report.FormatAt(9, 12).interior, 37);
  EXPECT_EQ(report.FormatAt(10, 12).interior, kColorIndexNone);

  const SheetModel& session2 = Sheet(server, "Session2");
  EXPECT_FALSE(session2.Gridlines());
  EXPECT_EQ(session2.ValueAt(1, 1)->text, "THE PLOT GRAPHIC FOR SESSION2.");
  EXPECT_EQ(session2.ValueAt(3, 1)->text, "Session2 plot graphic");
  EXPECT_EQ(session2.Selection(), (CellRect{3, 1, 3, 1}));
  ASSERT_EQ(session2.Charts().size(), 1u);
  const ChartModel& chart = *session2.Charts()[0].chart;
  EXPECT_EQ(chart.type, 65);
  EXPECT_EQ(chart.title, "Session2 plot graphic");
  EXPECT_EQ(chart.titleFont.name, "Lucida Sans Unicode");
  EXPECT_EQ(chart.category.title, "Time");
  EXPECT_EQ(chart.value.title, "Bark/Activity");
  EXPECT_EQ(chart.value.tickFont.name, "Lucida Sans Unicode");
}

// The report sheet's formats as the sheet model works them out from the
// report's calls, where whole columns, whole rows, ranges and the whole sheet
// overlap and the last call wins for each attribute (what a reader of the
// saved file sees in each cell).
TEST_F(WorkbookReport, LaterFormattingWinsCellByCellOnTheReportSheet) {
  OnDemo(3, "formats.xlsx");
  RecordingServer server;
  ASSERT_EQ(Run(server, false), 1);
  const SheetModel& report = Sheet(server, kReportSheetName);
  const int lucida = InternText(kReportFont);
  const int text = kTextAt, general = kTextGeneral, none = kColorIndexNone, thin = 7;
  const struct {
    const char* cell;
    int size;
    int bold;
    int interior;
    int border;
    int numberFormat;
  } cases[] = {
      {"A1", 16, 1, none, kLineStyleNone, general},  // row 1 after columns A:L
      {"M1", 16, 0, none, kLineStyleNone, general},  // the row beyond the columns
      {"A2", 11, 0, none, thin, general},            // rows 2 to 4 after A:L
      {"B2", 11, 0, none, thin, text},               // column B's "@" under the row's size
      {"A4", 11, 0, none, thin, general},
      {"B5", 12, 1, 35, thin, text},
      {"H5", 12, 1, 37, thin, text},
      {"G5", 12, 1, none, kLineStyleNone, general},  // the gap between the two halves
      {"A6", 10, 1, 36, thin, general},
      {"B7", 10, 0, 35, thin, text},
      {"C7", 10, 0, 35, thin, general},
      {"L9", 10, 0, 37, thin, general},
      {"L10", 10, 0, none, kLineStyleNone, general},  // below the table
      {"M7", 9, 0, none, kLineStyleNone, general},    // only the whole sheet's format
  };
  for (const auto& c : cases) {
    Areas at;
    ASSERT_TRUE(ParseRangeAddress(c.cell, at));
    const CellFormat f = report.FormatAt(at[0].row1, at[0].col1);
    EXPECT_EQ(f.fontName, lucida) << c.cell;
    EXPECT_EQ(f.fontSize, c.size) << c.cell;
    EXPECT_EQ(f.bold, c.bold) << c.cell;
    EXPECT_EQ(f.hAlign, 2) << c.cell;
    EXPECT_EQ(f.interior, c.interior) << c.cell;
    EXPECT_EQ(f.borderStyle, c.border) << c.cell;
    EXPECT_EQ(f.numberFormat, c.numberFormat) << c.cell;
  }
  // What empty cells of whole columns and rows show: their line's own format.
  EXPECT_EQ(report.ColumnFormat(2).numberFormat, text);
  EXPECT_EQ(report.ColumnFormat(2).fontSize, 10);
  EXPECT_EQ(report.ColumnFormat(13).fontSize, 9);
  EXPECT_EQ(report.RowFormat(1).fontSize, 16);
  EXPECT_EQ(report.RowFormat(5).bold, 0);  // A5:L6 is a range, not the row
  EXPECT_EQ(report.RowFormat(3).fontSize, 11);
}

TEST_F(WorkbookReport, VersionDecidesTheSaveAsArgumentsAndAFailedSaveKeepsTheOldFile) {
  OnDemo(2, "old.xls");
  std::ofstream(job.path) << "old";
  EngineOptions options;
  options.sofficePath = "/bin/false";  // "installed", but every conversion fails
  options.version = "12.0";
  RecordingServer server(options);
  EXPECT_EQ(Run(server, false), 1);
  const auto saveAs = Calls(server, "SaveAs");
  ASSERT_EQ(saveAs.size(), 1u);
  ASSERT_EQ(saveAs[0].args.size(), 2u);
  EXPECT_EQ(saveAs[0].args[0], "56");
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].rfind("IDispatch::Invoke(\"SaveAs\"=", 0), 0u);
  EXPECT_NE(messages.shown[0].find("failed w/err 0x800a03ec"), std::string::npos);
  EXPECT_FALSE(saved);
  EXPECT_EQ(observer.ends, 1);  // the dialog still closes
  EXPECT_EQ(ReadText(job.path), "old");
  EXPECT_EQ(Leftovers(), (std::vector<std::string>{"dump.bin", "old.xls"}));

  messages.Clear();
  job.path = dir + "/new.xlsx";
  options.version = "11.0";
  RecordingServer old(options);
  EXPECT_EQ(Run(old, false), 1);
  EXPECT_EQ(Calls(old, "SaveAs")[0].args.size(), 1u);
  EXPECT_EQ(g_bExcel12, 0);
  EXPECT_TRUE(saved);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_EQ(SheetNames(old), (std::vector<std::string>{"PET'S DATA REPORT"}));
}

TEST_F(WorkbookReport, MissingSheetsAndUnknownNamesGiveBoxesAndTheReportGoesOn) {
  OnDemo(2, "r.xlsx");
  EngineOptions options;
  options.sheetsInNewWorkbook = 1;
  RecordingServer server(options);
  server.log->unknown.insert("HorizontalAlignment");
  EXPECT_EQ(Run(server), 1);
  EXPECT_TRUE(saved);
  std::vector<std::string> expected;
  for (int i = 0; i < 2; ++i) {
    expected.push_back("IDispatch::Invoke(\"Sheets\"=");
    expected.push_back(kNullDispatchMessage);
  }
  // FormatSheet runs for the report sheet and each session sheet.
  for (int i = 0; i < 3; ++i)
    expected.push_back("IDispatch::GetIDsOfNames(\"HorizontalAlignment\") failed w/err 0x80020006");
  ASSERT_EQ(messages.shown.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(messages.shown[i].rfind(expected[i], 0), 0u) << messages.shown[i];
  EXPECT_NE(messages.shown[0].find("0x8002000b"), std::string::npos);
  EXPECT_EQ(SheetNames(server),
            (std::vector<std::string>{"Session2", "Session1", "PET'S DATA REPORT"}));
}

TEST_F(WorkbookReport, LongSessionWritesTwoThousandRowsButBordersAndChartSpanAll) {
  table.InsertRow(0);
  const char* cells[kSessionColumns] = {"1",
                                        "1440:00",
                                        "5",
                                        "0",
                                        "03-01-2011 08:00PM",
                                        "04-30-2011 08:00PM",
                                        "1440:00",
                                        "7",
                                        "0",
                                        "03-01-2011 08:00PM",
                                        "04-30-2011 08:00PM"};
  for (int c = 0; c < kSessionColumns; ++c) table.SetCellText(0, c, cells[c]);
  job.dumpPath = dir + "/dump.bin";
  std::ofstream(job.dumpPath, std::ios::binary) << std::string(0x50000, '\0');
  job.path = dir + "/long.xlsx";
  RecordingServer server;
  EXPECT_EQ(Run(server), 1);
  EXPECT_TRUE(messages.shown.empty());
  const SheetModel& s = Sheet(server, "Session1");
  const int k = 60 * 48 + 1;  // every half hour of 60 days, and the end
  EXPECT_NE(s.ValueAt(4 + kMaxChartRows, 1), nullptr);
  EXPECT_EQ(s.ValueAt(5 + kMaxChartRows, 1), nullptr);
  EXPECT_EQ(s.FormatAt(4 + k, 3).borderStyle, 7);
  EXPECT_EQ(s.FormatAt(5 + k, 3).borderStyle, kLineStyleNone);
  EXPECT_EQ(s.Charts()[0].chart->source, (CellRect{4, 1, 4 + k, 3}));
  EXPECT_TRUE(fs::exists(job.path));
}

// .xlsx gives every session its sheet; .xls the first 256, after a warning.
TEST_F(WorkbookReport, XlsxGetsEverySessionSheetAndXlsTheFirst256AfterAWarning) {
  // The .xls conversion itself is not what is looked at here: a stand-in
  // LibreOffice that converts nothing.
  const std::string soffice = dir + "/soffice";
  WriteBytes(soffice, std::vector<uint8_t>{'#', '!', '/', 'b', 'i', 'n', '/', 's', 'h', '\n'});
  fs::permissions(soffice, fs::perms::owner_all);
  const struct {
    const char* name;
    int sessions;
    bool plot;
    int sheets;
    bool warned;
  } cases[] = {{"many.xlsx", 260, true, 260, false},
               {"many.xls", 300, true, 256, true},
               {"many.XLS", 256, true, 256, false},
               {"many.xls", 300, false, 0, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(Format("%s %d", c.name, c.sessions));
    OnDemo(c.sessions, c.name);
    const std::string warning = SessionSheetLimitWarning(job.path, c.plot, c.sessions);
    EXPECT_EQ(!warning.empty(), c.warned);
    if (c.warned) {
      EXPECT_EQ(warning,
                "The 97-2003 format (.xls) holds at most 256 session sheets: sessions 1 to 256 "
                "get their sheet and chart, the other 44 only their row on the report sheet. An "
                ".xlsx workbook holds the sheets of all 300 sessions.");
    }
    RecordingServer server;
    server.Options().sofficePath = soffice;
    observer = {};
    EXPECT_EQ(Run(server, c.plot), 1);
    const auto names = SheetNames(server);
    ASSERT_EQ(names.size(), static_cast<std::size_t>(c.sheets + 1));
    EXPECT_EQ(names.back(), "PET'S DATA REPORT");
    if (c.sheets == 0) continue;
    EXPECT_EQ(names.front(), Format("Session%d", c.sheets));
    EXPECT_EQ(names[static_cast<std::size_t>(c.sheets - 1)], "Session1");
    EXPECT_EQ(observer.progress[observer.progress.size() - 2], 50 + (c.sheets - 1) * 50 / c.sheets);
  }
}

TEST_F(WorkbookReport, WithoutTheApplicationNothingIsWrittenAndTheDialogStays) {
  struct Missing final : AutomationServer {
    bool lookUp;
    explicit Missing(bool l) : lookUp(l) {}
    bool LookUpClass() override { return lookUp; }
    std::shared_ptr<Dispatch> CreateInstance() override { return nullptr; }
  };
  job.path = dir + "/x.xls";
  job.table = &table;
  job.saving = &saving;
  CExcelAutomation excel(messages);
  for (bool lookUp : {false, true}) {
    saving = 1;
    Missing server(lookUp);
    EXPECT_EQ(BuildWorkbook(job, server, excel, observer, &saved), 0);
    EXPECT_EQ(saving, 0);
  }
  EngineOptions options;
  options.sofficePath = dir + "/no-soffice";
  EngineAutomationServer noLibreOffice(options);
  EXPECT_EQ(BuildWorkbook(job, noLibreOffice, excel, observer, &saved), 0);
  ASSERT_EQ(messages.shown.size(), 3u);
  EXPECT_EQ(messages.shown[0], kClassLookupFailed);
  EXPECT_EQ(messages.shown[1], kNotRegistered);
  EXPECT_NE(messages.shown[2].find(".xlsx"), std::string::npos);
  EXPECT_EQ(observer.ends, 0);
  EXPECT_FALSE(saved);
  EXPECT_TRUE(Leftovers().empty());
}

TEST_F(WorkbookReport, EmptyTableKeepsItsHeaderRow) {
  OnDemo(0, "empty.xlsx");
  RecordingServer server;
  EXPECT_EQ(Run(server), 1);
  EXPECT_TRUE(messages.shown.empty());
  EXPECT_TRUE(observer.statuses.empty());
  const SheetModel& report = Sheet(server, "PET'S DATA REPORT");
  EXPECT_EQ(report.ValueAt(6, 1)->text, "Session");
  EXPECT_EQ(report.ValueAt(7, 1), nullptr);
  EXPECT_EQ(SheetNames(server).size(), 1u);
}

}  // namespace
}  // namespace yelvane
