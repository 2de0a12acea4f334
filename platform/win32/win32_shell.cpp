#include "platform/win32/win32_shell.h"

#include <windows.h>

#include <shellapi.h>

#include <vector>

#include "platform/win32/win32_canvas.h"

namespace tarnwick::win32 {
namespace {

// The clipboard, open for the life of the object (another program may hold
// it for a moment: a few tries).
class OpenedClipboard {
 public:
  OpenedClipboard() {
    for (int attempt = 0; attempt < 5 && !open_; ++attempt) {
      open_ = OpenClipboard(nullptr) != FALSE;
      if (!open_) ::Sleep(10);
    }
  }
  ~OpenedClipboard() {
    if (open_) CloseClipboard();
  }
  OpenedClipboard(const OpenedClipboard&) = delete;
  OpenedClipboard& operator=(const OpenedClipboard&) = delete;
  bool open() const { return open_; }

 private:
  bool open_ = false;
};

std::wstring RegistryText(HKEY root, const std::wstring& key, const wchar_t* value) {
  DWORD bytes = 0;
  if (RegGetValueW(root, key.c_str(), value, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, nullptr,
                   &bytes) != ERROR_SUCCESS ||
      bytes == 0) {
    return {};
  }
  std::vector<wchar_t> text(bytes / sizeof(wchar_t) + 1, L'\0');
  if (RegGetValueW(root, key.c_str(), value, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr,
                   text.data(), &bytes) != ERROR_SUCCESS) {
    return {};
  }
  return std::wstring(text.data());
}

}  // namespace

std::string Win32Shell::ClipboardText() const {
  OpenedClipboard clipboard;
  if (!clipboard.open()) return {};
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data == nullptr) return {};
  const auto* text = static_cast<const wchar_t*>(GlobalLock(data));
  if (text == nullptr) return {};
  // Bounded by the block's size: a text without its terminating NUL ends there.
  size_t limit = GlobalSize(data) / sizeof(wchar_t);
  size_t length = 0;
  while (length < limit && text[length] != L'\0') ++length;
  std::string result = GbkText(std::wstring_view(text, length));
  GlobalUnlock(data);
  return result;
}

void Win32Shell::SetClipboardText(std::string_view text) {
  std::wstring wide = WideText(text);
  OpenedClipboard clipboard;
  if (!clipboard.open()) return;
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t));
  if (block == nullptr) return;
  auto* target = static_cast<wchar_t*>(GlobalLock(block));
  if (target == nullptr) {
    GlobalFree(block);
    return;
  }
  wide.copy(target, wide.size());
  target[wide.size()] = L'\0';
  GlobalUnlock(block);
  // The clipboard owns the block once it is taken.
  if (SetClipboardData(CF_UNICODETEXT, block) == nullptr) GlobalFree(block);
}

bool Win32Shell::OpenWithShell(std::string_view target) {
  std::wstring wide = WideText(target);
  if (wide.empty()) return false;
  auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  return result > 32;
}

std::string Win32Shell::HtmlOpenCommand() const {
  // The user's own association first, then the machine's.
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    const std::wstring classes = L"Software\\Classes\\";
    std::wstring file_class = RegistryText(root, classes + L".htm", nullptr);
    if (file_class.empty()) continue;
    std::wstring command = RegistryText(root, classes + file_class + L"\\shell\\open\\command", nullptr);
    if (!command.empty()) return GbkText(command);
  }
  return {};
}

bool Win32Shell::RunCommandLine(std::string_view command_line) {
  std::wstring command = WideText(command_line);
  if (command.empty()) return false;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  // CreateProcessW may write into the command line: a copy of our own.
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

namespace {

constexpr wchar_t kCallClass[] = L"TarnwickCopyCall";
constexpr UINT kCalled = WM_APP + 1;

}  // namespace

Win32Shell::~Win32Shell() {
  if (listener_ != nullptr) DestroyWindow(listener_);
}

LRESULT CALLBACK Win32Shell::CallProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kCalled) {
    // A burst of calls is answered once: those still waiting go with this one.
    MSG waiting;
    while (PeekMessageW(&waiting, window, kCalled, kCalled, PM_REMOVE)) {
    }
    auto* shell = reinterpret_cast<Win32Shell*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (shell != nullptr && shell->called_) shell->called_();
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

bool Win32Shell::ListenForLaterCopies(std::string_view name, std::function<void()> called) {
  called_ = std::move(called);
  if (!called_) {
    if (listener_ != nullptr) DestroyWindow(listener_);
    listener_ = nullptr;
    return false;
  }
  if (listener_ != nullptr) return true;
  static const bool registered = [] {
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = CallProcedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = kCallClass;
    return RegisterClassW(&window_class) != 0;
  }();
  if (!registered) return false;
  listener_ = CreateWindowExW(0, kCallClass, WideText(name).c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  if (listener_ == nullptr) return false;
  SetWindowLongPtrW(listener_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  return true;
}

bool Win32Shell::CallListeningCopy(std::string_view name) {
  HWND listener = FindWindowExW(HWND_MESSAGE, nullptr, kCallClass, WideText(name).c_str());
  if (listener == nullptr) return false;
  // The caller has the foreground (the user started it); the called copy may
  // take it over.
  DWORD process = 0;
  GetWindowThreadProcessId(listener, &process);
  // Message windows are found on this desktop only; a copy of another
  // session is never called all the same.
  DWORD listener_session = 0;
  DWORD own_session = 0;
  if (!ProcessIdToSessionId(process, &listener_session) ||
      !ProcessIdToSessionId(GetCurrentProcessId(), &own_session) || listener_session != own_session) {
    return false;
  }
  AllowSetForegroundWindow(process);
  return PostMessageW(listener, kCalled, 0, 0) != FALSE;
}

}  // namespace tarnwick::win32
