#include "tools/edbtool/command_line.h"

#include <cstddef>
#include <string_view>

namespace tarnwick::edbtool {

const char kUsageText[] =
    "usage:\n"
    "  edbtool create PATH NAME:TYPE[:WIDTH] ...      (TYPE 1 to 12; WIDTH for type 10 only)\n"
    "  edbtool append PATH [--password P] VALUE ...   (one value per field, trailing ones optional)\n"
    "  edbtool write  PATH [--password P] INDEX FIELD VALUE   (INDEX from 0; FIELD a name or a number from 1)\n"
    "  edbtool clear  PATH [--password P]\n"
    "  edbtool passwd PATH [--password OLD] NEW       (an empty NEW removes the password)\n"
    "  edbtool dump   PATH [--password P]\n"
    "  edbtool check  PATH [--repair] [--password P]  (--repair: opens it for writing first, which finishes\n"
    "                 a password change cut short and mends what an open mends)\n"
    "  edbtool backups FOLDER                         (the memo book's backups in FOLDER/backups)\n"
    "  edbtool restore FOLDER [--keep-newer] [--password P] BACKUP\n"
    "                 (backs the store in FOLDER up, then puts BACKUP in its place; --keep-newer carries\n"
    "                 over the memos of dates BACKUP lacks; P opens whichever of the two is enciphered)\n"
    "  edbtool memos  MEMOFILE [--password P]        (the texts of a memo file without its main file)\n"
    "values: numbers in decimal; date-times as days since 1899-12-30 or a date text such as 2011年5月3日;\n"
    "booleans true or false; byte strings as 0x followed by hex digits; texts as they are.\n"
    "Put -- before values that begin with --.\n";

namespace {

struct CommandInfo {
  std::string_view name;
  CommandKind kind;
  std::size_t min_arguments;
  std::size_t max_arguments;  // SIZE_MAX: no limit
  bool takes_password;
  bool takes_keep_newer = false;
  bool takes_repair = false;
};

constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

constexpr CommandInfo kCommands[] = {
    {"create", CommandKind::kCreate, 1, kNoLimit, false},
    {"append", CommandKind::kAppend, 0, kNoLimit, true},
    {"write", CommandKind::kWrite, 3, 3, true},
    {"clear", CommandKind::kClear, 0, 0, true},
    {"passwd", CommandKind::kPasswd, 1, 1, true},
    {"dump", CommandKind::kDump, 0, 0, true},
    {"check", CommandKind::kCheck, 0, 0, true, false, true},
    {"backups", CommandKind::kBackups, 0, 0, false},
    {"restore", CommandKind::kRestore, 1, 1, true, true},
    {"memos", CommandKind::kMemos, 0, 0, true},
};

ParseResult Fail(std::string message) { return ParseResult{std::nullopt, std::move(message)}; }

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& arguments) {
  if (arguments.empty()) return Fail("no command given");
  const CommandInfo* info = nullptr;
  for (const CommandInfo& candidate : kCommands) {
    if (arguments[0] == candidate.name) info = &candidate;
  }
  if (info == nullptr) return Fail("unknown command '" + arguments[0] + "'");
  if (arguments.size() < 2) return Fail(std::string(info->name) + ": no database path given");

  CommandLine command;
  command.kind = info->kind;
  command.path = arguments[1];
  if (command.path.empty()) return Fail(std::string(info->name) + ": empty database path");

  bool options_ended = false;
  for (std::size_t i = 2; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (!options_ended && argument == "--") {
      options_ended = true;
      continue;
    }
    if (!options_ended && argument.rfind("--password", 0) == 0) {
      if (!info->takes_password) return Fail(std::string(info->name) + " takes no password");
      if (command.password) return Fail("--password given twice");
      if (argument == "--password") {
        if (i + 1 >= arguments.size()) return Fail("--password needs a value");
        command.password = arguments[++i];
      } else if (argument[10] == '=') {
        command.password = argument.substr(11);
      } else {
        return Fail("unknown option '" + argument + "'");
      }
      continue;
    }
    if (!options_ended && argument == "--keep-newer" && info->takes_keep_newer) {
      command.keep_newer = true;
      continue;
    }
    if (!options_ended && argument == "--repair" && info->takes_repair) {
      command.repair = true;
      continue;
    }
    // A lone "-" or a negative number is a value; any other "--x" is a mistyped option.
    if (!options_ended && argument.size() > 2 && argument.rfind("--", 0) == 0) {
      return Fail("unknown option '" + argument + "'");
    }
    command.arguments.push_back(argument);
  }

  const std::size_t count = command.arguments.size();
  if (count < info->min_arguments || count > info->max_arguments) {
    std::string expected;
    switch (info->kind) {
      case CommandKind::kCreate: expected = "at least one field definition NAME:TYPE[:WIDTH]"; break;
      case CommandKind::kWrite: expected = "INDEX FIELD VALUE"; break;
      case CommandKind::kPasswd: expected = "the new password (\"\" removes it)"; break;
      case CommandKind::kRestore: expected = "the name of one backup (edbtool backups lists them)"; break;
      default: expected = "no further arguments"; break;
    }
    return Fail(std::string(info->name) + ": expected " + expected);
  }
  return ParseResult{std::move(command), {}};
}

}  // namespace tarnwick::edbtool
