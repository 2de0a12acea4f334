// The controls the memo book's behaviour acts on, resolved once by their
// layout names into typed references. MainWindow resolves the set when it
// is built and fails then, naming the control, when a name is missing or
// of another kind; so behaviour code never looks a control up, nor tests
// one for null.
#pragma once

#include "ui/button.h"
#include "ui/calendar/cn_month_calendar_control.h"
#include "ui/check_box.h"
#include "ui/common_dlg.h"
#include "ui/edit_box.h"
#include "ui/group_box.h"
#include "ui/label.h"
#include "ui/list_box.h"
#include "ui/rich_edit.h"
#include "ui/super_btn.h"
#include "ui/timer.h"
#include "ui/window.h"

namespace tarnwick {

struct MainWindowControls {
  Window& 主窗口;
  Window& DockStrip;

  // The main column.
  CnMonthCalendarControl& 日历;
  SuperBtn& 超级按钮1;
  RichEdit& 备忘编辑框;
  SuperBtn& 编辑按钮;
  SuperBtn& 保存按钮;
  Label& 主面板状态栏标签;

  // The side panels.
  GroupBox& 备忘列表分组框;
  ListBox& 本月备忘列表框;
  EditBox& 搜索内容编辑框;
  Button& 搜索按钮;
  Label& 标签5;
  ListBox& 搜索结果列表框;
  CommonDlg& 通用对话框;
  SuperBtn& 导出以上按钮;
  SuperBtn& 导出全库按钮;
  Label& 搜索面板状态栏标签;

  // The options panel and the components.
  CheckBox& 密码设置选择框;
  Timer& 对齐时钟;
};

}  // namespace tarnwick
