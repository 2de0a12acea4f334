// The page cache: while the whole-file lock allows it, results must be exactly
// those of the uncached engine, and once the lock is gone every read must see
// what other connections wrote.
#include <gtest/gtest.h>

#include <random>

#include "engine/cached_file.h"
#include "engine/database.h"
#include "engine/engine_test_util.h"
#include "testing/fault_file_system.h"
#include "testing/temp_dir.h"

namespace tarnwick {
namespace {

using namespace test_util;

class CacheTest : public ::testing::TestWithParam<std::string> {};

TEST_P(CacheTest, CachedAndUncachedEnginesAgreeByteForByte) {
  testing::TempDir dir;
  DatabaseEngine cached, direct;
  cached.SetDurableWrites(false);
  direct.SetDurableWrites(false);
  OpenOptions options;
  options.password = GetParam();
  for (auto* engine : {&cached, &direct}) {
    const std::string path = dir.File(engine == &cached ? "cached.edb" : "direct.edb");
    ASSERT_TRUE(engine->CreateDatabase(path, MemoSchema()));
    if (!GetParam().empty()) {
      ASSERT_TRUE(engine->OpenDatabase(path));
      ASSERT_TRUE(engine->SetPassword(GetParam()));
      engine->CloseDatabase();
    }
    ASSERT_TRUE(engine->OpenDatabase(path, options));
  }
  ASSERT_TRUE(cached.LockDatabase());

  std::mt19937 random(7);
  for (int step = 0; step < 3000; ++step) {
    const int choice = static_cast<int>(random() % 10);
    const int count = direct.RecordCount();
    const int position = count == 0 ? 0 : static_cast<int>(random() % static_cast<unsigned>(count));
    const std::string memo = MemoText(random() % 3 == 0 ? random() % 3000 : random() % 400, step);
    for (auto* engine : {&cached, &direct}) {
      engine->GoFirst();
      engine->Skip(position);
    }
    bool cached_result = true, direct_result = true;
    if (choice < 4 || count == 0) {
      auto append = [&](DatabaseEngine& e) {
        return e.AppendRecord({FieldValue::DateTime(step), FieldValue::Text(memo)});
      };
      cached_result = append(cached);
      direct_result = append(direct);
    } else if (choice < 8) {
      cached_result = cached.WriteField(2, FieldValue::Text(memo));
      direct_result = direct.WriteField(2, FieldValue::Text(memo));
    } else if (choice < 9) {
      cached_result = cached.WriteField(1, FieldValue::DateTime(-step));
      direct_result = direct.WriteField(1, FieldValue::DateTime(-step));
    } else if (step % 7 == 0) {
      cached_result = cached.ClearAllRecords();
      direct_result = direct.ClearAllRecords();
    }
    ASSERT_EQ(cached_result, direct_result) << step;
    ASSERT_EQ(cached.RecordCount(), direct.RecordCount()) << step;
    ASSERT_TRUE(cached.ReadField(2) == direct.ReadField(2)) << step;
    ASSERT_TRUE(cached.ReadField(1) == direct.ReadField(1)) << step;
  }
  ASSERT_EQ(ReadBytes(dir.File("cached.EDT")).size(), ReadBytes(dir.File("direct.EDT")).size());
  // Same bytes apart from the creation time in each file's header.
  auto body = [](const Bytes& bytes) { return Slice(bytes, 16, bytes.size()); };
  EXPECT_TRUE(body(ReadBytes(dir.File("cached.edb"))) == body(ReadBytes(dir.File("direct.edb"))));
  EXPECT_TRUE(body(ReadBytes(dir.File("cached.EDT"))) == body(ReadBytes(dir.File("direct.EDT"))));
  // A full walk agrees too.
  cached.GoFirst();
  direct.GoFirst();
  for (int i = 0; i < direct.RecordCount(); ++i) {
    ASSERT_TRUE(cached.ReadField(2) == direct.ReadField(2)) << i;
    cached.Skip();
    direct.Skip();
  }
}

TEST_P(CacheTest, AfterUnlockingReadsSeeOtherConnections) {
  testing::TempDir dir;
  const std::string path = dir.File("memo.edb");
  DatabaseEngine first, second;
  ASSERT_TRUE(first.CreateDatabase(path, MemoSchema()));
  ASSERT_TRUE(first.OpenDatabase(path));
  ASSERT_TRUE(first.AppendRecord({FieldValue::DateTime(1), FieldValue::Text("first text")}));
  if (!GetParam().empty()) {
    ASSERT_TRUE(first.SetPassword(GetParam()));
  }
  ASSERT_TRUE(first.LockDatabase());
  first.GoFirst();
  EXPECT_EQ(first.ReadField(2).AsText(), "first text");  // now cached
  ASSERT_TRUE(first.UnlockDatabase());

  OpenOptions options;
  options.password = GetParam();
  ASSERT_TRUE(second.OpenDatabase(path, options));
  ASSERT_TRUE(second.WriteField(2, FieldValue::Text("changed by the second")));
  ASSERT_TRUE(second.AppendRecord({FieldValue::DateTime(2), FieldValue::Text("appended")}));
  EXPECT_EQ(first.ReadField(2).AsText(), "changed by the second");
  EXPECT_EQ(first.RecordCount(), 2);
  second.CloseDatabase();
  // Locked again: the cache starts afresh, not from what it held before.
  ASSERT_TRUE(first.LockDatabase());
  ASSERT_TRUE(first.Skip());
  EXPECT_EQ(first.ReadField(2).AsText(), "appended");
}

// The engine reports exactly the pages its caches hold, never more than
// their budgets, and gives them all back when caching stops.
TEST(CacheMemoryTest, CountsThePagesItHolds) {
  testing::TempDir dir;
  const std::string path = dir.File("memo.edb");
  DatabaseEngine engine;
  engine.SetDurableWrites(false);
  EXPECT_EQ(engine.CacheMemoryUse().current_bytes, 0u);
  EXPECT_EQ(engine.CacheMemoryUse().peak_bytes, 0u);
  ASSERT_TRUE(engine.CreateDatabase(path, MemoSchema()));
  ASSERT_TRUE(engine.OpenDatabase(path));
  auto walk = [&engine] {
    engine.GoFirst();
    for (int i = engine.RecordCount(); i > 0; --i, engine.Skip()) engine.ReadField(2);
  };
  // 3000 records of two memo blocks: main file 48260 bytes (2 pages of
  // 32768), memo file 3072512 bytes (94 pages).
  for (int i = 0; i < 3000; ++i) {
    ASSERT_TRUE(engine.AppendRecord({FieldValue::DateTime(i), FieldValue::Text(MemoText(600, i))}));
  }
  walk();
  EXPECT_EQ(engine.CacheMemoryUse().current_bytes, 0u);  // others may write: nothing cached
  ASSERT_TRUE(engine.LockDatabase());
  walk();
  walk();
  EXPECT_EQ(engine.CacheMemoryUse().current_bytes, 96u * 32768);
  EXPECT_EQ(engine.CacheMemoryUse().peak_bytes, 96u * 32768);
  ASSERT_TRUE(engine.UnlockDatabase());
  EXPECT_EQ(engine.CacheMemoryUse().current_bytes, 0u);
  EXPECT_EQ(engine.CacheMemoryUse().peak_bytes, 96u * 32768);
  engine.ResetCacheMemoryPeak();
  EXPECT_EQ(engine.CacheMemoryUse().peak_bytes, 0u);

  // A memo file beyond its 10 MB budget: pages make room for each other.
  for (int i = 0; i < 8000; ++i) {
    ASSERT_TRUE(engine.AppendRecord({FieldValue::DateTime(i), FieldValue::Text(MemoText(1000, i))}));
  }
  ASSERT_TRUE(engine.LockDatabase());
  walk();
  walk();
  // Main file 176260 bytes (6 pages), memo file some 11 MB (its 320-page budget).
  EXPECT_EQ(engine.CacheMemoryUse().current_bytes, (6u + 320) * 32768);
  EXPECT_EQ(engine.CacheMemoryUse().peak_bytes, (6u + 320) * 32768);
  engine.CloseDatabase();
  EXPECT_EQ(engine.CacheMemoryUse().current_bytes, 0u);
}

// A page that made room for another must not be served again when reading
// the other one failed: the next read goes to the file.
TEST(CachedFileTest, AFailedReadAfterEvictionLeavesNoStalePage) {
  testing::TempDir dir;
  const std::string path = dir.File("pages.bin");
  WriteBytes(path, Bytes(3 * CachedFile::kPageSize, 0x11));
  testing::FaultFileSystem file_system;
  std::unique_ptr<File> file;
  ASSERT_EQ(file_system.Open(path, FileOpenMode{FileAccess::kReadWrite, ShareMode::kDenyNone, false}, &file), 0);
  CacheMeter meter;
  CachedFile cached(std::make_unique<CipherFile>(std::move(file), ""), CachedFile::kPageSize, &meter);
  cached.SetCaching(true);
  uint8_t byte = 0;
  size_t got = 0;
  ASSERT_EQ(cached.Read(10, &byte, 1, &got), 0);
  EXPECT_EQ(byte, 0x11);
  file_system.FailNth(testing::FaultFileSystem::Operation::kRead, 1);
  EXPECT_NE(cached.Read(CachedFile::kPageSize + 10, &byte, 1, &got), 0);
  EXPECT_EQ(meter.Reading().current_bytes, 0u);
  const uint8_t changed = 0x22;
  ASSERT_EQ(cached.Write(10, &changed, 1), 0);
  ASSERT_EQ(cached.Read(10, &byte, 1, &got), 0);
  EXPECT_EQ(byte, 0x22);
  EXPECT_EQ(meter.Reading().current_bytes, CachedFile::kPageSize);
}

INSTANTIATE_TEST_SUITE_P(PlainAndProtected, CacheTest, ::testing::Values(std::string(), std::string("key")),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           return info.param.empty() ? std::string("Plain") : std::string("Protected");
                         });

}  // namespace
}  // namespace tarnwick
