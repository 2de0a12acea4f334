#include "protect/editor_menu.h"

#include <stdexcept>
#include <string>

namespace tarnwick {

namespace {

MenuItem& Item(MenuItem& menu, const char* name) {
  MenuItem* item = menu.Find(name);
  if (item == nullptr) throw std::logic_error(std::string("the editor menu has no item ") + name);
  return *item;
}

}  // namespace

EditorMenu::EditorMenu(MemoBook& book) : book_(book), c_(book.controls()) {
  MenuItem& menu = book.main_window().menu();
  selection_items_ = {&Item(menu, "复制"), &Item(menu, "剪切"), &Item(menu, "删除")};
  MainWindowHandlers& h = book.main_window().handlers();
  RichEdit& editor = c_.备忘编辑框;
  h.EditorRightButtonPressed = [this](int, int, int) {
    PopUp();
    return false;  // the menu replaces the editor's own
  };
  h.EditorKeyPressed = [this](int key_code, int key_state) {
    if (!IsMenuKey(key_code, key_state)) return true;
    const RichEdit& editor = c_.备忘编辑框;
    const Point caret = editor.CaretPoint();
    PopUp(Point{editor.left() + caret.x, editor.top() + caret.y});
    return false;
  };
  h.MenuCopy = [&editor] { editor.Copy(); };
  h.MenuPaste = [&editor] { editor.Paste(); };
  h.MenuCut = [&editor] { editor.Cut(); };
  h.MenuDelete = [&editor] { editor.DeleteSelection(); };
  h.MenuSelectAll = [&editor] {
    editor.SetProperty(RichEdit::kSelectionStart, 0);
    editor.SetProperty(RichEdit::kSelectionLength, -1);
  };
}

bool EditorMenu::IsMenuKey(int key_code, int key_state) {
  const int modifiers = key_state & (kKeyStateCtrl | kKeyStateShift | kKeyStateAlt);
  return (key_code == keys::kApps && modifiers == 0) || (key_code == keys::kF10 && modifiers == kKeyStateShift);
}

void EditorMenu::PopUp(std::optional<Point> at) {
  const bool nothing_selected = c_.备忘编辑框.selection_length() == 0;
  for (MenuItem* item : selection_items_) item->SetProperty(MenuItem::kDisabled, nothing_selected);
  if (at) {
    PopupMenu(c_.主窗口, book_.main_window().menu(), at->x, at->y);
  } else {
    PopupMenu(c_.主窗口, book_.main_window().menu());
  }
}

}  // namespace tarnwick
