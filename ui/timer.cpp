#include "ui/timer.h"

namespace tarnwick {

Timer::Timer(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags)
    : Control(window, parent, std::move(name), ControlKind::kTimer, rect, flags) {}

Timer::~Timer() { Stop(); }

Value Timer::GetProperty(int number) const {
  if (number == kInterval) return interval_;
  return Control::GetProperty(number);
}

bool Timer::SetProperty(int number, const Value& value) {
  if (number != kInterval) return Control::SetProperty(number, value);
  const int* milliseconds = std::get_if<int>(&value);
  if (milliseconds == nullptr || *milliseconds < 0) return false;
  SetInterval(*milliseconds);
  return true;
}

void Timer::SetInterval(int milliseconds) {
  interval_ = milliseconds < 0 ? 0 : milliseconds;
  Stop();
  if (window().loaded() && !window().closed()) Start();
}

void Timer::Start() {
  if (interval_ <= 0 || timer_id_ != 0) return;
  timer_id_ = platform().loop().StartTimer(interval_, [this] { Raise(kTick); });
}

void Timer::Stop() {
  if (timer_id_ == 0) return;
  platform().loop().StopTimer(timer_id_);
  timer_id_ = 0;
}

void Timer::OnWindowLoaded() { Start(); }
void Timer::OnWindowClosed() { Stop(); }

}  // namespace tarnwick
