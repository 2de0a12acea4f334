#include "platform/win32/win32_event_loop.h"

namespace tarnwick::win32 {
namespace {

constexpr UINT kRunTaskMessage = WM_APP + 1;
constexpr wchar_t kClassName[] = L"TarnwickEventLoop";

}  // namespace

Win32EventLoop::Win32EventLoop() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof(window_class);
  window_class.lpfnWndProc = WindowProcedure;
  window_class.hInstance = instance;
  window_class.lpszClassName = kClassName;
  RegisterClassExW(&window_class);  // fails harmlessly when a second loop registers it again
  window_ = CreateWindowExW(0, kClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
}

Win32EventLoop::~Win32EventLoop() {
  for (TimerId id : timers_.Ids()) KillTimer(window_, static_cast<UINT_PTR>(id));
  SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
  DestroyWindow(window_);
}

LRESULT CALLBACK Win32EventLoop::WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* loop = reinterpret_cast<Win32EventLoop*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (loop != nullptr) {
    if (message == kRunTaskMessage) {
      loop->RunNextTask();
      return 0;
    }
    if (message == WM_TIMER) {
      loop->timers_.Tick(static_cast<TimerId>(wparam));
      return 0;
    }
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void Win32EventLoop::Post(std::function<void()> task) {
  // One message per task, so tasks keep their place among the other posted
  // messages; the tasks themselves run in posting order from the queue.
  tasks_.push_back(std::move(task));
  PostMessageW(window_, kRunTaskMessage, 0, 0);
}

void Win32EventLoop::RunNextTask() {
  if (tasks_.empty()) return;
  std::function<void()> task = std::move(tasks_.front());
  tasks_.pop_front();
  task();
}

EventLoop::TimerId Win32EventLoop::StartTimer(int interval_ms, std::function<void()> callback) {
  TimerId id = timers_.Add(std::move(callback));
  // WM_TIMER is raised only when the queue is otherwise empty and is never
  // queued twice, so ticks do not pile up.
  SetTimer(window_, static_cast<UINT_PTR>(id), static_cast<UINT>(interval_ms > 0 ? interval_ms : 1), nullptr);
  return id;
}

void Win32EventLoop::StopTimer(TimerId id) {
  if (timers_.Remove(id)) KillTimer(window_, static_cast<UINT_PTR>(id));
}

void Win32EventLoop::Handle(MSG& message) {
  if (pre_dispatch_ && pre_dispatch_(message)) return;
  if (message.hwnd != nullptr && message.hwnd != window_) {
    HWND root = GetAncestor(message.hwnd, GA_ROOT);
    if (root != nullptr && IsDialogMessageW(root, &message)) return;
  }
  TranslateMessage(&message);
  DispatchMessageW(&message);
}

void Win32EventLoop::ProcessPendingEvents() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      // Left for Run to see.
      PostQuitMessage(static_cast<int>(message.wParam));
      return;
    }
    Handle(message);
  }
}

int Win32EventLoop::Run() {
  // Quit may come before the loop runs (start-up declined): end at once.
  if (quit_requested_) {
    MSG quit;
    PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // the thread's queue outlives this loop
    return exit_code_;
  }
  MSG message;
  for (;;) {
    BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) return static_cast<int>(message.wParam);
    if (got == -1) return exit_code_;
    Handle(message);
  }
}

void Win32EventLoop::Quit(int exit_code) {
  quit_requested_ = true;
  exit_code_ = exit_code;
  PostQuitMessage(exit_code);
}

std::uint32_t Win32EventLoop::TickCount() const { return GetTickCount(); }

void Win32EventLoop::Sleep(int milliseconds) {
  if (milliseconds > 0) ::Sleep(static_cast<DWORD>(milliseconds));
}

DateTime Win32EventLoop::LocalNow() const {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return EncodeDateTime({now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond});
}

Size Win32EventLoop::ScreenSize() const { return {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

Point Win32EventLoop::CursorPosition() const {
  POINT at{};
  GetCursorPos(&at);
  return {at.x, at.y};
}

}  // namespace tarnwick::win32
