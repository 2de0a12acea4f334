// The RC4 keystream generator, the building block of the password cipher.
// A state is small (258 bytes) and copied freely: the cipher restarts from a
// copy of a keyed state for every range it enciphers.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarnwick {

class Rc4 {
 public:
  Rc4() = default;
  Rc4(const Rc4&) = default;
  Rc4& operator=(const Rc4&) = default;
  // A state deciphers as well as its key: wiped when it goes.
  ~Rc4();
  // The standard key schedule over all key bytes, from the identity
  // permutation with both indices 0. An empty key leaves the identity.
  Rc4(const uint8_t* key, size_t key_length);

  void Discard(size_t count);
  void Keystream(uint8_t* out, size_t count);
  // data[i] ^= next keystream byte.
  void Xor(uint8_t* data, size_t count);

  bool operator==(const Rc4& other) const;

  // The permutation table of a state that has produced no keystream yet
  // (both indices 0), and such a state rebuilt from its table.
  void CopyTable(uint8_t out[256]) const;
  static Rc4 FromTable(const uint8_t table[256]);

 private:
  uint8_t state_[256] = {};
  uint8_t i_ = 0;
  uint8_t j_ = 0;
};

}  // namespace tarnwick
