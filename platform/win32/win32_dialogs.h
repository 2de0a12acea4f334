// Dialogs on Win32: task-modal message boxes, an input box built from an
// in-memory dialog template, the common save and open dialogs, popup menus.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/dialogs.h"

namespace tarnwick::win32 {

class Win32Dialogs : public Dialogs {
 public:
  MessageResult ShowMessageBox(const MessageBoxRequest& request) override;
  std::optional<SecretText> ShowInputBox(const InputBoxRequest& request) override;
  std::optional<std::string> ShowFileDialog(const FileDialogRequest& request) override;
  int ShowPopupMenu(NativeWindow& owner, const std::vector<MenuEntry>& entries, Point screen_position) override;
};

// The layer's filter ("desc|pattern|desc|pattern") as the common dialogs take
// it: UTF-16 pairs separated by NULs, ending in two NULs.
std::wstring CommonDialogFilter(std::string_view gbk_filter);

// The chosen path with the default extension appended when the name has
// none (no dot after the last path separator).
std::string WithDefaultExtension(std::string path, std::string_view extension);

}  // namespace tarnwick::win32
