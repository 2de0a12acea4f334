// The edbtool command line: which command, on which database, with what.
//
// Parsing is pure (no files touched), so every usage error is found before
// the database is opened and reported with the usage text.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tarnwick::edbtool {

enum class CommandKind { kCreate, kAppend, kWrite, kClear, kPasswd, kDump, kCheck, kBackups, kRestore, kMemos };

struct CommandLine {
  CommandKind kind = CommandKind::kDump;
  std::string path;                     // as given, UTF-8 (backups, restore: the data folder; memos: the memo file)
  bool keep_newer = false;              // restore --keep-newer
  bool repair = false;                  // check --repair
  // create: NAME:TYPE[:WIDTH] definitions; append: the values; write: INDEX
  // FIELD VALUE; restore: BACKUP. All UTF-8, as given. Passwords are never
  // among them: they are asked for (see password_input.h).
  std::vector<std::string> arguments;
};

struct ParseResult {
  std::optional<CommandLine> command;
  std::string error;  // set when command is empty
};

// arguments excludes the program name.
ParseResult ParseCommandLine(const std::vector<std::string>& arguments);

extern const char kUsageText[];

}  // namespace tarnwick::edbtool
