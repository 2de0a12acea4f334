#include "engine/rc4.h"

#include <cstring>

#include "base/secret.h"

namespace tarnwick {

Rc4::~Rc4() {
  WipeMemory(state_, sizeof state_);
  i_ = 0;
  j_ = 0;
}

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

namespace {

// The generator's steps, each keystream byte handed to emit(n, byte). i, j
// and the table stay in locals so the compiler holds them in registers;
// re-keying speed rests on this loop.
template <typename Emit>
inline void Generate(uint8_t* s, uint8_t& stored_i, uint8_t& stored_j, size_t count, Emit emit) {
  uint8_t i = stored_i, j = stored_j;
  for (size_t n = 0; n < count; ++n) {
    i = static_cast<uint8_t>(i + 1);
    uint8_t x = s[i];
    j = static_cast<uint8_t>(j + x);
    uint8_t y = s[j];
    s[i] = y;
    s[j] = x;
    emit(n, s[static_cast<uint8_t>(x + y)]);
  }
  stored_i = i;
  stored_j = j;
}

}  // namespace

void Rc4::Discard(size_t count) {
  Generate(state_, i_, j_, count, [](size_t, uint8_t) {});
}

void Rc4::Keystream(uint8_t* out, size_t count) {
  Generate(state_, i_, j_, count, [out](size_t n, uint8_t byte) { out[n] = byte; });
}

void Rc4::Xor(uint8_t* data, size_t count) {
  Generate(state_, i_, j_, count, [data](size_t n, uint8_t byte) { data[n] ^= byte; });
}

bool Rc4::operator==(const Rc4& other) const {
  return i_ == other.i_ && j_ == other.j_ && std::memcmp(state_, other.state_, sizeof state_) == 0;
}

void Rc4::CopyTable(uint8_t out[256]) const { std::memcpy(out, state_, sizeof state_); }

Rc4 Rc4::FromTable(const uint8_t table[256]) {
  Rc4 rc4;
  std::memcpy(rc4.state_, table, sizeof rc4.state_);
  return rc4;
}

}  // namespace tarnwick
