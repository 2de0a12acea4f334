// edbtool: looks into, checks or rescues a database without the window.
//
// Exit codes: 0 success; 1 a failure (the engine's code and message on
// standard error, or a finding of check); 2 a command line that cannot work.
// Arguments and output are UTF-8; the database holds GBK.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "base/text.h"
#include "engine/database.h"
#include "engine/database_format.h"
#include "engine/file_system.h"
#include "engine/md5.h"
#include "engine/rekey_record.h"
#include "memo/backup.h"
#include "tools/edbtool/command_line.h"
#include "tools/edbtool/engine_files.h"
#include "tools/edbtool/field_value.h"
#include "tools/edbtool/json_text.h"
#include "tools/edbtool/password_input.h"
#include "tools/edbtool/lone_memo_file.h"
#include "tools/edbtool/structure_check.h"
#include "tools/edbtool/terminal.h"

namespace tarnwick::edbtool {
namespace {

constexpr int kFailure = 1;
constexpr int kUsage = 2;
// Another process's short operation holds a record lock only briefly.
constexpr int kLockWaitMilliseconds = 2000;

int UsageError(const std::string& message) {
  std::cerr << "edbtool: " << message << "\n" << kUsageText;
  return kUsage;
}

int Failure(const std::string& message) {
  std::cerr << "edbtool: " << message << "\n";
  return kFailure;
}

int EngineFailure(int code, const std::string& gbk_message) {
  return Failure("error " + std::to_string(code) + ": " + GbkToUtf8(gbk_message));
}

int EngineFailure() { return EngineFailure(LastErrorCode(), LastErrorMessage()); }

// The "?" password: the engine asks only when the store is enciphered.
bool Open(const CommandLine& command, bool read_only) {
  SetLockWaitTime(kLockWaitMilliseconds);
  SetPasswordPromptHook(AnswerPasswordPrompt);
  return OpenDatabase(Utf8ToGbk(command.path), {}, read_only, ShareMode::kDenyNone, "?");
}

// A password asked for as the engine's own prompt asks (GBK; empty when
// standard input has ended); the caller wipes it.
std::string AskPassword() {
  const std::optional<SecretText> answer =
      AnswerPasswordPrompt({Gbk("密码输入"), Gbk("请输入数据库访问密码："), {}, {}, {}, 0});
  return answer ? std::string(answer->view()) : std::string();
}

FieldValue ToFieldValue(int type, const ArgumentValue& value) {
  switch (type) {
    case 5: case 6: return FieldValue::Float(value.real);
    case 7: return FieldValue::Boolean(value.boolean);
    case 8: return FieldValue::DateTime(value.real);
    case 10: case 12: return FieldValue::Text(value.bytes);
    case 11: return FieldValue::Bytes(value.bytes);
    default: return FieldValue::Integer(value.integer);
  }
}

// Reads a typed value for a field; on failure says why (UTF-8) in error.
std::optional<FieldValue> ValueForField(const FieldInf& field, int number, const std::string& text,
                                        std::string& error) {
  const ParsedArgument parsed = ParseFieldValue(field.type, field.width, text);
  if (!parsed.value) {
    error = "field " + std::to_string(number) + " '" + GbkToUtf8(field.name) + "': " + parsed.error;
    return std::nullopt;
  }
  return ToFieldValue(field.type, *parsed.value);
}

int Create(const CommandLine& command) {
  std::vector<FieldInf> fields;
  for (const std::string& definition : command.arguments) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t colon; (colon = definition.find(':', start)) != std::string::npos; start = colon + 1) {
      parts.push_back(definition.substr(start, colon - start));
    }
    parts.push_back(definition.substr(start));
    const auto number = [](const std::string& text, int low, int high) -> std::optional<int> {
      const ParsedArgument parsed = ParseFieldValue(3, 0, text);
      if (!parsed.value || parsed.value->integer < low || parsed.value->integer > high) return std::nullopt;
      return static_cast<int>(parsed.value->integer);
    };
    if (parts.size() < 2 || parts.size() > 3) return UsageError("'" + definition + "' is not NAME:TYPE[:WIDTH]");
    const auto type = number(parts[1], 1, 12);
    if (!type) return UsageError("'" + definition + "': TYPE must be a number from 1 to 12");
    FieldInf field{Utf8ToGbk(parts[0]), *type, 0};
    if (parts.size() == 3) {
      if (*type != 10) return UsageError("'" + definition + "': only text fields (type 10) take a WIDTH");
      const auto width = number(parts[2], 1, 1024);
      if (!width) return UsageError("'" + definition + "': WIDTH must be a number from 1 to 1024");
      field.width = *width;
    } else if (*type == 10) {
      return UsageError("'" + definition + "': a text field (type 10) needs a WIDTH from 1 to 1024");
    }
    fields.push_back(field);
  }
  if (!CreateDatabase(Utf8ToGbk(command.path), fields)) return EngineFailure();
  return 0;
}

int Append(const CommandLine& command) {
  if (!Open(command, false)) return EngineFailure();
  const std::vector<FieldInf> fields = ProcessEngine().Fields();
  if (command.arguments.size() > fields.size()) {
    return Failure(std::to_string(command.arguments.size()) + " values given, the database has " +
                   std::to_string(fields.size()) + " fields");
  }
  std::vector<FieldValue> values;
  for (std::size_t i = 0; i < command.arguments.size(); ++i) {
    std::string error;
    const auto value = ValueForField(fields[i], static_cast<int>(i + 1), command.arguments[i], error);
    if (!value) return Failure(error);
    values.push_back(*value);
  }
  if (!AppendRecord(values)) return EngineFailure();
  CloseDatabase();
  return 0;
}

int Write(const CommandLine& command) {
  const ParsedArgument index = ParseFieldValue(3, 0, command.arguments[0]);
  if (!index.value || index.value->integer < 0) {
    return UsageError("INDEX '" + command.arguments[0] + "' is not a record number from 0");
  }
  const std::string& field_text = command.arguments[1];
  const bool by_number = !field_text.empty() && field_text.find_first_not_of("0123456789") == std::string::npos;
  if (!Open(command, false)) return EngineFailure();

  const std::vector<FieldInf> fields = ProcessEngine().Fields();
  int number = 0;
  if (by_number) {
    const ParsedArgument parsed = ParseFieldValue(3, 0, field_text);
    if (parsed.value && parsed.value->integer >= 1 && parsed.value->integer <= static_cast<int>(fields.size())) {
      number = static_cast<int>(parsed.value->integer);
    }
  } else {
    const std::string name = Utf8ToGbk(field_text);
    for (std::size_t i = 0; i < fields.size() && number == 0; ++i) {
      if (NamesEqual(fields[i].name, name)) number = static_cast<int>(i + 1);
    }
  }
  if (number == 0) {
    return Failure("no field '" + field_text + "' (the database has " + std::to_string(fields.size()) + " fields)");
  }
  std::string error;
  const auto value = ValueForField(fields[number - 1], number, command.arguments[2], error);
  if (!value) return Failure(error);

  const int count = RecordCount();
  if (index.value->integer >= count) {
    return Failure("no record " + command.arguments[0] + " (the database has " + std::to_string(count) +
                   " records)");
  }
  GoFirst();
  if (index.value->integer > 0 && !Skip(static_cast<int>(index.value->integer))) return EngineFailure();
  if (!WriteField(number, *value)) return EngineFailure();
  CloseDatabase();
  return 0;
}

int Clear(const CommandLine& command) {
  if (!Open(command, false)) return EngineFailure();
  if (!ClearAllRecords()) return EngineFailure();
  CloseDatabase();
  return 0;
}

// The memo book's backups (beside its memo.edb) follow its password, so the
// old one is asked here rather than by the engine: they are re-keyed with it.
int Passwd(const CommandLine& command) {
  const std::string main_path =
      DefaultFileSystem()->AbsolutePath(ResolveDatabasePaths(Utf8ToGbk(command.path)).main);
  std::string old_password;
  WipeOnExit wipe_password(old_password);
  if (IsPasswordProtected(main_path)) old_password = AskPassword();
  SetLockWaitTime(kLockWaitMilliseconds);
  if (!OpenDatabase(main_path, {}, false, ShareMode::kDenyNone, old_password)) return EngineFailure();
  const std::optional<SecretText> fresh = ReadNewPassword();
  if (!fresh) return Failure("no new password read (on a terminal it is typed twice, alike). Nothing was changed.");
  const size_t slash = main_path.find_last_of("/\\");
  const bool memo_book = GbkEqualsIgnoringCase(main_path.substr(slash + 1), "memo.edb");
  StoreBackups backups(*DefaultFileSystem(), main_path.substr(0, slash));
  if (memo_book) backups.BeginKeyChange(*ProcessEngine().CurrentStoredFiles().main);
  if (!SetPassword(fresh->view())) {
    if (memo_book) backups.AbandonKeyChange();
    return EngineFailure();
  }
  CloseDatabase();
  if (memo_book) {
    std::vector<std::string> removed;
    std::string new_password(fresh->view());
    WipeOnExit wipe_new(new_password);
    backups.FinishKeyChange(old_password, new_password, &removed);
    for (const std::string& name : removed) {
      std::cerr << "edbtool: backup " << GbkToUtf8(name) << " does not open with the old password; removed\n";
    }
  }
  return 0;
}

// The JSON text of a field's value; failures of the read go to standard error.
std::string ValueJson(const FieldInf& field, const FieldValue& value) {
  switch (field.type) {
    case 5: return JsonNumber(static_cast<float>(value.AsDouble()));
    case 6: return JsonNumber(value.AsDouble());
    case 7: return value.AsBoolean() ? "true" : "false";
    case 8: return JsonNumber(value.AsDateTime());
    case 10: case 12: return JsonString(GbkToUtf8(value.AsText()));
    case 11: return "\"" + HexBytes(value.AsText()) + "\"";
    default: return std::to_string(value.AsInteger());
  }
}

int Dump(const CommandLine& command) {
  // Read-only: looking never repairs or changes anything.
  if (!Open(command, true)) return EngineFailure();
  const std::vector<FieldInf> fields = ProcessEngine().Fields();
  bool all_read = true;
  const int count = RecordCount();
  GoFirst();
  std::string line;
  for (int index = 0; index < count; ++index) {
    const std::int32_t id = RecordId();
    const bool id_read = LastErrorCode() == 0;
    if (!id_read) {
      all_read = false;
      std::cerr << "edbtool: record " << index << ": id: error " << LastErrorCode() << ": "
                << GbkToUtf8(LastErrorMessage()) << "\n";
    }
    line = "{\"id\": " + (id_read ? std::to_string(id) : std::string("null")) + ", \"fields\": {";
    for (std::size_t i = 0; i < fields.size(); ++i) {
      const FieldValue value = ReadField(static_cast<int>(i + 1));
      if (i > 0) line += ", ";
      line += JsonString(GbkToUtf8(fields[i].name)) + ": ";
      if (LastErrorCode() != 0) {
        all_read = false;
        std::cerr << "edbtool: record " << index << ", field " << i + 1 << ": error " << LastErrorCode() << ": "
                  << GbkToUtf8(LastErrorMessage()) << "\n";
        line += "null";
      } else {
        line += ValueJson(fields[i], value);
      }
    }
    line += "}}\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
    if (index + 1 < count && !Skip()) return EngineFailure();
  }
  CloseDatabase();
  return all_read ? 0 : kFailure;
}

int Check(const CommandLine& command) {
  FileSystem& file_system = *DefaultFileSystem();
  const DatabasePaths paths = ResolveDatabasePaths(Utf8ToGbk(command.path));
  const std::string& main_path = paths.main;
  // An open for writing settles a cut-short password change and mends what
  // an open mends; then the files are walked as they were left.
  if (command.repair) {
    if (!Open(command, false)) return EngineFailure();
    CloseDatabase();
  }
  // A password change cut short may leave the files half copied over from
  // its copies until an open settles it; walking them now would report noise.
  if (const std::string record = RekeyRecordPath(main_path); file_system.Exists(record)) {
    std::cout << "unsettled password change: " << GbkToUtf8(record)
              << " lies beside the files; edbtool check --repair or the memo book's next start settles it"
                 " (finishes the change or drops it)\n"
              << "1 finding\n";
    return kFailure;
  }
  std::string password;
  WipeOnExit wipe_password(password);
  std::string magic(4, '\0');
  {
    std::unique_ptr<EngineFileBytes> main;
    if (const FileStatus status = EngineFileBytes::Open(file_system, main_path, "", &main); status != 0) {
      return EngineFailure(status, ErrorMessage(status));
    }
    if (!main->Read(0, 4, magic)) return EngineFailure(error::kUnknown, ErrorMessage(error::kUnknown));
  }
  if (magic == "WCDB") password = AskPassword();
  CheckReport report;
  if (const FileStatus status = CheckStoreFiles(file_system, main_path, paths.memo, password, {}, &report);
      status != 0) {
    return EngineFailure(status, ErrorMessage(status));
  }
  const bool memo = file_system.Exists(paths.memo);
  for (const std::string& finding : report.findings) std::cout << finding << "\n";
  if (report.finding_count > report.findings.size()) {
    std::cout << "... and " << report.finding_count - report.findings.size() << " more findings\n";
  }
  if (report.sound()) {
    std::cout << "sound: " << report.records << " records";
    if (memo) {
      std::cout << "; memo file " << report.memo_blocks << " blocks (" << report.used_blocks << " used, "
                << report.free_blocks << " free)";
    }
    std::cout << "\n";
    return 0;
  }
  std::cout << report.finding_count << (report.finding_count == 1 ? " finding\n" : " findings\n");
  return kFailure;
}

// The texts of a memo file that lost its main file, one JSON line each, so
// that they can be copied back by hand. Fails when a chain is broken.
int Memos(const CommandLine& command) {
  // A memo file does not say whether it is enciphered: asked every time.
  std::string password;
  WipeOnExit wipe_password(password);
  if (const std::optional<SecretText> answer = ReadPassword("请输入数据库访问密码（没有则直接回车）：")) {
    password.assign(answer->view());
  }
  std::unique_ptr<EngineFileBytes> memo;
  if (const FileStatus status = EngineFileBytes::Open(*DefaultFileSystem(), Utf8ToGbk(command.path), password, &memo);
      status != 0) {
    return EngineFailure(status, ErrorMessage(status));
  }
  std::vector<LoneMemoText> texts;
  if (!ReadLoneMemoTexts(*memo, &texts)) {
    return Failure(command.path + ": not a memo file" + (password.empty() ? "" : ", or not with this password"));
  }
  bool all_whole = true;
  for (const LoneMemoText& found : texts) {
    all_whole = all_whole && found.whole;
    const std::string line = "{\"block\": " + std::to_string(found.first_block) +
                             ", \"text\": " + JsonString(GbkToUtf8(found.text)) +
                             (found.whole ? "" : ", \"whole\": false") + "}\n";
    std::fwrite(line.data(), 1, line.size(), stdout);
  }
  return all_whole ? 0 : kFailure;
}

// The memo book's data folder, absolute, without a trailing separator.
std::string DataFolder(const CommandLine& command) {
  std::string folder = DefaultFileSystem()->AbsolutePath(Utf8ToGbk(command.path));
  while (folder.size() > 1 && (folder.back() == '/' || folder.back() == '\\')) folder.pop_back();
  return folder;
}

const char* ReasonText(BackupReason reason) {
  switch (reason) {
    case BackupReason::kDaily: return "daily";
    case BackupReason::kClearAll: return "before clear all";
    case BackupReason::kPassword: return "before a password change";
    case BackupReason::kRestore: return "before a restore";
  }
  return "";
}

// Each backup with what it holds and what the structure check finds in it
// (an enciphered one is checked only when it carries a mark).
int Backups(const CommandLine& command) {
  FileSystem& file_system = *DefaultFileSystem();
  const std::string folder = DataFolder(command);
  std::vector<std::string> names;
  if (const FileStatus status = file_system.ListFolder(folder, &names); status != 0) {
    return Failure("no folder " + command.path + " (error " + std::to_string(status) + ": " +
                   GbkToUtf8(ErrorMessage(status)) + ")");
  }
  StoreBackups backups(file_system, folder);
  const std::vector<BackupInfo> list = backups.List();
  if (list.empty()) {
    std::cout << "no backups in " << GbkToUtf8(backups.folder()) << "\n";
    return 0;
  }
  for (const BackupInfo& backup : list) {
    char taken[48];
    std::snprintf(taken, sizeof taken, "%04d-%02d-%02d %02d:%02d:%02d", backup.taken.year, backup.taken.month,
                  backup.taken.day, backup.taken.hour, backup.taken.minute, backup.taken.second);
    const BackupCheck check = backups.Check(backup.name, "");
    std::optional<std::size_t> findings = backups.DamageMark(backup.name);
    if (check.verdict == BackupCheck::Verdict::kDamaged) findings = check.findings;
    std::cout << GbkToUtf8(backup.name) << "  " << taken << "  " << ReasonText(backup.reason) << ", "
              << (backup.records >= 0 ? std::to_string(backup.records) : std::string("?")) << " records, "
              << (check.verdict == BackupCheck::Verdict::kWrongPassword ? "enciphered" : "plain");
    if (findings) {
      std::cout << ", DAMAGED (" << *findings << (*findings == 1 ? " finding" : " findings") << ")";
    } else if (check.verdict == BackupCheck::Verdict::kUnreadable) {
      std::cout << ", unreadable (error " << check.status << ": " << GbkToUtf8(ErrorMessage(check.status)) << ")";
    }
    std::cout << "\n";
  }
  return 0;
}

int Restore(const CommandLine& command) {
  FileSystem& file_system = *DefaultFileSystem();
  StoreBackups backups(file_system, DataFolder(command));
  const std::string name = Utf8ToGbk(command.arguments[0]);
  // An enciphered backup is checked before it is put back, and carrying
  // memos over opens the store too: one password opens whichever is enciphered.
  std::string password;
  WipeOnExit wipe_password(password);
  if (IsPasswordProtected(backups.PathIn(name, "memo.edb")) ||
      (command.keep_newer && IsPasswordProtected(DataFolder(command) + kPathSeparator + "memo.edb"))) {
    password = AskPassword();
  }
  const StoreBackups::RestoreResult result =
      backups.Restore(name, command.keep_newer, password, file_system.LocalDateTime());
  const std::string code = result.status != 0 ? " (error " + std::to_string(result.status) + ": " +
                                                    GbkToUtf8(ErrorMessage(result.status)) + ")"
                                              : "";
  using Outcome = StoreBackups::RestoreOutcome;
  const std::string unchanged = ". Nothing was changed.";
  switch (result.outcome) {
    case Outcome::kRestored:
      std::cout << "restored " << command.arguments[0];
      if (!result.backup_of_current.empty()) {
        std::cout << "; the store as it was is backup " << GbkToUtf8(result.backup_of_current);
      }
      std::cout << "\n";
      if (command.keep_newer) {
        std::cout << "every memo of the store was kept as it was; " << result.filled
                  << " memos of dates it lacked came from the backup\n";
        if (!result.differing.empty()) {
          std::cout << "the backup holds another text for these dates; the store's text was kept, the backup's"
                       " stays in backup "
                    << command.arguments[0] << ":\n";
          for (const DateTime date : result.differing) {
            const CivilDateTime day = DecodeDateTime(date);
            char text[32];
            std::snprintf(text, sizeof text, "  %04d-%02d-%02d\n", day.year, day.month, day.day);
            std::cout << text;
          }
        }
      }
      return 0;
    case Outcome::kNoSuchBackup:
      return Failure("no backup '" + command.arguments[0] + "' in " + GbkToUtf8(backups.folder()) +
                     " (edbtool backups lists them)");
    case Outcome::kStoreInUse:
      return Failure("the memo book is running on this store; close it first" + unchanged);
    case Outcome::kUnsettledChange:
      return Failure("a password change was cut short; start the memo book once to settle it" + unchanged);
    case Outcome::kDamagedBackup:
      return Failure("backup " + command.arguments[0] + " is damaged (" + std::to_string(result.findings) +
                     (result.findings == 1 ? " finding" : " findings") + "; edbtool check " +
                     GbkToUtf8(backups.PathIn(name, "memo.edb")) + " lists them)" + unchanged);
    case Outcome::kWrongPassword:
      return Failure("an enciphered backup or store needs its password (the same for both)" + code +
                     unchanged);
    case Outcome::kBackupFailed:
      return Failure("the store as it is could not be backed up" + code + unchanged);
    case Outcome::kFailed:
      return Failure("the restore failed" + code + unchanged);
    case Outcome::kLeftForNextOpen:
      return Failure("putting the backup in place was cut short" + code +
                     "; the next open of the store (the memo book, or edbtool check --repair) finishes it. The store as it"
                     " was is backup " +
                     GbkToUtf8(result.backup_of_current) + ".");
  }
  return kFailure;
}

}  // namespace
}  // namespace tarnwick::edbtool

int main(int argc, char** argv) {
  using namespace tarnwick::edbtool;
  const ParseResult parsed = ParseCommandLine(StartUtf8Process(argc, argv));
  if (!parsed.command) return UsageError(parsed.error);
  const CommandLine& command = *parsed.command;
  switch (command.kind) {
    case CommandKind::kCreate: return Create(command);
    case CommandKind::kAppend: return Append(command);
    case CommandKind::kWrite: return Write(command);
    case CommandKind::kClear: return Clear(command);
    case CommandKind::kPasswd: return Passwd(command);
    case CommandKind::kDump: return Dump(command);
    case CommandKind::kCheck: return Check(command);
    case CommandKind::kBackups: return Backups(command);
    case CommandKind::kRestore: return Restore(command);
    case CommandKind::kMemos: return Memos(command);
  }
  return kUsage;
}
