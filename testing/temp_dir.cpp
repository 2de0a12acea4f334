#include "testing/temp_dir.h"

#include <random>
#include <stdexcept>
#include <system_error>

namespace tarnwick::testing {

TempDir::TempDir() {
  // A fresh name that nobody else holds: create_directory reports whether it
  // made the folder, so two tests (or processes) never share one.
  std::random_device seed;
  std::mt19937_64 random(seed());
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = "tarnwick-";
    for (int i = 0; i < 10; ++i) name += kLetters[random() % (sizeof kLetters - 1)];
    std::error_code error;
    if (std::filesystem::create_directory(base / name, error)) {
      path_ = base / name;
      // Readable by the user alone, as a private temporary folder should be.
      std::filesystem::permissions(path_, std::filesystem::perms::owner_all, error);
      return;
    }
  }
  throw std::runtime_error("no temporary folder could be made");
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const { return (path_ / name).make_preferred().string(); }

}  // namespace tarnwick::testing
