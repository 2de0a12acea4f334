// Date-time values and their texts.
//
// A date-time value counts days since 1899-12-30 00:00 as a double; the
// fraction is the time of day. The proleptic Gregorian calendar is used for
// every year from 100 to 9999.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

using DateTime = double;

inline constexpr DateTime kEmptyDate = -657434;  // 0100-01-01, "no date"
inline constexpr DateTime kMaxDate = 2958465;    // 9999-12-31

// Into kEmptyDate..kMaxDate: above reads as kMaxDate, below or NaN as kEmptyDate.
DateTime ClampDateTime(double value);

struct CivilDateTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
bool IsValidDate(int year, int month, int day);  // years 100..9999

// Day number of a calendar date (no validation beyond arithmetic).
DateTime EncodeDate(int year, int month, int day);
DateTime EncodeDateTime(const CivilDateTime& civil);
// Splits a value into its calendar date and time of day, the time rounded
// to the nearest second (a time that rounds to 24:00 is the next midnight).
// The integer part is the day and the fraction's magnitude the time of day,
// also before 1899-12-30: -1.25 is 1899-12-29 06:00. NaN and days outside
// 0100-01-01..9999-12-31 read as the nearest end of that range.
CivilDateTime DecodeDateTime(DateTime value);

// 0 = Sunday .. 6 = Saturday.
int DayOfWeek(DateTime value);

// "2011年5月3日", followed by "13时5分9秒" / "13时5分" / "13时" when the time
// of day is not midnight (seconds shown only when not 0, minutes only when
// either they or the seconds are not 0). GBK.
std::string DateText(DateTime value);
// Always the date only: "%d年%d月%d日". GBK.
std::string DateOnlyText(DateTime value);
// The strict reverse of DateText (a few other separators accepted too):
// month, day and time fields take at most two digits, the result must be a
// real calendar date with nothing left over; otherwise kEmptyDate. GBK input.
// Accepted forms (Y = 1..4 digits, the others 1..2 digits, no signs, no
// blanks around the text):
//   date:  "Y年M月D日", or "Y-M-D", "Y/M/D", "Y.M.D" (the same separator twice)
//   then optionally a time, after one blank (the blank is optional after "日"):
//          "h时", "h时m分", "h时m分s秒", "h:m", "h:m:s"
// Years 100..9999, hours 0..23, minutes and seconds 0..59.
DateTime TextToDate(std::string_view gbk);

}  // namespace tarnwick
