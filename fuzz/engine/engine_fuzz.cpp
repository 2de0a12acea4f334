// The engine, and the structure check of edbtool, on arbitrary files. The
// input is split into a main file and a memo file, which are checked, opened
// (plain, with a password, or with "?" answered through the prompt hook),
// walked, read field by field, written and appended to. Whatever the bytes,
// nothing may crash, hang, or touch memory it does not own, and a write that
// reports success reads back.
//
// Input: byte 0 = options (bit 0: open with the password "pw"; bit 1: hold
// the whole-file lock, so the page cache is used; bit 2: clear all at the
// end; bit 3: change the password at the end; bit 4: open with "?", the
// prompt answering wrongly (bits 5-6) times, then "pw", or cancelling when
// bit 7 is set; without bit 4, bit 5 adds the recovery record of a re-key
// cut short), bytes 1..4 = length of the main file (little-endian, taken
// modulo what is left), then the main file, then the memo file. With a
// recovery record, bytes 1..2 give the main file's length, bytes 3..4 the
// record's, and the record follows the memo file.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "engine/database.h"
#include "engine/md5.h"
#include "engine/rekey_record.h"
#include "fuzz/shared/check.h"
#include "fuzz/shared/memory_file_system.h"
#include "tools/edbtool/engine_files.h"
#include "tools/edbtool/structure_check.h"

namespace {

using tarnwick::FieldType;
using tarnwick::FieldValue;

constexpr char kMainPath[] = "/fuzz/fuzz.edb";
constexpr char kMemoPath[] = "/fuzz/fuzz.EDT";

bool IsLong(int type) {
  return type == static_cast<int>(FieldType::kMemo) || type == static_cast<int>(FieldType::kByteString);
}

// The structure check reads the files as they are, deciphered with password.
void CheckStructure(tarnwick::fuzzing::MemoryFileSystem& files, const std::string& password) {
  using namespace tarnwick::edbtool;
  std::unique_ptr<EngineFileBytes> main;
  std::unique_ptr<EngineFileBytes> memo;
  if (EngineFileBytes::Open(files, kMainPath, password, &main) != 0) return;
  EngineFileBytes::Open(files, kMemoPath, password, &memo);
  CheckOptions options;
  if (!password.empty()) options.expected_check_text = tarnwick::CheckText(password);
  options.max_findings = 8;
  const CheckReport report = CheckDatabase(*main, memo.get(), options);
  FUZZ_CHECK(report.findings.size() <= options.max_findings);
  FUZZ_CHECK(report.findings.size() <= report.finding_count);
  FUZZ_CHECK(report.used_blocks + report.free_blocks <= report.memo_blocks || report.memo_blocks == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tarnwick;
  if (size < 5) return 0;
  const uint8_t options = data[0];
  const bool asks = (options & 16) != 0;
  const bool with_record = !asks && (options & 32) != 0;
  uint32_t main_size = uint32_t{data[1]} | uint32_t{data[2]} << 8;
  uint32_t record_size = uint32_t{data[3]} | uint32_t{data[4]} << 8;
  if (!with_record) {
    main_size |= record_size << 16;
    record_size = 0;
  }
  data += 5;
  size -= 5;
  main_size = static_cast<uint32_t>(main_size % (size + 1));
  record_size = static_cast<uint32_t>(record_size % (size - main_size + 1));
  const size_t memo_size = size - main_size - record_size;
  const char* const bytes = reinterpret_cast<const char*>(data);
  fuzzing::MemoryFileSystem files;
  files.SetFile(kMainPath, std::string(bytes, main_size));
  files.SetFile(kMemoPath, std::string(bytes + main_size, memo_size));
  if (with_record) files.SetFile(RekeyRecordPath(kMainPath), std::string(bytes + main_size + memo_size, record_size));

  const std::string password = (options & 1) || asks ? "pw" : "";
  CheckStructure(files, password);

  DatabaseEngine engine(&files);
  engine.SetDurableWrites(false);
  engine.IsPasswordProtected(kMainPath);
  OpenOptions open_options;
  if (options & 1) open_options.password = "pw";
  int wrong_answers = (options >> 5) & 3;
  int prompts = 0;
  if (asks) {
    open_options.password = "?";
    engine.SetPasswordPromptHook([&](const PasswordPromptRequest& request) -> std::optional<SecretText> {
      FUZZ_CHECK(request.wrong_answers == prompts);
      FUZZ_CHECK(++prompts <= 3);
      if (wrong_answers > 0) {
        --wrong_answers;
        return SecretText::Copy("wrong");
      }
      if (options & 128) return std::nullopt;
      return SecretText::Copy("pw");
    });
  }
  if (!engine.OpenDatabase(kMainPath, open_options)) return 0;
  if (options & 2) engine.LockDatabase();

  const std::vector<FieldInf> fields = engine.Fields();
  const int count = engine.RecordCount();
  engine.GoFirst();
  for (int i = 0; i < count && i < 64; ++i) {
    engine.RecordId();
    for (size_t f = 1; f <= fields.size(); ++f) engine.ReadField(static_cast<int>(f));
    engine.Skip();
  }
  engine.Skip(-3);
  engine.GoFirst();
  int examined = 0;
  engine.SearchForward([&] {
    engine.RecordId();
    engine.ReadField(static_cast<int>(fields.size()));
    return ++examined > 16;
  });

  // Write every field of the current record, then append a record. A long
  // value that was written reads back as it was.
  std::vector<FieldValue> values;
  for (size_t f = 1; f <= fields.size(); ++f) {
    const int number = static_cast<int>(f);
    FieldValue value = (f % 2) ? FieldValue::Text(std::string(700, 'x')) : FieldValue::Integer(static_cast<int64_t>(f));
    if (engine.WriteField(number, value) && IsLong(fields[f - 1].type) && value.kind() == FieldValue::Kind::kText) {
      FUZZ_CHECK(engine.ReadField(number).AsText() == value.AsText());
    }
    values.push_back(FieldValue::Text(std::string(f * 37 % 1100, 'y')));
  }
  engine.WriteField(1, FieldValue::Text(""));
  if (engine.AppendRecord(values)) {
    const int appended = engine.RecordCount();
    engine.GoFirst();
    if (appended > 0 && engine.Skip(appended - 1)) {
      for (size_t f = 1; f <= fields.size(); ++f) {
        if (IsLong(fields[f - 1].type)) FUZZ_CHECK(engine.ReadField(static_cast<int>(f)).AsText() == values[f - 1].AsText());
      }
    }
  }
  engine.GoFirst();
  for (size_t f = 1; f <= fields.size(); ++f) engine.ReadField(static_cast<int>(f));
  if (options & 4) engine.ClearAllRecords();
  if (options & 8) engine.SetPassword(password.empty() ? "new" : "");
  engine.CloseDatabase();
  return 0;
}
