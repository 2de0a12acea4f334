#include "ui/calendar/cn_month_calendar_control.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "platform/headless/headless_platform.h"
#include "ui/window.h"

namespace tarnwick {
namespace {

class CnMonthCalendarControlTest : public ::testing::Test {
 protected:
  CnMonthCalendarControlTest() {
    platform_.headless_loop().SetLocalNow(EncodeDate(2013, 7, 9));
    WindowDesign design;
    design.rect = {0, 0, 371, 596};
    window_ = std::make_unique<Window>(platform_, "main", design);
    CnMonthCalendar::Options options;
    options.initial_date = GregorianDate{2011, 5, 17};
    calendar_ = &window_->Add<CnMonthCalendarControl>(nullptr, "日历", Rect{0, 0, 365, 262}, ControlFlags{},
                                                      options);
    for (int number : {CnMonthCalendarControl::kDayClicked, CnMonthCalendarControl::kDayHovered,
                       CnMonthCalendarControl::kDateChanged, CnMonthCalendarControl::kDayRightClicked,
                       event::kWheelScrolled}) {
      calendar_->SetHandler(number, [this, number](const EventArgs& args) {
        std::string entry = std::to_string(number);
        for (std::size_t i = 0; i < args.size(); ++i) entry += " " + std::to_string(ArgInt(args, i));
        events_.push_back(entry);
        return true;
      });
    }
    window_->Load();
    platform_.loop().ProcessPendingEvents();
  }
  HeadlessWindow& native() { return static_cast<HeadlessWindow&>(window_->native_window()); }

  HeadlessPlatform platform_;
  std::unique_ptr<Window> window_;
  CnMonthCalendarControl* calendar_ = nullptr;
  std::vector<std::string> events_;
};

TEST_F(CnMonthCalendarControlTest, PropertiesByNumber) {
  EXPECT_EQ(std::get<int>(calendar_->GetProperty(property::kWidth)), 365);
  EXPECT_EQ(std::get<int>(calendar_->GetProperty(property::kHeight)), 262);
  EXPECT_EQ(std::get<double>(calendar_->GetProperty(8)), EncodeDate(2011, 5, 17) + 86399.0 / 86400.0);
  EXPECT_EQ(std::get<int>(calendar_->GetProperty(9)), 2011);
  EXPECT_EQ(std::get<int>(calendar_->GetProperty(10)), 4);
  EXPECT_EQ(std::get<int>(calendar_->GetProperty(11)), 15);
  EXPECT_FALSE(std::get<bool>(calendar_->GetProperty(12)));
  EXPECT_EQ(std::get<int>(calendar_->GetProperty(13)), 1);
  EXPECT_EQ(std::get<std::string>(calendar_->GetProperty(14)), Gbk("辛卯"));
  EXPECT_EQ(std::get<std::string>(calendar_->GetProperty(15)), Gbk("四月"));
  EXPECT_EQ(std::get<std::string>(calendar_->GetProperty(16)), Gbk("十五"));
  EXPECT_EQ(std::get<std::string>(calendar_->GetProperty(17)), Gbk("兔"));
  EXPECT_EQ(std::get<std::string>(calendar_->GetProperty(18)), "");
  EXPECT_EQ(std::get<int>(calendar_->GetProperty(19)), 2);
  EXPECT_EQ(std::get<int>(calendar_->GetProperty(20)), 30);
  EXPECT_EQ(std::get<int>(calendar_->GetProperty(21)), 354);

  EXPECT_FALSE(calendar_->SetProperty(14, std::string("x"))) << "read-only";
  EXPECT_FALSE(calendar_->SetProperty(8, std::string("2011-6-1"))) << "a date-time is expected";
  events_.clear();
  EXPECT_TRUE(calendar_->SetProperty(8, EncodeDate(2011, 6, 1)));
  EXPECT_TRUE(calendar_->SetProperty(8, EncodeDate(2060, 6, 1)));  // ignored
  EXPECT_TRUE(calendar_->SetProperty(11, 31));                      // no lunar day 31: ignored
  platform_.loop().ProcessPendingEvents();
  EXPECT_EQ(events_, std::vector<std::string>{"2"});
  EXPECT_EQ(calendar_->calendar().selected(), (GregorianDate{2011, 6, 1}));
  EXPECT_TRUE(calendar_->SetProperty(8, static_cast<int>(EncodeDate(2011, 7, 2))));
  EXPECT_EQ(calendar_->calendar().selected(), (GregorianDate{2011, 7, 2}));
}

TEST_F(CnMonthCalendarControlTest, EventsCarryTheirArguments) {
  EXPECT_EQ(events_, std::vector<std::string>{"2"}) << "one DateChanged after creation";
  events_.clear();
  auto& windows = platform_.headless_windows();
  Rect cell = calendar_->calendar().CellRect(calendar_->calendar().grid().CellIndexOf({2011, 5, 21}));
  Point centre{cell.left + 20, cell.top + 15};
  windows.MoveMouse(native(), centre);
  windows.Click(native(), centre, MouseButton::kRight);
  windows.Click(native(), centre);
  windows.TurnWheel(-240, kKeyStateCtrl);
  windows.TurnWheel(100);
  EXPECT_EQ(events_, (std::vector<std::string>{"1 2011 4 19 0", "3 2011 4 19 0", "2", "0", "-12 -2 1"}))
      << "less than a notch raises nothing";
}

// The year and month lists are windows inside the calendar: while one has
// the focus, a turn is the calendar's WheelScrolled, and the list keeps its
// selection (as on the Qt backend).
TEST_F(CnMonthCalendarControlTest, ATurnWhileADropDownHasTheFocusIsTheCalendars) {
  auto& windows = platform_.headless_windows();
  for (NativeDropDownList* list : {calendar_->calendar().month_list(), calendar_->calendar().year_list()}) {
    events_.clear();
    list->SetFocus();
    ASSERT_TRUE(list->HasFocus());
    windows.TurnWheel(-120, kKeyStateShift);
    EXPECT_EQ(events_, std::vector<std::string>{"-12 -1 2"});
    EXPECT_EQ(calendar_->calendar().month_list()->Selection(), 4);
    EXPECT_EQ(calendar_->calendar().selected(), (GregorianDate{2011, 5, 17}));
  }
}

}  // namespace
}  // namespace tarnwick
