// Setting a database's password (re-keying both files) and testing a
// database for one.
#include <cstring>

#include "engine/cipher_file.h"
#include "engine/database_internal.h"
#include "engine/errors.h"
#include "engine/md5.h"

namespace tarnwick {

bool DatabaseEngine::SetPassword(std::string_view new_password) {
  Database* db = Current();
  if (db == nullptr) return Fail(error::kNoCurrentDatabase);
  if (new_password == "?") return Fail(error::kInvalidPasswordText);
  ScopedHold hold;
  if (int status = hold.Acquire(*db); status != 0) return Fail(status);

  std::shared_ptr<CipherKey> old_main_key = db->main->cipher().key();
  std::shared_ptr<CipherKey> old_memo_key = db->memo ? db->memo->cipher().key() : nullptr;
  auto restore = [&] {
    // Both files back under the old key, so the database opens as before.
    db->main->cipher().Rekey(old_main_key);
    if (db->memo) db->memo->cipher().Rekey(old_memo_key);
    db->main->Forget();
    if (db->memo) db->memo->Forget();
  };
  if (db->main->cipher().Rekey(MakeCipherKey(new_password)) != 0) return Fail(error::kRekeyFailed);
  if (db->memo && db->memo->cipher().Rekey(MakeCipherKey(new_password)) != 0) {
    restore();
    return Fail(error::kRekeyFailed);
  }
  uint8_t check_block[kCheckBlockSize] = {};
  if (!new_password.empty()) {
    std::string text = CheckText(new_password);
    std::memcpy(check_block, text.data(), text.size());
  }
  FileStatus status = db->main->Write(kCheckBlockOffset, check_block, sizeof check_block);
  if (status == 0) status = db->main->Write(0, new_password.empty() ? kPlainMagic : kProtectedMagic, 4);
  if (status == 0) status = db->FlushAll();
  if (status != 0) {
    restore();
    uint8_t old_check[kCheckBlockSize] = {};
    const std::string& old_text = KeyCheckText(old_main_key.get());
    std::memcpy(old_check, old_text.data(), old_text.size());
    db->main->Write(kCheckBlockOffset, old_check, sizeof old_check);
    db->main->Write(0, old_main_key ? kProtectedMagic : kPlainMagic, 4);
    db->FlushAll();
    return Fail(status);
  }
  return Succeed();
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
