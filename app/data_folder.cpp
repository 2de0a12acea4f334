#include "app/data_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <string_view>
#include <system_error>

namespace tarnwick {

const char kStartOptionsHelp[] =
    "usage: tarnwick [--data-folder FOLDER]\n"
    "Tarnwick, a calendar memo book with a Chinese lunar calendar.\n"
    "\n"
    "  --data-folder FOLDER  keep the memos (memo.edb and memo.EDT) in FOLDER,\n"
    "                        for example on a synced drive or a USB stick;\n"
    "                        the folder must exist\n"
    "  -h, --help            show this help and end\n"
    "\n"
    "Without --data-folder the memos are kept beside the program when its folder\n"
    "is writable (a portable copy or a build folder); an installed program keeps\n"
    "them in $XDG_DATA_HOME/tarnwick (by default ~/.local/share/tarnwick).\n";

const char kDesktopEntryName[] = "org.tarnwick.Tarnwick.desktop";

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kDataFolderOption = "--data-folder";

// access() rather than the permission bits: it also says no on a read-only mount.
bool Writable(const fs::path& folder) { return access(folder.c_str(), W_OK) == 0; }

// cmake --install and the package put the desktop entry at
// <prefix>/share/applications; a user's install into ~/.local has a writable
// bin folder, yet memos do not belong in it.
bool Installed(const fs::path& executable_folder) {
  std::error_code ignored;
  return fs::exists(executable_folder.parent_path() / "share" / "applications" / kDesktopEntryName, ignored);
}

DataFolderChoice Fail(std::string message) { return {{}, std::move(message)}; }

DataFolderChoice NamedFolder(const fs::path& named) {
  std::error_code error;
  fs::path folder = fs::absolute(named, error);
  if (error) return Fail("cannot resolve the data folder " + named.string() + ": " + error.message());
  // Never created: a folder on a stick that is not plugged in must not turn
  // into an empty store on the local disk.
  if (!fs::is_directory(folder, error)) return Fail("the data folder " + folder.string() + " does not exist");
  return {folder.lexically_normal(), {}};
}

// $XDG_DATA_HOME/tarnwick; the variable counts only when it holds an
// absolute path, otherwise ~/.local/share is meant.
DataFolderChoice UserDataFolder(const EnvironmentLookup& environment) {
  fs::path base;
  if (auto data_home = environment("XDG_DATA_HOME"); data_home && fs::path(*data_home).is_absolute()) {
    base = *data_home;
  } else if (auto home = environment("HOME"); home && fs::path(*home).is_absolute()) {
    base = fs::path(*home) / ".local" / "share";
  } else {
    return Fail("neither XDG_DATA_HOME nor HOME names a folder for the memos; use --data-folder");
  }
  const fs::path folder = (base / "tarnwick").lexically_normal();
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    fs::create_directories(folder, error);
    if (error) return Fail("cannot create the data folder " + folder.string() + ": " + error.message());
    // The memos are the user's own.
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, error);
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
        options.data_folder = argv[++i];
      }
    } else if (argument.starts_with(kDataFolderOption) && argument[kDataFolderOption.size()] == '=') {
      options.data_folder = std::string(argument.substr(kDataFolderOption.size() + 1));
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

std::optional<std::string> ProcessEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

DataFolderChoice ChooseDataFolder(const StartOptions& options, const fs::path& executable_folder,
                                  const EnvironmentLookup& environment) {
  if (options.data_folder) return NamedFolder(*options.data_folder);
  if (Writable(executable_folder) && !Installed(executable_folder)) return {executable_folder, {}};
  return UserDataFolder(environment);
}

}  // namespace tarnwick
