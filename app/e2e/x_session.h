// A private X display for tests and benchmarks of the real program.
//
// Starts Xvfb on a display number the server picks itself (-displayfd), so
// several runs on one machine never collide, and stops it with the object.
// Child processes are started with DISPLAY pointing at it; every wait is
// bounded so a hung program fails the caller instead of stalling it.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tarnwick::e2e {

// True when the named program is found on PATH.
bool HaveProgram(const std::string& name);

struct CommandResult {
  int exit_code = -1;  // -1 when it timed out or could not start
  std::string output;  // standard output
};

// Runs argv to completion (at most `timeout`), with DISPLAY set to `display`
// when not empty.
CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& display,
                         std::chrono::milliseconds timeout = std::chrono::seconds(20));

// A child process started in the background.
class Child {
 public:
  Child() = default;
  Child(Child&& other) noexcept;
  Child& operator=(Child&& other) noexcept;
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child();  // kills it if it still runs

  // Starts argv in `working_dir` with the extra `environment` entries (NAME=value).
  // `stdout_fd`, when >= 0, becomes the child's standard output.
  static Child Start(const std::vector<std::string>& argv, const std::filesystem::path& working_dir,
                     const std::vector<std::string>& environment, int stdout_fd = -1);

  pid_t pid() const { return pid_; }
  bool running() const { return pid_ > 0 && !exited_; }
  // Waits for the exit; the exit code, or nullopt when it did not end in time
  // (128 + signal number when a signal ended it).
  std::optional<int> Wait(std::chrono::milliseconds timeout);
  // Peak resident set of the ended child, in KiB (from wait4); 0 before the exit.
  long peak_resident_kib() const { return peak_resident_kib_; }
  // Processor time (user and system) of the ended child, in seconds.
  double cpu_seconds() const { return cpu_seconds_; }
  void Kill();

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
  int exit_code_ = -1;
  long peak_resident_kib_ = 0;
  double cpu_seconds_ = 0;
};

class XSession {
 public:
  XSession() = default;
  ~XSession();
  XSession(const XSession&) = delete;
  XSession& operator=(const XSession&) = delete;

  // Starts Xvfb with one screen of the given size; false when it cannot.
  bool Start(int width = 1280, int height = 1024);
  // The server ends at once, as when it crashes: every client loses its display.
  void Stop() { server_.Kill(); }
  const std::string& display() const { return display_; }

  CommandResult Run(const std::vector<std::string>& argv,
                    std::chrono::milliseconds timeout = std::chrono::seconds(20)) const {
    return RunCommand(argv, display_, timeout);
  }

  // First shown top-level window whose title matches the regular
  // expression (ECMAScript), waiting at most `timeout`; 0 when none appeared.
  unsigned long WaitForWindow(const std::string& title_pattern, std::chrono::milliseconds timeout) const;

  struct Geometry {
    int x = 0, y = 0, width = 0, height = 0;
  };
  // The window's client area in root coordinates, nullopt on failure.
  std::optional<Geometry> WindowGeometry(unsigned long window) const;
  // The window's title (UTF-8), nullopt when the display is gone.
  std::optional<std::string> Title(unsigned long window) const;

  // Saves the whole screen as PNG (ImageMagick's import); false on failure.
  bool Screenshot(const std::filesystem::path& png) const;

  // Pointer and keyboard through xdotool.
  bool MovePointer(int x, int y) const;
  bool Click(int button = 1) const;
  bool Key(const std::string& keys) const;  // e.g. "alt+f"
  // Gives the window the keyboard focus (there is no window manager to do it).
  bool Focus(unsigned long window) const;
  // Asks the window to close as a window manager's close box does
  // (WM_DELETE_WINDOW), so the program runs its own shut-down.
  bool RequestClose(unsigned long window) const;

 private:
  Child server_;
  std::string display_;
};

}  // namespace tarnwick::e2e
