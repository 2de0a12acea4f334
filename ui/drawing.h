// Drawing shared by the self-drawn kinds: the classic borders, drawn with
// the system colour scheme so that they match the native controls beside
// them.
#pragma once

#include "platform/canvas.h"
#include "platform/window_system.h"

namespace tarnwick {

// Border styles as the label numbers them (the list box, edit box and rich
// editor use the same numbers): 0 none, 1 sunken, 2 raised, 3 shallow
// sunken, 4 frame (etched), 5 single line.
enum class BorderStyle { kNone = 0, kSunken = 1, kRaised = 2, kShallowSunken = 3, kFrame = 4, kSingleLine = 5 };

// Draws the border just inside rect; answers the area left inside it.
Rect DrawBorder(Canvas& canvas, const Rect& rect, BorderStyle style, const WindowSystem& colors);

// The raised (or, pressed, sunken) two-pixel edge of a push button.
Rect DrawButtonEdge(Canvas& canvas, const Rect& rect, bool pressed, const WindowSystem& colors);

// The colour a fraction of the way from `from` to `to` (0..256).
Color BlendColor(Color from, Color to, int fraction_of_256);

// ControlBorder for a border number (out-of-range numbers: none).
ControlBorder ControlBorderOf(int number);

}  // namespace tarnwick
