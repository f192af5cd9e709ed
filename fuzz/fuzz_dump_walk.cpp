// libFuzzer target for the report walk and the chart series that read the
// memory dump. The first input byte (modulo 3) picks how the rest becomes a
// dump:
//   0: the bytes are the dump itself (a short one: the rest reads as 0);
//   1: the bytes are the start of an erased full-size dump;
//   2: an erased full-size dump patched with records: each 20-byte chunk is
//      a slot number (2 bytes, top bit = activity table) and 18 bytes.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "activity/ChartSeries.h"
#include "activity/FlashReport.h"
#include "activity/SessionRecord.h"
#include "activity/SessionTable.h"

namespace {

using namespace yelvane;

std::vector<uint8_t> MakeDump(const uint8_t* data, std::size_t size) {
  if (size == 0) return {};
  const int mode = data[0] % 3;
  if (mode == 0) return std::vector<uint8_t>(data + 1, data + size);
  std::vector<uint8_t> dump(kDumpSize, 0xFF);
  if (mode == 1) {
    std::copy(data + 1, data + std::min(size, kDumpSize), dump.begin());
    return dump;
  }
  for (std::size_t at = 1; at + 20 <= size; at += 20) {
    const unsigned slot = (data[at] | (data[at + 1] << 8)) & 0x7FFF;
    const std::size_t table = (data[at + 1] & 0x80) ? kActivityTableOffset : kBarkTableOffset;
    const std::size_t offset = table + (slot % kSessionSlots) * kSlotSize;
    for (std::size_t i = 0; i < kRecordSize; ++i) dump[offset + i] = data[at + 2 + i];
  }
  return dump;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::vector<uint8_t> dump = MakeDump(data, size);
  MemorySessionTable table;
  NullLog log;
  NullProgress progress;
  const std::string last =
      ReportFlashDataFromMemory(dump.data(), dump.size(), table, log, progress);
  if (last.empty() || table.RowCount() > kSessionSlots) std::abort();
  for (int r = 0; r < table.RowCount(); ++r) {
    // Start and end cells are always 18 characters.
    if (table.CellText(r, 4, kCellBufferSize).size() != 18 ||
        table.CellText(r, 10, kCellBufferSize).size() != 18)
      std::abort();
  }

  if (table.RowCount() == 0 || dump.empty()) return 0;
  std::FILE* file = fmemopen(dump.data(), dump.size(), "rb");
  if (!file) return 0;
  const int rows[] = {1, table.RowCount() / 2 + 1, table.RowCount()};
  for (const int n : rows) {
    // Century-long sessions are valid but take seconds; the short ones
    // exercise the same paths.
    if (SessionSampleBytes(table, n) > 4 * 4096) continue;
    ChartSeries series;
    LoadSessionChart(table, n, file, series);
    if (series.bark.size() != series.activity.size() || series.bark.empty() ||
        series.labels.size() < 2)
      std::abort();
  }
  std::fclose(file);
  return 0;
}
