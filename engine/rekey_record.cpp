#include "engine/rekey_record.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>
#include <vector>

#include "engine/database_format.h"
#include "engine/database_internal.h"
#include "engine/md5.h"
#include "engine/open_checks.h"

namespace tarnwick {

namespace {

// Record layout (little-endian), 80 bytes:
//   0   4  magic "RKEY"
//   4   4  version 2
//   8   4  number of files (1: main only, 2: main and memo)
//   12  4  piece size the digests were taken with
//   16  8  main copy's length
//   24  8  memo copy's length
//   32  16 main copy's digest
//   48  16 memo copy's digest
//   64  16 MD5 of bytes 0..63
// A copy's digest is the MD5 of the 64-bit hashes of its pieces, so that a
// copy torn or never written whole is caught before it overwrites anything.
constexpr char kRecordMagic[4] = {'R', 'K', 'E', 'Y'};
constexpr uint32_t kRecordVersion = 2;
constexpr size_t kRecordBytes = 80;
constexpr size_t kRecordDigested = 64;
// Version 1 records held key material and windows of the files; their
// preamble alone was this long.
constexpr uint32_t kOldRecordVersion = 1;
constexpr uint64_t kOldRecordPreamble = 672;
// The header bytes whose meaning depends on the key: the magic and the check block.
constexpr size_t kKeyedHeaderBytes = kCheckBlockOffset + kCheckBlockSize;
constexpr uint64_t kLargestPiece = uint64_t{16} << 20;

std::atomic<uint64_t> piece_bytes{uint64_t{64} << 10};  // few system calls, little memory

const FileOpenMode kExclusiveReadWrite{FileAccess::kReadWrite, ShareMode::kExclusive, false};
const FileOpenMode kExclusiveNew{FileAccess::kReadWrite, ShareMode::kExclusive, true, true};

void PutUint32(uint8_t* at, uint32_t value) {
  for (int i = 0; i < 4; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}
void PutUint64(uint8_t* at, uint64_t value) {
  for (int i = 0; i < 8; ++i) at[i] = static_cast<uint8_t>(value >> (8 * i));
}
uint32_t GetUint32(const uint8_t* at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | at[i];
  return value;
}
uint64_t GetUint64(const uint8_t* at) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i) value = value << 8 | at[i];
  return value;
}

// A fast 64-bit hash of one piece of a copy. It only has to catch a copy that
// was torn or never written whole, not a forgery.
constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ULL;
constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4FULL;
constexpr uint64_t kPrime3 = 0x165667B19E3779F9ULL;

uint64_t Rotate(uint64_t value, int bits) { return value << bits | value >> (64 - bits); }
uint64_t Mix(uint64_t lane, uint64_t word) { return Rotate(lane + word * kPrime2, 31) * kPrime1; }

uint64_t LoadWord(const uint8_t* at) {
  if constexpr (std::endian::native == std::endian::little) {
    uint64_t word;
    std::memcpy(&word, at, 8);
    return word;
  } else {
    return GetUint64(at);
  }
}

uint64_t PieceHash(const uint8_t* data, size_t count) {
  uint64_t lanes[4] = {kPrime1 + kPrime2, kPrime2, 0, 0 - kPrime1};
  size_t i = 0;
  for (; i + 32 <= count; i += 32) {
    for (int lane = 0; lane < 4; ++lane) lanes[lane] = Mix(lanes[lane], LoadWord(data + i + 8 * lane));
  }
  uint64_t hash = count * kPrime3;
  for (uint64_t lane : lanes) hash = (hash ^ Mix(0, lane)) * kPrime1 + kPrime3;
  for (; i < count; ++i) hash = Rotate((hash ^ data[i]) * kPrime1, 23);
  hash ^= hash >> 33;
  hash *= kPrime2;
  hash ^= hash >> 29;
  hash *= kPrime3;
  return hash ^ (hash >> 32);
}

std::string_view View(const uint8_t* data, size_t count) {
  return std::string_view(reinterpret_cast<const char*>(data), count);
}

// Collects the piece hashes of one copy.
class CopyDigest {
 public:
  void Add(const uint8_t* data, size_t count) {
    uint8_t hash[8];
    PutUint64(hash, PieceHash(data, count));
    hashes_.append(View(hash, sizeof hash));
  }
  std::array<uint8_t, 16> Finish() const { return Md5(hashes_); }

 private:
  std::string hashes_;
};

struct Record {
  int file_count = 1;
  uint64_t piece = 0;
  uint64_t lengths[2] = {};
  std::array<uint8_t, 16> digests[2] = {};

  void Encode(uint8_t out[kRecordBytes]) const {
    std::memset(out, 0, kRecordBytes);
    std::memcpy(out, kRecordMagic, 4);
    PutUint32(out + 4, kRecordVersion);
    PutUint32(out + 8, static_cast<uint32_t>(file_count));
    PutUint32(out + 12, static_cast<uint32_t>(piece));
    for (int i = 0; i < 2; ++i) {
      PutUint64(out + 16 + 8 * i, lengths[i]);
      std::memcpy(out + 32 + 16 * i, digests[i].data(), 16);
    }
    const std::array<uint8_t, 16> digest = Md5(View(out, kRecordDigested));
    std::memcpy(out + kRecordDigested, digest.data(), digest.size());
  }

  bool Decode(const uint8_t bytes[kRecordBytes]) {
    if (std::memcmp(bytes, kRecordMagic, 4) != 0 || GetUint32(bytes + 4) != kRecordVersion) return false;
    const std::array<uint8_t, 16> digest = Md5(View(bytes, kRecordDigested));
    if (std::memcmp(digest.data(), bytes + kRecordDigested, digest.size()) != 0) return false;
    file_count = static_cast<int>(GetUint32(bytes + 8));
    piece = GetUint32(bytes + 12);
    for (int i = 0; i < 2; ++i) {
      lengths[i] = GetUint64(bytes + 16 + 8 * i);
      std::memcpy(digests[i].data(), bytes + 32 + 16 * i, 16);
    }
    return (file_count == 1 || file_count == 2) && piece >= kCipherBlockSize && piece % kCipherBlockSize == 0 &&
           piece <= kLargestPiece;
  }
};

// The bytes of the record file: whole (a record in force), or void.
enum class RecordState { kVoid, kWhole, kOldLayout };

FileStatus ReadRecord(File& file, Record* record, RecordState* state) {
  *state = RecordState::kVoid;
  uint8_t bytes[kRecordBytes] = {};
  size_t got = 0;
  if (FileStatus status = file.ReadAt(0, bytes, sizeof bytes, &got); status != 0) return status;
  if (got == kRecordBytes && record->Decode(bytes)) {
    *state = RecordState::kWhole;
    return 0;
  }
  uint64_t length = 0;
  if (FileStatus status = file.Length(&length); status != 0) return status;
  if (got >= 8 && std::memcmp(bytes, kRecordMagic, 4) == 0 && GetUint32(bytes + 4) == kOldRecordVersion &&
      length >= kOldRecordPreamble) {
    *state = RecordState::kOldLayout;
  }
  return 0;
}

FileStatus Flush(File& file, bool durable) { return durable ? file.Flush() : 0; }

// Copies source over target piece by piece (transform, when given, applied to
// each piece first), cuts target to the source's length and flushes it.
template <typename Transform>
FileStatus CopyOver(File& source, File& target, uint64_t length, std::vector<uint8_t>& piece, bool durable,
                    const Transform& transform) {
  for (uint64_t position = 0; position < length;) {
    const size_t count = static_cast<size_t>(std::min<uint64_t>(piece.size(), length - position));
    size_t got = 0;
    if (FileStatus status = source.ReadAt(position, piece.data(), count, &got); status != 0) return status;
    if (got < count) return error::kEndOfFile;
    transform(position, piece.data(), count);
    if (FileStatus status = target.WriteAt(position, piece.data(), count); status != 0) return status;
    position += count;
  }
  uint64_t target_length = 0;
  if (FileStatus status = target.Length(&target_length); status != 0) return status;
  if (target_length != length) {
    if (FileStatus status = target.Truncate(length); status != 0) return status;
  }
  return Flush(target, durable);
}

// Whether a copy is what the record says it is.
FileStatus CopyMatches(File& copy, uint64_t length, uint64_t piece_size, const std::array<uint8_t, 16>& expected,
                       std::vector<uint8_t>& piece, bool* matches) {
  *matches = false;
  uint64_t actual = 0;
  if (FileStatus status = copy.Length(&actual); status != 0) return status;
  if (actual != length) return 0;
  CopyDigest digest;
  piece.resize(static_cast<size_t>(piece_size));
  for (uint64_t position = 0; position < length;) {
    const size_t count = static_cast<size_t>(std::min<uint64_t>(piece_size, length - position));
    size_t got = 0;
    if (FileStatus status = copy.ReadAt(position, piece.data(), count, &got); status != 0) return status;
    if (got < count) return 0;
    digest.Add(piece.data(), count);
    position += count;
  }
  *matches = digest.Finish() == expected;
  return 0;
}

// Voids the record: emptied and flushed, and still held; or closed and
// removed when it cannot be emptied.
FileStatus VoidRecord(FileSystem& file_system, const std::string& path, std::unique_ptr<File>& record, bool durable) {
  FileStatus status = record->Truncate(0);
  if (status == 0) status = Flush(*record, durable);
  if (status == 0) return 0;
  record.reset();
  return file_system.Remove(path);
}

// Removes what a void record leaves: the copies, then the record itself (an
// empty record left behind by a failed removal is removed by the next open).
// The record is removed while it is still held where the system allows it,
// so a change starting meanwhile cannot have its new record taken away: its
// exclusive creation fails while the name stands.
void RemoveVoidRecord(FileSystem& file_system, const std::string& main_path, std::unique_ptr<File> held) {
  bool copies_gone = true;
  for (int i = 0; i < 2; ++i) {
    const std::string copy = RekeyCopyPath(main_path, i);
    if (file_system.Exists(copy) && file_system.Remove(copy) != 0) copies_gone = false;
  }
  const std::string record = RekeyRecordPath(main_path);
  if (!copies_gone || !file_system.Exists(record)) return;
  if (held != nullptr && file_system.Remove(record) == 0) return;
  held.reset();  // Windows removes no open file; there, creation and exclusion are one step
  file_system.Remove(record);
}

// Brings the names of the record and the copies to the disk, before the
// record is made whole: a power cut must not leave a whole record without its
// copies, nor files half overwritten without the record.
FileStatus FlushNames(FileSystem& file_system, const std::string& main_path, bool durable) {
  if (!durable) return 0;
  const size_t separator = main_path.rfind(kPathSeparator);
  return file_system.FlushFolder(separator == std::string::npos ? std::string(".")
                                                                : main_path.substr(0, separator == 0 ? 1 : separator));
}

// Step 3's end: once the copies are written (status 0), their names go to
// the disk and the record is made whole. On any failure the copies are let
// go and the record voided and removed, so the change has not happened;
// *record_left when a record that may be whole cannot be voided (the next
// open would finish the change).
FileStatus MakeRecordWhole(FileSystem& file_system, const std::string& main_path, std::unique_ptr<File>& record,
                           const Record& contents, std::unique_ptr<File> (&copies)[2], FileStatus status, bool durable,
                           bool* record_left) {
  uint8_t record_bytes[kRecordBytes];
  contents.Encode(record_bytes);
  if (status == 0) status = FlushNames(file_system, main_path, durable);
  if (status == 0) {
    status = record->WriteAt(0, record_bytes, sizeof record_bytes);
    if (status == 0) status = Flush(*record, durable);
  }
  if (status == 0) return 0;
  for (auto& copy : copies) copy.reset();
  if (VoidRecord(file_system, RekeyRecordPath(main_path), record, durable) != 0) {
    *record_left = true;
    return status;
  }
  RemoveVoidRecord(file_system, main_path, std::move(record));
  return status;
}

// Whether file, held open, is the one named path (not one removed and
// replaced meanwhile).
bool IsFileAt(FileSystem& file_system, File& file, const std::string& path) {
  FileIdentity held;
  FileIdentity named;
  return file.Identity(&held) == 0 && file_system.IdentityAt(path, &named) == 0 && held == named;
}

// Whether a file starts with one of the store's own magics: the main file's
// (plain or enciphered) or the memo file's. The first four bytes are never
// enciphered.
FileStatus HasStoreMagic(File& file, int index, bool* has) {
  char magic[4] = {};
  size_t got = 0;
  *has = false;
  if (FileStatus status = file.ReadAt(0, magic, sizeof magic, &got); status != 0) return status;
  if (got < sizeof magic) return 0;
  *has = index == 0 ? std::memcmp(magic, kPlainMagic, 4) == 0 || std::memcmp(magic, kProtectedMagic, 4) == 0
                    : std::memcmp(magic, kMemoMagic, 4) == 0;
  return 0;
}

// Writes the copy of one file under the new key: every byte from offset 4 on
// deciphered with the old key and enciphered with the new one, the main
// file's magic and check block made for the new key.
FileStatus WriteCopy(File& source, File& copy, int index, CipherKey* old_key, CipherKey* new_key,
                     std::vector<uint8_t>& piece, bool durable, uint64_t* length, std::array<uint8_t, 16>* digest) {
  if (FileStatus status = source.Length(length); status != 0) return status;
  uint8_t keyed_header[kKeyedHeaderBytes] = {};
  if (index == 0) {
    std::memcpy(keyed_header, new_key != nullptr ? kProtectedMagic : kPlainMagic, 4);
    const std::string& text = KeyCheckText(new_key);
    std::memcpy(keyed_header + kCheckBlockOffset, text.data(), text.size());
    ApplyCipher(new_key, kCheckBlockOffset, keyed_header + kCheckBlockOffset, kCheckBlockSize);
  }
  CopyDigest hashes;
  FileStatus status = CopyOver(source, copy, *length, piece, durable, [&](uint64_t position, uint8_t* data, size_t count) {
    ApplyCipher(old_key, position, data, count);
    ApplyCipher(new_key, position, data, count);
    if (index == 0 && position == 0 && count >= kKeyedHeaderBytes) {
      std::memcpy(data, keyed_header, 4);
      std::memcpy(data + kCheckBlockOffset, keyed_header + kCheckBlockOffset, kCheckBlockSize);
    }
    hashes.Add(data, count);
  });
  *digest = hashes.Finish();
  return status;
}

}  // namespace

std::string RekeyRecordPath(const std::string& main_path) { return main_path + "-rekey"; }

std::string RekeyCopyPath(const std::string& main_path, int index) {
  return main_path + (index == 0 ? "-rekey-main" : "-rekey-memo");
}

void SetRekeyPieceBytes(uint64_t bytes) {
  piece_bytes = std::clamp<uint64_t>(bytes / kCipherBlockSize * kCipherBlockSize, kCipherBlockSize, kLargestPiece);
}

uint64_t RekeyPieceBytes() { return piece_bytes; }

FileStatus RekeyWithRecord(FileSystem& file_system, const std::string& main_path, const RekeyTargets& files,
                           const std::shared_ptr<CipherKey>& old_key, const std::shared_ptr<CipherKey>& new_key,
                           bool durable, bool* record_left) {
  *record_left = false;
  const std::string record_path = RekeyRecordPath(main_path);
  // A record already there belongs to a change this connection knows nothing
  // of: creation refuses it. Once held, the record must still be the one at
  // its name: an open that found it empty in between may have removed it.
  std::unique_ptr<File> record;
  if (FileStatus status = file_system.Open(record_path, kExclusiveNew, &record); status != 0) return status;
  if (!IsFileAt(file_system, *record, record_path)) return error::kSharingViolation;

  File* targets[2] = {files.main, files.memo};
  const int file_count = files.memo != nullptr ? 2 : 1;
  Record contents;
  contents.file_count = file_count;
  contents.piece = RekeyPieceBytes();
  std::vector<uint8_t> piece(static_cast<size_t>(contents.piece));
  struct Wiped {
    std::vector<uint8_t>& bytes;
    ~Wiped() { WipeMemory(bytes.data(), bytes.size()); }
  } wipe_piece{piece};

  // Steps 1 to 3: nothing of the files is touched until the record is whole.
  std::unique_ptr<File> copies[2];
  uint8_t old_header[kKeyedHeaderBytes] = {};
  size_t header_got = 0;
  FileStatus status = files.main->ReadAt(0, old_header, sizeof old_header, &header_got);
  if (status == 0 && header_got < sizeof old_header) status = error::kNotDatabaseFile;
  for (int i = 0; i < file_count && status == 0; ++i) {
    // Made new: whatever lay under the name before (a leftover, a link) goes itself.
    const std::string copy_path = RekeyCopyPath(main_path, i);
    if (file_system.Exists(copy_path)) status = file_system.Remove(copy_path);
    if (status == 0) status = file_system.Open(copy_path, kExclusiveNew, &copies[i]);
    if (status == 0) {
      status = WriteCopy(*targets[i], *copies[i], i, old_key.get(), new_key.get(), piece, durable,
                         &contents.lengths[i], &contents.digests[i]);
    }
  }
  if (status = MakeRecordWhole(file_system, main_path, record, contents, copies, status, durable, record_left);
      status != 0) {
    return status;
  }

  // Step 4: past the point of no return.
  for (int i = 0; i < file_count && status == 0; ++i) {
    status = CopyOver(*copies[i], *targets[i], contents.lengths[i], piece, durable, [](uint64_t, uint8_t*, size_t) {});
  }
  // Step 5 begins with emptying the record in place.
  if (status == 0) {
    status = record->Truncate(0);
    if (status == 0) status = Flush(*record, durable);
    if (status != 0) {
      // Whole again before the files are touched, so that a kill while they
      // are put back still finishes the change.
      uint8_t record_bytes[kRecordBytes];
      contents.Encode(record_bytes);
      if (record->WriteAt(0, record_bytes, sizeof record_bytes) != 0 || Flush(*record, durable) != 0) {
        // The files are whole under the new key and flushed; the record,
        // whole or void, settles to them.
        *record_left = true;
        return status;
      }
    }
  }
  if (status != 0) {
    // Back to the old bytes, made from the copies; the record says "forward"
    // until they are all back and flushed.
    FileStatus undo = 0;
    for (int i = 0; i < file_count && undo == 0; ++i) {
      undo = CopyOver(*copies[i], *targets[i], contents.lengths[i], piece, durable,
                      [&](uint64_t position, uint8_t* data, size_t count) {
                        ApplyCipher(new_key.get(), position, data, count);
                        ApplyCipher(old_key.get(), position, data, count);
                        if (i == 0 && position == 0 && count >= kKeyedHeaderBytes) {
                          std::memcpy(data, old_header, kKeyedHeaderBytes);
                        }
                      });
    }
    if (undo != 0 || VoidRecord(file_system, record_path, record, durable) != 0) {
      *record_left = true;
      return status;
    }
  }
  for (auto& copy : copies) copy.reset();
  RemoveVoidRecord(file_system, main_path, std::move(record));
  return status;
}

int FinishInterruptedRekey(FileSystem& file_system, int lock_wait_ms, const std::string& main_path, bool durable,
                           std::string* refused) {
  const std::string record_path = RekeyRecordPath(main_path);
  if (!file_system.Exists(record_path)) return 0;
  // Names the file a status of kInvalidFile is about.
  const auto opened = [&](FileStatus status, const std::string& path) {
    if (status == error::kInvalidFile && refused != nullptr) *refused = path;
    return status;
  };
  std::unique_ptr<File> record;
  FileStatus status = RetryOnConflict(file_system, lock_wait_ms,
                                      [&] { return file_system.Open(record_path, kExclusiveReadWrite, &record); });
  if (status != 0) return opened(status, record_path);

  Record contents;
  RecordState state = RecordState::kVoid;
  if (status = ReadRecord(*record, &contents, &state); status != 0) return status;
  if (state == RecordState::kOldLayout) return error::kNotDatabaseFile;
  if (state == RecordState::kVoid) {
    // Never whole, so the files were never touched; or voided at the end.
    RemoveVoidRecord(file_system, main_path, std::move(record));
    return 0;
  }

  // A record and copies found beside a store are trusted to overwrite only
  // the store's own files with the store's own kind of file.
  std::vector<uint8_t> piece;
  std::unique_ptr<File> copies[2], targets[2];
  for (int i = 0; i < contents.file_count; ++i) {
    const std::string target_path = i == 0 ? main_path : ResolveMemoPath(file_system, main_path);
    const std::string copy_path = RekeyCopyPath(main_path, i);
    status = opened(RetryOnConflict(file_system, lock_wait_ms,
                                    [&] { return file_system.Open(target_path, kExclusiveReadWrite, &targets[i]); }),
                    target_path);
    if (status == 0) status = opened(file_system.Open(copy_path, kExclusiveReadWrite, &copies[i]), copy_path);
    if (status == error::kFileNotFound) return error::kNotDatabaseFile;  // a copy taken away: nothing to finish with
    if (status != 0) return status;
    bool target_is_store = false;
    bool copy_is_store = false;
    if ((status = HasStoreMagic(*targets[i], i, &target_is_store)) != 0) return status;
    if ((status = HasStoreMagic(*copies[i], i, &copy_is_store)) != 0) return status;
    if (!target_is_store || !copy_is_store) return error::kNotDatabaseFile;
    bool matches = false;
    status = CopyMatches(*copies[i], contents.lengths[i], contents.piece, contents.digests[i], piece, &matches);
    if (status != 0) return status;
    if (!matches) return error::kNotDatabaseFile;
  }
  for (int i = 0; i < contents.file_count; ++i) {
    status = CopyOver(*copies[i], *targets[i], contents.lengths[i], piece, durable, [](uint64_t, uint8_t*, size_t) {});
    if (status != 0) return status;
  }
  WipeMemory(piece.data(), piece.size());
  for (auto& copy : copies) copy.reset();
  if (status = VoidRecord(file_system, record_path, record, durable); status != 0) return status;
  RemoveVoidRecord(file_system, main_path, std::move(record));
  return 0;
}

int CheckForInterruptedRekey(FileSystem& file_system, int lock_wait_ms, const std::string& main_path,
                             std::string* refused) {
  const std::string record_path = RekeyRecordPath(main_path);
  if (!file_system.Exists(record_path)) return 0;
  std::unique_ptr<File> record;
  // Held exclusively by a change under way; a reader waits for it as for a lock.
  FileStatus status =
      RetryOnConflict(file_system, lock_wait_ms, [&] { return file_system.Open(record_path, FileOpenMode{}, &record); });
  if (status == error::kInvalidFile && refused != nullptr) *refused = record_path;
  if (status == error::kSharingViolation) return error::kLockFailed;
  if (status != 0) return status;
  Record contents;
  RecordState state = RecordState::kVoid;
  if (status = ReadRecord(*record, &contents, &state); status != 0) return status;
  if (state == RecordState::kOldLayout) return error::kNotDatabaseFile;
  return state == RecordState::kWhole ? error::kRekeyFailed : 0;
}

FileStatus ReplaceWithRecord(FileSystem& file_system, const std::string& main_path, const RekeyTargets& targets,
                             const RekeyTargets& sources, bool durable, bool* record_left) {
  *record_left = false;
  const std::string record_path = RekeyRecordPath(main_path);
  std::unique_ptr<File> record;
  if (FileStatus status = file_system.Open(record_path, kExclusiveNew, &record); status != 0) return status;
  if (!IsFileAt(file_system, *record, record_path)) return error::kSharingViolation;

  File* from[2] = {sources.main, sources.memo};
  File* to[2] = {targets.main, targets.memo};
  Record contents;
  contents.file_count = sources.memo != nullptr && targets.memo != nullptr ? 2 : 1;
  contents.piece = RekeyPieceBytes();
  std::vector<uint8_t> piece(static_cast<size_t>(contents.piece));
  std::unique_ptr<File> copies[2];
  FileStatus status = 0;
  for (int i = 0; i < contents.file_count && status == 0; ++i) {
    status = file_system.Open(RekeyCopyPath(main_path, i), kExclusiveNew, &copies[i]);
    if (status == 0) status = from[i]->Length(&contents.lengths[i]);
    CopyDigest hashes;
    if (status == 0) {
      status = CopyOver(*from[i], *copies[i], contents.lengths[i], piece, durable,
                        [&](uint64_t, uint8_t* data, size_t count) { hashes.Add(data, count); });
    }
    contents.digests[i] = hashes.Finish();
  }
  if (status = MakeRecordWhole(file_system, main_path, record, contents, copies, status, durable, record_left);
      status != 0) {
    return status;
  }
  // Past the point of no return: what fails now is finished by the next open.
  for (int i = 0; i < contents.file_count && status == 0; ++i) {
    status = CopyOver(*copies[i], *to[i], contents.lengths[i], piece, durable, [](uint64_t, uint8_t*, size_t) {});
  }
  if (status == 0) status = VoidRecord(file_system, record_path, record, durable);
  if (status != 0) {
    *record_left = true;
    return status;
  }
  for (auto& copy : copies) copy.reset();
  RemoveVoidRecord(file_system, main_path, std::move(record));
  return 0;
}

}  // namespace tarnwick
