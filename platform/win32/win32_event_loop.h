// The event loop on the Windows message queue, with the clock and the screen.
//
// Posted tasks and timers go to a message-only window of the loop's own; Run
// is a GetMessage loop. Before a message is dispatched the window system may
// take it (SetPreDispatchHook: mnemonic keys, the wheel to the focus), and
// then IsDialogMessage gives the top-level window its Tab order; controls
// that want Tab, Enter or the arrows themselves say so in WM_GETDLGCODE.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <deque>
#include <functional>
#include <memory>

#include "platform/event_loop.h"
#include "platform/timer_table.h"

namespace tarnwick::win32 {

class Win32EventLoop : public EventLoop {
 public:
  Win32EventLoop();
  ~Win32EventLoop() override;
  Win32EventLoop(const Win32EventLoop&) = delete;
  Win32EventLoop& operator=(const Win32EventLoop&) = delete;

  // Called with every message taken from the queue by Run and
  // ProcessPendingEvents, before anything else; answering true means the
  // hook handled it and it is not dispatched.
  using PreDispatchHook = std::function<bool(MSG& message)>;
  void SetPreDispatchHook(PreDispatchHook hook) { pre_dispatch_ = std::move(hook); }

  void Post(std::function<void()> task) override;
  TimerId StartTimer(int interval_ms, std::function<void()> callback) override;
  void StopTimer(TimerId id) override;
  void ProcessPendingEvents() override;
  int Run() override;
  void Quit(int exit_code) override;
  void SetSaveRequestHandler(std::function<void()> handler) override { save_request_ = std::move(handler); }
  // The window station outlives the process: the display is never lost.
  void SetDisplayLostHandler(std::function<void()>) override {}
  // A top-level window heard that the session ends (WM_ENDSESSION).
  void RequestSave() {
    if (save_request_) save_request_();
  }
  std::uint32_t TickCount() const override;
  void Sleep(int milliseconds) override;
  DateTime LocalNow() const override;
  Size ScreenSize() const override;
  Point CursorPosition() const override;

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  void RunNextTask();
  void Handle(MSG& message);

  HWND window_ = nullptr;  // message-only
  std::deque<std::function<void()>> tasks_;
  TimerTable timers_;
  PreDispatchHook pre_dispatch_;
  std::function<void()> save_request_;
  bool quit_requested_ = false;
  int exit_code_ = 0;
};

}  // namespace tarnwick::win32
