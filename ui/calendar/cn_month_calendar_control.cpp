#include "ui/calendar/cn_month_calendar_control.h"

#include "ui/window.h"

namespace tarnwick {
namespace {

EventArgs LunarArgs(const LunarDate& day) { return {day.year, day.month, day.day, day.leap}; }

}  // namespace

CnMonthCalendarControl::CnMonthCalendarControl(Window& window, Control* parent, std::string name,
                                               const Rect& rect, const ControlFlags& flags,
                                               const CnMonthCalendar::Options& options)
    : Control(window, parent, std::move(name), ControlKind::kCnMonthCalendar, rect, flags) {
  calendar_ = std::make_unique<CnMonthCalendar>(window.platform(), ParentForNative(), Point{rect.left, rect.top},
                                                static_cast<CnMonthCalendarOwner&>(*this), options,
                                                &listener());
  // The widget sizes itself to its content.
  Size size = calendar_->size();
  Rect own = rect;
  own.width = size.width;
  own.height = size.height;
  SetRect(own);
  AttachNative(calendar_->surface());
}

CnMonthCalendarControl::~CnMonthCalendarControl() = default;

Value CnMonthCalendarControl::GetProperty(int number) const {
  const CnMonthCalendar& c = *calendar_;
  switch (number) {
    case kSelectedDate: return c.SelectedDate();
    case kLunarYear: return c.LunarYear();
    case kLunarMonth: return c.LunarMonth();
    case kLunarDay: return c.LunarDay();
    case kLeapMonth: return c.LeapMonth();
    case kDisplayMode: return c.DisplayMode();
    case kYearName: return c.YearName();
    case kLunarMonthName: return c.LunarMonthName();
    case kLunarDayName: return c.LunarDayName();
    case kZodiacAnimal: return c.ZodiacAnimal();
    case kSolarTerm: return c.SolarTermName();
    case kWeekday: return c.Weekday();
    case kDaysInLunarMonth: return c.DaysInLunarMonth();
    case kDaysInLunarYear: return c.DaysInLunarYear();
    default: return Control::GetProperty(number);
  }
}

// A write of a refused value is still a well-typed write: it answers true
// and, as the widget ignores it, changes nothing.
bool CnMonthCalendarControl::SetProperty(int number, const Value& value) {
  CnMonthCalendar& c = *calendar_;
  const int* integer = std::get_if<int>(&value);
  switch (number) {
    case kSelectedDate:
      if (const double* date = std::get_if<double>(&value)) {
        c.SetSelectedDate(*date);
        return true;
      }
      if (integer) c.SetSelectedDate(*integer);  // a whole day number
      return integer != nullptr;
    case kLunarYear:
      if (integer) c.SetLunarYear(*integer);
      return integer != nullptr;
    case kLunarMonth:
      if (integer) c.SetLunarMonth(*integer);
      return integer != nullptr;
    case kLunarDay:
      if (integer) c.SetLunarDay(*integer);
      return integer != nullptr;
    case kLeapMonth:
      if (const bool* leap = std::get_if<bool>(&value)) {
        c.SetLeapMonth(*leap);
        return true;
      }
      return false;
    case kDisplayMode:
      if (integer) c.SetDisplayMode(*integer);
      return integer != nullptr;
    case kYearName:
    case kLunarMonthName:
    case kLunarDayName:
    case kZodiacAnimal:
    case kSolarTerm:
    case kWeekday:
    case kDaysInLunarMonth:
    case kDaysInLunarYear:
      return false;  // read-only
    default:
      return Control::SetProperty(number, value);
  }
}

// The widget posts its notifications already; they are raised as they arrive.
void CnMonthCalendarControl::DayClicked() { Raise(kDayClicked); }
void CnMonthCalendarControl::DayHovered(const LunarDate& day) { Raise(kDayHovered, LunarArgs(day)); }
void CnMonthCalendarControl::DateChanged() { Raise(kDateChanged); }
void CnMonthCalendarControl::DayRightClicked(const LunarDate& day) { Raise(kDayRightClicked, LunarArgs(day)); }

}  // namespace tarnwick
