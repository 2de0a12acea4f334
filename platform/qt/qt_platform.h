// The window-system layer on Qt 6 Widgets: the Platform that app/ builds on
// Linux desktops (and tests build on Qt's offscreen platform).
//
// A QApplication must exist before the QtPlatform is made and outlive it.
// MakeApplication creates one the way the program needs it: fonts resolved
// to installed CJK faces, X11 compatibility on Wayland sessions, and the
// program (not Qt) deciding when the last window's closing ends it.
#pragma once

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <map>
#include <memory>

#include "platform/platform.h"
#include "platform/timer_table.h"
#include "platform/qt/qt_window_system.h"

namespace tarnwick::qt {

// Sets the process up for Qt (QT_QPA_PLATFORM=xcb when a Wayland session is
// running and the user chose no platform) and creates the application.
std::unique_ptr<QApplication> MakeApplication(int& argc, char** argv);

class QtEventLoop : public EventLoop {
 public:
  QtEventLoop();
  ~QtEventLoop() override;

  void Post(std::function<void()> task) override;
  TimerId StartTimer(int interval_ms, std::function<void()> callback) override;
  void StopTimer(TimerId id) override;
  void ProcessPendingEvents() override;
  int Run() override;
  void Quit(int exit_code) override;
  void SetSaveRequestHandler(std::function<void()> handler) override;
  void SetDisplayLostHandler(std::function<void()> handler) override;
  std::uint32_t TickCount() const override;
  void Sleep(int milliseconds) override;
  DateTime LocalNow() const override;
  Size ScreenSize() const override;
  Point CursorPosition() const override;

 private:
  std::unique_ptr<QObject> receiver_;  // posted tasks are delivered to it
  std::function<void()> save_request_;
  std::unique_ptr<QSocketNotifier> signal_notifier_;
  TimerTable timers_;
  std::map<TimerId, QTimer*> native_timers_;
  bool quit_requested_ = false;
  int exit_code_ = 0;
};

class QtDialogs : public Dialogs {
 public:
  MessageResult ShowMessageBox(const MessageBoxRequest& request) override;
  std::optional<SecretText> ShowInputBox(const InputBoxRequest& request) override;
  std::optional<std::string> ShowFileDialog(const FileDialogRequest& request) override;
  int ShowPopupMenu(NativeWindow& owner, const std::vector<MenuEntry>& entries, Point screen_position) override;
};

class QtShell : public Shell {
 public:
  QtShell() = default;
  ~QtShell() override;
  QtShell(const QtShell&) = delete;
  QtShell& operator=(const QtShell&) = delete;

  std::string ClipboardText() const override;
  void SetClipboardText(std::string_view text) override;
  bool OpenWithShell(std::string_view target) override;
  std::string HtmlOpenCommand() const override;
  bool RunCommandLine(std::string_view command_line) override;
  bool ListenForLaterCopies(std::string_view name, std::function<void()> called) override;
  bool CallListeningCopy(std::string_view name) override;

 private:
  void StopListening();
  void AnswerWaitingCalls();

  // A socket of the user's in the abstract namespace: nothing to leave
  // behind on the disk.
  int listening_socket_ = -1;
  std::unique_ptr<QSocketNotifier> caller_notifier_;
  std::function<void()> called_;
};

class QtPlatform : public Platform {
 public:
  QtPlatform();
  ~QtPlatform() override;

  WindowSystem& windows() override { return windows_; }
  Dialogs& dialogs() override { return dialogs_; }
  EventLoop& loop() override { return loop_; }
  Shell& shell() override { return shell_; }

 private:
  QtWindowSystem windows_;
  QtDialogs dialogs_;
  QtEventLoop loop_;
  QtShell shell_;
};

}  // namespace tarnwick::qt
