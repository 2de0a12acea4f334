// The database's two files read directly through the engine's file layer,
// for what the engine's operations do not show: the structure check and the
// record ids.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/cipher_file.h"
#include "engine/file_system.h"
#include "tools/edbtool/structure_check.h"

namespace tarnwick::edbtool {

// The main file's path as the engine resolves it: default extension "EDB",
// made absolute, an existing name matched without regard to case. GBK.
std::string ResolveMainPath(FileSystem& file_system, const std::string& path);
// The memo file beside it: the extension replaced by "EDT", case matched.
std::string ResolveMemoPath(FileSystem& file_system, const std::string& main_path);

// A file opened for reading only, sharing everything, so it can be read
// beside the engine's own open of the same file.
class EngineFileBytes : public FileBytes {
 public:
  // The file is deciphered with password (GBK); empty for a plain file.
  static FileStatus Open(FileSystem& file_system, const std::string& path, const std::string& password,
                         std::unique_ptr<EngineFileBytes>* opened);
  std::uint64_t Size() override;
  bool Read(std::uint64_t offset, std::size_t count, std::string& out) override;

 private:
  explicit EngineFileBytes(std::unique_ptr<CipherFile> file) : file_(std::move(file)) {}
  std::unique_ptr<CipherFile> file_;
};

// The signed 32-bit little-endian number at offset; nullopt when it cannot be read whole.
std::optional<std::int32_t> ReadInt32(FileBytes& file, std::uint64_t offset);

}  // namespace tarnwick::edbtool
