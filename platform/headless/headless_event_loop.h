// The headless event loop: a posted-task queue the test drains, timers driven
// by a clock the test sets, and a virtual screen.
//
// Nothing here waits for real time. The clock starts at tick 0 and the
// local date-time 2011-05-17 10:00:00 unless the test sets them; it moves only
// by AdvanceTime and Sleep.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <optional>

#include "platform/event_loop.h"
#include "platform/timer_table.h"

namespace tarnwick {

class HeadlessEventLoop : public EventLoop {
 public:
  HeadlessEventLoop();

  // Posted tasks keep the Windows order: a task posted by an input handler
  // runs before the next input the test delivers, even within one simulated
  // action (the characters of HeadlessWindowSystem::TypeText).
  void Post(std::function<void()> task) override;
  TimerId StartTimer(int interval_ms, std::function<void()> callback) override;
  void StopTimer(TimerId id) override;
  // Runs posted tasks (including those they post) and repaints until nothing
  // is left, then raises each due timer once and again drains what the
  // ticks caused.
  void ProcessPendingEvents() override;
  // Processes pending events; answers Quit's exit code, or kNotQuit when the
  // queue ran dry without a Quit (the test drives what happens next).
  int Run() override;
  void Quit(int exit_code) override;
  void SetSaveRequestHandler(std::function<void()> handler) override { save_request_ = std::move(handler); }
  void SetDisplayLostHandler(std::function<void()> handler) override { display_lost_ = std::move(handler); }
  std::uint32_t TickCount() const override;
  // Advances the clock without processing events; timers falling due meanwhile
  // fire once at the next ProcessPendingEvents.
  void Sleep(int milliseconds) override;
  DateTime LocalNow() const override;
  Size ScreenSize() const override;
  Point CursorPosition() const override;

  static constexpr int kNotQuit = -1;

  // Runs posted tasks (including those they post) and nothing else: what the
  // Windows queue hands out before the next queued input, paints and timer
  // ticks waiting until no input is left.
  void RunPostedTasks();

  // Test controls.
  void SetLocalNow(DateTime now);
  void SetTickCount(std::uint32_t ticks);
  // Moves the clock forward in steps, stopping at each timer's due time to
  // raise it and process what it caused.
  void AdvanceTime(int milliseconds);
  void SetScreenSize(Size size);  // default 1280 x 1024
  void SetCursorPosition(Point screen_position);
  // The session ends, or a termination signal came: the handler runs (a
  // real backend would then end the process).
  void RequestSave() {
    if (save_request_) save_request_();
  }
  // The display went away: the handler runs, then the process would end.
  void LoseDisplay() {
    if (display_lost_) display_lost_();
  }
  std::size_t pending_tasks() const { return tasks_.size(); }
  std::size_t running_timers() const { return schedules_.size(); }
  // The exit code given to Quit, if it was called.
  std::optional<int> quit_code() const { return quit_code_; }
  // Called by ProcessPendingEvents after the queue ran dry, to repaint
  // invalid surfaces; answers whether it painted anything.
  void SetPaintHook(std::function<bool()> hook) { paint_hook_ = std::move(hook); }

 private:
  struct Schedule {
    int interval_ms;
    std::uint64_t next_due;  // in elapsed milliseconds
  };
  bool RunDueTimers();
  void DrainTasksAndPaints();

  std::deque<std::function<void()>> tasks_;
  TimerTable timers_;
  std::map<TimerId, Schedule> schedules_;
  std::uint64_t elapsed_ms_ = 0;  // since the loop was made
  std::uint32_t tick_base_ = 0;
  DateTime now_base_;
  Size screen_{1280, 1024};
  Point cursor_{0, 0};
  std::optional<int> quit_code_;
  std::function<bool()> paint_hook_;
  std::function<void()> display_lost_;
  std::function<void()> save_request_;
};

}  // namespace tarnwick
