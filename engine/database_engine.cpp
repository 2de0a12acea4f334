// The engine: its list of open databases, name matching, the whole-file lock,
// path resolution, cache accounting and introspection.
#include <algorithm>

#include "engine/database_internal.h"
#include "engine/errors.h"

namespace tarnwick {

// The path a name reaches: default extension, a case-insensitive match of the
// file name when the exact one does not exist, then made absolute.
std::string ResolvePath(FileSystem& file_system, std::string_view path) {
  return file_system.AbsolutePath(file_system.MatchNameIgnoringCase(WithDefaultExtension(path)));
}

std::string ResolveMemoPath(FileSystem& file_system, const std::string& main_path) {
  return file_system.MatchNameIgnoringCase(MemoPathOf(main_path));
}

DatabaseEngine::DatabaseEngine(FileSystem* file_system)
    : file_system_(file_system != nullptr ? file_system : DefaultFileSystem()),
      cache_meter_(std::make_unique<CacheMeter>()) {}

DatabaseEngine::~DatabaseEngine() = default;

Database* DatabaseEngine::Current() {
  if (current_ < 0 || static_cast<size_t>(current_) >= databases_.size()) return nullptr;
  return databases_[static_cast<size_t>(current_)].get();
}

// Alias first, then title, then absolute path; the most recently opened wins.
Database* DatabaseEngine::FindByName(std::string_view name) {
  if (name.empty()) return nullptr;
  for (int pass = 0; pass < 3; ++pass) {
    for (auto it = databases_.rbegin(); it != databases_.rend(); ++it) {
      const Database& db = **it;
      const std::string& candidate = pass == 0 ? db.alias : pass == 1 ? db.title : db.path;
      if (!candidate.empty() && NamesEqual(candidate, name)) return it->get();
    }
  }
  return nullptr;
}

bool DatabaseEngine::LockDatabase() {
  Database* db = Current();
  if (db == nullptr) return Fail(error::kNoCurrentDatabase);
  if (db->LockWholeFile() != 0) return Fail(error::kLockFailed);
  return Succeed();
}

bool DatabaseEngine::UnlockDatabase() {
  Database* db = Current();
  if (db == nullptr) return Fail(error::kNoCurrentDatabase);
  if (db->UnlockWholeFile() != 0) return Fail(error::kUnlockFailed);
  return Succeed();
}

DatabasePaths DatabaseEngine::ResolvePaths(std::string_view path) {
  if (path.empty()) return {};
  DatabasePaths paths;
  paths.main = ResolvePath(*file_system_, path);
  paths.memo = ResolveMemoPath(*file_system_, paths.main);
  return paths;
}

CacheMemory DatabaseEngine::CacheMemoryUse() const { return cache_meter_->Reading(); }

void DatabaseEngine::ResetCacheMemoryPeak() { cache_meter_->ResetPeak(); }

void DatabaseEngine::SetMemoCacheLimit(size_t bytes) {
  memo_cache_limit_ = std::clamp(bytes, CachedFile::kPageSize, kLargestMemoCacheLimit);
  for (const auto& db : databases_) {
    if (db->memo) db->memo->SetBudget(memo_cache_limit_);
  }
}

// ---- Introspection -------------------------------------------------------------------

std::vector<FieldInf> DatabaseEngine::Fields() {
  std::vector<FieldInf> result;
  if (Database* db = Current()) {
    for (const Field& field : db->fields) result.push_back(FieldInf{field.name, field.type, field.width});
  }
  return result;
}

int DatabaseEngine::CurrentPosition() {
  Database* db = Current();
  return db == nullptr ? -1 : static_cast<int>(db->current);
}

DatabaseEngine::StoredFiles DatabaseEngine::CurrentStoredFiles() {
  Database* db = Current();
  if (db == nullptr) return {};
  return {&db->main->cipher().file(), db->memo ? &db->memo->cipher().file() : nullptr};
}

std::string DatabaseEngine::CurrentPath() {
  Database* db = Current();
  return db == nullptr ? std::string() : db->path;
}

}  // namespace tarnwick
