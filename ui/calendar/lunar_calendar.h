// The Chinese lunar calendar over the fixed tables: days in lunar months and
// years, Gregorian to lunar and back, solar terms, weekdays, the stem-branch
// year name and zodiac animal, and the names and date texts shown by the
// lunar month calendar.
//
// Promises:
// - Every text is GBK, as everywhere in the program.
// - Nothing here reads the clock; the name texts are converted to GBK once.
//   A Gregorian to lunar conversion costs a table look-up, not a walk over
//   the years.
// - Dates outside the tables give the empty result of each function (an
//   empty optional, 0, or an empty text); nothing throws or crashes.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tarnwick {

struct GregorianDate {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  friend bool operator==(const GregorianDate&, const GregorianDate&) = default;
};

struct LunarDate {
  int year = 0;   // the Gregorian year in which the lunar year begins
  int month = 0;  // 1..12
  int day = 0;    // 1..30
  bool leap = false;  // the leap month that follows month `month`
  friend bool operator==(const LunarDate&, const LunarDate&) = default;
};

// The selectable range: 1901-02-19 (lunar 1901-01-01) to 2048-12-31.
inline constexpr GregorianDate kFirstSelectableDate{1901, 2, 19};
inline constexpr GregorianDate kLastSelectableDate{2048, 12, 31};

// The rule of SetDate: false for a month outside 1..12, a year above 2048, a
// date before 1901-02-19, day 0 or a day beyond the month's length.
bool IsSelectableDate(int year, int month, int day);

// --- Lunar years and months (lunar years 1901..2049; 0 outside) ---

// The year's leap month, 0 when it has none.
int LunarLeapMonth(int lunar_year);
// 29 or 30; with leap set, the leap month following `month` (0 when the
// year has no such leap month).
int DaysInLunarMonth(int lunar_year, int month, bool leap = false);
// 353..385.
int DaysInLunarYear(int lunar_year);

// --- Conversions ---

// For Gregorian dates from 1901-01-01 (lunar 1900, month 11 day 11) to
// 2050-01-22, the last day of lunar 2049; empty outside or for an
// impossible date.
std::optional<LunarDate> GregorianToLunar(int year, int month, int day);
inline std::optional<LunarDate> GregorianToLunar(const GregorianDate& date) {
  return GregorianToLunar(date.year, date.month, date.day);
}

// Steps from the Gregorian date with the same numbers one day at a time
// toward the target, jumping 31 days across a leap month, and gives up after
// 100 steps. Lunar years 1901..2049, months 1..12; a leap flag on a month
// that is not the year's leap month is dropped. Empty when the lunar date
// does not exist (day 30 of a 29-day month, a year outside the table).
std::optional<GregorianDate> LunarToGregorian(LunarDate lunar);

// --- Days ---

// 1 = Monday .. 7 = Sunday; any valid Gregorian date.
int Weekday(int year, int month, int day);

// The solar term falling on the date, 1 (小寒) .. 24 (冬至); 0 for none and
// for years outside 1880..2079.
int SolarTermNumber(int year, int month, int day);
// "小寒" .. "冬至"; empty for 0 or a number outside 1..24.
std::string SolarTermName(int number);
// The moment of a term of a Gregorian year 1880..2079 (local date, time of
// day to the second); empty outside.
struct SolarTermTime {
  GregorianDate date;
  int hour = 0;
  int minute = 0;
  int second = 0;
};
std::optional<SolarTermTime> SolarTermMomentOf(int year, int number);

// Place of the date's year in the sixty-year cycle, 1 (甲子) .. 60 (癸亥).
// The year changes at 立春: a date on or after 小寒 but before 立春, and a
// date before 小寒, still belong to the previous cycle year (as does every
// date of a year outside 1880..2079, which has no terms).
int CycleYearIndex(int year, int month, int day);
// Stem and branch, e.g. "辛卯" (%Y).
std::string YearName(int year, int month, int day);
// The branch's animal, e.g. "兔" (%S).
std::string ZodiacAnimal(int year, int month, int day);

// --- Names ---

// "正月" .. "十月", "冬月", "腊月"; "闰" in front for a leap month. Empty
// outside 1..12.
std::string LunarMonthName(int month, bool leap = false);
// "初一" .. "初十", "十一" .. "十九", "二十", "廿一" .. "廿九", "三十".
// Empty outside 1..30.
std::string LunarDayName(int day);
// "星期一" .. "星期日" for 1..7; empty otherwise.
std::string WeekdayName(int weekday);
// "一月" .. "十二月" for 1..12; empty otherwise.
std::string GregorianMonthName(int month);

// --- Date texts ---

// Replaces, in this order and everywhere they occur, %Y (year name),
// %S (zodiac), %M (lunar month name), %D (lunar day name), %y, %m, %d
// (Gregorian year, month, day in plain decimal). %M and %D become empty
// when the date has no lunar equivalent. GBK format and result.
std::string FormatLunarText(std::string_view format, const GregorianDate& date);

// The description of a hovered day: "%Y年(%S)%M%D %y-%m-%d",
// e.g. 辛卯年(兔)四月十五 2011-5-17.
std::string HoverText(const GregorianDate& date);

// A day as a screen reader says it: "2026年12月10日 星期四 农历十月廿一",
// followed by a blank and the solar term on a day that has one.
std::string SpokenDayName(const GregorianDate& date);

}  // namespace tarnwick
