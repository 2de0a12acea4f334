#include "ui/super_btn.h"

#include <algorithm>

#include "ui/drawing.h"
#include "ui/property_values.h"
#include "ui/window.h"

namespace tarnwick {
namespace {

ValueType TypeOf(int number) {
  switch (number) {
    case SuperBtn::kStyle:
    case SuperBtn::kPlacement:
    case SuperBtn::kPressMode:
    case SuperBtn::kDefaultKind:
      return ValueType::kInt;
    case SuperBtn::kCheckMode:
    case SuperBtn::kChecked:
    case SuperBtn::kDrawBorder:
    case SuperBtn::kDrawFocus:
    case SuperBtn::kUseDefaultColors:
    case SuperBtn::kStandardSound:
      return ValueType::kBool;
    case SuperBtn::kNormalPicture:
    case SuperBtn::kLitPicture:
    case SuperBtn::kDisabledPicture:
      return ValueType::kPicture;
    case SuperBtn::kFont:
      return ValueType::kFont;
    case SuperBtn::kCaption:
    case SuperBtn::kToolTip:
    case SuperBtn::kEnterSound:
    case SuperBtn::kClickSound:
      return ValueType::kText;
    default:
      return ValueType::kColor;
  }
}

// Largest size of `size` that fits in `room`, keeping the aspect ratio and
// never enlarging.
Size FitInside(Size size, Size room) {
  if (size.width <= room.width && size.height <= room.height) return size;
  if (room.width <= 0 || room.height <= 0 || size.width <= 0 || size.height <= 0) return {0, 0};
  if (static_cast<long long>(size.width) * room.height > static_cast<long long>(size.height) * room.width) {
    return {room.width, std::max(1, static_cast<int>(static_cast<long long>(size.height) * room.width / size.width))};
  }
  return {std::max(1, static_cast<int>(static_cast<long long>(size.width) * room.height / size.height)), room.height};
}

// A caption of line breaks alone shows nothing and takes no room from the
// picture.
bool ShowsNoText(const std::string& caption) {
  return caption.find_first_not_of("\r\n") == std::string::npos;
}

constexpr int kImageTextGap = 4;
const Color kXpBorder = Rgb(0, 60, 116);

}  // namespace

SuperBtn::SuperBtn(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags)
    : SelfDrawnControl(window, parent, std::move(name), ControlKind::kSuperBtn, rect, flags), properties_(TypeOf) {
  slot(kStyle) = 0;
  slot(kCheckMode) = false;
  slot(kChecked) = false;
  slot(kPlacement) = 0;
  slot(kPressMode) = 0;
  slot(kDrawBorder) = true;
  slot(kDrawFocus) = true;
  slot(kCaption) = std::string();
  slot(kUseDefaultColors) = false;
  slot(kStandardSound) = false;
  slot(kEnterSound) = std::string();
  slot(kClickSound) = std::string();
  slot(kToolTip) = std::string();
  slot(kDefaultKind) = 0;
  surface().SetTakesFocus(true);
  DescribeForScreenReaders();
}

Value SuperBtn::GetProperty(int number) const {
  if (!properties_.Holds(number)) return Control::GetProperty(number);
  return slot(number);
}

bool SuperBtn::SetProperty(int number, const Value& value) {
  if (!properties_.Holds(number)) return Control::SetProperty(number, value);
  if (!properties_.Store(number, value)) return false;
  if (number == kToolTip) surface().SetToolTip(TextOr(value));
  if (number == kToolTip || number == kCaption) DescribeForScreenReaders();
  Repaint();
  return true;
}

// A screen reader says the tooltip where there is one: the bar's captions
// are a mnemonic letter beside a picture. Otherwise the caption as shown.
void SuperBtn::DescribeForScreenReaders() {
  AccessibleDescription description;
  description.role = AccessibleRole::kButton;
  description.name = TextOr(slot(kToolTip));
  if (description.name.empty()) {
    const std::string shown = caption();
    for (std::size_t i = 0; i < shown.size(); ++i) {
      if (shown[i] == '&' && i + 1 < shown.size() && shown[i + 1] == '&') ++i;  // "&&" shows one
      else if (shown[i] == '&' || shown[i] == '\r' || shown[i] == '\n') continue;
      description.name += shown[i];
    }
  }
  surface().SetAccessible(description);
}

std::string SuperBtn::caption() const { return TextOr(slot(kCaption)); }

int SuperBtn::IntProperty(int number, int fallback) const { return IntOr(slot(number), fallback); }
bool SuperBtn::BoolProperty(int number, bool fallback) const { return BoolOr(slot(number), fallback); }
std::optional<Color> SuperBtn::ColorProperty(int number) const { return ColorOf(slot(number)); }

Font SuperBtn::CaptionFont() const {
  return FontOf(slot(kFont)).value_or(platform().windows().DefaultGuiFont());
}

SuperBtn::State SuperBtn::state() const {
  if (!IsEnabledInWindow()) return State::kDisabled;
  if (lit_) return State::kLit;
  if (focused_) return State::kFocused;
  return State::kNormal;
}

// A disabled button has no caption colour of its own: it keeps its normal
// one when it has one, and greys its caption only in the system's scheme.
Color SuperBtn::TextColorOf(State state) const {
  Color system = SystemColorOf(state == State::kDisabled ? SystemColor::kGrayText : SystemColor::kButtonText);
  if (BoolProperty(kUseDefaultColors, false)) return system;
  int number = state == State::kLit ? kLitText : state == State::kFocused ? kFocusText : kNormalText;
  return ColorProperty(number).value_or(system);
}

Color SuperBtn::BackgroundOf(State state) const {
  Color system = SystemColorOf(SystemColor::kButtonFace);
  if (BoolProperty(kUseDefaultColors, false)) return system;
  int number = state == State::kLit ? kLitBackground : state == State::kFocused ? kFocusBackground : kNormalBackground;
  return ColorProperty(number).value_or(system);
}

Image SuperBtn::PictureOf(State state) const {
  Picture normal = tarnwick::PictureOf(slot(kNormalPicture));
  if (state == State::kLit) {
    if (Picture lit = tarnwick::PictureOf(slot(kLitPicture))) return WithTransparency(*lit, ColorProperty(kLitTransparent));
  }
  if (state == State::kDisabled) {
    if (Picture disabled = tarnwick::PictureOf(slot(kDisabledPicture))) {
      return WithTransparency(*disabled, ColorProperty(kDisabledTransparent));
    }
    if (normal) return DisabledImage(WithTransparency(*normal, ColorProperty(kNormalTransparent)));
    return Image();
  }
  if (normal) return WithTransparency(*normal, ColorProperty(kNormalTransparent));
  return Image();
}

void SuperBtn::Paint(Canvas& canvas, const Rect& dirty) {
  (void)dirty;
  const WindowSystem& colors = platform().windows();
  State now = state();
  Rect whole{0, 0, width(), height()};
  canvas.FillRect(whole, BackgroundOf(now));

  bool down = (pressed_ && lit_) || space_pressed_;
  Look look = static_cast<Look>(std::clamp(IntProperty(kStyle, 0), 0, 2));
  bool border = BoolProperty(kDrawBorder, true);
  Rect inner = whole;
  if (look == Look::kThreeDimensional) {
    inner = DrawButtonEdge(canvas, whole, down, colors);
  } else if (border) {
    if (look == Look::kXp) canvas.FrameRect(whole, kXpBorder);
    else if (down) DrawBorder(canvas, whole, BorderStyle::kShallowSunken, colors);
    else canvas.FrameRect(whole, SystemColorOf(SystemColor::kButtonShadow));
    inner = whole.Inset(1);
  }

  int shift_x = 0, shift_y = 0;
  if (down) {
    shift_y = 1;
    shift_x = IntProperty(kPressMode, 0) == 0 ? 1 : 0;
  }

  Font font = CaptionFont();
  std::string text = caption();
  if (ShowsNoText(text)) text.clear();
  constexpr int kTextFlags = text_flags::kMnemonic | text_flags::kCenter;
  Size text_size = text.empty() ? Size{0, 0} : canvas.MeasureText(text, font, kTextFlags);
  Image picture = PictureOf(now);
  Placement placement = static_cast<Placement>(std::clamp(IntProperty(kPlacement, 0), 0, 3));
  bool beside = placement == Placement::kImageLeft || placement == Placement::kImageRight;
  int gap = !picture.empty() && !text.empty() && placement != Placement::kOverlaid ? kImageTextGap : 0;
  Size room{inner.width - (beside ? text_size.width + gap : 0), inner.height - (beside ? 0 : text_size.height + gap)};
  if (placement == Placement::kOverlaid) room = {inner.width, inner.height};
  Size image_size = picture.empty() ? Size{0, 0} : FitInside(picture.size(), room);

  int block_width = beside ? image_size.width + gap + text_size.width : std::max(image_size.width, text_size.width);
  int block_height = beside ? std::max(image_size.height, text_size.height) : image_size.height + gap + text_size.height;
  if (placement == Placement::kOverlaid) {
    block_width = std::max(image_size.width, text_size.width);
    block_height = std::max(image_size.height, text_size.height);
  }
  int x0 = inner.left + (inner.width - block_width) / 2 + shift_x;
  int y0 = inner.top + (inner.height - block_height) / 2 + shift_y;
  Rect image_rect, text_rect;
  switch (placement) {
    case Placement::kImageLeft:
      image_rect = {x0, y0 + (block_height - image_size.height) / 2, image_size.width, image_size.height};
      text_rect = {x0 + image_size.width + gap, y0 + (block_height - text_size.height) / 2, text_size.width,
                   text_size.height};
      break;
    case Placement::kImageRight:
      text_rect = {x0, y0 + (block_height - text_size.height) / 2, text_size.width, text_size.height};
      image_rect = {x0 + text_size.width + gap, y0 + (block_height - image_size.height) / 2, image_size.width,
                    image_size.height};
      break;
    case Placement::kImageAbove:
      image_rect = {x0 + (block_width - image_size.width) / 2, y0, image_size.width, image_size.height};
      text_rect = {x0 + (block_width - text_size.width) / 2, y0 + image_size.height + gap, text_size.width,
                   text_size.height};
      break;
    case Placement::kOverlaid:
      image_rect = {x0 + (block_width - image_size.width) / 2, y0 + (block_height - image_size.height) / 2,
                    image_size.width, image_size.height};
      text_rect = {x0 + (block_width - text_size.width) / 2, y0 + (block_height - text_size.height) / 2,
                   text_size.width, text_size.height};
      break;
  }
  canvas.SetClip(inner);
  if (!picture.empty() && image_size.width > 0) canvas.DrawImage(picture, image_rect);
  if (!text.empty()) canvas.DrawTextAligned(text_rect, text, font, TextColorOf(now), kTextFlags);
  canvas.ResetClip();

  // A three-dimensional button is a push button and shows the focus as one;
  // the flag decides for the other looks.
  const bool shows_focus = look == Look::kThreeDimensional || BoolProperty(kDrawFocus, true);
  if (shows_focus && focused_ && now != State::kDisabled) {
    canvas.DrawFocusRect(whole.Inset(look == Look::kThreeDimensional ? 3 : 2));
  }
}

void SuperBtn::SetLit(bool lit) {
  if (lit_ == lit) return;
  lit_ = lit;
  Repaint();
}

void SuperBtn::HandleMouse(const MouseEvent& event) {
  bool inside = Rect{0, 0, width(), height()}.Contains(event.position);
  switch (event.action) {
    case MouseAction::kMove:
      SetLit(inside);
      break;
    case MouseAction::kPress:
    case MouseAction::kDoubleClick:
      if (event.button == MouseButton::kLeft) {
        pressed_ = true;
        SetLit(inside);
        Repaint();
      }
      break;
    case MouseAction::kRelease:
      if (event.button == MouseButton::kLeft && pressed_) {
        pressed_ = false;
        Repaint();
        if (inside && IsEnabledInWindow()) Raise(kClicked);
      }
      break;
  }
}

void SuperBtn::HandleKey(const KeyEvent& event) {
  if (event.key_code != keys::kSpace) return;
  if (event.down) {
    if (!space_pressed_) {
      space_pressed_ = true;
      Repaint();
    }
  } else if (space_pressed_) {
    space_pressed_ = false;
    Repaint();
    if (IsEnabledInWindow()) Raise(kClicked);
  }
}

void SuperBtn::OnMouseLeave() { SetLit(false); }

void SuperBtn::OnFocusChanged(bool has_focus) {
  Control::OnFocusChanged(has_focus);
  focused_ = has_focus;
  if (!has_focus) space_pressed_ = false;
  Repaint();
}

void SuperBtn::OnEnabledChanged() {
  if (!IsEnabledInWindow()) {
    lit_ = false;
    pressed_ = false;
    space_pressed_ = false;
  }
  Repaint();
}

void SuperBtn::ClickByMnemonic() {
  if (IsEnabledInWindow()) Raise(kClicked);
}

}  // namespace tarnwick
