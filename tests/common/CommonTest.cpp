#include <gtest/gtest.h>

#include "activity/SessionTable.h"
#include "common/Format.h"
#include "common/Sinks.h"

namespace yelvane {
namespace {

TEST(Format, LongTextsAreNotCut) {
  const std::string long300(300, 'x');
  EXPECT_EQ(Format("%s!", long300.c_str()), long300 + "!");
  EXPECT_EQ(Format("%02d-%02d-20%02d", 3, 7, 11), "03-07-2011");
  EXPECT_EQ(Format("%ldK/%ldK", 0L, 320L), "0K/320K");
}

TEST(AppendLogText, AddsOneLineBreakOnlyWhenMissing) {
  EXPECT_EQ(AppendLogText("Command: Read Memory Data", true), "Command: Read Memory Data\r\n");
  EXPECT_EQ(AppendLogText("done\r\n", true), "done\r\n");
  EXPECT_EQ(AppendLogText("half\n", true), "half\n\r\n");
  EXPECT_EQ(AppendLogText("plain", false), "plain");
  EXPECT_EQ(AppendLogText("", true), "\r\n");
}

TEST(TruncateToBuffer, KeepsAtMostBufferMinusOneCharacters) {
  EXPECT_EQ(TruncateToBuffer("03-07-2011 08:05PM", 31), "03-07-2011 08:05PM");
  EXPECT_EQ(TruncateToBuffer(std::string(200, 'a'), 128), std::string(127, 'a'));
  EXPECT_EQ(TruncateToBuffer("abc", 1), "");
  EXPECT_EQ(TruncateToBuffer("abc", 0), "");
  // A multi-byte letter is counted once and never cut in half.
  EXPECT_EQ(TruncateToBuffer("\xc3\xa9t\xc3\xa9", 3), "\xc3\xa9t");
}

TEST(MemorySessionTable, InsertSetReadAndClear) {
  MemorySessionTable table;
  table.InsertRow(0);
  table.InsertRow(1);
  table.SetCellText(1, 0, "3");
  table.InsertRow(1);  // goes between the two
  table.SetCellText(1, 0, "2");
  ASSERT_EQ(table.RowCount(), 3);
  EXPECT_EQ(table.CellText(1, 0, kCellBufferSize), "2");
  EXPECT_EQ(table.CellText(2, 0, kCellBufferSize), "3");
  EXPECT_EQ(table.CellText(0, 10, kCellBufferSize), "");
  // Out-of-range cells read empty and writes to them are ignored.
  table.SetCellText(5, 0, "x");
  table.SetCellText(0, 11, "x");
  EXPECT_EQ(table.CellText(5, 0, kCellBufferSize), "");
  EXPECT_EQ(table.HeaderText(3, kHeaderBufferSize), "Rate/Hour");
  EXPECT_EQ(table.HeaderText(11, kHeaderBufferSize), "");
  table.DeleteAllRows();
  EXPECT_EQ(table.RowCount(), 0);
}

}  // namespace
}  // namespace yelvane
