// The desktop shell: the clipboard and opening links.
#pragma once

#include <string>
#include <string_view>

namespace tarnwick {

class Shell {
 public:
  virtual ~Shell() = default;

  // The clipboard's text (GBK), empty when it holds no text.
  virtual std::string ClipboardText() const = 0;
  // Puts text on the clipboard, replacing what it held.
  virtual void SetClipboardText(std::string_view text) = 0;

  // Opens target (a "mailto:" or web address, or a file) with the shell's
  // "open" verb. Answers false when the shell could not open it.
  virtual bool OpenWithShell(std::string_view target) = 0;
  // The open command registered for ".htm" files in the user's file
  // associations (e.g. "\"C:\\browser.exe\" \"%1\""), empty when there is
  // none. Used as the fallback when OpenWithShell fails.
  virtual std::string HtmlOpenCommand() const = 0;
  // Starts a program from a command line, not waiting for it. Answers
  // whether it started.
  virtual bool RunCommandLine(std::string_view command_line) = 0;
};

}  // namespace tarnwick
