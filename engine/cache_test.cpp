// The page cache: while the whole-file lock allows it, results must be exactly
// those of the uncached engine, and once the lock is gone every read must see
// what other connections wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
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

// A raised memo cache limit keeps a memo file larger than the default whole,
// so walking it again reads nothing from the file; lowering the limit lets the
// surplus pages go at once, and the limit stays within its bounds.
TEST(CacheMemoryTest, ARaisedMemoLimitHoldsTheWholeFile) {
  testing::TempDir dir;
  const std::string path = dir.File("memo.edb");
  testing::FaultFileSystem file_system;
  DatabaseEngine engine(&file_system);
  engine.SetDurableWrites(false);
  EXPECT_EQ(engine.MemoCacheLimit(), DatabaseEngine::kDefaultMemoCacheLimit);
  ASSERT_TRUE(engine.CreateDatabase(path, MemoSchema()));
  ASSERT_TRUE(engine.OpenDatabase(path));
  // 8000 records of three memo blocks: a memo file of some 12 MB.
  for (int i = 0; i < 8000; ++i) {
    ASSERT_TRUE(engine.AppendRecord({FieldValue::DateTime(i), FieldValue::Text(MemoText(1200, i))}));
  }
  auto walk = [&engine] {
    size_t bytes = 0;
    engine.GoFirst();
    for (int i = engine.RecordCount(); i > 0; --i, engine.Skip()) bytes += engine.ReadField(2).AsText().size();
    return bytes;
  };
  const uint64_t memo_pages = (ReadBytes(dir.File("memo.EDT")).size() + CachedFile::kPageSize - 1) / CachedFile::kPageSize;
  ASSERT_GT(memo_pages * CachedFile::kPageSize, DatabaseEngine::kDefaultMemoCacheLimit);
  ASSERT_TRUE(engine.LockDatabase());
  const size_t expected = walk();
  EXPECT_EQ(expected, 8000u * 1200);
  file_system.ResetCounts();
  walk();
  EXPECT_GT(file_system.count(testing::FaultFileSystem::Operation::kRead), 0);  // the default does not hold it

  engine.SetMemoCacheLimit(size_t{32} << 20);
  EXPECT_EQ(engine.MemoCacheLimit(), size_t{32} << 20);
  walk();
  file_system.ResetCounts();
  EXPECT_EQ(walk(), expected);
  EXPECT_EQ(file_system.count(testing::FaultFileSystem::Operation::kRead), 0);
  const size_t main_bytes = 4u * CachedFile::kPageSize;  // a main file of 128260 bytes
  EXPECT_EQ(engine.CacheMemoryUse().current_bytes, main_bytes + memo_pages * CachedFile::kPageSize);

  engine.SetMemoCacheLimit(size_t{1} << 20);
  EXPECT_EQ(engine.CacheMemoryUse().current_bytes, main_bytes + (size_t{1} << 20));
  EXPECT_EQ(walk(), expected);
  EXPECT_LE(engine.CacheMemoryUse().current_bytes, main_bytes + (size_t{1} << 20));
  ASSERT_TRUE(engine.UnlockDatabase());

  engine.SetMemoCacheLimit(0);
  EXPECT_EQ(engine.MemoCacheLimit(), CachedFile::kPageSize);
  engine.SetMemoCacheLimit(size_t{1} << 40);
  EXPECT_EQ(engine.MemoCacheLimit(), DatabaseEngine::kLargestMemoCacheLimit);
}

// Byte locks under the whole-file lock are only counted, so a walk there
// takes none from the system, and leaves none counted: afterwards every
// record and memo block read is locked afresh.
TEST(CacheLockingTest, OnlyUncoveredReadsLockBytes) {
  testing::TempDir dir;
  const std::string path = dir.File("memo.edb");
  testing::FaultFileSystem file_system;
  DatabaseEngine engine(&file_system);
  engine.SetDurableWrites(false);
  ASSERT_TRUE(engine.CreateDatabase(path, MemoSchema()));
  ASSERT_TRUE(engine.OpenDatabase(path));
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(engine.AppendRecord({FieldValue::DateTime(i), FieldValue::Text(MemoText(1200, i))}));
  }
  using Operation = testing::FaultFileSystem::Operation;
  auto locks_of_one_read = [&] {
    file_system.ResetCounts();
    engine.GoFirst();
    EXPECT_EQ(engine.ReadField(2).AsText(), MemoText(1200, 0));
    return file_system.count(Operation::kLock);
  };
  // The record, then three memo blocks hand over hand.
  EXPECT_EQ(locks_of_one_read(), 1 + 3);

  ASSERT_TRUE(engine.LockDatabase());
  file_system.ResetCounts();
  engine.GoFirst();
  for (int i = 0; i < 20; ++i, engine.Skip()) ASSERT_EQ(engine.ReadField(2).AsText(), MemoText(1200, i)) << i;
  engine.GoFirst();
  EXPECT_TRUE(engine.SearchForward([&] { return engine.ReadField(2).AsText() == MemoText(1200, 19); }));
  EXPECT_EQ(engine.CurrentPosition(), 19);
  EXPECT_EQ(file_system.count(Operation::kLock), 0);
  ASSERT_TRUE(engine.UnlockDatabase());

  EXPECT_EQ(locks_of_one_read(), 1 + 3);
}

// Peek hands out the cached bytes themselves: the same as Read gives, short
// at the end of the page and of the file, current after a write, and nothing
// while the file is not cached.
TEST(CachedFileTest, PeekAgreesWithRead) {
  testing::TempDir dir;
  const std::string path = dir.File("pages.bin");
  Bytes content(2 * CachedFile::kPageSize + 100);
  for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<uint8_t>(i * 7 + i / 251);
  WriteBytes(path, content);
  for (const char* password : {"", "key"}) {
    SCOPED_TRACE(password);
    testing::FaultFileSystem file_system;
    std::unique_ptr<File> file;
    ASSERT_EQ(file_system.Open(path, FileOpenMode{FileAccess::kReadWrite, ShareMode::kDenyNone, false}, &file), 0);
    CachedFile cached(std::make_unique<CipherFile>(std::move(file), password), 4 * CachedFile::kPageSize);
    const uint8_t* data = nullptr;
    size_t available = 0;
    ASSERT_EQ(cached.Peek(0, 16, &data, &available), 0);
    EXPECT_EQ(data, nullptr);
    EXPECT_EQ(available, 0u);
    cached.SetCaching(true);
    for (uint64_t offset : {uint64_t{0}, uint64_t{3}, CachedFile::kPageSize - 5, CachedFile::kPageSize,
                            2 * CachedFile::kPageSize + 90, 2 * CachedFile::kPageSize + 100,
                            3 * CachedFile::kPageSize + 1}) {
      SCOPED_TRACE(offset);
      Bytes read(64);
      size_t got = 0;
      ASSERT_EQ(cached.Read(offset, read.data(), read.size(), &got), 0);
      ASSERT_EQ(cached.Peek(offset, 64, &data, &available), 0);
      const uint64_t page_end = (offset / CachedFile::kPageSize + 1) * CachedFile::kPageSize;
      EXPECT_EQ(available, std::min<uint64_t>(got, page_end - offset));
      if (available > 0) {
        EXPECT_EQ(std::memcmp(data, read.data(), available), 0);
      }
    }
    uint8_t before = 0;
    size_t got = 0;
    ASSERT_EQ(cached.Read(CachedFile::kPageSize + 9, &before, 1, &got), 0);
    const uint8_t changed[3] = {1, 2, 3};
    ASSERT_EQ(cached.Write(CachedFile::kPageSize + 10, changed, 3), 0);
    ASSERT_EQ(cached.Peek(CachedFile::kPageSize + 9, 5, &data, &available), 0);
    ASSERT_EQ(available, 5u);
    EXPECT_EQ(data[0], before);
    EXPECT_EQ(std::memcmp(data + 1, changed, 3), 0);
  }
}

TEST(FieldValueTest, TextOfATemporaryIsTheSameText) {
  const std::string with_zero("abc\0def", 7);
  EXPECT_EQ(FieldValue::Text(with_zero).AsText(), with_zero);
  EXPECT_EQ(FieldValue::Bytes(std::string("\0\1", 2)).AsText(), std::string("\0\1", 2));
  EXPECT_EQ(FieldValue::Integer(-42).AsText(), "-42");
  EXPECT_EQ(FieldValue::DateTime(1.5).AsText(), "1.5");
  const FieldValue kept = FieldValue::Text("kept");
  EXPECT_EQ(kept.AsText(), "kept");
  EXPECT_EQ(kept.AsText(), "kept");  // reading a named value leaves it whole
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
