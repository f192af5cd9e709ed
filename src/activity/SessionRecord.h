#pragma once

// One 18-byte session record of the dump's bark or activity table, decoded.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace yelvane {

inline constexpr std::size_t kDumpSize = 0x50000;
inline constexpr std::size_t kDumpBaseAddress = 0x10000;
inline constexpr int kSessionSlots = 3000;
inline constexpr std::size_t kSlotSize = 32;
inline constexpr std::size_t kRecordSize = 18;  // the part of a slot that is read
inline constexpr std::size_t kBarkTableOffset = 0x00000;
inline constexpr std::size_t kActivityTableOffset = 0x18000;
inline constexpr std::size_t kSampleAreaOffset = 0x30000;  // unit address 0x40000
inline constexpr std::size_t kSampleAreaAddress = 0x40000;
inline constexpr std::size_t kSampleSize = 4;

struct SessionRecord {
  unsigned durationMinutes = 0;
  unsigned durationHours = 0;
  unsigned total = 0;
  unsigned rate = 0;
  unsigned startMinute = 0, startHour = 0, startMonth = 0, startDay = 0, startYear = 0;
  unsigned endMinute = 0, endHour = 0, endMonth = 0, endDay = 0, endYear = 0;
  // At least one field differs from its erased (all ones) value.
  bool written = false;
};

// Fields whose every bit is set read as 0 and do not mark the record written.
SessionRecord DecodeSessionRecord(const uint8_t* bytes);

// The record's inverse, for generators and tests: fields above their bit
// width are cut to it.
std::array<uint8_t, kRecordSize> EncodeSessionRecord(const SessionRecord& record);

// Forms the five cells (duration, total, rate, start, end), clamping the
// duration. Returns the first range message, or "" when every time and date
// is in range (the cells are complete only then).
std::string FormatSessionRecord(const SessionRecord& record, std::array<std::string, 5>& cells);

}  // namespace yelvane
