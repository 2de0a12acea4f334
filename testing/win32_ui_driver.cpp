// The widget behaviour tests on the Win32 backend (under Wine, or Windows).
//
// Pointer, wheel and keys go in through SendInput, so the system routes them
// as it routes a user's: hit testing, capture, activation, double clicks,
// the keyboard focus, dialog navigation. Modifier keys are really held
// while the input goes in (the mouse messages' key bits and GetKeyState see
// them), but their own key messages are held back by a keyboard hook: on the
// other backends a key state is a state, not a key that the focused control
// hears. Typed text arrives as WM_CHAR, as an input method delivers it.
// Message boxes, input boxes and popup menus are found among the thread's
// windows while their modal loops run and are answered through their own
// controls. What the user sees is read from the windows' pixels.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <commctrl.h>

#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <set>

#include "base/text.h"
#include "platform/win32/win32_canvas.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_window_handle.h"
#include "testing/text_strokes.h"
#include "testing/ui_driver.h"

namespace tarnwick::testing {
namespace {

using win32::GbkText;
using win32::WideText;

std::wstring ClassOf(HWND hwnd) {
  wchar_t name[64] = {};
  GetClassNameW(hwnd, name, 64);
  return name;
}

std::string TextOf(HWND hwnd) {
  int length = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), length + 1)));
  return GbkText(text);
}

std::vector<HWND> ChildrenOf(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM list) {
        reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&children));
  return children;
}

// The text of a dialog's static control that shows one (the message or the
// prompt; the icon's static has none).
std::string StaticTextOf(HWND dialog) {
  for (HWND child : ChildrenOf(dialog)) {
    if (_wcsicmp(ClassOf(child).c_str(), L"Static") == 0 && GetWindowTextLengthW(child) > 0) return TextOf(child);
  }
  return {};
}

bool HasChildOfClass(HWND dialog, const wchar_t* name) {
  for (HWND child : ChildrenOf(dialog)) {
    if (_wcsicmp(ClassOf(child).c_str(), name) == 0) return true;
  }
  return false;
}

bool HasButton(HWND dialog, int id) {
  HWND button = GetDlgItem(dialog, id);
  return button != nullptr && (GetWindowLongPtrW(button, GWL_STYLE) & WS_VISIBLE) != 0;
}

void Send(std::vector<INPUT> inputs) {
  if (inputs.empty()) return;
  UINT sent = SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
  EXPECT_EQ(sent, inputs.size()) << "SendInput refused the input";
}

INPUT Key(int virtual_key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = static_cast<WORD>(virtual_key);
  input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(static_cast<UINT>(virtual_key), MAPVK_VK_TO_VSC));
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  bool extended = (virtual_key >= VK_PRIOR && virtual_key <= VK_DOWN) || virtual_key == VK_INSERT ||
                  virtual_key == VK_DELETE;
  if (extended) input.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
  return input;
}

INPUT Mouse(DWORD flags, DWORD data = 0) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dwFlags = flags;
  input.mi.mouseData = data;
  return input;
}

// A move to a screen point, in the 0..65535 coordinates of the primary
// screen, rounded up so that the system's scaling lands on the pixel.
INPUT MoveTo(POINT at) {
  int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
  INPUT input = Mouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE);
  input.mi.dx = static_cast<LONG>((static_cast<long long>(at.x) * 65536 + width - 1) / width);
  input.mi.dy = static_cast<LONG>((static_cast<long long>(at.y) * 65536 + height - 1) / height);
  return input;
}

DWORD DownFlag(MouseButton button) {
  switch (button) {
    case MouseButton::kRight: return MOUSEEVENTF_RIGHTDOWN;
    case MouseButton::kMiddle: return MOUSEEVENTF_MIDDLEDOWN;
    default: return MOUSEEVENTF_LEFTDOWN;
  }
}
// Each button's up flag is twice its down flag.
DWORD UpFlag(MouseButton button) { return DownFlag(button) << 1; }

std::vector<int> ModifierKeys(int key_state) {
  std::vector<int> held;
  if (key_state & kKeyStateCtrl) held.push_back(VK_CONTROL);
  if (key_state & kKeyStateShift) held.push_back(VK_SHIFT);
  if (key_state & kKeyStateAlt) held.push_back(VK_MENU);
  return held;
}

class Win32UiDriver;
Win32UiDriver* g_driver = nullptr;  // for the hook and the timer, which carry no data

class Win32UiDriver : public UiDriver {
 public:
  Win32UiDriver() {
    g_driver = this;
    keyboard_hook_ = SetWindowsHookExW(WH_KEYBOARD, &KeyboardHook, nullptr, GetCurrentThreadId());
    dialog_timer_ = SetTimer(nullptr, 0, 40, &WatchDialogs);
    ParkPointer();
  }
  ~Win32UiDriver() override {
    ReleaseHeldKey();
    Settle();
    KillTimer(nullptr, dialog_timer_);
    UnhookWindowsHookEx(keyboard_hook_);
    // The thread's queue outlives the test: a quit the program asked for
    // must not end the next test's loop.
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    g_driver = nullptr;
    EXPECT_TRUE(answers_.empty()) << answers_.size() << " armed dialog answers were not used";
  }

  Platform& platform() override { return platform_; }
  std::string backend() const override { return "win32"; }
  // Wine shows its windows on the X display that DISPLAY names.
  std::string Unavailable() const override {
    const char* display = std::getenv("DISPLAY");
    return display != nullptr && *display != '\0' ? std::string() : "real windows need a display; DISPLAY is not set";
  }

  void WaitUntilShown(Window& window) override {
    HWND hwnd = Handle(window);
    bool shown = PumpUntil([hwnd] { return IsWindowVisible(hwnd) && GetForegroundWindow() == hwnd; });
    EXPECT_TRUE(shown) << "the window did not become the active one";
    RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Settle();
  }

  void MovePointer(Window& window, Point client) override {
    ReleaseHeldKey();
    Send({MoveTo(ToScreen(window, client))});
    SettleLeaving();
  }
  void PressButton(Window& window, Point client, MouseButton button, int key_state) override {
    ReleaseHeldKey();
    Hold(key_state, [&] { Send({MoveTo(ToScreen(window, client)), Mouse(DownFlag(button))}); });
  }
  void ReleaseButton(Window& window, Point client, MouseButton button, int key_state) override {
    ReleaseHeldKey();
    Hold(key_state, [&] { Send({MoveTo(ToScreen(window, client)), Mouse(UpFlag(button))}); });
    SettleLeaving();
  }
  void Click(Window& window, Point client, MouseButton button, int key_state) override {
    ReleaseHeldKey();
    Hold(key_state, [&] { Send({MoveTo(ToScreen(window, client)), Mouse(DownFlag(button)), Mouse(UpFlag(button))}); });
    SettleLeaving();
  }
  // Two clicks within the double-click time: the system makes the second
  // press a double click.
  void DoubleClick(Window& window, Point client) override {
    ReleaseHeldKey();
    Send({MoveTo(ToScreen(window, client)), Mouse(MOUSEEVENTF_LEFTDOWN), Mouse(MOUSEEVENTF_LEFTUP),
          Mouse(MOUSEEVENTF_LEFTDOWN), Mouse(MOUSEEVENTF_LEFTUP)});
    Settle();
  }
  void MovePointerAway(Window&) override {
    ReleaseHeldKey();
    ParkPointer();
  }

  // A turn with the pointer over another program's window would never reach
  // this one: a pointer outside the focused window goes first to a spot of
  // the window where no control is, so no control hears it move.
  void TurnWheel(int delta, int key_state) override {
    ReleaseHeldKey();
    HWND root = GetAncestor(GetFocus(), GA_ROOT);
    POINT cursor{};
    GetCursorPos(&cursor);
    if (root != nullptr && GetAncestor(WindowFromPoint(cursor), GA_ROOT) != root) {
      Send({MoveTo(BareSpotOf(root))});
      SettleLeaving();
    }
    Hold(key_state, [&] { Send({Mouse(MOUSEEVENTF_WHEEL, static_cast<DWORD>(delta))}); });
  }
  // The key stays down until the next input, which lets it go unheard.
  void KeyDown(int key_code, int key_state) override {
    ReleaseHeldKey();
    Hold(key_state, [&] { Send({Key(key_code, false)}); });
    held_key_ = key_code;
  }
  void PressKey(int key_code, int key_state) override {
    ReleaseHeldKey();
    Hold(key_state, [&] {
      Send({Key(key_code, false)});
      Settle();
      Send({Key(key_code, true)});
    });
  }
  // One character at a time to the focus; what the previous one caused runs
  // before the next arrives.
  void TypeText(std::string_view text) override {
    ReleaseHeldKey();
    for (std::size_t i = 0; i < text.size();) {
      std::size_t length = GbkCharLength(text, i);
      HWND focus = GetFocus();
      if (focus == nullptr) break;
      for (wchar_t unit : WideText(text.substr(i, length))) PostMessageW(focus, WM_CHAR, unit, 1);
      Settle();
      i += length;
    }
  }

  void AnswerNextMessageBox(MessageResult answer) override {
    answers_.push_back({Answer::Kind::kMessageBox, answer, std::nullopt, {}});
  }
  void AnswerNextInputBox(std::optional<std::string> typed) override {
    answers_.push_back({Answer::Kind::kInputBox, MessageResult::kOk, std::move(typed), {}});
  }
  void AnswerNextPopupMenu(std::string caption) override {
    answers_.push_back({Answer::Kind::kPopupMenu, MessageResult::kOk, std::nullopt, std::move(caption)});
  }
  std::vector<ShownDialog> ShownDialogs() override { return shown_; }

  // The close box sends the window this command.
  void RequestClose(Window& window) override {
    PostMessageW(Handle(window), WM_SYSCOMMAND, SC_CLOSE, 0);
    Settle();
  }

  // Until the queue stays empty: input that SendInput queued, what it
  // posted in turn, and the repaints. A quit request stays queued for the
  // loop's Run.
  void Settle() override {
    for (int quiet = 0, rounds = 0; quiet < 2; ++rounds) {
      if (rounds == 1000) {
        ADD_FAILURE() << "the message queue never ran empty";
        return;
      }
      platform_.loop().ProcessPendingEvents();
      MSG next{};
      bool more = MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE) != WAIT_TIMEOUT &&
                  PeekMessageW(&next, nullptr, 0, 0, PM_NOREMOVE) && next.message != WM_QUIT;
      quiet = more ? 0 : quiet + 1;
    }
  }

  Color PixelAt(const Control& control, Point local) override {
    HWND hwnd = Handle(control);
    if (hwnd == nullptr) return {};
    Shown(hwnd);
    HDC dc = GetDC(hwnd);
    COLORREF pixel = GetPixel(dc, local.x, local.y);
    ReleaseDC(hwnd, dc);
    EXPECT_NE(pixel, CLR_INVALID) << control.name() << " shows no pixel at " << local.x << "," << local.y;
    return win32::FromColorRef(pixel);
  }

  bool ShowsTextIn(const Control& control, Color color) override {
    HWND hwnd = Handle(control);
    if (hwnd == nullptr) return false;
    Shown(hwnd);
    RECT client{};
    GetClientRect(hwnd, &client);
    int width = client.right, height = client.bottom;
    if (width <= 0 || height <= 0) return false;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // rows top to bottom
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(hwnd);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
    GdiFlush();
    std::vector<Color> pixels;
    pixels.reserve(static_cast<std::size_t>(width) * height);
    const auto* words = static_cast<const std::uint32_t*>(bits);
    for (int i = 0; i < width * height; ++i) {
      std::uint32_t word = words[i];  // 0x00RRGGBB
      pixels.push_back(Rgb((word >> 16) & 0xFF, (word >> 8) & 0xFF, word & 0xFF));
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(hwnd, screen);
    return ShowsTextStrokesIn(pixels, width, height, color);
  }

  // The innermost shown window under the point, then the control it belongs to.
  const Control* ControlAt(Window& window, Point client) override {
    HWND root = Handle(window);
    RECT area{};
    GetClientRect(root, &area);
    POINT at{client.x, client.y};
    if (!PtInRect(&area, at)) return nullptr;
    HWND hwnd = root;
    for (;;) {
      HWND child = ChildWindowFromPointEx(hwnd, at, CWP_SKIPINVISIBLE);
      if (child == nullptr || child == hwnd) break;
      MapWindowPoints(hwnd, child, &at, 1);
      hwnd = child;
    }
    for (; hwnd != nullptr && hwnd != root; hwnd = GetParent(hwnd)) {
      for (const auto& control : window.controls()) {
        if (control->native() != nullptr && Handle(*control) == hwnd) return control.get();
      }
    }
    return nullptr;
  }

  // The text the window's tooltip control holds for the control.
  std::string ToolTip(const Control& control) override {
    HWND hwnd = Handle(control);
    if (hwnd == nullptr) return {};
    HWND root = GetAncestor(hwnd, GA_ROOT);
    for (HWND tip = FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr); tip != nullptr;
         tip = FindWindowExW(nullptr, tip, TOOLTIPS_CLASSW, nullptr)) {
      if (GetWindow(tip, GW_OWNER) != root) continue;
      wchar_t text[512] = {};
      TTTOOLINFOW info{};
      info.cbSize = TTTOOLINFOW_V2_SIZE;
      info.hwnd = root;
      info.uId = reinterpret_cast<UINT_PTR>(hwnd);
      info.lpszText = text;
      SendMessageW(tip, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&info));
      return GbkText(text);
    }
    return {};
  }
  bool IsShown(const Control& control) override {
    HWND hwnd = Handle(control);
    return hwnd != nullptr && IsWindowVisible(hwnd);
  }

 private:
  struct Answer {
    enum class Kind { kMessageBox, kInputBox, kPopupMenu } kind;
    MessageResult result = MessageResult::kOk;
    std::optional<std::string> typed;
    std::string caption;
  };

  static HWND Handle(Window& window) { return win32::WindowHandleOf(&window.native_window()); }
  static HWND Handle(const Control& control) {
    HWND hwnd = win32::WindowHandleOf(control.native());
    if (hwnd == nullptr) ADD_FAILURE() << control.name() << " has no window of its own";
    return hwnd;
  }
  static POINT ToScreen(Window& window, Point client) {
    POINT at{client.x, client.y};
    ClientToScreen(Handle(window), &at);
    return at;
  }

  // A screen point of the window's client area outside every control (its
  // centre when there is none).
  static POINT BareSpotOf(HWND root) {
    RECT area{};
    GetClientRect(root, &area);
    POINT spot{area.right / 2, area.bottom / 2};
    for (int y = area.bottom - 4; y > 0; y -= 8) {
      for (int x = area.right - 4; x > 0; x -= 8) {
        if (ChildWindowFromPointEx(root, {x, y}, CWP_SKIPINVISIBLE) == root) {
          spot = {x, y};
          y = 0;
          break;
        }
      }
    }
    ClientToScreen(root, &spot);
    return spot;
  }

  // Everything pending handled and the window's invalid parts painted.
  void Shown(HWND hwnd) {
    Settle();
    RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  }

  // Pumps the queue until the condition holds, for a few seconds at most.
  bool PumpUntil(const std::function<bool()>& done) {
    for (int waited = 0; waited < 5000; waited += 10) {
      platform_.loop().ProcessPendingEvents();
      if (done()) return true;
      MsgWaitForMultipleObjectsEx(0, nullptr, 10, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    return false;
  }

  // The pointer rests in the screen's far corner, away from every test
  // window, so that no window shown later finds it over a control.
  void ParkPointer() {
    Send({MoveTo({GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1})});
    SettleLeaving();
  }

  // A window the pointer left hears of it from the system's tracking, on a
  // timer of its own: waits for it, so the leave lands before the next step.
  void SettleLeaving() {
    Settle();
    PumpUntil([] {
      TRACKMOUSEEVENT tracking{sizeof(TRACKMOUSEEVENT), TME_QUERY, nullptr, 0};
      if (!TrackMouseEvent(&tracking) || (tracking.dwFlags & TME_LEAVE) == 0 || !IsWindow(tracking.hwndTrack)) {
        return true;
      }
      POINT cursor{};
      GetCursorPos(&cursor);
      return WindowFromPoint(cursor) == tracking.hwndTrack;
    });
    Settle();
  }

  // Holds the modifier keys down around the input, unheard.
  void Hold(int key_state, const std::function<void()>& input) {
    std::vector<int> held = ModifierKeys(key_state);
    for (int key : held) Silence(key, false);
    Settle();
    input();
    Settle();
    for (auto key = held.rbegin(); key != held.rend(); ++key) Silence(*key, true);
    Settle();
  }
  void Silence(int key, bool up) {
    ++silenced_[key];
    Send({Key(key, up)});
  }
  void ReleaseHeldKey() {
    if (held_key_ == 0) return;
    Silence(held_key_, true);
    held_key_ = 0;
    Settle();
  }

  static LRESULT CALLBACK KeyboardHook(int code, WPARAM key, LPARAM flags) {
    if (code >= 0 && g_driver != nullptr) {
      auto found = g_driver->silenced_.find(static_cast<int>(key));
      if (found != g_driver->silenced_.end() && found->second > 0) {
        --found->second;
        return 1;  // the system drops the message
      }
    }
    return CallNextHookEx(nullptr, code, key, flags);
  }

  // Runs from the modal loops of the dialogs too: finds the thread's newly
  // shown message boxes, input boxes and popup menus and answers them.
  static void CALLBACK WatchDialogs(HWND, UINT, UINT_PTR, DWORD) {
    if (g_driver == nullptr) return;
    std::vector<HWND> windows;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM list) {
          reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    for (HWND hwnd : windows) {
      if (!IsWindowVisible(hwnd) || g_driver->answered_.count(hwnd) != 0) continue;
      std::wstring name = ClassOf(hwnd);
      if (name != L"#32770" && name != L"#32768") continue;
      g_driver->answered_.insert(hwnd);
      g_driver->Respond(hwnd, name == L"#32768");
    }
    for (auto it = g_driver->answered_.begin(); it != g_driver->answered_.end();) {
      it = IsWindow(*it) ? std::next(it) : g_driver->answered_.erase(it);
    }
  }

  std::optional<Answer> NextAnswer(Answer::Kind kind, const std::string& what) {
    if (answers_.empty() || answers_.front().kind != kind) {
      ADD_FAILURE() << "an unexpected " << what;
      return std::nullopt;
    }
    Answer answer = answers_.front();
    answers_.pop_front();
    return answer;
  }

  void Respond(HWND hwnd, bool menu) {
    ShownDialog dialog;
    dialog.title = TextOf(hwnd);
    dialog.owned = GetWindow(hwnd, GW_OWNER) != nullptr;
    if (menu) {
      RespondToMenu(hwnd, dialog);
    } else if (HasChildOfClass(hwnd, L"Edit")) {
      RespondToInputBox(hwnd, dialog);
    } else {
      RespondToMessageBox(hwnd, dialog);
    }
  }

  void RespondToMessageBox(HWND box, ShownDialog& dialog) {
    dialog.text = StaticTextOf(box);
    dialog.buttons = HasButton(box, IDRETRY)                            ? MessageButtons::kRetryCancel
                     : HasButton(box, IDYES) && HasButton(box, IDCANCEL) ? MessageButtons::kYesNoCancel
                     : HasButton(box, IDYES)                             ? MessageButtons::kYesNo
                     : HasButton(box, IDCANCEL)                          ? MessageButtons::kOkCancel
                                                                         : MessageButtons::kOk;
    shown_.push_back(dialog);
    std::optional<Answer> answer = NextAnswer(Answer::Kind::kMessageBox, "message box: " + dialog.text);
    int id = IDCANCEL;
    if (answer) {
      switch (answer->result) {
        case MessageResult::kOk: id = IDOK; break;
        case MessageResult::kCancel: id = IDCANCEL; break;
        case MessageResult::kYes: id = IDYES; break;
        case MessageResult::kNo: id = IDNO; break;
        case MessageResult::kRetry: id = IDRETRY; break;
      }
      if (!HasButton(box, id)) {
        ADD_FAILURE() << "the message box has no such button: " << dialog.text;
        id = IDCANCEL;
      }
    }
    ClickButton(box, id);
  }

  void RespondToInputBox(HWND box, ShownDialog& dialog) {
    dialog.text = StaticTextOf(box);
    HWND entry = nullptr;
    for (HWND child : ChildrenOf(box)) {
      if (_wcsicmp(ClassOf(child).c_str(), L"Edit") == 0) entry = child;
    }
    dialog.masked = SendMessageW(entry, EM_GETPASSWORDCHAR, 0, 0) != 0;
    dialog.confirm_caption = TextOf(GetDlgItem(box, IDOK));
    dialog.cancel_caption = TextOf(GetDlgItem(box, IDCANCEL));
    shown_.push_back(dialog);
    std::optional<Answer> answer = NextAnswer(Answer::Kind::kInputBox, "input box: " + dialog.text);
    if (!answer || !answer->typed) {
      ClickButton(box, IDCANCEL);
      return;
    }
    // Typed into the entry, then confirmed: posted in that order.
    for (wchar_t unit : WideText(*answer->typed)) PostMessageW(entry, WM_CHAR, unit, 1);
    ClickButton(box, IDOK);
  }

  void RespondToMenu(HWND menu_window, ShownDialog& dialog) {
    auto menu = reinterpret_cast<HMENU>(SendMessageW(menu_window, MN_GETHMENU, 0, 0));
    RECT placed{};
    GetWindowRect(menu_window, &placed);
    dialog.position = {placed.left, placed.top};
    int chosen = -1;
    std::optional<Answer> answer = NextAnswer(Answer::Kind::kPopupMenu, "popup menu");
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
      wchar_t caption[256] = {};
      MENUITEMINFOW item{};
      item.cbSize = sizeof(item);
      item.fMask = MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
      item.dwTypeData = caption;
      item.cch = 255;
      GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &item);
      MenuEntry entry;
      entry.separator = (item.fType & MFT_SEPARATOR) != 0;
      entry.caption = entry.separator ? std::string() : GbkText(caption);
      entry.checked = (item.fState & MFS_CHECKED) != 0;
      entry.disabled = (item.fState & MFS_DISABLED) != 0;
      if (answer && !answer->caption.empty() && entry.caption == answer->caption) chosen = i;
      dialog.menu.push_back(entry);
    }
    shown_.push_back(dialog);
    RECT item{};
    if (chosen < 0 || !GetMenuItemRect(nullptr, menu, static_cast<UINT>(chosen), &item)) {
      EndMenu();
      return;
    }
    // The user clicks the entry.
    Send({MoveTo({(item.left + item.right) / 2, (item.top + item.bottom) / 2}), Mouse(MOUSEEVENTF_LEFTDOWN),
          Mouse(MOUSEEVENTF_LEFTUP)});
  }

  static void ClickButton(HWND dialog, int id) {
    HWND button = GetDlgItem(dialog, id);
    if (button != nullptr) {
      PostMessageW(button, BM_CLICK, 0, 0);
    } else {
      PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    }
  }

  win32::Win32Platform platform_;
  HHOOK keyboard_hook_ = nullptr;
  UINT_PTR dialog_timer_ = 0;
  std::map<int, int> silenced_;  // key messages the hook drops, by key
  int held_key_ = 0;
  std::deque<Answer> answers_;
  std::vector<ShownDialog> shown_;
  std::set<HWND> answered_;
};

}  // namespace

std::unique_ptr<UiDriver> MakeUiDriver() { return std::make_unique<Win32UiDriver>(); }

}  // namespace tarnwick::testing
