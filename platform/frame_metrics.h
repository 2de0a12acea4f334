// Frame metrics: what a top-level window's frame style is made of, and how
// the outer rectangle the program gives maps to the client area its layout
// fills. Every backend takes both from here, so a window's client area is the
// same size on each of them.
//
// The contract. The program speaks in outer rectangles measured on the frame
// the layout was drawn on (ProgramFrameInsets: a fixed frame with a title bar
// is 3 pixels left, right and below and 25 above, so 371 x 596 leaves
// 365 x 568). What the layout needs is the client size, outer size less those
// insets; a backend makes the client area exactly that size and draws its own
// real frame, whatever its thickness, around it:
//
// - Headless: the real frame is the program's frame. OuterRect is what was
//   set; the client origin is the outer top left plus (left, top).
// - Qt: the widget is the client area, sized to ClientSizeFor (at least 1 x 1,
//   as Qt cannot make an empty window); the window manager draws its frame
//   around it, or none on a bare X server. The frame's top left goes to the
//   outer position. OuterRect answers the frame's real top left with the
//   outer size last set.
// - Win32: the client rectangle of ClientSizeFor is grown by
//   AdjustWindowRectEx with the window's WS_* and WS_EX_* styles (from
//   FrameParts) into the real outer size, placed with its top left at the
//   outer position. OuterRect answers GetWindowRect's top left with the outer
//   size last set, so the program never sees the system's frame metrics
//   (themes and DPI change them) and compares the sizes it set.
//
// After the user resizes a resizable frame, the outer size a backend answers
// is the new client size plus ProgramFrameInsets.
#pragma once

#include <string_view>

#include "platform/types.h"
#include "platform/window_system.h"

namespace tarnwick {

// The pieces of a window's frame, decided once when the window is made.
struct FrameParts {
  bool border = false;       // any frame at all (FrameStyle::kNone has none)
  bool resizable = false;    // the user can drag the border
  bool tool_window = false;  // the thin title bar of a tool window
  bool client_edge = false;  // a sunken edge inside the border
  // A title bar shows when there is a border and either the window was made
  // with a caption or it has a system menu. Setting a caption later changes
  // the text, never the frame (on Windows the title bar is a creation style).
  bool title_bar = false;
  friend bool operator==(const FrameParts&, const FrameParts&) = default;
};

FrameParts DescribeFrame(const WindowStyle& style, std::string_view caption_at_creation);

// The frame around the client area, in pixels on each side.
struct FrameInsets {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int horizontal() const { return left + right; }
  int vertical() const { return top + bottom; }
  friend bool operator==(const FrameInsets&, const FrameInsets&) = default;
};

// The frame the program's outer sizes are measured on: a border of 3 on every
// side; a title bar makes the top 25 (19 for a tool window); a client edge
// adds 2 on every side; no border, no insets.
FrameInsets ProgramFrameInsets(const FrameParts& parts);

// The client size an outer size leaves (never negative).
Size ClientSizeFor(const FrameInsets& insets, Size outer);
// The outer size around a client size.
Size OuterSizeFor(const FrameInsets& insets, Size client);
// The client area, in screen coordinates, of an outer rectangle.
Rect ClientRectFor(const FrameInsets& insets, const Rect& outer);

}  // namespace tarnwick
