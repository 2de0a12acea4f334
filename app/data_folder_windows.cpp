// The data folder on Windows: %APPDATA%\Tarnwick.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdlib>
#include <string>

#include "app/data_folder_system.h"

namespace tarnwick {

const char kDefaultFolderHelp[] =
    "Without --data-folder the memos are kept beside the program when its folder\n"
    "can be written (the portable zip); an installed program, or a copy in a\n"
    "folder that cannot be written, keeps them in %APPDATA%\\Tarnwick.\n";

// The installer puts it beside tarnwick.exe; the portable zip has none.
const char kInstalledMarker[] = "installed.txt";

std::optional<std::string> ProcessEnvironment(const char* name) {
  const std::wstring wide_name(name, name + std::char_traits<char>::length(name));
  const wchar_t* value = _wgetenv(wide_name.c_str());
  if (value == nullptr) return std::nullopt;
  return Utf8Text(std::filesystem::path(value));
}

namespace data_folder_system {

namespace fs = std::filesystem;

// A file is created there and goes with its handle: the folder's access
// rules (C:\Program Files for a user without elevation; the manifest's
// asInvoker keeps Windows from redirecting the write elsewhere) and a
// read-only medium answer, where the read-only attribute of a folder means
// nothing.
bool Writable(const fs::path& folder) {
  const std::wstring probe =
      (folder / (L"tarnwick-write-test-" + std::to_wstring(GetCurrentProcessId()) + L".tmp")).wstring();
  HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

UserFolder UserDataFolder(const EnvironmentLookup& environment) {
  if (auto app_data = environment("APPDATA"); app_data && PathFromUtf8(*app_data).is_absolute()) {
    return {PathFromUtf8(*app_data) / "Tarnwick", {}};
  }
  return {{}, "APPDATA names no folder for the memos; use --data-folder"};
}

// A folder made in the user's profile takes the profile's access rules: the
// user's own, beside the system's accounts.
bool CreatePrivateFolder(const fs::path& folder, std::error_code& error) {
  fs::create_directories(folder, error);
  return !error;
}

}  // namespace data_folder_system
}  // namespace tarnwick
