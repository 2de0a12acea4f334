#include "base/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

namespace tarnwick {
namespace {

std::string Code(std::initializer_list<int> bytes) {
  std::string text;
  for (int byte : bytes) text.push_back(static_cast<char>(byte));
  return text;
}

TEST(GbkText, KnownCharactersInBothDirections) {
  struct Case {
    std::string gbk;
    std::u16string utf16;
  };
  const Case cases[] = {
      {"plain ASCII\r\n", u"plain ASCII\r\n"},
      {Code({0xC4, 0xE3, 0xBA, 0xC3}), u"你好"},
      {Code({0xC4, 0xEA, 0xD4, 0xC2, 0xC8, 0xD5}), u"年月日"},
      {Code({0xA1, 0xA4, 0xA1, 0xAA}), u"\u00B7\u2014"},
      {Code({0xA8, 0xA6}), u"\u00E9"},
      {Code({0xA2, 0xE3}), u"\u20AC"},                  // euro sign, double-byte
      {Code({0xAA, 0xA1}), u"\uE000"},                  // user-defined area
      {Code({0x81, 0x30, 0x81, 0x30}), u"\u0080"},      // first four-byte code
      {Code({0x81, 0x30, 0x84, 0x36}), u"\u00A5"},
      {Code({0x81, 0x35, 0xF4, 0x37}), u"\u1E3F"},
      {Code({0x82, 0x35, 0x8F, 0x33}), u"\u9FA6"},
      {Code({0x84, 0x31, 0xA4, 0x39}), u"\uFFFF"},      // last BMP code
      {Code({0x90, 0x30, 0x81, 0x30}), u"\U00010000"},  // first supplementary
      {Code({0x94, 0x39, 0xFC, 0x36}), u"\U0001F600"},
      {Code({0xE3, 0x32, 0x9A, 0x35}), u"\U0010FFFF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(GbkToUtf8(c.gbk));
    EXPECT_EQ(GbkToUtf16(c.gbk), c.utf16);
    EXPECT_EQ(Utf16ToGbk(c.utf16), c.gbk);
  }
  EXPECT_EQ(GbkToUtf8(Code({0xC4, 0xE3, 0x90, 0x30, 0x81, 0x30})), "你\xF0\x90\x80\x80");
  EXPECT_EQ(Gbk("备忘 memo 😀"), Code({0xB1, 0xB8, 0xCD, 0xFC, ' ', 'm', 'e', 'm', 'o', ' ', 0x94, 0x39, 0xFC, 0x36}));
}

TEST(GbkText, EveryDoubleByteCodeRoundTripsToADistinctCharacter) {
  std::u16string seen(0x10000, u'\0');
  int codes = 0;
  for (int lead = 0x81; lead <= 0xFE; ++lead) {
    for (int trail = 0x40; trail <= 0xFE; ++trail) {
      if (trail == 0x7F) continue;
      const std::string gbk = Code({lead, trail});
      const std::u16string utf16 = GbkToUtf16(gbk);
      ASSERT_EQ(utf16.size(), 1u) << lead << " " << trail;
      ASSERT_NE(utf16[0], u'\uFFFD') << lead << " " << trail;
      ASSERT_GE(utf16[0], 0x80);
      ASSERT_EQ(seen[utf16[0]], u'\0') << "two codes for one character";
      seen[utf16[0]] = 1;
      ASSERT_EQ(Utf16ToGbk(utf16), gbk);
      ASSERT_EQ(Utf8ToGbk(GbkToUtf8(gbk)), gbk);
      ASSERT_EQ(GbkCharLength(gbk, 0), 2u);
      ++codes;
    }
  }
  EXPECT_EQ(codes, 126 * 190);
}

TEST(GbkText, EveryBmpCharacterRoundTripsThroughGbk) {
  int four_byte = 0;
  for (char32_t unit = 1; unit <= 0xFFFF; ++unit) {
    if (unit >= 0xD800 && unit <= 0xDFFF) continue;
    const std::u16string utf16(1, static_cast<char16_t>(unit));
    const std::string gbk = Utf16ToGbk(utf16);
    ASSERT_EQ(GbkToUtf16(gbk), utf16) << std::hex << static_cast<std::uint32_t>(unit);
    ASSERT_EQ(GbkCharLength(gbk, 0), gbk.size());
    if (gbk.size() == 4) ++four_byte;
  }
  // The BMP less ASCII, surrogates and the 23940 double-byte codes.
  EXPECT_EQ(four_byte, 0x10000 - 0x80 - 0x800 - 126 * 190);
}

TEST(GbkText, SupplementaryCharactersUseTheLinearFourByteCodes) {
  for (char32_t code_point = 0x10000; code_point <= 0x10FFFF; code_point += 0x1003) {
    std::u16string utf16;
    utf16.push_back(static_cast<char16_t>(0xD800 + ((code_point - 0x10000) >> 10)));
    utf16.push_back(static_cast<char16_t>(0xDC00 + ((code_point - 0x10000) & 0x3FF)));
    const std::string gbk = Utf16ToGbk(utf16);
    ASSERT_EQ(gbk.size(), 4u);
    const auto* b = reinterpret_cast<const unsigned char*>(gbk.data());
    const std::uint32_t index = (((b[0] - 0x81) * 10 + (b[1] - 0x30)) * 126 + (b[2] - 0x81)) * 10 + (b[3] - 0x30);
    EXPECT_EQ(index, 189000 + (code_point - 0x10000));
    EXPECT_EQ(GbkToUtf16(gbk), utf16);
  }
}

TEST(GbkText, InvalidGbkDecodesToReplacementWithoutSwallowingText) {
  // Lone 0x80 and 0xFF, a lead byte at the end, a lead before a control
  // byte, a truncated four-byte code, and codes that name no character.
  EXPECT_EQ(GbkToUtf16(Code({'a', 0x80, 'b', 0xFF})), u"a\uFFFDb\uFFFD");
  EXPECT_EQ(GbkToUtf16(Code({'a', 0xC4})), u"a\uFFFD");
  EXPECT_EQ(GbkToUtf16(Code({0xC4, '\n', 'x'})), u"\uFFFD\nx");
  EXPECT_EQ(GbkToUtf16(Code({0x81, 0x30, 0x81})), u"\uFFFD0\uFFFD");
  EXPECT_EQ(GbkToUtf16(Code({0x84, 0x31, 0xA5, 0x30, 'z'})), u"\uFFFDz");  // past U+FFFF
  EXPECT_EQ(GbkToUtf16(Code({0x8F, 0x39, 0xFE, 0x39})), u"\uFFFD");        // below U+10000's code
  EXPECT_EQ(GbkToUtf16(Code({0xE3, 0x32, 0x9A, 0x36})), u"\uFFFD");        // past U+10FFFF
  EXPECT_EQ(GbkToUtf8(Code({0xFF})), "\xEF\xBF\xBD");

  EXPECT_EQ(GbkCharLength(Code({0xC4}), 0), 1u);
  EXPECT_EQ(GbkCharLength(Code({0xC4, 0x7F}), 0), 1u);
  EXPECT_EQ(GbkCharLength(Code({0x84, 0x31, 0xA5, 0x30}), 0), 4u);
  EXPECT_EQ(GbkCharLength("ab", 2), 1u);
}

TEST(GbkText, InvalidUnicodeEncodesAsQuestionMark) {
  EXPECT_EQ(Utf16ToGbk(u"a\xD800" u"b"), "a?b");           // lone high surrogate
  EXPECT_EQ(Utf16ToGbk(u"a\xDC00"), "a?");                 // lone low surrogate
  EXPECT_EQ(Utf16ToGbk(std::u16string(1, 0xD800)), "?");  // high at the end
  EXPECT_EQ(Utf8ToGbk("a\x80z"), "a?z");                   // stray continuation
  EXPECT_EQ(Utf8ToGbk("\xC0\xAF"), "??");                  // overlong '/'
  EXPECT_EQ(Utf8ToGbk("\xE0\x80\xAF"), "???");             // overlong, three bytes
  EXPECT_EQ(Utf8ToGbk("\xED\xA0\x80"), "???");             // encoded surrogate
  EXPECT_EQ(Utf8ToGbk("\xF4\x90\x80\x80"), "????");        // above U+10FFFF
  EXPECT_EQ(Utf8ToGbk("\xE4\xBD"), "?");                   // truncated 你
  EXPECT_EQ(Utf8ToGbk("\xE4\xBD" "a"), "?a");              // truncated, then ASCII kept
  EXPECT_EQ(Utf8ToGbk("\xEF\xBF\xBD"), Code({0x84, 0x31, 0xA4, 0x37}));  // a real U+FFFD survives
}

TEST(GbkText, RandomBytesNeverBreakTheConverters) {
  std::mt19937 random(12345);
  for (int round = 0; round < 3000; ++round) {
    std::string bytes(random() % 24, '\0');
    for (char& byte : bytes) {
      // Bias towards lead bytes and digits so that multibyte paths are hit.
      const unsigned pick = random() % 4;
      byte = static_cast<char>(pick == 0 ? 0x81 + random() % 126 : pick == 1 ? '0' + random() % 10 : random() % 256);
    }
    const std::u16string utf16 = GbkToUtf16(bytes);
    const std::string utf8 = GbkToUtf8(bytes);
    // Both decodings agree, and re-encoding is stable from then on.
    ASSERT_EQ(Utf8ToGbk(utf8), Utf16ToGbk(utf16));
    const std::string again = Utf16ToGbk(utf16);
    ASSERT_EQ(GbkToUtf16(again), utf16);
    std::size_t characters = 0;
    for (std::size_t pos = 0; pos < bytes.size(); pos += GbkCharLength(bytes, pos)) ++characters;
    std::size_t units = 0;
    for (char16_t unit : utf16) units += (unit < 0xDC00 || unit > 0xDFFF);
    ASSERT_EQ(characters, units);
    // Random bytes as UTF-8 give one GBK character per code point or '?'.
    const std::string from_utf8 = Utf8ToGbk(bytes);
    ASSERT_EQ(Utf8ToGbk(GbkToUtf8(from_utf8)), from_utf8);
  }
}

TEST(GbkText, CaseFoldingLeavesTrailBytesAlone) {
  // 0xC4 0x61 is a double-byte character whose trail byte reads as 'a'.
  const std::string with_trail_a = Code({0xC4, 'a', 'x'});
  const std::string with_trail_upper = Code({0xC4, 'A', 'X'});
  EXPECT_TRUE(GbkEqualsIgnoringCase("Memo 2011", "mEMO 2011"));
  EXPECT_FALSE(GbkEqualsIgnoringCase("memo", "memos"));
  EXPECT_FALSE(GbkEqualsIgnoringCase("memo", "mema"));
  EXPECT_TRUE(GbkEqualsIgnoringCase(with_trail_a, Code({0xC4, 'a', 'X'})));
  EXPECT_FALSE(GbkEqualsIgnoringCase(with_trail_a, with_trail_upper));
  EXPECT_EQ(GbkToUpperAscii(with_trail_a), Code({0xC4, 'a', 'X'}));
  EXPECT_EQ(GbkToUpperAscii(Gbk("abc中z")), Gbk("ABC中Z"));
  EXPECT_EQ(GbkToUpperAscii(Code({0x81, 0x30, 0x81, 0x30, 'q'})), Code({0x81, 0x30, 0x81, 0x30, 'Q'}));
}

}  // namespace
}  // namespace tarnwick
