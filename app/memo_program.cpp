#include "app/memo_program.h"

namespace tarnwick {

MemoProgram::MemoProgram(Platform& platform, DatabaseEngine& engine, std::string folder)
    : main_window_(platform),
      book_(main_window_, engine, std::move(folder)),
      search_(book_),
      export_(book_, search_),
      password_settings_(book_),
      editor_menu_(book_) {
  main_window_.handlers().CheckAllFilled();
}

int RunMemoProgram(Platform& platform, std::string folder) {
  MemoProgram program(platform, ProcessEngine(), std::move(folder));
  program.Load();
  return platform.loop().Run();
}

}  // namespace tarnwick
