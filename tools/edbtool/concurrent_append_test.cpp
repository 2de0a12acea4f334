// Two processes appending to one database through the engine at the same
// time: afterwards the files pass the structure check that `edbtool check`
// runs, and every append is there exactly once, with its own id and its memo
// intact.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "engine/database.h"
#include "engine/engine_test_util.h"
#include "engine/file_system.h"
#include "testing/helper_process.h"
#include "testing/temp_dir.h"
#include "tools/edbtool/engine_files.h"
#include "tools/edbtool/structure_check.h"

namespace tarnwick::edbtool {
namespace {

constexpr int kPerProcess = 200;

// Lengths from empty to three blocks, so chains of every size interleave.
std::string Memo(int process, int index) {
  const size_t length = static_cast<size_t>((index * 37 + process * 11) % 1400);
  return "p" + std::to_string(process) + "#" + std::to_string(index) + "|" + test_util::MemoText(length, index);
}

// path, process number, count, start signal: waits for the start, then appends.
TARNWICK_TEST_HELPER(AppendFromProcess) {
  const int process = std::stoi(arguments[1]);
  const int count = std::stoi(arguments[2]);
  DatabaseEngine engine;
  engine.SetLockWaitTime(-1);
  if (!engine.OpenDatabase(arguments[0])) return 1;
  if (!testing::FileSignal(arguments[3]).Wait()) return 2;
  for (int i = 0; i < count; ++i) {
    if (!engine.AppendRecord({FieldValue::DateTime(process * 100000 + i), FieldValue::Text(Memo(process, i))})) {
      return 3;
    }
    // A waiting writer retries every 20 to 39 ms; a pause now and then lets
    // it in, so the two really take turns.
    if (i % 2 == 1) std::this_thread::sleep_for(std::chrono::milliseconds(30));
  }
  return 0;
}

TEST(ConcurrentAppendTest, TwoProcessesLeaveSoundFilesWithEveryAppend) {
  testing::TempDir dir;
  const std::string path = dir.File("memo.edb");
  {
    DatabaseEngine engine;
    ASSERT_TRUE(engine.CreateDatabase(path, test_util::MemoSchema()));
  }
  const testing::FileSignal start(dir.File("start"));
  testing::HelperProcess first("AppendFromProcess", {path, "1", std::to_string(kPerProcess), start.path()});
  testing::HelperProcess second("AppendFromProcess", {path, "2", std::to_string(kPerProcess), start.path()});
  ASSERT_TRUE(first.started() && second.started());
  start.Send();
  EXPECT_EQ(first.Join(), 0);
  EXPECT_EQ(second.Join(), 0);

  std::unique_ptr<EngineFileBytes> main, memo;
  ASSERT_EQ(EngineFileBytes::Open(*DefaultFileSystem(), path, "", &main), 0);
  ASSERT_EQ(EngineFileBytes::Open(*DefaultFileSystem(), dir.File("memo.EDT"), "", &memo), 0);
  const CheckReport report = CheckDatabase(*main, memo.get(), {});
  for (const std::string& finding : report.findings) ADD_FAILURE() << finding;
  EXPECT_TRUE(report.sound());
  EXPECT_EQ(report.records, 2 * kPerProcess);
  EXPECT_EQ(report.free_blocks, 0);

  // Each append once, in each process's own order, with its memo.
  DatabaseEngine engine;
  ASSERT_TRUE(engine.OpenDatabase(path));
  ASSERT_EQ(engine.RecordCount(), 2 * kPerProcess);
  std::map<int, int> next_index = {{1, 0}, {2, 0}};
  std::set<int32_t> ids;
  int turns = 0;  // how often the writer changed from one record to the next
  int previous_process = 0;
  engine.GoFirst();
  for (int i = 0; i < 2 * kPerProcess; ++i) {
    const int date = static_cast<int>(engine.ReadField(1).AsDateTime());
    const int process = date / 100000;
    const int index = date % 100000;
    if (previous_process != 0 && process != previous_process) ++turns;
    previous_process = process;
    ASSERT_TRUE(process == 1 || process == 2) << "record " << i;
    EXPECT_EQ(index, next_index[process]++) << "record " << i;
    EXPECT_EQ(engine.ReadField(2).AsText(), Memo(process, index)) << "record " << i;
    ids.insert(engine.RecordId());
    engine.Skip();
  }
  // Ids handed out once each, in one sequence shared by both writers.
  EXPECT_EQ(ids.size(), 2u * kPerProcess);
  EXPECT_EQ(*ids.begin(), 1);
  EXPECT_EQ(*ids.rbegin(), 2 * kPerProcess);
  EXPECT_EQ(next_index[1], kPerProcess);
  EXPECT_EQ(next_index[2], kPerProcess);
  std::printf("%d appends, the writer changed %d times\n", 2 * kPerProcess, turns);
  EXPECT_GT(turns, 2) << "the two processes did not take turns";
}

}  // namespace
}  // namespace tarnwick::edbtool
