// The timer (Timer, 时钟): invisible at run time. Property 8: interval in
// milliseconds; a positive interval starts it when its window is created, 0
// leaves it stopped; writing the interval later restarts or stops it.
// Event 0, tick: raised once per interval on the user-interface thread;
// ticks do not pile up while a handler runs. The timer stops when its window
// closes.
#pragma once

#include "ui/control.h"
#include "ui/window.h"

namespace tarnwick {

class Timer : public Control, public WindowLifeFollower {
 public:
  static constexpr int kInterval = 8;
  static constexpr int kTick = 0;

  Timer(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags = {});
  ~Timer() override;

  Value GetProperty(int number) const override;
  bool SetProperty(int number, const Value& value) override;
  int interval() const { return interval_; }
  void SetInterval(int milliseconds);
  bool running() const { return timer_id_ != 0; }

  void OnWindowLoaded() override;
  void OnWindowClosed() override;

 private:
  void Start();
  void Stop();

  int interval_ = 0;
  EventLoop::TimerId timer_id_ = 0;
};

}  // namespace tarnwick
