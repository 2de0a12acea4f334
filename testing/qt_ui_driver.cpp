// The widget behaviour tests on the Qt backend, on Qt's offscreen platform:
// pointer input goes through the window system's path (QTest on the QWindow,
// so the widget under the point receives it, with enter and leave), keys to
// the focus widget, typed text as input-method commits, and what the user
// sees is read from the widgets' rendered pixels.
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>

#include "base/text.h"
#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_text.h"
#include "testing/ui_driver.h"
#include "testing/qt_dialog_answerer.h"
#include "testing/qt_synthetic_input.h"
#include "testing/qt_test_application.h"
#include "testing/text_strokes.h"

namespace tarnwick::testing {
namespace {


class QtUiDriver : public UiDriver {
 public:
  Platform& platform() override { return platform_; }
  std::string backend() const override { return "qt"; }

  void WaitUntilShown(Window& window) override {
    EXPECT_TRUE(QTest::qWaitForWindowActive(Container(window))) << "the window did not become active";
    Settle();
  }

  void MovePointer(Window& window, Point client) override {
    QCursor::setPos(Container(window)->mapToGlobal(QPoint(client.x, client.y)));
    QTest::mouseMove(Handle(window), QPoint(client.x, client.y));
    Settle();
  }
  void PressButton(Window& window, Point client, MouseButton button, int key_state) override {
    QTest::mousePress(Handle(window), QtButton(button), Modifiers(key_state), QPoint(client.x, client.y));
    Settle();
  }
  void ReleaseButton(Window& window, Point client, MouseButton button, int key_state) override {
    QTest::mouseMove(Handle(window), QPoint(client.x, client.y));
    QTest::mouseRelease(Handle(window), QtButton(button), Modifiers(key_state), QPoint(client.x, client.y));
    Settle();
  }
  void Click(Window& window, Point client, MouseButton button, int key_state) override {
    QPoint at(client.x, client.y);
    QTest::mouseMove(Handle(window), at);
    QTest::mousePress(Handle(window), QtButton(button), Modifiers(key_state), at);
    QTest::mouseRelease(Handle(window), QtButton(button), Modifiers(key_state), at);
    Settle();
  }
  void DoubleClick(Window& window, Point client) override {
    QPoint at(client.x, client.y);
    QTest::mouseMove(Handle(window), at);
    QTest::mouseDClick(Handle(window), Qt::LeftButton, {}, at);
    Settle();
  }
  // The window system's leave, to every widget the pointer was over.
  void MovePointerAway(Window& window) override {
    QWidget* top = Container(window);
    QList<QWidget*> under;
    for (QWidget* widget : top->findChildren<QWidget*>()) {
      if (widget->underMouse()) under.push_front(widget);
    }
    for (QWidget* widget : under) {
      QEvent leave(QEvent::Leave);
      QApplication::sendEvent(widget, &leave);
      widget->setAttribute(Qt::WA_UnderMouse, false);
    }
    Settle();
  }

  void TurnWheel(int delta, int key_state) override {
    QWidget* target = KeyTarget();
    if (target == nullptr) return;
    QPointF at = target->rect().center();
    QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Modifiers(key_state),
                      Qt::NoScrollPhase, false);
    wheel.setTimestamp(++timestamp_);
    QApplication::sendEvent(target, &wheel);
    Settle();
  }
  // Keys carry no text: characters arrive only through TypeText, as on
  // every backend.
  void KeyDown(int key_code, int key_state) override {
    if (QWidget* target = KeyTarget()) {
      QTest::sendKeyEvent(QTest::Press, target, QtKey(key_code), QString(), Modifiers(key_state));
    }
    Settle();
  }
  void PressKey(int key_code, int key_state) override {
    KeyDown(key_code, key_state);
    if (QWidget* target = KeyTarget()) {
      QTest::sendKeyEvent(QTest::Release, target, QtKey(key_code), QString(), Modifiers(key_state));
    }
    Settle();
  }
  void TypeText(std::string_view text) override {
    TypeCharacters(text);
    Settle();
  }

  void AnswerNextMessageBox(MessageResult answer) override {
    answerer_.Arm({DialogAnswerer::Answer::Kind::kMessageBox, answer, std::nullopt, {}, {}});
  }
  void AnswerNextInputBox(std::optional<std::string> typed) override {
    answerer_.Arm({DialogAnswerer::Answer::Kind::kInputBox, MessageResult::kOk, std::move(typed), {}, {}});
  }
  void AnswerNextPopupMenu(std::string caption) override {
    answerer_.Arm({DialogAnswerer::Answer::Kind::kPopupMenu, MessageResult::kOk, std::nullopt, std::move(caption), {}});
  }
  std::vector<ShownDialog> ShownDialogs() override { return answerer_.shown(); }

  void RequestClose(Window& window) override {
    Container(window)->close();
    Settle();
  }
  void Settle() override {
    for (int round = 0; round < 2; ++round) {
      QCoreApplication::sendPostedEvents();
      QCoreApplication::processEvents();
      platform_.loop().ProcessPendingEvents();
    }
  }

  Color PixelAt(const Control& control, Point local) override {
    QWidget* widget = WidgetOf(control);
    if (widget == nullptr) return {};
    Settle();
    QColor colour = widget->grab().toImage().pixelColor(local.x, local.y);
    return Rgb(colour.red(), colour.green(), colour.blue());
  }

  bool ShowsTextIn(const Control& control, Color color) override {
    QWidget* widget = WidgetOf(control);
    if (widget == nullptr) return false;
    Settle();
    QImage image = widget->grab().toImage();
    std::vector<Color> pixels;
    pixels.reserve(static_cast<std::size_t>(image.width()) * image.height());
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) {
        QRgb pixel = image.pixel(x, y);
        pixels.push_back(Rgb(qRed(pixel), qGreen(pixel), qBlue(pixel)));
      }
    }
    return ShowsTextStrokesIn(pixels, image.width(), image.height(), color);
  }

  const Control* ControlAt(Window& window, Point client) override {
    QWidget* top = Container(window);
    if (!top->rect().contains(client.x, client.y)) return nullptr;
    for (QWidget* widget = top->childAt(client.x, client.y); widget != nullptr && widget != top;
         widget = widget->parentWidget()) {
      for (const auto& control : window.controls()) {
        if (control->native() != nullptr && WidgetOf(*control) == widget) return control.get();
      }
    }
    return nullptr;
  }

  std::string ToolTip(const Control& control) override {
    QWidget* widget = WidgetOf(control);
    return widget == nullptr ? std::string() : qt::FromQString(widget->toolTip());
  }
  bool IsShown(const Control& control) override {
    QWidget* widget = WidgetOf(control);
    return widget != nullptr && widget->isVisibleTo(widget->window());
  }

 private:
  static QWidget* Container(Window& window) { return qt::ContainerOf(&window.native_window()); }
  static QWindow* Handle(Window& window) { return Container(window)->windowHandle(); }

  // The widget behind a control: the child of its parent's container that
  // stands exactly on the control's rectangle.
  static QWidget* WidgetOf(const Control& control) {
    if (control.native() == nullptr) return nullptr;
    QWidget* parent = control.parent() != nullptr ? qt::ContainerOf(control.parent()->native_parent())
                                                   : qt::ContainerOf(&control.window().native_window());
    if (parent == nullptr) return nullptr;
    Rect rect = control.rect();
    QRect wanted(rect.left, rect.top, rect.width, rect.height);
    for (QObject* child : parent->children()) {
      auto* widget = qobject_cast<QWidget*>(child);
      if (widget != nullptr && !widget->isWindow() && widget->geometry() == wanted) return widget;
    }
    ADD_FAILURE() << "no widget stands where " << control.name() << " is";
    return nullptr;
  }

  qt::QtPlatform platform_;
  DialogAnswerer answerer_;
  quint64 timestamp_ = 0;
};

}  // namespace

std::unique_ptr<UiDriver> MakeUiDriver() { return std::make_unique<QtUiDriver>(); }

}  // namespace tarnwick::testing
