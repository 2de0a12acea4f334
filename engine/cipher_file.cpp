#include "engine/cipher_file.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/md5.h"
#include "engine/rc4.h"

namespace tarnwick {

namespace {

constexpr size_t kDiscard = 36;
constexpr size_t kCachedBlocks = 64;
constexpr size_t kRekeyPiece = 10240;

// data[i] ^= stream[i], eight bytes at a time (memcpy keeps it free of
// alignment and aliasing assumptions; compilers turn it into plain loads).
void XorBytes(uint8_t* data, const uint8_t* stream, size_t count) {
  size_t i = 0;
  for (; i + 8 <= count; i += 8) {
    uint64_t word, key;
    std::memcpy(&word, data + i, 8);
    std::memcpy(&key, stream + i, 8);
    word ^= key;
    std::memcpy(data + i, &word, 8);
  }
  for (; i < count; ++i) data[i] ^= stream[i];
}

}  // namespace

class CipherKey {
 public:
  explicit CipherKey(std::string_view password)
      : check_text_(CheckText(password)),
        master_(reinterpret_cast<const uint8_t*>(password.data()), password.size()),
        word_stream_(master_) {}
  CipherKey(const Rc4& master, std::string check_text)
      : check_text_(std::move(check_text)), master_(master), word_stream_(master_) {}
  ~CipherKey() {
    WipeMemory(&master_, sizeof master_);
    WipeMemory(&word_stream_, sizeof word_stream_);
    WipeMemory(check_text_.data(), check_text_.size());
    if (slots_) {
      for (size_t i = 0; i < kCachedBlocks; ++i) {
        if (slots_[i].block != UINT64_MAX) WipeMemory(slots_[i].bytes, kCipherBlockSize);
      }
    }
    WipeWords();
  }

  bool SameAs(const CipherKey& other) const { return check_text_ == other.check_text_ && master_ == other.master_; }
  const std::string& check_text() const { return check_text_; }
  const Rc4& master() const { return master_; }

  // The keystream of cipher block k, all 4096 bytes.
  const uint8_t* BlockKeystream(uint64_t block) {
    if (!slots_) slots_.reset(new Slot[kCachedBlocks]);
    Slot& slot = slots_[block % kCachedBlocks];
    if (slot.block != block) {
      Rc4 stream = BlockStream(block);
      stream.Keystream(slot.bytes, kCipherBlockSize);
      slot.block = block;
    }
    return slot.bytes;
  }

  void XorWholeBlock(uint64_t block, uint8_t* data) {
    if (slots_) {
      const Slot& slot = slots_[block % kCachedBlocks];
      if (slot.block == block) {
        XorBytes(data, slot.bytes, kCipherBlockSize);
        return;
      }
    }
    Rc4 stream = BlockStream(block);
    stream.Xor(data, kCipherBlockSize);
  }

 private:
  struct Slot {
    uint64_t block = UINT64_MAX;
    uint8_t bytes[kCipherBlockSize];
  };

  // The block's RC4 stream, keyed and past its discarded bytes.
  Rc4 BlockStream(uint64_t block) {
    uint32_t word = Word(block);
    uint32_t mixed = static_cast<uint32_t>(block) ^ word;
    uint8_t block_key[40];
    for (int i = 0; i < 4; ++i) block_key[i] = static_cast<uint8_t>(word >> (8 * i));
    std::memcpy(block_key + 4, check_text_.data(), 32);
    for (int i = 0; i < 4; ++i) block_key[36 + i] = static_cast<uint8_t>(mixed >> (8 * i));
    Rc4 stream(block_key, sizeof block_key);
    WipeMemory(block_key, sizeof block_key);
    stream.Discard(kDiscard);
    return stream;
  }

  // W(k): bytes 4k..4k+3 of the master keystream, little-endian.
  uint32_t Word(uint64_t block) {
    while (words_.size() <= block) {
      if (words_.size() == words_.capacity()) GrowWords();
      uint8_t bytes[4];
      word_stream_.Keystream(bytes, 4);
      words_.push_back(uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
                       uint32_t{bytes[3]} << 24);
    }
    return words_[block];
  }

  // The words decipher as well as the password: a larger buffer is filled by
  // hand so that no copy is left behind unwiped by a reallocation.
  void GrowWords() {
    std::vector<uint32_t> larger;
    larger.reserve(std::max<size_t>(64, words_.capacity() * 2));
    larger.assign(words_.begin(), words_.end());
    WipeWords();
    words_.swap(larger);
  }
  void WipeWords() {
    if (!words_.empty()) WipeMemory(words_.data(), words_.size() * sizeof(uint32_t));
  }

  NoCoreDumps no_core_dumps_;  // first, so it outlives the key's bytes
  std::string check_text_;
  Rc4 master_;
  Rc4 word_stream_;  // continues after the words computed so far
  std::vector<uint32_t> words_;
  // Made on first use, its bytes left unset (and unwiped) until a block fills them.
  std::unique_ptr<Slot[]> slots_;
};

std::shared_ptr<CipherKey> MakeCipherKey(std::string_view password) {
  if (password.empty()) return nullptr;
  return std::make_shared<CipherKey>(password);
}

void CopyKeyMaterial(const CipherKey& key, uint8_t out[kKeyMaterialSize]) {
  key.master().CopyTable(out);
  std::memcpy(out + 256, key.check_text().data(), 32);
}

std::shared_ptr<CipherKey> KeyFromMaterial(const uint8_t material[kKeyMaterialSize]) {
  return std::make_shared<CipherKey>(Rc4::FromTable(material),
                                     std::string(reinterpret_cast<const char*>(material) + 256, 32));
}

bool SameKey(const CipherKey* a, const CipherKey* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return a->SameAs(*b);
}

const std::string& KeyCheckText(const CipherKey* key) {
  static const std::string kNone;
  return key == nullptr ? kNone : key->check_text();
}

void ApplyCipher(CipherKey* key, uint64_t offset, uint8_t* data, size_t count) {
  if (key == nullptr) return;
  if (offset < kCipherStart) {
    size_t skip = static_cast<size_t>(kCipherStart - offset);
    if (skip >= count) return;
    offset += skip;
    data += skip;
    count -= skip;
  }
  while (count > 0) {
    uint64_t block = offset / kCipherBlockSize;
    size_t inside = static_cast<size_t>(offset % kCipherBlockSize);
    size_t length = std::min(kCipherBlockSize - inside, count);
    if (length == kCipherBlockSize) {
      // A whole block: XOR straight from a fresh stream, skipping the cache.
      key->XorWholeBlock(block, data);
    } else {
      XorBytes(data, key->BlockKeystream(block) + inside, length);
    }
    offset += length;
    data += length;
    count -= length;
  }
}

CipherFile::CipherFile(std::unique_ptr<File> file, std::string_view password) : file_(std::move(file)) {
  SetPassword(password);
}

CipherFile::~CipherFile() = default;

void CipherFile::SetPassword(std::string_view password) { SetKey(MakeCipherKey(password)); }

void CipherFile::SetKey(std::shared_ptr<CipherKey> key) {
  read_key_ = key;
  write_key_ = std::move(key);
}

FileStatus CipherFile::Read(uint64_t offset, void* buffer, size_t count, size_t* read_count) {
  FileStatus status = file_->ReadAt(offset, buffer, count, read_count);
  if (status != 0) return status;
  ApplyCipher(read_key_.get(), offset, static_cast<uint8_t*>(buffer), *read_count);
  return 0;
}

FileStatus CipherFile::Write(uint64_t offset, const void* data, size_t count) {
  if (write_key_ == nullptr) return file_->WriteAt(offset, data, count);
  std::vector<uint8_t> copy(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + count);
  ApplyCipher(write_key_.get(), offset, copy.data(), count);
  return file_->WriteAt(offset, copy.data(), count);
}

FileStatus CipherFile::Rekey(std::string_view new_password) { return Rekey(MakeCipherKey(new_password)); }

FileStatus CipherFile::Rekey(std::shared_ptr<CipherKey> new_key) {
  std::shared_ptr<CipherKey> old_key = read_key_;
  if (SameKey(old_key.get(), new_key.get())) return 0;

  std::vector<uint8_t> piece(kRekeyPiece);
  std::vector<uint8_t> scratch(kRekeyPiece);
  uint64_t offset = kCipherStart;
  FileStatus failure = 0;
  for (;;) {
    size_t got = 0;
    failure = file_->ReadAt(offset, piece.data(), kRekeyPiece, &got);
    if (failure != 0) break;
    ApplyCipher(old_key.get(), offset, piece.data(), got);  // now plain
    std::memcpy(scratch.data(), piece.data(), got);
    ApplyCipher(new_key.get(), offset, scratch.data(), got);
    failure = file_->WriteAt(offset, scratch.data(), got);
    if (failure != 0) {
      // The piece may be half written: put its plain bytes back under the old key.
      ApplyCipher(old_key.get(), offset, piece.data(), got);
      file_->WriteAt(offset, piece.data(), got);
      break;
    }
    offset += got;
    if (got < kRekeyPiece) break;
  }
  if (failure == 0) {
    read_key_ = write_key_ = new_key;
    WipeMemory(piece.data(), piece.size());
    WipeMemory(scratch.data(), scratch.size());
    return 0;
  }
  // Put back what was already rewritten, so the file reads under the old key.
  for (uint64_t back = kCipherStart; back < offset;) {
    size_t length = static_cast<size_t>(std::min<uint64_t>(kRekeyPiece, offset - back));
    size_t got = 0;
    if (file_->ReadAt(back, piece.data(), length, &got) != 0 || got == 0) break;
    ApplyCipher(new_key.get(), back, piece.data(), got);
    ApplyCipher(old_key.get(), back, piece.data(), got);
    if (file_->WriteAt(back, piece.data(), got) != 0) break;
    back += got;
  }
  read_key_ = write_key_ = old_key;
  WipeMemory(piece.data(), piece.size());
  WipeMemory(scratch.data(), scratch.size());
  return failure;
}

}  // namespace tarnwick
