// Day-number arithmetic shared by the lunar calendar's sources; not part of
// the library's interface.
#pragma once

#include <optional>

#include "ui/calendar/lunar_calendar.h"

namespace tarnwick::lunar_internal {

// Days from 1970-01-01 of a proleptic Gregorian date, and back.
int DayNumber(int year, int month, int day);
GregorianDate DateOfDayNumber(int day_number);

int GregorianDaysInMonth(int year, int month);  // 0 for a month outside 1..12
bool IsRealDate(int year, int month, int day);

// The lunar date of a day, from 1901-01-01 to the last day of lunar 2049.
std::optional<LunarDate> LunarOfDayNumber(int day_number);

int WeekdayOfDayNumber(int day_number);  // 1 = Monday .. 7 = Sunday

}  // namespace tarnwick::lunar_internal
