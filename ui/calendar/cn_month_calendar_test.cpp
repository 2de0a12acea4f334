#include "ui/calendar/cn_month_calendar.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/text.h"
#include "platform/headless/headless_platform.h"

namespace tarnwick {
namespace {

// Records the calendar's events as short texts, in arrival order.
class RecordingOwner : public CnMonthCalendarOwner {
 public:
  void DayClicked() override { events.push_back("DayClicked"); }
  void DayHovered(const LunarDate& day) override { events.push_back("DayHovered " + Text(day)); }
  void DateChanged() override { events.push_back("DateChanged"); }
  void DayRightClicked(const LunarDate& day) override { events.push_back("DayRightClicked " + Text(day)); }

  static std::string Text(const LunarDate& day) {
    return std::to_string(day.year) + "-" + std::to_string(day.month) + "-" + std::to_string(day.day) +
           (day.leap ? " leap" : "");
  }
  std::vector<std::string> events;
};

// The cell of a day of May 2011 (1 May is a Sunday, so the grid starts on
// Monday 25 April).
int MayCell(int day) { return 6 + day - 1; }

class CnMonthCalendarTest : public ::testing::Test {
 protected:
  CnMonthCalendarTest() {
    platform_.headless_loop().SetLocalNow(EncodeDate(2013, 7, 9) + 0.5);
    WindowStyle style;
    window_ = platform_.windows().CreateTopLevelWindow(style, {0, 0, 371, 596}, "", window_listener_);
    window_->Show();
  }

  void Create(std::optional<GregorianDate> initial = GregorianDate{2011, 5, 17},
              int display_mode = kGregorianMonthView) {
    CnMonthCalendar::Options options;
    options.display_mode = display_mode;
    options.initial_date = initial;
    calendar_ = std::make_unique<CnMonthCalendar>(platform_, *window_, Point{0, 0}, owner_, options);
  }

  HeadlessWindow& window() { return static_cast<HeadlessWindow&>(*window_); }
  HeadlessWindowSystem& windows() { return platform_.headless_windows(); }
  HeadlessSurface& surface() { return static_cast<HeadlessSurface&>(calendar_->surface()); }
  HeadlessDropDownList& year_list() { return static_cast<HeadlessDropDownList&>(*calendar_->year_list()); }
  HeadlessDropDownList& month_list() { return static_cast<HeadlessDropDownList&>(*calendar_->month_list()); }

  Point CellCentre(int index) {
    Rect cell = calendar_->CellRect(index);
    return {cell.left + cell.width / 2, cell.top + cell.height / 2};
  }
  // All pending events delivered; answers and forgets what the owner got.
  std::vector<std::string> Drain() {
    platform_.loop().ProcessPendingEvents();
    std::vector<std::string> events = std::move(owner_.events);
    owner_.events.clear();
    return events;
  }
  // As the user picks an entry of a drop-down list.
  void Choose(HeadlessDropDownList& list, int index) {
    list.SetSelection(index);
    list.listener()->OnSelectionChanged();
    platform_.loop().ProcessPendingEvents();
  }
  std::string Selected() {
    const GregorianDate& d = calendar_->selected();
    return std::to_string(d.year) + "-" + std::to_string(d.month) + "-" + std::to_string(d.day);
  }

  HeadlessPlatform platform_;
  WindowListener window_listener_;
  std::unique_ptr<NativeWindow> window_;
  RecordingOwner owner_;
  std::unique_ptr<CnMonthCalendar> calendar_;
};

TEST_F(CnMonthCalendarTest, CreationSelectsTodayThenTheInitialDateWithOneNotification) {
  Create(std::nullopt);
  EXPECT_EQ(Selected(), "2013-7-9");
  EXPECT_TRUE(Drain().empty());

  calendar_.reset();
  Create(GregorianDate{2011, 5, 17});
  EXPECT_EQ(Selected(), "2011-5-17");
  EXPECT_TRUE(owner_.events.empty()) << "notifications are posted, not raised during creation";
  EXPECT_EQ(Drain(), std::vector<std::string>{"DateChanged"});
  EXPECT_EQ(calendar_->size(), (Size{365, 262}));
}

TEST_F(CnMonthCalendarTest, SetDateRefusesImpossibleAndOutOfRangeDatesSilently) {
  Create();
  Drain();
  for (auto [y, m, d] : {std::tuple{2011, 2, 29}, {1901, 2, 18}, {2049, 1, 1}, {2011, 13, 1}, {2011, 0, 5},
                         {2011, 5, 0}, {2011, 4, 31}}) {
    EXPECT_FALSE(calendar_->SetDate(y, m, d)) << y << "-" << m << "-" << d;
  }
  EXPECT_EQ(Selected(), "2011-5-17");
  EXPECT_TRUE(Drain().empty());

  EXPECT_TRUE(calendar_->SetDate(2012, 2, 29));
  EXPECT_TRUE(calendar_->SetDate(1901, 2, 19));
  EXPECT_EQ(calendar_->LunarYear(), 1901);
  EXPECT_EQ(calendar_->LunarMonth(), 1);
  EXPECT_EQ(calendar_->LunarDay(), 1);
  EXPECT_TRUE(calendar_->SetDate(2048, 12, 31));
  EXPECT_EQ(Drain(), (std::vector<std::string>{"DateChanged", "DateChanged", "DateChanged"}));
}

TEST_F(CnMonthCalendarTest, SelectingTheSameDateAgainStillNotifies) {
  Create();
  Drain();
  EXPECT_TRUE(calendar_->SetDate(2011, 5, 17));
  EXPECT_TRUE(calendar_->SetDate(2011, 5, 17));
  EXPECT_EQ(Drain(), (std::vector<std::string>{"DateChanged", "DateChanged"}));
}

TEST_F(CnMonthCalendarTest, SelectedDateReadsWithTheLastSecondAndWritesOnlyInRange) {
  Create();
  CivilDateTime read = DecodeDateTime(calendar_->SelectedDate());
  EXPECT_EQ(read.year, 2011);
  EXPECT_EQ(read.month, 5);
  EXPECT_EQ(read.day, 17);
  EXPECT_EQ(read.hour, 23);
  EXPECT_EQ(read.minute, 59);
  EXPECT_EQ(read.second, 59);
  Drain();

  EXPECT_TRUE(calendar_->SetSelectedDate(EncodeDate(2012, 5, 21) + 0.25));
  EXPECT_EQ(Selected(), "2012-5-21");
  EXPECT_TRUE(calendar_->LeapMonth());
  EXPECT_EQ(calendar_->LunarMonthName(), Gbk("闰四月"));
  EXPECT_FALSE(calendar_->SetSelectedDate(EncodeDate(2050, 1, 1)));
  EXPECT_FALSE(calendar_->SetSelectedDate(EncodeDate(1900, 6, 1)));
  EXPECT_FALSE(calendar_->SetSelectedDate(EncodeDate(1901, 1, 1)));  // before lunar 1901
  EXPECT_EQ(Selected(), "2012-5-21");
  EXPECT_EQ(Drain(), std::vector<std::string>{"DateChanged"});
}

TEST_F(CnMonthCalendarTest, ReadOnlyPropertiesDescribeTheSelectedDay) {
  Create(GregorianDate{2011, 2, 3});
  EXPECT_EQ(calendar_->YearName(), Gbk("庚寅"));
  EXPECT_EQ(calendar_->ZodiacAnimal(), Gbk("虎"));
  calendar_->SetDate(2011, 2, 4);
  EXPECT_EQ(calendar_->YearName(), Gbk("辛卯"));
  EXPECT_EQ(calendar_->ZodiacAnimal(), Gbk("兔"));
  EXPECT_EQ(calendar_->SolarTermName(), Gbk("立春"));
  EXPECT_EQ(calendar_->Weekday(), 5);  // a Friday
  calendar_->SetDate(2011, 5, 17);
  EXPECT_EQ(calendar_->LunarDayName(), Gbk("十五"));
  EXPECT_EQ(calendar_->SolarTermName(), "");
  EXPECT_EQ(calendar_->DaysInLunarYear(), 354);
  calendar_->SetDate(2012, 5, 21);  // leap fourth month of 2012: 29 days
  EXPECT_EQ(calendar_->DaysInLunarMonth(), 29);
  EXPECT_EQ(calendar_->DaysInLunarYear(), 384);
}

TEST_F(CnMonthCalendarTest, LunarWritesSelectWithNotificationOrAreIgnored) {
  Create(GregorianDate{2012, 4, 21});  // lunar 2012 fourth month, day 1
  Drain();
  EXPECT_TRUE(calendar_->SetLeapMonth(true));
  EXPECT_EQ(Selected(), "2012-5-21");
  EXPECT_TRUE(calendar_->SetLunarDay(15));
  EXPECT_EQ(Selected(), "2012-6-4");
  EXPECT_FALSE(calendar_->SetLunarDay(30)) << "the leap fourth month of 2012 has 29 days";
  EXPECT_EQ(Selected(), "2012-6-4");
  EXPECT_TRUE(calendar_->SetLunarMonth(8));
  EXPECT_FALSE(calendar_->LeapMonth());
  EXPECT_EQ(Selected(), "2012-9-30");  // 中秋 2012
  EXPECT_TRUE(calendar_->SetLunarYear(2011));
  EXPECT_EQ(Selected(), "2011-9-12");  // 中秋 2011
  EXPECT_EQ(Drain(), (std::vector<std::string>{"DateChanged", "DateChanged", "DateChanged", "DateChanged"}));
}

TEST_F(CnMonthCalendarTest, DayClickGivesDateChangedThenDayClicked) {
  Create();
  Drain();
  windows().Click(window(), CellCentre(MayCell(3)));
  EXPECT_EQ(Selected(), "2011-5-3");
  // The pointer's arrival on the day is reported first.
  EXPECT_EQ(Drain(), (std::vector<std::string>{"DayHovered 2011-4-1", "DateChanged", "DayClicked"}));
}

TEST_F(CnMonthCalendarTest, PointerOverDaysOfTheShownMonthOnly) {
  Create();
  Drain();
  windows().MoveMouse(window(), CellCentre(MayCell(17)));
  EXPECT_EQ(Drain(), std::vector<std::string>{"DayHovered 2011-4-15"});
  EXPECT_EQ(calendar_->hovered_cell(), MayCell(17));
  EXPECT_EQ(calendar_->footer_right_text(), Gbk("辛卯年(兔)四月十五 2011-5-17"));
  // Moving within the same cell raises nothing more.
  windows().MoveMouse(window(), {CellCentre(MayCell(17)).x + 3, CellCentre(MayCell(17)).y});
  EXPECT_TRUE(Drain().empty());

  // A day of April: highlight and description go, nothing is raised.
  windows().MoveMouse(window(), CellCentre(0));
  EXPECT_TRUE(Drain().empty());
  EXPECT_EQ(calendar_->hovered_cell(), -1);
  EXPECT_EQ(calendar_->footer_right_text(), "");

  // Clicks on other months' days do nothing.
  windows().Click(window(), CellCentre(0));
  windows().Click(window(), CellCentre(0), MouseButton::kRight);
  EXPECT_TRUE(Drain().empty());
  EXPECT_EQ(Selected(), "2011-5-17");

  windows().MoveMouse(window(), CellCentre(MayCell(21)));
  Drain();
  windows().MoveMouseAway();
  EXPECT_EQ(calendar_->hovered_cell(), -1);
  EXPECT_EQ(calendar_->footer_right_text(), "");
}

TEST_F(CnMonthCalendarTest, KeysMoveTheSelectionAndTurnThePage) {
  Create(GregorianDate{2011, 5, 31});
  Drain();
  EXPECT_EQ(calendar_->KeyboardCell(), -1) << "no focus rectangle without the focus";
  surface().SetFocus();
  EXPECT_EQ(calendar_->KeyboardCell(), MayCell(31));
  auto press = [&](int key) {
    windows().PressKey(key, 0);
    return Selected();
  };
  EXPECT_EQ(press(keys::kRight), "2011-6-1");
  EXPECT_EQ(Drain(), std::vector<std::string>{"DateChanged"}) << "a move is a date change, not a click";
  EXPECT_EQ(press(keys::kLeft), "2011-5-31");
  EXPECT_EQ(press(keys::kUp), "2011-5-24");
  EXPECT_EQ(press(keys::kDown), "2011-5-31");
  EXPECT_EQ(press(keys::kPageDown), "2011-6-30") << "June has no 31st";
  EXPECT_EQ(press(keys::kPageUp), "2011-5-30");
  EXPECT_EQ(press(keys::kHome), "2011-5-1");
  EXPECT_EQ(press(keys::kEnd), "2011-5-31");
  EXPECT_EQ(calendar_->KeyboardCell(), MayCell(31));
  windows().PressKey(keys::kLeft, kKeyStateCtrl);
  EXPECT_EQ(Selected(), "2011-5-31") << "Ctrl+arrow is not a move";

  // Nothing before the first day the calendar shows.
  calendar_->SetDate(1901, 2, 19);
  EXPECT_EQ(press(keys::kLeft), "1901-2-19");
}

TEST_F(CnMonthCalendarTest, ScreenReadersHearTheShownMonthsDaysWithTheSelectedOneFocused) {
  Create(GregorianDate{2026, 12, 10});
  const AccessibleDescription& told = surface().accessible();
  EXPECT_EQ(told.role, AccessibleRole::kTable);
  EXPECT_EQ(GbkToUtf8(told.name), "2026年12月");
  ASSERT_EQ(told.parts.size(), 31u);
  EXPECT_EQ(told.focused_part, 9);
  EXPECT_EQ(GbkToUtf8(told.parts[9].name), "2026年12月10日 星期四 农历冬月初二");
  EXPECT_EQ(GbkToUtf8(told.parts[21].name), "2026年12月22日 星期二 农历冬月十四 冬至");
  EXPECT_EQ(told.parts[0].rect, calendar_->CellRect(calendar_->grid().CellIndexOf({2026, 12, 1})));
  surface().SetFocus();
  windows().PressKey(keys::kRight);
  EXPECT_EQ(surface().accessible().focused_part, 10);
}

TEST_F(CnMonthCalendarTest, RightClickReportsTheLunarDateWithoutSelecting) {
  Create(GregorianDate{2012, 5, 1});
  Drain();
  int cell = calendar_->grid().CellIndexOf({2012, 5, 21});
  ASSERT_GE(cell, 0);
  windows().MoveMouse(window(), CellCentre(cell));
  Drain();
  windows().ReleaseMouse(window(), CellCentre(cell), MouseButton::kRight);
  EXPECT_EQ(Drain(), std::vector<std::string>{"DayRightClicked 2012-4-1 leap"});
  EXPECT_EQ(Selected(), "2012-5-1");
}

TEST_F(CnMonthCalendarTest, NoNotificationReachesTheOwnerAfterTheWidgetIsGone) {
  Create();
  calendar_->SetDate(2011, 6, 1);
  calendar_.reset();
  EXPECT_TRUE(Drain().empty());
}

TEST_F(CnMonthCalendarTest, DrawingUsesTheStatedColoursAndTexts) {
  Create();
  windows().PaintInvalidSurfaces();
  HeadlessSurface& s = surface();
  Point shown = CellCentre(MayCell(17));
  Point other = CellCentre(0);
  EXPECT_EQ(s.PixelAt(shown.x, shown.y), RgbHex(0xFFFAC2));
  EXPECT_EQ(s.PixelAt(other.x, other.y), RgbHex(0xD3D9D6));
  // Lines between cells, header and footer backgrounds.
  EXPECT_EQ(s.PixelAt(52, shown.y), RgbHex(0x0000FF));
  EXPECT_EQ(s.PixelAt(0, shown.y), RgbHex(0x0000FF));
  EXPECT_EQ(s.PixelAt(364, shown.y), RgbHex(0x0000FF));
  EXPECT_EQ(s.PixelAt(shown.x, 30 + 20 + 32), RgbHex(0x0000FF));
  EXPECT_EQ(s.PixelAt(200, 40), RgbHex(0x296DB5));
  EXPECT_EQ(s.PixelAt(200, 250), RgbHex(0x296DB5));

  std::vector<DrawOp> texts;
  for (const DrawOp& op : s.last_paint_ops()) {
    if (op.kind == DrawOp::Kind::kText) texts.push_back(op);
  }
  auto find = [&](const std::string& text) -> const DrawOp* {
    for (const DrawOp& op : texts) {
      if (op.text == text) return &op;
    }
    return nullptr;
  };
  ASSERT_NE(find(Gbk("星期一")), nullptr);
  EXPECT_EQ(find(Gbk("星期一"))->color, RgbHex(0xFFFFFF));
  EXPECT_EQ(find(Gbk("星期六"))->color, RgbHex(0x02FDE5));
  EXPECT_EQ(find(Gbk("星期日"))->color, RgbHex(0x02FDE5));
  // The 1st of a month shows month.day, lunar day 1 the month's name.
  const DrawOp* first_of_may = find("5.1");
  ASSERT_NE(first_of_may, nullptr);
  EXPECT_EQ(first_of_may->color, RgbHex(0x000000));
  EXPECT_EQ(first_of_may->rect.top, calendar_->CellRect(MayCell(1)).top + 3);
  const DrawOp* fourth_month = find(Gbk("四月"));  // 2011-05-03 is lunar 4-1
  ASSERT_NE(fourth_month, nullptr);
  EXPECT_EQ(fourth_month->color, RgbHex(0xFF0000));
  EXPECT_TRUE(fourth_month->flags & text_flags::kSingleLine);
  EXPECT_EQ(fourth_month->rect.left, calendar_->CellRect(MayCell(3)).left + 1);
  // The footer names the month's solar terms, left, white, 5 pixels in.
  const DrawOp* footer = find(Gbk("初四立夏  十九小满"));
  ASSERT_NE(footer, nullptr);
  EXPECT_EQ(footer->color, RgbHex(0xFFFFFF));
  EXPECT_EQ(footer->rect.left, 5);
  EXPECT_EQ(footer->flags & 3, text_flags::kLeft);
}

TEST_F(CnMonthCalendarTest, HoverRedrawsTheTwoCellsAndTheFooterOnly) {
  Create();
  windows().PaintInvalidSurfaces();
  windows().MoveMouse(window(), CellCentre(MayCell(30)));  // bottom row
  HeadlessSurface& s = surface();
  Point hovered = CellCentre(MayCell(30));
  EXPECT_EQ(s.PixelAt(hovered.x, hovered.y), RgbHex(0x0000FF));
  windows().MoveMouse(window(), CellCentre(MayCell(31)));
  EXPECT_EQ(s.PixelAt(hovered.x, hovered.y), RgbHex(0xFFFAC2));
  Point now = CellCentre(MayCell(31));
  EXPECT_EQ(s.PixelAt(now.x, now.y), RgbHex(0x0000FF));
  // Only the bottom row and the footer were repainted.
  EXPECT_EQ(s.last_dirty().top, calendar_->CellRect(MayCell(30)).top);
  EXPECT_EQ(s.last_dirty().bottom(), 262);

  std::vector<DrawOp> hovered_texts;
  Rect cell = calendar_->CellRect(MayCell(31));
  for (const DrawOp& op : s.last_paint_ops()) {
    if (op.kind == DrawOp::Kind::kText && cell.Contains({op.rect.left, op.rect.top})) hovered_texts.push_back(op);
  }
  // Drawn once in the picture (normal colours) and once over it (hover).
  ASSERT_EQ(hovered_texts.size(), 4u);
  EXPECT_EQ(hovered_texts[2].text, Gbk("廿九"));
  EXPECT_EQ(hovered_texts[2].color, RgbHex(0x00FFFF));
  EXPECT_EQ(hovered_texts[3].color, RgbHex(0xFFFFFF));
}

TEST_F(CnMonthCalendarTest, TheListsFollowTheSelectionAndChoosingSelectsWithNotification) {
  Create(GregorianDate{2011, 3, 31});
  Drain();
  ASSERT_EQ(year_list().Count(), 2047 - 1902 + 1);
  EXPECT_EQ(year_list().ItemText(year_list().Selection()), Gbk("公历 2011 年"));
  ASSERT_EQ(month_list().Count(), 12);
  EXPECT_EQ(month_list().ItemText(month_list().Selection()), Gbk("三月"));

  Choose(month_list(), 1);  // February: the 31st becomes the 28th
  EXPECT_EQ(Selected(), "2011-2-28");
  EXPECT_EQ(Drain(), std::vector<std::string>{"DateChanged"}) << "the owner loads the chosen date";
  Choose(year_list(), 2012 - 1902);
  EXPECT_EQ(Selected(), "2012-2-28");
  EXPECT_EQ(Drain(), std::vector<std::string>{"DateChanged"});

  calendar_->SetDate(2011, 12, 5);
  EXPECT_EQ(year_list().ItemText(year_list().Selection()), Gbk("公历 2011 年"));
  EXPECT_EQ(month_list().ItemText(month_list().Selection()), Gbk("十二月"));
  // The grid shows the chosen month.
  EXPECT_EQ(calendar_->grid().first_day, (GregorianDate{2011, 12, 1}));
}

TEST_F(CnMonthCalendarTest, LunarViewListsTheLeapMonth) {
  Create(GregorianDate{2012, 5, 21}, kLunarMonthView);
  Drain();
  ASSERT_EQ(month_list().Count(), 13);
  EXPECT_EQ(month_list().ItemText(month_list().Selection()), Gbk("闰四月"));
  EXPECT_EQ(month_list().ItemText(3), Gbk("四月"));
  EXPECT_EQ(month_list().ItemText(4), Gbk("闰四月"));
  // The grid starts its month at lunar day 1 of the leap fourth month.
  EXPECT_EQ(calendar_->grid().first_day, (GregorianDate{2012, 5, 21}));

  Choose(year_list(), 2011 - 1902);  // 2011 has no leap month: its fourth month
  EXPECT_EQ(calendar_->LunarYear(), 2011);
  EXPECT_EQ(calendar_->LunarMonth(), 4);
  EXPECT_FALSE(calendar_->LeapMonth());
  EXPECT_EQ(month_list().Count(), 12);
  EXPECT_EQ(Drain(), std::vector<std::string>{"DateChanged"});

  calendar_->SetDisplayMode(kGregorianMonthView);
  EXPECT_EQ(year_list().ItemText(0), Gbk("公历 1902 年"));
  EXPECT_EQ(month_list().Count(), 12);
  EXPECT_EQ(month_list().ItemText(0), Gbk("一月"));
  EXPECT_EQ(month_list().ItemText(month_list().Selection()), Gbk("五月"));  // 2011-05-03, lunar 4-1
  EXPECT_TRUE(Drain().empty());
}

TEST_F(CnMonthCalendarTest, RepaintingAfterManySelectionsDrawsNoMoreThanTheFirstTime) {
  Create();
  windows().PaintInvalidSurfaces();
  std::size_t first = surface().last_paint_ops().size();
  for (int day = 1; day <= 20; ++day) {
    calendar_->SetDate(2011, 5, day);
    windows().PaintInvalidSurfaces();
  }
  EXPECT_EQ(surface().last_paint_ops().size(), first);
}

}  // namespace
}  // namespace tarnwick
