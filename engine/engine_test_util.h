// Helpers for the engine's tests: file bytes in and out, hand-written hex,
// the memo book's two-field schema.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/database.h"

namespace tarnwick::test_util {

using Bytes = std::vector<uint8_t>;

inline Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Overwrites bytes at offset in a file, extending it when needed.
inline void Patch(const std::string& path, size_t offset, const Bytes& bytes) {
  Bytes all = ReadBytes(path);
  if (all.size() < offset + bytes.size()) all.resize(offset + bytes.size());
  std::copy(bytes.begin(), bytes.end(), all.begin() + static_cast<std::ptrdiff_t>(offset));
  WriteBytes(path, all);
}

inline void Resize(const std::string& path, size_t size) {
  Bytes all = ReadBytes(path);
  all.resize(size);
  WriteBytes(path, all);
}

// "57 45 44 42" -> bytes; blanks are ignored.
inline Bytes Hex(const std::string& text) {
  Bytes bytes;
  int high = -1;
  for (char c : text) {
    int value;
    if (c >= '0' && c <= '9') value = c - '0';
    else if (c >= 'a' && c <= 'f') value = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') value = c - 'A' + 10;
    else continue;
    if (high < 0) {
      high = value;
    } else {
      bytes.push_back(static_cast<uint8_t>(high << 4 | value));
      high = -1;
    }
  }
  return bytes;
}

inline Bytes Zeros(size_t count) { return Bytes(count, 0); }

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

inline Bytes Slice(const Bytes& bytes, size_t offset, size_t count) {
  if (offset >= bytes.size()) return {};
  count = std::min(count, bytes.size() - offset);
  return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
               bytes.begin() + static_cast<std::ptrdiff_t>(offset + count));
}

inline Bytes Int32Bytes(int32_t value) {
  auto v = static_cast<uint32_t>(value);
  return Bytes{static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
               static_cast<uint8_t>(v >> 24)};
}

// "日期" and "备忘" in GBK.
inline const std::string kDateName = "\xC8\xD5\xC6\xDA";
inline const std::string kMemoName = "\xB1\xB8\xCD\xFC";

inline std::vector<FieldInf> MemoSchema() { return {{kDateName, 8, 20}, {kMemoName, 12, 20}}; }

// A memo text of the given length whose bytes depend on seed.
inline std::string MemoText(size_t length, int seed) {
  std::string text(length, ' ');
  for (size_t i = 0; i < length; ++i) text[i] = static_cast<char>('A' + (seed * 7 + static_cast<int>(i)) % 26);
  return text;
}

}  // namespace tarnwick::test_util
