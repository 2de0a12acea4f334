// The data folder on Linux: $XDG_DATA_HOME/tarnwick, or ~/.local/share/tarnwick.
#include <unistd.h>

#include <cstdlib>

#include "app/data_folder_system.h"

namespace tarnwick {

const char kDefaultFolderHelp[] =
    "Without --data-folder the memos are kept beside the program when its folder\n"
    "is writable (a portable copy or a build folder); an installed program keeps\n"
    "them in $XDG_DATA_HOME/tarnwick (by default ~/.local/share/tarnwick).\n";

// cmake --install and the package put it at <prefix>/share/applications; a
// user's install into ~/.local has a writable bin folder, yet memos do not
// belong in it.
const char kInstalledMarker[] = "../share/applications/org.tarnwick.Tarnwick.desktop";

std::optional<std::string> ProcessEnvironment(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

namespace data_folder_system {

namespace fs = std::filesystem;

// access() rather than the permission bits: it also says no on a read-only mount.
bool Writable(const fs::path& folder) { return access(folder.c_str(), W_OK) == 0; }

// The variable counts only when it holds an absolute path, otherwise
// ~/.local/share is meant.
UserFolder UserDataFolder(const EnvironmentLookup& environment) {
  if (auto data_home = environment("XDG_DATA_HOME"); data_home && fs::path(*data_home).is_absolute()) {
    return {fs::path(*data_home) / "tarnwick", {}};
  }
  if (auto home = environment("HOME"); home && fs::path(*home).is_absolute()) {
    return {fs::path(*home) / ".local" / "share" / "tarnwick", {}};
  }
  return {{}, "neither XDG_DATA_HOME nor HOME names a folder for the memos; use --data-folder"};
}

bool CreatePrivateFolder(const fs::path& folder, std::error_code& error) {
  fs::create_directories(folder, error);
  if (error) return false;
  // The memos are the user's own.
  fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, error);
  return true;
}

}  // namespace data_folder_system
}  // namespace tarnwick
