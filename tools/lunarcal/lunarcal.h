// lunarcal: the lunar month calendar in a terminal, and the lunar tables
// for checking from outside.
//
//   lunarcal YEAR MONTH        the month as the calendar's grid shows it, then
//                              the footer text of its solar terms
//   lunarcal --days FROM TO    one CSV line per day (dates as YYYY-MM-DD):
//                              date,lunar_year,lunar_month,lunar_day,leap,
//                              month_name,day_name,solar_term,year_name,zodiac,weekday
//   lunarcal --terms YEAR      the 24 solar terms: name,YYYY-MM-DD HH:MM:SS
//
// Output is UTF-8. Bad arguments print the usage and give exit code 2; dates
// outside the tables give a message and exit code 1.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace tarnwick {

int RunLunarcal(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& error);

}  // namespace tarnwick
