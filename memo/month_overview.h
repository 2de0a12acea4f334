// The month overview and the navigation around the calendar: the month
// list of the days that hold memos with its caption and count line, the
// jumps from the month list and the search results, the wheel month step,
// go to today, and the 200 ms alignment that keeps the window on screen and
// restores the captions after an unlock.
#pragma once

#include <string>
#include <vector>

#include "memo/memo_book.h"

namespace tarnwick {

class MonthOverview {
 public:
  static constexpr int kSnapDistance = 50;

  explicit MonthOverview(MemoBook& book);

  // Refills the month list for the calendar's month, with its caption and
  // count line.
  void RebuildMonthList();
  void GoToToday();
  // The window took its locked captions: the alignment gives the normal
  // ones back once it is unlocked at full height.
  void LockCaptionsShown() { normal_captions_shown_ = false; }

 private:
  // The month list's items for the calendar's month, in record order.
  std::vector<std::string> MonthItems();
  void ShowMonthCount();
  void ShowCountLine(int year, int month, int days);
  // Moves the calendar to the date an item of list names; false when the
  // item is no date.
  void JumpToSelectedDate(ListBox& list);
  void WheelScrolled(int notches);
  void TakeFocusOnHover();
  void AlignWindow();

  MemoBook& book_;
  const MainWindowControls& c_;
  bool normal_captions_shown_ = false;
};

}  // namespace tarnwick
