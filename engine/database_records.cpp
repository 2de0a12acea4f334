// Reading and changing records: count, positioning, field access, append,
// clear-all, search, and the record id.
#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "engine/database_internal.h"
#include "engine/errors.h"
#include "engine/record_codec.h"

namespace tarnwick {

namespace {

// Reading the record count waits at least this long for a conflicting lock.
constexpr int kRecordCountWaitMs = 2000;

const Field* FindField(const Database& db, const FieldSelector& selector) {
  if (selector.by_number()) {
    int number = selector.number();
    if (number < 1 || static_cast<size_t>(number) > db.fields.size()) return nullptr;
    return &db.fields[static_cast<size_t>(number) - 1];
  }
  for (const Field& field : db.fields) {
    if (field.name == selector.name()) return &field;
  }
  for (const Field& field : db.fields) {
    if (NamesEqual(field.name, selector.name())) return &field;
  }
  return nullptr;
}

}  // namespace

int DatabaseEngine::RecordCount() {
  Database* db = Current();
  if (db == nullptr) return Fail(error::kNoCurrentDatabase), 0;
  ScopedByteLock lock;
  if (lock.Acquire(*db, ScopedByteLock::Which::kMain, kCountOffset, kRecordCountWaitMs) != 0) {
    return Fail(error::kRecordCountFailed), 0;
  }
  int32_t count = 0, next_id = 0;
  if (db->ReadCountAndNextId(&count, &next_id) != 0) return Fail(error::kRecordCountFailed), 0;
  SetLastError(0);
  return std::max(count, 0);
}

void DatabaseEngine::GoFirst() {
  Database* db = Current();
  if (db == nullptr) {
    SetLastError(error::kNoCurrentDatabase);
    return;
  }
  db->current = 0;
  SetLastError(0);
}

bool DatabaseEngine::Skip(int n) {
  Database* db = Current();
  if (db == nullptr) return Fail(error::kNoCurrentDatabase);
  if (n == 0) return Succeed();
  int count = RecordCount();
  if (LastErrorCode() != 0) return false;
  if (n > 0) {
    if (count == 0 || db->current >= count) return Fail(error::kPastLastRecord);
    db->current = std::min<int64_t>(count, db->current + n);
  } else {
    if (count == 0 || db->current < 0) return Fail(error::kBeforeFirstRecord);
    db->current = std::max<int64_t>(-1, db->current + n);
  }
  return Succeed();
}

FieldValue DatabaseEngine::ReadField(const FieldSelector& selector) {
  Database* db = Current();
  if (db == nullptr) {
    SetLastErrorWithText(error::kNoCurrentDatabase, "未指定当前数据库或者指定数据库未打开");
    return {};
  }
  const Field* field = FindField(*db, selector);
  if (field == nullptr) {
    SetLastErrorWithText(error::kNoSuchField, "指定字段不存在");
    return {};
  }
  try {
    uint8_t scalar[8] = {};
    std::string text_bytes;
    const uint8_t* bytes = nullptr;
    ScopedByteLock record_lock;
    if (db->searching) {
      bytes = db->examined.data() + field->offset;
    } else {
      if (db->current < 0) return SetLastError(error::kNoCurrentRecord), EmptyValue(field->type);
      const uint64_t record = db->RecordOffset(db->current);
      // A covered byte lock is only counted and given back before this
      // returns, with nothing in between that could end the cover.
      if (!db->LocksCovered() && record_lock.Acquire(*db, ScopedByteLock::Which::kMain, record) != 0) {
        return SetLastError(error::kLockFailed), EmptyValue(field->type);
      }
      const uint64_t position = record + field->offset;
      uint64_t length = 0;
      if (FileStatus status = db->main->Length(&length); status != 0) {
        return SetLastError(status), EmptyValue(field->type);
      }
      if (position >= length) return SetLastError(error::kSeekFailed), EmptyValue(field->type);
      uint8_t* target = scalar;
      if (field->size > sizeof scalar) {
        text_bytes.resize(field->size);
        target = reinterpret_cast<uint8_t*>(text_bytes.data());
      }
      size_t got = 0;
      if (db->main->Read(position, target, field->size, &got) != 0 || got < field->size) {
        return SetLastError(error::kReadFieldFailed), EmptyValue(field->type);
      }
      bytes = target;
    }
    if (IsLongType(field->type)) {
      if (!db->HasMemoFile()) return SetLastError(error::kReadFieldFailed), EmptyValue(field->type);
      std::string value;
      if (int status = ReadMemoChain(*db, GetInt32(bytes), &value); status != 0) {
        return SetLastError(status), EmptyValue(field->type);
      }
      SetLastError(0);
      if (IsType(field->type, FieldType::kMemo)) {
        size_t zero = value.find('\0');
        if (zero != std::string::npos) value.resize(zero);
        return FieldValue::Text(std::move(value));
      }
      return FieldValue::Bytes(std::move(value));
    }
    SetLastError(0);
    return DecodeScalar(*field, bytes);
  } catch (const std::bad_alloc&) {
    SetLastError(error::kOutOfMemory);
    return EmptyValue(field->type);
  }
}

bool DatabaseEngine::WriteField(const FieldSelector& selector, const FieldValue& value) {
  Database* db = Current();
  if (db == nullptr) return Fail(error::kNoCurrentDatabase);
  const Field* field = FindField(*db, selector);
  if (field == nullptr) return Fail(error::kNoSuchField);
  if (db->current < 0) return Fail(error::kNoCurrentRecord);
  try {
    const uint64_t record = db->RecordOffset(db->current);
    ScopedByteLock record_lock;
    if (record_lock.Acquire(*db, ScopedByteLock::Which::kMain, record) != 0) return Fail(error::kLockFailed);
    const uint64_t position = record + field->offset;
    uint64_t length = 0;
    if (FileStatus status = db->main->Length(&length); status != 0) return Fail(status);
    if (position >= length) return Fail(error::kNoCurrentRecord);

    std::vector<uint8_t> bytes(field->size, 0);
    int32_t orphan_if_unwritten = 0;
    if (IsLongType(field->type)) {
      if (!db->HasMemoFile()) return Fail(error::kWriteFieldFailed);
      uint8_t old_bytes[4];
      size_t got = 0;
      if (db->main->Read(position, old_bytes, 4, &got) != 0 || got < 4) return Fail(error::kWriteFieldFailed);
      // The chain writer moves the record between chains as it goes (see
      // WriteMemoChain); the pointer written below is the final one.
      const PointRecord point_record = [&](int32_t first_block) -> int {
        uint8_t pointer[4];
        PutInt32(pointer, first_block);
        return db->main->Write(position, pointer, sizeof pointer);
      };
      int32_t new_first = 0;
      const int32_t old_first = GetInt32(old_bytes);
      if (int status = WriteMemoChain(*db, old_first, LongValueBytes(field->type, value), point_record, &new_first);
          status != 0) {
        return Fail(status);
      }
      // A first value's chain is the record's only once the record points
      // at it: should that fail, the chain is given back.
      if (old_first == 0) orphan_if_unwritten = new_first;
      PutInt32(bytes.data(), new_first);
    } else {
      EncodeScalar(*field, value, bytes.data());
    }
    if (FileStatus status = db->main->Write(position, bytes.data(), bytes.size()); status != 0) {
      FreeMemoChain(*db, orphan_if_unwritten);
      return Fail(status);
    }
    if (db->searching && db->examined.size() >= field->offset + bytes.size()) {
      std::memcpy(db->examined.data() + field->offset, bytes.data(), bytes.size());
    }
    if (FileStatus status = db->FlushAll(); status != 0) return Fail(status);
    return Succeed();
  } catch (const std::bad_alloc&) {
    return Fail(error::kOutOfMemory);
  }
}

bool DatabaseEngine::AppendRecord(const std::vector<FieldValue>& values) {
  Database* db = Current();
  if (db == nullptr) return Fail(error::kNoCurrentDatabase);
  try {
    ScopedByteLock header_lock;
    if (header_lock.Acquire(*db, ScopedByteLock::Which::kMain, kCountOffset) != 0) return Fail(error::kLockFailed);
    int32_t count = 0, next_id = 0;
    if (db->ReadCountAndNextId(&count, &next_id) != 0) return Fail(error::kRecordCountFailed);
    count = std::max(count, 0);
    next_id = std::max(next_id, 1);
    if (count == std::numeric_limits<int32_t>::max() || next_id == std::numeric_limits<int32_t>::max()) {
      return Fail(error::kDiskFull);
    }
    const uint64_t position = db->RecordOffset(count);
    ScopedByteLock record_lock;
    if (record_lock.Acquire(*db, ScopedByteLock::Which::kMain, position) != 0) return Fail(error::kLockFailed);

    std::vector<uint8_t> record(db->record_length, 0);
    PutInt32(record.data(), next_id);
    // A failed append leaves both files as they were: the chains written
    // for it are given back and the main file cut to its old end, so that
    // the next save, once there is room again, finds them sound.
    std::vector<int32_t> chains;
    const auto undo = [&](int status) {
      for (int32_t first : chains) FreeMemoChain(*db, first);
      uint64_t length = 0;
      if (db->main->Length(&length) == 0 && length > position) db->main->Truncate(position);
      return Fail(status);
    };
    for (size_t i = 0; i < db->fields.size() && i < values.size(); ++i) {
      const Field& field = db->fields[i];
      if (IsLongType(field.type)) {
        if (!db->HasMemoFile()) return undo(error::kWriteFieldFailed);
        int32_t first = 0;
        if (int status = WriteMemoChain(*db, 0, LongValueBytes(field.type, values[i]), {}, &first); status != 0) {
          return undo(status);
        }
        chains.push_back(first);
        PutInt32(record.data() + field.offset, first);
      } else {
        EncodeScalar(field, values[i], record.data() + field.offset);
      }
    }
    if (FileStatus status = db->main->Write(position, record.data(), record.size()); status != 0) return undo(status);
    // The record reaches the disk before the count that makes it part of the file.
    if (FileStatus status = db->FlushAll(); status != 0) return undo(status);
    uint8_t counts[8];
    PutInt32(counts, count + 1);
    PutInt32(counts + 4, next_id + 1);
    FileStatus status = db->main->Write(kCountOffset, counts, sizeof counts);
    if (status == 0 && db->engine->DurableWrites()) status = db->main->Flush();
    if (status != 0) {
      // Reported as failed, so it must not stay counted: the old count goes back.
      PutInt32(counts, count);
      PutInt32(counts + 4, next_id);
      db->main->Write(kCountOffset, counts, sizeof counts);
      return undo(status);
    }
    db->current = count;
    return Succeed();
  } catch (const std::bad_alloc&) {
    return Fail(error::kOutOfMemory);
  }
}

bool DatabaseEngine::ClearAllRecords() {
  Database* db = Current();
  if (db == nullptr) return Fail(error::kNoCurrentDatabase);
  ScopedHold hold;
  if (int status = hold.Acquire(*db); status != 0) return Fail(status);
  // Each step reaches the disk before the next, so that a power cut between
  // any two leaves at worst lost space: first no record (their memo blocks
  // then unreferenced), then no record area, then no memo block in the
  // header's count, then none in the file.
  uint8_t zero[4] = {};
  if (FileStatus status = db->main->Write(kCountOffset, zero, 4); status != 0) return Fail(status);
  db->current = 0;
  if (FileStatus status = db->FlushAll(); status != 0) return Fail(status);
  if (FileStatus status = db->main->Truncate(db->record_start); status != 0) return Fail(status);
  if (db->memo) {
    uint8_t memo_counts[12] = {};
    PutInt32(memo_counts, 1);
    if (FileStatus status = db->memo->Write(kBlockCountOffset, memo_counts, sizeof memo_counts); status != 0) {
      return Fail(status);
    }
    if (FileStatus status = db->FlushAll(); status != 0) return Fail(status);
    if (FileStatus status = db->memo->Truncate(kMemoBlockSize); status != 0) return Fail(status);
  }
  if (FileStatus status = db->FlushAll(); status != 0) return Fail(status);
  return Succeed();
}

bool DatabaseEngine::SearchForward(const std::function<bool()>& condition) {
  Database* db = Current();
  if (db == nullptr) return Fail(error::kNoCurrentDatabase);
  if (db->searching) return Fail(error::kUnknown);  // a search inside a search's condition
  ScopedByteLock header_lock;
  if (header_lock.Acquire(*db, ScopedByteLock::Which::kMain, kCountOffset) != 0) {
    return Fail(error::kRecordCountFailed);
  }
  int32_t count = 0, next_id = 0;
  if (db->ReadCountAndNextId(&count, &next_id) != 0) return Fail(error::kRecordCountFailed);
  const int64_t saved = db->current;
  const int64_t start = std::max<int64_t>(db->current, 0);
  if (count < 1 || start >= count) {
    SetLastError(0);
    return false;
  }
  struct SearchEnd {
    Database* db;
    ~SearchEnd() {
      db->searching = false;
      db->examined.clear();
    }
  } search_end{db};
  db->examined.resize(db->record_length);
  for (int64_t index = start; index < count; ++index) {
    const uint64_t position = db->RecordOffset(index);
    ScopedByteLock record_lock;
    if (record_lock.Acquire(*db, ScopedByteLock::Which::kMain, position) != 0) {
      db->current = saved;
      return Fail(error::kLockFailed);
    }
    size_t got = 0;
    if (db->main->Read(position, db->examined.data(), db->record_length, &got) != 0 || got < db->record_length) {
      db->current = saved;
      return Fail(error::kReadRecordFailed);
    }
    db->current = index;
    db->searching = true;
    const bool found = condition();
    db->searching = false;
    if (found) {
      db->current = index;
      return Succeed();
    }
  }
  db->current = saved;
  SetLastError(0);
  return false;
}

bool DatabaseEngine::ReadDatesOfRecords(const FieldSelector& selector, int from, int end,
                                        std::vector<double>& dates) {
  Database* db = Current();
  if (db == nullptr) return Fail(error::kNoCurrentDatabase);
  const Field* field = FindField(*db, selector);
  if (field == nullptr) return Fail(error::kNoSuchField);
  if (static_cast<FieldType>(field->type) != FieldType::kDateTime) return Fail(error::kReadFieldFailed);
  ScopedByteLock header_lock;
  if (header_lock.Acquire(*db, ScopedByteLock::Which::kMain, kCountOffset) != 0) {
    return Fail(error::kRecordCountFailed);
  }
  int32_t count = 0, next_id = 0;
  if (db->ReadCountAndNextId(&count, &next_id) != 0) return Fail(error::kRecordCountFailed);
  end = std::min(end, count);
  try {
    // Covered, a piece of records at once; otherwise each record under its
    // own lock, as a search reads it.
    const int per_read = db->LocksCovered() ? std::max<int>(1, (1 << 16) / static_cast<int>(db->record_length)) : 1;
    std::vector<uint8_t> records(static_cast<size_t>(per_read) * db->record_length);
    const auto append = [&](size_t in_read) {
      for (size_t i = 0; i < in_read; ++i) {
        dates.push_back(ClampDate(GetDouble(records.data() + i * db->record_length + field->offset)));
      }
    };
    for (int first = std::max(from, 0); first < end; first += per_read) {
      const int in_read = std::min(per_read, end - first);
      const uint64_t position = db->RecordOffset(first);
      ScopedByteLock record_lock;
      if (!db->LocksCovered() && record_lock.Acquire(*db, ScopedByteLock::Which::kMain, position) != 0) {
        return Fail(error::kLockFailed);
      }
      const size_t want = static_cast<size_t>(in_read) * db->record_length;
      size_t got = 0;
      // Past the page cache: the file holds what the cache would (writes go
      // through at once), and one pass over every record would only push out
      // the pages kept for the lookups.
      if (db->main->cipher().Read(position, records.data(), want, &got) != 0 || got < want) {
        append(got / db->record_length);  // the records read whole before the one that failed
        return Fail(error::kReadRecordFailed);
      }
      append(static_cast<size_t>(in_read));
    }
  } catch (const std::bad_alloc&) {
    return Fail(error::kOutOfMemory);
  }
  return Succeed();
}

int32_t DatabaseEngine::RecordId() {
  Database* db = Current();
  if (db == nullptr) return Fail(error::kNoCurrentDatabase), 0;
  if (db->searching) {
    SetLastError(0);
    return GetInt32(db->examined.data());
  }
  if (db->current < 0) return Fail(error::kNoCurrentRecord), 0;
  const uint64_t record = db->RecordOffset(db->current);
  ScopedByteLock record_lock;
  if (record_lock.Acquire(*db, ScopedByteLock::Which::kMain, record) != 0) return Fail(error::kLockFailed), 0;
  uint64_t length = 0;
  if (FileStatus status = db->main->Length(&length); status != 0) return Fail(status), 0;
  // After the last record (or a record cut off by another process) there is none.
  if (record + 4 > length) return Fail(error::kNoCurrentRecord), 0;
  uint8_t bytes[4];
  size_t got = 0;
  if (db->main->Read(record, bytes, sizeof bytes, &got) != 0 || got < sizeof bytes) {
    return Fail(error::kReadRecordFailed), 0;
  }
  SetLastError(0);
  return GetInt32(bytes);
}

}  // namespace tarnwick
