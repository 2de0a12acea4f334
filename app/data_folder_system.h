// What the data folder's choice asks of the operating system: one
// implementation for POSIX systems, one for Windows.
#pragma once

#include <filesystem>
#include <string>

#include "app/data_folder.h"

namespace tarnwick::data_folder_system {

// True when files can be created in folder (its access rules and a
// read-only medium answer, not the permission bits alone).
bool Writable(const std::filesystem::path& folder);

// The per-user folder the memos go into (not created here); an empty path
// and the reason when the environment names none.
struct UserFolder {
  std::filesystem::path folder;
  std::string error;
};
UserFolder UserDataFolder(const EnvironmentLookup& environment);

// Creates folder (and its parents), readable by the user alone.
bool CreatePrivateFolder(const std::filesystem::path& folder, std::error_code& error);

}  // namespace tarnwick::data_folder_system
