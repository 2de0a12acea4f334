// Backups as a user meets them: taken before clear all and before a password
// change, at the first start of each day, kept to their numbers, refused to
// a disk that is full, and put back without losing what was written since.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/database_format.h"
#include "engine/rekey_record.h"
#include "memo/backup.h"
#include "memo/idle_work.h"
#include "memo/memo_store.h"
#include "testing/memo_book_fixture.h"

namespace tarnwick {
namespace {

using Operation = testing::FaultFileSystem::Operation;

const char kBackupFailedQuestion[] = "备份数据库失败，可能磁盘已满或没有写入权限。\r\n不备份而继续吗？";
const char kDailyBackupFailed[] = "注意：今日的自动备份未能完成，请检查磁盘空间或文件夹权限";
const char kClearQuestion[] = "真的清空所有记录？";

std::string Bytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class BackupTest : public testing::MemoBookTest {
 protected:
  StoreBackups backups_{faults_, folder_};

  std::vector<std::string> Names(std::optional<BackupReason> reason = std::nullopt) {
    std::vector<std::string> names;
    for (const BackupInfo& backup : backups_.List()) {
      if (!reason || backup.reason == *reason) names.push_back(backup.name);
    }
    return names;
  }
  // Everything in the backups folder, finished or not.
  std::vector<std::string> FolderEntries() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path() / "backups")) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  // The store's memos as "day text" lines (UTF-8), in file order.
  std::vector<std::string> StoredMemos(std::optional<std::string> password = std::nullopt) {
    DatabaseEngine engine;
    MemoStore store(engine, folder_);
    std::vector<std::string> memos;
    if (!store.OpenMemoDatabase(password ? std::optional<std::string_view>(*password) : std::nullopt)) return {"(no open)"};
    store.GoFirstMemo();
    for (int i = 0; i < store.MemoCount(); ++i, store.NextMemo()) {
      memos.push_back(std::to_string(DecodeDateTime(store.ReadMemoDate()).day) + " " + Utf8(store.ReadMemoText()));
    }
    store.CloseMemoDatabase();
    return memos;
  }
  void ClearAll() {
    ExpectMessage(kClearQuestion, MessageResult::kYes);
    DoubleClick(c().主面板状态栏标签);
    Settle();
  }
  void ClickPasswordBox() {
    c().导出全库按钮.SetFocus();
    windows().PressKey(keys::kTab);
    windows().PressKey(keys::kSpace);
    Settle();
  }
  void StartOn(int day) {
    loop().SetLocalNow(EncodeDate(2011, 5, day) + 10.0 / 24);
    Start();
  }
};

TEST_F(BackupTest, ClearAllIsUndoneWithoutLosingWhatWasWrittenSince) {
  Seed({{EncodeDate(2011, 5, 3), "三号"}, {EncodeDate(2011, 5, 17), "今天"}});
  Start();
  SitIdle();
  ASSERT_EQ(Names(), std::vector<std::string>{"20110517-100000-daily-2"});
  const std::filesystem::path daily = dir_.path() / "backups" / "20110517-100000-daily-2";
  EXPECT_EQ(Bytes(daily / "memo.edb"), Bytes(dir_.path() / "memo.edb"));
  EXPECT_EQ(Bytes(daily / "memo.EDT"), Bytes(dir_.path() / "memo.EDT"));
#ifndef _WIN32
  using std::filesystem::perms;
  EXPECT_EQ(std::filesystem::status(dir_.path() / "backups").permissions() & perms::all, perms::owner_all);
  for (const std::filesystem::path& file :
       {daily / "memo.edb", daily / "memo.EDT", dir_.path() / "memo.edb", dir_.path() / "memo.EDT"}) {
    EXPECT_EQ(std::filesystem::status(file).permissions() & perms::all, perms::owner_read | perms::owner_write)
        << file;
  }
#endif

  ClearAll();
  EXPECT_EQ(StatusText(), "选择某个日期并查看当日备忘|当前数据库内共有0条记录");
  EXPECT_EQ(Names(BackupReason::kClearAll), std::vector<std::string>{"20110517-100000-clear-2.2"});
  ClickDay(2011, 5, 20);
  WriteMemo("清空之后写的");

  // While the program runs, its lock keeps a restore out.
  StoreBackups::RestoreResult refused = backups_.Restore("20110517-100000-clear-2.2", true, "", {2011, 5, 17, 11, 0, 0});
  EXPECT_EQ(refused.outcome, StoreBackups::RestoreOutcome::kStoreInUse);
  Close();
  EXPECT_EQ(StoredMemos(), std::vector<std::string>{"20 清空之后写的"});

  StoreBackups::RestoreResult restored =
      backups_.Restore("20110517-100000-clear-2.2", true, "", {2011, 5, 17, 11, 0, 0});
  EXPECT_EQ(restored.outcome, StoreBackups::RestoreOutcome::kRestored);
  EXPECT_EQ(restored.filled, 2);
  EXPECT_EQ(restored.backup_of_current, "20110517-110000-restore-1.3");
  EXPECT_EQ(StoredMemos(), (std::vector<std::string>{"20 清空之后写的", "3 三号", "17 今天"}));
  EXPECT_FALSE(std::filesystem::exists(dir_.path() / "backups" / "restoring.partial"));

  // Without --keep-newer the backup comes back as it was; the store it
  // replaced is itself backed up first, so this too can be undone.
  EXPECT_EQ(backups_.Restore("20110517-100000-clear-2.2", false, "", {2011, 5, 17, 12, 0, 0}).outcome,
            StoreBackups::RestoreOutcome::kRestored);
  EXPECT_EQ(StoredMemos(), (std::vector<std::string>{"3 三号", "17 今天"}));
  EXPECT_EQ(Names(BackupReason::kRestore).back(), "20110517-120000-restore-3.4");
  EXPECT_EQ(backups_.Restore("no-such", false, "", {2011, 5, 17, 12, 0, 0}).outcome,
            StoreBackups::RestoreOutcome::kNoSuchBackup);

  Start();
  EXPECT_EQ(EditorText(), "今天");
  EXPECT_EQ(StatusText(), "选择某个日期并查看当日备忘|当前数据库内共有2条记录");
}

// The day's backup is written a step at a time while the window stands
// idle, listed only once complete; a save before then waits for it, so it
// holds the store as it was opened.
TEST_F(BackupTest, TheDaysBackupHoldsTheStoreAsOpenedWhateverIsSavedBeforeItIsDone) {
  Seed({{EncodeDate(2011, 5, 3), std::string(3000000, 'x')}, {EncodeDate(2011, 5, 17), "今天"}});
  const std::string main_before = Bytes(dir_.path() / "memo.edb");
  const std::string memo_before = Bytes(dir_.path() / "memo.EDT");
  Start();
  loop().AdvanceTime(IdleWork::kSettleMs + 1);
  Settle();
  EXPECT_TRUE(Names().empty());
  EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"20110517-100000-daily-2.partial", "running"})) << "under way";
  ClickDay(2011, 5, 3);
  WriteMemo("改了");
  ASSERT_EQ(Names(), std::vector<std::string>{"20110517-100000-daily-2"});
  const std::filesystem::path daily = dir_.path() / "backups" / "20110517-100000-daily-2";
  EXPECT_EQ(Bytes(daily / "memo.edb"), main_before);
  EXPECT_EQ(Bytes(daily / "memo.EDT"), memo_before);
  EXPECT_NE(Bytes(dir_.path() / "memo.EDT"), memo_before);
}

// No backup is less protected than the store: setting, changing or removing
// the password takes every backup along, so none lies in plain beside a
// protected store, and none opens with a password the store no longer has.
TEST_F(BackupTest, EveryBackupFollowsTheStoresPassword) {
  Seed({{EncodeDate(2011, 5, 17), "今天的秘密"}});
  Start();
  SitIdle();
  ASSERT_EQ(Names(), std::vector<std::string>{"20110517-100000-daily-1"});
  dialogs().ExpectInputBox(Gbk("请输入新的密码："), Gbk("旧的"));
  ExpectMessage("加密成功，请重新输入密码进入软件");
  dialogs().ExpectInputBox(Gbk("请输入数据库访问密码："), Gbk("旧的"));
  ClickPasswordBox();
  loop().AdvanceTime(200);
  Settle();
  // Each backup opens with exactly the password given, and no other.
  const auto opening = [&](const std::string& password) {
    std::vector<std::string> opened;
    for (const std::string& name : Names()) {
      DatabaseEngine engine;
      OpenOptions options;
      options.password = Gbk(password);
      const std::filesystem::path main = dir_.path() / "backups" / name / "memo.edb";
      if (engine.OpenDatabase(Utf8ToGbk(main.string()), options)) opened.push_back(name);
      EXPECT_EQ(Bytes(dir_.path() / "backups" / name / "memo.EDT").find(Gbk("今天的秘密")), std::string::npos) << name;
    }
    return opened;
  };
  ASSERT_EQ(Names().size(), 2u);
  EXPECT_EQ(opening("旧的"), Names());

  dialogs().ExpectInputBox(Gbk("请先输入原来的密码："), Gbk("旧的"));
  dialogs().ExpectInputBox(Gbk("请输入新密码：\r\n注意：如果您是想取消密码，\r\n请不要输入任何字符并直接回车即可"),
                           Gbk("新的"));
  dialogs().ExpectInputBox(Gbk("请再次输入新密码："), Gbk("新的"));
  ExpectMessage("重置密码成功");
  ClickPasswordBox();
  ASSERT_EQ(Names().size(), 3u);
  EXPECT_EQ(opening("新的"), Names());
  EXPECT_TRUE(opening("旧的").empty());
  Close();
  // A forgotten password loses the backups with the store.
  EXPECT_EQ(backups_.Restore(Names().front(), false, "", {2011, 5, 18, 9, 0, 0}).outcome,
            StoreBackups::RestoreOutcome::kWrongPassword);

  // Cut short once the store had its new key: the backups still pending,
  // under the key it had, go at the next open, and the user is told.
  {
    std::unique_ptr<File> main;
    ASSERT_EQ(faults_.Open(folder_ + kPathSeparator + "memo.edb", FileOpenMode{}, &main), 0);
    ASSERT_EQ(backups_.BeginKeyChange(*main), 0);
    DatabaseEngine engine;
    OpenOptions options;
    options.password = Gbk("新的");
    ASSERT_TRUE(engine.OpenDatabase(folder_ + kPathSeparator + "memo.edb", options));
    ASSERT_TRUE(engine.SetPassword(Gbk("第三个")));
  }
  Start();
  dialogs().ExpectInputBox(Gbk("请输入数据库访问密码："), Gbk("第三个"));
  ExpectMessage("上次修改密码没有完成，未能改用新密码的3个备份已删除。");
  ClickCentre(c().超级按钮1);
  SitIdle();
  EXPECT_EQ(Names(), std::vector<std::string>{"20110517-100001-daily-1"}) << "today's, taken afresh";
  EXPECT_EQ(opening("第三个"), Names());
}

TEST_F(BackupTest, AFailedBackupAsksBeforeTheChangeAndLeavesNothingHalfWritten) {
  // Long enough that the copy writes the memo file in several pieces.
  Seed({{EncodeDate(2011, 5, 17), std::string(300000, 'x')}, {EncodeDate(2011, 5, 3), "三号"}});
  Start();
  SitIdle();
  const std::vector<std::string> first = FolderEntries();

  for (MessageResult answer : {MessageResult::kNo, MessageResult::kYes}) {
    SCOPED_TRACE(answer == MessageResult::kNo ? "No" : "Yes");
    // The disk fills during the memo file's copy: folders, the main file, then pieces of the memo file.
    faults_.FailNth(Operation::kWrite, 5, error::kDiskFull, true);
    ExpectMessage(kClearQuestion, MessageResult::kYes);
    ExpectMessage(kBackupFailedQuestion, answer);
    DoubleClick(c().主面板状态栏标签);
    Settle();
    ASSERT_TRUE(faults_.fired());
    faults_.Disarm();
    EXPECT_EQ(Utf8(dialogs().shown().back().title), "备份失败：");
    EXPECT_EQ(dialogs().shown().back().buttons, MessageButtons::kYesNo);
    EXPECT_EQ(MessageButtonAt(dialogs().shown().back().buttons, dialogs().shown().back().default_button),
              MessageResult::kNo)
        << "Return must keep the store";
    EXPECT_EQ(FolderEntries(), first) << "a failed backup leaves nothing behind";
    EXPECT_EQ(book().store().MemoCount(), answer == MessageResult::kNo ? 2 : 0);
  }

  // A daily backup that cannot be taken is said once on the status line,
  // and the program goes on.
  Close();
  std::filesystem::remove_all(dir_.path() / "backups");
  std::ofstream(dir_.path() / "backups") << "not a folder";
  StartOn(18);
  SitIdle();
  EXPECT_EQ(StatusText(), kDailyBackupFailed);
  EXPECT_EQ(StatusBackground(), kYellow);
  ClickDay(2011, 5, 3);
  EXPECT_EQ(StatusText(), "选择某个日期并查看当日备忘|当前数据库内共有0条记录");
  WriteMemo("照常可写");
  Close();
  EXPECT_EQ(StoredMemos(), std::vector<std::string>{"3 照常可写"});
}

TEST_F(BackupTest, OneDailyBackupPerDayAndOnlyTheNewestAreKept) {
  Seed({{EncodeDate(2011, 5, 3), "三号"}});
  StartOn(1);
  Restart();
  EXPECT_EQ(Names().size(), 1u) << "the second start of a day takes none";
  for (int day = 2; day <= 10; ++day) {
    Close();
    StartOn(day);
  }
  SitIdle();
  const std::vector<std::string> daily = Names(BackupReason::kDaily);
  ASSERT_EQ(daily.size(), 7u);
  EXPECT_EQ(daily.front(), "20110504-100000-daily-1.4");
  EXPECT_EQ(daily.back(), "20110510-100000-daily-1.10");

  // Clears within one second get names of their own, in the order taken; the
  // newest ten stay.
  for (int i = 0; i < 12; ++i) ClearAll();
  const std::vector<std::string> change = Names(BackupReason::kClearAll);
  ASSERT_EQ(change.size(), 10u);
  EXPECT_EQ(change.front(), "20110510-100000-clear-0.13");
  EXPECT_EQ(change.back(), "20110510-100000-clear-0.22");
  EXPECT_EQ(Names(BackupReason::kDaily), daily) << "the two kinds are counted apart";
  EXPECT_EQ(FolderEntries().size(), 18u) << "17 backups and the running program's mark";
}

#ifndef _WIN32
// A data folder handed over from elsewhere may hold links where leftovers
// lie: removing them must reach nothing outside the store's own folder.
TEST_F(BackupTest, LeftoversRemovedNeverThroughALink) {
  namespace fs = std::filesystem;
  const fs::path outside = dir_.path() / "outside";
  fs::create_directories(outside);
  std::ofstream(outside / "thesis.txt") << "thesis";
  std::ofstream(outside / "memo.edb") << "not ours";
  const fs::path backups = dir_.path() / "backups";
  fs::create_directories(backups / "20110516-100000-daily-1.partial");
  fs::create_symlink(outside / "memo.edb", backups / "20110516-100000-daily-1.partial" / "memo.edb");
  fs::create_directory_symlink(outside, backups / "20110515-100000-daily-1.partial");
  Seed({{EncodeDate(2011, 5, 3), "三号"}});
  StartOn(17);
  SitIdle();
  EXPECT_EQ(Bytes(outside / "thesis.txt"), "thesis");
  EXPECT_EQ(Bytes(outside / "memo.edb"), "not ours");
  EXPECT_TRUE(fs::is_symlink(backups / "20110515-100000-daily-1.partial")) << "a link is not the store's to remove";
  EXPECT_FALSE(fs::exists(fs::symlink_status(backups / "20110516-100000-daily-1.partial")))
      << "a real leftover goes, with the link in it";
  EXPECT_EQ(Names(), std::vector<std::string>{"20110517-100000-daily-1"});
}
#endif

// A program waiting locked has its store closed, and still keeps a restore out.
TEST_F(BackupTest, ARestoreWaitsForTheProgramEvenWhileItIsLocked) {
  Seed({{EncodeDate(2011, 5, 17), "今天"}});
  std::string name;
  {
    std::unique_ptr<File> main, memo;
    ASSERT_EQ(faults_.Open(folder_ + kPathSeparator + "memo.edb", FileOpenMode{}, &main), 0);
    ASSERT_EQ(faults_.Open(folder_ + kPathSeparator + "memo.EDT", FileOpenMode{}, &memo), 0);
    ASSERT_EQ(backups_.Take(main.get(), memo.get(), BackupReason::kClearAll, 1, {2011, 5, 17, 9, 0, 0}, &name), 0);
    main.reset();
    memo.reset();
    DatabaseEngine engine;
    ASSERT_TRUE(engine.OpenDatabase(folder_ + kPathSeparator + "memo.edb"));
    ASSERT_TRUE(engine.SetPassword(Gbk("pw")));
  }
  Start();
  ASSERT_FALSE(book().store().IsOpen()) << "locked";
  EXPECT_EQ(backups_.Restore(name, false, "", {2011, 5, 17, 11, 0, 0}).outcome,
            StoreBackups::RestoreOutcome::kStoreInUse);
  Close();
  EXPECT_EQ(backups_.Restore(name, false, "", {2011, 5, 17, 11, 0, 0}).outcome,
            StoreBackups::RestoreOutcome::kRestored);
}

// A restore cut short by a failed write at any step leaves, once the store
// is next opened, the store as it was or the backup, never a mix of both.
TEST_F(BackupTest, ARestoreCutShortAnywhereLeavesOneStoreOrTheOther) {
  Seed({{EncodeDate(2011, 5, 3), "备份里的"}});
  std::string name;
  {
    std::unique_ptr<File> main, memo;
    FileOpenMode read_write;
    read_write.access = FileAccess::kReadWrite;
    ASSERT_EQ(faults_.Open(folder_ + kPathSeparator + "memo.edb", read_write, &main), 0);
    ASSERT_EQ(main->Lock(0, kWholeFileLength), 0);
    ASSERT_EQ(faults_.Open(folder_ + kPathSeparator + "memo.EDT", FileOpenMode{}, &memo), 0);
    ASSERT_EQ(backups_.Take(main.get(), memo.get(), BackupReason::kClearAll, 1, {2011, 5, 17, 9, 0, 0}, &name), 0);
  }
  {
    DatabaseEngine engine;
    ASSERT_TRUE(engine.OpenDatabase(folder_ + kPathSeparator + "memo.edb"));
    ASSERT_TRUE(engine.WriteField(2, FieldValue::Text(std::string(3000, 'y'))));
  }
  Seed({{EncodeDate(2011, 5, 17), std::string(20000, 'x')}, {EncodeDate(2011, 5, 20), "后来的"}});
  const std::vector<std::string> as_was = StoredMemos();
  const std::vector<std::string> backup{"3 备份里的"};
  const std::string main_was = Bytes(dir_.path() / "memo.edb");
  const std::string memo_was = Bytes(dir_.path() / "memo.EDT");
  SetRekeyPieceBytes(4096);
  int restored = 0;
  for (int n = 1;; ++n) {
    SCOPED_TRACE(n);
    faults_.FailNth(Operation::kWrite, n, error::kDiskFull, true);
    const StoreBackups::RestoreOutcome outcome = backups_.Restore(name, false, "", {2011, 5, 18, 9, 0, n % 60}).outcome;
    const bool fired = faults_.fired();
    faults_.Disarm();
    if (!fired) {
      EXPECT_EQ(outcome, StoreBackups::RestoreOutcome::kRestored);
      EXPECT_EQ(StoredMemos(), backup);
      break;
    }
    EXPECT_NE(outcome, StoreBackups::RestoreOutcome::kRestored);
    const std::vector<std::string> now = StoredMemos();
    ASSERT_TRUE(now == as_was || now == backup) << ::testing::PrintToString(now);
    restored += now == backup;
    std::ofstream(dir_.path() / "memo.edb", std::ios::binary | std::ios::trunc) << main_was;
    std::ofstream(dir_.path() / "memo.EDT", std::ios::binary | std::ios::trunc) << memo_was;
  }
  EXPECT_GT(restored, 0) << "some failures came after the point of no return";
  SetRekeyPieceBytes(64 << 10);
}

TEST(BackupNames, OnlyFinishedBackupsReadAsBackups) {
  BackupInfo info;
  ASSERT_TRUE(ParseBackupName("20110517-093005-password-12.3", &info));
  EXPECT_EQ(info.taken.year, 2011);
  EXPECT_EQ(info.taken.minute, 30);
  EXPECT_EQ(info.taken.second, 5);
  EXPECT_EQ(info.reason, BackupReason::kPassword);
  EXPECT_EQ(info.records, 12);
  EXPECT_EQ(info.sequence, 3);
  ASSERT_TRUE(ParseBackupName("20110517-093005-restore", &info));
  EXPECT_EQ(info.records, -1);
  for (const char* name : {"20110517-093005-daily-12.partial", "restoring.partial", "20110517-0930-daily-1",
                           "20110517-093005-weekly-1", "notes.txt", "20110517-093005-daily-x"}) {
    EXPECT_FALSE(ParseBackupName(name, &info)) << name;
  }
}

}  // namespace
}  // namespace tarnwick
