// A file layer that wraps another and fails a chosen operation: the n-th
// read, write, lock, flush, truncate or file removal from the moment it is
// armed. Tests use it to check that the engine reports the failure and loses
// nothing else. It can also stand for a process killed at that moment: from
// the chosen operation on, every operation fails, so nothing more reaches the
// files; or, with power loss on, for the machine losing power then: what was
// written since a file's last flush may not have reached its disk.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/file_system.h"

namespace tarnwick::testing {

class FaultFileSystem final : public FileSystem {
 public:
  enum class Operation { kRead, kWrite, kLock, kFlush, kTruncate, kRemove, kCount };

  explicit FaultFileSystem(FileSystem* base = DefaultFileSystem()) : base_(base) {}

  // Arms one failure: the n-th (1-based) operation of that kind from now on
  // fails with status. A failing write first writes half of its bytes when
  // torn is set, as a full disk or a crash may leave it.
  void FailNth(Operation operation, int n, FileStatus status = -11, bool torn = false);
  // As FailNth, and every operation after it fails too (reads, opens and
  // file removals included) until Disarm: the files stay as a kill at that
  // moment leaves them.
  void DieAtNth(Operation operation, int n, bool torn = false);
  // A full disk: while set, a write that reaches past the end of its file
  // writes what lies before the end and fails with the disk-full status;
  // writes inside a file go through. Clearing it frees the space.
  void SetDiskFull(bool full) { disk_full_ = full; }
  bool disk_full() const { return disk_full_; }
  // A folder that may not be written (a read-only mount): while set, opening
  // a file for writing, making, renaming or removing anything fails with the
  // access-denied status.
  void SetReadOnly(bool read_only) { read_only_ = read_only; }
  // Whether a DieAtNth has happened.
  bool dead() const { return dead_; }
  void Disarm() {
    armed_ = false;
    dying_ = false;
    dead_ = false;
  }
  // Whether the armed failure has happened.
  bool fired() const { return fired_; }
  // Operations of a kind seen since the last FailNth or ResetCounts.
  int count(Operation operation) const { return counts_[static_cast<int>(operation)]; }
  void ResetCounts();

  // Called by the wrapped files: the status the operation must fail with, or 0.
  FileStatus Check(Operation operation, bool* torn);

  // The writes, flushes, truncations and removals that went through, in order,
  // when a log is set (tests check the order in which changes reach a disk,
  // and what the bytes written hold).
  struct Change {
    Operation operation;
    std::string path;
    uint64_t offset = 0;  // a write's offset, a truncation's length
    std::string data;     // a write's bytes
  };
  void SetLog(std::vector<Change>* log) { log_ = log; }
  void Logged(Change change) {
    if (log_ != nullptr) log_->push_back(std::move(change));
  }

  // Power loss. While on, the layer remembers what each file held at its last
  // flush and the writes and truncations since. CutPower (called once the
  // files are closed, typically after a DieAtNth) then puts each file back as
  // a disk may hold it after losing power at that moment: every change since
  // the flush undone, and of each, as the random generator seeded with seed
  // decides, nothing, all of it, or a prefix of whole 512-byte sectors landing
  // again, in any order. seed 0 drops every unflushed change. Creating and
  // removing files count as done at once (a journaling file system's
  // metadata). Returns the number of changes that did not land whole.
  void SetPowerLoss(bool on, uint32_t seed = 0);
  // With power loss on, names too: a file or folder created since its folder
  // was last flushed (FlushFolder, or a rename into it) is gone after
  // CutPower, as on a POSIX file system without a journal of its names.
  void SetLoseUnflushedNames(bool on) { lose_names_ = on; }
  int CutPower();
  // Called by the wrapped files.
  void BeforeChange(const std::string& path, File& file);
  void Changed(const std::string& path, Operation operation, uint64_t offset, const void* data, size_t count);
  void Flushed(const std::string& path);

  FileStatus Open(const std::string& path, const FileOpenMode& mode, std::unique_ptr<File>* file) override;
  bool Exists(const std::string& path) override { return base_->Exists(path); }
  FileStatus IdentityAt(const std::string& path, FileIdentity* identity) override {
    return base_->IdentityAt(path, identity);
  }
  FileStatus Remove(const std::string& path) override;
  // Making a folder and renaming count as writes, listing as a read,
  // removing a folder as a removal.
  FileStatus CreateFolder(const std::string& path) override;
  FileStatus ListFolder(const std::string& path, std::vector<std::string>* names) override;
  FileStatus RemoveFolder(const std::string& path) override;
  // One removal, as the folder goes with its files in one call.
  FileStatus RemoveFolderWithFiles(const std::string& folder, const std::vector<std::string>& file_names) override;
  // Flushing a folder counts as a flush.
  FileStatus FlushFolder(const std::string& path) override;
  FileStatus Rename(const std::string& from, const std::string& to) override;
  FileStatus Identify(const std::string& path, FileIdentity* identity) override {
    return base_->Identify(path, identity);
  }
  std::string AbsolutePath(const std::string& path) override { return base_->AbsolutePath(path); }
  std::string MatchNameIgnoringCase(const std::string& path) override { return base_->MatchNameIgnoringCase(path); }
  uint32_t TickCount() override { return base_->TickCount(); }
  void SleepMilliseconds(int milliseconds) override { base_->SleepMilliseconds(milliseconds); }
  // The wrapped layer's date, unless a test set one.
  CivilDateTime LocalDateTime() override { return local_date_time_ ? *local_date_time_ : base_->LocalDateTime(); }
  void SetLocalDateTime(const CivilDateTime& value) { local_date_time_ = value; }

 private:
  FileSystem* base_;
  bool armed_ = false;
  bool fired_ = false;
  bool torn_ = false;
  bool dying_ = false;  // armed by DieAtNth
  bool dead_ = false;
  bool disk_full_ = false;
  bool read_only_ = false;
  Operation operation_ = Operation::kWrite;
  int remaining_ = 0;
  FileStatus status_ = 0;
  std::optional<CivilDateTime> local_date_time_;
  std::vector<Change>* log_ = nullptr;
  // Power loss: per path, the bytes at the last flush and the changes since.
  struct Unflushed {
    std::string flushed;
    std::vector<Change> changes;
  };
  bool power_loss_ = false;
  uint32_t power_loss_seed_ = 0;
  std::map<std::string, Unflushed> unflushed_;
  // Names created since their folder was last flushed, when names can be lost.
  bool lose_names_ = false;
  std::set<std::string> new_names_;
  void NameCreated(const std::string& path, bool existed);
  void FolderFlushed(const std::string& folder);
  void NameRemoved(const std::string& path);
  int counts_[static_cast<int>(Operation::kCount)] = {};
};

}  // namespace tarnwick::testing
