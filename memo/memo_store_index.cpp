#include "memo/memo_store_index.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace tarnwick {

void MemoDateIndex::Clear() {
  dates_.clear();
  by_date_.clear();
}

void MemoDateIndex::Extend(std::vector<DateTime> dates) {
  const bool in_order = by_date_.empty() && (dates_.empty() || dates.empty() || dates_.back() <= dates.front()) &&
                        std::is_sorted(dates.begin(), dates.end());
  // The first read's dates become the index as they are: no second copy.
  if (dates_.empty()) {
    dates_ = std::move(dates);
  } else {
    dates_.insert(dates_.end(), dates.begin(), dates.end());
  }
  if (!in_order) SortRecordsByDate();
}

void MemoDateIndex::Add(DateTime date) {
  if (by_date_.empty() && (dates_.empty() || dates_.back() <= date)) {
    dates_.push_back(date);
    return;
  }
  if (by_date_.empty()) SortRecordsByDate();
  dates_.push_back(date);
  // After the records of the same date, which come before it in the file.
  const auto later = std::upper_bound(by_date_.begin(), by_date_.end(), date,
                                      [this](DateTime d, int record) { return d < dates_[record]; });
  by_date_.insert(later, records() - 1);
}

void MemoDateIndex::SortRecordsByDate() {
  by_date_.resize(dates_.size());
  std::iota(by_date_.begin(), by_date_.end(), 0);
  std::stable_sort(by_date_.begin(), by_date_.end(), [this](int a, int b) { return dates_[a] < dates_[b]; });
}

std::vector<int> MemoDateIndex::RecordsBetween(DateTime low, DateTime high) const {
  std::vector<int> records;
  if (by_date_.empty()) {
    const auto first = std::lower_bound(dates_.begin(), dates_.end(), low);
    const auto last = std::lower_bound(first, dates_.end(), high);
    for (auto it = first; it != last; ++it) records.push_back(static_cast<int>(it - dates_.begin()));
  } else {
    const auto before = [this](int record, DateTime d) { return dates_[record] < d; };
    const auto first = std::lower_bound(by_date_.begin(), by_date_.end(), low, before);
    records.assign(first, std::lower_bound(first, by_date_.end(), high, before));
  }
  return records;
}

int MemoDateIndex::FirstRecordOf(DateTime date, int from) const {
  from = std::max(from, 0);
  if (by_date_.empty()) {
    // In date order the records of one date lie together, in file order.
    if (from >= records()) return -1;
    const auto found = std::lower_bound(dates_.begin() + from, dates_.end(), date);
    return found != dates_.end() && *found == date ? static_cast<int>(found - dates_.begin()) : -1;
  }
  const auto first = std::lower_bound(by_date_.begin(), by_date_.end(), date,
                                      [this](int record, DateTime d) { return dates_[record] < d; });
  const auto last = std::upper_bound(first, by_date_.end(), date,
                                     [this](DateTime d, int record) { return d < dates_[record]; });
  // Among equal dates the records come in file order.
  const auto found = std::lower_bound(first, last, from);
  return found != last ? *found : -1;
}

std::vector<DateTime> MemoDateIndex::DatesInMonth(int year, int month) const {
  // A date with a time of day lies up to a day from its midnight (below it
  // before 1899-12-30, where the fraction counts back): a day's margin on
  // each side, and the month checked on each date found.
  std::vector<int> records =
      RecordsBetween(EncodeDate(year, month, 1) - 1, EncodeDate(year, month, DaysInMonth(year, month)) + 2);
  std::erase_if(records, [&](int record) {
    const CivilDateTime day = DecodeDateTime(dates_[record]);
    return day.year != year || day.month != month;
  });
  std::sort(records.begin(), records.end());
  std::vector<DateTime> dates;
  dates.reserve(records.size());
  for (int record : records) dates.push_back(dates_[record]);
  return dates;
}

}  // namespace tarnwick
