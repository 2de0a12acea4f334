// Wiping secrets: passwords, and key material made from them, are zeroed as
// soon as they are no longer needed, by writes the compiler may not drop.
#pragma once

#include <cstddef>
#include <string>

namespace tarnwick {

void WipeMemory(void* data, std::size_t count);

// Zeroes the text's bytes in place and empties it; its buffer is kept.
void WipeText(std::string& text);

// Wipes a text when the scope ends, on every way out.
class WipeOnExit {
 public:
  explicit WipeOnExit(std::string& text) : text_(text) {}
  ~WipeOnExit() { WipeText(text_); }
  WipeOnExit(const WipeOnExit&) = delete;
  WipeOnExit& operator=(const WipeOnExit&) = delete;

 private:
  std::string& text_;
};

}  // namespace tarnwick
