#include <gtest/gtest.h>

#include <climits>

#include "activity/TimeHelpers.h"

namespace yelvane {
namespace {

TEST(DecimalValue, FollowsTheLibraryConversion) {
  EXPECT_EQ(DecimalValue("  42abc"), 42);
  EXPECT_EQ(DecimalValue("08"), 8);
  EXPECT_EQ(DecimalValue("-7"), -7);
  EXPECT_EQ(DecimalValue("+7"), 7);
  EXPECT_EQ(DecimalValue("x12"), 0);
  EXPECT_EQ(DecimalValue(""), 0);
  EXPECT_EQ(DecimalValue("99999999999999999999"), INT_MAX);
  EXPECT_EQ(DecimalValue("-99999999999999999999"), INT_MIN);
}

TEST(Time12To24, ConvertsAfternoonAndKeepsMorning) {
  EXPECT_EQ(Time12To24("08:05pm"), "20:05");
  EXPECT_EQ(Time12To24("12:40PM"), "12:40");
  EXPECT_EQ(Time12To24("00:15AM"), "00:15");
  EXPECT_EQ(Time12To24("12:15AM"), "12:15");  // the midnight hour is written 00
  EXPECT_EQ(Time12To24("20:05"), "20:05");
  EXPECT_EQ(Time12To24("garbage"), "garbage");
  EXPECT_EQ(Time12To24("PM"), "12:00");  // nothing to parse: hour 0 + 12
}

TEST(Time24To12, AddsTheSuffix) {
  EXPECT_EQ(Time24To12("00:30"), "00:30AM");
  EXPECT_EQ(Time24To12("11:59"), "11:59AM");
  EXPECT_EQ(Time24To12("12:00"), "12:00PM");
  EXPECT_EQ(Time24To12("23:05"), "11:05PM");
  EXPECT_EQ(Time24To12("08:05pm"), "08:05pm");
}

TEST(MinutesToTime, WrapsAtOneDay) {
  EXPECT_EQ(MinutesToTime(0), "00:00");
  EXPECT_EQ(MinutesToTime(1439), "23:59");
  EXPECT_EQ(MinutesToTime(1440), "00:00");
  EXPECT_EQ(MinutesToTime(1500), "01:00");
  EXPECT_EQ(MinutesToTime(UINT_MAX), MinutesToTime(UINT_MAX % 1440));
}

TEST(DayOfYear, CountsMonthsBeforeAndLeapFebruary) {
  EXPECT_EQ(DayOfYear(2011, 1, 1), 1u);
  EXPECT_EQ(DayOfYear(2011, 3, 1), 60u);
  EXPECT_EQ(DayOfYear(2012, 3, 1), 61u);
  EXPECT_EQ(DayOfYear(2011, 12, 31), 365u);
  EXPECT_EQ(DayOfYear(2012, 12, 31), 366u);
  EXPECT_EQ(DayOfYear(2100, 3, 1), 61u);  // no century rule
  EXPECT_EQ(DayOfYear(2011, 0, 5), 5u);
  EXPECT_EQ(DayOfYear(2011, 13, 5), 5u);
}

// From, to, and what lies between them.
struct Span {
  const char* from;
  const char* to;
  int between;
};

TEST(DaysBetween, AcrossMonthsYearsAndInEitherOrder) {
  for (const Span& s : {Span{"12-31-2011", "01-01-2012", 1}, Span{"02-28-2012", "03-01-2012", 2},
                        Span{"02-28-2011", "03-01-2011", 1}, Span{"01-01-2011", "01-01-2013", 731},
                        Span{"03-01-2011", "02-28-2011", 1}, Span{"01-01-2011", "01-01-2011", 0},
                        Span{"01-01-2000", "01-01-2100", 36525}})
    EXPECT_EQ(DaysBetween(s.from, s.to), s.between) << s.from << " " << s.to;
}

TEST(DaysBetween, MalformedDatesGiveZeroOrStayBounded) {
  EXPECT_EQ(DaysBetween("03-07", "03-08-2011"), 0);
  EXPECT_EQ(DaysBetween("03-07-2011-1", "03-08-2011"), 0);
  EXPECT_EQ(DaysBetween("", ""), 0);
  // Far-apart years are counted without a loop and clamped, not overflowed.
  EXPECT_EQ(DaysBetween("01-01-0", "01-01-9999999999"), INT_MAX);
}

TEST(MinutesBetween, SameDayAndAcrossMidnight) {
  for (const Span& s : {Span{"03-07-2011 11:50PM", "03-08-2011 00:10AM", 20},
                        Span{"03-07-2011 11:50PM", "03-08-2011 12:10AM", 740},  // 12:10AM is 12:10
                        Span{"03-07-2011 08:00PM", "03-07-2011 07:30PM", 30},
                        Span{"03-07-2011 08:00PM", "03-07-2011 09:10PM", 70},
                        Span{"03-07-2011 08:00PM", "03-07-2011 08:00PM", 0},
                        Span{"12-31-2011 11:00PM", "01-01-2012 01:00AM", 120}, Span{"", "", 0}})
    EXPECT_EQ(MinutesBetween(s.from, s.to), s.between) << s.from << " " << s.to;
}

TEST(SplitToStrings, PiecesTrailingDelimiterAndClear) {
  std::vector<std::string> list{"old"};
  EXPECT_TRUE(SplitToStrings("03-07-2011", list, '-', false));
  EXPECT_EQ(list, (std::vector<std::string>{"old", "03", "07", "2011"}));
  SplitToStrings("a-b-", list, '-', true);
  EXPECT_EQ(list, (std::vector<std::string>{"a", "b"}));
  SplitToStrings("whole", list, '-', true);
  EXPECT_EQ(list, (std::vector<std::string>{"whole"}));
  SplitToStrings("a--b", list, '-', true);
  EXPECT_EQ(list, (std::vector<std::string>{"a", "", "b"}));
  SplitToStrings("", list, '-', true);
  EXPECT_EQ(list, (std::vector<std::string>{""}));
}

TEST(SplitToNumbers, ConvertsEachPiece) {
  std::vector<int> list{9};
  SplitToNumbers("03-x7- 2011", list, '-', false);
  EXPECT_EQ(list, (std::vector<int>{9, 3, 0, 2011}));
  SplitToNumbers("5", list, '-', true);
  EXPECT_EQ(list, (std::vector<int>{5}));
}

TEST(CellTexts, DateAndTwelveHourTime) {
  EXPECT_EQ(DateText(3, 7, 11), "03-07-2011");
  EXPECT_EQ(DateText(0, 0, 0), "00-00-2000");
  EXPECT_EQ(TimeText(0, 5), "00:05AM");
  EXPECT_EQ(TimeText(11, 59), "11:59AM");
  EXPECT_EQ(TimeText(12, 5), "12:05PM");
  EXPECT_EQ(TimeText(13, 5), "01:05PM");
  EXPECT_EQ(TimeText(23, 5), "11:05PM");
}

}  // namespace
}  // namespace yelvane
