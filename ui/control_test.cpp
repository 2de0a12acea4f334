#include "ui/control.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "testing/ui_driver.h"
#include "ui/edit_box.h"
#include "ui/super_btn.h"

namespace tarnwick {
namespace {

class ControlTest : public testing::UiTest {
 protected:
  ControlTest() : window_(platform(), "main", LargeWindow()) {}

  // Records every common event of a control as "name:number(args)".
  void Record(Control& control) {
    for (int number = event::kWheelScrolled; number <= event::kLeftButtonDown; ++number) {
      control.SetHandler(number, [this, &control, number](const EventArgs& args) {
        trace_ += control.name() + ":" + std::to_string(number) + "(";
        for (std::size_t i = 0; i < args.size(); ++i) trace_ += (i ? "," : "") + std::to_string(ArgInt(args, i));
        trace_ += ") ";
        return number != stop_;
      });
    }
  }

  Window window_;
  std::string trace_;
  int stop_ = 0;  // the event whose handler answers false
};

TEST_F(ControlTest, WheelTurnsAddUpToWholeNotches) {
  auto& edit = window_.Add<EditBox>(nullptr, "edit", Rect{0, 0, 100, 20});
  Show(window_);
  edit.SetFocus();
  Record(edit);
  driver().TurnWheel(-119);
  driver().TurnWheel(-240, kKeyStateCtrl);
  driver().TurnWheel(130, kKeyStateShift | kKeyStateAlt);
  driver().TurnWheel(0);
  driver().TurnWheel(50);
  driver().TurnWheel(70);
  // -119 is no notch yet; with -240 it makes two (-359); the turn the other
  // way starts afresh: 130 is one; 10, 50 and 70 make the next.
  EXPECT_EQ(trace_, "edit:-12(-2,1) edit:-12(1,6) edit:-12(1,0) ");
}

TEST_F(ControlTest, KeysCharactersAndFocusWithTheirArguments) {
  auto& first = window_.Add<EditBox>(nullptr, "first", Rect{0, 0, 100, 20});
  auto& second = window_.Add<EditBox>(nullptr, "second", Rect{0, 30, 100, 20});
  Show(window_);
  first.SetFocus();
  Record(first);
  Record(second);
  driver().TypeText(Gbk("中") + "a");
  driver().PressKey(keys::kTab);
  EXPECT_EQ(trace_, "first:-11(54992) first:-11(97) first:-9(9,0) first:-8() second:-7() second:-10(9,0) ");
  EXPECT_EQ(first.text(), Gbk("中") + "a");

  trace_.clear();
  stop_ = event::kKeyDown;  // a key-down answered false: Tab does not move the focus
  driver().PressKey(keys::kTab);
  EXPECT_TRUE(second.HasFocus());
  stop_ = event::kCharacter;  // a character answered false is not typed
  driver().TypeText("z");
  EXPECT_EQ(second.text(), "");
}

TEST_F(ControlTest, TabSkipsControlsThatAreNotTabStops) {
  auto& edit = window_.Add<SuperBtn>(nullptr, "edit", Rect{0, 0, 80, 60});
  auto& options = window_.Add<SuperBtn>(nullptr, "options", Rect{90, 0, 80, 60}, ControlFlags{true, true, false});
  auto& search = window_.Add<SuperBtn>(nullptr, "search", Rect{180, 0, 80, 60});
  options.SetDisabled(false);  // enabled, yet still no Tab stop
  Show(window_);
  edit.SetFocus();
  driver().PressKey(keys::kTab);
  EXPECT_TRUE(search.HasFocus());
  EXPECT_FALSE(options.tab_stop());
}

TEST_F(ControlTest, PostedEventsRunAfterTheHandlerAndNotAfterTheControlIsGone) {
  auto window = std::make_unique<Window>(platform(), "w", LargeWindow());
  auto& button = window->Add<SuperBtn>(nullptr, "b", Rect{0, 0, 10, 10});
  button.SetHandler(5, [&](const EventArgs& args) { trace_ += "posted" + std::to_string(ArgInt(args, 0)) + " "; return true; });
  button.SetHandler(SuperBtn::kClicked, [&](const EventArgs&) {
    button.PostEvent(5, {1});
    trace_ += "clicked ";
    return true;
  });
  button.Raise(SuperBtn::kClicked);
  EXPECT_EQ(trace_, "clicked ");
  Settle();
  EXPECT_EQ(trace_, "clicked posted1 ");

  button.PostEvent(5, {2});
  window.reset();
  Settle();  // must not touch the destroyed control
  EXPECT_EQ(trace_, "clicked posted1 ");
}

}  // namespace
}  // namespace tarnwick
