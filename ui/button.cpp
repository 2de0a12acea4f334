#include "ui/button.h"

#include "ui/property_values.h"
#include "ui/window.h"

namespace tarnwick {
namespace {

// Room a native button needs besides its icon and caption: the gap between
// them and the margins either side.
constexpr int kIconGap = 4;
constexpr int kMargins = 8;

}  // namespace

Button::Button(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags)
    : Control(window, parent, std::move(name), ControlKind::kButton, rect, flags) {
  button_ = platform().windows().CreateButton(ParentForNative(), rect, listener());
  AttachNative(*button_);
}

Value Button::GetProperty(int number) const {
  switch (number) {
    case kCaption: return caption_;
    case kIcon: return icon_ ? Value(icon_) : Value();
    case kFont: return font_ ? Value(*font_) : Value();
    default: return Control::GetProperty(number);
  }
}

bool Button::SetProperty(int number, const Value& value) {
  switch (number) {
    case kCaption:
      if (!FitsType(value, ValueType::kText)) return false;
      caption_ = std::get<std::string>(value);
      Arrange();
      return true;
    case kIcon:
      if (!FitsType(value, ValueType::kPicture)) return false;
      icon_ = PictureOf(value);
      button_->SetIcon(icon_ ? *icon_ : Image());
      Arrange();
      return true;
    case kFont:
      if (!SetFontProperty(font_, value, *button_, platform().windows())) return false;
      Arrange();
      return true;
    default:
      return Control::SetProperty(number, value);
  }
}

void Button::Arrange() {
  bool fits = CaptionFits();
  button_->SetCaption(fits ? caption_ : std::string());
  button_->SetToolTip(fits ? std::string() : caption_);
}

bool Button::CaptionFits() const {
  if (!icon_ || icon_->empty() || caption_.empty()) return true;
  WindowSystem& windows = platform().windows();
  Size caption = windows.CreateOffscreenCanvas({1, 1})->MeasureText(
      caption_, font_.value_or(windows.DefaultGuiFont()), text_flags::kSingleLine | text_flags::kMnemonic);
  return icon_->width() + kIconGap + caption.width + kMargins <= width();
}

}  // namespace tarnwick
