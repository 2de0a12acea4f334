// The desktop shell: the clipboard, opening links, and the call from one
// running copy of the program to another.
#pragma once

#include <functional>
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

  // Copies of the program, this user's: the copy that holds a memo store
  // listens under a name of that store, and `called` runs from its loop
  // whenever a later copy calls that name. One name per process: listening
  // again only replaces the handler; an empty handler stops listening.
  // Answers whether it listens.
  virtual bool ListenForLaterCopies(std::string_view name, std::function<void()> called) = 0;
  // Calls the copy listening under `name`, letting it take the foreground;
  // answers whether one was there to call.
  virtual bool CallListeningCopy(std::string_view name) = 0;
};

}  // namespace tarnwick
