// Plain values shared by every part of the window-system layer: geometry,
// colours, fonts, input events and key codes.
//
// Everything here is backend-neutral data. Coordinates and sizes are the
// program's pixels; texts are GBK bytes in std::string.
#pragma once

#include <cstdint>
#include <string>

namespace tarnwick {

struct Point {
  int x = 0;
  int y = 0;
  friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
  int width = 0;
  int height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

// left, top, width, height; the right and bottom edges are exclusive.
struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;

  int right() const { return left + width; }
  int bottom() const { return top + height; }
  bool empty() const { return width <= 0 || height <= 0; }
  bool Contains(Point p) const { return p.x >= left && p.x < right() && p.y >= top && p.y < bottom(); }
  Rect Offset(int dx, int dy) const { return {left + dx, top + dy, width, height}; }
  // Shrunk by n pixels on every side (grown for negative n).
  Rect Inset(int n) const { return {left + n, top + n, width - 2 * n, height - 2 * n}; }
  Rect Intersect(const Rect& other) const;
  friend bool operator==(const Rect&, const Rect&) = default;
};

inline Rect Rect::Intersect(const Rect& other) const {
  int l = left > other.left ? left : other.left;
  int t = top > other.top ? top : other.top;
  int r = right() < other.right() ? right() : other.right();
  int b = bottom() < other.bottom() ? bottom() : other.bottom();
  if (r <= l || b <= t) return {l, t, 0, 0};
  return {l, t, r - l, b - t};
}

// An opaque RGB colour.
struct Color {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  friend bool operator==(const Color&, const Color&) = default;
};

inline constexpr Color Rgb(int red, int green, int blue) {
  return Color{static_cast<std::uint8_t>(red), static_cast<std::uint8_t>(green), static_cast<std::uint8_t>(blue)};
}
// 0xRRGGBB, as colours are written in the layout.
inline constexpr Color RgbHex(std::uint32_t rrggbb) {
  return Rgb((rrggbb >> 16) & 0xFF, (rrggbb >> 8) & 0xFF, rrggbb & 0xFF);
}

// Roles of the system colour scheme (the colours a control uses when the
// program leaves a colour at its default).
enum class SystemColor {
  kWindow,            // background of edits and list boxes
  kWindowText,
  kButtonFace,        // background of buttons, windows and group boxes
  kButtonText,
  kButtonHighlight,   // lit edge of 3-D borders
  kButtonLight,
  kButtonShadow,      // shaded edge of 3-D borders
  kButtonDarkShadow,
  kGrayText,          // disabled captions
  kHighlight,         // selection background
  kHighlightText,
  kInfoBackground,    // tooltips
  kInfoText,
};

enum class FontWeight { kNormal = 400, kBold = 700 };

// A font as the layout names it. An empty face means the system's default
// GUI font; a height of 0 means that font's default height. The character
// set is recorded for fidelity (134 = GB2312); backends may ignore it.
struct Font {
  std::string face;  // GBK, e.g. "宋体"
  int height = 0;    // character cell height in pixels
  FontWeight weight = FontWeight::kNormal;
  bool italic = false;
  bool underline = false;
  int charset = 1;   // 1 = default character set
  friend bool operator==(const Font&, const Font&) = default;
};

// Key state bits of the common mouse, key and wheel events.
inline constexpr int kKeyStateCtrl = 1;
inline constexpr int kKeyStateShift = 2;
inline constexpr int kKeyStateAlt = 4;

// Key codes are the classic virtual-key numbers of the platform the program
// was designed for: letters 'A'..'Z' and digits '0'..'9' are their upper-case
// ASCII codes. Backends translate their own key numbers into these.
namespace keys {
inline constexpr int kBackspace = 0x08;
inline constexpr int kTab = 0x09;
inline constexpr int kReturn = 0x0D;
inline constexpr int kShift = 0x10;
inline constexpr int kControl = 0x11;
inline constexpr int kAlt = 0x12;
inline constexpr int kEscape = 0x1B;
inline constexpr int kSpace = 0x20;
inline constexpr int kPageUp = 0x21;
inline constexpr int kPageDown = 0x22;
inline constexpr int kEnd = 0x23;
inline constexpr int kHome = 0x24;
inline constexpr int kLeft = 0x25;
inline constexpr int kUp = 0x26;
inline constexpr int kRight = 0x27;
inline constexpr int kDown = 0x28;
inline constexpr int kInsert = 0x2D;
inline constexpr int kDelete = 0x2E;
inline constexpr int kApps = 0x5D;  // the context-menu key
inline constexpr int kF1 = 0x70;
inline constexpr int kF10 = 0x79;
}  // namespace keys

enum class MouseButton { kNone, kLeft, kRight, kMiddle };

enum class MouseAction { kMove, kPress, kRelease, kDoubleClick };

// Mouse input addressed to one control; position in its client coordinates.
struct MouseEvent {
  MouseAction action = MouseAction::kMove;
  MouseButton button = MouseButton::kNone;  // kNone for kMove
  Point position;
  int key_state = 0;  // kKeyState* bits
};

// One turn of the wheel: delta as the system reports it, 120 per notch,
// positive away from the user.
struct WheelEvent {
  int delta = 0;
  Point position;  // client coordinates of the receiving control
  int key_state = 0;
};

struct KeyEvent {
  bool down = true;  // false: key released
  int key_code = 0;  // keys::* or 'A'..'Z', '0'..'9'
  int key_state = 0;
};

// Pointer shapes (property 7 of every control); the program keeps the default.
enum class CursorShape { kDefault, kArrow, kIBeam, kHand, kWait, kCross };

}  // namespace tarnwick
