#include "fuzz/shared/memory_file_system.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <limits>
#include <vector>

#include "base/text.h"

namespace tarnwick::fuzzing {

namespace {

class MemoryFile;

// [offset, offset + length), a length of 0 reaching to the end of all offsets
// as with POSIX locks.
uint64_t RangeEnd(uint64_t offset, uint64_t length) {
  const uint64_t most = std::numeric_limits<uint64_t>::max();
  if (length == 0 || length > most - offset) return most;
  return offset + length;
}

}  // namespace

struct MemoryFileSystem::Node {
  std::string bytes;
  std::vector<MemoryFile*> opens;
};

namespace {

class MemoryFile final : public File {
 public:
  MemoryFile(std::shared_ptr<MemoryFileSystem::Node> node, const FileOpenMode& mode)
      : node_(std::move(node)),
        writes_(mode.access == FileAccess::kReadWrite),
        denies_read_(mode.share == ShareMode::kDenyRead || mode.share == ShareMode::kExclusive),
        denies_write_(mode.share == ShareMode::kDenyWrite || mode.share == ShareMode::kExclusive) {
    node_->opens.push_back(this);
  }
  ~MemoryFile() override {
    auto& opens = node_->opens;
    opens.erase(std::find(opens.begin(), opens.end(), this));
  }

  // Whether an open with these rights may stand beside this one.
  bool Allows(bool writes, bool denies_read, bool denies_write) const {
    return !(writes && denies_write_) && !denies_read_ && !denies_read && !(denies_write && writes_);
  }

  FileStatus Identity(FileIdentity* identity) override {
    *identity = FileIdentity{0, reinterpret_cast<uintptr_t>(node_.get())};
    return 0;
  }

  FileStatus ReadAt(uint64_t offset, void* buffer, size_t count, size_t* read_count) override {
    *read_count = 0;
    const std::string& bytes = node_->bytes;
    if (offset >= bytes.size()) return 0;
    *read_count = std::min<uint64_t>(count, bytes.size() - offset);
    std::memcpy(buffer, bytes.data() + offset, *read_count);
    return 0;
  }
  FileStatus WriteAt(uint64_t offset, const void* data, size_t count) override {
    if (!writes_) return error::kAccessDenied;
    if (offset > MemoryFileSystem::kLargestFile || count > MemoryFileSystem::kLargestFile - offset) {
      return error::kDiskFull;
    }
    std::string& bytes = node_->bytes;
    if (bytes.size() < offset + count) bytes.resize(offset + count, '\0');
    if (count > 0) std::memcpy(bytes.data() + offset, data, count);
    return 0;
  }
  FileStatus Length(uint64_t* length) override {
    *length = node_->bytes.size();
    return 0;
  }
  FileStatus Truncate(uint64_t length) override {
    if (!writes_) return error::kAccessDenied;
    if (length > MemoryFileSystem::kLargestFile) return error::kDiskFull;
    node_->bytes.resize(length, '\0');
    return 0;
  }
  FileStatus Flush() override { return 0; }
  FileStatus Lock(uint64_t offset, uint64_t length) override {
    const uint64_t end = RangeEnd(offset, length);
    for (const MemoryFile* other : node_->opens) {
      if (other != this && other->Overlaps(offset, end)) return error::kLockViolation;
    }
    // Merge with the ranges this open already holds that touch the new one.
    uint64_t start = offset;
    uint64_t stop = end;
    for (auto it = locks_.begin(); it != locks_.end();) {
      if (it->first <= stop && it->second >= start) {
        start = std::min(start, it->first);
        stop = std::max(stop, it->second);
        it = locks_.erase(it);
      } else {
        ++it;
      }
    }
    locks_[start] = stop;
    return 0;
  }
  FileStatus Unlock(uint64_t offset, uint64_t length) override {
    const uint64_t end = RangeEnd(offset, length);
    std::map<uint64_t, uint64_t> kept;
    for (const auto& [start, stop] : locks_) {
      if (stop <= offset || start >= end) {
        kept[start] = stop;
        continue;
      }
      if (start < offset) kept[start] = offset;
      if (stop > end) kept[end] = stop;
    }
    locks_.swap(kept);
    return 0;
  }

 private:
  bool Overlaps(uint64_t start, uint64_t end) const {
    for (const auto& [from, to] : locks_) {
      if (from < end && start < to) return true;
    }
    return false;
  }

  std::shared_ptr<MemoryFileSystem::Node> node_;
  bool writes_;
  bool denies_read_;
  bool denies_write_;
  std::map<uint64_t, uint64_t> locks_;  // start -> end, disjoint
};

}  // namespace

void MemoryFileSystem::SetFile(const std::string& path, std::string bytes) {
  auto& node = files_[AbsolutePath(path)];
  if (node == nullptr) node = std::make_shared<Node>();
  node->bytes = std::move(bytes);
}

const std::string* MemoryFileSystem::FileBytes(const std::string& path) const {
  auto it = files_.find(const_cast<MemoryFileSystem*>(this)->AbsolutePath(path));
  return it == files_.end() ? nullptr : &it->second->bytes;
}

FileStatus MemoryFileSystem::Open(const std::string& path, const FileOpenMode& mode, std::unique_ptr<File>* file) {
  file->reset();
  if (path.empty()) return error::kFileNotFound;
  const std::string absolute = AbsolutePath(path);
  auto it = files_.find(absolute);
  if (it != files_.end() && mode.create && mode.must_be_new) return error::kAccessDenied;
  if (it == files_.end()) {
    if (!mode.create) return error::kFileNotFound;
    it = files_.emplace(absolute, std::make_shared<Node>()).first;
  }
  std::shared_ptr<Node> node = it->second;
  const bool writes = mode.access == FileAccess::kReadWrite;
  const bool denies_read = mode.share == ShareMode::kDenyRead || mode.share == ShareMode::kExclusive;
  const bool denies_write = mode.share == ShareMode::kDenyWrite || mode.share == ShareMode::kExclusive;
  for (const MemoryFile* other : node->opens) {
    if (!other->Allows(writes, denies_read, denies_write)) return error::kSharingViolation;
  }
  if (mode.create) node->bytes.clear();
  *file = std::make_unique<MemoryFile>(node, mode);
  return 0;
}

FileStatus MemoryFileSystem::IdentityAt(const std::string& path, FileIdentity* identity) {
  auto it = files_.find(AbsolutePath(path));
  if (path.empty() || it == files_.end()) return error::kFileNotFound;
  *identity = FileIdentity{0, reinterpret_cast<uintptr_t>(it->second.get())};
  return 0;
}

bool MemoryFileSystem::Exists(const std::string& path) {
  return !path.empty() && files_.count(AbsolutePath(path)) != 0;
}

FileStatus MemoryFileSystem::Remove(const std::string& path) {
  if (path.empty() || files_.erase(AbsolutePath(path)) == 0) return error::kFileNotFound;
  return 0;
}

std::string MemoryFileSystem::AbsolutePath(const std::string& path) {
  std::filesystem::path absolute = path.empty() || path[0] != '/' ? "/fuzz/" + path : path;
  return absolute.lexically_normal().string();
}

std::string MemoryFileSystem::MatchNameIgnoringCase(const std::string& path) {
  if (Exists(path)) return path;
  const size_t slash = path.rfind('/');
  const std::string folder = AbsolutePath(slash == std::string::npos ? "" : path.substr(0, slash + 1));
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name.empty()) return path;
  for (const auto& [candidate, node] : files_) {
    const size_t candidate_slash = candidate.rfind('/');
    if (AbsolutePath(candidate.substr(0, candidate_slash + 1)) == folder &&
        GbkEqualsIgnoringCase(candidate.substr(candidate_slash + 1), name)) {
      return slash == std::string::npos ? candidate.substr(candidate_slash + 1) : path.substr(0, slash + 1) + candidate.substr(candidate_slash + 1);
    }
  }
  return path;
}

}  // namespace tarnwick::fuzzing
