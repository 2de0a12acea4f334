// Password protection: the enciphered bytes, the check at opening, the
// prompt of the "?" password, and re-keying.
#include <gtest/gtest.h>

#include <filesystem>

#include "base/text.h"
#include "engine/cipher_file.h"
#include "engine/database.h"
#include "engine/engine_test_util.h"
#include "engine/file_system.h"
#include "testing/temp_dir.h"

namespace tarnwick {
namespace {

using namespace test_util;

class PasswordTest : public ::testing::Test {
 protected:
  PasswordTest() : main_path_(dir_.File("memo.edb")), memo_path_(dir_.File("memo.EDT")) {
    engine_.SetDurableWrites(false);
    EXPECT_TRUE(engine_.CreateDatabase(main_path_, MemoSchema()));
  }
  bool Open(const std::string& password) {
    OpenOptions options;
    options.password = password;
    return engine_.OpenDatabase(main_path_, options);
  }
  bool Append(double date, const std::string& memo) {
    return engine_.AppendRecord({FieldValue::DateTime(date), FieldValue::Text(memo)});
  }
  void ExpectRecords(const std::vector<std::string>& memos) {
    ASSERT_EQ(engine_.RecordCount(), static_cast<int>(memos.size()));
    engine_.GoFirst();
    for (size_t i = 0; i < memos.size(); ++i) {
      EXPECT_EQ(engine_.ReadField(1).AsDateTime(), 40000.0 + static_cast<double>(i));
      EXPECT_EQ(engine_.ReadField(2).AsText(), memos[i]) << i;
      engine_.Skip();
    }
  }

  testing::TempDir dir_;
  std::string main_path_;
  std::string memo_path_;
  DatabaseEngine engine_;
};

TEST_F(PasswordTest, ProtectedDatabaseReadsBackAfterReopening) {
  ASSERT_TRUE(Open(""));
  std::vector<std::string> memos = {"", MemoText(10, 1), MemoText(5000, 2), MemoText(499, 3)};
  for (size_t i = 0; i < memos.size(); ++i) ASSERT_TRUE(Append(40000.0 + static_cast<double>(i), memos[i]));
  ASSERT_TRUE(engine_.SetPassword("memo"));
  EXPECT_TRUE(engine_.IsPasswordProtected("memo"));
  ExpectRecords(memos);  // still readable under the new key
  engine_.CloseDatabase();

  const Bytes main = ReadBytes(main_path_);
  const Bytes memo = ReadBytes(memo_path_);
  EXPECT_EQ(Slice(main, 0, 4), Hex("57 43 44 42"));
  EXPECT_EQ(Slice(memo, 0, 4), Hex("57 45 44 54"));
  // The check block: "514d7112d8bd78754988b065eaa504d5" and four zeros, enciphered.
  EXPECT_EQ(Slice(main, 28, 36), Hex("59c3ed5c76d16823f8f0ad5a621a5a07df4d58c66f96632303c1375abba188c25518018f"));
  // Record 0: id 1, date 40000.0, no memo block, enciphered at offset 260.
  EXPECT_EQ(Slice(main, 260, 16), Hex("c616c487c014fcd34a1103d3e88eaa07"));
  // The memo file holds 13 blocks, but its header says so only under the key.
  EXPECT_EQ(memo.size(), 13u * 512);
  EXPECT_NE(Slice(memo, 16, 4), Int32Bytes(13));
  EXPECT_TRUE(engine_.IsPasswordProtected(main_path_));

  ASSERT_TRUE(Open("memo"));
  ExpectRecords(memos);
  ASSERT_TRUE(Append(40004, "after"));
  memos.push_back("after");
  ASSERT_TRUE(engine_.SetPassword(""));
  engine_.CloseDatabase();
  EXPECT_FALSE(engine_.IsPasswordProtected(main_path_));
  EXPECT_EQ(Slice(ReadBytes(main_path_), 0, 4), Hex("57 45 44 42"));
  EXPECT_EQ(Slice(ReadBytes(main_path_), 28, 36), Zeros(36));
  EXPECT_EQ(Slice(ReadBytes(main_path_), 260, 16), Hex("01 00 00 00  00 00 00 00 00 88 E3 40  00 00 00 00"));
  EXPECT_EQ(Slice(ReadBytes(memo_path_), 16, 4), Int32Bytes(ReadBytes(memo_path_).size() / 512));
  ASSERT_TRUE(Open(""));
  ExpectRecords(memos);
}

TEST_F(PasswordTest, WrongOrMissingPasswordsAreRefusedAndChangeNothing) {
  ASSERT_TRUE(Open(""));
  ASSERT_TRUE(Append(40000, "secret"));
  ASSERT_TRUE(engine_.SetPassword("Memo"));
  engine_.CloseDatabase();
  const Bytes main = ReadBytes(main_path_);
  const Bytes memo = ReadBytes(memo_path_);
  for (const std::string& wrong : {std::string(), std::string("memo"), std::string("MEMO"), std::string("x")}) {
    EXPECT_FALSE(Open(wrong)) << wrong;
    EXPECT_EQ(LastErrorCode(), error::kWrongPassword) << wrong;
    EXPECT_EQ(engine_.CurrentPath(), "");
  }
  EXPECT_EQ(ReadBytes(main_path_), main);
  EXPECT_EQ(ReadBytes(memo_path_), memo);
  ASSERT_TRUE(Open("Memo"));
  ExpectRecords({"secret"});
  // "?" is not a password one can set.
  EXPECT_FALSE(engine_.SetPassword("?"));
  EXPECT_EQ(LastErrorCode(), error::kInvalidPasswordText);
  engine_.CloseDatabase();
  EXPECT_EQ(ReadBytes(main_path_), main);
  EXPECT_EQ(ReadBytes(memo_path_), memo);
}

TEST_F(PasswordTest, APasswordForAPlainDatabaseIsWrong) {
  EXPECT_FALSE(Open("anything"));
  EXPECT_EQ(LastErrorCode(), error::kWrongPassword);
  EXPECT_FALSE(engine_.IsPasswordProtected(main_path_));
  EXPECT_FALSE(engine_.IsPasswordProtected(dir_.File("missing.edb")));
}

TEST_F(PasswordTest, TheCheckTextIsComparedWithoutRegardToCase) {
  ASSERT_TRUE(Open(""));
  ASSERT_TRUE(engine_.SetPassword("memo"));
  engine_.CloseDatabase();
  // Rewrite the check block with upper-case hexadecimal, under the same key.
  {
    std::unique_ptr<File> file;
    ASSERT_EQ(DefaultFileSystem()->Open(main_path_, {FileAccess::kReadWrite, ShareMode::kExclusive, false}, &file), 0);
    CipherFile cipher(std::move(file), "memo");
    const std::string upper = "514D7112D8BD78754988B065EAA504D5";
    ASSERT_EQ(cipher.Write(28, upper.data(), upper.size()), 0);
  }
  EXPECT_TRUE(Open("memo"));
}

TEST_F(PasswordTest, TheQuestionMarkAsksThroughTheHook) {
  ASSERT_TRUE(Open(""));
  ASSERT_TRUE(Append(40000, "hidden"));
  ASSERT_TRUE(engine_.SetPassword("right"));
  engine_.CloseDatabase();

  std::vector<PasswordPromptRequest> shown;
  std::vector<std::optional<std::string>> answers;
  engine_.SetPasswordPromptHook([&](const PasswordPromptRequest& request) {
    shown.push_back(request);
    std::optional<SecretText> answer = SecretText::CopyAnswer(answers.front());
    answers.erase(answers.begin());
    return answer;
  });

  answers = {std::nullopt};
  EXPECT_FALSE(Open("?"));
  EXPECT_EQ(LastErrorCode(), error::kWrongPassword);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].title, Gbk("密码输入"));
  EXPECT_EQ(shown[0].prompt, Gbk("请输入数据库访问密码："));
  EXPECT_EQ(shown[0].confirm_button, Gbk("确认(&O)"));
  EXPECT_EQ(shown[0].cancel_button, Gbk("取消(&C)"));
  EXPECT_EQ(shown[0].retry_line, "");

  shown.clear();
  answers = {"a", "b", "c", "right"};
  EXPECT_FALSE(Open("?"));
  EXPECT_EQ(LastErrorCode(), error::kWrongPassword);
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[1].retry_line, Gbk("密码错误，您还有 2 次重新输入的机会。"));
  EXPECT_EQ(shown[2].retry_line, Gbk("密码错误，您还有 1 次重新输入的机会。"));

  shown.clear();
  answers = {"wrong", "right"};
  ASSERT_TRUE(Open("?"));
  EXPECT_EQ(shown.size(), 2u);
  ExpectRecords({"hidden"});
  EXPECT_TRUE(engine_.IsPasswordProtected("memo"));
  engine_.CloseDatabase();

  // A plain database opens without asking.
  ASSERT_TRUE(engine_.CreateDatabase(dir_.File("plain.edb"), MemoSchema()));
  shown.clear();
  OpenOptions ask;
  ask.password = "?";
  EXPECT_TRUE(engine_.OpenDatabase(dir_.File("plain"), ask));
  EXPECT_TRUE(shown.empty());
}

TEST_F(PasswordTest, NoHookMeansNoPassword) {
  ASSERT_TRUE(Open(""));
  ASSERT_TRUE(engine_.SetPassword("pw"));
  engine_.CloseDatabase();
  EXPECT_FALSE(Open("?"));
  EXPECT_EQ(LastErrorCode(), error::kWrongPassword);
}

TEST_F(PasswordTest, ChangingThePasswordKeepsEverything) {
  ASSERT_TRUE(Open("")) << LastErrorCode();
  std::vector<std::string> memos;
  for (int i = 0; i < 40; ++i) {
    memos.push_back(MemoText(static_cast<size_t>(37 * i), i));
    ASSERT_TRUE(Append(40000.0 + i, memos.back()));
  }
  ASSERT_TRUE(engine_.SetPassword("one"));
  ASSERT_TRUE(engine_.SetPassword("two"));
  ASSERT_TRUE(engine_.SetPassword("two"));  // same key: nothing to do
  engine_.CloseDatabase();
  EXPECT_FALSE(Open("one"));
  ASSERT_TRUE(Open("two"));
  ExpectRecords(memos);
}

// Two connections to one store: after one changes the password, the other,
// still holding the old key, must neither write nor read with it (its writes
// would scramble what it writes: a date read back as nonsense).
TEST_F(PasswordTest, AConnectionWithTheOldKeyNeverWritesAfterAChange) {
  for (const auto& [before, after] : std::vector<std::pair<std::string, std::string>>{{"", "one"}, {"one", "two"}, {"two", ""}}) {
    SCOPED_TRACE(before + " -> " + after);
    ASSERT_TRUE(Open(before)) << LastErrorCode();
    if (engine_.RecordCount() == 0) ASSERT_TRUE(Append(40000.0, "first"));
    DatabaseEngine stale;
    OpenOptions options;
    options.password = before;
    ASSERT_TRUE(stale.OpenDatabase(main_path_, options));
    ASSERT_TRUE(engine_.SetPassword(after));

    stale.GoFirst();
    EXPECT_FALSE(stale.WriteField(1, FieldValue::DateTime(40001.0)));
    EXPECT_FALSE(stale.AppendRecord({FieldValue::DateTime(40002.0), FieldValue::Text("stale")}));
    EXPECT_FALSE(stale.LockDatabase());
    stale.CloseDatabase();
    engine_.CloseDatabase();
    ASSERT_TRUE(Open(after));
    ExpectRecords({"first"});
    engine_.CloseDatabase();
  }
}

}  // namespace
}  // namespace tarnwick
