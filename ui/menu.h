// Menu items (菜单) and the popup operation.
//
// A menu item has four properties — 0 caption ("-" makes a separator), 1
// checked, 2 disabled, 3 visible — and one event, 0 chosen. Items form a
// tree: level-0 top items hold their level-1 sub-items.
// PopupMenu builds a popup from a top item's visible sub-items in order,
// shows it at the pointer moved 3 pixels right and down (or at the given
// point of the window's client area), tracks it with either mouse button,
// raises the chosen item's event and discards the popup.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ui/control.h"

namespace tarnwick {

class Window;

class MenuItem {
 public:
  static constexpr int kCaption = 0;
  static constexpr int kChecked = 1;
  static constexpr int kDisabled = 2;
  static constexpr int kVisible = 3;
  static constexpr int kChosen = 0;

  // name: the item's name in the layout (UTF-8); caption: GBK.
  MenuItem(std::string name, std::string caption);

  const std::string& name() const { return name_; }
  MenuItem* parent() const { return parent_; }
  int level() const { return parent_ == nullptr ? 0 : parent_->level() + 1; }
  // Adds a sub-item at the end and answers it.
  MenuItem& AddItem(std::string name, std::string caption);
  const std::vector<std::unique_ptr<MenuItem>>& items() const { return items_; }
  // This item or one below it, by name; nullptr when none.
  MenuItem* Find(std::string_view name);

  Value GetProperty(int number) const;
  bool SetProperty(int number, const Value& value);
  const std::string& caption() const { return caption_; }
  bool checked() const { return checked_; }
  bool disabled() const { return disabled_; }
  bool visible() const { return visible_; }
  bool is_separator() const { return caption_ == "-"; }

  void SetHandler(EventHandler handler) { handler_ = std::move(handler); }
  bool HasHandler() const { return static_cast<bool>(handler_); }
  void RaiseChosen();

 private:
  std::string name_;
  std::string caption_;
  bool checked_ = false;
  bool disabled_ = false;
  bool visible_ = true;
  MenuItem* parent_ = nullptr;
  std::vector<std::unique_ptr<MenuItem>> items_;
  EventHandler handler_;
};

// The popup operation. Answers the chosen item, nullptr when the menu was
// dismissed (or top has no visible sub-item).
MenuItem* PopupMenu(Window& window, MenuItem& top, std::optional<int> x = std::nullopt,
                    std::optional<int> y = std::nullopt);

}  // namespace tarnwick
