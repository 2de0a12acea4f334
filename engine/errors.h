// Setting the per-thread LastErrorCode (reading it is public, in database.h).
#pragma once

#include <string_view>

namespace tarnwick {

void SetLastError(int code);
// A code whose message differs from the code's usual text (UTF-8 source text).
void SetLastErrorWithText(int code, std::string_view utf8_text);

// An operation's way out: the code is left for LastErrorCode.
inline bool Fail(int code) {
  SetLastError(code);
  return false;
}
inline bool Succeed() {
  SetLastError(0);
  return true;
}

}  // namespace tarnwick
