#include "ui/window.h"

#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "platform/headless/headless_platform.h"

namespace tarnwick {
namespace {

// A clickable control with a caption, enough to exercise the window's
// mnemonic search without any real kind.
class FakeButton : public Control {
 public:
  FakeButton(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags,
             std::string caption)
      : Control(window, parent, std::move(name), ControlKind::kButton, rect, flags), caption_(std::move(caption)) {}
  bool IsClickable() const override { return true; }
  std::string MnemonicCaption() const override { return caption_; }
  void ClickByMnemonic() override { Raise(0); }

 private:
  std::string caption_;
};

class WindowTest : public ::testing::Test {
 protected:
  WindowTest() {
    design_.caption = Gbk("Tarnwick V2.8 beta  ");
    design_.rect = {50, 50, 371, 596};
    design_.start_position = 1;
    design_.ends_program_on_close = true;
  }
  HeadlessWindow& native(Window& window) { return static_cast<HeadlessWindow&>(window.native_window()); }

  HeadlessPlatform platform_;
  WindowDesign design_;
};

TEST_F(WindowTest, CreatedIsRaisedOnceAfterAllControlsExistThenTheWindowShows) {
  Window window(platform_, "main", design_);
  EXPECT_EQ(window.rect(), (Rect{454, 214, 371, 596}));  // centred on 1280 x 1024
  std::string trace;
  window.SetHandler(Window::kCreated, [&](const EventArgs&) {
    trace += "created(" + std::to_string(window.controls().size()) + "," +
             (window.native_window().IsVisible() ? "shown" : "hidden") + ") ";
    return true;
  });
  window.Add<FakeButton>(nullptr, "a", Rect{0, 0, 10, 10}, ControlFlags{}, "&A");
  window.Add<FakeButton>(nullptr, "b", Rect{0, 0, 10, 10}, ControlFlags{}, "&B");
  EXPECT_FALSE(window.native_window().IsVisible());
  window.Load();
  window.Load();
  EXPECT_EQ(trace, "created(2,hidden) ");
  EXPECT_TRUE(window.native_window().IsVisible());
  EXPECT_TRUE(window.IsActive());
  EXPECT_EQ(window.Find("b")->name(), "b");
  EXPECT_EQ(window.Find("c"), nullptr);
}

TEST_F(WindowTest, QueryCloseAnsweringFalseKeepsTheWindowAndTheProgram) {
  Window window(platform_, "main", design_);
  window.Load();
  bool allow = false;
  window.SetHandler(Window::kQueryClose, [&](const EventArgs&) { return allow; });
  platform_.headless_windows().RequestClose(native(window));
  EXPECT_FALSE(window.closed());
  EXPECT_TRUE(window.native_window().IsVisible());
  EXPECT_FALSE(platform_.headless_loop().quit_code());
  allow = true;
  EXPECT_TRUE(window.Close());
  EXPECT_FALSE(window.native_window().IsVisible());
  EXPECT_EQ(platform_.headless_loop().quit_code(), 0);
}

TEST_F(WindowTest, RunTimePropertiesAndWindowOrder) {
  Window window(platform_, "main", design_);
  window.Load();
  EXPECT_EQ(std::get<std::string>(window.GetProperty(Window::kCaption)), Gbk("Tarnwick V2.8 beta  "));
  EXPECT_TRUE(window.SetProperty(property::kWidth, 664));
  EXPECT_EQ(window.outer_rect(), (Rect{454, 214, 664, 596}));  // left and top kept
  EXPECT_EQ(window.ClientSize(), (Size{658, 568}));
  EXPECT_FALSE(window.SetProperty(property::kHeight, std::string("x")));
  native(window).SetOuterRect({30, -20, 664, 596});  // the user drags it
  EXPECT_EQ(std::get<int>(window.GetProperty(property::kTop)), -20);
  EXPECT_EQ(window.top(), -20);
  EXPECT_TRUE(window.SetProperty(property::kVisible, false));
  EXPECT_FALSE(window.native_window().IsVisible());

  WindowDesign strip_design;
  strip_design.rect = {50, 0, 370, 2};
  strip_design.border_style = 0;
  strip_design.control_box = false;
  strip_design.visible = false;
  strip_design.takes_activation = false;
  Window strip(platform_, "DockStrip", strip_design);
  std::string trace;
  strip.SetHandler(Window::kActivated, [&](const EventArgs&) { trace += "activated "; return true; });
  strip.Load();
  EXPECT_FALSE(strip.native_window().IsVisible());
  strip.SetVisible(true);
  strip.SetWindowOrder(WindowOrder::kAlwaysOnTop);
  EXPECT_EQ(trace, "");
  EXPECT_EQ(platform_.headless_windows().ZOrder().front(), &native(strip));
  EXPECT_EQ(strip.rect(), (Rect{50, 0, 370, 2}));
}

TEST_F(WindowTest, DeactivationAndClientMouseEventsWithTheirArguments) {
  Window window(platform_, "main", design_);
  std::string trace;
  window.SetHandler(Window::kDeactivated, [&](const EventArgs&) { trace += "deactivated "; return true; });
  window.SetHandler(event::kLeftButtonDown, [&](const EventArgs& args) {
    trace += "down(" + std::to_string(ArgInt(args, 0)) + "," + std::to_string(ArgInt(args, 1)) + "," +
             std::to_string(ArgInt(args, 2)) + ") ";
    return true;
  });
  window.Load();
  platform_.headless_windows().PressMouse(native(window), {7, 9}, MouseButton::kLeft, kKeyStateShift);
  platform_.headless_windows().ActivateOtherApplication();
  EXPECT_EQ(trace, "down(7,9,2) deactivated ");
  EXPECT_EQ(window.BoundEvents(), (std::vector<int>{event::kLeftButtonDown, Window::kDeactivated}));
}

TEST_F(WindowTest, MnemonicsReachTheFirstVisibleEnabledClickableControl) {
  Window window(platform_, "main", design_);
  std::string trace;
  auto& hidden = window.Add<FakeButton>(nullptr, "hidden", Rect{}, ControlFlags{false, false, true}, "&W");
  auto& disabled = window.Add<FakeButton>(nullptr, "disabled", Rect{}, ControlFlags{true, true, true}, "x&w");
  auto& literal = window.Add<FakeButton>(nullptr, "literal", Rect{}, ControlFlags{}, "a&&w");
  auto& edit = window.Add<FakeButton>(nullptr, "edit", Rect{}, ControlFlags{}, "\r\n&W");
  auto& later = window.Add<FakeButton>(nullptr, "later", Rect{}, ControlFlags{}, "&W");
  for (FakeButton* button : {&hidden, &disabled, &literal, &edit, &later}) {
    button->SetHandler(0, [&trace, button](const EventArgs&) { trace += button->name() + " "; return true; });
  }
  window.Load();
  platform_.headless_windows().KeyDown('W', kKeyStateAlt);
  EXPECT_EQ(trace, "edit ");
  edit.SetDisabled(true);
  disabled.SetDisabled(false);
  platform_.headless_windows().KeyDown('W', kKeyStateAlt);
  EXPECT_EQ(trace, "edit disabled ");
  platform_.headless_windows().KeyDown('W', kKeyStateAlt | kKeyStateCtrl);
  platform_.headless_windows().KeyDown('Q', kKeyStateAlt);
  EXPECT_EQ(trace, "edit disabled ");
}

}  // namespace
}  // namespace tarnwick
