// The month overview and the navigation around the calendar.
#include "memo/month_overview.h"

#include <gtest/gtest.h>

#include "testing/memo_book_fixture.h"

namespace tarnwick {
namespace {

using testing::kNoMemoHint;

class MonthOverviewTest : public testing::MemoBookTest {
 protected:
  std::string SideStatus() { return Utf8(c().搜索面板状态栏标签.text()); }
  std::string ListCaption() { return Utf8(c().备忘列表分组框.caption()); }
  // The user picks the item of a list with this text.
  void Pick(ListBox& list, std::string_view utf8) {
    for (int i = 0; i < list.Count(); ++i) {
      if (Utf8(list.ItemText(i)) == utf8) {
        list.SetFocus();
        list.SetSelection(i);
        list.Raise(ListBox::kSelectionChanged);
        Settle();
        return;
      }
    }
    ADD_FAILURE() << "no item " << utf8;
  }
  void Wheel(int delta) {
    Hover(c().日历, {100, 100});
    windows().TurnWheel(delta);
    Settle();
  }
};

TEST_F(MonthOverviewTest, TheMonthListsItsDaysInOrderWithCaptionAndCount) {
  Seed({{EncodeDate(2011, 5, 25), "c"},
        {EncodeDate(2010, 5, 4), "other year"},
        {EncodeDate(2011, 5, 3), "a"},
        {EncodeDate(2011, 6, 1), "other month"},
        {EncodeDate(2011, 5, 13), "b"}});
  Start();
  EXPECT_EQ(MonthListItems(), (std::vector<std::string>{"2011年5月03日", "2011年5月13日", "2011年5月25日"}));
  EXPECT_EQ(SideStatus(), "2011年5月共有3天存在记录");
  EXPECT_EQ(ListCaption(), "2011年5月备忘列表：");

  c().日历.calendar().SetDate(2011, 7, 9);
  Settle();
  EXPECT_EQ(MonthListItems(), std::vector<std::string>{"2011年7月没有记录！"});
  EXPECT_EQ(SideStatus(), "2011年7月共有0天存在记录");
  EXPECT_EQ(ListCaption(), "2011年7月备忘列表：");
}

TEST_F(MonthOverviewTest, JumpingFromTheMonthListKeepsTheListAndItsSelection) {
  Seed({{EncodeDate(2011, 5, 3), "三号"}, {EncodeDate(2011, 5, 13), "十三号"}});
  Start();
  ListBox& list = c().本月备忘列表框;
  Pick(list, "2011年5月03日");
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{2011, 5, 3}));
  EXPECT_EQ(EditorText(), "三号");
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(Utf8(list.ItemText(list.selection())), "2011年5月03日");
  Pick(list, "2011年5月13日");
  EXPECT_EQ(EditorText(), "十三号");
}

TEST_F(MonthOverviewTest, TheNoRecordsLineIsNoDate) {
  StartWithNewStore();
  Pick(c().本月备忘列表框, "2011年5月没有记录！");
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{2011, 5, 17}));
  EXPECT_EQ(EditorText(), kNoMemoHint);
}

TEST_F(MonthOverviewTest, AJumpWhileEditingMovesTheCalendarButSavesToTheEditedDate) {
  Seed({{EncodeDate(2011, 5, 3), "三号"}});
  Start();
  ClickCentre(c().编辑按钮);
  windows().TypeText(Gbk("十七号"));
  Pick(c().本月备忘列表框, "2011年5月03日");
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{2011, 5, 3}));
  EXPECT_EQ(StatusText(), "还没保存呢");
  EXPECT_EQ(EditorText(), "十七号");
  ClickCentre(c().保存按钮);
  Settle();
  ASSERT_TRUE(book().store().FindMemoRecord(EncodeDate(2011, 5, 17)));
  EXPECT_EQ(Utf8(book().store().ReadMemoText()), "十七号");
  ASSERT_TRUE(book().store().FindMemoRecord(EncodeDate(2011, 5, 3)));
  EXPECT_EQ(Utf8(book().store().ReadMemoText()), "三号");
}

TEST_F(MonthOverviewTest, TheDayGridByKeyboardShowsTheDaysMemoAndSaysNotSavedWhileEditing) {
  Seed({{EncodeDate(2011, 3, 16), "三月"}, {EncodeDate(2011, 5, 17), "今天"}});
  Start();
  c().日历.SetFocus();
  windows().PressKey(keys::kPageUp);
  windows().PressKey(keys::kPageUp);
  windows().PressKey(keys::kLeft);
  Settle();
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{2011, 3, 16}));
  EXPECT_EQ(EditorText(), "三月");
  EXPECT_EQ(MonthListItems(), std::vector<std::string>{"2011年3月16日"});

  ClickCentre(c().编辑按钮);
  windows().TypeText(Gbk("改"));
  c().日历.SetFocus();
  windows().PressKey(keys::kRight);
  Settle();
  EXPECT_EQ(StatusText(), "还没保存呢");
  EXPECT_EQ(EditorText(), "改三月");
  ClickCentre(c().保存按钮);
  Settle();
  ASSERT_TRUE(book().store().FindMemoRecord(EncodeDate(2011, 3, 16)));
  EXPECT_EQ(Utf8(book().store().ReadMemoText()), "改三月");
}

// The calendar shows 1901-02-19 to 2048-12-31; a memo outside (written by
// another tool) is listed and found, but a jump to it goes nowhere: the
// editor keeps its memo, and a save still writes that memo's date.
TEST_F(MonthOverviewTest, AJumpTheCalendarRefusesLeavesTheMemoAndTheDateASaveWrites) {
  Seed({{EncodeDate(2011, 5, 17), "今天"}, {EncodeDate(2049, 6, 1), "远方"}, {EncodeDate(1901, 2, 3), "老黄历"}});
  Start();
  c().搜索结果列表框.AddItem(Gbk("2049年6月1日"));
  Pick(c().搜索结果列表框, "2049年6月1日");
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{2011, 5, 17}));
  EXPECT_EQ(EditorText(), "今天");
  ClickCentre(c().编辑按钮);
  windows().TypeText(Gbk("又"));
  ClickCentre(c().保存按钮);
  Settle();
  ASSERT_TRUE(book().store().FindMemoRecord(EncodeDate(2049, 6, 1)));
  EXPECT_EQ(Utf8(book().store().ReadMemoText()), "远方");
  ASSERT_TRUE(book().store().FindMemoRecord(EncodeDate(2011, 5, 17)));
  EXPECT_EQ(Utf8(book().store().ReadMemoText()), "又今天");

  c().日历.calendar().SetDate(1901, 2, 20);
  Settle();
  Pick(c().本月备忘列表框, "1901年2月03日");
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{1901, 2, 20}));
  EXPECT_EQ(book().currentDate, EncodeDate(1901, 2, 20) + (86399.0 / 86400));
}

TEST_F(MonthOverviewTest, ASearchResultJumpRebuildsTheMonthList) {
  Seed({{EncodeDate(2011, 9, 1), "九月"}});
  Start();
  c().搜索结果列表框.AddItem(Gbk("2011年9月1日"));
  Pick(c().搜索结果列表框, "2011年9月1日");
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{2011, 9, 1}));
  EXPECT_EQ(EditorText(), "九月");
  EXPECT_EQ(MonthListItems(), std::vector<std::string>{"2011年9月01日"});
}

TEST_F(MonthOverviewTest, TheListFollowsEveryChangeOfTheStoreInTheShownMonth) {
  Seed({{EncodeDate(2011, 5, 3), "a"}});
  Start();
  EXPECT_EQ(MonthListItems(), std::vector<std::string>{"2011年5月03日"});
  ExpectMessage("真的清空所有记录？", MessageResult::kYes);
  DoubleClick(c().主面板状态栏标签);
  Settle();
  ClickDay(2011, 5, 20);
  EXPECT_EQ(MonthListItems(), std::vector<std::string>{"2011年5月没有记录！"});
  WriteMemo("new");
  EXPECT_EQ(MonthListItems(), std::vector<std::string>{"2011年5月20日"});
  ClickDay(2011, 5, 3);
  EXPECT_EQ(MonthListItems(), std::vector<std::string>{"2011年5月20日"});
  EXPECT_EQ(SideStatus(), "2011年5月共有1天存在记录");
}

TEST_F(MonthOverviewTest, TheMonthListRecountsWhenItGetsTheFocus) {
  Seed({{EncodeDate(2011, 5, 3), "a"}});
  Start();
  c().搜索面板状态栏标签.SetText("x");
  ASSERT_TRUE(book().store().AppendMemo(EncodeDate(2011, 5, 4), "written meanwhile"));
  c().本月备忘列表框.SetFocus();
  Settle();
  EXPECT_EQ(SideStatus(), "2011年5月共有2天存在记录");
  EXPECT_EQ(MonthListItems(), std::vector<std::string>{"2011年5月03日"}) << "the list itself stays";
}

TEST_F(MonthOverviewTest, TheWheelStepsWholeNotchesFromTheMonthShownWithinItsYear) {
  StartWithNewStore();
  const auto shown = [&] { return c().日历.calendar().selected(); };
  Wheel(0);
  Wheel(-60);
  EXPECT_EQ(shown(), (GregorianDate{2011, 5, 17})) << "no step before a whole notch";
  Wheel(-60);
  EXPECT_EQ(shown(), (GregorianDate{2011, 6, 15})) << "toward the user: the next month";
  Wheel(240);
  EXPECT_EQ(shown(), (GregorianDate{2011, 4, 15}));

  // From a month chosen elsewhere, in its own year.
  c().日历.calendar().SetDate(2009, 9, 3);
  Settle();
  Wheel(120);
  EXPECT_EQ(shown(), (GregorianDate{2009, 8, 15}));
  for (int i = 0; i < 6; ++i) Wheel(-120);
  EXPECT_EQ(shown(), (GregorianDate{2009, 12, 15})) << "the year is never stepped";
  Wheel(120);
  EXPECT_EQ(shown(), (GregorianDate{2009, 11, 15})) << "turning back answers at once";
}

// Hovering gives the calendar the keyboard, but not while text is being
// typed: the editor while editing and the keyword box keep it, and the
// wheel over the calendar still steps its month.
TEST_F(MonthOverviewTest, TheCalendarTakesNoKeyboardFromTextBeingTyped) {
  StartWithNewStore();
  ClickCentre(c().编辑按钮);
  Hover(c().日历, {100, 100});
  windows().TypeText("XYZ");
  EXPECT_EQ(EditorText(), "XYZ");
  windows().TurnWheel(-120);
  Settle();
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{2011, 6, 15}));
  EXPECT_TRUE(c().备忘编辑框.HasFocus());
  ClickCentre(c().保存按钮);

  program_->main_window().ToggleSidePanels();
  Settle();
  ASSERT_TRUE(c().搜索内容编辑框.HasFocus());
  Hover(c().日历, {150, 120});
  windows().TypeText("abc");
  EXPECT_EQ(c().搜索内容编辑框.text(), "abc");

  Click(c().本月备忘列表框, {5, 5});
  Hover(c().日历, {100, 100});
  EXPECT_TRUE(c().日历.HasFocus()) << "from a list the calendar takes the keyboard";
}

TEST_F(MonthOverviewTest, GoToTodayMovesTheCalendar) {
  StartWithNewStore();
  c().日历.calendar().SetDate(2009, 2, 2);
  Settle();
  ClickCentre(c().超级按钮1);
  Settle();
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{2011, 5, 17}));
}

TEST_F(MonthOverviewTest, TheAlignmentSnapsTheWindowToTheScreenEdges) {
  StartWithNewStore();
  Window& window = main_window();
  window.SetProperty(property::kLeft, 30);
  window.SetProperty(property::kTop, -20);
  loop().AdvanceTime(200);
  EXPECT_EQ(window.outer_rect().left, 0);
  EXPECT_EQ(window.outer_rect().top, 0);

  window.SetProperty(property::kWidth, 664);
  window.SetProperty(property::kLeft, 900);
  window.SetProperty(property::kTop, 300);
  loop().AdvanceTime(200);
  EXPECT_EQ(window.outer_rect().left, 616);
  EXPECT_EQ(window.outer_rect().top, 300);
  window.SetProperty(property::kTop, 49);
  loop().AdvanceTime(200);
  EXPECT_EQ(window.outer_rect().top, 0);
}

}  // namespace
}  // namespace tarnwick
