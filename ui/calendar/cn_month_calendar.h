// CnMonthCalendar: the lunar month calendar widget. A navigation bar with a
// year list and a month list above a self-drawn grid of 42 days, each with
// its Gregorian day number and lunar date, a footer naming the month's solar
// terms and describing the day under the pointer.
//
// Promises:
// - Its four own notifications (DateChanged, DayClicked, DayHovered,
//   DayRightClicked) are posted: the owner receives them after the code that
//   caused them has returned, in the order caused (a day click gives
//   DateChanged, then DayClicked). None arrives after the widget is gone.
// - Refused dates (SetDate, SelectedDate or lunar writes) change nothing and
//   raise nothing.
// - The grid picture is rebuilt only when the selection or the display mode
//   changes; a hover change repaints only the two cells and the footer.
// - Choosing from the year or month list selects that month with
//   notification (DateChanged), as every other selection does; a choice
//   the calendar cannot show puts the lists back and raises nothing.
// - While the grid has the keyboard focus, the selected day carries a focus
//   rectangle and the keys move it: Left/Right a day, Up/Down a week, Page
//   Up/Page Down a month (the same day number, or that month's last day),
//   Home/End the first and last day of the shown month. A move selects with
//   notification (DateChanged, no DayClicked).
// - A wheel turn while the calendar or one of its lists has the focus reaches
//   the owner's input once (the common wheel event); the lists never step
//   their own selection by the wheel.
#pragma once

#include <memory>
#include <string>

#include "base/datetime.h"
#include "platform/platform.h"
#include "ui/calendar/lunar_month_grid.h"

namespace tarnwick {

// Receives the calendar's own events. Every method defaults to nothing.
class CnMonthCalendarOwner {
 public:
  virtual ~CnMonthCalendarOwner() = default;
  virtual void DayClicked() {}                           // event 0
  virtual void DayHovered(const LunarDate& day) { (void)day; }  // event 1
  virtual void DateChanged() {}                          // event 2
  virtual void DayRightClicked(const LunarDate& day) { (void)day; }  // event 3
};

class CnMonthCalendar {
 public:
  // Drawing geometry, in the widget's own pixels.
  static constexpr int kNavigationBarHeight = 30;
  static constexpr int kHeaderHeight = 20;
  static constexpr int kCellWidth = 52;
  static constexpr int kCellHeight = 32;
  static constexpr int kFooterHeight = 20;
  static constexpr int kWidth = kGridColumns * kCellWidth + 1;  // 365
  static constexpr int kGridHeight = kHeaderHeight + kGridRows * kCellHeight + kFooterHeight;

  // Colours of the drawing.
  static constexpr Color kHeaderBackground = RgbHex(0x296DB5);
  static constexpr Color kWeekendHeaderText = RgbHex(0x02FDE5);
  static constexpr Color kGridLine = RgbHex(0x0000FF);
  static constexpr Color kShownMonthBackground = RgbHex(0xFFFAC2);
  static constexpr Color kOtherMonthBackground = RgbHex(0xD3D9D6);
  static constexpr Color kHoveredBackground = RgbHex(0x0000FF);
  static constexpr Color kLunarText = RgbHex(0xFF0000);
  static constexpr Color kHoveredLunarText = RgbHex(0x00FFFF);
  static constexpr Color kDayText = RgbHex(0x000000);
  static constexpr Color kHoveredDayText = RgbHex(0xFFFFFF);
  static constexpr Color kFooterText = RgbHex(0xFFFFFF);

  struct Options {
    int display_mode = kGregorianMonthView;
    bool show_navigation_bar = true;
    // Applied with notification after creation (the layout's stored date);
    // empty: only today, without notification.
    std::optional<GregorianDate> initial_date;
  };

  // Creates the widget at `at` (its top left) inside parent, sized to its
  // content, with today's local date selected without notification; then
  // applies options.initial_date with notification. input, when given, sees
  // every mouse, wheel, key and focus notification of the grid first (the
  // common control events); answering false stops the widget's own handling.
  CnMonthCalendar(Platform& platform, NativeParent& parent, Point at, CnMonthCalendarOwner& owner,
                  const Options& options, ControlListener* input = nullptr);
  ~CnMonthCalendar();
  CnMonthCalendar(const CnMonthCalendar&) = delete;
  CnMonthCalendar& operator=(const CnMonthCalendar&) = delete;

  // Selects a Gregorian date and notifies (DateChanged, also when the date
  // is the one already selected). False, changing nothing, for a month
  // outside 1..12, a year above 2048, a date before 1901-02-19, day 0 or a
  // day beyond the month's length.
  bool SetDate(int year, int month, int day);

  // Property 1: the selected date with the time 23:59:59.
  DateTime SelectedDate() const;
  // Writing: a date of a year 1901..2049 selects it as SetDate does; other
  // years and refused dates are ignored. Answers whether it was selected.
  bool SetSelectedDate(DateTime value);

  // Properties 2 to 5, the selected lunar date; a write selects the
  // resulting date with notification, or is ignored when it does not exist.
  int LunarYear() const { return model_.lunar_date().year; }
  int LunarMonth() const { return model_.lunar_date().month; }
  int LunarDay() const { return model_.lunar_date().day; }
  bool LeapMonth() const { return model_.lunar_date().leap; }
  bool SetLunarYear(int year);
  bool SetLunarMonth(int month);
  bool SetLunarDay(int day);
  bool SetLeapMonth(bool leap);

  // Property 6: 1 = Gregorian month view, other values the lunar month view.
  int DisplayMode() const { return model_.display_mode(); }
  void SetDisplayMode(int mode);

  // Properties 7 to 14, read-only.
  std::string YearName() const;
  std::string LunarMonthName() const;
  std::string LunarDayName() const;
  std::string ZodiacAnimal() const;
  std::string SolarTermName() const;
  int Weekday() const;
  int DaysInLunarMonth() const;
  int DaysInLunarYear() const;

  const GregorianDate& selected() const { return model_.selected_date(); }
  const MonthGrid& grid() const { return model_.grid(); }
  int hovered_cell() const { return hovered_; }
  // The cell carrying the keyboard's focus rectangle: the selected day's
  // while the grid has the focus, else -1.
  int KeyboardCell() const;
  const std::string& footer_left_text() const { return model_.grid().footer_text; }
  const std::string& footer_right_text() const { return hover_text_; }

  // Geometry in the widget's pixels.
  Size size() const;
  int GridTop() const;  // top of the weekday header
  Rect CellRect(int index) const;
  Rect FooterRect() const;
  // The cell under a point, -1 for none.
  int CellAt(Point point) const;

  // The native pieces, for the control wrapper (visibility, focus, tests).
  NativeSurface& surface() { return *surface_; }
  NativeDropDownList* year_list() { return year_list_.get(); }
  NativeDropDownList* month_list() { return month_list_.get(); }

  // Draws the whole widget as a paint would (tests and benchmarks).
  void Paint(Canvas& canvas, const Rect& dirty);

 private:
  class GridListener;
  class ListListener;

  void Selected(bool notify);
  void DescribeForScreenReaders();
  void Post(std::function<void(CnMonthCalendarOwner&)> event);
  void RefillYearList();
  void RefillMonthList(int year);
  void SelectListEntries();
  void YearChosen();
  void MonthChosen();
  void MouseMoved(Point point);
  void MouseLeft();
  // A key went down on the grid; true when it moved (or tried to move) the
  // selection.
  bool KeyPressed(int key_code, int key_state);
  void FocusChanged();
  void LeftReleased(Point point);
  void RightReleased(Point point);
  void SetHovered(int index);
  void RebuildPicture();
  void DrawGrid(Canvas& canvas) const;
  void DrawCell(Canvas& canvas, int index, bool hovered) const;

  Platform& platform_;
  CnMonthCalendarOwner& owner_;
  ControlListener* input_;
  bool show_navigation_bar_;
  LunarMonthCalendarModel model_;
  int hovered_ = -1;
  std::string hover_text_;
  int listed_year_mode_ = -1;  // display mode the year list was filled for
  int listed_month_mode_ = -1;  // display mode and year the month list was filled for
  int listed_month_year_ = 0;
  std::vector<MonthListEntry> month_entries_;
  std::unique_ptr<Canvas> picture_;  // the grid without hover and footer-right text
  bool picture_stale_ = true;
  std::shared_ptr<bool> alive_;
  std::unique_ptr<GridListener> grid_listener_;
  std::unique_ptr<ListListener> year_listener_;
  std::unique_ptr<ListListener> month_listener_;
  std::unique_ptr<NativeSurface> surface_;
  std::unique_ptr<NativeDropDownList> year_list_;
  std::unique_ptr<NativeDropDownList> month_list_;
};

}  // namespace tarnwick
