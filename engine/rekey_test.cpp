// Password changes that are cut short: by an I/O error at each step, by the
// process dying or the power failing at each step, and by killing the process
// at random moments. Afterwards the database must open with the old or the new
// password and hold every record exactly; a finished change must leave the
// bytes an uninterrupted one leaves, and an undone one the bytes from before.
// And no byte written anywhere but the store's files may give its key away.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <map>
#include <set>
#include <algorithm>
#include <random>
#include <thread>

#include "base/text.h"
#include "engine/database.h"
#include "engine/engine_test_util.h"
#include "engine/md5.h"
#include "engine/rekey_record.h"
#include "testing/fault_file_system.h"
#include "testing/helper_process.h"
#include "testing/temp_dir.h"

namespace tarnwick {
namespace {

using namespace test_util;
using Operation = testing::FaultFileSystem::Operation;

struct PasswordChange {
  std::string from;
  std::string to;
};

const std::vector<PasswordChange> kChanges = {{"", "alpha"}, {"alpha", "beta"}, {"beta", ""}};

class RekeyTest : public ::testing::Test {
 protected:
  RekeyTest()
      : main_path_(dir_.File("memo.edb")),
        memo_path_(dir_.File("memo.EDT")),
        record_path_(RekeyRecordPath(main_path_)) {}
  ~RekeyTest() override { SetRekeyPieceBytes(default_piece_); }

  // records memos of 0 to about 3,000 bytes, a few blocks freed in the middle.
  void Build(int records, size_t longest) {
    DatabaseEngine engine;
    engine.SetDurableWrites(false);
    ASSERT_TRUE(engine.CreateDatabase(main_path_, MemoSchema()));
    ASSERT_TRUE(engine.OpenDatabase(main_path_));
    for (int i = 0; i < records; ++i) {
      memos_.push_back(MemoText(static_cast<size_t>(i * 131) % (longest + 1), i));
      ASSERT_TRUE(engine.AppendRecord({FieldValue::DateTime(40000 + i), FieldValue::Text(memos_.back())}));
    }
    engine.GoFirst();
    ASSERT_TRUE(engine.Skip(records / 2));
    memos_[records / 2] = "short now";
    ASSERT_TRUE(engine.WriteField(2, FieldValue::Text(memos_[records / 2])));
  }

  // The files as they stand under each password of kChanges, each made by an
  // uninterrupted change from the one before.
  void KeepEachSide() {
    DatabaseEngine engine;
    engine.SetDurableWrites(false);
    ASSERT_TRUE(engine.OpenDatabase(main_path_));
    for (const PasswordChange& change : kChanges) {
      ASSERT_TRUE(engine.SetPassword(change.from));
      sides_[change.from] = {ReadBytes(main_path_), ReadBytes(memo_path_)};
    }
    engine.CloseDatabase();
  }

  void PutSide(const std::string& password) {
    WriteBytes(main_path_, sides_[password].first);
    WriteBytes(memo_path_, sides_[password].second);
  }

  bool FilesAre(const std::string& password) {
    return ReadBytes(main_path_) == sides_[password].first && ReadBytes(memo_path_) == sides_[password].second;
  }

  // Opens with a fresh engine and reads every record back.
  ::testing::AssertionResult OpensAndReadsAll(const std::string& password) {
    DatabaseEngine engine;
    OpenOptions options;
    options.password = password;
    if (!engine.OpenDatabase(main_path_, options)) {
      return ::testing::AssertionFailure() << "open with \"" << password << "\" fails, code " << LastErrorCode();
    }
    return AllRecordsRead(engine);
  }

  ::testing::AssertionResult AllRecordsRead(DatabaseEngine& engine) {
    if (engine.RecordCount() != static_cast<int>(memos_.size())) {
      return ::testing::AssertionFailure() << engine.RecordCount() << " records";
    }
    engine.GoFirst();
    for (size_t i = 0; i < memos_.size(); ++i) {
      if (engine.ReadField(1).AsDateTime() != 40000.0 + static_cast<double>(i) ||
          engine.ReadField(2).AsText() != memos_[i]) {
        return ::testing::AssertionFailure() << "record " << i << " differs, code " << LastErrorCode();
      }
      engine.Skip();
    }
    return ::testing::AssertionSuccess();
  }

  bool RecordFileExists() { return DefaultFileSystem()->Exists(record_path_); }
  bool CopiesExist() {
    return DefaultFileSystem()->Exists(RekeyCopyPath(main_path_, 0)) ||
           DefaultFileSystem()->Exists(RekeyCopyPath(main_path_, 1));
  }
  bool IsStoreFile(const std::string& path) {
    return path == main_path_ || path == memo_path_ || path == RekeyCopyPath(main_path_, 0) ||
           path == RekeyCopyPath(main_path_, 1);
  }

  // The number of writes a change makes up to and including the record's:
  // dying at the next one but one leaves a change half copied over the files.
  int WritesUpToTheRecord(const PasswordChange& change) {
    PutSide(change.from);
    std::vector<testing::FaultFileSystem::Change> log;
    testing::FaultFileSystem faults;
    DatabaseEngine engine(&faults);
    engine.SetDurableWrites(false);
    EXPECT_TRUE(engine.OpenDatabase(main_path_, OpenOptions{"", false, ShareMode::kDenyNone, change.from}));
    faults.SetLog(&log);
    EXPECT_TRUE(engine.SetPassword(change.to));
    int writes = 0;
    for (const auto& entry : log) {
      if (entry.operation != Operation::kWrite) continue;
      ++writes;
      if (entry.path == record_path_) return writes;
    }
    ADD_FAILURE() << "no record written";
    return 0;
  }

  // Changes from -> to and dies at the given write; the files stay as left.
  void DieAtWrite(const PasswordChange& change, int n) {
    PutSide(change.from);
    testing::FaultFileSystem faults;
    DatabaseEngine engine(&faults);
    engine.SetDurableWrites(false);
    ASSERT_TRUE(engine.OpenDatabase(main_path_, OpenOptions{"", false, ShareMode::kDenyNone, change.from}));
    faults.DieAtNth(Operation::kWrite, n);
    EXPECT_FALSE(engine.SetPassword(change.to));
    EXPECT_EQ(LastErrorCode(), error::kRekeyFailed);
    EXPECT_EQ(engine.CurrentPath(), "") << "a connection over half-changed files is closed";
  }

  const uint64_t default_piece_ = RekeyPieceBytes();
  testing::TempDir dir_;
  std::string main_path_;
  std::string memo_path_;
  std::string record_path_;
  std::vector<std::string> memos_;
  std::map<std::string, std::pair<Bytes, Bytes>> sides_;
};

const std::vector<std::pair<Operation, const char*>> kFaultKinds = {{Operation::kWrite, "write"},
                                                                    {Operation::kFlush, "flush"},
                                                                    {Operation::kTruncate, "truncate"},
                                                                    {Operation::kRead, "read"},
                                                                    {Operation::kRemove, "remove"}};

// An I/O error at any step is reported, the change is undone in place (the
// connection goes on under the old password), and nothing is left behind.
TEST_F(RekeyTest, AnIoErrorAtAnyStepUndoesTheChange) {
  SetRekeyPieceBytes(8192);
  Build(40, 3000);
  KeepEachSide();
  int failures = 0, finished_anyway = 0;
  for (const PasswordChange& change : kChanges) {
    for (const auto& [kind, kind_name] : kFaultKinds) {
      for (int n = 1;; ++n) {
        ASSERT_LT(n, 400) << "the re-key never ends";
        const std::string context =
            "\"" + change.from + "\" to \"" + change.to + "\", " + kind_name + " #" + std::to_string(n);
        PutSide(change.from);
        testing::FaultFileSystem faults;
        DatabaseEngine engine(&faults);
        engine.SetDurableWrites(kind == Operation::kFlush);  // flushes only where they are the faults
        OpenOptions options;
        options.password = change.from;
        ASSERT_TRUE(engine.OpenDatabase(main_path_, options)) << context;
        faults.FailNth(kind, n, error::kHardwareFault, /*torn=*/n % 2 == 1);
        const bool changed = engine.SetPassword(change.to);
        const int code = LastErrorCode();
        faults.Disarm();
        if (!faults.fired()) {
          ASSERT_TRUE(changed) << context << " code " << code;
          EXPECT_TRUE(FilesAre(change.to)) << context;
          EXPECT_FALSE(RecordFileExists() || CopiesExist()) << context;
          break;
        }
        ++failures;
        if (changed) {
          // Only once the record is emptied: the finished change stands, and
          // what could not be removed (the copies, the record) goes at the next open.
          EXPECT_EQ(kind, Operation::kRemove) << context << ": a failure reported as success";
          ++finished_anyway;
          EXPECT_TRUE(AllRecordsRead(engine)) << context;
          engine.CloseDatabase();
          EXPECT_TRUE(OpensAndReadsAll(change.to)) << context;
          EXPECT_FALSE(RecordFileExists() || CopiesExist()) << context << ": the next open removes the leftovers";
          EXPECT_TRUE(FilesAre(change.to)) << context;
          continue;
        }
        EXPECT_NE(kind, Operation::kRemove) << context << ": the change was done before anything was removed";
        EXPECT_EQ(code, error::kRekeyFailed) << context;
        EXPECT_FALSE(RecordFileExists() || CopiesExist()) << context;
        EXPECT_TRUE(FilesAre(change.from)) << context;
        // Still open under the old password, and usable.
        ASSERT_EQ(engine.CurrentPath(), main_path_) << context;
        EXPECT_EQ(engine.IsPasswordProtected("memo"), !change.from.empty()) << context;
        EXPECT_TRUE(AllRecordsRead(engine)) << context;
        engine.CloseDatabase();
        EXPECT_TRUE(OpensAndReadsAll(change.from)) << context;
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
  EXPECT_GT(failures, 100);
  std::printf("re-key I/O errors injected: %d; %d reported, the change undone and both files unchanged; %d in "
              "removing what the finished change left (it stands)\n",
              failures, failures - finished_anyway, finished_anyway);
}

// The process dying at any step (nothing reaches the files after it), or the
// power failing at any flush, leaves files that the next open, whatever the
// password it is given, settles to exactly one password's bytes: the old one
// before the record was whole, the new one after.
TEST_F(RekeyTest, DyingOrLosingPowerAtAnyStepIsSettledByTheNextOpen) {
  SetRekeyPieceBytes(8192);
  Build(40, 3000);
  KeepEachSide();
  struct Way {
    Operation kind;
    const char* name;
    uint32_t power_loss_seed;  // with power loss: 0 drops every unflushed write, others tear some
    bool names_lost = false;   // with power loss: files made in a folder not flushed since are gone
  };
  const std::vector<Way> ways = {{Operation::kWrite, "write", 0},     {Operation::kFlush, "flush", 0},
                                 {Operation::kTruncate, "truncate", 0}, {Operation::kRemove, "remove", 0},
                                 {Operation::kFlush, "power loss at flush", 0}, {Operation::kFlush, "torn power loss at flush", 7},
                                 {Operation::kFlush, "power loss at flush, unflushed names lost", 0, true}};
  int deaths = 0, power_losses = 0, records_left = 0, finished_by_open = 0, writes_lost = 0;
  std::array<int, 2> settled{};  // to the old password, to the new
  for (const PasswordChange& change : kChanges) {
    for (size_t way = 0; way < ways.size(); ++way) {
      const bool power_loss = way >= 4;
      for (int n = 1;; ++n) {
        ASSERT_LT(n, 400) << "the re-key never ends";
        const std::string context = "\"" + change.from + "\" to \"" + change.to + "\", dead at " + ways[way].name +
                                    " #" + std::to_string(n);
        PutSide(change.from);
        testing::FaultFileSystem faults;
        faults.SetPowerLoss(power_loss, ways[way].power_loss_seed + static_cast<uint32_t>(n));
        faults.SetLoseUnflushedNames(ways[way].names_lost);
        {
          DatabaseEngine engine(&faults);
          engine.SetDurableWrites(ways[way].kind == Operation::kFlush);
          OpenOptions options;
          options.password = change.from;
          ASSERT_TRUE(engine.OpenDatabase(main_path_, options)) << context;
          faults.DieAtNth(ways[way].kind, n, /*torn=*/n % 2 == 1);
          engine.SetPassword(change.to);
        }
        if (!faults.fired()) break;
        if (power_loss) {
          ++power_losses;
          writes_lost += faults.CutPower();
        } else {
          ++deaths;
        }
        const bool record = RecordFileExists();
        // Alternate the password the next open is given.
        const std::string& chosen = n % 2 == 0 ? change.from : change.to;
        const std::string& other = n % 2 == 0 ? change.to : change.from;
        const std::string* opened = &chosen;
        if (!OpensAndReadsAll(chosen)) {
          ASSERT_TRUE(OpensAndReadsAll(other)) << context;
          opened = &other;
        }
        EXPECT_TRUE(FilesAre(*opened)) << context;
        ++settled[*opened == change.to];
        if (record) ++records_left;
        if (record && *opened == change.to) ++finished_by_open;
        EXPECT_FALSE(RecordFileExists() || CopiesExist()) << context;
        EXPECT_FALSE(OpensAndReadsAll(*opened == chosen ? other : chosen)) << context << ": settled on one password";
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
  EXPECT_GT(finished_by_open, 50);
  EXPECT_GT(settled[0], 50);
  EXPECT_GT(writes_lost, 0) << "no power loss lost a write: the power-loss cases tested only deaths";
  std::printf(
      "re-key deaths at each step: %d, power losses at each flush: %d (%d unflushed writes lost or torn); "
      "settled to the old password %d, the new %d; %d left a record, %d finished by the next open; "
      "none lost a byte\n",
      deaths, power_losses, writes_lost, settled[0], settled[1], records_left, finished_by_open);
}

// With durable writes, a change reaches the disk in an order that keeps the
// record trustworthy after a power cut as well: the copies are flushed before
// the record is written, the record before the files are written, the files
// before the record is emptied, and the emptied record before the copies go.
// The same holds when an open settles a record.
TEST_F(RekeyTest, TheStepsReachTheDiskInTurn) {
  SetRekeyPieceBytes(8192);
  Build(40, 3000);
  using Change = testing::FaultFileSystem::Change;
  const std::string copies[2] = {RekeyCopyPath(main_path_, 0), RekeyCopyPath(main_path_, 1)};
  auto check_order = [&](const std::vector<Change>& log, const std::string& what, bool record_written) {
    std::set<std::string> unflushed;  // paths changed since their last flush
    bool record_whole = !record_written, record_voided = false;
    int store_writes = 0, copy_removals = 0, record_removals = 0;
    auto any_unflushed = [&](auto predicate) { return std::any_of(unflushed.begin(), unflushed.end(), predicate); };
    auto is_copy = [&](const std::string& path) { return path == copies[0] || path == copies[1]; };
    for (const Change& change : log) {
      const bool record = change.path == record_path_;
      if (change.operation == Operation::kWrite && record) {
        EXPECT_FALSE(any_unflushed(is_copy)) << what << ": the record is written before the copies are flushed";
        record_whole = true;
      } else if (change.operation == Operation::kWrite && !is_copy(change.path)) {
        ++store_writes;
        EXPECT_TRUE(record_whole && unflushed.count(record_path_) == 0)
            << what << ": a file changes before the record is whole on disk";
      } else if (change.operation == Operation::kTruncate && record) {
        EXPECT_FALSE(any_unflushed([&](const std::string& path) { return path != record_path_ && !is_copy(path); }))
            << what << ": the record is emptied before the files are flushed";
        record_voided = true;
      } else if (change.operation == Operation::kRemove) {
        (record ? record_removals : copy_removals)++;
        EXPECT_TRUE(record_voided && unflushed.count(record_path_) == 0)
            << what << ": " << change.path << " goes before the emptied record is on disk";
      }
      if (change.operation == Operation::kFlush) {
        unflushed.erase(change.path);
      } else if (change.operation != Operation::kRemove) {
        unflushed.insert(change.path);
      }
    }
    EXPECT_EQ(record_removals, 1) << what;
    EXPECT_EQ(copy_removals, 2) << what;
    EXPECT_GE(store_writes, 4) << what;
  };

  KeepEachSide();
  PutSide("");
  std::vector<Change> log;
  {
    testing::FaultFileSystem faults;
    DatabaseEngine engine(&faults);
    ASSERT_TRUE(engine.OpenDatabase(main_path_));
    faults.SetLog(&log);
    ASSERT_TRUE(engine.SetPassword("alpha"));
  }
  check_order(log, "a change", true);

  const int writes = WritesUpToTheRecord({"alpha", "beta"});
  DieAtWrite({"alpha", "beta"}, writes + 2);
  ASSERT_TRUE(RecordFileExists());
  log.clear();
  testing::FaultFileSystem faults;
  faults.SetLog(&log);
  DatabaseEngine engine(&faults);
  ASSERT_TRUE(engine.OpenDatabase(main_path_, OpenOptions{"", false, ShareMode::kDenyNone, "beta"}));
  EXPECT_TRUE(AllRecordsRead(engine));
  check_order(log, "an open settling a record", false);
}

// Settling a record is as safe as the change itself: an open that meets an
// I/O error or dies while settling fails, and the next open still settles.
TEST_F(RekeyTest, AnOpenCutShortWhileSettlingIsSettledByTheNextOne) {
  SetRekeyPieceBytes(8192);
  Build(20, 3000);
  KeepEachSide();
  DieAtWrite({"alpha", "beta"}, WritesUpToTheRecord({"alpha", "beta"}) + 2);
  ASSERT_TRUE(RecordFileExists());
  const Bytes main = ReadBytes(main_path_), memo = ReadBytes(memo_path_), record = ReadBytes(record_path_);
  const Bytes copy_main = ReadBytes(RekeyCopyPath(main_path_, 0)), copy_memo = ReadBytes(RekeyCopyPath(main_path_, 1));
  int cut_short = 0;
  for (const auto& [kind, kind_name] : kFaultKinds) {
    for (bool die : {false, true}) {
      // A read changes nothing, so dying at one is dying at the next change.
      if (die && kind == Operation::kRead) continue;
      for (int n = 1;; ++n) {
        ASSERT_LT(n, 400);
        const std::string context = std::string(die ? "dead at " : "failing ") + kind_name + " #" + std::to_string(n);
        WriteBytes(main_path_, main);
        WriteBytes(memo_path_, memo);
        WriteBytes(record_path_, record);
        WriteBytes(RekeyCopyPath(main_path_, 0), copy_main);
        WriteBytes(RekeyCopyPath(main_path_, 1), copy_memo);
        testing::FaultFileSystem faults;
        bool opened = false;
        {
          DatabaseEngine engine(&faults);
          engine.SetDurableWrites(kind == Operation::kFlush);
          if (die) {
            faults.DieAtNth(kind, n, /*torn=*/n % 2 == 1);
          } else {
            faults.FailNth(kind, n, error::kHardwareFault, /*torn=*/n % 2 == 1);
          }
          opened = engine.OpenDatabase(main_path_, OpenOptions{"", false, ShareMode::kDenyNone, "beta"});
          faults.Disarm();
          if (opened) {
            EXPECT_TRUE(AllRecordsRead(engine)) << context;
          }
        }
        if (!faults.fired()) {
          ASSERT_TRUE(opened) << context;
          break;
        }
        ++cut_short;
        EXPECT_TRUE(OpensAndReadsAll("beta")) << context;
        EXPECT_TRUE(FilesAre("beta")) << context;
        EXPECT_FALSE(RecordFileExists() || CopiesExist()) << context;
        if (::testing::Test::HasFailure()) return;
      }
    }
  }
  EXPECT_GT(cut_short, 30);
  std::printf("opens cut short while settling a record: %d, each settled by the next open\n", cut_short);
}

// Past the point of no return any open finishes the change, without needing
// the password: a wrong one then fails as usual, the new one opens. Before
// it, the files are as they were and only the old password opens them.
TEST_F(RekeyTest, AnyOpenSettlesAChangeAndOnlyItsPasswordThenOpens) {
  SetRekeyPieceBytes(8192);
  Build(40, 3000);
  KeepEachSide();
  const int writes = WritesUpToTheRecord({"alpha", "beta"});
  for (const std::string& wrong : {std::string(), std::string("Alpha"), std::string("alpha")}) {
    DieAtWrite({"alpha", "beta"}, writes + 2);
    ASSERT_TRUE(RecordFileExists());
    DatabaseEngine engine;
    EXPECT_FALSE(engine.OpenDatabase(main_path_, OpenOptions{"", false, ShareMode::kDenyNone, wrong}));
    EXPECT_EQ(LastErrorCode(), error::kWrongPassword) << wrong;
    EXPECT_TRUE(FilesAre("beta")) << wrong;
    EXPECT_FALSE(RecordFileExists() || CopiesExist()) << wrong;
  }

  // The "?" password asks, as for any protected database.
  DieAtWrite({"alpha", "beta"}, writes + 2);
  DatabaseEngine engine;
  std::vector<std::optional<std::string>> answers = {"alpha", "beta"};
  std::vector<PasswordPromptRequest> shown;
  engine.SetPasswordPromptHook([&](const PasswordPromptRequest& request) {
    shown.push_back(request);
    std::optional<SecretText> answer = SecretText::CopyAnswer(answers.front());
    answers.erase(answers.begin());
    return answer;
  });
  ASSERT_TRUE(engine.OpenDatabase(main_path_, OpenOptions{"", false, ShareMode::kDenyNone, "?"}));
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].retry_line, Gbk("密码错误，您还有 2 次重新输入的机会。"));
  EXPECT_TRUE(AllRecordsRead(engine));
  engine.CloseDatabase();
  EXPECT_TRUE(FilesAre("beta"));

  // Dying while the copies are written: the next open drops them.
  DieAtWrite({"alpha", "beta"}, writes - 1);
  EXPECT_TRUE(CopiesExist());
  EXPECT_FALSE(OpensAndReadsAll("beta"));
  EXPECT_TRUE(OpensAndReadsAll("alpha"));
  EXPECT_TRUE(FilesAre("alpha"));
  EXPECT_FALSE(RecordFileExists() || CopiesExist());
}

// A whole record whose copy does not match it, or a record of the earlier
// layout, is not guessed at: the open fails and touches nothing.
TEST_F(RekeyTest, ARecordThatCannotBeTrustedStopsTheOpen) {
  SetRekeyPieceBytes(8192);
  Build(40, 3000);
  KeepEachSide();
  DieAtWrite({"alpha", "beta"}, WritesUpToTheRecord({"alpha", "beta"}) + 2);
  const std::string copy_path = RekeyCopyPath(main_path_, 1);
  Bytes copy = ReadBytes(copy_path);
  copy[copy.size() / 2] ^= 1;
  WriteBytes(copy_path, copy);
  const Bytes main = ReadBytes(main_path_), memo = ReadBytes(memo_path_);
  DatabaseEngine engine;
  EXPECT_FALSE(engine.OpenDatabase(main_path_, OpenOptions{"", false, ShareMode::kDenyNone, "beta"}));
  EXPECT_EQ(LastErrorCode(), error::kNotDatabaseFile);
  EXPECT_EQ(ReadBytes(main_path_), main);
  EXPECT_EQ(ReadBytes(memo_path_), memo);
  EXPECT_EQ(ReadBytes(copy_path), copy);
  EXPECT_TRUE(RecordFileExists());

  PutSide("alpha");
  std::remove(copy_path.c_str());
  WriteBytes(record_path_, Concat({Hex("52 4B 45 59 01 00 00 00"), Zeros(1000)}));
  EXPECT_FALSE(engine.OpenDatabase(main_path_, OpenOptions{"", false, ShareMode::kDenyNone, "alpha"}));
  EXPECT_EQ(LastErrorCode(), error::kNotDatabaseFile);
  EXPECT_TRUE(FilesAre("alpha"));
  EXPECT_TRUE(RecordFileExists());
}

// Every byte written to any file during set, change and remove, cut short at
// every write and settled by the next open, searched for what would decipher
// the store without its password: the key (the cipher's table after the key
// schedule, the check text), the keystream's first blocks, the password.
// The check text and the table may appear nowhere; the keystream and the
// password nowhere but in the store's own files and their whole copies (an
// enciphered block of zeros is its keystream).
TEST_F(RekeyTest, NoKeyMaterialIsWrittenOutsideTheEncipheredFiles) {
  SetRekeyPieceBytes(8192);
  Build(40, 3000);
  KeepEachSide();
  struct Secret {
    std::string what;
    std::string bytes;
    bool anywhere;  // forbidden in the store's files too
  };
  std::vector<Secret> secrets;
  for (const std::string password : {"alpha", "beta"}) {
    std::shared_ptr<CipherKey> key = MakeCipherKey(password);
    uint8_t material[kKeyMaterialSize];
    CopyKeyMaterial(*key, material);
    secrets.push_back({password + "'s cipher table", std::string(reinterpret_cast<char*>(material), 256), true});
    secrets.push_back({password + "'s check text", CheckText(password), true});
    std::string keystream(4 * kCipherBlockSize, '\0');
    ApplyCipher(key.get(), 0, reinterpret_cast<uint8_t*>(keystream.data()), keystream.size());
    secrets.push_back({password + "'s first keystream blocks", keystream.substr(kCipherStart), false});
    secrets.push_back({password + " itself", password, false});
  }
  // Any 16 bytes of a secret give it away (a password is shorter: the whole
  // of it). The pieces are looked up at every offset of every write.
  struct Piece {
    uint64_t low, high;
    bool operator==(const Piece&) const = default;
  };
  struct PieceHash {
    size_t operator()(const Piece& piece) const { return std::hash<uint64_t>()(piece.low * 31 + piece.high); }
  };
  auto piece_at = [](const char* at) {
    Piece piece;
    std::memcpy(&piece.low, at, 8);
    std::memcpy(&piece.high, at + 8, 8);
    return piece;
  };
  std::unordered_map<Piece, size_t, PieceHash> pieces;  // -> index in secrets
  for (size_t i = 0; i < secrets.size(); ++i) {
    for (size_t at = 0; at + 16 <= secrets[i].bytes.size(); at += 16) pieces[piece_at(secrets[i].bytes.data() + at)] = i;
  }
  auto find_secret = [&](const std::string& data, bool store_file) -> const Secret* {
    for (size_t at = 0; at + 16 <= data.size(); ++at) {
      const auto found = pieces.find(piece_at(data.data() + at));
      if (found != pieces.end() && (!store_file || secrets[found->second].anywhere)) return &secrets[found->second];
    }
    for (const Secret& secret : secrets) {
      if (secret.bytes.size() < 16 && !store_file && data.find(secret.bytes) != std::string::npos) return &secret;
    }
    return nullptr;
  };
  int runs = 0, hits = 0, seen_in_store = 0;
  uint64_t bytes_scanned = 0, bytes_outside_store = 0;
  std::set<std::string> paths;
  for (const PasswordChange& change : kChanges) {
    for (int n = 1;; ++n) {
      ASSERT_LT(n, 400);
      PutSide(change.from);
      std::vector<testing::FaultFileSystem::Change> log;
      testing::FaultFileSystem faults;
      faults.SetLog(&log);
      bool died = false;
      {
        DatabaseEngine engine(&faults);
        ASSERT_TRUE(engine.OpenDatabase(main_path_, OpenOptions{"", false, ShareMode::kDenyNone, change.from}));
        faults.DieAtNth(Operation::kWrite, n);
        engine.SetPassword(change.to);
        died = faults.fired();
      }
      faults.Disarm();
      {
        DatabaseEngine engine(&faults);  // settles what the death left, under the same log
        OpenOptions options;
        options.password = n % 2 == 0 ? change.from : change.to;
        if (!engine.OpenDatabase(main_path_, options)) {
          options.password = n % 2 == 0 ? change.to : change.from;
          ASSERT_TRUE(engine.OpenDatabase(main_path_, options));
        }
      }
      ++runs;
      for (const auto& entry : log) {
        if (entry.operation != Operation::kWrite) continue;
        paths.insert(entry.path);
        bytes_scanned += entry.data.size();
        const bool store_file = IsStoreFile(entry.path);
        if (!store_file) bytes_outside_store += entry.data.size();
        if (store_file && find_secret(entry.data, false) != nullptr) ++seen_in_store;
        if (const Secret* secret = find_secret(entry.data, store_file)) {
          ++hits;
          ADD_FAILURE() << secret->what << " written to " << entry.path << " (\"" << change.from << "\" to \""
                        << change.to << "\", dead at write #" << n << ")";
        }
      }
      if (!died) break;
    }
  }
  EXPECT_EQ(paths.count(record_path_), 1u) << "the scan saw the record written";
  EXPECT_GT(bytes_outside_store, 0u);
  EXPECT_GT(seen_in_store, 0) << "the scan finds the keystream where it must be, in enciphered zeros";
  std::printf("leak scan: %d set/change/remove runs cut short at every write and settled; %llu bytes written to %zu "
              "files (%llu outside the store's files) searched for %zu secrets: %d hits\n",
              runs, static_cast<unsigned long long>(bytes_scanned), paths.size(),
              static_cast<unsigned long long>(bytes_outside_store), secrets.size(), hits);
}

TEST_F(RekeyTest, ARecordLeftBySomeoneElseStopsAChange) {
  Build(5, 600);
  test_util::WriteBytes(record_path_, Hex("52 4B 45 59 01 00 00 00"));  // a stray, incomplete record
  const Bytes main = ReadBytes(main_path_), memo = ReadBytes(memo_path_);
  {
    DatabaseEngine engine;
    // An incomplete record tells of no touched file: the open removes it.
    ASSERT_TRUE(engine.OpenDatabase(main_path_));
    EXPECT_FALSE(RecordFileExists());
    test_util::WriteBytes(record_path_, Hex("52 4B 45 59"));
    EXPECT_FALSE(engine.SetPassword("alpha"));
    EXPECT_EQ(LastErrorCode(), error::kRekeyFailed);
    EXPECT_TRUE(AllRecordsRead(engine));
  }
  EXPECT_EQ(ReadBytes(main_path_), main);
  EXPECT_EQ(ReadBytes(memo_path_), memo);
}

#ifndef _WIN32
// A folder handed over from elsewhere holds a whole record and copies that
// match it (the record's digest is no secret): they may overwrite only the
// store's own files, only through a read-write open, never through a link.
TEST_F(RekeyTest, ARecordFromElsewhereWritesOnlyTheStoresOwnFiles) {
  SetRekeyPieceBytes(8192);
  Build(20, 3000);
  KeepEachSide();
  const std::string victim = dir_.File("thesis.txt");
  const Bytes precious = Concat({Hex("57 45 44 42"), Bytes(40000, 'p')});  // even with the store's magic
  const auto link_main_to_victim = [&] {
    WriteBytes(victim, precious);
    std::filesystem::rename(main_path_, dir_.File("memo.edb.real"));
    std::filesystem::create_symlink(victim, main_path_);
  };
  DieAtWrite({"alpha", "beta"}, WritesUpToTheRecord({"alpha", "beta"}) + 2);
  ASSERT_TRUE(RecordFileExists());
  link_main_to_victim();
  const Bytes record = ReadBytes(record_path_);
  for (bool read_only : {true, false}) {
    DatabaseEngine engine;
    EXPECT_FALSE(engine.OpenDatabase(main_path_, OpenOptions{"", read_only, ShareMode::kDenyNone, "beta"}));
    EXPECT_EQ(LastErrorCode(), read_only ? error::kRekeyFailed : error::kInvalidFile);
    if (!read_only) EXPECT_NE(LastErrorMessage().find(main_path_), std::string::npos) << "the link is named";
    EXPECT_EQ(ReadBytes(victim), precious);
    EXPECT_EQ(ReadBytes(record_path_), record) << "nothing of the change is touched";
    EXPECT_TRUE(CopiesExist());
  }

  // A plain file in the store's place that is not the store's kind.
  std::filesystem::remove(main_path_);
  WriteBytes(main_path_, Bytes(40000, 'p'));
  DatabaseEngine engine;
  EXPECT_FALSE(engine.OpenDatabase(main_path_, OpenOptions{"", false, ShareMode::kDenyNone, "beta"}));
  EXPECT_EQ(LastErrorCode(), error::kNotDatabaseFile);
  EXPECT_EQ(ReadBytes(main_path_), Bytes(40000, 'p'));

  // The store back in place: a look that only reads says the change was cut
  // short and writes nothing; a read-write open finishes it.
  std::filesystem::rename(dir_.File("memo.edb.real"), main_path_);
  const Bytes half_changed = ReadBytes(main_path_);
  EXPECT_FALSE(engine.OpenDatabase(main_path_, OpenOptions{"", true, ShareMode::kDenyNone, "beta"}));
  EXPECT_EQ(LastErrorCode(), error::kRekeyFailed);
  EXPECT_EQ(ReadBytes(main_path_), half_changed);
  EXPECT_TRUE(RecordFileExists());
  EXPECT_TRUE(OpensAndReadsAll("beta"));
  EXPECT_TRUE(FilesAre("beta"));

  // Before its point of no return, a read-only look reads the store as it was
  // and leaves the void record and the copies for a read-write open.
  DieAtWrite({"beta", ""}, WritesUpToTheRecord({"beta", ""}) - 1);
  ASSERT_TRUE(CopiesExist());
  {
    DatabaseEngine reader;
    ASSERT_TRUE(reader.OpenDatabase(main_path_, OpenOptions{"", true, ShareMode::kDenyNone, "beta"}));
    EXPECT_TRUE(AllRecordsRead(reader));
  }
  EXPECT_TRUE(RecordFileExists() && CopiesExist());

  // A copy's name taken by a link: the change makes its copy anew beside it.
  EXPECT_TRUE(OpensAndReadsAll("beta"));
  ASSERT_FALSE(RecordFileExists() || CopiesExist());
  WriteBytes(victim, precious);
  std::filesystem::create_symlink(victim, RekeyCopyPath(main_path_, 0));
  ASSERT_TRUE(engine.OpenDatabase(main_path_, OpenOptions{"", false, ShareMode::kDenyNone, "beta"}));
  EXPECT_TRUE(engine.SetPassword(""));
  engine.CloseDatabase();
  EXPECT_EQ(ReadBytes(victim), precious);
  EXPECT_TRUE(FilesAre(""));
}

// Another process's open that found a new record still empty and removed it
// (as a void record is removed) must stop the change before it touches the
// files: a record no longer at its name protects nothing from a kill.
TEST_F(RekeyTest, AChangeWhoseRecordIsTakenAwayStopsBeforeTouchingTheFiles) {
  class RemovingTheNewRecord final : public FileSystem {
   public:
    explicit RemovingTheNewRecord(std::string record) : record_(std::move(record)) {}
    FileStatus Open(const std::string& path, const FileOpenMode& mode, std::unique_ptr<File>* file) override {
      FileStatus status = base_->Open(path, mode, file);
      if (status == 0 && path == record_ && mode.create) base_->Remove(path);
      return status;
    }
    bool Exists(const std::string& path) override { return base_->Exists(path); }
    FileStatus IdentityAt(const std::string& path, FileIdentity* identity) override {
      return base_->IdentityAt(path, identity);
    }
    FileStatus Remove(const std::string& path) override { return base_->Remove(path); }
    std::string AbsolutePath(const std::string& path) override { return base_->AbsolutePath(path); }
    std::string MatchNameIgnoringCase(const std::string& path) override { return base_->MatchNameIgnoringCase(path); }
    uint32_t TickCount() override { return base_->TickCount(); }
    void SleepMilliseconds(int milliseconds) override { base_->SleepMilliseconds(milliseconds); }
    CivilDateTime LocalDateTime() override { return base_->LocalDateTime(); }

   private:
    FileSystem* base_ = DefaultFileSystem();
    std::string record_;
  } files(record_path_);
  Build(10, 2000);
  const Bytes main = ReadBytes(main_path_), memo = ReadBytes(memo_path_);
  DatabaseEngine engine(&files);
  ASSERT_TRUE(engine.OpenDatabase(main_path_));
  EXPECT_FALSE(engine.SetPassword("alpha"));
  EXPECT_TRUE(AllRecordsRead(engine));
  engine.CloseDatabase();
  EXPECT_EQ(ReadBytes(main_path_), main);
  EXPECT_EQ(ReadBytes(memo_path_), memo);
  EXPECT_FALSE(RecordFileExists() || CopiesExist());
}
#endif

TEST_F(RekeyTest, CreatingADatabaseInPlaceOfOneWithARecordDropsTheRecord) {
  Build(10, 2000);
  KeepEachSide();
  DieAtWrite({"", "alpha"}, WritesUpToTheRecord({"", "alpha"}) + 2);
  ASSERT_TRUE(RecordFileExists());
  DatabaseEngine engine;
  ASSERT_TRUE(engine.CreateDatabase(main_path_, MemoSchema()));
  EXPECT_FALSE(RecordFileExists() || CopiesExist());
  ASSERT_TRUE(engine.OpenDatabase(main_path_));
  EXPECT_EQ(engine.RecordCount(), 0);
  EXPECT_EQ(ReadBytes(memo_path_).size(), 512u);
}

// SIGKILL at random moments of a re-key running in a child process, with
// durable writes as the memo book uses them.
// path, old password, new password, ready signal: opens, says so, changes the password.
TARNWICK_TEST_HELPER(ChangePassword) {
  DatabaseEngine engine;
  OpenOptions options;
  options.password = arguments[1];
  if (!engine.OpenDatabase(arguments[0], options)) return 2;
  testing::FileSignal(arguments[3]).Send();
  return engine.SetPassword(arguments[2]) ? 0 : 4;
}

TEST_F(RekeyTest, KilledAtRandomMomentsLosesNothing) {
  SetRekeyPieceBytes(128 << 10);  // many pieces, so kills meet every kind of step
  Build(700, 3000);
  memos_.shrink_to_fit();
  const std::vector<std::string> passwords = {"", "alpha", "beta"};
  // How long one whole change takes in a child process like the ones killed
  // below (the slower of two runs): timed in this process instead, on a
  // loaded machine or a sanitized build the kills all landed early.
  double full_ms = 0;
  for (int run = 0; run < 2; ++run) {
    const testing::FileSignal ready(dir_.File("timing-ready-" + std::to_string(run)));
    testing::HelperProcess child("ChangePassword", {main_path_, passwords[run], passwords[1 - run], ready.path()});
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(ready.Wait()) << "the child could not open the database";
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(child.Join(), 0);
    full_ms = std::max(full_ms, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  const double file_mb = static_cast<double>(ReadBytes(main_path_).size() + ReadBytes(memo_path_).size()) / 1e6;

  std::mt19937 random(12);
  // One kill in four falls anywhere in a change. The step past the point of
  // no return is a short tail whose place shifts with the machine's load, so
  // the others fall between the latest delay that still found the change
  // undone and the earliest that found it finished, narrowing onto it.
  double undone_until_ms = 0, finished_from_ms = 2 * full_ms;
  auto next_delay_ms = [&](int kill_number) {
    if (finished_from_ms <= undone_until_ms) finished_from_ms = undone_until_ms + full_ms / 4;
    const bool anywhere = kill_number % 4 == 0;
    const double low = anywhere ? 0 : undone_until_ms;
    const double high = anywhere ? 1.2 * full_ms : finished_from_ms;
    return std::uniform_real_distribution<double>(low, high)(random);
  };
  int current = 0;
  int opened_old = 0, opened_new = 0, with_record = 0, past_no_return = 0, finished_before_kill = 0;
  // At least 100 kills; more, up to 300, until one has fallen past the point
  // of no return, which a loaded machine may shift out of the first hundred.
  const int kKills = 100;
  int kill_number = 0;
  for (; kill_number < kKills || (past_no_return == 0 && kill_number < 3 * kKills); ++kill_number) {
    const int next = (current + 1) % 3;
    const testing::FileSignal ready(dir_.File("ready-" + std::to_string(kill_number)));
    testing::HelperProcess child("ChangePassword", {main_path_, passwords[current], passwords[next], ready.path()});
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(ready.Wait()) << "the child could not open the database";
    const double delay = next_delay_ms(kill_number);
    std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(delay));
    child.Kill();
    const int result = child.Join();
    if (result != testing::HelperProcess::kDidNotReturn) {
      ASSERT_EQ(result, 0) << "kill " << kill_number;
      ++finished_before_kill;
    }
    const bool record = RecordFileExists();
    if (record) ++with_record;
    // Try the old or the new password first, in turn; one of them must open.
    const int first = kill_number % 2 == 0 ? current : next;
    const int second = first == current ? next : current;
    int opened = -1;
    if (OpensAndReadsAll(passwords[first])) {
      opened = first;
    } else {
      ASSERT_TRUE(OpensAndReadsAll(passwords[second])) << "kill " << kill_number;
      opened = second;
    }
    if (record && opened == next) ++past_no_return;
    if (opened == current) undone_until_ms = std::max(undone_until_ms, delay);
    if (opened == next && !record) finished_from_ms = std::min(finished_from_ms, delay);
    ASSERT_FALSE(RecordFileExists() || CopiesExist()) << "kill " << kill_number;
    (opened == current ? opened_old : opened_new)++;
    current = opened;
  }
  std::printf(
      "re-key kills: %d over %.1f MB (a whole change %.0f ms): opened with the old password %d, the new %d; "
      "%d met a change under way (%d past its point of no return, finished by the next open), %d changes "
      "finished before the kill; records lost 0\n",
      kill_number, file_mb, full_ms, opened_old, opened_new, with_record, past_no_return, finished_before_kill);
  EXPECT_GT(with_record, 20) << "the kills hardly ever met a change under way";
  EXPECT_GT(past_no_return, 0) << "no kill fell past the point of no return";
}

}  // namespace
}  // namespace tarnwick
