// The dates of the memo store's records in date order, so that the record
// of a day and the memos of a month are found by what the day or the month
// holds, not by a walk over every record. The store keeps it; nothing else
// changes it.
#pragma once

#include <cstddef>
#include <vector>

#include "base/datetime.h"

namespace tarnwick {

class MemoDateIndex {
 public:
  // One record's place in the file and its 日期 as read.
  struct Dated {
    DateTime date;
    int record;
    friend bool operator<(const Dated& a, const Dated& b) {
      return a.date < b.date || (a.date == b.date && a.record < b.record);
    }
  };

  // Records 0..records()-1 are indexed (an unreadable one counts, dateless).
  int records() const { return records_; }
  void Clear();
  // Records records() on, in file order, with those that could not be read
  // left out of `dated`; `records` is how many there are in all.
  void Extend(std::vector<Dated> dated, int records);
  // The next record, with its date.
  void Add(DateTime date);

  // The first record, in file order from `from` on, whose date is `date`;
  // -1 when there is none.
  int FirstRecordOf(DateTime date, int from = 0) const;
  // The dates of the records that fall in that month, in file order.
  std::vector<DateTime> DatesInMonth(int year, int month) const;
  std::size_t MemoryInUse() const { return dated_.capacity() * sizeof(Dated); }

 private:
  std::vector<Dated> dated_;  // sorted
  int records_ = 0;
};

}  // namespace tarnwick
