// What the memo book does while the user does nothing, once the store has
// opened: the day's backup first, then the store's copy of every memo's
// text, so that the first search finds it ready. The work runs in slices of
// a few milliseconds from a timer of the event loop, begun a moment after
// the open so that the window is painted first; events waiting in between
// are handled between two slices. Nothing depends on the work having run:
// a change of the store finishes the backup first, and a search reads what
// the copy still lacks.
#pragma once

#include "platform/event_loop.h"

namespace tarnwick {

class MemoBook;

class IdleWork {
 public:
  // How long the program waits after the open before the first slice, and
  // how long a slice reads memos.
  static constexpr int kSettleMs = 300;
  static constexpr int kSliceMs = 3;

  explicit IdleWork(MemoBook& book);
  ~IdleWork();
  IdleWork(const IdleWork&) = delete;
  IdleWork& operator=(const IdleWork&) = delete;

  // Begins the work for the store just opened.
  void Begin();
  bool Busy() const { return timer_ != 0; }

 private:
  void Slice();
  void Stop();

  MemoBook& book_;
  EventLoop::TimerId timer_ = 0;
};

}  // namespace tarnwick
