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

}  // namespace
}  // namespace tarnwick
