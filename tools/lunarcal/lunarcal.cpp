#include "tools/lunarcal/lunarcal.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>
#include <string_view>

#include "base/text.h"
#include "ui/calendar/lunar_month_grid.h"

namespace tarnwick {
namespace {

constexpr int kCellWidth = 12;  // terminal columns per grid cell

const char kUsage[] =
    "usage: lunarcal YEAR MONTH\n"
    "       lunarcal --days FROM TO      (dates as YYYY-MM-DD)\n"
    "       lunarcal --terms YEAR\n";

std::optional<int> ParseNumber(std::string_view text) {
  int value = 0;
  if (text.empty() || text.size() > 9) return std::nullopt;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// YYYY-MM-DD of a real date.
std::optional<GregorianDate> ParseDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  for (std::size_t i : {0u, 1u, 2u, 3u, 5u, 6u, 8u, 9u}) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
  }
  const GregorianDate date{*ParseNumber(text.substr(0, 4)), *ParseNumber(text.substr(5, 2)),
                           *ParseNumber(text.substr(8, 2))};
  if (Weekday(date.year, date.month, date.day) == 0) return std::nullopt;
  return date;
}

std::string DateText(const GregorianDate& date) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", date.year, date.month, date.day);
  return buffer;
}

// Columns a UTF-8 text takes in a terminal: CJK characters take two.
int DisplayWidth(std::string_view utf8) {
  int width = 0;
  for (unsigned char byte : utf8) {
    if ((byte & 0xC0) == 0x80) continue;  // continuation byte
    width += byte >= 0xE0 ? 2 : 1;
  }
  return width;
}

void PrintPadded(std::ostream& out, const std::string& utf8, bool last) {
  out << utf8;
  if (!last) out << std::string(std::max(1, kCellWidth - DisplayWidth(utf8)), ' ');
}

int PrintMonth(int year, int month, std::ostream& out, std::ostream& error) {
  // The calendar shows months 1901-02 .. 2048-12; pick a selectable day of it.
  GregorianDate selected{year, month, 1};
  if (year == kFirstSelectableDate.year && month == kFirstSelectableDate.month) selected = kFirstSelectableDate;
  std::optional<MonthGrid> grid;
  if (IsSelectableDate(selected.year, selected.month, selected.day)) {
    grid = BuildMonthGrid(selected, kGregorianMonthView);
  }
  if (!grid) {
    error << "lunarcal: no lunar calendar for " << year << "-" << month << " (months 1901-2 .. 2048-12)\n";
    return 1;
  }
  for (int weekday = 1; weekday <= 7; ++weekday) PrintPadded(out, GbkToUtf8(WeekdayName(weekday)), weekday == 7);
  out << '\n';
  for (int row = 0; row < kGridRows; ++row) {
    for (int column = 0; column < kGridColumns; ++column) {
      const CalendarCell& cell = grid->cells[row * kGridColumns + column];
      PrintPadded(out, cell.day_text + " " + GbkToUtf8(cell.lunar_text), column == kGridColumns - 1);
    }
    out << '\n';
  }
  out << GbkToUtf8(grid->footer_text) << '\n';
  return 0;
}

int PrintDays(const GregorianDate& from, const GregorianDate& to, std::ostream& out, std::ostream& error) {
  if (!GregorianToLunar(from) || !GregorianToLunar(to)) {
    error << "lunarcal: the lunar tables cover 1901-01-01 .. 2050-01-22\n";
    return 1;
  }
  const auto key = [](const GregorianDate& d) { return (d.year * 100 + d.month) * 100 + d.day; };
  if (key(from) > key(to)) {
    error << "lunarcal: FROM is after TO\n";
    return 2;
  }
  GregorianDate date = from;
  while (true) {
    const LunarDate lunar = *GregorianToLunar(date);
    const int term = SolarTermNumber(date.year, date.month, date.day);
    out << DateText(date) << ',' << lunar.year << ',' << lunar.month << ',' << lunar.day << ','
        << (lunar.leap ? 1 : 0) << ',' << GbkToUtf8(LunarMonthName(lunar.month, lunar.leap)) << ','
        << GbkToUtf8(LunarDayName(lunar.day)) << ',' << GbkToUtf8(SolarTermName(term)) << ','
        << GbkToUtf8(YearName(date.year, date.month, date.day)) << ','
        << GbkToUtf8(ZodiacAnimal(date.year, date.month, date.day)) << ','
        << Weekday(date.year, date.month, date.day) << '\n';
    if (date == to) break;
    // The next day; every date up to TO has a lunar equivalent.
    if (Weekday(date.year, date.month, date.day + 1) != 0) {
      ++date.day;
    } else if (date.month < 12) {
      date = {date.year, date.month + 1, 1};
    } else {
      date = {date.year + 1, 1, 1};
    }
  }
  return 0;
}

int PrintTerms(int year, std::ostream& out, std::ostream& error) {
  if (!SolarTermMomentOf(year, 1)) {
    error << "lunarcal: the solar-term table covers 1880 .. 2079\n";
    return 1;
  }
  for (int number = 1; number <= 24; ++number) {
    const SolarTermTime moment = *SolarTermMomentOf(year, number);
    char time[16];
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", moment.hour, moment.minute, moment.second);
    out << GbkToUtf8(SolarTermName(number)) << ',' << DateText(moment.date) << ' ' << time << '\n';
  }
  return 0;
}

}  // namespace

int RunLunarcal(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& error) {
  if (arguments.size() == 3 && arguments[0] == "--days") {
    const std::optional<GregorianDate> from = ParseDate(arguments[1]);
    const std::optional<GregorianDate> to = ParseDate(arguments[2]);
    if (from && to) return PrintDays(*from, *to, out, error);
  } else if (arguments.size() == 2 && arguments[0] == "--terms") {
    if (const std::optional<int> year = ParseNumber(arguments[1])) return PrintTerms(*year, out, error);
  } else if (arguments.size() == 2) {
    const std::optional<int> year = ParseNumber(arguments[0]);
    const std::optional<int> month = ParseNumber(arguments[1]);
    if (year && month && *month >= 1 && *month <= 12) return PrintMonth(*year, *month, out, error);
  }
  error << kUsage;
  return 2;
}

}  // namespace tarnwick
