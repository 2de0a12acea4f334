#include "base/datetime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "base/text.h"

namespace tarnwick {
namespace {

void ExpectCivil(DateTime value, int year, int month, int day, int hour, int minute, int second) {
  const CivilDateTime civil = DecodeDateTime(value);
  EXPECT_EQ(civil.year, year) << value;
  EXPECT_EQ(civil.month, month) << value;
  EXPECT_EQ(civil.day, day) << value;
  EXPECT_EQ(civil.hour, hour) << value;
  EXPECT_EQ(civil.minute, minute) << value;
  EXPECT_EQ(civil.second, second) << value;
}

TEST(DateTimeValue, KnownDayNumbers) {
  EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
  EXPECT_EQ(EncodeDate(1900, 1, 1), 2);
  EXPECT_EQ(EncodeDate(1970, 1, 1), 25569);
  EXPECT_EQ(EncodeDate(2000, 3, 1), 36586);
  EXPECT_EQ(EncodeDate(2011, 5, 3), 40666);
  EXPECT_EQ(EncodeDate(100, 1, 1), kEmptyDate);
  EXPECT_EQ(EncodeDate(9999, 12, 31), kMaxDate);
  // Months beyond the year roll over.
  EXPECT_EQ(EncodeDate(2010, 13, 1), EncodeDate(2011, 1, 1));
  EXPECT_EQ(EncodeDate(2011, 0, 31), EncodeDate(2010, 12, 31));

  ExpectCivil(40666, 2011, 5, 3, 0, 0, 0);
  ExpectCivil(kEmptyDate, 100, 1, 1, 0, 0, 0);
  ExpectCivil(kMaxDate, 9999, 12, 31, 0, 0, 0);
  ExpectCivil(36585, 2000, 2, 29, 0, 0, 0);
  ExpectCivil(2, 1900, 1, 1, 0, 0, 0);
  ExpectCivil(60, 1900, 2, 28, 0, 0, 0);  // 1900 was no leap year
  ExpectCivil(61, 1900, 3, 1, 0, 0, 0);

  EXPECT_EQ(DayOfWeek(0), 6);      // Saturday
  EXPECT_EQ(DayOfWeek(40666), 2);  // 2011-05-03, a Tuesday
  EXPECT_EQ(DayOfWeek(-1.5), 5);   // 1899-12-29, a Friday
  EXPECT_EQ(DayOfWeek(-7), 6);
}

TEST(DateTimeValue, EveryDayRoundTrips) {
  for (int day = static_cast<int>(kEmptyDate); day <= static_cast<int>(kMaxDate); day += 17) {
    const CivilDateTime civil = DecodeDateTime(day);
    ASSERT_TRUE(IsValidDate(civil.year, civil.month, civil.day)) << day;
    ASSERT_EQ(EncodeDate(civil.year, civil.month, civil.day), day);
  }
}

TEST(DateTimeValue, TimeOfDayBeforeAndAfterTheEpoch) {
  ExpectCivil(40666.5, 2011, 5, 3, 12, 0, 0);
  ExpectCivil(-1.25, 1899, 12, 29, 6, 0, 0);
  ExpectCivil(-2.75, 1899, 12, 28, 18, 0, 0);
  ExpectCivil(-657434.5, 100, 1, 1, 12, 0, 0);
  // Rounded to the second; 23:59:59.6 becomes the next midnight.
  ExpectCivil(40666 + 13.0 / 24 + 5.0 / 1440 + 9.4 / 86400, 2011, 5, 3, 13, 5, 9);
  ExpectCivil(40666 + 86399.6 / 86400, 2011, 5, 4, 0, 0, 0);
  ExpectCivil(-1 - 86399.6 / 86400, 1899, 12, 30, 0, 0, 0);

  CivilDateTime civil{1899, 12, 29, 6, 0, 0};
  EXPECT_EQ(EncodeDateTime(civil), -1.25);
  civil = {2011, 5, 3, 13, 5, 9};
  EXPECT_DOUBLE_EQ(EncodeDateTime(civil), 40666 + (13 * 3600 + 5 * 60 + 9) / 86400.0);
  ExpectCivil(EncodeDateTime(civil), 2011, 5, 3, 13, 5, 9);
  civil = {1066, 10, 14, 9, 30, 1};
  ExpectCivil(EncodeDateTime(civil), 1066, 10, 14, 9, 30, 1);
}

TEST(DateTimeValue, ClampAndOutOfRangeValues) {
  EXPECT_EQ(ClampDateTime(40666.5), 40666.5);
  EXPECT_EQ(ClampDateTime(kMaxDate + 0.5), kMaxDate);
  EXPECT_EQ(ClampDateTime(1e300), kMaxDate);
  EXPECT_EQ(ClampDateTime(std::numeric_limits<double>::infinity()), kMaxDate);
  EXPECT_EQ(ClampDateTime(-1e300), kEmptyDate);
  EXPECT_EQ(ClampDateTime(kEmptyDate - 1), kEmptyDate);
  EXPECT_EQ(ClampDateTime(std::nan("")), kEmptyDate);
  // Decoding never overflows, whatever it is given.
  ExpectCivil(1e300, 9999, 12, 31, 0, 0, 0);
  ExpectCivil(-std::numeric_limits<double>::infinity(), 100, 1, 1, 0, 0, 0);
  ExpectCivil(std::nan(""), 100, 1, 1, 0, 0, 0);
}

TEST(DateTimeValue, CalendarRules) {
  EXPECT_TRUE(IsLeapYear(2000));
  EXPECT_TRUE(IsLeapYear(2012));
  EXPECT_FALSE(IsLeapYear(1900));
  EXPECT_FALSE(IsLeapYear(2011));
  EXPECT_EQ(DaysInMonth(2011, 2), 28);
  EXPECT_EQ(DaysInMonth(2012, 2), 29);
  EXPECT_EQ(DaysInMonth(2011, 4), 30);
  EXPECT_EQ(DaysInMonth(2011, 12), 31);
  EXPECT_EQ(DaysInMonth(2011, 13), 0);
  EXPECT_TRUE(IsValidDate(100, 1, 1));
  EXPECT_TRUE(IsValidDate(9999, 12, 31));
  EXPECT_FALSE(IsValidDate(99, 12, 31));
  EXPECT_FALSE(IsValidDate(10000, 1, 1));
  EXPECT_FALSE(IsValidDate(2011, 2, 29));
  EXPECT_FALSE(IsValidDate(2011, 4, 31));
  EXPECT_FALSE(IsValidDate(2011, 0, 1));
  EXPECT_FALSE(IsValidDate(2011, 1, 0));
}

TEST(DateText, WritesDateAndOnlyTheTimePartsThatAreNeeded) {
  const DateTime day = 40666;  // 2011-05-03
  EXPECT_EQ(DateText(day), Gbk("2011年5月3日"));
  EXPECT_EQ(DateText(day + 13 / 24.0), Gbk("2011年5月3日13时"));
  EXPECT_EQ(DateText(day + (13 * 3600 + 5 * 60) / 86400.0), Gbk("2011年5月3日13时5分"));
  EXPECT_EQ(DateText(day + (13 * 3600 + 5 * 60 + 9) / 86400.0), Gbk("2011年5月3日13时5分9秒"));
  EXPECT_EQ(DateText(day + 9 / 86400.0), Gbk("2011年5月3日0时0分9秒"));
  EXPECT_EQ(DateText(day + 60 / 86400.0), Gbk("2011年5月3日0时1分"));
  EXPECT_EQ(DateText(0), Gbk("1899年12月30日"));
  EXPECT_EQ(DateText(-1.25), Gbk("1899年12月29日6时"));
  EXPECT_EQ(DateText(kEmptyDate), Gbk("100年1月1日"));
  EXPECT_EQ(DateText(EncodeDate(2011, 12, 25)), Gbk("2011年12月25日"));
  // Hand-written GBK: 2011年5月3日
  EXPECT_EQ(DateText(day), "2011\xC4\xEA" "5\xD4\xC2" "3\xC8\xD5");

  EXPECT_EQ(DateOnlyText(day + 0.75), Gbk("2011年5月3日"));
  EXPECT_EQ(DateOnlyText(-1.25), Gbk("1899年12月29日"));
}

TEST(TextToDate, ReadsWhatDateTextWrites) {
  for (DateTime value : {40666.0, 40666 + 13 / 24.0, 40666 + (13 * 3600 + 5 * 60) / 86400.0,
                         40666 + (23 * 3600 + 59 * 60 + 59) / 86400.0, 40666 + 9 / 86400.0, -1.25, kEmptyDate,
                         static_cast<double>(kMaxDate), 0.0}) {
    SCOPED_TRACE(value);
    const DateTime read = TextToDate(DateText(value));
    EXPECT_NEAR(read, value, 1e-9);
    EXPECT_EQ(DateText(read), DateText(value));
  }
  // The day key: date-only text read back drops the time.
  EXPECT_EQ(TextToDate(DateOnlyText(40666.7)), 40666);
}

TEST(TextToDate, AcceptsTheOtherSeparators) {
  const DateTime day = EncodeDate(2011, 5, 3);
  const DateTime time = (13 * 3600 + 5 * 60 + 9) / 86400.0;
  EXPECT_EQ(TextToDate(Gbk("2011年05月03日")), day);
  EXPECT_EQ(TextToDate("2011-5-3"), day);
  EXPECT_EQ(TextToDate("2011/05/03"), day);
  EXPECT_EQ(TextToDate("2011.5.3"), day);
  EXPECT_DOUBLE_EQ(TextToDate("2011-5-3 13:05:09"), day + time);
  EXPECT_DOUBLE_EQ(TextToDate("2011/5/3 13:5"), day + (13 * 3600 + 5 * 60) / 86400.0);
  EXPECT_DOUBLE_EQ(TextToDate(Gbk("2011年5月3日 13:05:09")), day + time);
  EXPECT_DOUBLE_EQ(TextToDate(Gbk("2011年5月3日 13时5分9秒")), day + time);
  EXPECT_DOUBLE_EQ(TextToDate(Gbk("2011-5-3 13时")), day + 13 / 24.0);
  EXPECT_DOUBLE_EQ(TextToDate(Gbk("1899年12月29日6时")), -1.25);
}

TEST(TextToDate, RefusesAnythingButARealDate) {
  const char* const refused[] = {
      "",
      "2011年2月29日",       // no such day
      "2011年4月31日",
      "2011年13月1日",
      "2011年0月1日",
      "2011年5月0日",
      "2011年005月3日",      // three-digit month
      "2011年5月003日",
      "2011年5月3日x",       // trailing garbage
      "2011年5月3日 ",
      " 2011年5月3日",
      "2011年5月3",          // missing suffix
      "2011年5月",
      "2011年5月3日13",
      "2011年5月3日13时5",
      "2011年5月3日13时5分9",
      "2011年5月3日24时",    // times out of range
      "2011年5月3日13时60分",
      "2011年5月3日13时5分60秒",
      "2011年5月3日013时",
      "2011年5月3日13时5秒",  // minutes skipped
      "2011年5月3日13时5分9秒x",
      "2011-5/3",            // mixed separators
      "2011 5 3",            // separators that are not accepted
      "2011:5:3",
      "2011,5,3",
      "2011-5-3日",
      "2011-5-3 ",
      "2011-5-313:05",
      "2011-5-3 13:05:",
      "2011-5-3 13",
      "99年1月1日",          // before year 100
      "10000年1月1日",
      "-2011年5月3日",
      "+2011-5-3",
      "２０１１年5月3日",    // full-width digits
      "二〇一一年五月三日",
  };
  for (const char* text : refused) {
    EXPECT_EQ(TextToDate(Gbk(text)), kEmptyDate) << text;
  }
  // Raw bytes, not text: a lead byte cut short, an embedded NUL.
  EXPECT_EQ(TextToDate("2011\xC4"), kEmptyDate);
  EXPECT_EQ(TextToDate(std::string_view("2011-5-3\0", 9)), kEmptyDate);
}

}  // namespace
}  // namespace tarnwick
