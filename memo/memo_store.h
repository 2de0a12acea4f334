// The memo store: the memo book's one database, `memo.edb` with its memo
// file `memo.EDT`, in a folder the caller names. Each record holds one
// day's memo in two fields, 日期 (a date-time at 00:00:00) and 备忘 (long
// text). The store acts on the engine's current database, and every change
// is written through at once; of its own it keeps an index of the records'
// dates (memo/memo_store_index.h), made by one walk when first needed and
// kept up to date by its own appends and clearing, so that looking a day up
// and listing a month cost what the day and the month hold; and every
// memo's text (memo/memo_store_texts.h), read a piece at a time while the
// program is idle or at once when a search asks, kept up to date by its own
// writes, so that a search reads memory.
//
// Promises:
// - At most one record per day holds as long as memos are saved by looking
//   the day up first (FindMemoRecord) and appending only when it has none.
// - Without an open database every operation fails: counts are 0, lookups
//   fail, reads give empty values.
// - A record belongs to a date d when its 日期 equals DayKey(d) exactly
//   (both brought into 0100-01-01..9999-12-31 first); a stored date with a
//   time of day matches no date.
// - Lookups answer as a search of the records from the first would while
//   dates change only through the store. Records appended past it (through
//   the engine itself) are taken in by the record count, and a record the
//   index names is read back before it is believed.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "base/datetime.h"
#include "engine/database.h"
#include "memo/memo_store_index.h"
#include "memo/memo_store_texts.h"

namespace tarnwick {

// The day of d at 00:00:00: d written as "%d年%d月%d日" and read back.
DateTime DayKey(DateTime d);

// One memo met by a MemoWalk. A record that could not be read wholly is
// met as unreadable, with an empty text and the date 0.
struct WalkedMemo {
  DateTime date = 0;
  std::string text;
  bool readable = true;
};

class MemoStore;

// A walk over every memo, in file order, up to the count taken when it
// began. It keeps its own place: the engine's current record may move
// between two steps (a day looked up while an export lets the window handle
// its events) without moving the walk. Each record is read on its own, so
// one that cannot be read is met as unreadable and the walk goes on.
class MemoWalk {
 public:
  // Meets memos from the walk's place on until meet answers false (the walk
  // then stands after that memo) or the end. Must not be called from inside
  // meet.
  void Continue(const std::function<bool(const WalkedMemo&)>& meet);
  bool done() const { return next_ >= end_; }
  // Every memo met so far was read, and none went missing (the store closed
  // or emptied during the walk ends it early).
  bool whole() const { return unreadable_ == 0 && !cut_short_; }

 private:
  friend class MemoStore;
  MemoWalk(MemoStore& store, int start, int end, bool with_text)
      : store_(store), next_(start), end_(end), with_text_(with_text) {}

  MemoStore& store_;
  int next_;
  int end_;
  int unreadable_ = 0;
  bool cut_short_ = false;
  bool with_text_;
};

class MemoStore {
 public:
  // folder: GBK, absolute, without a trailing separator. engine must outlive
  // the store.
  MemoStore(DatabaseEngine& engine, std::string folder);

  DatabaseEngine& engine() { return engine_; }
  // The data folder the store lives in.
  const std::string& folder() const { return folder_; }
  // The folder, a separator and "memo.edb".
  const std::string& DatabasePath() const { return path_; }
  // Whether path (GBK) names one of the store's two files, memo.edb or
  // memo.EDT, in any letter case (the engine opens them so).
  bool IsStoreFile(const std::string& path);

  bool DatabaseFileExists();
  // The open database's own state; while closed, whether the file at
  // DatabasePath starts with the protected magic.
  bool IsDatabaseProtected();
  // Creates an empty store; a failure shows in the open that follows.
  void CreateMemoDatabase();
  // Opens the store, makes it current with its first record current and
  // locks the whole main file for this process, so a second running copy
  // cannot open it. A database whose first two fields are not 日期, a
  // date-time, and 备忘, a memo, is closed again untouched. nullopt opens without a password.
  // Files that may not be written (a read-only folder or file system) are
  // opened read-only: the memos can be read, not changed (ReadOnly()).
  bool OpenMemoDatabase(std::optional<std::string_view> password = std::nullopt);
  // The open store may only be read: its files could not be opened for writing.
  bool ReadOnly() const { return read_only_; }
  // Whether the last IsDatabaseProtected or OpenMemoDatabase failed because
  // another process, a running copy of the program, holds the store.
  bool HeldByAnotherProcess() const { return held_by_another_process_; }
  void CloseMemoDatabase();
  bool IsOpen() { return !engine_.CurrentPath().empty(); }
  // Whether password opens the open store (the empty text a plain one),
  // asked without closing it.
  bool IsDatabasePassword(std::string_view password) { return engine_.IsCurrentPassword(password); }

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
  // The walk that search, export and the month list take over every memo;
  // without with_text the memos are met with their dates only.
  MemoWalk WalkMemos(bool with_text = true);
  // Walks every memo at once.
  void ForEachMemo(const std::function<void(const WalkedMemo&)>& meet, bool with_text = true);
  // The dates of the memos that fall in that month (a stored time of day
  // included), in file order; none when the store is closed.
  std::vector<DateTime> MemoDatesInMonth(int year, int month);
  // Every memo in memory, read on first use and kept up to date by the
  // store's own changes; nullptr when the store is closed or memory ran
  // short (walk the memos then). Texts that met an unreadable memo serve this
  // once and are read afresh next time. Good until the store's next change.
  const MemoTexts* Texts();
  // Reads memos into the copy Texts() gives for as long as keep_going says
  // so (asked after each memo), so it can be filled in pieces between
  // events; what was read stays up to date meanwhile. True while memos
  // remain to be read; false once the copy is whole or cannot be (the store
  // is closed, memory ran short, a memo could not be read).
  bool FillTexts(const std::function<bool()>& keep_going);
  // Bytes the store holds in memory of its own, beside the engine's caches.
  std::size_t MemoryInUse() const;
  bool ClearAllMemos();
  // Re-keys the open store; an empty password removes the protection.
  bool SetDatabasePassword(std::string_view password);
  // Called before every change of the store's files through the store, its
  // close and a new open included.
  void SetBeforeChange(std::function<void()> before_change) { before_change_ = std::move(before_change); }

 private:
  friend class MemoWalk;
  bool HasMemoFields();
  // From the current record on, for the clamped day key.
  bool SearchFromHere(DateTime key);
  // The record of the clamped day key from record `from` on, by the index,
  // made current; false when there is none, with the current record as it
  // was. nullopt when the index cannot answer: the caller searches.
  std::optional<bool> FindIndexed(DateTime key, int from);
  // The record count of the open store; nullopt when it is closed or the
  // count cannot be read.
  std::optional<int> CountNow();
  // Walks records [from, end) as a MemoWalk meets them, the current record
  // kept.
  void WalkKeepingPlace(int from, int end, bool with_text, const std::function<bool(const WalkedMemo&)>& meet);
  // Brings the date index up to the records as they are now; false when
  // the store is closed or a date could not be read.
  bool SyncDateIndex();
  void ForgetDateIndex() { dates_indexed_ = false; }
  void ForgetTexts();
  // Before the store's files are made, opened, closed, cleared or re-keyed:
  // what the store keeps of them goes.
  void StartOver();
  // Reads memos into texts_ while keep_going says so; the record count it
  // read towards, or nothing when the store is closed or memory ran short.
  std::optional<int> ReadTexts(const std::function<bool()>& keep_going);
  void BeforeChange() {
    if (before_change_) before_change_();
  }
  // Makes record (0 or above) the current one.
  void GoTo(int record);

  DatabaseEngine& engine_;
  std::string folder_;
  std::string path_;
  bool held_by_another_process_ = false;
  bool read_only_ = false;
  MemoDateIndex dates_;
  bool dates_indexed_ = false;
  MemoTexts texts_;
  // texts_ holds the first texts_.records() records as they are, all read;
  // the rest are still to be read.
  bool texts_kept_ = false;
  std::function<void()> before_change_;
};

}  // namespace tarnwick
