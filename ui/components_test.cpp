// The native-backed kinds as a user meets them: group box, edit box,
// button, check box; the popup menu and the house-style dialogs.
#include <gtest/gtest.h>

#include "base/text.h"
#include "testing/ui_driver.h"
#include "ui/button.h"
#include "ui/check_box.h"
#include "ui/edit_box.h"
#include "ui/group_box.h"
#include "ui/menu.h"
#include "ui/message_box.h"

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

// A button too narrow for its icon and caption shows the icon alone and
// names itself in its tooltip.
TEST_F(ComponentsTest, ANarrowButtonNamesItselfInItsTooltip) {
  auto& search = window_.Add<Button>(nullptr, "search", Rect{106, 16, 30, 25});
  search.SetProperty(Button::kCaption, Gbk("搜索"));
  Show(window_);
  EXPECT_EQ(driver().ToolTip(search), "") << "no icon: the caption shows";
  search.SetProperty(Button::kIcon, std::make_shared<const Image>(16, 16, Pixel{0, 0, 255, 255}));
  EXPECT_EQ(driver().ToolTip(search), Gbk("搜索"));
  search.SetRect({106, 16, 120, 25});
  EXPECT_EQ(driver().ToolTip(search), "") << "wide enough again";
  search.SetRect({106, 16, 30, 25});
  search.SetProperty(Button::kCaption, Gbk("查找"));
  EXPECT_EQ(driver().ToolTip(search), Gbk("查找"));
}

TEST_F(ComponentsTest, PopupMenuAtThePointerRaisesTheChosenItem) {
  MenuItem top("菜单", Gbk("菜单"));
  std::string trace;
  for (const char* caption : {"复制", "粘贴", "-", "全选"}) {
    MenuItem& item = top.AddItem(caption, Gbk(caption));
    item.SetHandler([&trace, caption](const EventArgs&) { trace += std::string(caption) + " "; return true; });
  }
  top.Find("粘贴")->SetProperty(MenuItem::kDisabled, true);
  Show(window_);
  driver().MovePointer(window_, {100, 100});
  driver().AnswerNextPopupMenu(Gbk("全选"));
  MenuItem* chosen = PopupMenu(window_, top);
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(chosen->name(), "全选");
  EXPECT_EQ(trace, "全选 ");
  auto shown = driver().ShownDialogs();
  ASSERT_EQ(shown.size(), 1u);
  Point origin = window_.native_window().ClientOrigin();
  EXPECT_EQ(shown[0].position, (Point{origin.x + 103, origin.y + 103})) << "3 pixels right of and below the pointer";
  ASSERT_EQ(shown[0].menu.size(), 4u);
  EXPECT_EQ(shown[0].menu[0].caption, Gbk("复制"));
  EXPECT_EQ(shown[0].menu[1].caption, Gbk("粘贴"));
  EXPECT_EQ(shown[0].menu[3].caption, Gbk("全选"));
  EXPECT_FALSE(shown[0].menu[0].disabled);
  EXPECT_TRUE(shown[0].menu[1].disabled);
  EXPECT_TRUE(shown[0].menu[2].separator);

  driver().AnswerNextPopupMenu("");  // dismissed
  EXPECT_EQ(PopupMenu(window_, top, 10, 20), nullptr);
  shown = driver().ShownDialogs();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].position, (Point{origin.x + 10, origin.y + 20}));
  EXPECT_EQ(trace, "全选 ");
}

TEST_F(ComponentsTest, HouseStyleMessageAndInputBoxes) {
  driver().AnswerNextMessageBox(MessageResult::kOk);
  driver().AnswerNextMessageBox(MessageResult::kNo);
  driver().AnswerNextInputBox(std::string("secret"));
  driver().AnswerNextInputBox(std::nullopt);
  EXPECT_EQ(ShowMessage(platform(), Gbk("数据库导出完毕！")), MessageResult::kOk);
  EXPECT_EQ(ShowMessage(platform(), Gbk("真的清空所有记录？"), Gbk("清空数据库："), MessageButtons::kYesNo),
            MessageResult::kNo);
  EXPECT_EQ(AskText(platform(), Gbk("密码设置"), Gbk("请输入新密码："), true).view(), "secret");
  EXPECT_EQ(AskText(platform(), Gbk("密码设置"), Gbk("请输入新密码："), true).view(), "");
  auto shown = driver().ShownDialogs();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].title, Gbk("信息："));
  EXPECT_EQ(shown[0].text, Gbk("数据库导出完毕！"));
  EXPECT_EQ(shown[0].buttons, MessageButtons::kOk);
  EXPECT_FALSE(shown[0].owned);
  EXPECT_EQ(shown[1].title, Gbk("清空数据库："));
  EXPECT_EQ(shown[1].buttons, MessageButtons::kYesNo);
  EXPECT_EQ(shown[2].title, Gbk("密码设置"));
  EXPECT_EQ(shown[2].text, Gbk("请输入新密码："));
  EXPECT_TRUE(shown[2].masked);
  EXPECT_EQ(shown[2].confirm_caption, Gbk("确认输入(&O)"));
  EXPECT_EQ(shown[2].cancel_caption, Gbk("取消(&C)"));
}

}  // namespace
}  // namespace tarnwick
