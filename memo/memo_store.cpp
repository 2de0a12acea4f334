#include "memo/memo_store.h"

#include <algorithm>
#include <new>
#include <vector>

#include "base/secret.h"
#include "base/text.h"
#include "engine/file_system.h"

namespace tarnwick {
namespace {

const std::string& DateField() {
  static const std::string name = Gbk("日期");
  return name;
}

const std::string& MemoField() {
  static const std::string name = Gbk("备忘");
  return name;
}

// 日期 is the first field; a store of another shape is refused at open.
constexpr int kDateFieldNumber = 1;

// The engine's answers when another process holds the file open or locked.
bool HeldElsewhere(int code) {
  return code == error::kSharingViolation || code == error::kLockViolation || code == error::kLockFailed;
}

// A memo is stored up to its first zero byte.
std::string_view StoredText(std::string_view text) { return text.substr(0, text.find('\0')); }

// The engine's memo cache beside the store's own copy of the memos.
constexpr std::size_t kEngineMemoCacheBytes = std::size_t{1} << 20;

// The name the engine gives the open store: its file title.
constexpr std::string_view kDatabaseName = "memo";

}  // namespace

DateTime DayKey(DateTime d) { return TextToDate(DateOnlyText(d)); }

MemoStore::MemoStore(DatabaseEngine& engine, std::string folder)
    : engine_(engine), folder_(std::move(folder)), path_(folder_ + kPathSeparator + "memo.edb") {
  // What is read again and again, every memo for the search, the store holds
  // itself (Texts()); the engine keeps only the few pages a day's memo needs.
  engine_.SetMemoCacheLimit(kEngineMemoCacheBytes);
}

bool MemoStore::IsStoreFile(const std::string& path) {
  auto fold = [](std::string text) {
    for (char& c : text) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    }
    return text;
  };
  FileSystem& files = engine_.file_system();
  const std::string absolute = fold(files.AbsolutePath(path));
  const std::string folder = fold(files.AbsolutePath(folder_));
  for (const char* name : {"memo.edb", "memo.edt"}) {
    if (absolute == folder + kPathSeparator + name || absolute == folder + '/' + name) return true;
  }
  return false;
}

bool MemoStore::DatabaseFileExists() { return engine_.file_system().Exists(path_); }

bool MemoStore::IsDatabaseProtected() {
  const bool protected_store = engine_.IsPasswordProtected(path_);
  held_by_another_process_ = HeldElsewhere(LastErrorCode());
  return protected_store;
}

void MemoStore::CreateMemoDatabase() {
  StartOver();
  engine_.CreateDatabase(path_, {{DateField(), static_cast<int>(FieldType::kDateTime), 20},
                                 {MemoField(), static_cast<int>(FieldType::kMemo), 20}});
}

bool MemoStore::OpenMemoDatabase(std::optional<std::string_view> password) {
  StartOver();
  OpenOptions options;
  if (password) options.password = std::string(*password);
  WipeOnExit wipe_password(options.password);
  held_by_another_process_ = false;
  read_only_ = false;
  const std::string name = folder_ + kPathSeparator + std::string(kDatabaseName);
  if (!engine_.OpenDatabase(name, options)) {
    held_by_another_process_ = HeldElsewhere(LastErrorCode());
    if (LastErrorCode() != error::kAccessDenied) return false;
    options.read_only = true;
    if (!engine_.OpenDatabase(name, options)) return false;
    read_only_ = true;
  }
  if (HasMemoFields() && engine_.SelectDatabase(kDatabaseName) && engine_.LockDatabase()) return true;
  held_by_another_process_ = HeldElsewhere(LastErrorCode());
  engine_.CloseDatabase(kDatabaseName);
  return false;
}

bool MemoStore::HasMemoFields() {
  const std::vector<FieldInf> fields = engine_.Fields();
  // By name as well as type: every save writes 备忘 by its name.
  return fields.size() >= 2 && fields[0].name == DateField() && fields[0].type == static_cast<int>(FieldType::kDateTime) &&
         fields[1].name == MemoField() && fields[1].type == static_cast<int>(FieldType::kMemo);
}

void MemoStore::CloseMemoDatabase() {
  StartOver();
  read_only_ = false;
  engine_.CloseDatabase();
}

int MemoStore::MemoCount() { return std::max(engine_.RecordCount(), 0); }

bool MemoStore::FindMemoRecord(DateTime d) {
  const DateTime key = ClampDateTime(DayKey(d));
  engine_.GoFirst();
  if (std::optional<bool> found = FindIndexed(key, 0)) return *found;
  return SearchFromHere(key);
}

bool MemoStore::FindMemoRecordFromHere(DateTime d) {
  const DateTime key = ClampDateTime(DayKey(d));
  if (std::optional<bool> found = FindIndexed(key, std::max(engine_.CurrentPosition(), 0))) return *found;
  return SearchFromHere(key);
}

std::optional<bool> MemoStore::FindIndexed(DateTime key, int from) {
  if (!SyncDateIndex()) return std::nullopt;
  const int record = dates_.FirstRecordOf(key, from);
  if (record < 0) return false;
  const int position = engine_.CurrentPosition();
  GoTo(record);
  if (LastErrorCode() == error::kOk && ClampDateTime(ReadMemoDate()) == key) return true;
  // A date rewritten past the store: the index is made afresh next time.
  ForgetDateIndex();
  GoTo(position);
  return std::nullopt;
}

void MemoStore::GoTo(int record) {
  engine_.GoFirst();
  if (record > 0) engine_.Skip(record);
}

std::optional<int> MemoStore::CountNow() {
  if (!IsOpen()) return std::nullopt;
  const int count = MemoCount();
  if (LastErrorCode() != error::kOk) return std::nullopt;
  return count;
}

void MemoStore::WalkKeepingPlace(int from, int end, bool with_text,
                                 const std::function<bool(const WalkedMemo&)>& meet) {
  struct PlaceKept {
    MemoStore& store;
    int position;
    ~PlaceKept() { store.GoTo(position); }
  } kept{*this, engine_.CurrentPosition()};
  MemoWalk walk(*this, from, end, with_text);
  walk.Continue(meet);
}

bool MemoStore::SyncDateIndex() {
  const std::optional<int> count = CountNow();
  if (!count) return false;
  if (!dates_indexed_ || *count < dates_.records()) dates_.Clear();
  dates_indexed_ = false;
  if (*count > dates_.records()) {
    std::vector<DateTime> dated;
    dated.reserve(static_cast<std::size_t>(*count - dates_.records()));
    // In bulk: the dates are all that is read, and the current record stays.
    if (!engine_.ReadDatesOfRecords(kDateFieldNumber, dates_.records(), *count, dated) ||
        static_cast<int>(dated.size()) != *count - dates_.records()) {
      return false;
    }
    dates_.Extend(std::move(dated));
  }
  dates_indexed_ = true;
  return true;
}

std::vector<DateTime> MemoStore::MemoDatesInMonth(int year, int month) {
  if (SyncDateIndex()) return dates_.DatesInMonth(year, month);
  // Unreadable dates: the walk lists what it can read.
  std::vector<DateTime> dates;
  ForEachMemo([&](const WalkedMemo& memo) {
    if (!memo.readable) return;
    const CivilDateTime day = DecodeDateTime(memo.date);
    if (day.year == year && day.month == month) dates.push_back(memo.date);
  }, /*with_text=*/false);
  return dates;
}

bool MemoStore::SearchFromHere(DateTime key) {
  return engine_.SearchForward([&] { return ClampDateTime(ReadMemoDate()) == key; });
}

std::string MemoStore::ReadMemoText() { return engine_.ReadField(MemoField()).AsText(); }

// By number: the month walk reads every record's date.
DateTime MemoStore::ReadMemoDate() { return engine_.ReadField(kDateFieldNumber).AsDateTime(); }

bool MemoStore::WriteMemoText(std::string_view text) {
  BeforeChange();
  const int record = engine_.CurrentPosition();
  const bool written = engine_.WriteField(MemoField(), FieldValue::Text(std::string(text)));
  if (!written || record < 0) {
    ForgetTexts();
  } else if (texts_kept_ && record < texts_.records()) {
    texts_.Replace(record, StoredText(text));
  }
  // A record past those read is read as it is now when the copy gets there.
  return written;
}

bool MemoStore::AppendMemo(DateTime d, std::string_view text) {
  BeforeChange();
  const int count = engine_.RecordCount();
  const bool indexed = dates_indexed_ && count == dates_.records();
  if (!engine_.AppendRecord({FieldValue::DateTime(DayKey(d)), FieldValue::Text(std::string(text))})) {
    ForgetDateIndex();
    ForgetTexts();
    return false;
  }
  const DateTime stored = ClampDateTime(DayKey(d));
  if (indexed && engine_.CurrentPosition() == count) {
    dates_.Add(stored);
  } else {
    ForgetDateIndex();
  }
  if (engine_.CurrentPosition() != count || (texts_kept_ && texts_.records() > count)) {
    ForgetTexts();
  } else if (texts_kept_ && texts_.records() == count) {
    texts_.Add(stored, StoredText(text));
  }
  // A copy still being filled reads the new record when it gets there.
  return true;
}

void MemoStore::StartOver() {
  BeforeChange();
  ForgetDateIndex();
  ForgetTexts();
}

void MemoStore::ForgetTexts() {
  texts_.Clear();
  texts_kept_ = false;
}

std::optional<int> MemoStore::ReadTexts(const std::function<bool()>& keep_going) {
  const std::optional<int> count = CountNow();
  if (!count) return std::nullopt;
  if (!texts_kept_ || *count < texts_.records()) texts_.Clear();
  texts_kept_ = false;
  if (*count > texts_.records()) {
    try {
      texts_.Reserve(*count);
      // Records gone meanwhile are no memos: what was read stands for now.
      WalkKeepingPlace(texts_.records(), *count, /*with_text=*/true, [&](const WalkedMemo& memo) {
        texts_.Add(memo.date, memo.text, memo.readable);
        return keep_going();
      });
    } catch (const std::bad_alloc&) {
      texts_.Clear();
      return std::nullopt;
    }
  }
  texts_kept_ = texts_.whole();
  return count;
}

const MemoTexts* MemoStore::Texts() {
  return ReadTexts([] { return true; }) ? &texts_ : nullptr;
}

bool MemoStore::FillTexts(const std::function<bool()>& keep_going) {
  const std::optional<int> count = ReadTexts(keep_going);
  return count && texts_kept_ && *count > texts_.records();
}

std::size_t MemoStore::MemoryInUse() const { return dates_.MemoryInUse() + texts_.MemoryInUse(); }

void MemoStore::GoFirstMemo() { engine_.GoFirst(); }

bool MemoStore::NextMemo() { return engine_.Skip(1); }

MemoWalk MemoStore::WalkMemos(bool with_text) {
  MemoWalk walk(*this, 0, MemoCount(), with_text);
  // An open store whose count cannot be read has memos the walk never meets.
  walk.cut_short_ = LastErrorCode() != error::kOk && LastErrorCode() != error::kNoCurrentDatabase;
  return walk;
}

void MemoStore::ForEachMemo(const std::function<void(const WalkedMemo&)>& meet, bool with_text) {
  MemoWalk walk = WalkMemos(with_text);
  walk.Continue([&](const WalkedMemo& memo) {
    meet(memo);
    return true;
  });
}

// Runs of records are read by the engine's forward search with a condition
// that holds only to pause: one reading of the count per run, not a step and
// a count per record. A record the search cannot read ends its run; it is met
// as unreadable and the next run starts after it.
void MemoWalk::Continue(const std::function<bool(const WalkedMemo&)>& meet) {
  DatabaseEngine& engine = store_.engine();
  bool paused = false;
  while (!paused && !done()) {
    engine.GoFirst();
    if (next_ > 0 && !engine.Skip(next_)) {
      // The store was closed or cleared meanwhile: the rest is not there.
      cut_short_ = true;
      end_ = next_;
      break;
    }
    engine.SearchForward([&] {
      if (next_ >= end_) return true;
      WalkedMemo memo;
      memo.date = store_.ReadMemoDate();
      bool readable = LastErrorCode() == error::kOk;
      if (with_text_) memo.text = store_.ReadMemoText();
      if (!readable || LastErrorCode() != error::kOk) {
        memo = WalkedMemo{0, {}, false};
        ++unreadable_;
      }
      ++next_;
      paused = !meet(memo);
      return paused;
    });
    // A search that ran to the end of the records leaves no error behind.
    if (paused || done() || LastErrorCode() == error::kOk) break;
    ++unreadable_;
    ++next_;
    paused = !meet(WalkedMemo{0, {}, false});
  }
  if (!paused && next_ < end_) {
    cut_short_ = true;  // fewer records than when the walk began
    end_ = next_;
  }
}

bool MemoStore::ClearAllMemos() {
  StartOver();
  return engine_.ClearAllRecords();
}

bool MemoStore::SetDatabasePassword(std::string_view password) {
  StartOver();
  return engine_.SetPassword(password);
}

}  // namespace tarnwick
