#include "activity/ReportHandOff.h"

#include <gtest/gtest.h>

#include <random>
#include <tuple>

#include "activity/FlashReport.h"
#include "support/Recorders.h"
#include "support/TestDump.h"

namespace yelvane {
namespace {

using test::RecordingLog;
using test::RecordingMessages;

// The progress pane as it would show itself: every call, and the state after it.
class PaneState final : public ProgressSink {
 public:
  using State = std::tuple<int, int, int, std::string, bool>;  // range, position, caption, %
  void SetRange(int lower, int upper) override { Note(lower_ = lower, upper_ = upper); }
  void SetPos(int pos) override { Note(pos_ = pos); }
  void SetPos(int pos, const std::string& caption) override {
    const State before{lower_, upper_, pos_, caption_, percent_};
    pos_ = pos;
    caption_ = caption;
    Note(percent_ = true);
    if (states.back() == before) ++idlePositions;
  }
  void SetShowPercent(bool show) override { Note(percent_ = show); }
  void SetStartColor(Rgb) override {}
  void SetEndColor(Rgb) override {}
  void SetTextColor(Rgb) override {}

  // The states the pane went through, each once.
  std::vector<State> Shown() const {
    std::vector<State> shown;
    for (const State& s : states)
      if (shown.empty() || shown.back() != s) shown.push_back(s);
    return shown;
  }
  std::vector<State> states;  // one per call
  int idlePositions = 0;      // positions with a caption that changed nothing

 private:
  template <class... T>
  void Note(T...) {
    states.emplace_back(lower_, upper_, pos_, caption_, percent_);
  }
  int lower_ = 0, upper_ = 100, pos_ = 0;
  std::string caption_;
  bool percent_ = false;
};

struct Targets {
  MemorySessionTable table;
  PaneState pane;
  RecordingLog log;
  RecordingMessages messages;
  ReportHandOff::Targets Get() { return {table, pane, log, messages}; }
};

void ExpectSameTable(const MemorySessionTable& direct, const MemorySessionTable& batched) {
  ASSERT_EQ(batched.RowCount(), direct.RowCount());
  for (int r = 0; r < direct.RowCount(); ++r) EXPECT_EQ(batched.Rows()[r], direct.Rows()[r]) << r;
}

// Random scripts of every operation, out-of-range rows and columns, reads in
// between and repeated positions: through the hand-off the targets end up as
// with one call each, reads answer the same, and the pane goes through the
// same states without a single call that changes nothing.
TEST(ReportHandOff, AnyScriptEndsAsCallByCall) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution(lo, hi)(random); };
    Targets direct, batched;
    std::size_t blocks = 0;
    {
      ReportHandOff handOff(
          batched.Get(),
          [&](std::function<void()> block) {
            ++blocks;
            block();
          },
          static_cast<std::size_t>(pick(1, 8)));
      for (int step = 0; step < 400; ++step) {
        const int count = direct.table.RowCount();
        const int op = pick(0, 14);
        if (op == 0) {
          direct.table.DeleteAllRows();
          handOff.DeleteAllRows();
        } else if (op <= 4) {
          const int row = pick(-2, count + 2);
          direct.table.InsertRow(row);
          handOff.InsertRow(row);
        } else if (op <= 8) {
          const int row = pick(-1, count + 1), column = pick(-1, kSessionColumns);
          // Appended, not "c" + ...: g++ 12 at -O3 misreads that as an overlapping copy.
          const std::string text = std::string("c").append(std::to_string(step));
          direct.table.SetCellText(row, column, text);
          handOff.SetCellText(row, column, text);
        } else if (op == 9) {
          ASSERT_EQ(handOff.RowCount(), count);
        } else if (op == 10) {
          const int row = pick(0, count), column = pick(0, kSessionColumns - 1);
          ASSERT_EQ(handOff.CellText(row, column, 31), direct.table.CellText(row, column, 31));
        } else if (op <= 12) {
          const int pos = pick(0, 2);
          const std::string caption = pick(0, 3) == 0 ? "" : "The progress";
          direct.pane.SetPos(pos, caption);
          handOff.SetPos(pos, caption);
        } else if (op == 13) {
          const bool show = pick(0, 1) == 1;
          direct.pane.SetShowPercent(show);
          handOff.SetShowPercent(show);
        } else {
          const std::string line = std::string("line ").append(std::to_string(step));
          direct.log.AppendLog(line, true);
          handOff.AppendLog(line, true);
        }
      }
    }  // the hand-off's end sends what it still held
    ExpectSameTable(direct.table, batched.table);
    EXPECT_EQ(batched.log.lines, direct.log.lines);
    EXPECT_EQ(batched.pane.Shown(), direct.pane.Shown());
    // Every position that went through changed the pane.
    EXPECT_EQ(batched.pane.idlePositions, 0);
    EXPECT_GT(blocks, 0u);
  }
}

// The report walk of a full logger: the table, the log and the pane's last
// state as call by call, in a handful of hand-offs instead of 36,000 calls,
// and the pane told only its 101 positions.
TEST(ReportHandOff, DenseWalkInBlocks) {
  test::TestDump dump;
  for (int slot = 0; slot < kSessionSlots; ++slot) {
    SessionRecord record = test::SampleRecord();
    record.total = static_cast<uint32_t>(slot);
    dump.SetBark(slot, record);
    dump.SetActivity(slot, record);
  }
  Targets direct, batched;
  ReportFlashDataFromMemory(dump.Bytes().data(), dump.Bytes().size(), direct.table, direct.log,
                            direct.pane);
  std::size_t blocks = 0;
  ReportHandOff handOff(batched.Get(), [&](std::function<void()> block) {
    ++blocks;
    block();
  });
  ReportFlashDataFromMemory(dump.Bytes().data(), dump.Bytes().size(), handOff, handOff, handOff);
  handOff.Flush();

  ASSERT_EQ(direct.table.RowCount(), kSessionSlots);
  ExpectSameTable(direct.table, batched.table);
  EXPECT_EQ(batched.log.lines, direct.log.lines);
  EXPECT_EQ(batched.log.lines.back(), kFlashReportSuccess);
  EXPECT_EQ(direct.pane.states.size(), 3000u);
  EXPECT_EQ(batched.pane.states.size(), 101u);
  EXPECT_EQ(batched.pane.Shown(), direct.pane.Shown());
  EXPECT_EQ(batched.pane.states.back(), direct.pane.states.back());
  // 3000 rows in blocks of 500 (more on a slow walk, one every 50 ms).
  EXPECT_GE(blocks, 6u);
  EXPECT_LT(blocks, 100u);
  EXPECT_EQ(handOff.HandOffs(), blocks);
}

}  // namespace
}  // namespace yelvane
