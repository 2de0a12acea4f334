#include "platform/qt/qt_input.h"

#include "platform/qt/qt_text.h"

namespace tarnwick::qt {

int KeyState(Qt::KeyboardModifiers modifiers) {
  int state = 0;
  if (modifiers & Qt::ControlModifier) state |= kKeyStateCtrl;
  if (modifiers & Qt::ShiftModifier) state |= kKeyStateShift;
  if (modifiers & Qt::AltModifier) state |= kKeyStateAlt;
  return state;
}

int KeyCode(const QKeyEvent& event) {
  int key = event.key();
  if (key >= Qt::Key_A && key <= Qt::Key_Z) return key;  // the same numbers as Windows' virtual keys
  if (key >= Qt::Key_0 && key <= Qt::Key_9) return key;
  if (key >= Qt::Key_F1 && key <= Qt::Key_F24) return keys::kF1 + (key - Qt::Key_F1);
  switch (key) {
    case Qt::Key_Backspace: return keys::kBackspace;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return keys::kTab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return keys::kReturn;
    case Qt::Key_Shift: return keys::kShift;
    case Qt::Key_Control: return keys::kControl;
    case Qt::Key_Alt: return keys::kAlt;
    case Qt::Key_Escape: return keys::kEscape;
    case Qt::Key_Space: return keys::kSpace;
    case Qt::Key_PageUp: return keys::kPageUp;
    case Qt::Key_PageDown: return keys::kPageDown;
    case Qt::Key_End: return keys::kEnd;
    case Qt::Key_Home: return keys::kHome;
    case Qt::Key_Left: return keys::kLeft;
    case Qt::Key_Up: return keys::kUp;
    case Qt::Key_Right: return keys::kRight;
    case Qt::Key_Down: return keys::kDown;
    case Qt::Key_Insert: return keys::kInsert;
    case Qt::Key_Delete: return keys::kDelete;
    case Qt::Key_Menu: return keys::kApps;
    default: return 0;
  }
}

std::vector<std::uint32_t> CharacterCodes(const QString& text) {
  std::vector<std::uint32_t> codes;
  for (qsizetype i = 0; i < text.size(); ++i) {
    qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    QString one = text.mid(i, length);
    i += length - 1;
    char16_t first = one.at(0).unicode();
    if (first < 0x20 && first != u'\t' && first != u'\r' && first != u'\n' && first != u'\b') continue;
    std::string gbk = FromQString(one == QStringLiteral("\n") ? QStringLiteral("\r") : one);
    std::uint32_t code = 0;
    for (unsigned char byte : gbk) code = (code << 8) | byte;
    codes.push_back(code);
  }
  return codes;
}

}  // namespace tarnwick::qt
