// Setting a database's password (re-keying both files through whole copies
// and a recovery record, rekey_record.h) and testing a database for one.
#include <cstring>

#include "engine/cipher_file.h"
#include "engine/database_internal.h"
#include "engine/errors.h"
#include "engine/md5.h"
#include "engine/rekey_record.h"

namespace tarnwick {

bool DatabaseEngine::SetPassword(std::string_view new_password) {
  Database* db = Current();
  if (db == nullptr) return Fail(error::kNoCurrentDatabase);
  if (new_password == "?") return Fail(error::kInvalidPasswordText);
  std::shared_ptr<CipherKey> old_key = db->main->cipher().key();
  std::shared_ptr<CipherKey> new_key = MakeCipherKey(new_password);
  bool record_left = false;
  FileStatus status = 0;
  {
    ScopedHold hold;
    // A lock conflict or a stale key says so; an I/O error is a change that failed.
    if (int held = hold.Acquire(*db); held != 0) {
      return Fail(held == error::kLockFailed || held == error::kWrongPassword ? held : error::kRekeyFailed);
    }
    if (SameKey(old_key.get(), new_key.get())) {
      // Nothing to rewrite; the header is written as for any change.
      uint8_t check_block[kCheckBlockSize] = {};
      const std::string& text = KeyCheckText(new_key.get());
      std::memcpy(check_block, text.data(), text.size());
      status = db->main->Write(kCheckBlockOffset, check_block, sizeof check_block);
      if (status == 0) status = db->main->Write(0, new_key != nullptr ? kProtectedMagic : kPlainMagic, 4);
      if (status == 0) status = db->FlushAll();
      return status == 0 ? Succeed() : Fail(status);
    }
    // Both files are rewritten below the caches, whose plain bytes stay
    // right; the header's magic and check block change, so they are read afresh.
    status = RekeyWithRecord(*file_system_, db->path,
                             RekeyTargets{&db->main->cipher().file(), db->memo ? &db->memo->cipher().file() : nullptr},
                             old_key, new_key, durable_writes_, &record_left);
    db->main->Forget();
    if (db->memo) db->memo->Forget();
    if (status == 0) {
      db->main->cipher().SetKey(new_key);
      if (db->memo) db->memo->cipher().SetKey(new_key);
      return Succeed();
    }
  }
  if (record_left && !db->searching) {
    // The record stays for the next open, which copies the whole copies over
    // the files; writing to them meanwhile would be overwritten by it.
    databases_.erase(databases_.begin() + current_);
    current_ = -1;
  }
  return Fail(error::kRekeyFailed);
}

bool DatabaseEngine::IsCurrentPassword(std::string_view password) {
  Database* db = Current();
  if (db == nullptr) return Fail(error::kNoCurrentDatabase);
  SetLastError(0);
  return SameKey(db->main->cipher().key().get(), MakeCipherKey(password).get());
}

bool DatabaseEngine::IsPasswordProtected(std::string_view name_or_path) {
  if (Database* db = FindByName(name_or_path)) {
    SetLastError(0);
    return db->main->cipher().HasKey();
  }
  if (name_or_path.empty()) return Fail(error::kFileNotFound);
  std::unique_ptr<File> file;
  FileStatus status = file_system_->Open(ResolvePath(*file_system_, name_or_path),
                                         FileOpenMode{FileAccess::kRead, ShareMode::kExclusive, false}, &file);
  if (status != 0) return Fail(status);
  char magic[4];
  size_t got = 0;
  if (file->ReadAt(0, magic, 4, &got) != 0 || got < 4) return Fail(error::kNotDatabaseFile);
  SetLastError(0);
  return std::memcmp(magic, kProtectedMagic, 4) == 0;
}

}  // namespace tarnwick
