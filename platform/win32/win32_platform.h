// The window-system layer on Win32: the Platform that the Windows program
// builds. The window system takes the event loop so that it can see every
// message before it is dispatched (Win32EventLoop::SetPreDispatchHook).
#pragma once

#include "platform/platform.h"
#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_event_loop.h"
#include "platform/win32/win32_shell.h"
#include "platform/win32/win32_window_system.h"

namespace tarnwick::win32 {

class Win32Platform : public Platform {
 public:
  Win32Platform() : windows_(loop_) {}
  Win32Platform(const Win32Platform&) = delete;
  Win32Platform& operator=(const Win32Platform&) = delete;

  WindowSystem& windows() override { return windows_; }
  Dialogs& dialogs() override { return dialogs_; }
  EventLoop& loop() override { return loop_; }
  Shell& shell() override { return shell_; }

  Win32EventLoop& win32_loop() { return loop_; }

 private:
  Win32EventLoop loop_;  // before the window system, which hooks into it
  Win32Dialogs dialogs_;
  Win32Shell shell_;
  Win32WindowSystem windows_;
};

}  // namespace tarnwick::win32
