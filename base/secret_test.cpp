#include "base/secret.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tarnwick {
namespace {

// Reads the bytes a string held, through its own buffer, after a wipe.
bool ZeroedInPlace(std::string& text, void (*wipe)(std::string&)) {
  const char* buffer = text.data();
  const std::size_t count = text.size();
  wipe(text);
  return text.empty() && text.data() == buffer && std::all_of(buffer, buffer + count, [](char c) { return c == 0; });
}

TEST(WipeTextTest, ZeroesShortAndHeapHeldTextsInTheirOwnBuffer) {
  std::string short_password = "abc";
  EXPECT_TRUE(ZeroedInPlace(short_password, WipeText));
  std::string long_password(200, 'k');
  EXPECT_TRUE(ZeroedInPlace(long_password, WipeText));
}

TEST(WipeTextTest, WipeOnExitWipesOnEveryWayOut) {
  std::string password(64, 'p');
  const char* buffer = password.data();
  try {
    WipeOnExit wipe(password);
    throw 1;
  } catch (int) {
  }
  EXPECT_TRUE(password.empty());
  EXPECT_TRUE(std::all_of(buffer, buffer + 64, [](char c) { return c == 0; }));
}

// A moved or taken secret leaves nothing behind, short (held inside the
// string object) or long (on the heap).
TEST(SecretTextTest, TakingAndMovingLeaveNoCopyBehind) {
  for (const std::size_t length : {std::size_t{5}, std::size_t{200}}) {
    std::string typed(length, 'q');
    const char* typed_buffer = typed.data();
    SecretText taken = SecretText::Take(typed);
    EXPECT_TRUE(typed.empty());
    EXPECT_TRUE(std::all_of(typed_buffer, typed_buffer + length, [](char c) { return c == 0; })) << length;
    EXPECT_EQ(taken.view(), std::string(length, 'q'));

    const char* taken_buffer = taken.view().data();
    SecretText moved(std::move(taken));
    EXPECT_TRUE(taken.empty());
    EXPECT_TRUE(std::all_of(taken_buffer, taken_buffer + length, [](char c) { return c == 0; })) << length;
    EXPECT_EQ(moved.view(), std::string(length, 'q'));

    SecretText assigned;
    const char* moved_buffer = moved.view().data();
    assigned = std::move(moved);
    EXPECT_TRUE(std::all_of(moved_buffer, moved_buffer + length, [](char c) { return c == 0; })) << length;
    EXPECT_EQ(assigned.view(), std::string(length, 'q'));
  }
  std::optional<std::string> answer = std::string("abc");
  EXPECT_EQ(SecretText::Take(answer).view(), "abc");
  EXPECT_FALSE(answer.has_value());
  std::optional<std::string> cancelled;
  EXPECT_TRUE(SecretText::Take(cancelled).empty());
}

}  // namespace
}  // namespace tarnwick
