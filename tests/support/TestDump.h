#pragma once

// Dumps built record by record, for the tests of the report walk and its readers.

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "activity/SessionRecord.h"

namespace yelvane::test {

// An erased dump with records written into chosen slots.
class TestDump {
 public:
  TestDump() : bytes_(kDumpSize, 0xFF) {}

  std::vector<uint8_t>& Bytes() { return bytes_; }

  void SetBark(int slot, const SessionRecord& r) { Put(kBarkTableOffset, slot, r); }
  void SetActivity(int slot, const SessionRecord& r) { Put(kActivityTableOffset, slot, r); }
  void SetRawByte(std::size_t table, int slot, std::size_t byte, uint8_t value) {
    bytes_[table + static_cast<std::size_t>(slot) * kSlotSize + byte] = value;
  }
  void SetSample(std::size_t index, uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
    const std::size_t at = kSampleAreaOffset + index * kSampleSize;
    bytes_[at] = b0;
    bytes_[at + 1] = b1;
    bytes_[at + 2] = b2;
    bytes_[at + 3] = b3;
  }

  std::string WriteTo(const std::filesystem::path& path) const {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes_.data()),
              static_cast<std::streamsize>(bytes_.size()));
    return path.string();
  }

 private:
  void Put(std::size_t table, int slot, const SessionRecord& r) {
    const auto b = EncodeSessionRecord(r);
    std::copy(b.begin(), b.end(),
              bytes_.begin() +
                  static_cast<std::ptrdiff_t>(table + static_cast<std::size_t>(slot) * kSlotSize));
  }
  std::vector<uint8_t> bytes_;
};

// A plausible record: 1 h 10 min from 03-07-2011 08:00PM.
inline SessionRecord SampleRecord() {
  SessionRecord r;
  r.durationMinutes = 10;
  r.durationHours = 1;
  r.total = 42;
  r.rate = 36;
  r.startMinute = 0;
  r.startHour = 20;
  r.startMonth = 3;
  r.startDay = 7;
  r.startYear = 11;
  r.endMinute = 10;
  r.endHour = 21;
  r.endMonth = 3;
  r.endDay = 7;
  r.endYear = 11;
  return r;
}

}  // namespace yelvane::test
