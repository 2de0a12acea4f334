#include "memo/memo_store_index.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace tarnwick {

void MemoDateIndex::Clear() {
  dated_.clear();
  records_ = 0;
}

void MemoDateIndex::Extend(std::vector<Dated> dated, int records) {
  // A diary is mostly written day after day: the new records usually follow
  // the old ones in date order already, and the merge is a move.
  if (!std::is_sorted(dated.begin(), dated.end())) std::sort(dated.begin(), dated.end());
  records_ += records;
  // The first walk's dates become the index as they are: no second copy.
  if (dated_.empty()) {
    dated_ = std::move(dated);
    return;
  }
  const auto middle = static_cast<std::ptrdiff_t>(dated_.size());
  dated_.insert(dated_.end(), dated.begin(), dated.end());
  std::inplace_merge(dated_.begin(), dated_.begin() + middle, dated_.end());
}

void MemoDateIndex::Add(DateTime date) {
  const Dated entry{date, records_++};
  dated_.insert(std::upper_bound(dated_.begin(), dated_.end(), entry), entry);
}

int MemoDateIndex::FirstRecordOf(DateTime date, int from) const {
  const auto found = std::lower_bound(dated_.begin(), dated_.end(), Dated{date, from});
  return found != dated_.end() && found->date == date ? found->record : -1;
}

std::vector<DateTime> MemoDateIndex::DatesInMonth(int year, int month) const {
  // A date with a time of day lies up to a day from its midnight (below it
  // before 1899-12-30, where the fraction counts back): a day's margin on
  // each side, and the month checked on each date found.
  const Dated low{EncodeDate(year, month, 1) - 1, std::numeric_limits<int>::min()};
  const Dated high{EncodeDate(year, month, DaysInMonth(year, month)) + 2, std::numeric_limits<int>::min()};
  std::vector<Dated> found;
  for (auto it = std::lower_bound(dated_.begin(), dated_.end(), low); it != dated_.end() && it->date < high.date;
       ++it) {
    const CivilDateTime day = DecodeDateTime(it->date);
    if (day.year == year && day.month == month) found.push_back(*it);
  }
  std::sort(found.begin(), found.end(), [](const Dated& a, const Dated& b) { return a.record < b.record; });
  std::vector<DateTime> dates;
  dates.reserve(found.size());
  for (const Dated& entry : found) dates.push_back(entry.date);
  return dates;
}

}  // namespace tarnwick
