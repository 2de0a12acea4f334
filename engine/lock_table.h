// The byte locks one connection holds on one file, counted: locking an
// offset already held only raises its depth, and the lock is given back to
// the system when the depth returns to 0.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

namespace tarnwick {

class LockTable {
 public:
  bool Holds(uint64_t offset) const { return Find(offset) != nullptr; }
  // Raises the depth; true when the offset was not held before.
  bool Add(uint64_t offset);
  enum class Removal { kReleased, kLowered, kNotHeld };
  Removal Remove(uint64_t offset);
  // The held offsets in ascending order.
  std::vector<uint64_t> Offsets() const;
  // The ranges in [0, end) that hold no counted byte: the gaps between them.
  std::vector<std::pair<uint64_t, uint64_t>> Gaps(uint64_t end) const;
  bool empty() const { return entries_.empty(); }

 private:
  const std::pair<uint64_t, int>* Find(uint64_t offset) const;
  std::vector<std::pair<uint64_t, int>> entries_;  // (offset, depth); few at a time
};

}  // namespace tarnwick
