// libFuzzer target for the report walk and the chart series over a memory
// dump: the input is the dump as it comes, whole or short (the walk reads
// missing bytes as 0; scripts/check-fuzz seeds it with whole dumps). Every
// row must look like one the walk can produce, in slot order, and the last
// log line must be the success line or a range message.

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "activity/ChartSeries.h"
#include "activity/FlashReport.h"
#include "activity/SessionRecord.h"
#include "activity/SessionTable.h"

namespace {

using namespace yelvane;

// Positions only ever grow and stay within 0..100.
struct CheckedProgress final : ProgressSink {
  int last = 0;
  void SetRange(int, int) override {}
  void SetPos(int) override { std::abort(); }
  void SetPos(int pos, const std::string&) override {
    if (pos < last || pos > 100) std::abort();
    last = pos;
  }
  void SetShowPercent(bool) override {}
  void SetStartColor(Rgb) override {}
  void SetEndColor(Rgb) override {}
  void SetTextColor(Rgb) override {}
};

struct LastLine final : LogSink {
  std::string line;
  int lines = 0;
  void SetLogText(const std::string&) override {}
  void AppendLog(const std::string& text, bool) override {
    line = text;
    ++lines;
  }
};

// The checks are the harness's, not code under test: no coverage for them.
#define HARNESS __attribute__((no_sanitize("coverage")))

HARNESS bool IsDuration(std::string_view cell) {
  // "%02u:%02u" with hours up to 999 and minutes up to 59.
  const std::size_t colon = cell.find(':');
  if (colon < 2 || colon > 3 || cell.size() != colon + 3) return false;
  for (std::size_t i = 0; i < cell.size(); ++i)
    if (i != colon && (cell[i] < '0' || cell[i] > '9')) return false;
  return cell[colon + 1] <= '5';
}

HARNESS bool IsNumber(std::string_view cell) {
  return !cell.empty() && cell.size() <= 8 &&
         cell.find_first_not_of("0123456789") == std::string_view::npos;
}

// A session table that checks every cell as it is written and keeps only
// what the chart series read (start and end): a 3000-row table, which every
// short dump gives, costs little, so the fuzzer keeps its pace.
class CheckingTable final : public SessionTable {
 public:
  CheckingTable() { rows_.reserve(kSessionSlots); }
  void DeleteAllRows() override {
    rows_.clear();
    lastSession_ = 0;
  }
  void InsertRow(int row) override {
    // The walk appends rows in slot order.
    if (row != RowCount() || RowCount() >= kSessionSlots) std::abort();
    rows_.emplace_back();
  }
  HARNESS void SetCellText(int row, int column, const std::string& text) override {
    if (row != RowCount() - 1 || column < 0 || column >= kSessionColumns) std::abort();
    if (column == 0) {
      // The slot number in plain decimal, rising from row to row.
      int session = 0;
      for (const char c : text) {
        if (c < '0' || c > '9' || (session == 0 && c == '0')) std::abort();
        session = session * 10 + (c - '0');
        if (session > kSessionSlots) std::abort();
      }
      if (session <= lastSession_) std::abort();
      lastSession_ = session;
    } else {
      CheckCell(column, text);
    }
    if (column == 4 || column == 5) text.copy(rows_.back()[column - 4].data(), 18);
  }
  int RowCount() const override { return static_cast<int>(rows_.size()); }
  std::string CellText(int row, int column, std::size_t bufferSize) const override {
    if (row < 0 || row >= RowCount() || (column != 4 && column != 5)) return {};
    const auto& cell = rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column - 4)];
    return TruncateToBuffer(std::string_view(cell.data(), cell.size()), bufferSize);
  }

 private:
  HARNESS static void CheckCell(int column, const std::string& text) {
    const int inHalf = (column - 1) % 5;
    if (inHalf == 0) {
      if (!IsDuration(text)) std::abort();
    } else if (inHalf < 3) {
      if (!IsNumber(text)) std::abort();
    } else if (text.size() != 18) {  // "MM-DD-20YY HH:MMAM"
      std::abort();
    }
  }

  std::vector<std::array<std::array<char, 18>, 2>> rows_;
  int lastSession_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  static CheckingTable table;
  LastLine log;
  CheckedProgress progress;
  const std::string last = ReportFlashDataFromMemory(data, size, table, log, progress);
  if (log.lines != 1 || last != log.line) std::abort();
  if (last != kFlashReportSuccess && last.find(" out of range for the ") == std::string::npos)
    std::abort();
  // A walk that went through every slot ends at 100.
  if (last == kFlashReportSuccess && progress.last != 100) std::abort();

  if (table.RowCount() == 0 || size == 0) return 0;
  const auto check = [](const ChartSeries& series) {
    if (series.bark.size() != series.activity.size() || series.bark.empty() ||
        series.labels.size() < 2 || series.bark[0] != 0 || series.activity[0] != 0)
      std::abort();
  };
  // Century-long sessions are valid but take seconds; the short ones
  // exercise the same paths.
  const auto affordable = [](int n) { return SessionSampleBytes(table, n) <= 4 * 4096; };
  if (table.RowCount() > 256) {
    // A short dump's zero tail: where each session's samples start takes a
    // pass over all rows before it, so only the first is charted, from memory.
    if (affordable(1)) {
      ChartSeries series;
      LoadSessionChart(table, 1, data, size, series);
      check(series);
    }
    return 0;
  }
  std::FILE* dump = fmemopen(const_cast<uint8_t*>(data), size, "rb");
  if (!dump) return 0;
  const std::vector<int64_t> addresses = SessionSampleAddresses(table);
  for (const int n : {1, table.RowCount() / 2 + 1, table.RowCount()}) {
    if (!affordable(n)) continue;
    ChartSeries series;
    LoadSessionChartAt(table, n, addresses[static_cast<std::size_t>(n - 1)], dump, series);
    check(series);
  }
  std::fclose(dump);
  return 0;
}
