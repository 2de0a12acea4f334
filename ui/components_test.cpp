// The native-backed kinds as a user meets them: group box, edit box,
// button, check box.
#include <gtest/gtest.h>

#include "base/text.h"
#include "testing/ui_driver.h"
#include "ui/button.h"
#include "ui/check_box.h"
#include "ui/edit_box.h"
#include "ui/group_box.h"

namespace tarnwick {
namespace {

class ComponentsTest : public testing::UiTest {
 protected:
  ComponentsTest() : window_(platform(), "main", LargeWindow()) {}
  Window window_;
};

TEST_F(ComponentsTest, GroupBoxCarriesItsChildren) {
  auto& frame = window_.Add<GroupBox>(nullptr, "frame", Rect{512, 2, 144, 462});
  frame.SetCaption(Gbk("请输入搜索关键词："));
  auto& keyword = window_.Add<EditBox>(&frame, "keyword", Rect{7, 20, 95, 20});
  Show(window_);
  EXPECT_EQ(driver().ControlAt(window_, {520, 25}), &keyword);
  EXPECT_EQ(driver().ControlAt(window_, {515, 100}), &frame);
  frame.SetProperty(property::kLeft, 0);
  EXPECT_EQ(driver().ControlAt(window_, {8, 25}), &keyword);
  EXPECT_EQ(driver().ControlAt(window_, {520, 25}), nullptr);
  frame.SetVisible(false);
  EXPECT_FALSE(driver().IsShown(keyword));
  EXPECT_TRUE(keyword.visible());  // its own flag is untouched
  EXPECT_FALSE(keyword.IsVisibleInWindow());
  frame.SetVisible(true);
  EXPECT_TRUE(driver().IsShown(keyword));
}

TEST_F(ComponentsTest, EditBoxTextAndFocus) {
  auto& keyword = window_.Add<EditBox>(nullptr, "keyword", Rect{7, 20, 95, 20});
  keyword.SetProperty(EditBox::kTextColor, Rgb(255, 255, 255));
  keyword.SetProperty(EditBox::kBackground, Rgb(0, 0, 128));
  Show(window_);
  keyword.SetFocus();
  EXPECT_TRUE(keyword.HasFocus());
  driver().TypeText(Gbk("下雨"));
  EXPECT_EQ(std::get<std::string>(keyword.GetProperty(EditBox::kText)), Gbk("下雨"));
}

TEST_F(ComponentsTest, ButtonAndCheckBoxClicksAndMnemonics) {
  auto& search = window_.Add<Button>(nullptr, "search", Rect{106, 16, 30, 25});
  search.SetProperty(Button::kCaption, Gbk("搜索"));
  auto& check = window_.Add<CheckBox>(nullptr, "encrypt", Rect{14, 100, 104, 24});
  check.SetProperty(CheckBox::kCaption, Gbk("备忘是否&E加密？"));
  std::string trace;
  search.SetHandler(Button::kClicked, [&](const EventArgs&) { trace += "search "; return true; });
  check.SetHandler(CheckBox::kClicked, [&](const EventArgs&) {
    trace += check.checked() ? "checked " : "unchecked ";
    return true;
  });
  Show(window_);
  Click(search, {15, 12});
  Click(check, {6, 12});
  driver().KeyDown('E', kKeyStateAlt);  // a check box so reached toggles, then raises clicked
  EXPECT_EQ(trace, "search checked unchecked ");
  EXPECT_TRUE(check.SetProperty(CheckBox::kChecked, true));
  EXPECT_EQ(std::get<bool>(check.GetProperty(CheckBox::kChecked)), true);
  EXPECT_EQ(trace, "search checked unchecked ");  // the program's writes raise nothing
  search.SetDisabled(true);
  Click(search, {15, 12});
  EXPECT_EQ(trace, "search checked unchecked ");
}

}  // namespace
}  // namespace tarnwick
