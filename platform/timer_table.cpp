#include "platform/timer_table.h"

namespace tarnwick {

TimerTable::TimerId TimerTable::Add(std::function<void()> callback) {
  TimerId id = next_id_++;
  entries_[id].callback = std::move(callback);
  return id;
}

bool TimerTable::Remove(TimerId id) {
  auto found = entries_.find(id);
  if (found == entries_.end() || found->second.stopped) return false;
  found->second.stopped = true;
  if (!found->second.running) entries_.erase(found);
  return true;
}

void TimerTable::Tick(TimerId id) {
  auto found = entries_.find(id);
  if (found == entries_.end()) return;
  Entry& entry = found->second;  // std::map keeps it in place while callbacks add timers
  if (entry.running || entry.stopped) return;
  entry.running = true;
  entry.callback();
  entry.running = false;
  if (entry.stopped) entries_.erase(id);
}

std::vector<TimerTable::TimerId> TimerTable::Ids() const {
  std::vector<TimerId> ids;
  for (const auto& [id, entry] : entries_) {
    if (!entry.stopped) ids.push_back(id);
  }
  return ids;
}

}  // namespace tarnwick
