// The memo book on the Qt backend (offscreen platform): after start-up on an
// existing store the keyboard is at the calendar, as on every backend, so
// the arrow keys and the wheel work at once; hovering the calendar takes no
// keyboard from text being typed; the program's own questions leave the
// window parked at the top edge in place.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>
#include <memory>

#include "app/memo_program.h"
#include "base/text.h"
#include "memo/memo_store.h"
#include "platform/qt/qt_platform.h"
#include "testing/qt_test_application.h"
#include "testing/temp_dir.h"
#include "testing/ui_driver.h"

namespace tarnwick {
namespace {

TEST(QtMemoProgramTest, TheCalendarHasTheKeyboardFocusAfterStartUp) {
  testing::TempDir dir;
  const std::string folder = Utf8ToGbk(dir.path().string());
  {
    DatabaseEngine engine;
    MemoStore store(engine, folder);
    store.CreateMemoDatabase();
    ASSERT_TRUE(store.OpenMemoDatabase());
    ASSERT_TRUE(store.AppendMemo(EncodeDate(2011, 5, 3), Gbk("一条备忘")));
    store.CloseMemoDatabase();
  }
  qt::QtPlatform platform;
  DatabaseEngine engine;
  MemoProgram program(platform, engine, folder);
  program.Load();
  ASSERT_TRUE(QTest::qWaitForWindowActive(qt::ContainerOf(&program.main_window().window().native_window())));
  platform.loop().ProcessPendingEvents();
  const MainWindowControls& c = program.main_window().controls();
  EXPECT_TRUE(c.日历.HasFocus());
  EXPECT_FALSE(c.备忘编辑框.HasFocus());
  EXPECT_EQ(program.book().store().MemoCount(), 1);
}

class QtMemoBookTest : public testing::UiTest {
 protected:
  QtMemoBookTest() : folder_(Utf8ToGbk(dir_.path().string())) {
    DatabaseEngine engine;
    MemoStore store(engine, folder_);
    store.CreateMemoDatabase();
  }

  void Start() {
    program_ = std::make_unique<MemoProgram>(platform(), engine_, folder_);
    program_->Load();
    driver().WaitUntilShown(c().主窗口);
  }
  const MainWindowControls& c() { return program_->main_window().controls(); }
  static Point Middle(const Control& control) { return {control.width() / 2, control.height() / 2}; }

  // One turn with the pointer over a point of the control, delivered as the
  // window system delivers it: to the widget under the pointer.
  void TurnWheelOver(Control& control, Point local, int delta) {
    QWidget* top = qt::ContainerOf(&control.window().native_window());
    Point at = InWindow(control, local);
    QWidget* under = top->childAt(at.x, at.y);
    ASSERT_NE(under, nullptr);
    QPointF inside = under->mapFrom(top, QPointF(at.x, at.y));
    QWheelEvent wheel(inside, under->mapToGlobal(inside), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    wheel.setTimestamp(++timestamp_);
    QSpontaneKeyEvent::setSpontaneous(&wheel);
    qApp->notify(under, &wheel);
    Settle();
  }

  testing::TempDir dir_;
  std::string folder_;
  DatabaseEngine engine_;
  std::unique_ptr<MemoProgram> program_;
  quint64 timestamp_ = 0;
};

TEST_F(QtMemoBookTest, HoveringTheCalendarTakesNoKeyboardFromTheEditorAndTheWheelStillSteps) {
  Start();
  Click(c().编辑按钮, Middle(c().编辑按钮));
  ASSERT_TRUE(c().备忘编辑框.HasFocus());
  Hover(c().日历, {100, 100});
  driver().TypeText("XYZ");
  EXPECT_EQ(c().备忘编辑框.content(), "XYZ");
  EXPECT_TRUE(c().备忘编辑框.HasFocus());

  const GregorianDate before = c().日历.calendar().selected();
  const int notch = before.month > 1 ? 120 : -120;  // away from the user: the month before
  TurnWheelOver(c().日历, {100, 100}, notch);
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{before.year, before.month - notch / 120, 15}));
  EXPECT_TRUE(c().备忘编辑框.HasFocus());
}

TEST_F(QtMemoBookTest, TheClearAllQuestionLeavesTheParkedWindowShown) {
  Start();
  ASSERT_EQ(c().主窗口.outer_rect().top, 0);
  driver().AnswerNextMessageBox(MessageResult::kNo);
  DoubleClick(c().主面板状态栏标签, {20, 6});
  ASSERT_EQ(driver().ShownDialogs().size(), 1u);
  EXPECT_EQ(driver().ShownDialogs()[0].text, Gbk("真的清空所有记录？"));
  EXPECT_TRUE(c().主窗口.native_window().IsVisible());
  EXPECT_FALSE(c().DockStrip.native_window().IsVisible());
}

}  // namespace
}  // namespace tarnwick
