// The memo book on the Qt backend (offscreen platform): after start-up on an
// existing store the keyboard is at the calendar, as on every backend, so
// the arrow keys and the wheel work at once.
#include <gtest/gtest.h>

#include <QTest>

#include "app/memo_program.h"
#include "base/text.h"
#include "memo/memo_store.h"
#include "platform/qt/qt_platform.h"
#include "testing/qt_test_application.h"
#include "testing/temp_dir.h"

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

}  // namespace
}  // namespace tarnwick
