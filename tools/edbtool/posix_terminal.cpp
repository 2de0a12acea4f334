// edbtool's process and terminal on POSIX: arguments are already UTF-8, and
// echo is turned off through termios.
#include <termios.h>
#include <unistd.h>

#include "tools/edbtool/terminal.h"

namespace tarnwick::edbtool {

struct TerminalEchoOff::Saved {
  termios mode {};
};

std::vector<std::string> StartUtf8Process(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

TerminalEchoOff::TerminalEchoOff() : saved_(std::make_unique<Saved>()) {
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_->mode) != 0) return;
  termios quiet = saved_->mode;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  changed_ = tcsetattr(STDIN_FILENO, TCSANOW, &quiet) == 0;
}

TerminalEchoOff::~TerminalEchoOff() {
  if (changed_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_->mode);
}

}  // namespace tarnwick::edbtool
