#include "activity/ChartSeries.h"

#include <climits>
#include <cstdint>

#include "activity/SessionRecord.h"
#include "activity/TimeHelpers.h"

namespace yelvane {
namespace {

uint16_t SampleCount(uint8_t low, uint8_t high) {
  // Each erased byte reads 0 on its own.
  const unsigned lo = low == 0xFF ? 0u : low;
  const unsigned hi = high == 0xFF ? 0u : high;
  return static_cast<uint16_t>(hi * 256u + lo);
}

std::string DatePart(const std::string& cell) {
  return cell.substr(0, cell.find(' '));
}

std::string TimePart(const std::string& cell) {
  return cell.size() <= 7 ? cell : cell.substr(cell.size() - 7);
}

int64_t MinutesOfDay(const std::string& time24) {
  const std::string_view t(time24);
  const std::string_view last = t.size() < 2 ? t : t.substr(t.size() - 2);
  return static_cast<int64_t>(DecimalValue(t.substr(0, 2))) * 60 + DecimalValue(last);
}

}  // namespace

int SessionSampleBytes(const SessionTable& table, int n) {
  if (n < 1 || n > table.RowCount()) return 0;
  const int m = MinutesBetween(table.CellText(n - 1, 4, kTimeCellBufferSize),
                               table.CellText(n - 1, 5, kTimeCellBufferSize));
  if (m == 0) return 4;
  // In 64 bits: a corrupt pair of dates must not overflow the product.
  const int64_t halfHours = int64_t{m} / 30 + (m % 30 != 0 ? 1 : 0);
  const int64_t bytes = 4 * halfHours;
  return bytes > INT32_MAX ? INT32_MAX : bytes < INT32_MIN ? INT32_MIN : static_cast<int>(bytes);
}

std::vector<int64_t> SessionSampleAddresses(const SessionTable& table) {
  std::vector<int64_t> addresses;
  int64_t address = kSampleAreaAddress;
  for (int n = 1; n <= table.RowCount(); ++n) {
    addresses.push_back(address);
    address += SessionSampleBytes(table, n);
  }
  return addresses;
}

void LoadSessionChart(const SessionTable& table, int n, std::FILE* dumpFile, ChartSeries& series) {
  if (n < 1 || n > table.RowCount()) return;
  int64_t address = kSampleAreaAddress;
  for (int k = 1; k < n; ++k) address += SessionSampleBytes(table, k);
  LoadSessionChartAt(table, n, address, dumpFile, series);
}

namespace {

// Row n's series, each sample fetched by `read(offset in the dump, sample)`,
// which leaves what it cannot deliver at 0.
template <typename ReadSample>
void LoadAt(const SessionTable& table, int n, int64_t address, ReadSample read,
            ChartSeries& series) {
  if (n < 1 || n > table.RowCount()) return;
  series.labels.clear();
  series.bark.clear();
  series.activity.clear();

  const int size = SessionSampleBytes(table, n);

  series.bark.push_back(0);
  series.activity.push_back(0);
  for (int64_t i = 0; i < size; i += 4) {
    uint8_t sample[kSampleSize] = {0, 0, 0, 0};  // what the read does not deliver stays 0
    read(address + i - static_cast<int64_t>(kDumpBaseAddress), sample);
    series.bark.push_back(SampleCount(sample[0], sample[1]));
    series.activity.push_back(SampleCount(sample[2], sample[3]));
  }

  const std::string startCell = table.CellText(n - 1, 4, kTimeCellBufferSize);
  const std::string endCell = table.CellText(n - 1, 5, kTimeCellBufferSize);
  const int64_t s = MinutesOfDay(Time12To24(TimePart(startCell)));
  const int64_t e = MinutesOfDay(Time12To24(TimePart(endCell))) +
                    int64_t{DaysBetween(DatePart(startCell), DatePart(endCell))} * 24 * 60;
  const auto label = [](int64_t minutes) {
    return Time24To12(MinutesToTime(static_cast<unsigned>(minutes)));
  };
  series.labels.push_back(label(s));
  // Signed comparison: for the texts the report writes it equals an unsigned
  // one, and a negative end can never run the axis through the whole range.
  for (int64_t t = s + 30; t < e; t += 30) series.labels.push_back(label(t));
  series.labels.push_back(label(e));
}

}  // namespace

void LoadSessionChartAt(const SessionTable& table, int n, int64_t address, std::FILE* dumpFile,
                        ChartSeries& series) {
  if (dumpFile && n >= 1 && n <= table.RowCount()) std::rewind(dumpFile);
  LoadAt(
      table, n, address,
      [dumpFile](int64_t offset, uint8_t* sample) {
        // A seek that fails (before the start of the file) must not leave the
        // read at some other position: such a sample reads as 0.
        if (dumpFile && offset >= 0 && offset <= INT32_MAX &&
            std::fseek(dumpFile, static_cast<long>(offset), SEEK_SET) == 0) {
          if (std::fread(sample, 1, kSampleSize, dumpFile) < kSampleSize) std::clearerr(dumpFile);
        }
      },
      series);
}

void LoadSessionChart(const SessionTable& table, int n, const uint8_t* dump, std::size_t size,
                      ChartSeries& series) {
  if (n < 1 || n > table.RowCount()) return;
  int64_t address = kSampleAreaAddress;
  for (int k = 1; k < n; ++k) address += SessionSampleBytes(table, k);
  LoadAt(
      table, n, address,
      [dump, size](int64_t offset, uint8_t* sample) {
        for (std::size_t b = 0; b < kSampleSize; ++b)
          if (offset >= 0 && static_cast<uint64_t>(offset) + b < size)
            sample[b] = dump[static_cast<std::size_t>(offset) + b];
      },
      series);
}

}  // namespace yelvane
