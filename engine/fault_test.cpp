// Failures injected into the file layer: each changing operation is run with
// its n-th read, write, lock, flush or truncate failing, for every n it
// reaches. The operation must report the failure, and afterwards the database
// must open and every record that was not being written read as before.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "engine/database.h"
#include "engine/engine_test_util.h"
#include "testing/fault_file_system.h"
#include "testing/temp_dir.h"

namespace tarnwick {
namespace {

using namespace test_util;
using Operation = testing::FaultFileSystem::Operation;

struct Record {
  double date;
  std::string memo;
};

class FaultTest : public ::testing::TestWithParam<std::string> {
 protected:
  FaultTest() : main_path_(dir_.File("memo.edb")), memo_path_(dir_.File("memo.EDT")) {}

  const std::string& password() const { return GetParam(); }

  // Six records whose memos use 0 to 6 blocks, with a free list in the middle
  // of the memo file; both files are kept as the starting point of each run.
  void SetUp() override {
    DatabaseEngine engine;
    engine.SetDurableWrites(false);
    ASSERT_TRUE(engine.CreateDatabase(main_path_, MemoSchema()));
    ASSERT_TRUE(engine.OpenDatabase(main_path_));
    const std::vector<size_t> lengths = {0, 1200, 300, 2600, 10, 700};
    for (size_t i = 0; i < lengths.size(); ++i) {
      records_.push_back({40000.0 + static_cast<double>(i), MemoText(lengths[i], static_cast<int>(i))});
      ASSERT_TRUE(engine.AppendRecord({FieldValue::DateTime(records_[i].date), FieldValue::Text(records_[i].memo)}));
    }
    engine.GoFirst();
    ASSERT_TRUE(engine.Skip(3));
    records_[3].memo = MemoText(100, 33);
    ASSERT_TRUE(engine.WriteField(2, FieldValue::Text(records_[3].memo)));  // frees five blocks
    if (!password().empty()) {
      ASSERT_TRUE(engine.SetPassword(password()));
    }
    engine.CloseDatabase();
    main_start_ = ReadBytes(main_path_);
    memo_start_ = ReadBytes(memo_path_);
  }

  void Restore() {
    WriteBytes(main_path_, main_start_);
    WriteBytes(memo_path_, memo_start_);
  }

  // Opens with a clean file layer and checks the records. `changing` is the
  // record the operation was writing (-1: none): it holds either what
  // expected says or, whole, changed_to; never a mixture of the two.
  void Verify(const std::string& password, const std::vector<Record>& expected, int changing,
              const Record& changed_to, const std::string& context) {
    DatabaseEngine engine;
    OpenOptions options;
    options.password = password;
    ASSERT_TRUE(engine.OpenDatabase(main_path_, options)) << context << " code " << LastErrorCode();
    ASSERT_EQ(engine.RecordCount(), static_cast<int>(expected.size())) << context;
    auto check_all = [&](const std::string& when, const std::vector<Record>& wanted, const Record& alternative) {
      engine.GoFirst();
      for (size_t i = 0; i < wanted.size(); ++i) {
        const double date = engine.ReadField(1).AsDateTime();
        const std::string memo = engine.ReadField(2).AsText();
        engine.Skip();
        if (static_cast<int>(i) == changing && date == alternative.date && memo == alternative.memo) continue;
        EXPECT_EQ(date, wanted[i].date) << context << when << " record " << i;
        EXPECT_TRUE(memo == wanted[i].memo)
            << context << when << " record " << i << ": " << memo.size() << " bytes, code " << LastErrorCode();
      }
    };
    check_all("", expected, changed_to);
    // The free list and counts must still be sound: more writes lose nothing.
    ASSERT_TRUE(engine.AppendRecord({FieldValue::DateTime(1), FieldValue::Text(MemoText(1800, 77))})) << context;
    std::vector<Record> rewritten = expected;
    if (changing >= 0) {
      engine.GoFirst();
      engine.Skip(changing);
      ASSERT_TRUE(engine.WriteField(2, FieldValue::Text(MemoText(900, 78)))) << context << " code " << LastErrorCode();
      rewritten[changing].memo = MemoText(900, 78);
    }
    check_all(" (after more writes)", rewritten, {changed_to.date, MemoText(900, 78)});
    engine.GoFirst();
    engine.Skip(static_cast<int>(expected.size()));
    EXPECT_TRUE(engine.ReadField(2).AsText() == MemoText(1800, 77)) << context << ": the added record";
  }
  void Verify(const std::string& password, const std::vector<Record>& expected, const std::string& context) {
    Verify(password, expected, -1, {}, context);
  }

  // Runs operation (after prepare, which positions) with the n-th operation of each kind failing, n = 1, 2, ...
  // until it no longer reaches the n-th.
  void RunWithFaults(const std::string& name, const std::function<void(DatabaseEngine&)>& prepare,
                     const std::function<bool(DatabaseEngine&)>& operation,
                     const std::function<void(bool succeeded, const std::string& context)>& verify) {
    const std::vector<std::pair<Operation, const char*>> kinds = {{Operation::kRead, "read"},
                                                                  {Operation::kWrite, "write"},
                                                                  {Operation::kLock, "lock"},
                                                                  {Operation::kFlush, "flush"},
                                                                  {Operation::kTruncate, "truncate"}};
    int failures_injected = 0;
    for (const auto& [kind, kind_name] : kinds) {
      for (int n = 1; n < 200; ++n) {
        Restore();
        testing::FaultFileSystem faults;
        bool succeeded;
        {
          DatabaseEngine engine(&faults);
          OpenOptions options;
          options.password = password();
          ASSERT_TRUE(engine.OpenDatabase(main_path_, options));
          prepare(engine);
          faults.FailNth(kind, n, error::kHardwareFault, /*torn=*/n % 2 == 1);
          succeeded = operation(engine);
          const int code = LastErrorCode();
          faults.Disarm();
          const std::string context = name + ", " + kind_name + " #" + std::to_string(n);
          if (faults.fired()) {
            ++failures_injected;
            EXPECT_FALSE(succeeded) << context << ": a failure reported as success";
            EXPECT_NE(code, 0) << context;
          } else {
            EXPECT_TRUE(succeeded) << context << " code " << code;
          }
          engine.CloseDatabase();
          verify(succeeded, context);
          if (!faults.fired()) break;
        }
        if (::testing::Test::HasFatalFailure()) return;
      }
    }
    EXPECT_GE(failures_injected, 3) << name;
  }

  testing::TempDir dir_;
  std::string main_path_;
  std::string memo_path_;
  std::vector<Record> records_;
  Bytes main_start_;
  Bytes memo_start_;
};

TEST_P(FaultTest, Append) {
  const Record added{50000, MemoText(1800, 9)};  // four blocks from the free list
  RunWithFaults(
      "append", [](DatabaseEngine&) {},
      [&](DatabaseEngine& engine) {
        return engine.AppendRecord({FieldValue::DateTime(added.date), FieldValue::Text(added.memo)});
      },
      [&](bool succeeded, const std::string& context) {
        std::vector<Record> expected = records_;
        if (succeeded) expected.push_back(added);
        Verify(password(), expected, context);
      });
}

TEST_P(FaultTest, FieldWrite) {
  RunWithFaults(
      "field write", [](DatabaseEngine& engine) { engine.Skip(2); },
      [&](DatabaseEngine& engine) {
        return engine.WriteField(1, FieldValue::DateTime(12345));
      },
      [&](bool, const std::string& context) {
        Verify(password(), records_, 2, {12345, records_[2].memo}, context);
      });
}

TEST_P(FaultTest, MemoWriteThatGrows) {
  // Record 1 goes from 3 blocks to 10: its own, the five free ones, two new.
  RunWithFaults(
      "memo write (grow)", [](DatabaseEngine& engine) { engine.Skip(1); },
      [&](DatabaseEngine& engine) {
        return engine.WriteField(2, FieldValue::Text(MemoText(5000, 11)));
      },
      [&](bool, const std::string& context) {
        Verify(password(), records_, 1, {records_[1].date, MemoText(5000, 11)}, context);
      });
}

TEST_P(FaultTest, MemoWriteThatShrinksTheFile) {
  // Record 5 holds the last two blocks; shortening it frees and trims them.
  RunWithFaults(
      "memo write (shrink)", [](DatabaseEngine& engine) { engine.Skip(5); },
      [&](DatabaseEngine& engine) {
        return engine.WriteField(2, FieldValue::Text("x"));
      },
      [&](bool, const std::string& context) {
        Verify(password(), records_, 5, {records_[5].date, "x"}, context);
      });
}

TEST_P(FaultTest, ClearAll) {
  RunWithFaults(
      "clear all", [](DatabaseEngine&) {}, [&](DatabaseEngine& engine) { return engine.ClearAllRecords(); },
      [&](bool succeeded, const std::string& context) {
        DatabaseEngine engine;
        OpenOptions options;
        options.password = password();
        ASSERT_TRUE(engine.OpenDatabase(main_path_, options)) << context;
        const int count = engine.RecordCount();
        engine.CloseDatabase();
        // Either nothing was cleared, or everything was.
        if (succeeded || count == 0) {
          Verify(password(), {}, context);
        } else {
          Verify(password(), records_, context);
        }
      });
}

// A memo rewrite cut short at any write, as a kill leaves it: the record
// reads its old text or its new one, never a mixture, and no block of it is
// handed to another value afterwards.
TEST_P(FaultTest, MemoRewriteKilledAtAnyWriteLeavesTheOldTextOrTheNew) {
  struct Case {
    const char* name;
    std::string text;
  };
  // Record 1 holds 1200 bytes in three blocks; the free list holds five.
  const std::vector<Case> cases = {{"as many blocks", MemoText(1300, 21)}, {"fewer blocks", MemoText(800, 22)},
                                   {"more blocks", MemoText(2400, 23)},    {"one block", MemoText(30, 24)},
                                   {"empty", ""}};
  for (const Case& rewrite : cases) {
    int kills = 0;
    for (int n = 1; n < 100; ++n) {
      Restore();
      testing::FaultFileSystem faults;
      OpenOptions options;
      options.password = password();
      {
        DatabaseEngine engine(&faults);
        ASSERT_TRUE(engine.OpenDatabase(main_path_, options));
        engine.Skip(1);
        faults.DieAtNth(Operation::kWrite, n);
        engine.WriteField(2, FieldValue::Text(rewrite.text));
        if (!faults.dead()) break;
        ++kills;
      }  // the engine goes with the files as the kill left them
      const std::string context = std::string(rewrite.name) + ", killed at write #" + std::to_string(n);
      DatabaseEngine engine;
      ASSERT_TRUE(engine.OpenDatabase(main_path_, options)) << context;
      auto read = [&](int record) {
        engine.GoFirst();
        engine.Skip(record);
        return engine.ReadField(2).AsText();
      };
      const std::string found = read(1);
      EXPECT_TRUE(found == records_[1].memo || found == rewrite.text)
          << context << ": " << found.size() << " bytes, neither text";
      for (int other : {0, 2, 3, 4, 5}) EXPECT_TRUE(read(other) == records_[other].memo) << context << " record " << other;
      // Blocks the cut-short write left behind must not belong to the
      // record and the free list at once: new values would overwrite it.
      ASSERT_TRUE(engine.AppendRecord({FieldValue::DateTime(1), FieldValue::Text(MemoText(2600, 77))})) << context;
      engine.GoFirst();
      engine.Skip(3);
      ASSERT_TRUE(engine.WriteField(2, FieldValue::Text(MemoText(1900, 78)))) << context;
      EXPECT_TRUE(read(1) == found) << context << ": the record changed under later writes";
      EXPECT_TRUE(read(6) == MemoText(2600, 77)) << context;
    }
    EXPECT_GE(kills, 3) << rewrite.name;
  }
}

INSTANTIATE_TEST_SUITE_P(PlainAndProtected, FaultTest, ::testing::Values(std::string(), std::string("pw")),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return info.param.empty() ? std::string("Plain") : std::string("Protected");
                         });

// Durability: changes reach stable storage before success is reported, unless
// turned off for bulk work. Each test starts with a new store, open.
class Durability : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(engine.CreateDatabase(dir.File("d.edb"), MemoSchema()));
    ASSERT_TRUE(engine.OpenDatabase(dir.File("d")));
  }

  testing::TempDir dir;
  testing::FaultFileSystem faults;
  DatabaseEngine engine{&faults};
};

TEST_F(Durability, ChangingOperationsFlushUnlessTurnedOff) {
  faults.ResetCounts();
  ASSERT_TRUE(engine.AppendRecord({FieldValue::DateTime(1), FieldValue::Text("a")}));
  EXPECT_GE(faults.count(Operation::kFlush), 2);  // the record before its count, then the count
  faults.ResetCounts();
  ASSERT_TRUE(engine.WriteField(2, FieldValue::Text("b")));
  EXPECT_GE(faults.count(Operation::kFlush), 1);
  faults.ResetCounts();
  engine.ReadField(2);
  engine.RecordCount();
  EXPECT_EQ(faults.count(Operation::kFlush), 0);
  engine.SetDurableWrites(false);
  faults.ResetCounts();
  ASSERT_TRUE(engine.AppendRecord({FieldValue::DateTime(2), FieldValue::Text("c")}));
  ASSERT_TRUE(engine.ClearAllRecords());
  EXPECT_EQ(faults.count(Operation::kFlush), 0);
}

// An open flushes the repairs it wrote, and nothing when it wrote none: a
// flush of a file at rest would only wait on the disk.
TEST_F(Durability, OpeningFlushesOnlyWhatItRepaired) {
  ASSERT_TRUE(engine.AppendRecord({FieldValue::DateTime(1), FieldValue::Text("a")}));
  engine.CloseDatabase();
  faults.ResetCounts();
  ASSERT_TRUE(engine.OpenDatabase(dir.File("d")));
  EXPECT_EQ(faults.count(Operation::kFlush), 0);
  engine.CloseDatabase();
  // Half a record after the last one, as an interrupted append leaves it:
  // the open cuts it off and makes the cut durable.
  std::filesystem::resize_file(dir.File("d.edb"), std::filesystem::file_size(dir.File("d.edb")) + 3);
  faults.ResetCounts();
  ASSERT_TRUE(engine.OpenDatabase(dir.File("d")));
  EXPECT_EQ(faults.count(Operation::kTruncate), 1);
  EXPECT_GE(faults.count(Operation::kFlush), 1);
  EXPECT_EQ(engine.RecordCount(), 1);
}

}  // namespace
}  // namespace tarnwick
