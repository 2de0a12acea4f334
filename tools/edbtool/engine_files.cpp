#include "tools/edbtool/engine_files.h"

#include <string_view>

#include "engine/database_format.h"
#include "engine/md5.h"

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

namespace tarnwick::edbtool {

FileStatus CheckStoreFiles(FileSystem& file_system, const std::string& main_path, const std::string& memo_path,
                           const std::string& password, const CheckOptions& given, CheckReport* report) {
  std::unique_ptr<EngineFileBytes> main;
  if (const FileStatus status = EngineFileBytes::Open(file_system, main_path, "", &main); status != 0) return status;
  std::string magic;
  if (!main->Read(0, 4, magic)) return error::kUnknown;
  const bool protected_file = magic == std::string_view(kProtectedMagic, 4);
  if (protected_file == password.empty() && (protected_file || magic == std::string_view(kPlainMagic, 4))) return error::kWrongPassword;
  CheckOptions options = given;
  if (protected_file) {
    options.expected_check_text = CheckText(password);
    if (const FileStatus status = EngineFileBytes::Open(file_system, main_path, password, &main); status != 0) {
      return status;
    }
    // A wrong password deciphers everything into noise: refuse it as opening does.
    std::string check_block;
    if (!main->Read(kCheckBlockOffset, kCheckBlockSize, check_block) || check_block.size() < kCheckBlockSize ||
        !CheckBlockMatches(reinterpret_cast<const std::uint8_t*>(check_block.data()), options.expected_check_text)) {
      return error::kWrongPassword;
    }
  }
  std::unique_ptr<EngineFileBytes> memo;
  if (file_system.Exists(memo_path)) {
    if (const FileStatus status = EngineFileBytes::Open(file_system, memo_path, password, &memo); status != 0) {
      return status;
    }
  }
  *report = CheckDatabase(*main, memo.get(), options);
  return 0;
}

}  // namespace tarnwick::edbtool
