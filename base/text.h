// GBK text: the program's one text representation.
//
// Inside the program every text is GBK bytes in a std::string; lengths and
// positions count bytes. These conversions are the only way in and out:
// the window-system backends convert at their boundary, the program's own
// Chinese texts (written in UTF-8 source) are converted where they are defined.
//
// Promises:
// - GBK text converts to UTF-8/UTF-16 and back byte for byte.
// - A character that GBK lacks is kept as its GB18030 four-byte code, so
//   nothing typed is lost; four-byte codes decode back to the character.
// - Bytes that are not valid GBK/GB18030 decode to U+FFFD; nothing crashes,
//   whatever the input. Invalid UTF-8/UTF-16 input encodes as '?'.
// - The same table is compiled in on every platform, so conversion does not
//   depend on the system's locale.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick {

std::string Utf8ToGbk(std::string_view utf8);
std::string GbkToUtf8(std::string_view gbk);
std::u16string GbkToUtf16(std::string_view gbk);
std::string Utf16ToGbk(std::u16string_view utf16);

// The program's own texts: UTF-8 source literal -> GBK bytes.
inline std::string Gbk(std::string_view utf8) { return Utf8ToGbk(utf8); }

// Byte length (1, 2 or 4) of the GBK/GB18030 character starting at text[pos];
// 1 for an invalid or truncated sequence (and at or past the end), so a loop
// always advances. A well-formed four-byte code that names no character still
// counts 4 and decodes to one U+FFFD.
std::size_t GbkCharLength(std::string_view text, std::size_t pos);

// True when byte is the first byte of a double-byte or four-byte character.
inline bool IsGbkLeadByte(unsigned char byte) { return byte >= 0x81 && byte <= 0xFE; }

// Each byte with A-Z turned into a-z, every other byte as it is: the keyword
// search folds every byte compared so, trail bytes included.
inline constexpr std::array<unsigned char, 256> kEveryByteLetterFold = [] {
  std::array<unsigned char, 256> table{};
  for (int b = 0; b < 256; ++b) table[b] = static_cast<unsigned char>(b >= 'A' && b <= 'Z' ? b + ('a' - 'A') : b);
  return table;
}();

// Compares two GBK texts without regard to ASCII letter case; the bytes of
// multibyte characters are compared exactly (a trail byte is never folded).
bool GbkEqualsIgnoringCase(std::string_view a, std::string_view b);

// GBK text with ASCII letters made upper case, multibyte characters untouched.
std::string GbkToUpperAscii(std::string_view text);

}  // namespace tarnwick
