// The dates of the memo store's records, so that the record of a day and the
// memos of a month are found by what the day or the month holds, not by a
// walk over every record. The store keeps it; nothing else changes it.
#pragma once

#include <cstddef>
#include <vector>

#include "base/datetime.h"

namespace tarnwick {

class MemoDateIndex {
 public:
  // Records 0..records()-1 are indexed.
  int records() const { return static_cast<int>(dates_.size()); }
  void Clear();
  // The dates of records records() on, in file order.
  void Extend(std::vector<DateTime> dates);
  // The next record, with its date.
  void Add(DateTime date);

  // The first record, in file order from `from` on, whose date is `date`;
  // -1 when there is none.
  int FirstRecordOf(DateTime date, int from = 0) const;
  // The dates of the records that fall in that month, in file order.
  std::vector<DateTime> DatesInMonth(int year, int month) const;
  std::size_t MemoryInUse() const {
    return dates_.capacity() * sizeof(DateTime) + by_date_.capacity() * sizeof(int);
  }

 private:
  // The records dated in [low, high), in date order (file order among equal
  // dates).
  std::vector<int> RecordsBetween(DateTime low, DateTime high) const;
  void SortRecordsByDate();

  std::vector<DateTime> dates_;  // record r's date is dates_[r]
  // Empty while the records are in date order, as a diary written day after
  // day is: a record's place in date order is then its own. Otherwise every
  // record, in date order.
  std::vector<int> by_date_;
};

}  // namespace tarnwick
