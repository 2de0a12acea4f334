// The headless shell: a clipboard in memory, links that are recorded
// instead of opened, and copies of the program that call each other within
// the process (copies made on one platform), through its loop.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "platform/event_loop.h"
#include "platform/shell.h"

namespace tarnwick {

class HeadlessShell : public Shell {
 public:
  explicit HeadlessShell(EventLoop& loop) : loop_(loop) {}

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

  bool ListenForLaterCopies(std::string_view name, std::function<void()> called) override {
    if (!called) {
      listeners_.erase(std::string(name));
      return false;
    }
    listeners_[std::string(name)] = std::move(called);
    return true;
  }
  bool CallListeningCopy(std::string_view name) override {
    auto found = listeners_.find(std::string(name));
    if (found == listeners_.end()) return false;
    loop_.Post([this, key = found->first] {
      if (auto still = listeners_.find(key); still != listeners_.end()) still->second();
    });
    return true;
  }

  // Test controls and records.
  void SetShellOpenSucceeds(bool succeeds) { shell_open_succeeds_ = succeeds; }
  void SetHtmlOpenCommand(std::string command) { html_open_command_ = std::move(command); }
  const std::vector<std::string>& shell_opened() const { return shell_opened_; }
  const std::vector<std::string>& command_lines() const { return command_lines_; }

 private:
  EventLoop& loop_;
  std::map<std::string, std::function<void()>> listeners_;
  std::string clipboard_;
  bool shell_open_succeeds_ = true;
  std::string html_open_command_;
  std::vector<std::string> shell_opened_;
  std::vector<std::string> command_lines_;
};

}  // namespace tarnwick
