#include "ui/calendar/lunar_calendar.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "ui/calendar/lunar_tables.h"

namespace tarnwick {
namespace {

std::optional<LunarDate> Lunar(int year, int month, int day, bool leap = false) {
  return LunarDate{year, month, day, leap};
}

std::optional<GregorianDate> Date(int year, int month, int day) { return GregorianDate{year, month, day}; }

TEST(LunarTables, SampleRowsAsStored) {
  EXPECT_EQ(kLunarMonthSizes[1901 - 1901], 0x4AE0);
  EXPECT_EQ(kLunarMonthSizes[1903 - 1901], 0x5268);
  EXPECT_EQ(kLunarMonthSizes[2011 - 1901], 0xB4A0);
  EXPECT_EQ(kLunarMonthSizes[2012 - 1901], 0xB550);
  EXPECT_EQ(kLunarMonthSizes[2049 - 1901], 0xADA0);
  EXPECT_EQ(kLunarLeapMonths[0], 0x00);
  EXPECT_EQ(kLunarLeapMonths[1], 0x50);
  EXPECT_EQ(kLunarLeapMonths[2], 0x04);
  EXPECT_EQ(kLunarLeapMonths[3], 0x00);
}

TEST(LunarTables, EveryTermFallsInItsMonthInOrder) {
  for (int year = kFirstSolarTermYear; year <= kLastSolarTermYear; ++year) {
    for (int number = 1; number <= 24; ++number) {
      const SolarTermMoment& term = kSolarTermMoments[year - kFirstSolarTermYear][number - 1];
      ASSERT_EQ(term.month, (number + 1) / 2) << year << " term " << number;
      ASSERT_TRUE(term.hour < 24 && term.minute < 60 && term.second < 60) << year << " term " << number;
      if (number % 2 == 0) {
        const SolarTermMoment& earlier = kSolarTermMoments[year - kFirstSolarTermYear][number - 2];
        ASSERT_LT(earlier.day, term.day) << year << " term " << number;
      }
    }
  }
}

TEST(LunarMonths, LengthsOfTheSampleYears) {
  const int lengths_1901[12] = {29, 30, 29, 29, 30, 29, 30, 29, 30, 30, 30, 29};
  for (int month = 1; month <= 12; ++month) EXPECT_EQ(DaysInLunarMonth(1901, month), lengths_1901[month - 1]);
  EXPECT_EQ(DaysInLunarYear(1901), 354);

  EXPECT_EQ(LunarLeapMonth(1903), 5);
  EXPECT_EQ(DaysInLunarMonth(1903, 5, true), 29);
  EXPECT_EQ(DaysInLunarYear(1903), 383);
  EXPECT_EQ(LunarLeapMonth(1906), 4);

  EXPECT_EQ(DaysInLunarYear(2011), 354);
  EXPECT_EQ(LunarLeapMonth(2011), 0);

  // 30 29 30 30, leap 4th 29, 30 29 30 29 30 29 30 29.
  const int lengths_2012[12] = {30, 29, 30, 30, 30, 29, 30, 29, 30, 29, 30, 29};
  for (int month = 1; month <= 12; ++month) EXPECT_EQ(DaysInLunarMonth(2012, month), lengths_2012[month - 1]);
  EXPECT_EQ(DaysInLunarMonth(2012, 4, true), 29);
  EXPECT_EQ(DaysInLunarYear(2012), 384);

  EXPECT_EQ(DaysInLunarYear(2049), 355);
}

TEST(LunarMonths, NothingOutsideTheTable) {
  EXPECT_EQ(DaysInLunarYear(1900), 0);
  EXPECT_EQ(DaysInLunarYear(2050), 0);
  EXPECT_EQ(DaysInLunarMonth(2050, 1), 0);
  EXPECT_EQ(DaysInLunarMonth(2011, 0), 0);
  EXPECT_EQ(DaysInLunarMonth(2011, 13), 0);
  EXPECT_EQ(DaysInLunarMonth(2012, 5, true), 0);  // 2012's leap month follows the 4th
  EXPECT_EQ(LunarLeapMonth(1900), 0);
}

TEST(GregorianToLunarTest, FirstDaysAndTheLunarYear1900) {
  EXPECT_EQ(GregorianToLunar(1901, 2, 19), Lunar(1901, 1, 1));
  EXPECT_EQ(GregorianToLunar(1901, 2, 18), Lunar(1900, 12, 30));
  EXPECT_EQ(GregorianToLunar(1901, 1, 20), Lunar(1900, 12, 1));
  EXPECT_EQ(GregorianToLunar(1901, 1, 19), Lunar(1900, 11, 29));
  EXPECT_EQ(GregorianToLunar(1901, 1, 1), Lunar(1900, 11, 11));
  EXPECT_EQ(GregorianToLunar(1900, 12, 31), std::nullopt);
}

TEST(GregorianToLunarTest, LeapMonthsAndTheEndOfTheTable) {
  EXPECT_EQ(GregorianToLunar(2012, 5, 20), Lunar(2012, 4, 30));
  EXPECT_EQ(GregorianToLunar(2012, 5, 21), Lunar(2012, 4, 1, true));
  EXPECT_EQ(GregorianToLunar(2012, 6, 18), Lunar(2012, 4, 29, true));
  EXPECT_EQ(GregorianToLunar(2012, 6, 19), Lunar(2012, 5, 1));
  EXPECT_EQ(GregorianToLunar(2011, 5, 17), Lunar(2011, 4, 15));
  EXPECT_EQ(GregorianToLunar(2048, 12, 31), Lunar(2048, 11, 27));
  EXPECT_EQ(GregorianToLunar(2050, 1, 22), Lunar(2049, 12, 29));
  EXPECT_EQ(GregorianToLunar(2050, 1, 23), std::nullopt);
}

TEST(GregorianToLunarTest, RefusesDatesThatDoNotExist) {
  EXPECT_EQ(GregorianToLunar(2011, 2, 29), std::nullopt);
  EXPECT_EQ(GregorianToLunar(2011, 4, 31), std::nullopt);
  EXPECT_EQ(GregorianToLunar(2011, 13, 1), std::nullopt);
  EXPECT_EQ(GregorianToLunar(2011, 1, 0), std::nullopt);
  EXPECT_EQ(GregorianToLunar(2012, 2, 29), Lunar(2012, 2, 8));
}

TEST(LunarToGregorianTest, FindsPlainAndLeapMonths) {
  EXPECT_EQ(LunarToGregorian({2012, 4, 1, true}), Date(2012, 5, 21));
  EXPECT_EQ(LunarToGregorian({2012, 4, 1, false}), Date(2012, 4, 21));
  EXPECT_EQ(LunarToGregorian({2012, 4, 29, true}), Date(2012, 6, 18));
  EXPECT_EQ(LunarToGregorian({2012, 4, 30, false}), Date(2012, 5, 20));
  EXPECT_EQ(LunarToGregorian({1901, 1, 1, false}), Date(1901, 2, 19));
  EXPECT_EQ(LunarToGregorian({2011, 4, 15, false}), Date(2011, 5, 17));
  EXPECT_EQ(LunarToGregorian({2049, 12, 29, false}), Date(2050, 1, 22));
}

TEST(LunarToGregorianTest, DropsALeapFlagOfAnOrdinaryMonth) {
  EXPECT_EQ(LunarToGregorian({2011, 4, 15, true}), Date(2011, 5, 17));
  EXPECT_EQ(LunarToGregorian({2012, 5, 1, true}), Date(2012, 6, 19));
}

TEST(LunarToGregorianTest, StartsFromARealDateForDay30OfTheSecondMonth) {
  // Lunar 1901's second month has 30 days; 1901-02-30 does not exist.
  EXPECT_EQ(LunarToGregorian({1901, 2, 30, false}), Date(1901, 4, 18));
  EXPECT_EQ(GregorianToLunar(1901, 4, 18), Lunar(1901, 2, 30));
}

TEST(LunarToGregorianTest, RefusesLunarDatesThatDoNotExist) {
  EXPECT_EQ(LunarToGregorian({2012, 4, 30, true}), std::nullopt);  // the leap 4th has 29 days
  EXPECT_EQ(LunarToGregorian({2011, 2, 30, false}), std::nullopt);
  EXPECT_EQ(LunarToGregorian({1900, 12, 1, false}), std::nullopt);
  EXPECT_EQ(LunarToGregorian({2050, 1, 1, false}), std::nullopt);
  EXPECT_EQ(LunarToGregorian({2011, 0, 1, false}), std::nullopt);
  EXPECT_EQ(LunarToGregorian({2011, 13, 1, false}), std::nullopt);
  EXPECT_EQ(LunarToGregorian({2011, 1, 0, false}), std::nullopt);
  EXPECT_EQ(LunarToGregorian({2011, 1, 31, false}), std::nullopt);
}

TEST(SelectableDates, TheRuleOfSetDate) {
  EXPECT_FALSE(IsSelectableDate(2011, 2, 29));
  EXPECT_TRUE(IsSelectableDate(2012, 2, 29));
  EXPECT_FALSE(IsSelectableDate(1900, 2, 29));
  EXPECT_TRUE(IsSelectableDate(2000, 2, 29));
  EXPECT_FALSE(IsSelectableDate(1901, 2, 18));
  EXPECT_TRUE(IsSelectableDate(1901, 2, 19));
  EXPECT_FALSE(IsSelectableDate(1901, 1, 31));
  EXPECT_TRUE(IsSelectableDate(1901, 3, 1));
  EXPECT_TRUE(IsSelectableDate(2048, 12, 31));
  EXPECT_FALSE(IsSelectableDate(2049, 1, 1));
  EXPECT_FALSE(IsSelectableDate(2011, 0, 1));
  EXPECT_FALSE(IsSelectableDate(2011, 13, 1));
  EXPECT_FALSE(IsSelectableDate(2011, 5, 0));
  EXPECT_FALSE(IsSelectableDate(2011, 4, 31));
  EXPECT_FALSE(IsSelectableDate(-5, 4, 1));
}

TEST(Weekdays, MondayIsOne) {
  EXPECT_EQ(Weekday(2011, 5, 16), 1);
  EXPECT_EQ(Weekday(2011, 5, 17), 2);
  EXPECT_EQ(Weekday(2011, 5, 22), 7);
  EXPECT_EQ(Weekday(2000, 1, 1), 6);
  EXPECT_EQ(Weekday(1901, 1, 1), 2);
  EXPECT_EQ(Weekday(2012, 2, 29), 3);
  EXPECT_EQ(Weekday(2012, 3, 1), 4);
  EXPECT_EQ(Weekday(2048, 12, 31), 4);
  EXPECT_EQ(Weekday(2011, 2, 29), 0);
}

TEST(SolarTerms, MomentsOf2011) {
  // The reference's moments; the older values of these four were 3 to 5
  // seconds earlier (00:54:34, 18:18:28, 12:32:52, 13:29:57).
  struct Expected {
    int number, month, day, hour, minute, second;
  };
  const Expected expected[] = {
      {1, 1, 6, 0, 54, 37}, {2, 1, 20, 18, 18, 32}, {3, 2, 4, 12, 32, 56}, {24, 12, 22, 13, 30, 2}};
  for (const Expected& e : expected) {
    const std::optional<SolarTermTime> moment = SolarTermMomentOf(2011, e.number);
    ASSERT_TRUE(moment.has_value());
    EXPECT_EQ(moment->date, (GregorianDate{2011, e.month, e.day}));
    EXPECT_EQ(moment->hour, e.hour);
    EXPECT_EQ(moment->minute, e.minute);
    EXPECT_EQ(moment->second, e.second);
  }
  EXPECT_EQ(SolarTermMomentOf(1879, 1), std::nullopt);
  EXPECT_EQ(SolarTermMomentOf(2080, 1), std::nullopt);
  EXPECT_EQ(SolarTermMomentOf(2011, 0), std::nullopt);
  EXPECT_EQ(SolarTermMomentOf(2011, 25), std::nullopt);
}

TEST(SolarTerms, NumberOfADate) {
  EXPECT_EQ(SolarTermNumber(2011, 1, 6), 1);
  EXPECT_EQ(SolarTermNumber(2011, 1, 5), 0);
  EXPECT_EQ(SolarTermNumber(2011, 2, 4), 3);
  EXPECT_EQ(SolarTermNumber(2011, 5, 6), 9);
  EXPECT_EQ(SolarTermNumber(2011, 12, 22), 24);
  EXPECT_EQ(SolarTermNumber(1880, 1, 6), 1);
  EXPECT_EQ(SolarTermNumber(2079, 12, 22), 24);
  EXPECT_EQ(SolarTermNumber(1879, 12, 22), 0);
  EXPECT_EQ(SolarTermNumber(2080, 1, 6), 0);
  EXPECT_EQ(SolarTermNumber(2011, 13, 6), 0);
}

TEST(SolarTerms, MomentsWithinSecondsOfMidnightKeepTheirDay) {
  EXPECT_EQ(SolarTermNumber(1951, 12, 23), 24);  // 00:00:01
  EXPECT_EQ(SolarTermNumber(1951, 12, 22), 0);
  EXPECT_EQ(SolarTermNumber(1979, 1, 20), 2);  // 23:59:56
  EXPECT_EQ(SolarTermNumber(1979, 1, 21), 0);
  EXPECT_EQ(SolarTermNumber(1911, 5, 7), 9);  // 00:00:18
  EXPECT_EQ(SolarTermNumber(2021, 12, 21), 24);  // 23:59:19
}

TEST(SolarTerms, Names) {
  EXPECT_EQ(SolarTermName(1), Gbk("小寒"));
  EXPECT_EQ(SolarTermName(3), Gbk("立春"));
  EXPECT_EQ(SolarTermName(24), Gbk("冬至"));
  EXPECT_EQ(SolarTermName(0), "");
  EXPECT_EQ(SolarTermName(25), "");
}

TEST(YearNames, ChangeAtTheBeginningOfSpring) {
  EXPECT_EQ(YearName(2011, 2, 3), Gbk("庚寅"));
  EXPECT_EQ(ZodiacAnimal(2011, 2, 3), Gbk("虎"));
  EXPECT_EQ(YearName(2011, 2, 4), Gbk("辛卯"));
  EXPECT_EQ(ZodiacAnimal(2011, 2, 4), Gbk("兔"));
  // Lunar new year 2011 (02-03) does not change it; 小寒 and 大寒 do not either.
  EXPECT_EQ(YearName(2011, 1, 20), Gbk("庚寅"));
  EXPECT_EQ(YearName(2011, 12, 31), Gbk("辛卯"));
  EXPECT_EQ(YearName(1901, 1, 1), Gbk("庚子"));
  EXPECT_EQ(ZodiacAnimal(1901, 1, 1), Gbk("鼠"));
  EXPECT_EQ(YearName(1901, 2, 19), Gbk("辛丑"));
}

TEST(YearNames, TheCycleWrapsAtJiazi) {
  // 立春 1984 fell on 02-04: 1984 is 甲子, the first year of the cycle.
  EXPECT_EQ(CycleYearIndex(1984, 2, 3), 60);
  EXPECT_EQ(YearName(1984, 2, 3), Gbk("癸亥"));
  EXPECT_EQ(ZodiacAnimal(1984, 2, 3), Gbk("猪"));
  EXPECT_EQ(CycleYearIndex(1984, 2, 4), 1);
  EXPECT_EQ(YearName(1984, 2, 4), Gbk("甲子"));
  EXPECT_EQ(CycleYearIndex(1983, 6, 1), 60);
  EXPECT_EQ(CycleYearIndex(1880, 6, 1), 17);  // 庚辰
  EXPECT_EQ(YearName(2048, 12, 31), Gbk("戊辰"));
}

TEST(LunarNames, DaysAndMonths) {
  const char* const expected_days[30] = {"初一", "初二", "初三", "初四", "初五", "初六", "初七", "初八", "初九", "初十",
                                         "十一", "十二", "十三", "十四", "十五", "十六", "十七", "十八", "十九", "二十",
                                         "廿一", "廿二", "廿三", "廿四", "廿五", "廿六", "廿七", "廿八", "廿九", "三十"};
  for (int day = 1; day <= 30; ++day) EXPECT_EQ(LunarDayName(day), Gbk(expected_days[day - 1])) << day;
  EXPECT_EQ(LunarDayName(0), "");
  EXPECT_EQ(LunarDayName(31), "");

  EXPECT_EQ(LunarMonthName(1), Gbk("正月"));
  EXPECT_EQ(LunarMonthName(10), Gbk("十月"));
  EXPECT_EQ(LunarMonthName(11), Gbk("冬月"));
  EXPECT_EQ(LunarMonthName(12), Gbk("腊月"));
  EXPECT_EQ(LunarMonthName(4, true), Gbk("闰四月"));
  EXPECT_EQ(LunarMonthName(0), "");
  EXPECT_EQ(LunarMonthName(13, true), "");
}

TEST(LunarNames, WeekdaysAndGregorianMonths) {
  EXPECT_EQ(WeekdayName(1), Gbk("星期一"));
  EXPECT_EQ(WeekdayName(6), Gbk("星期六"));
  EXPECT_EQ(WeekdayName(7), Gbk("星期日"));
  EXPECT_EQ(WeekdayName(0), "");
  EXPECT_EQ(GregorianMonthName(1), Gbk("一月"));
  EXPECT_EQ(GregorianMonthName(10), Gbk("十月"));
  EXPECT_EQ(GregorianMonthName(11), Gbk("十一月"));
  EXPECT_EQ(GregorianMonthName(12), Gbk("十二月"));
  EXPECT_EQ(GregorianMonthName(13), "");
}

TEST(DateTexts, HoverTextAndListFormat) {
  EXPECT_EQ(HoverText({2011, 5, 17}), Gbk("辛卯年(兔)四月十五 2011-5-17"));
  EXPECT_EQ(HoverText({2012, 5, 21}), Gbk("壬辰年(龙)闰四月初一 2012-5-21"));
  EXPECT_EQ(FormatLunarText(Gbk("%Y(%S)-%y"), {2011, 5, 1}), Gbk("辛卯(兔)-2011"));
}

TEST(DateTexts, EveryOccurrenceReplacedAndOtherTextKept) {
  EXPECT_EQ(FormatLunarText("%d/%d %m%m %y", {2011, 5, 7}), "7/7 55 2011");
  EXPECT_EQ(FormatLunarText(Gbk("农历%M%D, %x %% %"), {2011, 5, 3}), Gbk("农历四月初一, %x %% %"));
  EXPECT_EQ(FormatLunarText("", {2011, 5, 3}), "");
  // No lunar date before 1901: the lunar codes are left empty.
  EXPECT_EQ(FormatLunarText("[%M%D] %y", {1900, 12, 31}), "[] 1900");
}

}  // namespace
}  // namespace tarnwick
