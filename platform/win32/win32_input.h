// Input as the layer describes it: key states, mouse events and the GBK
// codes of typed characters, from the Windows messages.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/types.h"

namespace tarnwick::win32 {

// Ctrl, Shift and Alt as the keyboard state has them now.
int KeyStateNow();
// The key state of a mouse message (MK_CONTROL, MK_SHIFT; Alt from the keyboard).
int MouseKeyState(WPARAM wparam);
// The mouse event of a WM_*BUTTON* or WM_MOUSEMOVE message; nullopt for others.
std::optional<MouseEvent> MouseEventOf(UINT message, WPARAM wparam, LPARAM lparam);
// The GBK code of one typed character (one UTF-16 unit, or a surrogate pair):
// the byte value below 0x80, lead * 256 + trail for a double-byte character,
// the four bytes of a GB18030 code. nullopt for control characters other
// than Tab, Enter and Backspace.
std::optional<std::uint32_t> CharacterCode(std::wstring_view character);

}  // namespace tarnwick::win32
