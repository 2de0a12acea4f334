// Copies of the memo store kept beside it, in the folder `backups` of the
// data folder: when they are named, how many are kept, and how one is put
// back. Everything goes through the engine's file layer, so faults can be
// injected and the same code serves the program, its tools and Windows.
//
// Promises:
// - A backup is listed only when it is complete: both files are copied byte
//   for byte into a folder under a temporary name, flushed, and the folder
//   is then renamed. A copy of an enciphered store stays enciphered and
//   opens with the password the store had when it was taken.
// - Each backup is a subfolder named by when it was taken, why, how many
//   records it holds, and its place in the order of taking:
//   20110517-100000-daily-12.5 (the first ever has no ".n"). The order, not
//   the clock, says which is newer: a clock set wrong cannot push out the
//   real backups.
// - Once a new backup is complete, the newest 7 daily ones and the newest 10
//   taken before a change are kept and older ones removed, counting only
//   backups not marked damaged (the damaged ones go once as many backups of
//   their kind are newer). Never removed: the new one, the newest sound one
//   of each reason, and one the caller is restoring. Leftovers of an
//   interrupted backup go before a new one is written.
// - Restoring checks first and changes nothing when refused; it then backs
//   the store up as it is and puts the backup in place as one change.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "engine/file_system.h"

namespace tarnwick {

enum class BackupReason { kDaily, kClearAll, kPassword, kRestore };

inline constexpr int kDailyBackupsKept = 7;
inline constexpr int kChangeBackupsKept = 10;

// The word a reason has in backup names ("daily", "clear", "password",
// "restore").
const char* BackupReasonName(BackupReason reason);

struct BackupInfo {
  std::string name;  // the subfolder's name
  CivilDateTime taken;
  BackupReason reason = BackupReason::kDaily;
  int records = -1;  // -1: not known
  int sequence = 1;  // n of its ".n": the order of taking, 1 for none
};

// What the structure check finds in a backup.
struct BackupCheck {
  enum class Verdict {
    kSound,
    kDamaged,        // findings: the check's count
    kWrongPassword,  // enciphered, and the password given is not its own
    kUnreadable,     // a file of it cannot be opened or read (status says why)
  };
  Verdict verdict = Verdict::kUnreadable;
  std::size_t findings = 0;
  // Of the findings, those of space an interrupted write left unused (lost
  // blocks, blocks past the count): no memo is lost with them.
  std::size_t leftover_findings = 0;
  int64_t records = 0;
  FileStatus status = 0;
  bool sound() const { return verdict == Verdict::kSound; }
};

// A backup's name, and the name read back; false for a name of no backup.
std::string BackupName(const CivilDateTime& taken, BackupReason reason, int records);
bool ParseBackupName(const std::string& name, BackupInfo* info);

class StoreBackups;

// One backup being written, a piece at a time, so that a large store can be
// copied in slices between the program's events. The source files must not
// change, nor their handles close, until it is done; a writer let go of
// before then removes what it wrote, as a kill would leave it for the next
// backup to remove.
class BackupWriter {
 public:
  ~BackupWriter();
  BackupWriter(const BackupWriter&) = delete;
  BackupWriter& operator=(const BackupWriter&) = delete;

  // Copies up to `bytes` more and flushes them; once everything is copied,
  // names the backup and applies the retention rule. True when done.
  bool Step(std::size_t bytes);
  // Steps to the end.
  void Finish();
  bool done() const { return done_; }
  // 0 or the failing file-layer code, once done.
  FileStatus status() const { return status_; }
  const std::string& name() const { return final_name_; }

 private:
  friend class StoreBackups;
  struct Source {
    File* file;
    std::string target;
  };
  BackupWriter(StoreBackups& backups, std::vector<Source> sources, std::string final_name, std::string partial);
  FileStatus CopyPiece(std::size_t bytes, std::size_t* copied);
  void End(FileStatus status);

  StoreBackups& backups_;
  std::vector<Source> sources_;
  std::string final_name_;
  std::string partial_;
  std::size_t source_ = 0;  // the file being copied
  uint64_t offset_ = 0;
  uint64_t length_ = 0;
  std::unique_ptr<File> out_;
  std::vector<char> buffer_;
  bool done_ = false;
  FileStatus status_ = 0;
};

class StoreBackups {
 public:
  // The store is memo.edb and memo.EDT in data_folder (GBK, absolute,
  // without a trailing separator). file_system must outlive this object.
  StoreBackups(FileSystem& file_system, std::string data_folder);

  const std::string& folder() const { return backups_folder_; }
  // A file of a backup: folder / name / file_name.
  std::string PathIn(const std::string& name, const std::string& file_name) const;

  // The complete backups, oldest first (in the order they were taken); empty
  // when there are none.
  std::vector<BackupInfo> List();
  // Runs the structure check over a backup's files, deciphered with password
  // (GBK; empty for a plain backup).
  BackupCheck Check(const std::string& name, const std::string& password);
  // The newest backup that the check finds sound, with password deciphering
  // the enciphered ones (one the password does not open is passed over), and
  // leaving out those marked damaged; none when there is none.
  std::optional<BackupInfo> NewestSoundBackup(const std::string& password);
  // Marks a backup as a copy of a damaged store (the check's findings count),
  // for whoever checked the store it was taken of: the mark is shown beside
  // it and keeps it from counting as a sound copy. 0 or the file-layer code.
  FileStatus MarkDamaged(const std::string& name, std::size_t findings);
  // The findings count a backup was marked with; none for an unmarked one.
  std::optional<std::size_t> DamageMark(const std::string& name);
  // A password change of the store takes every backup along, so that none
  // is less protected than the store or opens with a password it no longer
  // has. BeginKeyChange, before the store is re-keyed, notes every backup as
  // pending; FinishKeyChange then re-keys every backup that opens with
  // old_password (or is plain) to new_password (GBK; empty: plain) and
  // removes the others, naming them in *removed; AbandonKeyChange, when the store kept its key,
  // drops the note. A change cut short leaves the note, and SettleKeyChange
  // (at the next open, given the store's main file as it lies) removes the
  // pending backups whose key differs from the store's: they would hold its
  // memos in plain beside it, or under a password it no longer has.
  FileStatus BeginKeyChange(File& store_main);
  void FinishKeyChange(const std::string& old_password, const std::string& new_password,
                       std::vector<std::string>* removed);
  void AbandonKeyChange();
  void SettleKeyChange(File& store_main, std::vector<std::string>* removed);

  // Held by a running program from its first open of the store to its end,
  // locked or not, so that a restore can tell it runs even while the store
  // is closed. 0 or the file-layer code; *held keeps it.
  FileStatus HoldRunningMark(std::unique_ptr<File>* held);

  // The command that puts a backup back (GBK), for messages:
  // edbtool restore <data folder> <name>, the folder quoted when it holds a blank.
  std::string RestoreCommand(const std::string& name) const;
  // Whether a daily backup was taken on that date.
  bool HasDailyBackupOn(int year, int month, int day);

  // Copies the store's files into a new backup: main (memo.edb) and memo
  // (memo.EDT), each when not null, read as they lie through handles the
  // caller holds under the whole-file lock. records names the count (-1:
  // not known). Then applies the retention rule. Returns 0 or the failing
  // file-layer code; nothing half-written is left listed.
  FileStatus Take(File* main, File* memo, BackupReason reason, int records, const CivilDateTime& now,
                  std::string* name = nullptr);
  // The same backup, to be written by the caller's steps; nullptr when its
  // folder cannot be made (*status then says why).
  std::unique_ptr<BackupWriter> Begin(File* main, File* memo, BackupReason reason, int records,
                                      const CivilDateTime& now, FileStatus* status);

  enum class RestoreOutcome {
    kRestored,
    kNoSuchBackup,
    kStoreInUse,        // another process holds the store
    kUnsettledChange,   // a cut-short password change waits to be settled by an open
    kDamagedBackup,     // the structure check finds the backup damaged (findings)
    kWrongPassword,     // the password does not open an enciphered backup, or the store it merges into
    kBackupFailed,      // the store as it was could not be backed up
    kFailed,            // reading or writing failed before the store was touched
    kLeftForNextOpen,   // cut short while the store was replaced: the next open finishes it
  };
  struct RestoreResult {
    RestoreOutcome outcome = RestoreOutcome::kFailed;
    std::string backup_of_current;  // the backup taken of the store as it was
    int filled = 0;                 // keep_newer: memos of dates only the backup held
    std::vector<DateTime> differing;  // keep_newer: dates both held with different texts
    std::size_t findings = 0;       // kDamagedBackup: the check's count
    FileStatus status = 0;          // the file-layer code of a failure
  };
  // Puts backup `name` in place of the store, as one change that the next
  // open finishes if it is cut short. Refused (nothing changed, no backup
  // taken) when the backup is not there or not sound, the password does not
  // open what it must, or another process holds the store; only then is the
  // store as it was backed up. A memo file found without its main file is
  // backed up too. With keep_newer every memo of the store stays as it is
  // and the backup fills only the dates the store lacks; the result keeps
  // the store's password. password (GBK) opens whichever is enciphered.
  RestoreResult Restore(const std::string& name, bool keep_newer, const std::string& password,
                        const CivilDateTime& now);

 private:
  friend class BackupWriter;
  FileStatus RemoveBackup(const std::string& name);
  void ApplyRetention(const std::string& keep);
  RestoreOutcome MergeKeepingNewer(const std::string& staged_main, const std::string& backup_main,
                                   const std::string& password, RestoreResult* result);
  void RemoveLeftovers();
  std::string UniqueName(const std::string& name);
  std::vector<std::string> PendingKeyChange();
  FileStatus WritePendingKeyChange(const std::vector<std::string>& names);

  FileSystem& files_;
  std::string data_folder_;
  std::string backups_folder_;
  std::string restoring_;  // the backup a restore under way puts back
};

}  // namespace tarnwick
