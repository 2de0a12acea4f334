// The program and its tools as `cmake --install` lays them out under a
// prefix: the files a desktop looks for, the validators' verdict on them, and
// the installed memo book run on a private X display from a read-only prefix,
// keeping its memos in the user's data folder across a restart or in a
// folder named on its command line, while a portable copy keeps them beside
// itself.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "app/e2e/x_session.h"
#include "testing/temp_dir.h"

namespace tarnwick::e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

const std::string kId = "org.tarnwick.Tarnwick";
constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Width and height from a PNG's header chunk; {0, 0} when it is no PNG.
std::pair<int, int> PngSize(const fs::path& path) {
  const std::string bytes = ReadFile(path);
  if (bytes.size() < 24 || bytes.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || bytes.compare(12, 4, "IHDR") != 0) {
    return {0, 0};
  }
  auto big_endian = [&](std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return static_cast<int>(value);
  };
  return {big_endian(16), big_endian(20)};
}

// The value of `key=` in a desktop entry's main group.
std::string DesktopValue(const std::string& entry, const std::string& key) {
  std::smatch match;
  if (!std::regex_search(entry, match, std::regex("(^|\n)" + key + "=([^\n]*)"))) return {};
  return match[2];
}

// Every regular file under `root`, as paths relative to it.
std::set<std::string> FilesUnder(const fs::path& root) {
  std::set<std::string> files;
  if (!fs::exists(root)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_regular_file()) files.insert(fs::relative(entry.path(), root).string());
  }
  return files;
}

// The prefix installed once for all the tests here, read-only.
class InstalledProgram : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    temp_ = new testing::TempDir;
    // Other users (the program run as nobody below) must reach the prefix.
    fs::permissions(temp_->path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                       fs::perms::others_read | fs::perms::others_exec);
    prefix_ = temp_->path() / "prefix";
    install_ = RunCommand({"sh", "-c", "DESTDIR= \"$0\" --install \"$1\" --prefix \"$2\" 2>&1", TARNWICK_CMAKE,
                           TARNWICK_BUILD_DIR, prefix_.string()},
                          "", 120s);
    // No one may write there, as in /usr.
    RunCommand({"chmod", "-R", "a-w", prefix_.string()}, "");
  }
  static void TearDownTestSuite() {
    RunCommand({"chmod", "-R", "u+w", prefix_.string()}, "");
    delete temp_;
    temp_ = nullptr;
  }
  void SetUp() override {
    ASSERT_EQ(install_.exit_code, 0) << "cmake --install failed:\n" << install_.output;
  }

  static fs::path Share() { return prefix_ / "share"; }
  static fs::path Bin() { return prefix_ / "bin"; }

  static testing::TempDir* temp_;
  static fs::path prefix_;
  static CommandResult install_;
};

testing::TempDir* InstalledProgram::temp_ = nullptr;
fs::path InstalledProgram::prefix_;
CommandResult InstalledProgram::install_;

TEST_F(InstalledProgram, LaysOutWhatADesktopLooksFor) {
  for (const char* program : {"tarnwick", "edbtool", "lunarcal"}) {
    EXPECT_EQ(access((Bin() / program).c_str(), X_OK), 0) << program;
    EXPECT_TRUE(fs::is_regular_file(Share() / "man" / "man1" / (std::string(program) + ".1"))) << program;
  }
  for (int size : kIconSizes) {
    const fs::path icon = Share() / "icons" / "hicolor" / (std::to_string(size) + "x" + std::to_string(size)) /
                          "apps" / (kId + ".png");
    EXPECT_EQ(PngSize(icon), std::make_pair(size, size)) << icon;
  }

  // The launcher starts the installed program and names the installed icon;
  // the metainfo names the launcher, so a software centre finds both.
  const std::string entry = ReadFile(Share() / "applications" / (kId + ".desktop"));
  ASSERT_FALSE(entry.empty());
  EXPECT_TRUE(fs::exists(Bin() / DesktopValue(entry, "Exec"))) << DesktopValue(entry, "Exec");
  EXPECT_EQ(DesktopValue(entry, "Icon"), kId);
  EXPECT_EQ(DesktopValue(entry, "StartupWMClass"), "Tarnwick") << "the window class the program sets";
  EXPECT_NE(DesktopValue(entry, "Categories").find("Calendar"), std::string::npos);
  EXPECT_FALSE(DesktopValue(entry, "Name\\[zh_CN\\]").empty());
  EXPECT_FALSE(DesktopValue(entry, "Comment\\[zh_CN\\]").empty());
  const std::string metainfo = ReadFile(Share() / "metainfo" / (kId + ".metainfo.xml"));
  EXPECT_NE(metainfo.find("<id>" + kId + "</id>"), std::string::npos);
  EXPECT_NE(metainfo.find("<launchable type=\"desktop-id\">" + kId + ".desktop</launchable>"), std::string::npos);
}

TEST_F(InstalledProgram, ProgramsRunFromThePrefix) {
  CommandResult month = RunCommand({(Bin() / "lunarcal").string(), "2024", "2"}, "");
  EXPECT_EQ(month.exit_code, 0);
  EXPECT_NE(month.output.find("10 正月"), std::string::npos) << month.output;
  // Without a command edbtool shows its usage and ends with 2.
  EXPECT_EQ(RunCommand({(Bin() / "edbtool").string()}, "").exit_code, 2);

  // The memo book answers its own options before a window opens.
  CommandResult help = RunCommand({(Bin() / "tarnwick").string(), "--help"}, "");
  EXPECT_EQ(help.exit_code, 0);
  EXPECT_NE(help.output.find("--data-folder FOLDER"), std::string::npos) << help.output;
  const fs::path unplugged = temp_->path() / "unplugged" / "memos";
  CommandResult missing = RunCommand({"sh", "-c", "QT_QPA_PLATFORM=offscreen \"$0\" --data-folder \"$1\" 2>&1",
                                      (Bin() / "tarnwick").string(), unplugged.string()},
                                     "");
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(missing.output.find("does not exist"), std::string::npos) << missing.output;
  EXPECT_FALSE(fs::exists(temp_->path() / "unplugged")) << "a named folder is never created";
}

TEST_F(InstalledProgram, DesktopEntryAndMetainfoPassTheirValidators) {
  if (!HaveProgram("desktop-file-validate") || !HaveProgram("appstreamcli")) {
    GTEST_SKIP() << "desktop-file-validate or appstreamcli is not installed (scripts/setup.sh installs them)";
  }
  CommandResult entry = RunCommand(
      {"sh", "-c", "desktop-file-validate \"$0\" 2>&1", (Share() / "applications" / (kId + ".desktop")).string()}, "");
  EXPECT_EQ(entry.exit_code, 0) << entry.output;
  // desktop-file-validate ends with 0 on hints; a hint is a fault too.
  EXPECT_EQ(entry.output, "");
  CommandResult metainfo = RunCommand({"sh", "-c", "appstreamcli validate --no-net --pedantic \"$0\" 2>&1",
                                       (Share() / "metainfo" / (kId + ".metainfo.xml")).string()},
                                      "", 60s);
  EXPECT_EQ(metainfo.exit_code, 0) << metainfo.output;
}

TEST_F(InstalledProgram, ManualPagesFormatWithoutWarnings) {
  if (!HaveProgram("groff")) GTEST_SKIP() << "groff is not installed";
  for (const char* program : {"tarnwick", "edbtool", "lunarcal"}) {
    CommandResult page = RunCommand({"sh", "-c", "groff -k -man -Tutf8 -ww -z \"$0\" 2>&1",
                                     (Share() / "man" / "man1" / (std::string(program) + ".1")).string()},
                                    "");
    EXPECT_EQ(page.exit_code, 0) << program;
    EXPECT_EQ(page.output, "") << program;
  }
}

// The memo book on a private display, driven as a person would: the first
// start asks whether to create the store, Alt+W edits today's memo, typing
// writes it, Alt+S saves it, the close box ends the program.
class InstalledProgramOnScreen : public InstalledProgram {
 protected:
  void SetUp() override {
    InstalledProgram::SetUp();
    for (const char* tool : {"Xvfb", "xdotool", "xprop"}) {
      if (!HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    ASSERT_TRUE(session_.Start(1024, 768)) << "Xvfb did not start";
    home_ = temp_->path() / ("home-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::create_directories(home_);
    // The superuser may write anywhere, read-only folders included: the
    // program then runs as nobody, so the prefix is as closed to it as /usr.
    if (geteuid() == 0) {
      const passwd* nobody = getpwnam("nobody");
      if (nobody == nullptr || !HaveProgram("setpriv")) GTEST_SKIP() << "no user nobody or no setpriv to run as it";
      run_as_ = {"setpriv", "--reuid=" + std::to_string(nobody->pw_uid), "--regid=" + std::to_string(nobody->pw_gid),
                 "--clear-groups", "--"};
      ASSERT_EQ(chown(home_.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
    }
  }

  // Starts `program` with `arguments` in `working_folder` with this test's
  // home and data folders; the main window's id, 0 when it did not appear.
  unsigned long Start(const fs::path& program, const fs::path& working_folder, bool expect_store_question,
                      const std::vector<std::string>& arguments = {}) {
    std::vector<std::string> argv = run_as_;
    argv.push_back(program.string());
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    child_ = Child::Start(argv, working_folder,
                          {"DISPLAY=" + session_.display(), "QT_QPA_PLATFORM=xcb", "HOME=" + home_.string(),
                           "XDG_DATA_HOME=" + (home_ / "data").string(), "XDG_CONFIG_HOME=" + (home_ / "config").string(),
                           "XDG_CACHE_HOME=" + (home_ / "cache").string()});
    if (expect_store_question) {
      unsigned long question = session_.WaitForWindow("^请确认：$", 30s);
      EXPECT_NE(question, 0u) << "the first start did not ask to create the store";
      if (question == 0) return 0;
      session_.Focus(question);
      session_.Key("Return");  // 是(&Y), the default button
    }
    return session_.WaitForWindow("^Tarnwick V2\\.8", 30s);
  }

  // Appends `text` to today's memo, saves it and closes the program.
  void WriteTodaysMemoAndClose(unsigned long window, const std::string& text) {
    ASSERT_TRUE(session_.Focus(window));
    ASSERT_TRUE(session_.Key("alt+w"));
    ASSERT_TRUE(session_.Key("ctrl+End"));
    ASSERT_EQ(session_.Run({"xdotool", "type", "--delay", "30", text}).exit_code, 0);
    ASSERT_TRUE(session_.Key("alt+s"));
    ASSERT_TRUE(session_.RequestClose(window));
    EXPECT_EQ(child_.Wait(20s), 0) << "the program did not end cleanly";
  }

  // Today's memo as the installed edbtool reads it from the store.
  std::string DumpStore(const fs::path& folder) const {
    return RunCommand({(Bin() / "edbtool").string(), "dump", (folder / "memo.edb").string()}, "").output;
  }

  XSession session_;
  fs::path home_;
  std::vector<std::string> run_as_;
  Child child_;
};

TEST_F(InstalledProgramOnScreen, KeepsTheMemosInTheUserDataFolderAcrossARestart) {
  const std::set<std::string> installed = FilesUnder(prefix_);
  const fs::path data_folder = home_ / "data" / "tarnwick";

  // Started from the read-only program folder, as a launcher may do.
  unsigned long window = Start(Bin() / "tarnwick", Bin(), true);
  ASSERT_NE(window, 0u) << "the main window did not appear";

  // The task bar and the window switcher know the window by its class and icon.
  const std::string properties = session_.Run({"xprop", "-id", std::to_string(window), "WM_CLASS", "_NET_WM_ICON"}).output;
  EXPECT_NE(properties.find("WM_CLASS(STRING) = \"tarnwick\", \"Tarnwick\""), std::string::npos) << properties;
  EXPECT_NE(properties.find("_NET_WM_ICON(CARDINAL) ="), std::string::npos) << properties.substr(0, 200);

  ASSERT_NO_FATAL_FAILURE(WriteTodaysMemoAndClose(window, "first memo"));
  EXPECT_TRUE(fs::is_regular_file(data_folder / "memo.edb"));
  EXPECT_TRUE(fs::is_regular_file(data_folder / "memo.EDT"));
  EXPECT_EQ((fs::status(data_folder).permissions() & fs::perms::all), fs::perms::owner_all) << "the memos are private";
  EXPECT_EQ(FilesUnder(prefix_), installed) << "nothing is written into the installed prefix";
  EXPECT_NE(DumpStore(data_folder).find("first memo"), std::string::npos) << DumpStore(data_folder);

  // The second start opens the store without asking and shows today's memo,
  // which the new text is appended to.
  window = Start(Bin() / "tarnwick", Bin(), false);
  ASSERT_NE(window, 0u) << "the main window did not appear on the second start";
  ASSERT_NO_FATAL_FAILURE(WriteTodaysMemoAndClose(window, " and more"));
  const std::string dump = DumpStore(data_folder);
  EXPECT_NE(dump.find("first memo and more"), std::string::npos) << dump;
  EXPECT_EQ(std::count(dump.begin(), dump.end(), '\n'), 1) << "one memo for the one day:\n" << dump;
}

TEST_F(InstalledProgramOnScreen, ANamedDataFolderHoldsTheMemos) {
  const fs::path stick = home_ / "stick";
  fs::create_directories(stick);
  if (!run_as_.empty()) {
    ASSERT_EQ(RunCommand({"chown", "--reference=" + home_.string(), stick.string()}, "").exit_code, 0);
  }
  unsigned long window = Start(Bin() / "tarnwick", home_, true, {"--data-folder", stick.string()});
  ASSERT_NE(window, 0u) << "the main window did not appear";
  ASSERT_NO_FATAL_FAILURE(WriteTodaysMemoAndClose(window, "memo on a stick"));
  EXPECT_NE(DumpStore(stick).find("memo on a stick"), std::string::npos) << DumpStore(stick);
  EXPECT_FALSE(fs::exists(home_ / "data")) << "the user's data folder is left alone";
}

TEST_F(InstalledProgramOnScreen, APortableCopyKeepsItsMemosBesideItself) {
  const fs::path portable = home_ / "portable";
  fs::create_directories(portable);
  fs::copy_file(Bin() / "tarnwick", portable / "tarnwick");
  if (!run_as_.empty()) {
    ASSERT_EQ(RunCommand({"chown", "-R", "--reference=" + home_.string(), portable.string()}, "").exit_code, 0);
  }

  // Started from elsewhere, it still finds its own folder.
  unsigned long window = Start(portable / "tarnwick", home_, true);
  ASSERT_NE(window, 0u) << "the main window did not appear";
  ASSERT_NO_FATAL_FAILURE(WriteTodaysMemoAndClose(window, "portable memo"));
  EXPECT_NE(DumpStore(portable).find("portable memo"), std::string::npos) << DumpStore(portable);
  EXPECT_FALSE(fs::exists(home_ / "data")) << "the user's data folder is left alone";
}

}  // namespace
}  // namespace tarnwick::e2e
