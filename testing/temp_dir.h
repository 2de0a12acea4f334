// A fresh temporary folder for one test, removed with everything in it when
// the object goes out of scope. Keeps every test hermetic.
#pragma once

#include <filesystem>
#include <string>

namespace tarnwick::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // path() / name, as a string with the system's own separators (a name may
  // hold subfolders: "a/b").
  std::string File(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

}  // namespace tarnwick::testing
