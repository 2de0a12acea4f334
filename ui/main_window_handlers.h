// The named entry points behind the main window's event bindings. The memo
// book's behaviour (start-up, day view, month list, search, export, password
// settings, the editor's menu) fills them in; an entry point left empty makes
// its binding do nothing. The window calls each from the event named in the
// binding table (main_window_layout.h), on the user-interface thread.
#pragma once

#include <functional>

#include "ui/calendar/lunar_calendar.h"

namespace tarnwick {

struct MainWindowHandlers {
  // Main window: created (once, after every control exists), query close
  // (false keeps the window open; empty means true), deactivated (whether
  // the activation left the program rather than going to one of its own
  // windows).
  std::function<void()> StartUp;
  std::function<bool()> QueryShutDown;
  std::function<void(bool to_other_program)> HideIntoDockStrip;
  // DockStrip: left button pressed at (x, y) with the key state.
  std::function<void(int x, int y, int key_state)> ComeBackFromDockStrip;

  // 日历
  std::function<void()> CalendarDayClicked;
  std::function<void(const LunarDate& day)> CalendarDayHovered;
  std::function<void()> CalendarDateChanged;
  std::function<void(int notches, int key_state)> CalendarWheelScrolled;

  std::function<void()> GoToToday;  // 超级按钮1
  // 备忘编辑框, right button pressed: false suppresses the editor's own
  // right-click handling.
  std::function<bool(int x, int y, int key_state)> EditorRightButtonPressed;
  std::function<void()> EditClicked;  // 编辑按钮
  std::function<void()> SaveClicked;  // 保存按钮
  // 主面板状态栏标签, double-clicked.
  std::function<void(int x, int y, int key_state)> ClearAllRecords;
  std::function<void()> MonthListSelectionChanged;  // 本月备忘列表框
  std::function<void()> MonthListGotFocus;
  std::function<void()> SearchClicked;  // 搜索按钮
  std::function<void()> SearchResultSelectionChanged;  // 搜索结果列表框
  std::function<void()> SearchResultGotFocus;
  std::function<void()> ExportListedClicked;  // 导出以上按钮
  std::function<void()> ExportAllClicked;     // 导出全库按钮
  std::function<void()> AlignmentTick;        // 对齐时钟
  std::function<void()> PasswordCheckBoxClicked;  // 密码设置选择框
  // The popup menu's items.
  std::function<void()> MenuCopy;
  std::function<void()> MenuPaste;
  std::function<void()> MenuCut;
  std::function<void()> MenuDelete;
  std::function<void()> MenuSelectAll;

  // The side panel toggle (搜索面板按钮) calls SidePanelsToggling before it
  // changes the width, and RebuildMonthList after emptying the month list
  // when it opens the panels.
  std::function<void()> SidePanelsToggling;
  std::function<void()> RebuildMonthList;
};

}  // namespace tarnwick
