// The main window on the headless backend, through its inspection aids: the
// native windows' styles and places, the recorded settings of the native
// controls, the bindings, and what the test clock drives. What a user sees
// and does is tested on every backend by main_window_test.cpp.
#include <gtest/gtest.h>

#include "ui/main_window.h"

#include <set>
#include <string>
#include <vector>

#include "base/text.h"
#include "platform/headless/headless_platform.h"
#include "ui/button.h"
#include "ui/calendar/cn_month_calendar_control.h"
#include "ui/check_box.h"
#include "ui/edit_box.h"
#include "ui/group_box.h"
#include "ui/hyper_linker.h"
#include "ui/label.h"
#include "ui/list_box.h"
#include "ui/pic_box.h"
#include "ui/property_values.h"
#include "ui/rich_edit.h"
#include "ui/super_btn.h"
#include "ui/timer.h"

namespace tarnwick {
namespace {

class MainWindowHeadlessTest : public ::testing::Test {
 protected:
  MainWindowHeadlessTest() {
    platform_.headless_loop().SetLocalNow(EncodeDate(2013, 7, 9) + 0.5);
    main_ = std::make_unique<MainWindow>(platform_);
  }

  void Load() {
    main_->Load();
    platform_.loop().ProcessPendingEvents();
  }
  HeadlessWindowSystem& windows() { return platform_.headless_windows(); }
  HeadlessWindow& native() { return static_cast<HeadlessWindow&>(main_->window().native_window()); }
  HeadlessNode& node(std::string_view name) {
    Control* control = main_->Find(name);
    EXPECT_NE(control, nullptr) << name;
    return *dynamic_cast<HeadlessNode*>(control->native());
  }
  // Where a control's top left lies in the window's client area.
  Point at(std::string_view name) { return node(name).OriginInWindow(); }
  Point centre(std::string_view name) {
    Point origin = at(name);
    Rect rect = main_->Find(name)->rect();
    return {origin.x + rect.width / 2, origin.y + rect.height / 2};
  }
  Rect outer() { return main_->window().outer_rect(); }
  template <class Kind>
  Kind& get(std::string_view name) {
    Kind* control = main_->FindAs<Kind>(name);
    EXPECT_NE(control, nullptr) << name;
    return *control;
  }
  std::vector<DrawOp> TextsOf(std::string_view name) {
    auto& surface = dynamic_cast<HeadlessSurface&>(node(name));
    surface.InvalidateAll();
    surface.PaintIfInvalid();
    std::vector<DrawOp> texts;
    for (const DrawOp& op : surface.last_paint_ops()) {
      if (op.kind == DrawOp::Kind::kText) texts.push_back(op);
    }
    return texts;
  }

  // 2011-03-28, the calendar's date from the layout: March 2011 starts on a
  // Tuesday, so the grid starts on Monday 28 February.
  static constexpr int kMarchTwentyEighthCell = 28;

  HeadlessPlatform platform_;
  std::unique_ptr<MainWindow> main_;
};

TEST_F(MainWindowHeadlessTest, TheWindowsAsDesigned) {
  Window& window = main_->window();
  EXPECT_EQ(window.caption(), "Tarnwick V2.8 beta  ");
  EXPECT_EQ(outer(), (Rect{454, 214, 371, 596})) << "centred on the 1280 x 1024 screen";
  EXPECT_FALSE(native().IsVisible());
  const WindowStyle& style = native().style();
  EXPECT_EQ(style.frame, FrameStyle::kFixed);
  EXPECT_TRUE(style.system_menu);
  EXPECT_FALSE(style.minimize_box);
  EXPECT_FALSE(style.maximize_box);
  EXPECT_TRUE(style.in_taskbar);
  EXPECT_FALSE(style.always_on_top);
  Load();
  EXPECT_TRUE(native().IsVisible());
  EXPECT_EQ(window.ClientSize(), (Size{365, 568}));

  auto& strip = static_cast<HeadlessWindow&>(main_->dock_strip().native_window());
  EXPECT_EQ(strip.OuterRect(), (Rect{50, 0, 370, 2}));
  EXPECT_FALSE(strip.IsVisible());
  EXPECT_FALSE(strip.has_title_bar());
  EXPECT_EQ(strip.style().frame, FrameStyle::kNone);
  EXPECT_TRUE(strip.always_on_top());
  EXPECT_FALSE(strip.style().in_taskbar);
  EXPECT_EQ(strip.style().background, Rgb(255, 255, 0));
  EXPECT_TRUE(main_->dock_strip().controls().empty());
}

TEST_F(MainWindowHeadlessTest, EveryControlWhereItBelongs) {
  struct Expected {
    std::string_view name;
    ControlKind kind;
    std::string_view parent;
    Rect rect;
    Point in_window;  // top left in the window's client area; {-1, -1}: no native control
    bool enabled;
  };
  const std::vector<Expected> expected{
      {"日历", ControlKind::kCnMonthCalendar, "", {0, 0, 365, 262}, {0, 0}, true},
      {"超级按钮1", ControlKind::kSuperBtn, "", {125, 244, 57, 18}, {125, 244}, true},
      {"备忘编辑框", ControlKind::kRichEdit, "", {0, 264, 365, 200}, {0, 264}, true},
      {"分组框2", ControlKind::kGroupBox, "", {0, 464, 366, 80}, {0, 464}, true},
      {"编辑按钮", ControlKind::kSuperBtn, "分组框2", {8, 14, 80, 60}, {8, 478}, true},
      {"保存按钮", ControlKind::kSuperBtn, "分组框2", {98, 14, 80, 60}, {98, 478}, false},
      {"选项面板按钮", ControlKind::kSuperBtn, "分组框2", {188, 14, 80, 60}, {188, 478}, false},
      {"搜索面板按钮", ControlKind::kSuperBtn, "分组框2", {278, 14, 80, 60}, {278, 478}, true},
      {"主面板状态栏标签", ControlKind::kLabel, "", {0, 544, 365, 24}, {0, 544}, true},
      {"备忘列表分组框", ControlKind::kGroupBox, "", {368, 2, 144, 462}, {368, 2}, true},
      {"本月备忘列表框", ControlKind::kListBox, "备忘列表分组框", {5, 22, 131, 438}, {373, 24}, true},
      {"分组框6", ControlKind::kGroupBox, "", {368, 464, 144, 80}, {368, 464}, true},
      {"导出以上按钮1", ControlKind::kSuperBtn, "分组框6", {8, 14, 60, 60}, {376, 478}, false},
      {"导出以上按钮2", ControlKind::kSuperBtn, "分组框6", {74, 14, 60, 60}, {442, 478}, false},
      {"分组框1", ControlKind::kGroupBox, "", {512, 2, 144, 462}, {512, 2}, true},
      {"搜索内容编辑框", ControlKind::kEditBox, "分组框1", {7, 20, 95, 20}, {519, 22}, true},
      {"搜索按钮", ControlKind::kButton, "分组框1", {106, 16, 30, 25}, {618, 18}, true},
      {"标签4", ControlKind::kLabel, "分组框1", {8, 48, 128, 4}, {520, 50}, true},
      {"标签5", ControlKind::kLabel, "分组框1", {8, 55, 120, 24}, {520, 57}, true},
      {"搜索结果列表框", ControlKind::kListBox, "分组框1", {6, 80, 130, 380}, {518, 82}, true},
      {"通用对话框", ControlKind::kCommonDlg, "分组框1", {104, 432, 26, 26}, {-1, -1}, true},
      {"分组框4", ControlKind::kGroupBox, "", {512, 464, 144, 80}, {512, 464}, true},
      {"导出以上按钮", ControlKind::kSuperBtn, "分组框4", {9, 14, 60, 60}, {521, 478}, true},
      {"导出全库按钮", ControlKind::kSuperBtn, "分组框4", {75, 14, 60, 60}, {587, 478}, true},
      {"搜索面板状态栏标签", ControlKind::kLabel, "", {369, 544, 287, 24}, {369, 544}, true},
      {"分组框3", ControlKind::kGroupBox, "", {0, 568, 366, 98}, {0, 568}, true},
      {"密码设置选择框", ControlKind::kCheckBox, "分组框3", {14, 24, 104, 24}, {14, 592}, true},
      {"标签1", ControlKind::kLabel, "分组框3", {18, 57, 95, 16}, {18, 625}, true},
      {"分组框7", ControlKind::kGroupBox, "", {368, 568, 288, 100}, {368, 568}, true},
      {"图片框1", ControlKind::kPicBox, "分组框7", {16, 16, 120, 80}, {384, 584}, true},
      {"超级链接框1", ControlKind::kHyperLinker, "分组框7", {144, 24, 112, 24}, {512, 592}, true},
      {"超级链接框2", ControlKind::kHyperLinker, "分组框7", {144, 56, 88, 24}, {512, 624}, true},
      {"对齐时钟", ControlKind::kTimer, "", {248, 288, 26, 26}, {-1, -1}, true},
  };
  const auto& controls = main_->window().controls();
  ASSERT_EQ(controls.size(), expected.size()) << "the database components and the menu skin are not built";
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const Expected& e = expected[i];
    const Control& control = *controls[i];
    SCOPED_TRACE(std::string(e.name));
    EXPECT_EQ(control.name(), e.name) << "creation order";
    EXPECT_EQ(control.kind(), e.kind);
    EXPECT_EQ(control.parent() ? control.parent()->name() : "", e.parent);
    EXPECT_EQ(control.rect(), e.rect);
    EXPECT_EQ(control.disabled(), !e.enabled);
    if (e.in_window.x < 0) {
      EXPECT_EQ(control.native(), nullptr) << "invisible at run time";
      continue;
    }
    auto* native = dynamic_cast<HeadlessNode*>(control.native());
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(native->OriginInWindow(), e.in_window);
    EXPECT_TRUE(native->visible_flag());
    EXPECT_EQ(native->IsEnabledDeep(), e.enabled);
  }
  ASSERT_EQ(main_->menu().items().size(), 6u);
  std::vector<std::string> captions;
  for (const auto& item : main_->menu().items()) {
    captions.push_back(item->caption());
    EXPECT_FALSE(item->checked());
    EXPECT_FALSE(item->disabled());
  }
  EXPECT_EQ(main_->menu().caption(), Gbk("菜单"));
  EXPECT_EQ(captions, (std::vector<std::string>{Gbk("复制"), Gbk("粘贴"), Gbk("剪切"), Gbk("删除"), "-", Gbk("全选")}));
}

TEST_F(MainWindowHeadlessTest, InitialStatesOfTheControls) {
  SuperBtn& today = get<SuperBtn>("超级按钮1");
  EXPECT_EQ(today.caption(), Gbk("转到今日"));
  EXPECT_TRUE(today.PictureOf(SuperBtn::State::kNormal).empty());
  EXPECT_EQ(get<SuperBtn>("编辑按钮").caption(), "\r\n&W");
  EXPECT_EQ(get<SuperBtn>("保存按钮").caption(), "\r\n&S");
  EXPECT_EQ(get<SuperBtn>("选项面板按钮").caption(), "");
  EXPECT_EQ(get<SuperBtn>("搜索面板按钮").caption(), "&F");
  EXPECT_EQ(get<SuperBtn>("导出以上按钮1").caption(), Gbk("备用"));
  EXPECT_EQ(get<SuperBtn>("导出以上按钮").caption(), "\r\n");
  EXPECT_EQ(node("编辑按钮").tooltip(), Gbk("编辑当前日期的备忘"));
  EXPECT_EQ(node("保存按钮").tooltip(), Gbk("保存当前编辑的备忘信息"));
  EXPECT_EQ(node("选项面板按钮").tooltip(), Gbk("各种设置选项，目前没有，备用"));
  EXPECT_EQ(node("搜索面板按钮").tooltip(), Gbk("打开搜索面板，搜索含有关键字备忘的日期"));
  EXPECT_EQ(node("导出以上按钮2").tooltip(), Gbk("导出列表框中日期的记录到TXT文本"));
  EXPECT_EQ(node("导出全库按钮").tooltip(), Gbk("导出数据库所有记录到TXT文本"));
  EXPECT_EQ(node("超级按钮1").tooltip(), "");

  auto& editor = static_cast<HeadlessRichEdit&>(node("备忘编辑框"));
  EXPECT_EQ(editor.Text(), "");
  EXPECT_TRUE(editor.IsReadOnly());
  EXPECT_EQ(editor.background(), Rgb(255, 255, 128));
  EXPECT_EQ(editor.border(), ControlBorder::kSunken);
  EXPECT_TRUE(editor.multi_line());
  EXPECT_TRUE(editor.word_wrap());
  EXPECT_TRUE(editor.hide_selection());
  EXPECT_EQ(editor.max_length(), 0);

  Label& status = get<Label>("主面板状态栏标签");
  EXPECT_EQ(std::get<std::string>(status.GetProperty(Label::kText)), Gbk("主界面状态栏"));
  EXPECT_EQ(std::get<Color>(status.GetProperty(Label::kBackground)), Rgb(0, 128, 128));
  EXPECT_EQ(std::get<Color>(status.GetProperty(Label::kTextColor)), Rgb(0, 0, 0));
  EXPECT_EQ(std::get<int>(status.GetProperty(Label::kBorder)), 5);
  EXPECT_EQ(std::get<int>(status.GetProperty(Label::kHorizontalAlign)), 1);
  EXPECT_EQ(std::get<int>(status.GetProperty(Label::kVerticalAlign)), 1);
  EXPECT_EQ(std::get<std::string>(get<Label>("搜索面板状态栏标签").GetProperty(Label::kText)), Gbk("搜索面板状态栏"));
  EXPECT_EQ(std::get<std::string>(get<Label>("标签5").GetProperty(Label::kText)), Gbk("包含关键词的日期有："));
  EXPECT_EQ(std::get<std::string>(get<Label>("标签1").GetProperty(Label::kText)), Gbk("打\"√\"代表加密"));

  EXPECT_EQ(static_cast<HeadlessGroupFrame&>(node("备忘列表分组框")).caption(), Gbk("本月备忘日期列表："));
  EXPECT_EQ(static_cast<HeadlessGroupFrame&>(node("分组框1")).caption(), Gbk("请输入搜索关键词："));
  EXPECT_EQ(static_cast<HeadlessGroupFrame&>(node("分组框3")).caption(), Gbk("选项面板"));
  EXPECT_EQ(static_cast<HeadlessGroupFrame&>(node("分组框7")).caption(), Gbk("版权"));
  EXPECT_EQ(static_cast<HeadlessGroupFrame&>(node("分组框2")).caption(), "");

  auto& month_list = static_cast<HeadlessListBox&>(node("本月备忘列表框"));
  EXPECT_EQ(month_list.Count(), 0);
  EXPECT_EQ(month_list.Selection(), -1);
  EXPECT_EQ(month_list.background(), Rgb(128, 255, 128));
  EXPECT_EQ(month_list.text_color(), Rgb(0, 0, 0));
  EXPECT_EQ(month_list.spacing(), 1);
  EXPECT_EQ(month_list.font().face, Gbk("宋体"));
  EXPECT_EQ(month_list.font().height, 12);
  auto& results = static_cast<HeadlessListBox&>(node("搜索结果列表框"));
  EXPECT_EQ(results.background(), Rgb(128, 255, 255));
  EXPECT_EQ(results.font().face, "") << "the default GUI font";

  auto& keyword = static_cast<HeadlessEdit&>(node("搜索内容编辑框"));
  EXPECT_EQ(keyword.Text(), "");
  EXPECT_EQ(keyword.text_color(), Rgb(255, 255, 255));
  EXPECT_EQ(keyword.background(), Rgb(0, 0, 128));
  // Too narrow for its icon and caption: the icon alone, the caption its tooltip.
  EXPECT_EQ(static_cast<HeadlessButton&>(node("搜索按钮")).caption(), "");
  EXPECT_EQ(static_cast<HeadlessButton&>(node("搜索按钮")).tooltip(), Gbk("搜索"));
  EXPECT_EQ(static_cast<HeadlessButton&>(node("搜索按钮")).icon().size(), (Size{16, 16}));
  auto& password = static_cast<HeadlessCheckBox&>(node("密码设置选择框"));
  EXPECT_EQ(password.caption(), Gbk("备忘是否加密？"));
  EXPECT_FALSE(password.IsChecked());

  HyperLinker& home = get<HyperLinker>("超级链接框1");
  EXPECT_EQ(std::get<std::string>(home.GetProperty(HyperLinker::kCaption)), Gbk("欢迎访问我的主页"));
  EXPECT_EQ(home.Target().rfind("http", 0), 0u);
  HyperLinker& mail = get<HyperLinker>("超级链接框2");
  EXPECT_EQ(std::get<std::string>(mail.GetProperty(HyperLinker::kCaption)), Gbk("我的电子信箱"));
  EXPECT_EQ(mail.Target().rfind("mailto:", 0), 0u);
  EXPECT_EQ(std::get<Color>(mail.GetProperty(HyperLinker::kLinkColor)), Rgb(0, 0, 255));
  EXPECT_EQ(std::get<Color>(mail.GetProperty(HyperLinker::kVisitedColor)), Rgb(128, 0, 0));
  EXPECT_EQ(std::get<Color>(mail.GetProperty(HyperLinker::kHoverColor)), Rgb(150, 181, 218));

  EXPECT_EQ(std::get<int>(get<Timer>("对齐时钟").GetProperty(Timer::kInterval)), 200);
  EXPECT_EQ(main_->calendar().calendar().DisplayMode(), 1);
  EXPECT_EQ(main_->calendar().calendar().selected(), (GregorianDate{2011, 3, 28}));
}

TEST_F(MainWindowHeadlessTest, PicturesInTheirSizes) {
  std::vector<Image> icons;
  for (std::string_view name : {"编辑按钮", "保存按钮", "选项面板按钮", "搜索面板按钮"}) {
    Image normal = get<SuperBtn>(name).PictureOf(SuperBtn::State::kNormal);
    EXPECT_EQ(normal.size(), (Size{48, 48})) << name;
    for (const Image& other : icons) EXPECT_NE(normal, other) << name << ": four different pictures";
    icons.push_back(normal);
  }
  SuperBtn& options = get<SuperBtn>("选项面板按钮");
  Image disabled = options.PictureOf(SuperBtn::State::kDisabled);
  EXPECT_EQ(disabled, DisabledImage(options.PictureOf(SuperBtn::State::kNormal)));
  EXPECT_EQ(get<SuperBtn>("导出以上按钮").PictureOf(SuperBtn::State::kNormal).size(), (Size{48, 48}));
  EXPECT_EQ(get<SuperBtn>("导出全库按钮").PictureOf(SuperBtn::State::kNormal).size(), (Size{48, 48}));
  EXPECT_NE(get<SuperBtn>("导出以上按钮").PictureOf(SuperBtn::State::kNormal),
            get<SuperBtn>("导出全库按钮").PictureOf(SuperBtn::State::kNormal));
  EXPECT_TRUE(get<SuperBtn>("导出以上按钮1").PictureOf(SuperBtn::State::kNormal).empty());
  Picture line = PictureOf(get<Label>("标签4").GetProperty(Label::kPicture));
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(line->size(), (Size{415, 7}));
  Picture about = PictureOf(get<PicBox>("图片框1").GetProperty(PicBox::kPicture));
  ASSERT_NE(about, nullptr);
  EXPECT_EQ(about->size(), (Size{149, 121}));
}








TEST_F(MainWindowHeadlessTest, WhichBindingsExist) {
  const std::vector<WiredBinding> expected{
      {"主窗口", 0, "StartUp"},
      {"主窗口", 1, "QueryShutDown"},
      {"主窗口", 6, "HideIntoDockStrip"},
      {"DockStrip", -1, "ComeBackFromDockStrip"},
      {"日历", 0, "CalendarDayClicked"},
      {"日历", 1, "CalendarDayHovered"},
      {"日历", 2, "CalendarDateChanged"},
      {"日历", -12, "CalendarWheelScrolled"},
      {"超级按钮1", 0, "GoToToday"},
      {"备忘编辑框", -4, "EditorRightButtonPressed"},
      {"备忘编辑框", -9, "EditorKeyPressed"},
      {"编辑按钮", 0, "EditClicked"},
      {"保存按钮", 0, "SaveClicked"},
      {"选项面板按钮", 0, "ToggleOptionsPanel"},
      {"搜索面板按钮", 0, "ToggleSidePanels"},
      {"主面板状态栏标签", -3, "ClearAllRecords"},
      {"本月备忘列表框", 0, "MonthListSelectionChanged"},
      {"本月备忘列表框", -7, "MonthListGotFocus"},
      {"搜索内容编辑框", -9, "KeywordKeyPressed"},
      {"搜索按钮", 0, "SearchClicked"},
      {"搜索结果列表框", 0, "SearchResultSelectionChanged"},
      {"搜索结果列表框", -7, "SearchResultGotFocus"},
      {"导出以上按钮", 0, "ExportListedClicked"},
      {"导出全库按钮", 0, "ExportAllClicked"},
      {"对齐时钟", 0, "AlignmentTick"},
      {"密码设置选择框", 0, "PasswordCheckBoxClicked"},
      {"复制", 0, "MenuCopy"},
      {"粘贴", 0, "MenuPaste"},
      {"剪切", 0, "MenuCut"},
      {"删除", 0, "MenuDelete"},
      {"全选", 0, "MenuSelectAll"},
  };
  EXPECT_EQ(main_->wired_bindings(), expected);
  // No other event of any control has a handler.
  std::size_t handled = 0;
  for (const auto& control : main_->window().controls()) handled += control->BoundEvents().size();
  handled += main_->window().BoundEvents().size() + main_->dock_strip().BoundEvents().size();
  for (const auto& item : main_->menu().items()) handled += item->HasHandler() ? 1 : 0;
  EXPECT_EQ(handled, expected.size());
  EXPECT_FALSE(main_->menu().items()[4]->HasHandler()) << "the separator";
}

TEST_F(MainWindowHeadlessTest, EmptyEntryPointsDoNothing) {
  Load();
  windows().Click(native(), centre("编辑按钮"));
  windows().DoubleClick(native(), centre("主面板状态栏标签"));
  windows().Click(native(), centre("日历"));
  windows().Click(native(), centre("备忘编辑框"), MouseButton::kRight);
  platform_.headless_loop().AdvanceTime(1000);
  for (const auto& item : main_->menu().items()) item->RaiseChosen();
  EXPECT_EQ(static_cast<HeadlessRichEdit&>(node("备忘编辑框")).own_right_clicks(), 1);
  EXPECT_TRUE(main_->window().Close()) << "no query-close handler: the window closes";
  EXPECT_EQ(platform_.headless_loop().quit_code(), 0);
}

TEST_F(MainWindowHeadlessTest, BindingsCallTheirEntryPointsWithTheirArguments) {
  std::vector<std::string> calls;
  MainWindowHandlers& h = main_->handlers();
  h.StartUp = [&] { calls.push_back("StartUp " + std::to_string(main_->window().controls().size())); };
  h.CalendarDateChanged = [&] { calls.push_back("DateChanged"); };
  h.CalendarDayHovered = [&](const LunarDate& d) {
    calls.push_back("Hovered " + std::to_string(d.month) + "-" + std::to_string(d.day));
  };
  h.CalendarWheelScrolled = [&](int notches, int keys) {
    calls.push_back("Wheel " + std::to_string(notches) + " " + std::to_string(keys));
  };
  h.ClearAllRecords = [&](int x, int y, int) { calls.push_back("Clear " + std::to_string(x) + "," + std::to_string(y)); };
  h.EditorRightButtonPressed = [&](int, int, int) {
    calls.push_back("EditorRight");
    return false;
  };
  h.ComeBackFromDockStrip = [&](int x, int y, int) {
    calls.push_back("ComeBack " + std::to_string(x) + "," + std::to_string(y));
  };
  h.AlignmentTick = [&] { calls.push_back("Tick"); };
  h.MenuSelectAll = [&] { calls.push_back("SelectAll"); };
  h.QueryShutDown = [&] { return false; };
  h.HideIntoDockStrip = [&](bool to_other_program) {
    calls.push_back(to_other_program ? "Deactivated other" : "Deactivated");
  };
  Load();
  EXPECT_EQ(calls, (std::vector<std::string>{"StartUp 33", "DateChanged"}))
      << "created first; the calendar's posted notification after it";
  calls.clear();

  Point day = at("日历");
  Rect cell = main_->calendar().calendar().CellRect(MainWindowHeadlessTest::kMarchTwentyEighthCell);
  windows().MoveMouse(native(), {day.x + cell.left + 10, day.y + cell.top + 10});
  windows().TurnWheel(-120, kKeyStateShift);
  windows().DoubleClick(native(), {20, 550});
  windows().Click(native(), centre("备忘编辑框"), MouseButton::kRight);
  platform_.headless_loop().AdvanceTime(400);
  main_->menu().items()[5]->RaiseChosen();
  windows().ActivateOtherApplication();
  main_->dock_strip().Load();
  main_->dock_strip().native_window().Show();
  auto& strip = static_cast<HeadlessWindow&>(main_->dock_strip().native_window());
  windows().Click(strip, {7, 1});
  EXPECT_EQ(calls, (std::vector<std::string>{"Hovered 2-24", "Clear 20,6", "EditorRight", "Tick", "Tick",
                                             "SelectAll", "Deactivated other", "ComeBack 7,1"}))
      << "the wheel reaches the calendar only while it has the focus";
  EXPECT_EQ(static_cast<HeadlessRichEdit&>(node("备忘编辑框")).own_right_clicks(), 0) << "answered false";
  EXPECT_FALSE(main_->window().Close()) << "query close answered false";
  EXPECT_TRUE(native().IsVisible());
}

}  // namespace
}  // namespace tarnwick
