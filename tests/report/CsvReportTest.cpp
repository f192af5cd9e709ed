#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/TempFolder.h"
#include "report/CsvReport.h"
#include "support/Files.h"
#include "support/Golden.h"

namespace yelvane {
namespace {

TEST(CsvReport, QuotesOnlyWhatRfc4180Requires) {
  // Blanks, slashes, colons and letters beyond ASCII stay bare; a comma, a
  // quote or a line break (alone or as a pair) puts the field in quotes and
  // a quote is doubled; an empty cell is an empty field.
  MemorySessionTable table;
  const std::vector<std::vector<std::string>> rows = {
      {"1", "01:10", "42", "36", "03-07-2011 08:00PM", "03-07-2011 09:10PM", "01:10", "1234",
       "1057", "03-07-2011 08:00PM", "03-07-2011 09:10PM"},
      {"2", "a,b", "say \"hi\"", "line\r\nbreak", "cr\ronly", "lf\nonly", " lead", "trail ",
       "Bj\xc3\xb8rn", "", "\""},
  };
  for (std::size_t r = 0; r < rows.size(); ++r) {
    table.InsertRow(static_cast<int>(r));
    for (int c = 0; c < kSessionColumns; ++c)
      table.SetCellText(static_cast<int>(r), c, rows[r][static_cast<std::size_t>(c)]);
  }
  std::vector<int> hooked;
  const std::string csv = BuildCsvReport(table, [&hooked](int r) { hooked.push_back(r); });
  test::ExpectGolden(csv, "csv_quoting.csv");
  EXPECT_EQ(hooked, (std::vector<int>{0, 1}));

  // The file is exactly those bytes and replaces an older one.
  const TempFolder dir;
  const std::string path = (dir.Path() / "r.csv").string();
  std::ofstream(path) << "old";
  std::string error;
  ASSERT_TRUE(WriteCsvReport(path, table, error)) << error;
  EXPECT_EQ(test::ReadText(path), csv);
  EXPECT_FALSE(WriteCsvReport((dir.Path() / "no" / "r.csv").string(), table, error));
  EXPECT_FALSE(error.empty());

  // No rows: the header line alone.
  EXPECT_EQ(BuildCsvReport(MemorySessionTable{}), std::string(kCsvReportHeader) + "\r\n");

  // Series: one line per label, counts missing from a short series are 0.
  const ChartSeries series{{"11:40PM", "00:10AM", "00:20AM"}, {0, 65535}, {0, 5, 7}};
  EXPECT_EQ(BuildSeriesCsv(series),
            "Time,Bark,Activity\r\n11:40PM,0,0\r\n00:10AM,65535,5\r\n00:20AM,0,7\r\n");
}

}  // namespace
}  // namespace yelvane
