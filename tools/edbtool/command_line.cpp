#include "tools/edbtool/command_line.h"

#include <cstddef>
#include <string_view>

namespace tarnwick::edbtool {

const char kUsageText[] =
    "usage:\n"
    "  edbtool create PATH NAME:TYPE[:WIDTH] ...      (TYPE 1 to 12; WIDTH for type 10 only)\n"
    "  edbtool append PATH VALUE ...                  (one value per field, trailing ones optional)\n"
    "  edbtool write  PATH INDEX FIELD VALUE          (INDEX from 0; FIELD a name or a number from 1)\n"
    "  edbtool clear  PATH\n"
    "  edbtool passwd PATH                            (asks for the new password; an empty one removes it)\n"
    "  edbtool dump   PATH\n"
    "  edbtool check  PATH [--repair]                 (--repair: opens it for writing first, which finishes\n"
    "                 a password change cut short and mends what an open mends)\n"
    "  edbtool backups FOLDER                         (the memo book's backups in FOLDER/backups)\n"
    "  edbtool restore FOLDER [--keep-newer] BACKUP\n"
    "                 (checks first; backs the store in FOLDER up, then puts BACKUP in its place;\n"
    "                 --keep-newer keeps every memo of the store and adds those of dates it lacks)\n"
    "  edbtool memos  MEMOFILE                        (the texts of a memo file without its main file)\n"
    "values: numbers in decimal; date-times as days since 1899-12-30 or a date text such as 2011年5月3日;\n"
    "booleans true or false; byte strings as 0x followed by hex digits; texts as they are.\n"
    "Put -- before values that begin with --.\n"
    "passwords: never on the command line. A command that opens an enciphered store asks for its\n"
    "password on the terminal without echo (passwd asks for the new one twice); when standard input\n"
    "is not a terminal, each password is read from it as one line, e.g.\n"
    "  printf '%s\\n' \"$OLD\" \"$NEW\" | edbtool passwd PATH\n";

const char kPasswordArgumentRefused[] =
    "passwords are not taken on the command line, where other users can read them in the process list: "
    "edbtool asks for one when the store needs it (on the terminal without echo, or one line per password "
    "from standard input when it is not a terminal)";

namespace {

struct CommandInfo {
  std::string_view name;
  CommandKind kind;
  std::size_t min_arguments;
  std::size_t max_arguments;  // SIZE_MAX: no limit
  bool takes_keep_newer = false;
  bool takes_repair = false;
};

constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);

constexpr CommandInfo kCommands[] = {
    {"create", CommandKind::kCreate, 1, kNoLimit},
    {"append", CommandKind::kAppend, 0, kNoLimit},
    {"write", CommandKind::kWrite, 3, 3},
    {"clear", CommandKind::kClear, 0, 0},
    {"passwd", CommandKind::kPasswd, 0, 0},
    {"dump", CommandKind::kDump, 0, 0},
    {"check", CommandKind::kCheck, 0, 0, false, true},
    {"backups", CommandKind::kBackups, 0, 0},
    {"restore", CommandKind::kRestore, 1, 1, true},
    {"memos", CommandKind::kMemos, 0, 0},
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
    if (!options_ended && argument.rfind("--password", 0) == 0) return Fail(kPasswordArgumentRefused);
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
      case CommandKind::kPasswd:
        return Fail(std::string("passwd: the new password is asked for, not given: ") + kPasswordArgumentRefused);
      case CommandKind::kRestore: expected = "the name of one backup (edbtool backups lists them)"; break;
      default: expected = "no further arguments"; break;
    }
    return Fail(std::string(info->name) + ": expected " + expected);
  }
  return ParseResult{std::move(command), {}};
}

}  // namespace tarnwick::edbtool
