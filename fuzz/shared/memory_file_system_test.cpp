// The in-memory file layer must keep the rules the engine relies on, or the
// fuzz targets would pass over faults a real disk would show.
#include "fuzz/shared/memory_file_system.h"

#include <gtest/gtest.h>

namespace tarnwick::fuzzing {
namespace {

std::unique_ptr<File> OpenOrFail(MemoryFileSystem& files, const std::string& path, FileOpenMode mode = {}) {
  std::unique_ptr<File> file;
  EXPECT_EQ(files.Open(path, mode, &file), 0) << path;
  return file;
}

TEST(MemoryFileSystemTest, LocksBelongToOneOpenAndSplitOnUnlock) {
  MemoryFileSystem files;
  files.SetFile("/fuzz/a.edb", "abc");
  auto first = OpenOrFail(files, "/fuzz/a.edb");
  auto second = OpenOrFail(files, "/fuzz/a.edb");
  ASSERT_EQ(first->Lock(10, 10), 0);
  EXPECT_EQ(first->Lock(15, 10), 0) << "an open may extend its own lock";
  EXPECT_EQ(second->Lock(24, 1), error::kLockViolation);
  EXPECT_EQ(second->Lock(25, 5), 0);
  // Unlocking the middle leaves both ends locked.
  ASSERT_EQ(first->Unlock(12, 6), 0);
  EXPECT_EQ(second->Lock(11, 1), error::kLockViolation);
  EXPECT_EQ(second->Lock(12, 6), 0);
  EXPECT_EQ(second->Lock(18, 1), error::kLockViolation);
  // A length of 0 reaches every offset after the start; closing frees it all.
  EXPECT_EQ(first->Lock(uint64_t{1} << 40, 0), 0);
  EXPECT_EQ(second->Lock(uint64_t{1} << 50, 1), error::kLockViolation);
  first.reset();
  EXPECT_EQ(second->Lock(0, 0), 0);
}

TEST(MemoryFileSystemTest, ShareModesRefuseConflictingOpens) {
  MemoryFileSystem files;
  files.SetFile("/fuzz/a.edb", "");
  auto exclusive = OpenOrFail(files, "/fuzz/a.edb", {FileAccess::kReadWrite, ShareMode::kExclusive, false});
  std::unique_ptr<File> other;
  EXPECT_EQ(files.Open("/fuzz/a.edb", {}, &other), error::kSharingViolation);
  exclusive.reset();
  auto writer = OpenOrFail(files, "/fuzz/a.edb", {FileAccess::kReadWrite, ShareMode::kDenyNone, false});
  EXPECT_EQ(files.Open("/fuzz/a.edb", {FileAccess::kRead, ShareMode::kDenyWrite, false}, &other),
            error::kSharingViolation);
  EXPECT_EQ(files.Open("/fuzz/a.edb", {FileAccess::kRead, ShareMode::kDenyNone, false}, &other), 0);
}

TEST(MemoryFileSystemTest, FilesGrowUpToTheDiskAndStayReadableAfterRemoval) {
  MemoryFileSystem files;
  auto file = OpenOrFail(files, "/fuzz/a.EDT", {FileAccess::kReadWrite, ShareMode::kDenyNone, true});
  ASSERT_EQ(file->WriteAt(4, "xy", 2), 0);
  EXPECT_EQ(*files.FileBytes("/fuzz/a.EDT"), std::string("\0\0\0\0xy", 6));
  EXPECT_EQ(file->WriteAt(MemoryFileSystem::kLargestFile - 1, "xy", 2), error::kDiskFull);
  EXPECT_EQ(file->Truncate(MemoryFileSystem::kLargestFile + 1), error::kDiskFull);
  EXPECT_EQ(files.MatchNameIgnoringCase("/fuzz/A.edt"), "/fuzz/a.EDT");
  EXPECT_EQ(files.MatchNameIgnoringCase("/other/a.edt"), "/other/a.edt");
  // Names are GBK: the second byte of a double-byte character is no letter.
  OpenOrFail(files, "/fuzz/\x81\x41.EDT", {FileAccess::kReadWrite, ShareMode::kDenyNone, true});
  EXPECT_EQ(files.MatchNameIgnoringCase("/fuzz/\x81\x61.edt"), "/fuzz/\x81\x61.edt");
  EXPECT_EQ(files.MatchNameIgnoringCase("/fuzz/\x81\x41.edt"), "/fuzz/\x81\x41.EDT");
  ASSERT_EQ(files.Remove("/fuzz/a.EDT"), 0);
  EXPECT_FALSE(files.Exists("/fuzz/a.EDT"));
  char read[8] = {};
  size_t count = 0;
  ASSERT_EQ(file->ReadAt(3, read, sizeof read, &count), 0);
  EXPECT_EQ(std::string(read, count), std::string("\0xy", 3));
  std::unique_ptr<File> missing;
  EXPECT_EQ(files.Open("/fuzz/b.edb", {}, &missing), error::kFileNotFound);
}

}  // namespace
}  // namespace tarnwick::fuzzing
