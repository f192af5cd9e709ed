#include <gtest/gtest.h>

#include "activity/ChartSeries.h"
#include "common/TempFolder.h"
#include "support/TestDump.h"

namespace yelvane {
namespace {

using test::TestDump;

void AddRow(MemorySessionTable& table, const std::string& start, const std::string& end) {
  const int r = table.RowCount();
  table.InsertRow(r);
  table.SetCellText(r, 0, std::to_string(r + 1));
  table.SetCellText(r, 4, start);
  table.SetCellText(r, 5, end);
  // The activity cells play no part.
  table.SetCellText(r, 9, "01-01-2000 00:00AM");
  table.SetCellText(r, 10, "12-31-2099 11:00PM");
}

class ChartSeriesTest : public ::testing::Test {
 protected:
  void SetUp() override { path_ = (dir_.Path() / "tmp.bin").string(); }
  ChartSeries Load(int n) {
    dump_.WriteTo(path_);
    std::FILE* f = std::fopen(path_.c_str(), "rb");
    ChartSeries series;
    series.labels = {"stale"};
    LoadSessionChart(table_, n, f, series);
    std::fclose(f);
    return series;
  }
  TempFolder dir_;
  std::string path_;
  TestDump dump_;
  MemorySessionTable table_;
};

TEST_F(ChartSeriesTest, SampleBytesFromBarkStartAndEnd) {
  AddRow(table_, "03-07-2011 08:00PM", "03-07-2011 09:10PM");  // 70 min
  AddRow(table_, "03-07-2011 08:00PM", "03-07-2011 08:00PM");  // 0 min
  AddRow(table_, "03-07-2011 08:00PM", "03-07-2011 09:00PM");  // 60 min
  AddRow(table_, "03-07-2011 11:40PM", "03-08-2011 00:20AM");  // 40 min
  EXPECT_EQ(SessionSampleBytes(table_, 0), 0);
  EXPECT_EQ(SessionSampleBytes(table_, 1), 12);
  EXPECT_EQ(SessionSampleBytes(table_, 2), 4);
  EXPECT_EQ(SessionSampleBytes(table_, 3), 8);
  EXPECT_EQ(SessionSampleBytes(table_, 4), 8);
  EXPECT_EQ(SessionSampleBytes(table_, 5), 0);
}

TEST_F(ChartSeriesTest, FirstRowLabelsAndSeries) {
  AddRow(table_, "03-07-2011 08:00PM", "03-07-2011 09:10PM");
  dump_.SetSample(0, 1, 0, 2, 0);
  dump_.SetSample(1, 0x34, 0x12, 0x00, 0x01);
  dump_.SetSample(2, 3, 0, 4, 0);
  dump_.SetSample(3, 9, 9, 9, 9);  // belongs to the next row
  const ChartSeries s = Load(1);
  EXPECT_EQ(s.labels, (std::vector<std::string>{"08:00PM", "08:30PM", "09:00PM", "09:10PM"}));
  EXPECT_EQ(s.bark, (std::vector<uint16_t>{0, 1, 0x1234, 3}));
  EXPECT_EQ(s.activity, (std::vector<uint16_t>{0, 2, 0x100, 4}));
}

TEST_F(ChartSeriesTest, LaterRowsStartAfterEarlierRowsSamples) {
  AddRow(table_, "03-07-2011 08:00PM", "03-07-2011 09:10PM");  // 3 samples
  AddRow(table_, "03-08-2011 08:00PM", "03-08-2011 08:00PM");  // 1 sample
  AddRow(table_, "03-09-2011 07:00AM", "03-09-2011 07:45AM");  // 2 samples
  dump_.SetSample(3, 7, 0, 8, 0);
  dump_.SetSample(4, 5, 0, 6, 0);
  dump_.SetSample(5, 15, 0, 16, 0);
  const ChartSeries second = Load(2);
  EXPECT_EQ(second.labels, (std::vector<std::string>{"08:00PM", "08:00PM"}));
  EXPECT_EQ(second.bark, (std::vector<uint16_t>{0, 7}));
  EXPECT_EQ(second.activity, (std::vector<uint16_t>{0, 8}));
  const ChartSeries third = Load(3);
  EXPECT_EQ(third.labels, (std::vector<std::string>{"07:00AM", "07:30AM", "07:45AM"}));
  EXPECT_EQ(third.bark, (std::vector<uint16_t>{0, 5, 15}));

  const std::vector<int64_t> addresses = SessionSampleAddresses(table_);
  EXPECT_EQ(addresses, (std::vector<int64_t>{0x40000, 0x4000C, 0x40010}));
  std::FILE* f = std::fopen(path_.c_str(), "rb");
  ChartSeries at;
  LoadSessionChartAt(table_, 3, addresses[2], f, at);
  std::fclose(f);
  EXPECT_EQ(at.labels, third.labels);
  EXPECT_EQ(at.bark, third.bark);
  EXPECT_EQ(at.activity, third.activity);
}

TEST_F(ChartSeriesTest, CrossingMidnightWrapsTheClock) {
  AddRow(table_, "03-07-2011 11:40PM", "03-08-2011 00:20AM");
  const ChartSeries s = Load(1);
  EXPECT_EQ(s.labels, (std::vector<std::string>{"11:40PM", "00:10AM", "00:20AM"}));
  EXPECT_EQ(s.bark.size(), 3u);
  EXPECT_EQ(s.activity.size(), 3u);
}

TEST_F(ChartSeriesTest, ErasedBytesReadAsZeroEachOnItsOwn) {
  AddRow(table_, "03-07-2011 08:00PM", "03-07-2011 08:40PM");
  dump_.SetSample(0, 0xFF, 0xFF, 0x05, 0x00);
  dump_.SetSample(1, 0xFF, 0x12, 0x34, 0xFF);
  const ChartSeries s = Load(1);
  EXPECT_EQ(s.bark, (std::vector<uint16_t>{0, 0, 0x1200}));
  EXPECT_EQ(s.activity, (std::vector<uint16_t>{0, 5, 0x34}));
}

TEST_F(ChartSeriesTest, OutOfRangeRowLeavesTheListsAlone) {
  AddRow(table_, "03-07-2011 08:00PM", "03-07-2011 08:40PM");
  EXPECT_EQ(Load(0).labels, std::vector<std::string>{"stale"});
  EXPECT_EQ(Load(2).labels, std::vector<std::string>{"stale"});
}

TEST_F(ChartSeriesTest, SamplesPastTheDumpReadZero) {
  AddRow(table_, "03-07-2011 08:00PM", "03-07-2011 09:00PM");
  dump_.SetSample(0, 1, 0, 1, 0);
  dump_.SetSample(1, 2, 0, 2, 0);
  dump_.Bytes().resize(kSampleAreaOffset + 6);  // the second sample is cut
  const ChartSeries s = Load(1);
  EXPECT_EQ(s.bark, (std::vector<uint16_t>{0, 1, 2}));
  EXPECT_EQ(s.activity, (std::vector<uint16_t>{0, 1, 0}));
}

}  // namespace
}  // namespace yelvane
