#include "activity/SessionRecord.h"

#include "activity/TimeHelpers.h"
#include "common/Format.h"

namespace yelvane {
namespace {

// Reads a field: all ones means not written and reads 0.
unsigned Field(unsigned raw, unsigned allOnes, bool& written) {
  if (raw == allOnes) return 0;
  written = true;
  return raw;
}

}  // namespace

SessionRecord DecodeSessionRecord(const uint8_t* b) {
  SessionRecord r;
  bool& w = r.written;
  r.durationMinutes = Field(b[0], 0xFF, w);
  r.durationHours = Field((b[2] & 0x0Fu) * 256u + b[1], 0xFFF, w);
  r.total = Field((b[2] >> 4) * 65536u + b[4] * 256u + b[3], 0xFFFFF, w);
  r.rate = Field(b[7] * 65536u + b[6] * 256u + b[5], 0xFFFFFF, w);
  r.startMinute = Field(b[8], 0xFF, w);
  r.startHour = Field(b[9], 0xFF, w);
  r.startMonth = Field(b[10], 0xFF, w);
  r.startDay = Field(b[11], 0xFF, w);
  r.startYear = Field(b[12], 0xFF, w);
  r.endMinute = Field(b[13], 0xFF, w);
  r.endHour = Field(b[14], 0xFF, w);
  r.endMonth = Field(b[15], 0xFF, w);
  r.endDay = Field(b[16], 0xFF, w);
  r.endYear = Field(b[17], 0xFF, w);
  return r;
}

std::array<uint8_t, kRecordSize> EncodeSessionRecord(const SessionRecord& r) {
  std::array<uint8_t, kRecordSize> b{};
  const unsigned hours = r.durationHours & 0xFFF;
  const unsigned total = r.total & 0xFFFFF;
  const unsigned rate = r.rate & 0xFFFFFF;
  b[0] = static_cast<uint8_t>(r.durationMinutes);
  b[1] = static_cast<uint8_t>(hours & 0xFF);
  b[2] = static_cast<uint8_t>((hours >> 8) | ((total >> 16) << 4));
  b[3] = static_cast<uint8_t>(total & 0xFF);
  b[4] = static_cast<uint8_t>((total >> 8) & 0xFF);
  b[5] = static_cast<uint8_t>(rate & 0xFF);
  b[6] = static_cast<uint8_t>((rate >> 8) & 0xFF);
  b[7] = static_cast<uint8_t>(rate >> 16);
  const unsigned rest[] = {r.startMinute, r.startHour, r.startMonth, r.startDay, r.startYear,
                           r.endMinute,   r.endHour,   r.endMonth,   r.endDay,   r.endYear};
  for (std::size_t i = 0; i < 10; ++i) b[8 + i] = static_cast<uint8_t>(rest[i]);
  return b;
}

std::string FormatSessionRecord(const SessionRecord& r, std::array<std::string, 5>& cells) {
  const unsigned minutes = r.durationMinutes > 59 ? 59 : r.durationMinutes;
  const unsigned hours = r.durationHours > 999 ? 999 : r.durationHours;
  // Built by hand: the walk formats 16 texts per session.
  cells[0].clear();
  AppendTwoDigits(cells[0], hours);
  cells[0] += ':';
  AppendTwoDigits(cells[0], minutes);
  cells[1] = std::to_string(r.total);
  cells[2] = std::to_string(r.rate);

  const auto toInt = [](unsigned v) { return static_cast<int>(v); };  // fields are below 2^8
  if (r.startMinute > 59)
    return Format("Minute(%d) out of range for the Start Time!", toInt(r.startMinute));
  if (r.startHour > 23)
    return Format("Hour(%d) out of range for the Start Time!", toInt(r.startHour));
  if (r.startMonth > 12)
    return Format("Month(%d) out of range for the Start Date!", toInt(r.startMonth));
  if (r.startDay > 31) return Format("Day(%d) out of range for the Start Date!", toInt(r.startDay));
  if (r.startYear > 99)
    return Format("Year(%d) out of range for the Start Date!", toInt(r.startYear));
  cells[3].clear();
  AppendDateText(cells[3], r.startMonth, r.startDay, r.startYear);
  cells[3] += ' ';
  AppendTimeText(cells[3], r.startHour, r.startMinute);

  if (r.endMinute > 59)
    return Format("Minute(%d) out of range for the End Time!", toInt(r.endMinute));
  if (r.endHour > 23) return Format("Hour(%d) out of range for the End Time!", toInt(r.endHour));
  if (r.endMonth > 12) return Format("Month(%d) out of range for the End Date!", toInt(r.endMonth));
  if (r.endDay > 31) return Format("Day(%d) out of range for the End Date!", toInt(r.endDay));
  if (r.endYear > 99) return Format("Year(%d) out of range for the End Date!", toInt(r.endYear));
  cells[4].clear();
  AppendDateText(cells[4], r.endMonth, r.endDay, r.endYear);
  cells[4] += ' ';
  AppendTimeText(cells[4], r.endHour, r.endMinute);
  return {};
}

}  // namespace yelvane
