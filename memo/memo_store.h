// The memo store: the memo book's one database, `memo.edb` with its memo
// file `memo.EDT`, in a folder the caller names. Each record holds one
// day's memo in two fields, 日期 (a date-time at 00:00:00) and 备忘 (long
// text). The store acts on the engine's current database, and every change
// is written through at once; of its own it keeps only the outcome of the
// last lookup from the first record, while the dates stay the same.
//
// Promises:
// - At most one record per day holds as long as memos are saved by looking
//   the day up first (FindMemoRecord) and appending only when it has none.
// - Without an open database every operation fails: counts are 0, lookups
//   fail, reads give empty values.
// - A record belongs to a date d when its 日期 equals DayKey(d) exactly
//   (both brought into 0100-01-01..9999-12-31 first); a stored date with a
//   time of day matches no date.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/datetime.h"
#include "engine/database.h"

namespace tarnwick {

// The day of d at 00:00:00: d written as "%d年%d月%d日" and read back.
DateTime DayKey(DateTime d);

class MemoStore {
 public:
  // folder: GBK, absolute, without a trailing separator. engine must outlive
  // the store.
  MemoStore(DatabaseEngine& engine, std::string folder);

  DatabaseEngine& engine() { return engine_; }
  // The folder, a separator and "memo.edb".
  const std::string& DatabasePath() const { return path_; }

  bool DatabaseFileExists();
  // The open database's own state; while closed, whether the file at
  // DatabasePath starts with the protected magic.
  bool IsDatabaseProtected();
  // Creates an empty store; a failure shows in the open that follows.
  void CreateMemoDatabase();
  // Opens the store, makes it current with its first record current and
  // locks the whole main file for this process, so a second running copy
  // cannot open it. A database whose first two fields are not a date-time
  // and a memo is closed again untouched. nullopt opens without a password.
  bool OpenMemoDatabase(std::optional<std::string_view> password = std::nullopt);
  void CloseMemoDatabase();

  int MemoCount();
  // From the first record: the record of d becomes current.
  bool FindMemoRecord(DateTime d);
  // The same search from the current record on.
  bool FindMemoRecordFromHere(DateTime d);
  std::string ReadMemoText();
  DateTime ReadMemoDate();
  bool WriteMemoText(std::string_view text);
  // A new record of DayKey(d) and text; it becomes current.
  bool AppendMemo(DateTime d, std::string_view text);
  // The record walk: the first record, then one further per NextMemo.
  void GoFirstMemo();
  bool NextMemo();
  bool ClearAllMemos();
  // Re-keys the open store; an empty password removes the protection.
  bool SetDatabasePassword(std::string_view password);

  // Changes whenever the store may hold other dates than before: every
  // create, open, close, append, clear and re-key made through this object.
  // Lets a reader keep what it derived from the dates while it is the same.
  uint64_t generation() const { return generation_; }

 private:
  bool HasMemoFields();
  // From the current record on, for the clamped day key.
  bool SearchFromHere(DateTime key);

  // Where FindMemoRecord found a date (-1: nowhere) among `count` records.
  struct Lookup {
    uint64_t generation;
    DateTime key;
    int count;
    int record;
  };

  DatabaseEngine& engine_;
  std::string folder_;
  std::string path_;
  uint64_t generation_ = 0;
  std::optional<Lookup> last_lookup_;
};

}  // namespace tarnwick
