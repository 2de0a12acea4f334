#include "tools/edbtool/field_value.h"

#include <gtest/gtest.h>

namespace tarnwick::edbtool {
namespace {

TEST(FieldValue, NumbersAreCheckedAgainstTheFieldsRange) {
  struct Case {
    int type;
    const char* text;
    bool accepted;
    std::int64_t value;
  };
  const Case cases[] = {
      {1, "255", true, 255},        {1, "256", false, 0},   {1, "-1", false, 0},
      {2, "-32768", true, -32768},  {2, "32768", false, 0}, {3, "+2147483647", true, 2147483647},
      {3, "2147483648", false, 0},  {3, "12x", false, 0},   {3, "", false, 0},
      {4, "-9223372036854775808", true, INT64_MIN},          {4, "9223372036854775808", false, 0},
      {9, "4294967295", true, 4294967295},                   {9, "-1", true, -1},
  };
  for (const Case& c : cases) {
    const ParsedArgument parsed = ParseFieldValue(c.type, 0, c.text);
    EXPECT_EQ(parsed.value.has_value(), c.accepted) << c.type << " " << c.text;
    if (parsed.value && c.accepted) {
      EXPECT_EQ(parsed.value->integer, c.value);
    }
    if (!parsed.value) {
      EXPECT_FALSE(parsed.error.empty());
    }
  }
  EXPECT_FALSE(ParseFieldValue(5, 0, "1e39").value);
  ASSERT_TRUE(ParseFieldValue(6, 0, "1e39").value);
  EXPECT_EQ(ParseFieldValue(6, 0, "-0.5").value->real, -0.5);
}

TEST(FieldValue, DatesAsDayNumbersOrTexts) {
  ASSERT_TRUE(ParseFieldValue(8, 0, "40666.5").value);
  EXPECT_EQ(ParseFieldValue(8, 0, "40666.5").value->real, 40666.5);
  // 2011-05-03 is day 40666; 1900-01-01 is day 2.
  ASSERT_TRUE(ParseFieldValue(8, 0, "2011年5月3日").value);
  EXPECT_EQ(ParseFieldValue(8, 0, "2011年5月3日").value->real, 40666);
  EXPECT_EQ(ParseFieldValue(8, 0, "1900年1月1日").value->real, 2);
  EXPECT_EQ(ParseFieldValue(8, 0, "100年1月1日").value->real, -657434);
  EXPECT_FALSE(ParseFieldValue(8, 0, "2011年2月30日").value);
  EXPECT_FALSE(ParseFieldValue(8, 0, "yesterday").value);
  EXPECT_FALSE(ParseFieldValue(8, 0, "nan").value);
}

TEST(FieldValue, TextsBooleansAndByteStrings) {
  // 备忘 is 4 bytes in GBK: B1 B8 CD FC.
  ASSERT_TRUE(ParseFieldValue(12, 0, "备忘").value);
  EXPECT_EQ(ParseFieldValue(12, 0, "备忘").value->bytes, "\xB1\xB8\xCD\xFC");
  EXPECT_TRUE(ParseFieldValue(10, 4, "备忘").value);
  EXPECT_FALSE(ParseFieldValue(10, 3, "备忘").value);  // would be cut inside a character
  EXPECT_TRUE(ParseFieldValue(12, 0, "").value);

  EXPECT_TRUE(ParseFieldValue(7, 0, "true").value->boolean);
  EXPECT_FALSE(ParseFieldValue(7, 0, "false").value->boolean);
  EXPECT_FALSE(ParseFieldValue(7, 0, "1").value);

  ASSERT_TRUE(ParseFieldValue(11, 0, "0x00Ff7a").value);
  EXPECT_EQ(ParseFieldValue(11, 0, "0x00Ff7a").value->bytes, std::string("\x00\xff\x7a", 3));
  EXPECT_EQ(ParseFieldValue(11, 0, "0x").value->bytes, "");
  EXPECT_FALSE(ParseFieldValue(11, 0, "0x123").value);
  EXPECT_FALSE(ParseFieldValue(11, 0, "0xzz").value);
  EXPECT_FALSE(ParseFieldValue(11, 0, "abcd").value);
  EXPECT_FALSE(ParseFieldValue(13, 0, "1").value);
}

}  // namespace
}  // namespace tarnwick::edbtool
