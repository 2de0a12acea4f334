// The memo book: the one object that owns the program's shared state (the
// open store, currentDate, wheelMonth) and binds the main window's entry
// points to its three parts: the life cycle (start-up, lock, unlock, the
// top-edge strip, shut-down), the day view (editor, Edit and Save, the
// status line) and the month overview (month list, jumps, wheel, go to
// today, window alignment). The search and protection parts of the program
// are built on the operations it offers.
//
// Promises:
// - Everything runs on the user-interface thread, one handler at a time.
// - Editing is in progress exactly while 编辑按钮 is disabled; while it is,
//   currentDate keeps the date of the memo being edited.
// - The engine's "?" password prompt shows the program's password dialog.
#pragma once

#include <memory>
#include <string>

#include "base/datetime.h"
#include "engine/database.h"
#include "memo/memo_store.h"
#include "memo/status_line.h"
#include "ui/main_window.h"

namespace tarnwick {

class BackupTaker;
class Lifecycle;
class DayView;
class MonthOverview;

class MemoBook {
 public:
  // The store lives in folder (GBK, absolute) on engine; both must outlive
  // the book.
  MemoBook(MainWindow& main_window, DatabaseEngine& engine, std::string folder);
  ~MemoBook();
  MemoBook(const MemoBook&) = delete;
  MemoBook& operator=(const MemoBook&) = delete;

  // The date whose memo the editor shows and a save writes.
  DateTime currentDate = 0;
  // The month the last wheel step or go to today showed (1..12); the wheel
  // itself steps from the calendar's month.
  int wheelMonth = 1;

  Platform& platform() { return main_window_.window().platform(); }
  MainWindow& main_window() { return main_window_; }
  const MainWindowControls& controls() const { return main_window_.controls(); }
  MemoStore& store() { return store_; }
  StatusLine& status() { return status_; }
  BackupTaker& backups() { return *backups_; }

  // Editing is in progress (编辑按钮 disabled).
  bool Editing() const;
  // The system clock's date and time now.
  DateTime Now();
  // The store's record of d becomes current.
  bool FindMemoRecord(DateTime d) { return store_.FindMemoRecord(d); }

  // Life cycle.
  void EnterLockMode();
  void UnlockProgram();
  void RestoreWindowSize();
  // Day view.
  // False when the save failed (it said so; the text stays in the editor).
  bool SaveCurrentMemo();
  void ShowDayMemo();
  // Month overview.
  void RebuildMonthList();
  // Moves the calendar to today and sets wheelMonth (after the unlock when
  // 超级按钮1 offers it).
  void GoToToday();

 private:
  MainWindow& main_window_;
  MemoStore store_;
  StatusLine status_;
  std::unique_ptr<BackupTaker> backups_;
  std::unique_ptr<Lifecycle> lifecycle_;
  std::unique_ptr<DayView> day_view_;
  std::unique_ptr<MonthOverview> month_overview_;
};

}  // namespace tarnwick
