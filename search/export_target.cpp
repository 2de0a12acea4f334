#include "search/export_target.h"

#include <vector>

#include "memo/backup.h"

namespace tarnwick {
namespace {

// The identities of folder and everything in it, two levels deep (a backup
// is a folder of files); a folder that cannot be read adds nothing.
void AddFolderIdentities(FileSystem& files, const std::string& folder, int depth, std::vector<FileIdentity>* found) {
  FileIdentity identity;
  if (files.Identify(folder, &identity) != 0) return;
  found->push_back(identity);
  std::vector<std::string> names;
  if (files.ListFolder(folder, &names) != 0) return;
  for (const std::string& name : names) {
    const std::string path = folder + kPathSeparator + name;
    if (depth > 0) {
      AddFolderIdentities(files, path, depth - 1, found);
    } else if (files.Identify(path, &identity) == 0) {
      found->push_back(identity);
    }
  }
}

// The folder holding path: up to its last separator (either kind on
// Windows), or "." for a bare name.
std::string ContainingFolder(const std::string& path) {
  const size_t last = path.find_last_of(kPathSeparator == '/' ? "/" : "/\\");
  if (last == std::string::npos) return ".";
  return last == 0 ? path.substr(0, 1) : path.substr(0, last);
}

}  // namespace

bool WouldOverwriteTheStore(MemoStore& store, const std::string& path) {
  if (store.IsStoreFile(path)) return true;
  FileSystem& files = store.engine().file_system();
  std::vector<FileIdentity> taken;
  for (const char* name : {"memo.edb", "memo.EDT"}) {
    FileIdentity identity;
    if (files.Identify(files.MatchNameIgnoringCase(store.folder() + kPathSeparator + name), &identity) == 0) {
      taken.push_back(identity);
    }
  }
  AddFolderIdentities(files, StoreBackups(files, store.folder()).folder(), 1, &taken);
  // A file not there yet is judged by the folder it would be made in.
  FileIdentity target;
  if (files.Identify(path, &target) != 0 && files.Identify(ContainingFolder(path), &target) != 0) return false;
  for (const FileIdentity& identity : taken) {
    if (identity == target) return true;
  }
  return false;
}

}  // namespace tarnwick
