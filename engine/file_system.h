// The engine's file layer: the only way the engine reaches files.
//
// One interface with an implementation per operating system (POSIX now),
// so the engine above never sees the system, and tests can wrap it to inject
// faults. Paths are GBK bytes; an implementation converts at its boundary.
//
// Byte-range locks are exclusive and belong to one open file: two opens of
// the same file conflict even inside one process, and a lock goes away when
// its file is closed or its process dies. Lock and open never wait: a
// conflict reports kLockViolation / kSharingViolation at once, and the
// engine decides whether to retry.
//
// Share modes work between processes as the database format expects: an open
// fails with kSharingViolation when it asks for an access that an existing
// open denies, or denies an access that an existing open holds. On POSIX the
// modes are advertised with open-file-description locks on four reserved
// bytes at kShareLockBase and up, far beyond any offset the database locks
// (at most 2147483647):
//   kShareLockBase + 0  held shared by every open that reads
//   kShareLockBase + 1  held shared by every open that writes
//   kShareLockBase + 2  held shared by every open that denies reading
//   kShareLockBase + 3  held shared by every open that denies writing
// An open first takes its own bytes, then tests the opposite bytes for
// another holder (has-read against denies-read and so on). Taking before
// testing means two racing opens cannot both miss each other; at worst both
// fail and retry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "engine/database.h"

namespace tarnwick {

// A file-layer result: 0 or one of the file-system codes of the engine
// (error::kUnknown, error::kFileNotFound .. error::kEndOfFile).
using FileStatus = int;

// The separator of the paths this system's files are named by.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

inline constexpr uint64_t kShareLockBase = uint64_t{1} << 40;

enum class FileAccess { kRead, kReadWrite };

// Names one file or folder wherever it is reached from: two paths reaching
// the same one (a hard or symbolic link, a linked folder, another spelling)
// give equal identities.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// Every open refuses a link, a folder or a special file at the path itself
// (kInvalidFile for a link or special file), without waiting on it: the
// files the engine opens lie in folders that may come from elsewhere.
struct FileOpenMode {
  FileAccess access = FileAccess::kRead;
  ShareMode share = ShareMode::kDenyNone;
  bool create = false;       // create when missing, truncate when present
  bool must_be_new = false;  // with create: a name already taken is kAccessDenied
};

class File {
 public:
  virtual ~File() = default;
  // Reads up to count bytes at offset; *read_count is what was read (short at
  // the end of the file).
  virtual FileStatus ReadAt(uint64_t offset, void* buffer, size_t count, size_t* read_count) = 0;
  // Writes all count bytes at offset, extending the file when needed.
  virtual FileStatus WriteAt(uint64_t offset, const void* data, size_t count) = 0;
  virtual FileStatus Length(uint64_t* length) = 0;
  virtual FileStatus Truncate(uint64_t length) = 0;
  // Brings written bytes to stable storage.
  virtual FileStatus Flush() = 0;
  // Exclusive lock of [offset, offset + length); kLockViolation on conflict.
  virtual FileStatus Lock(uint64_t offset, uint64_t length) = 0;
  virtual FileStatus Unlock(uint64_t offset, uint64_t length) = 0;
  // The open file's identity; the default knows none (kUnknown).
  virtual FileStatus Identity(FileIdentity* identity);
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;
  virtual FileStatus Open(const std::string& path, const FileOpenMode& mode, std::unique_ptr<File>* file) = 0;
  // Whether anything has that name (a link too, whatever it leads to).
  virtual bool Exists(const std::string& path) = 0;
  // The identity of the file named path itself, a link not followed; the
  // default knows none (kUnknown). Compared with File::Identity, it tells
  // whether a file held open is still the one at its name.
  virtual FileStatus IdentityAt(const std::string& path, FileIdentity* identity);
  // Deletes a file (not a folder). A file that is not there is an error.
  virtual FileStatus Remove(const std::string& path) = 0;
  // Folders and renames, for copies kept beside the store. The defaults fail
  // (kUnknown), for layers that hold no folders.
  // Creates one folder, readable by its owner alone where the system allows;
  // a folder already there is success, a link to one is not.
  virtual FileStatus CreateFolder(const std::string& path);
  // The names in a folder (no "." or ".."), in no particular order.
  virtual FileStatus ListFolder(const std::string& path, std::vector<std::string>* names);
  // Deletes an empty folder.
  virtual FileStatus RemoveFolder(const std::string& path);
  // Deletes the files named in file_names inside folder (names not there are
  // skipped), then folder itself, never following a link: a folder, or the
  // folder holding it, that is a link or no folder at all is refused with
  // kAccessDenied and nothing is deleted; a named entry that is a link goes
  // itself, its target untouched. Anything else found in the folder stays,
  // and so does the folder (kAccessDenied). Folders handed over from
  // elsewhere may hold links; this is how the store's own leftovers go.
  virtual FileStatus RemoveFolderWithFiles(const std::string& folder, const std::vector<std::string>& file_names);
  // Brings a folder's names to stable storage: a file created, renamed or
  // removed in it survives a power cut only once its folder is flushed (on
  // POSIX; elsewhere names are kept by the file system itself). The default
  // has nothing to flush.
  virtual FileStatus FlushFolder(const std::string& path);
  // Renames a file or folder, replacing a file at `to`; the new name has
  // reached stable storage when it reports success.
  virtual FileStatus Rename(const std::string& from, const std::string& to);
  // The identity of the file or folder path reaches, links followed. The
  // default fails (kUnknown), for layers that cannot tell.
  virtual FileStatus Identify(const std::string& path, FileIdentity* identity);
  // The path made absolute (no file-system access needed to exist).
  virtual std::string AbsolutePath(const std::string& path) = 0;
  // The path itself when it exists; otherwise the path with its file name
  // replaced by a name in the same folder equal to it without regard to ASCII
  // case, when there is one; otherwise the path unchanged.
  virtual std::string MatchNameIgnoringCase(const std::string& path) = 0;
  // Milliseconds from an arbitrary start; and a pause.
  virtual uint32_t TickCount() = 0;
  virtual void SleepMilliseconds(int milliseconds) = 0;
  // The local date and time now, to the second (stamped into new files).
  virtual CivilDateTime LocalDateTime() = 0;
};

// The operating system's file layer (process-wide, never destroyed).
FileSystem* DefaultFileSystem();

}  // namespace tarnwick
