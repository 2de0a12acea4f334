#include "ui/window.h"

#include "ui/property_values.h"

namespace tarnwick {
namespace {

WindowStyle StyleOf(const WindowDesign& design, Color face) {
  WindowStyle style;
  style.frame = static_cast<FrameStyle>(design.border_style >= 0 && design.border_style <= 6 ? design.border_style : 2);
  style.system_menu = design.control_box;
  style.minimize_box = design.minimize_box;
  style.maximize_box = design.maximize_box;
  style.movable = design.movable;
  style.in_taskbar = design.in_taskbar;
  style.always_on_top = design.always_on_top;
  style.takes_activation = design.takes_activation;
  style.background = design.background.value_or(face);
  return style;
}

Rect PlacedRect(Platform& platform, const WindowDesign& design) {
  Rect rect = design.rect;
  if (design.start_position == 1) {
    Size screen = platform.loop().ScreenSize();
    rect.left = (screen.width - rect.width) / 2;
    rect.top = (screen.height - rect.height) / 2;
  }
  return rect;
}

ControlFlags FlagsOf(const WindowDesign& design) {
  ControlFlags flags;
  flags.visible = design.visible;
  return flags;
}

}  // namespace

Window::Window(Platform& platform, std::string name, const WindowDesign& design)
    : Control(*this, nullptr, std::move(name), ControlKind::kWindow, PlacedRect(platform, design), FlagsOf(design)),
      platform_(platform),
      design_(design),
      caption_(design.caption) {
  native_ = platform.windows().CreateTopLevelWindow(
      StyleOf(design, platform.windows().GetSystemColor(SystemColor::kButtonFace)), Control::rect(), caption_,
      *this);
}

Window::~Window() {
  // Controls go before the native window that holds their native parts.
  while (!controls_.empty()) controls_.pop_back();
  native_.reset();
}

Control* Window::Find(std::string_view name) const {
  for (const auto& control : controls_) {
    if (control->name() == name) return control.get();
  }
  return nullptr;
}

void Window::Load() {
  if (loaded_) return;
  loaded_ = true;
  for (const auto& control : controls_) {
    if (auto* follower = dynamic_cast<WindowLifeFollower*>(control.get())) follower->OnWindowLoaded();
  }
  Raise(kCreated);
  if (!closed_ && visible()) native_->Show();
}

bool Window::Close() {
  if (closed_) return true;
  if (!Raise(kQueryClose)) return false;
  closed_ = true;
  for (const auto& control : controls_) {
    if (auto* follower = dynamic_cast<WindowLifeFollower*>(control.get())) follower->OnWindowClosed();
  }
  native_->Hide();
  if (design_.ends_program_on_close) platform_.loop().Quit(0);
  return true;
}

void Window::SetWindowOrder(WindowOrder order) { native_->SetWindowOrder(order); }

void Window::SetCaption(std::string caption) {
  caption_ = std::move(caption);
  native_->SetCaption(caption_);
}

Value Window::GetProperty(int number) const {
  Rect outer = native_->OuterRect();
  switch (number) {
    case property::kLeft: return outer.left;
    case property::kTop: return outer.top;
    case property::kWidth: return outer.width;
    case property::kHeight: return outer.height;
    case property::kVisible: return native_->IsVisible();
    case kCaption: return caption_;
    default: return Control::GetProperty(number);
  }
}

bool Window::SetProperty(int number, const Value& value) {
  if (number >= property::kLeft && number <= property::kHeight) {
    // Start from where the window is now, not where it was designed.
    Rect rect = native_->OuterRect();
    if (!SetRectProperty(rect, number, value)) return false;
    SetRect(rect);
    return true;
  }
  if (number == kCaption) {
    const std::string* text = std::get_if<std::string>(&value);
    if (text == nullptr) return false;
    SetCaption(*text);
    return true;
  }
  return Control::SetProperty(number, value);
}

void Window::OnRectChanged() { native_->SetOuterRect(Control::rect()); }

void Window::OnVisibleChanged() {
  // Before Load the flag only decides whether Load shows the window.
  if (!loaded_ || closed_) return;
  if (visible()) native_->Show();
  else native_->Hide();
}

void Window::OnActivationChanged(bool active, bool to_other_program) {
  if (active) {
    Raise(kActivated);
  } else {
    Raise(kDeactivated, {to_other_program});
  }
}

bool Window::OnMnemonicKey(const KeyEvent& event) { return ClickMnemonic(event.key_code); }

bool Window::ClickMnemonic(int key_code) {
  bool letter = key_code >= 'A' && key_code <= 'Z';
  bool digit = key_code >= '0' && key_code <= '9';
  if (!letter && !digit) return false;
  for (const auto& control : controls_) {
    if (!control->IsClickable() || !control->IsVisibleInWindow() || !control->IsEnabledInWindow()) continue;
    std::string caption = control->MnemonicCaption();
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
      if (caption[i] != '&') continue;
      char next = caption[i + 1];
      if (next == '&') {  // "&&" is a literal ampersand
        ++i;
        continue;
      }
      char upper = next >= 'a' && next <= 'z' ? static_cast<char>(next - 'a' + 'A') : next;
      if (upper == key_code) {
        control->ClickByMnemonic();
        return true;
      }
      break;  // only the first marked character counts
    }
  }
  return false;
}

}  // namespace tarnwick
