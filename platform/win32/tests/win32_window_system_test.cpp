#include "platform/win32/win32_window_system.h"

#include "platform/win32/tests/win32_test_support.h"

#include <richedit.h>

namespace tarnwick::win32::testing {
namespace {

using WindowTest = Win32WindowTest;

MSG Message(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  MSG made{};
  made.hwnd = hwnd;
  made.message = message;
  made.wParam = wparam;
  made.lParam = lparam;
  return made;
}

TEST_F(WindowTest, CaptionsRoundTripThroughGbk) {
  std::string locked = Gbk("Tarnwick V2.8 beta 加密状态，请先解锁程序");
  window_->SetCaption(locked);
  wchar_t shown[128] = {};
  GetWindowTextW(Handle(*window_), shown, 128);
  EXPECT_EQ(std::wstring(shown), Wide("Tarnwick V2.8 beta 加密状态，请先解锁程序"));
  // Trailing blanks stay.
  window_->SetCaption("Tarnwick V2.8 beta  ");
  GetWindowTextW(Handle(*window_), shown, 128);
  EXPECT_EQ(std::wstring(shown), L"Tarnwick V2.8 beta  ");
}

TEST_F(WindowTest, ShowingAndOrderingTheStripNeverActivatesIt) {
  window_->Activate();
  Pump();
  ASSERT_TRUE(window_->IsActive());
  Recorder strip_listener;
  WindowStyle strip_style;
  strip_style.frame = FrameStyle::kNone;
  strip_style.system_menu = false;
  strip_style.in_taskbar = false;
  strip_style.always_on_top = true;
  strip_style.takes_activation = false;
  auto strip = windows_->CreateTopLevelWindow(strip_style, {50, 0, 370, 2}, "", strip_listener);
  strip->Show();
  strip->SetWindowOrder(WindowOrder::kNotAlwaysOnTop);
  strip->SetWindowOrder(WindowOrder::kAlwaysOnTop);
  strip->SetWindowOrder(WindowOrder::kTop);
  Pump();
  EXPECT_TRUE(strip->IsVisible());
  EXPECT_FALSE(strip->IsActive());
  EXPECT_TRUE(window_->IsActive());
  EXPECT_NE(GetWindowLongPtrW(Handle(*strip), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_EQ(strip->OuterRect(), (Rect{50, 0, 370, 2}));
  strip->SetWindowOrder(WindowOrder::kNotAlwaysOnTop);
  EXPECT_EQ(GetWindowLongPtrW(Handle(*strip), GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  // A press on it reaches its listener without activating it.
  EXPECT_EQ(SendMessageW(Handle(*strip), WM_MOUSEACTIVATE, reinterpret_cast<WPARAM>(Handle(*strip)),
                         MAKELPARAM(HTCLIENT, WM_LBUTTONDOWN)),
            MA_NOACTIVATE);
  SendMessageW(Handle(*strip), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(12, 1));
  EXPECT_EQ(strip_listener.trace, "pressL(12,1) ");
  strip->Hide();
  EXPECT_FALSE(strip->IsVisible());
}

TEST_F(WindowTest, TheFocusAskedForWhileHiddenArrivesWhenTheWindowIsShownAndComesBack) {
  Recorder other_listener;
  Recorder first_listener;
  Recorder second_listener;
  auto other = windows_->CreateTopLevelWindow(MainWindowStyle(), {400, 50, 371, 596}, Gbk("第二个窗口"), other_listener);
  auto first = windows_->CreateSurface(*other, {0, 0, 100, 100}, first_listener);
  auto second = windows_->CreateSurface(*other, {0, 100, 100, 100}, second_listener);
  second->SetFocus();
  EXPECT_FALSE(second->HasFocus());
  other->Show();
  Pump();
  EXPECT_TRUE(other->IsActive());
  EXPECT_TRUE(second->HasFocus());
  EXPECT_FALSE(first->HasFocus());
  window_->Activate();
  Pump();
  EXPECT_FALSE(second->HasFocus());
  other->Activate();
  Pump();
  EXPECT_TRUE(second->HasFocus());
  EXPECT_EQ(other_listener.trace.find("focus"), std::string::npos) << "the window itself is no control";
}

TEST_F(WindowTest, TheBackgroundFillsTheClientAreaOutsideTheControls) {
  window_->SetBackground(Rgb(255, 255, 0));
  UpdateWindow(Handle(*window_));
  HDC dc = GetDC(Handle(*window_));
  EXPECT_EQ(GetPixel(dc, 360, 560), RGB(255, 255, 0));
  ReleaseDC(Handle(*window_), dc);
  window_->SetBackground(Rgb(212, 208, 200));
  UpdateWindow(Handle(*window_));
  dc = GetDC(Handle(*window_));
  EXPECT_EQ(GetPixel(dc, 360, 560), RGB(212, 208, 200));
  ReleaseDC(Handle(*window_), dc);
}

TEST_F(WindowTest, ActivationChangesReachTheListenerSayingWhetherTheyLeftTheProgram) {
  Recorder box_listener;
  auto box = windows_->CreateTopLevelWindow(WindowStyle{}, {0, 0, 100, 100}, "box", box_listener);
  SendMessageW(Handle(*window_), WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(Handle(*box)));
  SendMessageW(Handle(*window_), WM_ACTIVATE, WA_ACTIVE, 0);
  SendMessageW(Handle(*window_), WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(GetDesktopWindow()));
  SendMessageW(Handle(*window_), WM_ACTIVATE, WA_INACTIVE, 0);
  EXPECT_EQ(window_listener_.trace, "inactive active inactive(other) inactive(other) ");
}

TEST_F(WindowTest, AnEndingSessionAsksTheLoopToSaveAndACancelledEndDoesNot) {
  int saves = 0;
  Shared().loop->SetSaveRequestHandler([&saves] { ++saves; });
  SendMessageW(Handle(*window_), WM_ENDSESSION, FALSE, 0);
  EXPECT_EQ(saves, 0);
  SendMessageW(Handle(*window_), WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
  EXPECT_EQ(saves, 1);
  Shared().loop->SetSaveRequestHandler({});
}

TEST_F(WindowTest, AltKeysGoToTheWindowBeforeAnyControl) {
  Recorder button_listener;
  auto button = windows_->CreateButton(*window_, {8, 14, 80, 60}, button_listener);
  button->SetCaption("\r\n&W");
  button->SetFocus();
  Pump();
  button_listener.trace.clear();

  // Alt+W while the button has the focus: the window hears it first.
  MSG alt_w = Message(Handle(*button), WM_SYSKEYDOWN, 'W', static_cast<LPARAM>(KF_ALTDOWN) << 16 | 1);
  window_listener_.mnemonic_answer = true;
  EXPECT_TRUE(PreDispatchMessage(alt_w));
  EXPECT_EQ(window_listener_.trace, "mnemonic87 ");

  // Not taken by the window: it goes on to the control as a key.
  window_listener_.mnemonic_answer = false;
  EXPECT_FALSE(PreDispatchMessage(alt_w));
  // The character Alt+W makes is never a native mnemonic: the button with
  // "&W" is not clicked by dialog navigation.
  MSG alt_char = Message(Handle(*button), WM_SYSCHAR, 'w', static_cast<LPARAM>(KF_ALTDOWN) << 16 | 1);
  EXPECT_TRUE(PreDispatchMessage(alt_char));
  EXPECT_EQ(button_listener.trace, "");

  // Without Alt it is an ordinary key.
  MSG plain = Message(Handle(*button), WM_KEYDOWN, 'W', 1);
  EXPECT_FALSE(PreDispatchMessage(plain));
  EXPECT_EQ(window_listener_.trace, "mnemonic87 mnemonic87 ");
}

bool ShowsChinese(HFONT font) {
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  WORD glyph = 0xFFFF;
  const wchar_t zhong = 0x4E2D;
  GetGlyphIndicesW(dc, &zhong, 1, &glyph, GGI_MARK_NONEXISTING_GLYPHS);
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return glyph != 0xFFFF;
}

TEST_F(WindowTest, SystemColoursAreTheSystemsAndTheDefaultFontShowsChinese) {
  EXPECT_EQ(windows_->GetSystemColor(SystemColor::kButtonFace), FromColorRef(GetSysColor(COLOR_BTNFACE)));
  EXPECT_EQ(windows_->GetSystemColor(SystemColor::kHighlight), FromColorRef(GetSysColor(COLOR_HIGHLIGHT)));
  Font font = windows_->DefaultGuiFont();
  EXPECT_FALSE(font.face.empty());
  EXPECT_GT(font.height, 0);
  // Whatever the system's own GUI face: the program's texts are Chinese.
  EXPECT_TRUE(ShowsChinese(FontHandle(font)));
  Recorder listener;
  auto edit = windows_->CreateEdit(*window_, {0, 0, 80, 20}, listener);
  auto list = windows_->CreateDropDownList(*window_, {0, 30, 80, 20}, listener);
  EXPECT_TRUE(ShowsChinese(reinterpret_cast<HFONT>(SendMessageW(Handle(*edit), WM_GETFONT, 0, 0))));
  EXPECT_TRUE(ShowsChinese(reinterpret_cast<HFONT>(SendMessageW(Handle(*list), WM_GETFONT, 0, 0))));
  // A default face at another height keeps showing Chinese.
  edit->SetFont({"", 20});
  EXPECT_TRUE(ShowsChinese(reinterpret_cast<HFONT>(SendMessageW(Handle(*edit), WM_GETFONT, 0, 0))));
  // The rich edit control writes in the same face.
  auto rich = windows_->CreateRichEdit(*window_, {0, 264, 365, 200}, listener);
  CHARFORMAT2W format{};
  format.cbSize = sizeof(format);
  SendMessageW(Handle(*rich), EM_GETCHARFORMAT, SCF_DEFAULT, reinterpret_cast<LPARAM>(&format));
  LOGFONTW chosen{};
  GetObjectW(FontHandle(font), sizeof(chosen), &chosen);
  EXPECT_EQ(std::wstring(format.szFaceName), std::wstring(chosen.lfFaceName));
}

}  // namespace
}  // namespace tarnwick::win32::testing
