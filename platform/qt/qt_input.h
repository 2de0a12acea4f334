// Qt input translated into the layer's values: the Windows virtual-key
// codes, key-state bits, and the GBK code of a typed character.
#pragma once

#include <QKeyEvent>
#include <QString>
#include <cstdint>
#include <vector>

#include "platform/types.h"

namespace tarnwick::qt {

// kKeyState* bits of the held modifiers.
int KeyState(Qt::KeyboardModifiers modifiers);
// The layer's key code of a Qt key; 0 when it has none.
int KeyCode(const QKeyEvent& event);
// The GBK code of each character of text (see ControlListener::OnCharacter);
// control characters other than Tab, Return and Backspace are left out.
std::vector<std::uint32_t> CharacterCodes(const QString& text);

}  // namespace tarnwick::qt
