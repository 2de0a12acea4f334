// One open database and the locking rules of a connection; shared by the
// engine's operations (database_*.cpp) and the memo chains (memo_chain.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/cached_file.h"
#include "engine/database.h"
#include "engine/database_format.h"
#include "engine/file_system.h"
#include "engine/lock_table.h"

namespace tarnwick {

// Repeats attempt while it reports a sharing or lock conflict, pausing
// 20..39 ms between tries, until wait_ms have passed (0: once; -1: forever).
FileStatus RetryOnConflict(FileSystem& file_system, int wait_ms, const std::function<FileStatus()>& attempt);

struct Field {
  std::string name;
  int type = 0;
  int width = 0;
  uint32_t offset = 0;  // inside the record
  uint32_t size = 0;
};

// Lets caches live while nothing outside this connection can change the files.
// With the memo cache at its default limit, and the keystream caches, they
// stay under 16 MB a database.
inline constexpr size_t kMainCacheBytes = size_t{3} << 20;

struct Database {
  DatabaseEngine* engine = nullptr;  // its settings: file layer, lock wait, durability
  std::string path;  // absolute, of the main file
  std::string memo_path;
  std::string title;
  std::string alias;
  std::unique_ptr<CachedFile> main;
  std::unique_ptr<CachedFile> memo;  // only when a field has type 11 or 12
  uint8_t header[kHeaderSize] = {};  // as read at opening
  std::vector<Field> fields;
  uint64_t record_start = 0;
  uint32_t record_length = 0;
  int64_t current = 0;

  bool searching = false;
  std::vector<uint8_t> examined;  // the record under examination during a search

  LockTable main_locks;
  LockTable memo_locks;
  int whole_file_depth = 0;  // LockDatabase
  int hold_depth = 0;        // ExclusiveHold
  ShareMode share = ShareMode::kDenyNone;
  bool read_only = false;

  ~Database();

  bool DeniesOthersReading() const { return share == ShareMode::kDenyRead || share == ShareMode::kExclusive; }
  // Byte locks are then only counted: nobody else can be in the file.
  bool LocksCovered() const { return DeniesOthersReading() || hold_depth > 0 || whole_file_depth > 0; }
  // Nobody else can change the bytes, so they may be cached.
  bool BytesStable() const { return share != ShareMode::kDenyNone || hold_depth > 0 || whole_file_depth > 0; }
  void UpdateCaching();

  // Byte locks of one byte, counted; 0 or error::kLockFailed / kUnlockFailed.
  int LockMainByte(uint64_t offset, int minimum_wait_ms = 0);
  int UnlockMainByte(uint64_t offset);
  int LockMemoByte(uint64_t offset);
  int UnlockMemoByte(uint64_t offset);

  // The whole-file lock of LockDatabase, counted.
  int LockWholeFile();
  int UnlockWholeFile();
  // The ExclusiveHold: the whole main file covered for clear-all and re-key.
  int BeginHold();
  void EndHold();

  // Record count and next record id, read afresh under the header lock
  // (which the caller takes).
  FileStatus ReadCountAndNextId(int32_t* count, int32_t* next_id);
  uint64_t RecordOffset(int64_t index) const { return record_start + static_cast<uint64_t>(index) * record_length; }
  bool HasMemoFile() const { return memo != nullptr; }
  FileStatus FlushAll();

 private:
  int LockByte(CachedFile& file, LockTable& table, uint64_t offset, int wait_ms);
  // Whether the main file still carries this connection's key: 0, or
  // error::kWrongPassword once another connection has changed the password.
  int CheckKeyInForce();
  int UnlockByte(CachedFile& file, LockTable& table, uint64_t offset);
  // Unlocks what the whole-file lock or the hold covered, keeping the counted bytes.
  void ReleaseCoverage();
};

// Releases a counted byte lock of the main or memo file on scope exit.
class ScopedByteLock {
 public:
  enum class Which { kMain, kMemo };
  ScopedByteLock() = default;
  ScopedByteLock(const ScopedByteLock&) = delete;
  ScopedByteLock& operator=(const ScopedByteLock&) = delete;
  ~ScopedByteLock() { Release(); }
  int Acquire(Database& db, Which which, uint64_t offset, int minimum_wait_ms = 0);
  void Release();
  // Takes over other's lock (releasing this one's first).
  void MoveFrom(ScopedByteLock& other) {
    Release();
    db_ = other.db_;
    which_ = other.which_;
    offset_ = other.offset_;
    other.db_ = nullptr;
  }
  bool held() const { return db_ != nullptr; }

 private:
  Database* db_ = nullptr;
  Which which_ = Which::kMain;
  uint64_t offset_ = 0;
};

// Keeps the ExclusiveHold for a scope.
class ScopedHold {
 public:
  ScopedHold() = default;
  ScopedHold(const ScopedHold&) = delete;
  ScopedHold& operator=(const ScopedHold&) = delete;
  ~ScopedHold() {
    if (db_ != nullptr) db_->EndHold();
  }
  int Acquire(Database& db) {
    int status = db.BeginHold();
    if (status == 0) db_ = &db;
    return status;
  }

 private:
  Database* db_ = nullptr;
};

// Releases a whole-file lock taken directly on a file (during an open).
class ScopedRangeLock {
 public:
  ScopedRangeLock() = default;
  ScopedRangeLock(const ScopedRangeLock&) = delete;
  ScopedRangeLock& operator=(const ScopedRangeLock&) = delete;
  ~ScopedRangeLock() {
    if (file_ != nullptr) file_->Unlock(0, kWholeFileLength);
  }
  FileStatus Acquire(FileSystem& file_system, int wait_ms, CachedFile& file) {
    FileStatus status = RetryOnConflict(file_system, wait_ms, [&] { return file.Lock(0, kWholeFileLength); });
    if (status == 0) file_ = &file;
    return status;
  }

 private:
  CachedFile* file_ = nullptr;
};

// The path a name reaches: default extension, a case-insensitive match of the
// file name when the exact one does not exist, then made absolute.
std::string ResolvePath(FileSystem& file_system, std::string_view path);
// The memo file beside an absolute main-file path.
std::string ResolveMemoPath(FileSystem& file_system, const std::string& main_path);
// Writes the memo file of a new database, stamped created; 0 or kCreateMemoFileFailed.
int CreateMemoFile(FileSystem& file_system, const std::string& memo_path, double created, bool durable);
// A plain main file holding nothing beyond its header, whose memo file is
// missing or empty, is a creation cut short between its two files (by a
// kill, a failure or a power loss): the memo file is made as the creation
// would have made it. Any other main file without its memo file is damage:
// kMemoFileReadFailed, and nothing is changed. 0 when the memo file is there
// with bytes in it.
int CompleteCutShortCreation(FileSystem& file_system, const Database& db, bool durable);

// Memo chains. Any damage (a loop, a block outside the file, a data length
// above 500, a broken free list) gives error::kMemoFileAccessFailed.
int ReadMemoChain(Database& db, int32_t first_block, std::string* value);
// Writes value over the chain from old_first_block (0: none). A rewrite
// points the record at a chain through point_record (the record's 4 bytes)
// whenever the first block changes before the old blocks are given up, so
// that a process killed at any write leaves the record on the old value or
// the new one, never a mixture, and never on a freed block; the new first
// block is also returned. Needed only when old_first_block is not 0.
using PointRecord = std::function<int(int32_t first_block)>;
int WriteMemoChain(Database& db, int32_t old_first_block, std::string_view value, const PointRecord& point_record,
                   int32_t* new_first_block);
// Gives back a chain that nothing points at any more (a record that failed
// to be written); trailing free blocks are cut off the file.
int FreeMemoChain(Database& db, int32_t first_block);

}  // namespace tarnwick
