#include <gtest/gtest.h>

#include "activity/FlashReport.h"
#include "common/TempFolder.h"
#include "support/Recorders.h"
#include "support/TestDump.h"

namespace yelvane {
namespace {

using test::RecordingLog;
using test::RecordingMessages;
using test::RecordingProgress;
using test::SampleRecord;
using test::TestDump;

struct Walk {
  MemorySessionTable table;
  RecordingLog log;
  RecordingProgress progress;
  RecordingMessages messages;
  int result = -1;

  void Run(const std::string& path) {
    result = ReportFlashData(path, table, log, progress, messages);
  }
  void Run(TestDump& dump) {
    ReportFlashDataFromMemory(dump.Bytes().data(), dump.Bytes().size(), table, log, progress);
  }
  std::vector<std::string> Row(int r) const {
    std::vector<std::string> cells;
    for (int c = 0; c < kSessionColumns; ++c)
      cells.push_back(table.CellText(r, c, kCellBufferSize));
    return cells;
  }
};

TEST(ReportFlashData, ErasedDumpGivesEmptyTableAndEveryProgressStep) {
  TempFolder dir;
  TestDump dump;
  Walk walk;
  walk.table.InsertRow(0);  // rows of an earlier report go away
  walk.Run(dump.WriteTo(dir.Path() / "tmp.bin"));
  EXPECT_EQ(walk.result, 1);
  EXPECT_EQ(walk.table.RowCount(), 0);
  EXPECT_EQ(walk.log.lines, std::vector<std::string>{"Reported the flash data successfully!"});
  ASSERT_EQ(walk.progress.positions.size(), 3000u);
  EXPECT_EQ(walk.progress.positions[0], std::make_pair(0, std::string(kFlashReportCaption)));
  EXPECT_EQ(walk.progress.positions[29].first, 1);  // (29 + 1) * 100 / 3000
  EXPECT_EQ(walk.progress.positions.back().first, 100);
  EXPECT_EQ(walk.progress.positions.back().second, "The progress for flash data report.");
  EXPECT_TRUE(walk.messages.shown.empty());
}

TEST(ReportFlashData, MissingOrUnreadableDumpShowsFileOpenError) {
  TempFolder dir;
  for (const auto& path : {dir.Path() / "absent.bin", dir.Path()}) {
    Walk walk;
    walk.table.InsertRow(0);
    walk.Run(path.string());
    EXPECT_EQ(walk.result, 0);
    EXPECT_EQ(walk.messages.shown, std::vector<std::string>{"File Open Error!"});
    EXPECT_TRUE(walk.log.lines.empty());
    EXPECT_EQ(walk.table.RowCount(), 0);
  }
}

TEST(ReportFlashData, RowCellsOfAFullSession) {
  TestDump dump;
  SessionRecord bark = SampleRecord();
  bark.total = 0x12345;
  bark.rate = 0xABCDEF;
  dump.SetBark(0, bark);
  SessionRecord act = SampleRecord();
  act.startHour = 0;
  act.startMinute = 5;
  act.endHour = 12;
  act.endMinute = 5;
  dump.SetActivity(0, act);
  Walk walk;
  walk.Run(dump);
  ASSERT_EQ(walk.table.RowCount(), 1);
  EXPECT_EQ(walk.Row(0),
            (std::vector<std::string>{"1", "01:10", "74565", "11259375", "03-07-2011 08:00PM",
                                      "03-07-2011 09:10PM", "01:10", "42", "36",
                                      "03-07-2011 00:05AM", "03-07-2011 12:05PM"}));
}

TEST(ReportFlashData, ErasedBarkWithWrittenActivityIsShownAsZeros) {
  TestDump dump;
  dump.SetActivity(0, SampleRecord());
  Walk walk;
  walk.Run(dump);
  ASSERT_EQ(walk.table.RowCount(), 1);
  const auto row = walk.Row(0);
  EXPECT_EQ(std::vector<std::string>(row.begin(), row.begin() + 6),
            (std::vector<std::string>{"1", "00:00", "0", "0", "00-00-2000 00:00AM",
                                      "00-00-2000 00:00AM"}));
  EXPECT_EQ(row[10], "03-07-2011 09:10PM");
}

TEST(ReportFlashData, AnySingleWrittenFieldMarksTheSlotInUse) {
  // One byte in each field position; the rest of the record stays erased.
  for (std::size_t byte = 0; byte < kRecordSize; ++byte) {
    TestDump dump;
    dump.SetRawByte(kActivityTableOffset, 5, byte, 0x01);
    Walk walk;
    walk.Run(dump);
    EXPECT_EQ(walk.table.RowCount(), 1) << "byte " << byte;
  }
  // Bytes 18 to 31 of a slot are not read.
  TestDump dump;
  dump.SetRawByte(kBarkTableOffset, 5, 18, 0x01);
  dump.SetRawByte(kBarkTableOffset, 5, 31, 0x01);
  Walk walk;
  walk.Run(dump);
  EXPECT_EQ(walk.table.RowCount(), 0);
}

TEST(ReportFlashData, AllOnesPerFieldReadsZero) {
  TestDump dump;
  // Hours 0xFFF with total bits 16-19 = 0xF as well, total low bytes written:
  // the hours read 0, the total keeps its all-ones top nibble.
  dump.SetRawByte(kBarkTableOffset, 0, 1, 0xFF);
  dump.SetRawByte(kBarkTableOffset, 0, 2, 0xFF);
  dump.SetRawByte(kBarkTableOffset, 0, 3, 0x00);
  dump.SetRawByte(kBarkTableOffset, 0, 4, 0x00);
  Walk walk;
  walk.Run(dump);
  ASSERT_EQ(walk.table.RowCount(), 1);
  EXPECT_EQ(walk.Row(0)[1], "00:00");
  EXPECT_EQ(walk.Row(0)[2], "983040");  // 0xF0000
  EXPECT_EQ(walk.Row(0)[3], "0");
}

TEST(ReportFlashData, DurationIsClampedNotRejected) {
  TestDump dump;
  SessionRecord r = SampleRecord();
  r.durationMinutes = 0x3C;
  r.durationHours = 0x3E8;
  dump.SetBark(0, r);
  r.durationMinutes = 7;
  r.durationHours = 5;
  dump.SetBark(1, r);
  r.durationHours = 999;
  r.durationMinutes = 59;
  dump.SetBark(2, r);
  Walk walk;
  walk.Run(dump);
  ASSERT_EQ(walk.table.RowCount(), 3);
  EXPECT_EQ(walk.Row(0)[1], "999:59");
  EXPECT_EQ(walk.Row(1)[1], "05:07");
  EXPECT_EQ(walk.Row(2)[1], "999:59");
  EXPECT_EQ(walk.log.lines.back(), kFlashReportSuccess);
}

TEST(ReportFlashData, GapsKeepSlotNumbers) {
  TestDump dump;
  dump.SetBark(0, SampleRecord());
  dump.SetBark(2, SampleRecord());
  dump.SetActivity(2999, SampleRecord());
  Walk walk;
  walk.Run(dump);
  ASSERT_EQ(walk.table.RowCount(), 3);
  EXPECT_EQ(walk.Row(0)[0], "1");
  EXPECT_EQ(walk.Row(1)[0], "3");
  EXPECT_EQ(walk.Row(2)[0], "3000");
}

TEST(ReportFlashData, RangeErrorStopsTheWalkAndKeepsEarlierRows) {
  TestDump dump;
  for (int k = 0; k < 10; ++k) dump.SetBark(k, SampleRecord());
  SessionRecord bad = SampleRecord();
  bad.startMinute = 60;
  dump.SetBark(10, bad);
  dump.SetBark(11, SampleRecord());
  Walk walk;
  walk.Run(dump);
  EXPECT_EQ(walk.table.RowCount(), 10);
  EXPECT_EQ(walk.Row(9)[0], "10");
  ASSERT_EQ(walk.progress.positions.size(), 11u);
  EXPECT_EQ(walk.progress.positions.back().first, 0);  // 11 * 100 / 3000
  EXPECT_EQ(walk.log.lines,
            std::vector<std::string>{"Minute(60) out of range for the Start Time!"});
}

struct RangeCase {
  void (*spoil)(SessionRecord&);
  const char* message;
};

TEST(ReportFlashData, EveryRangeMessageInCheckOrder) {
  // Each case also spoils every later field, so the message shows which
  // check runs first.
  const RangeCase cases[] = {
      {[](SessionRecord& r) {
         r.startMinute = 60;
         r.startHour = 24;
         r.startMonth = 13;
       },
       "Minute(60) out of range for the Start Time!"},
      {[](SessionRecord& r) {
         r.startHour = 24;
         r.startMonth = 13;
       },
       "Hour(24) out of range for the Start Time!"},
      {[](SessionRecord& r) {
         r.startMonth = 13;
         r.startDay = 32;
       },
       "Month(13) out of range for the Start Date!"},
      {[](SessionRecord& r) {
         r.startDay = 32;
         r.startYear = 100;
       },
       "Day(32) out of range for the Start Date!"},
      {[](SessionRecord& r) {
         r.startYear = 100;
         r.endMinute = 60;
       },
       "Year(100) out of range for the Start Date!"},
      {[](SessionRecord& r) {
         r.endMinute = 254;
         r.endHour = 24;
       },
       "Minute(254) out of range for the End Time!"},
      {[](SessionRecord& r) {
         r.endHour = 24;
         r.endMonth = 13;
       },
       "Hour(24) out of range for the End Time!"},
      {[](SessionRecord& r) {
         r.endMonth = 13;
         r.endDay = 32;
       },
       "Month(13) out of range for the End Date!"},
      {[](SessionRecord& r) {
         r.endDay = 32;
         r.endYear = 100;
       },
       "Day(32) out of range for the End Date!"},
      {[](SessionRecord& r) { r.endYear = 100; }, "Year(100) out of range for the End Date!"},
  };
  for (const RangeCase& c : cases) {
    for (bool inActivity : {false, true}) {
      TestDump dump;
      dump.SetBark(0, SampleRecord());
      SessionRecord bad = SampleRecord();
      c.spoil(bad);
      if (inActivity)
        dump.SetActivity(1, bad);
      else
        dump.SetBark(1, bad);
      Walk walk;
      walk.Run(dump);
      EXPECT_EQ(walk.table.RowCount(), 1) << c.message;
      EXPECT_EQ(walk.log.lines, std::vector<std::string>{c.message});
      EXPECT_EQ(walk.progress.positions.size(), 2u);
    }
  }
}

TEST(ReportFlashData, BarkErrorComesBeforeActivityError) {
  TestDump dump;
  SessionRecord bark = SampleRecord();
  bark.endYear = 100;
  SessionRecord act = SampleRecord();
  act.startMinute = 60;
  dump.SetBark(0, bark);
  dump.SetActivity(0, act);
  Walk walk;
  walk.Run(dump);
  EXPECT_EQ(walk.log.lines, std::vector<std::string>{"Year(100) out of range for the End Date!"});
}

TEST(ReportFlashData, ZeroMonthAndDayAreAccepted) {
  TestDump dump;
  SessionRecord r = SampleRecord();
  r.startMonth = 0;
  r.startDay = 0;
  r.endMonth = 12;
  r.endDay = 31;
  r.endYear = 99;
  dump.SetBark(0, r);
  Walk walk;
  walk.Run(dump);
  ASSERT_EQ(walk.table.RowCount(), 1);
  EXPECT_EQ(walk.Row(0)[4], "00-00-2011 08:00PM");
  EXPECT_EQ(walk.Row(0)[5], "12-31-2099 09:10PM");
}

TEST(ReportFlashData, ShortDumpReadsMissingBytesAsZero) {
  TempFolder dir;
  TestDump dump;
  dump.SetBark(0, SampleRecord());
  dump.Bytes().resize(40);  // slot 0 whole, slot 1 cut after 8 bytes
  Walk walk;
  walk.Run(dump.WriteTo(dir.Path() / "short.bin"));
  EXPECT_EQ(walk.result, 1);
  // Zeros are written values: every slot past the end is a session of zeros.
  ASSERT_EQ(walk.table.RowCount(), 3000);
  EXPECT_EQ(walk.Row(0)[4], "03-07-2011 08:00PM");
  EXPECT_EQ(walk.Row(1)[1], "00:00");  // 0xFF duration bytes, then zeros
  EXPECT_EQ(walk.Row(1)[4], "00-00-2000 00:00AM");
  EXPECT_EQ(walk.Row(2999)[0], "3000");
  EXPECT_EQ(walk.log.lines.back(), kFlashReportSuccess);
}

}  // namespace
}  // namespace yelvane
