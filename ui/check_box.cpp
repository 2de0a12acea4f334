#include "ui/check_box.h"

#include "ui/property_values.h"
#include "ui/window.h"

namespace tarnwick {

CheckBox::CheckBox(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags)
    : Control(window, parent, std::move(name), ControlKind::kCheckBox, rect, flags) {
  box_ = platform().windows().CreateCheckBox(ParentForNative(), rect, listener());
  AttachNative(*box_);
}

Value CheckBox::GetProperty(int number) const {
  switch (number) {
    case kCaption: return caption_;
    case kFont: return font_ ? Value(*font_) : Value();
    case kChecked: return checked();
    default: return Control::GetProperty(number);
  }
}

bool CheckBox::SetProperty(int number, const Value& value) {
  switch (number) {
    case kCaption:
      if (!FitsType(value, ValueType::kText)) return false;
      caption_ = std::get<std::string>(value);
      box_->SetCaption(caption_);
      return true;
    case kFont:
      return SetFontProperty(font_, value, *box_, platform().windows());
    case kChecked:
      if (!FitsType(value, ValueType::kBool)) return false;
      SetChecked(std::get<bool>(value));
      return true;
    default:
      return Control::SetProperty(number, value);
  }
}

}  // namespace tarnwick
