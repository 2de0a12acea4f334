// The operations on the process's engine.

#include "base/secret.h"
#include "engine/database.h"

namespace tarnwick {

DatabaseEngine& ProcessEngine() {
  static DatabaseEngine* engine = new DatabaseEngine();
  return *engine;
}

bool CreateDatabase(std::string_view path, const std::vector<FieldInf>& fields) {
  return ProcessEngine().CreateDatabase(path, fields);
}
bool OpenDatabase(std::string_view path, std::string_view alias, bool read_only, ShareMode share,
                  std::string_view password) {
  OpenOptions options;
  options.alias = std::string(alias);
  options.read_only = read_only;
  options.share = share;
  options.password = std::string(password);
  WipeOnExit wipe_password(options.password);
  return ProcessEngine().OpenDatabase(path, options);
}
bool SelectDatabase(std::string_view name) { return ProcessEngine().SelectDatabase(name); }
void CloseDatabase() { ProcessEngine().CloseDatabase(); }
void CloseDatabase(std::string_view name) { ProcessEngine().CloseDatabase(name); }
int RecordCount() { return ProcessEngine().RecordCount(); }
void GoFirst() { ProcessEngine().GoFirst(); }
bool Skip(int n) { return ProcessEngine().Skip(n); }
FieldValue ReadField(const FieldSelector& field) { return ProcessEngine().ReadField(field); }
bool WriteField(const FieldSelector& field, const FieldValue& value) { return ProcessEngine().WriteField(field, value); }
bool AppendRecord(const std::vector<FieldValue>& values) { return ProcessEngine().AppendRecord(values); }
bool ClearAllRecords() { return ProcessEngine().ClearAllRecords(); }
bool SearchForward(const std::function<bool()>& condition) { return ProcessEngine().SearchForward(condition); }
bool LockDatabase() { return ProcessEngine().LockDatabase(); }
bool UnlockDatabase() { return ProcessEngine().UnlockDatabase(); }
bool SetPassword(std::string_view new_password) { return ProcessEngine().SetPassword(new_password); }
bool IsPasswordProtected(std::string_view name_or_path) { return ProcessEngine().IsPasswordProtected(name_or_path); }
int32_t RecordId() { return ProcessEngine().RecordId(); }
DatabasePaths ResolveDatabasePaths(std::string_view path) { return ProcessEngine().ResolvePaths(path); }
CacheMemory CacheMemoryUse() { return ProcessEngine().CacheMemoryUse(); }
void ResetCacheMemoryPeak() { ProcessEngine().ResetCacheMemoryPeak(); }
void SetLockWaitTime(int milliseconds) { ProcessEngine().SetLockWaitTime(milliseconds); }
int LockWaitTime() { return ProcessEngine().LockWaitTime(); }
void SetDurableWrites(bool on) { ProcessEngine().SetDurableWrites(on); }
void SetPasswordPromptHook(PasswordPromptHook hook) { ProcessEngine().SetPasswordPromptHook(std::move(hook)); }

}  // namespace tarnwick
