#include "app/data_folder.h"

#include <system_error>

#include "app/data_folder_system.h"

namespace tarnwick {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDataFolderOption = "--data-folder";

bool Installed(const fs::path& executable_folder) {
  std::error_code ignored;
  return fs::exists(executable_folder / PathFromUtf8(kInstalledMarker), ignored);
}

DataFolderChoice Fail(std::string message) { return {{}, std::move(message)}; }

DataFolderChoice NamedFolder(const fs::path& named) {
  std::error_code error;
  fs::path folder = fs::absolute(named, error);
  if (error) return Fail("cannot resolve the data folder " + Utf8Text(named) + ": " + error.message());
  // Never created: a folder on a stick that is not plugged in must not turn
  // into an empty store on the local disk.
  if (!fs::is_directory(folder, error)) return Fail("the data folder " + Utf8Text(folder) + " does not exist");
  return {folder.lexically_normal(), {}};
}

DataFolderChoice UserDataFolder(const EnvironmentLookup& environment) {
  const data_folder_system::UserFolder user = data_folder_system::UserDataFolder(environment);
  if (user.folder.empty()) return Fail(user.error);
  const fs::path folder = user.folder.lexically_normal();
  std::error_code error;
  if (!fs::is_directory(folder, error) && !data_folder_system::CreatePrivateFolder(folder, error)) {
    return Fail("cannot create the data folder " + Utf8Text(folder) + ": " + error.message());
  }
  return {folder, {}};
}

}  // namespace

StartOptions TakeStartOptions(int& argc, char** argv) {
  StartOptions options;
  int kept = 1;
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "-h" || argument == "--help") {
      options.help = true;
    } else if (argument == kDataFolderOption) {
      if (i + 1 == argc) {
        options.error = "--data-folder needs a folder";
      } else {
        options.data_folder = PathFromUtf8(argv[++i]);
      }
    } else if (argument.starts_with(kDataFolderOption) && argument[kDataFolderOption.size()] == '=') {
      options.data_folder = PathFromUtf8(argument.substr(kDataFolderOption.size() + 1));
    } else {
      argv[kept++] = argv[i];
      continue;
    }
    if (options.data_folder && options.data_folder->empty()) options.error = "--data-folder needs a folder";
  }
  argc = kept;
  argv[argc] = nullptr;
  return options;
}

std::string StartOptionsHelp() {
  return std::string(
             "usage: tarnwick [--data-folder FOLDER]\n"
             "Tarnwick, a calendar memo book with a Chinese lunar calendar.\n"
             "\n"
             "  --data-folder FOLDER  keep the memos (memo.edb and memo.EDT) in FOLDER,\n"
             "                        for example on a synced drive or a USB stick;\n"
             "                        the folder must exist\n"
             "  -h, --help            show this help and end\n"
             "\n") +
         kDefaultFolderHelp;
}

DataFolderChoice ChooseDataFolder(const StartOptions& options, const fs::path& executable_folder,
                                  const EnvironmentLookup& environment) {
  if (options.data_folder) return NamedFolder(*options.data_folder);
  if (Installed(executable_folder)) return UserDataFolder(environment);
  // A store already beside the program stays in use where it cannot be
  // written (it then opens read-only): its memos are never hidden behind a
  // new, empty one elsewhere.
  std::error_code ignored;
  if (data_folder_system::Writable(executable_folder) || fs::exists(executable_folder / "memo.edb", ignored)) {
    return {executable_folder, {}};
  }
  DataFolderChoice choice = UserDataFolder(environment);
  choice.instead_of_program_folder = !choice.folder.empty();
  return choice;
}

fs::path PathFromUtf8(std::string_view utf8) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.data()), utf8.size()));
}

std::string Utf8Text(const fs::path& path) {
  const std::u8string text = path.u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

}  // namespace tarnwick
