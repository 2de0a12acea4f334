#include "search/export_file.h"

#include "base/text.h"

namespace tarnwick {

std::string ExportEntry(DateTime date, std::string_view memo) {
  static const std::string date_open = Gbk("日期：[");
  static const std::string memo_line = Gbk("备忘内容：") + "\r\n";
  static const std::string separator = Gbk("━━━━━━━━━━━━━━") + "\r\n";
  std::string entry;
  entry.reserve(date_open.size() + 32 + memo_line.size() + memo.size() + 2 + separator.size());
  entry += date_open;
  entry += DateText(date);
  entry += "]\r\n";
  entry += memo_line;
  entry += memo;
  entry += "\r\n";
  entry += separator;
  return entry;
}

std::unique_ptr<ExportFile> ExportFile::Open(FileSystem& file_system, const std::string& path) {
  std::unique_ptr<File> file;
  const FileOpenMode mode{FileAccess::kReadWrite, ShareMode::kDenyNone, /*create=*/true};
  if (path.empty() || file_system.Open(path, mode, &file) != 0 || file == nullptr) return nullptr;
  // Emptied even where opening for creation keeps the old bytes: an older,
  // longer file must not show its tail after the new entries.
  if (file->Truncate(0) != 0) return nullptr;
  return std::unique_ptr<ExportFile>(new ExportFile(std::move(file)));
}

bool ExportFile::Write(DateTime date, std::string_view memo) {
  if (failed_) return false;
  buffer_ += ExportEntry(date, memo);
  if (buffer_.size() >= kBufferBytes) WriteOut();
  return !failed_;
}

void ExportFile::WriteOut() {
  if (failed_ || buffer_.empty()) return;
  if (file_->WriteAt(offset_, buffer_.data(), buffer_.size()) != 0) {
    failed_ = true;
    return;
  }
  offset_ += buffer_.size();
  buffer_.clear();
}

bool ExportFile::Close() {
  WriteOut();
  file_.reset();
  return !failed_;
}

}  // namespace tarnwick
