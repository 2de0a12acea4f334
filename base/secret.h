// Wiping secrets: passwords, and key material made from them, are zeroed as
// soon as they are no longer needed, by writes the compiler may not drop.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

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

// While at least one lives, the process leaves no core dump (on Linux it is
// also made undumpable, which keeps other processes of the user from reading
// its memory): a dump would hold the keys. The settings before come back when
// the last one goes. Elsewhere it does nothing.
class NoCoreDumps {
 public:
  NoCoreDumps();
  ~NoCoreDumps();
  NoCoreDumps(const NoCoreDumps&) : NoCoreDumps() {}
  NoCoreDumps& operator=(const NoCoreDumps&) { return *this; }
};

// A password on its way from the box it was typed into to the engine. Its
// bytes are wiped when it is destroyed, assigned over or moved from: a move
// copies and wipes, since a short string's characters would otherwise stay
// behind in the source's own buffer. It is never copied implicitly.
class SecretText {
 public:
  SecretText() = default;
  // Takes the text, wiping it where it lay.
  static SecretText Take(std::string& text);
  static SecretText Take(std::optional<std::string>& text);
  // A copy of a text whose owner wipes it (a script, a test's answer).
  static SecretText Copy(std::string_view text);
  // The same for an answer that may be missing (a cancelled box).
  static std::optional<SecretText> CopyAnswer(const std::optional<std::string>& answer);
  SecretText(SecretText&& other) noexcept { *this = std::move(other); }
  SecretText& operator=(SecretText&& other) noexcept;
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;
  ~SecretText() { WipeText(text_); }

  std::string_view view() const { return text_; }
  bool empty() const { return text_.empty(); }
  bool operator==(const SecretText& other) const { return text_ == other.text_; }

 private:
  std::string text_;
};

}  // namespace tarnwick
