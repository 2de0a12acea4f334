#include "ui/edit_box.h"

#include "ui/drawing.h"
#include "ui/property_values.h"
#include "ui/window.h"

namespace tarnwick {

EditBox::EditBox(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags)
    : Control(window, parent, std::move(name), ControlKind::kEditBox, rect, flags) {
  edit_ = platform().windows().CreateEdit(ParentForNative(), rect, listener());
  AttachNative(*edit_);
  edit_->SetBorder(ControlBorderOf(border_));
  ApplyColors();
}

void EditBox::ApplyColors() {
  const WindowSystem& colors = platform().windows();
  edit_->SetColors(text_color_.value_or(colors.GetSystemColor(SystemColor::kWindowText)),
                   background_.value_or(colors.GetSystemColor(SystemColor::kWindow)));
}

Value EditBox::GetProperty(int number) const {
  switch (number) {
    case kText: return text();
    case kBorder: return border_;
    case kTextColor: return text_color_ ? Value(*text_color_) : Value();
    case kBackground: return background_ ? Value(*background_) : Value();
    case kFont: return font_ ? Value(*font_) : Value();
    case kMasked: return masked_;
    case kMaxLength: return max_length_;
    case kReadOnly: return read_only_;
    default: return Control::GetProperty(number);
  }
}

bool EditBox::SetProperty(int number, const Value& value) {
  switch (number) {
    case kText:
      if (!FitsType(value, ValueType::kText)) return false;
      SetText(std::get<std::string>(value));
      return true;
    case kBorder:
      if (!FitsType(value, ValueType::kInt)) return false;
      border_ = std::get<int>(value);
      edit_->SetBorder(ControlBorderOf(border_));
      return true;
    case kTextColor:
    case kBackground:
      if (!FitsType(value, ValueType::kColor)) return false;
      (number == kTextColor ? text_color_ : background_) = ColorOf(value);
      ApplyColors();
      return true;
    case kFont:
      if (!FitsType(value, ValueType::kFont)) return false;
      font_ = FontOf(value);
      edit_->SetFont(font_.value_or(platform().windows().DefaultGuiFont()));
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
