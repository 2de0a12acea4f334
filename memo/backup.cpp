#include "memo/backup.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <tuple>

#include "engine/database.h"
#include "engine/database_format.h"
#include "engine/file_system.h"
#include "engine/rekey_record.h"
#include "tools/edbtool/engine_files.h"

namespace tarnwick {
namespace {

constexpr char kMainFile[] = "memo.edb";
constexpr char kMemoFile[] = "memo.EDT";
// A backup being written, and a restore being put together.
constexpr std::string_view kPartial = ".partial";
constexpr char kRestoring[] = "restoring.partial";
// Beside a backup's files: the findings count of the store it was taken of.
constexpr char kDamageMark[] = "damaged";
// In the backups folder while a password change takes the backups along:
// the names of those not yet under the new key, one a line.
constexpr char kKeyChangeNote[] = "password-change";
// Locked by a running program for as long as it runs.
constexpr char kRunningMark[] = "running";
// What a re-key of a backup's files may leave beside them.
constexpr char kRekeyRecord[] = "memo.edb-rekey";
constexpr char kRekeyMain[] = "memo.edb-rekey-main";
constexpr char kRekeyMemo[] = "memo.edb-rekey-memo";

constexpr BackupReason kReasons[] = {BackupReason::kDaily, BackupReason::kClearAll, BackupReason::kPassword,
                                     BackupReason::kRestore};

bool EndsWith(const std::string& text, std::string_view end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

bool AllDigits(const std::string& text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

// Copies a whole file into a new one at target, then flushes it.
FileStatus CopyFile(FileSystem& files, File& source, const std::string& target) {
  std::unique_ptr<File> out;
  FileOpenMode mode;
  mode.access = FileAccess::kReadWrite;
  mode.create = true;
  if (FileStatus status = files.Open(target, mode, &out); status != 0) return status;
  uint64_t length = 0;
  if (FileStatus status = source.Length(&length); status != 0) return status;
  std::vector<char> buffer(size_t{1} << 16);
  for (uint64_t offset = 0; offset < length;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), length - offset));
    size_t got = 0;
    if (FileStatus status = source.ReadAt(offset, buffer.data(), want, &got); status != 0) return status;
    if (got == 0) return error::kEndOfFile;  // the file shrank under the lock: no complete copy
    if (FileStatus status = out->WriteAt(offset, buffer.data(), got); status != 0) return status;
    offset += got;
  }
  return out->Flush();
}

FileStatus CopyPath(FileSystem& files, const std::string& source_path, const std::string& target) {
  std::unique_ptr<File> source;
  if (FileStatus status = files.Open(source_path, FileOpenMode{}, &source); status != 0) return status;
  return CopyFile(files, *source, target);
}

// Removes a backup's or a restore's folder: only the store's own file names,
// never through a link (a folder copied from elsewhere may hold any).
FileStatus RemoveFolderOfFiles(FileSystem& files, const std::string& folder) {
  return files.RemoveFolderWithFiles(folder, {kMainFile, kMemoFile, kDamageMark, kRekeyRecord, kRekeyMain, kRekeyMemo});
}

// The header bytes that tell a file's key: the magic and the enciphered
// check block. The keystream depends on the password and the position alone,
// so two main files under one password hold the same bytes there.
FileStatus KeyedHeader(File& main, std::string* bytes) {
  bytes->assign(kCheckBlockOffset + kCheckBlockSize, '\0');
  size_t got = 0;
  if (FileStatus status = main.ReadAt(0, bytes->data(), bytes->size(), &got); status != 0) return status;
  if (got < bytes->size()) return error::kNotDatabaseFile;
  bytes->erase(4, kCheckBlockOffset - 4);
  return 0;
}

// The record count of a plain main file; -1 for an enciphered or unreadable one.
int PlainRecordCount(File& main) {
  uint8_t header[kCountOffset + 4] = {};
  size_t got = 0;
  if (main.ReadAt(0, header, sizeof header, &got) != 0 || got < sizeof header) return -1;
  if (std::string(reinterpret_cast<const char*>(header), 4) != "WEDB") return -1;
  return std::max(GetInt32(header + kCountOffset), 0);
}

// Opens a store read-only (or read-write) with the password when its file
// is enciphered.
bool OpenStore(DatabaseEngine& engine, const std::string& main_path, const std::string& password, bool read_only) {
  OpenOptions options;
  WipeOnExit wipe_password(options.password);  // a copy of the password
  options.read_only = read_only;
  if (engine.IsPasswordProtected(main_path)) {
    if (password.empty()) return false;
    options.password = password;
  }
  return engine.OpenDatabase(main_path, options) && engine.Fields().size() >= 2;
}

}  // namespace

const char* BackupReasonName(BackupReason reason) {
  switch (reason) {
    case BackupReason::kDaily: return "daily";
    case BackupReason::kClearAll: return "clear";
    case BackupReason::kPassword: return "password";
    case BackupReason::kRestore: return "restore";
  }
  return "daily";
}

std::string BackupName(const CivilDateTime& taken, BackupReason reason, int records) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d", taken.year, taken.month, taken.day, taken.hour,
                taken.minute, taken.second);
  std::string name = std::string(stamp) + "-" + BackupReasonName(reason);
  if (records >= 0) name += "-" + std::to_string(records);
  return name;
}

bool ParseBackupName(const std::string& name, BackupInfo* info) {
  std::string base = name;
  int sequence = 1;
  if (const size_t dot = base.find('.'); dot != std::string::npos) {
    const std::string suffix = base.substr(dot + 1);
    if (!AllDigits(suffix) || suffix.size() > 9) return false;  // ".partial" and any stranger
    sequence = std::stoi(suffix);
    base.resize(dot);
  }
  std::vector<std::string> parts;
  for (size_t start = 0;;) {
    const size_t dash = base.find('-', start);
    parts.push_back(base.substr(start, dash == std::string::npos ? std::string::npos : dash - start));
    if (dash == std::string::npos) break;
    start = dash + 1;
  }
  // The date grows a digit past the year 9999.
  if (parts.size() < 3 || parts.size() > 4 || parts[0].size() < 8 || parts[0].size() > 12 || parts[1].size() != 6 ||
      !AllDigits(parts[0]) || !AllDigits(parts[1])) {
    return false;
  }
  const BackupReason* reason = std::find_if(std::begin(kReasons), std::end(kReasons),
                                            [&](BackupReason r) { return parts[2] == BackupReasonName(r); });
  if (reason == std::end(kReasons)) return false;
  if (parts.size() == 4 && (!AllDigits(parts[3]) || parts[3].size() > 9)) return false;
  const long long date = std::stoll(parts[0]);
  const int time = std::stoi(parts[1]);
  info->name = name;
  info->taken = CivilDateTime{static_cast<int>(date / 10000), static_cast<int>(date / 100 % 100),
                              static_cast<int>(date % 100), time / 10000, time / 100 % 100, time % 100};
  info->reason = *reason;
  info->records = parts.size() == 4 ? std::stoi(parts[3]) : -1;
  info->sequence = sequence;
  return true;
}

StoreBackups::StoreBackups(FileSystem& file_system, std::string data_folder)
    : files_(file_system), data_folder_(std::move(data_folder)), backups_folder_(data_folder_ + kPathSeparator + "backups") {}

std::string StoreBackups::PathIn(const std::string& name, const std::string& file_name) const {
  return backups_folder_ + kPathSeparator + name + kPathSeparator + file_name;
}

std::vector<BackupInfo> StoreBackups::List() {
  std::vector<std::string> names;
  std::vector<BackupInfo> backups;
  if (files_.ListFolder(backups_folder_, &names) != 0) return backups;
  for (const std::string& name : names) {
    BackupInfo info;
    if (ParseBackupName(name, &info)) backups.push_back(info);
  }
  // Backups named before the order was kept in the names all have 1; their
  // clock orders them.
  const auto key = [](const BackupInfo& b) {
    const CivilDateTime& t = b.taken;
    return std::make_tuple(b.sequence, t.year, t.month, t.day, t.hour, t.minute, t.second, b.name);
  };
  std::sort(backups.begin(), backups.end(), [&](const BackupInfo& a, const BackupInfo& b) { return key(a) < key(b); });
  return backups;
}

bool StoreBackups::HasDailyBackupOn(int year, int month, int day) {
  for (const BackupInfo& backup : List()) {
    if (backup.reason == BackupReason::kDaily && backup.taken.year == year && backup.taken.month == month &&
        backup.taken.day == day) {
      return true;
    }
  }
  return false;
}

// The next in the order of taking.
std::string StoreBackups::UniqueName(const std::string& name) {
  int last = 0;
  for (const BackupInfo& backup : List()) last = std::max(last, backup.sequence);
  return last == 0 ? name : name + "." + std::to_string(last + 1);
}

FileStatus StoreBackups::Take(File* main, File* memo, BackupReason reason, int records, const CivilDateTime& now,
                              std::string* name) {
  FileStatus status = 0;
  std::unique_ptr<BackupWriter> writer = Begin(main, memo, reason, records, now, &status);
  if (writer == nullptr) return status;
  writer->Finish();
  if (writer->status() == 0 && name != nullptr) *name = writer->name();
  return writer->status();
}

std::unique_ptr<BackupWriter> StoreBackups::Begin(File* main, File* memo, BackupReason reason, int records,
                                                  const CivilDateTime& now, FileStatus* status) {
  if ((*status = files_.CreateFolder(backups_folder_)) != 0) return nullptr;
  RemoveLeftovers();
  // Backups that a stop before their removal left over the numbers kept go
  // now, so there is never more than one too many.
  ApplyRetention({});
  std::string final_name = UniqueName(BackupName(now, reason, records));
  std::string partial = backups_folder_ + kPathSeparator + final_name + std::string(kPartial);
  if ((*status = files_.CreateFolder(partial)) != 0) return nullptr;
  std::vector<BackupWriter::Source> sources;
  if (main != nullptr) sources.push_back({main, partial + kPathSeparator + kMainFile});
  if (memo != nullptr) sources.push_back({memo, partial + kPathSeparator + kMemoFile});
  return std::unique_ptr<BackupWriter>(
      new BackupWriter(*this, std::move(sources), std::move(final_name), std::move(partial)));
}

BackupWriter::BackupWriter(StoreBackups& backups, std::vector<Source> sources, std::string final_name,
                           std::string partial)
    : backups_(backups),
      sources_(std::move(sources)),
      final_name_(std::move(final_name)),
      partial_(std::move(partial)),
      buffer_(std::size_t{1} << 16) {}

BackupWriter::~BackupWriter() {
  if (!done_) End(error::kUnknown);
}

// Each file is opened when its copy begins and flushed as its pieces go,
// so no one step waits for the whole store to reach the disk.
FileStatus BackupWriter::CopyPiece(std::size_t bytes, std::size_t* copied) {
  Source& source = sources_[source_];
  if (out_ == nullptr) {
    FileOpenMode mode;
    mode.access = FileAccess::kReadWrite;
    mode.create = true;
    if (FileStatus status = backups_.files_.Open(source.target, mode, &out_); status != 0) return status;
    if (FileStatus status = source.file->Length(&length_); status != 0) return status;
    offset_ = 0;
  }
  while (offset_ < length_ && *copied < bytes) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(buffer_.size(), length_ - offset_));
    size_t got = 0;
    if (FileStatus status = source.file->ReadAt(offset_, buffer_.data(), want, &got); status != 0) return status;
    if (got == 0) return error::kEndOfFile;  // the file shrank under the lock: no complete copy
    if (FileStatus status = out_->WriteAt(offset_, buffer_.data(), got); status != 0) return status;
    offset_ += got;
    *copied += got;
  }
  if (FileStatus status = out_->Flush(); status != 0) return status;
  if (offset_ == length_) {
    out_.reset();
    ++source_;
  }
  return 0;
}

bool BackupWriter::Step(std::size_t bytes) {
  std::size_t copied = 0;
  while (!done_ && source_ < sources_.size() && copied < bytes) {
    if (FileStatus status = CopyPiece(bytes, &copied); status != 0) End(status);
  }
  if (!done_ && source_ == sources_.size()) {
    // The files' names reach the disk before the backup is listed by its name.
    FileStatus status = backups_.files_.FlushFolder(partial_);
    if (status == 0) status = backups_.files_.Rename(partial_, backups_.backups_folder_ + kPathSeparator + final_name_);
    End(status);
  }
  return done_;
}

void BackupWriter::Finish() {
  while (!Step(std::numeric_limits<std::size_t>::max())) {
  }
}

void BackupWriter::End(FileStatus status) {
  done_ = true;
  status_ = status;
  out_.reset();
  if (status != 0) {
    // A full disk wants its space back; what cannot be removed now goes
    // with the next backup.
    RemoveFolderOfFiles(backups_.files_, partial_);
    return;
  }
  backups_.ApplyRetention(final_name_);
}

// Renamed first, so a removal cut short leaves a leftover, never a backup
// that is listed with a file missing.
FileStatus StoreBackups::RemoveBackup(const std::string& name) {
  const std::string doomed = backups_folder_ + kPathSeparator + name + std::string(kPartial);
  if (FileStatus status = files_.Rename(backups_folder_ + kPathSeparator + name, doomed); status != 0) return status;
  return RemoveFolderOfFiles(files_, doomed);
}

void StoreBackups::ApplyRetention(const std::string& keep) {
  const std::vector<BackupInfo> backups = List();
  std::set<std::string> kept{keep, restoring_};
  std::set<BackupReason> reasons_seen;
  struct Counts {
    int all = 0;
    int sound = 0;
  } daily, change;
  for (auto it = backups.rbegin(); it != backups.rend(); ++it) {
    const bool damaged = DamageMark(it->name).has_value();
    if (!damaged && reasons_seen.insert(it->reason).second) kept.insert(it->name);
    const bool is_daily = it->reason == BackupReason::kDaily;
    Counts& newer = is_daily ? daily : change;
    const int limit = is_daily ? kDailyBackupsKept : kChangeBackupsKept;
    // A damaged copy never stands in for a sound one; it goes once as many
    // of any kind are newer.
    if ((damaged ? newer.all : newer.sound) >= limit && kept.count(it->name) == 0) RemoveBackup(it->name);
    ++newer.all;
    if (!damaged) ++newer.sound;
  }
}

// Whoever takes a backup holds the store's lock, so a temporary folder found
// then was left by a backup or restore that was cut short.
void StoreBackups::RemoveLeftovers() {
  std::vector<std::string> names;
  if (files_.ListFolder(backups_folder_, &names) != 0) return;
  for (const std::string& name : names) {
    // The staging of the restore under way is the restore's own.
    if (!EndsWith(name, kPartial) || (!restoring_.empty() && name == kRestoring)) continue;
    RemoveFolderOfFiles(files_, backups_folder_ + kPathSeparator + name);
  }
}

BackupCheck StoreBackups::Check(const std::string& name, const std::string& password) {
  BackupCheck result;
  edbtool::CheckOptions options;
  options.max_findings = 0;
  edbtool::CheckReport report;
  result.status = edbtool::CheckStoreFiles(files_, PathIn(name, kMainFile), PathIn(name, kMemoFile), password,
                                           options, &report);
  if (result.status == error::kWrongPassword) {
    result.verdict = BackupCheck::Verdict::kWrongPassword;
  } else if (result.status != 0) {
    result.verdict = BackupCheck::Verdict::kUnreadable;
  } else {
    result.verdict = report.sound() ? BackupCheck::Verdict::kSound : BackupCheck::Verdict::kDamaged;
    result.findings = report.finding_count;
    result.leftover_findings = (report.lost_blocks > 0) + (report.blocks_beyond_count > 0);
    result.records = report.records;
  }
  return result;
}

std::optional<BackupInfo> StoreBackups::NewestSoundBackup(const std::string& password) {
  const std::vector<BackupInfo> backups = List();
  for (auto it = backups.rbegin(); it != backups.rend(); ++it) {
    if (!DamageMark(it->name) && Check(it->name, password).sound()) return *it;
  }
  return std::nullopt;
}

FileStatus StoreBackups::MarkDamaged(const std::string& name, std::size_t findings) {
  std::unique_ptr<File> mark;
  FileOpenMode mode;
  mode.access = FileAccess::kReadWrite;
  mode.create = true;
  if (FileStatus status = files_.Open(PathIn(name, kDamageMark), mode, &mark); status != 0) return status;
  const std::string count = std::to_string(findings) + "\n";
  if (FileStatus status = mark->WriteAt(0, count.data(), count.size()); status != 0) return status;
  return mark->Flush();
}

std::optional<std::size_t> StoreBackups::DamageMark(const std::string& name) {
  std::unique_ptr<File> mark;
  if (files_.Open(PathIn(name, kDamageMark), FileOpenMode{}, &mark) != 0) return std::nullopt;
  char text[24] = {};
  size_t got = 0;
  mark->ReadAt(0, text, sizeof text - 1, &got);
  // A mark whose count cannot be read still marks.
  return static_cast<std::size_t>(std::strtoull(text, nullptr, 10));
}

std::vector<std::string> StoreBackups::PendingKeyChange() {
  std::vector<std::string> names;
  std::unique_ptr<File> note;
  if (files_.Open(backups_folder_ + kPathSeparator + kKeyChangeNote, FileOpenMode{}, &note) != 0) return names;
  uint64_t length = 0;
  if (note->Length(&length) != 0) return names;
  std::string text(static_cast<size_t>(std::min<uint64_t>(length, 1 << 20)), '\0');
  size_t got = 0;
  if (note->ReadAt(0, text.data(), text.size(), &got) != 0) return names;
  text.resize(got);
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    if (end > start) names.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return names;
}

FileStatus StoreBackups::WritePendingKeyChange(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += name + "\n";
  std::unique_ptr<File> note;
  FileOpenMode mode;
  mode.access = FileAccess::kReadWrite;
  mode.create = true;
  if (FileStatus status = files_.Open(backups_folder_ + kPathSeparator + kKeyChangeNote, mode, &note); status != 0) {
    return status;
  }
  if (FileStatus status = note->WriteAt(0, text.data(), text.size()); status != 0) return status;
  if (FileStatus status = note->Truncate(text.size()); status != 0) return status;
  return note->Flush();
}

FileStatus StoreBackups::BeginKeyChange(File& store_main) {
  // One cut short before is settled first: its leftovers are not this one's.
  std::vector<std::string> removed;
  SettleKeyChange(store_main, &removed);
  std::vector<std::string> names;
  for (const BackupInfo& backup : List()) names.push_back(backup.name);
  if (names.empty()) return 0;
  return WritePendingKeyChange(names);
}

void StoreBackups::FinishKeyChange(const std::string& old_password, const std::string& new_password,
                                   std::vector<std::string>* removed) {
  std::vector<std::string> pending;
  for (const BackupInfo& backup : List()) pending.push_back(backup.name);
  bool noted = true;
  while (!pending.empty()) {
    const std::string name = pending.front();
    DatabaseEngine engine(&files_);
    // A plain one opens whatever the store had, and is taken along too:
    // nothing of the store's may stay in plain beside it.
    const bool converted =
        OpenStore(engine, PathIn(name, kMainFile), old_password, false) && engine.SetPassword(new_password);
    engine.CloseDatabase();
    if (!converted && RemoveBackup(name) == 0) removed->push_back(name);
    pending.erase(pending.begin());
    // Should the note not follow, it names converted ones too: settled, they
    // go as well, which loses no memo the store holds.
    if (noted) noted = WritePendingKeyChange(pending) == 0;
  }
  files_.Remove(backups_folder_ + kPathSeparator + kKeyChangeNote);
}

void StoreBackups::AbandonKeyChange() {
  if (files_.Exists(backups_folder_ + kPathSeparator + kKeyChangeNote)) {
    files_.Remove(backups_folder_ + kPathSeparator + kKeyChangeNote);
  }
}

void StoreBackups::SettleKeyChange(File& store_main, std::vector<std::string>* removed) {
  const std::string note = backups_folder_ + kPathSeparator + kKeyChangeNote;
  if (!files_.Exists(note)) return;
  std::string store_key;
  if (KeyedHeader(store_main, &store_key) != 0) return;  // settled at an open that can read the store
  const std::vector<BackupInfo> backups = List();
  for (const std::string& name : PendingKeyChange()) {
    // Only a backup listed here: the note is no way to name anything else.
    if (std::none_of(backups.begin(), backups.end(), [&](const BackupInfo& b) { return b.name == name; })) continue;
    std::unique_ptr<File> main;
    std::string key;
    if (files_.Open(PathIn(name, kMainFile), FileOpenMode{}, &main) == 0 && KeyedHeader(*main, &key) == 0 &&
        key == store_key) {
      continue;
    }
    main.reset();
    if (RemoveBackup(name) == 0) removed->push_back(name);
  }
  files_.Remove(note);
}

FileStatus StoreBackups::HoldRunningMark(std::unique_ptr<File>* held) {
  if (FileStatus status = files_.CreateFolder(backups_folder_); status != 0) return status;
  FileOpenMode mode;
  mode.access = FileAccess::kReadWrite;
  mode.create = true;
  std::unique_ptr<File> mark;
  if (FileStatus status = files_.Open(backups_folder_ + kPathSeparator + kRunningMark, mode, &mark); status != 0) {
    return status;
  }
  if (FileStatus status = mark->Lock(0, 1); status != 0) return status;
  *held = std::move(mark);
  return 0;
}

std::string StoreBackups::RestoreCommand(const std::string& name) const {
  const std::string folder =
      data_folder_.find(' ') == std::string::npos ? data_folder_ : "\"" + data_folder_ + "\"";
  return "edbtool restore " + folder + " " + name;
}

// The store as it is, and the backup, fill the staged copy: every memo of
// the store stays as it is; the backup adds the dates the store lacks.
StoreBackups::RestoreOutcome StoreBackups::MergeKeepingNewer(const std::string& staged_main,
                                                              const std::string& backup_main,
                                                              const std::string& password, RestoreResult* result) {
  DatabaseEngine from(&files_);
  DatabaseEngine to(&files_);
  if (!OpenStore(from, backup_main, password, true) || !OpenStore(to, staged_main, password, false)) {
    result->status = LastErrorCode();
    return RestoreOutcome::kWrongPassword;
  }
  std::map<DateTime, std::string> held;
  const int count = to.RecordCount();
  to.GoFirst();
  for (int i = 0; i < count; ++i) {
    held.emplace(ClampDateTime(to.ReadField(1).AsDateTime()), to.ReadField(2).AsText());
    if (i + 1 < count && !to.Skip()) return RestoreOutcome::kFailed;
  }
  const int backup_count = from.RecordCount();
  from.GoFirst();
  for (int i = 0; i < backup_count; ++i) {
    const DateTime date = ClampDateTime(from.ReadField(1).AsDateTime());
    const std::string text = from.ReadField(2).AsText();
    if (const auto found = held.find(date); found == held.end()) {
      if (!to.AppendRecord({FieldValue::DateTime(date), FieldValue::Text(text)})) return RestoreOutcome::kFailed;
      held.emplace(date, text);
      ++result->filled;
    } else if (found->second != text) {
      result->differing.push_back(date);
    }
    if (i + 1 < backup_count && !from.Skip()) return RestoreOutcome::kFailed;
  }
  to.CloseDatabase();
  return RestoreOutcome::kRestored;
}

StoreBackups::RestoreResult StoreBackups::Restore(const std::string& name, bool keep_newer,
                                                  const std::string& password, const CivilDateTime& now) {
  RestoreResult result;
  auto refuse = [&](RestoreOutcome outcome, FileStatus status = 0) {
    result.outcome = outcome;
    result.status = status;
    return result;
  };
  // Everything that can refuse is asked before anything is written.
  const std::vector<BackupInfo> backups = List();
  if (std::none_of(backups.begin(), backups.end(), [&](const BackupInfo& b) { return b.name == name; })) {
    return refuse(RestoreOutcome::kNoSuchBackup);
  }
  DatabaseEngine engine(&files_);
  const DatabasePaths store = engine.ResolvePaths(data_folder_ + kPathSeparator + kMainFile);
  if (files_.Exists(RekeyRecordPath(store.main))) return refuse(RestoreOutcome::kUnsettledChange);
  const std::string backup_main = PathIn(name, kMainFile);
  const BackupCheck check = Check(name, engine.IsPasswordProtected(backup_main) ? password : "");
  if (check.verdict == BackupCheck::Verdict::kWrongPassword) return refuse(RestoreOutcome::kWrongPassword);
  if (check.verdict == BackupCheck::Verdict::kUnreadable) return refuse(RestoreOutcome::kFailed, check.status);
  if (check.verdict == BackupCheck::Verdict::kDamaged) {
    result.findings = check.findings;
    return refuse(RestoreOutcome::kDamagedBackup);
  }

  // A running program holds its mark even while it is locked.
  FileOpenMode read_write;
  read_write.access = FileAccess::kReadWrite;
  std::unique_ptr<File> running;
  if (files_.Open(backups_folder_ + kPathSeparator + kRunningMark, read_write, &running) == 0 &&
      running->Lock(0, 1) == error::kLockViolation) {
    return refuse(RestoreOutcome::kStoreInUse, error::kLockViolation);
  }
  running.reset();
  // The store as it is, locked whole, so a program that has it open says so;
  // a memo file without its main file is kept all the same.
  std::unique_ptr<File> main;
  std::unique_ptr<File> memo;
  const std::string memo_path = files_.Exists(store.memo) ? store.memo : MemoPathOf(store.main);
  if (files_.Exists(store.main)) {
    if (FileStatus status = files_.Open(store.main, read_write, &main); status != 0) {
      return refuse(status == error::kSharingViolation ? RestoreOutcome::kStoreInUse : RestoreOutcome::kFailed, status);
    }
    if (FileStatus status = main->Lock(0, kWholeFileLength); status != 0) {
      return refuse(status == error::kLockViolation ? RestoreOutcome::kStoreInUse : RestoreOutcome::kFailed, status);
    }
  }
  if (files_.Exists(memo_path)) {
    if (FileStatus status = files_.Open(memo_path, read_write, &memo); status != 0) {
      return refuse(status == error::kSharingViolation ? RestoreOutcome::kStoreInUse : RestoreOutcome::kFailed, status);
    }
  }

  // What goes in place, put together beside the store: the backup as it is,
  // or with --keep-newer the store as it is with the backup's other dates.
  const std::string staging = backups_folder_ + kPathSeparator + kRestoring;
  if (FileStatus status = files_.CreateFolder(backups_folder_); status != 0) return refuse(RestoreOutcome::kFailed, status);
  if (files_.Exists(staging)) RemoveFolderOfFiles(files_, staging);
  const std::string staged_main = staging + kPathSeparator + kMainFile;
  const std::string staged_memo = staging + kPathSeparator + kMemoFile;
  auto fail = [&](RestoreOutcome outcome, FileStatus status) {
    RemoveFolderOfFiles(files_, staging);
    return refuse(outcome, status);
  };
  const bool merge = keep_newer && main != nullptr;
  FileStatus status = files_.CreateFolder(staging);
  if (status == 0) status = merge ? CopyFile(files_, *main, staged_main) : CopyPath(files_, backup_main, staged_main);
  const bool has_memo = merge ? memo != nullptr : files_.Exists(PathIn(name, kMemoFile));
  if (status == 0 && has_memo) {
    status = merge ? CopyFile(files_, *memo, staged_memo) : CopyPath(files_, PathIn(name, kMemoFile), staged_memo);
  }
  if (status != 0) return fail(RestoreOutcome::kFailed, status);
  if (merge) {
    if (RestoreOutcome outcome = MergeKeepingNewer(staged_main, backup_main, password, &result);
        outcome != RestoreOutcome::kRestored) {
      return fail(outcome, result.status != 0 ? result.status : LastErrorCode());
    }
  }

  // Only now the store as it was is backed up; the retention this runs
  // keeps the backup being restored.
  if (main != nullptr || memo != nullptr) {
    restoring_ = name;
    std::unique_ptr<BackupWriter> writer = Begin(main.get(), memo.get(), BackupReason::kRestore,
                                                 main != nullptr ? PlainRecordCount(*main) : -1, now, &status);
    if (writer != nullptr) {
      writer->Finish();
      status = writer->status();
      if (status == 0) result.backup_of_current = writer->name();
    }
    restoring_.clear();
    if (status != 0) return fail(RestoreOutcome::kBackupFailed, status);
  }

  // No main file: there is no store to mix with. The lone memo file is in
  // the backup just taken; the backup's memo file goes first, so a stop
  // between the two renames leaves a lone memo file again, never a pair.
  if (main == nullptr) {
    memo.reset();
    if (files_.Exists(memo_path) && (status = files_.Remove(memo_path)) != 0) {
      return fail(RestoreOutcome::kFailed, status);
    }
    if (has_memo && (status = files_.Rename(staged_memo, memo_path)) != 0) return fail(RestoreOutcome::kFailed, status);
    if ((status = files_.Rename(staged_main, store.main)) != 0) return fail(RestoreOutcome::kFailed, status);
  } else {
    // Into place as one change: whole copies and a record, finished by the
    // next open if this is cut short, never a main file of one store beside
    // the memo file of another. A store without its memo file gets the
    // backup's whole first: the record only overwrites files of the store.
    if (has_memo && memo == nullptr) {
      if ((status = CopyPath(files_, staged_memo, memo_path)) == 0) status = files_.Open(memo_path, read_write, &memo);
      if (status != 0) return fail(RestoreOutcome::kFailed, status);
    }
    std::unique_ptr<File> staged[2];
    status = files_.Open(staged_main, FileOpenMode{}, &staged[0]);
    if (status == 0 && has_memo) status = files_.Open(staged_memo, FileOpenMode{}, &staged[1]);
    if (status != 0) return fail(RestoreOutcome::kFailed, status);
    bool record_left = false;
    status = ReplaceWithRecord(files_, store.main, {main.get(), has_memo ? memo.get() : nullptr},
                               {staged[0].get(), staged[1].get()}, true, &record_left);
    if (status != 0) return fail(record_left ? RestoreOutcome::kLeftForNextOpen : RestoreOutcome::kFailed, status);
  }
  RemoveFolderOfFiles(files_, staging);
  result.outcome = RestoreOutcome::kRestored;
  return result;
}

}  // namespace tarnwick
