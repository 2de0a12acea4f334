// The headless shell: a clipboard in memory, and links that are recorded
// instead of opened.
#pragma once

#include <string>
#include <vector>

#include "platform/shell.h"

namespace tarnwick {

class HeadlessShell : public Shell {
 public:
  std::string ClipboardText() const override { return clipboard_; }
  void SetClipboardText(std::string_view text) override { clipboard_ = std::string(text); }
  // Records the target; answers what SetShellOpenSucceeds said (true).
  bool OpenWithShell(std::string_view target) override {
    shell_opened_.emplace_back(target);
    return shell_open_succeeds_;
  }
  std::string HtmlOpenCommand() const override { return html_open_command_; }
  // Records the command line; answers true.
  bool RunCommandLine(std::string_view command_line) override {
    command_lines_.emplace_back(command_line);
    return true;
  }

  // Test controls and records.
  void SetShellOpenSucceeds(bool succeeds) { shell_open_succeeds_ = succeeds; }
  void SetHtmlOpenCommand(std::string command) { html_open_command_ = std::move(command); }
  const std::vector<std::string>& shell_opened() const { return shell_opened_; }
  const std::vector<std::string>& command_lines() const { return command_lines_; }

 private:
  std::string clipboard_;
  bool shell_open_succeeds_ = true;
  std::string html_open_command_;
  std::vector<std::string> shell_opened_;
  std::vector<std::string> command_lines_;
};

}  // namespace tarnwick
