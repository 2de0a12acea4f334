// Opening, selecting and closing databases.

#include "base/text.h"
#include "engine/cipher_file.h"
#include "engine/database_internal.h"
#include "engine/errors.h"
#include "engine/open_checks.h"
#include "engine/record_codec.h"
#include "engine/rekey_record.h"

namespace tarnwick {

namespace {

bool FailWithText(int code, std::string_view utf8_text) {
  SetLastErrorWithText(code, utf8_text);
  return false;
}

// An open's failure; a link or special file found where one of the store's
// files should be is named, so the user can see what was refused.
bool FailOpen(int code, const std::string& gbk_path) {
  if (code != error::kInvalidFile || gbk_path.empty()) return Fail(code);
  return FailWithText(code, "“" + GbkToUtf8(gbk_path) + "”是链接或特殊文件，不是数据库的文件；未作任何改动");
}

}  // namespace

bool DatabaseEngine::OpenDatabase(std::string_view path, const OpenOptions& options) {
  if (path.empty()) return Fail(error::kFileNotFound);
  if (!options.alias.empty() && !IsValidName(options.alias)) return Fail(error::kInvalidAlias);
  auto db = std::make_unique<Database>();
  db->engine = this;
  db->path = ResolvePath(*file_system_, path);
  for (const auto& open : databases_) {
    if (NamesEqual(open->path, db->path)) return Fail(error::kAlreadyOpen);
  }
  db->title = TitleOf(db->path);
  db->alias = options.alias;
  db->read_only = options.read_only;
  db->share = options.share;

  bool ask = options.password == "?";
  std::string password = ask ? std::string() : options.password;
  // The password lives on only in the file keys; this copy is wiped on every way out.
  WipeOnExit wipe_password(password);
  const FileOpenMode mode{options.read_only ? FileAccess::kRead : FileAccess::kReadWrite, options.share, false};

  // Opens one of the two files through the cipher and the cache, retrying a
  // conflict for the lock wait time, and locks it whole for the rest of the open.
  auto open_file = [&](const std::string& file_path, size_t cache_bytes, std::unique_ptr<CachedFile>* opened,
                       ScopedRangeLock* open_lock) -> int {
    std::unique_ptr<File> file;
    FileStatus status =
        RetryOnConflict(*file_system_, lock_wait_ms_, [&] { return file_system_->Open(file_path, mode, &file); });
    if (status != 0) return status;
    *opened = std::make_unique<CachedFile>(std::make_unique<CipherFile>(std::move(file), password), cache_bytes,
                                           cache_meter_.get());
    if (db->DeniesOthersReading()) return 0;
    return open_lock->Acquire(*file_system_, lock_wait_ms_, **opened) != 0 ? error::kLockFailed : 0;
  };

  // A password change cut short by a kill, a power cut or a failure is
  // settled first: finished when it was past its point of no return, else
  // dropped. Only a read-write open settles; a read-only one writes nothing.
  std::string refused;
  if (options.read_only) {
    const int result = CheckForInterruptedRekey(*file_system_, lock_wait_ms_, db->path, &refused);
    if (result == error::kRekeyFailed) {
      return FailWithText(result, "上次修改访问密码时被中断，只读打开不能完成它；请用本程序以读写方式打开一次，即可完成修改");
    }
    if (result != 0) return FailOpen(result, refused);
  } else if (int result = FinishInterruptedRekey(*file_system_, lock_wait_ms_, db->path, durable_writes_, &refused);
             result != 0) {
    return FailOpen(result, refused);
  }
  ScopedRangeLock open_lock;
  if (int result = open_file(db->path, kMainCacheBytes, &db->main, &open_lock); result != 0) {
    return FailOpen(result, db->path);
  }
  if (int result = ReadHeaderWithPassword(*db, &password, ask, prompt_hook_); result != 0) return Fail(result);
  if (int result = CheckHeaderAndFields(*db); result != 0) return Fail(result);
  const bool has_memo_file =
      std::any_of(db->fields.begin(), db->fields.end(), [](const Field& f) { return IsLongType(f.type); });
  if (has_memo_file) {
    db->memo_path = ResolveMemoPath(*file_system_, db->path);
    // Before any repair: a main file whose memo file is gone stays as it is.
    if (int result = CompleteCutShortCreation(*file_system_, *db, durable_writes_); result != 0) return Fail(result);
  }
  if (int result = RepairRecordArea(*db); result != 0) return Fail(result);

  if (has_memo_file) {
    ScopedRangeLock memo_lock;
    if (int result = open_file(db->memo_path, memo_cache_limit_, &db->memo, &memo_lock); result != 0) {
      if (result == error::kInvalidFile) return FailOpen(result, db->memo_path);
      // A memo file that cannot be opened reads as missing; a lock conflict stays one.
      return Fail(result == error::kLockFailed ? error::kLockFailed : error::kMemoFileReadFailed);
    }
    if (int result = CheckMemoFile(*db); result != 0) return Fail(result);
  }
  if (!db->read_only && db->FlushAll() != 0) return Fail(error::kOpenFailed);
  db->current = 0;
  db->UpdateCaching();
  databases_.push_back(std::move(db));
  current_ = static_cast<int>(databases_.size()) - 1;
  return Succeed();
}

bool DatabaseEngine::SelectDatabase(std::string_view name) {
  Database* db = FindByName(name);
  if (db == nullptr) return Fail(error::kNamedDatabaseNotOpen);
  for (size_t i = 0; i < databases_.size(); ++i) {
    if (databases_[i].get() == db) current_ = static_cast<int>(i);
  }
  return Succeed();
}

void DatabaseEngine::CloseDatabase() {
  Database* db = Current();
  if (db == nullptr) {
    SetLastError(error::kNoCurrentDatabase);
    return;
  }
  if (db->searching) {
    SetLastError(error::kUnknown);  // a search condition cannot close the database it runs on
    return;
  }
  databases_.erase(databases_.begin() + current_);
  current_ = -1;
  SetLastError(0);
}

void DatabaseEngine::CloseDatabase(std::string_view name) {
  Database* db = FindByName(name);
  SetLastError(0);
  if (db == nullptr) return;
  if (db->searching) {
    SetLastError(error::kUnknown);
    return;
  }
  for (size_t i = 0; i < databases_.size(); ++i) {
    if (databases_[i].get() != db) continue;
    databases_.erase(databases_.begin() + static_cast<std::ptrdiff_t>(i));
    if (current_ == static_cast<int>(i)) {
      current_ = -1;
    } else if (current_ > static_cast<int>(i)) {
      --current_;
    }
    return;
  }
}

}  // namespace tarnwick
