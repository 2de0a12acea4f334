// The Windows installer under Wine on a private X display: the package's
// tables, a quiet per-user install with its Start menu shortcut and its
// entry among the installed programs, the installed program started from the
// shortcut keeping its memos in the user's AppData\Roaming\Tarnwick, an
// uninstall that removes the program and leaves the memos, and a reinstall
// that shows them again. Then the portable program in a folder it cannot
// write, and with --data-folder.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "app/e2e/screen_reading.h"
#include "app/e2e/wine_prefix.h"
#include "app/e2e/x_session.h"
#include "testing/temp_dir.h"

namespace tarnwick::e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr QRgb kEditorYellow = 0xFFFFFF80;
const std::string kMainTitle = "^Tarnwick V2\\.8";
const std::string kQuestionTitle = "^请确认：$";

// A path of this machine as Wine's programs name it (drive Z: is the root).
std::string WindowsPath(const fs::path& path) {
  std::string text = "Z:" + path.string();
  std::replace(text.begin(), text.end(), '/', '\\');
  return text;
}

class WindowsInstallerUnderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "xdotool", "import", "wine", "wineserver", "msiinfo"}) {
      if (!HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    ASSERT_TRUE(fs::exists(TARNWICK_WINDOWS_MSI)) << "build it with scripts/test-windows.sh";
    ASSERT_TRUE(session_.Start(1280, 1024)) << "Xvfb did not start";
    ASSERT_NO_FATAL_FAILURE(LinkChineseFace(Environment()));
    // Wine's user is the Unix one.
    const fs::path profile = fs::path(TARNWICK_WINE_PREFIX) / "drive_c" / "users" / getpwuid(geteuid())->pw_name;
    memos_ = profile / "AppData" / "Roaming" / "Tarnwick";
    installed_ = profile / "AppData" / "Local" / "Programs" / "Tarnwick";
    shortcut_ = profile / "AppData" / "Roaming" / "Microsoft" / "Windows" / "Start Menu" / "Programs" / "Tarnwick.lnk";
    // What an earlier run may have left in the shared prefix.
    UninstallEveryTarnwick();
    fs::remove_all(memos_);
    fs::remove_all(installed_);
  }

  void TearDown() override {
    child_.Kill();
    if (!HasFatalFailure() && !IsSkipped()) {
      UninstallEveryTarnwick();
      fs::remove_all(memos_);
    }
    RunCommand({"env", "WINEPREFIX=" + std::string(TARNWICK_WINE_PREFIX), "wineserver", "-k"}, "", 20s);
  }

  // The product codes of the installed programs named Tarnwick, from the
  // list Wine's own Apps and features shows.
  std::vector<std::string> InstalledTarnwicks() const {
    std::vector<std::string> codes;
    const std::string list = Wine({"uninstaller", "--list"}).output;
    const std::regex entry("(\\{[0-9A-F-]+\\})\\|\\|\\|Tarnwick\r?\n");
    for (auto it = std::sregex_iterator(list.begin(), list.end(), entry); it != std::sregex_iterator(); ++it) {
      codes.push_back((*it)[1]);
    }
    return codes;
  }
  // What Apps and features says of the installed program with this code.
  std::string ArpValue(const std::string& code, const std::string& name) const {
    const std::string output =
        Wine({"reg", "query", "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + code, "/v", name})
            .output;
    std::smatch value;
    if (!std::regex_search(output, value, std::regex(name + "\\s+REG_SZ\\s+([^\r\n]*)"))) return {};
    return value[1];
  }
  void UninstallEveryTarnwick() const {
    for (const std::string& code : InstalledTarnwicks()) Wine({"msiexec", "/x", code, "/qn"});
  }

  std::vector<std::string> Environment() const { return WineEnvironment(session_.display(), TARNWICK_WINE_PREFIX); }
  CommandResult Wine(std::vector<std::string> argv, std::chrono::seconds limit = 120s) const {
    argv.insert(argv.begin(), "wine");
    return RunCommand(InWine(Environment(), argv), "", limit);
  }

  // The program the Start menu's shortcut starts, as Windows names it.
  std::string ShortcutTarget() const {
    const std::string link = FileBytes(shortcut_);
    std::smatch target;
    if (!std::regex_search(link, target, std::regex("[A-Z]:\\\\[ -~]*\\\\tarnwick\\.exe"))) return {};
    return target.str();
  }

  // The program started as a user starts it; Wine's own start does not wait
  // for a shortcut's program, so its target is started.
  void Start(const std::vector<std::string>& argv) {
    std::vector<std::string> command = {"wine"};
    command.insert(command.end(), argv.begin(), argv.end());
    child_ = Child::Start(command, fs::temp_directory_path(), Environment());
  }

  // Answers the first start's question Yes; its picture stays as `shot`,
  // its height (a longer text makes a taller box) as question_height_.
  void CreateTheStore(const std::string& shot) {
    const unsigned long question = session_.WaitForWindow(kQuestionTitle, 120s);
    ASSERT_NE(question, 0u) << "the creation question did not appear";
    std::this_thread::sleep_for(500ms);
    EXPECT_TRUE(session_.Screenshot(ShotPath(shot)));
    const auto geometry = session_.WindowGeometry(question);
    ASSERT_TRUE(geometry.has_value());
    question_height_ = geometry->height;
    ASSERT_TRUE(session_.Focus(question));
    ASSERT_TRUE(session_.Key("Return"));
  }

  unsigned long MainWindow() {
    const unsigned long window = session_.WaitForWindow(kMainTitle, 90s);
    EXPECT_NE(window, 0u) << "the main window did not appear";
    return window;
  }

  void Close(unsigned long window) {
    ASSERT_TRUE(session_.RequestClose(window));
    auto code = child_.Wait(30s);
    ASSERT_TRUE(code.has_value()) << "the program did not end after its window was closed";
    EXPECT_EQ(*code, 0);
  }

  // The start of the memo editor's first line (its light yellow is found in
  // the picture), short of the caret that may blink after a long line.
  static QImage MemoLine(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x + 300 < image.width(); ++x) {
        if ((image.pixel(x, y) | 0xFF000000) != kEditorYellow) continue;
        if ((image.pixel(x + 300, y) | 0xFF000000) == kEditorYellow) return image.copy(x + 2, y + 2, 100, 16);
      }
    }
    return {};
  }
  // Some text is drawn there.
  static bool Inked(const QImage& line) {
    for (int y = 0; y < line.height(); ++y) {
      for (int x = 0; x < line.width(); ++x) {
        if (qGray(line.pixel(x, y)) < 160) return true;
      }
    }
    return false;
  }

  std::string Dump(const fs::path& store) const {
    CommandResult dump = RunCommand({TARNWICK_EDBTOOL, "dump", store.string()}, "");
    EXPECT_EQ(dump.exit_code, 0) << store;
    return dump.output;
  }

  XSession session_;
  Child child_;
  fs::path memos_, installed_, shortcut_;
  int question_height_ = 0;
};

TEST_F(WindowsInstallerUnderWine, InstallsPerUserAndUninstallsWithoutTheMemos) {
  // The tables a per-user install with a shortcut, an icon and upgrades needs.
  const CommandResult tables = RunCommand({"msiinfo", "tables", TARNWICK_WINDOWS_MSI}, "");
  ASSERT_EQ(tables.exit_code, 0);
  for (const char* table : {"Property", "Directory", "Component", "Feature", "FeatureComponents", "File", "Media",
                            "Shortcut", "Icon", "Upgrade", "RemoveFile", "InstallExecuteSequence"}) {
    EXPECT_TRUE(std::regex_search(tables.output, std::regex(std::string("(^|\n)") + table + "\n"))) << table;
  }
  // Word count 10: compressed, and no elevation asked for.
  const CommandResult summary = RunCommand({"msiinfo", "suminfo", TARNWICK_WINDOWS_MSI}, "");
  EXPECT_NE(summary.output.find("Source: 10 "), std::string::npos) << summary.output;
  const CommandResult properties = RunCommand({"msiinfo", "export", TARNWICK_WINDOWS_MSI, "Property"}, "");
  for (const char* row : {"ProductName\tTarnwick", "Manufacturer\tTarnwick", "ARPPRODUCTICON\ttarnwick.ico"}) {
    EXPECT_NE(properties.output.find(row), std::string::npos) << row;
  }
  std::smatch version_row;
  ASSERT_TRUE(std::regex_search(properties.output, version_row, std::regex("ProductVersion\t(\\d+)\\.(\\d+)\\.(\\d+)")));
  const std::string version = version_row[1].str() + "." + version_row[2].str() + "." + version_row[3].str();
  const std::string newer = version_row[1].str() + "." + version_row[2].str() + "." +
                            std::to_string(std::stoi(version_row[3].str()) + 1);
  EXPECT_EQ(properties.output.find("ALLUSERS"), std::string::npos) << "a per-machine install needs an administrator";

  // Installed quietly into the user's programs folder, with the shortcut and
  // the entry among the installed programs.
  CommandResult install = Wine({"msiexec", "/i", WindowsPath(TARNWICK_WINDOWS_MSI), "/qn"});
  ASSERT_EQ(install.exit_code, 0) << install.output;
  for (const char* file : {"tarnwick.exe", "edbtool.exe", "installed.txt"}) {
    EXPECT_TRUE(fs::is_regular_file(installed_ / file)) << file;
  }
  EXPECT_TRUE(fs::is_regular_file(shortcut_));
  std::vector<std::string> codes = InstalledTarnwicks();
  ASSERT_EQ(codes.size(), 1u);
  EXPECT_EQ(ArpValue(codes[0], "DisplayVersion"), version);
  EXPECT_EQ(ArpValue(codes[0], "Publisher"), "Tarnwick");
  child_ = Child::Start({"wine", "uninstaller"}, fs::temp_directory_path(), Environment());
  EXPECT_NE(session_.WaitForWindow(".", 60s), 0u);
  std::this_thread::sleep_for(2s);
  EXPECT_TRUE(session_.Screenshot(ShotPath("wine_installed_programs")));
  child_.Kill();

  // The first start from the shortcut creates the store in AppData\Roaming;
  // a memo is written and saved with the keyboard.
  const std::string target = ShortcutTarget();
  EXPECT_EQ(target, "C:\\users\\" + std::string(getpwuid(geteuid())->pw_name) +
                        "\\AppData\\Local\\Programs\\Tarnwick\\tarnwick.exe");
  ASSERT_FALSE(target.empty()) << "the shortcut names no tarnwick.exe";
  Start({target});
  ASSERT_NO_FATAL_FAILURE(CreateTheStore("wine_installed_first_start"));
  unsigned long window = MainWindow();
  ASSERT_NE(window, 0u);
  // The new store has no memo: the editor shows the no-memo hint.
  const QImage hint = MemoLine(ShotWhen(session_, "wine_installed_new_store", [](const QImage& image) {
    return Inked(MemoLine(image));
  }, 20s, 300ms));
  ASSERT_TRUE(Inked(hint)) << "no hint in the editor";
  ASSERT_TRUE(session_.Focus(window));
  ASSERT_TRUE(session_.Key("alt+w"));
  std::this_thread::sleep_for(500ms);
  ASSERT_EQ(session_.Run({"xdotool", "type", "--delay", "40", "kept through the uninstall"}).exit_code, 0);
  ASSERT_TRUE(session_.Key("alt+s"));
  std::this_thread::sleep_for(1s);
  EXPECT_TRUE(session_.Screenshot(ShotPath("wine_installed_memo_saved")));
  ASSERT_NO_FATAL_FAILURE(Close(window));
  const std::string memo = Dump(memos_ / "memo.edb");
  EXPECT_NE(memo.find("\"备忘\": \"kept through the uninstall\""), std::string::npos) << memo;
  EXPECT_FALSE(fs::exists(installed_ / "memo.edb")) << "nothing is written beside the installed program";

  // The uninstall takes the program, its folder and the shortcut; the memos stay.
  CommandResult uninstall = Wine({"msiexec", "/x", WindowsPath(TARNWICK_WINDOWS_MSI), "/qn"});
  ASSERT_EQ(uninstall.exit_code, 0) << uninstall.output;
  EXPECT_FALSE(fs::exists(installed_));
  EXPECT_FALSE(fs::exists(shortcut_));
  EXPECT_TRUE(InstalledTarnwicks().empty());
  EXPECT_EQ(Dump(memos_ / "memo.edb"), memo);

  // Installed again, the program opens the same store: no question, and the
  // day's memo in the editor as it was saved.
  ASSERT_EQ(Wine({"msiexec", "/i", WindowsPath(TARNWICK_WINDOWS_MSI), "/qn"}).exit_code, 0);
  Start({ShortcutTarget()});
  window = MainWindow();
  ASSERT_NE(window, 0u);
  EXPECT_EQ(session_.WaitForWindow(kQuestionTitle, 0ms), 0u) << "the store was not found again";
  const QImage again = MemoLine(ShotWhen(session_, "wine_reinstalled", [&](const QImage& image) {
    return Inked(MemoLine(image)) && MemoLine(image) != hint;
  }, 20s, 300ms));
  EXPECT_TRUE(Inked(again) && again != hint) << "the day's memo is not shown";
  ASSERT_NO_FATAL_FAILURE(Close(window));

  // A newer package (the same source, its version one step on) replaces the
  // program in place; the older one then refuses to go over it.
  ASSERT_TRUE(HaveProgram("wixl"));
  testing::TempDir upgrade_folder;
  const std::string upgrade = (upgrade_folder.path() / "tarnwick-upgrade.msi").string();
  const fs::path stage = fs::path(TARNWICK_WINDOWS_MSI).parent_path() / "packaging" / "windows" / "stage";
  ASSERT_EQ(RunCommand({"wixl", "-a", "x64", "-D", "Version=" + newer, "-o", upgrade, (stage / "tarnwick.wxs").string()},
                       "", 60s)
                .exit_code,
            0);
  ASSERT_EQ(Wine({"msiexec", "/i", WindowsPath(upgrade), "/qn"}).exit_code, 0);
  codes = InstalledTarnwicks();
  ASSERT_EQ(codes.size(), 1u) << "the older program was not replaced";
  EXPECT_EQ(ArpValue(codes[0], "DisplayVersion"), newer);
  EXPECT_TRUE(fs::is_regular_file(installed_ / "tarnwick.exe"));
  EXPECT_NE(Wine({"msiexec", "/i", WindowsPath(TARNWICK_WINDOWS_MSI), "/qn"}).exit_code, 0) << "a downgrade went through";
  EXPECT_EQ(InstalledTarnwicks(), codes);
  EXPECT_EQ(Dump(memos_ / "memo.edb"), memo);
}

TEST_F(WindowsInstallerUnderWine, APortableCopyThatCannotWriteItsFolderUsesAppDataOrTheNamedFolder) {
  testing::TempDir folder;
  const fs::path program = folder.path() / "portable" / "tarnwick.exe";
  fs::create_directories(program.parent_path());
  fs::copy_file(TARNWICK_WINDOWS_PROGRAM, program);
  // Read-only for the superuser too: an immutable folder.
  const std::string seal = geteuid() == 0 ? "chattr +i \"$0\"" : "chmod a-w \"$0\"";
  const std::string unseal = geteuid() == 0 ? "chattr -i \"$0\"" : "chmod u+w \"$0\"";
  ASSERT_EQ(RunCommand({"sh", "-c", seal, program.parent_path().string()}, "").exit_code, 0) << seal;
  struct Unseal {
    ~Unseal() { RunCommand({"sh", "-c", command, folder.string()}, ""); }
    std::string command;
    fs::path folder;
  } unseal_at_end{unseal, program.parent_path()};

  Start({WindowsPath(program)});
  ASSERT_NO_FATAL_FAILURE(CreateTheStore("wine_read_only_question"));
  const int question_naming_the_folder = question_height_;
  unsigned long window = MainWindow();
  ASSERT_NE(window, 0u);
  ASSERT_NO_FATAL_FAILURE(Close(window));
  EXPECT_TRUE(fs::is_regular_file(memos_ / "memo.edb"));
  EXPECT_FALSE(fs::exists(program.parent_path() / "memo.edb"));

  // A folder named on the command line wins, and is not created.
  const fs::path named = folder.path() / "备忘";
  Start({WindowsPath(program), "--data-folder", WindowsPath(named)});
  const unsigned long refusal = session_.WaitForWindow("^Tarnwick$", 60s);
  EXPECT_NE(refusal, 0u) << "a missing named folder is not reported";
  if (refusal != 0) {
    ASSERT_TRUE(session_.Focus(refusal));
    ASSERT_TRUE(session_.Key("Return"));
  }
  auto code = child_.Wait(30s);
  ASSERT_TRUE(code.has_value());
  EXPECT_EQ(*code, 1);
  EXPECT_FALSE(fs::exists(named));

  fs::create_directory(named);
  Start({WindowsPath(program), "--data-folder", WindowsPath(named)});
  ASSERT_NO_FATAL_FAILURE(CreateTheStore("wine_named_folder_question"));
  // The text of a box is not to be read from outside: its lines are counted
  // by its height. The question that names AppData\Roaming\Tarnwick has
  // more than the plain one of a folder that was asked for.
  EXPECT_GT(question_naming_the_folder, question_height_ + 30) << "the question did not say where the store goes";
  window = MainWindow();
  ASSERT_NE(window, 0u);
  ASSERT_NO_FATAL_FAILURE(Close(window));
  EXPECT_TRUE(fs::is_regular_file(named / "memo.edb"));
}

}  // namespace
}  // namespace tarnwick::e2e
