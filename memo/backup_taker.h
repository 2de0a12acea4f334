// The memo book's backups of its open store, taken while the program holds
// the store's whole-file lock: before a change that cannot be undone (clear
// all, a password set, changed or removed) and at the first start of each
// day. A backup that succeeds shows nothing, unless the day's one finds the
// store damaged: that is said once, and the backup marked damaged. One that fails before a change
// asks whether to go on without it, No being the safe answer; a failed daily
// one is said once on the status line and stops nothing.
//
// The day's backup is begun when the store opens and written in steps while
// the program is idle, so the window shows without waiting for a copy of
// the whole store; the store asks for it to be finished before its first
// change or its close, so it always holds the store as it was opened.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "memo/backup.h"

namespace tarnwick {

class MemoBook;

class BackupTaker {
 public:
  explicit BackupTaker(MemoBook& book);
  ~BackupTaker();

  // Backs the open store up before a change. True: go on with the change
  // (it is backed up, or the user chose to go on without a backup). Before
  // a password change the backups are noted as to be taken along.
  bool BeforeChange(BackupReason reason);
  // After a password change: every backup is re-keyed to the store's new
  // password (GBK; empty: none), those that cannot be are removed, and the
  // user is told how many. PasswordKept: the store kept its password.
  void PasswordChanged(std::string_view old_password, std::string_view new_password);
  void PasswordKept();
  // Begins the day's backup of the open store when none was taken today.
  void BeginDailyIfDue();
  // Writes a step of the day's backup; true while more remains.
  bool StepDaily();
  // Writes what remains of the day's backup.
  void FinishDaily();
  bool DailyUnderWay() const { return daily_ != nullptr; }
  // The program ends: a restore may go ahead.
  void ProgramEnding() { running_mark_.reset(); }

  StoreBackups& backups() { return backups_; }

 private:
  FileStatus Take(BackupReason reason);
  void DailyEnded();
  void CheckDaily(const std::string& name);

  MemoBook& book_;
  StoreBackups backups_;
  std::unique_ptr<BackupWriter> daily_;
  std::unique_ptr<File> running_mark_;
  bool daily_failure_said_ = false;
};

}  // namespace tarnwick
