#include "ui/control.h"

#include <gtest/gtest.h>

#include "base/text.h"
#include "testing/headless_ui.h"
#include "ui/edit_box.h"
#include "ui/super_btn.h"

namespace tarnwick {
namespace {

class ControlTest : public testing::HeadlessUiTest {
 protected:
  ControlTest() : window_(platform_, "main", LargeWindow()) {}

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

TEST_F(ControlTest, WheelNotchesTruncateTowardZero) {
  auto& edit = window_.Add<EditBox>(nullptr, "edit", Rect{0, 0, 100, 20});
  window_.Load();
  edit.SetFocus();
  Record(edit);
  windows().TurnWheel(-119);
  windows().TurnWheel(-240, kKeyStateCtrl);
  windows().TurnWheel(130, kKeyStateShift | kKeyStateAlt);
  EXPECT_EQ(trace_, "edit:-12(0,0) edit:-12(-2,1) edit:-12(1,6) ");
}

TEST_F(ControlTest, KeysCharactersAndFocusWithTheirArguments) {
  auto& first = window_.Add<EditBox>(nullptr, "first", Rect{0, 0, 100, 20});
  auto& second = window_.Add<EditBox>(nullptr, "second", Rect{0, 30, 100, 20});
  window_.Load();
  first.SetFocus();
  Record(first);
  Record(second);
  windows().TypeText(Gbk("中") + "a");
  windows().PressKey(keys::kTab);
  EXPECT_EQ(trace_, "first:-11(54992) first:-11(97) first:-9(9,0) first:-8() second:-7() second:-10(9,0) ");
  EXPECT_EQ(first.text(), Gbk("中") + "a");

  trace_.clear();
  stop_ = event::kKeyDown;  // a key-down answered false: Tab does not move the focus
  windows().PressKey(keys::kTab);
  EXPECT_TRUE(second.HasFocus());
  stop_ = event::kCharacter;  // a character answered false is not typed
  windows().TypeText("z");
  EXPECT_EQ(second.text(), "");
}

TEST_F(ControlTest, TabSkipsControlsThatAreNotTabStops) {
  auto& edit = window_.Add<SuperBtn>(nullptr, "edit", Rect{0, 0, 80, 60});
  auto& options = window_.Add<SuperBtn>(nullptr, "options", Rect{90, 0, 80, 60}, ControlFlags{true, true, false});
  auto& search = window_.Add<SuperBtn>(nullptr, "search", Rect{180, 0, 80, 60});
  options.SetDisabled(false);  // enabled, yet still no Tab stop
  window_.Load();
  edit.SetFocus();
  windows().PressKey(keys::kTab);
  EXPECT_TRUE(search.HasFocus());
  EXPECT_FALSE(options.tab_stop());
}

TEST_F(ControlTest, PostedEventsRunAfterTheHandlerAndNotAfterTheControlIsGone) {
  auto window = std::make_unique<Window>(platform_, "w", LargeWindow());
  auto& button = window->Add<SuperBtn>(nullptr, "b", Rect{0, 0, 10, 10});
  button.SetHandler(5, [&](const EventArgs& args) { trace_ += "posted" + std::to_string(ArgInt(args, 0)) + " "; return true; });
  button.SetHandler(SuperBtn::kClicked, [&](const EventArgs&) {
    button.PostEvent(5, {1});
    trace_ += "clicked ";
    return true;
  });
  button.Raise(SuperBtn::kClicked);
  EXPECT_EQ(trace_, "clicked ");
  loop().ProcessPendingEvents();
  EXPECT_EQ(trace_, "clicked posted1 ");

  button.PostEvent(5, {2});
  window.reset();
  loop().ProcessPendingEvents();  // must not touch the destroyed control
  EXPECT_EQ(trace_, "clicked posted1 ");
}

TEST_F(ControlTest, CommonPropertiesCheckTypesAndReachTheNativeControl) {
  auto& edit = window_.Add<EditBox>(nullptr, "edit", Rect{7, 20, 95, 20});
  EXPECT_FALSE(edit.SetProperty(property::kLeft, std::string("1")));
  EXPECT_FALSE(edit.SetProperty(property::kVisible, 1));
  EXPECT_TRUE(edit.SetProperty(property::kWidth, 120));
  EXPECT_TRUE(edit.SetProperty(property::kTag, std::string("t")));
  EXPECT_TRUE(edit.SetProperty(property::kVisible, false));
  EXPECT_EQ(NodeOf(edit)->rect(), (Rect{7, 20, 120, 20}));
  EXPECT_FALSE(NodeOf(edit)->visible_flag());
  EXPECT_EQ(std::get<std::string>(edit.GetProperty(property::kTag)), "t");
  EXPECT_EQ(std::get<int>(edit.GetProperty(property::kCursor)), 0);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(edit.GetProperty(42)));
  edit.SetHandler(0, [](const EventArgs&) { return true; });
  EXPECT_TRUE(edit.HasHandler(0));
  edit.SetHandler(0, nullptr);
  EXPECT_FALSE(edit.HasHandler(0));
}

}  // namespace
}  // namespace tarnwick
