// Where a memo goes when it cannot be saved into the store (a failing close,
// a termination signal, the display going away): appended to a text file,
// memo-rescued.txt, in the first of its folders that takes it (the data
// folder, then the user's home or temporary folder), under a line naming the
// memo's day and the time it was kept, GBK as the program's exports are.
// Earlier rescues in the file stay; the next start says the file exists.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "engine/file_system.h"

namespace tarnwick {

class RescueFile {
 public:
  static constexpr std::string_view kName = "memo-rescued.txt";

  // folder: GBK, absolute; tried first. files must outlive this.
  RescueFile(FileSystem& files, std::string folder);

  // A folder to try when the ones before it do not take the file.
  void AddFallbackFolder(std::string folder) { folders_.push_back(std::move(folder)); }
  // Appends text (GBK), the memo of day, kept at now; the path written, or
  // nullopt when no folder took it whole.
  std::optional<std::string> Keep(DateTime day, DateTime now, std::string_view text);
  // The rescue files that exist, in the order of their folders.
  std::vector<std::string> Existing();

 private:
  bool AppendTo(const std::string& path, std::string_view bytes);

  FileSystem& files_;
  std::vector<std::string> folders_;
};

}  // namespace tarnwick
