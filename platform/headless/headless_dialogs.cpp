#include "platform/headless/headless_dialogs.h"

#include <cstdio>
#include <cstdlib>

#include "base/text.h"
#include "platform/headless/headless_window_system.h"

namespace tarnwick {
namespace {

const char* KindName(HeadlessDialogs::Kind kind) {
  switch (kind) {
    case HeadlessDialogs::Kind::kMessageBox: return "message box";
    case HeadlessDialogs::Kind::kInputBox: return "input box";
    case HeadlessDialogs::Kind::kFileDialog: return "file dialog";
    case HeadlessDialogs::Kind::kPopupMenu: return "popup menu";
  }
  return "dialog";
}

MessageResult CancelAnswer(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::kOk: return MessageResult::kOk;
    case MessageButtons::kYesNo: return MessageResult::kNo;
    default: return MessageResult::kCancel;
  }
}

}  // namespace

HeadlessDialogs::HeadlessDialogs()
    : fail_([](const std::string& message) {
        std::fprintf(stderr, "headless dialogs: %s\n", message.c_str());
        std::abort();
      }) {}

std::optional<HeadlessDialogs::Answer> HeadlessDialogs::Take(const Shown& shown) {
  // A box or dialog holds the activation while it is up; a popup menu does not.
  struct ActivationHeld {
    HeadlessWindowSystem* windows;
    explicit ActivationHeld(HeadlessWindowSystem* w) : windows(w) {
      if (windows != nullptr) windows->DialogShown();
    }
    ~ActivationHeld() {
      if (windows != nullptr) windows->DialogClosed();
    }
  } held(shown.kind == Kind::kPopupMenu ? nullptr : windows_);
  shown_.push_back(shown);
  if (on_show_) on_show_(shown_.back());
  std::string described = std::string(KindName(shown.kind)) + " \"" + GbkToUtf8(shown.text) + "\" (title \"" +
                          GbkToUtf8(shown.title) + "\")";
  if (script_.empty()) {
    fail_("unexpected " + described);
    return std::nullopt;
  }
  Answer answer = script_.front();
  if (answer.kind != shown.kind) {
    fail_("expected a " + std::string(KindName(answer.kind)) + " \"" + GbkToUtf8(answer.text) + "\", got " +
          described);
    return std::nullopt;
  }
  if (!answer.text.empty() && answer.text != shown.text && shown.kind != Kind::kPopupMenu) {
    fail_("expected " + std::string(KindName(answer.kind)) + " \"" + GbkToUtf8(answer.text) + "\", got " +
          described);
    return std::nullopt;
  }
  script_.pop_front();
  return answer;
}

MessageResult HeadlessDialogs::ShowMessageBox(const MessageBoxRequest& request) {
  Shown shown;
  shown.kind = Kind::kMessageBox;
  shown.title = request.title;
  shown.text = request.text;
  shown.buttons = request.buttons;
  shown.icon = request.icon;
  shown.default_button = request.default_button;
  shown.owned = request.owner != nullptr;
  auto answer = Take(shown);
  if (!answer) return CancelAnswer(request.buttons);
  if (answer->presses_return) return MessageButtonAt(request.buttons, request.default_button);
  MessageResult result = answer->result;
  // An answer the box has no button for is a scripting error.
  bool offered = false;
  switch (request.buttons) {
    case MessageButtons::kOk: offered = result == MessageResult::kOk; break;
    case MessageButtons::kOkCancel: offered = result == MessageResult::kOk || result == MessageResult::kCancel; break;
    case MessageButtons::kYesNo: offered = result == MessageResult::kYes || result == MessageResult::kNo; break;
    case MessageButtons::kYesNoCancel:
      offered = result == MessageResult::kYes || result == MessageResult::kNo || result == MessageResult::kCancel;
      break;
    case MessageButtons::kRetryCancel: offered = result == MessageResult::kRetry || result == MessageResult::kCancel; break;
  }
  if (!offered) {
    fail_("scripted answer is not a button of message box \"" + GbkToUtf8(request.text) + "\"");
    return CancelAnswer(request.buttons);
  }
  return result;
}

std::optional<SecretText> HeadlessDialogs::ShowInputBox(const InputBoxRequest& request) {
  Shown shown;
  shown.kind = Kind::kInputBox;
  shown.title = request.title;
  shown.text = request.prompt;
  shown.masked = request.masked;
  shown.confirm_caption = request.confirm_caption;
  shown.cancel_caption = request.cancel_caption;
  shown.owned = request.owner != nullptr;
  auto answer = Take(shown);
  if (!answer || !answer->value) return std::nullopt;
  return SecretText::Take(answer->value);
}

std::optional<std::string> HeadlessDialogs::ShowFileDialog(const FileDialogRequest& request) {
  Shown shown;
  shown.kind = Kind::kFileDialog;
  shown.title = request.title;
  shown.text = request.title;
  shown.file_request = request;
  shown.owned = request.owner != nullptr;
  auto answer = Take(shown);
  if (!answer || !answer->value) return std::nullopt;
  return ApplyDefaultExtension(*answer->value, request.default_extension);
}

int HeadlessDialogs::ShowPopupMenu(NativeWindow& owner, const std::vector<MenuEntry>& entries,
                                   Point screen_position) {
  (void)owner;
  Shown shown;
  shown.kind = Kind::kPopupMenu;
  shown.menu = entries;
  shown.position = screen_position;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (i > 0) shown.text += "|";
    shown.text += entries[i].caption;
  }
  shown.owned = true;
  auto answer = Take(shown);
  if (!answer || answer->text.empty()) return -1;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (!entries[i].separator && entries[i].caption == answer->text) {
      if (entries[i].disabled) {
        fail_("scripted choice \"" + GbkToUtf8(answer->text) + "\" is disabled in the popup menu");
        return -1;
      }
      return static_cast<int>(i);
    }
  }
  fail_("popup menu has no entry \"" + GbkToUtf8(answer->text) + "\": " + GbkToUtf8(shown.text));
  return -1;
}

void HeadlessDialogs::ExpectMessageBox(std::string text, MessageResult answer) {
  script_.push_back({Kind::kMessageBox, std::move(text), answer, std::nullopt});
}

void HeadlessDialogs::ExpectMessageBoxReturn(std::string text) {
  script_.push_back({Kind::kMessageBox, std::move(text), MessageResult::kOk, std::nullopt, true});
}

void HeadlessDialogs::ExpectInputBox(std::string prompt, std::optional<std::string> answer) {
  script_.push_back({Kind::kInputBox, std::move(prompt), MessageResult::kOk, std::move(answer)});
}

void HeadlessDialogs::ExpectFileDialog(std::optional<std::string> typed) {
  script_.push_back({Kind::kFileDialog, "", MessageResult::kOk, std::move(typed)});
}

void HeadlessDialogs::ExpectPopupMenu(std::string chosen_caption) {
  script_.push_back({Kind::kPopupMenu, std::move(chosen_caption), MessageResult::kOk, std::nullopt});
}

std::string ApplyDefaultExtension(const std::string& name, const std::string& extension) {
  if (extension.empty() || name.empty()) return name;
  std::size_t separator = name.find_last_of("/\\");
  std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && (separator == std::string::npos || dot > separator)) return name;
  return name + "." + extension;
}

}  // namespace tarnwick
