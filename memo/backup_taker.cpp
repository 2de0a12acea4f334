#include "memo/backup_taker.h"

#include "base/secret.h"
#include "base/text.h"
#include "memo/failure_cause.h"
#include "memo/memo_book.h"
#include "ui/message_box.h"

namespace tarnwick {
namespace {

// What a step of the day's backup copies: a few milliseconds of the idle
// time between two events.
constexpr std::size_t kDailyStepBytes = std::size_t{1} << 20;

}  // namespace

BackupTaker::BackupTaker(MemoBook& book)
    : book_(book), backups_(book.store().engine().file_system(), book.store().folder()) {
  // A restore can tell the program runs even while it waits locked, its
  // store closed; a folder without a store gets the mark at its first open.
  if (book.store().DatabaseFileExists()) backups_.HoldRunningMark(&running_mark_);
}

BackupTaker::~BackupTaker() = default;

FileStatus BackupTaker::Take(BackupReason reason) {
  MemoStore& store = book_.store();
  const DatabaseEngine::StoredFiles files = store.engine().CurrentStoredFiles();
  if (files.main == nullptr) return error::kDatabaseNotOpen;
  return backups_.Take(files.main, files.memo, reason, store.MemoCount(), DecodeDateTime(book_.Now()));
}

bool BackupTaker::BeforeChange(BackupReason reason) {
  // With no store open there is nothing to back up, and the change fails
  // with its own message.
  if (book_.store().engine().CurrentStoredFiles().main == nullptr) return true;
  // The day's backup holds the store as it was before this change.
  FinishDaily();
  // No is the default: Return keeps the store as it is, unchanged.
  const bool go_on =
      Take(reason) == 0 ||
      AskYesNoDefaultNo(book_.platform(), Gbk("备份数据库失败，可能磁盘已满或没有写入权限。\r\n不备份而继续吗？"),
                        Gbk("备份失败：")) == MessageResult::kYes;
  if (go_on && reason == BackupReason::kPassword) {
    backups_.BeginKeyChange(*book_.store().engine().CurrentStoredFiles().main);
  }
  return go_on;
}

void BackupTaker::PasswordChanged(std::string_view old_password, std::string_view new_password) {
  std::vector<std::string> removed;
  std::string old_text(old_password);
  std::string new_text(new_password);
  backups_.FinishKeyChange(old_text, new_text, &removed);
  WipeText(old_text);
  WipeText(new_text);
  if (removed.empty()) return;
  ShowMessage(book_.platform(),
              Gbk("有" + std::to_string(removed.size()) + "个备份不能用原密码打开，无法改用新密码，已将其删除。"));
}

void BackupTaker::PasswordKept() { backups_.AbandonKeyChange(); }

void BackupTaker::BeginDailyIfDue() {
  if (daily_ != nullptr) return;
  MemoStore& store = book_.store();
  if (store.engine().CurrentStoredFiles().main == nullptr) return;
  // From the first open on, a restore can tell the program runs; a mark that
  // cannot be held stops nothing.
  if (running_mark_ == nullptr) backups_.HoldRunningMark(&running_mark_);
  // A password change cut short may have left backups under a key the
  // store no longer has, or in plain beside a protected store.
  std::vector<std::string> removed;
  backups_.SettleKeyChange(*store.engine().CurrentStoredFiles().main, &removed);
  if (!removed.empty()) {
    ShowMessage(book_.platform(), Gbk("上次修改密码没有完成，未能改用新密码的" + std::to_string(removed.size()) +
                                      "个备份已删除。"));
  }
  const DatabaseEngine::StoredFiles files = store.engine().CurrentStoredFiles();
  if (files.main == nullptr) return;
  const CivilDateTime today = DecodeDateTime(book_.Now());
  if (backups_.HasDailyBackupOn(today.year, today.month, today.day)) return;
  FileStatus status = 0;
  daily_ = backups_.Begin(files.main, files.memo, BackupReason::kDaily, store.MemoCount(), today, &status);
  if (daily_ == nullptr) DailyEnded();
}

bool BackupTaker::StepDaily() {
  if (daily_ == nullptr) return false;
  if (daily_->Step(kDailyStepBytes)) DailyEnded();
  return daily_ != nullptr;
}

void BackupTaker::FinishDaily() {
  if (daily_ == nullptr) return;
  daily_->Finish();
  DailyEnded();
}

void BackupTaker::DailyEnded() {
  const bool failed = daily_ == nullptr || daily_->status() != 0;
  const std::string name = failed ? std::string() : daily_->name();
  daily_.reset();
  if (!failed) {
    CheckDaily(name);
    return;
  }
  if (daily_failure_said_) return;
  daily_failure_said_ = true;
  // Said after the count that the calendar's pending date change writes.
  Platform& platform = book_.platform();
  platform.loop().Post([this, &platform] {
    platform.loop().Post([this] { book_.status().ShowDailyBackupFailed(); });
  });
}

// The day's backup is the store byte for byte as it opened, so its check is
// the store's full structure check, run once a day without holding up the
// open. A damaged store is said once, and its copy is marked so that it
// never counts as a sound backup. An enciphered copy is passed over: the
// password that opened the store is not kept.
void BackupTaker::CheckDaily(const std::string& name) {
  const auto damaged = [](const BackupCheck& check) {
    // Space a cut-short write left unused costs no memo: not worth a message.
    return check.verdict == BackupCheck::Verdict::kDamaged && check.findings > check.leftover_findings;
  };
  const BackupCheck check = backups_.Check(name, {});
  if (!damaged(check)) return;
  // A read that failed for a moment reads as damage: believed when a
  // second check finds the same, and the mark written.
  const BackupCheck again = backups_.Check(name, {});
  if (!damaged(again) || again.findings != check.findings || backups_.MarkDamaged(name, check.findings) != 0) return;
  const std::string text = DamagedStoreText(Gbk("备忘数据库已损坏"), check.findings, backups_);
  Platform& platform = book_.platform();
  platform.loop().Post([&platform, text] { ShowMessage(platform, text); });
}

}  // namespace tarnwick
