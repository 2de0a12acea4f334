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

}  // namespace tarnwick
