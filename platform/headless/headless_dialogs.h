// Headless dialogs, answered from a script the test writes in advance.
//
// Each dialog the program shows takes the next scripted answer, which must be
// of the same kind (and, when the script names a text, show that text). A
// dialog nobody scripted, or one that does not match, is reported through the
// failure handler naming its text, and is answered as if cancelled. Every
// dialog shown is kept in shown() for the test to inspect.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace tarnwick {

class HeadlessWindowSystem;

class HeadlessDialogs : public Dialogs {
 public:
  enum class Kind { kMessageBox, kInputBox, kFileDialog, kPopupMenu };

  // What the program showed.
  struct Shown {
    Kind kind = Kind::kMessageBox;
    std::string title;
    std::string text;  // message text, input prompt, or the menu's captions joined by "|"
    MessageButtons buttons = MessageButtons::kOk;
    MessageIcon icon = MessageIcon::kNone;
    int default_button = 0;  // message box
    bool masked = false;
    std::string confirm_caption, cancel_caption;
    FileDialogRequest file_request;
    std::vector<MenuEntry> menu;
    Point position;  // popup menu
    bool owned = false;
  };

  HeadlessDialogs();

  MessageResult ShowMessageBox(const MessageBoxRequest& request) override;
  std::optional<SecretText> ShowInputBox(const InputBoxRequest& request) override;
  std::optional<std::string> ShowFileDialog(const FileDialogRequest& request) override;
  int ShowPopupMenu(NativeWindow& owner, const std::vector<MenuEntry>& entries, Point screen_position) override;

  // The script. Texts are GBK; an empty expected text accepts any.
  void ExpectMessageBox(std::string text, MessageResult answer);
  // The user presses Return: the message box's default button answers.
  void ExpectMessageBoxReturn(std::string text);
  // answer nullopt: the user cancels.
  void ExpectInputBox(std::string prompt, std::optional<std::string> answer);
  // typed nullopt: the user cancels; otherwise the name the user types, to
  // which the default extension is applied as the system dialog does.
  void ExpectFileDialog(std::optional<std::string> typed);
  // The user picks the entry with this caption; empty: dismisses the menu.
  void ExpectPopupMenu(std::string chosen_caption);

  // Boxes and dialogs take the activation from the active window of windows
  // while they are up and give it back, as on the real systems.
  void SetWindowSystem(HeadlessWindowSystem* windows) { windows_ = windows; }

  // Answers not yet used.
  std::size_t pending() const { return script_.size(); }
  const std::vector<Shown>& shown() const { return shown_; }
  void ClearShown() { shown_.clear(); }

  // Called with a readable (UTF-8) description of each unexpected or
  // mismatched dialog. The default prints it and aborts, so an unscripted
  // dialog can never pass unnoticed; test fixtures install a gtest failure.
  void SetFailureHandler(std::function<void(const std::string&)> handler) { fail_ = std::move(handler); }

  // When set, a dialog fires this (after recording it, before answering),
  // so a test can observe the program's state while the dialog is up.
  void SetOnShow(std::function<void(const Shown&)> hook) { on_show_ = std::move(hook); }

 private:
  struct Answer {
    Kind kind;
    std::string text;
    MessageResult result = MessageResult::kOk;
    std::optional<std::string> value;
    bool presses_return = false;
  };
  // The next answer if it matches; reports the failure and answers nullopt
  // otherwise.
  std::optional<Answer> Take(const Shown& shown);

  std::deque<Answer> script_;
  std::vector<Shown> shown_;
  std::function<void(const std::string&)> fail_;
  std::function<void(const Shown&)> on_show_;
  HeadlessWindowSystem* windows_ = nullptr;
};

// The default extension rule of the save dialog: name + "." + extension when
// name has no dot after its last path separator and extension is not empty.
std::string ApplyDefaultExtension(const std::string& name, const std::string& extension);

}  // namespace tarnwick
