#include "memo/month_overview.h"

#include <algorithm>

#include "base/text.h"

namespace tarnwick {
namespace {

std::string Number(int value) { return std::to_string(value); }

// "2011年5月03日" for days 1..9, the date text ("2011年5月13日") from 10 on.
std::string MonthListItem(DateTime date) {
  const CivilDateTime day = DecodeDateTime(date);
  if (day.day >= 10) return DateText(date);
  return Number(day.year) + Gbk("年") + Number(day.month) + Gbk("月0") + Number(day.day) + Gbk("日");
}

}  // namespace

MonthOverview::MonthOverview(MemoBook& book) : book_(book), c_(book.controls()) {
  MainWindowHandlers& h = book.main_window().handlers();
  h.RebuildMonthList = [this] { RebuildMonthList(); };
  h.MonthListSelectionChanged = [this] { JumpToSelectedDate(c_.本月备忘列表框); };
  h.MonthListGotFocus = [this] { ShowMonthCount(); };
  h.SearchResultSelectionChanged = [this] {
    JumpToSelectedDate(c_.搜索结果列表框);
    c_.本月备忘列表框.Clear();
    RebuildMonthList();
  };
  h.CalendarDayHovered = [this](const LunarDate&) { TakeFocusOnHover(); };
  h.CalendarWheelScrolled = [this](int notches, int) { WheelScrolled(notches); };
  h.GoToToday = [this] { GoToToday(); };
  h.AlignmentTick = [this] { AlignWindow(); };
}

std::vector<std::string> MonthOverview::MonthItems() {
  const GregorianDate& shown = c_.日历.calendar().selected();
  std::vector<std::string> items;
  for (DateTime date : book_.store().MemoDatesInMonth(shown.year, shown.month)) items.push_back(MonthListItem(date));
  return items;
}

void MonthOverview::RebuildMonthList() {
  ListBox& list = c_.本月备忘列表框;
  list.Clear();
  const std::vector<std::string> items = MonthItems();
  for (const std::string& item : items) list.AddItem(item);
  const GregorianDate& shown = c_.日历.calendar().selected();
  const std::string year_month = Number(shown.year) + Gbk("年") + Number(shown.month);
  if (items.empty()) list.AddItem(year_month + Gbk("月没有记录！"));
  c_.备忘列表分组框.SetCaption(year_month + Gbk("月备忘列表："));
  ShowCountLine(shown.year, shown.month, static_cast<int>(items.size()));
}

void MonthOverview::ShowMonthCount() {
  const GregorianDate& shown = c_.日历.calendar().selected();
  ShowCountLine(shown.year, shown.month, static_cast<int>(book_.store().MemoDatesInMonth(shown.year, shown.month).size()));
}

void MonthOverview::ShowCountLine(int year, int month, int days) {
  c_.搜索面板状态栏标签.SetText(Number(year) + Gbk("年") + Number(month) + Gbk("月共有") + Number(days) +
                                Gbk("天存在记录"));
}

void MonthOverview::JumpToSelectedDate(ListBox& list) {
  const DateTime date = TextToDate(list.ItemText(list.selection()));
  if (date == kEmptyDate) return;
  const CivilDateTime day = DecodeDateTime(date);
  // A date the calendar cannot show leaves the shown memo and the date a
  // save writes as they are.
  if (!c_.日历.calendar().SetDate(day.year, day.month, day.day)) return;
  if (!book_.Editing()) book_.currentDate = date;
}

// One notch away from the user shows the previous month, one toward the
// user the next, from the month shown and within its year, on the 15th.
// The year is never stepped: past January or December nothing moves.
void MonthOverview::WheelScrolled(int notches) {
  if (book_.Locked()) return;  // only the unlock acts while locked
  const GregorianDate shown = c_.日历.calendar().selected();
  const int month = std::clamp(shown.month - notches, 1, 12);
  if (notches == 0 || month == shown.month) return;
  c_.日历.calendar().SetDate(shown.year, month, 15);
}

// The calendar takes the keyboard on hover so that its keys work at once,
// but never from a text entry in use: what the user types next belongs
// there. The wheel reaches the calendar under the pointer either way.
void MonthOverview::TakeFocusOnHover() {
  const bool typing = (c_.备忘编辑框.HasFocus() && book_.Editing()) || c_.搜索内容编辑框.HasFocus();
  if (!typing) c_.日历.SetFocus();
}

void MonthOverview::GoToToday() {
  if (book_.Locked()) book_.UnlockProgram();
  const CivilDateTime today = DecodeDateTime(book_.Now());
  c_.日历.calendar().SetDate(today.year, today.month, today.day);
}

void MonthOverview::AlignWindow() {
  Window& window = c_.主窗口;
  Rect frame = window.outer_rect();
  // Only real moves are made: the tick comes five times a second.
  if (frame.top < kSnapDistance && frame.top != 0) window.SetProperty(property::kTop, 0);
  if (frame.left < kSnapDistance && frame.left != 0) {
    frame.left = 0;
    window.SetProperty(property::kLeft, 0);
  }
  const int screen_width = book_.platform().loop().ScreenSize().width;
  if (frame.left > screen_width - frame.width) window.SetProperty(property::kLeft, screen_width - frame.width);
  if (frame.height > MainWindow::kLockedHeightLimit && !normal_captions_shown_) {
    c_.超级按钮1.SetCaption(Gbk(MainWindow::kGoToTodayCaption));
    window.SetCaption(Gbk(MainWindow::kUnlockedCaption));
    normal_captions_shown_ = true;
  }
}

}  // namespace tarnwick
