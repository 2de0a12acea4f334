#include "memo/memo_store.h"

#include <algorithm>
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

// The name the engine gives the open store: its file title.
constexpr std::string_view kDatabaseName = "memo";

}  // namespace

DateTime DayKey(DateTime d) { return TextToDate(DateOnlyText(d)); }

MemoStore::MemoStore(DatabaseEngine& engine, std::string folder)
    : engine_(engine), folder_(std::move(folder)), path_(folder_ + kPathSeparator + "memo.edb") {
  // Search, export and the month list walk every memo, again and again: the
  // engine keeps the whole memo file in memory while the store is locked
  // (a hundred years of daily short memos take about 19 MB).
  engine_.SetMemoCacheLimit(DatabaseEngine::kLargestMemoCacheLimit);
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
  ++generation_;
  engine_.CreateDatabase(path_, {{DateField(), static_cast<int>(FieldType::kDateTime), 20},
                                 {MemoField(), static_cast<int>(FieldType::kMemo), 20}});
}

bool MemoStore::OpenMemoDatabase(std::optional<std::string_view> password) {
  ++generation_;
  OpenOptions options;
  if (password) options.password = std::string(*password);
  WipeOnExit wipe_password(options.password);
  held_by_another_process_ = false;
  if (!engine_.OpenDatabase(folder_ + kPathSeparator + std::string(kDatabaseName), options)) {
    held_by_another_process_ = HeldElsewhere(LastErrorCode());
    return false;
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
  ++generation_;
  engine_.CloseDatabase();
}

int MemoStore::MemoCount() { return std::max(engine_.RecordCount(), 0); }

bool MemoStore::FindMemoRecord(DateTime d) {
  // The start-up, the day view and the month list look the same day up
  // several times in a row; while the dates are the same, so is the answer.
  const DateTime key = ClampDateTime(DayKey(d));
  const int count = MemoCount();
  engine_.GoFirst();
  if (last_lookup_ && last_lookup_->generation == generation_ && last_lookup_->key == key &&
      last_lookup_->count == count) {
    if (last_lookup_->record < 0) return false;  // the first record current, as a search leaves it
    if (engine_.Skip(last_lookup_->record) && ClampDateTime(ReadMemoDate()) == key) return true;
    engine_.GoFirst();
  }
  const bool found = SearchFromHere(key);
  if (LastErrorCode() == 0) last_lookup_ = Lookup{generation_, key, count, found ? engine_.CurrentPosition() : -1};
  return found;
}

bool MemoStore::FindMemoRecordFromHere(DateTime d) { return SearchFromHere(ClampDateTime(DayKey(d))); }

bool MemoStore::SearchFromHere(DateTime key) {
  return engine_.SearchForward([&] { return ClampDateTime(ReadMemoDate()) == key; });
}

std::string MemoStore::ReadMemoText() { return engine_.ReadField(MemoField()).AsText(); }

// By number: the month walk reads every record's date.
DateTime MemoStore::ReadMemoDate() { return engine_.ReadField(kDateFieldNumber).AsDateTime(); }

bool MemoStore::WriteMemoText(std::string_view text) {
  return engine_.WriteField(MemoField(), FieldValue::Text(std::string(text)));
}

bool MemoStore::AppendMemo(DateTime d, std::string_view text) {
  ++generation_;
  return engine_.AppendRecord({FieldValue::DateTime(DayKey(d)), FieldValue::Text(std::string(text))});
}

void MemoStore::GoFirstMemo() { engine_.GoFirst(); }

bool MemoStore::NextMemo() { return engine_.Skip(1); }

MemoWalk MemoStore::WalkMemos(bool with_text) {
  MemoWalk walk(*this, MemoCount(), with_text);
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
  ++generation_;
  return engine_.ClearAllRecords();
}

bool MemoStore::SetDatabasePassword(std::string_view password) {
  ++generation_;
  return engine_.SetPassword(password);
}

}  // namespace tarnwick
