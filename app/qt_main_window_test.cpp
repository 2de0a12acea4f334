// The main window on the Qt backend (offscreen platform), what is Qt's own:
// the widgets' geometry in the client area, the list widget's palette, and
// closing through the Qt event loop. Panels, mnemonics, state colours and
// the list order are tested on every backend by ui/main_window_test.cpp.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QListWidget>
#include <QTest>

#include "base/text.h"
#include "platform/qt/qt_platform.h"
#include "ui/label.h"
#include "ui/list_box.h"
#include "ui/main_window.h"
#include "ui/super_btn.h"
#include "testing/qt_test_application.h"

namespace tarnwick {
namespace {

class QtMainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    main_.Load();
    ASSERT_TRUE(QTest::qWaitForWindowActive(container()));
    platform_.loop().ProcessPendingEvents();
  }
  QWidget* container() { return qt::ContainerOf(&main_.window().native_window()); }
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

TEST_F(QtMainWindowTest, TheMonthListIsTheListWidgetOnItsOwnColour) {
  auto* month_list = main_.FindAs<ListBox>("本月备忘列表框");
  ASSERT_NE(month_list, nullptr);
  month_list->AddItem(Gbk("2011年9月1日"));
  month_list->AddItem(Gbk("2011年10月1日"));
  QListWidget* shown = nullptr;
  for (auto* list : container()->findChildren<QListWidget*>())
    if (list->count() == 2) shown = list;
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->item(0)->text(), QStringLiteral(u"2011年10月1日"));
  EXPECT_EQ(shown->palette().color(QPalette::Base), QColor(128, 255, 128));
}

// What a screen reader reads through Qt's accessibility: the image
// buttons' names and roles, the day grid's days, and the focus following a
// move of the selected day. (The offscreen platform has no active
// accessibility, so the focus event itself is not seen here.)
TEST_F(QtMainWindowTest, ScreenReadersReadTheButtonsAndTheDays) {
  auto widget_of = [&](const char* name) { return qt::ContainerOf(main_.FindAs<SuperBtn>(name)->native_parent()); };
  QAccessibleInterface* edit = QAccessible::queryAccessibleInterface(widget_of("编辑按钮"));
  ASSERT_NE(edit, nullptr);
  EXPECT_EQ(edit->role(), QAccessible::Button);
  EXPECT_EQ(edit->text(QAccessible::Name), QStringLiteral(u"编辑当前日期的备忘"));
  QAccessibleInterface* today = QAccessible::queryAccessibleInterface(widget_of("超级按钮1"));
  EXPECT_EQ(today->text(QAccessible::Name), QStringLiteral(u"转到今日"));

  CnMonthCalendar& calendar = main_.calendar().calendar();
  calendar.SetDate(2026, 12, 10);
  QAccessibleInterface* grid = QAccessible::queryAccessibleInterface(qt::ContainerOf(&calendar.surface()));
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->role(), QAccessible::Table);
  QStringList names;
  for (int i = 0; i < grid->childCount(); ++i) {
    if (grid->child(i)->role() == QAccessible::Cell) names << grid->child(i)->text(QAccessible::Name);
  }
  ASSERT_EQ(names.size(), 31);
  EXPECT_EQ(names[9], QStringLiteral(u"2026年12月10日 星期四 农历冬月初二"));

  main_.calendar().SetFocus();
  platform_.loop().ProcessPendingEvents();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
  platform_.loop().ProcessPendingEvents();
  ASSERT_EQ(calendar.selected(), (GregorianDate{2026, 12, 11}));
  QAccessibleInterface* focused = grid->focusChild();
  ASSERT_NE(focused, nullptr);
  EXPECT_EQ(focused->text(QAccessible::Name), QStringLiteral(u"2026年12月11日 星期五 农历冬月初三"));
  EXPECT_TRUE(focused->state().focused);
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
