#include "tools/edbtool/engine_files.h"

namespace tarnwick::edbtool {

namespace {

// Start of the file-name part: after the last separator of either kind.
std::size_t NameStart(const std::string& path) {
  const std::size_t separator = path.find_last_of("/\\");
  return separator == std::string::npos ? 0 : separator + 1;
}

}  // namespace

std::string ResolveMainPath(FileSystem& file_system, const std::string& path) {
  std::string with_extension = path;
  const std::size_t dot = with_extension.rfind('.');
  if (dot == std::string::npos || dot < NameStart(with_extension)) {
    with_extension += ".EDB";
  } else if (dot + 1 == with_extension.size()) {
    with_extension += "EDB";
  }
  return file_system.MatchNameIgnoringCase(file_system.AbsolutePath(with_extension));
}

std::string ResolveMemoPath(FileSystem& file_system, const std::string& main_path) {
  std::string memo_path = main_path;
  const std::size_t dot = memo_path.rfind('.');
  if (dot == std::string::npos || dot < NameStart(memo_path)) {
    memo_path += ".EDT";
  } else {
    memo_path = memo_path.substr(0, dot + 1) + "EDT";
  }
  return file_system.MatchNameIgnoringCase(memo_path);
}

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

std::optional<std::int32_t> ReadInt32(FileBytes& file, std::uint64_t offset) {
  std::string bytes;
  if (!file.Read(offset, 4, bytes) || bytes.size() < 4) return std::nullopt;
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
  return static_cast<std::int32_t>(value);
}

}  // namespace tarnwick::edbtool
