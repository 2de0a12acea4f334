// The engine's operations on its open databases.
#include "engine/database.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include "base/text.h"
#include "engine/cipher_file.h"
#include "engine/database_internal.h"
#include "engine/errors.h"
#include "engine/md5.h"

namespace tarnwick {

namespace {

constexpr int kRecordCountWaitMs = 2000;

bool Fail(int code) {
  SetLastError(code);
  return false;
}

bool Succeed() {
  SetLastError(0);
  return true;
}

bool IsMemoType(int type) { return type == 11 || type == 12; }

std::string CutAtZero(const uint8_t* bytes, size_t length) {
  const void* zero = std::memchr(bytes, 0, length);
  size_t used = zero == nullptr ? length : static_cast<size_t>(static_cast<const uint8_t*>(zero) - bytes);
  return std::string(reinterpret_cast<const char*>(bytes), used);
}

// A field's bytes in a record, from a value of any kind.
void EncodeScalar(const Field& field, const FieldValue& value, uint8_t* out) {
  switch (field.type) {
    case 1: out[0] = static_cast<uint8_t>(value.AsInteger()); break;
    case 2: {
      auto v = static_cast<uint16_t>(value.AsInteger());
      out[0] = static_cast<uint8_t>(v);
      out[1] = static_cast<uint8_t>(v >> 8);
      break;
    }
    case 3:
    case 9: PutInt32(out, static_cast<int32_t>(value.AsInteger())); break;
    case 4: PutInt64(out, value.AsInteger()); break;
    case 5: {
      float v = static_cast<float>(value.AsDouble());
      uint32_t bits;
      std::memcpy(&bits, &v, sizeof bits);
      PutInt32(out, static_cast<int32_t>(bits));
      break;
    }
    case 6:
    case 8: PutDouble(out, value.AsDouble()); break;
    case 7: out[0] = value.AsBoolean() ? 1 : 0; break;
    case 10: {
      std::string text = value.AsText();
      std::memset(out, 0, field.size);
      std::memcpy(out, text.data(), std::min<size_t>(text.size(), field.size));
      break;
    }
    default: break;
  }
}

FieldValue DecodeScalar(const Field& field, const uint8_t* bytes) {
  switch (field.type) {
    case 1: return FieldValue::Integer(bytes[0]);
    case 2: return FieldValue::Integer(static_cast<int16_t>(uint16_t{bytes[0]} | uint16_t{bytes[1]} << 8));
    case 3:
    case 9: return FieldValue::Integer(GetInt32(bytes));
    case 4: return FieldValue::Integer(GetInt64(bytes));
    case 5: {
      uint32_t bits = static_cast<uint32_t>(GetInt32(bytes));
      float v;
      std::memcpy(&v, &bits, sizeof v);
      return FieldValue::Float(v);
    }
    case 6: return FieldValue::Float(GetDouble(bytes));
    case 7: return FieldValue::Boolean(bytes[0] != 0);
    case 8: return FieldValue::DateTime(ClampDate(GetDouble(bytes)));
    case 10: return FieldValue::Text(CutAtZero(bytes, field.size));
    default: return {};
  }
}

// The empty value of a field's kind, returned on failure.
FieldValue EmptyValue(int type) {
  switch (type) {
    case 1: case 2: case 3: case 4: case 9: return FieldValue::Integer(0);
    case 5: case 6: return FieldValue::Float(0);
    case 7: return FieldValue::Boolean(false);
    case 8: return FieldValue::DateTime(0);
    case 10: case 12: return FieldValue::Text({});
    case 11: return FieldValue::Bytes({});
    default: return {};
  }
}

// Bytes of a long value: a memo keeps its text up to the first zero byte.
std::string LongValueBytes(int type, const FieldValue& value) {
  std::string bytes = value.AsText();
  if (type == 12) {
    size_t zero = bytes.find('\0');
    if (zero != std::string::npos) bytes.resize(zero);
  }
  return bytes;
}

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

// The path a name reaches: default extension, a case-insensitive match of the
// file name when the exact one does not exist, then made absolute.
std::string ResolvePath(FileSystem& file_system, std::string_view path) {
  return file_system.AbsolutePath(file_system.MatchNameIgnoringCase(WithDefaultExtension(path)));
}

std::string ResolveMemoPath(FileSystem& file_system, const std::string& main_path) {
  return file_system.MatchNameIgnoringCase(MemoPathOf(main_path));
}

// Releases a whole-file lock taken directly on a file (during an open).
class ScopedRangeLock {
 public:
  ScopedRangeLock() = default;
  ScopedRangeLock(const ScopedRangeLock&) = delete;
  ScopedRangeLock& operator=(const ScopedRangeLock&) = delete;
  ~ScopedRangeLock() {
    if (file_ != nullptr) file_->Unlock(0, kWholeFileLength);
  }
  FileStatus Acquire(FileSystem& file_system, int wait_ms, CachedFile& file) {
    FileStatus status = RetryOnConflict(file_system, wait_ms, [&] { return file.Lock(0, kWholeFileLength); });
    if (status == 0) file_ = &file;
    return status;
  }

 private:
  CachedFile* file_ = nullptr;
};

}  // namespace

// ---- Engine ------------------------------------------------------------------

DatabaseEngine::DatabaseEngine(FileSystem* file_system)
    : file_system_(file_system != nullptr ? file_system : DefaultFileSystem()),
      cache_meter_(std::make_unique<CacheMeter>()) {}

DatabaseEngine::~DatabaseEngine() = default;

Database* DatabaseEngine::Current() {
  if (current_ < 0 || static_cast<size_t>(current_) >= databases_.size()) return nullptr;
  return databases_[static_cast<size_t>(current_)].get();
}

// Alias first, then title, then absolute path; the most recently opened wins.
Database* DatabaseEngine::FindByName(std::string_view name) {
  if (name.empty()) return nullptr;
  for (int pass = 0; pass < 3; ++pass) {
    for (auto it = databases_.rbegin(); it != databases_.rend(); ++it) {
      const Database& db = **it;
      const std::string& candidate = pass == 0 ? db.alias : pass == 1 ? db.title : db.path;
      if (!candidate.empty() && NamesEqual(candidate, name)) return it->get();
    }
  }
  return nullptr;
}

// ---- Create --------------------------------------------------------------------

bool DatabaseEngine::CreateDatabase(std::string_view path, const std::vector<FieldInf>& definitions) {
  if (path.empty()) return Fail(error::kFileNotFound);
  std::vector<FieldInf> fields;
  for (const FieldInf& definition : definitions) {
    if (definition.name.empty()) break;
    fields.push_back(definition);
  }
  if (fields.empty()) return Fail(error::kNoFields);
  int64_t record_length = 4;
  for (size_t i = 0; i < fields.size(); ++i) {
    const FieldInf& field = fields[i];
    if (field.name.size() > kMaxFieldNameLength || !IsValidName(field.name)) return Fail(error::kInvalidFieldName);
    if (field.type < 1 || field.type > 12) return Fail(error::kInvalidFieldType);
    if (field.type == 10 && (field.width < 1 || field.width > kMaxTextWidth)) return Fail(error::kInvalidFieldSize);
    for (size_t j = 0; j < i; ++j) {
      if (NamesEqual(fields[j].name, field.name)) return Fail(error::kDuplicateFieldName);
    }
    record_length += FieldTypeSize(field.type, field.width);
    if (record_length > std::numeric_limits<int32_t>::max()) return Fail(error::kInvalidFieldSize);
  }
  if (fields.size() > (std::numeric_limits<int32_t>::max() - kDescriptorsOffset) / kDescriptorSize) {
    return Fail(error::kNoFields);
  }

  const std::string main_path = ResolvePath(*file_system_, path);
  const double now = CurrentLocalDateTime();
  const bool needs_memo = std::any_of(fields.begin(), fields.end(), [](const FieldInf& f) { return IsMemoType(f.type); });

  std::vector<uint8_t> bytes(kDescriptorsOffset + fields.size() * kDescriptorSize, 0);
  std::memcpy(bytes.data(), kPlainMagic, 4);
  PutInt32(bytes.data() + 4, static_cast<int32_t>(kFormatVersion));
  PutDouble(bytes.data() + 8, now);
  PutInt32(bytes.data() + 16, 0);
  PutInt32(bytes.data() + 20, 1);
  PutInt32(bytes.data() + 24, static_cast<int32_t>(record_length));
  PutInt32(bytes.data() + kFieldCountOffset, static_cast<int32_t>(fields.size()));
  uint32_t offset = 4;
  for (size_t i = 0; i < fields.size(); ++i) {
    uint8_t* descriptor = bytes.data() + kDescriptorsOffset + i * kDescriptorSize;
    std::memcpy(descriptor, fields[i].name.data(), fields[i].name.size());
    PutInt32(descriptor + 20, fields[i].type);
    PutInt32(descriptor + 24, static_cast<int32_t>(offset));
    PutInt32(descriptor + 28, fields[i].type == 10 ? fields[i].width : 0);
    offset += static_cast<uint32_t>(FieldTypeSize(fields[i].type, fields[i].width));
  }

  const FileOpenMode create_mode{FileAccess::kReadWrite, ShareMode::kExclusive, true};
  {
    std::unique_ptr<File> file;
    if (file_system_->Open(main_path, create_mode, &file) != 0) return Fail(error::kCreateFailed);
    if (file->WriteAt(0, bytes.data(), bytes.size()) != 0) return Fail(error::kCreateFailed);
    if (durable_writes_ && file->Flush() != 0) return Fail(error::kCreateFailed);
  }
  if (needs_memo) {
    uint8_t memo_header[kMemoBlockSize] = {};
    std::memcpy(memo_header, kMemoMagic, 4);
    PutInt32(memo_header + 4, static_cast<int32_t>(kFormatVersion));
    PutDouble(memo_header + 8, now);
    PutInt32(memo_header + 16, 1);
    std::unique_ptr<File> file;
    if (file_system_->Open(ResolveMemoPath(*file_system_, main_path), create_mode, &file) != 0) {
      return Fail(error::kCreateMemoFileFailed);
    }
    if (file->WriteAt(0, memo_header, sizeof memo_header) != 0) return Fail(error::kCreateMemoFileFailed);
    if (durable_writes_ && file->Flush() != 0) return Fail(error::kCreateMemoFileFailed);
  }
  return Succeed();
}

// ---- Open ----------------------------------------------------------------------

namespace {

// The open's checks: the header, the password, the descriptors.
int ReadAndCheckHeader(Database& db, std::string* password, bool ask, const PasswordPromptHook& hook) {
  CachedFile& main = *db.main;
  size_t got = 0;
  if (FileStatus status = main.Read(0, db.header, kHeaderSize, &got); status != 0) return status;
  if (got < kHeaderSize) return error::kNotDatabaseFile;

  const FileHeader first_read = ParseFileHeader(db.header);
  if (!first_read.plain_magic && !first_read.protected_magic) return error::kNotDatabaseFile;
  if (first_read.plain_magic) {
    if (!ask && !password->empty()) return error::kWrongPassword;
    if (ask) password->clear();
  } else if (!ask) {
    if (password->empty() || !CheckBlockMatches(db.header + kCheckBlockOffset, CheckText(*password))) {
      return error::kWrongPassword;
    }
  } else {
    int wrong_answers = 0;
    for (;;) {
      if (!hook) return error::kWrongPassword;
      PasswordPromptRequest request;
      request.title = Gbk("密码输入");
      request.prompt = Gbk("请输入数据库访问密码：");
      request.confirm_button = Gbk("确认(&O)");
      request.cancel_button = Gbk("取消(&C)");
      if (wrong_answers > 0) {
        request.retry_line = Gbk("密码错误，您还有 " + std::to_string(3 - wrong_answers) + " 次重新输入的机会。");
      }
      request.wrong_answers = wrong_answers;
      std::optional<std::string> answer = hook(request);
      if (!answer) return error::kWrongPassword;
      main.cipher().SetPassword(*answer);
      main.Forget();
      if (FileStatus status = main.Read(0, db.header, kHeaderSize, &got); status != 0) return status;
      if (got < kHeaderSize) return error::kNotDatabaseFile;
      if (!answer->empty() && CheckBlockMatches(db.header + kCheckBlockOffset, CheckText(*answer))) {
        *password = std::move(*answer);
        break;
      }
      std::fill(answer->begin(), answer->end(), '\0');
      if (++wrong_answers >= 3) return error::kWrongPassword;
    }
  }

  const FileHeader header = ParseFileHeader(db.header);
  const int32_t record_length = header.record_length;
  if (record_length <= 0 || header.record_count < 0 || header.next_record_id <= 0) return error::kNotDatabaseFile;
  if (header.version > kFormatVersion) return error::kVersionTooHigh;

  uint8_t count_bytes[4];
  if (FileStatus status = main.Read(kFieldCountOffset, count_bytes, 4, &got); status != 0) return status;
  if (got < 4) return error::kNotDatabaseFile;
  const int32_t field_count = GetInt32(count_bytes);
  if (field_count < 1) return error::kNotDatabaseFile;
  // The descriptors must fit the file before anything is allocated for them.
  uint64_t length = 0;
  if (FileStatus status = main.Length(&length); status != 0) return status;
  const uint64_t descriptors_end = kDescriptorsOffset + static_cast<uint64_t>(field_count) * kDescriptorSize;
  if (descriptors_end > length) return error::kNotDatabaseFile;

  std::vector<uint8_t> descriptors(static_cast<size_t>(field_count) * kDescriptorSize);
  if (FileStatus status = main.Read(kDescriptorsOffset, descriptors.data(), descriptors.size(), &got); status != 0) {
    return status;
  }
  if (got < descriptors.size()) return error::kNotDatabaseFile;
  uint64_t expected_length = 4;
  db.fields.clear();
  db.fields.reserve(static_cast<size_t>(field_count));
  for (int32_t i = 0; i < field_count; ++i) {
    FieldDescriptor descriptor = ParseFieldDescriptor(descriptors.data() + static_cast<size_t>(i) * kDescriptorSize);
    if (!descriptor.name_terminated) return error::kNotDatabaseFile;
    Field field;
    field.name = std::move(descriptor.name);
    field.type = descriptor.type;
    const int32_t offset = descriptor.offset;
    field.width = descriptor.width;
    if (offset < 0 || field.type < 1 || field.type > 12) return error::kNotDatabaseFile;
    // Text is never wider than creation allows; a wider one would make a
    // damaged file ask for huge records.
    if (field.type == 10 && (field.width <= 0 || field.width > kMaxTextWidth)) return error::kNotDatabaseFile;
    field.offset = static_cast<uint32_t>(offset);
    field.size = static_cast<uint32_t>(FieldTypeSize(field.type, field.width));
    // A field outside the record would read or write a neighbour's bytes.
    if (static_cast<uint64_t>(field.offset) + field.size > static_cast<uint64_t>(record_length)) {
      return error::kNotDatabaseFile;
    }
    expected_length += field.size;
    db.fields.push_back(std::move(field));
  }
  if (expected_length != static_cast<uint64_t>(record_length)) return error::kNotDatabaseFile;
  db.record_start = descriptors_end;
  db.record_length = static_cast<uint32_t>(record_length);
  return 0;
}

// Repair of the record area: the count follows the whole records present; a tail is cut off.
int RepairRecordArea(Database& db) {
  uint64_t length = 0;
  if (FileStatus status = db.main->Length(&length); status != 0) return status;
  const int32_t count = GetInt32(db.header + kCountOffset);
  const uint64_t whole = (length - db.record_start) / db.record_length;
  int32_t new_count = count;
  if (whole < static_cast<uint64_t>(count)) {
    if (db.read_only) return error::kFileSizeWrong;
    new_count = static_cast<int32_t>(whole);
    uint8_t bytes[4];
    PutInt32(bytes, new_count);
    if (FileStatus status = db.main->Write(kCountOffset, bytes, 4); status != 0) return status;
    PutInt32(db.header + kCountOffset, new_count);
  }
  if (!db.read_only) {
    const uint64_t wanted = db.RecordOffset(new_count);
    if (wanted != length) {
      if (FileStatus status = db.main->Truncate(wanted); status != 0) return status;
    }
  }
  return 0;
}

// The memo file's header, and its block count against its length.
int CheckMemoFile(Database& db) {
  CachedFile& memo = *db.memo;
  uint8_t header[kMemoHeaderSize];
  size_t got = 0;
  if (memo.Read(0, header, sizeof header, &got) != 0 || got < sizeof header) return error::kMemoFileReadFailed;
  const MemoFileHeader parsed = ParseMemoFileHeader(header);
  const int32_t block_count = parsed.block_count;
  const int32_t free_count = parsed.free_count;
  const int32_t first_free = parsed.first_free;
  if (!parsed.magic || block_count <= 0 || free_count < 0 || free_count >= block_count ||
      first_free < 0 || first_free >= block_count) {
    return error::kMemoFileReadFailed;
  }
  if (parsed.version != ParseFileHeader(db.header).version) return error::kMemoFileVersion;
  uint64_t length = 0;
  if (memo.Length(&length) != 0) return error::kMemoFileReadFailed;
  const uint64_t blocks_present = length / kMemoBlockSize;
  if (blocks_present < static_cast<uint64_t>(block_count)) {
    if (db.read_only) return error::kMemoFileDamaged;
    // Block 0 holds the header; a file without it cannot be repaired.
    if (blocks_present < 1) return error::kMemoFileReadFailed;
    uint8_t repaired[12];
    PutInt32(repaired, static_cast<int32_t>(blocks_present));
    PutInt32(repaired + 4, free_count);
    PutInt32(repaired + 8, first_free);
    // A free list that starts in the lost tail cannot be followed; its blocks
    // held no data, so it is dropped rather than left pointing outside.
    if (first_free >= static_cast<int32_t>(blocks_present) || free_count >= static_cast<int32_t>(blocks_present)) {
      PutInt32(repaired + 4, 0);
      PutInt32(repaired + 8, 0);
    }
    if (FileStatus status = memo.Write(kBlockCountOffset, repaired, sizeof repaired); status != 0) return status;
  }
  return 0;
}

}  // namespace

bool DatabaseEngine::OpenDatabase(std::string_view path, const OpenOptions& options) {
  if (path.empty()) return Fail(error::kFileNotFound);
  if (!options.alias.empty() && !IsValidName(options.alias)) return Fail(error::kInvalidAlias);
  auto db = std::make_unique<Database>();
  db->engine = this;
  db->path = ResolvePath(*file_system_, path);
  for (const auto& open : databases_) {
    if (NamesEqual(open->path, db->path)) return Fail(error::kAlreadyOpen);
  }
  db->title = TitleOf(db->path);
  db->alias = options.alias;
  db->read_only = options.read_only;
  db->share = options.share;

  const bool ask = options.password == "?";
  std::string password = ask ? std::string() : options.password;
  // The password lives on only in the file keys; this copy is wiped on every way out.
  struct Wiper {
    std::string& text;
    ~Wiper() { std::fill(text.begin(), text.end(), '\0'); }
  } wipe_password{password};
  const FileOpenMode mode{options.read_only ? FileAccess::kRead : FileAccess::kReadWrite, options.share, false};

  // Opens one of the two files through the cipher and the cache, retrying a
  // conflict for the lock wait time, and locks it whole for the rest of the open.
  auto open_file = [&](const std::string& file_path, size_t cache_bytes, std::unique_ptr<CachedFile>* opened,
                       ScopedRangeLock* open_lock) -> int {
    std::unique_ptr<File> file;
    FileStatus status =
        RetryOnConflict(*file_system_, lock_wait_ms_, [&] { return file_system_->Open(file_path, mode, &file); });
    if (status != 0) return status;
    *opened = std::make_unique<CachedFile>(std::make_unique<CipherFile>(std::move(file), password), cache_bytes,
                                           cache_meter_.get());
    if (db->DeniesOthersReading()) return 0;
    return open_lock->Acquire(*file_system_, lock_wait_ms_, **opened) != 0 ? error::kLockFailed : 0;
  };

  ScopedRangeLock open_lock;
  if (int result = open_file(db->path, kMainCacheBytes, &db->main, &open_lock); result != 0) return Fail(result);
  if (int result = ReadAndCheckHeader(*db, &password, ask, prompt_hook_); result != 0) return Fail(result);
  if (int result = RepairRecordArea(*db); result != 0) return Fail(result);

  if (std::any_of(db->fields.begin(), db->fields.end(), [](const Field& f) { return IsMemoType(f.type); })) {
    db->memo_path = ResolveMemoPath(*file_system_, db->path);
    ScopedRangeLock memo_lock;
    if (int result = open_file(db->memo_path, kMemoCacheBytes, &db->memo, &memo_lock); result != 0) {
      // A memo file that cannot be opened reads as missing; a lock conflict stays one.
      return Fail(result == error::kLockFailed ? error::kLockFailed : error::kMemoFileReadFailed);
    }
    if (int result = CheckMemoFile(*db); result != 0) return Fail(result);
  }
  if (!db->read_only && db->FlushAll() != 0) return Fail(error::kOpenFailed);
  db->current = 0;
  db->UpdateCaching();
  databases_.push_back(std::move(db));
  current_ = static_cast<int>(databases_.size()) - 1;
  return Succeed();
}

bool DatabaseEngine::SelectDatabase(std::string_view name) {
  Database* db = FindByName(name);
  if (db == nullptr) return Fail(error::kNamedDatabaseNotOpen);
  for (size_t i = 0; i < databases_.size(); ++i) {
    if (databases_[i].get() == db) current_ = static_cast<int>(i);
  }
  return Succeed();
}

void DatabaseEngine::CloseDatabase() {
  Database* db = Current();
  if (db == nullptr) {
    SetLastError(error::kNoCurrentDatabase);
    return;
  }
  if (db->searching) {
    SetLastError(error::kUnknown);  // a search condition cannot close the database it runs on
    return;
  }
  databases_.erase(databases_.begin() + current_);
  current_ = -1;
  SetLastError(0);
}

void DatabaseEngine::CloseDatabase(std::string_view name) {
  Database* db = FindByName(name);
  SetLastError(0);
  if (db == nullptr) return;
  if (db->searching) {
    SetLastError(error::kUnknown);
    return;
  }
  for (size_t i = 0; i < databases_.size(); ++i) {
    if (databases_[i].get() != db) continue;
    databases_.erase(databases_.begin() + static_cast<std::ptrdiff_t>(i));
    if (current_ == static_cast<int>(i)) {
      current_ = -1;
    } else if (current_ > static_cast<int>(i)) {
      --current_;
    }
    return;
  }
}

// ---- Records -------------------------------------------------------------------

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
      if (record_lock.Acquire(*db, ScopedByteLock::Which::kMain, record) != 0) {
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
    if (IsMemoType(field->type)) {
      if (!db->HasMemoFile()) return SetLastError(error::kReadFieldFailed), EmptyValue(field->type);
      std::string value;
      if (int status = ReadMemoChain(*db, GetInt32(bytes), &value); status != 0) {
        return SetLastError(status), EmptyValue(field->type);
      }
      SetLastError(0);
      if (field->type == 12) {
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
    if (IsMemoType(field->type)) {
      if (!db->HasMemoFile()) return Fail(error::kWriteFieldFailed);
      uint8_t old_bytes[4];
      size_t got = 0;
      if (db->main->Read(position, old_bytes, 4, &got) != 0 || got < 4) return Fail(error::kWriteFieldFailed);
      int32_t new_first = 0;
      if (int status = WriteMemoChain(*db, GetInt32(old_bytes), LongValueBytes(field->type, value), &new_first);
          status != 0) {
        return Fail(status);
      }
      PutInt32(bytes.data(), new_first);
    } else {
      EncodeScalar(*field, value, bytes.data());
    }
    if (FileStatus status = db->main->Write(position, bytes.data(), bytes.size()); status != 0) return Fail(status);
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
    for (size_t i = 0; i < db->fields.size() && i < values.size(); ++i) {
      const Field& field = db->fields[i];
      if (IsMemoType(field.type)) {
        if (!db->HasMemoFile()) return Fail(error::kWriteFieldFailed);
        int32_t first = 0;
        if (int status = WriteMemoChain(*db, 0, LongValueBytes(field.type, values[i]), &first); status != 0) {
          return Fail(status);
        }
        PutInt32(record.data() + field.offset, first);
      } else {
        EncodeScalar(field, values[i], record.data() + field.offset);
      }
    }
    if (FileStatus status = db->main->Write(position, record.data(), record.size()); status != 0) return Fail(status);
    // The record reaches the disk before the count that makes it part of the file.
    if (FileStatus status = db->FlushAll(); status != 0) return Fail(status);
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
      return Fail(status);
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
  if (int status = db->BeginHold(); status != 0) return Fail(status);
  struct HoldEnd {
    Database* db;
    ~HoldEnd() { db->EndHold(); }
  } hold_end{db};
  uint8_t zero[4] = {};
  if (FileStatus status = db->main->Write(kCountOffset, zero, 4); status != 0) return Fail(status);
  if (FileStatus status = db->main->Truncate(db->record_start); status != 0) return Fail(status);
  if (db->memo) {
    uint8_t memo_counts[12] = {};
    PutInt32(memo_counts, 1);
    if (FileStatus status = db->memo->Write(kBlockCountOffset, memo_counts, sizeof memo_counts); status != 0) {
      return Fail(status);
    }
    if (FileStatus status = db->memo->Truncate(kMemoBlockSize); status != 0) return Fail(status);
  }
  db->current = 0;
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

bool DatabaseEngine::LockDatabase() {
  Database* db = Current();
  if (db == nullptr) return Fail(error::kNoCurrentDatabase);
  if (db->LockWholeFile() != 0) return Fail(error::kLockFailed);
  return Succeed();
}

bool DatabaseEngine::UnlockDatabase() {
  Database* db = Current();
  if (db == nullptr) return Fail(error::kNoCurrentDatabase);
  if (db->UnlockWholeFile() != 0) return Fail(error::kUnlockFailed);
  return Succeed();
}

// ---- Password ----------------------------------------------------------------------

bool DatabaseEngine::SetPassword(std::string_view new_password) {
  Database* db = Current();
  if (db == nullptr) return Fail(error::kNoCurrentDatabase);
  if (new_password == "?") return Fail(error::kInvalidPasswordText);
  if (int status = db->BeginHold(); status != 0) return Fail(status);
  struct HoldEnd {
    Database* db;
    ~HoldEnd() { db->EndHold(); }
  } hold_end{db};

  std::shared_ptr<CipherKey> old_main_key = db->main->cipher().key();
  std::shared_ptr<CipherKey> old_memo_key = db->memo ? db->memo->cipher().key() : nullptr;
  auto restore = [&] {
    // Both files back under the old key, so the database opens as before.
    db->main->cipher().Rekey(old_main_key);
    if (db->memo) db->memo->cipher().Rekey(old_memo_key);
    db->main->Forget();
    if (db->memo) db->memo->Forget();
  };
  if (db->main->cipher().Rekey(MakeCipherKey(new_password)) != 0) return Fail(error::kRekeyFailed);
  if (db->memo && db->memo->cipher().Rekey(MakeCipherKey(new_password)) != 0) {
    restore();
    return Fail(error::kRekeyFailed);
  }
  uint8_t check_block[kCheckBlockSize] = {};
  if (!new_password.empty()) {
    std::string text = CheckText(new_password);
    std::memcpy(check_block, text.data(), text.size());
  }
  FileStatus status = db->main->Write(kCheckBlockOffset, check_block, sizeof check_block);
  if (status == 0) status = db->main->Write(0, new_password.empty() ? kPlainMagic : kProtectedMagic, 4);
  if (status == 0) status = db->FlushAll();
  if (status != 0) {
    restore();
    uint8_t old_check[kCheckBlockSize] = {};
    const std::string& old_text = KeyCheckText(old_main_key.get());
    std::memcpy(old_check, old_text.data(), old_text.size());
    db->main->Write(kCheckBlockOffset, old_check, sizeof old_check);
    db->main->Write(0, old_main_key ? kProtectedMagic : kPlainMagic, 4);
    db->FlushAll();
    return Fail(status);
  }
  return Succeed();
}

bool DatabaseEngine::IsPasswordProtected(std::string_view name_or_path) {
  if (Database* db = FindByName(name_or_path)) {
    SetLastError(0);
    return db->main->cipher().HasKey();
  }
  if (name_or_path.empty()) return Fail(error::kFileNotFound);
  std::unique_ptr<File> file;
  FileStatus status = file_system_->Open(ResolvePath(*file_system_, name_or_path),
                                         FileOpenMode{FileAccess::kRead, ShareMode::kExclusive, false}, &file);
  if (status != 0) return Fail(status);
  char magic[4];
  size_t got = 0;
  if (file->ReadAt(0, magic, 4, &got) != 0 || got < 4) return Fail(error::kNotDatabaseFile);
  SetLastError(0);
  return std::memcmp(magic, kProtectedMagic, 4) == 0;
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

DatabasePaths DatabaseEngine::ResolvePaths(std::string_view path) {
  if (path.empty()) return {};
  DatabasePaths paths;
  paths.main = ResolvePath(*file_system_, path);
  paths.memo = ResolveMemoPath(*file_system_, paths.main);
  return paths;
}

CacheMemory DatabaseEngine::CacheMemoryUse() const { return cache_meter_->Reading(); }

void DatabaseEngine::ResetCacheMemoryPeak() { cache_meter_->ResetPeak(); }

// ---- Introspection -------------------------------------------------------------------

std::vector<FieldInf> DatabaseEngine::Fields() {
  std::vector<FieldInf> result;
  if (Database* db = Current()) {
    for (const Field& field : db->fields) result.push_back(FieldInf{field.name, field.type, field.width});
  }
  return result;
}

int DatabaseEngine::CurrentPosition() {
  Database* db = Current();
  return db == nullptr ? -1 : static_cast<int>(db->current);
}

std::string DatabaseEngine::CurrentPath() {
  Database* db = Current();
  return db == nullptr ? std::string() : db->path;
}

// ---- The process's engine ----------------------------------------------------------

DatabaseEngine& ProcessEngine() {
  static DatabaseEngine* engine = new DatabaseEngine();
  return *engine;
}

bool CreateDatabase(std::string_view path, const std::vector<FieldInf>& fields) {
  return ProcessEngine().CreateDatabase(path, fields);
}
bool OpenDatabase(std::string_view path, std::string_view alias, bool read_only, ShareMode share,
                  std::string_view password) {
  OpenOptions options;
  options.alias = std::string(alias);
  options.read_only = read_only;
  options.share = share;
  options.password = std::string(password);
  bool result = ProcessEngine().OpenDatabase(path, options);
  std::fill(options.password.begin(), options.password.end(), '\0');
  return result;
}
bool SelectDatabase(std::string_view name) { return ProcessEngine().SelectDatabase(name); }
void CloseDatabase() { ProcessEngine().CloseDatabase(); }
void CloseDatabase(std::string_view name) { ProcessEngine().CloseDatabase(name); }
int RecordCount() { return ProcessEngine().RecordCount(); }
void GoFirst() { ProcessEngine().GoFirst(); }
bool Skip(int n) { return ProcessEngine().Skip(n); }
FieldValue ReadField(const FieldSelector& field) { return ProcessEngine().ReadField(field); }
bool WriteField(const FieldSelector& field, const FieldValue& value) { return ProcessEngine().WriteField(field, value); }
bool AppendRecord(const std::vector<FieldValue>& values) { return ProcessEngine().AppendRecord(values); }
bool ClearAllRecords() { return ProcessEngine().ClearAllRecords(); }
bool SearchForward(const std::function<bool()>& condition) { return ProcessEngine().SearchForward(condition); }
bool LockDatabase() { return ProcessEngine().LockDatabase(); }
bool UnlockDatabase() { return ProcessEngine().UnlockDatabase(); }
bool SetPassword(std::string_view new_password) { return ProcessEngine().SetPassword(new_password); }
bool IsPasswordProtected(std::string_view name_or_path) { return ProcessEngine().IsPasswordProtected(name_or_path); }
int32_t RecordId() { return ProcessEngine().RecordId(); }
DatabasePaths ResolveDatabasePaths(std::string_view path) { return ProcessEngine().ResolvePaths(path); }
CacheMemory CacheMemoryUse() { return ProcessEngine().CacheMemoryUse(); }
void ResetCacheMemoryPeak() { ProcessEngine().ResetCacheMemoryPeak(); }
void SetLockWaitTime(int milliseconds) { ProcessEngine().SetLockWaitTime(milliseconds); }
int LockWaitTime() { return ProcessEngine().LockWaitTime(); }
void SetDurableWrites(bool on) { ProcessEngine().SetDurableWrites(on); }
void SetPasswordPromptHook(PasswordPromptHook hook) { ProcessEngine().SetPasswordPromptHook(std::move(hook)); }

}  // namespace tarnwick
