#include "ui/calendar/lunar_calendar.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "base/text.h"
#include "ui/calendar/lunar_calendar_internal.h"
#include "ui/calendar/lunar_tables.h"

namespace tarnwick {
namespace lunar_internal {

namespace {

bool IsGregorianLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

// Days of the lunar year 1900 that the tables do not hold: the conversion
// places 1901-01-01 .. 1901-02-18 in its months 11 (from 1900-12-22) and 12.
constexpr int kDaysBeforeLunar1901 = 49;
constexpr int kLastDayOfLunar1900Month11 = 18;

// Day offsets from 1901-01-01 of the first day of each lunar year 1901..2049,
// plus the day after the last; built once so that a conversion needs no walk
// over the years.
const std::array<int, kLunarYearCount + 1>& LunarNewYearOffsets() {
  static const std::array<int, kLunarYearCount + 1> offsets = [] {
    std::array<int, kLunarYearCount + 1> result{};
    result[0] = kDaysBeforeLunar1901;
    for (int i = 0; i < kLunarYearCount; ++i) result[i + 1] = result[i] + DaysInLunarYear(kFirstLunarYear + i);
    return result;
  }();
  return offsets;
}

}  // namespace

int DayNumber(int year, int month, int day) {
  // Days from 1970-01-01 of a proleptic Gregorian date (civil-from-days inverse).
  year -= month <= 2;
  const int era = (year >= 0 ? year : year - 399) / 400;
  const int year_of_era = year - era * 400;
  const int day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

GregorianDate DateOfDayNumber(int day_number) {
  const int z = day_number + 719468;
  const int era = (z >= 0 ? z : z - 146096) / 146097;
  const int day_of_era = z - era * 146097;
  const int year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int mp = (5 * day_of_year + 2) / 153;
  const int day = day_of_year - (153 * mp + 2) / 5 + 1;
  const int month = mp < 10 ? mp + 3 : mp - 9;
  return {year_of_era + era * 400 + (month <= 2), month, day};
}

int GregorianDaysInMonth(int year, int month) {
  static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsGregorianLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsRealDate(int year, int month, int day) {
  return month >= 1 && month <= 12 && day >= 1 && day <= GregorianDaysInMonth(year, month);
}

std::optional<LunarDate> LunarOfDayNumber(int day_number) {
  static const int kDay1901 = DayNumber(1901, 1, 1);
  int n = day_number - kDay1901;
  if (n < 0) return std::nullopt;
  if (n < kDaysBeforeLunar1901) {
    if (n <= kLastDayOfLunar1900Month11) return LunarDate{1900, 11, n + 11, false};
    return LunarDate{1900, 12, n - kLastDayOfLunar1900Month11, false};
  }
  const auto& offsets = LunarNewYearOffsets();
  if (n >= offsets.back()) return std::nullopt;
  // The last lunar new year on or before the day.
  const int index = static_cast<int>(std::upper_bound(offsets.begin(), offsets.end(), n) - offsets.begin()) - 1;
  const int year = kFirstLunarYear + index;
  n -= offsets[index];
  const int leap_month = LunarLeapMonth(year);
  for (int month = 1; month <= 12; ++month) {
    const int length = DaysInLunarMonth(year, month);
    if (n < length) return LunarDate{year, month, n + 1, false};
    n -= length;
    if (month == leap_month) {
      const int leap_length = DaysInLunarMonth(year, month, true);
      if (n < leap_length) return LunarDate{year, month, n + 1, true};
      n -= leap_length;
    }
  }
  return std::nullopt;  // unreachable: the year's length bounds n
}

int WeekdayOfDayNumber(int day_number) {
  // 1970-01-01 was a Thursday (4).
  const int from_monday = ((day_number + 3) % 7 + 7) % 7;
  return from_monday + 1;
}

}  // namespace lunar_internal

using namespace lunar_internal;

namespace {

// The program's own names, converted to GBK once.
template <std::size_t N>
std::array<std::string, N> GbkNames(const char* const (&utf8)[N]) {
  std::array<std::string, N> names;
  for (std::size_t i = 0; i < N; ++i) names[i] = Gbk(utf8[i]);
  return names;
}

const std::array<std::string, 24>& TermNames() {
  static const char* const kNames[24] = {"小寒", "大寒", "立春", "雨水", "惊蛰", "春分", "清明", "谷雨",
                                         "立夏", "小满", "芒种", "夏至", "小暑", "大暑", "立秋", "处暑",
                                         "白露", "秋分", "寒露", "霜降", "立冬", "小雪", "大雪", "冬至"};
  static const auto names = GbkNames(kNames);
  return names;
}

const std::array<std::string, 12>& MonthNames() {
  static const char* const kNames[12] = {"正月", "二月", "三月", "四月", "五月", "六月",
                                         "七月", "八月", "九月", "十月", "冬月", "腊月"};
  static const auto names = GbkNames(kNames);
  return names;
}

const std::array<std::string, 12>& LeapMonthNames() {
  static const auto names = [] {
    std::array<std::string, 12> result;
    const std::string leap = Gbk("闰");
    for (int i = 0; i < 12; ++i) result[i] = leap + MonthNames()[i];
    return result;
  }();
  return names;
}

const std::array<std::string, 30>& DayNames() {
  static const auto names = [] {
    static const char* const kPrefixes[4] = {"初", "十", "廿", "三"};
    static const char* const kUnits[10] = {"一", "二", "三", "四", "五", "六", "七", "八", "九", "十"};
    std::array<std::string, 30> result;
    for (int day = 1; day <= 30; ++day) {
      result[day - 1] = Gbk(kPrefixes[(day - 1) / 10]) + Gbk(kUnits[(day - 1) % 10]);
    }
    // The prefix rule would make day 20 read 十十 and day 30 廿十.
    result[19] = Gbk("二十");
    result[29] = Gbk("三十");
    return result;
  }();
  return names;
}

const std::array<std::string, 10>& Stems() {
  static const char* const kNames[10] = {"甲", "乙", "丙", "丁", "戊", "己", "庚", "辛", "壬", "癸"};
  static const auto names = GbkNames(kNames);
  return names;
}

const std::array<std::string, 12>& Branches() {
  static const char* const kNames[12] = {"子", "丑", "寅", "卯", "辰", "巳", "午", "未", "申", "酉", "戌", "亥"};
  static const auto names = GbkNames(kNames);
  return names;
}

const std::array<std::string, 12>& Animals() {
  static const char* const kNames[12] = {"鼠", "牛", "虎", "兔", "龙", "蛇", "马", "羊", "猴", "鸡", "狗", "猪"};
  static const auto names = GbkNames(kNames);
  return names;
}

const std::array<std::string, 7>& WeekdayNames() {
  static const char* const kNames[7] = {"星期一", "星期二", "星期三", "星期四", "星期五", "星期六", "星期日"};
  static const auto names = GbkNames(kNames);
  return names;
}

const std::array<std::string, 12>& GregorianMonthNames() {
  static const char* const kNames[12] = {"一月", "二月", "三月", "四月", "五月", "六月",
                                         "七月", "八月", "九月", "十月", "十一月", "十二月"};
  static const auto names = GbkNames(kNames);
  return names;
}

bool HasLunarYear(int lunar_year) { return lunar_year >= kFirstLunarYear && lunar_year <= kLastLunarYear; }

bool HasSolarTerms(int year) { return year >= kFirstSolarTermYear && year <= kLastSolarTermYear; }

const SolarTermMoment& TermOf(int year, int number) {
  return kSolarTermMoments[year - kFirstSolarTermYear][number - 1];
}

void ReplaceAll(std::string& text, std::string_view code, std::string_view replacement) {
  std::size_t position = 0;
  while ((position = text.find(code, position)) != std::string::npos) {
    text.replace(position, code.size(), replacement);
    position += replacement.size();
  }
}

}  // namespace

bool IsSelectableDate(int year, int month, int day) {
  if (month < 1 || month > 12 || year > kLastSelectableDate.year || day < 1) return false;
  if (day > GregorianDaysInMonth(year, month)) return false;
  const auto& first = kFirstSelectableDate;
  if (year != first.year) return year > first.year;
  return month > first.month || (month == first.month && day >= first.day);
}

int LunarLeapMonth(int lunar_year) {
  if (!HasLunarYear(lunar_year)) return 0;
  const int offset = lunar_year - kFirstLunarYear;
  const std::uint8_t packed = kLunarLeapMonths[offset / 2];
  return offset % 2 == 0 ? packed >> 4 : packed & 0x0F;
}

int DaysInLunarMonth(int lunar_year, int month, bool leap) {
  if (!HasLunarYear(lunar_year) || month < 1 || month > 12) return 0;
  const int leap_month = LunarLeapMonth(lunar_year);
  if (leap && month != leap_month) return 0;
  const int bit = leap_month != 0 && month > leap_month ? 15 - month : 16 - month;
  const std::uint16_t word = kLunarMonthSizes[lunar_year - kFirstLunarYear];
  return (word >> (leap ? bit - 1 : bit)) & 1 ? 30 : 29;
}

int DaysInLunarYear(int lunar_year) {
  if (!HasLunarYear(lunar_year)) return 0;
  const int leap_month = LunarLeapMonth(lunar_year);
  int days = 0;
  for (int month = 1; month <= 12; ++month) {
    days += DaysInLunarMonth(lunar_year, month);
    if (month == leap_month) days += DaysInLunarMonth(lunar_year, month, true);
  }
  return days;
}

std::optional<LunarDate> GregorianToLunar(int year, int month, int day) {
  if (!IsRealDate(year, month, day)) return std::nullopt;
  return LunarOfDayNumber(DayNumber(year, month, day));
}

std::optional<GregorianDate> LunarToGregorian(LunarDate target) {
  if (!HasLunarYear(target.year) || target.month < 1 || target.month > 12 || target.day < 1 || target.day > 30) {
    return std::nullopt;
  }
  if (target.leap && LunarLeapMonth(target.year) != target.month) target.leap = false;

  // Start at the Gregorian date with the same numbers, kept a real date (a
  // lunar day 30 of the 2nd month starts on the last day of February).
  int day_number = DayNumber(target.year, target.month,
                             std::min(target.day, GregorianDaysInMonth(target.year, target.month)));
  constexpr int kMaxSteps = 100;
  for (int step = 0; step <= kMaxSteps; ++step) {
    const std::optional<LunarDate> found = LunarOfDayNumber(day_number);
    if (!found) return std::nullopt;
    if (*found == target) return DateOfDayNumber(day_number);
    if (step == kMaxSteps) break;
    const auto key = [](const LunarDate& d) { return std::array<int, 3>{d.year, d.month, d.day}; };
    if (key(*found) < key(target)) {
      ++day_number;
    } else if (key(target) < key(*found)) {
      --day_number;
    } else {
      // Same numbers, other side of the leap: a month and a day away.
      day_number += found->leap ? -31 : 31;
    }
  }
  return std::nullopt;
}

int Weekday(int year, int month, int day) {
  if (!IsRealDate(year, month, day)) return 0;
  return WeekdayOfDayNumber(DayNumber(year, month, day));
}

int SolarTermNumber(int year, int month, int day) {
  if (!HasSolarTerms(year) || month < 1 || month > 12) return 0;
  // Every month holds exactly two terms, numbers 2m-1 and 2m.
  for (int number = 2 * month - 1; number <= 2 * month; ++number) {
    const SolarTermMoment& term = TermOf(year, number);
    if (term.month == month && term.day == day) return number;
  }
  return 0;
}

std::string SolarTermName(int number) {
  if (number < 1 || number > 24) return {};
  return TermNames()[number - 1];
}

std::optional<SolarTermTime> SolarTermMomentOf(int year, int number) {
  if (!HasSolarTerms(year) || number < 1 || number > 24) return std::nullopt;
  const SolarTermMoment& term = TermOf(year, number);
  return SolarTermTime{{year, term.month, term.day}, term.hour, term.minute, term.second};
}

int CycleYearIndex(int year, int month, int day) {
  // 1901 is the 38th year of the cycle.
  int index = ((year - 1901) % 60 + 60) % 60 + 38;
  if (index > 60) index -= 60;
  // Before 立春 (on or after 小寒 or 大寒, or before any term of the year)
  // the date still belongs to the previous cycle year.
  bool before_spring = true;
  if (HasSolarTerms(year)) {
    const SolarTermMoment& spring = TermOf(year, 3);
    before_spring = month < spring.month || (month == spring.month && day < spring.day);
  }
  if (before_spring && --index == 0) index = 60;
  return index;
}

std::string YearName(int year, int month, int day) {
  const int index = CycleYearIndex(year, month, day) - 1;
  return Stems()[index % 10] + Branches()[index % 12];
}

std::string ZodiacAnimal(int year, int month, int day) {
  return Animals()[(CycleYearIndex(year, month, day) - 1) % 12];
}

std::string LunarMonthName(int month, bool leap) {
  if (month < 1 || month > 12) return {};
  return leap ? LeapMonthNames()[month - 1] : MonthNames()[month - 1];
}

std::string LunarDayName(int day) {
  if (day < 1 || day > 30) return {};
  return DayNames()[day - 1];
}

std::string WeekdayName(int weekday) {
  if (weekday < 1 || weekday > 7) return {};
  return WeekdayNames()[weekday - 1];
}

std::string GregorianMonthName(int month) {
  if (month < 1 || month > 12) return {};
  return GregorianMonthNames()[month - 1];
}

std::string FormatLunarText(std::string_view format, const GregorianDate& date) {
  std::string text(format);
  if (text.find('%') == std::string::npos) return text;
  const std::optional<LunarDate> lunar = GregorianToLunar(date);
  const bool real = IsRealDate(date.year, date.month, date.day);
  ReplaceAll(text, "%Y", real ? YearName(date.year, date.month, date.day) : std::string());
  ReplaceAll(text, "%S", real ? ZodiacAnimal(date.year, date.month, date.day) : std::string());
  ReplaceAll(text, "%M", lunar ? LunarMonthName(lunar->month, lunar->leap) : std::string());
  ReplaceAll(text, "%D", lunar ? LunarDayName(lunar->day) : std::string());
  ReplaceAll(text, "%y", std::to_string(date.year));
  ReplaceAll(text, "%m", std::to_string(date.month));
  ReplaceAll(text, "%d", std::to_string(date.day));
  return text;
}

std::string HoverText(const GregorianDate& date) {
  static const std::string kFormat = Gbk("%Y年(%S)%M%D %y-%m-%d");
  return FormatLunarText(kFormat, date);
}

std::string SpokenDayName(const GregorianDate& date) {
  std::string name = FormatLunarText(Gbk("%y年%m月%d日 "), date) +
                     WeekdayName(Weekday(date.year, date.month, date.day)) + FormatLunarText(Gbk(" 农历%M%D"), date);
  const int term = SolarTermNumber(date.year, date.month, date.day);
  if (term != 0) name += " " + SolarTermName(term);
  return name;
}

}  // namespace tarnwick
