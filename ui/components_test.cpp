// The native-backed kinds and the invisible components: group box, edit
// box, button, check box, hyperlink, timer, file dialog, menu items.
#include <gtest/gtest.h>

#include "base/text.h"
#include "testing/headless_ui.h"
#include "ui/button.h"
#include "ui/check_box.h"
#include "ui/common_dlg.h"
#include "ui/edit_box.h"
#include "ui/group_box.h"
#include "ui/hyper_linker.h"
#include "ui/menu.h"
#include "ui/message_box.h"
#include "ui/timer.h"

namespace tarnwick {
namespace {

class ComponentsTest : public testing::HeadlessUiTest {
 protected:
  ComponentsTest() : window_(platform_, "main", LargeWindow()) {}
  Window window_;
};

TEST_F(ComponentsTest, GroupBoxCarriesItsChildren) {
  auto& frame = window_.Add<GroupBox>(nullptr, "frame", Rect{512, 2, 144, 462});
  frame.SetCaption(Gbk("请输入搜索关键词："));
  auto& keyword = window_.Add<EditBox>(&frame, "keyword", Rect{7, 20, 95, 20});
  window_.Load();
  EXPECT_EQ(static_cast<HeadlessGroupFrame&>(*frame.native()).caption(), Gbk("请输入搜索关键词："));
  EXPECT_EQ(windows().NodeAt(NativeOf(window_), {520, 25}), NodeOf(keyword));
  frame.SetProperty(property::kLeft, 0);
  EXPECT_EQ(windows().NodeAt(NativeOf(window_), {8, 25}), NodeOf(keyword));
  frame.SetVisible(false);
  EXPECT_FALSE(NodeOf(keyword)->IsShown());
  EXPECT_TRUE(keyword.visible());  // its own flag is untouched
  EXPECT_FALSE(keyword.IsVisibleInWindow());
}

TEST_F(ComponentsTest, EditBoxTextAndFocus) {
  auto& keyword = window_.Add<EditBox>(nullptr, "keyword", Rect{7, 20, 95, 20});
  keyword.SetProperty(EditBox::kTextColor, Rgb(255, 255, 255));
  keyword.SetProperty(EditBox::kBackground, Rgb(0, 0, 128));
  window_.Load();
  keyword.SetFocus();
  EXPECT_TRUE(keyword.HasFocus());
  windows().TypeText(Gbk("下雨"));
  EXPECT_EQ(std::get<std::string>(keyword.GetProperty(EditBox::kText)), Gbk("下雨"));
  auto& native = static_cast<HeadlessEdit&>(*keyword.native());
  EXPECT_EQ(native.background(), Rgb(0, 0, 128));
  EXPECT_EQ(native.text_color(), Rgb(255, 255, 255));
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
  window_.Load();
  Click(search);
  Click(check);
  windows().KeyDown('E', kKeyStateAlt);  // a check box so reached toggles, then raises clicked
  EXPECT_EQ(trace, "search checked unchecked ");
  EXPECT_TRUE(check.SetProperty(CheckBox::kChecked, true));
  EXPECT_EQ(std::get<bool>(check.GetProperty(CheckBox::kChecked)), true);
  EXPECT_EQ(trace, "search checked unchecked ");  // the program's writes raise nothing
}

TEST_F(ComponentsTest, HyperlinkOpensItsTargetWithTheShellOrTheHtmlProgram) {
  auto& mail = window_.Add<HyperLinker>(nullptr, "mail", Rect{144, 56, 88, 24});
  mail.SetProperty(HyperLinker::kCaption, Gbk("我的电子信箱"));
  mail.SetProperty(HyperLinker::kLinkKind, 0);
  window_.Load();
  Click(mail);  // empty address: nothing at all
  EXPECT_TRUE(shell().shell_opened().empty());

  mail.SetProperty(HyperLinker::kMailAddress, std::string("memo@tarnwick.invalid"));
  Click(mail);
  ASSERT_EQ(shell().shell_opened().size(), 1u);
  EXPECT_EQ(shell().shell_opened()[0], "mailto:memo@tarnwick.invalid");
  EXPECT_EQ(mail.CurrentColor(), Rgb(128, 0, 0));  // opened once: the second colour

  auto& web = window_.Add<HyperLinker>(nullptr, "web", Rect{144, 24, 112, 24});
  web.SetProperty(HyperLinker::kWebAddress, std::string("http://tarnwick.invalid/"));
  EXPECT_EQ(web.CurrentColor(), Rgb(0, 0, 255));
  shell().SetShellOpenSucceeds(false);
  shell().SetHtmlOpenCommand("\"C:\\browser.exe\" -nohome \"%1\" -x");
  EXPECT_TRUE(web.Open());
  ASSERT_EQ(shell().command_lines().size(), 1u);
  EXPECT_EQ(shell().command_lines()[0], "\"C:\\browser.exe\" -nohome  http://tarnwick.invalid/");

  EXPECT_EQ(HtmlFallbackCommandLine("browser %1", "t"), "browser  t");
  EXPECT_EQ(HtmlFallbackCommandLine("browser", "t"), "browser t");
  shell().SetHtmlOpenCommand("");
  EXPECT_FALSE(web.Open());
}

TEST_F(ComponentsTest, TimerRunsFromCreationUntilTheWindowCloses) {
  auto& timer = window_.Add<Timer>(nullptr, "align", Rect{248, 288, 26, 26});
  timer.SetProperty(Timer::kInterval, 200);
  int ticks = 0;
  timer.SetHandler(Timer::kTick, [&](const EventArgs&) {
    ++ticks;
    loop().Sleep(500);  // a slow handler: ticks must not pile up
    return true;
  });
  loop().AdvanceTime(1000);
  EXPECT_EQ(ticks, 0);  // not before the window is created
  window_.Load();
  loop().AdvanceTime(200);
  EXPECT_EQ(ticks, 1);
  loop().AdvanceTime(200);
  EXPECT_EQ(ticks, 2);  // once, though 700 ms passed since the last tick
  timer.SetProperty(Timer::kInterval, 0);
  loop().AdvanceTime(1000);
  EXPECT_EQ(ticks, 2);
  timer.SetInterval(100);
  loop().AdvanceTime(100);
  EXPECT_EQ(ticks, 3);
  window_.Close();
  loop().AdvanceTime(1000);
  EXPECT_EQ(ticks, 3);
  EXPECT_FALSE(timer.running());
}

TEST_F(ComponentsTest, SaveDialogWithFilterAndDefaultExtension) {
  auto& dialog = window_.Add<CommonDlg>(nullptr, "dialog", Rect{104, 432, 26, 26});
  dialog.SetProperty(CommonDlg::kKind, 1);
  dialog.SetProperty(CommonDlg::kFilter, Gbk("文本文件(*.txt)|*.txt"));
  dialog.SetProperty(CommonDlg::kDefaultExtension, std::string("txt"));
  dialogs().ExpectFileDialog(std::string("/tmp/export"));
  dialogs().ExpectFileDialog(std::nullopt);
  EXPECT_TRUE(dialog.Show());
  EXPECT_EQ(std::get<std::string>(dialog.GetProperty(CommonDlg::kFileName)), "/tmp/export.txt");
  const auto& request = dialogs().shown()[0].file_request;
  EXPECT_EQ(request.kind, FileDialogKind::kSave);
  EXPECT_EQ(request.filter, Gbk("文本文件(*.txt)|*.txt"));
  EXPECT_FALSE(dialog.Show());
  EXPECT_EQ(dialog.file_name(), "/tmp/export.txt");  // kept when cancelled
  dialog.SetProperty(CommonDlg::kKind, 2);
  EXPECT_FALSE(dialog.Show());  // no colour dialog, and no dialog shown
  EXPECT_EQ(dialogs().shown().size(), 2u);
}

TEST_F(ComponentsTest, PopupMenuAtThePointerRaisesTheChosenItem) {
  MenuItem top("菜单", Gbk("菜单"));
  std::string trace;
  for (const char* caption : {"复制", "粘贴", "-", "全选"}) {
    MenuItem& item = top.AddItem(caption, Gbk(caption));
    item.SetHandler([&trace, caption](const EventArgs&) { trace += std::string(caption) + " "; return true; });
  }
  top.Find("粘贴")->SetProperty(MenuItem::kDisabled, true);
  EXPECT_EQ(top.Find("全选")->level(), 1);
  window_.Load();
  windows().MoveMouse(NativeOf(window_), {100, 100});
  dialogs().ExpectPopupMenu(Gbk("全选"));
  MenuItem* chosen = PopupMenu(window_, top);
  ASSERT_NE(chosen, nullptr);
  EXPECT_EQ(chosen->name(), "全选");
  EXPECT_EQ(trace, "全选 ");
  const auto& shown = dialogs().shown().back();
  Point origin = window_.native_window().ClientOrigin();
  EXPECT_EQ(shown.position, (Point{origin.x + 103, origin.y + 103}));
  ASSERT_EQ(shown.menu.size(), 4u);
  EXPECT_TRUE(shown.menu[1].disabled);
  EXPECT_TRUE(shown.menu[2].separator);

  dialogs().ExpectPopupMenu("");  // dismissed
  EXPECT_EQ(PopupMenu(window_, top, 10, 20), nullptr);
  EXPECT_EQ(dialogs().shown().back().position, (Point{origin.x + 10, origin.y + 20}));
  EXPECT_EQ(trace, "全选 ");
}

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

TEST_F(ComponentsTest, HouseStyleMessageAndInputBoxes) {
  dialogs().ExpectMessageBox(Gbk("数据库导出完毕！"), MessageResult::kOk);
  dialogs().ExpectMessageBox(Gbk("真的清空所有记录？"), MessageResult::kNo);
  dialogs().ExpectInputBox(Gbk("请输入新密码："), std::string("secret"));
  dialogs().ExpectInputBox(Gbk("请输入新密码："), std::nullopt);
  EXPECT_EQ(ShowMessage(platform_, Gbk("数据库导出完毕！")), MessageResult::kOk);
  EXPECT_EQ(ShowMessage(platform_, Gbk("真的清空所有记录？"), Gbk("清空数据库："), MessageButtons::kYesNo),
            MessageResult::kNo);
  EXPECT_EQ(AskText(platform_, Gbk("密码设置"), Gbk("请输入新密码："), true), "secret");
  EXPECT_EQ(AskText(platform_, Gbk("密码设置"), Gbk("请输入新密码："), true), "");
  const auto& shown = dialogs().shown();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].title, Gbk("信息："));
  EXPECT_FALSE(shown[0].owned);
  EXPECT_EQ(shown[1].title, Gbk("清空数据库："));
  EXPECT_TRUE(shown[2].masked);
  EXPECT_EQ(shown[2].confirm_caption, Gbk("确认输入(&O)"));
  EXPECT_EQ(shown[2].cancel_caption, Gbk("取消(&C)"));
}

}  // namespace
}  // namespace tarnwick
