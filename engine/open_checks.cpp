// The checks and repairs of an open: the header and descriptors, the record
// area, the memo file's header and free list.
#include "engine/open_checks.h"

#include <algorithm>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/errors.h"
#include "engine/record_codec.h"

namespace tarnwick {

int CheckHeaderAndFields(Database& db) {
  CachedFile& main = *db.main;
  size_t got = 0;
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
    if (offset < 0 || !IsKnownType(field.type)) return error::kNotDatabaseFile;
    // Text is never wider than creation allows; a wider one would make a
    // damaged file ask for huge records.
    if (IsType(field.type, FieldType::kText) && (field.width <= 0 || field.width > kMaxTextWidth)) return error::kNotDatabaseFile;
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
  // Fields that overlap each other or the record id would overwrite each
  // other's bytes on every write. With the sizes adding up, the fields must
  // tile the record after its id, in any order.
  std::vector<std::pair<uint32_t, uint32_t>> spans;
  spans.reserve(db.fields.size());
  for (const Field& field : db.fields) spans.emplace_back(field.offset, field.size);
  std::sort(spans.begin(), spans.end());
  uint64_t covered_to = 4;
  for (const auto& [offset, size] : spans) {
    if (offset < covered_to) return error::kNotDatabaseFile;
    covered_to = static_cast<uint64_t>(offset) + size;
  }
  db.record_start = descriptors_end;
  db.record_length = static_cast<uint32_t>(record_length);
  return 0;
}

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
  const FileHeader main_header = ParseFileHeader(db.header);
  if (parsed.version != main_header.version) return error::kMemoFileVersion;
  // A memo file from another database would pair this one's records with
  // its texts; nothing of either is touched.
  if (CreationStampsDiffer(main_header.created, parsed.created)) return error::kMemoFileOfAnotherDatabase;
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
    return 0;  // the free list, if kept, is set right by the next open
  }
  if (db.read_only) return 0;
  return RepairFreeList(memo, block_count, free_count, first_free);
}

// Linking a block into the free list or out of it takes more than one write,
// and a kill in between can leave a back link or the free count behind the
// forward links. The engine follows only the forward links, so nothing is
// lost, but the list is set right here: trimming the tail believes only links
// that agree. A list that loops, leaves the file or runs into a used block
// is left as it is; taking blocks refuses it.
int RepairFreeList(CachedFile& memo, int32_t block_count, int32_t free_count, int32_t first_free) {
  // The whole list is followed before anything is written.
  std::vector<std::pair<int32_t, int32_t>> wrong_back_links;  // block, the predecessor it must name
  std::unordered_set<int32_t> seen;
  int32_t previous = 0;
  int32_t listed = 0;
  for (int32_t block = first_free; block != 0;) {
    if (block < 1 || block >= block_count || !seen.insert(block).second) return 0;
    uint8_t bytes[kBlockHeaderSize];
    size_t got = 0;
    if (memo.Read(static_cast<uint64_t>(block) * kMemoBlockSize, bytes, sizeof bytes, &got) != 0 ||
        got < sizeof bytes) {
      return 0;
    }
    const MemoBlockHeader header = ParseMemoBlockHeader(bytes);
    if (header.length != 0) return 0;
    if (header.previous != previous) wrong_back_links.emplace_back(block, previous);
    ++listed;
    previous = block;
    block = header.next;
  }
  for (const auto& [block, predecessor] : wrong_back_links) {
    uint8_t link[4];
    PutInt32(link, predecessor);
    if (FileStatus status = memo.Write(static_cast<uint64_t>(block) * kMemoBlockSize, link, sizeof link); status != 0) {
      return status;
    }
  }
  if (listed != free_count) {
    uint8_t count[4];
    PutInt32(count, listed);
    if (FileStatus status = memo.Write(kBlockCountOffset + 4, count, sizeof count); status != 0) return status;
  }
  return 0;
}


}  // namespace tarnwick
