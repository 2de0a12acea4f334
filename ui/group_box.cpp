#include "ui/group_box.h"

#include "ui/window.h"

namespace tarnwick {

GroupBox::GroupBox(Window& window, Control* parent, std::string name, const Rect& rect, const ControlFlags& flags)
    : Control(window, parent, std::move(name), ControlKind::kGroupBox, rect, flags) {
  frame_ = platform().windows().CreateGroupFrame(ParentForNative(), rect, listener());
  AttachNative(*frame_);
  frame_->SetTabStop(false);
}

Value GroupBox::GetProperty(int number) const {
  if (number == kCaption) return caption_;
  return Control::GetProperty(number);
}

bool GroupBox::SetProperty(int number, const Value& value) {
  if (number != kCaption) return Control::SetProperty(number, value);
  const std::string* text = std::get_if<std::string>(&value);
  if (text == nullptr) return false;
  SetCaption(*text);
  return true;
}

void GroupBox::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  frame_->SetCaption(caption_);
}

}  // namespace tarnwick
