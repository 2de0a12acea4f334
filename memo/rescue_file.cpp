#include "memo/rescue_file.h"

#include <memory>

#include "base/text.h"

namespace tarnwick {

RescueFile::RescueFile(FileSystem& files, std::string folder) : files_(files) {
  folders_.push_back(std::move(folder));
}

std::optional<std::string> RescueFile::Keep(DateTime day, DateTime now, std::string_view text) {
  std::string entry = Gbk("===== ") + DateOnlyText(day) + Gbk("的备忘（") + DateText(now) +
                      Gbk("未能保存到数据库，保存在这里）=====\r\n");
  entry.append(text);
  entry += "\r\n\r\n";
  for (const std::string& folder : folders_) {
    const std::string path = folder + kPathSeparator + std::string(kName);
    if (AppendTo(path, entry)) return path;
  }
  return std::nullopt;
}

std::vector<std::string> RescueFile::Existing() {
  std::vector<std::string> found;
  for (const std::string& folder : folders_) {
    const std::string path = folder + kPathSeparator + std::string(kName);
    if (files_.Exists(path)) found.push_back(path);
  }
  return found;
}

// An entry that does not land whole is cut off again, so the file never
// ends in half a memo that a later entry would follow.
bool RescueFile::AppendTo(const std::string& path, std::string_view bytes) {
  FileOpenMode mode;
  mode.access = FileAccess::kReadWrite;
  mode.create = !files_.Exists(path);
  std::unique_ptr<File> file;
  if (files_.Open(path, mode, &file) != 0) return false;
  uint64_t end = 0;
  if (file->Length(&end) == 0 && file->WriteAt(end, bytes.data(), bytes.size()) == 0 && file->Flush() == 0) {
    return true;
  }
  file->Truncate(end);
  file.reset();
  // A file made for this entry alone would tell the next start of nothing.
  if (mode.create) files_.Remove(path);
  return false;
}

}  // namespace tarnwick
