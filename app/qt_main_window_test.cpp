// The main window and its widget kinds on the Qt backend (offscreen
// platform): sizes, panels, mnemonics from real key presses, state colours
// in real pixels, the list order, and closing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <algorithm>
#include <map>

#include "base/text.h"
#include "platform/qt/qt_platform.h"
#include "ui/list_box.h"
#include "ui/main_window.h"
#include "ui/super_btn.h"

namespace tarnwick {
namespace {

std::unique_ptr<QApplication> application;

class Environment : public ::testing::Environment {
 public:
  void SetUp() override {
    static int argc = 1;
    static char name[] = "qt_main_window_test";
    static char* argv[] = {name, nullptr};
    application = qt::MakeApplication(argc, argv);
  }
  void TearDown() override { application.reset(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Environment);

// The colour covering most of a rectangle of the image (text over it aside).
QColor Dominant(const QImage& image, const Rect& area) {
  std::map<QRgb, int> count;
  for (int y = area.top; y < area.bottom(); ++y)
    for (int x = area.left; x < area.right(); ++x) ++count[image.pixel(x, y)];
  auto most = std::max_element(count.begin(), count.end(), [](auto& a, auto& b) { return a.second < b.second; });
  return QColor(most->first);
}

class QtMainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    main_.Load();
    ASSERT_TRUE(QTest::qWaitForWindowActive(container()));
    platform_.loop().ProcessPendingEvents();
  }
  QWidget* container() { return qt::ContainerOf(&main_.window().native_window()); }
  // An Alt+key as the keyboard delivers it: to the widget with the focus.
  void AltKey(Qt::Key key) {
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus != nullptr ? focus : container(), key, Qt::AltModifier);
    platform_.loop().ProcessPendingEvents();
  }

  qt::QtPlatform platform_;
  MainWindow main_{platform_};
};

TEST_F(QtMainWindowTest, TheClientAreaHoldsExactlyTheMainColumn) {
  EXPECT_EQ(container()->size(), QSize(365, 568));
  EXPECT_EQ(main_.window().rect().width, 371);
  EXPECT_EQ(main_.window().rect().height, 596);
  EXPECT_EQ(container()->windowTitle(), QStringLiteral("Tarnwick V2.8 beta  "));
  // Every native piece lies either in the main column or beyond the client's
  // right edge, in the side panels.
  for (QWidget* child : container()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    QRect at = child->geometry();
    EXPECT_TRUE(at.right() < 366 || at.left() >= 368) << child->metaObject()->className() << " at " << at.x();
  }
}

TEST_F(QtMainWindowTest, AltFOpensAndClosesTheSidePanelsAndAltSWaitsForSave) {
  int saves = 0, edits = 0;
  main_.handlers().SaveClicked = [&] { ++saves; };
  main_.handlers().EditClicked = [&] { ++edits; };
  AltKey(Qt::Key_F);
  EXPECT_EQ(container()->size(), QSize(658, 568));
  EXPECT_EQ(main_.window().rect().width, 664);
  auto* keyword = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  EXPECT_NE(keyword, nullptr) << "the keyword box takes the focus";
  AltKey(Qt::Key_S);
  EXPECT_EQ(saves, 0) << "保存按钮 is disabled";
  AltKey(Qt::Key_W);
  EXPECT_EQ(edits, 1);
  AltKey(Qt::Key_F);
  EXPECT_EQ(container()->size(), QSize(365, 568));
}

TEST_F(QtMainWindowTest, TheTodayButtonShowsItsStateColoursOnScreen) {
  auto* today = main_.FindAs<SuperBtn>("超级按钮1");
  ASSERT_NE(today, nullptr);
  Rect at = today->rect();
  QImage shot = container()->grab().toImage();
  EXPECT_EQ(Dominant(shot, at), QColor(0, 128, 128)) << "normal background";
  QTest::mouseMove(container(), QPoint(at.left + at.width / 2, at.top + at.height / 2));
  platform_.loop().ProcessPendingEvents();
  shot = container()->grab().toImage();
  EXPECT_EQ(Dominant(shot, at), QColor(255, 255, 0)) << "lit background";
}

TEST_F(QtMainWindowTest, TheMonthListShowsItsItemsInListBoxOrder) {
  auto* month_list = main_.FindAs<ListBox>("本月备忘列表框");
  ASSERT_NE(month_list, nullptr);
  month_list->AddItem(Gbk("2011年9月1日"));
  month_list->AddItem(Gbk("2011年10月1日"));
  QListWidget* shown = nullptr;
  for (auto* list : container()->findChildren<QListWidget*>())
    if (list->count() == 2) shown = list;
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->item(0)->text(), QStringLiteral(u"2011年10月1日"));
  EXPECT_EQ(shown->item(1)->text(), QStringLiteral(u"2011年9月1日"));
  EXPECT_EQ(shown->palette().color(QPalette::Base), QColor(128, 255, 128));
}

TEST_F(QtMainWindowTest, ClosingAsksFirstAndThenEndsTheLoopWithZero) {
  bool allow = false;
  int asked = 0;
  main_.handlers().QueryShutDown = [&] {
    ++asked;
    return allow;
  };
  container()->close();  // the close box
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(container()->isVisible());
  allow = true;
  platform_.loop().Post([&] { container()->close(); });
  EXPECT_EQ(platform_.loop().Run(), 0);
  EXPECT_EQ(asked, 2);
  EXPECT_FALSE(container()->isVisible());
}

}  // namespace
}  // namespace tarnwick
