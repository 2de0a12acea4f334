// The database's two files read directly through the engine's file layer,
// for the structure check, which must see them as they are (the engine's
// open would repair them).
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/cipher_file.h"
#include "engine/file_system.h"
#include "tools/edbtool/structure_check.h"

namespace tarnwick::edbtool {

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

// Checks the store made of main_path and memo_path (ignored when no such
// file exists) with password (GBK, empty for none). The password follows the
// rule of opening: a protected file needs its own, a plain one takes none;
// otherwise error::kWrongPassword, and nothing is checked. 0 once *report is
// filled; a file-layer code when a file cannot be opened or read.
FileStatus CheckStoreFiles(FileSystem& file_system, const std::string& main_path, const std::string& memo_path,
                           const std::string& password, const CheckOptions& options, CheckReport* report);

}  // namespace tarnwick::edbtool
