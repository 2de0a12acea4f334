// The password check box as a user lives it: setting, changing and removing
// the password, the wrong and cancelled answers, with the store file's magic
// and a restart checked after each.
#include "protect/password_settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "memo/idle_work.h"
#include "testing/memo_book_fixture.h"

namespace tarnwick {
namespace {

using testing::kNoMemoHint;

const char kNewPasswordPrompt[] = "请输入新的密码：";
const char kOldPasswordPrompt[] = "请先输入原来的密码：";
const char kReplacementPrompt[] = "请输入新密码：\r\n注意：如果您是想取消密码，\r\n请不要输入任何字符并直接回车即可";
const char kConfirmPrompt[] = "请再次输入新密码：";
const char kUnlockPrompt[] = "请输入数据库访问密码：";

class PasswordSettingsTest : public testing::MemoBookTest {
 protected:
  // The store with today's memo (and one of another day), unprotected.
  void SeedStore() { Seed({{EncodeDate(2011, 5, 16), "昨天"}, {EncodeDate(2011, 5, 17), "今天"}}); }
  void SeedProtectedStore(const std::string& password) {
    SeedStore();
    DatabaseEngine engine;
    MemoStore store(engine, folder_);
    ASSERT_TRUE(store.OpenMemoDatabase());
    ASSERT_TRUE(store.SetDatabasePassword(password));
    store.CloseMemoDatabase();
  }
  // Starts locked and unlocks with password through 超级按钮1.
  void StartAndUnlock(const std::string& password) {
    Start();
    dialogs().ExpectInputBox(Gbk(kUnlockPrompt), password);
    ClickCentre(c().超级按钮1);
    Settle();
    ASSERT_EQ(main_window().outer_rect().height, 596);
    loop().AdvanceTime(200);  // the alignment tick gives 超级按钮1 its caption back
  }
  void Expect(const char* prompt, std::optional<std::string> answer) {
    dialogs().ExpectInputBox(Gbk(prompt), std::move(answer));
  }
  // The user reaches the check box with Tab from the last export button (or,
  // while locked, from the unlock button: nothing between takes input) and
  // presses Space.
  void ClickPasswordBox() {
    if (book().Locked()) {
      c().超级按钮1.SetFocus();
    } else {
      c().导出全库按钮.SetFocus();
    }
    windows().PressKey(keys::kTab);
    ASSERT_TRUE(c().密码设置选择框.HasFocus());
    windows().PressKey(keys::kSpace);
    Settle();
  }
  std::string Magic() {
    std::ifstream in(dir_.File("memo.edb"), std::ios::binary);
    char magic[4] = {};
    in.read(magic, 4);
    return std::string(magic, 4);
  }
  bool StoreOpen() { return book().store().FindMemoRecord(EncodeDate(2011, 5, 16)); }
  int Height() { return main_window().outer_rect().height; }
  // Whether a second copy of the program could open the store now.
  bool OpensElsewhere(std::optional<std::string> password = std::nullopt) {
    DatabaseEngine engine;
    MemoStore store(engine, folder_);
    bool opened = store.OpenMemoDatabase(password);
    store.CloseMemoDatabase();
    return opened;
  }
};

TEST_F(PasswordSettingsTest, SettingAPasswordLocksUnlocksAtOnceAndARestartComesUpLocked) {
  SeedStore();
  Start();
  ClickDay(2011, 5, 16);
  Expect(kNewPasswordPrompt, "pw");
  ExpectMessage("加密成功，请重新输入密码进入软件");
  int height_while_asked = 0;
  dialogs().SetOnShow([&](const HeadlessDialogs::Shown& shown) {
    if (shown.text == Gbk(kUnlockPrompt)) height_while_asked = Height();
  });
  Expect(kUnlockPrompt, "pw");
  ClickPasswordBox();
  const auto& shown = dialogs().shown();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].title, Gbk("输入新密码"));
  EXPECT_FALSE(shown[0].masked);
  EXPECT_EQ(shown[0].confirm_caption, Gbk("确认输入(&O)"));
  EXPECT_EQ(shown[0].cancel_caption, Gbk("取消(&C)"));
  EXPECT_EQ(height_while_asked, 290) << "locked while the password is asked";
  EXPECT_TRUE(shown[2].masked);

  EXPECT_EQ(Magic(), "WCDB");
  EXPECT_EQ(Height(), 596);
  EXPECT_TRUE(StoreOpen());
  EXPECT_FALSE(OpensElsewhere("pw")) << "the store is taken by this copy again";
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{2011, 5, 17}));
  EXPECT_EQ(EditorText(), "今天");
  EXPECT_EQ(DecodeDateTime(book().currentDate).day, 17);
  loop().AdvanceTime(200);
  EXPECT_EQ(Utf8(c().超级按钮1.caption()), "转到今日");

  Restart();
  EXPECT_EQ(Height(), 290);
  EXPECT_EQ(Utf8(c().超级按钮1.caption()), "解锁程序");
  dialogs().ExpectInputBox(Gbk(kUnlockPrompt), "pw");
  ClickCentre(c().超级按钮1);
  Settle();
  EXPECT_EQ(EditorText(), "今天");
}

TEST_F(PasswordSettingsTest, AFailedOrCancelledUnlockAfterSettingLeavesTheUnlockOnTheButton) {
  SeedStore();
  Start();
  Expect(kNewPasswordPrompt, "pw");
  ExpectMessage("加密成功，请重新输入密码进入软件");
  Expect(kUnlockPrompt, std::nullopt);
  ExpectMessage("数据库打开失败，请检查数据库文件是否存在？或者密码有误？");
  ClickPasswordBox();
  loop().AdvanceTime(400);
  EXPECT_EQ(Height(), 290);
  EXPECT_EQ(Utf8(c().超级按钮1.caption()), "解锁程序");
  EXPECT_FALSE(StoreOpen());

  dialogs().ExpectInputBox(Gbk(kUnlockPrompt), "wrong");
  ExpectMessage("数据库打开失败，请检查数据库文件是否存在？或者密码有误？");
  ClickCentre(c().超级按钮1);
  Settle();
  EXPECT_EQ(Utf8(c().超级按钮1.caption()), "解锁程序");

  dialogs().ExpectInputBox(Gbk(kUnlockPrompt), "pw");
  ClickCentre(c().超级按钮1);
  Settle();
  loop().AdvanceTime(200);
  EXPECT_EQ(Height(), 596);
  EXPECT_EQ(Utf8(c().超级按钮1.caption()), "转到今日");
  EXPECT_EQ(EditorText(), "今天");
}

TEST_F(PasswordSettingsTest, AnEmptyOrCancelledNewPasswordSetsNothing) {
  SeedStore();
  Start();
  ClickDay(2011, 5, 16);
  for (std::optional<std::string> answer : {std::optional<std::string>(), std::optional<std::string>("")}) {
    Expect(kNewPasswordPrompt, answer);
    ClickPasswordBox();
    EXPECT_EQ(Magic(), "WEDB");
    EXPECT_TRUE(StoreOpen());
    EXPECT_EQ(Height(), 596);
    EXPECT_EQ(EditorText(), "昨天") << "the window as it was";
    EXPECT_FALSE(c().密码设置选择框.checked());
  }
  EXPECT_EQ(dialogs().shown().size(), 2u) << "no message, no lock, no password question";
  Restart();
  EXPECT_EQ(Height(), 596) << "a restart comes up unlocked";
}

TEST_F(PasswordSettingsTest, TheQuestionMarkAndAFailedReKeyAreRefusedAndTheStoreStaysPlain) {
  SeedStore();
  Start();
  Expect(kNewPasswordPrompt, "?");
  ExpectMessage("加密失败");
  ClickPasswordBox();
  EXPECT_EQ(Magic(), "WEDB");
  EXPECT_TRUE(StoreOpen());

  Expect(kNewPasswordPrompt, "pw");
  ExpectMessage("加密失败");
  // The re-key's first write fails, after the five of the backup before it
  // (its two folders, the two files, the rename) and the note that the
  // backups are to be taken along.
  dialogs().SetOnShow([&](const HeadlessDialogs::Shown& shown) {
    if (shown.kind == HeadlessDialogs::Kind::kInputBox) faults_.FailNth(testing::FaultFileSystem::Operation::kWrite, 7);
  });
  ClickPasswordBox();
  EXPECT_TRUE(faults_.fired());
  EXPECT_EQ(Magic(), "WEDB");
  EXPECT_TRUE(StoreOpen());
  EXPECT_EQ(Height(), 596);
  WriteMemo("还能写");
  ASSERT_TRUE(book().store().FindMemoRecord(EncodeDate(2011, 5, 17)));
  EXPECT_EQ(Utf8(book().store().ReadMemoText()), "还能写今天") << "typed before the old text";
}

TEST_F(PasswordSettingsTest, ChangingThePasswordAsksTheNewOneTwiceAndStaysUnlocked) {
  SeedProtectedStore("pw");
  StartAndUnlock("pw");
  SitIdle();
  const std::size_t copy_bytes = book().store().MemoryInUse();
  ClickDay(2011, 5, 16);
  Expect(kOldPasswordPrompt, "pw");
  Expect(kReplacementPrompt, "new");
  Expect(kConfirmPrompt, "new");
  ExpectMessage("重置密码成功");
  dialogs().ClearShown();
  ClickPasswordBox();
  const auto& shown = dialogs().shown();
  ASSERT_EQ(shown.size(), 4u);
  EXPECT_EQ(shown[0].title, Gbk("验证原密码"));
  EXPECT_TRUE(shown[0].masked);
  EXPECT_EQ(shown[1].title, Gbk("重置密码"));
  EXPECT_TRUE(shown[1].masked);
  EXPECT_EQ(shown[2].title, Gbk("重置密码"));
  EXPECT_TRUE(shown[2].masked);

  EXPECT_EQ(Magic(), "WCDB");
  EXPECT_TRUE(StoreOpen());
  EXPECT_EQ(c().主面板状态栏标签.text_color(), Rgb(0, 0, 0));
  EXPECT_EQ(StatusText(), "选择某个日期并查看当日备忘|当前数据库内共有2条记录") << "the move to today counts last";
  EXPECT_EQ(EditorText(), "今天");
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{2011, 5, 17}));
  EXPECT_EQ(Height(), 596);
  EXPECT_FALSE(OpensElsewhere("new")) << "still taken by this copy";
  SitIdle();
  EXPECT_EQ(book().store().MemoryInUse(), copy_bytes) << "the search's copy of the memos made again while idle";

  Close();
  EXPECT_FALSE(OpensElsewhere("pw"));
  EXPECT_TRUE(OpensElsewhere("new"));
  Start();
  EXPECT_EQ(Height(), 290) << "a restart comes up locked";
}

TEST_F(PasswordSettingsTest, RemovingThePasswordMakesTheStorePlainWithoutAConfirmation) {
  SeedProtectedStore("pw");
  StartAndUnlock("pw");
  Expect(kOldPasswordPrompt, "pw");
  Expect(kReplacementPrompt, "");
  ExpectMessage("重置密码成功");
  ClickPasswordBox();
  EXPECT_EQ(Magic(), "WEDB");
  EXPECT_TRUE(StoreOpen());
  EXPECT_EQ(Height(), 596);
  EXPECT_TRUE(c().密码设置选择框.checked() == false) << "checked at the locked start, the click took the mark off";
  Restart();
  EXPECT_EQ(Height(), 596) << "a restart comes up unlocked";
  EXPECT_EQ(EditorText(), "今天");
}

// The old password is checked against the open store, which stays open:
// nothing changes, and the memos can still be listed and saved.
TEST_F(PasswordSettingsTest, AWrongEmptyOrCancelledOldPasswordChangesNothing) {
  SeedProtectedStore("pw");
  StartAndUnlock("pw");
  ClickDay(2011, 5, 16);
  for (std::optional<std::string> answer :
       {std::optional<std::string>("wrong"), std::optional<std::string>(""), std::optional<std::string>()}) {
    Expect(kOldPasswordPrompt, answer);
    ExpectMessage("打开数据库失败，可能密码有误，请重新输入");
    ClickPasswordBox();
    EXPECT_TRUE(StoreOpen());
    EXPECT_EQ(Magic(), "WCDB");
    EXPECT_EQ(Height(), 596);
    EXPECT_EQ(EditorText(), "昨天");
    EXPECT_FALSE(OpensElsewhere("pw")) << "still taken by this copy";
  }
  EXPECT_EQ(MonthListItems(), (std::vector<std::string>{"2011年5月16日", "2011年5月17日"}));
  WriteMemo("新的");
  Close();
  StartAndUnlock("pw");
  ClickDay(2011, 5, 16);
  EXPECT_EQ(EditorText(), "新的昨天") << "saved with the store open";

  Expect(kOldPasswordPrompt, "pw");
  Expect(kReplacementPrompt, "");
  ExpectMessage("重置密码成功");
  ClickPasswordBox();
  EXPECT_TRUE(StoreOpen());
  EXPECT_EQ(Magic(), "WEDB");
}

// A re-key whose undo fails too makes the engine let go of the store: the
// program opens it again with the old password, or, when it cannot, says the
// store is closed and locks until it is unlocked.
TEST_F(PasswordSettingsTest, AReKeyThatCannotBeUndoneLeavesTheStoreOpenOrTheProgramLocked) {
  SeedProtectedStore("pw");
  StartAndUnlock("pw");
  SitIdle();  // the day's backup written: the writes counted are the change's
  auto die_at_the_replacement = [&](bool recover_at_the_message) {
    dialogs().SetOnShow([&, recover_at_the_message](const HeadlessDialogs::Shown& shown) {
      // The re-key's first write, after the five of the backup before it
      // and the note that the backups are to be taken along.
      if (shown.text == Gbk(kConfirmPrompt)) faults_.DieAtNth(testing::FaultFileSystem::Operation::kWrite, 7);
      if (shown.text == Gbk("加密失败") && recover_at_the_message) faults_.Disarm();
    });
  };
  die_at_the_replacement(true);
  Expect(kOldPasswordPrompt, "pw");
  Expect(kReplacementPrompt, "new");
  Expect(kConfirmPrompt, "new");
  ExpectMessage("加密失败");
  ClickPasswordBox();
  EXPECT_TRUE(StoreOpen()) << "opened again with the old password";
  EXPECT_TRUE(book().idle_work().Busy()) << "the search's copy of the memos is made again";
  EXPECT_EQ(Height(), 596);
  WriteMemo("还能写");
  ASSERT_TRUE(book().store().FindMemoRecord(EncodeDate(2011, 5, 17)));
  EXPECT_EQ(Utf8(book().store().ReadMemoText()), "还能写今天");

  die_at_the_replacement(false);
  Expect(kOldPasswordPrompt, "pw");
  Expect(kReplacementPrompt, "new");
  Expect(kConfirmPrompt, "new");
  ExpectMessage("加密失败");
  ExpectMessage("备忘数据库已关闭，现在不能保存备忘。\r\n请点击“解锁程序”重新打开，或者关闭本程序后重新启动。");
  ClickPasswordBox();
  faults_.Disarm();
  dialogs().SetOnShow(nullptr);
  EXPECT_EQ(Height(), 290) << "locked, as the store is closed";
  EXPECT_EQ(Utf8(c().超级按钮1.caption()), "解锁程序");
  dialogs().ExpectInputBox(Gbk(kUnlockPrompt), "pw");
  ClickCentre(c().超级按钮1);
  Settle();
  EXPECT_EQ(Height(), 596);
  EXPECT_TRUE(StoreOpen());
  EXPECT_EQ(EditorText(), "还能写今天");
}

TEST_F(PasswordSettingsTest, AMismatchedConfirmationChangesNothingAndSaysSo) {
  SeedProtectedStore("pw");
  StartAndUnlock("pw");
  Expect(kOldPasswordPrompt, "pw");
  Expect(kReplacementPrompt, "new");
  Expect(kConfirmPrompt, "nwe");
  ExpectMessage("两次输入的新密码不一致，密码没有改变");
  ClickPasswordBox();
  EXPECT_EQ(Magic(), "WCDB");
  EXPECT_TRUE(StoreOpen()) << "open with the old password";
  Close();
  EXPECT_TRUE(OpensElsewhere("pw"));
  EXPECT_FALSE(OpensElsewhere("new"));
}

TEST_F(PasswordSettingsTest, TheQuestionMarkAsReplacementIsRefusedAndTheOldPasswordStays) {
  SeedProtectedStore("pw");
  StartAndUnlock("pw");
  Expect(kOldPasswordPrompt, "pw");
  Expect(kReplacementPrompt, "?");
  Expect(kConfirmPrompt, "?");
  ExpectMessage("加密失败");
  ClickPasswordBox();
  EXPECT_EQ(Magic(), "WCDB");
  EXPECT_TRUE(StoreOpen());
  Close();
  EXPECT_TRUE(OpensElsewhere("pw"));
}

// The check box is reached by Tab while the program is still locked.
TEST_F(PasswordSettingsTest, AChangeWhileLockedEndsLockedAndTheNewPasswordUnlocks) {
  SeedProtectedStore("pw");
  Start();
  Expect(kOldPasswordPrompt, "pw");
  Expect(kReplacementPrompt, "new");
  Expect(kConfirmPrompt, "new");
  ExpectMessage("重置密码成功");
  Expect(kUnlockPrompt, "new");
  ClickPasswordBox();
  loop().AdvanceTime(200);
  EXPECT_EQ(Height(), 596);
  EXPECT_EQ(Utf8(c().超级按钮1.caption()), "转到今日");
  EXPECT_TRUE(StoreOpen());
  EXPECT_EQ(EditorText(), "今天");

  Restart();
  Expect(kOldPasswordPrompt, "new");
  Expect(kReplacementPrompt, "a");
  Expect(kConfirmPrompt, "b");
  ExpectMessage("两次输入的新密码不一致，密码没有改变");
  ClickPasswordBox();
  EXPECT_EQ(Height(), 290);
  EXPECT_EQ(Utf8(c().超级按钮1.caption()), "解锁程序");
  dialogs().ExpectInputBox(Gbk(kUnlockPrompt), "new");
  ClickCentre(c().超级按钮1);
  Settle();
  EXPECT_EQ(Height(), 596) << "the unlock still works";
  EXPECT_TRUE(StoreOpen());
}

TEST_F(PasswordSettingsTest, NothingHappensWhileAMemoIsBeingEdited) {
  SeedStore();
  Start();
  ClickCentre(c().编辑按钮);
  windows().TypeText(Gbk("未保存"));
  ExpectMessage("请先保存数据再设置密码！");
  ClickPasswordBox();
  EXPECT_EQ(dialogs().shown().back().title, Gbk("注意"));
  EXPECT_TRUE(StoreOpen());
  EXPECT_EQ(EditorText(), "未保存今天");
  EXPECT_FALSE(c().保存按钮.disabled());
  EXPECT_EQ(Magic(), "WEDB");
}

// The store could not be opened at start-up (its files unreadable): the
// click tries to open it and says so when it cannot.
TEST_F(PasswordSettingsTest, AStoreThatCannotBeOpenedIsReported) {
  SeedStore();
  faults_.DieAtNth(testing::FaultFileSystem::Operation::kRead, 1);
  ExpectMessage("数据库打开失败，请检查数据库文件是否存在？或者重启计算机后再试一次");
  Start();
  ExpectMessage("打开数据库失败，请检查数据库文件是否存在？");
  ClickPasswordBox();
  EXPECT_EQ(dialogs().shown().back().title, Gbk("出现错误："));
  faults_.Disarm();
  EXPECT_FALSE(StoreOpen());
  EXPECT_EQ(Magic(), "WEDB");
}

}  // namespace
}  // namespace tarnwick
