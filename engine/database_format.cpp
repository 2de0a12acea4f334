#include "engine/database_format.h"

#include <cstring>

#include "base/text.h"

namespace tarnwick {

namespace {

// Position just after the last folder separator, skipping the trail bytes of
// double-byte characters (a trail byte may equal "\").
size_t FileNameStart(std::string_view path) {
  size_t start = 0;
  for (size_t i = 0; i < path.size();) {
    size_t length = GbkCharLength(path, i);
    if (length == 1 && (path[i] == '/' || path[i] == '\\')) start = i + 1;
    i += length;
  }
  return start;
}

// Position of the last "." of the file name, or npos.
size_t ExtensionDot(std::string_view path) {
  size_t dot = std::string_view::npos;
  for (size_t i = FileNameStart(path); i < path.size();) {
    size_t length = GbkCharLength(path, i);
    if (length == 1 && path[i] == '.') dot = i;
    i += length;
  }
  return dot;
}

bool IsAsciiLetter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

FileHeader ParseFileHeader(const uint8_t* bytes) {
  FileHeader header;
  header.plain_magic = std::memcmp(bytes, kPlainMagic, 4) == 0;
  header.protected_magic = std::memcmp(bytes, kProtectedMagic, 4) == 0;
  header.version = static_cast<uint32_t>(GetInt32(bytes + 4));
  header.created = GetDouble(bytes + 8);
  header.record_count = GetInt32(bytes + kCountOffset);
  header.next_record_id = GetInt32(bytes + kCountOffset + 4);
  header.record_length = GetInt32(bytes + kRecordLengthOffset);
  return header;
}

FieldDescriptor ParseFieldDescriptor(const uint8_t* bytes) {
  FieldDescriptor descriptor;
  const void* zero = std::memchr(bytes, 0, kFieldNameBytes);
  descriptor.name_terminated = zero != nullptr;
  const size_t name_length =
      zero == nullptr ? kFieldNameBytes : static_cast<size_t>(static_cast<const uint8_t*>(zero) - bytes);
  descriptor.name.assign(reinterpret_cast<const char*>(bytes), name_length);
  descriptor.type = GetInt32(bytes + 20);
  descriptor.offset = GetInt32(bytes + 24);
  descriptor.width = GetInt32(bytes + 28);
  return descriptor;
}

MemoFileHeader ParseMemoFileHeader(const uint8_t* bytes) {
  MemoFileHeader header;
  header.magic = std::memcmp(bytes, kMemoMagic, 4) == 0;
  header.version = static_cast<uint32_t>(GetInt32(bytes + 4));
  header.created = GetDouble(bytes + 8);
  header.block_count = GetInt32(bytes + kBlockCountOffset);
  header.free_count = GetInt32(bytes + kBlockCountOffset + 4);
  header.first_free = GetInt32(bytes + kBlockCountOffset + 8);
  return header;
}

bool CreationStampsDiffer(double main_created, double memo_created) {
  constexpr double kOneSecond = 1.0 / 86400;
  auto is_stamp = [](double value) { return std::isfinite(value) && value != 0; };
  return is_stamp(main_created) && is_stamp(memo_created) && std::fabs(main_created - memo_created) >= kOneSecond;
}

MemoBlockHeader ParseMemoBlockHeader(const uint8_t* bytes) {
  return MemoBlockHeader{GetInt32(bytes), GetInt32(bytes + 4), GetInt32(bytes + 8)};
}

void PutMemoBlockHeader(uint8_t* bytes, const MemoBlockHeader& header) {
  PutInt32(bytes, header.previous);
  PutInt32(bytes + 4, header.next);
  PutInt32(bytes + 8, header.length);
}

bool CheckBlockMatches(const uint8_t* check_block, std::string_view check_text) {
  const void* zero = std::memchr(check_block, 0, kCheckBlockSize);
  const size_t stored_length =
      zero == nullptr ? kCheckBlockSize : static_cast<size_t>(static_cast<const uint8_t*>(zero) - check_block);
  return !check_text.empty() &&
         NamesEqual(std::string_view(reinterpret_cast<const char*>(check_block), stored_length), check_text);
}

bool IsValidName(std::string_view name) {
  if (name.empty()) return false;
  for (size_t i = 0; i < name.size();) {
    const auto first = static_cast<unsigned char>(name[i]);
    const bool at_start = i == 0;
    if (first < 0x80) {
      bool digit = first >= '0' && first <= '9';
      if (!(IsAsciiLetter(first) || digit || first == '_')) return false;
      if (at_start && digit) return false;
      ++i;
      continue;
    }
    if (i + 1 >= name.size()) return false;
    const auto second = static_cast<unsigned char>(name[i + 1]);
    if (second < 0x40 || second == 0x7F || second == 0xFF) return false;
    const unsigned code = first << 8 | second;
    bool allowed = false;
    if ((first >= 0x81 && first <= 0xA0) || (first >= 0xAA && first <= 0xFE)) allowed = true;
    bool full_width_digit = code >= 0xA3B0 && code <= 0xA3B9;
    if (full_width_digit || (code >= 0xA3C1 && code <= 0xA3DA) || (code >= 0xA3E1 && code <= 0xA3FA)) allowed = true;
    if ((code >= 0xA4A1 && code <= 0xA4F3) || (code >= 0xA5A1 && code <= 0xA5F6) || code == 0xA960) allowed = true;
    if (!allowed || (at_start && full_width_digit)) return false;
    i += 2;
  }
  return true;
}

bool NamesEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  if (a == b) return true;
  return GbkEqualsIgnoringCase(a, b);
}

std::string WithDefaultExtension(std::string_view path) {
  std::string result(path);
  size_t dot = ExtensionDot(path);
  if (dot == std::string_view::npos) {
    result += ".EDB";
  } else if (dot + 1 == path.size()) {
    result += "EDB";
  }
  return result;
}

std::string MemoPathOf(std::string_view main_path) {
  size_t dot = ExtensionDot(main_path);
  if (dot == std::string_view::npos) return std::string(main_path) + ".EDT";
  return std::string(main_path.substr(0, dot + 1)) + "EDT";
}

std::string TitleOf(std::string_view path) {
  size_t start = FileNameStart(path);
  size_t dot = ExtensionDot(path);
  if (dot == std::string_view::npos) return std::string(path.substr(start));
  return std::string(path.substr(start, dot - start));
}

}  // namespace tarnwick
