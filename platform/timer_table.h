// The timers of an event loop: their ids and callbacks, and the rules every
// backend keeps alike whatever its native timers do. A tick never runs while
// the same timer's callback is still running (a modal loop inside the
// callback dispatches ticks again), and a timer stopped inside its own
// callback goes once the callback has returned.
//
// The backend starts and stops the native timer for each id and hands every
// native tick to Tick.
#pragma once

#include <functional>
#include <map>
#include <vector>

#include "platform/event_loop.h"

namespace tarnwick {

class TimerTable {
 public:
  using TimerId = EventLoop::TimerId;

  // Keeps callback; answers a new id, above 0.
  TimerId Add(std::function<void()> callback);
  // Forgets the timer; answers false when the id is unknown or already
  // stopped (the backend then has no native timer to stop).
  bool Remove(TimerId id);
  // Runs the timer's callback, unless the id is unknown or stopped or its
  // callback is running already.
  void Tick(TimerId id);
  // The timers not stopped, in the order they were added.
  std::vector<TimerId> Ids() const;

 private:
  struct Entry {
    std::function<void()> callback;
    bool running = false;
    bool stopped = false;
  };
  std::map<TimerId, Entry> entries_;
  TimerId next_id_ = 1;
};

}  // namespace tarnwick
