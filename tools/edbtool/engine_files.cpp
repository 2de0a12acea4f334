#include "tools/edbtool/engine_files.h"

namespace tarnwick::edbtool {

FileStatus EngineFileBytes::Open(FileSystem& file_system, const std::string& path, const std::string& password,
                                 std::unique_ptr<EngineFileBytes>* opened) {
  std::unique_ptr<File> file;
  FileOpenMode mode;
  mode.access = FileAccess::kRead;
  mode.share = ShareMode::kDenyNone;
  const FileStatus status = file_system.Open(path, mode, &file);
  if (status != 0) return status;
  opened->reset(new EngineFileBytes(std::make_unique<CipherFile>(std::move(file), password)));
  return 0;
}

std::uint64_t EngineFileBytes::Size() {
  std::uint64_t length = 0;
  return file_->file().Length(&length) == 0 ? length : 0;
}

bool EngineFileBytes::Read(std::uint64_t offset, std::size_t count, std::string& out) {
  out.resize(count);
  std::size_t read_count = 0;
  const FileStatus status = file_->Read(offset, out.data(), count, &read_count);
  out.resize(read_count);
  return status == 0;
}

}  // namespace tarnwick::edbtool
