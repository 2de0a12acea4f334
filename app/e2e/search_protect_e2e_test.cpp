// The real program on a private X display, driven as a person drives it
// with the keyboard: a keyword search and the jump to a found date, the
// found memos exported through the real save dialog and compared byte for
// byte, the password set from the check box, the program restarted locked
// and unlocked, the editor's menu copying a selection, the password removed
// and a restart unlocked. Every wait is bounded.
#include <gtest/gtest.h>

#include <QImage>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/e2e/screen_reading.h"
#include "app/e2e/x_session.h"
#include "base/text.h"
#include "memo/memo_store.h"
#include "testing/temp_dir.h"

namespace tarnwick::e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

class SearchAndProtectOnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "xdotool", "import"}) {
      if (!HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    ASSERT_TRUE(session_.Start(1280, 1024)) << "Xvfb did not start";
    program_ = folder_.path() / "tarnwick";
    fs::copy_file(TARNWICK_PROGRAM, program_);
    // A portable copy keeps its store beside it: seeded before the first run.
    DatabaseEngine engine;
    MemoStore store(engine, Utf8ToGbk(folder_.path().string()));
    store.CreateMemoDatabase();
    ASSERT_TRUE(store.OpenMemoDatabase());
    ASSERT_TRUE(store.AppendMemo(EncodeDate(2011, 5, 3), Gbk("灯塔 light")));
    ASSERT_TRUE(store.AppendMemo(EncodeDate(2012, 1, 1), Gbk("nothing here")));
    ASSERT_TRUE(store.AppendMemo(EncodeDate(2011, 10, 1), Gbk("LIGHT house\r\n第二行")));
    store.CloseMemoDatabase();
  }

  void StartProgram(const std::string& title_pattern) {
    child_ = Child::Start({program_.string()}, fs::temp_directory_path(),
                          {"DISPLAY=" + session_.display(), "QT_QPA_PLATFORM=xcb"});
    window_ = session_.WaitForWindow(title_pattern, 30s);
    ASSERT_NE(window_, 0u) << "the main window did not appear (" << title_pattern << ")";
    // Away from the top edge, where losing the activation to a dialog would
    // hide the window into its strip.
    ASSERT_EQ(session_.Run({"xdotool", "windowmove", std::to_string(window_), "300", "200"}).exit_code, 0);
    bool moved = false;
    for (auto deadline = std::chrono::steady_clock::now() + 10s; !moved && std::chrono::steady_clock::now() < deadline;) {
      const auto geometry = session_.WindowGeometry(window_);
      moved = geometry && geometry->x == 300 && geometry->y == 200;
      if (!moved) std::this_thread::sleep_for(50ms);
    }
    ASSERT_TRUE(moved) << "the window did not move away from the top edge";
    ASSERT_TRUE(session_.Focus(window_));
  }

  void CloseProgram() {
    ASSERT_TRUE(session_.RequestClose(window_));
    auto code = child_.Wait(15s);
    ASSERT_TRUE(code.has_value()) << "the program did not end after its window was closed";
    EXPECT_EQ(*code, 0);
  }

  void Keys(std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
      ASSERT_TRUE(session_.Key(key)) << key;
      std::this_thread::sleep_for(100ms);
    }
  }
  void Type(const std::string& text) {
    ASSERT_EQ(session_.Run({"xdotool", "type", "--delay", "20", text}).exit_code, 0);
  }

  // Waits for the dialog titled title (a regular expression), types text
  // into it when given and confirms it with Return.
  void Answer(const std::string& title, const std::string& text = {}) {
    unsigned long dialog = session_.WaitForWindow(title, 30s);
    ASSERT_NE(dialog, 0u) << "no dialog " << title;
    ASSERT_TRUE(session_.Focus(dialog));
    if (!text.empty()) Type(text);
    Keys({"Return"});
    for (auto deadline = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < deadline;) {
      if (session_.WaitForWindow(title, 0ms) != dialog) break;
      std::this_thread::sleep_for(50ms);
    }
    ASSERT_TRUE(session_.Focus(window_));
  }

  bool WaitForTitle(const std::string& title) {
    if (window_ == 0) return false;
    for (auto deadline = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < deadline;) {
      if (session_.Title(window_) == title) return true;
      std::this_thread::sleep_for(50ms);
    }
    return false;
  }

  QImage Shot(const std::string& name) {
    EXPECT_TRUE(session_.Screenshot(ShotPath(name)));
    return LoadShot(ShotPath(name));
  }

  XSession session_;
  testing::TempDir folder_;
  fs::path program_;
  Child child_;
  unsigned long window_ = 0;
};

TEST_F(SearchAndProtectOnScreen, FindJumpExportThenProtectRestartLockedAndUnlock) {
  StartProgram("^Tarnwick V2\\.8");
  auto client = session_.WindowGeometry(window_);
  ASSERT_TRUE(client.has_value());
  // The year and month drop-downs name the month shown.
  auto navigation_bar = [&](const QImage& image) { return image.copy(client->x + 3, client->y + 4, 165, 22); };
  const QImage today = Shot("search_today");

  // Alt+F opens the side panels with the keyword box focused; Tab reaches
  // the search button, then the results list, whose Down picks the first date.
  Keys({"alt+f"});
  for (auto deadline = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < deadline;) {
    auto wide = session_.WindowGeometry(window_);
    if (wide && wide->width == 658) break;
    std::this_thread::sleep_for(50ms);
  }
  Type("light");
  Keys({"Tab", "space", "Tab", "Down"});
  QImage jumped;
  for (auto deadline = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < deadline;) {
    jumped = Shot("search_jumped");
    if (!jumped.isNull() && navigation_bar(jumped) != navigation_bar(today)) break;
    std::this_thread::sleep_for(100ms);
  }
  EXPECT_TRUE(navigation_bar(jumped) != navigation_bar(today)) << "the calendar did not leave today's month";

  // The found memos, in the list's order, through the real save dialog.
  const fs::path exported = folder_.path() / "found";
  Keys({"Tab", "space"});
  // Qt's own dialog speaks Chinese too.
  unsigned long save_dialog = session_.WaitForWindow("^另存为$", 30s);
  ASSERT_NE(save_dialog, 0u) << "the save dialog did not appear";
  ASSERT_TRUE(session_.Focus(save_dialog));
  Keys({"ctrl+a"});
  Type(exported.string());
  Keys({"Return"});
  Answer("^信息：$");
  const std::string separator = "\xA9\xA5\xA9\xA5\xA9\xA5\xA9\xA5\xA9\xA5\xA9\xA5\xA9\xA5\xA9\xA5\xA9\xA5\xA9\xA5"
                                "\xA9\xA5\xA9\xA5\xA9\xA5\xA9\xA5\r\n";
  EXPECT_EQ(FileBytes(folder_.path() / "found.txt"),
            Gbk("日期：[2011年10月1日]\r\n备忘内容：\r\nLIGHT house\r\n第二行\r\n") + separator +
                Gbk("日期：[2011年5月3日]\r\n备忘内容：\r\n灯塔 light\r\n") + separator);

  // The same name typed again, without its extension: the dialog asks
  // before replacing found.txt, and nothing is written until Yes.
  Keys({"space"});
  save_dialog = session_.WaitForWindow("^另存为$", 30s);
  ASSERT_NE(save_dialog, 0u) << "the save dialog did not appear again";
  ASSERT_TRUE(session_.Focus(save_dialog));
  Keys({"ctrl+a"});
  Type(exported.string());
  Keys({"Return"});
  EXPECT_EQ(session_.WaitForWindow("^信息：$", 2s), 0u) << "found.txt was replaced without asking";
  Shot("search_replace_question");
  Keys({"alt+y"});
  Answer("^信息：$");
  EXPECT_EQ(FileBytes(folder_.path() / "found.txt"),
            Gbk("日期：[2011年10月1日]\r\n备忘内容：\r\nLIGHT house\r\n第二行\r\n") + separator +
                Gbk("日期：[2011年5月3日]\r\n备忘内容：\r\n灯塔 light\r\n") + separator);

  // A link to the memo file, and the store's own file reached through a
  // linked data folder: the dialog asks before replacing them, and the
  // program refuses both, naming the file, with the store left as it was.
  const testing::TempDir other;
  const fs::path elsewhere = other.path();
  fs::create_symlink(folder_.path() / "memo.EDT", elsewhere / "links.txt");
  fs::create_directory_symlink(folder_.path(), elsewhere / "data");
  const std::string memo_file = FileBytes(folder_.path() / "memo.EDT");
  for (const fs::path& target : {elsewhere / "links.txt", elsewhere / "data" / "memo.EDT"}) {
    Keys({"space"});
    save_dialog = session_.WaitForWindow("^另存为$", 30s);
    ASSERT_NE(save_dialog, 0u) << "the save dialog did not appear for " << target;
    ASSERT_TRUE(session_.Focus(save_dialog));
    Keys({"ctrl+a"});
    Type(target.string());
    Keys({"Return"});
    EXPECT_EQ(session_.WaitForWindow("^出现错误：$", 2s), 0u) << target << " was taken without asking";
    Keys({"alt+y"});
    ASSERT_NE(session_.WaitForWindow("^出现错误：$", 30s), 0u) << target << " was not refused";
    Shot("search_link_refused");
    Answer("^出现错误：$");
  }
  EXPECT_EQ(FileBytes(folder_.path() / "memo.EDT"), memo_file) << "the memo file was written over";

  // From the export button, Tab passes the other one and reaches the
  // password check box, which the space bar clicks.
  Keys({"Tab", "Tab", "space"});
  Answer("^输入新密码$", "pw");
  Answer("^信息：$");
  Answer("^密码输入$", "pw");
  EXPECT_TRUE(WaitForTitle("Tarnwick V2.8 Beta")) << "unlocked again after setting the password";
  EXPECT_EQ(FileBytes(folder_.path() / "memo.edb").substr(0, 4), "WCDB");
  CloseProgram();

  // Restarted: locked until the password is given to 超级按钮1, which Tab
  // reaches from the calendar's day grid.
  // While locked no key reaches Edit, Save or the side panels; the unlock
  // leaves the window viewing, so Save after it writes nothing.
  const std::string locked_store = FileBytes(folder_.path() / "memo.edb");
  StartProgram("^Tarnwick V2\\.8 beta 加密状态");
  Keys({"alt+w", "alt+f", "Tab", "space"});
  Answer("^密码输入$", "pw");
  EXPECT_TRUE(WaitForTitle("Tarnwick V2.8 Beta")) << "the program did not unlock";
  Keys({"alt+s"});
  EXPECT_EQ(session_.WindowGeometry(window_)->width, 365) << "the side panels opened while locked";
  EXPECT_TRUE(FileBytes(folder_.path() / "memo.edb") == locked_store) << "something was saved after the unlock";
  Shot("search_unlocked");

  // The editor's right-button menu copies what the mouse selected of the
  // memo shown (today has none: the hint is shown).
  if (HaveProgram("xclip")) {
    client = session_.WindowGeometry(window_);
    ASSERT_TRUE(client.has_value());
    const int line = client->y + 264 + 12;
    ASSERT_TRUE(session_.MovePointer(client->x + 4, line));
    ASSERT_EQ(session_.Run({"xdotool", "mousedown", "1"}).exit_code, 0);
    ASSERT_TRUE(session_.MovePointer(client->x + 120, line));
    ASSERT_EQ(session_.Run({"xdotool", "mouseup", "1"}).exit_code, 0);
    ASSERT_TRUE(session_.MovePointer(client->x + 60, line + 40));
    const QImage before_menu = Shot("search_editor_menu");
    ASSERT_TRUE(session_.Click(3));
    // The menu opens at the pointer.
    auto at_pointer = [&](const QImage& image) { return image.copy(client->x + 60, line + 40, 60, 40); };
    const QImage menu = ShotWhen(session_, "search_editor_menu",
                                 [&](const QImage& image) { return at_pointer(image) != at_pointer(before_menu); },
                                 10s, 100ms);
    ASSERT_TRUE(at_pointer(menu) != at_pointer(before_menu)) << "the editor's menu did not open";
    Keys({"Down", "Return"});
    const std::string copied =
        session_.Run({"xclip", "-o", "-selection", "clipboard"}, 5s).output;
    const std::string hint = "此日期目前暂没有备忘事件，可以点击<编辑>按钮开始加入新的备忘";
    EXPECT_FALSE(copied.empty()) << "nothing was copied";
    EXPECT_EQ(hint.substr(0, copied.size()), copied) << "the copy is not the start of the hint";
    ASSERT_TRUE(session_.Focus(window_));
  }

  // Alt+F focuses the keyword box again; five Tabs on lies the check box.
  // The password is removed: the old one, then nothing for the new one.
  Keys({"alt+f", "Tab", "Tab", "Tab", "Tab", "Tab", "space"});
  Answer("^验证原密码$", "pw");
  Answer("^重置密码$");
  Answer("^信息：$");
  EXPECT_EQ(FileBytes(folder_.path() / "memo.edb").substr(0, 4), "WEDB");
  CloseProgram();

  // Restarted, it comes up unlocked.
  StartProgram("^Tarnwick V2\\.8");
  EXPECT_TRUE(WaitForTitle("Tarnwick V2.8 Beta"));
  CloseProgram();
}

// A memo file that came without its memo.edb: creating the new store
// renames it aside, says where, and keeps every byte of it.
TEST_F(SearchAndProtectOnScreen, ALoneMemoFileIsRenamedAsideWhenTheStoreIsCreated) {
  fs::remove(folder_.path() / "memo.edb");
  const std::string lone = FileBytes(folder_.path() / "memo.EDT");
  child_ = Child::Start({program_.string()}, fs::temp_directory_path(),
                        {"DISPLAY=" + session_.display(), "QT_QPA_PLATFORM=xcb"});
  const unsigned long question = session_.WaitForWindow("^请确认：$", 30s);
  ASSERT_NE(question, 0u) << "the creation question did not appear";
  ASSERT_TRUE(session_.Focus(question));
  ASSERT_TRUE(session_.Key("Return"));
  const unsigned long told = session_.WaitForWindow("^信息：$", 30s);
  ASSERT_NE(told, 0u) << "no message says where the memo file went";
  Shot("lone_memo_file_set_aside");
  ASSERT_TRUE(session_.Focus(told));
  ASSERT_TRUE(session_.Key("Return"));
  window_ = session_.WaitForWindow("^Tarnwick V2\\.8", 30s);
  ASSERT_NE(window_, 0u) << "the main window did not appear";
  std::vector<fs::path> aside;
  for (const auto& entry : fs::directory_iterator(folder_.path())) {
    if (entry.path().filename().string().rfind("memo-lone-", 0) == 0) aside.push_back(entry.path());
  }
  ASSERT_EQ(aside.size(), 1u) << "the lone memo file was not renamed aside";
  EXPECT_EQ(aside[0].extension(), ".EDT");
  EXPECT_EQ(FileBytes(aside[0]), lone) << "the lone memo file changed";
  EXPECT_TRUE(fs::exists(folder_.path() / "memo.edb"));
  CloseProgram();
}

}  // namespace
}  // namespace tarnwick::e2e
