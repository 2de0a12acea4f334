// The Windows program under Wine on a private X display, checked as the
// Linux program is (app/e2e/tarnwick_e2e_test.cpp): the first run answers
// the creation question, a memo is typed (the pointer crossing the calendar
// and the wheel stepping its month meanwhile), pasted and saved, the
// program's own question leaves the window in place, the window hides into
// the strip at the top edge when another program is activated and comes back
// on the strip's left button, a screenshot is read by pixels, and the files
// it wrote are read back by the Linux edbtool.
#include <gtest/gtest.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "app/e2e/screen_reading.h"
#include "app/e2e/wine_prefix.h"
#include "app/e2e/x_session.h"
#include "testing/temp_dir.h"

namespace tarnwick::e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr QRgb kStripYellow = 0xFFFFFF00;

class WindowsProgramUnderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "xdotool", "import", "xclip", "wine", "wineserver"}) {
      if (!HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    ASSERT_TRUE(fs::exists(TARNWICK_WINDOWS_PROGRAM)) << "build it with scripts/test-windows.sh or scripts/package-windows.sh --build-only";
    ASSERT_TRUE(session_.Start(1280, 1024)) << "Xvfb did not start";
    // A folder named in Chinese, with a character GBK lacks: the program
    // finds its store there through every conversion of its path.
    data_ = folder_.path() / fs::u8path("备忘 数据𠮷");
    ASSERT_TRUE(fs::create_directory(data_));
    program_ = data_ / "tarnwick.exe";
    fs::copy_file(TARNWICK_WINDOWS_PROGRAM, program_);
    ASSERT_NO_FATAL_FAILURE(LinkChineseFace(WineEnvironment()));
  }

  void TearDown() override {
    child_.Kill();
    other_.Kill();
    // Ends what is left of the prefix's processes (the wine server included).
    RunCommand({"env", "WINEPREFIX=" + std::string(TARNWICK_WINE_PREFIX), "wineserver", "-k"}, "", 20s);
  }

  std::vector<std::string> WineEnvironment() const {
    return e2e::WineEnvironment(session_.display(), TARNWICK_WINE_PREFIX);
  }

  void StartProgram() {
    // Started from another folder: the program must move to its own.
    child_ = Child::Start({"wine", program_.string()}, fs::temp_directory_path(), WineEnvironment());
  }

  void FindMainWindow() {
    window_ = session_.WaitForWindow("^Tarnwick V2\\.8", 90s);
    ASSERT_NE(window_, 0u) << "the main window did not appear";
    auto geometry = session_.WindowGeometry(window_);
    ASSERT_TRUE(geometry.has_value());
    outer_ = *geometry;
  }

  // The client area is found in the picture, not assumed: the client's top
  // left is where the weekday header's blue band starts, 30 pixels below the
  // client's top, and the frame (none is drawn without a window manager; a
  // frame Wine draws itself would be) is as wide on each side and below.
  bool FindClient(const QImage& image) {
    for (int y = outer_.y; y < outer_.y + outer_.height; ++y) {
      for (int x = outer_.x; x + 300 < outer_.x + outer_.width; ++x) {
        if ((image.pixel(x, y) | 0xFF000000) != kBarBlue) continue;
        int run = 0;
        while (x + run < outer_.x + outer_.width && (image.pixel(x + run, y) | 0xFF000000) == kBarBlue) ++run;
        if (run < 300) break;
        int border = x - outer_.x;
        client_ = {x, y - kHeaderTop, outer_.width - 2 * border, outer_.y + outer_.height - border - (y - kHeaderTop)};
        return true;
      }
    }
    return false;
  }

  template <class Ready>
  QImage ShotWhen(const std::string& name, Ready ready, std::chrono::seconds limit = 15s) {
    return e2e::ShotWhen(session_, name, ready, limit, 200ms);
  }

  QRgb Region(const QImage& image, int left, int top, int width, int height) const {
    return DominantColour(image, client_.x + left, client_.y + top, width, height);
  }
  void ClickAt(int left, int top) {
    ASSERT_TRUE(session_.MovePointer(client_.x + left, client_.y + top));
    ASSERT_TRUE(session_.Click(1));
  }

  const Today today_ = ReadToday();
  XSession session_;
  testing::TempDir folder_;
  fs::path data_;
  fs::path program_;
  Child child_, other_;
  unsigned long window_ = 0;
  XSession::Geometry outer_, client_;
};

TEST_F(WindowsProgramUnderWine, CreatesTheStoreSavesAMemoHidesIntoTheStripAndComesBack) {
  // The first run finds no store and asks to create one; Yes is the default.
  StartProgram();
  unsigned long question = session_.WaitForWindow("^请确认：$", 120s);
  ASSERT_NE(question, 0u) << "the creation question did not appear";
  ASSERT_TRUE(session_.Focus(question));
  ASSERT_TRUE(session_.Key("Return"));
  FindMainWindow();
  EXPECT_TRUE(fs::exists(data_ / "memo.edb")) << "the store is created beside the program";
  EXPECT_TRUE(fs::exists(data_ / "memo.EDT"));

  // The calendar as on Linux: the blue bands, six weeks of the shown month
  // and its neighbours, the client area the layout needs.
  // The start-up moves the window to the top edge: its place is read again
  // with each picture.
  QImage shot = ShotWhen(
      "wine_main_column",
      [&](const QImage& image) {
        if (auto geometry = session_.WindowGeometry(window_)) outer_ = *geometry;
        return FindClient(image);
      },
      30s);
  ASSERT_TRUE(FindClient(shot)) << "no weekday header in wine_main_column.png";
  EXPECT_EQ(client_.width, 365);
  EXPECT_EQ(client_.height, 568);
  EXPECT_EQ(Hex(Region(shot, 0, kHeaderTop, 365, 20)), Hex(kBarBlue)) << "weekday header";
  EXPECT_EQ(Hex(Region(shot, 0, kFooterTop + 1, 120, 18)), Hex(kBarBlue)) << "footer";
  const std::string cells = MonthPattern(shot, client_.x, client_.y);
  const auto shown = std::count(cells.begin(), cells.end(), 'S');
  EXPECT_GE(shown, 28) << cells;
  EXPECT_LE(shown, 31) << cells;
  EXPECT_EQ(shown + std::count(cells.begin(), cells.end(), 'o'), 42) << cells;
  shot.copy(client_.x, client_.y, client_.width, client_.height)
      .save(QString::fromStdString(ShotPath("wine_main_window").string()));

  // Edit, type on the keyboard, paste Chinese from the clipboard, Save.
  auto editor = [&](const QImage& image) {
    return image.copy(client_.x + 2, client_.y + kEditorTop + 2, 361, kEditorHeight - 4);
  };
  ClickAt(8 + 40, kBarTop + 14 + 30);
  ASSERT_EQ(session_.Run({"xdotool", "type", "--delay", "40", "memo 1 "}).exit_code, 0);
  // The pointer crosses the calendar and the wheel turns over it: the month
  // steps (away from the user, the month before; in January the one after),
  // and what is typed next still reaches the editor.
  const std::string month_shown = MonthPattern(shot, client_.x, client_.y);
  // The X server delivers the motions, the wheel and the keys in the order
  // they were sent: nothing needs waiting for between them.
  ASSERT_TRUE(session_.MovePointer(client_.x + 3 * kCellWidth + 20, client_.y + kGridTop + 2 * kCellHeight + 10));
  ASSERT_TRUE(session_.MovePointer(client_.x + 4 * kCellWidth + 20, client_.y + kGridTop + 3 * kCellHeight + 10));
  ASSERT_TRUE(session_.Click(today_.month == 1 ? 5 : 4));
  QImage stepped = ShotWhen("wine_wheel_while_typing", [&](const QImage& image) {
    return MonthPattern(image, client_.x, client_.y) != month_shown;
  });
  EXPECT_NE(MonthPattern(stepped, client_.x, client_.y), month_shown) << "the wheel over the calendar steps the month";
  ASSERT_EQ(session_.Run({"xdotool", "type", "--delay", "40", "XYZ "}).exit_code, 0);
  ASSERT_EQ(session_.Run({"sh", "-c", "printf '中文备忘' | xclip -selection clipboard >/dev/null 2>&1"}).exit_code, 0);
  // The paste is waited for as the user sees it: the typing drawn and still,
  // then the editor changed by the pasted text.
  QImage typed = shot;
  ShotWhen("wine_typed", [&](const QImage& image) {
    const bool still = editor(image) == editor(typed) && editor(image) != editor(shot);
    typed = image;
    return still;
  });
  ASSERT_TRUE(session_.Key("ctrl+v"));
  ShotWhen("wine_pasted", [&](const QImage& image) { return editor(image) != editor(typed); });
  ClickAt(98 + 40, kBarTop + 14 + 30);
  QImage saved = ShotWhen("wine_memo_saved", [&](const QImage& image) { return editor(image) != editor(shot); });
  // The memo's text without the caret, which blinks after it and goes with
  // the focus.
  auto memo_text = [&](const QImage& image) { return image.copy(client_.x + 2, client_.y + kEditorTop + 2, 100, 16); };
  ASSERT_TRUE(editor(saved) != editor(shot)) << "the typed memo is shown";
  saved.copy(client_.x, client_.y, client_.width, client_.height)
      .save(QString::fromStdString(ShotPath("wine_memo_window").string()));

  // The program's own question takes the activation: the window, parked at
  // the top edge, stays while it is up and after it is answered.
  const WindowThroughQuestion seen = AnswerClearAllNo(session_, client_.x + 100, client_.y + 556, "^Tarnwick V2\\.8");
  EXPECT_TRUE(seen.shown_while_asked) << "the window hid behind its own question";
  EXPECT_TRUE(seen.shown_after) << "the window hid after its own question";
  QImage answered = ShotWhen("wine_after_question", [&](const QImage& image) {
    return Region(image, 0, kHeaderTop, 365, 20) == kBarBlue && memo_text(image) == memo_text(saved);
  });
  EXPECT_TRUE(memo_text(answered) == memo_text(saved)) << "the memo is still shown, nothing cleared";

  // Another program is activated: the window, parked at the top edge, hides
  // and the yellow strip stands at the top of the screen in its place.
  other_ = Child::Start({"wine", "notepad"}, folder_.path(), WineEnvironment());
  bool hidden = false;
  for (auto deadline = std::chrono::steady_clock::now() + 60s; std::chrono::steady_clock::now() < deadline;) {
    if (session_.WaitForWindow("^Tarnwick V2\\.8", 100ms) == 0) {
      hidden = true;
      break;
    }
    std::this_thread::sleep_for(200ms);
  }
  ASSERT_TRUE(hidden) << "the main window stayed when another program was activated";
  QImage strip = ShotWhen("wine_strip", [&](const QImage& image) {
    return (image.pixel(outer_.x + 10, 0) | 0xFF000000) == kStripYellow;
  });
  EXPECT_EQ(Hex(DominantColour(strip, outer_.x, 0, 370, 2)), Hex(kStripYellow)) << "the strip, 370 x 2";
  EXPECT_NE(Hex(DominantColour(strip, outer_.x, 2, 370, 2)), Hex(kStripYellow)) << "two pixels high";

  // Its left button brings the window back.
  ASSERT_TRUE(session_.MovePointer(outer_.x + 100, 0));
  ASSERT_TRUE(session_.Click(1));
  unsigned long back = session_.WaitForWindow("^Tarnwick V2\\.8", 30s);
  ASSERT_NE(back, 0u) << "the window did not come back from the strip";
  QImage returned = ShotWhen("wine_returned", [&](const QImage& image) {
    return Region(image, 0, kHeaderTop, 365, 20) == kBarBlue &&
           (image.pixel(outer_.x + 10, 0) | 0xFF000000) != kStripYellow && memo_text(image) == memo_text(saved);
  });
  EXPECT_EQ(Hex(Region(returned, 0, kHeaderTop, 365, 20)), Hex(kBarBlue));
  EXPECT_TRUE(memo_text(returned) == memo_text(saved)) << "the memo is still shown";
  other_.Kill();

  // Closed, it ends with 0; the Linux edbtool reads the store it wrote.
  window_ = back;
  ASSERT_TRUE(session_.Focus(window_));
  ASSERT_TRUE(session_.RequestClose(window_));
  auto code = child_.Wait(30s);
  if (!code) {
    ASSERT_TRUE(session_.Key("alt+F4"));
    code = child_.Wait(30s);
  }
  ASSERT_TRUE(code.has_value()) << "the program did not end after its window was closed";
  EXPECT_EQ(*code, 0);
  CommandResult dump = RunCommand({TARNWICK_EDBTOOL, "dump", (data_ / "memo.edb").string()}, "");
  EXPECT_EQ(dump.exit_code, 0);
  EXPECT_EQ(dump.output, "{\"id\": 1, \"fields\": {\"日期\": " + std::to_string(today_.serial) +
                             ", \"备忘\": \"memo 1 XYZ 中文备忘\"}}\n");
  CommandResult check = RunCommand({TARNWICK_EDBTOOL, "check", (data_ / "memo.edb").string()}, "");
  EXPECT_EQ(check.exit_code, 0) << check.output;
  CommandResult backups = RunCommand({TARNWICK_EDBTOOL, "backups", data_.string()}, "");
  EXPECT_NE(backups.output.find("daily"), std::string::npos) << "the day's backup, in the folder's backups: "
                                                              << backups.output;

  // The same store written on Linux by edbtool is the same bytes: the
  // Windows file layer writes what the POSIX one does.
  testing::TempDir linux_folder;
  const std::string linux_store = (linux_folder.path() / "memo.edb").string();
  ASSERT_EQ(RunCommand({TARNWICK_EDBTOOL, "create", linux_store, "日期:8", "备忘:12"}, "").exit_code, 0);
  ASSERT_EQ(RunCommand({TARNWICK_EDBTOOL, "append", linux_store, std::to_string(today_.serial), "memo 1 XYZ 中文备忘"}, "")
                .exit_code,
            0);
  // Each file carries its creation date-time at offset 8 (eight bytes, days
  // since 1899-12-30): today's, and set aside for the comparison.
  for (const char* name : {"memo.edb", "memo.EDT"}) {
    std::string windows = FileBytes(data_ / name), linux = FileBytes(linux_folder.path() / name);
    ASSERT_GE(windows.size(), 16u) << name;
    double created = 0;
    std::memcpy(&created, windows.data() + 8, sizeof created);
    EXPECT_EQ(static_cast<long>(created), today_.serial) << name << " was created today";
    std::fill(windows.begin() + 8, windows.begin() + 16, '\0');
    if (linux.size() >= 16) std::fill(linux.begin() + 8, linux.begin() + 16, '\0');
    EXPECT_TRUE(windows == linux) << name << " differs from the one edbtool writes";
  }
}

// The export refuses a symbolic link (made on the Linux side, which Wine
// follows) to the store's memo file, after the save dialog's replace
// question; the memo file keeps its bytes.
TEST_F(WindowsProgramUnderWine, ExportThroughALinkToTheMemoFileIsRefused) {
  const std::string store = (data_ / "memo.edb").string();
  ASSERT_EQ(RunCommand({TARNWICK_EDBTOOL, "create", store, "日期:8", "备忘:12"}, "").exit_code, 0);
  ASSERT_EQ(RunCommand({TARNWICK_EDBTOOL, "append", store, "2011年5月3日", "不能丢"}, "").exit_code, 0);
  const fs::path link = folder_.path() / "links.txt";
  fs::create_symlink(data_ / "memo.EDT", link);
  const std::string memo_file = FileBytes(data_ / "memo.EDT");
  StartProgram();
  FindMainWindow();
  ASSERT_TRUE(FindClient(ShotWhen(
      "wine_export_start",
      [&](const QImage& image) {
        if (auto geometry = session_.WindowGeometry(window_)) outer_ = *geometry;
        return FindClient(image);
      },
      60s)));
  ClickAt(278 + 40, kBarTop + 14 + 30);  // 搜索面板按钮 opens the side panels
  ShotWhen("wine_export_panels", [&](const QImage&) {
    auto geometry = session_.WindowGeometry(window_);
    return geometry && geometry->width > 600;
  });
  ClickAt(512 + 75 + 30, 464 + 14 + 30);  // 导出全库按钮
  const unsigned long dialog = session_.WaitForWindow("^(Save As|另存为)$", 60s);
  ASSERT_NE(dialog, 0u) << "the save dialog did not appear";
  ASSERT_TRUE(session_.Focus(dialog));
  std::string typed = "Z:" + link.string();
  std::replace(typed.begin(), typed.end(), '/', '\\');
  ASSERT_EQ(session_.Run({"xdotool", "type", "--delay", "20", typed}).exit_code, 0);
  ASSERT_TRUE(session_.Key("Return"));
  // The dialog asks before replacing the existing file: Yes.
  unsigned long refused = session_.WaitForWindow("^出现错误：$", 5s);
  if (refused == 0) {
    ASSERT_TRUE(session_.Key("alt+y"));
    refused = session_.WaitForWindow("^出现错误：$", 60s);
  }
  ASSERT_NE(refused, 0u) << "the link to memo.EDT was not refused";
  ShotWhen("wine_export_link_refused", [](const QImage&) { return true; });
  ASSERT_TRUE(session_.Focus(refused));
  ASSERT_TRUE(session_.Key("Return"));
  EXPECT_EQ(FileBytes(data_ / "memo.EDT"), memo_file) << "the memo file was written over";
}

// A memo file that came without its memo.edb: creating the new store
// renames it aside, says where, and keeps every byte of it.
TEST_F(WindowsProgramUnderWine, ALoneMemoFileIsRenamedAsideWhenTheStoreIsCreated) {
  const std::string store = (data_ / "memo.edb").string();
  ASSERT_EQ(RunCommand({TARNWICK_EDBTOOL, "create", store, "日期:8", "备忘:12"}, "").exit_code, 0);
  ASSERT_EQ(RunCommand({TARNWICK_EDBTOOL, "append", store, "2011年5月3日", "不能丢"}, "").exit_code, 0);
  fs::remove(store);
  const std::string lone = FileBytes(data_ / "memo.EDT");
  StartProgram();
  const unsigned long question = session_.WaitForWindow("^请确认：$", 120s);
  ASSERT_NE(question, 0u) << "the creation question did not appear";
  ASSERT_TRUE(session_.Focus(question));
  ASSERT_TRUE(session_.Key("Return"));
  const unsigned long told = session_.WaitForWindow("^信息：$", 60s);
  ASSERT_NE(told, 0u) << "no message says where the memo file went";
  ShotWhen("wine_lone_memo_file_set_aside", [](const QImage&) { return true; });
  ASSERT_TRUE(session_.Focus(told));
  ASSERT_TRUE(session_.Key("Return"));
  FindMainWindow();
  std::vector<fs::path> aside;
  for (const auto& entry : fs::directory_iterator(data_)) {
    if (entry.path().filename().string().rfind("memo-lone-", 0) == 0) aside.push_back(entry.path());
  }
  ASSERT_EQ(aside.size(), 1u) << "the lone memo file was not renamed aside";
  EXPECT_EQ(FileBytes(aside[0]), lone) << "the lone memo file changed";
  EXPECT_TRUE(fs::exists(data_ / "memo.edb"));
  CommandResult memos = RunCommand({TARNWICK_EDBTOOL, "memos", aside[0].string()}, "");
  EXPECT_EQ(memos.output, "{\"block\": 1, \"text\": \"不能丢\"}\n") << "its text listed for copying back";
}

// While locked no key reaches Edit, Save or the side panels; the unlock
// leaves the window viewing, so Save after it writes nothing.
TEST_F(WindowsProgramUnderWine, KeysWhileLockedDoNothingAndTheUnlockLeavesTheWindowViewing) {
  const std::string store = (data_ / "memo.edb").string();
  ASSERT_EQ(RunCommand({TARNWICK_EDBTOOL, "create", store, "日期:8", "备忘:12"}, "").exit_code, 0);
  ASSERT_EQ(RunCommand({"sh", "-c", "printf 'pw\\npw\\n' | \"$0\" passwd \"$1\"", TARNWICK_EDBTOOL, store}, "").exit_code, 0);
  const std::string locked_store = FileBytes(data_ / "memo.edb");
  StartProgram();
  window_ = session_.WaitForWindow("^Tarnwick V2\\.8 beta 加密状态", 120s);
  ASSERT_NE(window_, 0u) << "the locked window did not appear";
  const int locked_width = session_.WindowGeometry(window_)->width;
  ASSERT_TRUE(session_.Focus(window_));
  for (const char* key : {"alt+w", "alt+f"}) {
    ASSERT_TRUE(session_.Key(key)) << key;
    std::this_thread::sleep_for(300ms);
  }
  outer_ = *session_.WindowGeometry(window_);
  ShotWhen("wine_locked", [&](const QImage& image) { return FindClient(image); });
  ClickAt(125 + 28, 244 + 9);  // 超级按钮1
  const unsigned long asked = session_.WaitForWindow("^密码输入$", 60s);
  ASSERT_NE(asked, 0u) << "the unlock button did not ask for the password";
  ASSERT_TRUE(session_.Focus(asked));
  ASSERT_EQ(session_.Run({"xdotool", "type", "--delay", "50", "pw"}).exit_code, 0);
  ASSERT_TRUE(session_.Key("Return"));
  for (auto deadline = std::chrono::steady_clock::now() + 30s;
       std::chrono::steady_clock::now() < deadline && session_.Title(window_) != "Tarnwick V2.8 Beta";) {
    std::this_thread::sleep_for(100ms);
  }
  ASSERT_EQ(session_.Title(window_), "Tarnwick V2.8 Beta") << "the program did not unlock";
  ASSERT_TRUE(session_.Focus(window_));
  ASSERT_TRUE(session_.Key("alt+s"));
  std::this_thread::sleep_for(1s);
  ShotWhen("wine_unlocked_viewing", [](const QImage&) { return true; });
  EXPECT_EQ(session_.WindowGeometry(window_)->width, locked_width) << "the side panels opened while locked";
  EXPECT_TRUE(FileBytes(data_ / "memo.edb") == locked_store) << "something was saved after the unlock";
}

}  // namespace
}  // namespace tarnwick::e2e
