#include "tools/edbtool/command_line.h"

#include <gtest/gtest.h>

#include "tools/edbtool/json_text.h"

namespace tarnwick::edbtool {
namespace {

ParseResult Parse(std::vector<std::string> arguments) { return ParseCommandLine(arguments); }

// A password on the command line is in every user's process list and the
// shell's history: refused in every form, with the way to give it instead.
TEST(CommandLine, PasswordsAreRefusedAndTheWayToGiveThemIsSaid) {
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"append", "db", "1", "--password", "秘密", "text"},
        {"dump", "db", "--password=old"}, {"passwd", "db", "new"}, {"restore", "folder", "--password", "p", "b"}}) {
    const ParseResult result = Parse(arguments);
    EXPECT_FALSE(result.command) << arguments[0];
    EXPECT_NE(result.error.find("standard input"), std::string::npos) << result.error;
  }
  const ParseResult passwd = Parse({"passwd", "db"});
  ASSERT_TRUE(passwd.command) << passwd.error;
  EXPECT_TRUE(passwd.command->arguments.empty());

  // After "--" everything is a value, "--password" included; "-5" is always a value.
  const ParseResult result = Parse({"append", "db", "-5", "--", "--password", "x"});
  ASSERT_TRUE(result.command) << result.error;
  EXPECT_EQ(result.command->arguments, (std::vector<std::string>{"-5", "--password", "x"}));
}

TEST(CommandLine, UsageErrors) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"frobnicate", "db"},
      {"dump"},
      {"dump", ""},
      {"dump", "db", "extra"},
      {"create", "db"},
      {"write", "db", "0", "1"},
      {"write", "db", "0", "1", "2", "3"},
      {"clear", "db", "extra"},
      {"dump", "db", "--verbose"},
  };
  for (const auto& arguments : bad) {
    const ParseResult result = Parse(arguments);
    EXPECT_FALSE(result.command) << "accepted: " << (arguments.empty() ? "" : arguments[0]);
    EXPECT_FALSE(result.error.empty());
  }
}

TEST(JsonText, EscapesWhatJsonRequires) {
  EXPECT_EQ(JsonString("a\"b\\c\n\t\x01 日期"), "\"a\\\"b\\\\c\\n\\t\\u0001 日期\"");
  EXPECT_EQ(JsonString(""), "\"\"");
  EXPECT_EQ(JsonNumber(40666.0), "40666");
  EXPECT_EQ(JsonNumber(-0.25), "-0.25");
  EXPECT_EQ(JsonNumber(0.1f), "0.1");
  EXPECT_EQ(JsonNumber(1e300 * 1e300), "null");
  EXPECT_EQ(HexBytes(std::string("\x00\xff\x10", 3)), "0x00ff10");
  EXPECT_EQ(HexBytes(""), "0x");
}

}  // namespace
}  // namespace tarnwick::edbtool
