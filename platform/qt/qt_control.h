// What every Qt control shares: the bridge that hands a widget's input and
// focus notifications to the control's listener before the widget sees them,
// and the operations common to every native control over its widget. Each
// kind of control has a file of its own (qt_surface.cpp, qt_buttons.cpp,
// qt_list_box.cpp, qt_edit.cpp, qt_rich_edit.cpp, qt_drop_down_list.cpp,
// qt_group_frame.cpp, qt_windows.cpp) defining its classes and the
// QtWindowSystem function that creates it.
#pragma once

#include <QApplication>
#include <QFrame>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QVariant>
#include <QWidget>
#include <memory>
#include <string_view>

#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_fonts.h"
#include "platform/qt/qt_input.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/qt_window_system.h"
#include "platform/window_system.h"

namespace tarnwick::qt {

// The dynamic property that leads from a widget to the bridge of its control.
inline constexpr char kBridgeProperty[] = "tarnwickInputBridge";
// Marks the widget of an owner-drawn surface, which its own controls precede
// in Tab order.
inline constexpr char kSurfaceProperty[] = "tarnwickSurface";

inline Qt::CursorShape ToQtCursor(CursorShape shape) {
  switch (shape) {
    case CursorShape::kIBeam: return Qt::IBeamCursor;
    case CursorShape::kHand: return Qt::PointingHandCursor;
    case CursorShape::kWait: return Qt::WaitCursor;
    case CursorShape::kCross: return Qt::CrossCursor;
    default: return Qt::ArrowCursor;
  }
}

inline void ApplyFrame(QFrame* frame, ControlBorder border) {
  switch (border) {
    case ControlBorder::kNone: frame->setFrameStyle(QFrame::NoFrame); break;
    case ControlBorder::kRaised: frame->setFrameStyle(QFrame::Panel | QFrame::Raised); break;
    case ControlBorder::kFrame:
    case ControlBorder::kSingleLine: frame->setFrameStyle(QFrame::Box | QFrame::Plain); break;
    default: frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken); break;
  }
}

inline void ApplyColors(QWidget* widget, Color text, Color background) {
  QPalette palette = widget->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Base, ToQColor(background));
    if (group != QPalette::Disabled) palette.setColor(group, QPalette::Text, ToQColor(text));
  }
  widget->setPalette(palette);
}

// Delivers a control's input and focus notifications to its listener before
// the widget sees them; a false answer stops the widget's own processing.
class InputBridge : public QObject {
 public:
  InputBridge(QWidget* control, ControlListener& listener) : control_(control), listener_(listener) {
    Watch(control);
  }

  ControlListener& listener() { return listener_; }
  QWidget* control() const { return control_; }

  // Also listens to a part of the control (a viewport, a drop-down's line).
  void Watch(QWidget* part) {
    part->installEventFilter(this);
    part->setMouseTracking(true);
    part->setProperty(kBridgeProperty, QVariant::fromValue(static_cast<void*>(this)));
  }

  static InputBridge* Of(QObject* object) {
    for (QObject* at = object; at != nullptr; at = at->parent()) {
      QVariant bridge = at->property(kBridgeProperty);
      if (bridge.isValid()) return static_cast<InputBridge*>(bridge.value<void*>());
      if (at->isWidgetType() && static_cast<QWidget*>(at)->isWindow()) break;
    }
    return nullptr;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* widget = static_cast<QWidget*>(watched);
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove: {
        if (widget != control_ && widget->property(kBridgeProperty).value<void*>() != this) return false;
        auto* mouse = static_cast<QMouseEvent*>(event);
        MouseEvent translated;
        translated.action = event->type() == QEvent::MouseButtonPress     ? MouseAction::kPress
                            : event->type() == QEvent::MouseButtonRelease ? MouseAction::kRelease
                            : event->type() == QEvent::MouseButtonDblClick ? MouseAction::kDoubleClick
                                                                            : MouseAction::kMove;
        if (translated.action != MouseAction::kMove) {
          translated.button = mouse->button() == Qt::LeftButton    ? MouseButton::kLeft
                              : mouse->button() == Qt::RightButton ? MouseButton::kRight
                              : mouse->button() == Qt::MiddleButton ? MouseButton::kMiddle
                                                                    : MouseButton::kNone;
        }
        QPoint at = widget->mapTo(control_->window(), mouse->position().toPoint());
        at = control_->mapFrom(control_->window(), at);
        translated.position = {at.x(), at.y()};
        translated.key_state = KeyState(mouse->modifiers());
        return !listener_.OnMouse(translated);
      }
      case QEvent::Leave:
        if (widget == control_) listener_.OnMouseLeave();
        return false;
      case QEvent::KeyPress:
      case QEvent::KeyRelease: {
        // Only the focused control's own keys, not those a child passed up.
        QWidget* focus = QApplication::focusWidget();
        if (focus != nullptr && focus != widget) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        KeyEvent translated{event->type() == QEvent::KeyPress, KeyCode(*key), KeyState(key->modifiers())};
        if (translated.key_code != 0 && !listener_.OnKey(translated)) return true;
        if (event->type() == QEvent::KeyPress && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
          for (std::uint32_t code : CharacterCodes(key->text())) {
            if (!listener_.OnCharacter(code)) return true;
          }
        }
        // Alt with a letter or digit types nothing, as on Windows, where it
        // makes no character input: an edit must not take it as text.
        bool alt_only = (key->modifiers() & (Qt::AltModifier | Qt::ControlModifier)) == Qt::AltModifier;
        return event->type() == QEvent::KeyPress && alt_only && !key->text().isEmpty() && key->text().at(0).isPrint();
      }
      case QEvent::InputMethod: {
        // Text committed by the desktop's input method arrives as characters too.
        auto* input = static_cast<QInputMethodEvent*>(event);
        for (std::uint32_t code : CharacterCodes(input->commitString())) {
          if (!listener_.OnCharacter(code)) return true;
        }
        return false;
      }
      case QEvent::FocusIn:
      case QEvent::FocusOut:
        if (widget == control_) listener_.OnFocusChanged(event->type() == QEvent::FocusIn);
        return false;
      default:
        return false;
    }
  }

 private:
  QWidget* control_;
  ControlListener& listener_;
};

// The operations common to every control, over its widget.
template <class Interface, class Widget>
class QtControl : public Interface {
 public:
  QtControl(Widget* widget, ControlListener& listener, const Rect& rect)
      : widget_(widget), bridge_(std::make_unique<InputBridge>(widget, listener)) {
    widget->setGeometry(rect.left, rect.top, rect.width, rect.height);
    widget->show();
    QWidget* holder = widget->parentWidget();
    if (holder != nullptr && holder->property(kSurfaceProperty).toBool()) {
      // Qt reorders only between widgets that take the focus, and the window
      // may come just before the surface: it takes the focus for the while.
      QWidget* window = holder->window();
      Qt::FocusPolicy policy = window->focusPolicy();
      window->setFocusPolicy(Qt::TabFocus);
      QWidget::setTabOrder(widget, holder);
      window->setFocusPolicy(policy);
    }
  }

  ~QtControl() override {
    bridge_.reset();  // no notification reaches a listener on the way out
    if (widget_) {
      widget_->disconnect();
      delete widget_.data();
    }
  }

  void SetRect(const Rect& rect) override { widget_->setGeometry(rect.left, rect.top, rect.width, rect.height); }
  void SetVisible(bool visible) override { widget_->setVisible(visible); }
  void SetEnabled(bool enabled) override { widget_->setEnabled(enabled); }
  // In a window not shown yet, Qt keeps the focus asked for until it shows.
  void SetFocus() override {
    if (widget_->isVisibleTo(widget_->window()) && widget_->isEnabled()) widget_->setFocus(Qt::OtherFocusReason);
  }
  bool HasFocus() const override { return widget_->hasFocus(); }
  void SetTabStop(bool tab_stop) override {
    if (widget_->focusPolicy() == Qt::NoFocus) return;
    widget_->setFocusPolicy(tab_stop ? Qt::StrongFocus : Qt::ClickFocus);
  }
  void SetToolTip(std::string_view text) override { widget_->setToolTip(ToQtLines(text)); }
  void SetFont(const Font& font) override { widget_->setFont(ToQFont(font)); }
  void SetCursor(CursorShape shape) override {
    if (shape == CursorShape::kDefault) widget_->unsetCursor();
    else widget_->setCursor(ToQtCursor(shape));
  }
  void RaiseAboveSiblings() override { widget_->raise(); }

 protected:
  ControlListener& listener() { return bridge_->listener(); }
  InputBridge& bridge() { return *bridge_; }

  QPointer<Widget> widget_;
  std::unique_ptr<InputBridge> bridge_;
};

}  // namespace tarnwick::qt
