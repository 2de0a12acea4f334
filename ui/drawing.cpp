#include "ui/drawing.h"

namespace tarnwick {
namespace {

// Top and left edge in one colour, bottom and right in another.
void Edge(Canvas& canvas, const Rect& rect, Color top_left, Color bottom_right) {
  if (rect.width <= 0 || rect.height <= 0) return;
  canvas.DrawLine({rect.left, rect.top}, {rect.right() - 1, rect.top}, top_left);
  canvas.DrawLine({rect.left, rect.top}, {rect.left, rect.bottom() - 1}, top_left);
  canvas.DrawLine({rect.left, rect.bottom() - 1}, {rect.right(), rect.bottom() - 1}, bottom_right);
  canvas.DrawLine({rect.right() - 1, rect.top}, {rect.right() - 1, rect.bottom() - 1}, bottom_right);
}

}  // namespace

Rect DrawBorder(Canvas& canvas, const Rect& rect, BorderStyle style, const WindowSystem& colors) {
  Color highlight = colors.GetSystemColor(SystemColor::kButtonHighlight);
  Color light = colors.GetSystemColor(SystemColor::kButtonLight);
  Color shadow = colors.GetSystemColor(SystemColor::kButtonShadow);
  Color dark = colors.GetSystemColor(SystemColor::kButtonDarkShadow);
  switch (style) {
    case BorderStyle::kNone:
      return rect;
    case BorderStyle::kSunken:
      Edge(canvas, rect, shadow, highlight);
      Edge(canvas, rect.Inset(1), dark, light);
      return rect.Inset(2);
    case BorderStyle::kRaised:
      Edge(canvas, rect, light, dark);
      Edge(canvas, rect.Inset(1), highlight, shadow);
      return rect.Inset(2);
    case BorderStyle::kShallowSunken:
      Edge(canvas, rect, shadow, highlight);
      return rect.Inset(1);
    case BorderStyle::kFrame:
      Edge(canvas, rect, shadow, highlight);
      Edge(canvas, rect.Inset(1), highlight, shadow);
      return rect.Inset(2);
    case BorderStyle::kSingleLine:
      canvas.FrameRect(rect, colors.GetSystemColor(SystemColor::kWindowText));
      return rect.Inset(1);
  }
  return rect;
}

Rect DrawButtonEdge(Canvas& canvas, const Rect& rect, bool pressed, const WindowSystem& colors) {
  return DrawBorder(canvas, rect, pressed ? BorderStyle::kSunken : BorderStyle::kRaised, colors);
}

Color BlendColor(Color from, Color to, int fraction_of_256) {
  auto mix = [fraction_of_256](int a, int b) { return a + (b - a) * fraction_of_256 / 256; };
  return Rgb(mix(from.red, to.red), mix(from.green, to.green), mix(from.blue, to.blue));
}

ControlBorder ControlBorderOf(int number) {
  switch (number) {
    case 1: return ControlBorder::kSunken;
    case 2: return ControlBorder::kRaised;
    case 3: return ControlBorder::kShallowSunken;
    case 4: return ControlBorder::kFrame;
    case 5: return ControlBorder::kSingleLine;
    default: return ControlBorder::kNone;
  }
}

}  // namespace tarnwick
