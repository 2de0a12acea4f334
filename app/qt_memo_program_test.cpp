// The memo book on the Qt backend (offscreen platform): after start-up on an
// existing store the keyboard is at the calendar, as on every backend, so
// the arrow keys and the wheel work at once; hovering the calendar takes no
// keyboard from text being typed; the program's own questions leave the
// window parked at the top edge in place; the calendar's drop-down lists,
// the default button of the clear-all question and a second running copy
// behave as a user needs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <vector>
#include <QTimer>
#include <QPointer>
#include <QMessageBox>
#include <QComboBox>
#include <QWheelEvent>
#include <QtTest/qtestspontaneevent.h>
#include <memory>
#include <optional>

#include "app/memo_program.h"
#include "base/text.h"
#include "memo/memo_store.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_window_system.h"
#include "platform/qt/qt_text.h"
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

// On a protected store, a cancelled or wrong old password leaves the store
// open: the month list still lists its memos and a new memo saves.
TEST_F(QtMemoBookTest, ACancelledOrWrongOldPasswordLeavesTheStoreOpen) {
  {
    DatabaseEngine engine;
    MemoStore store(engine, folder_);
    ASSERT_TRUE(store.OpenMemoDatabase());
    ASSERT_TRUE(store.AppendMemo(EncodeDate(2011, 5, 3), Gbk("旧的备忘")));
    ASSERT_TRUE(store.SetDatabasePassword("pw"));
    store.CloseMemoDatabase();
  }
  Start();
  driver().AnswerNextInputBox("pw");
  Click(c().超级按钮1, Middle(c().超级按钮1));
  ASSERT_TRUE(program_->book().store().IsOpen());
  for (std::optional<std::string> answer : {std::optional<std::string>(), std::optional<std::string>("wrong")}) {
    driver().AnswerNextInputBox(answer);
    driver().AnswerNextMessageBox(MessageResult::kOk);
    // Below the window's lower edge, the box is reached by Tab.
    c().导出全库按钮.SetFocus();
    driver().PressKey(keys::kTab);
    ASSERT_TRUE(c().密码设置选择框.HasFocus());
    driver().PressKey(keys::kSpace);
    Settle();
    const auto shown = driver().ShownDialogs();
    ASSERT_GE(shown.size(), 2u);
    EXPECT_EQ(shown[shown.size() - 2].title, Gbk("验证原密码"));
    EXPECT_EQ(shown.back().text, Gbk("打开数据库失败，可能密码有误，请重新输入"));
    EXPECT_TRUE(program_->book().store().IsOpen()) << answer.has_value();
    EXPECT_FALSE(program_->book().Locked());
  }
  Click(c().编辑按钮, Middle(c().编辑按钮));
  driver().TypeText(Gbk("新的备忘"));
  Click(c().保存按钮, Middle(c().保存按钮));
  EXPECT_EQ(program_->book().store().MemoCount(), 2);
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

// Answers every message box as a hurried user does, with Return, and keeps
// its text (UTF-8).
class ReturnOnMessageBoxes : public QObject {
 public:
  ReturnOnMessageBoxes() { qApp->installEventFilter(this); }
  ~ReturnOnMessageBoxes() override { qApp->removeEventFilter(this); }
  const std::vector<std::string>& texts() const { return texts_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show) return false;
    QPointer<QMessageBox> box = qobject_cast<QMessageBox*>(watched);
    if (box.isNull()) return false;
    QTimer::singleShot(0, this, [this, box] {
      if (box.isNull()) return;
      texts_.push_back(box->text().toStdString());
      QTest::keyClick(box.data(), Qt::Key_Return);
    });
    return false;
  }

 private:
  std::vector<std::string> texts_;
};

class QtMemoBookFaultsTest : public ::testing::Test {
 protected:
  QtMemoBookFaultsTest() : folder_(Utf8ToGbk(dir_.path().string())) {}

  void Seed(const std::vector<std::pair<DateTime, std::string>>& memos) {
    DatabaseEngine engine;
    MemoStore store(engine, folder_);
    store.CreateMemoDatabase();
    ASSERT_TRUE(store.OpenMemoDatabase());
    for (const auto& [date, text] : memos) ASSERT_TRUE(store.AppendMemo(date, Gbk(text)));
    store.CloseMemoDatabase();
  }
  void Start() {
    program_ = std::make_unique<MemoProgram>(platform_, engine_, folder_);
    program_->Load();
    ASSERT_TRUE(QTest::qWaitForWindowActive(qt::ContainerOf(&program_->main_window().window().native_window())));
    platform_.loop().ProcessPendingEvents();
  }
  const MainWindowControls& c() { return program_->main_window().controls(); }
  std::string EditorText() { return GbkToUtf8(c().备忘编辑框.content()); }
  // The calendar's drop-down list at x in the navigation bar.
  QComboBox* CalendarList(int x) {
    for (QComboBox* list : qt::ContainerOf(&program_->main_window().window().native_window())->findChildren<QComboBox*>()) {
      if (list->mapTo(list->window(), QPoint(0, 0)).x() == x) return list;
    }
    return nullptr;
  }

  testing::TempDir dir_;
  std::string folder_;
  qt::QtPlatform platform_;
  DatabaseEngine engine_;
  std::unique_ptr<MemoProgram> program_;
};

// Choosing a month with the keyboard in the calendar's month list shows that
// month's memo, as a day click would.
TEST_F(QtMemoBookFaultsTest, AMonthChosenInTheCalendarsListShowsItsMemo) {
  Seed({{EncodeDate(2011, 1, 3), "一月的备忘"}});
  Start();
  c().日历.calendar().SetDate(2011, 5, 3);
  platform_.loop().ProcessPendingEvents();
  QComboBox* months = CalendarList(107);
  ASSERT_NE(months, nullptr);
  months->setFocus();
  QTest::keyClick(months, Qt::Key_Home);
  platform_.loop().ProcessPendingEvents();
  EXPECT_EQ(c().日历.calendar().selected(), (GregorianDate{2011, 1, 3}));
  EXPECT_EQ(EditorText(), "一月的备忘");
  EXPECT_EQ(program_->book().currentDate, EncodeDate(2011, 1, 3) + 86399.0 / 86400);
}

// The clear-all question answered with Return keeps every memo.
TEST_F(QtMemoBookFaultsTest, ReturnOnTheClearAllQuestionKeepsTheMemos) {
  Seed({{EncodeDate(2011, 5, 3), "留着"}});
  Start();
  ReturnOnMessageBoxes answers;
  c().主面板状态栏标签.Raise(event::kDoubleClick);
  platform_.loop().ProcessPendingEvents();
  ASSERT_EQ(answers.texts(), std::vector<std::string>{"真的清空所有记录？"});
  EXPECT_EQ(program_->book().store().MemoCount(), 1);
}

TEST_F(QtMemoBookFaultsTest, ASecondRunningCopySaysWhereTheMemoBookIsOpenAndEnds) {
  Seed({{EncodeDate(2011, 5, 3), "第一个窗口的备忘"}});
  Start();
  ReturnOnMessageBoxes answers;
  DatabaseEngine second_engine;
  MemoProgram second(platform_, second_engine, folder_);
  second.Load();
  platform_.loop().ProcessPendingEvents();
  EXPECT_EQ(answers.texts(),
            std::vector<std::string>{"备忘录已经在另一个窗口中打开了，请在那个窗口中继续使用。本程序将自动退出"});
  EXPECT_FALSE(qt::ContainerOf(&second.main_window().window().native_window())->isVisible());
  EXPECT_EQ(program_->book().store().MemoCount(), 1) << "the first copy keeps its store";
}

}  // namespace
}  // namespace tarnwick
