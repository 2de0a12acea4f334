// The enciphering file layer through which the engine reads and writes both
// database files.
//
// With a password, every byte from offset 4 on is XORed with a positional
// keystream: the file is cut into 4096-byte cipher blocks, and block k is
// XORed with an RC4 keystream keyed by a 40-byte block key (a word of the
// password's master keystream, the password's check text, and k mixed with
// that word), after 36 discarded bytes. Any byte range can thus be read or
// written on its own. Without a password the bytes pass unchanged.
//
// Keystreams depend only on the key, never on the file, so they are cached
// freely (the master words and a few recent blocks).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "base/secret.h"
#include "engine/file_system.h"

namespace tarnwick {

inline constexpr uint64_t kCipherStart = 4;
inline constexpr size_t kCipherBlockSize = 4096;

class CipherKey;

// The key of a password; nullptr for the empty password.
std::shared_ptr<CipherKey> MakeCipherKey(std::string_view password);
// The check text the key was made with ("" for nullptr).
const std::string& KeyCheckText(const CipherKey* key);
// What a key is made of, without the password: the RC4 table after the key
// schedule with the password, then the 32 characters of its check text. It
// deciphers the files as well as the password does, so it is kept as secret.
inline constexpr size_t kKeyMaterialSize = 256 + 32;
void CopyKeyMaterial(const CipherKey& key, uint8_t out[kKeyMaterialSize]);
std::shared_ptr<CipherKey> KeyFromMaterial(const uint8_t material[kKeyMaterialSize]);
// Whether two keys (either may be nullptr, the empty password's) are the same.
bool SameKey(const CipherKey* a, const CipherKey* b);
// XORs data, which sits at file offset `offset`, with the key's keystream
// (bytes below kCipherStart untouched). A nullptr key does nothing.
void ApplyCipher(CipherKey* key, uint64_t offset, uint8_t* data, size_t count);

class CipherFile {
 public:
  CipherFile(std::unique_ptr<File> file, std::string_view password);
  ~CipherFile();

  // Reads with the read key; *read_count is short at the end of the file.
  FileStatus Read(uint64_t offset, void* buffer, size_t count, size_t* read_count);
  // Writes an enciphered copy made with the write key.
  FileStatus Write(uint64_t offset, const void* data, size_t count);
  // Rewrites the whole file under the key of new_password. On failure the
  // bytes already rewritten are put back under the old key, both keys stay
  // the old one, and the status of the failure is returned.
  FileStatus Rekey(std::string_view new_password);
  FileStatus Rekey(std::shared_ptr<CipherKey> new_key);
  // Replaces both keys without touching the file (trying another password).
  void SetPassword(std::string_view password);
  // Both keys, shared with another file of the same database.
  void SetKey(std::shared_ptr<CipherKey> key);
  const std::shared_ptr<CipherKey>& key() const { return read_key_; }
  bool HasKey() const { return read_key_ != nullptr; }

  File& file() { return *file_; }

 private:
  std::unique_ptr<File> file_;
  std::shared_ptr<CipherKey> read_key_;
  std::shared_ptr<CipherKey> write_key_;
};

}  // namespace tarnwick
