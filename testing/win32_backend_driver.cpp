// The contract suite on Win32, under Wine (or Windows): the user's input is
// posted to the window the system would give it (the window under the
// pointer, the focus for keys, characters and the wheel) and goes
// through the event loop as real input does; dialogs are answered by a timer
// of the loop that finds them while their modal loop runs.
#include <algorithm>
#include <cwchar>
#include <deque>
#include <iterator>

#include "base/text.h"
#include "platform/win32/win32_canvas.h"
#include "platform/win32/win32_platform.h"
#include "platform/win32/win32_window_handle.h"
#include "testing/backend_driver.h"

namespace tarnwick::testing {
namespace {

// The dialog box of this thread that is shown, if any.
HWND ShownDialog() {
  HWND found = nullptr;
  EnumThreadWindows(
      GetCurrentThreadId(),
      [](HWND window, LPARAM result) -> BOOL {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        if (wcscmp(name, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
        *reinterpret_cast<HWND*>(result) = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// Key presses with the modifiers of key_state held, as the keyboard state
// the system's dialog navigation and translation read.
class HeldModifiers {
 public:
  explicit HeldModifiers(int key_state) {
    GetKeyboardState(saved_);
    BYTE held[256];
    std::copy(std::begin(saved_), std::end(saved_), std::begin(held));
    held[VK_SHIFT] = (key_state & kKeyStateShift) ? 0x80 : 0;
    held[VK_CONTROL] = (key_state & kKeyStateCtrl) ? 0x80 : 0;
    held[VK_MENU] = (key_state & kKeyStateAlt) ? 0x80 : 0;
    SetKeyboardState(held);
  }
  ~HeldModifiers() { SetKeyboardState(saved_); }

 private:
  BYTE saved_[256];
};

class Win32BackendDriver : public BackendDriver {
 public:
  Platform& platform() override { return platform_; }
  std::string name() const override { return "win32"; }

  void ShowActive(NativeWindow& window) override {
    window.Show();
    window.Activate();
    Settle();
    EXPECT_TRUE(window.IsActive()) << "the window did not become active";
  }
  void Settle() override {
    for (int round = 0; round < 3; ++round) platform_.loop().ProcessPendingEvents();
  }
  void RunFor(int milliseconds) override {
    DWORD start = GetTickCount();
    while (GetTickCount() - start < static_cast<DWORD>(milliseconds)) {
      platform_.loop().ProcessPendingEvents();
      Sleep(2);
    }
    Settle();
  }

  void Click(NativeWindow& window, Point client, MouseButton button) override {
    // The window the system gives the input to: the deepest shown and
    // enabled one under the point that does not let it through (a group
    // frame does).
    HWND root = win32::WindowHandleOf(&window);
    POINT local{client.x, client.y};
    ClientToScreen(root, &local);
    HWND target = WindowFromPoint(local);
    if (target == nullptr || (target != root && !IsChild(root, target))) target = root;
    ScreenToClient(target, &local);
    bool right = button == MouseButton::kRight;
    LPARAM at = MAKELPARAM(local.x, local.y);
    PostMessageW(target, WM_MOUSEMOVE, 0, at);
    PostMessageW(target, right ? WM_RBUTTONDOWN : WM_LBUTTONDOWN, right ? MK_RBUTTON : MK_LBUTTON, at);
    PostMessageW(target, right ? WM_RBUTTONUP : WM_LBUTTONUP, 0, at);
    Settle();
  }
  // The system sends the turn to the focus, with the pointer's screen position.
  void TurnWheel(NativeWindow& window, Point client, int delta) override {
    POINT screen{client.x, client.y};
    ClientToScreen(win32::WindowHandleOf(&window), &screen);
    PostMessageW(KeyTarget(), WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(screen.x, screen.y));
    Settle();
  }
  void PressKey(int key_code, int key_state) override {
    HeldModifiers held(key_state);
    bool alt = key_state & kKeyStateAlt;
    LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(static_cast<UINT>(key_code), MAPVK_VK_TO_VSC)) << 16;
    LPARAM alt_flag = alt ? static_cast<LPARAM>(KF_ALTDOWN) << 16 : 0;
    PostMessageW(KeyTarget(), alt ? WM_SYSKEYDOWN : WM_KEYDOWN, static_cast<WPARAM>(key_code), 1 | scan | alt_flag);
    Settle();
    // The release goes to the focus as the press left it.
    PostMessageW(KeyTarget(), alt ? WM_SYSKEYUP : WM_KEYUP, static_cast<WPARAM>(key_code),
                 1 | scan | alt_flag | static_cast<LPARAM>(0xC0000000u));
    Settle();
  }
  void TypeText(std::string_view text) override {
    for (char16_t unit : GbkToUtf16(text)) {
      PostMessageW(KeyTarget(), WM_CHAR, unit, 1);
      Settle();
    }
  }
  void RequestClose(NativeWindow& window) override {
    SendMessageW(win32::WindowHandleOf(&window), WM_SYSCOMMAND, SC_CLOSE, 0);
    Settle();
  }

  void AnswerNextMessageBox(MessageResult answer, std::function<void()> while_shown) override {
    int command = IDCANCEL;
    switch (answer) {
      case MessageResult::kOk: command = IDOK; break;
      case MessageResult::kCancel: command = IDCANCEL; break;
      case MessageResult::kYes: command = IDYES; break;
      case MessageResult::kNo: command = IDNO; break;
      case MessageResult::kRetry: command = IDRETRY; break;
    }
    AnswerNextDialog([command, while_shown](HWND box) {
      if (while_shown) while_shown();
      PostMessageW(box, WM_COMMAND, static_cast<WPARAM>(command), 0);
    });
  }
  void AnswerNextInputBox(std::optional<std::string> typed) override {
    AnswerNextDialog([typed](HWND dialog) {
      if (typed) SetDlgItemTextW(dialog, kInputBoxEntry, win32::WideText(*typed).c_str());
      PostMessageW(dialog, WM_COMMAND, typed ? IDOK : IDCANCEL, 0);
    });
  }

  Color PixelAt(const Canvas& canvas, Point at) override {
    return static_cast<const win32::Win32Canvas&>(canvas).PixelAt(at);
  }

 private:
  static constexpr int kInputBoxEntry = 101;

  static HWND KeyTarget() {
    HWND focus = GetFocus();
    return focus != nullptr ? focus : GetActiveWindow();
  }

  // A timer of the loop, ticking inside the dialog's modal loop, finds the
  // dialog and acts on it once.
  void AnswerNextDialog(std::function<void(HWND)> act) {
    answers_.push_back(std::move(act));
    if (timer_ != 0) return;
    answered_ = nullptr;
    timer_ = platform_.loop().StartTimer(20, [this] {
      HWND dialog = ShownDialog();
      if (dialog == nullptr) answered_ = nullptr;  // the one answered has gone
      if (dialog == nullptr || dialog == answered_) return;
      answered_ = dialog;
      std::function<void(HWND)> act = std::move(answers_.front());
      answers_.pop_front();
      if (answers_.empty()) {
        platform_.loop().StopTimer(timer_);
        timer_ = 0;
      }
      act(dialog);
    });
  }

  win32::Win32Platform platform_;
  std::deque<std::function<void(HWND)>> answers_;
  EventLoop::TimerId timer_ = 0;
  HWND answered_ = nullptr;
};

}  // namespace

std::unique_ptr<BackendDriver> MakeBackendDriver() { return std::make_unique<Win32BackendDriver>(); }

}  // namespace tarnwick::testing
