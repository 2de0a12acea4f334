// A file layer that keeps its files in memory, for fuzz targets: no disk
// traffic, nothing left behind, and the same rules as the operating system's
// layer where the engine depends on them. Byte-range locks belong to one open
// file (a second open of the same file conflicts with them), an open's share
// mode is checked against the other opens of its file, a file stays readable
// through its opens after it is removed, and a file cannot grow beyond a
// fixed size (the disk is then full), so no input can make a target allocate
// without bound. The clock moves on by itself, so a wait always ends.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "engine/file_system.h"

namespace tarnwick::fuzzing {

class MemoryFileSystem final : public FileSystem {
 public:
  // Bytes one file may hold; a write beyond reports a full disk.
  static constexpr uint64_t kLargestFile = uint64_t{8} << 20;

  // Replaces (or creates) a file's contents.
  void SetFile(const std::string& path, std::string bytes);
  // The contents of a file; nullptr when there is none.
  const std::string* FileBytes(const std::string& path) const;
  void Clear() { files_.clear(); }

  FileStatus Open(const std::string& path, const FileOpenMode& mode, std::unique_ptr<File>* file) override;
  bool Exists(const std::string& path) override;
  FileStatus IdentityAt(const std::string& path, FileIdentity* identity) override;
  FileStatus Remove(const std::string& path) override;
  std::string AbsolutePath(const std::string& path) override;
  std::string MatchNameIgnoringCase(const std::string& path) override;
  uint32_t TickCount() override { return ticks_ += 10; }
  void SleepMilliseconds(int milliseconds) override { ticks_ += milliseconds > 0 ? milliseconds : 0; }
  CivilDateTime LocalDateTime() override { return CivilDateTime{2024, 2, 29, 13, 5, 9}; }

  struct Node;

 private:
  std::map<std::string, std::shared_ptr<Node>> files_;
  uint32_t ticks_ = 0;
};

}  // namespace tarnwick::fuzzing
