// Drives the real edbtool binary from outside, as a user would, and looks at
// its output, its exit code and the bytes of the files it leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#endif
#include <chrono>
#include <thread>

#include "base/text.h"
#include "engine/database.h"
#include "engine/database_format.h"
#include "engine/file_system.h"
#include "memo/backup.h"
#include "testing/helper_process.h"
#include "testing/temp_dir.h"

namespace {

struct Outcome {
  int exit_code = -1;
  std::string out;
  std::string err;
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class EdbtoolTest : public ::testing::Test {
 protected:
  // Runs edbtool with a 20-second limit, so a hang fails the test (exit 124).
  Outcome Run(std::vector<std::string> arguments, const std::string& stdin_text = "") {
    const std::string out_path = dir_.File("stdout"), err_path = dir_.File("stderr"), in_path = dir_.File("stdin");
    WriteAll(in_path, stdin_text);
    std::vector<std::string> command = {EDBTOOL_BINARY};
    command.insert(command.end(), arguments.begin(), arguments.end());
    Outcome outcome;
    outcome.exit_code = tarnwick::testing::RunProgram(command, in_path, out_path, err_path, 20000);
    outcome.out = ReadAll(out_path);
    outcome.err = ReadAll(err_path);
    return outcome;
  }

  // The memo book's schema: 日期 date-time, 备忘 memo.
  void CreateMemoBook() { ASSERT_EQ(Run({"create", db_, "日期:8", "备忘:12"}).exit_code, 0); }

  void Append(std::vector<std::string> values) {
    values.insert(values.begin(), {"append", db_});
    const Outcome outcome = Run(values);
    ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  }

  // Patches 4 little-endian bytes of a file in place.
  void Patch32(const std::string& path, std::streamoff offset, std::uint32_t value) {
    std::fstream file(path, std::ios::binary | std::ios::in | std::ios::out);
    const char bytes[4] = {static_cast<char>(value), static_cast<char>(value >> 8), static_cast<char>(value >> 16),
                           static_cast<char>(value >> 24)};
    file.seekp(offset);
    file.write(bytes, 4);
  }

  // A backup as the program takes it, through handles under the whole-file lock.
  std::string TakeBackup(tarnwick::BackupReason reason, const tarnwick::CivilDateTime& now) {
    tarnwick::FileSystem& files = *tarnwick::DefaultFileSystem();
    std::unique_ptr<tarnwick::File> main, memo;
    std::string name;
    EXPECT_EQ(files.Open(db_, {tarnwick::FileAccess::kReadWrite}, &main), 0);
    EXPECT_EQ(main->Lock(0, tarnwick::kWholeFileLength), 0);
    EXPECT_EQ(files.Open(memo_file_, {}, &memo), 0);
    EXPECT_EQ(backups_.Take(main.get(), memo.get(), reason, -1, now, &name), 0);
    return name;
  }
  std::vector<std::string> BackupNames() {
    std::vector<std::string> names;
    for (const tarnwick::BackupInfo& backup : backups_.List()) names.push_back(backup.name);
    return names;
  }

  tarnwick::testing::TempDir dir_;
  tarnwick::StoreBackups backups_{*tarnwick::DefaultFileSystem(), tarnwick::Utf8ToGbk(dir_.path().string())};
  const std::string db_ = dir_.File("memo.edb");
  const std::string memo_file_ = dir_.File("memo.EDT");
};

const char kWrongPasswordMessage[] = "error -78: 未提供数据库访问密码或提供了错误的密码";

TEST_F(EdbtoolTest, CreateAppendWriteDump) {
  CreateMemoBook();
  EXPECT_EQ(std::filesystem::file_size(db_), 260u);
  EXPECT_EQ(ReadAll(db_).substr(0, 4), "WEDB");
  EXPECT_EQ(ReadAll(memo_file_).size(), 512u);

  Append({"2011年5月3日", "今天下雨，\"带伞\"\n第二行"});
  Append({"40667.5", ""});
  Append({"2011年5月5日"});
  // A 1000-byte memo takes two blocks: 1 (first memo), 2 and 3.
  Append({"40669", std::string(1000, 'x')});
  EXPECT_EQ(std::filesystem::file_size(memo_file_), 4u * 512);

  Outcome outcome = Run({"write", db_, "1", "备忘", "补记"});
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  outcome = Run({"write", db_, "2", "1", "2011年5月6日"});
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  outcome = Run({"write", db_, "3", "2", "短"});  // keeps block 2, frees block 3
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;

  outcome = Run({"dump", db_});
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(outcome.out,
            "{\"id\": 1, \"fields\": {\"日期\": 40666, \"备忘\": \"今天下雨，\\\"带伞\\\"\\n第二行\"}}\n"
            "{\"id\": 2, \"fields\": {\"日期\": 40667.5, \"备忘\": \"补记\"}}\n"
            "{\"id\": 3, \"fields\": {\"日期\": 40669, \"备忘\": \"\"}}\n"
            "{\"id\": 4, \"fields\": {\"日期\": 40669, \"备忘\": \"短\"}}\n");
  outcome = Run({"check", db_});
  EXPECT_EQ(outcome.exit_code, 0) << outcome.out;
  EXPECT_EQ(outcome.out, "sound: 4 records; memo file 5 blocks (3 used, 1 free)\n");
}

// A memo file that came without its main file: its texts are listed so that
// they can be copied back; a freed block is no text.
TEST_F(EdbtoolTest, MemosListsTheTextsOfAMemoFileWithoutItsMainFile) {
  CreateMemoBook();
  Append({"2011年5月3日", "甲"});
  Append({"2011年5月4日", std::string(1000, 'x') + "尾"});
  Append({"2011年5月5日", "乙"});
  ASSERT_EQ(Run({"write", db_, "0", "备忘", ""}).exit_code, 0);  // frees block 1
  std::filesystem::remove(db_);
  Outcome outcome = Run({"memos", memo_file_});
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(outcome.out, "{\"block\": 2, \"text\": \"" + std::string(1000, 'x') + "尾\"}\n"
                         "{\"block\": 5, \"text\": \"乙\"}\n");
  // A chain running out of the file is listed up to there and said to be
  // broken; the block it lost is listed on its own.
  Patch32(memo_file_, 3 * 512 + 4, 99);
  outcome = Run({"memos", memo_file_});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.out, "{\"block\": 2, \"text\": \"" + std::string(1000, 'x') + "\", \"whole\": false}\n"
                         "{\"block\": 4, \"text\": \"尾\"}\n"
                         "{\"block\": 5, \"text\": \"乙\"}\n");
  WriteAll(db_, "WEDB not a memo file");
  outcome = Run({"memos", db_});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.err, "edbtool: " + db_ + ": not a memo file\n");
}

// Paths name a folder in Chinese, with a character GBK lacks: every command
// reaches the files by the names the user typed, and prints them back so.
TEST_F(EdbtoolTest, AFolderNamedOutsideAsciiIsReachedByEveryCommand) {
  const std::string folder = dir_.File("备忘 数据𠮷");
  ASSERT_TRUE(std::filesystem::create_directory(std::filesystem::u8path(folder)));
  const std::string db = folder + "/memo.edb";
  ASSERT_EQ(Run({"create", db, "日期:8", "备忘:12"}).exit_code, 0);
  ASSERT_EQ(Run({"append", db, "2011年5月3日", "𠮷野家"}).exit_code, 0);
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(folder + "/memo.EDT")));
  EXPECT_EQ(Run({"dump", db}).out, "{\"id\": 1, \"fields\": {\"日期\": 40666, \"备忘\": \"𠮷野家\"}}\n");
  EXPECT_EQ(Run({"check", db}).out, "sound: 1 records; memo file 2 blocks (1 used, 0 free)\n");
  EXPECT_EQ(Run({"backups", folder}).out, "no backups in " + dir_.File("备忘 数据𠮷/backups") + "\n");
  EXPECT_EQ(Run({"memos", folder + "/memo.EDT"}).out, "{\"block\": 1, \"text\": \"𠮷野家\"}\n");
}

TEST_F(EdbtoolTest, EveryFieldType) {
  ASSERT_EQ(Run({"create", db_, "b:1", "s:2", "i:3", "l:4", "f:5", "d:6", "ok:7", "t:8", "r:9", "名字:10:6",
                 "raw:11", "m:12"})
                .exit_code,
            0);
  Append({"255", "-32768", "2147483647", "-9223372036854775808", "0.1", "-2.5", "true", "2011年5月3日", "7", "中文ab",
          "0x00ff10", "长文本"});
  Append({"0"});
  const Outcome outcome = Run({"dump", db_});
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(outcome.out,
            "{\"id\": 1, \"fields\": {\"b\": 255, \"s\": -32768, \"i\": 2147483647, \"l\": -9223372036854775808, "
            "\"f\": 0.1, \"d\": -2.5, \"ok\": true, \"t\": 40666, \"r\": 7, \"名字\": \"中文ab\", \"raw\": "
            "\"0x00ff10\", \"m\": \"长文本\"}}\n"
            "{\"id\": 2, \"fields\": {\"b\": 0, \"s\": 0, \"i\": 0, \"l\": 0, \"f\": 0, \"d\": 0, \"ok\": false, "
            "\"t\": 0, \"r\": 0, \"名字\": \"\", \"raw\": \"0x\", \"m\": \"\"}}\n");
  EXPECT_EQ(Run({"check", db_}).exit_code, 0);
}

TEST_F(EdbtoolTest, PasswordOnAndOff) {
  CreateMemoBook();
  Append({"2011年5月3日", "秘密的备忘"});
  const std::string plain_dump = Run({"dump", db_}).out;
  const std::string secret = "\xC3\xD8\xC3\xDC\xB5\xC4\xB1\xB8\xCD\xFC";  // 秘密的备忘 in GBK
  ASSERT_NE(ReadAll(memo_file_).find(secret), std::string::npos) << "a plain memo file holds the text as it is";

  // Standard input is no terminal here: one line per password.
  Outcome outcome = Run({"passwd", db_}, "口令\n");
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(ReadAll(db_).substr(0, 4), "WCDB");
  EXPECT_EQ(ReadAll(memo_file_).substr(0, 4), "WEDT");
  EXPECT_EQ(ReadAll(memo_file_).find(secret), std::string::npos) << "the text is still readable";

  for (const auto& [refused, input] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"dump", db_}, ""}, {{"dump", db_}, "口\n口\n口\n口令\n"}, {{"check", db_}, ""},
           {{"check", db_}, "wrong\n"}, {{"append", db_, "1"}, "x\n"}}) {
    outcome = Run(refused, input);
    EXPECT_EQ(outcome.exit_code, 1) << refused[0] << " " << input;
    EXPECT_NE(outcome.err.find(kWrongPasswordMessage), std::string::npos) << outcome.err;
  }
  outcome = Run({"dump", db_}, "口\n口令\n");
  EXPECT_EQ(outcome.exit_code, 0) << "a wrong line, then the right one" << outcome.err;

  outcome = Run({"dump", db_}, "口令\n");
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(outcome.out, plain_dump);
  outcome = Run({"check", db_}, "口令\n");
  EXPECT_EQ(outcome.exit_code, 0) << outcome.out << outcome.err;
  EXPECT_EQ(outcome.out, "sound: 1 records; memo file 2 blocks (1 used, 0 free)\n");
  // A damaged copy: the memo file's block count is only right when deciphered.
  WriteAll(dir_.File("copy.EDB"), ReadAll(db_));
  WriteAll(dir_.File("copy.EDT"), ReadAll(memo_file_).substr(0, 600));
  outcome = Run({"check", dir_.File("copy")}, "口令\n");
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_NE(outcome.out.find("memo file: holds 1 whole blocks, the header counts 2 (truncated)"), std::string::npos)
      << outcome.out;
  outcome = Run({"passwd", db_}, "口令\n?\n");
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_NE(outcome.err.find("error -80: 无效的密码文本"), std::string::npos) << outcome.err;

  outcome = Run({"passwd", db_}, "口令\n\n");
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  const std::string header = ReadAll(db_);
  EXPECT_EQ(header.substr(0, 4), "WEDB");
  EXPECT_EQ(header.substr(28, 36), std::string(36, '\0'));
  EXPECT_EQ(Run({"dump", db_}).out, plain_dump);
}

#ifndef _WIN32
// While passwd waits for the new password, the process list (what any user
// of the machine can read) shows neither password.
TEST_F(EdbtoolTest, PasswordsNeverReachTheProcessList) {
  CreateMemoBook();
  Append({"2011年5月3日", "备忘"});
  ASSERT_EQ(Run({"passwd", db_}, "旧的口令\n").exit_code, 0);
  int input[2];
  ASSERT_EQ(pipe(input), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(input[0], 0);
    close(input[1]);
    execl(EDBTOOL_BINARY, EDBTOOL_BINARY, "passwd", db_.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(input[0]);
  const std::string old_line = "旧的口令\n";
  ASSERT_EQ(write(input[1], old_line.data(), old_line.size()), static_cast<ssize_t>(old_line.size()));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const std::string listed = ReadAll("/proc/" + std::to_string(child) + "/cmdline");
  EXPECT_NE(listed.find("passwd"), std::string::npos) << "still running, at the prompt";
  const std::string new_line = "新的口令\n";
  ASSERT_EQ(write(input[1], new_line.data(), new_line.size()), static_cast<ssize_t>(new_line.size()));
  close(input[1]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(listed.find("口令"), std::string::npos) << listed;
  EXPECT_EQ(Run({"dump", db_}, "新的口令\n").exit_code, 0);
}

// Ctrl+C at a prompt without echo gives the terminal its echo back.
TEST_F(EdbtoolTest, InterruptedAtAPromptTheTerminalEchoesAgain) {
  CreateMemoBook();
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string terminal = ptsname(master);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    setsid();  // the terminal opened next becomes this session's own
    const int slave = open(terminal.c_str(), O_RDWR);
    if (slave < 0) _exit(126);
    dup2(slave, 0);
    dup2(slave, 1);
    dup2(slave, 2);
    execl(EDBTOOL_BINARY, EDBTOOL_BINARY, "passwd", db_.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  std::string shown;
  char buffer[256];
  for (int i = 0; i < 100 && shown.find("新的访问密码") == std::string::npos; ++i) {
    pollfd ready{master, POLLIN, 0};
    if (poll(&ready, 1, 100) == 1) {
      const ssize_t got = read(master, buffer, sizeof buffer);
      if (got > 0) shown.append(buffer, static_cast<size_t>(got));
    }
  }
  ASSERT_NE(shown.find("新的访问密码"), std::string::npos) << shown;
  ASSERT_EQ(write(master, "\x03", 1), 1);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
  const int slave = open(terminal.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(slave, 0);
  termios mode {};
  ASSERT_EQ(tcgetattr(slave, &mode), 0);
  EXPECT_NE(mode.c_lflag & ECHO, 0u) << "echo left off";
  close(slave);
  close(master);
}
#endif

// A password change cut short: check names the recovery record rather than
// walk half-changed files; any command that opens the database settles it.
TEST_F(EdbtoolTest, CheckNamesAnUnsettledPasswordChange) {
  CreateMemoBook();
  Append({"2011年5月3日", "备忘"});
  const std::string dump = Run({"dump", db_}).out;
  const std::string record = db_ + "-rekey";
  WriteAll(record, "RKEY");  // as a kill just after the record was begun leaves it
  Outcome outcome = Run({"check", db_});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_EQ(outcome.out.rfind("unsettled password change: " + record, 0), 0u) << outcome.out;
  // A look that only reads leaves it; a repair settles it.
  outcome = Run({"dump", db_});
  EXPECT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(outcome.out, dump);
  EXPECT_TRUE(std::filesystem::exists(record));
  outcome = Run({"check", db_, "--repair"});
  EXPECT_EQ(outcome.exit_code, 0) << outcome.out << outcome.err;
  EXPECT_FALSE(std::filesystem::exists(record));
  EXPECT_EQ(Run({"dump", db_}).out, dump);
}

// A memo file of another store (its creation stamp moved; a flipped bit
// flips it also under the cipher) is named by check and refused by dump.
TEST_F(EdbtoolTest, AMemoFileOfAnotherStoreIsNamed) {
  CreateMemoBook();
  Append({"2011年5月3日", "备忘"});
  for (const std::string password : {"", "口令"}) {
    SCOPED_TRACE(password);
    if (!password.empty()) ASSERT_EQ(Run({"passwd", db_}, password + "\n").exit_code, 0);
    const std::string own = ReadAll(memo_file_);
    std::string other = own;
    other[14] = static_cast<char>(other[14] ^ 1);
    WriteAll(memo_file_, other);
    const std::string answer = password.empty() ? "" : password + "\n";
    Outcome outcome = Run({"check", db_}, answer);
    EXPECT_EQ(outcome.exit_code, 1);
    EXPECT_NE(outcome.out.find("memo file: its creation stamp differs from the main file's; the two files are from "
                               "different databases (memo books), not one store"),
              std::string::npos)
        << outcome.out;
    outcome = Run({"dump", db_}, answer);
    EXPECT_EQ(outcome.exit_code, 1);
    EXPECT_NE(outcome.err.find("error -81: 数据库辅助文件与数据库文件不是同一个数据库的"), std::string::npos)
        << outcome.err;
    EXPECT_EQ(ReadAll(memo_file_), other) << "refused untouched";
    WriteAll(memo_file_, own);
    EXPECT_EQ(Run({"check", db_}, answer).exit_code, 0);
  }
}

TEST_F(EdbtoolTest, ClearKeepsTheIdSequence) {
  CreateMemoBook();
  Append({"1", std::string(600, 'a')});
  Append({"2", "b"});
  Outcome outcome = Run({"clear", db_});
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_EQ(std::filesystem::file_size(db_), 260u);
  EXPECT_EQ(std::filesystem::file_size(memo_file_), 512u);
  EXPECT_EQ(Run({"dump", db_}).out, "");
  Append({"3", "c"});
  EXPECT_EQ(Run({"dump", db_}).out, "{\"id\": 3, \"fields\": {\"日期\": 3, \"备忘\": \"c\"}}\n");
}

TEST_F(EdbtoolTest, NamesReachTheFilesAsTheEngineResolvesThem) {
  std::filesystem::create_directory(dir_.File("v1.2"));
  ASSERT_EQ(Run({"create", dir_.File("v1.2/Diary"), "日期:8", "备忘:12"}).exit_code, 0);
  EXPECT_TRUE(std::filesystem::exists(dir_.File("v1.2/Diary.EDB")));
  ASSERT_EQ(Run({"append", dir_.File("v1.2/diary"), "1", "甲"}).exit_code, 0);
  Outcome outcome = Run({"check", dir_.File("v1.2/DIARY.edb")});
  EXPECT_EQ(outcome.exit_code, 0) << outcome.out << outcome.err;
  EXPECT_EQ(outcome.out, "sound: 1 records; memo file 2 blocks (1 used, 0 free)\n");
  outcome = Run({"dump", dir_.File("v1.2/DiArY")});
  EXPECT_EQ(outcome.out, "{\"id\": 1, \"fields\": {\"日期\": 1, \"备忘\": \"甲\"}}\n");
}

TEST_F(EdbtoolTest, CheckFindsDamageWithoutHanging) {
  CreateMemoBook();
  Append({"1", std::string(1600, 'a')});  // blocks 1 to 4
  Append({"2", std::string(600, 'b')});   // blocks 5, 6
  ASSERT_EQ(Run({"write", db_, "0", "备忘", "short"}).exit_code, 0);  // frees 2, 3, 4
  Outcome outcome = Run({"check", db_});
  ASSERT_EQ(outcome.exit_code, 0) << outcome.out;
  EXPECT_EQ(outcome.out, "sound: 2 records; memo file 7 blocks (3 used, 3 free)\n");
  const std::string sound_main = ReadAll(db_), sound_memo = ReadAll(memo_file_);

  // Block 6 (the second of record 1) linked back to block 5.
  Patch32(memo_file_, 6 * 512 + 4, 5);
  outcome = Run({"check", db_});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_NE(outcome.out.find("record 1 (id 2), field '备忘': chain loops: block 6 leads back to block 5"),
            std::string::npos)
      << outcome.out;
  // dump ends too, whatever the engine makes of the loop.
  EXPECT_NE(Run({"dump", db_}).exit_code, 124);

  // The free list 2 -> 3 -> 4 closed into a ring.
  WriteAll(memo_file_, sound_memo);
  Patch32(memo_file_, 4 * 512 + 4, 2);
  outcome = Run({"check", db_});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_NE(outcome.out.find("memo file: free list loops: block 4 leads back to block 2"), std::string::npos)
      << outcome.out;

  // The memo file cut inside block 5.
  WriteAll(memo_file_, sound_memo.substr(0, 5 * 512 + 100));
  outcome = Run({"check", db_});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_NE(outcome.out.find("memo file: holds 5 whole blocks, the header counts 7 (truncated)"), std::string::npos)
      << outcome.out;
  EXPECT_NE(outcome.out.find("chain block 5 (first) is outside the memo file's blocks 1 to 4"), std::string::npos);

  // The main file cut inside the second record.
  WriteAll(memo_file_, sound_memo);
  WriteAll(db_, sound_main.substr(0, 260 + 16 + 7));
  outcome = Run({"check", db_});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_NE(outcome.out.find("main file: 7 bytes of a partial record at the end"), std::string::npos) << outcome.out;

  WriteAll(db_, "not a database");
  outcome = Run({"check", db_});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_NE(outcome.out.find("shorter than the 112-byte header"), std::string::npos);
  outcome = Run({"check", dir_.File("missing")});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_NE(outcome.err.find("error -3: 指定文件未找到"), std::string::npos) << outcome.err;
}

// Memos grown and shrunk across block boundaries, in random order: whatever
// the engine does with its chains and free list, check must find it sound
// and dump must give back every text.
TEST_F(EdbtoolTest, RewrittenMemosStaySound) {
  CreateMemoBook();
  std::mt19937 random(2024);
  const std::size_t lengths[] = {0, 1, 499, 500, 501, 1000, 1001, 1600, 37};
  std::vector<std::string> memos;
  for (int step = 0; step < 40; ++step) {
    const std::string text(lengths[random() % std::size(lengths)], static_cast<char>('a' + step % 26));
    if (memos.empty() || random() % 3 == 0) {
      Append({std::to_string(memos.size()), text});
      memos.push_back(text);
    } else {
      const std::size_t index = random() % memos.size();
      const Outcome outcome = Run({"write", db_, std::to_string(index), "备忘", text});
      ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
      memos[index] = text;
    }
  }
  // Four blocks freed before a used one, so the free list is not trimmed away.
  Append({std::to_string(memos.size()), std::string(1600, 'y')});
  Append({std::to_string(memos.size() + 1), "z"});
  ASSERT_EQ(Run({"write", db_, std::to_string(memos.size()), "2", ""}).exit_code, 0);
  memos.push_back("");
  memos.push_back("z");

  const Outcome check = Run({"check", db_});
  EXPECT_EQ(check.exit_code, 0) << check.out;
  EXPECT_EQ(check.out.rfind("sound: " + std::to_string(memos.size()) + " records", 0), 0u) << check.out;
  EXPECT_NE(check.out.find(" 4 free)"), std::string::npos) << check.out;

  std::string expected;
  for (std::size_t i = 0; i < memos.size(); ++i) {
    expected += "{\"id\": " + std::to_string(i + 1) + ", \"fields\": {\"日期\": " + std::to_string(i) +
                ", \"备忘\": \"" + memos[i] + "\"}}\n";
  }
  EXPECT_EQ(Run({"dump", db_}).out, expected);
}

TEST_F(EdbtoolTest, BadInputIsRefusedClearly) {
  CreateMemoBook();
  Append({"1", "a"});
  struct Case {
    std::vector<std::string> arguments;
    int exit_code;
    const char* message;
  };
  const Case cases[] = {
      {{}, 2, "no command given"},
      {{"create", dir_.File("x"), "a"}, 2, "is not NAME:TYPE[:WIDTH]"},
      {{"create", dir_.File("x"), "a:13"}, 2, "TYPE must be a number from 1 to 12"},
      {{"create", dir_.File("x"), "a:10"}, 2, "needs a WIDTH"},
      {{"create", dir_.File("x"), "1a:3"}, 1, "error -18"},
      {{"create", dir_.File("x"), "a:3", "A:4"}, 1, "error -20"},
      {{"append", db_, "2011年2月30日"}, 1, "is neither a number of days nor a date"},
      {{"append", db_, "1", "a", "extra"}, 1, "3 values given, the database has 2 fields"},
      {{"write", db_, "1", "备忘", "x"}, 1, "no record 1 (the database has 1 records)"},
      {{"write", db_, "0", "3", "x"}, 1, "no field '3'"},
      {{"write", db_, "0", "无此", "x"}, 1, "no field '无此'"},
      {{"write", db_, "-1", "1", "x"}, 2, "INDEX '-1'"},
      {{"dump", dir_.File("missing")}, 1, "error -3"},
  };
  for (const Case& c : cases) {
    const Outcome outcome = Run(c.arguments);
    EXPECT_EQ(outcome.exit_code, c.exit_code) << (c.arguments.empty() ? "" : c.arguments[0]) << outcome.err;
    EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
  }
  EXPECT_EQ(Run({"dump", db_}).out, "{\"id\": 1, \"fields\": {\"日期\": 1, \"备忘\": \"a\"}}\n");
}

// The memo book's backups from the command line: listed with what they
// hold, put back only while nobody holds the store, never losing a memo
// written since, and never leaving an enciphered store's memos in plain.
TEST_F(EdbtoolTest, BackupsAreListedAndRestoredWithoutLosingNewerMemos) {
  CreateMemoBook();
  Append({"2011年5月3日", "三号"});
  Append({"2011年5月4日", "四号"});
  EXPECT_EQ(Run({"backups", dir_.path().string()}).out,
            "no backups in " + dir_.File("backups") + "\n");
  const std::string taken = TakeBackup(tarnwick::BackupReason::kClearAll, {2011, 5, 17, 9, 30, 5});
  ASSERT_EQ(taken, "20110517-093005-clear");
  ASSERT_EQ(Run({"clear", db_}).exit_code, 0);
  Append({"2011年5月20日", "清空后"});
  Append({"2011年5月3日", "清空后又写的三号"});
  ASSERT_EQ(Run({"passwd", db_}, "口令\n").exit_code, 0);

  Outcome outcome = Run({"backups", dir_.path().string()});
  // The password set since took the backup along.
  EXPECT_EQ(outcome.out, "20110517-093005-clear  2011-05-17 09:30:05  before clear all, ? records, enciphered\n");

  // A running program holds the whole-file lock: nothing is touched.
  {
    tarnwick::DatabaseEngine engine;
    tarnwick::OpenOptions options;
    options.password = tarnwick::Utf8ToGbk("口令");
    ASSERT_TRUE(engine.OpenDatabase(db_, options) && engine.LockDatabase());
    outcome = Run({"restore", dir_.path().string(), "--keep-newer", taken}, "口令\n");
    EXPECT_EQ(outcome.exit_code, 1);
    EXPECT_NE(outcome.err.find("running"), std::string::npos) << outcome.err;
  }
  outcome = Run({"restore", dir_.path().string(), "--keep-newer", taken});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_NE(outcome.err.find("needs its password"), std::string::npos) << outcome.err;
  EXPECT_EQ(BackupNames(), std::vector<std::string>{taken}) << "a refused restore takes no backup";
  EXPECT_EQ(ReadAll(db_).substr(0, 4), "WCDB") << "unchanged";

  outcome = Run({"restore", dir_.path().string(), "--keep-newer", taken}, "口令\n");
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  EXPECT_NE(outcome.out.find("; 1 memos of dates it lacked came from the backup\n"
                             "the backup holds another text for these dates; the store's text was kept, the "
                             "backup's stays in backup " + taken + ":\n  2011-05-03\n"),
            std::string::npos)
      << outcome.out;
  // Still enciphered with the store's password, holding what was written
  // since as it is, and the backup's other date.
  EXPECT_EQ(ReadAll(db_).substr(0, 4), "WCDB");
  EXPECT_EQ(ReadAll(db_).find("四号"), std::string::npos);
  outcome = Run({"dump", db_}, "口令\n");
  for (const char* memo : {"\"日期\": 40683, \"备忘\": \"清空后\"", "\"日期\": 40666, \"备忘\": \"清空后又写的三号\"",
                           "\"日期\": 40667, \"备忘\": \"四号\""}) {
    EXPECT_NE(outcome.out.find(memo), std::string::npos) << outcome.out;
  }
  EXPECT_EQ(std::count(outcome.out.begin(), outcome.out.end(), '\n'), 3) << outcome.out;
  EXPECT_EQ(Run({"check", db_}, "口令\n").exit_code, 0);

  // The enciphered store it replaced was backed up first, still enciphered.
  const std::vector<tarnwick::BackupInfo> listed = backups_.List();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[1].reason, tarnwick::BackupReason::kRestore);
  outcome = Run({"backups", dir_.path().string()});
  EXPECT_NE(outcome.out.find("before a restore, ? records, enciphered\n"), std::string::npos) << outcome.out;
  EXPECT_EQ(Run({"check", dir_.File("backups/" + listed[1].name + "/memo.edb")}, "口令\n").exit_code, 0);

  outcome = Run({"restore", dir_.path().string(), "nothing-such"});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_NE(outcome.err.find("no backup 'nothing-such'"), std::string::npos) << outcome.err;
  EXPECT_EQ(Run({"restore", dir_.path().string()}).exit_code, 2);
  EXPECT_EQ(Run({"backups", dir_.path().string(), "--keep-newer"}).exit_code, 2);
}

// A restore asks everything first: refused, it changes nothing and takes no
// backup, so trying again and again never pushes out the copy wanted; and
// the backup being restored is never the one retention removes.
TEST_F(EdbtoolTest, ARestoreChecksFirstAndKeepsTheBackupItRestores) {
  CreateMemoBook();
  Append({"2011年5月3日", "最早的"});
  std::vector<std::string> taken;
  for (int minute = 0; minute < 10; ++minute) {
    taken.push_back(TakeBackup(tarnwick::BackupReason::kPassword, {2011, 5, 17, 9, minute, 0}));
    if (minute == 0) ASSERT_EQ(Run({"write", db_, "0", "备忘", "后来的"}).exit_code, 0);
  }
  ASSERT_EQ(Run({"passwd", db_}, "口令\n").exit_code, 0);
  const std::string store_before = ReadAll(db_);

  Patch32(dir_.File("backups/" + taken[1] + "/memo.edb"), tarnwick::kCountOffset, 7);
  Outcome outcome = Run({"restore", dir_.path().string(), taken[1]}, "口令\n");
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_NE(outcome.err.find("backup " + taken[1] + " is damaged ("), std::string::npos) << outcome.err;
  for (int attempt = 0; attempt < 12; ++attempt) {
    outcome = Run({"restore", dir_.path().string(), "--keep-newer", taken[0]}, "错的\n");
    EXPECT_EQ(outcome.exit_code, 1);
  }
  EXPECT_NE(outcome.err.find("Nothing was changed."), std::string::npos) << outcome.err;
  EXPECT_EQ(BackupNames(), taken);
  EXPECT_EQ(ReadAll(db_), store_before);
  EXPECT_FALSE(std::filesystem::exists(dir_.File("backups/restoring.partial")));

  // The oldest of ten: the "restore" backup makes eleven, one too many
  // until the next backup, as the oldest is being restored. The store keeps
  // the modes it had (POSIX modes: Windows keeps no such bits).
#ifndef _WIN32
  using std::filesystem::perms;
  std::filesystem::permissions(db_, perms::owner_read | perms::owner_write | perms::group_read);
#endif
  outcome = Run({"restore", dir_.path().string(), taken[0]}, "口令\n");
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  const std::vector<std::string> names = BackupNames();
  EXPECT_EQ(names.size(), 11u);
  EXPECT_EQ(names.front(), taken[0]);
#ifndef _WIN32
  EXPECT_EQ(std::filesystem::status(db_).permissions() & perms::all,
            perms::owner_read | perms::owner_write | perms::group_read);
#endif
  EXPECT_EQ(Run({"dump", db_}, "口令\n").out, "{\"id\": 1, \"fields\": {\"日期\": 40666, \"备忘\": \"最早的\"}}\n");
}

// A memo file left without its main file is backed up before a restore
// puts a store in its place: its texts are never lost.
TEST_F(EdbtoolTest, ARestoreOverALoneMemoFileKeepsItInABackup) {
  CreateMemoBook();
  Append({"2011年5月3日", "备份里的"});
  const std::string taken = TakeBackup(tarnwick::BackupReason::kDaily, {2011, 5, 17, 9, 0, 0});
  ASSERT_EQ(Run({"write", db_, "0", "备忘", "只剩下的文字"}).exit_code, 0);
  const std::string lone = ReadAll(memo_file_);
  std::filesystem::remove(db_);

  Outcome outcome = Run({"restore", dir_.path().string(), taken});
  ASSERT_EQ(outcome.exit_code, 0) << outcome.err;
  const std::vector<tarnwick::BackupInfo> listed = backups_.List();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[1].reason, tarnwick::BackupReason::kRestore);
  EXPECT_EQ(ReadAll(dir_.File("backups/" + listed[1].name + "/memo.EDT")), lone);
  EXPECT_EQ(Run({"dump", db_}).out, "{\"id\": 1, \"fields\": {\"日期\": 40666, \"备忘\": \"备份里的\"}}\n");
  EXPECT_EQ(Run({"check", db_}).exit_code, 0);
}

// Which backups are kept goes by the order they were taken, never by the
// clock, and a damaged copy never pushes out a sound one.
TEST_F(EdbtoolTest, BackupsAreKeptInTheOrderTakenAndDamagedOnesAreMarked) {
  Outcome outcome = Run({"backups", dir_.File("nowhere")});
  EXPECT_EQ(outcome.exit_code, 1);
  EXPECT_NE(outcome.err.find("no folder " + dir_.File("nowhere")), std::string::npos) << outcome.err;
  CreateMemoBook();
  Append({"2011年5月3日", "三号"});

  // A week with the clock ahead, then three days with the right one.
  for (int day = 24; day <= 30; ++day) TakeBackup(tarnwick::BackupReason::kDaily, {2011, 5, day, 10, 0, 0});
  for (int day = 18; day <= 20; ++day) TakeBackup(tarnwick::BackupReason::kDaily, {2011, 5, day, 10, 0, 0});
  EXPECT_EQ(BackupNames(), (std::vector<std::string>{"20110527-100000-daily.4", "20110528-100000-daily.5",
                                                     "20110529-100000-daily.6", "20110530-100000-daily.7",
                                                     "20110518-100000-daily.8", "20110519-100000-daily.9",
                                                     "20110520-100000-daily.10"}));
  // Past the year 9999 a backup is still listed, newest, and kept to the count.
  TakeBackup(tarnwick::BackupReason::kDaily, {10000, 1, 1, 0, 0, 0});
  EXPECT_EQ(BackupNames().back(), "100000101-000000-daily.11");
  EXPECT_EQ(BackupNames().size(), 7u);

  // Twelve copies of a damaged store after one sound copy: the sound one stays.
  const std::string sound = TakeBackup(tarnwick::BackupReason::kClearAll, {2011, 5, 21, 9, 0, 0});
  for (int minute = 1; minute <= 12; ++minute) {
    const std::string name = TakeBackup(tarnwick::BackupReason::kClearAll, {2011, 5, 21, 9, minute, 0});
    ASSERT_EQ(backups_.MarkDamaged(name, 3), 0);
  }
  std::vector<std::string> clear;
  for (const tarnwick::BackupInfo& backup : backups_.List()) {
    if (backup.reason == tarnwick::BackupReason::kClearAll) clear.push_back(backup.name);
  }
  ASSERT_EQ(clear.size(), 11u);
  EXPECT_EQ(clear[0], sound);
  EXPECT_EQ(clear[1], "20110521-090300-clear.15");
  ASSERT_TRUE(backups_.NewestSoundBackup(""));
  EXPECT_EQ(backups_.NewestSoundBackup("")->name, sound);
  EXPECT_EQ(backups_.RestoreCommand(sound), "edbtool restore " + tarnwick::Utf8ToGbk(dir_.path().string()) + " " + sound);

  // A copy found damaged by the check is marked so too, unmarked.
  Patch32(dir_.File("backups/" + sound + "/memo.edb"), tarnwick::kCountOffset, 5);
  ASSERT_TRUE(backups_.NewestSoundBackup(""));
  EXPECT_EQ(backups_.NewestSoundBackup("")->name, "100000101-000000-daily.11");
  outcome = Run({"backups", dir_.path().string()});
  EXPECT_NE(outcome.out.find(sound + "  2011-05-21 09:00:00  before clear all, ? records, plain, DAMAGED ("),
            std::string::npos)
      << outcome.out;
  EXPECT_NE(outcome.out.find("20110521-091200-clear.24  2011-05-21 09:12:00  before clear all, ? records, plain, "
                             "DAMAGED (3 findings)\n"),
            std::string::npos)
      << outcome.out;
  EXPECT_NE(outcome.out.find("100000101-000000-daily.11  10000-01-01 00:00:00  daily, ? records, plain\n"),
            std::string::npos)
      << outcome.out;
}

}  // namespace
