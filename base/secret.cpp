#include "base/secret.h"

#include <cstring>
#include <mutex>

#ifdef __linux__
#include <sys/prctl.h>
#endif
#ifndef _WIN32
#include <sys/resource.h>
#endif

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

namespace {

std::mutex core_dump_mutex;
int core_dump_holders = 0;
#ifndef _WIN32
rlimit core_limit_before {};
int dumpable_before = 1;
#endif

}  // namespace

NoCoreDumps::NoCoreDumps() {
  std::lock_guard<std::mutex> lock(core_dump_mutex);
  if (core_dump_holders++ > 0) return;
#ifndef _WIN32
  getrlimit(RLIMIT_CORE, &core_limit_before);
  rlimit none = core_limit_before;
  none.rlim_cur = 0;
  setrlimit(RLIMIT_CORE, &none);
#endif
#ifdef __linux__
  dumpable_before = prctl(PR_GET_DUMPABLE, 0, 0, 0, 0);
  prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

NoCoreDumps::~NoCoreDumps() {
  std::lock_guard<std::mutex> lock(core_dump_mutex);
  if (--core_dump_holders > 0) return;
#ifndef _WIN32
  setrlimit(RLIMIT_CORE, &core_limit_before);
#endif
#ifdef __linux__
  if (dumpable_before > 0) prctl(PR_SET_DUMPABLE, dumpable_before, 0, 0, 0);
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
