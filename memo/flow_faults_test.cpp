// Every flow of the memo book with each file operation failing in turn: for
// every kind (read, write, lock, flush, truncate) the n-th operation of the
// flow fails, for n = 1, 2, ... until the flow no longer reaches an n-th one.
// After each run the program must have either said so with one of its own
// failure texts or really done what it reports, and the store, reopened by
// another engine, must hold every other memo as before.
//
// The flows that write are also cut by a power loss at each of their flushes
// in turn: what was written since a file's last flush is dropped or torn. The
// store must then open with the password from before or after the flow, hold
// the memos from before or after it exactly, and pass the tools' structure
// check with nothing worse than lost space.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "memo/memo_store.h"
#include "testing/memo_book_fixture.h"
#include "testing/store_check.h"

namespace tarnwick {
namespace {

using Operation = testing::FaultFileSystem::Operation;
using Records = std::vector<std::pair<DateTime, std::string>>;  // texts GBK

const Operation kOperations[] = {Operation::kRead, Operation::kWrite, Operation::kLock, Operation::kFlush,
                                 Operation::kTruncate};

const char* NameOf(Operation operation) {
  switch (operation) {
    case Operation::kRead: return "read";
    case Operation::kWrite: return "write";
    case Operation::kLock: return "lock";
    case Operation::kFlush: return "flush";
    case Operation::kTruncate: return "truncate";
    default: return "?";
  }
}

const char kAutoSave[] = "关闭程序前请主动保存当前备忘。\r\n本次程序已为您自动保存了";
// A save's failure goes on to name its cause.
const char kAppendFailed[] = "增加记录失败";
const char kRewriteFailed[] = "保存当前编辑信息失败";
const char kOpenFailedAtStartUp[] = "数据库打开失败，请检查数据库文件是否存在？或者重启计算机后再试一次";
const char kClearFailed[] = "清空数据库失败，请检查数据库文件是否存在。";
const char kEncipherFailed[] = "加密失败";
const char kCreateQuestion[] = "数据库文件未找到！是否重新创建一个新的数据库？";
// A fault that hits the backup before a change: going on without it.
const char kBackupFailed[] = "备份数据库失败，可能磁盘已满或没有写入权限。\r\n不备份而继续吗？";
// A fault that hits the re-key of a backup at a password change: it goes.
const char kBackupRemoved[] = "有1个备份不能用原密码打开，无法改用新密码，已将其删除。";
const char kBackupsRemoved[] = "有2个备份不能用原密码打开，无法改用新密码，已将其删除。";
// A lock that cannot be taken is what another running copy causes.
const char kHeldByAnotherCopy[] = "备忘录已经在另一个窗口中打开了，请在那个窗口中继续使用。本程序将自动退出";

// One flow as a user lives it. Texts are UTF-8.
struct Flow {
  std::string name;
  bool first_run = false;                        // an empty folder before, instead of a store
  Records seed;                                  // the store before
  std::optional<std::string> password;           // the store's password before
  std::function<void()> reach;                   // start and get to the action, no fault armed
  std::function<void()> act;                     // the action the fault hits
  std::map<std::string, std::string> answers;    // input box prompt -> typed answer
  std::set<std::string> questions;               // Yes/No questions answered Yes, OK messages that belong to the flow
  std::set<std::string> failure_texts;           // the flow's own failure messages, or how they begin
  bool IsFailureText(const std::string& text) const {
    return std::any_of(failure_texts.begin(), failure_texts.end(),
                       [&](const std::string& failure) { return text.starts_with(failure); });
  }
  std::optional<std::string> success_text;       // a message saying it worked
  Records after_success;                         // the store once the flow worked
  std::optional<std::string> password_after;     // the password once the flow worked
  // Checks of the window after a reported failure, and after a success.
  std::function<void()> check_failed = [] {};
  std::function<void()> check_succeeded = [] {};
};

struct Tally {
  int runs = 0;            // faults that fired
  int reported = 0;        // ... and the program said it failed
  int worked_anyway = 0;   // ... and the flow still did all it reports
};

class FlowFaultsTest : public testing::MemoBookTest {
 protected:
  FlowFaultsTest() {
    // Script each dialog of the flow as it comes; anything else is left
    // unscripted, so the fixture fails the test naming its text.
    dialogs().SetOnShow([this](const HeadlessDialogs::Shown& shown) {
      const std::string text = Utf8(shown.text);
      if (flow_ == nullptr) return;
      if (faults_.dead()) {
        // The machine is off: whatever the program still says goes unread.
        if (shown.kind == HeadlessDialogs::Kind::kMessageBox) {
          dialogs().ExpectMessageBox(shown.text, shown.buttons == MessageButtons::kYesNo ? MessageResult::kNo
                                                                                       : MessageResult::kOk);
        } else if (shown.kind == HeadlessDialogs::Kind::kInputBox) {
          dialogs().ExpectInputBox(shown.text, std::nullopt);
        }
        return;
      }
      if (shown.kind == HeadlessDialogs::Kind::kInputBox) {
        auto found = flow_->answers.find(text);
        if (found != flow_->answers.end()) dialogs().ExpectInputBox(shown.text, Gbk(found->second));
      } else if (shown.kind == HeadlessDialogs::Kind::kFileDialog) {
        dialogs().ExpectFileDialog(ExportPath());
      } else if (shown.kind == HeadlessDialogs::Kind::kMessageBox) {
        const bool yes_no = shown.buttons == MessageButtons::kYesNo;
        if (flow_->questions.count(text) > 0 || flow_->IsFailureText(text) ||
            flow_->success_text == text) {
          dialogs().ExpectMessageBox(shown.text, yes_no ? MessageResult::kYes : MessageResult::kOk);
        }
      }
    });
  }

  std::string ExportPath() { return Utf8ToGbk(dir_.File("export.txt")); }

  // A fresh folder holding flow.seed, enciphered when the flow says so.
  void Prepare(const Flow& flow) {
    program_.reset();
    engine_.reset();
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) std::filesystem::remove_all(entry);
    if (flow.first_run) return;
    Seed(flow.seed);
    if (flow.password) {
      DatabaseEngine engine;
      MemoStore store(engine, folder_);
      ASSERT_TRUE(store.OpenMemoDatabase());
      ASSERT_TRUE(store.SetDatabasePassword(*flow.password));
      store.CloseMemoDatabase();
    }
  }

  // Every record of the store (texts UTF-8), opened by an engine of its own
  // with the first of the passwords that opens it; which one in *opened_with.
  std::optional<Records> ReadBack(const std::vector<std::optional<std::string>>& passwords,
                                  std::optional<std::string>* opened_with) {
    for (const auto& password : passwords) {
      DatabaseEngine engine;
      MemoStore store(engine, folder_);
      if (store.IsDatabaseProtected() != password.has_value()) continue;
      if (!store.OpenMemoDatabase(password ? std::optional<std::string_view>(*password) : std::nullopt)) continue;
      Records records;
      const int count = store.MemoCount();
      store.GoFirstMemo();
      for (int i = 0; i < count; ++i) {
        records.push_back({store.ReadMemoDate(), Utf8(store.ReadMemoText())});
        if (i + 1 < count && !store.NextMemo()) ADD_FAILURE() << "record " << i + 2 << " cannot be reached";
      }
      store.CloseMemoDatabase();
      *opened_with = password;
      return records;
    }
    return std::nullopt;
  }

  // One run with the n-th operation of that kind failing; false when the
  // flow never reached it.
  bool RunOnce(const Flow& flow, Operation operation, int n, Tally* tally) {
    Prepare(flow);
    flow_ = &flow;
    flow.reach();
    dialogs().ClearShown();
    faults_.FailNth(operation, n, error::kDiskFull);
    flow.act();
    Settle();
    const bool fired = faults_.fired();
    faults_.Disarm();
    if (!fired) {
      // The whole flow ran: it must have worked.
      CheckOutcome(flow, false, "no fault");
      Finish();
      return false;
    }
    ++tally->runs;
    SCOPED_TRACE(std::string(NameOf(operation)) + " " + std::to_string(n));
    const bool reported = CheckOutcome(flow, true, std::string(NameOf(operation)) + " " + std::to_string(n));
    if (reported) {
      ++tally->reported;
    } else {
      ++tally->worked_anyway;
    }
    Finish();
    return true;
  }

  // Whether a failure was reported; checks that it was reported when the
  // store does not show the flow done, and that the other memos are intact.
  bool CheckOutcome(const Flow& flow, bool fired, const std::string& where) {
    bool failed = false, succeeded = false;
    for (const auto& shown : dialogs().shown()) {
      if (shown.kind != HeadlessDialogs::Kind::kMessageBox) continue;
      const std::string text = Utf8(shown.text);
      if (flow.IsFailureText(text)) failed = true;
      if (flow.success_text == text) succeeded = true;
    }
    EXPECT_FALSE(failed && succeeded) << flow.name << ", " << where << ": both failure and success reported";
    if (!fired) {
      EXPECT_FALSE(failed) << flow.name << ": failure reported without a fault";
    }
    if (!failed && flow.success_text) {
      EXPECT_TRUE(succeeded) << flow.name << ", " << where << ": neither failure nor success said";
    }
    if (failed) {
      flow.check_failed();
    } else {
      flow.check_succeeded();
    }
    program_.reset();
    engine_.reset();
    if (flow.first_run) {
      CheckTheNextStartFinishesTheFirstRun(where);
      return failed;
    }
    std::vector<std::optional<std::string>> passwords = {flow.password};
    if (flow.password_after != flow.password) passwords.push_back(flow.password_after);
    std::optional<std::string> opened_with;
    std::optional<Records> records = ReadBack(passwords, &opened_with);
    if (!records) {
      ADD_FAILURE() << flow.name << ", " << where << ": the store no longer opens";
      return failed;
    }
    if (!failed) {
      EXPECT_EQ(*records, flow.after_success) << flow.name << ", " << where << ": reported done but not done";
      EXPECT_EQ(opened_with, flow.password_after) << flow.name << ", " << where << ": the password did not change";
    } else {
      EXPECT_TRUE(*records == flow.seed || *records == flow.after_success)
          << flow.name << ", " << where << ": other memos changed (" << records->size() << " records)";
    }
    return failed;
  }

  void Finish() {
    flow_ = nullptr;
    program_.reset();
    engine_.reset();
    ASSERT_EQ(dialogs().pending(), 0u);
    dialogs().ClearShown();
  }

  // Runs flow under every kind of fault and reports the tally per kind.
  void RunEverywhere(const Flow& flow) {
    for (Operation operation : kOperations) {
      Tally tally;
      int n = 1;
      for (; n <= 500; ++n) {
        if (!RunOnce(flow, operation, n, &tally)) break;
        if (HasFatalFailure()) return;
      }
      EXPECT_LE(n, 500) << flow.name << ": the flow never ended under " << NameOf(operation) << " faults";
      std::cout << "[ faults   ] " << flow.name << " " << NameOf(operation) << ": " << tally.runs
                << " injected, " << tally.reported << " reported as failed, " << tally.worked_anyway
                << " done in spite of it\n";
    }
  }

  // The flow cut by a power loss at its n-th flush, n = 1, 2, ... until it no
  // longer reaches one; the unflushed writes of every other cut are all
  // dropped, of the others some dropped, some torn to whole sectors.
  void RunPowerLossAtEveryFlush(const Flow& flow) {
    int cuts = 0, writes_lost = 0, new_outcomes = 0;
    int64_t lost_blocks = 0;
    int n = 1;
    for (; n <= 500; ++n) {
      Prepare(flow);
      flow_ = &flow;
      faults_.SetPowerLoss(true, n % 2 == 0 ? 0 : static_cast<uint32_t>(n));
      // Every third cut also loses the names never flushed into their folder
      // (the first run's new store is made before the folder can be flushed).
      faults_.SetLoseUnflushedNames(!flow.first_run && n % 3 == 0);
      flow.reach();
      dialogs().ClearShown();
      faults_.DieAtNth(Operation::kFlush, n);
      flow.act();
      Settle();
      const bool fired = faults_.fired();
      program_.reset();
      engine_.reset();
      if (fired) writes_lost += faults_.CutPower();
      faults_.Disarm();
      faults_.SetPowerLoss(false);
      if (!fired) {
        Finish();
        break;
      }
      ++cuts;
      const std::string where = flow.name + ", power lost at flush " + std::to_string(n);
      if (flow.first_run) {
        CheckTheNextStartFinishesTheFirstRun(where);
        ++new_outcomes;
        Finish();
        if (HasFailure()) return;
        continue;
      }
      std::vector<std::optional<std::string>> passwords = {flow.password};
      if (flow.password_after != flow.password) passwords.push_back(flow.password_after);
      std::optional<std::string> opened_with;
      const std::optional<Records> records = ReadBack(passwords, &opened_with);
      if (!records) {
        ADD_FAILURE() << where << ": the store no longer opens";
      } else {
        EXPECT_TRUE(*records == flow.seed || *records == flow.after_success)
            << where << ": " << records->size() << " records, neither the memos before nor after";
        if (*records != flow.seed || opened_with != flow.password) ++new_outcomes;
        const testing::StoreCheck check = testing::CheckStore(folder_, opened_with);
        for (const std::string& damage : check.damage) ADD_FAILURE() << where << ": " << damage;
        lost_blocks += check.lost_blocks;
      }
      Finish();
      if (HasFailure()) return;
    }
    EXPECT_LE(n, 500) << flow.name << ": the flow never ended";
    EXPECT_GT(cuts, 0) << flow.name << ": the flow never flushed";
    EXPECT_GT(writes_lost, 0) << flow.name << ": no cut lost a write, so none tested a power loss";
    std::cout << "[ power    ] " << flow.name << ": power lost at each of " << cuts << " flushes (" << writes_lost
              << " unflushed writes dropped or torn); " << cuts - new_outcomes << " read back as before, "
              << new_outcomes << " as after; " << lost_blocks << " memo blocks of lost space, no damage\n";
  }

  // Whatever a first run cut short left, the next start finishes or redoes
  // the creation (asking again only when memo.edb holds nothing), and a memo
  // saved then is there after a restart.
  void CheckTheNextStartFinishesTheFirstRun(const std::string& where) {
    SCOPED_TRACE(where);
    const Flow* flow = std::exchange(flow_, nullptr);
    std::error_code no_file;
    if (std::filesystem::file_size(dir_.path() / "memo.edb", no_file) == 0 || no_file) {
      ExpectMessage(kCreateQuestion, MessageResult::kYes);
    }
    Start();
    EXPECT_EQ(StatusText(), "选择某个日期并查看当日备忘|当前数据库内共有0条记录");
    WriteMemo("第一条");
    Restart();
    EXPECT_EQ(EditorText(), "第一条");
    program_.reset();
    engine_.reset();
    flow_ = flow;
  }

  // The memos every flow starts from: today, another day of the month, and
  // two long ones in the month before, whose texts span several of the
  // engine's cache pages, so that a walk over them reads the file and not
  // only what the start-up left in memory.
  static Records Memos() {
    return {{EncodeDate(2011, 5, 3), "三号的备忘"},
            {EncodeDate(2011, 5, 17), "今天的备忘"},
            {EncodeDate(2011, 4, 30), std::string(100000, 'x') + "长的备忘"},
            {EncodeDate(2011, 4, 29), std::string(70000, 'y') + "也长"}};
  }

  // Starts locked and unlocks through 超级按钮1 (the flow answers the
  // password prompt).
  void StartAndUnlock() {
    Start();
    ClickCentre(c().超级按钮1);
    Settle();
    loop().AdvanceTime(200);  // the alignment tick gives 超级按钮1 its caption back
  }

  void ClickPasswordBox() {
    c().导出全库按钮.SetFocus();
    windows().PressKey(keys::kTab);
    windows().PressKey(keys::kSpace);
    Settle();
  }

  const Flow* flow_ = nullptr;
};

TEST_F(FlowFaultsTest, StartUpWithAnExistingStore) {
  Flow flow;
  flow.name = "start-up";
  flow.seed = Memos();
  flow.after_success = flow.seed;
  flow.reach = [] {};
  flow.act = [this] { Start(); };
  flow.failure_texts = {kOpenFailedAtStartUp, kHeldByAnotherCopy};
  flow.check_succeeded = [this] { EXPECT_EQ(EditorText(), "今天的备忘") << "today's memo is shown"; };
  RunEverywhere(flow);
}

TEST_F(FlowFaultsTest, FirstRun) {
  Flow flow;
  flow.name = "first run";
  flow.first_run = true;
  flow.reach = [] {};
  flow.act = [this] { Start(); };
  flow.questions = {kCreateQuestion};
  flow.failure_texts = {kOpenFailedAtStartUp, kHeldByAnotherCopy};
  RunEverywhere(flow);
  RunPowerLossAtEveryFlush(flow);
}

TEST_F(FlowFaultsTest, SavingANewDateKeepsTheTextWhenItFails) {
  Flow flow;
  flow.name = "save new";
  flow.seed = Memos();
  flow.after_success = flow.seed;
  flow.after_success.push_back({EncodeDate(2011, 5, 20), "新的一天"});
  flow.reach = [this] {
    Start();
    ClickDay(2011, 5, 20);
    ClickCentre(c().编辑按钮);
    windows().TypeText(Gbk("新的一天"));
  };
  flow.act = [this] { ClickCentre(c().保存按钮); };
  flow.failure_texts = {kAppendFailed, kRewriteFailed};
  flow.check_failed = [this] {
    EXPECT_EQ(EditorText(), "新的一天");
    EXPECT_FALSE(c().保存按钮.disabled()) << "still editing";
  };
  flow.check_succeeded = [this] { EXPECT_TRUE(c().保存按钮.disabled()); };
  RunEverywhere(flow);
  RunPowerLossAtEveryFlush(flow);
}

TEST_F(FlowFaultsTest, SavingAnExistingDateKeepsTheTextWhenItFails) {
  Flow flow;
  flow.name = "save existing";
  flow.seed = Memos();
  flow.after_success = flow.seed;
  flow.after_success[0].second = "改过的";
  flow.reach = [this] {
    Start();
    ClickDay(2011, 5, 3);
    ClickCentre(c().编辑按钮);
    c().备忘编辑框.Select(0, -1);
    windows().TypeText(Gbk("改过的"));
  };
  flow.act = [this] { ClickCentre(c().保存按钮); };
  flow.failure_texts = {kAppendFailed, kRewriteFailed};
  flow.check_failed = [this] {
    EXPECT_EQ(EditorText(), "改过的");
    EXPECT_FALSE(c().保存按钮.disabled()) << "still editing";
  };
  flow.check_succeeded = [this] { EXPECT_TRUE(c().保存按钮.disabled()); };
  RunEverywhere(flow);
  RunPowerLossAtEveryFlush(flow);
}

TEST_F(FlowFaultsTest, ClearAll) {
  Flow flow;
  flow.name = "clear all";
  flow.seed = Memos();
  flow.reach = [this] { Start(); };
  flow.act = [this] {
    DoubleClick(c().主面板状态栏标签);
  };
  flow.questions = {"真的清空所有记录？", kBackupFailed};
  flow.failure_texts = {kClearFailed};
  flow.check_failed = [this] {
    EXPECT_EQ(Utf8(dialogs().shown().back().title), "清空数据库：");
    EXPECT_EQ(EditorText(), "今天的备忘") << "the memo still stored is still shown";
  };
  flow.check_succeeded = [this] { EXPECT_EQ(EditorText(), testing::kNoMemoHint); };
  RunEverywhere(flow);
  RunPowerLossAtEveryFlush(flow);
}

TEST_F(FlowFaultsTest, ExportAll) {
  Flow flow;
  flow.name = "export";
  flow.seed = Memos();
  flow.after_success = flow.seed;
  flow.reach = [this] {
    Start();
    ClickCentre(*program_->main_window().Find("搜索面板按钮"));
    Settle();
  };
  flow.act = [this] { ClickCentre(c().导出全库按钮); };
  const std::string path = GbkToUtf8(ExportPath());
  flow.failure_texts = {"导出文件无法打开：\r\n" + path, "导出文件写入失败，内容不完整：\r\n" + path,
                        "有备忘未能导出，导出文件内容不完整：\r\n" + path};
  flow.success_text = "数据库导出完毕！";
  flow.check_succeeded = [this] {
    std::ifstream in(dir_.File("export.txt"), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    for (const auto& [date, text] : Memos()) {
      EXPECT_NE(bytes.find(Gbk(text)), std::string::npos) << "the export lacks " << text.substr(0, 20);
    }
  };
  RunEverywhere(flow);
}

TEST_F(FlowFaultsTest, SettingAPassword) {
  Flow flow;
  flow.name = "password set";
  flow.seed = Memos();
  flow.after_success = flow.seed;
  flow.password_after = "pw";
  flow.reach = [this] { Start(); };
  flow.act = [this] { ClickPasswordBox(); };
  // The program locks at once and asks for the new password to unlock.
  flow.answers = {{"请输入新的密码：", "pw"}, {"请输入数据库访问密码：", "pw"}};
  // The unlock that follows may fail on its own: the password is set all the same.
  flow.questions = {"数据库打开失败，请检查数据库文件是否存在？或者密码有误？", kBackupFailed, kHeldByAnotherCopy,
                    kBackupRemoved, kBackupsRemoved};
  flow.failure_texts = {kEncipherFailed, "打开数据库失败，请检查数据库文件是否存在？"};
  flow.success_text = "加密成功，请重新输入密码进入软件";
  RunEverywhere(flow);
  RunPowerLossAtEveryFlush(flow);
}

TEST_F(FlowFaultsTest, ChangingThePassword) {
  Flow flow;
  flow.name = "password change";
  flow.seed = Memos();
  flow.password = "pw";
  flow.after_success = flow.seed;
  flow.password_after = "new";
  flow.reach = [this] { StartAndUnlock(); };
  flow.act = [this] { ClickPasswordBox(); };
  flow.answers = {{"请输入数据库访问密码：", "pw"},
                  {"请先输入原来的密码：", "pw"},
                  {"请输入新密码：\r\n注意：如果您是想取消密码，\r\n请不要输入任何字符并直接回车即可", "new"},
                  {"请再次输入新密码：", "new"}};
  flow.questions = {kBackupFailed, kBackupRemoved, kBackupsRemoved};
  // A read failing as the box looks at the store's magic takes it for a
  // plain store, whose open then fails with the setting's message.
  flow.failure_texts = {kEncipherFailed, "打开数据库失败，可能密码有误，请重新输入",
                        "打开数据库失败，请检查数据库文件是否存在？"};
  flow.success_text = "重置密码成功";
  RunEverywhere(flow);
  RunPowerLossAtEveryFlush(flow);
}

TEST_F(FlowFaultsTest, RemovingThePassword) {
  Flow flow;
  flow.name = "password remove";
  flow.seed = Memos();
  flow.password = "pw";
  flow.after_success = flow.seed;
  flow.password_after = std::nullopt;
  flow.reach = [this] { StartAndUnlock(); };
  flow.act = [this] { ClickPasswordBox(); };
  flow.answers = {{"请输入数据库访问密码：", "pw"},
                  {"请先输入原来的密码：", "pw"},
                  {"请输入新密码：\r\n注意：如果您是想取消密码，\r\n请不要输入任何字符并直接回车即可", ""}};
  flow.questions = {kBackupFailed, kBackupRemoved, kBackupsRemoved};
  // A read failing as the box looks at the store's magic takes it for a
  // plain store, whose open then fails with the setting's message.
  flow.failure_texts = {kEncipherFailed, "打开数据库失败，可能密码有误，请重新输入",
                        "打开数据库失败，请检查数据库文件是否存在？"};
  flow.success_text = "重置密码成功";
  RunEverywhere(flow);
  RunPowerLossAtEveryFlush(flow);
}

TEST_F(FlowFaultsTest, ShutDownSavesWhatIsTyped) {
  Flow flow;
  flow.name = "shut-down";
  flow.seed = Memos();
  flow.after_success = flow.seed;
  flow.after_success[1].second = "关门前写的今天的备忘";
  flow.reach = [this] {
    Start();
    ClickCentre(c().编辑按钮);
    windows().TypeText(Gbk("关门前写的"));
  };
  flow.act = [this] { Close(); };
  flow.questions = {kAutoSave};
  // The text then goes to the rescue file, or the window stays once.
  flow.failure_texts = {kAppendFailed, kRewriteFailed, "当前编辑的备忘已另存到文件：", "当前编辑的备忘也无法另存到文件。"};
  flow.check_failed = [this] {
    const std::filesystem::path rescue = dir_.File("memo-rescued.txt");
    if (native_main().IsVisible()) {
      EXPECT_EQ(EditorText(), "关门前写的今天的备忘");
      EXPECT_FALSE(std::filesystem::exists(rescue));
      return;
    }
    std::ifstream in(rescue, std::ios::binary);
    const std::string kept = Utf8(std::string(std::istreambuf_iterator<char>(in), {}));
    EXPECT_NE(kept.find("\r\n关门前写的今天的备忘\r\n"), std::string::npos) << "kept in the rescue file";
    in.close();
    std::filesystem::remove(rescue);  // the next run starts without it
  };
  flow.check_succeeded = [this] { EXPECT_FALSE(native_main().IsVisible()) << "the program ended"; };
  RunEverywhere(flow);
}

}  // namespace
}  // namespace tarnwick
