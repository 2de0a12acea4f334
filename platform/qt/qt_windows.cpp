// Top-level windows on Qt, and the application-wide routing of mnemonic keys
// and of the wheel.
#include "platform/qt/qt_control.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCloseEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QWheelEvent>
#include <QWindow>
#include <algorithm>

#include "platform/frame_metrics.h"

namespace tarnwick::qt {
namespace {

class TopWindowWidget : public QWidget {
 public:
  explicit TopWindowWidget(WindowListener& listener) : listener_(listener) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    // The listener decides; the window goes only when its object is destroyed.
    event->ignore();
    listener_.OnCloseRequested();
  }
  void changeEvent(QEvent* event) override {
    if (event->type() == QEvent::ActivationChange) {
      bool active = isActiveWindow();
      if (active != was_active_) {
        was_active_ = active;
        // Qt makes the application inactive before it tells the window, when
        // no window of the program took the activation over.
        listener_.OnActivationChanged(active, !active && QApplication::activeWindow() == nullptr);
      }
    }
    QWidget::changeEvent(event);
  }

 private:
  WindowListener& listener_;
  bool was_active_ = false;
};

class QtWindow : public NativeWindow, public QtParent {
 public:
  QtWindow(const WindowStyle& style, const Rect& outer, std::string_view caption, WindowListener& listener)
      : style_(style),
        frame_(DescribeFrame(style, caption)),
        widget_(new TopWindowWidget(listener)),
        bridge_(std::make_unique<InputBridge>(widget_, listener)) {
    widget_->setFocusPolicy(Qt::NoFocus);
    widget_->setWindowFlags(Flags(style_.always_on_top));
    if (!style.takes_activation) {
      widget_->setAttribute(Qt::WA_ShowWithoutActivating);
      widget_->setAttribute(Qt::WA_X11DoNotAcceptFocus);
    }
    // A frameless, always-on-top window outside the task bar is a dock:
    // window managers place it where asked and keep it above the others.
    if (style.frame == FrameStyle::kNone && !style.in_taskbar && style.always_on_top) {
      widget_->setAttribute(Qt::WA_X11NetWmWindowTypeDock);
    }
    SetBackground(style.background);
    widget_->setWindowTitle(ToQString(caption));
    SetOuterRect(outer);
  }

  ~QtWindow() override {
    bridge_.reset();
    delete widget_;
  }

  QWidget* container() override { return widget_; }

  void SetCaption(std::string_view caption) override { widget_->setWindowTitle(ToQString(caption)); }

  Rect OuterRect() const override {
    QPoint at = widget_->isVisible() ? widget_->frameGeometry().topLeft() : widget_->pos();
    // A frame the user can resize answers the size the user left it at.
    Size outer = frame_.resizable ? OuterSizeFor(ProgramFrameInsets(frame_), ClientSize()) : outer_;
    return {at.x(), at.y(), outer.width, outer.height};
  }

  void SetOuterRect(const Rect& rect) override {
    outer_ = {rect.width, rect.height};
    Size client = ClientSizeFor(ProgramFrameInsets(frame_), outer_);
    int width = std::max(1, client.width);
    int height = std::max(1, client.height);
    if (!frame_.resizable) {
      widget_->setFixedSize(width, height);
    } else {
      widget_->resize(width, height);
    }
    widget_->move(rect.left, rect.top);
  }

  Size ClientSize() const override { return {widget_->width(), widget_->height()}; }

  Point ClientOrigin() const override {
    QPoint origin = widget_->mapToGlobal(QPoint(0, 0));
    return {origin.x(), origin.y()};
  }

  void Show() override {
    // A native window made by this show is mapped above its siblings
    // already. Raising it anyway makes the server report a new stacking,
    // and Qt then asks for the window's position and frame again: four
    // round trips to the server before the first paint.
    bool made_now = !widget_->testAttribute(Qt::WA_WState_Created);
    widget_->show();
    if (style_.takes_activation) {
      if (!made_now) widget_->raise();
      widget_->activateWindow();
    }
  }
  void Hide() override { widget_->hide(); }
  bool IsVisible() const override { return widget_->isVisible(); }

  void SetWindowOrder(WindowOrder order) override {
    switch (order) {
      case WindowOrder::kTop: widget_->raise(); break;
      case WindowOrder::kBottom: widget_->lower(); break;
      case WindowOrder::kAlwaysOnTop:
      case WindowOrder::kNotAlwaysOnTop: {
        bool on_top = order == WindowOrder::kAlwaysOnTop;
        Qt::WindowFlags flags = Flags(on_top);
        // Changed on the native window in place: re-creating it would hide
        // and possibly activate it.
        widget_->overrideWindowFlags(flags);
        if (QWindow* handle = widget_->windowHandle()) handle->setFlags(flags);
        widget_->raise();
        break;
      }
    }
  }

  void Activate() override {
    widget_->raise();
    widget_->activateWindow();
  }
  bool IsActive() const override { return widget_->isActiveWindow(); }

  void SetBackground(Color color) override {
    QPalette palette = widget_->palette();
    palette.setColor(QPalette::Window, ToQColor(color));
    widget_->setPalette(palette);
    widget_->setAutoFillBackground(true);
  }

 private:
  Qt::WindowFlags Flags(bool on_top) const {
    Qt::WindowFlags flags = style_.in_taskbar ? Qt::Window : Qt::Tool;
    if (!frame_.border) {
      flags |= Qt::FramelessWindowHint;
    } else {
      flags |= Qt::CustomizeWindowHint;
      if (frame_.title_bar) flags |= Qt::WindowTitleHint;
      if (style_.system_menu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
      if (style_.minimize_box) flags |= Qt::WindowMinimizeButtonHint;
      if (style_.maximize_box) flags |= Qt::WindowMaximizeButtonHint;
      if (!frame_.resizable) flags |= Qt::MSWindowsFixedSizeDialogHint;
    }
    if (on_top) flags |= Qt::WindowStaysOnTopHint;
    if (!style_.takes_activation) flags |= Qt::WindowDoesNotAcceptFocus;
    return flags;
  }

  WindowStyle style_;
  FrameParts frame_;  // decided at creation
  TopWindowWidget* widget_;
  std::unique_ptr<InputBridge> bridge_;
  Size outer_;
};

// Application-wide routing of Alt+key (the program's mnemonics) and of the
// wheel: a turn goes to the control with the keyboard focus, as on Windows,
// wherever the pointer is; the control under the pointer does not also get it.
// While the focus is in a text entry, a turn over another control goes to
// that control instead. Only the vertical wheel turns: a horizontal turn, or
// a scroll phase without movement, is left to the control under the pointer.
class InputRouter : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
      if (modifiers != Qt::AltModifier) return false;
      int code = KeyCode(*key);
      if (code == 0 || code == keys::kAlt || code == keys::kShift || code == keys::kControl) return false;
      QWidget* focus = QApplication::focusWidget();
      if (focus != nullptr ? focus != widget : !widget->isWindow()) return false;  // once per key
      auto* window = dynamic_cast<TopWindowWidget*>(widget->window());
      if (window == nullptr) return false;
      InputBridge* bridge = InputBridge::Of(window);
      if (bridge == nullptr) return false;
      auto& listener = static_cast<WindowListener&>(bridge->listener());
      return listener.OnMnemonicKey({true, code, KeyState(key->modifiers())});
    }
    if (event->type() == QEvent::Wheel) {
      if (forwarding_) return false;  // handed to the focused control below
      auto* wheel = static_cast<QWheelEvent*>(event);
      if (wheel == last_wheel_ && wheel->timestamp() == last_wheel_time_) return false;  // passed up, seen already
      last_wheel_ = wheel;
      last_wheel_time_ = wheel->timestamp();
      const int delta = wheel->angleDelta().y();
      if (delta == 0) return false;
      QWidget* focus = QApplication::focusWidget();
      if (focus == nullptr || focus->window() != widget->window()) return false;
      if (qobject_cast<QLineEdit*>(focus) != nullptr || qobject_cast<QPlainTextEdit*>(focus) != nullptr) {
        InputBridge* under = InputBridge::Of(widget);
        if (under != nullptr && under != InputBridge::Of(focus) && !under->control()->isWindow()) focus = under->control();
      }
      InputBridge* bridge = InputBridge::Of(focus);
      if (bridge == nullptr) return false;
      QPoint at = bridge->control()->mapFromGlobal(wheel->globalPosition().toPoint());
      if (!bridge->listener().OnWheel({delta, {at.x(), at.y()}, KeyState(wheel->modifiers())})) return true;
      // The turn is the focused control's alone: the control under the
      // pointer, when it is another one, must not act on it too.
      if (InputBridge::Of(widget) == bridge) return false;
      // A scrolling control takes the wheel on its viewport.
      QWidget* target = focus;
      if (auto* scrolling = qobject_cast<QAbstractScrollArea*>(focus)) target = scrolling->viewport();
      QWheelEvent handed(target->mapFromGlobal(wheel->globalPosition()), wheel->globalPosition(),
                         wheel->pixelDelta(), wheel->angleDelta(), wheel->buttons(), wheel->modifiers(),
                         wheel->phase(), wheel->inverted(), wheel->source(), wheel->pointingDevice());
      handed.setTimestamp(wheel->timestamp());
      forwarding_ = true;
      QApplication::sendEvent(target, &handed);
      forwarding_ = false;
      return true;
    }
    return false;
  }

 private:
  const QWheelEvent* last_wheel_ = nullptr;
  quint64 last_wheel_time_ = 0;
  bool forwarding_ = false;
};

}  // namespace

QtWindowSystem::QtWindowSystem() : router_(std::make_unique<InputRouter>()) {
  qApp->installEventFilter(router_.get());
}

QtWindowSystem::~QtWindowSystem() = default;

std::unique_ptr<NativeWindow> QtWindowSystem::CreateTopLevelWindow(const WindowStyle& style, const Rect& outer,
                                                                   std::string_view caption,
                                                                   WindowListener& listener) {
  return std::make_unique<QtWindow>(style, outer, caption, listener);
}

}  // namespace tarnwick::qt
