// Why a change of the store failed, told in the user's terms: the disk is
// full, the files may not be written, they are damaged, or they are gone.
// The engine's error code alone cannot tell a missing file from a closed
// store, so the caller says whether the store's file is still there.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick {

class StoreBackups;

enum class FailureCause { kMissing, kDiskFull, kNoPermission, kDamaged, kOther };

FailureCause CauseOf(int engine_code, bool store_file_exists);

// The message for a failed save (GBK): failed is what failed, e.g.
// "保存当前编辑信息失败" (GBK), followed by the cause and what to do; a
// missing store keeps the program's long-standing "check whether the
// database file exists" text.
std::string SaveFailedText(std::string_view failed, FailureCause cause, int engine_code);

// The message for a store the structure check finds damaged (GBK): state
// says what the store is, e.g. "备忘数据库已损坏" (GBK), then how many
// problems the check found, and the newest sound backup of plain stores
// with the command that restores it, or where the backups are.
std::string DamagedStoreText(std::string_view state, std::size_t findings, StoreBackups& backups);

}  // namespace tarnwick
