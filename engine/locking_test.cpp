// Sharing between connections: byte-range locks and share modes work per open
// file, between processes (forked helpers) and between two opens in one process.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <set>

#include "engine/database.h"
#include "engine/engine_test_util.h"
#include "testing/temp_dir.h"

namespace tarnwick {
namespace {

using namespace test_util;

// A one-way signal between a forked helper and the test.
class Signal {
 public:
  Signal() { EXPECT_EQ(pipe(fds_), 0); }
  ~Signal() {
    close(fds_[0]);
    close(fds_[1]);
  }
  void Send() { EXPECT_EQ(write(fds_[1], "x", 1), 1); }
  bool Wait() {
    char c;
    return read(fds_[0], &c, 1) == 1;
  }

 private:
  int fds_[2] = {-1, -1};
};

// Runs body in a child process; the child's exit code is 0 when body returned true.
pid_t Fork(const std::function<bool()>& body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body() ? 0 : 1);
  return pid;
}

int Join(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

int32_t GetId(const Bytes& main, int index) {
  const size_t at = 260 + static_cast<size_t>(index) * 16;
  return static_cast<int32_t>(main[at] | main[at + 1] << 8 | main[at + 2] << 16 | main[at + 3] << 24);
}

OpenOptions Share(ShareMode share, bool read_only = false) {
  OpenOptions options;
  options.share = share;
  options.read_only = read_only;
  return options;
}

class LockingTest : public ::testing::Test {
 protected:
  LockingTest() : path_(dir_.File("memo.edb")) {
    DatabaseEngine engine;
    EXPECT_TRUE(engine.CreateDatabase(path_, MemoSchema()));
  }
  testing::TempDir dir_;
  std::string path_;
};

TEST_F(LockingTest, AnotherProcessHoldingTheWholeFileKeepsOpensOut) {
  Signal locked, finish;
  pid_t helper = Fork([&] {
    DatabaseEngine engine;
    if (!engine.OpenDatabase(path_) || !engine.LockDatabase()) return false;
    locked.Send();
    finish.Wait();
    return true;
  });
  ASSERT_TRUE(locked.Wait());
  DatabaseEngine engine;
  EXPECT_FALSE(engine.OpenDatabase(path_));
  EXPECT_EQ(LastErrorCode(), error::kLockFailed);
  finish.Send();
  EXPECT_EQ(Join(helper), 0);
  EXPECT_TRUE(engine.OpenDatabase(path_));
}

TEST_F(LockingTest, LocksVanishWhenTheHolderDies) {
  Signal locked;
  pid_t helper = Fork([&] {
    DatabaseEngine engine;
    if (!engine.OpenDatabase(path_) || !engine.LockDatabase()) return false;
    locked.Send();
    pause();  // killed below, never closing anything
    return true;
  });
  ASSERT_TRUE(locked.Wait());
  DatabaseEngine engine;
  EXPECT_FALSE(engine.OpenDatabase(path_));
  kill(helper, SIGKILL);
  Join(helper);
  EXPECT_TRUE(engine.OpenDatabase(path_)) << LastErrorCode();
}

TEST_F(LockingTest, TheLockWaitTimeRetriesUntilTheLockIsFree) {
  Signal locked;
  pid_t helper = Fork([&] {
    DatabaseEngine engine;
    if (!engine.OpenDatabase(path_) || !engine.LockDatabase()) return false;
    locked.Send();
    usleep(300 * 1000);
    return true;  // exiting closes the database
  });
  ASSERT_TRUE(locked.Wait());
  DatabaseEngine engine;
  engine.SetLockWaitTime(5000);
  auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(engine.OpenDatabase(path_)) << LastErrorCode();
  auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(150));
  EXPECT_LT(waited, std::chrono::milliseconds(4000));
  EXPECT_EQ(Join(helper), 0);
}

TEST_F(LockingTest, TwoProcessesAppendingTogetherLoseNothing) {
  constexpr int kPerProcess = 1000;
  auto writer = [&](int process) {
    return [&, process] {
      DatabaseEngine engine;
      engine.SetLockWaitTime(-1);
      if (!engine.OpenDatabase(path_)) return false;
      for (int i = 0; i < kPerProcess; ++i) {
        std::string memo = "p" + std::to_string(process) + "-" + std::to_string(i) + ":" + MemoText(600, i);
        if (!engine.AppendRecord({FieldValue::DateTime(process * 10000 + i), FieldValue::Text(memo)})) return false;
      }
      return true;
    };
  };
  pid_t first = Fork(writer(1));
  pid_t second = Fork(writer(2));
  EXPECT_EQ(Join(first), 0);
  EXPECT_EQ(Join(second), 0);

  DatabaseEngine engine;
  ASSERT_TRUE(engine.OpenDatabase(path_));
  ASSERT_EQ(engine.RecordCount(), 2 * kPerProcess);
  const Bytes main = ReadBytes(path_);
  std::set<int32_t> ids;
  std::set<double> dates;
  engine.GoFirst();
  for (int i = 0; i < 2 * kPerProcess; ++i) {
    ids.insert(GetId(main, i));
    const double date = engine.ReadField(1).AsDateTime();
    const int process = static_cast<int>(date) / 10000;
    const int index = static_cast<int>(date) % 10000;
    dates.insert(date);
    EXPECT_EQ(engine.ReadField(2).AsText(),
              "p" + std::to_string(process) + "-" + std::to_string(index) + ":" + MemoText(600, index));
    engine.Skip();
  }
  EXPECT_EQ(ids.size(), 2u * kPerProcess);
  EXPECT_EQ(*ids.begin(), 1);
  EXPECT_EQ(*ids.rbegin(), 2 * kPerProcess);
  EXPECT_EQ(dates.size(), 2u * kPerProcess);
}

TEST_F(LockingTest, ShareModesBetweenOpensOfOneProcess) {
  struct Case {
    OpenOptions first;
    OpenOptions second;
    bool second_opens;
  };
  const std::vector<Case> cases = {
      {Share(ShareMode::kDenyNone), Share(ShareMode::kDenyNone), true},
      {Share(ShareMode::kDenyNone), Share(ShareMode::kExclusive), false},
      {Share(ShareMode::kDenyNone), Share(ShareMode::kDenyRead), false},
      {Share(ShareMode::kDenyNone), Share(ShareMode::kDenyWrite, true), false},
      {Share(ShareMode::kDenyWrite, true), Share(ShareMode::kDenyNone, true), true},
      {Share(ShareMode::kDenyWrite, true), Share(ShareMode::kDenyWrite, true), true},
      {Share(ShareMode::kDenyWrite, true), Share(ShareMode::kDenyNone), false},
      {Share(ShareMode::kExclusive), Share(ShareMode::kDenyNone, true), false},
      {Share(ShareMode::kDenyRead), Share(ShareMode::kDenyNone, true), false},
  };
  for (size_t i = 0; i < cases.size(); ++i) {
    DatabaseEngine first, second;
    ASSERT_TRUE(first.OpenDatabase(path_, cases[i].first)) << i;
    EXPECT_EQ(second.OpenDatabase(path_, cases[i].second), cases[i].second_opens) << i;
    if (!cases[i].second_opens) {
      EXPECT_EQ(LastErrorCode(), error::kSharingViolation) << i;
    }
  }
  // Once the first is closed, the exclusive open succeeds.
  DatabaseEngine engine;
  EXPECT_TRUE(engine.OpenDatabase(path_, Share(ShareMode::kExclusive)));
  // Testing for protection opens exclusively, so an open database reads as unprotected.
  DatabaseEngine other;
  EXPECT_FALSE(other.IsPasswordProtected(path_));
}

TEST_F(LockingTest, ShareModesBetweenProcesses) {
  Signal opened, finish;
  pid_t helper = Fork([&] {
    DatabaseEngine engine;
    if (!engine.OpenDatabase(path_, Share(ShareMode::kExclusive))) return false;
    opened.Send();
    finish.Wait();
    return true;
  });
  ASSERT_TRUE(opened.Wait());
  DatabaseEngine engine;
  EXPECT_FALSE(engine.OpenDatabase(path_, Share(ShareMode::kDenyNone, true)));
  EXPECT_EQ(LastErrorCode(), error::kSharingViolation);
  finish.Send();
  EXPECT_EQ(Join(helper), 0);
}

TEST_F(LockingTest, TwoOpensInOneProcessLockEachOtherOut) {
  DatabaseEngine first, second;
  ASSERT_TRUE(first.OpenDatabase(path_));
  ASSERT_TRUE(second.OpenDatabase(path_));
  ASSERT_TRUE(first.AppendRecord({FieldValue::DateTime(1), FieldValue::Text("one")}));
  ASSERT_TRUE(second.AppendRecord({FieldValue::DateTime(2), FieldValue::Text("two")}));
  // During a search the record count is locked: the other open cannot append.
  first.GoFirst();
  bool appended = true;
  int code = 0;
  EXPECT_FALSE(first.SearchForward([&] {
    appended = second.AppendRecord({FieldValue::DateTime(3), FieldValue::Text("three")});
    code = LastErrorCode();
    return false;
  }));
  EXPECT_FALSE(appended);
  EXPECT_EQ(code, error::kLockFailed);
  // The whole-file lock keeps the other open from reading or writing.
  ASSERT_TRUE(first.LockDatabase());
  second.GoFirst();
  EXPECT_TRUE(second.ReadField(2).AsText().empty());
  EXPECT_EQ(LastErrorCode(), error::kLockFailed);
  EXPECT_EQ(second.RecordCount(), 0);  // after waiting its 2000 ms
  EXPECT_EQ(LastErrorCode(), error::kRecordCountFailed);
  ASSERT_TRUE(first.UnlockDatabase());
  EXPECT_EQ(second.ReadField(2).AsText(), "one");
  EXPECT_EQ(second.RecordCount(), 2);
  EXPECT_FALSE(first.UnlockDatabase());
  EXPECT_EQ(LastErrorCode(), error::kUnlockFailed);
}

}  // namespace
}  // namespace tarnwick
