#include "memo/failure_cause.h"

#include <optional>

#include "base/text.h"
#include "engine/database.h"
#include "memo/backup.h"

namespace tarnwick {

FailureCause CauseOf(int engine_code, bool store_file_exists) {
  if (!store_file_exists) return FailureCause::kMissing;
  switch (engine_code) {
    case error::kDiskFull:
      return FailureCause::kDiskFull;
    case error::kAccessDenied:
      return FailureCause::kNoPermission;
    case error::kNoCurrentDatabase:
    case error::kDatabaseNotOpen:
    case error::kFileNotFound:
      return FailureCause::kMissing;
    case error::kNotDatabaseFile:
    case error::kMemoFileReadFailed:
    case error::kMemoFileDamaged:
    case error::kFileSizeWrong:
    case error::kMemoFileAccessFailed:
    case error::kReadFieldFailed:
      return FailureCause::kDamaged;
    default:
      return FailureCause::kOther;
  }
}

std::string SaveFailedText(std::string_view failed, FailureCause cause, int engine_code) {
  const std::string kept = Gbk("当前编辑的内容仍在编辑框中。");
  std::string text(failed);
  switch (cause) {
    case FailureCause::kMissing:
      return text + Gbk("，请检查数据库文件是否存在。");
    case FailureCause::kDiskFull:
      return text + Gbk("：磁盘空间已满。\r\n") + kept + Gbk("请删除一些文件腾出空间后，再点击<保存>按钮。");
    case FailureCause::kNoPermission:
      return text + Gbk("：没有写入数据库文件的权限。\r\n") + kept + Gbk("请检查数据文件夹的权限后，再点击<保存>按钮。");
    case FailureCause::kDamaged:
      return text + Gbk("：数据库文件已损坏。\r\n") + kept + Gbk("请先把它复制到别处保存，再从备份恢复数据库。");
    case FailureCause::kOther:
      break;
  }
  return text + Gbk("：读写数据库文件时出错（错误代码 ") + std::to_string(engine_code) + Gbk("）。\r\n") + kept +
         Gbk("请稍后再点击<保存>按钮。");
}

std::string DamagedStoreText(std::string_view state, std::size_t findings, StoreBackups& backups) {
  const std::string text =
      std::string(state) + Gbk("：结构检查发现 ") + std::to_string(findings) + Gbk(" 处问题。\r\n");
  if (const std::optional<BackupInfo> newest = backups.NewestSoundBackup({})) {
    return text + Gbk("最近一个完好的备份是 ") + newest->name + Gbk("，请关闭本程序后用这个命令恢复：\r\n") +
           backups.RestoreCommand(newest->name);
  }
  return text + Gbk("没有找到完好的备份。备份文件夹：\r\n") + backups.folder() +
         Gbk("\r\n可以用命令 edbtool backups 查看各个备份。");
}

}  // namespace tarnwick
