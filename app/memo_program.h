// The whole memo book on one platform: the main window with DockStrip and
// the behaviour bound to it (the memo book, search and export, password
// settings and the editor's menu). Every entry point (app/main.cpp, the Windows
// entry, the behaviour tests) builds the program through this one piece.
#pragma once

#include <string>

#include "engine/database.h"
#include "memo/memo_book.h"
#include "platform/platform.h"
#include "protect/editor_menu.h"
#include "protect/password_settings.h"
#include "search/keyword_search.h"
#include "search/text_export.h"
#include "ui/main_window.h"

namespace tarnwick {

class MemoProgram {
 public:
  // The store lives in folder (GBK, absolute) on engine; see MemoBook for
  // folder_instead_of_programs. Throws std::logic_error when a handler of
  // the window is left unfilled.
  MemoProgram(Platform& platform, DatabaseEngine& engine, std::string folder,
              bool folder_instead_of_programs = false);

  // Loads the main window: its start-up runs, then it shows.
  void Load() { main_window_.Load(); }
  MainWindow& main_window() { return main_window_; }
  MemoBook& book() { return book_; }

 private:
  MainWindow main_window_;
  MemoBook book_;
  KeywordSearch search_;
  TextExport export_;
  PasswordSettings password_settings_;
  EditorMenu editor_menu_;
};

// Builds the program, loads it and runs the loop; answers the exit code.
int RunMemoProgram(Platform& platform, std::string folder, bool folder_instead_of_programs = false);

}  // namespace tarnwick
