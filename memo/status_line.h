// The main status line (主面板状态栏标签): every text the memo book shows
// there, each with the background it goes with. Texts with a record count
// read the count from the store each time they are written, so the count is
// up to date after every append or clearing.
#pragma once

#include <string>
#include <string_view>

#include "memo/memo_store.h"
#include "ui/label.h"

namespace tarnwick {

inline constexpr Color kTeal = Rgb(0, 128, 128);  // the normal state
inline constexpr Color kYellow = Rgb(255, 255, 0);  // a warning
inline constexpr Color kSilver = Rgb(192, 192, 192);
inline constexpr Color kBlack = Rgb(0, 0, 0);

class StatusLine {
 public:
  StatusLine(Label& label, MemoStore& store) : label_(label), store_(store) {}

  // prefix (UTF-8) + the record count + "条记录", in GBK.
  std::string CountText(std::string_view prefix);

  // "选择某个日期并查看当日备忘|当前数据库内共有N条记录" on teal.
  void ShowDatabaseCount();
  // "选择某个日期并查看当日备忘|当前有N条记录"; the background stays.
  void ShowCurrentCount();
  // "选择日期或编辑当日备忘|当前有N条记录" on teal.
  void ShowReturnCount();
  // Editing began, on teal.
  void ShowEditing();
  // A save succeeded, on teal.
  void ShowSaved();
  // A day was clicked while editing, on yellow.
  void ShowUnsavedWarning();
  // The calendar moved by other means while editing; the background stays.
  void ShowNotSavedYet();
  // Today's backup could not be taken, on yellow.
  void ShowDailyBackupFailed();

  void SetBackground(Color color) { label_.SetBackground(color); }
  void SetTextColor(Color color) { label_.SetTextColor(color); }

 private:
  void Show(std::string text, Color background);

  Label& label_;
  MemoStore& store_;
};

}  // namespace tarnwick
