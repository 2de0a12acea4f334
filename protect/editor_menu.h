// The right-button menu of 备忘编辑框: copy, paste, cut, delete and select
// all, popped up 3 pixels right of and below the pointer, or below the caret
// by the context-menu key and Shift+F10. Copy, cut and
// delete are greyed while nothing is selected; paste and select all never
// are. The read-only state is not consulted: the editor itself refuses to
// change while a memo is only being looked at.
#pragma once

#include <array>
#include <optional>

#include "memo/memo_book.h"
#include "ui/menu.h"

namespace tarnwick {

class EditorMenu {
 public:
  // Throws std::logic_error when the window's menu lacks an item it needs.
  explicit EditorMenu(MemoBook& book);

  // Sets the items' states and pops the menu up, at `at` in the window's
  // client area or else beside the pointer; the chosen item's action has run
  // when it returns.
  void PopUp(std::optional<Point> at = std::nullopt);

 private:
  // The menu's keys: the context-menu key and Shift+F10.
  static bool IsMenuKey(int key_code, int key_state);


  MemoBook& book_;
  const MainWindowControls& c_;
  // Copy, cut and delete: the items that need a selection.
  std::array<MenuItem*, 3> selection_items_{};
};

}  // namespace tarnwick
