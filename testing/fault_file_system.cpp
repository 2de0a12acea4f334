#include "testing/fault_file_system.h"

#include <algorithm>
#include <set>

namespace tarnwick::testing {

namespace {

// The file layer's statuses for a full disk and for a denied access.
constexpr FileStatus kDiskFullStatus = -14;
constexpr FileStatus kAccessDeniedStatus = -6;

class FaultFile final : public File {
 public:
  FaultFile(std::unique_ptr<File> base, FaultFileSystem* faults, std::string path)
      : base_(std::move(base)), faults_(faults), path_(std::move(path)) {}

  FileStatus Identity(FileIdentity* identity) override { return base_->Identity(identity); }

  FileStatus ReadAt(uint64_t offset, void* buffer, size_t count, size_t* read_count) override {
    bool torn = false;
    if (FileStatus status = faults_->Check(FaultFileSystem::Operation::kRead, &torn); status != 0) {
      *read_count = 0;
      return status;
    }
    return base_->ReadAt(offset, buffer, count, read_count);
  }
  FileStatus WriteAt(uint64_t offset, const void* data, size_t count) override {
    bool torn = false;
    if (FileStatus status = faults_->Check(FaultFileSystem::Operation::kWrite, &torn); status != 0) {
      if (torn && count > 1) {
        faults_->BeforeChange(path_, *base_);
        if (base_->WriteAt(offset, data, count / 2) == 0) {
          faults_->Changed(path_, FaultFileSystem::Operation::kWrite, offset, data, count / 2);
        }
      }
      return status;
    }
    uint64_t length = 0;
    if (faults_->disk_full() && base_->Length(&length) == 0 && offset + count > length) {
      if (offset < length) WriteThrough(offset, data, static_cast<size_t>(length - offset));
      return kDiskFullStatus;
    }
    return WriteThrough(offset, data, count);
  }
  FileStatus Length(uint64_t* length) override {
    if (faults_->dead()) return -11;
    return base_->Length(length);
  }
  FileStatus Truncate(uint64_t length) override {
    bool torn = false;
    if (FileStatus status = faults_->Check(FaultFileSystem::Operation::kTruncate, &torn); status != 0) return status;
    faults_->BeforeChange(path_, *base_);
    FileStatus status = base_->Truncate(length);
    if (status == 0) faults_->Changed(path_, FaultFileSystem::Operation::kTruncate, length, nullptr, 0);
    return status;
  }
  FileStatus Flush() override {
    bool torn = false;
    if (FileStatus status = faults_->Check(FaultFileSystem::Operation::kFlush, &torn); status != 0) return status;
    FileStatus status = base_->Flush();
    if (status == 0) faults_->Flushed(path_);
    return status;
  }
  FileStatus Lock(uint64_t offset, uint64_t length) override {
    bool torn = false;
    if (FileStatus status = faults_->Check(FaultFileSystem::Operation::kLock, &torn); status != 0) return status;
    return base_->Lock(offset, length);
  }
  // Locks go with the process, so a dead one's are released as usual.
  FileStatus Unlock(uint64_t offset, uint64_t length) override { return base_->Unlock(offset, length); }

 private:
  FileStatus WriteThrough(uint64_t offset, const void* data, size_t count) {
    faults_->BeforeChange(path_, *base_);
    FileStatus status = base_->WriteAt(offset, data, count);
    if (status == 0) faults_->Changed(path_, FaultFileSystem::Operation::kWrite, offset, data, count);
    return status;
  }

  std::unique_ptr<File> base_;
  FaultFileSystem* faults_;
  std::string path_;
};

}  // namespace

void FaultFileSystem::FailNth(Operation operation, int n, FileStatus status, bool torn) {
  ResetCounts();
  armed_ = n > 0;
  fired_ = false;
  dying_ = false;
  dead_ = false;
  operation_ = operation;
  remaining_ = n;
  status_ = status;
  torn_ = torn;
}

void FaultFileSystem::DieAtNth(Operation operation, int n, bool torn) {
  FailNth(operation, n, -11, torn);
  dying_ = true;
}

void FaultFileSystem::ResetCounts() {
  for (int& count : counts_) count = 0;
}

FileStatus FaultFileSystem::Check(Operation operation, bool* torn) {
  ++counts_[static_cast<int>(operation)];
  if (dead_) return status_;
  if (!armed_ || operation != operation_) return 0;
  if (--remaining_ > 0) return 0;
  armed_ = false;
  fired_ = true;
  dead_ = dying_;
  *torn = torn_;
  return status_;
}

namespace {

std::string ParentOf(const std::string& path) {
  const size_t separator = path.rfind(kPathSeparator);
  return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

bool IsUnder(const std::string& path, const std::string& folder) {
  return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
         path[folder.size()] == kPathSeparator;
}

}  // namespace

void FaultFileSystem::NameCreated(const std::string& path, bool existed) {
  if (power_loss_ && lose_names_ && !existed) new_names_.insert(path);
}

void FaultFileSystem::FolderFlushed(const std::string& folder) {
  std::erase_if(new_names_, [&](const std::string& name) { return ParentOf(name) == folder; });
}

void FaultFileSystem::NameRemoved(const std::string& path) {
  std::erase_if(new_names_, [&](const std::string& name) { return name == path || IsUnder(name, path); });
}

FileStatus FaultFileSystem::Remove(const std::string& path) {
  if (read_only_) return kAccessDeniedStatus;
  bool torn = false;
  if (FileStatus status = Check(Operation::kRemove, &torn); status != 0) return status;
  FileStatus status = base_->Remove(path);
  if (status == 0) {
    Logged({Operation::kRemove, path, 0, {}});
    unflushed_.erase(path);
    NameRemoved(path);
  }
  return status;
}

FileStatus FaultFileSystem::CreateFolder(const std::string& path) {
  if (read_only_) return kAccessDeniedStatus;
  bool torn = false;
  if (FileStatus status = Check(Operation::kWrite, &torn); status != 0) return status;
  const bool existed = base_->Exists(path);
  FileStatus status = base_->CreateFolder(path);
  if (status == 0) {
    Logged({Operation::kWrite, path, 0, {}});
    NameCreated(path, existed);
  }
  return status;
}

FileStatus FaultFileSystem::FlushFolder(const std::string& path) {
  bool torn = false;
  if (FileStatus status = Check(Operation::kFlush, &torn); status != 0) return status;
  FileStatus status = base_->FlushFolder(path);
  if (status == 0) {
    Logged({Operation::kFlush, path, 0, {}});
    FolderFlushed(path);
  }
  return status;
}

FileStatus FaultFileSystem::ListFolder(const std::string& path, std::vector<std::string>* names) {
  bool torn = false;
  if (FileStatus status = Check(Operation::kRead, &torn); status != 0) {
    names->clear();
    return status;
  }
  return base_->ListFolder(path, names);
}

FileStatus FaultFileSystem::RemoveFolder(const std::string& path) {
  if (read_only_) return kAccessDeniedStatus;
  bool torn = false;
  if (FileStatus status = Check(Operation::kRemove, &torn); status != 0) return status;
  FileStatus status = base_->RemoveFolder(path);
  if (status == 0) {
    Logged({Operation::kRemove, path, 0, {}});
    NameRemoved(path);
  }
  return status;
}

FileStatus FaultFileSystem::RemoveFolderWithFiles(const std::string& folder,
                                                  const std::vector<std::string>& file_names) {
  bool torn = false;
  if (FileStatus status = Check(Operation::kRemove, &torn); status != 0) return status;
  FileStatus status = base_->RemoveFolderWithFiles(folder, file_names);
  if (status == 0) {
    for (const std::string& name : file_names) unflushed_.erase(folder + kPathSeparator + name);
    Logged({Operation::kRemove, folder, 0, {}});
    NameRemoved(folder);
  }
  return status;
}

FileStatus FaultFileSystem::Rename(const std::string& from, const std::string& to) {
  if (read_only_) return kAccessDeniedStatus;
  bool torn = false;
  if (FileStatus status = Check(Operation::kWrite, &torn); status != 0) return status;
  FileStatus status = base_->Rename(from, to);
  if (status == 0) {
    Logged({Operation::kWrite, to, 0, {}});
    // The new name is flushed with its folder (the layer's rename does that);
    // names inside a renamed folder move with it, as unflushed as they were.
    std::set<std::string> moved;
    for (const std::string& name : new_names_) {
      if (IsUnder(name, from)) moved.insert(to + name.substr(from.size()));
    }
    NameRemoved(from);
    new_names_.insert(moved.begin(), moved.end());
    FolderFlushed(ParentOf(to));
  }
  return status;
}

FileStatus FaultFileSystem::Open(const std::string& path, const FileOpenMode& mode, std::unique_ptr<File>* file) {
  if (dead_) return status_;
  if (read_only_ && (mode.access != FileAccess::kRead || mode.create)) return kAccessDeniedStatus;
  std::unique_ptr<File> base_file;
  const bool existed = !mode.create || base_->Exists(path);
  FileStatus status = base_->Open(path, mode, &base_file);
  if (status != 0) return status;
  if (mode.create) unflushed_.erase(path);  // created empty, at once
  NameCreated(path, existed);
  *file = std::make_unique<FaultFile>(std::move(base_file), this, path);
  return 0;
}

void FaultFileSystem::SetPowerLoss(bool on, uint32_t seed) {
  power_loss_ = on;
  power_loss_seed_ = seed;
  unflushed_.clear();
  new_names_.clear();
}

void FaultFileSystem::BeforeChange(const std::string& path, File& file) {
  if (!power_loss_ || unflushed_.count(path) != 0) return;
  Unflushed& entry = unflushed_[path];
  uint64_t length = 0;
  if (file.Length(&length) != 0) return;
  entry.flushed.resize(static_cast<size_t>(length));
  size_t got = 0;
  file.ReadAt(0, entry.flushed.data(), entry.flushed.size(), &got);
  entry.flushed.resize(got);
}

void FaultFileSystem::Changed(const std::string& path, Operation operation, uint64_t offset, const void* data,
                              size_t count) {
  Change change{operation, path, offset, std::string(static_cast<const char*>(data), data != nullptr ? count : 0)};
  if (power_loss_) {
    if (auto entry = unflushed_.find(path); entry != unflushed_.end()) entry->second.changes.push_back(change);
  }
  Logged(std::move(change));
}

void FaultFileSystem::Flushed(const std::string& path) {
  unflushed_.erase(path);
  Logged({Operation::kFlush, path, 0, {}});
}

int FaultFileSystem::CutPower() {
  constexpr uint64_t kSector = 512;
  std::mt19937 random(power_loss_seed_);
  int lost = 0;
  for (auto& [path, entry] : unflushed_) {
    std::string bytes = entry.flushed;
    for (const Change& change : entry.changes) {
      // 0 drops the change, 1 lands it whole, 2 lands a prefix of whole sectors.
      const int fate = power_loss_seed_ == 0 ? 0 : static_cast<int>(random() % 3);
      if (change.operation == Operation::kTruncate) {
        if (fate == 1) {
          bytes.resize(static_cast<size_t>(change.offset));
        } else {
          ++lost;
        }
        continue;
      }
      uint64_t landed = fate == 1 ? change.data.size() : 0;
      if (fate == 2) {
        // Sector boundaries strictly inside the write; without one, nothing lands.
        const uint64_t first = (change.offset / kSector + 1) * kSector;
        const uint64_t end = change.offset + change.data.size();
        if (first < end) {
          const uint64_t boundaries = (end - 1 - first) / kSector + 1;
          landed = first + kSector * (random() % boundaries) - change.offset;
        }
      }
      if (landed < change.data.size()) ++lost;
      if (landed == 0) continue;
      if (bytes.size() < change.offset + landed) bytes.resize(static_cast<size_t>(change.offset + landed), '\0');
      bytes.replace(static_cast<size_t>(change.offset), static_cast<size_t>(landed), change.data, 0,
                    static_cast<size_t>(landed));
    }
    std::unique_ptr<File> file;
    if (base_->Open(path, FileOpenMode{FileAccess::kReadWrite, ShareMode::kDenyNone, false}, &file) != 0) continue;
    file->Truncate(0);
    file->WriteAt(0, bytes.data(), bytes.size());
    file->Flush();
  }
  unflushed_.clear();
  // Names never flushed into their folder: the deepest first, so a folder
  // goes after what was made in it.
  std::vector<std::string> names(new_names_.begin(), new_names_.end());
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
  for (const std::string& name : names) {
    if (base_->Remove(name) == 0 || base_->RemoveFolder(name) == 0) ++lost;
  }
  new_names_.clear();
  return lost;
}

}  // namespace tarnwick::testing
