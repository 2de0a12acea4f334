#include "ui/calendar/lunar_month_grid.h"

#include <gtest/gtest.h>

#include <sstream>

#include "base/text.h"

namespace tarnwick {
namespace {

// The cells' texts in UTF-8, "day_text lunar_text" separated by blanks.
std::string CellTexts(const MonthGrid& grid, int from, int count) {
  std::ostringstream out;
  for (int i = from; i < from + count; ++i) {
    if (i > from) out << ' ';
    out << grid.cells[i].day_text << ' ' << GbkToUtf8(grid.cells[i].lunar_text);
  }
  return out.str();
}

std::vector<int> CellsOfShownMonth(const MonthGrid& grid) {
  std::vector<int> indexes;
  for (int i = 0; i < kGridCellCount; ++i) {
    if (grid.cells[i].in_shown_month) indexes.push_back(i);
  }
  return indexes;
}

std::vector<int> Range(int from, int to) {
  std::vector<int> values;
  for (int i = from; i <= to; ++i) values.push_back(i);
  return values;
}

TEST(MonthGridGregorianView, May2011CellByCell) {
  const std::optional<MonthGrid> grid = BuildMonthGrid({2011, 5, 17}, kGregorianMonthView);
  ASSERT_TRUE(grid.has_value());
  EXPECT_EQ(grid->first_day, (GregorianDate{2011, 5, 1}));
  EXPECT_EQ(grid->selected_lunar, (LunarDate{2011, 4, 15, false}));
  EXPECT_EQ(CellTexts(*grid, 0, 7), "25 廿三 26 廿四 27 廿五 28 廿六 29 廿七 30 廿八 5.1 廿九");
  EXPECT_EQ(CellTexts(*grid, 7, 7), "2 三十 3 四月 4 初二 5 初三 6 初四 7 初五 8 初六");
  EXPECT_EQ(CellTexts(*grid, 14, 7), "9 初七 10 初八 11 初九 12 初十 13 十一 14 十二 15 十三");
  EXPECT_EQ(CellTexts(*grid, 21, 7), "16 十四 17 十五 18 十六 19 十七 20 十八 21 十九 22 二十");
  EXPECT_EQ(CellTexts(*grid, 28, 7), "23 廿一 24 廿二 25 廿三 26 廿四 27 廿五 28 廿六 29 廿七");
  EXPECT_EQ(CellTexts(*grid, 35, 7), "30 廿八 31 廿九 6.1 三十 2 五月 3 初二 4 初三 5 初四");
  EXPECT_EQ(CellsOfShownMonth(*grid), Range(6, 36));
  EXPECT_EQ(GbkToUtf8(grid->footer_text), "初四立夏  十九小满");

  const CalendarCell& summer_begins = grid->cells[11];
  EXPECT_EQ(summer_begins.date, (GregorianDate{2011, 5, 6}));
  EXPECT_EQ(summer_begins.solar_term, 9);
  EXPECT_EQ(summer_begins.weekday, 5);
  EXPECT_EQ(summer_begins.lunar, (LunarDate{2011, 4, 4, false}));
  for (int i = 0; i < kGridCellCount; ++i) EXPECT_EQ(grid->cells[i].weekday, i % 7 + 1);
}

TEST(MonthGridGregorianView, AMonthStartingOnMondayAndAYearBoundary) {
  // 2046-01-01 is a Monday, so the grid starts on it.
  const std::optional<MonthGrid> grid = BuildMonthGrid({2046, 1, 15}, kGregorianMonthView);
  ASSERT_TRUE(grid.has_value());
  EXPECT_EQ(grid->cells[0].date, (GregorianDate{2046, 1, 1}));
  EXPECT_EQ(grid->cells[0].day_text, "1.1");
  EXPECT_EQ(CellsOfShownMonth(*grid), Range(0, 30));
  EXPECT_EQ(grid->cells[31].day_text, "2.1");
  EXPECT_EQ(grid->cells[41].date, (GregorianDate{2046, 2, 11}));
}

TEST(MonthGridLunarView, TheLunarMonthFromItsFirstDay) {
  const std::optional<MonthGrid> grid = BuildMonthGrid({2011, 5, 17}, kLunarMonthView);
  ASSERT_TRUE(grid.has_value());
  // Lunar 2011 month 4 runs from Tuesday 05-03 to 06-01.
  EXPECT_EQ(grid->first_day, (GregorianDate{2011, 5, 3}));
  EXPECT_EQ(grid->cells[0].date, (GregorianDate{2011, 5, 2}));
  EXPECT_EQ(CellTexts(*grid, 0, 3), "2 三十 3 四月 4 初二");
  EXPECT_EQ(CellsOfShownMonth(*grid), Range(1, 30));
  EXPECT_EQ(CellTexts(*grid, 30, 3), "6.1 三十 2 五月 3 初二");
  EXPECT_EQ(GbkToUtf8(grid->footer_text), "初四立夏  十九小满");
}

TEST(MonthGridLunarView, ALeapMonthExcludesItsNamesake) {
  // 闰四月 of 2012: 29 days from Monday 05-21; its only term is 芒种 (06-05).
  const std::optional<MonthGrid> grid = BuildMonthGrid({2012, 6, 1}, kLunarMonthView);
  ASSERT_TRUE(grid.has_value());
  EXPECT_EQ(grid->first_day, (GregorianDate{2012, 5, 21}));
  EXPECT_EQ(grid->cells[0].date, (GregorianDate{2012, 5, 21}));
  EXPECT_EQ(CellTexts(*grid, 0, 2), "21 闰四月 22 初二");
  EXPECT_EQ(CellsOfShownMonth(*grid), Range(0, 28));
  EXPECT_EQ(CellTexts(*grid, 29, 1), "19 五月");
  EXPECT_EQ(GbkToUtf8(grid->footer_text), "十六芒种");

  // The ordinary 4th month before it is another month.
  const std::optional<MonthGrid> ordinary = BuildMonthGrid({2012, 5, 20}, kLunarMonthView);
  ASSERT_TRUE(ordinary.has_value());
  EXPECT_EQ(ordinary->first_day, (GregorianDate{2012, 4, 21}));
  EXPECT_FALSE(ordinary->cells[ordinary->CellIndexOf({2012, 5, 21})].in_shown_month);
  EXPECT_TRUE(ordinary->cells[ordinary->CellIndexOf({2012, 5, 20})].in_shown_month);
}

TEST(MonthGrid, TheEndsOfTheRange) {
  for (int mode : {kGregorianMonthView, kLunarMonthView}) {
    const std::optional<MonthGrid> first = BuildMonthGrid(kFirstSelectableDate, mode);
    ASSERT_TRUE(first.has_value()) << mode;
    EXPECT_TRUE(first->cells[first->CellIndexOf(kFirstSelectableDate)].in_shown_month);
    const std::optional<MonthGrid> last = BuildMonthGrid(kLastSelectableDate, mode);
    ASSERT_TRUE(last.has_value()) << mode;
    EXPECT_TRUE(last->cells[last->CellIndexOf(kLastSelectableDate)].in_shown_month);
  }
  // February 1901 starts in lunar 1900, which the conversion covers by rule.
  const std::optional<MonthGrid> february = BuildMonthGrid({1901, 2, 19}, kGregorianMonthView);
  EXPECT_EQ(february->cells[0].date, (GregorianDate{1901, 1, 28}));
  EXPECT_EQ(february->cells[0].lunar, (LunarDate{1900, 12, 9, false}));
  EXPECT_EQ(BuildMonthGrid({1900, 12, 31}, kGregorianMonthView), std::nullopt);
  EXPECT_EQ(BuildMonthGrid({2011, 2, 29}, kGregorianMonthView), std::nullopt);
}

TEST(MonthGrid, CellIndexOf) {
  const std::optional<MonthGrid> grid = BuildMonthGrid({2011, 5, 17}, kGregorianMonthView);
  ASSERT_TRUE(grid.has_value());
  EXPECT_EQ(grid->CellIndexOf({2011, 4, 25}), 0);
  EXPECT_EQ(grid->CellIndexOf({2011, 5, 17}), 22);
  EXPECT_EQ(grid->CellIndexOf({2011, 6, 5}), 41);
  EXPECT_EQ(grid->CellIndexOf({2011, 6, 6}), -1);
  EXPECT_EQ(grid->CellIndexOf({2011, 4, 24}), -1);
  EXPECT_EQ(grid->CellIndexOf({2011, 4, 31}), -1);
}

TEST(NavigationLists, YearTexts) {
  const std::vector<std::string> gregorian = YearListTexts(kGregorianMonthView);
  ASSERT_EQ(gregorian.size(), 146u);
  EXPECT_EQ(gregorian.front(), Gbk("公历 1902 年"));
  EXPECT_EQ(gregorian.back(), Gbk("公历 2047 年"));
  const std::vector<std::string> lunar = YearListTexts(kLunarMonthView);
  ASSERT_EQ(lunar.size(), 146u);
  EXPECT_EQ(lunar.front(), Gbk("壬寅(虎)-1902"));
  EXPECT_EQ(lunar[2011 - 1902], Gbk("辛卯(兔)-2011"));
}

TEST(NavigationLists, MonthEntries) {
  const std::vector<MonthListEntry> gregorian = MonthListEntries(kGregorianMonthView, 2012);
  ASSERT_EQ(gregorian.size(), 12u);
  EXPECT_EQ(gregorian[10].text, Gbk("十一月"));
  EXPECT_FALSE(gregorian[3].leap);

  const std::vector<MonthListEntry> lunar = MonthListEntries(kLunarMonthView, 2012);
  ASSERT_EQ(lunar.size(), 13u);
  EXPECT_EQ(lunar[3].text, Gbk("四月"));
  EXPECT_EQ(lunar[4].month, 4);
  EXPECT_TRUE(lunar[4].leap);
  EXPECT_EQ(lunar[4].text, Gbk("闰四月"));
  EXPECT_EQ(lunar[5].text, Gbk("五月"));
  EXPECT_EQ(lunar[12].text, Gbk("腊月"));
  EXPECT_EQ(MonthListEntries(kLunarMonthView, 2011).size(), 12u);
}

TEST(NavigationLists, ChoosingAMonthKeepsTheDayWithinIt) {
  EXPECT_EQ(DateForListChoice(kGregorianMonthView, 2011, 2, false, 31), (GregorianDate{2011, 2, 28}));
  EXPECT_EQ(DateForListChoice(kGregorianMonthView, 2012, 2, false, 31), (GregorianDate{2012, 2, 29}));
  EXPECT_EQ(DateForListChoice(kGregorianMonthView, 2011, 7, false, 17), (GregorianDate{2011, 7, 17}));
  // The leap 4th of 2012 has 29 days: day 30 becomes its 29th, 2012-06-18.
  EXPECT_EQ(DateForListChoice(kLunarMonthView, 2012, 4, true, 30), (GregorianDate{2012, 6, 18}));
  EXPECT_EQ(DateForListChoice(kLunarMonthView, 2012, 4, false, 30), (GregorianDate{2012, 5, 20}));
  EXPECT_EQ(DateForListChoice(kLunarMonthView, 2011, 4, true, 1), std::nullopt);
  EXPECT_EQ(DateForListChoice(kGregorianMonthView, 2049, 1, false, 1), std::nullopt);
  EXPECT_EQ(DateForListChoice(kGregorianMonthView, 2011, 13, false, 1), std::nullopt);
}

TEST(CalendarModel, SetDateRefusesAndKeepsTheSelection) {
  LunarMonthCalendarModel model({2011, 5, 17});
  EXPECT_FALSE(model.SetDate(2011, 2, 29));
  EXPECT_FALSE(model.SetDate(1901, 2, 18));
  EXPECT_FALSE(model.SetDate(2049, 1, 1));
  EXPECT_EQ(model.selected_date(), (GregorianDate{2011, 5, 17}));
  EXPECT_EQ(model.grid().first_day, (GregorianDate{2011, 5, 1}));

  EXPECT_TRUE(model.SetDate(2012, 2, 29));
  EXPECT_EQ(model.lunar_date(), (LunarDate{2012, 2, 8, false}));
  EXPECT_EQ(model.grid().first_day, (GregorianDate{2012, 2, 1}));
  EXPECT_TRUE(model.SetDate(2012, 2, 29));  // the same date again is a selection too
}

TEST(CalendarModel, StartsOnTheFirstDayWhenGivenAnUnselectableDate) {
  LunarMonthCalendarModel model({1800, 1, 1});
  EXPECT_EQ(model.selected_date(), kFirstSelectableDate);
}

TEST(CalendarModel, LunarPropertiesSelectThroughTheConversion) {
  LunarMonthCalendarModel model({2011, 5, 17});  // 四月十五
  EXPECT_TRUE(model.SetLunarMonth(8));
  EXPECT_EQ(model.selected_date(), (GregorianDate{2011, 9, 12}));
  EXPECT_TRUE(model.SetLunarYear(2012));
  EXPECT_TRUE(model.SetLunarMonth(4));
  EXPECT_EQ(model.selected_date(), (GregorianDate{2012, 5, 5}));
  EXPECT_TRUE(model.SetLeapMonth(true));
  EXPECT_EQ(model.selected_date(), (GregorianDate{2012, 6, 4}));
  EXPECT_TRUE(model.lunar_date().leap);

  EXPECT_FALSE(model.SetLunarDay(30));  // the leap 4th has 29 days
  EXPECT_FALSE(model.SetLunarYear(2049));  // would land after 2048-12-31
  EXPECT_FALSE(model.SetLunarYear(1900));
  EXPECT_EQ(model.selected_date(), (GregorianDate{2012, 6, 4}));
}

TEST(CalendarModel, DisplayModeRebuildsTheGridOnly) {
  LunarMonthCalendarModel model({2012, 6, 1});
  model.SetDisplayMode(kLunarMonthView);
  EXPECT_EQ(model.selected_date(), (GregorianDate{2012, 6, 1}));
  EXPECT_EQ(model.grid().first_day, (GregorianDate{2012, 5, 21}));
  model.SetDisplayMode(kGregorianMonthView);
  EXPECT_EQ(model.grid().first_day, (GregorianDate{2012, 6, 1}));
}

}  // namespace
}  // namespace tarnwick
