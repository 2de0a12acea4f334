// Modal dialogs: message boxes, input boxes, the open and save file dialogs
// and popup menus. Each call returns when the user has answered; events of
// other windows keep being processed meanwhile, as a modal loop does. Texts
// are GBK.
#pragma once

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "base/secret.h"
#include "platform/types.h"

namespace tarnwick {

class NativeWindow;

enum class MessageButtons { kOk, kOkCancel, kYesNo, kYesNoCancel, kRetryCancel };
enum class MessageIcon { kNone, kInformation, kWarning, kError, kQuestion };
enum class MessageResult { kOk, kCancel, kYes, kNo, kRetry };

struct MessageBoxRequest {
  std::string title;
  std::string text;
  MessageButtons buttons = MessageButtons::kOk;
  MessageIcon icon = MessageIcon::kNone;
  // nullptr: owner-less and modal to every window of the program.
  NativeWindow* owner = nullptr;
  // The button Return presses, counted in the order of `buttons` (Yes, No,
  // Cancel); 0 is the first.
  int default_button = 0;
};

// The answer of the button at index (as default_button counts) of buttons;
// the last button for an index past the end.
inline MessageResult MessageButtonAt(MessageButtons buttons, int index) {
  std::vector<MessageResult> answers;
  switch (buttons) {
    case MessageButtons::kOk: answers = {MessageResult::kOk}; break;
    case MessageButtons::kOkCancel: answers = {MessageResult::kOk, MessageResult::kCancel}; break;
    case MessageButtons::kYesNo: answers = {MessageResult::kYes, MessageResult::kNo}; break;
    case MessageButtons::kYesNoCancel: answers = {MessageResult::kYes, MessageResult::kNo, MessageResult::kCancel}; break;
    case MessageButtons::kRetryCancel: answers = {MessageResult::kRetry, MessageResult::kCancel}; break;
  }
  return answers[index < 0 ? 0 : std::min<std::size_t>(static_cast<std::size_t>(index), answers.size() - 1)];
}

struct InputBoxRequest {
  std::string title;
  std::string prompt;  // the line above the entry field
  bool masked = false;  // the entry shows '*' for each character
  std::string confirm_caption;  // e.g. "确认输入(&O)"; '&' marks the mnemonic
  std::string cancel_caption;   // e.g. "取消(&C)"
  NativeWindow* owner = nullptr;
};

enum class FileDialogKind { kOpen, kSave };

struct FileDialogRequest {
  FileDialogKind kind = FileDialogKind::kSave;
  std::string title;           // empty: the system's default title
  // Pairs of description and pattern joined by "|", e.g.
  // "文本文件(*.txt)|*.txt|所有文件(*.*)|*.*"; empty: all files.
  std::string filter;
  // Appended as "." + extension when the user gives a name without one
  // (no dot after the last path separator); empty: nothing is appended.
  std::string default_extension;
  std::string initial_file_name;
  NativeWindow* owner = nullptr;
};

// One entry of a popup menu.
struct MenuEntry {
  std::string caption;  // '&' marks the mnemonic
  bool separator = false;
  bool checked = false;
  bool disabled = false;  // shown greyed, cannot be chosen
};

class Dialogs {
 public:
  virtual ~Dialogs() = default;

  // Shows a message box and answers the button the user pressed; closing it
  // by its close box or Escape answers kCancel, or kNo / kOk where there is
  // no Cancel button.
  virtual MessageResult ShowMessageBox(const MessageBoxRequest& request) = 0;

  // Shows an input box whose entry starts empty. Answers the typed text on
  // confirm, nullopt on cancel or close. Every box may take a password: the
  // entry, its undo history and every copy the backend made are wiped however
  // the box closes, and the answer travels as a secret.
  virtual std::optional<SecretText> ShowInputBox(const InputBoxRequest& request) = 0;

  // Shows the system's open or save file dialog. Answers the chosen full
  // path (default extension already applied), nullopt when cancelled.
  virtual std::optional<std::string> ShowFileDialog(const FileDialogRequest& request) = 0;

  // Shows a popup menu with its top left at screen_position, tracking both
  // mouse buttons, owned by owner. Answers the index of the chosen entry in
  // entries, -1 when the menu was dismissed.
  virtual int ShowPopupMenu(NativeWindow& owner, const std::vector<MenuEntry>& entries,
                            Point screen_position) = 0;
};

}  // namespace tarnwick
