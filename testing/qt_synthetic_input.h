// Synthetic user input for the Qt test drivers: the program's key codes,
// modifiers and buttons in Qt's terms, and typed characters sent to the
// focus widget as a keyboard layout or input method delivers them.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>
#include <string_view>

#include "base/text.h"
#include "platform/qt/qt_text.h"
#include "platform/types.h"

namespace tarnwick::testing {

inline Qt::KeyboardModifiers Modifiers(int key_state) {
  Qt::KeyboardModifiers modifiers;
  if (key_state & kKeyStateCtrl) modifiers |= Qt::ControlModifier;
  if (key_state & kKeyStateShift) modifiers |= Qt::ShiftModifier;
  if (key_state & kKeyStateAlt) modifiers |= Qt::AltModifier;
  return modifiers;
}

inline Qt::MouseButton QtButton(MouseButton button) {
  switch (button) {
    case MouseButton::kLeft: return Qt::LeftButton;
    case MouseButton::kRight: return Qt::RightButton;
    case MouseButton::kMiddle: return Qt::MiddleButton;
    default: return Qt::NoButton;
  }
}

inline Qt::Key QtKey(int key_code) {
  if ((key_code >= 'A' && key_code <= 'Z') || (key_code >= '0' && key_code <= '9')) return Qt::Key(key_code);
  switch (key_code) {
    case keys::kBackspace: return Qt::Key_Backspace;
    case keys::kTab: return Qt::Key_Tab;
    case keys::kReturn: return Qt::Key_Return;
    case keys::kEscape: return Qt::Key_Escape;
    case keys::kSpace: return Qt::Key_Space;
    case keys::kPageUp: return Qt::Key_PageUp;
    case keys::kPageDown: return Qt::Key_PageDown;
    case keys::kEnd: return Qt::Key_End;
    case keys::kHome: return Qt::Key_Home;
    case keys::kLeft: return Qt::Key_Left;
    case keys::kUp: return Qt::Key_Up;
    case keys::kRight: return Qt::Key_Right;
    case keys::kDown: return Qt::Key_Down;
    case keys::kInsert: return Qt::Key_Insert;
    case keys::kDelete: return Qt::Key_Delete;
    case keys::kF1: return Qt::Key_F1;
    case keys::kF10: return Qt::Key_F10;
    case keys::kApps: return Qt::Key_Menu;
    default: ADD_FAILURE() << "no Qt key for " << key_code; return Qt::Key_unknown;
  }
}

// Where keys go: the focus widget, else the active window.
inline QWidget* KeyTarget() {
  QWidget* focus = QApplication::focusWidget();
  return focus != nullptr ? focus : QApplication::activeWindow();
}

// One key event per character (GBK), carrying only its text (no key code),
// to whatever has the focus as each character arrives.
inline void TypeCharacters(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length = GbkCharLength(text, i);
    QWidget* target = KeyTarget();
    if (target == nullptr) break;
    QString character = qt::ToQString(text.substr(i, length));
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, character);
    QApplication::sendEvent(target, &press);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, character);
    QApplication::sendEvent(target, &release);
    i += length;
  }
}

}  // namespace tarnwick::testing
