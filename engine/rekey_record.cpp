#include "engine/rekey_record.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cstring>
#include <random>
#include <vector>

#include "engine/database_format.h"
#include "engine/database_internal.h"
#include "engine/md5.h"
#include "engine/open_checks.h"
#include "engine/rc4.h"

namespace tarnwick {

namespace {

// Record layout (little-endian). The preamble, written once:
//   0   4  magic "RKEY"
//   4   4  version 1
//   8   8  window bytes (slot size without its header)
//   16  16 nonce
//   32  1  number of files (1: main only, 2: main and memo)
//   33  1  1 when the old side has a password
//   34  1  1 when the new side has a password
//   48  16 old side's recognition digest (zeros without a password)
//   64  16 new side's recognition digest
//   80  288 new side's key material sealed under the old side's
//   368 288 old side's key material sealed under the new side's
//   656 16 MD5 of bytes 0..655
// Two slots follow at kSlotsStart, each a 64-byte header and window bytes:
//   0   8  sequence number (the higher valid slot is in force)
//   8   4  file (0 main, 1 memo)
//   16  8  first byte of the window
//   24  8  end of the window
//   32  8  boundary once the copy is put back: below it the new key, from it the old
//   40  16 MD5 of bytes 0..39 and the 64-bit hashes of the copy's pieces
//   64  .. the window's bytes as they stood before it was rewritten
constexpr char kRecordMagic[4] = {'R', 'K', 'E', 'Y'};
constexpr uint32_t kRecordVersion = 1;
constexpr size_t kPreambleUsed = 672;
constexpr size_t kPreambleDigested = 656;
constexpr uint64_t kSlotsStart = 1024;
constexpr size_t kSlotHeaderBytes = 64;
constexpr size_t kSlotDigested = 40;
constexpr size_t kNonceBytes = 16;
constexpr size_t kPiece = 16 * kCipherBlockSize;  // 64 KB: few system calls, little memory
constexpr uint64_t kLargestWindow = uint64_t{64} << 20;

std::atomic<uint64_t> window_bytes{uint64_t{4} << 20};

enum Side { kOld = 0, kNew = 1 };

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

// A fast 64-bit hash of one piece of a slot's copy. It only has to catch a
// copy that was torn or never written whole, not a forgery; the slot's digest
// (MD5) covers the header and these hashes.
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

// A digest of a key's material, the nonce and a label; the material is wiped
// from the scratch copies.
std::array<uint8_t, 16> KeyDigest(const CipherKey& key, const uint8_t* nonce, std::string_view label) {
  uint8_t material[kKeyMaterialSize];
  CopyKeyMaterial(key, material);
  std::string input;
  input.reserve(label.size() + kNonceBytes + sizeof material);  // one buffer, wiped below
  input.append(label);
  input.append(View(nonce, kNonceBytes));
  input.append(View(material, sizeof material));
  std::array<uint8_t, 16> digest = Md5(input);
  WipeMemory(material, sizeof material);
  WipeMemory(input.data(), input.size());
  return digest;
}

// XORs the other side's material with a keystream only this side's key gives.
void ApplySeal(const CipherKey& key, const uint8_t* nonce, uint8_t* data, size_t count) {
  std::array<uint8_t, 16> seal_key = KeyDigest(key, nonce, "seal");
  Rc4 stream(seal_key.data(), seal_key.size());
  stream.Discard(3072);  // RC4's first bytes are biased
  stream.Xor(data, count);
  WipeMemory(seal_key.data(), seal_key.size());
  WipeMemory(&stream, sizeof stream);
}

struct Preamble {
  uint64_t window = 0;
  int file_count = 0;
  bool has_key[2] = {};
  uint8_t bytes[kPreambleUsed] = {};
  ~Preamble() { WipeMemory(bytes, sizeof bytes); }
  const uint8_t* nonce() const { return bytes + 16; }
  const uint8_t* digest(Side side) const { return bytes + 48 + 16 * side; }
  // The other side's material, sealed under this side's key.
  const uint8_t* sealed(Side side) const { return bytes + 80 + kKeyMaterialSize * side; }
};

void BuildPreamble(Preamble& preamble, uint64_t window, int file_count, CipherKey* old_key, CipherKey* new_key) {
  uint8_t* bytes = preamble.bytes;
  std::memset(bytes, 0, kPreambleUsed);
  std::memcpy(bytes, kRecordMagic, 4);
  PutUint32(bytes + 4, kRecordVersion);
  PutUint64(bytes + 8, window);
  std::random_device random;
  for (size_t i = 0; i < kNonceBytes; i += 4) PutUint32(bytes + 16 + i, random());
  bytes[32] = static_cast<uint8_t>(file_count);
  CipherKey* keys[2] = {old_key, new_key};
  for (Side side : {kOld, kNew}) {
    bytes[33 + side] = keys[side] != nullptr;
    if (keys[side] == nullptr) continue;
    std::array<uint8_t, 16> digest = KeyDigest(*keys[side], bytes + 16, "check");
    std::memcpy(bytes + 48 + 16 * side, digest.data(), digest.size());
  }
  for (Side side : {kOld, kNew}) {
    CipherKey* other = keys[1 - side];
    if (other == nullptr) continue;
    uint8_t* sealed = bytes + 80 + kKeyMaterialSize * side;
    CopyKeyMaterial(*other, sealed);
    if (keys[side] != nullptr) ApplySeal(*keys[side], bytes + 16, sealed, kKeyMaterialSize);
  }
  std::array<uint8_t, 16> digest = Md5(View(bytes, kPreambleDigested));
  std::memcpy(bytes + kPreambleDigested, digest.data(), digest.size());
  preamble.window = window;
  preamble.file_count = file_count;
  preamble.has_key[kOld] = old_key != nullptr;
  preamble.has_key[kNew] = new_key != nullptr;
}

bool IsWholePreamble(Preamble* preamble) {
  const uint8_t* bytes = preamble->bytes;
  if (std::memcmp(bytes, kRecordMagic, 4) != 0 || GetUint32(bytes + 4) != kRecordVersion) return false;
  const std::array<uint8_t, 16> digest = Md5(View(bytes, kPreambleDigested));
  if (std::memcmp(digest.data(), bytes + kPreambleDigested, digest.size()) != 0) return false;
  preamble->window = GetUint64(bytes + 8);
  preamble->file_count = bytes[32];
  preamble->has_key[kOld] = bytes[33] != 0;
  preamble->has_key[kNew] = bytes[34] != 0;
  return preamble->window >= kCipherBlockSize && preamble->window % kCipherBlockSize == 0 &&
         preamble->window <= kLargestWindow && (preamble->file_count == 1 || preamble->file_count == 2);
}

// *whole is false when the record's preamble is incomplete or damaged; a
// read error is returned as such (it says nothing about the record).
FileStatus ReadPreamble(File& record, Preamble* preamble, bool* whole) {
  *whole = false;
  size_t got = 0;
  if (FileStatus status = record.ReadAt(0, preamble->bytes, kPreambleUsed, &got); status != 0) return status;
  *whole = got == kPreambleUsed && IsWholePreamble(preamble);
  return 0;
}
struct Slot {
  int index = -1;  // -1: no valid slot
  uint64_t sequence = 0;
  int file = 0;
  uint64_t start = 0;
  uint64_t end = 0;
  uint64_t boundary = 0;
};

uint64_t SlotOffset(uint64_t window, int index) {
  return kSlotsStart + static_cast<uint64_t>(index) * (kSlotHeaderBytes + window);
}

// The end of the piece that starts at position, pieces ending on cipher-block
// boundaries so that whole blocks are enciphered in one go.
uint64_t PieceEnd(uint64_t position, uint64_t end) {
  return std::min<uint64_t>(end, position / kCipherBlockSize * kCipherBlockSize + kPiece);
}

class Rekeyer {
 public:
  Rekeyer(File& record, const RekeyTargets& targets, CipherKey* old_key, CipherKey* new_key, uint64_t window,
          bool durable)
      : record_(record), window_(window), durable_(durable), piece_(kPiece) {
    files_[0] = targets.main;
    files_[1] = targets.memo;
    file_count_ = targets.memo != nullptr ? 2 : 1;
    keys_[kOld] = old_key;
    keys_[kNew] = new_key;
  }
  ~Rekeyer() { WipeMemory(piece_.data(), piece_.size()); }

  FileStatus MeasureFiles() {
    for (int i = 0; i < file_count_; ++i) {
      if (FileStatus status = files_[i]->Length(&lengths_[i]); status != 0) return status;
    }
    return 0;
  }

  // The slot in force, or index -1 when none is whole.
  FileStatus LatestSlot(Slot* latest) {
    *latest = Slot();
    for (int index = 0; index < 2; ++index) {
      Slot slot;
      bool valid = false;
      if (FileStatus status = ReadSlot(index, &slot, &valid); status != 0) return status;
      if (valid && (latest->index < 0 || slot.sequence > latest->sequence)) *latest = slot;
    }
    return 0;
  }

  // Puts the slot's copy back, which makes the files what the slot says.
  FileStatus Restore(const Slot& slot) {
    const uint64_t from = SlotOffset(window_, slot.index) + kSlotHeaderBytes;
    File& file = *files_[slot.file];
    for (uint64_t position = slot.start; position < slot.end;) {
      const uint64_t end = PieceEnd(position, slot.end);
      const size_t count = static_cast<size_t>(end - position);
      size_t got = 0;
      if (FileStatus status = record_.ReadAt(from + (position - slot.start), piece_.data(), count, &got); status != 0) {
        return status;
      }
      if (got < count) return error::kEndOfFile;
      if (FileStatus status = file.WriteAt(position, piece_.data(), count); status != 0) return status;
      position = end;
    }
    if (FileStatus status = Flush(file); status != 0) return status;
    file_ = slot.file;
    boundary_ = slot.boundary;
    sequence_ = slot.sequence + 1;
    next_slot_ = 1 - slot.index;
    return 0;
  }

  // Moves the boundary to the end: everything under the new key.
  FileStatus Forward() {
    for (;;) {
      if (boundary_ >= lengths_[file_]) {
        if (file_ + 1 >= file_count_) return 0;
        ++file_;
        boundary_ = kCipherStart;
        continue;
      }
      const uint64_t start = boundary_;
      const uint64_t end = std::min(lengths_[file_], (start / window_ + 1) * window_);
      if (FileStatus status = Window(start, end, start, kOld, kNew); status != 0) return status;
      boundary_ = end;
    }
  }

  // Moves the boundary to the start: everything under the old key.
  FileStatus Backward() {
    for (;;) {
      if (boundary_ <= kCipherStart) {
        if (file_ == 0) return 0;
        --file_;
        boundary_ = std::max(lengths_[file_], kCipherStart);
        continue;
      }
      const uint64_t end = boundary_;
      const uint64_t start = std::max(kCipherStart, (end - 1) / window_ * window_);
      if (FileStatus status = Window(start, end, end, kNew, kOld); status != 0) return status;
      boundary_ = start;
    }
  }

  // The magic and the check block of the side now in force, then every file flushed.
  FileStatus WriteHeader(Side side) {
    CipherKey* key = keys_[side];
    uint8_t check_block[kCheckBlockSize] = {};
    const std::string& text = KeyCheckText(key);
    std::memcpy(check_block, text.data(), text.size());
    ApplyCipher(key, kCheckBlockOffset, check_block, sizeof check_block);
    File& main = *files_[0];
    if (FileStatus status = main.WriteAt(kCheckBlockOffset, check_block, sizeof check_block); status != 0) {
      return status;
    }
    if (FileStatus status = main.WriteAt(0, key != nullptr ? kProtectedMagic : kPlainMagic, 4); status != 0) {
      return status;
    }
    for (int i = 0; i < file_count_; ++i) {
      if (FileStatus status = Flush(*files_[i]); status != 0) return status;
    }
    return 0;
  }

  void StartFresh() {
    file_ = 0;
    boundary_ = kCipherStart;
    sequence_ = 1;
    next_slot_ = 0;
  }

  FileStatus FlushRecord() { return Flush(record_); }

 private:
  FileStatus Flush(File& file) { return durable_ ? file.Flush() : 0; }

  void AppendPieceHash(std::string* digests, size_t count) {
    uint8_t hash[8];
    PutUint64(hash, PieceHash(piece_.data(), count));
    digests->append(View(hash, sizeof hash));
  }

  FileStatus ReadSlot(int index, Slot* slot, bool* valid) {
    *valid = false;
    const uint64_t offset = SlotOffset(window_, index);
    uint8_t header[kSlotHeaderBytes];
    size_t got = 0;
    if (FileStatus status = record_.ReadAt(offset, header, sizeof header, &got); status != 0) return status;
    if (got < sizeof header) return 0;
    slot->index = index;
    slot->sequence = GetUint64(header);
    slot->file = static_cast<int>(GetUint32(header + 8));
    slot->start = GetUint64(header + 16);
    slot->end = GetUint64(header + 24);
    slot->boundary = GetUint64(header + 32);
    if (slot->file < 0 || slot->file >= file_count_ || slot->start < kCipherStart || slot->end <= slot->start ||
        slot->end - slot->start > window_ || (slot->boundary != slot->start && slot->boundary != slot->end)) {
      return 0;
    }
    std::string digests(View(header, kSlotDigested));
    for (uint64_t position = slot->start; position < slot->end;) {
      const uint64_t end = PieceEnd(position, slot->end);
      const size_t count = static_cast<size_t>(end - position);
      FileStatus status =
          record_.ReadAt(offset + kSlotHeaderBytes + (position - slot->start), piece_.data(), count, &got);
      if (status != 0) return status;
      if (got < count) return 0;
      AppendPieceHash(&digests, count);
      position = end;
    }
    std::array<uint8_t, 16> digest = Md5(digests);
    *valid = std::memcmp(digest.data(), header + kSlotDigested, digest.size()) == 0;
    // A whole slot for a range the file no longer has: the file was cut
    // behind the record's back, and nothing can be settled safely.
    if (*valid && slot->end > lengths_[slot->file]) return error::kNotDatabaseFile;
    return 0;
  }

  // Copies [start, end) of the current file into the next slot, flushes the
  // record, rewrites the range from one key to the other and flushes the file.
  FileStatus Window(uint64_t start, uint64_t end, uint64_t restored_boundary, Side from, Side to) {
    File& file = *files_[file_];
    const uint64_t offset = SlotOffset(window_, next_slot_);
    uint8_t header[kSlotHeaderBytes] = {};
    PutUint64(header, sequence_);
    PutUint32(header + 8, static_cast<uint32_t>(file_));
    PutUint64(header + 16, start);
    PutUint64(header + 24, end);
    PutUint64(header + 32, restored_boundary);
    std::string digests(View(header, kSlotDigested));
    for (uint64_t position = start; position < end;) {
      const uint64_t piece_end = PieceEnd(position, end);
      const size_t count = static_cast<size_t>(piece_end - position);
      size_t got = 0;
      if (FileStatus status = file.ReadAt(position, piece_.data(), count, &got); status != 0) return status;
      if (got < count) return error::kEndOfFile;
      FileStatus status = record_.WriteAt(offset + kSlotHeaderBytes + (position - start), piece_.data(), count);
      if (status != 0) return status;
      AppendPieceHash(&digests, count);
      position = piece_end;
    }
    std::array<uint8_t, 16> digest = Md5(digests);
    std::memcpy(header + kSlotDigested, digest.data(), digest.size());
    if (FileStatus status = record_.WriteAt(offset, header, sizeof header); status != 0) return status;
    if (FileStatus status = Flush(record_); status != 0) return status;
    ++sequence_;
    next_slot_ = 1 - next_slot_;

    for (uint64_t position = start; position < end;) {
      const uint64_t piece_end = PieceEnd(position, end);
      const size_t count = static_cast<size_t>(piece_end - position);
      size_t got = 0;
      if (FileStatus status = file.ReadAt(position, piece_.data(), count, &got); status != 0) return status;
      if (got < count) return error::kEndOfFile;
      ApplyCipher(keys_[from], position, piece_.data(), count);
      ApplyCipher(keys_[to], position, piece_.data(), count);
      if (FileStatus status = file.WriteAt(position, piece_.data(), count); status != 0) return status;
      position = piece_end;
    }
    return Flush(file);
  }

  File& record_;
  File* files_[2] = {};
  int file_count_ = 1;
  uint64_t lengths_[2] = {};
  CipherKey* keys_[2] = {};
  uint64_t window_;
  bool durable_;
  std::vector<uint8_t> piece_;
  // Files before file_ are under the new key; file_ is under it below
  // boundary_ and under the old key from there; later files under the old key.
  int file_ = 0;
  uint64_t boundary_ = kCipherStart;
  uint64_t sequence_ = 1;
  int next_slot_ = 0;
};

const FileOpenMode kExclusiveReadWrite{FileAccess::kReadWrite, ShareMode::kExclusive, false};

// Removes the record; when it cannot be removed, empties it, which makes it
// void as well.
FileStatus RetireRecord(FileSystem& file_system, const std::string& path, std::unique_ptr<File>& record, bool durable) {
  record.reset();
  FileStatus status = file_system.Remove(path);
  if (status == 0) return 0;
  std::unique_ptr<File> reopened;
  if (file_system.Open(path, kExclusiveReadWrite, &reopened) != 0) return status;
  if (reopened->Truncate(0) != 0) return status;
  if (durable && reopened->Flush() != 0) return status;
  return 0;
}

// Settles the files after a failed re-key, from what the record says.
FileStatus RollBack(Rekeyer& rekeyer) {
  Slot slot;
  if (FileStatus status = rekeyer.LatestSlot(&slot); status != 0) return status;
  if (slot.index < 0) {
    rekeyer.StartFresh();  // no window was journaled, so none was touched
  } else if (FileStatus status = rekeyer.Restore(slot); status != 0) {
    return status;
  }
  if (FileStatus status = rekeyer.Backward(); status != 0) return status;
  return rekeyer.WriteHeader(kOld);
}

// The side whose key the password gives (-1: neither), and that key.
int SideOfPassword(const Preamble& preamble, std::string_view password, std::shared_ptr<CipherKey>* key) {
  key->reset();
  if (password.empty()) {
    for (Side side : {kOld, kNew}) {
      if (!preamble.has_key[side]) return side;
    }
    return -1;
  }
  std::shared_ptr<CipherKey> candidate = MakeCipherKey(password);
  for (Side side : {kOld, kNew}) {
    if (!preamble.has_key[side]) continue;
    const std::array<uint8_t, 16> digest = KeyDigest(*candidate, preamble.nonce(), "check");
    if (std::memcmp(digest.data(), preamble.digest(side), digest.size()) == 0) {
      *key = candidate;
      return side;
    }
  }
  return -1;
}

}  // namespace

std::string RekeyRecordPath(const std::string& main_path) { return main_path + "-rekey"; }

void SetRekeyWindowBytes(uint64_t bytes) {
  window_bytes = std::clamp<uint64_t>(bytes / kCipherBlockSize * kCipherBlockSize, kCipherBlockSize, kLargestWindow);
}

uint64_t RekeyWindowBytes() { return window_bytes; }

FileStatus RekeyWithRecord(FileSystem& file_system, const std::string& record_path, const RekeyTargets& files,
                           const std::shared_ptr<CipherKey>& old_key, const std::shared_ptr<CipherKey>& new_key,
                           bool durable, bool* record_left) {
  *record_left = false;
  // A record already there belongs to a re-key this connection knows nothing of.
  if (file_system.Exists(record_path)) return error::kAccessDenied;
  std::unique_ptr<File> record;
  FileStatus status =
      file_system.Open(record_path, FileOpenMode{FileAccess::kReadWrite, ShareMode::kExclusive, true}, &record);
  if (status != 0) return status;

  // The window need not be larger than the larger file, which keeps the
  // record of a small database small.
  uint64_t largest = 0;
  for (File* file : {files.main, files.memo}) {
    uint64_t length = 0;
    if (file != nullptr && status == 0) status = file->Length(&length);
    largest = std::max(largest, length);
  }
  const uint64_t largest_in_blocks = (largest + kCipherBlockSize - 1) / kCipherBlockSize * kCipherBlockSize;
  const uint64_t window = std::min(RekeyWindowBytes(), std::max<uint64_t>(kCipherBlockSize, largest_in_blocks));
  Rekeyer rekeyer(*record, files, old_key.get(), new_key.get(), window, durable);
  if (status == 0) status = rekeyer.MeasureFiles();
  if (status == 0) {
    Preamble preamble;
    BuildPreamble(preamble, window, files.memo != nullptr ? 2 : 1, old_key.get(), new_key.get());
    status = record->WriteAt(0, preamble.bytes, kPreambleUsed);
  }
  // The preamble reaches the disk with the first slot, before any file is touched.
  rekeyer.StartFresh();
  if (status == 0) status = rekeyer.Forward();
  if (status == 0) status = rekeyer.WriteHeader(kNew);
  if (status != 0) {
    if (RollBack(rekeyer) != 0) {
      *record_left = true;
      return status;
    }
  }
  if (RetireRecord(file_system, record_path, record, durable) != 0) {
    *record_left = true;
    if (status == 0) status = error::kAccessDenied;
  }
  return status;
}

int FinishInterruptedRekey(FileSystem& file_system, int lock_wait_ms, const std::string& main_path, bool durable,
                           std::string* password, bool* ask, const PasswordPromptHook& hook) {
  const std::string record_path = RekeyRecordPath(main_path);
  if (!file_system.Exists(record_path)) return 0;
  std::unique_ptr<File> record;
  FileStatus status = RetryOnConflict(file_system, lock_wait_ms,
                                      [&] { return file_system.Open(record_path, kExclusiveReadWrite, &record); });
  if (status != 0) return status;

  Preamble preamble;
  bool whole = false;
  if (status = ReadPreamble(*record, &preamble, &whole); status != 0) return status;
  if (!whole) {
    // Never whole on disk before the files were touched, or voided at the end.
    RetireRecord(file_system, record_path, record, durable);
    return 0;
  }

  // Which side the open's password is on.
  std::shared_ptr<CipherKey> keys[2];
  int side = -1;
  if (!*ask) {
    std::shared_ptr<CipherKey> key;
    side = SideOfPassword(preamble, *password, &key);
    if (side < 0) return error::kWrongPassword;
    keys[side] = key;
  } else if (!preamble.has_key[kOld] || !preamble.has_key[kNew]) {
    side = preamble.has_key[kOld] ? kNew : kOld;  // the plain side opens without asking
    password->clear();
  } else {
    for (int wrong_answers = 0;; ++wrong_answers) {
      if (wrong_answers >= 3 || !hook) return error::kWrongPassword;
      std::optional<std::string> answer = hook(MakePasswordPrompt(wrong_answers));
      if (!answer) return error::kWrongPassword;
      std::shared_ptr<CipherKey> key;
      side = answer->empty() ? -1 : SideOfPassword(preamble, *answer, &key);
      if (side >= 0) {
        keys[side] = key;
        *password = std::move(*answer);
        break;
      }
      std::fill(answer->begin(), answer->end(), '\0');
    }
  }
  *ask = false;
  const Side other = side == kOld ? kNew : kOld;
  if (preamble.has_key[other]) {
    uint8_t material[kKeyMaterialSize];
    std::memcpy(material, preamble.sealed(static_cast<Side>(side)), sizeof material);
    if (keys[side] != nullptr) ApplySeal(*keys[side], preamble.nonce(), material, sizeof material);
    keys[other] = KeyFromMaterial(material);
    WipeMemory(material, sizeof material);
  }

  std::unique_ptr<File> files[2];
  for (int i = 0; i < preamble.file_count; ++i) {
    const std::string path = i == 0 ? main_path : ResolveMemoPath(file_system, main_path);
    status = RetryOnConflict(file_system, lock_wait_ms,
                             [&] { return file_system.Open(path, kExclusiveReadWrite, &files[i]); });
    if (status != 0) return status;
  }
  Rekeyer rekeyer(*record, RekeyTargets{files[0].get(), files[1].get()}, keys[kOld].get(), keys[kNew].get(),
                  preamble.window, durable);
  if (status = rekeyer.MeasureFiles(); status != 0) return status;
  Slot slot;
  if (status = rekeyer.LatestSlot(&slot); status != 0) return status;
  if (slot.index < 0) {
    rekeyer.StartFresh();  // no whole slot: the files were never touched
  } else if (status = rekeyer.Restore(slot); status != 0) {
    return status;  // back to where the slot says
  }
  // Then on to the password's side.
  status = side == kNew ? rekeyer.Forward() : rekeyer.Backward();
  if (status != 0) return status;
  if (status = rekeyer.WriteHeader(static_cast<Side>(side)); status != 0) return status;
  return RetireRecord(file_system, record_path, record, durable);
}

}  // namespace tarnwick
