// edbtool's passwords. They never come from the command line, where every
// user of the machine can read them in the process list and the shell keeps
// them in its history: they are asked on the terminal without echo, or read
// one line per password from standard input when it is not a terminal (a
// pipe or a file: "printf 'old\nnew\n' | edbtool passwd PATH").
#pragma once

#include <optional>
#include <string>

#include "base/secret.h"
#include "engine/database.h"

namespace tarnwick::edbtool {

// One password (GBK), asked with prompt (UTF-8) on a terminal; nothing when
// standard input has ended.
std::optional<SecretText> ReadPassword(const std::string& prompt);

// A new password (GBK; empty removes the password): asked twice on a
// terminal, and nothing unless both agree; one line from a pipe.
std::optional<SecretText> ReadNewPassword();

// The engine's prompt for the "?" password, asked the same way.
std::optional<SecretText> AnswerPasswordPrompt(const PasswordPromptRequest& request);

}  // namespace tarnwick::edbtool
