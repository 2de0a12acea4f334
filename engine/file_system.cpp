#include "engine/file_system.h"

namespace tarnwick {

FileStatus File::Identity(FileIdentity*) { return error::kUnknown; }

FileStatus FileSystem::IdentityAt(const std::string&, FileIdentity*) { return error::kUnknown; }

FileStatus FileSystem::CreateFolder(const std::string&) { return error::kUnknown; }

FileStatus FileSystem::ListFolder(const std::string&, std::vector<std::string>* names) {
  names->clear();
  return error::kUnknown;
}

FileStatus FileSystem::RemoveFolder(const std::string&) { return error::kUnknown; }

FileStatus FileSystem::RemoveFolderWithFiles(const std::string&, const std::vector<std::string>&) {
  return error::kUnknown;
}

FileStatus FileSystem::FlushFolder(const std::string&) { return 0; }

FileStatus FileSystem::Rename(const std::string&, const std::string&) { return error::kUnknown; }

FileStatus FileSystem::Identify(const std::string&, FileIdentity*) { return error::kUnknown; }

}  // namespace tarnwick
