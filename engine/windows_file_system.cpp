// The file layer on Windows: wide-character CreateFileW with the share modes
// the engine asks for, positioned ReadFile/WriteFile, FlushFileBuffers, and
// LockFileEx byte-range locks.
//
// Windows locks differ from what the engine above expects in two ways, which
// this file hides:
// - They are mandatory: a region locked through another handle cannot be read
//   or written through this one. The engine always locks before it touches
//   bytes another connection may hold, so this only shows as the lock
//   violation it already expects.
// - An exclusive lock may not overlap any lock, even one of its own handle,
//   and an unlock must name exactly a region that was locked. The engine
//   locks the whole file over byte locks it already holds and later gives
//   back the gaps between them. Each open file therefore keeps the regions
//   it holds as disjoint system locks: a lock takes only the parts not held
//   yet, an unlock releases whole regions and locks again what lies outside
//   the range it was asked to give back.
// Share modes are the system's own (the sharing flags of CreateFileW), so
// they hold against every program, not only against this one.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>

#include <algorithm>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "base/text.h"
#include "engine/file_system.h"

namespace tarnwick {

namespace {

// Not named by every toolchain's headers.
constexpr DWORD kDiskQuotaExceeded = 1295;

FileStatus StatusFromWindowsError(DWORD code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND: return error::kFileNotFound;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
    case ERROR_FILENAME_EXCED_RANGE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return error::kInvalidPath;
    case ERROR_TOO_MANY_OPEN_FILES: return error::kTooManyOpenFiles;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT:
    case ERROR_NETWORK_ACCESS_DENIED:
    case ERROR_INVALID_ACCESS: return error::kAccessDenied;
    case ERROR_INVALID_HANDLE: return error::kInvalidFile;
    case ERROR_CURRENT_DIRECTORY: return error::kCannotRemoveDirectory;
    case ERROR_CANNOT_MAKE: return error::kTooManyDirectories;
    case ERROR_SEEK:
    case ERROR_NEGATIVE_SEEK:
    case ERROR_SEEK_ON_DEVICE: return error::kSeekFailed;
    case ERROR_NOT_READY:
    case ERROR_BAD_UNIT:
    case ERROR_CRC:
    case ERROR_SECTOR_NOT_FOUND:
    case ERROR_WRITE_FAULT:
    case ERROR_READ_FAULT:
    case ERROR_GEN_FAILURE:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_IO_DEVICE: return error::kHardwareFault;
    case ERROR_SHARING_VIOLATION: return error::kSharingViolation;
    case ERROR_LOCK_VIOLATION:
    case ERROR_NOT_LOCKED:
    case ERROR_LOCK_FAILED: return error::kLockViolation;
    case ERROR_HANDLE_DISK_FULL:
    case ERROR_DISK_FULL:
    case ERROR_FILE_TOO_LARGE:
    case kDiskQuotaExceeded: return error::kDiskFull;
    case ERROR_HANDLE_EOF: return error::kEndOfFile;
    default: return error::kUnknown;
  }
}

FileStatus LastStatus() { return StatusFromWindowsError(GetLastError()); }

// GBK path -> the UTF-16 name the wide-character calls take, whatever the
// system's code page; and back.
std::wstring ToSystemPath(const std::string& gbk) {
  const std::u16string utf16 = GbkToUtf16(gbk);
  return std::wstring(utf16.begin(), utf16.end());
}

std::string FromSystemPath(const std::wstring& wide) {
  return Utf16ToGbk(std::u16string(wide.begin(), wide.end()));
}

OVERLAPPED At(uint64_t offset) {
  OVERLAPPED overlapped {};
  overlapped.Offset = static_cast<DWORD>(offset);
  overlapped.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return overlapped;
}

// The largest piece one ReadFile or WriteFile call moves.
constexpr size_t kMaxPiece = 1u << 30;

class WindowsFile final : public File {
 public:
  WindowsFile(HANDLE handle, bool writable) : handle_(handle), writable_(writable) {}
  ~WindowsFile() override { CloseHandle(handle_); }

  FileStatus Identity(FileIdentity* identity) override {
    BY_HANDLE_FILE_INFORMATION info {};
    if (!GetFileInformationByHandle(handle_, &info)) return LastStatus();
    *identity = FileIdentity{info.dwVolumeSerialNumber,
                             static_cast<uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow};
    return 0;
  }

  FileStatus ReadAt(uint64_t offset, void* buffer, size_t count, size_t* read_count) override {
    *read_count = 0;
    auto* out = static_cast<char*>(buffer);
    while (*read_count < count) {
      OVERLAPPED overlapped = At(offset + *read_count);
      const DWORD piece = static_cast<DWORD>(std::min(count - *read_count, kMaxPiece));
      DWORD got = 0;
      if (!ReadFile(handle_, out + *read_count, piece, &got, &overlapped)) {
        if (GetLastError() == ERROR_HANDLE_EOF) break;
        return LastStatus();
      }
      if (got == 0) break;
      *read_count += got;
    }
    return 0;
  }

  FileStatus WriteAt(uint64_t offset, const void* data, size_t count) override {
    if (!writable_) return error::kAccessDenied;
    const auto* in = static_cast<const char*>(data);
    size_t done = 0;
    while (done < count) {
      OVERLAPPED overlapped = At(offset + done);
      const DWORD piece = static_cast<DWORD>(std::min(count - done, kMaxPiece));
      DWORD written = 0;
      if (!WriteFile(handle_, in + done, piece, &written, &overlapped)) return LastStatus();
      if (written == 0) return error::kDiskFull;
      done += written;
    }
    return 0;
  }

  FileStatus Length(uint64_t* length) override {
    LARGE_INTEGER size {};
    if (!GetFileSizeEx(handle_, &size)) return LastStatus();
    *length = static_cast<uint64_t>(size.QuadPart);
    return 0;
  }

  FileStatus Truncate(uint64_t length) override {
    if (!writable_) return error::kAccessDenied;
    LARGE_INTEGER position {};
    position.QuadPart = static_cast<LONGLONG>(length);
    if (!SetFilePointerEx(handle_, position, nullptr, FILE_BEGIN)) return LastStatus();
    if (!SetEndOfFile(handle_)) return LastStatus();
    return 0;
  }

  FileStatus Flush() override {
    if (!writable_) return 0;
    if (!FlushFileBuffers(handle_)) return LastStatus();
    return 0;
  }

  FileStatus Lock(uint64_t offset, uint64_t length) override {
    if (length == 0) return 0;
    const uint64_t end = offset + length;
    // The parts of the range this file does not hold yet, each locked as a
    // region of its own; on a conflict the parts already taken are undone.
    std::map<uint64_t, uint64_t> taken;
    uint64_t position = offset;
    auto held = FirstRegionEndingAfter(offset);
    while (position < end) {
      const uint64_t gap_end = held == regions_.end() ? end : std::min(end, held->first);
      if (position < gap_end) {
        if (FileStatus status = SystemLock(position, gap_end); status != 0) {
          for (const auto& [from, to] : taken) SystemUnlock(from, to);
          return status;
        }
        taken.emplace(position, gap_end);
      }
      if (held == regions_.end()) break;
      position = std::max(position, held->second);
      ++held;
    }
    regions_.insert(taken.begin(), taken.end());
    return 0;
  }

  FileStatus Unlock(uint64_t offset, uint64_t length) override {
    if (length == 0) return 0;
    const uint64_t end = offset + length;
    // As on POSIX, giving back bytes that are not held is no error.
    auto held = FirstRegionEndingAfter(offset);
    FileStatus result = 0;
    while (held != regions_.end() && held->first < end) {
      const uint64_t from = held->first;
      const uint64_t to = held->second;
      held = regions_.erase(held);
      if (FileStatus status = SystemUnlock(from, to); status != 0) result = status;
      // What lies outside the range stays held. Between the unlock and the
      // lock another process could take it; it then waits until it is free.
      if (from < offset) KeepRegion(from, offset, &result);
      if (to > end) KeepRegion(end, to, &result);
      held = FirstRegionEndingAfter(to);
    }
    return result;
  }

 private:
  // The first held region whose end lies beyond offset.
  std::map<uint64_t, uint64_t>::iterator FirstRegionEndingAfter(uint64_t offset) {
    auto region = regions_.upper_bound(offset);
    if (region != regions_.begin()) {
      auto before = std::prev(region);
      if (before->second > offset) return before;
    }
    return region;
  }

  FileStatus SystemLock(uint64_t from, uint64_t to) {
    OVERLAPPED overlapped = At(from);
    const uint64_t length = to - from;
    if (LockFileEx(handle_, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, static_cast<DWORD>(length),
                   static_cast<DWORD>(length >> 32), &overlapped)) {
      return 0;
    }
    const DWORD code = GetLastError();
    // A synchronous handle reports a held lock as a pending operation on some systems.
    if (code == ERROR_IO_PENDING) return error::kLockViolation;
    return StatusFromWindowsError(code);
  }

  FileStatus SystemUnlock(uint64_t from, uint64_t to) {
    OVERLAPPED overlapped = At(from);
    const uint64_t length = to - from;
    if (UnlockFileEx(handle_, 0, static_cast<DWORD>(length), static_cast<DWORD>(length >> 32), &overlapped)) return 0;
    return LastStatus();
  }

  void KeepRegion(uint64_t from, uint64_t to, FileStatus* result) {
    FileStatus status = SystemLock(from, to);
    for (int attempt = 0; status == error::kLockViolation && attempt < 500; ++attempt) {
      Sleep(2);
      status = SystemLock(from, to);
    }
    if (status == 0) {
      regions_.emplace(from, to);
    } else if (*result == 0) {
      *result = status;
    }
  }

  HANDLE handle_;
  bool writable_;
  std::map<uint64_t, uint64_t> regions_;  // start -> end of each region this file holds locked
};

DWORD ShareFlags(ShareMode share) {
  switch (share) {
    case ShareMode::kDenyNone: return FILE_SHARE_READ | FILE_SHARE_WRITE;
    case ShareMode::kDenyRead: return FILE_SHARE_WRITE;
    case ShareMode::kDenyWrite: return FILE_SHARE_READ;
    case ShareMode::kExclusive: return 0;
  }
  return FILE_SHARE_READ | FILE_SHARE_WRITE;
}

// A folder that is one, not a link or junction to one.
bool IsRealFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
}

class WindowsFileSystem final : public FileSystem {
 public:
  FileStatus Open(const std::string& path, const FileOpenMode& mode, std::unique_ptr<File>* file) override {
    file->reset();
    if (path.empty()) return error::kFileNotFound;
    const bool writable = mode.access == FileAccess::kReadWrite || mode.create;
    // An existing file is truncated only once the share check let the open through.
    // A reparse point (a link or junction) is opened itself, then refused.
    const DWORD disposition = !mode.create ? OPEN_EXISTING : mode.must_be_new ? CREATE_NEW : CREATE_ALWAYS;
    HANDLE handle = CreateFileW(ToSystemPath(path).c_str(), GENERIC_READ | (writable ? GENERIC_WRITE : 0),
                                ShareFlags(mode.share), nullptr, disposition,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      return GetLastError() == ERROR_FILE_EXISTS ? error::kAccessDenied : LastStatus();
    }
    BY_HANDLE_FILE_INFORMATION info {};
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DIRECTORY)) != 0) {
      CloseHandle(handle);
      return error::kInvalidFile;
    }
    *file = std::make_unique<WindowsFile>(handle, writable);
    return 0;
  }

  bool Exists(const std::string& path) override {
    return !path.empty() && GetFileAttributesW(ToSystemPath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  FileStatus IdentityAt(const std::string& path, FileIdentity* identity) override {
    if (path.empty()) return error::kFileNotFound;
    HANDLE handle = CreateFileW(ToSystemPath(path).c_str(), FILE_READ_ATTRIBUTES,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastStatus();
    WindowsFile file(handle, false);
    return file.Identity(identity);
  }

  FileStatus Remove(const std::string& path) override {
    if (path.empty()) return error::kFileNotFound;
    if (!DeleteFileW(ToSystemPath(path).c_str())) return LastStatus();
    return 0;
  }

  // Folders inherit the access rules of the folder they are made in (a
  // user's own data folder, or the portable copy's folder).
  FileStatus CreateFolder(const std::string& path) override {
    if (path.empty()) return error::kInvalidPath;
    const std::wstring system_path = ToSystemPath(path);
    if (CreateDirectoryW(system_path.c_str(), nullptr)) return 0;
    const DWORD code = GetLastError();
    const DWORD attributes = GetFileAttributesW(system_path.c_str());
    if (code == ERROR_ALREADY_EXISTS && attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return 0;
    }
    return StatusFromWindowsError(code);
  }

  FileStatus ListFolder(const std::string& path, std::vector<std::string>* names) override {
    names->clear();
    WIN32_FIND_DATAW found {};
    HANDLE search = FindFirstFileW((ToSystemPath(path) + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return LastStatus();
    do {
      const std::wstring name = found.cFileName;
      if (name != L"." && name != L"..") names->push_back(FromSystemPath(name));
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return 0;
  }

  FileStatus RemoveFolder(const std::string& path) override {
    if (path.empty()) return error::kFileNotFound;
    if (!RemoveDirectoryW(ToSystemPath(path).c_str())) return LastStatus();
    return 0;
  }

  // The folder is held open while its files go, without sharing deletion,
  // so it cannot be renamed or replaced by a link meanwhile.
  FileStatus RemoveFolderWithFiles(const std::string& folder, const std::vector<std::string>& file_names) override {
    if (folder.empty()) return error::kFileNotFound;
    std::wstring path = ToSystemPath(folder);
    while (path.size() > 1 && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    const size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 0 && path[slash - 1] != L':' && !IsRealFolder(path.substr(0, slash))) {
      return error::kAccessDenied;
    }
    {
      HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
      if (handle == INVALID_HANDLE_VALUE) return LastStatus();
      BY_HANDLE_FILE_INFORMATION info {};
      const bool real_folder = GetFileInformationByHandle(handle, &info) &&
                               (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                               (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
      FileStatus status = real_folder ? 0 : error::kAccessDenied;
      for (size_t i = 0; status == 0 && i < file_names.size(); ++i) {
        const std::wstring name = ToSystemPath(file_names[i]);
        if (name.empty() || name == L"." || name == L".." || name.find_first_of(L"\\/:") != std::wstring::npos) {
          status = error::kInvalidPath;
          break;
        }
        const std::wstring file = path + L'\\' + name;
        const DWORD attributes = GetFileAttributesW(file.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) continue;
        // A file link goes itself; a folder or a folder link is not the store's.
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
          status = error::kAccessDenied;
        } else if (!DeleteFileW(file.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
          status = LastStatus();
        }
      }
      CloseHandle(handle);
      if (status != 0) return status;
    }
    if (!RemoveDirectoryW(path.c_str())) {
      return GetLastError() == ERROR_DIR_NOT_EMPTY ? error::kAccessDenied : LastStatus();
    }
    return 0;
  }

  FileStatus Rename(const std::string& from, const std::string& to) override {
    if (!MoveFileExW(ToSystemPath(from).c_str(), ToSystemPath(to).c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return LastStatus();
    }
    return 0;
  }

  // Opened for no access at all, which no share mode refuses; folders need
  // the backup-semantics flag to be opened.
  FileStatus Identify(const std::string& path, FileIdentity* identity) override {
    if (path.empty()) return error::kFileNotFound;
    HANDLE handle = CreateFileW(ToSystemPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return LastStatus();
    BY_HANDLE_FILE_INFORMATION info {};
    const bool known = GetFileInformationByHandle(handle, &info);
    const FileStatus status = known ? 0 : LastStatus();
    CloseHandle(handle);
    if (known) {
      *identity = {info.dwVolumeSerialNumber,
                   (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow};
    }
    return status;
  }

  std::string AbsolutePath(const std::string& path) override {
    const std::wstring system_path = ToSystemPath(path);
    DWORD size = GetFullPathNameW(system_path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    size = GetFullPathNameW(system_path.c_str(), size, full.data(), nullptr);
    if (size == 0 || size >= full.size()) return path;
    full.resize(size);
    return FromSystemPath(full);
  }

  // Windows matches file names without regard to case by itself; the name
  // is given back as the folder spells it, so a path reads the same as on
  // systems that tell case apart.
  std::string MatchNameIgnoringCase(const std::string& path) override {
    const std::wstring system_path = ToSystemPath(path);
    const size_t slash = system_path.find_last_of(L"\\/:");
    const size_t name_start = slash == std::wstring::npos ? 0 : slash + 1;
    if (name_start >= system_path.size() || system_path.find_first_of(L"*?", name_start) != std::wstring::npos) {
      return path;
    }
    WIN32_FIND_DATAW found {};
    HANDLE search = FindFirstFileW(system_path.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return path;
    FindClose(search);
    return FromSystemPath(system_path.substr(0, name_start) + found.cFileName);
  }

  uint32_t TickCount() override { return static_cast<uint32_t>(GetTickCount64()); }

  void SleepMilliseconds(int milliseconds) override { Sleep(static_cast<DWORD>(std::max(milliseconds, 0))); }

  CivilDateTime LocalDateTime() override {
    SYSTEMTIME now {};
    GetLocalTime(&now);
    return CivilDateTime{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, std::min<int>(now.wSecond, 59)};
  }
};

}  // namespace

FileSystem* DefaultFileSystem() {
  static WindowsFileSystem* file_system = new WindowsFileSystem();
  return file_system;
}

}  // namespace tarnwick
