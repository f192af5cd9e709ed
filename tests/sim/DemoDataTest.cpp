#include <gtest/gtest.h>

#include <cstdio>
#include <numeric>

#include "activity/ChartSeries.h"
#include "activity/FlashReport.h"
#include "activity/SessionRecord.h"
#include "activity/TimeHelpers.h"
#include "common/TempFolder.h"
#include "sim/DemoData.h"

namespace yelvane {
namespace {

struct Decoded {
  MemorySessionTable table;
  std::string last;
};

Decoded Decode(const std::vector<uint8_t>& dump) {
  Decoded d;
  NullLog log;
  NullProgress progress;
  d.last = ReportFlashDataFromMemory(dump.data(), dump.size(), d.table, log, progress);
  return d;
}

// Every session's samples sum to its totals and the rate agrees with the
// duration, read back the way the reports read them.
void ExpectConsistent(const std::vector<uint8_t>& memory, int sessions) {
  const std::vector<uint8_t> dump = DumpSlice(memory);
  ASSERT_EQ(dump.size(), kDumpSize);
  const Decoded d = Decode(dump);
  EXPECT_EQ(d.last, kFlashReportSuccess);
  ASSERT_EQ(d.table.RowCount(), sessions);

  TempFolder dir;
  const std::string path = (dir.Path() / "tmp.bin").string();
  std::FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(dump.data(), 1, dump.size(), f);
  std::fclose(f);
  f = std::fopen(path.c_str(), "rb");
  long sampleBytes = 0;
  const std::vector<int64_t> addresses = SessionSampleAddresses(d.table);
  for (int n = 1; n <= sessions; ++n) {
    const int r = n - 1;
    EXPECT_EQ(d.table.CellText(r, 0, 128), std::to_string(n));
    ChartSeries s;
    LoadSessionChartAt(d.table, n, addresses[static_cast<std::size_t>(r)], f, s);
    const unsigned bark = std::accumulate(s.bark.begin(), s.bark.end(), 0u);
    const unsigned activity = std::accumulate(s.activity.begin(), s.activity.end(), 0u);
    EXPECT_EQ(std::to_string(bark), d.table.CellText(r, 2, 128)) << "row " << n;
    EXPECT_EQ(std::to_string(activity), d.table.CellText(r, 7, 128)) << "row " << n;
    EXPECT_EQ(s.labels.size(), s.bark.size()) << "row " << n;

    const std::string duration = d.table.CellText(r, 1, 128);
    const int minutes =
        DecimalValue(duration) * 60 + DecimalValue(duration.substr(duration.find(':') + 1));
    EXPECT_EQ(minutes, MinutesBetween(d.table.CellText(r, 4, 31), d.table.CellText(r, 5, 31)));
    ASSERT_GT(minutes, 0);
    EXPECT_EQ(std::to_string((bark * 60 + minutes / 2) / minutes), d.table.CellText(r, 3, 128));
    sampleBytes += SessionSampleBytes(d.table, n);
  }
  std::fclose(f);
  // Samples stop short of the firmware version record.
  EXPECT_LE(kSampleAreaAddress + static_cast<std::size_t>(sampleBytes), kVersionRecordAddress);
  EXPECT_EQ(memory[kVersionRecordAddress], 0x00);
  EXPECT_EQ(memory[kVersionRecordAddress + 1], 0x01);
}

TEST(DemoData, DefaultSessionsAgreeWithTheirSamples) {
  const std::vector<uint8_t> memory = MakeDemoMemory(DemoOptions{});
  ASSERT_EQ(memory.size(), kLoggerMemorySize);
  ExpectConsistent(memory, kDefaultDemoSessions);
  // Nothing below the dump is written.
  EXPECT_EQ(std::count(memory.begin(), memory.begin() + 0x10000, 0xFF), 0x10000);
}

TEST(DemoData, VariedLengthsAndSomeCrossMidnight) {
  const Decoded d = Decode(DumpSlice(MakeDemoMemory(DemoOptions{})));
  int crossing = 0, shortest = 24 * 60, longest = 0;
  for (int r = 0; r < d.table.RowCount(); ++r) {
    const std::string start = d.table.CellText(r, 4, 31), end = d.table.CellText(r, 5, 31);
    if (start.substr(0, 10) != end.substr(0, 10)) ++crossing;
    const int m = MinutesBetween(start, end);
    shortest = std::min(shortest, m);
    longest = std::max(longest, m);
  }
  EXPECT_GE(crossing, 2);
  EXPECT_LT(shortest, 30);
  EXPECT_GT(longest, 6 * 60);
}

TEST(DemoData, DenseMemoryStillFits) {
  DemoOptions options;
  options.sessions = 3000;
  options.seed = 7;
  ExpectConsistent(MakeDemoMemory(options), 3000);
}

// "MM-DD-YYYY HH:MMAM" as "YYYYMMDDHH:MM", which sorts in time order.
std::string SortKey(const std::string& cell) {
  return cell.substr(6, 4) + cell.substr(0, 2) + cell.substr(3, 2) + Time12To24(cell.substr(11));
}

TEST(DemoData, SessionsNeverOverlap) {
  // A logger records one session at a time; long nights used to run into
  // the next day's session once there were a few hundred of them.
  for (const int sessions : {200, 3000}) {
    DemoOptions options;
    options.sessions = sessions;
    options.seed = 7;
    const Decoded d = Decode(DumpSlice(MakeDemoMemory(options)));
    ASSERT_EQ(d.table.RowCount(), sessions);
    for (int r = 1; r < d.table.RowCount(); ++r) {
      const std::string previousEnd = d.table.CellText(r - 1, 5, 31);
      const std::string start = d.table.CellText(r, 4, 31);
      EXPECT_GT(SortKey(start), SortKey(previousEnd))
          << "session " << r + 1 << " starts " << start << ", the one before ends " << previousEnd;
    }
  }
}

TEST(DemoData, SeedsAreDeterministicAndErasedIsErased) {
  DemoOptions a;
  a.seed = 5;
  EXPECT_EQ(MakeDemoMemory(a), MakeDemoMemory(a));
  DemoOptions b = a;
  b.seed = 6;
  EXPECT_NE(MakeDemoMemory(a), MakeDemoMemory(b));
  DemoOptions none;
  none.sessions = 0;
  EXPECT_EQ(Decode(DumpSlice(MakeDemoMemory(none))).table.RowCount(), 0);

  DemoOptions erased;
  erased.erased = true;
  std::vector<uint8_t> memory = MakeDemoMemory(erased);
  EXPECT_EQ(memory[kVersionRecordAddress + 1], 0x01);
  memory[kVersionRecordAddress] = memory[kVersionRecordAddress + 1] = 0xFF;
  EXPECT_EQ(memory, std::vector<uint8_t>(kLoggerMemorySize, 0xFF));
  EXPECT_TRUE(DumpSlice(std::vector<uint8_t>(100)).empty());
}

}  // namespace
}  // namespace yelvane
