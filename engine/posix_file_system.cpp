// The file layer on POSIX systems: pread/pwrite, fdatasync, and
// open-file-description locks, which belong to one open file (so two opens in
// one process conflict) and vanish when it is closed or its process dies.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <string>
#include <vector>

#include "base/text.h"
#include "engine/file_system.h"

namespace tarnwick {

namespace {

FileStatus StatusFromErrno(int code) {
  switch (code) {
    case ENOENT: return error::kFileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
    case EINVAL: return error::kInvalidPath;
    case EMFILE:
    case ENFILE: return error::kTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY: return error::kAccessDenied;
    case EBADF: return error::kInvalidFile;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return error::kDiskFull;
    case EIO: return error::kHardwareFault;
    default: return error::kUnknown;
  }
}

bool HasHighBytes(const std::string& text) {
  return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// GBK path -> the system's (UTF-8) name, and back.
std::string ToSystemPath(const std::string& gbk) { return HasHighBytes(gbk) ? GbkToUtf8(gbk) : gbk; }
std::string FromSystemPath(const std::string& utf8) { return HasHighBytes(utf8) ? Utf8ToGbk(utf8) : utf8; }

// A descriptor closed when it goes out of scope.
class ScopedDescriptor {
 public:
  explicit ScopedDescriptor(int fd) : fd_(fd) {}
  ~ScopedDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  ScopedDescriptor(const ScopedDescriptor&) = delete;
  ScopedDescriptor& operator=(const ScopedDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// The folder part of a system path ("." for a bare name) and its last name.
void SplitSystemPath(const std::string& path, std::string* folder, std::string* name) {
  std::string trimmed = path;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  const size_t slash = trimmed.rfind('/');
  *folder = slash == std::string::npos ? "." : trimmed.substr(0, slash == 0 ? 1 : slash);
  *name = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
}

// Opens a folder without following a link at its last name; a link or a
// non-folder there is refused as access denied.
FileStatus OpenRealFolder(int at, const std::string& name, int* fd) {
  *fd = openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (*fd >= 0) return 0;
  return errno == ELOOP || errno == ENOTDIR ? error::kAccessDenied : StatusFromErrno(errno);
}

bool IsPlainName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

int OfdLock(int fd, short type, uint64_t offset, uint64_t length, int command) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = static_cast<off_t>(offset);
  lock.l_len = static_cast<off_t>(length);
  lock.l_pid = 0;
  while (fcntl(fd, command, &lock) != 0) {
    if (errno != EINTR) return -1;
  }
  if (command == F_OFD_GETLK) return lock.l_type == F_UNLCK ? 0 : 1;
  return 0;
}

class PosixFile final : public File {
 public:
  PosixFile(int fd, bool writable, bool fd_writable) : fd_(fd), writable_(writable), fd_writable_(fd_writable) {}
  ~PosixFile() override { close(fd_); }

  FileStatus ReadAt(uint64_t offset, void* buffer, size_t count, size_t* read_count) override {
    *read_count = 0;
    auto* out = static_cast<char*>(buffer);
    while (*read_count < count) {
      ssize_t n = pread(fd_, out + *read_count, count - *read_count, static_cast<off_t>(offset + *read_count));
      if (n < 0) {
        if (errno == EINTR) continue;
        return StatusFromErrno(errno);
      }
      if (n == 0) break;
      *read_count += static_cast<size_t>(n);
    }
    return 0;
  }

  FileStatus WriteAt(uint64_t offset, const void* data, size_t count) override {
    if (!writable_) return error::kAccessDenied;
    const auto* in = static_cast<const char*>(data);
    size_t done = 0;
    while (done < count) {
      ssize_t n = pwrite(fd_, in + done, count - done, static_cast<off_t>(offset + done));
      if (n < 0) {
        if (errno == EINTR) continue;
        return StatusFromErrno(errno);
      }
      if (n == 0) return error::kDiskFull;
      done += static_cast<size_t>(n);
    }
    return 0;
  }

  FileStatus Length(uint64_t* length) override {
    struct stat info {};
    if (fstat(fd_, &info) != 0) return StatusFromErrno(errno);
    *length = static_cast<uint64_t>(info.st_size);
    return 0;
  }

  FileStatus Truncate(uint64_t length) override {
    if (!writable_) return error::kAccessDenied;
    while (ftruncate(fd_, static_cast<off_t>(length)) != 0) {
      if (errno != EINTR) return StatusFromErrno(errno);
    }
    return 0;
  }

  FileStatus Flush() override {
    if (!writable_) return 0;
    while (fdatasync(fd_) != 0) {
      if (errno != EINTR) return StatusFromErrno(errno);
    }
    return 0;
  }

  FileStatus Lock(uint64_t offset, uint64_t length) override {
    // A descriptor that could only be opened for reading can hold only shared
    // locks; those still exclude every writer's exclusive lock.
    if (OfdLock(fd_, fd_writable_ ? F_WRLCK : F_RDLCK, offset, length, F_OFD_SETLK) == 0) return 0;
    if (errno == EAGAIN || errno == EACCES) return error::kLockViolation;
    return StatusFromErrno(errno);
  }

  FileStatus Unlock(uint64_t offset, uint64_t length) override {
    if (OfdLock(fd_, F_UNLCK, offset, length, F_OFD_SETLK) == 0) return 0;
    return StatusFromErrno(errno);
  }

  FileStatus Identity(FileIdentity* identity) override {
    struct stat info {};
    if (fstat(fd_, &info) != 0) return StatusFromErrno(errno);
    *identity = FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
    return 0;
  }

 private:
  int fd_;
  bool writable_;     // opened for writing by the caller
  bool fd_writable_;  // the descriptor itself allows writing (and exclusive locks)
};

// Takes this open's share-mode bytes, then looks for another open that
// conflicts with them (see file_system.h).
FileStatus AdvertiseShareMode(int fd, const FileOpenMode& mode) {
  const bool reads = true;
  const bool writes = mode.access == FileAccess::kReadWrite;
  const bool denies_read = mode.share == ShareMode::kDenyRead || mode.share == ShareMode::kExclusive;
  const bool denies_write = mode.share == ShareMode::kDenyWrite || mode.share == ShareMode::kExclusive;
  const bool mine[4] = {reads, writes, denies_read, denies_write};
  for (int i = 0; i < 4; ++i) {
    if (mine[i] && OfdLock(fd, F_RDLCK, kShareLockBase + i, 1, F_OFD_SETLK) != 0) {
      return (errno == EAGAIN || errno == EACCES) ? error::kSharingViolation : StatusFromErrno(errno);
    }
  }
  // Each right I hold or deny against its opposite byte.
  const int opposite[4] = {2, 3, 0, 1};
  for (int i = 0; i < 4; ++i) {
    if (!mine[i]) continue;
    int other = OfdLock(fd, F_WRLCK, kShareLockBase + opposite[i], 1, F_OFD_GETLK);
    if (other < 0) return StatusFromErrno(errno);
    if (other > 0) return error::kSharingViolation;
  }
  return 0;
}

class PosixFileSystem final : public FileSystem {
 public:
  FileStatus Open(const std::string& path, const FileOpenMode& mode, std::unique_ptr<File>* file) override {
    file->reset();
    if (path.empty()) return error::kFileNotFound;
    const std::string system_path = ToSystemPath(path);
    const bool writable = mode.access == FileAccess::kReadWrite;
    // No link followed, and no wait on a FIFO or a device: what is found is
    // checked to be a plain file before anything is read or written.
    constexpr int kSafe = O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    int flags = O_RDWR | kSafe;
    if (mode.create) flags |= O_CREAT | (mode.must_be_new ? O_EXCL : 0);
    // Memos are private: a new file is its owner's alone (an existing one
    // keeps its modes).
    int fd = open(system_path.c_str(), flags, 0600);
    bool fd_writable = true;
    if (fd < 0 && !writable && (errno == EACCES || errno == EROFS || errno == EPERM)) {
      fd = open(system_path.c_str(), O_RDONLY | kSafe);
      fd_writable = false;
    }
    if (fd < 0) {
      if (errno == ELOOP) return error::kInvalidFile;
      return errno == EEXIST ? error::kAccessDenied : StatusFromErrno(errno);
    }
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
      close(fd);
      return error::kInvalidFile;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (FileStatus status = AdvertiseShareMode(fd, mode); status != 0) {
      close(fd);
      return status;
    }
    // Truncate only once the share check allowed this open.
    if (mode.create && ftruncate(fd, 0) != 0) {
      FileStatus status = StatusFromErrno(errno);
      close(fd);
      return status;
    }
    *file = std::make_unique<PosixFile>(fd, writable, fd_writable);
    return 0;
  }

  bool Exists(const std::string& path) override {
    struct stat info {};
    return !path.empty() && lstat(ToSystemPath(path).c_str(), &info) == 0;
  }

  FileStatus IdentityAt(const std::string& path, FileIdentity* identity) override {
    struct stat info {};
    if (path.empty()) return error::kFileNotFound;
    if (lstat(ToSystemPath(path).c_str(), &info) != 0) return StatusFromErrno(errno);
    *identity = FileIdentity{static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
    return 0;
  }

  FileStatus Remove(const std::string& path) override {
    if (path.empty()) return error::kFileNotFound;
    if (unlink(ToSystemPath(path).c_str()) != 0) return StatusFromErrno(errno);
    return 0;
  }

  FileStatus CreateFolder(const std::string& path) override {
    if (path.empty()) return error::kInvalidPath;
    if (mkdir(ToSystemPath(path).c_str(), 0700) == 0) return 0;
    const int code = errno;
    struct stat info {};
    // A link in its place is not the folder asked for.
    if (code == EEXIST && lstat(ToSystemPath(path).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) return 0;
    return StatusFromErrno(code);
  }

  FileStatus ListFolder(const std::string& path, std::vector<std::string>* names) override {
    names->clear();
    DIR* dir = opendir(ToSystemPath(path).c_str());
    if (dir == nullptr) return StatusFromErrno(errno);
    while (dirent* entry = readdir(dir)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names->push_back(FromSystemPath(name));
    }
    closedir(dir);
    return 0;
  }

  FileStatus RemoveFolder(const std::string& path) override {
    if (path.empty()) return error::kFileNotFound;
    if (rmdir(ToSystemPath(path).c_str()) != 0) return StatusFromErrno(errno);
    return 0;
  }

  FileStatus RemoveFolderWithFiles(const std::string& folder, const std::vector<std::string>& file_names) override {
    if (folder.empty()) return error::kFileNotFound;
    std::string parent_path;
    std::string name;
    SplitSystemPath(ToSystemPath(folder), &parent_path, &name);
    if (!IsPlainName(name)) return error::kInvalidPath;
    int fd = -1;
    if (FileStatus status = OpenRealFolder(AT_FDCWD, parent_path, &fd); status != 0) return status;
    const ScopedDescriptor parent(fd);
    if (FileStatus status = OpenRealFolder(parent.get(), name, &fd); status != 0) return status;
    const ScopedDescriptor doomed(fd);
    // Names go relative to the folder opened, so a link swapped in for it
    // meanwhile leads nowhere; unlinkat never follows a link it removes.
    for (const std::string& file_name : file_names) {
      const std::string system_name = ToSystemPath(file_name);
      if (!IsPlainName(system_name)) return error::kInvalidPath;
      if (unlinkat(doomed.get(), system_name.c_str(), 0) != 0 && errno != ENOENT) {
        return errno == EISDIR ? error::kAccessDenied : StatusFromErrno(errno);
      }
    }
    if (unlinkat(parent.get(), name.c_str(), AT_REMOVEDIR) != 0) {
      return errno == ENOTEMPTY || errno == EEXIST || errno == ENOTDIR ? error::kAccessDenied : StatusFromErrno(errno);
    }
    return fsync(parent.get()) == 0 ? 0 : StatusFromErrno(errno);
  }

  FileStatus FlushFolder(const std::string& path) override {
    const ScopedDescriptor folder(open(ToSystemPath(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() < 0) return StatusFromErrno(errno);
    // A file system that cannot flush a folder (EINVAL) keeps its names by itself.
    return fsync(folder.get()) == 0 || errno == EINVAL ? 0 : StatusFromErrno(errno);
  }

  FileStatus Rename(const std::string& from, const std::string& to) override {
    const std::string target = ToSystemPath(to);
    if (rename(ToSystemPath(from).c_str(), target.c_str()) != 0) return StatusFromErrno(errno);
    // The new name lives in the folder's own entries: bring those to disk too.
    std::string folder;
    std::string name;
    SplitSystemPath(target, &folder, &name);
    return FlushFolder(FromSystemPath(folder));
  }

  FileStatus Identify(const std::string& path, FileIdentity* identity) override {
    struct stat info {};
    if (path.empty()) return error::kFileNotFound;
    if (stat(ToSystemPath(path).c_str(), &info) != 0) return StatusFromErrno(errno);
    *identity = {static_cast<uint64_t>(info.st_dev), static_cast<uint64_t>(info.st_ino)};
    return 0;
  }

  std::string AbsolutePath(const std::string& path) override {
    std::filesystem::path system_path(ToSystemPath(path));
    std::error_code ignored;
    if (!system_path.is_absolute()) system_path = std::filesystem::current_path(ignored) / system_path;
    return FromSystemPath(system_path.lexically_normal().string());
  }

  std::string MatchNameIgnoringCase(const std::string& path) override {
    if (Exists(path)) return path;
    const std::string system_path = ToSystemPath(path);
    const size_t slash = system_path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : system_path.substr(0, slash == 0 ? 1 : slash);
    const std::string name = slash == std::string::npos ? system_path : system_path.substr(slash + 1);
    if (name.empty()) return path;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return path;
    std::vector<std::string> matches;
    while (dirent* entry = readdir(dir)) {
      // ASCII folding is safe on UTF-8: multibyte sequences hold no ASCII bytes.
      if (EqualsIgnoringAsciiCase(entry->d_name, name)) matches.emplace_back(entry->d_name);
    }
    closedir(dir);
    if (matches.empty()) return path;
    std::sort(matches.begin(), matches.end());
    std::string found = slash == std::string::npos ? matches.front() : system_path.substr(0, slash + 1) + matches.front();
    return FromSystemPath(found);
  }

  uint32_t TickCount() override {
    timespec now {};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(static_cast<uint64_t>(now.tv_sec) * 1000 + static_cast<uint64_t>(now.tv_nsec) / 1000000);
  }

  void SleepMilliseconds(int milliseconds) override {
    timespec pause {milliseconds / 1000, static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&pause, &pause) != 0 && errno == EINTR) {
    }
  }

  CivilDateTime LocalDateTime() override {
    const time_t now = time(nullptr);
    tm local {};
    localtime_r(&now, &local);
    return CivilDateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                         local.tm_hour, local.tm_min, std::min(local.tm_sec, 59)};
  }

 private:
  static bool EqualsIgnoringAsciiCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
      unsigned char x = static_cast<unsigned char>(a[i]);
      unsigned char y = static_cast<unsigned char>(b[i]);
      if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x + 32);
      if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y + 32);
      if (x != y) return false;
    }
    return true;
  }
};

}  // namespace

FileSystem* DefaultFileSystem() {
  static PosixFileSystem* file_system = new PosixFileSystem();
  return file_system;
}

}  // namespace tarnwick
