#include "app/data_folder.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "testing/temp_dir.h"

namespace tarnwick {
namespace {

namespace fs = std::filesystem;

// A command line as main() gets it: writable strings ending in a null pointer.
struct Argv {
  explicit Argv(std::vector<std::string> arguments) : strings(std::move(arguments)) {
    for (auto& text : strings) pointers.push_back(text.data());
    pointers.push_back(nullptr);
    argc = static_cast<int>(strings.size());
  }
  std::vector<std::string> Left() const { return {pointers.begin(), pointers.begin() + argc}; }

  std::vector<std::string> strings;
  std::vector<char*> pointers;
  int argc = 0;
};

TEST(TakeStartOptions, TakesItsOwnOptionsAndLeavesQtsInOrder) {
  Argv line({"tarnwick", "-platform", "xcb", "--data-folder", "/media/stick/memos", "-style", "fusion"});
  StartOptions options = TakeStartOptions(line.argc, line.pointers.data());
  EXPECT_EQ(options.data_folder, fs::path("/media/stick/memos"));
  EXPECT_FALSE(options.help);
  EXPECT_EQ(options.error, "");
  EXPECT_EQ(line.Left(), (std::vector<std::string>{"tarnwick", "-platform", "xcb", "-style", "fusion"}));
  EXPECT_EQ(line.pointers[line.argc], nullptr);

  Argv joined({"tarnwick", "--data-folder=/srv/a b", "--help"});
  options = TakeStartOptions(joined.argc, joined.pointers.data());
  EXPECT_EQ(options.data_folder, fs::path("/srv/a b"));
  EXPECT_TRUE(options.help);
  EXPECT_EQ(joined.Left(), (std::vector<std::string>{"tarnwick"}));

  // UTF-8 on every system: on Windows a narrow path would pass through the
  // system's code page, which lacks these characters.
  Argv chinese({"tarnwick", "--data-folder", "备忘录"});
  options = TakeStartOptions(chinese.argc, chinese.pointers.data());
  ASSERT_TRUE(options.data_folder.has_value());
  EXPECT_TRUE(options.data_folder->u8string() == u8"备忘录");

  // A longer option that merely starts with the same letters is Qt's business.
  Argv other({"tarnwick", "--data-folders"});
  options = TakeStartOptions(other.argc, other.pointers.data());
  EXPECT_FALSE(options.data_folder.has_value());
  EXPECT_EQ(other.Left(), (std::vector<std::string>{"tarnwick", "--data-folders"}));
}

TEST(TakeStartOptions, AFolderOptionWithoutAFolderIsAnError) {
  for (std::vector<std::string> arguments : {std::vector<std::string>{"tarnwick", "--data-folder"},
                                             std::vector<std::string>{"tarnwick", "--data-folder="}}) {
    Argv line(arguments);
    StartOptions options = TakeStartOptions(line.argc, line.pointers.data());
    EXPECT_EQ(options.error, "--data-folder needs a folder") << arguments.back();
    EXPECT_EQ(line.argc, 1);
  }
}

class DataFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    executable_folder_ = temp_.path() / "prefix" / "bin";
    home_ = temp_.path() / "home";
    fs::create_directories(executable_folder_);
    fs::create_directories(home_);
#ifdef _WIN32
    environment_["APPDATA"] = Utf8Text(home_ / "AppData" / "Roaming");
#else
    environment_["HOME"] = home_.string();
#endif
  }

  DataFolderChoice Choose(StartOptions options = {}) {
    return ChooseDataFolder(options, executable_folder_, [this](const char* name) -> std::optional<std::string> {
      auto found = environment_.find(name);
      if (found == environment_.end()) return std::nullopt;
      return found->second;
    });
  }

  // The user's data folder when the environment names its base folder.
  fs::path UserFolder() const {
#ifdef _WIN32
    return home_ / "AppData" / "Roaming" / "Tarnwick";
#else
    return home_ / ".local" / "share" / "tarnwick";
#endif
  }

  void MarkInstalled() {
    const fs::path marker = executable_folder_ / PathFromUtf8(kInstalledMarker);
    fs::create_directories(marker.parent_path());
    std::ofstream(marker) << "installed\n";
  }

  testing::TempDir temp_;
  fs::path executable_folder_, home_;
  std::map<std::string, std::string> environment_;
};

TEST_F(DataFolderTest, APortableFolderKeepsTheStoreBesideTheProgram) {
  DataFolderChoice choice = Choose();
  EXPECT_EQ(choice.error, "");
  EXPECT_EQ(choice.folder, executable_folder_);
  EXPECT_FALSE(choice.instead_of_program_folder);
  EXPECT_TRUE(fs::is_empty(home_)) << "nothing is created in the user's folder";
  EXPECT_EQ(std::distance(fs::directory_iterator(executable_folder_), fs::directory_iterator()), 0)
      << "nothing is left beside the program";
}

TEST_F(DataFolderTest, AnInstalledProgramUsesTheUserDataFolderCreatedPrivate) {
  MarkInstalled();
  DataFolderChoice choice = Choose();
  EXPECT_EQ(choice.error, "");
  EXPECT_EQ(choice.folder, UserFolder());
  EXPECT_FALSE(choice.instead_of_program_folder) << "an installed program keeps its memos there by design";
  ASSERT_TRUE(fs::is_directory(choice.folder));
  std::ofstream(choice.folder / "memo.edb") << "WEDB";
#ifndef _WIN32
  EXPECT_EQ(fs::status(choice.folder).permissions() & fs::perms::all, fs::perms::owner_all);
  // The next start finds it as it was, memos and permissions left alone.
  fs::permissions(choice.folder, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  EXPECT_EQ(Choose().folder, choice.folder);
  EXPECT_EQ(fs::status(choice.folder).permissions() & fs::perms::group_read, fs::perms::group_read);
#else
  EXPECT_EQ(Choose().folder, choice.folder);
#endif
  EXPECT_TRUE(fs::exists(choice.folder / "memo.edb"));
}

#ifndef _WIN32
TEST_F(DataFolderTest, XdgDataHomeCountsOnlyWhenAbsolute) {
  MarkInstalled();
  environment_["XDG_DATA_HOME"] = (temp_.path() / "data").string();
  EXPECT_EQ(Choose().folder, temp_.path() / "data" / "tarnwick");

  environment_["XDG_DATA_HOME"] = "relative/data";
  EXPECT_EQ(Choose().folder, home_ / ".local" / "share" / "tarnwick");

  environment_["XDG_DATA_HOME"] = "";
  environment_.erase("HOME");
  DataFolderChoice choice = Choose();
  EXPECT_TRUE(choice.folder.empty());
  EXPECT_NE(choice.error.find("--data-folder"), std::string::npos) << choice.error;
}

TEST_F(DataFolderTest, AReadOnlyProgramFolderUsesTheUserDataFolderAndSaysSoUnlessAStoreIsThere) {
  // The choice where the program's folder cannot be written: "folder|flag".
  // The superuser may write anywhere: it chooses in a child process that
  // runs as nobody, for whom the program's folder (root's) is read-only.
  auto choose_read_only = [&]() -> std::string {
    if (geteuid() != 0) {
      fs::permissions(executable_folder_, fs::perms::owner_read | fs::perms::owner_exec);
      const DataFolderChoice choice = Choose();
      fs::permissions(executable_folder_, fs::perms::owner_all);
      return choice.folder.string() + (choice.instead_of_program_folder ? "|1" : "|0");
    }
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr) return "no user nobody";
    fs::permissions(temp_.path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    if (chown(home_.c_str(), nobody->pw_uid, nobody->pw_gid) != 0) return "chown failed";
    int pipe_ends[2];
    if (pipe(pipe_ends) != 0) return "no pipe";
    const pid_t child = fork();
    if (child == 0) {
      close(pipe_ends[0]);
      if (setgid(nobody->pw_gid) != 0 || setuid(nobody->pw_uid) != 0) _exit(3);
      const DataFolderChoice choice = Choose();
      const std::string answer = choice.folder.string() + (choice.instead_of_program_folder ? "|1" : "|0");
      _exit(write(pipe_ends[1], answer.data(), answer.size()) == static_cast<ssize_t>(answer.size()) ? 0 : 4);
    }
    close(pipe_ends[1]);
    std::string answer;
    char buffer[256];
    for (ssize_t got; (got = read(pipe_ends[0], buffer, sizeof buffer)) > 0;) answer.append(buffer, got);
    close(pipe_ends[0]);
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? answer : "the child failed";
  };
  EXPECT_EQ(choose_read_only(), UserFolder().string() + "|1");
  EXPECT_TRUE(fs::is_directory(UserFolder()));

  // Memos already beside the program are opened there, read-only.
  std::ofstream(executable_folder_ / "memo.edb") << "WEDB";
  EXPECT_EQ(choose_read_only(), executable_folder_.string() + "|0");
}
#else
TEST_F(DataFolderTest, AppDataCountsOnlyWhenAbsolute) {
  MarkInstalled();
  environment_["APPDATA"] = "relative\\Roaming";
  DataFolderChoice choice = Choose();
  EXPECT_TRUE(choice.folder.empty());
  EXPECT_NE(choice.error.find("--data-folder"), std::string::npos) << choice.error;
  environment_.erase("APPDATA");
  EXPECT_TRUE(Choose().folder.empty());
}
#endif

TEST_F(DataFolderTest, AnUncreatableDataFolderIsReportedNotUsed) {
  MarkInstalled();
  std::ofstream(temp_.path() / "not-a-folder") << "x";
#ifdef _WIN32
  environment_["APPDATA"] = Utf8Text(temp_.path() / "not-a-folder");
#else
  environment_["XDG_DATA_HOME"] = (temp_.path() / "not-a-folder").string();
#endif
  DataFolderChoice choice = Choose();
  EXPECT_TRUE(choice.folder.empty());
  EXPECT_NE(choice.error.find(Utf8Text(temp_.path() / "not-a-folder" / UserFolder().filename())), std::string::npos)
      << choice.error;
}

TEST_F(DataFolderTest, ANamedFolderWinsButIsNeverCreated) {
  fs::create_directories(temp_.path() / "stick" / "memos");
  StartOptions options;
  options.data_folder = temp_.path() / "stick" / "memos" / ".." / "memos";
  EXPECT_EQ(Choose(options).folder, temp_.path() / "stick" / "memos");

  // Relative to the folder the program was started in.
  fs::path started_in = fs::current_path();
  fs::current_path(temp_.path());
  options.data_folder = "stick/memos";
  DataFolderChoice relative = Choose(options);
  fs::current_path(started_in);
  EXPECT_EQ(relative.folder, temp_.path() / "stick" / "memos");

  options.data_folder = temp_.path() / "unplugged" / "memos";
  DataFolderChoice missing = Choose(options);
  EXPECT_TRUE(missing.folder.empty());
  EXPECT_NE(missing.error.find("does not exist"), std::string::npos) << missing.error;
  EXPECT_FALSE(fs::exists(temp_.path() / "unplugged"));
}

}  // namespace
}  // namespace tarnwick
