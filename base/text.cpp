#include "base/text.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "base/gbk_table.h"

namespace tarnwick {
namespace {

using gbk_table::kDoubleByteToUnicode;
using gbk_table::kFourByteRangeCount;
using gbk_table::kFourByteRanges;

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kMaxCodePoint = 0x10FFFF;
constexpr char32_t kIllFormed = 0xFFFFFFFF;  // not a code point

bool IsSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDFFF; }
bool IsDigitByte(unsigned char byte) { return byte >= '0' && byte <= '9'; }

// Position of a double-byte trail byte in its lead byte's row, or -1.
int TrailPosition(unsigned char byte) {
  if (byte < 0x40 || byte == 0x7F || byte == 0xFF) return -1;
  return byte < 0x7F ? byte - 0x40 : byte - 0x41;
}

bool IsFourByteCode(const unsigned char* p, std::size_t remaining) {
  return remaining >= 4 && IsDigitByte(p[1]) && IsGbkLeadByte(p[2]) && IsDigitByte(p[3]);
}

// Length of the character at p, shared by decoding and GbkCharLength so that
// both always agree on where characters start.
std::size_t CharLength(const unsigned char* p, std::size_t remaining) {
  if (!IsGbkLeadByte(p[0])) return 1;
  if (remaining >= 2 && TrailPosition(p[1]) >= 0) return 2;
  if (IsFourByteCode(p, remaining)) return 4;
  return 1;
}

char32_t FourByteIndexToCodePoint(std::uint32_t index) {
  if (index < gbk_table::kBmpFourByteCount) {
    const auto* end = kFourByteRanges + kFourByteRangeCount;
    const auto* range = std::upper_bound(kFourByteRanges, end, index,
                                         [](std::uint32_t value, const gbk_table::FourByteRange& r) {
                                           return value < r.first_index;
                                         }) -
                        1;
    return range->first_unit + (index - range->first_index);
  }
  if (index >= gbk_table::kSupplementaryFirstIndex &&
      index - gbk_table::kSupplementaryFirstIndex <= kMaxCodePoint - 0x10000) {
    return 0x10000 + (index - gbk_table::kSupplementaryFirstIndex);
  }
  return kReplacement;
}

// Decodes the character at p into *code_point and returns its length.
inline std::size_t DecodeChar(const unsigned char* p, std::size_t remaining, char32_t* code_point) {
  const unsigned char lead = p[0];
  if (lead < 0x80) {
    *code_point = lead;
    return 1;
  }
  if (!IsGbkLeadByte(lead)) {
    *code_point = kReplacement;
    return 1;
  }
  if (remaining >= 2) {
    const int trail = TrailPosition(p[1]);
    if (trail >= 0) {
      *code_point = kDoubleByteToUnicode[(lead - 0x81) * gbk_table::kTrailCount + trail];
      return 2;
    }
  }
  if (IsFourByteCode(p, remaining)) {
    const std::uint32_t index = ((static_cast<std::uint32_t>(lead - 0x81) * 10 + (p[1] - '0')) * 126 +
                                 (p[2] - 0x81)) * 10 +
                                (p[3] - '0');
    *code_point = FourByteIndexToCodePoint(index);
    return 4;
  }
  *code_point = kReplacement;
  return 1;
}

// BMP character -> its double-byte code (lead << 8 | trail), 0 when it has
// none. Built once from the decoding table so the two can never disagree;
// never freed, so conversions stay usable during static destruction.
const std::array<std::uint16_t, 0x10000>& UnicodeToDoubleByte() {
  static const auto* const table = [] {
    auto* result = new std::array<std::uint16_t, 0x10000>{};
    for (unsigned lead = 0x81; lead <= 0xFE; ++lead) {
      for (unsigned trail = 0x40; trail <= 0xFE; ++trail) {
        const int position = TrailPosition(static_cast<unsigned char>(trail));
        if (position < 0) continue;
        const std::uint16_t unit = kDoubleByteToUnicode[(lead - 0x81) * gbk_table::kTrailCount + position];
        (*result)[unit] = static_cast<std::uint16_t>(lead << 8 | trail);
      }
    }
    return result;
  }();
  return *table;
}

inline char* AppendFourByteIndex(std::uint32_t index, char* out) {
  out[3] = static_cast<char>('0' + index % 10);
  index /= 10;
  out[2] = static_cast<char>(0x81 + index % 126);
  index /= 126;
  out[1] = static_cast<char>('0' + index % 10);
  out[0] = static_cast<char>(0x81 + index / 10);
  return out + 4;
}

// Writes the GBK/GB18030 code of a valid code point (not a surrogate).
inline char* EncodeChar(char32_t code_point, const std::array<std::uint16_t, 0x10000>& double_bytes, char* out) {
  if (code_point < 0x80) {
    *out++ = static_cast<char>(code_point);
    return out;
  }
  if (code_point >= 0x10000) {
    return AppendFourByteIndex(gbk_table::kSupplementaryFirstIndex + (code_point - 0x10000), out);
  }
  if (const std::uint16_t code = double_bytes[code_point]; code != 0) {
    *out++ = static_cast<char>(code >> 8);
    *out++ = static_cast<char>(code & 0xFF);
    return out;
  }
  const auto* end = kFourByteRanges + kFourByteRangeCount;
  const auto* range = std::upper_bound(kFourByteRanges, end, static_cast<std::uint32_t>(code_point),
                                       [](std::uint32_t value, const gbk_table::FourByteRange& r) {
                                         return value < r.first_unit;
                                       });
  if (range == kFourByteRanges) {  // below U+0080: cannot happen, ASCII is handled above
    *out++ = '?';
    return out;
  }
  --range;
  return AppendFourByteIndex(range->first_index + (code_point - range->first_unit), out);
}

// Reads one UTF-8 character; an ill-formed sequence yields kIllFormed and
// consumes its longest valid prefix (at least one byte), so the byte that
// broke it starts the next character.
inline std::size_t DecodeUtf8(const unsigned char* p, std::size_t remaining, char32_t* code_point) {
  const unsigned char lead = p[0];
  if (lead < 0x80) {
    *code_point = lead;
    return 1;
  }
  std::size_t length;
  char32_t value;
  unsigned char second_low = 0x80, second_high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    if (lead == 0xE0) second_low = 0xA0;   // overlong
    if (lead == 0xED) second_high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    if (lead == 0xF0) second_low = 0x90;   // overlong
    if (lead == 0xF4) second_high = 0x8F;  // above U+10FFFF
  } else {
    *code_point = kIllFormed;
    return 1;
  }
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char low = i == 1 ? second_low : 0x80;
    const unsigned char high = i == 1 ? second_high : 0xBF;
    if (i >= remaining || p[i] < low || p[i] > high) {
      *code_point = kIllFormed;
      return i;
    }
    value = value << 6 | (p[i] & 0x3F);
  }
  *code_point = value;
  return length;
}

inline char* AppendUtf8(char32_t code_point, char* out) {
  if (code_point < 0x80) {
    *out++ = static_cast<char>(code_point);
  } else if (code_point < 0x800) {
    *out++ = static_cast<char>(0xC0 | code_point >> 6);
    *out++ = static_cast<char>(0x80 | (code_point & 0x3F));
  } else if (code_point < 0x10000) {
    *out++ = static_cast<char>(0xE0 | code_point >> 12);
    *out++ = static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
    *out++ = static_cast<char>(0x80 | (code_point & 0x3F));
  } else {
    *out++ = static_cast<char>(0xF0 | code_point >> 18);
    *out++ = static_cast<char>(0x80 | (code_point >> 12 & 0x3F));
    *out++ = static_cast<char>(0x80 | (code_point >> 6 & 0x3F));
    *out++ = static_cast<char>(0x80 | (code_point & 0x3F));
  }
  return out;
}

const unsigned char* Bytes(std::string_view text) { return reinterpret_cast<const unsigned char*>(text.data()); }

unsigned char AsciiUpper(unsigned char byte) { return byte >= 'a' && byte <= 'z' ? byte - 'a' + 'A' : byte; }

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
  const auto& double_bytes = UnicodeToDoubleByte();
  // A UTF-8 character of n bytes never needs more than 2n GBK bytes.
  std::string result(utf8.size() * 2, '\0');
  char* out = result.data();
  const unsigned char* p = Bytes(utf8);
  std::size_t remaining = utf8.size();
  while (remaining > 0) {
    if (*p < 0x80) {
      *out++ = static_cast<char>(*p++);
      --remaining;
      continue;
    }
    char32_t code_point;
    const std::size_t length = DecodeUtf8(p, remaining, &code_point);
    if (code_point == kIllFormed) {
      *out++ = '?';
    } else {
      out = EncodeChar(code_point, double_bytes, out);
    }
    p += length;
    remaining -= length;
  }
  result.resize(out - result.data());
  return result;
}

std::string GbkToUtf8(std::string_view gbk) {
  // One GBK byte never needs more than three UTF-8 bytes.
  std::string result(gbk.size() * 3, '\0');
  char* out = result.data();
  const unsigned char* p = Bytes(gbk);
  std::size_t remaining = gbk.size();
  while (remaining > 0) {
    if (*p < 0x80) {
      *out++ = static_cast<char>(*p++);
      --remaining;
      continue;
    }
    char32_t code_point;
    const std::size_t length = DecodeChar(p, remaining, &code_point);
    out = AppendUtf8(code_point, out);
    p += length;
    remaining -= length;
  }
  result.resize(out - result.data());
  return result;
}

std::u16string GbkToUtf16(std::string_view gbk) {
  // Every character takes at least as many GBK bytes as UTF-16 units.
  std::u16string result(gbk.size(), u'\0');
  char16_t* out = result.data();
  const unsigned char* p = Bytes(gbk);
  std::size_t remaining = gbk.size();
  while (remaining > 0) {
    char32_t code_point;
    const std::size_t length = DecodeChar(p, remaining, &code_point);
    if (code_point >= 0x10000) {
      code_point -= 0x10000;
      *out++ = static_cast<char16_t>(0xD800 | code_point >> 10);
      *out++ = static_cast<char16_t>(0xDC00 | (code_point & 0x3FF));
    } else {
      *out++ = static_cast<char16_t>(code_point);
    }
    p += length;
    remaining -= length;
  }
  result.resize(out - result.data());
  return result;
}

std::string Utf16ToGbk(std::u16string_view utf16) {
  const auto& double_bytes = UnicodeToDoubleByte();
  // One UTF-16 unit never needs more than four GBK bytes.
  std::string result(utf16.size() * 4, '\0');
  char* out = result.data();
  for (std::size_t i = 0; i < utf16.size(); ++i) {
    char32_t unit = utf16[i];
    if (IsSurrogate(unit)) {
      const bool paired = unit <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF;
      if (!paired) {
        *out++ = '?';
        continue;
      }
      unit = 0x10000 + ((unit - 0xD800) << 10) + (utf16[++i] - 0xDC00);
    }
    out = EncodeChar(unit, double_bytes, out);
  }
  result.resize(out - result.data());
  return result;
}

std::size_t GbkCharLength(std::string_view text, std::size_t pos) {
  if (pos >= text.size()) return 1;
  return CharLength(Bytes(text) + pos, text.size() - pos);
}

bool GbkEqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  std::size_t pos = 0;
  while (pos < a.size()) {
    const std::size_t length = GbkCharLength(a, pos);
    if (GbkCharLength(b, pos) != length) return false;
    if (length == 1) {
      if (AsciiUpper(a[pos]) != AsciiUpper(b[pos])) return false;
    } else if (a.compare(pos, length, b, pos, length) != 0) {
      return false;
    }
    pos += length;
  }
  return true;
}

std::string GbkToUpperAscii(std::string_view text) {
  std::string result(text);
  std::size_t pos = 0;
  while (pos < result.size()) {
    const std::size_t length = GbkCharLength(result, pos);
    if (length == 1) result[pos] = static_cast<char>(AsciiUpper(result[pos]));
    pos += length;
  }
  return result;
}

}  // namespace tarnwick
