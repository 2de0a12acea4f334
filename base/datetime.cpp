#include "base/datetime.h"

#include <cmath>
#include <cstdint>
#include <cstdio>

namespace tarnwick {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;
// Day number of 1899-12-30 counted from 1970-01-01, the epoch of DaysFromCivil.
constexpr std::int64_t kEpochOffset = -25569;

// GBK bytes of the date text's suffixes.
constexpr std::string_view kYearMark = "\xC4\xEA";    // 年
constexpr std::string_view kMonthMark = "\xD4\xC2";   // 月
constexpr std::string_view kDayMark = "\xC8\xD5";     // 日
constexpr std::string_view kHourMark = "\xCA\xB1";    // 时
constexpr std::string_view kMinuteMark = "\xB7\xD6";  // 分
constexpr std::string_view kSecondMark = "\xC3\xEB";  // 秒

std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
  year -= month <= 2;
  const std::int64_t era = FloorDiv(year, 400);
  const std::int64_t year_of_era = year - era * 400;
  const int shifted_month = month > 2 ? month - 3 : month + 9;
  const std::int64_t day_of_year = (153 * shifted_month + 2) / 5 + day - 1;
  const std::int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

void CivilFromDays(std::int64_t days, CivilDateTime* civil) {
  days += 719468;
  const std::int64_t era = FloorDiv(days, 146097);
  const std::int64_t day_of_era = days - era * 146097;
  const std::int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const std::int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const std::int64_t shifted_month = (5 * day_of_year + 2) / 153;
  civil->day = static_cast<int>(day_of_year - (153 * shifted_month + 2) / 5 + 1);
  civil->month = static_cast<int>(shifted_month < 10 ? shifted_month + 3 : shifted_month - 9);
  civil->year = static_cast<int>(year_of_era + era * 400 + (civil->month <= 2));
}

// The calendar day of a value and its time of day in whole seconds. The
// integer part (towards zero) is the day and the fraction's magnitude the time
// after that day's midnight, also for negative values: -1.25 is 1899-12-29
// 06:00. A time that rounds up to 24:00 is midnight of the next day.
void SplitValue(DateTime value, std::int64_t* day, std::int64_t* seconds) {
  if (std::isnan(value) || value <= kEmptyDate - 1) value = kEmptyDate;
  if (value >= kMaxDate + 1) value = kMaxDate;
  const double whole = std::trunc(value);
  *day = static_cast<std::int64_t>(whole);
  *seconds = std::llround(std::fabs(value - whole) * kSecondsPerDay);
  if (*seconds >= kSecondsPerDay) {
    *seconds -= kSecondsPerDay;
    ++*day;
  }
}

void AppendNumber(std::string* text, int number, std::string_view mark) {
  char digits[16];
  const int length = std::snprintf(digits, sizeof digits, "%d", number);
  text->append(digits, length);
  text->append(mark);
}

// A cursor over the text being read by TextToDate.
class Reader {
 public:
  explicit Reader(std::string_view text) : text_(text) {}

  bool AtEnd() const { return pos_ == text_.size(); }

  // 1..max_digits decimal digits.
  bool Number(int max_digits, int* value) {
    int digits = 0;
    *value = 0;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
      if (++digits > max_digits) return false;
      *value = *value * 10 + (text_[pos_++] - '0');
    }
    return digits > 0;
  }

  bool Take(std::string_view expected) {
    if (text_.substr(pos_, expected.size()) != expected) return false;
    pos_ += expected.size();
    return true;
  }

  // One of the ASCII date separators, returned in *separator.
  bool DateSeparator(char* separator) {
    if (pos_ >= text_.size()) return false;
    const char c = text_[pos_];
    if (c != '-' && c != '/' && c != '.') return false;
    *separator = c;
    ++pos_;
    return true;
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
};

// "13时", "13时5分", "13时5分9秒" or "13:05", "13:05:09".
bool ReadTime(Reader* reader, CivilDateTime* civil) {
  if (!reader->Number(2, &civil->hour)) return false;
  if (reader->Take(kHourMark)) {
    if (reader->AtEnd()) return true;
    if (!reader->Number(2, &civil->minute) || !reader->Take(kMinuteMark)) return false;
    if (reader->AtEnd()) return true;
    return reader->Number(2, &civil->second) && reader->Take(kSecondMark);
  }
  if (!reader->Take(":") || !reader->Number(2, &civil->minute)) return false;
  if (reader->AtEnd()) return true;
  return reader->Take(":") && reader->Number(2, &civil->second);
}

}  // namespace

DateTime ClampDateTime(double value) {
  if (std::isnan(value) || value < kEmptyDate) return kEmptyDate;
  if (value > kMaxDate) return kMaxDate;
  return value;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12) return 0;
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool IsValidDate(int year, int month, int day) {
  return year >= 100 && year <= 9999 && month >= 1 && month <= 12 && day >= 1 && day <= DaysInMonth(year, month);
}

DateTime EncodeDate(int year, int month, int day) {
  // Months outside 1..12 roll into neighbouring years; days simply count on.
  const std::int64_t month_index = static_cast<std::int64_t>(month) - 1;
  const std::int64_t full_year = year + FloorDiv(month_index, 12);
  const int month_of_year = static_cast<int>(month_index - FloorDiv(month_index, 12) * 12) + 1;
  return static_cast<DateTime>(DaysFromCivil(full_year, month_of_year, 1) + day - 1 - kEpochOffset);
}

DateTime EncodeDateTime(const CivilDateTime& civil) {
  const DateTime day = EncodeDate(civil.year, civil.month, civil.day);
  const double time =
      static_cast<double>(civil.hour * 3600 + civil.minute * 60 + civil.second) / static_cast<double>(kSecondsPerDay);
  // Before 1899-12-30 the time of day still counts forwards from midnight,
  // carried in the magnitude of the fraction.
  return day < 0 ? day - time : day + time;
}

CivilDateTime DecodeDateTime(DateTime value) {
  std::int64_t day, seconds;
  SplitValue(value, &day, &seconds);
  CivilDateTime civil;
  CivilFromDays(day + kEpochOffset, &civil);
  civil.hour = static_cast<int>(seconds / 3600);
  civil.minute = static_cast<int>(seconds / 60 % 60);
  civil.second = static_cast<int>(seconds % 60);
  return civil;
}

int DayOfWeek(DateTime value) {
  std::int64_t day, seconds;
  SplitValue(value, &day, &seconds);
  // Day 0, 1899-12-30, was a Saturday.
  return static_cast<int>(((day + 6) % 7 + 7) % 7);
}

std::string DateText(DateTime value) {
  const CivilDateTime civil = DecodeDateTime(value);
  std::string text = DateOnlyText(value);
  if (civil.hour == 0 && civil.minute == 0 && civil.second == 0) return text;
  AppendNumber(&text, civil.hour, kHourMark);
  if (civil.minute == 0 && civil.second == 0) return text;
  AppendNumber(&text, civil.minute, kMinuteMark);
  if (civil.second == 0) return text;
  AppendNumber(&text, civil.second, kSecondMark);
  return text;
}

std::string DateOnlyText(DateTime value) {
  const CivilDateTime civil = DecodeDateTime(value);
  std::string text;
  AppendNumber(&text, civil.year, kYearMark);
  AppendNumber(&text, civil.month, kMonthMark);
  AppendNumber(&text, civil.day, kDayMark);
  return text;
}

DateTime TextToDate(std::string_view gbk) {
  Reader reader(gbk);
  CivilDateTime civil;
  if (!reader.Number(4, &civil.year)) return kEmptyDate;
  char separator;
  if (reader.Take(kYearMark)) {
    if (!reader.Number(2, &civil.month) || !reader.Take(kMonthMark) || !reader.Number(2, &civil.day) ||
        !reader.Take(kDayMark)) {
      return kEmptyDate;
    }
    if (!reader.AtEnd()) {
      reader.Take(" ");
      if (!ReadTime(&reader, &civil)) return kEmptyDate;
    }
  } else if (reader.DateSeparator(&separator)) {
    if (!reader.Number(2, &civil.month) || !reader.Take(std::string_view(&separator, 1)) ||
        !reader.Number(2, &civil.day)) {
      return kEmptyDate;
    }
    if (!reader.AtEnd() && (!reader.Take(" ") || !ReadTime(&reader, &civil))) return kEmptyDate;
  } else {
    return kEmptyDate;
  }
  if (!reader.AtEnd() || !IsValidDate(civil.year, civil.month, civil.day) || civil.hour > 23 || civil.minute > 59 ||
      civil.second > 59) {
    return kEmptyDate;
  }
  return EncodeDateTime(civil);
}

}  // namespace tarnwick
