// The life cycle as a user lives it: first run, start-up with a store, the
// locked state and the unlock, the top-edge strip, the shut-down.
#include "memo/lifecycle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "memo/backup_taker.h"
#include "testing/memo_book_fixture.h"

namespace tarnwick {
namespace {

using testing::kNoMemoHint;

constexpr std::string_view kAppendFailedDiskFull =
    "增加记录失败：磁盘空间已满。\r\n当前编辑的内容仍在编辑框中。请删除一些文件腾出空间后，再点击<保存>按钮。";

class LifecycleTest : public testing::MemoBookTest {
 protected:
  // A store protected by password, holding a memo of 2011-05-16.
  void SeedProtectedStore(const std::string& password) {
    Seed({{EncodeDate(2011, 5, 16), "昨天"}});
    DatabaseEngine engine;
    MemoStore store(engine, folder_);
    ASSERT_TRUE(store.OpenMemoDatabase());
    ASSERT_TRUE(store.SetDatabasePassword(password));
    store.CloseMemoDatabase();
  }
  // The rescue file in the data folder, in UTF-8.
  std::string ReadRescueFile() {
    std::ifstream in(dir_.File("memo-rescued.txt"), std::ios::binary);
    return Utf8(std::string(std::istreambuf_iterator<char>(in), {}));
  }
  void ClickToday() {
    ClickCentre(c().超级按钮1);
    Settle();
  }
};

TEST_F(LifecycleTest, FirstRunCreatesTheStoreWhenTheUserAgrees) {
  StartWithNewStore();
  EXPECT_EQ(dialogs().shown()[0].title, Gbk("请确认："));
  EXPECT_EQ(dialogs().shown()[0].buttons, MessageButtons::kYesNo);
  EXPECT_TRUE(std::filesystem::exists(dir_.File("memo.edb")));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("memo.EDT")));
  EXPECT_EQ(StatusText(), "选择某个日期并查看当日备忘|当前数据库内共有0条记录");
  EXPECT_EQ(StatusBackground(), Rgb(0, 128, 128));
  EXPECT_EQ(EditorText(), kNoMemoHint);
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{2011, 5, 17}));
  EXPECT_FALSE(NativeOf(c().DockStrip).IsVisible());
  EXPECT_TRUE(native_main().IsVisible());
  EXPECT_FALSE(loop().quit_code().has_value());
  // The new store's backup of the day, taken once the window stands idle.
  SitIdle();
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / "backups" / "20110517-100000-daily-0" / "memo.edb"));
}

TEST_F(LifecycleTest, FirstRunDeclinedSaysFarewellAndEndsWithoutAFile) {
  ExpectMessage("数据库文件未找到！是否重新创建一个新的数据库？", MessageResult::kNo);
  ExpectMessage("抱歉，没有数据库支持本软件无法执行，程序将自动退出");
  Start();
  EXPECT_EQ(loop().quit_code(), 0);
  EXPECT_FALSE(native_main().IsVisible());
  EXPECT_FALSE(std::filesystem::exists(dir_.File("memo.edb")));
}

// A kill between the creation's two files leaves memo.edb alone; the next
// start finishes the creation, and what is saved then is kept.
TEST_F(LifecycleTest, AFirstRunCutShortIsFinishedByTheNextStart) {
  Seed({});
  std::filesystem::remove(dir_.path() / "memo.EDT");
  Start();
  EXPECT_EQ(StatusText(), "选择某个日期并查看当日备忘|当前数据库内共有0条记录");
  WriteMemo("第一条");
  Restart();
  EXPECT_EQ(EditorText(), "第一条");
  EXPECT_EQ(StatusText(), "选择某个日期并查看当日备忘|当前数据库内共有1条记录");
}

// memo.edb with records but without its memo file is damage: said so, with
// the newest backup to restore, and memo.edb is left exactly as it was.
TEST_F(LifecycleTest, RecordsWithoutTheirMemoFileAreNamedAsDamageAndKept) {
  Seed({{EncodeDate(2011, 5, 17), "今天"}});
  Start();
  SitIdle();
  Close();
  std::filesystem::remove(dir_.path() / "memo.EDT");
  std::ifstream in(dir_.path() / "memo.edb", std::ios::binary);
  const std::string before{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  in.close();
  ExpectMessage("备忘数据库已损坏：备忘内容文件 memo.EDT 不见了，memo.edb 中的备忘都无法读取。memo.edb 已原样保留。"
                "\r\n请把 memo.EDT 放回数据文件夹：\r\n" + dir_.path().string() +
                "\r\n或者用最近的备份恢复：\r\nedbtool restore " + dir_.path().string() + " 20110517-100000-daily-1");
  Start();
  std::ifstream again(dir_.path() / "memo.edb", std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(again), std::istreambuf_iterator<char>()), before);
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "memo.EDT")) << "no empty memo file made beside the records";
}

// memo.EDT of another memo book beside memo.edb (its creation stamp moved;
// a bit flipped flips it also under the cipher) is refused by name, at the
// start and at the unlock, and both files stay as they were.
TEST_F(LifecycleTest, AMemoFileOfAnotherMemoBookIsRefusedByName) {
  const std::string memo_path = (dir_.path() / "memo.EDT").string();
  auto read_all = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  auto flip_stamp_bit = [&](int offset, char bit) {
    std::string bytes = read_all(memo_path);
    bytes[offset] = static_cast<char>(bytes[offset] ^ bit);
    std::ofstream(memo_path, std::ios::binary | std::ios::trunc) << bytes;
    return bytes;
  };
  const std::string refusal = "memo.edb 和 memo.EDT 来自两个不同的备忘录（两者的创建时间不同），不能一起打开；"
                              "两个文件都留在数据文件夹中，没有删除。\r\n请把与 memo.edb 同属一个备忘录的 memo.EDT "
                              "放回数据文件夹：\r\n" + dir_.path().string();
  for (const bool enciphered : {false, true}) {
    SCOPED_TRACE(enciphered ? "enciphered" : "plain");
    if (enciphered) {
      SeedProtectedStore("pw");
    } else {
      Seed({{EncodeDate(2011, 5, 16), "昨天"}});
    }
    // The stamp's lowest byte: well under a second, still the same memo book.
    flip_stamp_bit(8, 1);
    const std::string other_memo_file = flip_stamp_bit(14, 1);
    const std::string main_file = read_all((dir_.path() / "memo.edb").string());
    if (enciphered) dialogs().ExpectInputBox({}, "pw");
    ExpectMessage(refusal);
    Start();
    if (enciphered) ClickToday();
    EXPECT_EQ(read_all(memo_path), other_memo_file);
    EXPECT_EQ(read_all((dir_.path() / "memo.edb").string()), main_file);
    flip_stamp_bit(14, 1);
    if (enciphered) dialogs().ExpectInputBox({}, "pw");
    Start();
    if (enciphered) ClickToday();
    ClickDay(2011, 5, 16);
    EXPECT_EQ(EditorText(), "昨天") << "the memo book's own memo file opens";
    Close();
    for (const char* name : {"memo.edb", "memo.EDT", "backups"}) std::filesystem::remove_all(dir_.path() / name);
  }
}

// A memo file brought without its memo.edb: "create new" renames it aside,
// says where, and the new store leaves it as it was.
TEST_F(LifecycleTest, ALoneMemoFileIsRenamedAsideBeforeANewStoreIsCreated) {
  Seed({{EncodeDate(2011, 5, 3), "留着的备忘"}});
  std::filesystem::remove(dir_.path() / "memo.edb");
  std::ifstream in(dir_.path() / "memo.EDT", std::ios::binary);
  const std::string lone{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  in.close();
  const std::string aside = dir_.File("memo-lone-20110517-100000.EDT");
  ExpectMessage("数据库文件未找到！是否重新创建一个新的数据库？", MessageResult::kYes);
  ExpectMessage("数据文件夹中已有一个不成对的备忘数据库文件，为免新数据库覆盖其中的备忘，已改名保存为：\r\n" + aside +
                "\r\n其中的备忘内容可以用 edbtool memos 命令列出。");
  Start();
  EXPECT_EQ(StatusText(), "选择某个日期并查看当日备忘|当前数据库内共有0条记录");
  std::ifstream kept(aside, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), std::istreambuf_iterator<char>()), lone);
  EXPECT_TRUE(std::filesystem::exists(dir_.path() / "memo.EDT")) << "the new store's own memo file";
}

TEST_F(LifecycleTest, FirstRunAwayFromAnUnwritableProgramFolderSaysWhereTheStoreGoes) {
  dialogs().ExpectMessageBox(Gbk("数据库文件未找到！是否重新创建一个新的数据库？\r\n\r\n"
                                 "本程序所在的文件夹不能写入，新的数据库将建在：\r\n") + folder_,
                             MessageResult::kYes);
  engine_ = std::make_unique<DatabaseEngine>(&faults_);
  program_ = std::make_unique<MemoProgram>(platform_, *engine_, folder_, /*folder_instead_of_programs=*/true);
  program_->Load();
  Settle();
  EXPECT_EQ(dialogs().shown()[0].title, Gbk("请确认："));
  EXPECT_TRUE(std::filesystem::exists(dir_.File("memo.edb")));
  EXPECT_EQ(StatusText(), "选择某个日期并查看当日备忘|当前数据库内共有0条记录");
}

// A data folder named in Chinese, with a character GBK lacks (kept as its
// GB18030 code inside): the store is made, saved to, reopened, backed up and
// exported under the names the user sees.
TEST_F(LifecycleTest, ADataFolderNamedOutsideAsciiWorksThroughout) {
  const std::filesystem::path folder = dir_.path() / std::filesystem::u8path("备忘 数据𠮷");
  ASSERT_TRUE(std::filesystem::create_directory(folder));
  folder_ = Utf8ToGbk(folder.string());
  StartWithNewStore();
  WriteMemo("路径里有𠮷");
  Restart();
  EXPECT_EQ(EditorText(), "路径里有𠮷");
  SitIdle();
  EXPECT_TRUE(std::filesystem::exists(folder / "backups" / "20110517-100000-daily-0" / "memo.EDT"));
  ClickCentre(*program_->main_window().Find("搜索面板按钮"));
  Settle();
  const std::filesystem::path exported = folder / std::filesystem::u8path("导出𠮷.txt");
  dialogs().ExpectFileDialog(Utf8ToGbk(exported.string()));
  ExpectMessage("数据库导出完毕！");
  ClickCentre(c().导出全库按钮);
  Settle();
  std::ifstream in(exported, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  EXPECT_NE(bytes.find(Gbk("路径里有𠮷")), std::string::npos) << "the export under its own name";
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"backups", "memo.EDT", "memo.edb", "导出𠮷.txt"}));
}

TEST_F(LifecycleTest, StartUpWithAStoreShowsTodayDockedAtTheTopEdge) {
  Seed({{EncodeDate(2011, 5, 16), "昨天"}, {EncodeDate(2011, 5, 17), "今天的备忘"}});
  Start();
  EXPECT_EQ(EditorText(), "今天的备忘");
  EXPECT_EQ(StatusText(), "选择某个日期并查看当日备忘|当前数据库内共有2条记录");
  const Rect frame = main_window().outer_rect();
  EXPECT_EQ(frame.top, 0);
  EXPECT_EQ(frame.left, 1280 - 371 - 300);
  EXPECT_EQ(Utf8(main_window().caption()), "Tarnwick V2.8 beta  ");
  loop().AdvanceTime(200);
  EXPECT_EQ(Utf8(main_window().caption()), "Tarnwick V2.8 Beta") << "the first alignment tick";
  EXPECT_TRUE(c().备忘编辑框.read_only());
  EXPECT_TRUE(c().保存按钮.disabled());
}

TEST_F(LifecycleTest, TheCalendarHasTheKeyboardFocusAfterStartUp) {
  StartWithNewStore();
  EXPECT_TRUE(c().日历.HasFocus());
}

// A second copy would show an empty memo book whose saves all fail: it says
// the memo book is open in another window and ends, on a plain store and
// on a protected one that the first copy has unlocked.
TEST_F(LifecycleTest, ASecondRunningCopySaysWhereTheMemoBookIsOpenAndEnds) {
  auto start_second_copy = [&] {
    DatabaseEngine other_engine;
    MainWindow other_window(platform_);
    MemoBook other(other_window, other_engine, folder_);
    ExpectMessage("备忘录已经在另一个窗口中打开了，请在那个窗口中继续使用。本程序将自动退出");
    other_window.Load();
    Settle();
    EXPECT_FALSE(NativeOf(other_window.window()).IsVisible()) << "the second copy ended";
  };
  Seed({{EncodeDate(2011, 5, 17), "今天的备忘"}});
  Start();
  windows().ActivateOtherApplication();  // the first window goes into its strip
  Settle();
  ASSERT_FALSE(native_main().IsVisible());
  start_second_copy();
  EXPECT_EQ(loop().quit_code(), 0);
  EXPECT_EQ(book().store().MemoCount(), 1) << "the first copy keeps its store";
  EXPECT_TRUE(native_main().IsVisible()) << "the window the message sends the user to comes forward";
  EXPECT_TRUE(native_main().IsActive());
  EXPECT_FALSE(NativeOf(c().DockStrip).IsVisible());
  Close();

  SeedProtectedStore("pw");
  Start();
  dialogs().ExpectInputBox({}, "pw");
  ClickToday();
  ASSERT_FALSE(book().Locked());
  start_second_copy();
}

// Whatever way the store was opened, a second copy finds it taken.
TEST_F(LifecycleTest, TheStoreIsLockedAfterCreationAndAfterAnUnlock) {
  auto expect_taken = [&] {
    DatabaseEngine other_engine;
    MemoStore other(other_engine, folder_);
    EXPECT_FALSE(other.OpenMemoDatabase());
  };
  StartWithNewStore();
  expect_taken();
  Close();
  SeedProtectedStore("pw");
  Start();
  dialogs().ExpectInputBox({}, "pw");
  ClickToday();
  expect_taken();
}

TEST_F(LifecycleTest, AProtectedStoreStartsLocked) {
  SeedProtectedStore("pw");
  Start();
  EXPECT_EQ(main_window().outer_rect().width, 371);
  EXPECT_EQ(main_window().outer_rect().height, 290);
  EXPECT_EQ(Utf8(main_window().caption()), "Tarnwick V2.8 beta 加密状态，请先解锁程序");
  EXPECT_EQ(Utf8(c().超级按钮1.caption()), "解锁程序");
  EXPECT_TRUE(c().密码设置选择框.checked());
  EXPECT_TRUE(book().Locked());
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{2011, 5, 17})) << "today's month, not the layout's";
  EXPECT_EQ(book().store().MemoCount(), 0) << "the store stays closed";
  loop().AdvanceTime(1000);
  EXPECT_EQ(Utf8(main_window().caption()), "Tarnwick V2.8 beta 加密状态，请先解锁程序") << "locked height";
}

// Locked means locked: no key, click or wheel reaches the editor, the
// buttons or the side panels; the unlock then leaves the window viewing.
TEST_F(LifecycleTest, WhileLockedOnlyTheUnlockActsAndItLeavesTheWindowViewing) {
  SeedProtectedStore("pw");
  Start();
  windows().PressKey('W', kKeyStateAlt);
  windows().PressKey('F', kKeyStateAlt);
  windows().PressKey('S', kKeyStateAlt);
  DoubleClick(c().主面板状态栏标签);  // clear all would ask
  windows().TurnWheel(-120);
  Settle();
  EXPECT_FALSE(book().Editing());
  EXPECT_TRUE(c().备忘编辑框.read_only());
  EXPECT_EQ(main_window().outer_rect().width, 371) << "the side panels stay shut";
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{2011, 5, 17})) << "the wheel did nothing";

  dialogs().ExpectInputBox({}, "pw");
  ClickToday();
  EXPECT_FALSE(book().Editing());
  EXPECT_TRUE(c().备忘编辑框.read_only());
  EXPECT_TRUE(c().保存按钮.disabled());
  EXPECT_FALSE(c().编辑按钮.disabled());
  EXPECT_EQ(EditorText(), kNoMemoHint);
  windows().PressKey('S', kKeyStateAlt);
  Close();
  DatabaseEngine engine;
  MemoStore store(engine, folder_);
  ASSERT_TRUE(store.OpenMemoDatabase("pw"));
  EXPECT_EQ(store.MemoCount(), 1) << "nothing was saved, the hint least of all";
  store.CloseMemoDatabase();
  Start();
  windows().PressKey('W', kKeyStateAlt);
  EXPECT_FALSE(book().Editing()) << "a restart comes up locked again";
}

TEST_F(LifecycleTest, UnlockCancelledOrWrongStaysLockedAndMayBeTriedAgain) {
  SeedProtectedStore("pw");
  Start();
  dialogs().ExpectInputBox(Gbk("请输入数据库访问密码："), std::nullopt);
  ExpectMessage("数据库打开失败，请检查数据库文件是否存在？或者密码有误？");
  ClickToday();
  const auto& asked = dialogs().shown()[0];
  EXPECT_EQ(Utf8(asked.title), "密码输入");
  EXPECT_TRUE(asked.masked);
  EXPECT_EQ(Utf8(asked.confirm_caption), "确认(&O)");
  EXPECT_EQ(Utf8(asked.cancel_caption), "取消(&C)");
  EXPECT_EQ(main_window().outer_rect().height, 290);

  dialogs().ExpectInputBox({}, "wrong");
  ExpectMessage("数据库打开失败，请检查数据库文件是否存在？或者密码有误？");
  ClickToday();
  EXPECT_EQ(Utf8(c().超级按钮1.caption()), "解锁程序");
  EXPECT_EQ(book().store().MemoCount(), 0);
}

TEST_F(LifecycleTest, UnlockWithTheRightPasswordOpensTheStoreAndGoesToToday) {
  SeedProtectedStore("pw");
  Start();
  dialogs().ExpectInputBox({}, "pw");
  ClickToday();
  EXPECT_EQ(main_window().outer_rect().height, 596);
  EXPECT_EQ(EditorText(), kNoMemoHint) << "no memo today";
  EXPECT_EQ(StatusText(), "选择某个日期并查看当日备忘|当前数据库内共有1条记录")
      << "the date change of go-to-today follows the unlock";
  EXPECT_EQ(StatusBackground(), Rgb(0, 128, 128));
  loop().AdvanceTime(200);
  EXPECT_EQ(Utf8(c().超级按钮1.caption()), "转到今日");
  EXPECT_EQ(Utf8(main_window().caption()), "Tarnwick V2.8 Beta");
  ClickDay(2011, 5, 16);
  EXPECT_EQ(EditorText(), "昨天");
}

TEST_F(LifecycleTest, UnlockWithoutTodaysMemoTurnsTheStatusSilverUntilTheDateChange) {
  SeedProtectedStore("pw");
  Start();
  dialogs().ExpectInputBox({}, "pw");
  book().UnlockProgram();
  EXPECT_EQ(StatusText(), "选择某个日期并查看当日备忘|当前有1条记录");
  EXPECT_EQ(StatusBackground(), Rgb(192, 192, 192));
}

TEST_F(LifecycleTest, TheEnginesQuestionMarkPromptUsesTheProgramsDialog) {
  SeedProtectedStore("pw");
  Start();
  dialogs().ExpectInputBox({}, "?");
  dialogs().ExpectInputBox({}, "wrong");
  dialogs().ExpectInputBox({}, "pw");
  ClickToday();
  ASSERT_EQ(dialogs().shown().size(), 3u);
  EXPECT_EQ(Utf8(dialogs().shown()[2].text), "密码错误，您还有 2 次重新输入的机会。\r\n请输入数据库访问密码：");
  EXPECT_EQ(book().store().MemoCount(), 1);
}

TEST_F(LifecycleTest, HidingIntoTheStripAtTheTopEdgeAndComingBack) {
  StartWithNewStore();
  main_window().SetProperty(property::kLeft, 400);
  windows().ActivateOtherApplication();
  Settle();
  HeadlessWindow& strip = NativeOf(c().DockStrip);
  EXPECT_FALSE(native_main().IsVisible());
  ASSERT_TRUE(strip.IsVisible());
  EXPECT_EQ(strip.OuterRect(), (Rect{400, 0, 370, 2}));
  EXPECT_EQ(windows().ZOrder().front(), &strip);
  EXPECT_FALSE(strip.IsActive()) << "ordered without activation";

  c().主面板状态栏标签.SetBackground(Rgb(255, 255, 0));
  windows().Click(strip, {5, 1});
  Settle();
  EXPECT_FALSE(strip.IsVisible());
  EXPECT_TRUE(native_main().IsVisible());
  EXPECT_EQ(StatusText(), "选择日期或编辑当日备忘|当前有0条记录");
  EXPECT_EQ(StatusBackground(), Rgb(0, 128, 128));
}

// Parked at the top edge, the window stays while the program's own question
// holds the activation, gets it back afterwards, and still hides when the
// user turns to another program.
TEST_F(LifecycleTest, TheProgramsOwnDialogsLeaveTheParkedWindowInPlace) {
  StartWithNewStore();
  ASSERT_EQ(main_window().outer_rect().top, 0);
  ASSERT_TRUE(native_main().IsActive());
  HeadlessWindow& strip = NativeOf(c().DockStrip);
  bool in_place_while_asked = false;
  dialogs().SetOnShow([&](const HeadlessDialogs::Shown&) {
    in_place_while_asked = !native_main().IsActive() && native_main().IsVisible() && !strip.IsVisible();
  });
  ExpectMessage("真的清空所有记录？", MessageResult::kNo);
  DoubleClick(c().主面板状态栏标签, {20, 6});
  Settle();
  EXPECT_TRUE(in_place_while_asked);
  EXPECT_TRUE(native_main().IsVisible());
  EXPECT_TRUE(native_main().IsActive());
  EXPECT_FALSE(strip.IsVisible());

  windows().ActivateOtherApplication();
  Settle();
  EXPECT_FALSE(native_main().IsVisible());
  EXPECT_TRUE(strip.IsVisible());
}

TEST_F(LifecycleTest, AWindowAwayFromTheTopEdgeStaysWhenDeactivated) {
  StartWithNewStore();
  main_window().SetProperty(property::kTop, 200);
  windows().ActivateByUser(native_main());
  windows().ActivateOtherApplication();
  Settle();
  EXPECT_TRUE(native_main().IsVisible());
  EXPECT_FALSE(NativeOf(c().DockStrip).IsVisible());
}

TEST_F(LifecycleTest, ClosingWhileEditingSavesWithANotice) {
  StartWithNewStore();
  ClickCentre(c().编辑按钮);
  windows().TypeText(Gbk("未保存的字"));
  ExpectMessage("关闭程序前请主动保存当前备忘。\r\n本次程序已为您自动保存了");
  Close();
  EXPECT_EQ(Utf8(dialogs().shown().back().title), "注意：");
  EXPECT_EQ(loop().quit_code(), 0);
  Start();
  EXPECT_EQ(EditorText(), "未保存的字");
}

// The session ends, or a termination signal comes: the memo being edited is
// saved at once, with no question that no one may be there to answer.
TEST_F(LifecycleTest, TheSystemEndingSavesTheEditWithoutAQuestion) {
  StartWithNewStore();
  const std::size_t shown = dialogs().shown().size();
  loop().RequestSave();
  EXPECT_EQ(book().store().MemoCount(), 0) << "nothing edited, nothing written";
  ClickCentre(c().编辑按钮);
  windows().TypeText(Gbk("关机前写的"));
  loop().RequestSave();
  EXPECT_EQ(dialogs().shown().size(), shown);
  EXPECT_FALSE(book().Editing());
  ASSERT_TRUE(book().store().FindMemoRecord(book().currentDate));
  EXPECT_EQ(Utf8(book().store().ReadMemoText()), "关机前写的");

  // A save that fails says nothing either: the edit goes to the rescue file.
  ClickDay(2011, 5, 18);
  ClickCentre(c().编辑按钮);
  windows().TypeText(Gbk("存不进"));
  faults_.FailNth(testing::FaultFileSystem::Operation::kWrite, 1, error::kDiskFull);
  loop().RequestSave();
  EXPECT_EQ(dialogs().shown().size(), shown);
  EXPECT_EQ(ReadRescueFile(), "===== 2011年5月18日的备忘（2011年5月17日10时未能保存到数据库，保存在这里）=====\r\n存不进\r\n\r\n");
}

// The display goes away while a memo is edited: it goes to the rescue file,
// and nothing touches a window.
TEST_F(LifecycleTest, ALostDisplayKeepsTheEditInTheRescueFile) {
  StartWithNewStore();
  loop().LoseDisplay();
  EXPECT_FALSE(std::filesystem::exists(dir_.File("memo-rescued.txt"))) << "viewing: nothing to keep";
  ClickCentre(c().编辑按钮);
  windows().TypeText(Gbk("断线前"));
  loop().LoseDisplay();
  EXPECT_EQ(ReadRescueFile(), "===== 2011年5月17日的备忘（2011年5月17日10时未能保存到数据库，保存在这里）=====\r\n断线前\r\n\r\n");
}

// A save at closing that fails keeps the text in the rescue file, says
// where, and ends; the next start says the file is there.
TEST_F(LifecycleTest, AFailedSaveAtCloseKeepsTheTextInARescueFileAndEnds) {
  StartWithNewStore();
  SitIdle();  // the day's backup written: the write that fails is the save's
  ClickCentre(c().编辑按钮);
  windows().TypeText(Gbk("写不进去"));
  faults_.FailNth(testing::FaultFileSystem::Operation::kWrite, 1, error::kDiskFull);
  const std::string rescue = folder_ + kPathSeparator + "memo-rescued.txt";
  ExpectMessage("关闭程序前请主动保存当前备忘。\r\n本次程序已为您自动保存了");
  ExpectMessage(kAppendFailedDiskFull);
  ExpectMessage("当前编辑的备忘已另存到文件：\r\n" + rescue + "\r\n下次启动时会提醒您把它复制回备忘录。");
  Close();
  EXPECT_EQ(loop().quit_code(), 0);
  EXPECT_EQ(ReadRescueFile(), "===== 2011年5月17日的备忘（2011年5月17日10时未能保存到数据库，保存在这里）=====\r\n写不进去\r\n\r\n");

  ExpectMessage("上次未能保存的备忘保存在文件：\r\n" + rescue + "\r\n请打开它，把需要的文字复制回备忘录后，删除该文件。");
  Start();
  EXPECT_EQ(EditorText(), kNoMemoHint);
}

// Nothing can be written at all: the window stays, with the text, once per
// edit; after a successful save and a new edit it stays once again.
TEST_F(LifecycleTest, WhenNothingCanBeWrittenTheCloseIsRefusedOncePerEdit) {
  StartWithNewStore();
  SitIdle();
  auto close_on_a_full_disk = [&] {
    faults_.SetDiskFull(true);
    ExpectMessage("关闭程序前请主动保存当前备忘。\r\n本次程序已为您自动保存了");
    ExpectMessage(kAppendFailedDiskFull);
    ExpectMessage("当前编辑的备忘也无法另存到文件。\r\n请先把编辑框中的文字复制到别处保存，再次关闭程序时将不再保存。");
    Close();
    faults_.SetDiskFull(false);
  };
  ClickCentre(c().编辑按钮);
  windows().TypeText(Gbk("第一次"));
  close_on_a_full_disk();
  ASSERT_FALSE(loop().quit_code().has_value());
  EXPECT_TRUE(native_main().IsVisible());
  EXPECT_EQ(EditorText(), "第一次");
  EXPECT_FALSE(std::filesystem::exists(dir_.File("memo-rescued.txt"))) << "no empty rescue file is left";
  ClickCentre(c().保存按钮);
  Settle();
  ASSERT_EQ(StatusText(), "当前编辑内容已保存");

  ClickDay(2011, 5, 18);
  ClickCentre(c().编辑按钮);
  windows().TypeText(Gbk("第二次"));
  close_on_a_full_disk();
  EXPECT_FALSE(loop().quit_code().has_value()) << "the second edit is kept too";
  EXPECT_EQ(EditorText(), "第二次");
  faults_.SetDiskFull(true);
  ExpectMessage("关闭程序前请主动保存当前备忘。\r\n本次程序已为您自动保存了");
  ExpectMessage(kAppendFailedDiskFull);
  Close();
  EXPECT_EQ(loop().quit_code(), 0) << "a second close of the same edit ends";
}

// A store whose fields have the right types but other names would open and
// then fail every save by name: it is refused at start-up, untouched.
TEST_F(LifecycleTest, AStoreWithOtherFieldNamesIsRefusedUntouched) {
  {
    DatabaseEngine engine;
    ASSERT_TRUE(engine.CreateDatabase(dir_.File("memo.edb"), {{Gbk("日子"), static_cast<int>(FieldType::kDateTime), 20},
                                                              {Gbk("内容"), static_cast<int>(FieldType::kMemo), 20}}));
  }
  const auto read = [&](const char* name) {
    std::ifstream in(dir_.File(name), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string main_before = read("memo.edb");
  const std::string memo_before = read("memo.EDT");
  ExpectMessage("数据库打开失败，请检查数据库文件是否存在？或者重启计算机后再试一次");
  Start();
  EXPECT_EQ(book().store().MemoCount(), 0);
  Close();
  EXPECT_EQ(read("memo.edb"), main_before);
  EXPECT_EQ(read("memo.EDT"), memo_before);
}

// A store file that is a link to a store elsewhere (a folder someone else
// made): refused by name, and the linked store is left as it was.
TEST_F(LifecycleTest, AStoreFileThatIsALinkIsNamedAndLeftAlone) {
  testing::TempDir elsewhere;
  {
    DatabaseEngine engine;
    ASSERT_TRUE(engine.CreateDatabase(elsewhere.File("memo.edb"), {{Gbk("日期"), static_cast<int>(FieldType::kDateTime)},
                                                                  {Gbk("备忘"), static_cast<int>(FieldType::kMemo)}}));
  }
  std::filesystem::create_symlink(elsewhere.File("memo.edb"), dir_.File("memo.edb"));
  std::filesystem::create_symlink(elsewhere.File("memo.EDT"), dir_.File("memo.EDT"));
  const auto bytes = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const std::string before = bytes(elsewhere.File("memo.edb"));
  ExpectMessage("数据库打开失败：“" + dir_.File("memo.edb") + "”是链接或特殊文件，不是数据库的文件；未作任何改动");
  Start();
  EXPECT_EQ(book().store().MemoCount(), 0);
  Close();
  EXPECT_EQ(bytes(elsewhere.File("memo.edb")), before);
  EXPECT_TRUE(std::filesystem::is_symlink(dir_.File("memo.edb")));
}

// A data folder that may not be written: the store opens for reading, its
// memos show and list; Edit and clearing say the folder cannot be written.
TEST_F(LifecycleTest, AReadOnlyFolderOpensTheStoreForReadingOnly) {
  Seed({{EncodeDate(2011, 5, 3), "三号"}, {EncodeDate(2011, 5, 17), "今天的备忘"}});
  faults_.SetReadOnly(true);
  Start();
  EXPECT_EQ(EditorText(), "今天的备忘");
  EXPECT_EQ(StatusText(), "选择某个日期并查看当日备忘|当前数据库内共有2条记录");
  EXPECT_EQ(MonthListItems().size(), 2u);
  const std::string refusal = "数据文件夹不能写入，备忘只能查看、搜索和导出，不能修改：\r\n" + Utf8(folder_);
  ExpectMessage(refusal);
  ClickCentre(c().编辑按钮);
  Settle();
  EXPECT_FALSE(book().Editing());
  EXPECT_TRUE(c().备忘编辑框.read_only());
  ExpectMessage(refusal);
  DoubleClick(c().主面板状态栏标签);
  Settle();
  SitIdle();  // the day's backup cannot be written either, and says nothing
  ClickDay(2011, 5, 3);
  EXPECT_EQ(EditorText(), "三号");
}

// A damaged header count: the start says the store is damaged, how much the
// structure check finds, and the newest sound backup with its command.
TEST_F(LifecycleTest, ADamagedStoreIsNamedWithTheBackupThatRestoresIt) {
  Seed({{EncodeDate(2011, 5, 17), "今天的备忘"}});
  const auto damage_count = [&] {
    std::fstream file(dir_.File("memo.edb"), std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(16);
    file.write("\xfb\xff\xff\xff", 4);  // the record count: -5
  };
  damage_count();
  ExpectMessage("备忘数据库已损坏，无法打开：结构检查发现 3 处问题。\r\n没有找到完好的备份。备份文件夹：\r\n" +
                Utf8(folder_) + "/backups\r\n可以用命令 edbtool backups 查看各个备份。");
  Start();
  EXPECT_EQ(book().store().MemoCount(), 0);
  Close();

  {  // sound again, with its memo
    std::fstream file(dir_.File("memo.edb"), std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(16);
    file.write("\x01\x00\x00\x00", 4);
  }
  Start();
  SitIdle();  // the day's backup
  Close();
  damage_count();
  ExpectMessage("备忘数据库已损坏，无法打开：结构检查发现 3 处问题。\r\n最近一个完好的备份是 20110517-100000-daily-1"
                "，请关闭本程序后用这个命令恢复：\r\nedbtool restore " + Utf8(folder_) + " 20110517-100000-daily-1");
  Start();
}

// A memo pointer out of range (and the block it led to lost) still opens:
// the day's backup finds the damage, says so once, and is marked so that it
// never counts as a sound copy.
TEST_F(LifecycleTest, ADamagedStoreThatOpensIsNamedWhenTheDaysBackupIsChecked) {
  Seed({{EncodeDate(2011, 5, 16), "昨天的备忘"}, {EncodeDate(2011, 5, 17), "今天的备忘"}});
  {
    std::fstream file(dir_.File("memo.edb"), std::ios::binary | std::ios::in | std::ios::out);
    file.seekp(260 + 12);  // the first record's first memo block
    file.write("\x63\x00\x00\x00", 4);
  }
  Start();
  EXPECT_EQ(book().store().MemoCount(), 2);
  ExpectMessage("备忘数据库已损坏：结构检查发现 2 处问题。\r\n没有找到完好的备份。备份文件夹：\r\n" + Utf8(folder_) +
                "/backups\r\n可以用命令 edbtool backups 查看各个备份。");
  SitIdle();
  EXPECT_EQ(book().backups().backups().DamageMark("20110517-100000-daily-2"), std::optional<std::size_t>(2));
  Close();
  Start();  // the same day: no second backup, no second message
  SitIdle();
}

TEST_F(LifecycleTest, ClosingWhileViewingEndsWithoutAMessageAndReleasesTheStore) {
  StartWithNewStore();
  Close();
  EXPECT_EQ(loop().quit_code(), 0);
  EXPECT_EQ(dialogs().shown().size(), 1u) << "only the creation question";
  DatabaseEngine other;
  EXPECT_TRUE(MemoStore(other, folder_).OpenMemoDatabase());
}

}  // namespace
}  // namespace tarnwick
