#include "platform/headless/headless_event_loop.h"

#include <vector>

namespace tarnwick {

namespace {
constexpr double kMillisecondsPerDay = 86400000.0;
}

HeadlessEventLoop::HeadlessEventLoop() : now_base_(EncodeDateTime({2011, 5, 17, 10, 0, 0})) {}

void HeadlessEventLoop::Post(std::function<void()> task) { tasks_.push_back(std::move(task)); }

EventLoop::TimerId HeadlessEventLoop::StartTimer(int interval_ms, std::function<void()> callback) {
  if (interval_ms <= 0) interval_ms = 1;
  TimerId id = timers_.Add(std::move(callback));
  schedules_[id] = Schedule{interval_ms, elapsed_ms_ + interval_ms};
  return id;
}

void HeadlessEventLoop::StopTimer(TimerId id) {
  timers_.Remove(id);
  schedules_.erase(id);
}

bool HeadlessEventLoop::RunDueTimers() {
  std::vector<TimerId> due;
  for (const auto& [id, schedule] : schedules_) {
    if (schedule.next_due <= elapsed_ms_) due.push_back(id);
  }
  for (TimerId id : due) {
    auto it = schedules_.find(id);
    if (it == schedules_.end()) continue;  // stopped by an earlier callback
    // Coalesced: one tick however many intervals passed.
    it->second.next_due = elapsed_ms_ + it->second.interval_ms;
    timers_.Tick(id);
  }
  return !due.empty();
}

void HeadlessEventLoop::RunPostedTasks() {
  while (!tasks_.empty()) {
    std::function<void()> task = std::move(tasks_.front());
    tasks_.pop_front();
    task();
  }
}

void HeadlessEventLoop::DrainTasksAndPaints() {
  for (;;) {
    RunPostedTasks();
    bool painted = paint_hook_ && paint_hook_();
    if (!painted && tasks_.empty()) return;
  }
}

void HeadlessEventLoop::ProcessPendingEvents() {
  // Each due timer ticks at most once per call, so a handler slower than its
  // interval cannot keep the call from returning.
  DrainTasksAndPaints();
  if (RunDueTimers()) DrainTasksAndPaints();
}

int HeadlessEventLoop::Run() {
  ProcessPendingEvents();
  return quit_code_ ? *quit_code_ : kNotQuit;
}

void HeadlessEventLoop::Quit(int exit_code) { quit_code_ = exit_code; }

std::uint32_t HeadlessEventLoop::TickCount() const {
  return static_cast<std::uint32_t>(tick_base_ + elapsed_ms_);
}

void HeadlessEventLoop::Sleep(int milliseconds) {
  if (milliseconds > 0) elapsed_ms_ += static_cast<std::uint64_t>(milliseconds);
}

DateTime HeadlessEventLoop::LocalNow() const {
  return now_base_ + static_cast<double>(elapsed_ms_) / kMillisecondsPerDay;
}

Size HeadlessEventLoop::ScreenSize() const { return screen_; }
Point HeadlessEventLoop::CursorPosition() const { return cursor_; }

void HeadlessEventLoop::SetLocalNow(DateTime now) {
  now_base_ = now - static_cast<double>(elapsed_ms_) / kMillisecondsPerDay;
}

void HeadlessEventLoop::SetTickCount(std::uint32_t ticks) {
  tick_base_ = static_cast<std::uint32_t>(ticks - static_cast<std::uint32_t>(elapsed_ms_));
}

void HeadlessEventLoop::AdvanceTime(int milliseconds) {
  if (milliseconds < 0) return;
  std::uint64_t target = elapsed_ms_ + static_cast<std::uint64_t>(milliseconds);
  for (;;) {
    std::uint64_t next = target;
    for (const auto& [id, schedule] : schedules_) {
      if (schedule.next_due < next) next = schedule.next_due;
    }
    if (next > elapsed_ms_) elapsed_ms_ = next;
    ProcessPendingEvents();
    if (elapsed_ms_ >= target) break;
  }
}

void HeadlessEventLoop::SetScreenSize(Size size) { screen_ = size; }
void HeadlessEventLoop::SetCursorPosition(Point screen_position) { cursor_ = screen_position; }

}  // namespace tarnwick
