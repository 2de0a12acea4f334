// What only the Win32 backend has, run under Wine (or Windows): text pixels
// and fonts of GDI, its text conversion, the common dialogs' filters, its
// input box and message box details, the registry's ".htm" command, and Quit
// on the Windows queue. What every backend promises is in the contract suite
// (platform/*_contract_test.cpp).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/text.h"
#include "platform/win32/win32_canvas.h"
#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_event_loop.h"
#include "platform/win32/win32_shell.h"
#include "testing/input_box_request.h"

namespace tarnwick::win32 {
namespace {

constexpr Color kWhite = Rgb(255, 255, 255);
constexpr Color kRed = Rgb(255, 0, 0);
constexpr Color kBlue = Rgb(0, 0, 255);
constexpr Color kBlack = Rgb(0, 0, 0);

int CountPixels(const Win32Canvas& canvas, const Rect& area, Color color) {
  int count = 0;
  for (int y = area.top; y < area.bottom(); ++y) {
    for (int x = area.left; x < area.right(); ++x) count += canvas.PixelAt({x, y}) == color;
  }
  return count;
}

// The bounding box of the pixels that are not `background`.
Rect InkBox(const Win32Canvas& canvas, Color background) {
  int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
  Size size = canvas.size();
  for (int y = 0; y < size.height; ++y) {
    for (int x = 0; x < size.width; ++x) {
      if (canvas.PixelAt({x, y}) == background) continue;
      left = std::min(left, x);
      top = std::min(top, y);
      right = std::max(right, x);
      bottom = std::max(bottom, y);
    }
  }
  if (right < 0) return {};
  return {left, top, right - left + 1, bottom - top + 1};
}

// What a surface does in WM_PAINT: paint a buffer, copy the dirty part.
TEST(Win32CanvasTest, APaintCanvasCopiesTheDirtyPartOnly) {
  Win32Canvas canvas(nullptr, {10, 10});
  auto paint = CreatePaintCanvas(canvas.dc(), {10, 10});
  paint->FillRect({0, 0, 10, 10}, kBlue);
  paint->CopyTo(canvas.dc(), {0, 0, 2, 10});
  EXPECT_EQ(CountPixels(canvas, {0, 0, 10, 10}, kBlue), 20);
}

TEST(Win32CanvasTest, TextIsDrawnInsideItsRectangleAsAligned) {
  Font song;
  song.face = Gbk("宋体");
  song.height = 12;
  song.charset = 134;
  Win32Canvas measure_buffer(nullptr, {1, 1});
  Canvas& measure = measure_buffer;  // the default max_width is the interface's
  Size one = measure.MeasureText(Gbk("日历"), song, text_flags::kSingleLine);
  EXPECT_GT(one.width, 10);
  EXPECT_GE(one.height, 12);
  Size two_lines = measure.MeasureText(Gbk("日历\r\n日历"), song, 0);
  EXPECT_GE(two_lines.height, 2 * one.height - 1);
  EXPECT_EQ(measure.MeasureText(Gbk("日历\r\n日历"), song, text_flags::kSingleLine).height, one.height);
  Size wrapped = measure.MeasureText(Gbk("日历日历日历日历"), song, text_flags::kWordWrap, one.width + 2);
  EXPECT_LE(wrapped.width, one.width + 2);
  EXPECT_GE(wrapped.height, 2 * one.height - 1);
  // "&" is shown as it is without kMnemonic and hides itself with it.
  EXPECT_GT(measure.MeasureText("&A", song, text_flags::kSingleLine).width,
            measure.MeasureText("&A", song, text_flags::kSingleLine | text_flags::kMnemonic).width);

  Win32Canvas left(nullptr, {100, 30});
  left.DrawTextAligned({10, 5, 80, 20}, Gbk("日历"), song, kBlack,
                       text_flags::kLeft | text_flags::kSingleLine | text_flags::kVerticalCenter);
  Rect ink = InkBox(left, kWhite);
  ASSERT_FALSE(ink.empty()) << "the text left no pixels";
  EXPECT_GE(ink.left, 10);
  EXPECT_LT(ink.left, 14);
  EXPECT_LE(ink.right(), 90);
  EXPECT_GE(ink.top, 5);
  EXPECT_LE(ink.bottom(), 25);
  EXPECT_EQ(CountPixels(left, {0, 0, 100, 30}, kWhite) + CountPixels(left, {0, 0, 100, 30}, kBlack), 3000)
      << "text is drawn in its colour on the background, nothing else (no smoothing of a Song face)";

  Win32Canvas right(nullptr, {100, 30});
  right.DrawTextAligned({10, 5, 80, 20}, Gbk("日历"), song, kRed, text_flags::kRight | text_flags::kSingleLine);
  Rect right_ink = InkBox(right, kWhite);
  ASSERT_FALSE(right_ink.empty());
  EXPECT_LE(right_ink.right(), 90);
  EXPECT_GT(right_ink.right(), 85);

  // Clipped to its rectangle.
  Win32Canvas clipped(nullptr, {100, 30});
  clipped.DrawTextAligned({0, 0, 8, 30}, Gbk("日历日历"), song, kBlack, text_flags::kSingleLine);
  EXPECT_LE(InkBox(clipped, kWhite).right(), 8);
}

TEST(Win32CanvasTest, FontsAreSharedAndTheDefaultGuiFontIsDescribed) {
  Font song;
  song.face = Gbk("宋体");
  song.height = 12;
  EXPECT_EQ(FontHandle(song), FontHandle(song));
  Font bold = song;
  bold.weight = FontWeight::kBold;
  EXPECT_NE(FontHandle(song), FontHandle(bold));
  Font gui = DefaultGuiFontDescription();
  EXPECT_FALSE(gui.face.empty());
  EXPECT_GT(gui.height, 0);
}

TEST(Win32TextTest, GbkRoundTripsThroughUtf16) {
  std::string text = Gbk("备忘编辑框 memo");
  std::wstring wide = WideText(text);
  EXPECT_EQ(wide, L"\u5907\u5FD8\u7F16\u8F91\u6846 memo");
  EXPECT_EQ(GbkText(wide), text);
}

TEST(Win32EventLoopTest, RunEndsWithQuitsCodeAndQuitBeforeRunEndsAtOnce) {
  {
    Win32EventLoop loop;
    loop.Post([&] { loop.Quit(7); });
    EXPECT_EQ(loop.Run(), 7);
  }
  {
    Win32EventLoop loop;
    loop.Quit(3);
    EXPECT_EQ(loop.Run(), 3);
  }
  {
    // A quit seen by ProcessPendingEvents is left for Run.
    Win32EventLoop loop;
    bool after = false;
    loop.Post([&] { loop.Quit(5); });
    loop.ProcessPendingEvents();
    loop.Post([&] { after = true; });
    EXPECT_EQ(loop.Run(), 5);
    (void)after;
  }
}

template <size_t N>
std::wstring WithNuls(const wchar_t (&text)[N]) {
  return std::wstring(text, N - 1);
}

TEST(Win32DialogsTest, FiltersAndDefaultExtensions) {
  std::wstring filter = CommonDialogFilter(Gbk("文本文件(*.txt)|*.txt|所有文件(*.*)|*.*"));
  EXPECT_EQ(filter, WithNuls(L"\u6587\u672C\u6587\u4EF6(*.txt)\0*.txt\0\u6240\u6709\u6587\u4EF6(*.*)\0*.*\0\0"));
  // A description without a pattern is left out; nothing means all files.
  EXPECT_EQ(CommonDialogFilter("Text|*.txt|Odd"), WithNuls(L"Text\0*.txt\0\0"));
  EXPECT_EQ(CommonDialogFilter(""), WithNuls(L"*.*\0*.*\0\0"));

  EXPECT_EQ(WithDefaultExtension("C:\\out\\memos", "txt"), "C:\\out\\memos.txt");
  EXPECT_EQ(WithDefaultExtension("C:\\out\\memos.log", "txt"), "C:\\out\\memos.log");
  EXPECT_EQ(WithDefaultExtension("C:\\out.d\\memos", "txt"), "C:\\out.d\\memos.txt") << "a dot in a folder name";
  EXPECT_EQ(WithDefaultExtension("C:\\memos", ""), "C:\\memos");
  // 僜 is 0x83 0x5C, its trail byte a '\\': not a separator.
  std::string name = Gbk("C:\\a.d\\僜");
  ASSERT_EQ(static_cast<unsigned char>(name.back()), 0x5C);
  EXPECT_EQ(WithDefaultExtension(name, "txt"), name + ".txt");
}

// Dialogs are real windows: they need a display (Wine passes DISPLAY on).
bool HaveDisplay() {
  const char* display = std::getenv("DISPLAY");
  return display != nullptr && *display != '\0';
}

// Answers the next dialog with the given title from inside its modal loop:
// a timer of the loop finds its window and acts on it.
class DialogAnswerer {
 public:
  DialogAnswerer(Win32EventLoop& loop, std::wstring title, std::function<void(HWND)> act)
      : loop_(loop), title_(std::move(title)), act_(std::move(act)) {
    timer_ = loop_.StartTimer(20, [this] {
      HWND dialog = FindWindowW(L"#32770", title_.c_str());
      if (dialog == nullptr || done_) return;
      done_ = true;
      act_(dialog);
    });
  }
  ~DialogAnswerer() { loop_.StopTimer(timer_); }
  bool done() const { return done_; }

 private:
  Win32EventLoop& loop_;
  std::wstring title_;
  std::function<void(HWND)> act_;
  EventLoop::TimerId timer_ = 0;
  bool done_ = false;
};

// What the entry of an input box held as it was destroyed, seen by a hook
// on the thread's window messages.
struct EntryAtDestruction {
  static inline HWND entry = nullptr;
  static inline int length = -1;
  static inline bool can_undo = true;
  static LRESULT CALLBACK Hook(int code, WPARAM wparam, LPARAM lparam) {
    const auto* message = reinterpret_cast<const CWPSTRUCT*>(lparam);
    if (code == HC_ACTION && message->hwnd == entry && entry != nullptr && message->message == WM_DESTROY) {
      length = GetWindowTextLengthW(entry);
      can_undo = SendMessageW(entry, EM_CANUNDO, 0, 0) != 0;
      entry = nullptr;
    }
    return CallNextHookEx(nullptr, code, wparam, lparam);
  }
};

// The entry of an input box, shown or masked, holds no text and nothing to
// undo once the box closes, however it closes.
TEST(Win32DialogsTest, InputBoxLetsGoOfTheTypedTextHoweverItCloses) {
  if (!HaveDisplay()) GTEST_SKIP() << "dialogs need a display; DISPLAY is not set";
  Win32EventLoop loop;
  Win32Dialogs dialogs;
  HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, EntryAtDestruction::Hook, nullptr, GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  for (const bool masked : {false, true}) {
    for (const UINT close : {UINT{IDOK}, UINT{IDCANCEL}, UINT{WM_CLOSE}}) {
      const InputBoxRequest request = testing::PasswordBoxRequest(masked);
      EntryAtDestruction::length = -1;
      bool typed_undoable = false;
      DialogAnswerer answer(loop, WideText(request.title), [&](HWND dialog) {
        HWND entry = GetDlgItem(dialog, 101);
        EXPECT_EQ((GetWindowLongPtrW(entry, GWL_STYLE) & ES_PASSWORD) != 0, masked);
        wchar_t caption[64] = {};
        GetDlgItemTextW(dialog, IDOK, caption, 64);
        EXPECT_EQ(std::wstring(caption), WideText(request.confirm_caption));
        EntryAtDestruction::entry = entry;
        // Typed as a user types: an undoable replacement of the selection.
        SendMessageW(entry, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(L"pw-typed"));
        typed_undoable = SendMessageW(entry, EM_CANUNDO, 0, 0) != 0;
        if (close == WM_CLOSE) {
          PostMessageW(dialog, WM_CLOSE, 0, 0);
        } else {
          PostMessageW(dialog, WM_COMMAND, close, 0);
        }
      });
      const std::optional<SecretText> typed = dialogs.ShowInputBox(request);
      ASSERT_TRUE(answer.done());
      const std::string context = std::to_string(masked) + " " + std::to_string(close);
      EXPECT_TRUE(typed_undoable) << context;
      EXPECT_EQ(typed.has_value(), close == IDOK) << context;
      if (typed) EXPECT_EQ(typed->view(), "pw-typed") << context;
      EXPECT_EQ(EntryAtDestruction::length, 0) << context;
      EXPECT_FALSE(EntryAtDestruction::can_undo) << context;
    }
  }
  UnhookWindowsHookEx(hook);
}

// Closing a box by its close box answers Cancel where it has one.
TEST(Win32DialogsTest, AClosedMessageBoxAnswersCancel) {
  if (!HaveDisplay()) GTEST_SKIP() << "dialogs need a display; DISPLAY is not set";
  Win32EventLoop loop;
  Win32Dialogs dialogs;
  MessageBoxRequest request;
  request.title = Gbk("信息：");
  request.text = Gbk("数据库不存在，是否创建？");
  request.buttons = MessageButtons::kOkCancel;
  DialogAnswerer answer(loop, WideText(request.title), [](HWND box) { PostMessageW(box, WM_CLOSE, 0, 0); });
  EXPECT_EQ(dialogs.ShowMessageBox(request), MessageResult::kCancel);
}

TEST(Win32ShellTest, HtmlOpenCommandIsReadFromTheUsersAssociations) {
  Win32Shell shell;
  // A private class name, so the machine's own association is not touched.
  HKEY key = nullptr;
  const wchar_t* command_key = L"Software\\Classes\\TarnwickTestPage\\shell\\open\\command";
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, command_key, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  std::wstring command = L"\"C:\\browser.exe\" \"%1\"";
  RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                 static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  // Point .htm at it for the test, restoring what was there.
  HKEY htm = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Classes\\.htm", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr,
                            &htm, nullptr),
            ERROR_SUCCESS);
  wchar_t previous[256] = {};
  DWORD previous_bytes = sizeof(previous);
  bool had_previous = RegQueryValueExW(htm, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(previous),
                                       &previous_bytes) == ERROR_SUCCESS;
  const wchar_t name[] = L"TarnwickTestPage";
  RegSetValueExW(htm, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(name), sizeof(name));
  std::string found = shell.HtmlOpenCommand();
  if (had_previous) {
    RegSetValueExW(htm, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(previous), previous_bytes);
  } else {
    RegDeleteValueW(htm, nullptr);
  }
  RegCloseKey(htm);
  RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Classes\\TarnwickTestPage");
  EXPECT_EQ(found, "\"C:\\browser.exe\" \"%1\"");

  EXPECT_FALSE(shell.OpenWithShell(""));
  EXPECT_FALSE(shell.RunCommandLine(""));
  EXPECT_FALSE(shell.RunCommandLine("C:\\no\\such\\program.exe"));
}

}  // namespace
}  // namespace tarnwick::win32
