#include "sim/DemoData.h"

#include <algorithm>
#include <chrono>

#include "activity/SessionRecord.h"
#include "activity/TimeHelpers.h"

namespace yelvane {
namespace {

// splitmix64: the same sequence on every platform and library.
class DemoRandom {
 public:
  explicit DemoRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [lo, hi].
  int Between(int lo, int hi) {
    return lo + static_cast<int>(Next() % static_cast<uint64_t>(hi - lo + 1));
  }

 private:
  uint64_t state_;
};

struct Moment {
  unsigned year, month, day, hour, minute;  // year as 0-99
};

Moment MomentAt(std::chrono::sys_days base, int64_t minutes) {
  using namespace std::chrono;
  const sys_days day = base + days(minutes / 1440);
  const year_month_day ymd(day);
  const auto minuteOfDay = static_cast<unsigned>(minutes % 1440);
  return {static_cast<unsigned>(static_cast<int>(ymd.year()) - 2000),
          static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()), minuteOfDay / 60,
          minuteOfDay % 60};
}

std::string CellText(const Moment& m) {
  return DateText(m.month, m.day, m.year) + " " + TimeText(m.hour, m.minute);
}

// Sample counts never hold an erased byte, which would read as 0.
uint16_t SafeCount(int value) {
  auto v = static_cast<uint16_t>(std::clamp(value, 0, 0xFEFE));
  if ((v & 0xFF) == 0xFF) --v;
  return v;
}

void PutRecord(std::vector<uint8_t>& memory, std::size_t address, const SessionRecord& r) {
  const auto bytes = EncodeSessionRecord(r);
  std::copy(bytes.begin(), bytes.end(), memory.begin() + static_cast<std::ptrdiff_t>(address));
}

// The least pause between two sessions, in minutes.
constexpr int64_t kDemoSessionGap = 15;

// The samples may not reach the firmware version record.
constexpr std::size_t kSampleCapacity = (kVersionRecordAddress - kSampleAreaAddress) / kSampleSize;

}  // namespace

std::vector<uint8_t> MakeDemoMemory(const DemoOptions& options) {
  std::vector<uint8_t> memory(kLoggerMemorySize, 0xFF);
  memory[kVersionRecordAddress] = 0x00;      // minor
  memory[kVersionRecordAddress + 1] = 0x01;  // major
  if (options.erased) return memory;

  const int sessions = std::clamp(options.sessions, 0, kSessionSlots);
  DemoRandom random(options.seed);
  using namespace std::chrono;
  const sys_days base = sys_days(year(2011) / March / 1);
  std::size_t sampleIndex = 0;
  int64_t previousEnd = -1;  // minutes from the base day

  for (int k = 0; k < sessions; ++k) {
    // Keep at least one sample for every session still to come, and on
    // average no more than the sample area can hold.
    const std::size_t left = kSampleCapacity - sampleIndex;
    const auto after = static_cast<std::size_t>(sessions - k - 1);
    const std::size_t allowed = left - after;
    const std::size_t fair =
        std::max<std::size_t>(1, left / static_cast<std::size_t>(sessions - k));

    int length = 0;
    int startMinute = 0;
    const int kind = random.Between(0, 99);
    if (kind < 30) {  // a short walk
      length = random.Between(5, 45);
      startMinute = random.Between(6 * 60, 21 * 60);
    } else if (kind < 75) {  // an afternoon or evening
      length = random.Between(60, 4 * 60);
      startMinute = random.Between(12 * 60, 19 * 60);
    } else {  // a night alone, over midnight
      length = random.Between(5 * 60, 14 * 60);
      startMinute = random.Between(20 * 60, 23 * 60 + 50);
    }
    const auto cap = static_cast<int>(std::min(allowed, 2 * fair) * 30);
    length = std::max(1, std::min(length, cap));

    // One logger records one session at a time: a session that would begin
    // before the previous night ended begins a little after it instead.
    const int64_t start = std::max(int64_t{k} * 1440 + startMinute, previousEnd + kDemoSessionGap);
    previousEnd = start + length;
    const Moment from = MomentAt(base, start);
    const Moment to = MomentAt(base, start + length);
    // Exactly the reader's own arithmetic decides where each session's
    // samples lie.
    const int m = MinutesBetween(CellText(from), CellText(to));
    const std::size_t samples = m == 0 ? 1 : static_cast<std::size_t>((m + 29) / 30);

    // A lively dog: barking comes in bursts, activity is steadier.
    const int barkLevel = random.Between(0, 60);
    const int activityLevel = random.Between(100, 1500);
    unsigned barkTotal = 0;
    unsigned activityTotal = 0;
    for (std::size_t j = 0; j < samples; ++j) {
      const int covered = std::min(30, m - static_cast<int>(j) * 30);
      const int share = std::max(covered, 1);
      const int burst = random.Between(0, 9) == 0 ? random.Between(50, 400) : 0;
      const uint16_t bark = SafeCount((random.Between(0, barkLevel) + burst) * share / 30);
      const uint16_t activity =
          SafeCount(random.Between(activityLevel / 2, activityLevel * 3 / 2) * share / 30);
      const std::size_t at = kSampleAreaAddress + (sampleIndex + j) * kSampleSize;
      memory[at] = static_cast<uint8_t>(bark & 0xFF);
      memory[at + 1] = static_cast<uint8_t>(bark >> 8);
      memory[at + 2] = static_cast<uint8_t>(activity & 0xFF);
      memory[at + 3] = static_cast<uint8_t>(activity >> 8);
      barkTotal += bark;
      activityTotal += activity;
    }
    sampleIndex += samples;

    SessionRecord record;
    record.durationHours = static_cast<unsigned>(length / 60);
    record.durationMinutes = static_cast<unsigned>(length % 60);
    record.startMinute = from.minute;
    record.startHour = from.hour;
    record.startMonth = from.month;
    record.startDay = from.day;
    record.startYear = from.year;
    record.endMinute = to.minute;
    record.endHour = to.hour;
    record.endMonth = to.month;
    record.endDay = to.day;
    record.endYear = to.year;
    const auto slot = static_cast<std::size_t>(k) * kSlotSize;
    record.total = barkTotal;
    record.rate = static_cast<unsigned>((uint64_t{barkTotal} * 60 + length / 2) /
                                        static_cast<unsigned>(length));
    PutRecord(memory, kDumpBaseAddress + kBarkTableOffset + slot, record);
    record.total = activityTotal;
    record.rate = static_cast<unsigned>((uint64_t{activityTotal} * 60 + length / 2) /
                                        static_cast<unsigned>(length));
    PutRecord(memory, kDumpBaseAddress + kActivityTableOffset + slot, record);
  }
  return memory;
}

std::vector<uint8_t> DumpSlice(const std::vector<uint8_t>& memory) {
  if (memory.size() <= kDumpBaseAddress) return {};
  const std::size_t end = std::min(memory.size(), kDumpBaseAddress + kDumpSize);
  return std::vector<uint8_t>(memory.begin() + static_cast<std::ptrdiff_t>(kDumpBaseAddress),
                              memory.begin() + static_cast<std::ptrdiff_t>(end));
}

}  // namespace yelvane
