#include "engine/rc4.h"

#include <cstring>

namespace tarnwick {

Rc4::Rc4(const uint8_t* key, size_t key_length) {
  for (int k = 0; k < 256; ++k) state_[k] = static_cast<uint8_t>(k);
  if (key_length == 0) return;
  uint8_t j = 0;
  size_t key_index = 0;
  for (int k = 0; k < 256; ++k) {
    j = static_cast<uint8_t>(j + state_[k] + key[key_index]);
    if (++key_index == key_length) key_index = 0;
    uint8_t swap = state_[k];
    state_[k] = state_[j];
    state_[j] = swap;
  }
}

// The three loops keep i, j and the table in locals so the compiler holds
// them in registers; re-keying speed rests on these.
void Rc4::Discard(size_t count) {
  uint8_t i = i_, j = j_;
  uint8_t* s = state_;
  for (size_t n = 0; n < count; ++n) {
    i = static_cast<uint8_t>(i + 1);
    uint8_t x = s[i];
    j = static_cast<uint8_t>(j + x);
    s[i] = s[j];
    s[j] = x;
  }
  i_ = i;
  j_ = j;
}

void Rc4::Keystream(uint8_t* out, size_t count) {
  std::memset(out, 0, count);
  Xor(out, count);
}

void Rc4::Xor(uint8_t* data, size_t count) {
  uint8_t i = i_, j = j_;
  uint8_t* s = state_;
  for (size_t n = 0; n < count; ++n) {
    i = static_cast<uint8_t>(i + 1);
    uint8_t x = s[i];
    j = static_cast<uint8_t>(j + x);
    uint8_t y = s[j];
    s[i] = y;
    s[j] = x;
    data[n] ^= s[static_cast<uint8_t>(x + y)];
  }
  i_ = i;
  j_ = j;
}

bool Rc4::operator==(const Rc4& other) const {
  return i_ == other.i_ && j_ == other.j_ && std::memcmp(state_, other.state_, sizeof state_) == 0;
}

}  // namespace tarnwick
