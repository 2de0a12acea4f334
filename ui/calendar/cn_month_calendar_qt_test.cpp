// The calendar as a control on the Qt backend (offscreen platform): where a
// wheel turn goes. Turns are delivered as the window system delivers them,
// to the widget under the pointer and marked spontaneous, so Qt's own
// handling (focus by wheel, the drop-down's own stepping) takes part.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>

#include <string>
#include <vector>

#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_window_system.h"
#include "testing/qt_test_application.h"
#include "ui/calendar/cn_month_calendar_control.h"
#include "ui/list_box.h"
#include "ui/window.h"

namespace tarnwick {
namespace {

class CnMonthCalendarQtTest : public ::testing::Test {
 protected:
  void SetUp() override {
    WindowDesign design;
    design.rect = {0, 100, 664, 596};
    window_ = std::make_unique<Window>(platform_, "main", design);
    CnMonthCalendar::Options options;
    options.initial_date = GregorianDate{2011, 5, 17};
    calendar_ = &window_->Add<CnMonthCalendarControl>(nullptr, "日历", Rect{0, 0, 365, 262}, ControlFlags{},
                                                      options);
    list_ = &window_->Add<ListBox>(nullptr, "list", Rect{400, 20, 130, 100});
    for (int i = 0; i < 40; ++i) list_->AddItem("item " + std::to_string(100 + i));
    for (int number : {CnMonthCalendarControl::kDateChanged, event::kWheelScrolled}) {
      calendar_->SetHandler(number, [this, number](const EventArgs& args) {
        std::string entry = std::to_string(number);
        for (std::size_t i = 0; i < args.size(); ++i) entry += " " + std::to_string(ArgInt(args, i));
        events_.push_back(entry);
        return true;
      });
    }
    window_->Load();
    container_ = qt::ContainerOf(&window_->native_window());
    ASSERT_TRUE(QTest::qWaitForWindowActive(container_));
    const auto lists = container_->findChildren<QComboBox*>();
    ASSERT_EQ(lists.size(), 2);
    year_list_ = lists[0]->geometry().left() < lists[1]->geometry().left() ? lists[0] : lists[1];
    month_list_ = year_list_ == lists[0] ? lists[1] : lists[0];
    Settle();
    events_.clear();
  }

  void Settle() {
    QApplication::processEvents();
    platform_.loop().ProcessPendingEvents();
  }

  // One notch (delta 120 away from the user, -120 toward) with the pointer
  // over the middle of `under_pointer`.
  void TurnWheelOver(QWidget* under_pointer, int delta, QPoint angle = {}, Qt::ScrollPhase phase = Qt::NoScrollPhase) {
    QPointF at = under_pointer->rect().center();
    if (angle.isNull()) angle = QPoint(0, delta);
    QWheelEvent wheel(at, under_pointer->mapToGlobal(at), QPoint(), angle, Qt::NoButton, Qt::NoModifier, phase, false);
    wheel.setTimestamp(++timestamp_);
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    qApp->notify(under_pointer, &wheel);
    Settle();
  }

  QWidget* Grid() { return static_cast<QWidget*>(month_list_->parent()); }
  QListWidget* List() { return container_->findChild<QListWidget*>(); }
  const GregorianDate& Shown() { return calendar_->calendar().selected(); }

  qt::QtPlatform platform_;
  std::unique_ptr<Window> window_;
  CnMonthCalendarControl* calendar_ = nullptr;
  ListBox* list_ = nullptr;
  QWidget* container_ = nullptr;
  QComboBox* year_list_ = nullptr;
  QComboBox* month_list_ = nullptr;
  std::vector<std::string> events_;
  quint64 timestamp_ = 0;
};

TEST_F(CnMonthCalendarQtTest, ATurnOverADropDownIsTheFocusedCalendarsOnce) {
  calendar_->SetFocus();
  Settle();
  ASSERT_TRUE(Grid()->hasFocus());
  TurnWheelOver(Grid(), -120);
  EXPECT_EQ(events_, std::vector<std::string>{"-12 -1 0"});

  for (QComboBox* list : {month_list_, year_list_}) {
    events_.clear();
    TurnWheelOver(list, -120);
    EXPECT_EQ(events_, std::vector<std::string>{"-12 -1 0"}) << "one WheelScrolled, nothing else";
    EXPECT_TRUE(Grid()->hasFocus()) << "the wheel gives no drop-down the focus";
    EXPECT_EQ(Shown(), (GregorianDate{2011, 5, 17})) << "the drop-down did not step the month itself";
    EXPECT_EQ(month_list_->currentIndex(), 4);
    EXPECT_EQ(year_list_->currentText(), year_list_->itemText(2011 - 1902));
  }
}

// Only the vertical wheel steps: a sideways turn and the still phases of a
// touchpad's scrolling are no notches.
TEST_F(CnMonthCalendarQtTest, SidewaysTurnsAndStillScrollPhasesAreNoSteps) {
  calendar_->SetFocus();
  Settle();
  TurnWheelOver(Grid(), 0, QPoint(120, 0));
  TurnWheelOver(Grid(), 0, QPoint(-240, 0));
  TurnWheelOver(Grid(), 0, QPoint(0, 0), Qt::ScrollBegin);
  TurnWheelOver(Grid(), 0, QPoint(0, 0), Qt::ScrollEnd);
  EXPECT_TRUE(events_.empty());
  EXPECT_EQ(Shown(), (GregorianDate{2011, 5, 17}));
}

TEST_F(CnMonthCalendarQtTest, ATurnWhileADropDownHasTheFocusIsTheCalendars) {
  for (QComboBox* list : {month_list_, year_list_}) {
    events_.clear();
    list->setFocus(Qt::MouseFocusReason);
    Settle();
    ASSERT_TRUE(list->hasFocus());
    TurnWheelOver(list, 120);
    TurnWheelOver(Grid(), 240);
    EXPECT_EQ(events_, (std::vector<std::string>{"-12 1 0", "-12 2 0"}));
    EXPECT_EQ(Shown(), (GregorianDate{2011, 5, 17}));
    EXPECT_EQ(month_list_->currentIndex(), 4);
  }
}

TEST_F(CnMonthCalendarQtTest, ATurnOverTheCalendarGoesToTheFocusedListInstead) {
  list_->SetFocus();
  Settle();
  ASSERT_TRUE(List()->hasFocus());
  const int before = List()->verticalScrollBar()->value();
  TurnWheelOver(month_list_, -120);
  TurnWheelOver(Grid(), -120);
  EXPECT_TRUE(events_.empty()) << "the calendar has no focus: no WheelScrolled";
  EXPECT_EQ(Shown(), (GregorianDate{2011, 5, 17}));
  EXPECT_EQ(month_list_->currentIndex(), 4);
  EXPECT_GT(List()->verticalScrollBar()->value(), before) << "the focused list scrolled";
}

// The year list opens as a drop-down list: below its box, left-aligned with
// it, scrolled so that the shown year is in view, not as a menu laid over
// the box that runs up to the top of the screen.
TEST_F(CnMonthCalendarQtTest, TheYearListOpensBelowItsBox) {
  year_list_->showPopup();
  Settle();
  QAbstractItemView* view = year_list_->view();
  QWidget* popup = view->window();
  ASSERT_TRUE(popup->isVisible());
  const QPoint box_bottom_left = year_list_->mapToGlobal(QPoint(0, year_list_->height()));
  EXPECT_NEAR(popup->geometry().top(), box_bottom_left.y(), 2);
  EXPECT_NEAR(popup->geometry().left(), box_bottom_left.x(), 2);
  EXPECT_LE(popup->height(), 30 * view->sizeHintForRow(0) + 8) << "at most thirty rows";
  QRect shown = view->visualRect(view->model()->index(2011 - 1902, 0));
  EXPECT_TRUE(view->viewport()->rect().contains(shown)) << "the shown year is in view";
  year_list_->hidePopup();
  Settle();
  EXPECT_EQ(Shown(), (GregorianDate{2011, 5, 17}));
}

}  // namespace
}  // namespace tarnwick
