#include "testing/fault_file_system.h"

namespace tarnwick::testing {

namespace {

class FaultFile final : public File {
 public:
  FaultFile(std::unique_ptr<File> base, FaultFileSystem* faults, std::string path)
      : base_(std::move(base)), faults_(faults), path_(std::move(path)) {}

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
      if (torn && count > 1) base_->WriteAt(offset, data, count / 2);
      return status;
    }
    return Logged(FaultFileSystem::Operation::kWrite, base_->WriteAt(offset, data, count));
  }
  FileStatus Length(uint64_t* length) override {
    if (faults_->dead()) return -11;
    return base_->Length(length);
  }
  FileStatus Truncate(uint64_t length) override {
    bool torn = false;
    if (FileStatus status = faults_->Check(FaultFileSystem::Operation::kTruncate, &torn); status != 0) return status;
    return Logged(FaultFileSystem::Operation::kTruncate, base_->Truncate(length));
  }
  FileStatus Flush() override {
    bool torn = false;
    if (FileStatus status = faults_->Check(FaultFileSystem::Operation::kFlush, &torn); status != 0) return status;
    return Logged(FaultFileSystem::Operation::kFlush, base_->Flush());
  }
  FileStatus Lock(uint64_t offset, uint64_t length) override {
    bool torn = false;
    if (FileStatus status = faults_->Check(FaultFileSystem::Operation::kLock, &torn); status != 0) return status;
    return base_->Lock(offset, length);
  }
  // Locks go with the process, so a dead one's are released as usual.
  FileStatus Unlock(uint64_t offset, uint64_t length) override { return base_->Unlock(offset, length); }

 private:
  FileStatus Logged(FaultFileSystem::Operation operation, FileStatus status) {
    if (status == 0) faults_->Logged(operation, path_);
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

FileStatus FaultFileSystem::Remove(const std::string& path) {
  bool torn = false;
  if (FileStatus status = Check(Operation::kRemove, &torn); status != 0) return status;
  FileStatus status = base_->Remove(path);
  if (status == 0) Logged(Operation::kRemove, path);
  return status;
}

FileStatus FaultFileSystem::Open(const std::string& path, const FileOpenMode& mode, std::unique_ptr<File>* file) {
  if (dead_) return status_;
  std::unique_ptr<File> base_file;
  FileStatus status = base_->Open(path, mode, &base_file);
  if (status != 0) return status;
  *file = std::make_unique<FaultFile>(std::move(base_file), this, path);
  return 0;
}

}  // namespace tarnwick::testing
