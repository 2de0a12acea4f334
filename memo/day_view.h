// The day view: the memo of one date in 备忘编辑框, the Viewing and Editing
// modes switched by 编辑按钮 and 保存按钮, the guard that keeps an unsaved
// memo when another date is picked, and clearing the whole store from the
// status line. Binds the calendar's DayClicked and DateChanged, the two
// buttons, the status line's double click and the side panel toggle's
// status text.
#pragma once

#include <optional>
#include <string>

#include "memo/memo_book.h"

namespace tarnwick {

// What the editor shows for a date without a memo (GBK); recognised by the
// editor's whole text being exactly this.
const std::string& NoMemoHint();

class DayView {
 public:
  explicit DayView(MemoBook& book);

  // The memo of d, or the hint, in the editor; the mode stays. Answers
  // whether d has a memo.
  bool ShowMemoOf(DateTime d);
  // Writes the editor's text as currentDate's memo and returns to Viewing;
  // on failure says so, stays in Editing with the text kept and returns false.
  bool SaveCurrentMemo();
  // The same without a message box: nullopt when saved, else the message
  // that names the cause (GBK).
  std::optional<std::string> WriteCurrentMemo();

 private:
  void DayClicked();
  void DateChanged();
  // Viewing: the calendar's date becomes currentDate and its memo is shown.
  void LoadCalendarDate();
  void Edit();
  void ClearAllRecords();
  // Says so and answers true when the store may only be read.
  bool RefusedAsReadOnly();
  void SetEditing(bool editing);

  MemoBook& book_;
  const MainWindowControls& c_;
};

}  // namespace tarnwick
