// The produced workbooks read back by independent readers: LibreOffice (one
// sheet at a time to CSV, and the .xls back to .xlsx) and openpyxl. Skipped
// where those are not installed.

#include <gtest/gtest.h>

#include <map>

#include "activity/ChartSeries.h"
#include "common/Format.h"
#include "common/TempFolder.h"
#include "support/Recorders.h"
#include "support/Workbook.h"

namespace yelvane {
namespace {

namespace fs = std::filesystem;
using namespace yelvane::test;

using Grid = std::vector<std::vector<std::string>>;

class WorkbookReadBack : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    folder = new TempFolder;
    dir = new std::string(folder->Str());
    table = new MemorySessionTable;
    dump = new std::string(MakeDemoDump(*dir, 3, *table));
    xlsx = new std::string(*dir + "/Rex0001.xlsx");
    Build(*xlsx);
  }
  static void TearDownTestSuite() {
    delete dir;
    delete folder;
    delete table;
    delete dump;
    delete xlsx;
  }
  static bool Build(const std::string& path) {
    WorkbookJob job;
    job.path = path;
    job.pet = {"Rex", "Ann Smith", "Back garden"};
    job.table = table;
    job.dumpPath = *dump;
    RecordingMessages messages;
    RecordedObserver observer;
    const bool saved = SaveReport(job, messages, observer);
    EXPECT_TRUE(messages.shown.empty());
    return saved;
  }
  static std::string Cell(int r, int c) { return table->CellText(r, c, kCellBufferSize); }
  static void ExpectGrid(const Grid& actual, const Grid& expected) {
    ASSERT_GE(actual.size(), expected.size());
    for (std::size_t r = 0; r < actual.size(); ++r) {
      std::vector<std::string> row = actual[r];
      std::vector<std::string> want =
          r < expected.size() ? expected[r] : std::vector<std::string>{};
      const std::size_t width = std::max(row.size(), want.size());
      row.resize(width);
      want.resize(width);
      EXPECT_EQ(row, want) << "row " << r + 1;
    }
  }

  static TempFolder* folder;
  static std::string* dir;
  static MemorySessionTable* table;
  static std::string* dump;
  static std::string* xlsx;
};

TempFolder* WorkbookReadBack::folder;
std::string* WorkbookReadBack::dir;
MemorySessionTable* WorkbookReadBack::table;
std::string* WorkbookReadBack::dump;
std::string* WorkbookReadBack::xlsx;

TEST_F(WorkbookReadBack, LibreOfficeSeesEveryCellOfTheReportAndASessionSheet) {
  const std::string soffice = FindLibreOffice();
  if (soffice.empty()) GTEST_SKIP() << "LibreOffice is not installed";
  // Sheet order: Session3, Session2, Session1, the report.
  Grid expected = {{"PET'S DATA REPORT"},
                   {"Pet Name:", "Rex"},
                   {"Pet Owner:", "Ann Smith"},
                   {"Pet Location:", "Back garden"},
                   {"", "BARKING", "", "", "", "", "", "ACTIVITY"},
                   {"Session", "Duration", "Total", "Rate/Hour", "Start Time", "End Time", "",
                    "Duration", "Total", "Rate/Hour", "Start Time", "End Time"}};
  for (int r = 0; r < 3; ++r) {
    std::vector<std::string> row;
    for (int c = 0; c < kSessionColumns; ++c) {
      if (c == 6) row.push_back("");  // column G stays empty
      row.push_back(Cell(r, c));
    }
    expected.push_back(row);
  }
  ASSERT_EQ(Cell(0, 1).size(), 5u);  // a duration "hh:mm", kept as text
  ExpectGrid(SheetAsCsv(soffice, *xlsx, 4, *dir), expected);

  ChartSeries series;
  std::FILE* file = std::fopen(dump->c_str(), "rb");
  ASSERT_NE(file, nullptr);
  LoadSessionChart(*table, 2, file, series);
  std::fclose(file);
  Grid session = {
      {"THE PLOT GRAPHIC FOR SESSION2."}, {}, {"Session2 plot graphic"}, {"", "Bark", "Activity"}};
  for (std::size_t i = 0; i < series.labels.size(); ++i) {
    session.push_back(
        {series.labels[i], std::to_string(series.bark[i]), std::to_string(series.activity[i])});
  }
  ExpectGrid(SheetAsCsv(soffice, *xlsx, 2, *dir), session);
}

TEST_F(WorkbookReadBack, OpenpyxlSeesTheFormatsMergesAndCharts) {
  if (!HavePythonOpenpyxl()) GTEST_SKIP() << "python3-openpyxl is not installed";
  const std::string script = R"(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
print("sheets=" + ",".join(wb.sheetnames))
print("active=" + wb.active.title)
print("grid=" + ",".join(str(ws.sheet_view.showGridLines) for ws in wb.worksheets))
ws = wb["PET'S DATA REPORT"]
print("merges=" + " ".join(sorted(str(m) for m in ws.merged_cells.ranges)))
print("widths=" + ",".join(str(int(ws.column_dimensions[c].width)) for c in "ABCDEFGHIJKL"))
for a in ["A1", "A2", "B2", "A4", "E4", "B5", "H5", "A6", "B7", "C7", "F9", "H9", "L9", "G7"]:
    c = ws[a]
    fill = c.fill.fgColor.rgb if c.fill.fill_type == "solid" else "-"
    print("%s=%r|%s|%s|%s|%s|%s|%s" % (a, c.value, c.font.name, c.font.sz, bool(c.font.b),
          fill, c.border.top.style, c.number_format))
s = wb["Session2"]
print("selection=" + s.sheet_view.selection[0].activeCell)
ch = s._charts[0]
t = lambda title: title.tx.rich.p[0].r[0].t
print("chart=%s|%s|%s|%s" % (type(ch).__name__, t(ch.title), t(ch.x_axis.title), t(ch.y_axis.title)))
print("font=" + ch.title.tx.rich.p[0].r[0].rPr.latin.typeface)
for se in ch.series:
    print("series=%s|%s|%s" % (se.tx.strRef.f, se.cat.strRef.f, se.val.numRef.f))
# openpyxl reads a "none" marker symbol as None: look at the chart parts themselves.
import zipfile
z = zipfile.ZipFile(sys.argv[1])
xml = "".join(z.read(n).decode() for n in z.namelist() if n.startswith("xl/charts/chart"))
print("unmarked=%d" % xml.count('<c:symbol val="none"/>'))
)";
  std::string out;
  ASSERT_TRUE(RunPython(*dir, script, *xlsx, out)) << out;
  std::map<std::string, std::string> facts;
  std::vector<std::string> series;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const auto eq = line.find('=');
    if (line.rfind("series=", 0) == 0)
      series.push_back(line.substr(7));
    else
      facts[line.substr(0, eq)] = line.substr(eq + 1);
  }
  EXPECT_EQ(facts["sheets"], "Session3,Session2,Session1,PET'S DATA REPORT");
  EXPECT_EQ(facts["active"], "PET'S DATA REPORT");
  EXPECT_EQ(facts["grid"], "False,False,False,False");
  EXPECT_EQ(facts["merges"], "A1:L1 B2:E2 B3:E3 B4:E4 B5:F5 H5:L5");
  EXPECT_EQ(facts["widths"], "13,10,7,10,18,18,2,10,7,10,18,18");
  const std::string font = "Lucida Sans Unicode";
  EXPECT_EQ(facts["A1"], "\"PET'S DATA REPORT\"|" + font + "|16.0|True|-|None|General");
  EXPECT_EQ(facts["A2"], "'Pet Name:'|" + font + "|11.0|False|-|thin|General");
  EXPECT_EQ(facts["B2"], "'Rex'|" + font + "|11.0|False|-|thin|@");
  EXPECT_EQ(facts["A4"], "'Pet Location:'|" + font + "|11.0|False|-|thin|General");
  EXPECT_NE(facts["E4"].find("|thin|"), std::string::npos);  // a merged cell: border only
  EXPECT_EQ(facts["B5"], "'BARKING'|" + font + "|12.0|True|FFCCFFCC|thin|@");
  EXPECT_EQ(facts["H5"], "'ACTIVITY'|" + font + "|12.0|True|FF99CCFF|thin|@");
  EXPECT_EQ(facts["A6"], "'Session'|" + font + "|10.0|True|FFFFFF99|thin|General");
  EXPECT_EQ(facts["B7"], "'" + Cell(0, 1) + "'|" + font + "|10.0|False|FFCCFFCC|thin|@");
  EXPECT_EQ(facts["C7"], Cell(0, 2) + "|" + font + "|10.0|False|FFCCFFCC|thin|General");
  EXPECT_EQ(facts["L9"], "'" + Cell(2, 10) + "'|" + font + "|10.0|False|FF99CCFF|thin|General");
  EXPECT_EQ(facts["G7"].substr(0, 5), "None|");
  EXPECT_EQ(facts["G7"].find("thin"), std::string::npos);
  EXPECT_EQ(facts["selection"], "A3");
  EXPECT_EQ(facts["chart"], "LineChart|Session2 plot graphic|Time|Bark/Activity");
  EXPECT_EQ(facts["font"], font);
  const int last = 4 + static_cast<int>(SessionSampleBytes(*table, 2) / 4) + 1;
  EXPECT_EQ(series,
            (std::vector<std::string>{
                Format("Session2!$B$4|Session2!$A$5:$A$%d|Session2!$B$5:$B$%d", last, last),
                Format("Session2!$C$4|Session2!$A$5:$A$%d|Session2!$C$5:$C$%d", last, last)}));
  // Line charts with markers (type 65): no series has its markers turned off.
  EXPECT_EQ(facts["unmarked"], "0");
}

// How each sheet prints, and the used range a reader such as pandas takes
// (the cells' own extent, not all 16,384 columns).
TEST_F(WorkbookReadBack, OpenpyxlSeesEachSheetsPrintSetupAndUsedRange) {
  if (!HavePythonOpenpyxl()) GTEST_SKIP() << "python3-openpyxl is not installed";
  const std::string script = R"(
import sys, openpyxl
used = {ws.title: ws.calculate_dimension()
        for ws in openpyxl.load_workbook(sys.argv[1], read_only=True).worksheets}
for ws in openpyxl.load_workbook(sys.argv[1]).worksheets:
    p = ws.page_setup
    fit = ws.sheet_properties.pageSetUpPr
    # Left out of the file, fitToWidth and fitToHeight are 1.
    line = "%s|%s|%s|fit=%s %s x %s|titles=%s" % (ws.title, used[ws.title], p.orientation,
        bool(fit is not None and fit.fitToPage), 1 if p.fitToWidth is None else p.fitToWidth,
        1 if p.fitToHeight is None else p.fitToHeight, ws.print_title_rows)
    for ch in ws._charts:
        a = ch.anchor
        line += "|chart %d,%d+%d,%d to %d,%d+%d,%d" % (a._from.col, a._from.colOff // 9525,
            a._from.row, a._from.rowOff // 9525, a.to.col, a.to.colOff // 9525, a.to.row,
            a.to.rowOff // 9525)
    print(line)
)";
  std::string out;
  ASSERT_TRUE(RunPython(*dir, script, *xlsx, out)) << out;
  // The chart: 480 x 320 points (640 x 427 pixels) from E3, beside the
  // table's three columns of 64 pixels and the default fourth, below two rows.
  std::string expected;
  for (int s = 3; s >= 1; --s) {
    const int last = 4 + static_cast<int>(SessionSampleBytes(*table, s) / 4) + 1;
    expected +=
        Format("Session%d|A1:C%d|landscape|fit=True 1 x 0|titles=None|chart 4,0+2,0 to 14,0+23,7\n",
               s, last);
  }
  expected += Format("PET'S DATA REPORT|A1:L%d|landscape|fit=True 1 x 0|titles=$5:$6\n",
                     table->RowCount() + 6);
  EXPECT_EQ(out, expected);
}

TEST_F(WorkbookReadBack, XlsIsA97To2003FileWithHiddenGridlinesAndCharts) {
  const std::string soffice = FindLibreOffice();
  if (soffice.empty()) GTEST_SKIP() << "LibreOffice is not installed";
  const std::string xls = *dir + "/Rex0002.xls";
  ASSERT_TRUE(Build(xls));
  const std::string bytes = ReadText(xls);
  ASSERT_GE(bytes.size(), 8u);
  EXPECT_EQ(bytes.substr(0, 8), std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8));
  // LibreOffice reads it back with its charts, values and hidden gridlines
  // (its own export would show them again).
  std::string error;
  const fs::path back = fs::path(*dir) / "back";
  fs::create_directories(back);
  const std::string again =
      ConvertWithLibreOffice(soffice, xls, "xlsx", "xlsx", back.string(), 120, error);
  ASSERT_FALSE(again.empty()) << error;
  if (!HavePythonOpenpyxl()) GTEST_SKIP() << "python3-openpyxl is not installed";
  const std::string script = R"(
import sys, openpyxl
wb = openpyxl.load_workbook(sys.argv[1])
for ws in wb.worksheets:
    print(ws.title, ws.sheet_view.showGridLines, len(ws._charts))
print(repr(wb["PET'S DATA REPORT"]["B7"].value))
)";
  std::string out;
  ASSERT_TRUE(RunPython(*dir, script, again, out)) << out;
  EXPECT_EQ(out,
            "Session3 False 1\nSession2 False 1\nSession1 False 1\n"
            "PET'S DATA REPORT False 0\n'" +
                Cell(0, 1) + "'\n");
}

TEST_F(WorkbookReadBack, BytesThatAreNotUtf8BecomeReplacementCharactersInWellFormedParts) {
  if (std::system("/usr/bin/python3 -c '' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "python3 is not installed";
  // A stray Latin-1 byte, a cut sequence, an overlong slash, a surrogate, and
  // good UTF-8 that must pass unchanged.
  MemorySessionTable cells;
  cells.InsertRow(0);
  cells.SetCellText(0, 0, "1\xE2\x82");
  WorkbookJob job;
  job.path = *dir + "/bytes.xlsx";
  job.plot = false;
  job.pet = {"Re\xE9x", "Ann \xC0\xAF Smith", "B\xC3\xA4r \xED\xA0\x80."};
  job.table = &cells;
  RecordingMessages messages;
  RecordedObserver observer;
  ASSERT_TRUE(SaveReport(job, messages, observer));
  EXPECT_TRUE(messages.shown.empty());
  // Every part parsed by a strict XML reader; then the shared strings.
  const std::string script = R"(
import sys, zipfile, xml.dom.minidom
z = zipfile.ZipFile(sys.argv[1])
for n in z.namelist():
    if n.endswith(".xml") or n.endswith(".rels"):
        xml.dom.minidom.parseString(z.read(n))
d = xml.dom.minidom.parseString(z.read("xl/sharedStrings.xml"))
for t in d.getElementsByTagName("t"):
    s = "".join(c.data for c in t.childNodes)
    if "\ufffd" in s or "\xe4" in s:
        print(s.encode("unicode_escape").decode())
)";
  std::string out;
  ASSERT_TRUE(RunPython(*dir, script, job.path, out)) << out;
  EXPECT_EQ(out,
            "Re\\ufffdx\nAnn \\ufffd\\ufffd Smith\nB\\xe4r \\ufffd\\ufffd\\ufffd.\n"
            "1\\ufffd\\ufffd\n");
}

}  // namespace
}  // namespace yelvane
