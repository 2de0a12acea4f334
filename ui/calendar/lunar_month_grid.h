// What the lunar month calendar shows, as plain data: the 42 day cells of
// the shown month with their texts, the footer text of its solar terms, the
// texts of the year and month lists, and the selection state behind them.
// The widget draws this and handles the pointer; nothing here draws.
//
// Two display modes: kGregorianMonthView shows one Gregorian month; any
// other value shows one lunar month from its day 1. Texts are GBK.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "ui/calendar/lunar_calendar.h"

namespace tarnwick {

inline constexpr int kGregorianMonthView = 1;
inline constexpr int kLunarMonthView = 0;  // any value other than 1 does
inline constexpr int kGridColumns = 7;     // Monday .. Sunday
inline constexpr int kGridRows = 6;
inline constexpr int kGridCellCount = kGridColumns * kGridRows;  // 42

struct CalendarCell {
  GregorianDate date;
  LunarDate lunar;
  int solar_term = 0;  // 0 = none, 1 (小寒) .. 24 (冬至)
  int weekday = 0;     // 1 = Monday .. 7 = Sunday
  // Gregorian view: the cell's Gregorian month is the shown month. Lunar
  // view: its lunar month and leap flag are those of the selected date.
  bool in_shown_month = false;
  std::string lunar_text;  // the lunar month name on lunar day 1, else the day name
  std::string day_text;    // "17", or "5.1" (month.day) on the 1st of a Gregorian month
};

struct MonthGrid {
  int display_mode = kGregorianMonthView;
  GregorianDate selected;
  LunarDate selected_lunar;
  // The first day of the shown month: the 1st of the Gregorian month, or
  // the Gregorian date of day 1 of the lunar month.
  GregorianDate first_day;
  // cells[0] is the Monday on or before first_day; row r, column c is r * 7 + c.
  std::array<CalendarCell, kGridCellCount> cells;
  // Footer-left: for each cell of the shown month that has a solar term, its
  // lunar day name followed by the term name, separated by two spaces,
  // e.g. "初三立夏  十九小满".
  std::string footer_text;

  // Index of the cell showing the date, -1 when the grid does not show it.
  int CellIndexOf(const GregorianDate& date) const;
};

// The grid of the month holding `selected`; empty when the date has no
// lunar equivalent (outside 1901-01-01 .. the end of lunar 2049) or when a
// cell would fall outside that range.
std::optional<MonthGrid> BuildMonthGrid(const GregorianDate& selected, int display_mode);

// --- The year and month lists of the navigation bar ---

inline constexpr int kFirstListedYear = 1902;
inline constexpr int kLastListedYear = 2047;

// One text per year 1902..2047: "公历 %d 年" in the Gregorian view; in the
// lunar view "%Y(%S)-%y" formatted for the 1st of May of the year.
std::vector<std::string> YearListTexts(int display_mode);

struct MonthListEntry {
  int month = 0;  // 1..12
  bool leap = false;
  std::string text;
};
// Gregorian view: "一月" .. "十二月". Lunar view: the 12 lunar month names of
// lunar year `year` with its leap month inserted after its month.
std::vector<MonthListEntry> MonthListEntries(int display_mode, int year);

// The date chosen through the lists: that month (Gregorian, or lunar with
// its leap flag) with the given day number, reduced to the month's last day
// when the month is shorter. Empty when the month does not exist or the
// date is not selectable.
std::optional<GregorianDate> DateForListChoice(int display_mode, int year, int month, bool leap,
                                               int day);

// --- Selection state ---

// The calendar's selection: the selected date, its lunar date, the display
// mode and the grid, kept consistent. It raises no events; the widget
// notifies its owner after each successful selection.
class LunarMonthCalendarModel {
 public:
  // Starts on `initial` (kFirstSelectableDate when it is not selectable).
  explicit LunarMonthCalendarModel(GregorianDate initial = kFirstSelectableDate,
                                   int display_mode = kGregorianMonthView);

  // SetDate: false, changing nothing, for a date IsSelectableDate refuses;
  // otherwise selects it (also when it is already selected) and rebuilds the grid.
  bool SetDate(int year, int month, int day);
  bool SetDate(const GregorianDate& date) { return SetDate(date.year, date.month, date.day); }

  // Writes of the lunar properties: the selected lunar date with one part
  // replaced, converted to Gregorian and selected. False, changing nothing,
  // when that lunar date does not exist or is not selectable.
  bool SetLunarDate(LunarDate lunar);
  bool SetLunarYear(int year);
  bool SetLunarMonth(int month);
  bool SetLunarDay(int day);
  bool SetLeapMonth(bool leap);

  // Rebuilds the grid for the new mode; the selection stays.
  void SetDisplayMode(int display_mode);

  const GregorianDate& selected_date() const { return grid_.selected; }
  const LunarDate& lunar_date() const { return grid_.selected_lunar; }
  int display_mode() const { return grid_.display_mode; }
  const MonthGrid& grid() const { return grid_; }

 private:
  MonthGrid grid_;
};

}  // namespace tarnwick
