#include "ui/control.h"

#include "ui/property_values.h"
#include "ui/window.h"

namespace tarnwick {

int ArgInt(const EventArgs& args, std::size_t index) {
  if (index >= args.size()) return 0;
  if (const int* value = std::get_if<int>(&args[index])) return *value;
  if (const bool* value = std::get_if<bool>(&args[index])) return *value ? 1 : 0;
  if (const double* value = std::get_if<double>(&args[index])) return static_cast<int>(*value);
  return 0;
}

bool ArgBool(const EventArgs& args, std::size_t index) {
  if (index >= args.size()) return false;
  if (const bool* value = std::get_if<bool>(&args[index])) return *value;
  return ArgInt(args, index) != 0;
}

std::string ArgText(const EventArgs& args, std::size_t index) {
  if (index >= args.size()) return {};
  if (const std::string* value = std::get_if<std::string>(&args[index])) return *value;
  return {};
}

Control::Control(Window& window, Control* parent, std::string name, ControlKind kind, const Rect& rect,
                 const ControlFlags& flags)
    : window_(window),
      parent_(parent),
      name_(std::move(name)),
      kind_(kind),
      rect_(rect),
      visible_(flags.visible),
      disabled_(flags.disabled),
      tab_stop_(flags.tab_stop) {}

Control::~Control() { *alive_ = false; }

Platform& Control::platform() const { return window_.platform(); }

NativeParent& Control::ParentForNative() const {
  if (parent_ != nullptr && parent_->native_parent() != nullptr) return *parent_->native_parent();
  return window_.native_window();
}

void Control::AttachNative(NativeControl& native) {
  native_ = &native;
  native.SetRect(rect_);
  native.SetVisible(visible_);
  native.SetEnabled(!disabled_);
  native.SetTabStop(tab_stop_);
  native.SetCursor(cursor_);
}

Value Control::GetProperty(int number) const {
  switch (number) {
    case property::kLeft: return rect_.left;
    case property::kTop: return rect_.top;
    case property::kWidth: return rect_.width;
    case property::kHeight: return rect_.height;
    case property::kTag: return tag_;
    case property::kVisible: return visible_;
    case property::kDisabled: return disabled_;
    case property::kCursor: return static_cast<int>(cursor_);
    default: return std::monostate{};
  }
}

bool Control::SetProperty(int number, const Value& value) {
  if (number >= property::kLeft && number <= property::kHeight) {
    Rect rect = rect_;
    if (!SetRectProperty(rect, number, value)) return false;
    SetRect(rect);
    return true;
  }
  if (number == property::kTag) {
    const std::string* text = std::get_if<std::string>(&value);
    if (text == nullptr) return false;
    tag_ = *text;
    return true;
  }
  if (number == property::kVisible || number == property::kDisabled) {
    const bool* flag = std::get_if<bool>(&value);
    if (flag == nullptr) return false;
    if (number == property::kVisible) SetVisible(*flag);
    else SetDisabled(*flag);
    return true;
  }
  if (number == property::kCursor) {
    const int* integer = std::get_if<int>(&value);
    if (integer == nullptr) return false;
    SetCursor(static_cast<CursorShape>(*integer));
    return true;
  }
  return false;
}

void Control::SetRect(const Rect& rect) {
  rect_ = rect;
  if (native_ != nullptr) native_->SetRect(rect);
  OnRectChanged();
}

void Control::SetVisible(bool visible) {
  visible_ = visible;
  if (native_ != nullptr) native_->SetVisible(visible);
  OnVisibleChanged();
}

void Control::SetDisabled(bool disabled) {
  disabled_ = disabled;
  if (native_ != nullptr) native_->SetEnabled(!disabled);
  OnEnabledChanged();
}

void Control::SetCursor(CursorShape cursor) {
  cursor_ = cursor;
  if (native_ != nullptr) native_->SetCursor(cursor);
}

bool Control::IsVisibleInWindow() const {
  for (const Control* control = this; control != nullptr; control = control->parent_) {
    if (!control->visible_) return false;
  }
  return true;
}

bool Control::IsEnabledInWindow() const {
  for (const Control* control = this; control != nullptr; control = control->parent_) {
    if (control->disabled_) return false;
  }
  return true;
}

void Control::SetHandler(int event_number, EventHandler handler) {
  if (handler) handlers_[event_number] = std::move(handler);
  else handlers_.erase(event_number);
}

bool Control::HasHandler(int event_number) const { return handlers_.count(event_number) != 0; }

std::vector<int> Control::BoundEvents() const {
  std::vector<int> events;
  for (const auto& [number, handler] : handlers_) events.push_back(number);
  return events;
}

bool Control::Raise(int event_number, const EventArgs& args) {
  auto it = handlers_.find(event_number);
  if (it == handlers_.end()) return true;
  // A copy: the handler may rebind or unbind itself.
  EventHandler handler = it->second;
  return handler(args);
}

void Control::PostEvent(int event_number, EventArgs args) {
  Post([this, event_number, args = std::move(args)] { Raise(event_number, args); });
}

void Control::Post(std::function<void()> task) {
  platform().loop().Post([alive = std::weak_ptr<bool>(alive_), task = std::move(task)] {
    auto flag = alive.lock();
    if (flag && *flag) task();
  });
}

void Control::SetFocus() {
  if (native_ != nullptr) native_->SetFocus();
}

bool Control::HasFocus() const { return native_ != nullptr && native_->HasFocus(); }

void Control::BringToFront() {
  if (native_ != nullptr) native_->RaiseAboveSiblings();
}

bool Control::OnMouse(const MouseEvent& event) {
  int number = 0;
  switch (event.action) {
    case MouseAction::kMove: number = event::kMouseMove; break;
    case MouseAction::kPress:
      if (event.button == MouseButton::kLeft) number = event::kLeftButtonDown;
      else if (event.button == MouseButton::kRight) number = event::kRightButtonDown;
      break;
    case MouseAction::kRelease:
      if (event.button == MouseButton::kLeft) number = event::kLeftButtonUp;
      else if (event.button == MouseButton::kRight) number = event::kRightButtonUp;
      break;
    case MouseAction::kDoubleClick:
      if (event.button == MouseButton::kLeft) number = event::kDoubleClick;
      break;
  }
  bool go_on = true;
  if (number != 0) go_on = Raise(number, {event.position.x, event.position.y, event.key_state});
  if (go_on) HandleMouse(event);
  return go_on;
}

bool Control::OnWheel(const WheelEvent& event) {
  // Touchpads and fine wheels report parts of a notch, and scroll phases
  // none at all: a step is made only for a whole notch.
  if (event.delta == 0) return true;
  if (wheel_rest_ != 0 && (wheel_rest_ < 0) != (event.delta < 0)) wheel_rest_ = 0;
  wheel_rest_ += event.delta;
  const int notches = wheel_rest_ / 120;
  if (notches == 0) return true;
  wheel_rest_ -= notches * 120;
  return Raise(event::kWheelScrolled, {notches, event.key_state});
}

bool Control::OnKey(const KeyEvent& event) {
  bool go_on = Raise(event.down ? event::kKeyDown : event::kKeyUp, {event.key_code, event.key_state});
  if (go_on) HandleKey(event);
  return go_on;
}

bool Control::OnCharacter(std::uint32_t code) { return Raise(event::kCharacter, {static_cast<int>(code)}); }

void Control::OnFocusChanged(bool has_focus) { Raise(has_focus ? event::kGotFocus : event::kLostFocus); }

}  // namespace tarnwick
