// The contract suite on Qt, on its offscreen platform: pointer input goes to
// the QWindow (so the widget under the point receives it), the wheel to the
// widget under the pointer, keys and typed text to the focus widget, and
// dialogs are answered once their own event loop runs.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <QWindow>
#include <deque>

#include "base/text.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_text.h"
#include "testing/backend_driver.h"
#include "testing/qt_dialog_answerer.h"
#include "testing/qt_synthetic_input.h"
#include "testing/qt_test_application.h"

namespace tarnwick::testing {
namespace {

class QtBackendDriver : public BackendDriver {
 public:
  Platform& platform() override { return platform_; }
  std::string name() const override { return "qt"; }

  void ShowActive(NativeWindow& window) override {
    window.Show();
    window.Activate();
    EXPECT_TRUE(QTest::qWaitForWindowActive(Container(window))) << "the window did not become active";
    Settle();
  }
  void Settle() override {
    for (int round = 0; round < 2; ++round) {
      QCoreApplication::sendPostedEvents();
      QCoreApplication::processEvents();
    }
  }
  void RunFor(int milliseconds) override { QTest::qWait(milliseconds); }

  void Click(NativeWindow& window, Point client, MouseButton button) override {
    QPoint at(client.x, client.y);
    Qt::MouseButton pressed = button == MouseButton::kRight ? Qt::RightButton : Qt::LeftButton;
    QWindow* handle = Container(window)->windowHandle();
    QTest::mouseMove(handle, at);
    QTest::mousePress(handle, pressed, {}, at);
    QTest::mouseRelease(handle, pressed, {}, at);
    Settle();
  }
  // The system hands the turn to the widget under the pointer.
  void TurnWheel(NativeWindow& window, Point client, int delta) override {
    QWidget* top = Container(window);
    QWidget* under = top->childAt(client.x, client.y);
    if (under == nullptr) under = top;
    QPointF global = top->mapToGlobal(QPointF(client.x, client.y));
    QWheelEvent wheel(under->mapFromGlobal(global), global, QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    wheel.setTimestamp(++timestamp_);
    QApplication::sendEvent(under, &wheel);
    Settle();
  }
  void PressKey(int key_code, int key_state) override {
    QWidget* target = KeyTarget();
    if (target == nullptr) return;
    QTest::keyClick(target, QtKey(key_code), Modifiers(key_state));
    Settle();
  }
  void TypeText(std::string_view text) override {
    TypeCharacters(text);
    Settle();
  }

  void RequestClose(NativeWindow& window) override {
    Container(window)->close();
    Settle();
  }

  void AnswerNextMessageBox(MessageResult answer, std::function<void()> while_shown) override {
    answerer_.Arm({DialogAnswerer::Answer::Kind::kMessageBox, answer, std::nullopt, {}, std::move(while_shown)});
  }
  void AnswerNextInputBox(std::optional<std::string> typed) override {
    answerer_.Arm({DialogAnswerer::Answer::Kind::kInputBox, MessageResult::kOk, std::move(typed), {}, {}});
  }

  Color PixelAt(const Canvas& canvas, Point at) override {
    QColor colour = static_cast<const qt::QtCanvas&>(canvas).buffer()->toImage().pixelColor(at.x, at.y);
    return Rgb(colour.red(), colour.green(), colour.blue());
  }

 private:
  static QWidget* Container(NativeWindow& window) { return qt::ContainerOf(&window); }


  qt::QtPlatform platform_;
  DialogAnswerer answerer_;
  quint64 timestamp_ = 0;
};

}  // namespace

std::unique_ptr<BackendDriver> MakeBackendDriver() { return std::make_unique<QtBackendDriver>(); }

}  // namespace tarnwick::testing
