#include "tools/edbtool/password_input.h"

#include <iostream>

#include "base/text.h"
#include "tools/edbtool/terminal.h"

namespace tarnwick::edbtool {
namespace {

// Longer lines are cut; room for them is reserved once, so that no copy of a
// password is left behind in memory by the line growing.
constexpr std::size_t kLongestPassword = 1024;

// One line of standard input without its line end; false when it has ended.
bool ReadSecretLine(std::string& line) {
  line.clear();
  line.reserve(kLongestPassword);
  bool any = false;
  char byte = 0;
  while (ReadInputByte(&byte)) {
    any = true;
    if (byte == '\n') break;
    if (line.size() < kLongestPassword) line.push_back(byte);
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  byte = 0;
  return any;
}

}  // namespace

std::optional<SecretText> ReadPassword(const std::string& prompt) {
  const bool terminal = InputIsTerminal();
  if (terminal) std::cerr << prompt << std::flush;
  std::string line;
  bool answered = false;
  {
    TerminalEchoOff echo_off;
    answered = ReadSecretLine(line);
  }
  if (terminal) std::cerr << "\n";
  if (!answered) {
    WipeText(line);
    return std::nullopt;
  }
  std::string password = Utf8ToGbk(line);
  WipeText(line);
  return SecretText::Take(password);
}

std::optional<SecretText> ReadNewPassword() {
  std::optional<SecretText> first = ReadPassword("请输入新的访问密码（直接回车则取消密码）：");
  if (!first || !InputIsTerminal()) return first;
  std::optional<SecretText> again = ReadPassword("请再输入一次新的访问密码：");
  if (!again || again->view() != first->view()) return std::nullopt;
  return first;
}

std::optional<SecretText> AnswerPasswordPrompt(const PasswordPromptRequest& request) {
  if (!request.retry_line.empty()) std::cerr << GbkToUtf8(request.retry_line) << "\n";
  return ReadPassword(GbkToUtf8(request.title) + " - " + GbkToUtf8(request.prompt));
}

}  // namespace tarnwick::edbtool
