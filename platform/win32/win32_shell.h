// The shell on Win32: the clipboard (CF_UNICODETEXT), links opened with the
// shell's "open" verb, the registered ".htm" open command, and starting
// programs.
#pragma once

#include <string>

#include "platform/shell.h"

namespace tarnwick::win32 {

class Win32Shell : public Shell {
 public:
  std::string ClipboardText() const override;
  void SetClipboardText(std::string_view text) override;
  bool OpenWithShell(std::string_view target) override;
  std::string HtmlOpenCommand() const override;
  bool RunCommandLine(std::string_view command_line) override;
};

}  // namespace tarnwick::win32
