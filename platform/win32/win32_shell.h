// The shell on Win32: the clipboard (CF_UNICODETEXT), links opened with the
// shell's "open" verb, the registered ".htm" open command, starting
// programs, and copies calling each other through a message-only window
// named for the store.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <functional>
#include <string>

#include "platform/shell.h"

namespace tarnwick::win32 {

class Win32Shell : public Shell {
 public:
  Win32Shell() = default;
  ~Win32Shell() override;
  Win32Shell(const Win32Shell&) = delete;
  Win32Shell& operator=(const Win32Shell&) = delete;

  std::string ClipboardText() const override;
  void SetClipboardText(std::string_view text) override;
  bool OpenWithShell(std::string_view target) override;
  std::string HtmlOpenCommand() const override;
  bool RunCommandLine(std::string_view command_line) override;
  bool ListenForLaterCopies(std::string_view name, std::function<void()> called) override;
  bool CallListeningCopy(std::string_view name) override;

 private:
  static LRESULT CALLBACK CallProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  HWND listener_ = nullptr;  // message-only, named for the store
  std::function<void()> called_;
};

}  // namespace tarnwick::win32
