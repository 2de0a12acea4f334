#include "memo/memo_book.h"

#include "memo/backup_taker.h"
#include "memo/day_view.h"
#include "memo/idle_work.h"
#include "memo/lifecycle.h"
#include "memo/month_overview.h"

namespace tarnwick {

MemoBook::MemoBook(MainWindow& main_window, DatabaseEngine& engine, std::string folder,
                   bool folder_instead_of_programs)
    : main_window_(main_window),
      store_(engine, folder),
      rescue_(engine.file_system(), std::move(folder)),
      folder_instead_of_programs_(folder_instead_of_programs),
      status_(main_window.controls().主面板状态栏标签, store_),
      backups_(std::make_unique<BackupTaker>(*this)),
      idle_work_(std::make_unique<IdleWork>(*this)),
      lifecycle_(std::make_unique<Lifecycle>(*this)),
      day_view_(std::make_unique<DayView>(*this)),
      month_overview_(std::make_unique<MonthOverview>(*this)) {
  // The day's backup holds the store as it was opened.
  store_.SetBeforeChange([this] { backups_->FinishDaily(); });
}

MemoBook::~MemoBook() {
  store_.SetBeforeChange(nullptr);
  store_.engine().SetPasswordPromptHook(nullptr);
}

DateTime MemoBook::Now() { return platform().loop().LocalNow(); }

void MemoBook::EnterLockMode() {
  lifecycle_->EnterLockMode();
  month_overview_->LockCaptionsShown();
  locked_ = true;
}

bool MemoBook::UnlockProgram() {
  if (!lifecycle_->UnlockProgram()) return false;
  locked_ = false;
  return true;
}

void MemoBook::RestoreWindowSize() { lifecycle_->RestoreWindowSize(); }
bool MemoBook::SaveCurrentMemo() { return day_view_->SaveCurrentMemo(); }
std::optional<std::string> MemoBook::WriteCurrentMemo() { return day_view_->WriteCurrentMemo(); }
void MemoBook::ShowDayMemo() { day_view_->ShowMemoOf(currentDate); }
bool MemoBook::ShowMemoOf(DateTime d) { return day_view_->ShowMemoOf(d); }
void MemoBook::RebuildMonthList() { month_overview_->RebuildMonthList(); }
void MemoBook::GoToToday() { month_overview_->GoToToday(); }

}  // namespace tarnwick
