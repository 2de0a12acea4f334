// The Windows file layer as the engine meets it: Windows' errors arrive as
// the engine's file codes, share modes and byte-range locks behave as the
// engine expects (locks merge with and split from the file's own), and
// non-ASCII GBK paths reach files of the same name whatever the code page.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/text.h"
#include "engine/database.h"
#include "engine/engine_test_util.h"
#include "engine/file_system.h"
#include "testing/temp_dir.h"

namespace tarnwick {
namespace {

constexpr uint64_t kWholeFile = 2147483647;

class WindowsFileSystemTest : public ::testing::Test {
 protected:
  WindowsFileSystemTest() : path_(dir_.File("data.bin")) { test_util::WriteBytes(path_, test_util::Bytes(4096, 7)); }

  std::unique_ptr<File> Open(const std::string& path, FileAccess access = FileAccess::kReadWrite,
                             ShareMode share = ShareMode::kDenyNone, FileStatus* status = nullptr) {
    std::unique_ptr<File> file;
    FileStatus result = files_.Open(path, {access, share, false}, &file);
    if (status != nullptr) *status = result;
    return file;
  }

  FileSystem& files_ = *DefaultFileSystem();
  testing::TempDir dir_;
  std::string path_;
};

TEST_F(WindowsFileSystemTest, WindowsErrorsArriveAsTheEngineFileCodes) {
  FileStatus status = 0;
  EXPECT_EQ(Open(dir_.File("missing.bin"), FileAccess::kRead, ShareMode::kDenyNone, &status), nullptr);
  EXPECT_EQ(status, error::kFileNotFound);
  Open(dir_.File("no folder\\missing.bin"), FileAccess::kRead, ShareMode::kDenyNone, &status);
  EXPECT_EQ(status, error::kInvalidPath);
  Open(dir_.File("bad<name>.bin"), FileAccess::kRead, ShareMode::kDenyNone, &status);
  EXPECT_EQ(status, error::kInvalidPath);
  // A folder is no file.
  Open(dir_.path().string(), FileAccess::kRead, ShareMode::kDenyNone, &status);
  EXPECT_EQ(status, error::kAccessDenied);
  EXPECT_EQ(files_.Remove(dir_.File("missing.bin")), error::kFileNotFound);

  // A read-only file opens for reading only (except where the system lets
  // this user write anyway, as Wine does for root).
  const std::wstring wide_path = std::filesystem::path(path_).wstring();
  ASSERT_TRUE(SetFileAttributesW(wide_path.c_str(), FILE_ATTRIBUTE_READONLY));
  HANDLE writer = CreateFileW(wide_path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (writer == INVALID_HANDLE_VALUE) {
    Open(path_, FileAccess::kReadWrite, ShareMode::kDenyNone, &status);
    EXPECT_EQ(status, error::kAccessDenied);
  } else {
    CloseHandle(writer);
  }
  std::unique_ptr<File> reader = Open(path_, FileAccess::kRead);
  ASSERT_NE(reader, nullptr);
  EXPECT_EQ(reader->WriteAt(0, "x", 1), error::kAccessDenied);
  EXPECT_EQ(reader->Truncate(0), error::kAccessDenied);
  reader.reset();
  SetFileAttributesW(wide_path.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(WindowsFileSystemTest, ShareModesAreTheSystemsOwn) {
  std::unique_ptr<File> denying_write = Open(path_, FileAccess::kRead, ShareMode::kDenyWrite);
  ASSERT_NE(denying_write, nullptr);
  FileStatus status = 0;
  EXPECT_EQ(Open(path_, FileAccess::kReadWrite, ShareMode::kDenyNone, &status), nullptr);
  EXPECT_EQ(status, error::kSharingViolation);
  EXPECT_NE(Open(path_, FileAccess::kRead, ShareMode::kDenyNone), nullptr);
  // Creating over a file another open protects fails before it truncates.
  std::unique_ptr<File> created;
  EXPECT_EQ(files_.Open(path_, {FileAccess::kReadWrite, ShareMode::kExclusive, true}, &created),
            error::kSharingViolation);
  EXPECT_EQ(std::filesystem::file_size(path_), 4096u);
  // Other programs meet the same modes.
  HANDLE other = CreateFileW(std::filesystem::path(path_).wstring().c_str(), GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(other, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  if (other != INVALID_HANDLE_VALUE) CloseHandle(other);
}

TEST_F(WindowsFileSystemTest, LocksMergeWithAndSplitFromTheFilesOwn) {
  std::unique_ptr<File> mine = Open(path_);
  std::unique_ptr<File> theirs = Open(path_);
  ASSERT_NE(mine, nullptr);
  ASSERT_NE(theirs, nullptr);
  auto they_can_lock = [&](uint64_t offset) {
    if (theirs->Lock(offset, 1) != 0) return false;
    EXPECT_EQ(theirs->Unlock(offset, 1), 0);
    return true;
  };

  // Byte locks, then the whole file over them, as the engine's whole-file lock does.
  ASSERT_EQ(mine->Lock(16, 1), 0);
  ASSERT_EQ(mine->Lock(300, 1), 0);
  ASSERT_EQ(mine->Lock(0, kWholeFile), 0);
  EXPECT_EQ(theirs->Lock(100, 1), error::kLockViolation);
  EXPECT_EQ(theirs->Lock(kWholeFile - 1, 1), error::kLockViolation);
  EXPECT_TRUE(they_can_lock(kWholeFile));
  // Giving back the gaps between the bytes keeps the bytes.
  ASSERT_EQ(mine->Unlock(0, 16), 0);
  ASSERT_EQ(mine->Unlock(17, 300 - 17), 0);
  ASSERT_EQ(mine->Unlock(301, kWholeFile - 301), 0);
  EXPECT_TRUE(they_can_lock(100));
  EXPECT_TRUE(they_can_lock(kWholeFile - 1));
  EXPECT_FALSE(they_can_lock(16));
  EXPECT_FALSE(they_can_lock(300));

  // A byte given back from the middle of a held range; the rest stays held.
  ASSERT_EQ(mine->Lock(1000, 1000), 0);
  ASSERT_EQ(mine->Unlock(1500, 1), 0);
  EXPECT_TRUE(they_can_lock(1500));
  EXPECT_FALSE(they_can_lock(1499));
  EXPECT_FALSE(they_can_lock(1501));
  EXPECT_FALSE(they_can_lock(1000));
  EXPECT_FALSE(they_can_lock(1999));
  // One unlock over several held ranges releases them all; bytes never held are no error.
  ASSERT_EQ(mine->Unlock(0, kWholeFile), 0);
  EXPECT_TRUE(they_can_lock(16));
  EXPECT_TRUE(they_can_lock(1000));
  EXPECT_TRUE(they_can_lock(1501));
  // A conflict takes nothing: the parts that were free are not left locked,
  // and what the file held before stays held.
  ASSERT_EQ(mine->Lock(20, 1), 0);
  ASSERT_EQ(theirs->Lock(50, 1), 0);
  EXPECT_EQ(mine->Lock(0, 100), error::kLockViolation);
  EXPECT_EQ(theirs->Unlock(50, 1), 0);
  EXPECT_TRUE(they_can_lock(10));
  EXPECT_TRUE(they_can_lock(30));
  EXPECT_FALSE(they_can_lock(20));
  // Closing the file gives up its locks.
  mine.reset();
  EXPECT_TRUE(they_can_lock(20));
}

TEST_F(WindowsFileSystemTest, ReadWriteLengthAndTruncate) {
  std::unique_ptr<File> file = Open(path_);
  ASSERT_NE(file, nullptr);
  ASSERT_EQ(file->WriteAt(5000, "tail", 4), 0);  // past the end: the file grows
  uint64_t length = 0;
  ASSERT_EQ(file->Length(&length), 0);
  EXPECT_EQ(length, 5004u);
  char buffer[16] = {};
  size_t got = 0;
  ASSERT_EQ(file->ReadAt(5000, buffer, sizeof buffer, &got), 0);
  EXPECT_EQ(got, 4u);  // short at the end
  EXPECT_EQ(std::string(buffer, got), "tail");
  ASSERT_EQ(file->ReadAt(9000, buffer, sizeof buffer, &got), 0);
  EXPECT_EQ(got, 0u);
  ASSERT_EQ(file->Truncate(10), 0);
  ASSERT_EQ(file->Flush(), 0);
  ASSERT_EQ(file->Length(&length), 0);
  EXPECT_EQ(length, 10u);
  EXPECT_EQ(test_util::ReadBytes(path_), test_util::Bytes(10, 7));
}

// What the export compares to keep off the store's files: the same file by
// a hard link, a symbolic link or a linked folder, never another file.
TEST_F(WindowsFileSystemTest, IdentityIsTheFilesWhateverNameReachesIt) {
  namespace fs = std::filesystem;
  FileIdentity file, other;
  ASSERT_EQ(files_.Identify(path_, &file), 0);
  test_util::WriteBytes(dir_.File("other.bin"), test_util::Bytes(16, 1));
  ASSERT_EQ(files_.Identify(dir_.File("other.bin"), &other), 0);
  EXPECT_NE(file, other);
  EXPECT_EQ(files_.Identify(dir_.File("missing.bin"), &other), error::kFileNotFound);
  const fs::path linked = dir_.path() / "linked";
  ASSERT_TRUE(fs::create_directory(linked));
  ASSERT_TRUE(CreateHardLinkW((linked / "hard.txt").wstring().c_str(), fs::path(path_).wstring().c_str(), nullptr));
  std::vector<fs::path> names = {linked / "hard.txt"};
  // Symbolic links where the system makes them (Wine reports success and
  // makes none; links made on the Linux side are followed there, and are
  // tested by the export under Wine).
  const bool soft = CreateSymbolicLinkW((linked / "soft.txt").wstring().c_str(), fs::path(path_).wstring().c_str(),
                                        SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
                    CreateSymbolicLinkW((linked / "folder").wstring().c_str(), dir_.path().wstring().c_str(),
                                        SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE) &&
                    fs::exists(linked / "soft.txt") && fs::exists(linked / "folder");
  if (soft) names.insert(names.end(), {linked / "soft.txt", linked / "folder" / "data.bin"});
  for (const fs::path& name : names) {
    FileIdentity reached;
    ASSERT_EQ(files_.Identify(name.string(), &reached), 0) << name;
    EXPECT_EQ(reached, file) << name;
  }
  FileIdentity folder, through_link;
  ASSERT_EQ(files_.Identify(dir_.path().string(), &folder), 0) << "a folder has an identity too";
  EXPECT_NE(folder, file);
  if (!soft) return;
  ASSERT_EQ(files_.Identify((linked / "folder").string(), &through_link), 0);
  EXPECT_EQ(through_link, folder);
}

TEST_F(WindowsFileSystemTest, GbkPathsReachTheirWindowsNames) {
  // A folder and a database named in Chinese, given to the engine in GBK.
  const std::string folder = dir_.path().string() + "\\" + Gbk("备忘录 二〇一一");
  ASSERT_TRUE(std::filesystem::create_directory(dir_.path() / std::filesystem::path(L"备忘录 二〇一一")));
  const std::string database = folder + "\\" + Gbk("日记");
  {
    DatabaseEngine engine;
    ASSERT_TRUE(engine.CreateDatabase(database, test_util::MemoSchema())) << LastErrorCode();
    ASSERT_TRUE(engine.OpenDatabase(database)) << LastErrorCode();
    ASSERT_TRUE(engine.AppendRecord({FieldValue::DateTime(40667), FieldValue::Text(Gbk("下雨"))}));
  }
  const std::filesystem::path wide_folder = dir_.path() / std::filesystem::path(L"备忘录 二〇一一");
  EXPECT_TRUE(std::filesystem::exists(wide_folder / std::filesystem::path(L"日记.EDB")));
  EXPECT_TRUE(std::filesystem::exists(wide_folder / std::filesystem::path(L"日记.EDT")));
  EXPECT_TRUE(files_.Exists(database + ".EDB"));
  EXPECT_EQ(files_.AbsolutePath(folder + "\\.\\" + Gbk("日记")), database);
  DatabaseEngine engine;
  ASSERT_TRUE(engine.OpenDatabase(database));
  EXPECT_EQ(engine.ReadField(2).AsText(), Gbk("下雨"));
}

}  // namespace
}  // namespace tarnwick
