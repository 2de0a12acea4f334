#include "app/memo_program.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/text.h"

namespace tarnwick {

MemoProgram::MemoProgram(Platform& platform, DatabaseEngine& engine, std::string folder,
                         bool folder_instead_of_programs)
    : main_window_(platform),
      book_(main_window_, engine, std::move(folder), folder_instead_of_programs),
      search_(book_),
      export_(book_, search_),
      password_settings_(book_),
      editor_menu_(book_) {
  main_window_.handlers().CheckAllFilled();
}

namespace {

// UTF-8, without a trailing separator (Windows gives its temporary folder
// with one).
std::string PathText(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  std::string utf8(text.begin(), text.end());
  while (utf8.size() > 1 && (utf8.back() == '/' || utf8.back() == '\\')) utf8.pop_back();
  return utf8;
}

// Where an edit that cannot be saved goes when the data folder will not
// take it: the user's home folder, then the temporary folder.
std::vector<std::string> RescueFallbackFolders() {
  std::vector<std::string> folders;
  for (const char* name : {"HOME", "USERPROFILE"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      folders.push_back(Utf8ToGbk(PathText(std::filesystem::path(value))));
      break;
    }
  }
  std::error_code error;
  const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
  if (!error) folders.push_back(Utf8ToGbk(PathText(temporary)));
  return folders;
}

}  // namespace

int RunMemoProgram(Platform& platform, std::string folder, bool folder_instead_of_programs) {
  MemoProgram program(platform, ProcessEngine(), std::move(folder), folder_instead_of_programs);
  for (std::string& fallback : RescueFallbackFolders()) program.book().rescue().AddFallbackFolder(std::move(fallback));
  program.Load();
  return platform.loop().Run();
}

}  // namespace tarnwick
