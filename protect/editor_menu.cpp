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
  h.MenuCopy = [&editor] { editor.Copy(); };
  h.MenuPaste = [&editor] { editor.Paste(); };
  h.MenuCut = [&editor] { editor.Cut(); };
  h.MenuDelete = [&editor] { editor.DeleteSelection(); };
  h.MenuSelectAll = [&editor] {
    editor.SetProperty(RichEdit::kSelectionStart, 0);
    editor.SetProperty(RichEdit::kSelectionLength, -1);
  };
}

void EditorMenu::PopUp() {
  const bool nothing_selected = c_.备忘编辑框.selection_length() == 0;
  for (MenuItem* item : selection_items_) item->SetProperty(MenuItem::kDisabled, nothing_selected);
  PopupMenu(c_.主窗口, book_.main_window().menu());
}

}  // namespace tarnwick
