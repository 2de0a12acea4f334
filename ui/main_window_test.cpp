#include "ui/main_window.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "base/text.h"
#include "testing/ui_driver.h"
#include "ui/calendar/cn_month_calendar_control.h"
#include "ui/edit_box.h"
#include "ui/label.h"
#include "ui/list_box.h"
#include "ui/super_btn.h"

namespace tarnwick {
namespace {

class MainWindowTest : public testing::UiTest {
 protected:
  MainWindowTest() : main_(std::make_unique<MainWindow>(platform())) {}

  void Load() { Show(main_->window()); }
  Window& window() { return main_->window(); }
  Rect outer() { return main_->window().outer_rect(); }
  Control& control(std::string_view name) {
    Control* found = main_->Find(name);
    EXPECT_NE(found, nullptr) << name;
    return *found;
  }
  template <class Kind>
  Kind& get(std::string_view name) {
    Kind* found = main_->FindAs<Kind>(name);
    EXPECT_NE(found, nullptr) << name;
    return *found;
  }
  // The control a user finds at the centre of the named one.
  const Control* AtCentreOf(std::string_view name) { return driver().ControlAt(window(), Centre(control(name))); }
  void ClickCentreOf(std::string_view name) { driver().Click(window(), Centre(control(name))); }

  std::unique_ptr<MainWindow> main_;
};

// A part that claims a handler another part holds, or a handler that no
// part fills, is a fault of the program found when it is put together.
TEST_F(MainWindowTest, EveryHandlerSlotIsFilledExactlyOnce) {
  MainWindowHandlers& h = main_->handlers();
  auto message = [](auto&& fill) {
    try {
      fill();
    } catch (const std::logic_error& error) {
      return std::string(error.what());
    }
    return std::string("no error");
  };
  h.EditClicked = [] {};
  EXPECT_EQ(message([&] { h.EditClicked = [] {}; }), "handler filled twice: EditClicked");
  EXPECT_EQ(message([&] { h.CheckAllFilled(); }), "handler that no part fills: StartUp");
}

TEST_F(MainWindowTest, AtTheNormalSizeOnlyTheMainColumnShows) {
  Load();
  Size client = main_->window().ClientSize();
  EXPECT_GE(client.width, 365);
  EXPECT_LT(client.width, 368) << "the right edge falls between the main column and the side panels";
  EXPECT_LT(client.height, 568 + 1);
  for (std::string_view name : {"日历", "超级按钮1", "备忘编辑框", "编辑按钮", "主面板状态栏标签"}) {
    EXPECT_EQ(AtCentreOf(name), &control(name)) << name;
  }
  for (std::string_view name : {"本月备忘列表框", "搜索内容编辑框", "搜索结果列表框", "导出全库按钮",
                                "搜索面板状态栏标签", "密码设置选择框", "图片框1"}) {
    EXPECT_EQ(AtCentreOf(name), nullptr) << name << " is outside the client area";
  }
}

TEST_F(MainWindowTest, SidePanelToggleOpensAndClosesTheSidePanels) {
  std::vector<int> widths_when_toggling;
  std::vector<int> month_list_counts_at_rebuild;
  ListBox& month_list = get<ListBox>("本月备忘列表框");
  main_->handlers().SidePanelsToggling = [&] { widths_when_toggling.push_back(outer().width); };
  main_->handlers().RebuildMonthList = [&] {
    month_list_counts_at_rebuild.push_back(month_list.Count());
    month_list.AddItem(Gbk("2013年7月没有记录！"));
  };
  Load();
  month_list.AddItem(Gbk("2013年7月09日"));
  get<EditBox>("搜索内容编辑框").SetText(Gbk("关键"));
  get<ListBox>("搜索结果列表框").AddItem(Gbk("2011年5月3日"));
  Rect before = outer();

  ClickCentreOf("搜索面板按钮");
  EXPECT_EQ(outer(), (Rect{before.left, before.top, 664, 596}));
  EXPECT_EQ(window().ClientSize(), (Size{658, 568}));
  EXPECT_TRUE(get<EditBox>("搜索内容编辑框").HasFocus());
  EXPECT_EQ(month_list_counts_at_rebuild, std::vector<int>{0}) << "emptied before the refill";
  EXPECT_EQ(AtCentreOf("本月备忘列表框"), &control("本月备忘列表框"));
  EXPECT_EQ(AtCentreOf("搜索面板状态栏标签"), &control("搜索面板状态栏标签"));
  EXPECT_EQ(AtCentreOf("图片框1"), nullptr) << "the bottom panel stays hidden";

  ClickCentreOf("搜索面板按钮");
  EXPECT_EQ(outer(), (Rect{before.left, before.top, 371, 596}));
  EXPECT_EQ(window().ClientSize(), (Size{365, 568}));
  EXPECT_EQ(widths_when_toggling, (std::vector<int>{371, 664})) << "told before each change of width";
  EXPECT_EQ(month_list_counts_at_rebuild.size(), 1u) << "closing does not refill";
  EXPECT_EQ(get<EditBox>("搜索内容编辑框").text(), Gbk("关键"));
  EXPECT_EQ(get<ListBox>("搜索结果列表框").Count(), 1);
}

TEST_F(MainWindowTest, OptionsPanelToggleChangesOnlyTheHeight) {
  Load();
  Rect before = outer();
  // Its button is disabled from creation on: clicking does nothing.
  ClickCentreOf("选项面板按钮");
  EXPECT_EQ(outer(), before);

  main_->ToggleOptionsPanel();
  EXPECT_EQ(outer(), (Rect{before.left, before.top, 371, 695}));
  EXPECT_EQ(AtCentreOf("密码设置选择框"), &control("密码设置选择框"));
  EXPECT_EQ(AtCentreOf("图片框1"), nullptr) << "the About panel needs width 664 too";
  main_->ToggleSidePanels();
  EXPECT_EQ(outer(), (Rect{before.left, before.top, 664, 695}));
  EXPECT_EQ(AtCentreOf("图片框1"), &control("图片框1"));
  main_->ToggleOptionsPanel();
  EXPECT_EQ(outer(), (Rect{before.left, before.top, 664, 596}));
  // From the locked height the toggle opens the bottom panel.
  main_->window().SetProperty(property::kHeight, 290);
  main_->ToggleOptionsPanel();
  EXPECT_EQ(outer().height, 695);
}

TEST_F(MainWindowTest, MnemonicsReachOnlyEnabledButtons) {
  int edits = 0, saves = 0;
  main_->handlers().EditClicked = [&] { ++edits; };
  main_->handlers().SaveClicked = [&] { ++saves; };
  Load();
  driver().PressKey('W', kKeyStateAlt);
  EXPECT_EQ(edits, 1);
  driver().PressKey('S', kKeyStateAlt);
  EXPECT_EQ(saves, 0) << "保存按钮 is disabled";
  driver().PressKey('W', kKeyStateAlt | kKeyStateCtrl);
  EXPECT_EQ(edits, 1) << "Ctrl held: no mnemonic";
  get<SuperBtn>("保存按钮").SetDisabled(false);
  get<SuperBtn>("编辑按钮").SetDisabled(true);
  driver().PressKey('S', kKeyStateAlt);
  driver().PressKey('W', kKeyStateAlt);
  EXPECT_EQ(saves, 1);
  EXPECT_EQ(edits, 1);
  // Alt+F opens the side panels (a lower-case mnemonic letter matches too).
  driver().PressKey('F', kKeyStateAlt);
  EXPECT_EQ(outer().width, 664);
  EXPECT_EQ(window().ClientSize(), (Size{658, 568}));
  driver().PressKey('S', kKeyStateAlt);
  EXPECT_EQ(saves, 2) << "from the keyword box too";
  driver().PressKey('F', kKeyStateAlt);
  EXPECT_EQ(outer().width, 371);
  EXPECT_EQ(window().ClientSize(), (Size{365, 568}));
}

TEST_F(MainWindowTest, TabOrderFollowsCreationSkippingWhatCannotTakeTheFocus) {
  Load();
  main_->calendar().SetFocus();
  std::vector<std::string> order;
  CnMonthCalendar& calendar = main_->calendar().calendar();
  for (int i = 0; i < 15; ++i) {
    std::string name = "?";
    if (calendar.year_list()->HasFocus()) name = "日历 year list";
    if (calendar.month_list()->HasFocus()) name = "日历 month list";
    for (const auto& control : main_->window().controls()) {
      if (control->native() && control->HasFocus()) name = control->name();
    }
    order.push_back(name);
    driver().PressKey(keys::kTab);
  }
  // The password check box lies outside the shown area and is still reached.
  // The day grid follows its drop-down lists.
  EXPECT_EQ(order, (std::vector<std::string>{"日历", "超级按钮1", "备忘编辑框", "编辑按钮", "搜索面板按钮",
                                             "本月备忘列表框", "搜索内容编辑框", "搜索按钮", "搜索结果列表框",
                                             "导出以上按钮", "导出全库按钮", "密码设置选择框", "日历 year list",
                                             "日历 month list", "日历"}));
}

TEST_F(MainWindowTest, TodayButtonColoursPerState) {
  Load();
  SuperBtn& today = get<SuperBtn>("超级按钮1");
  Point inside{1, 16};  // inside the border, below and left of the caption
  driver().MovePointer(window(), Centre(control("主面板状态栏标签")));
  get<SuperBtn>("编辑按钮").SetFocus();
  EXPECT_EQ(today.state(), SuperBtn::State::kNormal);
  EXPECT_TRUE(driver().ShowsTextIn(today, Rgb(255, 255, 0)));
  EXPECT_EQ(driver().PixelAt(today, inside), Rgb(0, 128, 128));

  driver().MovePointer(window(), Centre(today));
  EXPECT_EQ(today.state(), SuperBtn::State::kLit);
  EXPECT_TRUE(driver().ShowsTextIn(today, Rgb(0, 0, 0)));
  EXPECT_FALSE(driver().ShowsTextIn(today, Rgb(255, 255, 0)));
  EXPECT_EQ(driver().PixelAt(today, inside), Rgb(255, 255, 0));

  driver().MovePointerAway(window());
  today.SetFocus();
  EXPECT_EQ(today.state(), SuperBtn::State::kFocused);
  EXPECT_TRUE(driver().ShowsTextIn(today, Rgb(255, 255, 255)));
  EXPECT_EQ(driver().PixelAt(today, inside), Rgb(0, 128, 128));

  // The bar buttons: black text, system face except while lit.
  SuperBtn& edit = get<SuperBtn>("编辑按钮");
  Color face = platform().windows().GetSystemColor(SystemColor::kButtonFace);
  EXPECT_EQ(edit.BackgroundOf(SuperBtn::State::kNormal), face);
  EXPECT_EQ(edit.BackgroundOf(SuperBtn::State::kLit), Rgb(255, 255, 128));
  EXPECT_EQ(edit.TextColorOf(SuperBtn::State::kNormal), Rgb(0, 0, 0));
  EXPECT_EQ(edit.TextColorOf(SuperBtn::State::kFocused), Rgb(0, 0, 0));
  EXPECT_EQ(driver().PixelAt(edit, {4, 4}), face);
  driver().MovePointer(window(), Centre(edit));
  EXPECT_EQ(driver().PixelAt(edit, {4, 4}), Rgb(255, 255, 128));
  EXPECT_EQ(get<SuperBtn>("导出全库按钮").BackgroundOf(SuperBtn::State::kLit), Rgb(128, 255, 255));
  EXPECT_EQ(get<SuperBtn>("导出以上按钮1").BackgroundOf(SuperBtn::State::kLit), face) << "system colours";
}

TEST_F(MainWindowTest, DateListsKeepTheListBoxTextOrder) {
  Load();
  ListBox& list = get<ListBox>("本月备忘列表框");
  list.AddItem(Gbk("2011年5月没有记录！"));
  list.AddItem(Gbk("2011年9月1日"));
  list.AddItem(Gbk("2011年10月1日"));
  list.AddItem(Gbk("2011年5月13日"));
  list.AddItem(Gbk("2011年5月03日"));
  std::vector<std::string> items;
  for (int i = 0; i < list.Count(); ++i) items.push_back(list.ItemText(i));
  EXPECT_EQ(items, (std::vector<std::string>{Gbk("2011年10月1日"), Gbk("2011年5月03日"), Gbk("2011年5月13日"),
                                             Gbk("2011年5月没有记录！"), Gbk("2011年9月1日")}));
}

TEST_F(MainWindowTest, ButtonsShowTheirTooltips) {
  Load();
  EXPECT_EQ(driver().ToolTip(control("编辑按钮")), Gbk("编辑当前日期的备忘"));
  EXPECT_EQ(driver().ToolTip(control("保存按钮")), Gbk("保存当前编辑的备忘信息"));
  EXPECT_EQ(driver().ToolTip(control("选项面板按钮")), Gbk("各种设置选项，目前没有，备用"));
  EXPECT_EQ(driver().ToolTip(control("搜索面板按钮")), Gbk("打开搜索面板，搜索含有关键字备忘的日期"));
  EXPECT_EQ(driver().ToolTip(control("导出以上按钮2")), Gbk("导出列表框中日期的记录到TXT文本"));
  EXPECT_EQ(driver().ToolTip(control("导出全库按钮")), Gbk("导出数据库所有记录到TXT文本"));
  EXPECT_EQ(driver().ToolTip(control("超级按钮1")), "");
}

// Every fixed text the program sets on a label fits it at its designed size
// in the fonts the program uses on each backend (counts at five digits).
TEST_F(MainWindowTest, EveryTextTheProgramSetsFitsItsLabel) {
  Load();
  const MainWindowControls& c = main_->controls();
  const std::vector<std::pair<Label*, std::vector<const char*>>> texts = {
      {&c.标签5, {"包含关键词的日期有：", "包含以上关键词的备忘日期有："}},
      {&c.搜索面板状态栏标签,
       {"先保存当前备忘，再进行搜索吧", "包含该关键词的备忘共有36500天", "没有记录，无需导出",
        "没有搜索结果，无需导出", "请输入一个导出文件名！", "2011年12月共有31天存在记录"}},
      {&c.主面板状态栏标签,
       {"选择某个日期并查看当日备忘|当前数据库内共有36500条记录", "选择日期或编辑当日备忘|当前有36500条记录",
        "选择某个日期并查看当日备忘|当前有36500条记录", "编辑完毕后，不要忘记保存哦~", "当前编辑内容已保存",
        "注意：信息尚未保存，请点击<保存>按钮后再进行其他操作！", "还没保存呢"}},
  };
  for (const auto& [label, fixed] : texts) {
    for (const char* text : fixed) EXPECT_TRUE(label->TextFits(Gbk(text))) << label->name() << ": " << text;
  }
}

}  // namespace
}  // namespace tarnwick
