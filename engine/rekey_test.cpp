// Password changes that are cut short: by an I/O error at each step, by the
// process dying at each step, and by killing the process at random moments.
// Afterwards the database must open with the old or the new password and hold every
// record exactly; a finished change must leave the bytes an uninterrupted one
// leaves, and an undone one the bytes from before.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <set>
#include <algorithm>
#include <random>
#include <thread>

#include "base/text.h"
#include "engine/database.h"
#include "engine/engine_test_util.h"
#include "engine/md5.h"
#include "engine/rekey_record.h"
#include "testing/fault_file_system.h"
#include "testing/helper_process.h"
#include "testing/temp_dir.h"

namespace tarnwick {
namespace {

using namespace test_util;
using Operation = testing::FaultFileSystem::Operation;

struct PasswordChange {
  std::string from;
  std::string to;
};

const std::vector<PasswordChange> kChanges = {{"", "alpha"}, {"alpha", "beta"}, {"beta", ""}};

class RekeyTest : public ::testing::Test {
 protected:
  RekeyTest()
      : main_path_(dir_.File("memo.edb")),
        memo_path_(dir_.File("memo.EDT")),
        record_path_(RekeyRecordPath(main_path_)) {}
  ~RekeyTest() override { SetRekeyWindowBytes(default_window_); }

  // records memos of 0 to about 3,000 bytes, a few blocks freed in the middle.
  void Build(int records, size_t longest) {
    DatabaseEngine engine;
    engine.SetDurableWrites(false);
    ASSERT_TRUE(engine.CreateDatabase(main_path_, MemoSchema()));
    ASSERT_TRUE(engine.OpenDatabase(main_path_));
    for (int i = 0; i < records; ++i) {
      memos_.push_back(MemoText(static_cast<size_t>(i * 131) % (longest + 1), i));
      ASSERT_TRUE(engine.AppendRecord({FieldValue::DateTime(40000 + i), FieldValue::Text(memos_.back())}));
    }
    engine.GoFirst();
    ASSERT_TRUE(engine.Skip(records / 2));
    memos_[records / 2] = "short now";
    ASSERT_TRUE(engine.WriteField(2, FieldValue::Text(memos_[records / 2])));
  }

  // The files as they stand under each password of kChanges, each made by an
  // uninterrupted change from the one before.
  void KeepEachSide() {
    DatabaseEngine engine;
    engine.SetDurableWrites(false);
    ASSERT_TRUE(engine.OpenDatabase(main_path_));
    for (const PasswordChange& change : kChanges) {
      ASSERT_TRUE(engine.SetPassword(change.from));
      sides_[change.from] = {ReadBytes(main_path_), ReadBytes(memo_path_)};
    }
    engine.CloseDatabase();
  }

  void PutSide(const std::string& password) {
    WriteBytes(main_path_, sides_[password].first);
    WriteBytes(memo_path_, sides_[password].second);
  }

  bool FilesAre(const std::string& password) {
    return ReadBytes(main_path_) == sides_[password].first && ReadBytes(memo_path_) == sides_[password].second;
  }

  // Opens with a fresh engine and reads every record back.
  ::testing::AssertionResult OpensAndReadsAll(const std::string& password) {
    DatabaseEngine engine;
    OpenOptions options;
    options.password = password;
    if (!engine.OpenDatabase(main_path_, options)) {
      return ::testing::AssertionFailure() << "open with \"" << password << "\" fails, code " << LastErrorCode();
    }
    return AllRecordsRead(engine);
  }

  ::testing::AssertionResult AllRecordsRead(DatabaseEngine& engine) {
    if (engine.RecordCount() != static_cast<int>(memos_.size())) {
      return ::testing::AssertionFailure() << engine.RecordCount() << " records";
    }
    engine.GoFirst();
    for (size_t i = 0; i < memos_.size(); ++i) {
      if (engine.ReadField(1).AsDateTime() != 40000.0 + static_cast<double>(i) ||
          engine.ReadField(2).AsText() != memos_[i]) {
        return ::testing::AssertionFailure() << "record " << i << " differs, code " << LastErrorCode();
      }
      engine.Skip();
    }
    return ::testing::AssertionSuccess();
  }

  bool RecordFileExists() { return DefaultFileSystem()->Exists(record_path_); }

  const uint64_t default_window_ = RekeyWindowBytes();
  testing::TempDir dir_;
  std::string main_path_;
  std::string memo_path_;
  std::string record_path_;
  std::vector<std::string> memos_;
  std::map<std::string, std::pair<Bytes, Bytes>> sides_;
};

const std::vector<std::pair<Operation, const char*>> kFaultKinds = {{Operation::kWrite, "write"},
                                                                    {Operation::kFlush, "flush"},
                                                                    {Operation::kTruncate, "truncate"},
                                                                    {Operation::kRead, "read"},
                                                                    {Operation::kRemove, "remove"}};

// An I/O error at any step is reported, the change is undone in place (the
// connection goes on under the old password), and nothing is left behind.
TEST_F(RekeyTest, AnIoErrorAtAnyStepUndoesTheChange) {
  SetRekeyWindowBytes(8192);
  Build(40, 3000);
  KeepEachSide();
  int failures = 0;
  for (const PasswordChange& change : kChanges) {
    for (const auto& [kind, kind_name] : kFaultKinds) {
      for (int n = 1;; ++n) {
        ASSERT_LT(n, 400) << "the re-key never ends";
        const std::string context =
            "\"" + change.from + "\" to \"" + change.to + "\", " + kind_name + " #" + std::to_string(n);
        PutSide(change.from);
        testing::FaultFileSystem faults;
        DatabaseEngine engine(&faults);
        engine.SetDurableWrites(kind == Operation::kFlush);  // flushes only where they are the faults
        OpenOptions options;
        options.password = change.from;
        ASSERT_TRUE(engine.OpenDatabase(main_path_, options)) << context;
        faults.FailNth(kind, n, error::kHardwareFault, /*torn=*/n % 2 == 1);
        const bool changed = engine.SetPassword(change.to);
        const int code = LastErrorCode();
        faults.Disarm();
        if (!faults.fired()) {
          ASSERT_TRUE(changed) << context << " code " << code;
          EXPECT_TRUE(FilesAre(change.to)) << context;
          break;
        }
        ++failures;
        if (kind == Operation::kRemove) {
          // The finished change stands; the record it could not remove was emptied.
          EXPECT_TRUE(changed) << context;
          EXPECT_TRUE(AllRecordsRead(engine)) << context;
          engine.CloseDatabase();
          EXPECT_TRUE(OpensAndReadsAll(change.to)) << context;
          EXPECT_FALSE(RecordFileExists()) << context << ": the next open removes the empty record";
          EXPECT_TRUE(FilesAre(change.to)) << context;
          continue;
        }
        EXPECT_FALSE(changed) << context << ": a failure reported as success";
        EXPECT_EQ(code, error::kRekeyFailed) << context;
        EXPECT_FALSE(RecordFileExists()) << context;
        EXPECT_TRUE(FilesAre(change.from)) << context;
        // Still open under the old password, and usable.
        ASSERT_EQ(engine.CurrentPath(), main_path_) << context;
        EXPECT_EQ(engine.IsPasswordProtected("memo"), !change.from.empty()) << context;
        EXPECT_TRUE(AllRecordsRead(engine)) << context;
        engine.CloseDatabase();
        EXPECT_TRUE(OpensAndReadsAll(change.from)) << context;
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
  EXPECT_GT(failures, 100);
  std::printf("re-key I/O errors injected: %d, each undone\n", failures);
}

// The process dying at any step (nothing reaches the files after it) leaves a
// record from which the next open, with either password, brings the files to
// exactly that password's bytes.
TEST_F(RekeyTest, DyingAtAnyStepIsSettledByTheNextOpenWithEitherPassword) {
  SetRekeyWindowBytes(8192);
  Build(40, 3000);
  KeepEachSide();
  int deaths = 0, records_left = 0;
  for (const PasswordChange& change : kChanges) {
    for (const auto& [kind, kind_name] : kFaultKinds) {
      if (kind == Operation::kRead) continue;  // a read changes nothing on disk
      for (int n = 1;; ++n) {
        ASSERT_LT(n, 400) << "the re-key never ends";
        const std::string context =
            "\"" + change.from + "\" to \"" + change.to + "\", dead at " + kind_name + " #" + std::to_string(n);
        PutSide(change.from);
        testing::FaultFileSystem faults;
        {
          DatabaseEngine engine(&faults);
          engine.SetDurableWrites(kind == Operation::kFlush);
          OpenOptions options;
          options.password = change.from;
          ASSERT_TRUE(engine.OpenDatabase(main_path_, options)) << context;
          faults.DieAtNth(kind, n, /*torn=*/n % 2 == 1);
          engine.SetPassword(change.to);
        }
        if (!faults.fired()) break;
        ++deaths;
        const bool record = RecordFileExists();
        // Alternate the password the next open is given.
        const std::string& chosen = n % 2 == 0 ? change.from : change.to;
        const std::string& other = n % 2 == 0 ? change.to : change.from;
        if (OpensAndReadsAll(chosen)) {
          EXPECT_TRUE(FilesAre(chosen)) << context;
          if (record) ++records_left;
        } else {
          // Only when the files were not touched yet (the record incomplete) or were finished.
          ASSERT_TRUE(OpensAndReadsAll(other)) << context;
          EXPECT_TRUE(FilesAre(other)) << context;
        }
        EXPECT_FALSE(RecordFileExists()) << context;
        EXPECT_FALSE(OpensAndReadsAll(FilesAre(chosen) ? other : chosen)) << context << ": settled on one password";
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
  EXPECT_GT(records_left, 50);
  std::printf("re-key deaths at each step: %d; %d left a record that the next password settled; none lost a byte\n",
              deaths, records_left);
}

// With durable writes, a change reaches the disk in an order that keeps the
// record trustworthy after a power cut as well: the record is flushed before
// the files are written, and the files are flushed before the record is
// written again or removed. The same holds when an open settles a record.
TEST_F(RekeyTest, TheRecordAndTheFilesReachTheDiskInTurn) {
  SetRekeyWindowBytes(8192);
  Build(40, 3000);
  using Change = testing::FaultFileSystem::Change;
  auto check_order = [&](const std::vector<Change>& log, const std::string& what, int fewest_writes) {
    std::set<std::string> unflushed;  // paths written since their last flush
    int record_writes = 0, store_writes = 0, removals = 0;
    auto store_unflushed = [&] {
      return std::any_of(unflushed.begin(), unflushed.end(),
                         [&](const std::string& path) { return path != record_path_; });
    };
    for (const Change& change : log) {
      const bool record = change.path == record_path_;
      if (change.operation == Operation::kWrite || change.operation == Operation::kTruncate) {
        if (record) {
          ++record_writes;
          EXPECT_FALSE(store_unflushed()) << what << ": the record moves on before the files are flushed";
        } else {
          ++store_writes;
          EXPECT_EQ(unflushed.count(record_path_), 0u) << what << ": a file changes before the record is flushed";
        }
        unflushed.insert(change.path);
      } else if (change.operation == Operation::kFlush) {
        unflushed.erase(change.path);
      } else if (change.operation == Operation::kRemove) {
        ++removals;
        EXPECT_TRUE(record) << what;
        EXPECT_FALSE(store_unflushed()) << what << ": the record goes before the files are flushed";
      }
    }
    EXPECT_EQ(removals, 1) << what;
    EXPECT_GE(record_writes, fewest_writes) << what;
    EXPECT_GE(store_writes, fewest_writes) << what;
  };

  std::vector<Change> log;
  {
    testing::FaultFileSystem faults;
    DatabaseEngine engine(&faults);
    ASSERT_TRUE(engine.OpenDatabase(main_path_));
    faults.SetLog(&log);
    ASSERT_TRUE(engine.SetPassword("alpha"));
  }
  check_order(log, "a change", 6);

  for (const std::string& password : {std::string("alpha"), std::string("beta")}) {
    {
      testing::FaultFileSystem faults;
      DatabaseEngine engine(&faults);
      ASSERT_TRUE(engine.OpenDatabase(main_path_, OpenOptions{"", false, ShareMode::kDenyNone, "alpha"}));
      faults.DieAtNth(Operation::kWrite, 12);
      EXPECT_FALSE(engine.SetPassword("beta"));
    }
    ASSERT_TRUE(RecordFileExists());
    log.clear();
    testing::FaultFileSystem faults;
    faults.SetLog(&log);
    DatabaseEngine engine(&faults);
    ASSERT_TRUE(engine.OpenDatabase(main_path_, OpenOptions{"", false, ShareMode::kDenyNone, password}));
    EXPECT_TRUE(AllRecordsRead(engine));
    check_order(log, "an open settling a record with " + password, 2);
  }  // undone to "alpha", the next round starts from it again
}

// Settling a record is as safe as the change itself: an open that meets an
// I/O error or dies while settling fails, and the next open still settles.
TEST_F(RekeyTest, AnOpenCutShortWhileSettlingIsSettledByTheNextOne) {
  SetRekeyWindowBytes(8192);
  Build(20, 3000);
  KeepEachSide();
  PutSide("alpha");
  {
    testing::FaultFileSystem faults;
    DatabaseEngine engine(&faults);
    ASSERT_TRUE(engine.OpenDatabase(main_path_, OpenOptions{"", false, ShareMode::kDenyNone, "alpha"}));
    faults.DieAtNth(Operation::kWrite, 12);
    EXPECT_FALSE(engine.SetPassword("beta"));
  }
  ASSERT_TRUE(RecordFileExists());
  const Bytes main = ReadBytes(main_path_), memo = ReadBytes(memo_path_), record = ReadBytes(record_path_);
  int cut_short = 0;
  for (const std::string& password : {std::string("alpha"), std::string("beta")}) {
    for (const auto& [kind, kind_name] : kFaultKinds) {
      for (bool die : {false, true}) {
        // A read changes nothing, so dying at one is dying at the next change.
        if (die && kind == Operation::kRead) continue;
        for (int n = 1;; ++n) {
          ASSERT_LT(n, 400);
          const std::string context = password + ", " + (die ? "dead at " : "failing ") + kind_name + " #" +
                                      std::to_string(n);
          WriteBytes(main_path_, main);
          WriteBytes(memo_path_, memo);
          WriteBytes(record_path_, record);
          testing::FaultFileSystem faults;
          bool opened = false;
          {
            DatabaseEngine engine(&faults);
            engine.SetDurableWrites(kind == Operation::kFlush);
            if (die) {
              faults.DieAtNth(kind, n, /*torn=*/n % 2 == 1);
            } else {
              faults.FailNth(kind, n, error::kHardwareFault, /*torn=*/n % 2 == 1);
            }
            opened = engine.OpenDatabase(main_path_, OpenOptions{"", false, ShareMode::kDenyNone, password});
            faults.Disarm();
            if (opened) {
              EXPECT_TRUE(AllRecordsRead(engine)) << context;
            }
          }
          if (!faults.fired()) {
            ASSERT_TRUE(opened) << context;
            break;
          }
          ++cut_short;
          EXPECT_TRUE(OpensAndReadsAll(password)) << context;
          EXPECT_TRUE(FilesAre(password)) << context;
          EXPECT_FALSE(RecordFileExists()) << context;
          if (::testing::Test::HasFailure()) return;
        }
      }
    }
  }
  EXPECT_GT(cut_short, 50);
  std::printf("opens cut short while settling a record: %d, each settled by the next open\n", cut_short);
}

TEST_F(RekeyTest, AWrongPasswordLeavesTheRecordAndTheFilesAlone) {
  SetRekeyWindowBytes(8192);
  Build(40, 3000);
  KeepEachSide();
  PutSide("alpha");
  testing::FaultFileSystem faults;
  {
    DatabaseEngine engine(&faults);
    ASSERT_TRUE(engine.OpenDatabase(main_path_, OpenOptions{"", false, ShareMode::kDenyNone, "alpha"}));
    faults.DieAtNth(Operation::kWrite, 9);
    EXPECT_FALSE(engine.SetPassword("beta"));
    EXPECT_EQ(LastErrorCode(), error::kRekeyFailed);
    EXPECT_EQ(engine.CurrentPath(), "") << "a connection over half-changed files is closed";
  }
  ASSERT_TRUE(RecordFileExists());
  const Bytes main = ReadBytes(main_path_), memo = ReadBytes(memo_path_), record = ReadBytes(record_path_);
  for (const std::string& wrong : {std::string(), std::string("Alpha"), std::string("gamma")}) {
    DatabaseEngine engine;
    EXPECT_FALSE(engine.OpenDatabase(main_path_, OpenOptions{"", false, ShareMode::kDenyNone, wrong}));
    EXPECT_EQ(LastErrorCode(), error::kWrongPassword) << wrong;
  }
  EXPECT_EQ(ReadBytes(main_path_), main);
  EXPECT_EQ(ReadBytes(memo_path_), memo);
  EXPECT_EQ(ReadBytes(record_path_), record);

  // The record holds neither password nor their check texts.
  const std::string text(record.begin(), record.end());
  for (const std::string& secret : {std::string("alpha"), std::string("beta"), CheckText("alpha"), CheckText("beta")}) {
    EXPECT_EQ(text.find(secret), std::string::npos) << secret;
  }

  // The "?" password asks, as for any protected database; the answer decides the side.
  DatabaseEngine engine;
  std::vector<std::optional<std::string>> answers = {"gamma", "beta"};
  std::vector<PasswordPromptRequest> shown;
  engine.SetPasswordPromptHook([&](const PasswordPromptRequest& request) {
    shown.push_back(request);
    std::optional<std::string> answer = answers.front();
    answers.erase(answers.begin());
    return answer;
  });
  ASSERT_TRUE(engine.OpenDatabase(main_path_, OpenOptions{"", false, ShareMode::kDenyNone, "?"}));
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].retry_line, Gbk("密码错误，您还有 2 次重新输入的机会。"));
  EXPECT_TRUE(AllRecordsRead(engine));
  engine.CloseDatabase();
  EXPECT_TRUE(FilesAre("beta"));
  EXPECT_FALSE(RecordFileExists());
}

TEST_F(RekeyTest, ARecordLeftBySomeoneElseStopsAChange) {
  Build(5, 600);
  test_util::WriteBytes(record_path_, Hex("52 4B 45 59 01 00 00 00"));  // a stray, incomplete record
  const Bytes main = ReadBytes(main_path_), memo = ReadBytes(memo_path_);
  {
    DatabaseEngine engine;
    // An incomplete record tells of no touched file: the open removes it.
    ASSERT_TRUE(engine.OpenDatabase(main_path_));
    EXPECT_FALSE(RecordFileExists());
    test_util::WriteBytes(record_path_, Hex("52 4B 45 59"));
    EXPECT_FALSE(engine.SetPassword("alpha"));
    EXPECT_EQ(LastErrorCode(), error::kRekeyFailed);
    EXPECT_TRUE(AllRecordsRead(engine));
  }
  EXPECT_EQ(ReadBytes(main_path_), main);
  EXPECT_EQ(ReadBytes(memo_path_), memo);
}

TEST_F(RekeyTest, CreatingADatabaseInPlaceOfOneWithARecordDropsTheRecord) {
  Build(10, 2000);
  {
    testing::FaultFileSystem faults;
    DatabaseEngine engine(&faults);
    ASSERT_TRUE(engine.OpenDatabase(main_path_));
    faults.DieAtNth(Operation::kWrite, 4);
    EXPECT_FALSE(engine.SetPassword("alpha"));
  }
  ASSERT_TRUE(RecordFileExists());
  DatabaseEngine engine;
  ASSERT_TRUE(engine.CreateDatabase(main_path_, MemoSchema()));
  EXPECT_FALSE(RecordFileExists());
  ASSERT_TRUE(engine.OpenDatabase(main_path_));
  EXPECT_EQ(engine.RecordCount(), 0);
  EXPECT_EQ(ReadBytes(memo_path_).size(), 512u);
}

// SIGKILL at random moments of a re-key running in a child process, with
// durable writes as the memo book uses them.
// path, old password, new password, ready signal: opens, says so, changes the password.
TARNWICK_TEST_HELPER(ChangePassword) {
  DatabaseEngine engine;
  OpenOptions options;
  options.password = arguments[1];
  if (!engine.OpenDatabase(arguments[0], options)) return 2;
  testing::FileSignal(arguments[3]).Send();
  return engine.SetPassword(arguments[2]) ? 0 : 4;
}

TEST_F(RekeyTest, KilledAtRandomMomentsLosesNothing) {
  SetRekeyWindowBytes(128 << 10);  // many windows, so kills meet every kind of step
  Build(700, 3000);
  memos_.shrink_to_fit();
  const std::vector<std::string> passwords = {"", "alpha", "beta"};
  // How long one whole change takes here.
  double full_ms = 0;
  {
    DatabaseEngine engine;
    ASSERT_TRUE(engine.OpenDatabase(main_path_));
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(engine.SetPassword("alpha"));
    full_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    ASSERT_TRUE(engine.SetPassword(""));
  }
  const double file_mb = static_cast<double>(ReadBytes(main_path_).size() + ReadBytes(memo_path_).size()) / 1e6;

  std::mt19937 random(12);
  std::uniform_real_distribution<double> delay_ms(0, full_ms);
  int current = 0;
  int opened_old = 0, opened_new = 0, with_record = 0, record_settled_by_first = 0, finished_before_kill = 0;
  const int kKills = 100;
  for (int kill_number = 0; kill_number < kKills; ++kill_number) {
    const int next = (current + 1) % 3;
    const testing::FileSignal ready(dir_.File("ready-" + std::to_string(kill_number)));
    testing::HelperProcess child("ChangePassword", {main_path_, passwords[current], passwords[next], ready.path()});
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(ready.Wait()) << "the child could not open the database";
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(delay_ms(random)));
    child.Kill();
    const int result = child.Join();
    if (result != testing::HelperProcess::kDidNotReturn) {
      ASSERT_EQ(result, 0) << "kill " << kill_number;
      ++finished_before_kill;
    }
    const bool record = RecordFileExists();
    if (record) ++with_record;
    // Try the old or the new password first, in turn; with a record either must work.
    const int first = kill_number % 2 == 0 ? current : next;
    const int second = first == current ? next : current;
    int opened = -1;
    if (OpensAndReadsAll(passwords[first])) {
      opened = first;
      if (record) ++record_settled_by_first;
    } else {
      ASSERT_TRUE(OpensAndReadsAll(passwords[second])) << "kill " << kill_number;
      opened = second;
    }
    ASSERT_FALSE(RecordFileExists()) << "kill " << kill_number;
    (opened == current ? opened_old : opened_new)++;
    current = opened;
  }
  std::printf(
      "re-key kills: %d over %.1f MB (a whole change %.0f ms): opened with the old password %d, the new %d; "
      "%d left a recovery record (%d settled to the password tried first), %d changes finished before the kill; "
      "records lost 0\n",
      kKills, file_mb, full_ms, opened_old, opened_new, with_record, record_settled_by_first, finished_before_kill);
  EXPECT_GT(record_settled_by_first, 10) << "the kills hardly ever met a change under way";
}

}  // namespace
}  // namespace tarnwick
