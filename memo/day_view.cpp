#include "memo/day_view.h"

#include "base/text.h"
#include "memo/backup_taker.h"
#include "memo/failure_cause.h"
#include "ui/message_box.h"

namespace tarnwick {

const std::string& NoMemoHint() {
  static const std::string hint = Gbk("此日期目前暂没有备忘事件，可以点击<编辑>按钮开始加入新的备忘");
  return hint;
}

DayView::DayView(MemoBook& book) : book_(book), c_(book.controls()) {
  MainWindowHandlers& h = book.main_window().handlers();
  h.CalendarDayClicked = [this] { DayClicked(); };
  h.CalendarDateChanged = [this] { DateChanged(); };
  h.EditClicked = [this] { Edit(); };
  h.SaveClicked = [this] { SaveCurrentMemo(); };
  h.ClearAllRecords = [this](int, int, int) { ClearAllRecords(); };
  h.SidePanelsToggling = [this] { book_.status().ShowDatabaseCount(); };
}

void DayView::DayClicked() {
  book_.RebuildMonthList();
  if (book_.Editing()) {
    book_.status().ShowUnsavedWarning();
    return;
  }
  LoadCalendarDate();
}

void DayView::DateChanged() {
  // A jump from the month list keeps the list, and its selection, as it is.
  if (!c_.本月备忘列表框.HasFocus()) book_.RebuildMonthList();
  if (book_.Editing()) {
    book_.status().ShowNotSavedYet();
    return;
  }
  LoadCalendarDate();
}

void DayView::LoadCalendarDate() {
  book_.status().ShowDatabaseCount();
  book_.currentDate = c_.日历.calendar().SelectedDate();
  ShowMemoOf(book_.currentDate);
}

bool DayView::ShowMemoOf(DateTime d) {
  MemoStore& store = book_.store();
  const bool found = store.FindMemoRecord(d);
  c_.备忘编辑框.SetContent(found ? store.ReadMemoText() : NoMemoHint());
  return found;
}

// The store opened read-only: saying so now, rather than after the typing,
// at the failed save.
bool DayView::RefusedAsReadOnly() {
  if (!book_.store().ReadOnly()) return false;
  ShowMessage(book_.platform(), Gbk("数据文件夹不能写入，备忘只能查看、搜索和导出，不能修改：\r\n") + book_.store().folder());
  return true;
}

void DayView::Edit() {
  if (RefusedAsReadOnly()) return;
  if (c_.备忘编辑框.content() == NoMemoHint()) c_.备忘编辑框.SetContent("");
  SetEditing(true);
  c_.备忘编辑框.SetFocus();
  book_.status().ShowEditing();
}

void DayView::SetEditing(bool editing) {
  book_.editing_ = editing;
  ++book_.editing_changes_;
  c_.备忘编辑框.SetReadOnly(!editing);
  c_.保存按钮.SetDisabled(!editing);
  c_.编辑按钮.SetDisabled(editing);
}

bool DayView::SaveCurrentMemo() {
  const std::optional<std::string> failure = WriteCurrentMemo();
  if (failure) ShowMessage(book_.platform(), *failure);
  return !failure;
}

std::optional<std::string> DayView::WriteCurrentMemo() {
  MemoStore& store = book_.store();
  const std::string text = c_.备忘编辑框.content();
  const auto failed = [&](const char* what) {
    const int code = LastErrorCode();
    return SaveFailedText(Gbk(what), CauseOf(code, store.DatabaseFileExists()), code);
  };
  if (store.FindMemoRecord(book_.currentDate)) {
    if (!store.WriteMemoText(text)) return failed("保存当前编辑信息失败");
    book_.status().ShowSaved();
    SetEditing(false);
    return std::nullopt;
  }
  if (!store.AppendMemo(book_.currentDate, text)) return failed("增加记录失败");
  SetEditing(false);
  book_.status().ShowSaved();
  book_.RebuildMonthList();
  return std::nullopt;
}

void DayView::ClearAllRecords() {
  if (RefusedAsReadOnly()) return;
  // No is the default: a stray Return after a double click keeps the memos.
  if (AskYesNoDefaultNo(book_.platform(), Gbk("真的清空所有记录？"), Gbk("清空数据库：")) != MessageResult::kYes ||
      !book_.backups().BeforeChange(BackupReason::kClearAll)) {
    return;
  }
  if (!book_.store().ClearAllMemos()) {
    // The memos are still there: the editor keeps what it shows, and the
    // count below says how many remain.
    ShowMessage(book_.platform(), Gbk("清空数据库失败，请检查数据库文件是否存在。"), Gbk("清空数据库："));
    book_.status().ShowDatabaseCount();
    return;
  }
  // What is being typed stays, and Save writes it as a new memo: the hint
  // in a writable editor would be saved as the user's memo.
  if (!book_.Editing()) c_.备忘编辑框.SetContent(NoMemoHint());
  book_.status().ShowDatabaseCount();
}

}  // namespace tarnwick
