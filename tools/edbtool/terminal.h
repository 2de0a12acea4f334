// What edbtool needs of its process and terminal, one implementation per
// system: the arguments as UTF-8, UTF-8 output, and a prompt without echo.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace tarnwick::edbtool {

// The command line's arguments after the program name, as UTF-8 texts, and
// standard output and error set up to show UTF-8 (lines ending in LF).
std::vector<std::string> StartUtf8Process(int argc, char** argv);

// Whether standard input is a terminal (rather than a pipe or a file).
bool InputIsTerminal();

// One byte of standard input, unbuffered (so nothing read is left lying in a
// buffer); false at its end or on an error.
bool ReadInputByte(char* byte);

// While it lives, what is typed on the terminal is not shown; nothing happens
// when standard input is not a terminal. An interrupt (Ctrl+C) or a signal
// that ends the process meanwhile gives the terminal its echo back first.
class TerminalEchoOff {
 public:
  TerminalEchoOff();
  ~TerminalEchoOff();
  TerminalEchoOff(const TerminalEchoOff&) = delete;
  TerminalEchoOff& operator=(const TerminalEchoOff&) = delete;

 private:
  struct Saved;  // the terminal's mode before
  std::unique_ptr<Saved> saved_;
  bool changed_ = false;
};

}  // namespace tarnwick::edbtool
