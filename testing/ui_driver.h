// Widget behaviour tests that run on every backend from one source: a driver
// acts on the real widgets as a user does (pointer, wheel, keys, typing) and
// reads back what a user sees (pixels of a control's drawing, the colour a
// text is drawn in, which control lies under a point).
//
// Each test executable links one implementation of MakeUiDriver: the headless
// backend (headless_ui_driver.cpp), Qt 6 on its offscreen platform
// (qt_ui_driver.cpp, synthetic Qt events on the real widgets) or Win32 under
// Wine (win32_ui_driver.cpp, the system's own input on real windows). Tests
// about the headless backend's own inspection aids stay in HeadlessUiTest.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "ui/control.h"
#include "ui/window.h"

namespace tarnwick::testing {

class UiDriver {
 public:
  virtual ~UiDriver() = default;

  virtual Platform& platform() = 0;
  // "headless", "qt" or "win32", for messages.
  virtual std::string backend() const = 0;
  // Why the backend cannot run here (a display it needs is missing); empty
  // when it can. The tests are then skipped.
  virtual std::string Unavailable() const { return {}; }

  // After Window::Load: waits until the window is shown, active and painted.
  virtual void WaitUntilShown(Window& window) = 0;

  // Pointer input at a point of the window's client area.
  virtual void MovePointer(Window& window, Point client) = 0;
  virtual void PressButton(Window& window, Point client, MouseButton button, int key_state = 0) = 0;
  virtual void ReleaseButton(Window& window, Point client, MouseButton button, int key_state = 0) = 0;
  // Move, press and release at one point.
  virtual void Click(Window& window, Point client, MouseButton button = MouseButton::kLeft, int key_state = 0) = 0;
  // The system's sequence: press, release, double click, release.
  virtual void DoubleClick(Window& window, Point client) = 0;
  // The pointer leaves the window.
  virtual void MovePointerAway(Window& window) = 0;

  // Keyboard input to whatever has the focus.
  virtual void TurnWheel(int delta, int key_state = 0) = 0;
  virtual void KeyDown(int key_code, int key_state = 0) = 0;
  // Down, then up (the release goes to the focus as it is after the press).
  virtual void PressKey(int key_code, int key_state = 0) = 0;
  // Characters committed to the focused control (GBK), as an input method
  // delivers them: character events only, no key events.
  virtual void TypeText(std::string_view text) = 0;

  // Dialogs. The user's answer to the next dialog of its kind is armed before
  // the program shows it; a dialog shown without an armed answer fails the
  // test and is cancelled.
  virtual void AnswerNextMessageBox(MessageResult answer) = 0;
  // nullopt: the user cancels; otherwise the text typed before confirming.
  virtual void AnswerNextInputBox(std::optional<std::string> typed) = 0;
  // The entry with this caption is clicked; empty: the menu is dismissed.
  virtual void AnswerNextPopupMenu(std::string caption) = 0;
  struct ShownDialog {
    std::string title;   // GBK
    std::string text;    // message text or input prompt
    MessageButtons buttons = MessageButtons::kOk;  // message box
    bool owned = false;  // modal to one window rather than to the program
    bool masked = false;                            // input box
    std::string confirm_caption, cancel_caption;    // input box
    std::vector<MenuEntry> menu;                    // popup menu
    Point position;                                 // popup menu, screen coordinates
  };
  // Every dialog shown so far, in order.
  virtual std::vector<ShownDialog> ShownDialogs() = 0;

  // The user clicks the close box.
  virtual void RequestClose(Window& window) = 0;

  // Handles everything pending: posted events, repaints.
  virtual void Settle() = 0;

  // What the user sees. Points are in the control's own client coordinates.
  virtual Color PixelAt(const Control& control, Point local) = 0;
  // Whether the control's drawing shows text in exactly this colour.
  virtual bool ShowsTextIn(const Control& control, Color color) = 0;
  // The control whose area lies under a point of the window's client area;
  // nullptr outside the client area or where no control is.
  virtual const Control* ControlAt(Window& window, Point client) = 0;
  // The tooltip the control shows.
  virtual std::string ToolTip(const Control& control) = 0;
  // Whether the control itself is shown (its own flag and its parents').
  virtual bool IsShown(const Control& control) = 0;
};

// The backend this executable tests.
std::unique_ptr<UiDriver> MakeUiDriver();

class UiTest : public ::testing::Test {
 protected:
  UiTest() : driver_(MakeUiDriver()) {}
  void SetUp() override {
    if (std::string why = driver_->Unavailable(); !why.empty()) GTEST_SKIP() << why;
  }

  // A titled window of 800 x 700 at the screen's top left.
  static WindowDesign LargeWindow() {
    WindowDesign design;
    design.rect = {0, 0, 800, 700};
    return design;
  }

  Platform& platform() { return driver_->platform(); }
  UiDriver& driver() { return *driver_; }

  // Loads the window and waits until it is on screen.
  void Show(Window& window) {
    window.Load();
    driver_->WaitUntilShown(window);
  }

  // Where a point of the control lies in its window's client area: the
  // control's rectangle is relative to its group box, the group box's to the
  // window.
  static Point InWindow(const Control& control, Point local) {
    Point at = local;
    for (const Control* c = &control; c != nullptr; c = c->parent()) {
      at.x += c->left();
      at.y += c->top();
    }
    return at;
  }
  static Point Centre(const Control& control) {
    return InWindow(control, {control.width() / 2, control.height() / 2});
  }

  void Hover(Control& control, Point local = {2, 2}) {
    driver_->MovePointer(control.window(), InWindow(control, local));
  }
  void Click(Control& control, Point local = {2, 2}, MouseButton button = MouseButton::kLeft, int key_state = 0) {
    driver_->Click(control.window(), InWindow(control, local), button, key_state);
  }
  void DoubleClick(Control& control, Point local = {2, 2}) {
    driver_->DoubleClick(control.window(), InWindow(control, local));
  }
  void Settle() { driver_->Settle(); }

  std::unique_ptr<UiDriver> driver_;
};

}  // namespace tarnwick::testing
