#include "ui/calendar/lunar_month_grid.h"

#include <algorithm>

#include "base/text.h"
#include "ui/calendar/lunar_calendar_internal.h"

namespace tarnwick {

using namespace lunar_internal;

int MonthGrid::CellIndexOf(const GregorianDate& date) const {
  if (!IsRealDate(date.year, date.month, date.day)) return -1;
  const int offset = DayNumber(date.year, date.month, date.day) -
                     DayNumber(cells[0].date.year, cells[0].date.month, cells[0].date.day);
  return offset >= 0 && offset < kGridCellCount ? offset : -1;
}

std::optional<MonthGrid> BuildMonthGrid(const GregorianDate& selected, int display_mode) {
  if (!IsRealDate(selected.year, selected.month, selected.day)) return std::nullopt;
  const int selected_day = DayNumber(selected.year, selected.month, selected.day);
  const std::optional<LunarDate> selected_lunar = LunarOfDayNumber(selected_day);
  if (!selected_lunar) return std::nullopt;

  MonthGrid grid;
  grid.display_mode = display_mode;
  grid.selected = selected;
  grid.selected_lunar = *selected_lunar;
  const bool gregorian_view = display_mode == kGregorianMonthView;
  const int first_day = gregorian_view ? DayNumber(selected.year, selected.month, 1)
                                       : selected_day - (selected_lunar->day - 1);
  grid.first_day = DateOfDayNumber(first_day);
  const int grid_start = first_day - (WeekdayOfDayNumber(first_day) - 1);

  static const std::string kTermSeparator = "  ";
  for (int i = 0; i < kGridCellCount; ++i) {
    CalendarCell& cell = grid.cells[i];
    const int day_number = grid_start + i;
    const std::optional<LunarDate> lunar = LunarOfDayNumber(day_number);
    if (!lunar) return std::nullopt;
    cell.date = DateOfDayNumber(day_number);
    cell.lunar = *lunar;
    cell.solar_term = SolarTermNumber(cell.date.year, cell.date.month, cell.date.day);
    cell.weekday = i % kGridColumns + 1;
    cell.in_shown_month = gregorian_view ? cell.date.month == selected.month
                                         : lunar->month == selected_lunar->month && lunar->leap == selected_lunar->leap;
    cell.lunar_text = lunar->day == 1 ? LunarMonthName(lunar->month, lunar->leap) : LunarDayName(lunar->day);
    cell.day_text = cell.date.day == 1 ? std::to_string(cell.date.month) + "." + std::to_string(cell.date.day)
                                       : std::to_string(cell.date.day);
    if (cell.in_shown_month && cell.solar_term != 0) {
      if (!grid.footer_text.empty()) grid.footer_text += kTermSeparator;
      grid.footer_text += LunarDayName(lunar->day);
      grid.footer_text += SolarTermName(cell.solar_term);
    }
  }
  return grid;
}

std::vector<std::string> YearListTexts(int display_mode) {
  std::vector<std::string> texts;
  texts.reserve(kLastListedYear - kFirstListedYear + 1);
  const std::string gregorian_prefix = Gbk("公历 ");
  const std::string gregorian_suffix = Gbk(" 年");
  const std::string lunar_format = Gbk("%Y(%S)-%y");
  for (int year = kFirstListedYear; year <= kLastListedYear; ++year) {
    texts.push_back(display_mode == kGregorianMonthView
                        ? gregorian_prefix + std::to_string(year) + gregorian_suffix
                        : FormatLunarText(lunar_format, GregorianDate{year, 5, 1}));
  }
  return texts;
}

std::vector<MonthListEntry> MonthListEntries(int display_mode, int year) {
  std::vector<MonthListEntry> entries;
  const bool gregorian_view = display_mode == kGregorianMonthView;
  const int leap_month = gregorian_view ? 0 : LunarLeapMonth(year);
  for (int month = 1; month <= 12; ++month) {
    entries.push_back({month, false, gregorian_view ? GregorianMonthName(month) : LunarMonthName(month)});
    if (month == leap_month) entries.push_back({month, true, LunarMonthName(month, true)});
  }
  return entries;
}

std::optional<GregorianDate> DateForListChoice(int display_mode, int year, int month, bool leap, int day) {
  if (day < 1) return std::nullopt;
  std::optional<GregorianDate> date;
  if (display_mode == kGregorianMonthView) {
    const int length = GregorianDaysInMonth(year, month);
    if (length == 0) return std::nullopt;
    date = GregorianDate{year, month, std::min(day, length)};
  } else {
    const int length = DaysInLunarMonth(year, month, leap);
    if (length == 0) return std::nullopt;
    date = LunarToGregorian(LunarDate{year, month, std::min(day, length), leap});
  }
  if (!date || !IsSelectableDate(date->year, date->month, date->day)) return std::nullopt;
  return date;
}

LunarMonthCalendarModel::LunarMonthCalendarModel(GregorianDate initial, int display_mode) {
  grid_.display_mode = display_mode;
  if (!SetDate(initial)) SetDate(kFirstSelectableDate);
}

bool LunarMonthCalendarModel::SetDate(int year, int month, int day) {
  if (!IsSelectableDate(year, month, day)) return false;
  std::optional<MonthGrid> grid = BuildMonthGrid(GregorianDate{year, month, day}, grid_.display_mode);
  if (!grid) return false;
  grid_ = std::move(*grid);
  return true;
}

bool LunarMonthCalendarModel::SetLunarDate(LunarDate lunar) {
  const std::optional<GregorianDate> date = LunarToGregorian(lunar);
  return date && SetDate(*date);
}

bool LunarMonthCalendarModel::SetLunarYear(int year) {
  LunarDate lunar = lunar_date();
  lunar.year = year;
  return SetLunarDate(lunar);
}

bool LunarMonthCalendarModel::SetLunarMonth(int month) {
  LunarDate lunar = lunar_date();
  lunar.month = month;
  return SetLunarDate(lunar);
}

bool LunarMonthCalendarModel::SetLunarDay(int day) {
  LunarDate lunar = lunar_date();
  lunar.day = day;
  return SetLunarDate(lunar);
}

bool LunarMonthCalendarModel::SetLeapMonth(bool leap) {
  LunarDate lunar = lunar_date();
  lunar.leap = leap;
  return SetLunarDate(lunar);
}

void LunarMonthCalendarModel::SetDisplayMode(int display_mode) {
  if (std::optional<MonthGrid> grid = BuildMonthGrid(grid_.selected, display_mode)) {
    grid_ = std::move(*grid);
  }
}

}  // namespace tarnwick
