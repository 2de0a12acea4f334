// A test fixture for the memo book on the headless backend: the whole
// program with the real widgets, its own engine and a store in a temporary
// folder, the clock at 2011-05-17 10:00, and helpers that act as a user
// does. Unexpected dialogs fail the test, naming their text.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "app/memo_program.h"
#include "base/text.h"
#include "testing/fault_file_system.h"
#include "testing/headless_ui.h"
#include "testing/temp_dir.h"

namespace tarnwick::testing {

class MemoBookTest : public HeadlessUiTest {
 protected:
  MemoBookTest();
  ~MemoBookTest() override;

  // Builds the program on a fresh engine (a new process) and loads it; the
  // dialogs of the start-up must be scripted before.
  void Start();
  // Start with the creation question of an empty folder answered Yes.
  void StartWithNewStore();
  // The user closes the main window (the shut-down runs).
  void Close();
  // Close, then Start again.
  void Restart();
  // Lets the clock run until the program's idle work (the day's backup,
  // reading the memos for the search) is done.
  void SitIdle();

  // Writes records, in this order, into the store (created when missing)
  // through an engine of its own, before the program starts.
  void Seed(const std::vector<std::pair<DateTime, std::string>>& memos);

  const MainWindowControls& c() { return program_->main_window().controls(); }
  MemoBook& book() { return program_->book(); }
  Window& main_window() { return c().主窗口; }
  HeadlessWindow& native_main() { return NativeOf(main_window()); }

  // Clicks a day of the shown grid.
  void ClickDay(int year, int month, int day);
  void ClickCentre(Control& control) { Click(control, {control.width() / 2, control.height() / 2}); }
  // Edit, type the text (UTF-8), Save.
  void WriteMemo(std::string_view utf8);

  // What a user reads, in UTF-8.
  static std::string Utf8(const std::string& gbk) { return GbkToUtf8(gbk); }
  std::string StatusText() { return Utf8(c().主面板状态栏标签.text()); }
  Color StatusBackground() { return c().主面板状态栏标签.background(); }
  std::string EditorText() { return Utf8(c().备忘编辑框.content()); }
  std::vector<std::string> MonthListItems();
  // The texts of the dialogs shown so far (UTF-8), then forgets them.
  std::vector<std::string> TakeShownTexts();

  void ExpectMessage(std::string_view utf8, MessageResult answer = MessageResult::kOk) {
    dialogs().ExpectMessageBox(Gbk(utf8), answer);
  }

  TempDir dir_;
  std::string folder_;  // GBK
  // The program's file layer: passes everything through until armed.
  FaultFileSystem faults_;
  std::unique_ptr<DatabaseEngine> engine_;
  std::unique_ptr<MemoProgram> program_;
};

inline constexpr std::string_view kNoMemoHint = "此日期目前暂没有备忘事件，可以点击<编辑>按钮开始加入新的备忘";

}  // namespace tarnwick::testing
