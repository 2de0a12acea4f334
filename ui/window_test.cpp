#include "ui/window.h"

#include <gtest/gtest.h>

#include <string>

#include "base/text.h"
#include "testing/ui_driver.h"

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

class WindowTest : public testing::UiTest {
 protected:
  WindowTest() {
    design_.caption = Gbk("Tarnwick V2.8 beta  ");
    design_.rect = {50, 50, 371, 596};
    design_.start_position = 1;
    design_.ends_program_on_close = true;
  }
  WindowDesign design_;
};

TEST_F(WindowTest, CreatedIsRaisedOnceAfterAllControlsExistThenTheWindowShows) {
  Window window(platform(), "main", design_);
  Size screen = platform().loop().ScreenSize();
  EXPECT_EQ(window.rect(), (Rect{(screen.width - 371) / 2, (screen.height - 596) / 2, 371, 596})) << "centred";
  std::string trace;
  window.SetHandler(Window::kCreated, [&](const EventArgs&) {
    trace += "created(" + std::to_string(window.controls().size()) + "," +
             (window.native_window().IsVisible() ? "shown" : "hidden") + ") ";
    return true;
  });
  window.Add<FakeButton>(nullptr, "a", Rect{0, 0, 10, 10}, ControlFlags{}, "&A");
  window.Add<FakeButton>(nullptr, "b", Rect{0, 0, 10, 10}, ControlFlags{}, "&B");
  EXPECT_FALSE(window.native_window().IsVisible());
  Show(window);
  window.Load();
  EXPECT_EQ(trace, "created(2,hidden) ");
  EXPECT_TRUE(window.native_window().IsVisible());
  EXPECT_TRUE(window.IsActive());
  EXPECT_EQ(window.Find("b")->name(), "b");
  EXPECT_EQ(window.Find("c"), nullptr);
}

TEST_F(WindowTest, QueryCloseAnsweringFalseKeepsTheWindow) {
  Window window(platform(), "main", design_);
  Show(window);
  bool allow = false;
  int asked = 0;
  window.SetHandler(Window::kQueryClose, [&](const EventArgs&) {
    ++asked;
    return allow;
  });
  driver().RequestClose(window);
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(window.closed());
  EXPECT_TRUE(window.native_window().IsVisible());
  allow = true;
  driver().RequestClose(window);
  EXPECT_EQ(asked, 2);
  EXPECT_TRUE(window.closed());
  EXPECT_FALSE(window.native_window().IsVisible());
}

TEST_F(WindowTest, RunTimePropertiesKeepTheCornerAndFollowTheUsersMoves) {
  Window window(platform(), "main", design_);
  Show(window);
  Rect at = window.outer_rect();
  EXPECT_EQ(std::get<std::string>(window.GetProperty(Window::kCaption)), Gbk("Tarnwick V2.8 beta  "));
  EXPECT_TRUE(window.SetProperty(property::kWidth, 664));
  EXPECT_EQ(window.outer_rect(), (Rect{at.left, at.top, 664, 596}));  // left and top kept
  EXPECT_EQ(window.ClientSize(), (Size{658, 568}));
  EXPECT_FALSE(window.SetProperty(property::kHeight, std::string("x")));
  EXPECT_TRUE(window.SetProperty(property::kHeight, 290));
  EXPECT_EQ(window.ClientSize(), (Size{658, 262}));
  EXPECT_TRUE(window.SetProperty(property::kVisible, false));
  EXPECT_FALSE(window.native_window().IsVisible());
}

TEST_F(WindowTest, MnemonicsReachTheFirstVisibleEnabledClickableControl) {
  Window window(platform(), "main", design_);
  std::string trace;
  auto& hidden = window.Add<FakeButton>(nullptr, "hidden", Rect{}, ControlFlags{false, false, true}, "&W");
  auto& disabled = window.Add<FakeButton>(nullptr, "disabled", Rect{}, ControlFlags{true, true, true}, "x&w");
  auto& literal = window.Add<FakeButton>(nullptr, "literal", Rect{}, ControlFlags{}, "a&&w");
  auto& edit = window.Add<FakeButton>(nullptr, "edit", Rect{}, ControlFlags{}, "\r\n&W");
  auto& later = window.Add<FakeButton>(nullptr, "later", Rect{}, ControlFlags{}, "&W");
  for (FakeButton* button : {&hidden, &disabled, &literal, &edit, &later}) {
    button->SetHandler(0, [&trace, button](const EventArgs&) { trace += button->name() + " "; return true; });
  }
  Show(window);
  driver().KeyDown('W', kKeyStateAlt);
  EXPECT_EQ(trace, "edit ");
  edit.SetDisabled(true);
  disabled.SetDisabled(false);
  driver().KeyDown('W', kKeyStateAlt);
  EXPECT_EQ(trace, "edit disabled ");
  driver().KeyDown('W', kKeyStateAlt | kKeyStateCtrl);
  driver().KeyDown('Q', kKeyStateAlt);
  EXPECT_EQ(trace, "edit disabled ");
}

}  // namespace
}  // namespace tarnwick
