// A test fixture for widgets on the headless backend: a fresh platform whose
// unexpected dialogs fail the test, and helpers that act on controls the way
// a user does (by pointer position within the control).
#pragma once

#include <gtest/gtest.h>

#include "platform/headless/headless_platform.h"
#include "ui/control.h"
#include "ui/window.h"

namespace tarnwick::testing {

class HeadlessUiTest : public ::testing::Test {
 protected:
  HeadlessUiTest() {
    platform_.headless_dialogs().SetFailureHandler([](const std::string& message) { ADD_FAILURE() << message; });
  }

  // A titled window of 800 x 700 at the screen's top left.
  static WindowDesign LargeWindow() {
    WindowDesign design;
    design.rect = {0, 0, 800, 700};
    return design;
  }

  HeadlessWindowSystem& windows() { return platform_.headless_windows(); }
  HeadlessEventLoop& loop() { return platform_.headless_loop(); }
  HeadlessDialogs& dialogs() { return platform_.headless_dialogs(); }
  HeadlessShell& shell() { return platform_.headless_shell(); }

  static HeadlessWindow& NativeOf(Window& window) { return static_cast<HeadlessWindow&>(window.native_window()); }
  // The headless node behind a control (nullptr for invisible components).
  static HeadlessNode* NodeOf(const Control& control) { return dynamic_cast<HeadlessNode*>(control.native()); }
  // The owner-drawn surface of a self-drawn control.
  static HeadlessSurface& SurfaceOf(const Control& control) {
    return *dynamic_cast<HeadlessSurface*>(control.native());
  }
  // A point of the control (its own client coordinates) in its window's.
  static Point InWindow(const Control& control, Point local) {
    Point origin = NodeOf(control)->OriginInWindow();
    return {origin.x + local.x, origin.y + local.y};
  }

  void Hover(Control& control, Point local = {2, 2}) {
    windows().MoveMouse(NativeOf(control.window()), InWindow(control, local));
  }
  void Click(Control& control, Point local = {2, 2}, MouseButton button = MouseButton::kLeft, int key_state = 0) {
    windows().Click(NativeOf(control.window()), InWindow(control, local), button, key_state);
  }
  void DoubleClick(Control& control, Point local = {2, 2}) {
    windows().DoubleClick(NativeOf(control.window()), InWindow(control, local));
  }
  // Paints whatever is invalid.
  void Settle() { platform_.loop().ProcessPendingEvents(); }

  HeadlessPlatform platform_;
};

}  // namespace tarnwick::testing
