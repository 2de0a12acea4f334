// What the Win32 window-system tests share: a shown top-level window on the
// display, a listener that writes what it hears into a trace, and a message
// pump that goes through the window system's pre-dispatch as the loop does.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

#include "base/text.h"
#include "platform/win32/win32_canvas.h"
#include "platform/win32/win32_event_loop.h"
#include "platform/win32/win32_window_handle.h"
#include "platform/win32/win32_window_system.h"

namespace tarnwick::win32::testing {

class Recorder : public WindowListener {
 public:
  std::string trace;
  bool mouse_answer = true;
  bool key_answer = true;
  bool mnemonic_answer = false;
  Canvas* painted_on = nullptr;
  Rect painted;
  std::function<void()> on_clicked;

  bool OnMouse(const MouseEvent& event) override {
    const char* actions[] = {"move", "press", "release", "double"};
    const char* buttons[] = {"", "L", "R", "M"};
    trace += std::string(actions[static_cast<int>(event.action)]) + buttons[static_cast<int>(event.button)] + "(" +
             std::to_string(event.position.x) + "," + std::to_string(event.position.y) + ") ";
    return mouse_answer;
  }
  void OnMouseLeave() override { trace += "leave "; }
  bool OnWheel(const WheelEvent& event) override {
    trace += "wheel" + std::to_string(event.delta) + "(" + std::to_string(event.position.x) + "," +
             std::to_string(event.position.y) + ") ";
    return true;
  }
  bool OnKey(const KeyEvent& event) override {
    trace += (event.down ? "down" : "up") + std::to_string(event.key_code) + " ";
    return key_answer;
  }
  bool OnCharacter(std::uint32_t code) override {
    char hex[16];
    std::snprintf(hex, sizeof hex, "char%X ", code);
    trace += hex;
    return true;
  }
  void OnFocusChanged(bool has_focus) override { trace += has_focus ? "focus " : "blur "; }
  void OnClicked() override {
    trace += "clicked ";
    if (on_clicked) on_clicked();
  }
  void OnSelectionChanged() override { trace += "selchange "; }
  void OnTextChanged() override { trace += "changed "; }
  void OnPaint(Canvas& canvas, const Rect& dirty) override {
    painted_on = &canvas;
    painted = dirty;
    canvas.FillRect({0, 0, canvas.size().width, canvas.size().height}, Rgb(255, 0, 0));
    trace += "paint ";
  }
  void OnActivationChanged(bool active, bool to_other_program) override {
    trace += active ? "active " : to_other_program ? "inactive(other) " : "inactive ";
  }
  bool OnCloseRequested() override {
    trace += "close ";
    return true;
  }
  bool OnMnemonicKey(const KeyEvent& event) override {
    trace += "mnemonic" + std::to_string(event.key_code) + " ";
    return mnemonic_answer;
  }
};

// The main window's frame: fixed, title bar, close box, in the task bar.
inline WindowStyle MainWindowStyle() { return WindowStyle{}; }

// One loop, window system and main window for every test of the program:
// under Wine without a window manager, hiding or destroying a shown window
// waits a second for the X server, so the window is made once.
inline Recorder& SharedListener() {
  static Recorder listener;
  return listener;
}

struct SharedWindow {
  std::unique_ptr<Win32EventLoop> loop;
  std::unique_ptr<Win32WindowSystem> windows;
  std::unique_ptr<NativeWindow> window;
};

inline SharedWindow& Shared() {
  static SharedWindow* shared = [] {
    auto* made = new SharedWindow;
    made->loop = std::make_unique<Win32EventLoop>();
    made->windows = std::make_unique<Win32WindowSystem>(*made->loop);
    made->window = made->windows->CreateTopLevelWindow(MainWindowStyle(), {50, 50, 371, 596}, Gbk("备忘测试"),
                                                       SharedListener());
    if (made->window != nullptr) made->window->Show();
    return made;
  }();
  return *shared;
}

class Win32WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') GTEST_SKIP() << "real windows need a display; DISPLAY is not set";
    SharedWindow& shared = Shared();
    ASSERT_NE(shared.window, nullptr);
    windows_ = shared.windows.get();
    window_ = shared.window.get();
    window_->SetOuterRect({50, 50, 371, 596});
    window_->Activate();
    Pump();
    window_listener_.trace.clear();
    window_listener_.mnemonic_answer = false;
  }

  // Handles what is queued, as the event loop does.
  static void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (PreDispatchMessage(message)) continue;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
  }

  template <class T>
  static HWND Handle(T& object) {
    return WindowHandleOf(&object);
  }

  static std::wstring Wide(const char* utf8) {
    std::u16string units = GbkToUtf16(Gbk(utf8));
    return std::wstring(units.begin(), units.end());
  }

  Recorder& window_listener_ = SharedListener();
  Win32WindowSystem* windows_ = nullptr;
  NativeWindow* window_ = nullptr;
};

}  // namespace tarnwick::win32::testing
