// Start-up measurement aid of the Windows program, measured the way the
// Linux program is (app/first_paint_probe.h).
//
// When the environment variable TARNWICK_EXIT_AFTER_FIRST_PAINT is set, the
// first WM_PAINT taken from the queue for a visible top-level window (or a
// control in one) arms a thread timer; WM_TIMER is raised only when no paint
// is pending, so when it arrives every window has been painted. The process
// then writes "painted\n" to standard output and ends its message loop with
// exit code 0. Without the variable nothing is installed.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdio>

namespace tarnwick::win32 {

class FirstPaintProbe {
 public:
  static void InstallIfAsked() {
    if (GetEnvironmentVariableW(L"TARNWICK_EXIT_AFTER_FIRST_PAINT", nullptr, 0) == 0) return;
    hook() = SetWindowsHookExW(WH_GETMESSAGE, Watch, nullptr, GetCurrentThreadId());
  }

 private:
  static HHOOK& hook() {
    static HHOOK handle = nullptr;
    return handle;
  }

  static LRESULT CALLBACK Watch(int code, WPARAM wparam, LPARAM lparam) {
    const auto* message = reinterpret_cast<const MSG*>(lparam);
    static bool armed = false;
    if (code == HC_ACTION && wparam == PM_REMOVE && !armed && message->message == WM_PAINT &&
        message->hwnd != nullptr) {
      HWND root = GetAncestor(message->hwnd, GA_ROOT);
      if (root != nullptr && IsWindowVisible(root)) {
        armed = true;
        SetTimer(nullptr, 0, 1, Painted);
      }
    }
    return CallNextHookEx(hook(), code, wparam, lparam);
  }

  static void CALLBACK Painted(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    UnhookWindowsHookEx(hook());
    std::fputs("painted\n", stdout);
    std::fflush(stdout);
    PostQuitMessage(0);
  }
};

}  // namespace tarnwick::win32
