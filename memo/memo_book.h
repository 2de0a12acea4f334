// The memo book: the one object that owns the program's shared state (the
// open store, currentDate) and binds the main window's entry
// points to its three parts: the life cycle (start-up, lock, unlock, the
// top-edge strip, shut-down), the day view (editor, Edit and Save, the
// status line) and the month overview (month list, jumps, wheel, go to
// today, window alignment). The search and protection parts of the program
// are built on the operations it offers.
//
// Promises:
// - Everything runs on the user-interface thread, one handler at a time.
// - The program's two modes have one owner each, here: Locked() from
//   EnterLockMode until an unlock opens the store; Editing() from Edit until
//   a save succeeds (编辑按钮 and 保存按钮 follow it, never the reverse).
//   While editing, currentDate keeps the date of the memo being edited.
// - The engine's "?" password prompt shows the program's password dialog.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "base/datetime.h"
#include "engine/database.h"
#include "memo/memo_store.h"
#include "memo/rescue_file.h"
#include "memo/status_line.h"
#include "ui/main_window.h"

namespace tarnwick {

class BackupTaker;
class IdleWork;
class Lifecycle;
class DayView;
class MonthOverview;

class MemoBook {
 public:
  // The store lives in folder (GBK, absolute) on engine; both must outlive
  // the book. folder_instead_of_programs: folder stands in for the program's
  // own, which cannot be written (the first-start question says so).
  MemoBook(MainWindow& main_window, DatabaseEngine& engine, std::string folder,
           bool folder_instead_of_programs = false);
  ~MemoBook();
  MemoBook(const MemoBook&) = delete;
  MemoBook& operator=(const MemoBook&) = delete;

  // The date whose memo the editor shows and a save writes.
  DateTime currentDate = 0;

  Platform& platform() { return main_window_.window().platform(); }
  MainWindow& main_window() { return main_window_; }
  const MainWindowControls& controls() const { return main_window_.controls(); }
  MemoStore& store() { return store_; }
  bool FolderInsteadOfPrograms() const { return folder_instead_of_programs_; }
  StatusLine& status() { return status_; }
  BackupTaker& backups() { return *backups_; }
  // The day's backup and the filling of the store's copy of the memos,
  // done while the user does nothing.
  IdleWork& idle_work() { return *idle_work_; }
  // Where an edit that cannot be saved is kept.
  RescueFile& rescue() { return rescue_; }

  // A memo is being edited: entered by Edit, left by a successful save.
  bool Editing() const { return editing_; }
  // Counts the entries into Editing and the successful saves.
  uint64_t EditingChanges() const { return editing_changes_; }
  // The store waits for its password: from EnterLockMode until an unlock
  // opens it.
  bool Locked() const { return locked_; }
  // The system clock's date and time now.
  DateTime Now();
  // The store's record of d becomes current.
  bool FindMemoRecord(DateTime d) { return store_.FindMemoRecord(d); }

  // Life cycle.
  void EnterLockMode();
  // True when the store opened with the password given.
  bool UnlockProgram();
  void RestoreWindowSize();
  // Day view.
  // False when the save failed (it said so; the text stays in the editor).
  bool SaveCurrentMemo();
  // The save without a message box: nullopt when saved, else the message
  // naming the cause (GBK).
  std::optional<std::string> WriteCurrentMemo();
  // currentDate's memo, or the hint, in the editor.
  void ShowDayMemo();
  // The memo of d, or the hint, in the editor; the mode stays. Answers
  // whether d has a memo.
  bool ShowMemoOf(DateTime d);
  // Month overview.
  void RebuildMonthList();
  // Moves the calendar to today (after the unlock when 超级按钮1 offers it).
  void GoToToday();

 private:
  friend class DayView;  // enters and leaves Editing

  MainWindow& main_window_;
  bool editing_ = false;
  uint64_t editing_changes_ = 0;
  bool locked_ = false;
  MemoStore store_;
  RescueFile rescue_;
  const bool folder_instead_of_programs_;
  StatusLine status_;
  std::unique_ptr<BackupTaker> backups_;
  std::unique_ptr<IdleWork> idle_work_;
  std::unique_ptr<Lifecycle> lifecycle_;
  std::unique_ptr<DayView> day_view_;
  std::unique_ptr<MonthOverview> month_overview_;
};

}  // namespace tarnwick
