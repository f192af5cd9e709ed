#include "activity/TimeHelpers.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cstdint>

#include "common/Format.h"

namespace yelvane {
namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

bool HasAmPm(const std::string& upper) {
  return upper.find("AM") != std::string::npos || upper.find("PM") != std::string::npos;
}

std::string_view FirstTwo(std::string_view text) {
  return text.substr(0, 2);
}

std::string_view LastTwo(std::string_view text) {
  return text.size() < 2 ? text : text.substr(text.size() - 2);
}

int ClampToInt(int64_t value) {
  return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

// Minutes of the day of a cell's time text (after Time12To24).
int64_t MinutesOfDay(const std::string& time24) {
  return static_cast<int64_t>(DecimalValue(FirstTwo(time24))) * 60 + DecimalValue(LastTwo(time24));
}

void SplitCell(const std::string& cell, std::string& date, std::string& time) {
  const std::size_t blank = cell.find(' ');
  if (blank == std::string::npos) {
    date = cell;
    time.clear();
  } else {
    date = cell.substr(0, blank);
    time = cell.substr(blank + 1);
  }
}

bool IsLeap(int64_t year) {
  return year % 4 == 0;
}

// Multiples of four in [1, n] for n >= 0, and the matching count for n < 0
// (floor division), so that a range of years needs no loop.
int64_t LeapYearsUpTo(int64_t n) {
  return n >= 0 ? n / 4 : -((-n + 3) / 4);
}

}  // namespace

int DecimalValue(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > static_cast<int64_t>(INT_MAX) + 1) value = static_cast<int64_t>(INT_MAX) + 1;
  }
  return ClampToInt(negative ? -value : value);
}

std::string Time12To24(const std::string& text) {
  const std::string upper = Upper(text);
  if (!HasAmPm(upper)) return text;
  const std::string suffix(LastTwo(upper));
  const std::string body = upper.substr(0, upper.size() - suffix.size());
  if (suffix != "PM") return body;
  int hour = DecimalValue(FirstTwo(body));
  const int minute = DecimalValue(LastTwo(body));
  hour = hour == 12 ? 12 : static_cast<int>(std::min<int64_t>(int64_t{hour} + 12, INT_MAX));
  return Format("%02d:%02d", hour, minute);
}

std::string Time24To12(const std::string& text) {
  if (HasAmPm(Upper(text))) return text;
  const int hour = DecimalValue(FirstTwo(text));
  if (hour < 12) return text + "AM";
  const int h = hour == 12 ? 12 : hour - 12;
  return Format("%02d:%sPM", h, std::string(LastTwo(text)).c_str());
}

std::string MinutesToTime(unsigned minutes) {
  const unsigned m = minutes % 1440;
  return Format("%02u:%02u", m / 60, m % 60);
}

unsigned DayOfYear(unsigned year, unsigned month, unsigned day) {
  static constexpr unsigned kMonthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30};
  if (month < 2 || month > 12) return day;
  unsigned total = day;
  for (unsigned m = 1; m < month; ++m) {
    total += kMonthDays[m - 1];
    if (m == 2 && year % 4 == 0) ++total;
  }
  return total;
}

int DaysBetween(const std::string& startDate, const std::string& endDate) {
  std::vector<int> start;
  std::vector<int> end;
  SplitToNumbers(startDate, start, '-', true);
  SplitToNumbers(endDate, end, '-', true);
  if (start.size() != 3 || end.size() != 3) return 0;
  // Parts are split at '-', so they carry no minus sign and are never negative.
  const auto u = [](int v) { return static_cast<unsigned>(v); };
  const int64_t startDay = DayOfYear(u(start[2]), u(start[0]), u(start[1]));
  const int64_t endDay = DayOfYear(u(end[2]), u(end[0]), u(end[1]));
  const int64_t startYear = start[2];
  const int64_t endYear = end[2];
  int64_t d = 0;
  if (startYear == endYear) {
    d = endDay - startDay;
  } else {
    d = (IsLeap(startYear) ? 366 : 365) - startDay + 365 * (endYear - startYear - 1) + endDay;
    if (endYear - startYear > 1) d += LeapYearsUpTo(endYear - 1) - LeapYearsUpTo(startYear);
  }
  return ClampToInt(d < 0 ? -d : d);
}

int MinutesBetween(const std::string& startCell, const std::string& endCell) {
  std::string startDate, startTime, endDate, endTime;
  SplitCell(startCell, startDate, startTime);
  SplitCell(endCell, endDate, endTime);
  const int64_t s = MinutesOfDay(Time12To24(startTime));
  const int64_t e = MinutesOfDay(Time12To24(endTime));
  if (startDate == endDate) return ClampToInt(s > e ? s - e : e - s);
  return ClampToInt(int64_t{DaysBetween(startDate, endDate)} * 1440 + e - s);
}

bool SplitToStrings(const std::string& text, std::vector<std::string>& list, char delimiter,
                    bool clear) {
  if (clear) list.clear();
  std::size_t from = 0;
  while (true) {
    const std::size_t at = text.find(delimiter, from);
    if (at == std::string::npos) {
      // A trailing delimiter leaves nothing after it: no empty last piece.
      if (from < text.size() || from == 0) list.push_back(text.substr(from));
      break;
    }
    list.push_back(text.substr(from, at - from));
    from = at + 1;
  }
  return true;
}

bool SplitToNumbers(const std::string& text, std::vector<int>& list, char delimiter, bool clear) {
  std::vector<std::string> pieces;
  SplitToStrings(text, pieces, delimiter, true);
  if (clear) list.clear();
  for (const std::string& piece : pieces) list.push_back(DecimalValue(piece));
  return true;
}

void AppendTwoDigits(std::string& out, unsigned value) {
  char digits[10];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  if (end - digits < 2) out += '0';
  out.append(digits, end);
}

void AppendDateText(std::string& out, unsigned month, unsigned day, unsigned year) {
  AppendTwoDigits(out, month);
  out += '-';
  AppendTwoDigits(out, day);
  out += "-20";
  AppendTwoDigits(out, year);
}

void AppendTimeText(std::string& out, unsigned hour, unsigned minute) {
  AppendTwoDigits(out, hour < 12 || hour == 12 ? hour : hour - 12);
  out += ':';
  AppendTwoDigits(out, minute);
  out += hour < 12 ? "AM" : "PM";
}

std::string DateText(unsigned month, unsigned day, unsigned year) {
  std::string text;
  AppendDateText(text, month, day, year);
  return text;
}

std::string TimeText(unsigned hour, unsigned minute) {
  std::string text;
  AppendTimeText(text, hour, minute);
  return text;
}

}  // namespace yelvane
