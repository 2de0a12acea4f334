// The locking rules of one connection: counted byte locks, the whole-file
// lock and the exclusive hold, and the caching they allow.
#include <cstring>

#include "engine/cipher_file.h"
#include "engine/database_format.h"
#include "engine/database_internal.h"

namespace tarnwick {

FileStatus RetryOnConflict(FileSystem& file_system, int wait_ms, const std::function<FileStatus()>& attempt) {
  const uint32_t start = file_system.TickCount();
  for (;;) {
    FileStatus status = attempt();
    if (status != error::kSharingViolation && status != error::kLockViolation) return status;
    if (wait_ms == 0) return status;
    if (wait_ms > 0 && file_system.TickCount() - start >= static_cast<uint32_t>(wait_ms)) return status;
    file_system.SleepMilliseconds(20 + static_cast<int>(file_system.TickCount() % 20));
  }
}

Database::~Database() {
  // Closing the files gives up every lock they hold.
  memo.reset();
  main.reset();
}

void Database::UpdateCaching() {
  const bool stable = BytesStable();
  main->SetCaching(stable);
  if (memo) memo->SetCaching(stable);
}

// A password change holds the whole main file while it rewrites both files,
// so a connection that takes a lock of its own afterwards sees the new
// header: one that still holds the old key must neither read nor write.
// Checked each time a lock is taken from the system, on the file's own bytes
// (the cache may hold the header as it was).
int Database::CheckKeyInForce() {
  uint8_t header[kCheckBlockOffset + kCheckBlockSize] = {};
  size_t got = 0;
  FileStatus status = main->cipher().file().ReadAt(0, header, sizeof header, &got);
  if (status == 0 && got < sizeof header) status = error::kNotDatabaseFile;
  CipherKey* key = main->cipher().key().get();
  if (status == 0 && std::memcmp(header, key != nullptr ? kProtectedMagic : kPlainMagic, 4) != 0) {
    status = error::kWrongPassword;
  }
  if (status == 0 && key != nullptr) {
    ApplyCipher(key, kCheckBlockOffset, header + kCheckBlockOffset, kCheckBlockSize);
    if (!CheckBlockMatches(header + kCheckBlockOffset, KeyCheckText(key))) status = error::kWrongPassword;
  }
  WipeMemory(header, sizeof header);
  return status;
}

int Database::LockByte(CachedFile& file, LockTable& table, uint64_t offset, int wait_ms) {
  if (!table.Holds(offset) && !LocksCovered()) {
    FileStatus status = RetryOnConflict(engine->file_system(), wait_ms, [&] { return file.Lock(offset, 1); });
    if (status != 0) return error::kLockFailed;
    if (int stale = CheckKeyInForce(); stale != 0) {
      file.Unlock(offset, 1);
      return stale;
    }
  }
  table.Add(offset);
  return 0;
}

int Database::UnlockByte(CachedFile& file, LockTable& table, uint64_t offset) {
  switch (table.Remove(offset)) {
    case LockTable::Removal::kNotHeld: return error::kUnlockFailed;
    case LockTable::Removal::kLowered: return 0;
    case LockTable::Removal::kReleased: break;
  }
  if (!LocksCovered()) file.Unlock(offset, 1);
  return 0;
}

int Database::LockMainByte(uint64_t offset, int minimum_wait_ms) {
  int wait = engine->LockWaitTime();
  if (wait >= 0 && wait < minimum_wait_ms) wait = minimum_wait_ms;
  return LockByte(*main, main_locks, offset, wait);
}

int Database::UnlockMainByte(uint64_t offset) { return UnlockByte(*main, main_locks, offset); }

int Database::LockMemoByte(uint64_t offset) { return LockByte(*memo, memo_locks, offset, engine->LockWaitTime()); }

int Database::UnlockMemoByte(uint64_t offset) { return UnlockByte(*memo, memo_locks, offset); }

void Database::ReleaseCoverage() {
  // The counted bytes stay locked; everything between them is given back.
  for (const auto& [from, length] : main_locks.Gaps(kWholeFileLength)) main->Unlock(from, length);
}

int Database::LockWholeFile() {
  if (whole_file_depth == 0 && !DeniesOthersReading() && hold_depth == 0) {
    // Locking over this connection's own byte locks merges with them, so
    // there is no moment at which another process could slip in.
    FileStatus status = RetryOnConflict(engine->file_system(), engine->LockWaitTime(),
                                        [&] { return main->Lock(0, kWholeFileLength); });
    if (status != 0) return error::kLockFailed;
    if (int stale = CheckKeyInForce(); stale != 0) {
      ReleaseCoverage();
      return stale;
    }
  }
  ++whole_file_depth;
  UpdateCaching();
  return 0;
}

int Database::UnlockWholeFile() {
  if (whole_file_depth == 0) return error::kUnlockFailed;
  if (--whole_file_depth == 0 && !DeniesOthersReading() && hold_depth == 0) ReleaseCoverage();
  UpdateCaching();
  return 0;
}

int Database::BeginHold() {
  if (hold_depth == 0 && !DeniesOthersReading() && whole_file_depth == 0) {
    std::vector<std::pair<uint64_t, uint64_t>> taken;
    for (const auto& [from, length] : main_locks.Gaps(kWholeFileLength)) {
      FileStatus status = RetryOnConflict(engine->file_system(), engine->LockWaitTime(),
                                          [&, from = from, length = length] { return main->Lock(from, length); });
      if (status != 0) {
        for (const auto& [undo_from, undo_length] : taken) main->Unlock(undo_from, undo_length);
        return error::kLockFailed;
      }
      taken.emplace_back(from, length);
    }
    if (int stale = CheckKeyInForce(); stale != 0) {
      for (const auto& [undo_from, undo_length] : taken) main->Unlock(undo_from, undo_length);
      return stale;
    }
  }
  ++hold_depth;
  UpdateCaching();
  return 0;
}

void Database::EndHold() {
  if (hold_depth == 0) return;
  if (--hold_depth == 0 && !DeniesOthersReading() && whole_file_depth == 0) ReleaseCoverage();
  UpdateCaching();
}

FileStatus Database::ReadCountAndNextId(int32_t* count, int32_t* next_id) {
  uint8_t bytes[8];
  size_t got = 0;
  FileStatus status = main->Read(kCountOffset, bytes, sizeof bytes, &got);
  if (status != 0) return status;
  if (got < sizeof bytes) return error::kEndOfFile;
  *count = GetInt32(bytes);
  *next_id = GetInt32(bytes + 4);
  return 0;
}

FileStatus Database::FlushAll() {
  if (!engine->DurableWrites()) return 0;
  if (FileStatus status = main->Flush(); status != 0) return status;
  if (memo) return memo->Flush();
  return 0;
}

int ScopedByteLock::Acquire(Database& db, Which which, uint64_t offset, int minimum_wait_ms) {
  Release();
  int status = which == Which::kMain ? db.LockMainByte(offset, minimum_wait_ms) : db.LockMemoByte(offset);
  if (status != 0) return status;
  db_ = &db;
  which_ = which;
  offset_ = offset;
  return 0;
}

void ScopedByteLock::Release() {
  if (db_ == nullptr) return;
  if (which_ == Which::kMain) {
    db_->UnlockMainByte(offset_);
  } else {
    db_->UnlockMemoByte(offset_);
  }
  db_ = nullptr;
}

}  // namespace tarnwick
