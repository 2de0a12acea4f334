#include "base/secret.h"

#include <cstring>

namespace tarnwick {

void WipeMemory(void* data, std::size_t count) {
  if (count == 0) return;
#if defined(__GNUC__) || defined(__clang__)
  // One memset, kept by a barrier that tells the compiler the bytes may still
  // be read. A byte-by-byte volatile loop costs each cipher key's 256 KB
  // keystream cache a quarter of a million separate stores.
  std::memset(data, 0, count);
  __asm__ __volatile__("" : : "r"(data) : "memory");
#else
  volatile auto* bytes = static_cast<volatile unsigned char*>(data);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = 0;
#endif
}

void WipeText(std::string& text) {
  WipeMemory(text.data(), text.size());
  text.clear();
}

SecretText SecretText::Take(std::string& text) {
  SecretText secret;
  secret.text_.assign(text);
  WipeText(text);
  return secret;
}

SecretText SecretText::Take(std::optional<std::string>& text) {
  if (!text) return SecretText();
  SecretText secret = Take(*text);
  text.reset();
  return secret;
}

SecretText SecretText::Copy(std::string_view text) {
  SecretText secret;
  secret.text_.assign(text);
  return secret;
}

std::optional<SecretText> SecretText::CopyAnswer(const std::optional<std::string>& answer) {
  if (!answer) return std::nullopt;
  return Copy(*answer);
}

SecretText& SecretText::operator=(SecretText&& other) noexcept {
  if (this == &other) return *this;
  WipeText(text_);
  text_.assign(other.text_);  // no throw in practice: a password's few bytes
  WipeText(other.text_);
  return *this;
}

}  // namespace tarnwick
