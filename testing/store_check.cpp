#include "testing/store_check.h"

#include <memory>

#include "engine/database.h"
#include "engine/file_system.h"
#include "engine/md5.h"
#include "engine/rekey_record.h"
#include "memo/memo_store.h"
#include "tools/edbtool/engine_files.h"

namespace tarnwick::testing {

StoreCheck CheckStore(const std::string& folder, const std::optional<std::string>& password) {
  StoreCheck check;
  FileSystem& file_system = *DefaultFileSystem();
  DatabaseEngine engine;
  const DatabasePaths paths = engine.ResolvePaths(MemoStore(engine, folder).DatabasePath());
  if (file_system.Exists(RekeyRecordPath(paths.main))) {
    check.damage.push_back("the recovery record of a password change is still there after an open");
  }
  for (int i = 0; i < 2; ++i) {
    if (file_system.Exists(RekeyCopyPath(paths.main, i))) {
      check.damage.push_back("a copy of a password change is still there after an open");
    }
  }
  const std::string key = password.value_or("");
  std::unique_ptr<edbtool::EngineFileBytes> main, memo;
  if (edbtool::EngineFileBytes::Open(file_system, paths.main, key, &main) != 0) {
    check.damage.push_back("the main file cannot be opened");
    return check;
  }
  if (file_system.Exists(paths.memo) && edbtool::EngineFileBytes::Open(file_system, paths.memo, key, &memo) != 0) {
    check.damage.push_back("the memo file cannot be opened");
    return check;
  }
  edbtool::CheckOptions options;
  if (password && !password->empty()) options.expected_check_text = CheckText(*password);
  check.report = edbtool::CheckDatabase(*main, memo.get(), options);
  check.lost_blocks = check.report.lost_blocks + check.report.blocks_beyond_count;
  size_t lost_space_findings = (check.report.lost_blocks > 0) + (check.report.blocks_beyond_count > 0);
  // The findings are kept in order; the lost-space ones are recognised by their kind's count.
  for (const std::string& finding : check.report.findings) {
    const bool lost_space = finding.find("(lost)") != std::string::npos ||
                            finding.find("beyond the header's block count") != std::string::npos;
    if (!lost_space) check.damage.push_back(finding);
  }
  if (check.report.finding_count > check.report.findings.size() + lost_space_findings) {
    check.damage.push_back(std::to_string(check.report.finding_count - check.report.findings.size()) +
                           " further findings");
  }
  return check;
}

}  // namespace tarnwick::testing
