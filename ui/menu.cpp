#include "ui/menu.h"

#include "ui/window.h"

namespace tarnwick {

MenuItem::MenuItem(std::string name, std::string caption) : name_(std::move(name)), caption_(std::move(caption)) {}

MenuItem& MenuItem::AddItem(std::string name, std::string caption) {
  auto item = std::make_unique<MenuItem>(std::move(name), std::move(caption));
  item->parent_ = this;
  items_.push_back(std::move(item));
  return *items_.back();
}

MenuItem* MenuItem::Find(std::string_view name) {
  if (name_ == name) return this;
  for (const auto& item : items_) {
    if (MenuItem* found = item->Find(name)) return found;
  }
  return nullptr;
}

Value MenuItem::GetProperty(int number) const {
  switch (number) {
    case kCaption: return caption_;
    case kChecked: return checked_;
    case kDisabled: return disabled_;
    case kVisible: return visible_;
    default: return std::monostate{};
  }
}

bool MenuItem::SetProperty(int number, const Value& value) {
  if (number == kCaption) {
    const std::string* text = std::get_if<std::string>(&value);
    if (text == nullptr) return false;
    caption_ = *text;
    return true;
  }
  const bool* flag = std::get_if<bool>(&value);
  if (flag == nullptr) return false;
  switch (number) {
    case kChecked: checked_ = *flag; return true;
    case kDisabled: disabled_ = *flag; return true;
    case kVisible: visible_ = *flag; return true;
    default: return false;
  }
}

void MenuItem::RaiseChosen() {
  if (!handler_) return;
  EventHandler handler = handler_;  // it may rebind itself
  handler({});
}

MenuItem* PopupMenu(Window& window, MenuItem& top, std::optional<int> x, std::optional<int> y) {
  std::vector<MenuItem*> shown;
  std::vector<MenuEntry> entries;
  for (const auto& item : top.items()) {
    if (!item->visible()) continue;
    MenuEntry entry;
    entry.caption = item->caption();
    entry.separator = item->is_separator();
    entry.checked = item->checked();
    entry.disabled = item->disabled();
    entries.push_back(entry);
    shown.push_back(item.get());
  }
  if (entries.empty()) return nullptr;
  Point at;
  if (x && y) {
    Point origin = window.native_window().ClientOrigin();
    at = {origin.x + *x, origin.y + *y};
  } else {
    Point cursor = window.platform().loop().CursorPosition();
    at = {cursor.x + 3, cursor.y + 3};
  }
  int chosen = window.platform().dialogs().ShowPopupMenu(window.native_window(), entries, at);
  if (chosen < 0 || chosen >= static_cast<int>(shown.size())) return nullptr;
  MenuItem* item = shown[chosen];
  if (item->is_separator() || item->disabled()) return nullptr;
  item->RaiseChosen();
  return item;
}

}  // namespace tarnwick
