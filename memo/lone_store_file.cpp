#include "memo/lone_store_file.h"

#include <cstdio>

namespace tarnwick {

bool HoldsNoBytes(FileSystem& files, const std::string& path) {
  std::unique_ptr<File> file;
  uint64_t length = 0;
  return files.Open(path, {}, &file) == 0 && file->Length(&length) == 0 && length == 0;
}

FileStatus SetAsideLoneStoreFiles(FileSystem& files, const std::string& folder, const CivilDateTime& now,
                                  std::vector<std::string>* set_aside) {
  set_aside->clear();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", now.year, now.month, now.day, now.hour, now.minute,
                now.second);
  for (const char* extension : {"edb", "EDT"}) {
    const std::string lone = files.MatchNameIgnoringCase(folder + kPathSeparator + "memo." + extension);
    if (!files.Exists(lone) || HoldsNoBytes(files, lone)) continue;
    const std::string base = folder + kPathSeparator + "memo-lone-" + stamp;
    std::string aside = base + "." + extension;
    for (int sequence = 2; files.Exists(aside); ++sequence) {
      aside = base + "." + std::to_string(sequence) + "." + extension;
    }
    if (FileStatus status = files.Rename(lone, aside); status != 0) return status;
    set_aside->push_back(aside);
  }
  return 0;
}

}  // namespace tarnwick
