// Byte layout of the main file and the memo file, the parsing of their
// headers, descriptors and block links, and the rules for names and file
// paths. All integers are little-endian. Parsing checks nothing: the open and
// the tools that read the files directly each judge the values by their own
// rules.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace tarnwick {

inline constexpr uint32_t kFormatVersion = 0x00010000;
inline constexpr char kPlainMagic[4] = {'W', 'E', 'D', 'B'};
inline constexpr char kProtectedMagic[4] = {'W', 'C', 'D', 'B'};
inline constexpr char kMemoMagic[4] = {'W', 'E', 'D', 'T'};

// Main file.
inline constexpr size_t kHeaderSize = 112;
inline constexpr uint64_t kCountOffset = 16;  // record count, then next record id
inline constexpr uint64_t kRecordLengthOffset = 24;
inline constexpr uint64_t kCheckBlockOffset = 28;
inline constexpr size_t kCheckBlockSize = 36;
inline constexpr uint64_t kFieldCountOffset = 112;
inline constexpr uint64_t kDescriptorsOffset = 116;
inline constexpr size_t kDescriptorSize = 72;
inline constexpr size_t kFieldNameBytes = 17;  // 16 bytes of name and at least one zero
inline constexpr size_t kMaxFieldNameLength = 16;
inline constexpr int kMaxTextWidth = 1024;

// Memo file.
inline constexpr uint64_t kMemoBlockSize = 512;
inline constexpr size_t kMemoHeaderSize = 32;
inline constexpr uint64_t kBlockCountOffset = 16;  // block count, free count, first free
inline constexpr size_t kBlockHeaderSize = 12;    // previous, next, data length
inline constexpr size_t kBlockDataSize = 500;

// The whole-file lock covers offsets 0 to 2147483647 of the main file.
inline constexpr uint64_t kWholeFileLength = uint64_t{1} << 31;

inline int32_t GetInt32(const uint8_t* p) {
  return static_cast<int32_t>(uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24);
}
inline void PutInt32(uint8_t* p, int32_t value) {
  auto v = static_cast<uint32_t>(value);
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline int64_t GetInt64(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | p[i];
  return static_cast<int64_t>(v);
}
inline void PutInt64(uint8_t* p, int64_t value) {
  auto v = static_cast<uint64_t>(value);
  for (int i = 0; i < 8; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline double GetDouble(const uint8_t* p) {
  uint64_t bits = static_cast<uint64_t>(GetInt64(p));
  double value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}
inline void PutDouble(uint8_t* p, double value) {
  uint64_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  PutInt64(p, static_cast<int64_t>(bits));
}

// The main file's first kHeaderSize bytes, as stored (nothing checked).
struct FileHeader {
  bool plain_magic = false;      // "WEDB"
  bool protected_magic = false;  // "WCDB"
  uint32_t version = 0;
  double created = 0;
  int32_t record_count = 0;
  int32_t next_record_id = 0;
  int32_t record_length = 0;
};
FileHeader ParseFileHeader(const uint8_t* bytes);

// One kDescriptorSize-byte field descriptor, as stored (nothing checked).
struct FieldDescriptor {
  std::string name;              // up to the first zero of the name bytes
  bool name_terminated = false;  // a zero byte lies within the kFieldNameBytes
  int32_t type = 0;
  int32_t offset = 0;
  int32_t width = 0;
};
FieldDescriptor ParseFieldDescriptor(const uint8_t* bytes);

// The memo file's kMemoHeaderSize-byte header, as stored (nothing checked).
struct MemoFileHeader {
  bool magic = false;  // "WEDT"
  uint32_t version = 0;
  double created = 0;
  int32_t block_count = 0;
  int32_t free_count = 0;
  int32_t first_free = 0;
};
MemoFileHeader ParseMemoFileHeader(const uint8_t* bytes);

// The kBlockHeaderSize link bytes at the start of a memo block.
struct MemoBlockHeader {
  int32_t previous = 0;
  int32_t next = 0;
  int32_t length = 0;  // data bytes; 0 in a free block
};
MemoBlockHeader ParseMemoBlockHeader(const uint8_t* bytes);
void PutMemoBlockHeader(uint8_t* bytes, const MemoBlockHeader& header);

// Whether the header's check block (kCheckBlockSize bytes, read through the
// key) holds check_text, compared without regard to case up to its first zero.
bool CheckBlockMatches(const uint8_t* check_block, std::string_view check_text);

// A field name or alias: ASCII letters, digits and "_", the double-byte GBK
// characters whose first byte is 81..A0 or AA..FE, the full-width digits and
// letters, the kana, and A960; not starting with a digit or ".".
bool IsValidName(std::string_view gbk);

// Compares names without regard to ASCII case, multibyte-aware.
bool NamesEqual(std::string_view a, std::string_view b);

// Appends ".EDB" when the file name has no extension ("EDB" when it ends in ".").
std::string WithDefaultExtension(std::string_view path);
// The memo file's path: the extension replaced by "EDT".
std::string MemoPathOf(std::string_view main_path);
// The file name without folder and extension.
std::string TitleOf(std::string_view path);

// Whether the creation stamps of a main file and a memo file name different
// databases: both files get the same stamp when made and keep it. A stamp of
// 0 or not a number says nothing; stamps under a second apart count as one,
// so that a writer reading the clock once per file is not refused.
bool CreationStampsDiffer(double main_created, double memo_created);

// The clamp applied to every date-time read from a record.
inline double ClampDate(double value) {
  constexpr double kLowest = -657434;
  constexpr double kHighest = 2958465;
  if (std::isnan(value) || value < kLowest) return kLowest;
  if (value > kHighest) return kHighest;
  return value;
}

}  // namespace tarnwick
