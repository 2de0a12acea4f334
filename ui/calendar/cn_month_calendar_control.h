// The calendar as a control of a window (kind CnMonthCalendar, 农历月历):
// the widget's selection and lunar data as numbered properties, its four
// notifications as the kind's own events, and the common events of every
// control (WheelScrolled among them) from the grid's input.
//
// Properties, numbered after the common ones: 8 SelectedDate (date-time,
// read with the time 23:59:59), 9 lunar year, 10 lunar month, 11 lunar day,
// 12 leap month (these five writable; a refused write changes nothing),
// 13 display mode (writable), 14 year name, 15 lunar month name, 16 lunar
// day name, 17 zodiac animal, 18 solar term, 19 weekday, 20 days in the
// lunar month, 21 days in the lunar year (read-only).
// Events: 0 DayClicked, 1 DayHovered and 3 DayRightClicked (lunar year,
// month, day, leap flag), 2 DateChanged; all raised from posted messages.
#pragma once

#include <memory>
#include <string>

#include "ui/calendar/cn_month_calendar.h"
#include "ui/control.h"

namespace tarnwick {

class CnMonthCalendarControl : public Control, private CnMonthCalendarOwner {
 public:
  static constexpr int kSelectedDate = 8;
  static constexpr int kLunarYear = 9;
  static constexpr int kLunarMonth = 10;
  static constexpr int kLunarDay = 11;
  static constexpr int kLeapMonth = 12;
  static constexpr int kDisplayMode = 13;
  static constexpr int kYearName = 14;
  static constexpr int kLunarMonthName = 15;
  static constexpr int kLunarDayName = 16;
  static constexpr int kZodiacAnimal = 17;
  static constexpr int kSolarTerm = 18;
  static constexpr int kWeekday = 19;
  static constexpr int kDaysInLunarMonth = 20;
  static constexpr int kDaysInLunarYear = 21;

  static constexpr int kDayClicked = 0;
  static constexpr int kDayHovered = 1;
  static constexpr int kDateChanged = 2;
  static constexpr int kDayRightClicked = 3;

  CnMonthCalendarControl(Window& window, Control* parent, std::string name, const Rect& rect,
                         const ControlFlags& flags, const CnMonthCalendar::Options& options);
  ~CnMonthCalendarControl() override;

  CnMonthCalendar& calendar() { return *calendar_; }
  const CnMonthCalendar& calendar() const { return *calendar_; }

  Value GetProperty(int number) const override;
  bool SetProperty(int number, const Value& value) override;
  NativeControl* native() const override { return &calendar_->surface(); }

 private:
  void DayClicked() override;
  void DayHovered(const LunarDate& day) override;
  void DateChanged() override;
  void DayRightClicked(const LunarDate& day) override;

  std::unique_ptr<CnMonthCalendar> calendar_;
};

}  // namespace tarnwick
