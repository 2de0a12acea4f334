#include "base/secret.h"

namespace tarnwick {

void WipeMemory(void* data, std::size_t count) {
  volatile auto* bytes = static_cast<volatile unsigned char*>(data);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = 0;
}

void WipeText(std::string& text) {
  WipeMemory(text.data(), text.size());
  text.clear();
}

}  // namespace tarnwick
