#include "engine/lock_table.h"

#include <algorithm>

namespace tarnwick {

const std::pair<uint64_t, int>* LockTable::Find(uint64_t offset) const {
  for (const auto& entry : entries_) {
    if (entry.first == offset) return &entry;
  }
  return nullptr;
}

bool LockTable::Add(uint64_t offset) {
  for (auto& entry : entries_) {
    if (entry.first == offset) {
      ++entry.second;
      return false;
    }
  }
  entries_.emplace_back(offset, 1);
  return true;
}

LockTable::Removal LockTable::Remove(uint64_t offset) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->first != offset) continue;
    if (--it->second > 0) return Removal::kLowered;
    entries_.erase(it);
    return Removal::kReleased;
  }
  return Removal::kNotHeld;
}

std::vector<uint64_t> LockTable::Offsets() const {
  std::vector<uint64_t> offsets;
  for (const auto& entry : entries_) offsets.push_back(entry.first);
  std::sort(offsets.begin(), offsets.end());
  return offsets;
}

std::vector<std::pair<uint64_t, uint64_t>> LockTable::Gaps(uint64_t end) const {
  std::vector<std::pair<uint64_t, uint64_t>> gaps;
  uint64_t from = 0;
  for (uint64_t offset : Offsets()) {
    if (offset >= end) break;
    if (offset > from) gaps.emplace_back(from, offset - from);
    from = offset + 1;
  }
  if (from < end) gaps.emplace_back(from, end - from);
  return gaps;
}

}  // namespace tarnwick
