// The record database engine: a fixed-length-record store with typed fields,
// a main file (.EDB) and, for long values, a companion memo file (.EDT),
// optionally enciphered by a password.
//
// Promises:
// - Every operation reports success as true/false (or returns its value) and
//   leaves its code in LastErrorCode() for the calling thread: 0 on success,
//   otherwise one of the negative codes below. Nothing throws out of it.
// - The record count is never cached: every operation reads it from the file,
//   so several processes can share one database through byte-range locks.
// - A changing operation has reached stable storage when it reports success
//   (unless durable writes are turned off for bulk work). A failed write
//   reports failure and leaves every other record readable as before.
// - No input file, however damaged, makes the engine crash, hang or touch
//   bytes outside what it reads.
//
// The process keeps one engine (ProcessEngine()); the free functions below
// work on it. Texts (paths, names, values, passwords, messages) are GBK bytes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/secret.h"

namespace tarnwick {

class File;
class FileSystem;

// ---- Error codes -----------------------------------------------------------

namespace error {
inline constexpr int kOk = 0;
inline constexpr int kUnknown = -1;
inline constexpr int kCreateFailed = -2;
inline constexpr int kFileNotFound = -3;
inline constexpr int kInvalidPath = -4;
inline constexpr int kTooManyOpenFiles = -5;
inline constexpr int kAccessDenied = -6;
inline constexpr int kInvalidFile = -7;
inline constexpr int kCannotRemoveDirectory = -8;
inline constexpr int kTooManyDirectories = -9;
inline constexpr int kSeekFailed = -10;
inline constexpr int kHardwareFault = -11;
inline constexpr int kSharingViolation = -12;
inline constexpr int kLockViolation = -13;
inline constexpr int kDiskFull = -14;
inline constexpr int kEndOfFile = -15;
inline constexpr int kNoFields = -16;
inline constexpr int kInvalidFieldType = -17;
inline constexpr int kInvalidFieldName = -18;
inline constexpr int kInvalidFieldSize = -19;
inline constexpr int kDuplicateFieldName = -20;
inline constexpr int kOpenFailed = -21;
inline constexpr int kNotDatabaseFile = -22;
inline constexpr int kVersionTooHigh = -23;
inline constexpr int kInvalidAlias = -24;
inline constexpr int kBeforeFirstRecord = -25;
inline constexpr int kPastLastRecord = -26;
inline constexpr int kDatabaseNotOpen = -27;
inline constexpr int kLockFailed = -28;
inline constexpr int kUnlockFailed = -29;
inline constexpr int kMemoFileReadFailed = -35;
inline constexpr int kMemoFileVersion = -36;
inline constexpr int kMemoFileDamaged = -37;
inline constexpr int kAlreadyOpen = -38;
inline constexpr int kOutOfMemory = -45;
inline constexpr int kReadFieldFailed = -46;
inline constexpr int kWriteFieldFailed = -47;
inline constexpr int kFileSizeWrong = -48;
inline constexpr int kCreateMemoFileFailed = -50;
inline constexpr int kMemoFileAccessFailed = -59;
inline constexpr int kNoCurrentRecord = -60;
inline constexpr int kNoSuchField = -61;
inline constexpr int kReadRecordFailed = -62;
inline constexpr int kRecordCountFailed = -65;
inline constexpr int kNamedDatabaseNotOpen = -66;
inline constexpr int kNoCurrentDatabase = -67;
inline constexpr int kWrongPassword = -78;
inline constexpr int kRekeyFailed = -79;
inline constexpr int kInvalidPasswordText = -80;
// The memo file beside the main file was made with another database.
inline constexpr int kMemoFileOfAnotherDatabase = -81;
}  // namespace error

// The code left by the last engine operation on this thread.
int LastErrorCode();
// The message text of a code (GBK); empty for 0 and for unknown codes.
std::string ErrorMessage(int code);
// The message of the last failure on this thread. Usually ErrorMessage of
// LastErrorCode(); ReadField's programming errors (no current database, no such
// field) carry their own texts.
std::string LastErrorMessage();

// ---- Fields and values ------------------------------------------------------

enum class FieldType : int32_t {
  kByte = 1,
  kShortInteger = 2,
  kInteger = 3,
  kLongInteger = 4,
  kSingle = 5,
  kDouble = 6,
  kBoolean = 7,
  kDateTime = 8,
  kRoutine = 9,
  kText = 10,
  kByteString = 11,
  kMemo = 12,
};

// Bytes a field of this type takes in a record (width for text); 0 for an
// invalid type code.
int FieldTypeSize(int type_code, int width);

// A field definition given to CreateDatabase and reported by Fields().
struct FieldInf {
  std::string name;  // GBK, at most 16 bytes
  int type = 0;      // FieldType code, 1..12
  int width = 0;     // text width (type 10), 1..1024; ignored otherwise
};

// A typed value passed to and returned from fields. A value of another kind
// is converted to the field's kind on writing; the accessors convert too.
class FieldValue {
 public:
  enum class Kind { kEmpty, kInteger, kFloat, kBoolean, kDateTime, kText, kBytes };

  FieldValue() = default;
  static FieldValue Integer(int64_t value);
  static FieldValue Float(double value);
  static FieldValue Boolean(bool value);
  static FieldValue DateTime(double value);
  static FieldValue Text(std::string gbk);
  static FieldValue Bytes(std::string bytes);

  Kind kind() const { return kind_; }
  bool empty() const { return kind_ == Kind::kEmpty; }

  // Conversions: numbers and booleans between each other; text parses as a
  // decimal number (0 when it is none); a number converts to decimal text;
  // empty is 0 / false / "".
  int64_t AsInteger() const;
  double AsDouble() const;
  bool AsBoolean() const;
  double AsDateTime() const;
  std::string AsText() const&;  // for kText and kBytes the bytes as they are
  std::string AsText() &&;      // the same, moving the bytes out of a temporary

  friend bool operator==(const FieldValue& a, const FieldValue& b);

 private:
  Kind kind_ = Kind::kEmpty;
  int64_t integer_ = 0;
  double real_ = 0;
  std::string bytes_;
};

// A field named by text (compared without regard to ASCII case, multibyte
// aware; the first match wins) or by number (1-based).
class FieldSelector {
 public:
  FieldSelector(int number) : number_(number) {}  // NOLINT: implicit by design
  FieldSelector(std::string_view name) : name_(name) {}  // NOLINT
  FieldSelector(const char* name) : name_(name) {}  // NOLINT
  FieldSelector(const std::string& name) : name_(name) {}  // NOLINT

  bool by_number() const { return number_ != 0; }
  int number() const { return number_; }
  const std::string& name() const { return name_; }

 private:
  int number_ = 0;
  std::string name_;
};

// ---- Opening ---------------------------------------------------------------

// What other opens of the same file are allowed while this one is open.
enum class ShareMode {
  kDenyNone,   // others may read and write (the default)
  kDenyRead,   // others may not read
  kDenyWrite,  // others may not write
  kExclusive,  // others may neither read nor write
};

struct OpenOptions {
  std::string alias;             // empty: none; else a valid name
  bool read_only = false;
  ShareMode share = ShareMode::kDenyNone;
  std::string password;          // empty: none; "?" asks through the prompt hook
};

// The engine's password prompt, shown by the "?" password. The user interface
// installs a hook that shows a modal dialog with these texts (GBK) and a masked
// password box; the hook returns the typed password, or nullopt when cancelled.
struct PasswordPromptRequest {
  std::string title;           // "密码输入"
  std::string prompt;          // "请输入数据库访问密码："
  std::string confirm_button;  // "确认(&O)"
  std::string cancel_button;   // "取消(&C)"
  std::string retry_line;      // empty on the first showing, else "密码错误，您还有 N 次重新输入的机会。"
  int wrong_answers = 0;       // wrong answers so far (0..2)
};
using PasswordPromptHook = std::function<std::optional<SecretText>(const PasswordPromptRequest&)>;

// The two files a database name reaches (GBK, absolute): the main file with
// the default extension "EDB" applied, and the memo file beside it with the
// extension "EDT"; each matched without regard to case to a file that exists.
struct DatabasePaths {
  std::string main;
  std::string memo;
};

// Bytes held by the page caches of the engine's open databases: now, and the
// most at any moment since the engine began or the peak was last reset.
struct CacheMemory {
  size_t current_bytes = 0;
  size_t peak_bytes = 0;
};

// ---- The engine -------------------------------------------------------------

struct Database;  // one open database; internal
class CacheMeter;  // internal

class DatabaseEngine {
 public:
  // Files are reached through file_system (not owned, must outlive the
  // engine); nullptr means the operating system's.
  explicit DatabaseEngine(FileSystem* file_system = nullptr);
  ~DatabaseEngine();
  DatabaseEngine(const DatabaseEngine&) = delete;
  DatabaseEngine& operator=(const DatabaseEngine&) = delete;

  bool CreateDatabase(std::string_view path, const std::vector<FieldInf>& fields);
  bool OpenDatabase(std::string_view path, const OpenOptions& options = {});
  bool SelectDatabase(std::string_view name);
  void CloseDatabase();                       // the current database
  void CloseDatabase(std::string_view name);  // an unknown name does nothing
  int RecordCount();
  void GoFirst();
  bool Skip(int n = 1);
  FieldValue ReadField(const FieldSelector& field);
  bool WriteField(const FieldSelector& field, const FieldValue& value);
  bool AppendRecord(const std::vector<FieldValue>& values);
  bool ClearAllRecords();
  // Invokes condition once per record from the current one onwards; inside it
  // ReadField reads the record under examination.
  bool SearchForward(const std::function<bool()>& condition);
  // Reads a date-time field of records [from, end) of the current database
  // and appends them to dates in file order: what ReadField gives on each
  // record in turn, without moving the current record. While this
  // connection's locks cover the file the records are read many at a time.
  // False when a record cannot be read (the dates before it were appended);
  // an end past the record count stops at the count.
  bool ReadDatesOfRecords(const FieldSelector& field, int from, int end, std::vector<double>& dates);
  bool LockDatabase();
  // Lowers the whole-file lock's depth taken by LockDatabase; at depth 0 the
  // lock is released. False (-29) when it is not held.
  bool UnlockDatabase();
  bool SetPassword(std::string_view new_password);
  bool IsPasswordProtected(std::string_view name_or_path);
  // Whether password is the one the current database is open with (the
  // empty text for a plain database); nothing is read or changed, so a
  // program can check a password without closing the database.
  bool IsCurrentPassword(std::string_view password);
  // The id stored in the current record (the record under examination during
  // a search); 0 on failure: no current database (-67), no current record
  // (-60), its lock not taken (-28), the record cannot be read (-62).
  int32_t RecordId();

  // The files path reaches, resolved as CreateDatabase and OpenDatabase do;
  // both empty for an empty path. Nothing is opened or created.
  DatabasePaths ResolvePaths(std::string_view path);
  CacheMemory CacheMemoryUse() const;
  void ResetCacheMemoryPeak();

  // Introspection of the current database (empty / -1 / "" when none).
  std::vector<FieldInf> Fields();
  int CurrentPosition();
  std::string CurrentPath();  // absolute main-file path
  // The current database's two files as they lie (enciphered when it is),
  // through its own open handles, for a byte copy taken under its lock: on
  // Windows the whole-file lock keeps every other handle from reading the
  // main file. Good until the database closes; memo is null when it has no
  // memo file; both null when no database is current.
  struct StoredFiles {
    File* main = nullptr;
    File* memo = nullptr;
  };
  StoredFiles CurrentStoredFiles();

  // Settings.
  // Milliseconds to keep retrying a lock or an open that meets a conflict:
  // 0 (default) fails at once, -1 waits without limit.
  void SetLockWaitTime(int milliseconds) { lock_wait_ms_ = milliseconds; }
  int LockWaitTime() const { return lock_wait_ms_; }
  // When on (default), a changing operation flushes the files to stable
  // storage before it reports success.
  void SetDurableWrites(bool on) { durable_writes_ = on; }
  bool DurableWrites() const { return durable_writes_; }
  void SetPasswordPromptHook(PasswordPromptHook hook) { prompt_hook_ = std::move(hook); }
  // The most bytes of the memo file a database keeps in memory while nobody
  // else can change it (under LockDatabase, or opened denying others). The
  // default, 10 MB, keeps a database's caches under 16 MB; a program that
  // walks every memo again and again raises it so the whole memo file stays
  // in memory (a hundred years of daily short memos fill about 19 MB). Only
  // the pages read are held. Clamped to [32 KB, 64 MB]; applies to the open
  // databases at once.
  static constexpr size_t kDefaultMemoCacheLimit = size_t{10} << 20;
  static constexpr size_t kLargestMemoCacheLimit = size_t{64} << 20;
  void SetMemoCacheLimit(size_t bytes);
  size_t MemoCacheLimit() const { return memo_cache_limit_; }

  FileSystem& file_system() { return *file_system_; }

 private:
  Database* Current();
  Database* FindByName(std::string_view name);

  FileSystem* file_system_;
  std::unique_ptr<CacheMeter> cache_meter_;  // outlives the databases whose caches it counts
  std::vector<std::unique_ptr<Database>> databases_;
  int current_ = -1;
  int lock_wait_ms_ = 0;
  bool durable_writes_ = true;
  size_t memo_cache_limit_ = kDefaultMemoCacheLimit;
  PasswordPromptHook prompt_hook_;
};

// The process's engine.
DatabaseEngine& ProcessEngine();

// The operations on the process's engine.
bool CreateDatabase(std::string_view path, const std::vector<FieldInf>& fields);
bool OpenDatabase(std::string_view path, std::string_view alias = {}, bool read_only = false,
                  ShareMode share = ShareMode::kDenyNone, std::string_view password = {});
bool SelectDatabase(std::string_view name);
void CloseDatabase();
void CloseDatabase(std::string_view name);
int RecordCount();
void GoFirst();
bool Skip(int n = 1);
FieldValue ReadField(const FieldSelector& field);
bool WriteField(const FieldSelector& field, const FieldValue& value);
bool AppendRecord(const std::vector<FieldValue>& values);
bool ClearAllRecords();
bool SearchForward(const std::function<bool()>& condition);
bool LockDatabase();
bool UnlockDatabase();
bool SetPassword(std::string_view new_password);
bool IsPasswordProtected(std::string_view name_or_path);
int32_t RecordId();
DatabasePaths ResolveDatabasePaths(std::string_view path);
CacheMemory CacheMemoryUse();
void ResetCacheMemoryPeak();
void SetLockWaitTime(int milliseconds);
int LockWaitTime();
void SetDurableWrites(bool on);
void SetPasswordPromptHook(PasswordPromptHook hook);

}  // namespace tarnwick
