#include "ui/label.h"

#include <algorithm>
#include <memory>

#include "ui/drawing.h"
#include "ui/property_values.h"
#include "ui/window.h"

namespace tarnwick {
namespace {

ValueType TypeOf(int number) {
  switch (number) {
    case Label::kText: return ValueType::kText;
    case Label::kWordWrap: return ValueType::kBool;
    case Label::kFont: return ValueType::kFont;
    case Label::kPicture: return ValueType::kPicture;
    case Label::kBorderColor1:
    case Label::kBorderColor2:
    case Label::kBorderColor3:
    case Label::kTextColor:
    case Label::kBackground:
    case Label::kGradientColor1:
    case Label::kGradientColor2:
    case Label::kGradientColor3:
      return ValueType::kColor;
    default:
      return ValueType::kInt;
  }
}

// Through three colours: first at 0, second at the middle, third at 256.
Color ThreeWay(Color first, Color second, Color third, int at_of_256) {
  if (at_of_256 <= 128) return BlendColor(first, second, at_of_256 * 2);
  return BlendColor(second, third, (at_of_256 - 128) * 2);
}

}  // namespace

Label::Label(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags)
    : SelfDrawnControl(window, parent, std::move(name), ControlKind::kLabel, rect, flags), properties_(TypeOf) {
  slot(kText) = std::string();
  slot(kEffect) = 0;
  slot(kBorder) = 0;
  slot(kBorderWidth) = 2;
  slot(kPicturePlacement) = 0;
  slot(kGradientMode) = 0;
  slot(kHorizontalAlign) = 0;
  slot(kWordWrap) = false;
  slot(kVerticalAlign) = 0;
}

int Label::GradientBand() const {
  return std::clamp(IntOr(slot(kBorderWidth), 2), 0, std::min(width(), height()) / 2);
}

int Label::TextFlags() const {
  int flags = 0;
  switch (IntOr(slot(kHorizontalAlign), 0)) {
    case 1: flags |= text_flags::kCenter; break;
    case 2: flags |= text_flags::kRight; break;
    default: break;
  }
  if (BoolOr(slot(kWordWrap), false)) return flags | text_flags::kWordWrap;
  flags |= text_flags::kSingleLine;
  switch (IntOr(slot(kVerticalAlign), 0)) {
    case 1: flags |= text_flags::kVerticalCenter; break;
    case 2: flags |= text_flags::kBottom; break;
    default: break;
  }
  return flags;
}

Font Label::TextFont() const {
  return FontOf(slot(kFont)).value_or(platform().windows().DefaultGuiFont());
}

bool Label::TextFits(std::string_view text) {
  std::unique_ptr<Canvas> canvas = platform().windows().CreateOffscreenCanvas({width(), height()});
  Rect inner{0, 0, width(), height()};
  const int border = IntOr(slot(kBorder), 0);
  if (border >= 1 && border <= 5) {
    inner = DrawBorder(*canvas, inner, static_cast<BorderStyle>(border), platform().windows());
  } else if (border == 6) {
    inner = inner.Inset(GradientBand());
  }
  const Size needed = canvas->MeasureText(text, TextFont(), TextFlags(), inner.width);
  return needed.width <= inner.width && needed.height <= inner.height;
}

Value Label::GetProperty(int number) const {
  if (!properties_.Holds(number)) return Control::GetProperty(number);
  return slot(number);
}

bool Label::SetProperty(int number, const Value& value) {
  if (!properties_.Holds(number)) return Control::SetProperty(number, value);
  if (!properties_.Store(number, value)) return false;
  Repaint();
  return true;
}

std::string Label::text() const { return TextOr(slot(kText)); }

Color Label::text_color() const {
  return ColorOf(slot(kTextColor)).value_or(SystemColorOf(SystemColor::kWindowText));
}

Color Label::background() const {
  return ColorOf(slot(kBackground)).value_or(SystemColorOf(SystemColor::kButtonFace));
}

void Label::Paint(Canvas& canvas, const Rect& dirty) {
  (void)dirty;
  const WindowSystem& colors = platform().windows();
  Rect whole{0, 0, width(), height()};
  canvas.FillRect(whole, background());

  int gradient = IntOr(slot(kGradientMode), 0);
  if (gradient == 1 || gradient == 2) {
    Color first = ColorOf(slot(kGradientColor1)).value_or(background());
    Color second = ColorOf(slot(kGradientColor2)).value_or(first);
    Color third = ColorOf(slot(kGradientColor3)).value_or(second);
    int steps = gradient == 1 ? whole.width : whole.height;
    for (int i = 0; i < steps; ++i) {
      Color color = ThreeWay(first, second, third, steps > 1 ? i * 256 / (steps - 1) : 0);
      if (gradient == 1) canvas.FillRect({i, 0, 1, whole.height}, color);
      else canvas.FillRect({0, i, whole.width, 1}, color);
    }
  }

  if (Picture picture = PictureOf(slot(kPicture)); picture && !picture->empty()) {
    switch (IntOr(slot(kPicturePlacement), 0)) {
      case 1:
        canvas.DrawImage(*picture, {0, 0, picture->width(), picture->height()});
        break;
      case 2:
        canvas.DrawImage(*picture, {(whole.width - picture->width()) / 2, (whole.height - picture->height()) / 2,
                                    picture->width(), picture->height()});
        break;
      case 3:
        for (int y = 0; y < whole.height; y += picture->height()) {
          for (int x = 0; x < whole.width; x += picture->width()) {
            canvas.DrawImage(*picture, {x, y, picture->width(), picture->height()});
          }
        }
        break;
      default:
        canvas.DrawImage(*picture, whole);
        break;
    }
  }

  Rect inner = whole;
  int border = IntOr(slot(kBorder), 0);
  if (border >= 1 && border <= 5) {
    inner = DrawBorder(canvas, whole, static_cast<BorderStyle>(border), colors);
  } else if (border == 6) {
    Color outer = ColorOf(slot(kBorderColor1)).value_or(SystemColorOf(SystemColor::kButtonShadow));
    Color middle = ColorOf(slot(kBorderColor2)).value_or(outer);
    Color innermost = ColorOf(slot(kBorderColor3)).value_or(middle);
    const int band = GradientBand();
    for (int i = 0; i < band; ++i) {
      canvas.FrameRect(whole.Inset(i), ThreeWay(outer, middle, innermost, band > 1 ? i * 256 / (band - 1) : 0));
    }
    inner = whole.Inset(band);
  }

  std::string shown = text();
  if (shown.empty()) return;
  const int flags = TextFlags();
  const Font font = TextFont();
  switch (IntOr(slot(kEffect), 0)) {
    case 1: canvas.DrawTextAligned(inner.Offset(1, 1), shown, font, Rgb(255, 255, 255), flags); break;
    case 2: canvas.DrawTextAligned(inner.Offset(1, 1), shown, font, Rgb(0, 0, 0), flags); break;
    case 3: canvas.DrawTextAligned(inner.Offset(-1, -1), shown, font, Rgb(255, 255, 255), flags); break;
    default: break;
  }
  canvas.DrawTextAligned(inner, shown, font, text_color(), flags);
}

}  // namespace tarnwick
