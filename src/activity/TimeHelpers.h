#pragma once

// Date and time helpers over the session table's texts. Every reader of the
// table (chart series, reports) parses the cells with these, so they follow
// the cell formats exactly and never fail: what does not parse reads as 0.

#include <string>
#include <string_view>
#include <vector>

namespace yelvane {

// Decimal value as the C library reads it: leading blanks skipped, an
// optional sign, digits up to the first non-digit, 0 when there is none.
// Values beyond int are clamped to INT_MIN / INT_MAX.
int DecimalValue(std::string_view text);

// "08:05PM" -> "20:05"; "00:15AM" -> "00:15"; a text without AM/PM is
// returned unchanged.
std::string Time12To24(const std::string& text);

// "23:05" -> "11:05PM"; "00:30" -> "00:30AM"; a text with AM/PM is returned
// unchanged.
std::string Time24To12(const std::string& text);

// "HH:MM" of the minutes modulo one day.
std::string MinutesToTime(unsigned minutes);

// Day number within the year, 1 for January 1 (every fourth year is a leap
// year, no century rule).
unsigned DayOfYear(unsigned year, unsigned month, unsigned day);

// Whole days between two "MM-DD-YYYY" texts, never negative; 0 when either
// date does not have three parts.
int DaysBetween(const std::string& startDate, const std::string& endDate);

// Minutes from a start cell to an end cell ("MM-DD-YYYY HH:MMAM").
int MinutesBetween(const std::string& startCell, const std::string& endCell);

// Splits at every `delimiter` and appends the pieces to `list` (emptied first
// when `clear`). A trailing delimiter adds no empty last piece; two
// delimiters in a row add an empty piece between them.
bool SplitToStrings(const std::string& text, std::vector<std::string>& list, char delimiter,
                    bool clear);

// The same split, each piece converted with DecimalValue.
bool SplitToNumbers(const std::string& text, std::vector<int>& list, char delimiter, bool clear);

// The cell texts the report writes.
std::string DateText(unsigned month, unsigned day, unsigned year);  // "03-07-2011"
std::string TimeText(unsigned hour, unsigned minute);               // "08:05PM"
// The same texts appended to `out` (the walk builds its cells without
// formatting calls): "03-07-2011", "08:05PM", and a number as "%02u" does.
void AppendDateText(std::string& out, unsigned month, unsigned day, unsigned year);
void AppendTimeText(std::string& out, unsigned hour, unsigned minute);
void AppendTwoDigits(std::string& out, unsigned value);

}  // namespace yelvane
