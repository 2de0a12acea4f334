// edbtool's process and terminal on POSIX: arguments are already UTF-8, and
// echo is turned off through termios.
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <iterator>

#include "tools/edbtool/terminal.h"

namespace tarnwick::edbtool {

namespace {

// The signals that end a process by default while it waits at a prompt.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// The mode to give back when a signal ends the process at a prompt; read by
// the handler, so set before the handler is installed.
termios mode_to_restore {};

void RestoreAndEnd(int signal_number) {
  tcsetattr(STDIN_FILENO, TCSANOW, &mode_to_restore);
  ::signal(signal_number, SIG_DFL);
  raise(signal_number);
}

}  // namespace

struct TerminalEchoOff::Saved {
  termios mode {};
  struct sigaction handlers[std::size(kEndingSignals)] {};
  bool handling = false;  // the handlers above are to be put back
};

std::vector<std::string> StartUtf8Process(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

bool InputIsTerminal() { return isatty(STDIN_FILENO) == 1; }

bool ReadInputByte(char* byte) {
  for (;;) {
    const ssize_t got = read(STDIN_FILENO, byte, 1);
    if (got == 1) return true;
    if (got < 0 && errno == EINTR) continue;
    return false;
  }
}

TerminalEchoOff::TerminalEchoOff() : saved_(std::make_unique<Saved>()) {
  if (!isatty(STDIN_FILENO) || tcgetattr(STDIN_FILENO, &saved_->mode) != 0) return;
  mode_to_restore = saved_->mode;
  struct sigaction restore {};
  restore.sa_handler = RestoreAndEnd;
  sigemptyset(&restore.sa_mask);
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) sigaction(kEndingSignals[i], &restore, &saved_->handlers[i]);
  saved_->handling = true;
  termios quiet = saved_->mode;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  changed_ = tcsetattr(STDIN_FILENO, TCSANOW, &quiet) == 0;
}

TerminalEchoOff::~TerminalEchoOff() {
  if (changed_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_->mode);
  if (!saved_->handling) return;
  for (std::size_t i = 0; i < std::size(kEndingSignals); ++i) sigaction(kEndingSignals[i], &saved_->handlers[i], nullptr);
}

}  // namespace tarnwick::edbtool
