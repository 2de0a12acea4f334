// The day view as a user lives it: looking at days, Edit and Save, the
// guard on an unsaved memo, clearing the store.
#include "memo/day_view.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "testing/memo_book_fixture.h"
#include "testing/store_check.h"

namespace tarnwick {
namespace {

using testing::kNoMemoHint;

class DayViewTest : public testing::MemoBookTest {
 protected:
  static std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::string StoredMemo(DateTime d) {
    return book().store().FindMemoRecord(d) ? Utf8(book().store().ReadMemoText()) : "<none>";
  }
};

TEST_F(DayViewTest, PickingDaysShowsTheirMemosOrTheHint) {
  Seed({{EncodeDate(2011, 5, 3), "三号的事"}});
  Start();
  ClickDay(2011, 5, 3);
  EXPECT_EQ(EditorText(), "三号的事");
  EXPECT_EQ(book().currentDate, EncodeDate(2011, 5, 3) + (86399.0 / 86400)) << "the calendar's selected date";
  EXPECT_EQ(StatusText(), "选择某个日期并查看当日备忘|当前数据库内共有1条记录");
  ClickDay(2011, 5, 4);
  EXPECT_EQ(EditorText(), kNoMemoHint);
  EXPECT_TRUE(c().备忘编辑框.read_only());
}

TEST_F(DayViewTest, EditAndSaveANewMemoThenFindItAfterARestart) {
  StartWithNewStore();
  ClickDay(2011, 5, 20);
  ClickCentre(c().编辑按钮);
  EXPECT_EQ(EditorText(), "") << "the hint goes";
  EXPECT_FALSE(c().备忘编辑框.read_only());
  EXPECT_TRUE(c().备忘编辑框.HasFocus());
  EXPECT_TRUE(c().编辑按钮.disabled());
  EXPECT_FALSE(c().保存按钮.disabled());
  EXPECT_EQ(StatusText(), "编辑完毕后，不要忘记保存哦~");
  windows().TypeText(Gbk("买菜"));
  ClickCentre(c().保存按钮);
  Settle();
  EXPECT_EQ(StatusText(), "当前编辑内容已保存");
  EXPECT_TRUE(c().备忘编辑框.read_only());
  EXPECT_TRUE(c().保存按钮.disabled());
  EXPECT_FALSE(c().编辑按钮.disabled());
  EXPECT_EQ(MonthListItems(), std::vector<std::string>{"2011年5月20日"}) << "a new record is listed";

  Restart();
  EXPECT_EQ(StatusText(), "选择某个日期并查看当日备忘|当前数据库内共有1条记录");
  ClickDay(2011, 5, 20);
  EXPECT_EQ(EditorText(), "买菜");
}

// While editing, Tab is part of the memo (a Space after it must not press
// Save); Ctrl+Tab leaves the editor, and Tab moves on again once saved.
TEST_F(DayViewTest, TabIsTypedIntoTheMemoWhileEditing) {
  StartWithNewStore();
  ClickCentre(c().编辑按钮);
  windows().PressKey(keys::kTab);
  windows().TypeText(Gbk(" 买菜"));
  EXPECT_EQ(EditorText(), "\t 买菜");
  EXPECT_TRUE(c().备忘编辑框.HasFocus());
  EXPECT_FALSE(c().保存按钮.disabled()) << "not saved by the Space";
  windows().PressKey(keys::kTab, kKeyStateCtrl);
  EXPECT_TRUE(c().保存按钮.HasFocus());
  ClickCentre(c().保存按钮);
  Settle();
  c().备忘编辑框.SetFocus();
  windows().PressKey(keys::kTab);
  EXPECT_FALSE(c().备忘编辑框.HasFocus()) << "viewing: Tab moves on";
  EXPECT_EQ(StoredMemo(EncodeDate(2011, 5, 17)), "\t 买菜");
}

TEST_F(DayViewTest, SavingNothingKeepsAnEmptyMemoAndRewritingKeepsOneRecord) {
  StartWithNewStore();
  ClickDay(2011, 5, 20);
  ClickCentre(c().编辑按钮);
  ClickCentre(c().保存按钮);
  Settle();
  EXPECT_EQ(StoredMemo(EncodeDate(2011, 5, 20)), "");
  EXPECT_EQ(MonthListItems(), std::vector<std::string>{"2011年5月20日"});
  WriteMemo("补上");
  EXPECT_EQ(StoredMemo(EncodeDate(2011, 5, 20)), "补上");
  EXPECT_EQ(book().store().MemoCount(), 1);
}

TEST_F(DayViewTest, AMemoThatReadsLikeTheHintIsEmptiedByEdit) {
  Seed({{EncodeDate(2011, 5, 17), std::string(kNoMemoHint)}});
  Start();
  ClickCentre(c().编辑按钮);
  EXPECT_EQ(EditorText(), "");
}

// The calendar's year and month lists are one more way to pick a date: the
// chosen date's memo is shown, and while editing the choice is held off as
// a day click is.
TEST_F(DayViewTest, AMonthOrYearChosenInTheCalendarsListsLoadsThatDate) {
  Seed({{EncodeDate(2011, 5, 17), "五月"}, {EncodeDate(2011, 1, 17), "一月"}, {EncodeDate(2012, 1, 17), "明年"}});
  Start();
  CnMonthCalendar& calendar = c().日历.calendar();
  auto& months = static_cast<HeadlessDropDownList&>(*calendar.month_list());
  auto& years = static_cast<HeadlessDropDownList&>(*calendar.year_list());
  months.UserChoose(0);  // 一月
  Settle();
  EXPECT_EQ(EditorText(), "一月");
  EXPECT_EQ(MonthListItems(), std::vector<std::string>{"2011年1月17日"});
  years.UserChoose(2012 - 1902);
  Settle();
  EXPECT_EQ(EditorText(), "明年");

  ClickCentre(c().编辑按钮);
  windows().TypeText(Gbk("改过"));
  months.UserChoose(2);  // 三月
  Settle();
  EXPECT_EQ(calendar.selected(), (GregorianDate{2012, 3, 17}));
  EXPECT_EQ(StatusText(), "还没保存呢");
  EXPECT_EQ(EditorText(), "改过明年");
  ClickCentre(c().保存按钮);
  Settle();
  EXPECT_EQ(StoredMemo(EncodeDate(2012, 1, 17)), "改过明年");
  EXPECT_EQ(StoredMemo(EncodeDate(2012, 3, 17)), "<none>");
  EXPECT_EQ(StoredMemo(EncodeDate(2011, 5, 17)), "五月");
}

TEST_F(DayViewTest, ClickingAnotherDayWhileEditingKeepsTheMemoAndItsDate) {
  StartWithNewStore();
  ClickDay(2011, 5, 10);
  ClickCentre(c().编辑按钮);
  windows().TypeText(Gbk("十号"));
  ClickDay(2011, 5, 12);
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{2011, 5, 12}));
  EXPECT_EQ(EditorText(), "十号");
  EXPECT_EQ(StatusText(), "注意：信息尚未保存，请点击<保存>按钮后再进行其他操作！");
  EXPECT_EQ(StatusBackground(), Rgb(255, 255, 0));
  EXPECT_EQ(MonthListItems(), std::vector<std::string>{"2011年5月没有记录！"}) << "still rebuilt";

  ClickCentre(c().保存按钮);
  Settle();
  EXPECT_EQ(StoredMemo(EncodeDate(2011, 5, 10)), "十号");
  EXPECT_EQ(StoredMemo(EncodeDate(2011, 5, 12)), "<none>");
  EXPECT_EQ(EditorText(), "十号") << "the saved memo stays until a date is picked";
  ClickDay(2011, 5, 12);
  EXPECT_EQ(EditorText(), kNoMemoHint);
}

TEST_F(DayViewTest, OtherDateChangesWhileEditingOnlySayNotSavedYet) {
  StartWithNewStore();
  ClickCentre(c().编辑按钮);
  windows().TypeText(Gbk("今天"));
  c().主面板状态栏标签.SetBackground(Rgb(1, 2, 3));
  c().日历.calendar().SetDate(2011, 8, 1);
  Settle();
  EXPECT_EQ(StatusText(), "还没保存呢");
  EXPECT_EQ(StatusBackground(), Rgb(1, 2, 3)) << "the background stays";
  EXPECT_EQ(EditorText(), "今天");
  EXPECT_EQ(book().currentDate, EncodeDate(2011, 5, 17) + 86399.0 / 86400);
}

TEST_F(DayViewTest, ClearAllAsksThenEmptiesTheStoreInEitherMode) {
  Seed({{EncodeDate(2011, 5, 3), "a"}, {EncodeDate(2011, 5, 17), "b"}});
  Start();
  ExpectMessage("真的清空所有记录？", MessageResult::kNo);
  DoubleClick(c().主面板状态栏标签);
  Settle();
  EXPECT_EQ(Utf8(dialogs().shown().back().title), "清空数据库：");
  EXPECT_EQ(book().store().MemoCount(), 2);
  // A stray double click and then Return: No is the default.
  dialogs().ExpectMessageBoxReturn(Gbk("真的清空所有记录？"));
  DoubleClick(c().主面板状态栏标签);
  Settle();
  EXPECT_EQ(book().store().MemoCount(), 2);
  EXPECT_EQ(EditorText(), "b");

  // While editing, what is typed stays and the next save writes it anew.
  ClickCentre(c().编辑按钮);
  windows().TypeText(Gbk("留下"));
  ExpectMessage("真的清空所有记录？", MessageResult::kYes);
  DoubleClick(c().主面板状态栏标签);
  Settle();
  EXPECT_EQ(book().store().MemoCount(), 0);
  EXPECT_EQ(EditorText(), "留下b");
  EXPECT_EQ(StatusText(), "选择某个日期并查看当日备忘|当前数据库内共有0条记录");
  EXPECT_FALSE(c().保存按钮.disabled()) << "the mode stays";
  ClickCentre(c().保存按钮);
  Settle();
  EXPECT_EQ(book().store().MemoCount(), 1);
  EXPECT_EQ(StoredMemo(EncodeDate(2011, 5, 17)), "留下b");

  // Viewing, the cleared day shows the hint.
  ExpectMessage("真的清空所有记录？", MessageResult::kYes);
  DoubleClick(c().主面板状态栏标签);
  Settle();
  EXPECT_EQ(EditorText(), kNoMemoHint);
}

TEST_F(DayViewTest, SaveWithoutAStoreFailsAndKeepsTheText) {
  Seed({});
  Start();
  book().store().CloseMemoDatabase();
  ClickCentre(c().编辑按钮);
  windows().TypeText(Gbk("不能丢"));
  ExpectMessage("增加记录失败，请检查数据库文件是否存在。");
  ClickCentre(c().保存按钮);
  Settle();
  EXPECT_EQ(EditorText(), "不能丢");
  EXPECT_FALSE(c().保存按钮.disabled());
  EXPECT_FALSE(c().备忘编辑框.read_only());
}

TEST_F(DayViewTest, AFailedRewriteSaysSoAndTheNextSaveSucceeds) {
  Seed({{EncodeDate(2011, 5, 17), "旧的"}});
  Start();
  SitIdle();  // the day's backup written: the write that fails is the save's
  ClickCentre(c().编辑按钮);
  c().备忘编辑框.Select(0, -1);
  windows().TypeText(Gbk("新的"));
  faults_.FailNth(testing::FaultFileSystem::Operation::kWrite, 1, error::kHardwareFault);
  ExpectMessage("保存当前编辑信息失败：读写数据库文件时出错（错误代码 -11）。\r\n当前编辑的内容仍在编辑框中。请稍后再点击<保存>按钮。");
  ClickCentre(c().保存按钮);
  Settle();
  EXPECT_EQ(EditorText(), "新的");
  EXPECT_FALSE(c().保存按钮.disabled()) << "still editing";
  faults_.Disarm();
  ClickCentre(c().保存按钮);
  Settle();
  EXPECT_EQ(StoredMemo(EncodeDate(2011, 5, 17)), "新的");
}

// A full disk: the save says so, the store's files stay byte for byte as
// they were (no header ahead of its data), and once there is room again the
// same session saves, both a new memo and a longer rewrite.
TEST_F(DayViewTest, AFullDiskLeavesTheStoreAsItWasAndSavingWorksOnceThereIsRoom) {
  Seed({{EncodeDate(2011, 5, 17), "旧的"}});
  Start();
  SitIdle();
  const auto bytes = [&] { return ReadFile(dir_.File("memo.edb")) + ReadFile(dir_.File("memo.EDT")); };
  const std::string before = bytes();
  const std::string long_text(1200, 'x');  // three blocks of the memo file

  ClickDay(2011, 5, 18);
  ClickCentre(c().编辑按钮);
  windows().TypeText(long_text);
  faults_.SetDiskFull(true);
  ExpectMessage("增加记录失败：磁盘空间已满。\r\n当前编辑的内容仍在编辑框中。请删除一些文件腾出空间后，再点击<保存>按钮。");
  ClickCentre(c().保存按钮);
  Settle();
  EXPECT_TRUE(bytes() == before) << "a failed append leaves the store as it was";
  EXPECT_FALSE(c().保存按钮.disabled());

  faults_.SetDiskFull(false);
  ClickCentre(c().保存按钮);
  Settle();
  EXPECT_EQ(StoredMemo(EncodeDate(2011, 5, 18)), long_text);

  ClickDay(2011, 5, 17);
  ClickCentre(c().编辑按钮);
  windows().TypeText(long_text);
  const std::string after_append = bytes();
  faults_.SetDiskFull(true);
  ExpectMessage("保存当前编辑信息失败：磁盘空间已满。\r\n当前编辑的内容仍在编辑框中。请删除一些文件腾出空间后，再点击<保存>按钮。");
  ClickCentre(c().保存按钮);
  Settle();
  EXPECT_TRUE(bytes() == after_append) << "a failed rewrite leaves the store as it was";
  faults_.SetDiskFull(false);
  ClickCentre(c().保存按钮);
  Settle();
  EXPECT_EQ(StoredMemo(EncodeDate(2011, 5, 17)), long_text + "旧的");
  Close();
  const testing::StoreCheck check = testing::CheckStore(folder_, std::nullopt);
  EXPECT_TRUE(check.damage.empty()) << check.damage.front();
  EXPECT_EQ(check.lost_blocks, 0);
}

TEST_F(DayViewTest, TheSidePanelButtonShowsTheRecordCount) {
  Seed({{EncodeDate(2011, 5, 3), "a"}});
  Start();
  c().主面板状态栏标签.SetBackground(Rgb(255, 255, 0));
  program_->main_window().ToggleSidePanels();
  EXPECT_EQ(StatusText(), "选择某个日期并查看当日备忘|当前数据库内共有1条记录");
  EXPECT_EQ(StatusBackground(), Rgb(0, 128, 128));
}

}  // namespace
}  // namespace tarnwick
