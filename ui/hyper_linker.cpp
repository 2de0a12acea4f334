#include "ui/hyper_linker.h"

#include "ui/property_values.h"
#include "ui/window.h"

namespace tarnwick {

std::string HtmlFallbackCommandLine(const std::string& open_command, const std::string& target) {
  std::string command = open_command;
  std::size_t quoted = command.find("\"%1\"");
  if (quoted != std::string::npos) {
    command.resize(quoted);
  } else if (std::size_t bare = command.find("%1"); bare != std::string::npos) {
    command.resize(bare);
  }
  return command + " " + target;
}

HyperLinker::HyperLinker(Window& window, Control* parent, std::string name, const Rect& rect,
                         const ControlFlags& flags)
    : SelfDrawnControl(window, parent, std::move(name), ControlKind::kHyperLinker, rect, flags) {
  surface().SetCursor(CursorShape::kHand);
  surface().SetTakesFocus(true);
}

Value HyperLinker::GetProperty(int number) const {
  switch (number) {
    case kCaption: return caption_;
    case kLinkKind: return kind_;
    case kMailAddress: return mail_;
    case kWebAddress: return web_;
    case kLinkColor: return link_color_;
    case kVisitedColor: return visited_color_;
    case kHoverColor: return hover_color_ ? Value(*hover_color_) : Value();
    case kBackground: return background_ ? Value(*background_) : Value();
    case kUnderline: return underline_;
    case kFont: return font_ ? Value(*font_) : Value();
    default: return Control::GetProperty(number);
  }
}

bool HyperLinker::SetProperty(int number, const Value& value) {
  switch (number) {
    case kCaption:
    case kMailAddress:
    case kWebAddress:
      if (!FitsType(value, ValueType::kText)) return false;
      (number == kCaption ? caption_ : number == kMailAddress ? mail_ : web_) = std::get<std::string>(value);
      break;
    case kLinkKind:
    case kUnderline:
      if (!FitsType(value, ValueType::kInt)) return false;
      (number == kLinkKind ? kind_ : underline_) = std::get<int>(value);
      break;
    case kLinkColor:
    case kVisitedColor:
      // These two always hold a colour; unset restores the default.
      if (!FitsType(value, ValueType::kColor)) return false;
      if (number == kLinkColor) link_color_ = ColorOf(value).value_or(Rgb(0, 0, 255));
      else visited_color_ = ColorOf(value).value_or(Rgb(128, 0, 0));
      break;
    case kHoverColor:
    case kBackground:
      if (!FitsType(value, ValueType::kColor)) return false;
      (number == kHoverColor ? hover_color_ : background_) = ColorOf(value);
      break;
    case kFont:
      if (!FitsType(value, ValueType::kFont)) return false;
      font_ = FontOf(value);
      break;
    default:
      return Control::SetProperty(number, value);
  }
  Repaint();
  return true;
}

std::string HyperLinker::Target() const {
  if (kind_ == 0) return mail_.empty() ? std::string() : "mailto:" + mail_;
  return web_;
}

bool HyperLinker::Open() {
  std::string target = Target();
  if (target.empty()) return false;
  Shell& shell = platform().shell();
  bool opened = shell.OpenWithShell(target);
  if (!opened) {
    std::string command = shell.HtmlOpenCommand();
    if (!command.empty()) opened = shell.RunCommandLine(HtmlFallbackCommandLine(command, target));
  }
  if (opened && !visited_) {
    visited_ = true;
    Repaint();
  }
  return opened;
}

Color HyperLinker::CurrentColor() const {
  if (hovered_ && hover_color_) return *hover_color_;
  return visited_ ? visited_color_ : link_color_;
}

void HyperLinker::Paint(Canvas& canvas, const Rect& dirty) {
  (void)dirty;
  Rect whole{0, 0, width(), height()};
  canvas.FillRect(whole, background_.value_or(SystemColorOf(SystemColor::kButtonFace)));
  Font font = font_.value_or(platform().windows().DefaultGuiFont());
  font.underline = underline_ == 0 || (underline_ == 1 && hovered_);
  canvas.DrawTextAligned(whole, caption_, font, CurrentColor(),
                         text_flags::kSingleLine | text_flags::kVerticalCenter);
}

void HyperLinker::HandleMouse(const MouseEvent& event) {
  bool inside = Rect{0, 0, width(), height()}.Contains(event.position);
  if (event.action == MouseAction::kMove && inside != hovered_) {
    hovered_ = inside;
    Repaint();
  }
  if (event.button != MouseButton::kLeft) return;
  if (event.action == MouseAction::kPress) pressed_ = true;
  if (event.action == MouseAction::kRelease && pressed_) {
    pressed_ = false;
    if (inside) Open();
  }
}

void HyperLinker::HandleKey(const KeyEvent& event) {
  if (!event.down && (event.key_code == keys::kSpace || event.key_code == keys::kReturn)) Open();
}

void HyperLinker::OnMouseLeave() {
  if (!hovered_) return;
  hovered_ = false;
  Repaint();
}

}  // namespace tarnwick
