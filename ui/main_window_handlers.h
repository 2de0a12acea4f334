// The named entry points behind the main window's event bindings. The memo
// book's behaviour (start-up, day view, month list, search, export, password
// settings, the editor's menu) fills them in; the window calls each from the
// event named in the binding table (main_window_layout.h), on the
// user-interface thread.
//
// Every slot is filled exactly once: filling one a second time throws
// std::logic_error naming it, and CheckAllFilled names a slot that nothing
// filled, so a part that forgets its handler, or two parts that claim the
// same one, fail at start-up instead of leaving a dead or a hijacked control.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "ui/calendar/lunar_calendar.h"

namespace tarnwick {

class HandlerSlotBase {
 public:
  const char* name() const { return name_; }
  virtual bool filled() const = 0;

 protected:
  HandlerSlotBase(std::vector<const HandlerSlotBase*>& every_slot, const char* name) : name_(name) {
    every_slot.push_back(this);
  }
  ~HandlerSlotBase() = default;
  [[noreturn]] void FilledTwice() const;
  [[noreturn]] void FilledWithNothing() const;

 private:
  const char* name_;
};

template <class Signature>
class HandlerSlot;

template <class Result, class... Args>
class HandlerSlot<Result(Args...)> final : public HandlerSlotBase {
 public:
  HandlerSlot(std::vector<const HandlerSlotBase*>& every_slot, const char* name)
      : HandlerSlotBase(every_slot, name) {}
  HandlerSlot(const HandlerSlot&) = delete;

  HandlerSlot& operator=(std::function<Result(Args...)> function) {
    if (function_) FilledTwice();
    if (!function) FilledWithNothing();
    function_ = std::move(function);
    return *this;
  }
  bool filled() const override { return static_cast<bool>(function_); }
  explicit operator bool() const { return filled(); }
  Result operator()(Args... args) const { return function_(std::forward<Args>(args)...); }

 private:
  std::function<Result(Args...)> function_;
};

class MainWindowHandlers {
  // Before the slots: each slot enters itself here as it is built.
  std::vector<const HandlerSlotBase*> every_slot_;

 public:
  MainWindowHandlers() = default;
  MainWindowHandlers(const MainWindowHandlers&) = delete;
  MainWindowHandlers& operator=(const MainWindowHandlers&) = delete;

  // Throws std::logic_error naming the first slot nothing filled.
  void CheckAllFilled() const;

  // Main window: created (once, after every control exists), query close
  // (false keeps the window open; empty means true), deactivated (whether
  // the activation left the program rather than going to one of its own
  // windows).
  HandlerSlot<void()> StartUp{every_slot_, "StartUp"};
  HandlerSlot<bool()> QueryShutDown{every_slot_, "QueryShutDown"};
  HandlerSlot<void(bool to_other_program)> HideIntoDockStrip{every_slot_, "HideIntoDockStrip"};
  // DockStrip: left button pressed at (x, y) with the key state.
  HandlerSlot<void(int x, int y, int key_state)> ComeBackFromDockStrip{every_slot_, "ComeBackFromDockStrip"};

  // 日历
  HandlerSlot<void()> CalendarDayClicked{every_slot_, "CalendarDayClicked"};
  HandlerSlot<void(const LunarDate& day)> CalendarDayHovered{every_slot_, "CalendarDayHovered"};
  HandlerSlot<void()> CalendarDateChanged{every_slot_, "CalendarDateChanged"};
  HandlerSlot<void(int notches, int key_state)> CalendarWheelScrolled{every_slot_, "CalendarWheelScrolled"};

  HandlerSlot<void()> GoToToday{every_slot_, "GoToToday"};  // 超级按钮1
  // 备忘编辑框, right button pressed: false suppresses the editor's own
  // right-click handling.
  HandlerSlot<bool(int x, int y, int key_state)> EditorRightButtonPressed{every_slot_, "EditorRightButtonPressed"};
  // 备忘编辑框, a key pressed: false eats the key.
  HandlerSlot<bool(int key_code, int key_state)> EditorKeyPressed{every_slot_, "EditorKeyPressed"};
  HandlerSlot<void()> EditClicked{every_slot_, "EditClicked"};  // 编辑按钮
  HandlerSlot<void()> SaveClicked{every_slot_, "SaveClicked"};  // 保存按钮
  // 主面板状态栏标签, double-clicked.
  HandlerSlot<void(int x, int y, int key_state)> ClearAllRecords{every_slot_, "ClearAllRecords"};
  HandlerSlot<void()> MonthListSelectionChanged{every_slot_, "MonthListSelectionChanged"};  // 本月备忘列表框
  HandlerSlot<void()> MonthListGotFocus{every_slot_, "MonthListGotFocus"};
  // 搜索内容编辑框, a key pressed: false eats the key and its character.
  HandlerSlot<bool(int key_code, int key_state)> KeywordKeyPressed{every_slot_, "KeywordKeyPressed"};
  HandlerSlot<void()> SearchClicked{every_slot_, "SearchClicked"};  // 搜索按钮
  HandlerSlot<void()> SearchResultSelectionChanged{every_slot_, "SearchResultSelectionChanged"};  // 搜索结果列表框
  HandlerSlot<void()> SearchResultGotFocus{every_slot_, "SearchResultGotFocus"};
  HandlerSlot<void()> ExportListedClicked{every_slot_, "ExportListedClicked"};  // 导出以上按钮
  HandlerSlot<void()> ExportAllClicked{every_slot_, "ExportAllClicked"};        // 导出全库按钮
  HandlerSlot<void()> AlignmentTick{every_slot_, "AlignmentTick"};              // 对齐时钟
  HandlerSlot<void()> PasswordCheckBoxClicked{every_slot_, "PasswordCheckBoxClicked"};  // 密码设置选择框
  // The popup menu's items.
  HandlerSlot<void()> MenuCopy{every_slot_, "MenuCopy"};
  HandlerSlot<void()> MenuPaste{every_slot_, "MenuPaste"};
  HandlerSlot<void()> MenuCut{every_slot_, "MenuCut"};
  HandlerSlot<void()> MenuDelete{every_slot_, "MenuDelete"};
  HandlerSlot<void()> MenuSelectAll{every_slot_, "MenuSelectAll"};

  // The side panel toggle (搜索面板按钮) calls SidePanelsToggling before it
  // changes the width, and RebuildMonthList after emptying the month list
  // when it opens the panels.
  HandlerSlot<void()> SidePanelsToggling{every_slot_, "SidePanelsToggling"};
  HandlerSlot<void()> RebuildMonthList{every_slot_, "RebuildMonthList"};
};

}  // namespace tarnwick
