#include "memo/idle_work.h"

#include <chrono>

#include "memo/backup_taker.h"
#include "memo/memo_book.h"

namespace tarnwick {

IdleWork::IdleWork(MemoBook& book) : book_(book) {}

IdleWork::~IdleWork() { Stop(); }

void IdleWork::Begin() {
  Stop();
  // A store opened read-only cannot change, and its folder takes no backup.
  if (!book_.store().ReadOnly()) book_.backups().BeginDailyIfDue();
  EventLoop& loop = book_.platform().loop();
  timer_ = loop.StartTimer(kSettleMs, [this, &loop] {
    loop.StopTimer(timer_);
    // The shortest interval: on Windows a timer's tick waits until no other
    // message does, on Qt input is read between two ticks.
    timer_ = loop.StartTimer(1, [this] { Slice(); });
  });
}

void IdleWork::Slice() {
  if (book_.backups().StepDaily()) return;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point end = Clock::now() + std::chrono::milliseconds(kSliceMs);
  if (!book_.store().FillTexts([&] { return Clock::now() < end; })) Stop();
}

void IdleWork::Stop() {
  if (timer_ == 0) return;
  book_.platform().loop().StopTimer(timer_);
  timer_ = 0;
}

}  // namespace tarnwick
