// The contract suite of the window-system layer: one source of tests, built
// once per backend. Each test program links one implementation of
// MakeBackendDriver (headless, Qt on its offscreen platform, Win32 under
// Wine), which hands the tests the backend and acts on its windows as a user
// does, through the window system's own input path.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace tarnwick::testing {

class BackendDriver {
 public:
  virtual ~BackendDriver() = default;

  virtual Platform& platform() = 0;
  // "headless", "qt" or "win32", for messages.
  virtual std::string name() const = 0;

  // Shows the window and waits until it is the active window.
  virtual void ShowActive(NativeWindow& window) = 0;
  // Handles everything pending: posted tasks, input, paints.
  virtual void Settle() = 0;
  // Lets the time pass with the loop running, so timers tick.
  virtual void RunFor(int milliseconds) = 0;

  // The user's input; points are in the window's client coordinates. Each
  // action is followed by the events it caused.
  virtual void Click(NativeWindow& window, Point client, MouseButton button = MouseButton::kLeft) = 0;
  // The pointer rests at client while the wheel turns.
  virtual void TurnWheel(NativeWindow& window, Point client, int delta) = 0;
  // To whatever has the focus: down, then up.
  virtual void PressKey(int key_code, int key_state = 0) = 0;
  // Characters (GBK) typed into the focused control.
  virtual void TypeText(std::string_view text) = 0;
  // The user clicks the window's close box.
  virtual void RequestClose(NativeWindow& window) = 0;

  // The user's answer to the next dialog of its kind, armed before the
  // program shows it; while_shown runs while the box is up, before the user
  // answers.
  virtual void AnswerNextMessageBox(MessageResult answer, std::function<void()> while_shown = {}) = 0;
  // nullopt: the user cancels; otherwise the text typed before confirming.
  virtual void AnswerNextInputBox(std::optional<std::string> typed) = 0;

  // A pixel of a canvas made by this backend.
  virtual Color PixelAt(const Canvas& canvas, Point at) = 0;
};

// The backend this executable tests.
std::unique_ptr<BackendDriver> MakeBackendDriver();

// Writes what a window or control hears into a trace shared by several,
// each entry prefixed by the recorder's name.
class TraceRecorder : public WindowListener {
 public:
  TraceRecorder(std::string name, std::string& trace) : name_(std::move(name)), trace_(trace) {}

  bool OnMouse(const MouseEvent& event) override;
  bool OnWheel(const WheelEvent& event) override;
  bool OnKey(const KeyEvent& event) override;
  bool OnCharacter(std::uint32_t code) override;
  void OnFocusChanged(bool has_focus) override {
    if (record_focus) Add(has_focus ? "focus" : "blur");
  }
  void OnClicked() override { Add("clicked"); }
  void OnSelectionChanged() override { Add("selchange"); }
  void OnTextChanged() override { Add("changed"); }
  void OnPaint(Canvas& canvas, const Rect& dirty) override;
  void OnActivationChanged(bool active, bool to_other_program) override {
    Add(active ? "active" : to_other_program ? "inactive(other)" : "inactive");
  }
  bool OnCloseRequested() override {
    Add("close");
    return true;
  }
  bool OnMnemonicKey(const KeyEvent& event) override;

  // Back to the defaults below.
  void Reset();

  // What is recorded beyond clicks, selections, text changes and
  // activation, which always are.
  bool record_focus = true;
  bool record_mouse = false;  // presses and releases (moves never)
  bool record_keys = false;   // key downs and characters
  // The answers given.
  bool mouse_answer = true;
  bool key_answer = true;
  bool mnemonic_answer = false;
  // Every dirty rectangle painted, in order.
  std::vector<Rect> painted;

 private:
  void Add(const std::string& entry) { trace_ += name_ + ":" + entry + " "; }

  std::string name_;
  std::string& trace_;
};

// A contract test: the backend and its main window (371 x 596, fixed frame
// with a title bar), shown and active, with the trace its listeners write.
// Both are made once for the whole program and reset before each test: on
// Wine without a window manager every top-level window hidden or destroyed
// costs a second.
class BackendContractTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  static BackendDriver& driver();
  Platform& platform() { return driver().platform(); }
  WindowSystem& windows() { return platform().windows(); }
  EventLoop& loop() { return platform().loop(); }
  NativeWindow& window() { return *window_; }

  static std::string& trace_;
  static TraceRecorder& window_listener_;

 private:
  NativeWindow* window_ = nullptr;
};

}  // namespace tarnwick::testing
