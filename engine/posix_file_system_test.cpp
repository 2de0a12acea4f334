// The POSIX file layer against what a folder from elsewhere may hold where a
// store's file is expected: links, FIFOs, folders. Each is refused at once,
// and nothing is read or written through it.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "engine/file_system.h"
#include "testing/temp_dir.h"

namespace tarnwick {
namespace {

FileStatus OpenStatus(const std::string& path, FileAccess access) {
  std::unique_ptr<File> file;
  FileOpenMode mode;
  mode.access = access;
  return DefaultFileSystem()->Open(path, mode, &file);
}

TEST(PosixFileSystemTest, ALinkOrSpecialFileIsRefusedWithoutWaiting) {
  testing::TempDir dir;
  const std::string target = dir.File("target.txt");
  std::ofstream(target) << "kept";
  std::filesystem::create_symlink(target, dir.File("memo.edb"));
  EXPECT_EQ(OpenStatus(dir.File("memo.edb"), FileAccess::kReadWrite), error::kInvalidFile);
  EXPECT_TRUE(DefaultFileSystem()->Exists(dir.File("memo.edb")));
  std::unique_ptr<File> file;
  EXPECT_EQ(DefaultFileSystem()->Open(dir.File("memo.edb"), FileOpenMode{FileAccess::kReadWrite, ShareMode::kDenyNone, true},
                                      &file),
            error::kInvalidFile)
      << "creating over a link must not truncate its target";
  EXPECT_EQ(std::filesystem::file_size(target), 4u);
  EXPECT_EQ(OpenStatus(dir.path().string(), FileAccess::kRead), error::kAccessDenied);

  // A FIFO its opener may only read from would block an open for reading
  // until someone writes: the open must not wait. Run as another user when
  // the test runs as root, who may write anything.
  const std::string fifo = dir.File("fifo.edb");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0444), 0);
  ASSERT_EQ(chmod(dir.path().c_str(), 0755), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    alarm(10);
    _exit(OpenStatus(fifo, FileAccess::kRead) == error::kInvalidFile ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the open hung on the FIFO (signal " << WTERMSIG(status) << ")";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

// The system's refusals arrive as the engine's codes: a write the file
// cannot take (past the process's file-size limit, as a full disk refuses
// it) is disk full, and a file its user may only read is access denied.
// Checked in a child process, as another user when the test runs as root.
TEST(PosixFileSystemTest, SystemErrorsArriveAsTheEngineFileCodes) {
  testing::TempDir dir;
  const std::string read_only = dir.File("read-only.edb");
  std::ofstream(read_only) << "kept";
  ASSERT_EQ(chmod(read_only.c_str(), 0444), 0);
  ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(64);
    alarm(10);
    int failed = 0;
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{1024, 1024};
    std::unique_ptr<File> file;
    if (setrlimit(RLIMIT_FSIZE, &limit) != 0 ||
        DefaultFileSystem()->Open(dir.File("grows.edb"), {FileAccess::kReadWrite, ShareMode::kDenyNone, true}, &file) !=
            0) {
      _exit(65);
    }
    const std::string bytes(2048, 'x');
    if (file->WriteAt(0, bytes.data(), bytes.size()) != error::kDiskFull) failed |= 1;
    if (OpenStatus(read_only, FileAccess::kReadWrite) != error::kAccessDenied) failed |= 2;
    if (OpenStatus(read_only, FileAccess::kRead) != 0) failed |= 4;
    _exit(failed);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "signal " << WTERMSIG(status);
  const int failed = WEXITSTATUS(status);
  ASSERT_LT(failed, 64) << "the child could not be set up (" << failed << ")";
  EXPECT_EQ(failed & 1, 0) << "a write past the size limit is not disk full";
  EXPECT_EQ(failed & 2, 0) << "a read-only file opened for writing is not access denied";
  EXPECT_EQ(failed & 4, 0) << "a read-only file does not open for reading";
}

}  // namespace
}  // namespace tarnwick
