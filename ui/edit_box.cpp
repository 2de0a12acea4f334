#include "ui/edit_box.h"

#include "ui/property_values.h"
#include "ui/window.h"

namespace tarnwick {

EditBox::EditBox(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags)
    : Control(window, parent, std::move(name), ControlKind::kEditBox, rect, flags) {
  edit_ = platform().windows().CreateEdit(ParentForNative(), rect, listener());
  AttachNative(*edit_);
  look_.ApplyTo(*edit_, platform().windows());
}

Value EditBox::GetProperty(int number) const {
  if (std::optional<Value> look = look_.Get(number)) return *look;
  switch (number) {
    case kText: return text();
    case kMasked: return masked_;
    case kMaxLength: return max_length_;
    case kReadOnly: return read_only_;
    default: return Control::GetProperty(number);
  }
}

bool EditBox::SetProperty(int number, const Value& value) {
  if (std::optional<bool> look = look_.Set(number, value, *edit_, platform().windows())) return *look;
  switch (number) {
    case kText:
      if (!FitsType(value, ValueType::kText)) return false;
      SetText(std::get<std::string>(value));
      return true;
    case kMasked:
    case kReadOnly:
      if (!FitsType(value, ValueType::kBool)) return false;
      if (number == kMasked) edit_->SetMasked(masked_ = std::get<bool>(value));
      else edit_->SetReadOnly(read_only_ = std::get<bool>(value));
      return true;
    case kMaxLength:
      if (!FitsType(value, ValueType::kInt) || std::get<int>(value) < 0) return false;
      edit_->SetMaxLength(max_length_ = std::get<int>(value));
      return true;
    default:
      return Control::SetProperty(number, value);
  }
}

}  // namespace tarnwick
