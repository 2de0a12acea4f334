#include "ui/button.h"

#include "ui/property_values.h"
#include "ui/window.h"

namespace tarnwick {

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
      button_->SetCaption(caption_);
      return true;
    case kIcon:
      if (!FitsType(value, ValueType::kPicture)) return false;
      icon_ = PictureOf(value);
      button_->SetIcon(icon_ ? *icon_ : Image());
      return true;
    case kFont:
      return SetFontProperty(font_, value, *button_, platform().windows());
    default:
      return Control::SetProperty(number, value);
  }
}

}  // namespace tarnwick
