// The password settings behind 密码设置选择框 ("备忘是否加密？"): on an
// unprotected store a click sets a password and locks the program until it
// is given; on a protected store it asks the old password and changes the
// password, or removes it when the new one is left empty.
//
// Promises:
// - The box's own mark is never read: the store file alone says which
//   sequence runs. Nothing happens while a memo is being edited.
// - The open store stays open while the passwords are asked: a cancelled or
//   wrong old password changes nothing. A failed re-key leaves the store
//   open with its old password, or, when even that cannot be had, the
//   program locked with the store closed, saying so.
// - The memo book never compares passwords; a password is right when the
//   store opens with it.
// - Nothing is set from a password typed once in a masked box: a new
//   password for a protected store is asked twice and must match. An empty
//   or cancelled first password sets nothing.
// - After a password is set the program is locked, and 超级按钮1 offers the
//   unlock until it succeeds. A change made while the program is locked
//   leaves it locked, with the store closed for that unlock.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/secret.h"
#include "memo/memo_book.h"

namespace tarnwick {

class PasswordSettings {
 public:
  explicit PasswordSettings(MemoBook& book);

  void CheckBoxClicked();

 private:
  void SetPassword();
  void ChangeOrRemovePassword();
  // Asks the replacement twice; nullopt when the two differ (said so).
  std::optional<SecretText> AskReplacement();
  void Message(const std::string& text, const std::string& title = {});
  // After a failed re-key: the store open again with password, or the
  // program locked with the store closed.
  void KeepStoreOpen(std::optional<std::string_view> password);

  MemoBook& book_;
  const MainWindowControls& c_;
};

}  // namespace tarnwick
