// The real program on a private X display, checked as a person would see it:
// started in an empty folder, its main window found, photographed and read by
// pixels; the pointer and keys driven with xdotool; every wait bounded.
#include <gtest/gtest.h>
#include <signal.h>

#include <QImage>
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

#include "app/e2e/screen_reading.h"
#include "app/e2e/x_session.h"
#include "testing/temp_dir.h"

namespace tarnwick::e2e {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr QRgb kHovered = 0xFF0000FF;

// Pixels of the area close to white (text is smoothed at its edges).
int CountNearWhite(const QImage& image, QRect area) {
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y)
    for (int x = area.left(); x <= area.right(); ++x) {
      QRgb pixel = image.pixel(x, y);
      n += qRed(pixel) > 200 && qGreen(pixel) > 200 && qBlue(pixel) > 200;
    }
  return n;
}

class ProgramOnScreen : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "xdotool", "import", "xclip"}) {
      if (!HaveProgram(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    ASSERT_TRUE(session_.Start(1280, 1024)) << "Xvfb did not start";
    // Started from another folder: the program must move to its own.
    program_ = folder_.path() / "tarnwick";
    fs::copy_file(TARNWICK_PROGRAM, program_);
    // The first run finds no store and asks to create one; Yes is the default.
    StartProgram();
    unsigned long question = session_.WaitForWindow("^请确认：$", 30s);
    ASSERT_NE(question, 0u) << "the creation question did not appear";
    ASSERT_TRUE(session_.Focus(question));
    ASSERT_TRUE(session_.Key("Return"));
    FindMainWindow();
  }

  void StartProgram() {
    child_ = Child::Start({program_.string()}, fs::temp_directory_path(),
                          {"DISPLAY=" + session_.display(), "QT_QPA_PLATFORM=xcb"});
  }

  void FindMainWindow() {
    window_ = session_.WaitForWindow("^Tarnwick V2\\.8", 30s);
    ASSERT_NE(window_, 0u) << "the main window did not appear";
    auto geometry = session_.WindowGeometry(window_);
    ASSERT_TRUE(geometry.has_value());
    client_ = *geometry;
  }

  // Closes the main window as a window manager's close box does and waits
  // for the process to end.
  void CloseProgram() {
    ASSERT_TRUE(session_.RequestClose(window_));
    auto code = child_.Wait(15s);
    ASSERT_TRUE(code.has_value()) << "the program did not end after its window was closed";
    EXPECT_EQ(*code, 0);
  }

  // Whether the main window leaves the screen (for its strip) within 10 s.
  bool MainWindowHides() const {
    for (auto deadline = std::chrono::steady_clock::now() + 10s; std::chrono::steady_clock::now() < deadline;) {
      if (session_.WaitForWindow("^Tarnwick V2\\.8", 0ms) == 0) return true;
      std::this_thread::sleep_for(100ms);
    }
    return false;
  }

  void ClickAt(int left, int top) {
    ASSERT_TRUE(session_.MovePointer(client_.x + left, client_.y + top));
    ASSERT_TRUE(session_.Click(1));
  }

  template <class Ready>
  QImage ShotWhen(const std::string& name, Ready ready) {
    return e2e::ShotWhen(session_, name, ready, 10s, 100ms);
  }

  // The window's client area alone, for a person to look at.
  void SaveWindow(const QImage& screen, const std::string& name, int width) const {
    screen.copy(client_.x, client_.y, width, client_.height).save(QString::fromStdString(ShotPath(name).string()));
  }

  QRgb Region(const QImage& image, int left, int top, int width, int height) const {
    return DominantColour(image, client_.x + left, client_.y + top, width, height);
  }

  QRgb CellColour(const QImage& image, int row, int column) const {
    return e2e::CellColour(image, client_.x, client_.y, row, column);
  }

  // The cells by colour; a day lit under the pointer counts as its month's.
  std::string Pattern(const QImage& image) const { return MonthPattern(image, client_.x, client_.y, kHovered); }

  QPoint CellCentre(int row, int column) const {
    return {client_.x + column * kCellWidth + kCellWidth / 2, client_.y + kGridTop + row * kCellHeight + kCellHeight / 2};
  }

  const Today today_ = ReadToday();
  XSession session_;
  testing::TempDir folder_;
  fs::path program_;
  Child child_;
  unsigned long window_ = 0;
  XSession::Geometry client_;
};

TEST_F(ProgramOnScreen, ShowsTheCalendarAndAnswersPointerKeysAndClose) {
  // The window check restores the caption within its first 200 ms.
  std::optional<std::string> title;
  for (auto deadline = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < deadline;) {
    title = session_.Title(window_);
    if (title == "Tarnwick V2.8 Beta") break;
    std::this_thread::sleep_for(50ms);
  }
  EXPECT_EQ(title, "Tarnwick V2.8 Beta");
  // The client area is what the layout needs at 371 x 596.
  EXPECT_EQ(client_.width, 365);
  EXPECT_EQ(client_.height, 568);
  // It moved to the folder of its executable.
  EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(child_.pid()) + "/cwd"), folder_.path());

  QImage shot = ShotWhen("screen_main_column",
                         [&](const QImage& image) { return Region(image, 0, kHeaderTop, 365, 20) == kBarBlue; });
  ASSERT_FALSE(shot.isNull());
  SaveWindow(shot, "main_column", client_.width);
  EXPECT_EQ(Hex(Region(shot, 0, kHeaderTop, 365, 20)), Hex(kBarBlue)) << "weekday header";
  EXPECT_EQ(Hex(Region(shot, 0, kFooterTop + 1, 120, 18)), Hex(kBarBlue)) << "footer";

  // Six weeks from a Monday: the first row may start in the month before, the
  // last rows run into the month after; the shown month fills the middle.
  const std::string cells = MonthPattern(shot, client_.x, client_.y);
  const auto shown = std::count(cells.begin(), cells.end(), 'S');
  EXPECT_GE(shown, 28) << cells;
  EXPECT_LE(shown, 31) << cells;
  EXPECT_EQ(shown + std::count(cells.begin(), cells.end(), 'o'), 42) << cells;
  // The third and fourth rows always lie in the shown month.
  const std::pair<int, int> a_shown_day{2, 2}, another_shown_day{3, 4};
  ASSERT_EQ(cells[2 * 7 + 2], 'S');
  ASSERT_EQ(cells[3 * 7 + 4], 'S');

  QRect footer_right(client_.x + 190, client_.y + kFooterTop + 2, 170, 16);
  EXPECT_LT(CountNearWhite(shot, footer_right), 5) << "no day described before the pointer comes";

  // Hovering a day paints it #0000FF; moving on restores it.
  QPoint first = CellCentre(a_shown_day.first, a_shown_day.second);
  ASSERT_TRUE(session_.MovePointer(first.x(), first.y()));
  shot = ShotWhen("hovered", [&](const QImage& image) {
    return CellColour(image, a_shown_day.first, a_shown_day.second) == kHovered;
  });
  EXPECT_EQ(Hex(CellColour(shot, a_shown_day.first, a_shown_day.second)), Hex(kHovered));

  QPoint second = CellCentre(another_shown_day.first, another_shown_day.second);
  ASSERT_TRUE(session_.MovePointer(second.x(), second.y()));
  shot = ShotWhen("hovered_again", [&](const QImage& image) {
    return CellColour(image, another_shown_day.first, another_shown_day.second) == kHovered &&
           CountNearWhite(image, footer_right) > 40;
  });
  EXPECT_EQ(Hex(CellColour(shot, another_shown_day.first, another_shown_day.second)), Hex(kHovered));
  EXPECT_EQ(Hex(CellColour(shot, a_shown_day.first, a_shown_day.second)), Hex(kShownMonth));
  // The footer names the hovered day in white on its right.
  EXPECT_GT(CountNearWhite(shot, footer_right), 40);

  // Clicking days. The calendar draws no mark of its own for the selected
  // day (only the hovered one is lit) and a day of another month takes no
  // click, so what a person sees is: the month stays, the drop-downs keep
  // naming it, the clicked day stays lit while the pointer rests on it and
  // goes back to its month's colour once the pointer leaves.
  QImage before = shot;
  auto navigation_bar = [&](const QImage& image) { return image.copy(client_.x + 3, client_.y + 4, 165, 22); };

  // The last cell always holds a day of the next month: clicking it leaves
  // the month shown as it was.
  QPoint next_month_day = CellCentre(5, 6);
  ASSERT_EQ(Hex(CellColour(before, 5, 6)), Hex(kOtherMonth));
  ASSERT_TRUE(session_.MovePointer(next_month_day.x(), next_month_day.y()));
  ASSERT_TRUE(session_.Click(1));
  shot = ShotWhen("clicked_next_month_day", [&](const QImage& image) {
    return CellColour(image, another_shown_day.first, another_shown_day.second) == kShownMonth;
  });
  SaveWindow(shot, "clicked_next_month_day", client_.width);
  EXPECT_EQ(Hex(CellColour(shot, 5, 6)), Hex(kOtherMonth)) << "a day of another month is not lit";
  EXPECT_EQ(Pattern(shot), Pattern(before)) << "the grid still shows the same month";
  EXPECT_TRUE(navigation_bar(shot) == navigation_bar(before)) << "the drop-downs still name the same year and month";

  // A day of the shown month: lit under the pointer through the click, the
  // month unchanged.
  QPoint shown_day = CellCentre(a_shown_day.first, a_shown_day.second);
  ASSERT_TRUE(session_.MovePointer(shown_day.x(), shown_day.y()));
  ASSERT_TRUE(session_.Click(1));
  shot = ShotWhen("clicked_shown_day", [&](const QImage& image) {
    return CellColour(image, a_shown_day.first, a_shown_day.second) == kHovered;
  });
  SaveWindow(shot, "clicked_shown_day", client_.width);
  EXPECT_EQ(Hex(CellColour(shot, a_shown_day.first, a_shown_day.second)), Hex(kHovered));
  EXPECT_EQ(Pattern(shot), Pattern(before));
  EXPECT_TRUE(navigation_bar(shot) == navigation_bar(before));
  EXPECT_GT(CountNearWhite(shot, footer_right), 40) << "the footer still describes the day under the pointer";

  // The pointer moves off the grid onto the footer: no day stays marked.
  ASSERT_TRUE(session_.MovePointer(client_.x + 100, client_.y + kFooterTop + 10));
  shot = ShotWhen("clicked_day_left", [&](const QImage& image) {
    return CellColour(image, a_shown_day.first, a_shown_day.second) == kShownMonth;
  });
  EXPECT_EQ(Hex(CellColour(shot, a_shown_day.first, a_shown_day.second)), Hex(kShownMonth));
  EXPECT_EQ(Pattern(shot), Pattern(before));

  // Alt+F opens the side panels: 664 x 596 outside, 658 x 568 inside.
  ASSERT_TRUE(session_.Focus(window_));
  ASSERT_TRUE(session_.Key("alt+f"));
  std::optional<XSession::Geometry> wide;
  for (auto deadline = std::chrono::steady_clock::now() + 5s; std::chrono::steady_clock::now() < deadline;) {
    wide = session_.WindowGeometry(window_);
    if (wide && wide->width != client_.width) break;
    std::this_thread::sleep_for(50ms);
  }
  ASSERT_TRUE(wide.has_value());
  EXPECT_EQ(wide->width, 658);
  EXPECT_EQ(wide->height, 568);
  // The side panels' month list is drawn in its light green once shown.
  shot = ShotWhen("screen_side_panels", [&](const QImage& image) {
    return Region(image, 380, 100, 100, 100) == 0xFF80FF80;
  });
  EXPECT_EQ(Hex(Region(shot, 380, 100, 100, 100)), "#80ff80") << "month list";
  EXPECT_EQ(Hex(Region(shot, 525, 150, 100, 100)), "#80ffff") << "search result list";
  SaveWindow(shot, "side_panels", wide->width);

  // Closing the window ends the process with 0.
  CloseProgram();
}

TEST_F(ProgramOnScreen, AMemoTypedAndPastedIsSavedAndShownAfterARestart) {
  EXPECT_TRUE(fs::exists(folder_.path() / "memo.edb")) << "the first run created the store beside the program";
  EXPECT_TRUE(fs::exists(folder_.path() / "memo.EDT"));
  QImage hint = ShotWhen("memo_hint", [&](const QImage& image) {
    return Region(image, 0, kHeaderTop, 365, 20) == kBarBlue;
  });
  auto editor = [&](const QImage& image) {
    return image.copy(client_.x + 2, client_.y + kEditorTop + 2, 361, kEditorHeight - 4);
  };

  // Edit, type on the keyboard, paste Chinese from the clipboard, Save.
  ClickAt(8 + 40, kBarTop + 14 + 30);
  ASSERT_TRUE(session_.Focus(window_));
  ASSERT_EQ(session_.Run({"xdotool", "type", "--delay", "20", "memo 1 "}).exit_code, 0);
  ASSERT_EQ(session_.Run({"sh", "-c", "printf '中文备忘' | xclip -selection clipboard >/dev/null 2>&1"}).exit_code, 0);
  ASSERT_TRUE(session_.Key("ctrl+v"));
  ClickAt(98 + 40, kBarTop + 14 + 30);
  QImage saved = ShotWhen("memo_saved", [&](const QImage& image) { return editor(image) != editor(hint); });
  SaveWindow(saved, "memo_saved", client_.width);
  ASSERT_TRUE(editor(saved) != editor(hint)) << "the typed memo is shown";

  CloseProgram();
  CommandResult dump = RunCommand({TARNWICK_EDBTOOL, "dump", (folder_.path() / "memo.edb").string()}, "");
  EXPECT_EQ(dump.exit_code, 0);
  EXPECT_EQ(dump.output, "{\"id\": 1, \"fields\": {\"日期\": " + std::to_string(today_.serial) +
                             ", \"备忘\": \"memo 1 中文备忘\"}}\n");

  // Started again, it shows today's memo as it was saved.
  StartProgram();
  FindMainWindow();
  QImage again = ShotWhen("memo_restarted", [&](const QImage& image) { return editor(image) == editor(saved); });
  EXPECT_TRUE(editor(again) == editor(saved)) << "see memo_restarted.png beside memo_saved.png";

  // Told to end (a shut-down, a logout, kill) while editing: the edit is
  // saved before the program goes.
  ClickAt(8 + 40, kBarTop + 14 + 30);
  ASSERT_TRUE(session_.Focus(window_));
  ASSERT_TRUE(session_.Key("ctrl+End"));
  ASSERT_EQ(session_.Run({"xdotool", "type", "--delay", "20", " 2"}).exit_code, 0);
  ShotWhen("memo_edited", [&](const QImage& image) { return editor(image) != editor(again); });
  ASSERT_EQ(::kill(child_.pid(), SIGTERM), 0);
  auto code = child_.Wait(15s);
  ASSERT_TRUE(code.has_value()) << "the program did not end on SIGTERM";
  EXPECT_EQ(*code, 0);
  dump = RunCommand({TARNWICK_EDBTOOL, "dump", (folder_.path() / "memo.edb").string()}, "");
  EXPECT_NE(dump.output.find("\"备忘\": \"memo 1 中文备忘 2\""), std::string::npos) << dump.output;

  // Started once more, it is there for a second copy to find the store taken:
  // the copy says so, changes nothing in either file, and once its message
  // is answered the first copy's window is on the screen, even though the
  // message had sent it into its strip.
  StartProgram();
  FindMainWindow();
  ASSERT_TRUE(session_.Focus(window_));
  auto bytes = [&](const char* name) { return FileBytes(folder_.path() / name); };
  const std::string edb = bytes("memo.edb"), edt = bytes("memo.EDT");
  Child second = Child::Start({program_.string()}, folder_.path(),
                              {"DISPLAY=" + session_.display(), "QT_QPA_PLATFORM=xcb"});
  unsigned long refusal = session_.WaitForWindow("^信息：$", 30s);
  ASSERT_NE(refusal, 0u) << "the second copy did not say that it cannot open the store";
  ASSERT_TRUE(session_.Focus(refusal));
  ASSERT_TRUE(MainWindowHides()) << "the other program's message sends the parked window into its strip";
  ASSERT_TRUE(session_.Key("Return"));
  code = second.Wait(15s);
  EXPECT_EQ(code, std::optional<int>(0)) << "the second copy ends once its message is answered";
  EXPECT_EQ(bytes("memo.edb"), edb);
  EXPECT_EQ(bytes("memo.EDT"), edt);
  QImage forward = ShotWhen("first_copy_forward", [&](const QImage& image) {
    return Region(image, 0, kHeaderTop, 365, 20) == kBarBlue;
  });
  EXPECT_EQ(Region(forward, 0, kHeaderTop, 365, 20), kBarBlue) << "see first_copy_forward.png";

  // The display goes away while a memo is edited: the program ends, and
  // what was typed is in the rescue file beside the store.
  ClickAt(8 + 40, kBarTop + 14 + 30);
  ASSERT_TRUE(session_.Focus(window_));
  ASSERT_TRUE(session_.Key("ctrl+End"));
  ASSERT_EQ(session_.Run({"xdotool", "type", "--delay", "20", " 3"}).exit_code, 0);
  ShotWhen("memo_edited_again", [&](const QImage& image) { return editor(image) != editor(forward); });
  session_.Stop();
  ASSERT_TRUE(child_.Wait(15s).has_value()) << "the program did not end when its display went away";
  const std::string rescued = FileBytes(folder_.path() / "memo-rescued.txt");
  EXPECT_NE(rescued.find("\r\nmemo 1 \xd6\xd0\xce\xc4\xb1\xb8\xcd\xfc 2 3\r\n"), std::string::npos)
      << "the edit (GBK) is not in the rescue file: " << rescued;
}

// Without the mouse: from the keyword box back to the day grid, a day two
// months back chosen by the keys, a memo with a tab in it written and saved.
TEST_F(ProgramOnScreen, AMemoOfADayTwoMonthsBackIsWrittenByKeyboardAlone) {
  using namespace std::chrono;
  const sys_days epoch{year{1899} / 12 / 30};
  const year_month_day now{epoch + days{today_.serial}};
  const year_month back = year_month{now.year(), now.month()} - months{2};
  const day last = year_month_day_last{back.year(), month_day_last{back.month()}}.day();
  const sys_days chosen = sys_days{back.year() / back.month() / std::min(now.day(), last)} - days{1};

  ASSERT_TRUE(session_.Focus(window_));
  ASSERT_TRUE(session_.Key("alt+f"));  // the side panels, the focus in the keyword box
  // Back past the month list, the panel button, Edit, the memo and 转到今日.
  for (int i = 0; i < 6; ++i) ASSERT_TRUE(session_.Key("shift+Tab"));
  for (const char* key : {"Prior", "Prior", "Left", "alt+w", "a", "Tab", "b", "alt+s"}) {
    ASSERT_TRUE(session_.Key(key)) << key;
    std::this_thread::sleep_for(100ms);
  }
  CloseProgram();
  CommandResult dump = RunCommand({TARNWICK_EDBTOOL, "dump", (folder_.path() / "memo.edb").string()}, "");
  EXPECT_EQ(dump.output, "{\"id\": 1, \"fields\": {\"日期\": " + std::to_string((chosen - epoch).count()) +
                             ", \"备忘\": \"a\\tb\"}}\n");
}

// Typing goes on into the editor while the pointer crosses the calendar, and
// the wheel over the calendar steps its month meanwhile; the program's own
// question leaves the window parked at the top edge in place and gives it
// the activation back, so turning to another program still hides it.
TEST_F(ProgramOnScreen, TypingOverTheCalendarAndTheProgramsOwnQuestionKeepTheWindow) {
  if (!HaveProgram("xmessage")) GTEST_SKIP() << "xmessage is not installed";
  QImage start = ShotWhen("typing_start", [&](const QImage& image) {
    return Region(image, 0, kHeaderTop, 365, 20) == kBarBlue;
  });
  ASSERT_EQ(session_.WindowGeometry(window_)->y, 0) << "parked at the top edge";
  ClickAt(8 + 40, kBarTop + 14 + 30);
  ASSERT_EQ(session_.Run({"xdotool", "type", "--delay", "20", "abc "}).exit_code, 0);
  QPoint over = CellCentre(2, 3), further = CellCentre(3, 4);
  // The X server delivers the motions, the wheel and the keys in the order
  // they were sent: nothing needs waiting for between them.
  ASSERT_TRUE(session_.MovePointer(over.x(), over.y()));
  ASSERT_TRUE(session_.MovePointer(further.x(), further.y()));
  ASSERT_EQ(session_.Run({"xdotool", "type", "--delay", "20", "XYZ"}).exit_code, 0);
  ASSERT_TRUE(session_.Click(today_.month == 1 ? 5 : 4));  // away from the user: the month before
  QImage stepped = ShotWhen("typing_wheel", [&](const QImage& image) { return Pattern(image) != Pattern(start); });
  SaveWindow(stepped, "typing_wheel", client_.width);
  EXPECT_NE(Pattern(stepped), Pattern(start)) << "the wheel over the calendar steps the month";
  ClickAt(98 + 40, kBarTop + 14 + 30);

  const WindowThroughQuestion seen = AnswerClearAllNo(session_, client_.x + 100, client_.y + 556, "^Tarnwick V2\\.8");
  EXPECT_TRUE(seen.shown_while_asked) << "the window hid behind its own question";
  EXPECT_TRUE(seen.shown_after) << "the window hid after its own question";
  QImage answered = ShotWhen("question_answered", [&](const QImage& image) {
    return Region(image, 0, kHeaderTop, 365, 20) == kBarBlue;
  });
  SaveWindow(answered, "question_answered", client_.width);

  Child other = Child::Start({"xmessage", "-geometry", "+100+700", "other"}, folder_.path(),
                             {"DISPLAY=" + session_.display()});
  unsigned long other_window = session_.WaitForWindow("^xmessage$", 10s);
  ASSERT_NE(other_window, 0u);
  ASSERT_TRUE(session_.Focus(other_window));
  EXPECT_TRUE(MainWindowHides()) << "turning to another program hides the parked window";
  other.Kill();

  // Back from the strip and closed: the typed text was saved whole.
  ASSERT_TRUE(session_.MovePointer(client_.x + 100, 0));
  ASSERT_TRUE(session_.Click(1));
  ASSERT_NE(session_.WaitForWindow("^Tarnwick V2\\.8", 10s), 0u);
  CloseProgram();
  CommandResult dump = RunCommand({TARNWICK_EDBTOOL, "dump", (folder_.path() / "memo.edb").string()}, "");
  EXPECT_EQ(dump.output, "{\"id\": 1, \"fields\": {\"日期\": " + std::to_string(today_.serial) +
                             ", \"备忘\": \"abc XYZ\"}}\n");
}

}  // namespace
}  // namespace tarnwick::e2e
