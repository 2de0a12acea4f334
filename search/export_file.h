// The export text file: one entry of four lines per memo, in GBK, every line
// ended by CR LF, with nothing before, between or after the entries.
//
//   日期：[2011年5月3日]
//   备忘内容：
//   the memo exactly as stored (its own line breaks included)
//   a line of 14 heavy horizontal box-drawing characters (A9 A5 each)
//
// Promises:
// - The file holds exactly the entries written: an existing file is cut to
//   nothing when opened, so no tail of older content stays behind.
// - A failed write is remembered; Close reports it, and nothing more is
//   written after it.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "base/datetime.h"
#include "engine/file_system.h"

namespace tarnwick {

// The four lines of one entry, line ends included.
std::string ExportEntry(DateTime date, std::string_view memo);

class ExportFile {
 public:
  // Opens path (GBK) for writing, created when missing, emptied when present,
  // without denying others access; nullptr when it cannot be opened.
  static std::unique_ptr<ExportFile> Open(FileSystem& file_system, const std::string& path);

  // Adds one entry; false once a write has failed.
  bool Write(DateTime date, std::string_view memo);
  // Writes out the rest and closes; false when any write failed.
  bool Close();

 private:
  explicit ExportFile(std::unique_ptr<File> file) : file_(std::move(file)) {}
  void WriteOut();

  // Entries gather up to this size before one write.
  static constexpr std::size_t kBufferBytes = 64 * 1024;

  std::unique_ptr<File> file_;
  std::string buffer_;
  std::uint64_t offset_ = 0;
  bool failed_ = false;
};

}  // namespace tarnwick
