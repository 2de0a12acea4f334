// Sharing between connections: byte-range locks and share modes work per open
// file, between processes (helper processes) and between two opens in one process.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine/database.h"
#include "engine/engine_test_util.h"
#include "testing/helper_process.h"
#include "testing/temp_dir.h"

namespace tarnwick {
namespace {

using namespace test_util;
using testing::FileSignal;
using testing::HelperProcess;

OpenOptions Share(ShareMode share, bool read_only = false) {
  OpenOptions options;
  options.share = share;
  options.read_only = read_only;
  return options;
}

// Helpers of the tests below, each run in a second process.

// path, locked signal, finish signal: holds the whole file until told to finish.
TARNWICK_TEST_HELPER(HoldWholeFile) {
  DatabaseEngine engine;
  if (!engine.OpenDatabase(arguments[0]) || !engine.LockDatabase()) return 1;
  FileSignal(arguments[1]).Send();
  return FileSignal(arguments[2]).Wait(120000) ? 0 : 2;
}

// path, locked signal, milliseconds: holds the whole file that long, then
// ends without closing the database.
TARNWICK_TEST_HELPER(HoldWholeFileAWhile) {
  DatabaseEngine engine;
  if (!engine.OpenDatabase(arguments[0]) || !engine.LockDatabase()) return 1;
  FileSignal(arguments[1]).Send();
  std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(arguments[2])));
  return 0;
}

// path, opened signal, finish signal: keeps the database open exclusively.
TARNWICK_TEST_HELPER(OpenExclusively) {
  DatabaseEngine engine;
  if (!engine.OpenDatabase(arguments[0], Share(ShareMode::kExclusive))) return 1;
  FileSignal(arguments[1]).Send();
  return FileSignal(arguments[2]).Wait(120000) ? 0 : 2;
}

class LockingTest : public ::testing::Test {
 protected:
  LockingTest() : path_(dir_.File("memo.edb")) {
    DatabaseEngine engine;
    EXPECT_TRUE(engine.CreateDatabase(path_, MemoSchema()));
  }
  FileSignal Signal(const std::string& name) const { return FileSignal(dir_.File(name)); }
  testing::TempDir dir_;
  std::string path_;
};

TEST_F(LockingTest, AnotherProcessHoldingTheWholeFileKeepsOpensOut) {
  FileSignal locked = Signal("locked"), finish = Signal("finish");
  HelperProcess helper("HoldWholeFile", {path_, locked.path(), finish.path()});
  ASSERT_TRUE(helper.started());
  ASSERT_TRUE(locked.Wait());
  DatabaseEngine engine;
  EXPECT_FALSE(engine.OpenDatabase(path_));
  EXPECT_EQ(LastErrorCode(), error::kLockFailed);
  finish.Send();
  EXPECT_EQ(helper.Join(), 0);
  EXPECT_TRUE(engine.OpenDatabase(path_));
}

TEST_F(LockingTest, LocksVanishWhenTheHolderDies) {
  FileSignal locked = Signal("locked"), never = Signal("never");
  HelperProcess helper("HoldWholeFile", {path_, locked.path(), never.path()});
  ASSERT_TRUE(helper.started());
  ASSERT_TRUE(locked.Wait());
  DatabaseEngine engine;
  EXPECT_FALSE(engine.OpenDatabase(path_));
  helper.Kill();  // never closing anything
  EXPECT_EQ(helper.Join(), HelperProcess::kDidNotReturn);
  EXPECT_TRUE(engine.OpenDatabase(path_)) << LastErrorCode();
}

TEST_F(LockingTest, TheLockWaitTimeRetriesUntilTheLockIsFree) {
  FileSignal locked = Signal("locked");
  HelperProcess helper("HoldWholeFileAWhile", {path_, locked.path(), "300"});
  ASSERT_TRUE(helper.started());
  ASSERT_TRUE(locked.Wait());
  DatabaseEngine engine;
  engine.SetLockWaitTime(5000);
  auto start = std::chrono::steady_clock::now();
  // The helper held the lock when this open began: it can only succeed by waiting.
  EXPECT_TRUE(engine.OpenDatabase(path_)) << LastErrorCode();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4000)) << "waited past the release";
  EXPECT_EQ(helper.Join(), 0);
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
  FileSignal opened = Signal("opened"), finish = Signal("finish");
  HelperProcess helper("OpenExclusively", {path_, opened.path(), finish.path()});
  ASSERT_TRUE(helper.started());
  ASSERT_TRUE(opened.Wait());
  DatabaseEngine engine;
  EXPECT_FALSE(engine.OpenDatabase(path_, Share(ShareMode::kDenyNone, true)));
  EXPECT_EQ(LastErrorCode(), error::kSharingViolation);
  finish.Send();
  EXPECT_EQ(helper.Join(), 0);
}

TEST_F(LockingTest, TwoOpensInOneProcessLockEachOtherOut) {
  DatabaseEngine first, second;
  ASSERT_TRUE(first.OpenDatabase(path_));
  ASSERT_TRUE(second.OpenDatabase(path_));
  second.SetLockWaitTime(0);  // a conflict fails at once
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
  EXPECT_EQ(second.RecordCount(), 0);
  EXPECT_EQ(LastErrorCode(), error::kRecordCountFailed);
  ASSERT_TRUE(first.UnlockDatabase());
  EXPECT_EQ(second.ReadField(2).AsText(), "one");
  EXPECT_EQ(second.RecordCount(), 2);
  EXPECT_FALSE(first.UnlockDatabase());
  EXPECT_EQ(LastErrorCode(), error::kUnlockFailed);
}

}  // namespace
}  // namespace tarnwick
