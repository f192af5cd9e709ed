#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report/TextReport.h"
#include "support/Golden.h"

namespace yelvane {
namespace {

using test::ExpectGolden;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  for (std::size_t at; (at = text.find("\r\n", from)) != std::string::npos; from = at + 2)
    lines.push_back(text.substr(from, at - from));
  EXPECT_EQ(from, text.size()) << "text after the last line end";
  return lines;
}

void AddRow(MemorySessionTable& table, const std::vector<std::string>& cells) {
  const int r = table.RowCount();
  table.InsertRow(r);
  for (int c = 0; c < kSessionColumns && c < static_cast<int>(cells.size()); ++c)
    table.SetCellText(r, c, cells[static_cast<std::size_t>(c)]);
}

const std::vector<std::string> kRow = {"1",
                                       "01:10",
                                       "42",
                                       "36",
                                       "03-07-2011 08:00PM",
                                       "03-07-2011 09:10PM",
                                       "01:10",
                                       "1234",
                                       "1057",
                                       "03-07-2011 08:00PM",
                                       "03-07-2011 09:10PM"};

TEST(TextReport, EmptyTableGivesSevenLines) {
  MemorySessionTable table;
  const std::string text = BuildTextReport(table, PetInfo{});
  const auto lines = Lines(text);
  ASSERT_EQ(lines.size(), 7u);
  EXPECT_EQ(lines[0], std::string(63, '=') + "PET'S DATA REPORT" + std::string(63, '='));
  EXPECT_EQ(lines[1], "Pet Name: ");
  EXPECT_EQ(lines[2], "Pet Owner: ");
  EXPECT_EQ(lines[3], "Pet Location: ");
  EXPECT_EQ(lines[4], "");
  EXPECT_EQ(lines[5].size(), 145u);
  EXPECT_EQ(lines[5].find("BARKING"), 9u);
  EXPECT_EQ(lines[5].find("ACTIVITY"), 77u);
  EXPECT_EQ(lines[6].find("Rate/Hour"), 26u);
  EXPECT_EQ(lines[6].rfind("End Time"), 125u);
  ExpectGolden(text, "text_report_empty.txt");
}

TEST(TextReport, RowsArePaddedToTheColumnsWithTwoTrailingBlanks) {
  MemorySessionTable table;
  AddRow(table, kRow);
  AddRow(table, {"3", "999:59", "1048574", "16777214", "", "12-31-2099 11:59PM"});
  const auto lines = Lines(BuildTextReport(table, PetInfo{"Rex", "Ann Lee", "Oslo"}));
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[1], "Pet Name: Rex");
  for (std::size_t i = 5; i < lines.size(); ++i) {
    // The second row's 7-digit total overflows its 5-wide column by two.
    EXPECT_EQ(lines[i].size(), i == 8 ? 147u : 145u) << i;
    EXPECT_EQ(lines[i].substr(lines[i].size() - 2), "  ") << i;
  }
  EXPECT_EQ(lines[7].substr(0, 37), "1        01:10     42     36         ");
  EXPECT_EQ(lines[7].substr(105, 18), "03-07-2011 08:00PM");
  EXPECT_EQ(lines[8].substr(0, 28), "3        999:59    1048574  ");
  EXPECT_EQ(lines[8].substr(39, 20), std::string(20, ' '));  // an empty cell is all blanks
}

TEST(TextReport, LongCellsStayWholeAndPushTheLineRight) {
  MemorySessionTable table;
  std::vector<std::string> row = kRow;
  row[4] = "03-07-2011  08:00PM";   // 19 characters in an 18-wide column
  row[10] = std::string(200, 'x');  // read through a 128-character buffer
  AddRow(table, row);
  const auto lines = Lines(BuildTextReport(table, PetInfo{}));
  const std::string& line = lines.back();
  EXPECT_EQ(line.find("03-07-2011  08:00PM  03-07-2011 09:10PM"), 37u);
  EXPECT_EQ(line.size(), 145u + 1 + (127 - 18));
  EXPECT_EQ(line.substr(line.size() - 129), std::string(127, 'x') + "  ");
}

TEST(TextReport, PadsByCharactersNotBytes) {
  MemorySessionTable table;
  std::vector<std::string> row = kRow;
  row[0] = "S\xc3\xb8ren";  // 5 letters, 6 bytes
  AddRow(table, row);
  const auto lines = Lines(BuildTextReport(table, PetInfo{"Zo\xc3\xab", "", ""}));
  EXPECT_EQ(lines[1], "Pet Name: Zo\xc3\xab");
  EXPECT_EQ(lines.back().substr(0, 10), "S\xc3\xb8ren    ");
  EXPECT_EQ(lines.back().substr(10, 8), "01:10   ");
}

TEST(TextReport, HeaderTitlesComeFromTheTable) {
  class RenamedHeaders final : public SessionTable {
   public:
    void DeleteAllRows() override {}
    void InsertRow(int) override {}
    void SetCellText(int, int, const std::string&) override {}
    int RowCount() const override { return 0; }
    std::string CellText(int, int, std::size_t) const override { return {}; }
    std::string HeaderText(int column, std::size_t) const override {
      // Not "H" + std::to_string(...): g++ 12 at -O2 and up takes that for
      // an overflowing copy (a false -Werror=restrict).
      std::string title = "H";
      return title.append(std::to_string(column));
    }
  } table;
  const auto lines = Lines(BuildTextReport(table, PetInfo{}));
  EXPECT_EQ(lines[6].substr(0, 19), "H0       H1        ");
}

TEST(TextReport, RowHookReportsEveryRowInOrder) {
  MemorySessionTable table;
  for (int i = 0; i < 3; ++i) AddRow(table, kRow);
  std::vector<int> progress;
  std::vector<std::string> status;
  BuildTextReport(table, PetInfo{}, [&](int r) {
    progress.push_back((r + 1) * 100 / table.RowCount());
    status.push_back("Session: " + std::to_string(r + 1));
  });
  EXPECT_EQ(progress, (std::vector<int>{33, 66, 100}));
  EXPECT_EQ(status.back(), "Session: 3");
  int calls = 0;
  BuildTextReport(MemorySessionTable{}, PetInfo{}, [&](int) { ++calls; });
  EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace yelvane
