// The headless backend as a whole: a deterministic Platform for tests and
// benchmarks, with every part reachable for the test to drive and inspect.
#pragma once

#include "platform/headless/headless_canvas.h"
#include "platform/headless/headless_dialogs.h"
#include "platform/headless/headless_event_loop.h"
#include "platform/headless/headless_shell.h"
#include "platform/headless/headless_window_system.h"
#include "platform/platform.h"

namespace tarnwick {

class HeadlessPlatform : public Platform {
 public:
  HeadlessPlatform() : shell_(loop_), window_system_(loop_, shell_) {
    loop_.SetPaintHook([this] { return window_system_.PaintInvalidSurfaces(); });
    dialogs_.SetWindowSystem(&window_system_);
  }
  HeadlessPlatform(const HeadlessPlatform&) = delete;
  HeadlessPlatform& operator=(const HeadlessPlatform&) = delete;

  WindowSystem& windows() override { return window_system_; }
  Dialogs& dialogs() override { return dialogs_; }
  EventLoop& loop() override { return loop_; }
  Shell& shell() override { return shell_; }

  HeadlessWindowSystem& headless_windows() { return window_system_; }
  HeadlessDialogs& headless_dialogs() { return dialogs_; }
  HeadlessEventLoop& headless_loop() { return loop_; }
  HeadlessShell& headless_shell() { return shell_; }

 private:
  HeadlessEventLoop loop_;
  HeadlessShell shell_;
  HeadlessDialogs dialogs_;
  HeadlessWindowSystem window_system_;
};

}  // namespace tarnwick
