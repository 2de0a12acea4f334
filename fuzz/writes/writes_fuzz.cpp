// Memo chains and the free list, driven through the engine's writes. The
// input is a script of operations on a new store (append, long and short
// memo writes, deletes, clear all, password changes, reopening, the
// whole-file lock); after each one, the records it wrote read back as a model
// of the store says they must. After the steps that touch every record (clear
// all, password changes, reopening) and at the end of the script, every record
// reads back as the model says and the structure check of edbtool finds no
// damage in either file: no lost, shared or looping blocks, a free list whose
// count and links agree. (Checking everything after every step made each
// input cost several times more while any damage a step leaves stays in the
// files for the next whole check to find.)
//
// Input: byte 0 = options (bit 0: durable writes; bit 1: start enciphered;
// bit 2: keep the memo cache at its smallest, so chains outgrow it), then
// operations of 3 bytes each: opcode, argument a, argument b.
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

using namespace tarnwick;

constexpr char kMainPath[] = "/fuzz/writes.edb";
constexpr char kMemoPath[] = "/fuzz/writes.EDT";
constexpr size_t kMostOperations = 48;
constexpr size_t kMostRecords = 40;
constexpr int kTextWidth = 9;

// Passwords the script switches between; the last is GBK "密码".
const std::string& Password(int which) {
  static const std::string passwords[] = {"", "pw", "another password", "\xC3\xDC\xC2\xEB"};
  return passwords[which % 4];
}

struct Record {
  double date = 0;
  std::string memo;
  std::string bytes;
  std::string text;
};

// Lengths gather around multiples of a block's 500 data bytes, where chains
// gain and lose blocks; up to seven blocks.
size_t LengthFrom(uint8_t a) {
  if ((a & 0x80) == 0) return a * 4u;
  const int near = (a & 0x7) * 500 + ((a >> 3) & 0xF) - 8;
  return near < 0 ? 0 : static_cast<size_t>(near);
}

// A memo holds no zero byte (it would end there); byte strings may. Kept out
// of line so that the coverage ignore list can name it.
[[gnu::noinline]] std::string FillerText(size_t length, uint8_t seed, bool zeros_allowed) {
  std::string text(length, '\0');
  for (size_t i = 0; i < length; ++i) {
    const unsigned value = (seed * 131u + static_cast<unsigned>(i) * 7u + (i >> 5)) % 256u;
    text[i] = static_cast<char>(zeros_allowed || value != 0 ? value : 1);
  }
  return text;
}

class Script {
 public:
  Script() : engine_(&files_) {}

  bool Start(uint8_t options) {
    engine_.SetDurableWrites((options & 1) != 0);
    if (options & 4) engine_.SetMemoCacheLimit(0);
    const std::vector<FieldInf> fields = {{"D", static_cast<int>(FieldType::kDateTime), 0},
                                          {"M", static_cast<int>(FieldType::kMemo), 0},
                                          {"T", static_cast<int>(FieldType::kText), kTextWidth},
                                          {"B", static_cast<int>(FieldType::kByteString), 0}};
    FUZZ_CHECK(engine_.CreateDatabase(kMainPath, fields));
    FUZZ_CHECK(Open());
    if (options & 2) ChangePassword(1);
    return true;
  }

  void Run(uint8_t opcode, uint8_t a, uint8_t b) {
    bool touched_all = false;  // the step may have changed any record
    switch (opcode % 10) {
      case 0: Append(a, b); break;
      case 1: WriteMemo(a, b); break;
      case 2: WriteBytes(a, b); break;
      case 3: Delete(a); break;
      case 4: WriteScalars(a, b); break;
      case 5:
        if (b % 4 == 0) {
          FUZZ_CHECK(engine_.ClearAllRecords());
          model_.clear();
          touched_all = true;
        } else {
          Append(a, b);
        }
        break;
      case 6:
        ChangePassword(a);
        touched_all = true;
        break;
      case 7:
        engine_.CloseDatabase();
        FUZZ_CHECK(Open());
        touched_all = true;
        break;
      case 8:
        if (locked_) {
          FUZZ_CHECK(engine_.UnlockDatabase());
        } else {
          FUZZ_CHECK(engine_.LockDatabase());
        }
        locked_ = !locked_;
        break;
      case 9: WriteMemo(a, b), WriteBytes(b, a); break;
    }
    if (touched_all) {
      Verify();
    } else {
      VerifyTouched();
    }
    touched_.clear();
  }

  // Every record against the model, then the structure of both files.
  void Verify() {
    FUZZ_CHECK(engine_.RecordCount() == static_cast<int>(model_.size()));
    engine_.GoFirst();
    for (size_t i = 0; i < model_.size(); ++i) {
      VerifyCurrent(model_[i]);
      if (i + 1 < model_.size()) FUZZ_CHECK(engine_.Skip());
    }
    CheckStructure();
  }

 private:
  bool Open() {
    OpenOptions options;
    options.password = password_;
    locked_ = false;
    return engine_.OpenDatabase(kMainPath, options);
  }

  // Goes to record `index` (0-based) of the model.
  void Seek(size_t index) {
    engine_.GoFirst();
    if (index > 0) FUZZ_CHECK(engine_.Skip(static_cast<int>(index)));
  }

  // Goes to record `index`, which the step then writes.
  void GoTo(size_t index) {
    touched_.push_back(index);
    Seek(index);
  }

  void Append(uint8_t a, uint8_t b) {
    if (model_.size() >= kMostRecords) return;
    Record record;
    record.date = 36526 + a * 37 + b;
    record.memo = FillerText(LengthFrom(a), b, false);
    record.bytes = FillerText(LengthFrom(b), a, true);
    record.text = FillerText(b % (kTextWidth + 1), a, false);
    FUZZ_CHECK(engine_.AppendRecord({FieldValue::DateTime(record.date), FieldValue::Text(record.memo),
                                FieldValue::Text(record.text), FieldValue::Bytes(record.bytes)}));
    model_.push_back(std::move(record));
    touched_.push_back(model_.size() - 1);
  }

  void WriteMemo(uint8_t a, uint8_t b) {
    if (model_.empty()) return;
    Record& record = model_[b % model_.size()];
    GoTo(b % model_.size());
    record.memo = FillerText(LengthFrom(a), b, false);
    FUZZ_CHECK(engine_.WriteField("M", FieldValue::Text(record.memo)));
  }

  void WriteBytes(uint8_t a, uint8_t b) {
    if (model_.empty()) return;
    Record& record = model_[a % model_.size()];
    GoTo(a % model_.size());
    record.bytes = FillerText(LengthFrom(b), a, true);
    FUZZ_CHECK(engine_.WriteField(4, FieldValue::Bytes(record.bytes)));
  }

  // Deleting a memo gives its whole chain back to the free list.
  void Delete(uint8_t a) {
    if (model_.empty()) return;
    Record& record = model_[a % model_.size()];
    GoTo(a % model_.size());
    record.memo.clear();
    FUZZ_CHECK(engine_.WriteField(2, FieldValue::Text("")));
    if (a & 1) {
      record.bytes.clear();
      FUZZ_CHECK(engine_.WriteField("b", FieldValue::Bytes("")));
    }
  }

  void WriteScalars(uint8_t a, uint8_t b) {
    if (model_.empty()) return;
    Record& record = model_[a % model_.size()];
    GoTo(a % model_.size());
    record.date = 2 + a * 1000.5 + b;
    record.text = FillerText(b % 16, a, false).substr(0, kTextWidth);
    FUZZ_CHECK(engine_.WriteField(1, FieldValue::DateTime(record.date)));
    FUZZ_CHECK(engine_.WriteField(3, FieldValue::Text(FillerText(b % 16, a, false))));
  }

  void ChangePassword(uint8_t a) {
    const std::string& next = Password(a);
    FUZZ_CHECK(engine_.SetPassword(next));
    password_ = next;
    FUZZ_CHECK(engine_.IsPasswordProtected(kMainPath) == !next.empty());
    // The re-key's recovery record is gone once it reported success.
    FUZZ_CHECK(!files_.Exists(RekeyRecordPath(kMainPath)));
  }

  void VerifyTouched() {
    FUZZ_CHECK(engine_.RecordCount() == static_cast<int>(model_.size()));
    for (const size_t index : touched_) {
      Seek(index);
      VerifyCurrent(model_[index]);
    }
  }

  void VerifyCurrent(const Record& record) {
    FUZZ_CHECK(engine_.ReadField(1).AsDateTime() == record.date);
    FUZZ_CHECK(engine_.ReadField("m").AsText() == record.memo);
    FUZZ_CHECK(engine_.ReadField(3).AsText() == record.text);
    FUZZ_CHECK(engine_.ReadField(4).AsText() == record.bytes);
  }

  void CheckStructure() {
    using namespace tarnwick::edbtool;
    // The check's own opens see every later change (the files live in memory)
    // and keep their keystreams between checks; a new password needs new ones.
    if (check_main_ == nullptr || check_password_ != password_) {
      FUZZ_CHECK(EngineFileBytes::Open(files_, kMainPath, password_, &check_main_) == 0);
      FUZZ_CHECK(EngineFileBytes::Open(files_, kMemoPath, password_, &check_memo_) == 0);
      check_password_ = password_;
    }
    CheckOptions options;
    if (!password_.empty()) options.expected_check_text = CheckText(password_);
    const CheckReport report = CheckDatabase(*check_main_, check_memo_.get(), options);
    for (const std::string& finding : report.findings) std::fprintf(stderr, "finding: %s\n", finding.c_str());
    FUZZ_CHECK(report.sound());
    FUZZ_CHECK(report.records == static_cast<int64_t>(model_.size()));
  }

  fuzzing::MemoryFileSystem files_;
  DatabaseEngine engine_;
  std::vector<Record> model_;
  std::string password_;
  bool locked_ = false;
  std::vector<size_t> touched_;  // records the current step wrote
  std::unique_ptr<edbtool::EngineFileBytes> check_main_;
  std::unique_ptr<edbtool::EngineFileBytes> check_memo_;
  std::string check_password_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  Script script;
  script.Start(data[0]);
  for (size_t at = 1, done = 0; at + 3 <= size && done < kMostOperations; at += 3, ++done) {
    script.Run(data[at], data[at + 1], data[at + 2]);
  }
  script.Verify();
  return 0;
}
