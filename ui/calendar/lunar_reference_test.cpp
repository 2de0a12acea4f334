// Checks the tables against a second reference, independent of the one they
// were generated from (testdata/, written by tools/lunar_tables), day by day
// and term by term. Where the two disagree, the day holding the new moon or
// the term in China Standard Time decides; each such place is listed below
// with the moment that settles it, and must still be a disagreement.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ui/calendar/lunar_calendar.h"
#include "ui/calendar/lunar_calendar_internal.h"

namespace tarnwick {
namespace {

using lunar_internal::DateOfDayNumber;
using lunar_internal::DayNumber;

std::string DataPath(const char* name) { return std::string(TARNWICK_LUNAR_TESTDATA) + "/" + name; }

std::vector<std::string> DataLines(const char* name) {
  std::ifstream file(DataPath(name));
  EXPECT_TRUE(file.is_open()) << DataPath(name);
  std::vector<std::string> lines;
  for (std::string line; std::getline(file, line);) {
    if (!line.empty() && line[0] != '#') lines.push_back(line);
  }
  return lines;
}

int ParseDayNumber(const std::string& text) {  // YYYY-MM-DD
  return DayNumber(std::stoi(text.substr(0, 4)), std::stoi(text.substr(5, 2)), std::stoi(text.substr(8, 2)));
}

std::string Text(const GregorianDate& date) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date.year, date.month, date.day);
  return buffer;
}

std::string Text(const std::optional<LunarDate>& lunar) {
  if (!lunar) return "none";
  return std::to_string(lunar->year) + "/" + (lunar->leap ? "leap " : "") + std::to_string(lunar->month) + "/" +
         std::to_string(lunar->day);
}

// The second reference's lunar date of every day 1901-01-01 .. 2048-12-31,
// expanded from its runs of consecutive lunar days.
std::map<int, LunarDate> ReferenceDays() {
  std::map<int, LunarDate> days;
  const std::vector<std::string> lines = DataLines("reference_days.txt");
  const int last = DayNumber(2048, 12, 31);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::istringstream fields(lines[i]);
    std::string date;
    LunarDate lunar;
    int leap = 0;
    fields >> date >> lunar.year >> lunar.month >> leap >> lunar.day;
    lunar.leap = leap != 0;
    const int from = ParseDayNumber(date);
    const int to = i + 1 < lines.size() ? ParseDayNumber(lines[i + 1].substr(0, 10)) - 1 : last;
    for (int day = from; day <= to; ++day, ++lunar.day) days[day] = lunar;
  }
  return days;
}

struct Settled {
  const char* from;
  const char* to;
  const char* why;
};

// Days on which the table departs from the second reference.
const Settled kSettledDays[] = {
    // The second reference reckons days in Beijing local mean time before
    // 1929; new moon 1906-04-24 00:06:27 CST (23:52 local): month 4 from 04-24.
    {"1906-04-23", "1906-05-22", "new moon 1906-04-24 00:06:27"},
    // The second reference changes its time zone within month 11 of 1928
    // (new moon 1928-12-12 13:06): its January days lose one.
    {"1929-01-01", "1929-01-10", "new moon 1928-12-12 13:05:58: month 11 from 12-12"},
    // 冬至 2033-12-21 falls in the month from 11-22 (new moon 09:40), which is
    // therefore month 11, and the leap month follows it; the second reference
    // puts a leap month after month 7 instead.
    {"2033-08-25", "2033-12-21", "冬至 2033-12-21 in the month from 2033-11-22"},
};

TEST(SecondReference, EveryDayFrom1901To2048) {
  const std::map<int, LunarDate> reference = ReferenceDays();
  ASSERT_EQ(reference.size(), static_cast<std::size_t>(DayNumber(2048, 12, 31) - DayNumber(1901, 1, 1) + 1));
  std::map<int, const Settled*> settled;
  for (const Settled& s : kSettledDays) {
    for (int day = ParseDayNumber(s.from); day <= ParseDayNumber(s.to); ++day) settled[day] = &s;
  }
  int disagreements = 0;
  for (const auto& [day, expected] : reference) {
    const GregorianDate date = DateOfDayNumber(day);
    const std::optional<LunarDate> lunar = GregorianToLunar(date);
    const bool agrees = lunar == expected;
    if (settled.count(day)) {
      EXPECT_FALSE(agrees) << Text(date) << " is listed as settled but agrees: " << Text(lunar);
      ++disagreements;
    } else {
      EXPECT_TRUE(agrees) << Text(date) << ": table " << Text(lunar) << ", reference " << Text(expected);
    }
  }
  EXPECT_EQ(disagreements, static_cast<int>(settled.size()));
}

TEST(SecondReference, MonthStartsOfTheSettledAndHistoricalMonths) {
  EXPECT_EQ(GregorianToLunar(1906, 4, 23), (LunarDate{1906, 3, 30, false}));
  EXPECT_EQ(GregorianToLunar(1906, 4, 24), (LunarDate{1906, 4, 1, false}));
  // Where both references keep the historical local-time month starts
  // (new moons minutes after midnight CST), the table keeps them too.
  EXPECT_EQ(GregorianToLunar(1914, 11, 17), (LunarDate{1914, 10, 1, false}));
  EXPECT_EQ(GregorianToLunar(1916, 2, 3), (LunarDate{1916, 1, 1, false}));
  EXPECT_EQ(GregorianToLunar(1920, 11, 10), (LunarDate{1920, 10, 1, false}));
  EXPECT_EQ(GregorianToLunar(1929, 1, 1), (LunarDate{1928, 11, 21, false}));
  EXPECT_EQ(GregorianToLunar(2033, 12, 21), (LunarDate{2033, 11, 30, false}));
  EXPECT_EQ(GregorianToLunar(2033, 12, 22), (LunarDate{2033, 11, 1, true}));
  EXPECT_EQ(LunarLeapMonth(2033), 11);
}

TEST(SecondReference, EveryDayConvertsBackToItself) {
  const int first = DayNumber(1901, 2, 19);
  const int last = DayNumber(2048, 12, 31);
  for (int day = first; day <= last; ++day) {
    const GregorianDate date = DateOfDayNumber(day);
    const std::optional<LunarDate> lunar = GregorianToLunar(date);
    ASSERT_TRUE(lunar.has_value()) << Text(date);
    ASSERT_EQ(LunarToGregorian(*lunar), date) << Text(date) << " via " << Text(lunar);
  }
}

// Terms whose date the second reference gives one day earlier: it reckons
// days in Beijing local mean time (UTC+7:45:40) before 1929, and each of
// these moments lies between 00:00 and 00:14:20 China Standard Time. Its own
// moments, taken in CST, fall on the table's day.
const char* const kSettledTerms[] = {
    "1880-09-23",  // 秋分 00:06:43
    "1881-12-22",  // 冬至 00:00:30
    "1893-07-23",  // 大暑 00:05:34
    "1896-07-07",  // 小暑 00:06:31
    "1896-08-23",  // 处暑 00:05:00
    "1909-01-21",  // 大寒 00:10:55
    "1911-05-07",  // 立夏 00:00:18
    "1912-01-07",  // 小寒 00:07:29
    "1912-10-09",  // 寒露 00:06:42
    "1917-12-08",  // 大雪 00:00:59
    "1927-09-09",  // 白露 00:05:25
    "1928-06-22",  // 夏至 00:06:23
};

TEST(SecondReference, EverySolarTermDateFrom1880To2079) {
  std::map<std::string, bool> settled;
  for (const char* date : kSettledTerms) settled[date] = false;
  const std::vector<std::string> lines = DataLines("reference_terms.txt");
  ASSERT_EQ(lines.size(), 200u);
  for (const std::string& line : lines) {
    std::istringstream fields(line);
    int year = 0;
    fields >> year;
    for (int number = 1; number <= 24; ++number) {
      std::string month_day;
      fields >> month_day;
      ASSERT_EQ(month_day.size(), 4u) << year;
      const GregorianDate expected{year, std::stoi(month_day.substr(0, 2)), std::stoi(month_day.substr(2, 2))};
      const std::optional<SolarTermTime> moment = SolarTermMomentOf(year, number);
      ASSERT_TRUE(moment.has_value()) << year;
      EXPECT_EQ(SolarTermNumber(moment->date.year, moment->date.month, moment->date.day), number);
      const auto listed = settled.find(Text(moment->date));
      if (listed != settled.end()) {
        // One day later than the reference's local-time date.
        EXPECT_EQ(DayNumber(moment->date.year, moment->date.month, moment->date.day),
                  DayNumber(expected.year, expected.month, expected.day) + 1)
            << Text(moment->date);
        listed->second = true;
      } else {
        EXPECT_EQ(moment->date, expected) << year << " term " << number << ": reference " << Text(expected);
      }
    }
  }
  for (const auto& [date, seen] : settled) EXPECT_TRUE(seen) << date << " is not a term date";
}

}  // namespace
}  // namespace tarnwick
