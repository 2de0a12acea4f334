// The Qt backend on a real X server (a private Xvfb, no window manager):
// what the offscreen platform cannot show — the client area in X's own
// geometry, and DockStrip's window never taking activation from the main
// window when clicked, while the main window hears when it loses activation.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <cstdlib>

#include "app/e2e/x_session.h"
#include "platform/qt/qt_platform.h"

namespace tarnwick {
namespace {

using namespace std::chrono_literals;

e2e::XSession* session = nullptr;
std::unique_ptr<QApplication> application;

class Environment : public ::testing::Environment {
 public:
  void SetUp() override {
    if (!e2e::HaveProgram("Xvfb") || !e2e::HaveProgram("xdotool")) return;
    session = new e2e::XSession;
    if (!session->Start(1280, 1024)) return;
    setenv("DISPLAY", session->display().c_str(), 1);
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    static int argc = 1;
    static char name[] = "qt_x11_backend_test";
    static char* argv[] = {name, nullptr};
    application = qt::MakeApplication(argc, argv);
  }
  void TearDown() override {
    application.reset();
    delete session;
  }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new Environment);

struct Listener : WindowListener {
  std::vector<bool> activations;
  int presses = 0;
  void OnActivationChanged(bool active, bool) override { activations.push_back(active); }
  bool OnMouse(const MouseEvent& event) override {
    presses += event.action == MouseAction::kPress && event.button == MouseButton::kLeft;
    return true;
  }
};

WindowStyle StripStyle() {
  WindowStyle style;
  style.frame = FrameStyle::kNone;
  style.system_menu = false;
  style.in_taskbar = false;
  style.always_on_top = true;
  style.takes_activation = false;
  style.background = Rgb(255, 255, 0);
  return style;
}

class QtX11BackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (application == nullptr) GTEST_SKIP() << "no Xvfb or xdotool";
  }
  // Waits, processing events, until `done` holds or 5 s pass.
  template <class Done>
  bool WaitFor(Done done) {
    for (int i = 0; i < 250 && !done(); ++i) {
      platform_->loop().ProcessPendingEvents();
      QTest::qWait(20);
    }
    return done();
  }
  std::unique_ptr<qt::QtPlatform> platform_ = std::make_unique<qt::QtPlatform>();
};

TEST_F(QtX11BackendTest, TheClientAreaIsTheLayoutsAtEveryWindowSize) {
  Listener listener;
  auto window = platform_->windows().CreateTopLevelWindow(WindowStyle{}, {50, 50, 371, 596},
                                                          "Tarnwick V2.8 beta  ", listener);
  window->Show();
  QWidget* widget = qt::ContainerOf(window.get());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(widget));
  auto geometry = session->WindowGeometry(widget->winId());
  ASSERT_TRUE(geometry.has_value());
  EXPECT_EQ(geometry->width, 365);
  EXPECT_EQ(geometry->height, 568);
  EXPECT_EQ(geometry->x, 50) << "no window manager: the client stands where the frame would";
  EXPECT_EQ(session->Title(widget->winId()), "Tarnwick V2.8 beta  ");
  window->SetOuterRect({200, 0, 664, 695});
  ASSERT_TRUE(WaitFor([&] {
    auto now = session->WindowGeometry(widget->winId());
    return now && now->width == 658 && now->height == 667 && now->x == 200 && now->y == 0;
  }));
  EXPECT_EQ(window->OuterRect(), (Rect{200, 0, 664, 695}));
}

TEST_F(QtX11BackendTest, ClickingTheStripLeavesTheMainWindowActive) {
  Listener main_listener, strip_listener;
  auto main = platform_->windows().CreateTopLevelWindow(WindowStyle{}, {200, 200, 371, 596}, "main", main_listener);
  auto strip = platform_->windows().CreateTopLevelWindow(StripStyle(), {50, 0, 370, 2}, "", strip_listener);
  main->Show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(qt::ContainerOf(main.get())));
  strip->Show();
  strip->SetWindowOrder(WindowOrder::kAlwaysOnTop);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(qt::ContainerOf(strip.get())));
  EXPECT_TRUE(main->IsActive()) << "showing the strip took no activation";

  ASSERT_TRUE(session->MovePointer(100, 1));
  ASSERT_TRUE(session->Click(1));
  ASSERT_TRUE(WaitFor([&] { return strip_listener.presses == 1; })) << "the strip hears the press";
  EXPECT_FALSE(strip->IsActive());

  // Another window taking activation: the main window hears it lost it,
  // and nothing before. The X server orders what the click caused before
  // this window's activation, so waiting for that is waiting for the click's
  // consequences too.
  Listener other_listener;
  auto other = platform_->windows().CreateTopLevelWindow(WindowStyle{}, {700, 200, 200, 200}, "other", other_listener);
  other->Show();
  ASSERT_TRUE(WaitFor([&] { return !main->IsActive(); }));
  EXPECT_TRUE(strip_listener.activations.empty()) << "the strip never took the activation";
  EXPECT_EQ(main_listener.activations, (std::vector<bool>{true, false})) << "the click took no activation";
}

}  // namespace
}  // namespace tarnwick
