// Creating a database's two files.
#include <algorithm>
#include <cstring>
#include <limits>

#include "base/datetime.h"
#include "engine/database_internal.h"
#include "engine/errors.h"
#include "engine/record_codec.h"
#include "engine/rekey_record.h"

namespace tarnwick {

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
    if (!IsKnownType(field.type)) return Fail(error::kInvalidFieldType);
    if (IsType(field.type, FieldType::kText) && (field.width < 1 || field.width > kMaxTextWidth)) return Fail(error::kInvalidFieldSize);
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
  const double now = EncodeDateTime(file_system_->LocalDateTime());
  const bool needs_memo = std::any_of(fields.begin(), fields.end(), [](const FieldInf& f) { return IsLongType(f.type); });

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
    PutInt32(descriptor + 28, IsType(fields[i].type, FieldType::kText) ? fields[i].width : 0);
    offset += static_cast<uint32_t>(FieldTypeSize(fields[i].type, fields[i].width));
  }

  const FileOpenMode create_mode{FileAccess::kReadWrite, ShareMode::kExclusive, true};
  {
    std::unique_ptr<File> file;
    if (file_system_->Open(main_path, create_mode, &file) != 0) return Fail(error::kCreateFailed);
    // A recovery record left by a cut-short password change belongs to the
    // files being replaced; the next open would apply it (and its copies) to the new ones.
    const std::string record_path = RekeyRecordPath(main_path);
    if (file_system_->Exists(record_path) && file_system_->Remove(record_path) != 0) return Fail(error::kCreateFailed);
    for (int i = 0; i < 2; ++i) {
      if (const std::string copy = RekeyCopyPath(main_path, i); file_system_->Exists(copy)) file_system_->Remove(copy);
    }
    if (file->WriteAt(0, bytes.data(), bytes.size()) != 0) return Fail(error::kCreateFailed);
    if (durable_writes_ && file->Flush() != 0) return Fail(error::kCreateFailed);
  }
  if (needs_memo) {
    if (int result = CreateMemoFile(*file_system_, ResolveMemoPath(*file_system_, main_path), now, durable_writes_);
        result != 0) {
      return Fail(result);
    }
  }
  return Succeed();
}

int CreateMemoFile(FileSystem& file_system, const std::string& memo_path, double created, bool durable) {
  uint8_t memo_header[kMemoBlockSize] = {};
  std::memcpy(memo_header, kMemoMagic, 4);
  PutInt32(memo_header + 4, static_cast<int32_t>(kFormatVersion));
  PutDouble(memo_header + 8, created);
  PutInt32(memo_header + 16, 1);
  const FileOpenMode create_mode{FileAccess::kReadWrite, ShareMode::kExclusive, true};
  std::unique_ptr<File> file;
  if (file_system.Open(memo_path, create_mode, &file) != 0) return error::kCreateMemoFileFailed;
  if (file->WriteAt(0, memo_header, sizeof memo_header) != 0) return error::kCreateMemoFileFailed;
  if (durable && file->Flush() != 0) return error::kCreateMemoFileFailed;
  return 0;
}

int CompleteCutShortCreation(FileSystem& file_system, const Database& db, bool durable) {
  if (file_system.Exists(db.memo_path)) {
    // Made, but power was lost before its first bytes reached the disk.
    std::unique_ptr<File> memo;
    uint64_t length = 0;
    if (file_system.Open(db.memo_path, {}, &memo) != 0 || memo->Length(&length) != 0 || length != 0) return 0;
  }
  const FileHeader header = ParseFileHeader(db.header);
  uint64_t length = 0;
  if (db.read_only || !header.plain_magic || header.record_count != 0 || db.main->Length(&length) != 0 ||
      length != db.record_start) {
    return error::kMemoFileReadFailed;
  }
  return CreateMemoFile(file_system, db.memo_path, header.created, durable);
}

}  // namespace tarnwick
