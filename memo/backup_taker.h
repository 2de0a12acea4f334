// The memo book's backups of its open store, taken while the program holds
// the store's whole-file lock: before a change that cannot be undone (clear
// all, a password set, changed or removed) and at the first start of each
// day. A backup that succeeds shows nothing. One that fails before a change
// asks whether to go on without it, No being the safe answer; a failed daily
// one is said once on the status line and stops nothing.
#pragma once

#include "memo/backup.h"

namespace tarnwick {

class MemoBook;

class BackupTaker {
 public:
  explicit BackupTaker(MemoBook& book);

  // Backs the open store up before a change. True: go on with the change
  // (it is backed up, or the user chose to go on without a backup).
  bool BeforeChange(BackupReason reason);
  // Backs the open store up when no daily backup was taken today.
  void DailyIfDue();

  StoreBackups& backups() { return backups_; }

 private:
  FileStatus Take(BackupReason reason);

  MemoBook& book_;
  StoreBackups backups_;
  bool daily_failure_said_ = false;
};

}  // namespace tarnwick
