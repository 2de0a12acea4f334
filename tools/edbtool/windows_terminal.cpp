// edbtool's process and terminal on Windows: the arguments are taken from the
// wide-character command line (the narrow one holds only what the system's
// code page can say), the console shows UTF-8, and echo is a console mode.
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "tools/edbtool/terminal.h"

namespace tarnwick::edbtool {

namespace {

std::string ToUtf8(const wchar_t* wide) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string utf8(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), size, nullptr, nullptr);
  utf8.resize(static_cast<size_t>(size) - 1);
  return utf8;
}

// The console mode to give back when Ctrl+C or a closed console ends the
// process at a prompt.
DWORD mode_to_restore = 0;

BOOL WINAPI RestoreAndEnd(DWORD) {
  SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), mode_to_restore);
  return FALSE;  // the next handler, by default the one that ends the process
}

}  // namespace

struct TerminalEchoOff::Saved {
  DWORD mode = 0;
};

std::vector<std::string> StartUtf8Process(int argc, char** argv) {
  SetConsoleOutputCP(CP_UTF8);
  // Lines end in LF as on every other system, so a dump is the same bytes everywhere.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return std::vector<std::string>(argv + 1, argv + argc);
  std::vector<std::string> arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(ToUtf8(wide[i]));
  LocalFree(wide);
  return arguments;
}

bool InputIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

bool ReadInputByte(char* byte) { return _read(0, byte, 1) == 1; }

TerminalEchoOff::TerminalEchoOff() : saved_(std::make_unique<Saved>()) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  if (input == INVALID_HANDLE_VALUE || !GetConsoleMode(input, &saved_->mode)) return;
  mode_to_restore = saved_->mode;
  changed_ = SetConsoleMode(input, saved_->mode & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) != 0;
  if (changed_) SetConsoleCtrlHandler(RestoreAndEnd, TRUE);
}

TerminalEchoOff::~TerminalEchoOff() {
  if (!changed_) return;
  SetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), saved_->mode);
  SetConsoleCtrlHandler(RestoreAndEnd, FALSE);
}

}  // namespace tarnwick::edbtool
