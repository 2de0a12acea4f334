// The lunar month calendar on the Qt backend (offscreen platform): what it
// looks like in real pixels, what a pointer move repaints, and that a click
// moves the selection.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QPaintEvent>
#include <QTest>

#include "platform/qt/qt_platform.h"
#include "ui/calendar/cn_month_calendar.h"
#include "testing/qt_test_application.h"

namespace tarnwick {
namespace {

struct Owner : CnMonthCalendarOwner {
  std::vector<std::string> events;
  void DayClicked() override { events.push_back("DayClicked"); }
  void DateChanged() override { events.push_back("DateChanged"); }
  void DayHovered(const LunarDate&) override { events.push_back("DayHovered"); }
};

// Records the rectangles the surface is asked to paint.
class PaintSpy : public QObject {
 public:
  std::vector<QRect> painted;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      for (const QRect& rect : static_cast<QPaintEvent*>(event)->region()) painted.push_back(rect);
    }
    return false;
  }
};

class QtCalendarTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = platform_.windows().CreateTopLevelWindow(WindowStyle{}, {0, 0, 371, 596}, "calendar", window_listener_);
    CnMonthCalendar::Options options;
    options.initial_date = GregorianDate{2011, 5, 17};
    calendar_ = std::make_unique<CnMonthCalendar>(platform_, *window_, Point{0, 0}, owner_, options);
    window_->Show();
    container_ = qt::ContainerOf(window_.get());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(container_));
    surface_ = container_->findChild<QComboBox*>()->parentWidget();
    platform_.loop().ProcessPendingEvents();
    owner_.events.clear();
  }

  QPoint CellCentre(int index) const {
    Rect cell = calendar_->CellRect(index);
    return {cell.left + cell.width / 2, cell.top + cell.height / 2};
  }
  QColor CellCorner(const QImage& image, int index) const {
    Rect cell = calendar_->CellRect(index);
    return image.pixelColor(cell.left + 2, cell.top + 2);
  }

  qt::QtPlatform platform_;
  WindowListener window_listener_;
  Owner owner_;
  std::unique_ptr<NativeWindow> window_;
  std::unique_ptr<CnMonthCalendar> calendar_;
  QWidget* container_ = nullptr;
  QWidget* surface_ = nullptr;
};

TEST_F(QtCalendarTest, ShowsTheMonthInItsColoursAndHighlightsTheHoveredDay) {
  ASSERT_EQ(calendar_->size(), (Size{365, 262}));
  QImage image = surface_->grab().toImage();
  EXPECT_EQ(image.pixelColor(3, 33), QColor(0x29, 0x6D, 0xB5)) << "weekday header";
  EXPECT_EQ(image.pixelColor(3, 258), QColor(0x29, 0x6D, 0xB5)) << "footer";
  // May 2011 starts on a Sunday: the first six cells are April's.
  EXPECT_EQ(CellCorner(image, 0), QColor(0xD3, 0xD9, 0xD6));
  EXPECT_EQ(CellCorner(image, 6), QColor(0xFF, 0xFA, 0xC2));
  EXPECT_EQ(CellCorner(image, 36), QColor(0xFF, 0xFA, 0xC2)) << "31 May";
  EXPECT_EQ(CellCorner(image, 37), QColor(0xD3, 0xD9, 0xD6));

  QTest::mouseMove(surface_, CellCentre(15));
  platform_.loop().ProcessPendingEvents();
  image = surface_->grab().toImage();
  EXPECT_EQ(CellCorner(image, 15), QColor(0, 0, 255));
  EXPECT_EQ(calendar_->hovered_cell(), 15);
  EXPECT_EQ(owner_.events, std::vector<std::string>{"DayHovered"});
}

TEST_F(QtCalendarTest, MovingThePointerRepaintsTheTwoCellsAndTheFooterOnly) {
  QTest::mouseMove(surface_, CellCentre(8));
  platform_.loop().ProcessPendingEvents();
  PaintSpy spy;
  surface_->installEventFilter(&spy);
  QTest::mouseMove(surface_, CellCentre(30));
  platform_.loop().ProcessPendingEvents();
  surface_->removeEventFilter(&spy);
  QRegion painted;
  for (const QRect& rect : spy.painted) painted += rect;
  QRegion expected;
  for (Rect rect : {calendar_->CellRect(8), calendar_->CellRect(30), calendar_->FooterRect()})
    expected += QRect(rect.left, rect.top, rect.width, rect.height);
  EXPECT_TRUE(painted.contains(CellCentre(8))) << "the cell left behind";
  EXPECT_TRUE(painted.contains(CellCentre(30))) << "the cell entered";
  EXPECT_TRUE((painted - expected).isEmpty()) << "painted outside the two cells and the footer";
}

TEST_F(QtCalendarTest, ClickingADayMovesTheSelection) {
  ASSERT_EQ(calendar_->selected(), (GregorianDate{2011, 5, 17}));
  int index = 6 + 24;  // 25 May
  QTest::mouseClick(surface_, Qt::LeftButton, {}, CellCentre(index));
  platform_.loop().ProcessPendingEvents();
  EXPECT_EQ(calendar_->selected(), (GregorianDate{2011, 5, 25}));
  ASSERT_GE(owner_.events.size(), 2u);
  EXPECT_EQ(owner_.events[owner_.events.size() - 2], "DateChanged");
  EXPECT_EQ(owner_.events.back(), "DayClicked");
  // A day of another month does nothing.
  QTest::mouseClick(surface_, Qt::LeftButton, {}, CellCentre(0));
  platform_.loop().ProcessPendingEvents();
  EXPECT_EQ(calendar_->selected(), (GregorianDate{2011, 5, 25}));
}

}  // namespace
}  // namespace tarnwick
