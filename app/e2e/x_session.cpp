#include "app/e2e/x_session.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <regex>
#include <sstream>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include <X11/Xlib.h>

namespace tarnwick::e2e {
namespace {

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

[[noreturn]] void ExecInChild(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  execvp(args[0], args.data());
  _exit(127);
}

int DevNull() { return open("/dev/null", O_RDWR | O_CLOEXEC); }

}  // namespace

bool HaveProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return false;
  std::stringstream folders(path);
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (!folder.empty() && access((folder + "/" + name).c_str(), X_OK) == 0) return true;
  }
  return false;
}

CommandResult RunCommand(const std::vector<std::string>& argv, const std::string& display,
                         std::chrono::milliseconds timeout) {
  CommandResult result;
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return result;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(out[1], 1);
    int null = DevNull();
    dup2(null, 0);
    dup2(null, 2);
    if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    ExecInChild(argv);
  }
  close(out[1]);
  if (pid < 0) {
    close(out[0]);
    return result;
  }
  auto deadline = Clock::now() + timeout;
  char buffer[4096];
  bool timed_out = false;
  for (;;) {
    pollfd fd{out[0], POLLIN, 0};
    int ready = poll(&fd, 1, RemainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      timed_out = true;
      break;
    }
    ssize_t got = read(out[0], buffer, sizeof buffer);
    if (got <= 0) break;
    result.output.append(buffer, static_cast<size_t>(got));
  }
  close(out[0]);
  if (timed_out) kill(pid, SIGKILL);
  int status = 0;
  // The pipe closed; the exit follows at once, but stay bounded all the same.
  while (waitpid(pid, &status, timed_out ? 0 : WNOHANG) == 0) {
    if (RemainingMs(deadline) == 0) {
      kill(pid, SIGKILL);
      timed_out = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!timed_out && WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  return result;
}

Child::Child(Child&& other) noexcept { *this = std::move(other); }

Child& Child::operator=(Child&& other) noexcept {
  if (this != &other) {
    Kill();
    pid_ = other.pid_;
    exited_ = other.exited_;
    exit_code_ = other.exit_code_;
    peak_resident_kib_ = other.peak_resident_kib_;
    cpu_seconds_ = other.cpu_seconds_;
    other.pid_ = -1;
  }
  return *this;
}

Child::~Child() { Kill(); }

Child Child::Start(const std::vector<std::string>& argv, const std::filesystem::path& working_dir,
                   const std::vector<std::string>& environment, int stdout_fd) {
  Child child;
  pid_t pid = fork();
  if (pid == 0) {
    int null = DevNull();
    dup2(null, 0);
    dup2(stdout_fd >= 0 ? stdout_fd : null, 1);
    if (std::getenv("TARNWICK_E2E_VERBOSE") == nullptr) dup2(null, 2);
    if (!working_dir.empty() && chdir(working_dir.c_str()) != 0) _exit(126);
    for (const auto& entry : environment) putenv(strdup(entry.c_str()));
    setpgid(0, 0);  // its own group, so Kill() reaches anything it started
    ExecInChild(argv);
  }
  child.pid_ = pid;
  return child;
}

std::optional<int> Child::Wait(std::chrono::milliseconds timeout) {
  if (pid_ <= 0) return std::nullopt;
  if (exited_) return exit_code_;
  auto deadline = Clock::now() + timeout;
  for (;;) {
    int status = 0;
    rusage usage{};
    pid_t done = wait4(pid_, &status, WNOHANG, &usage);
    if (done == pid_) {
      exited_ = true;
      exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      peak_resident_kib_ = usage.ru_maxrss;
      cpu_seconds_ = usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
                     (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
      return exit_code_;
    }
    if (done < 0 || RemainingMs(deadline) == 0) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void Child::Kill() {
  if (pid_ <= 0 || exited_) return;
  kill(-pid_, SIGKILL);
  kill(pid_, SIGKILL);
  Wait(std::chrono::seconds(5));
}

XSession::~XSession() { server_.Kill(); }

bool XSession::Start(int width, int height) {
  if (!HaveProgram("Xvfb")) return false;
  int ready[2];
  if (pipe(ready) != 0) return false;  // the write end must survive exec
  fcntl(ready[0], F_SETFD, FD_CLOEXEC);
  std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  server_ = Child::Start({"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0", screen, "-nolisten", "tcp",
                          "-noreset"},
                         {}, {});
  close(ready[1]);
  auto deadline = Clock::now() + std::chrono::seconds(15);
  std::string number;
  while (number.find('\n') == std::string::npos) {
    pollfd fd{ready[0], POLLIN, 0};
    if (poll(&fd, 1, RemainingMs(deadline)) <= 0) break;
    char buffer[32];
    ssize_t got = read(ready[0], buffer, sizeof buffer);
    if (got <= 0) break;
    number.append(buffer, static_cast<size_t>(got));
  }
  close(ready[0]);
  if (number.find('\n') == std::string::npos) {
    server_.Kill();
    return false;
  }
  display_ = ":" + number.substr(0, number.find('\n'));
  return true;
}

namespace {

// The window's title: _NET_WM_NAME (UTF-8) when set, else WM_NAME.
std::string WindowTitle(Display* connection, Window window) {
  Atom utf8 = XInternAtom(connection, "UTF8_STRING", False);
  Atom net_name = XInternAtom(connection, "_NET_WM_NAME", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(connection, window, net_name, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
          Success &&
      data != nullptr && type == utf8) {
    title.assign(reinterpret_cast<char*>(data), count);
  }
  if (data != nullptr) XFree(data);
  if (title.empty()) {
    char* name = nullptr;
    if (XFetchName(connection, window, &name) && name != nullptr) {
      title = name;
      XFree(name);
    }
  }
  return title;
}

// A window may vanish between listing it and asking about it (a program's
// dialog closing meanwhile); Xlib's default handler would end the test
// process for that. Other errors still go to the default handler.
XErrorHandler default_error_handler = nullptr;

int IgnoreVanishedWindows(Display* connection, XErrorEvent* error) {
  if (error->error_code == BadWindow || error->error_code == BadDrawable) return 0;
  return default_error_handler != nullptr ? default_error_handler(connection, error) : 0;
}

Display* OpenDisplay(const std::string& name) {
  static const bool installed = [] {
    default_error_handler = XSetErrorHandler(IgnoreVanishedWindows);
    return true;
  }();
  (void)installed;
  return XOpenDisplay(name.c_str());
}

}  // namespace

unsigned long XSession::WaitForWindow(const std::string& title_pattern, std::chrono::milliseconds timeout) const {
  Display* connection = OpenDisplay(display_);
  if (connection == nullptr) return 0;
  std::regex pattern(title_pattern);
  auto deadline = Clock::now() + timeout;
  unsigned long found = 0;
  do {
    // Without a window manager the program's windows are the root's children.
    Window root = DefaultRootWindow(connection), parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (XQueryTree(connection, root, &root, &parent, &children, &count)) {
      for (unsigned int i = 0; i < count && found == 0; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(connection, children[i], &attributes) && attributes.map_state == IsViewable &&
            std::regex_search(WindowTitle(connection, children[i]), pattern)) {
          found = children[i];
        }
      }
      if (children != nullptr) XFree(children);
    }
    if (found == 0) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  } while (found == 0 && RemainingMs(deadline) > 0);
  XCloseDisplay(connection);
  return found;
}

std::optional<XSession::Geometry> XSession::WindowGeometry(unsigned long window) const {
  Display* connection = OpenDisplay(display_);
  if (connection == nullptr) return std::nullopt;
  std::optional<Geometry> result;
  XWindowAttributes attributes;
  Window child = 0;
  int x = 0, y = 0;
  if (XGetWindowAttributes(connection, window, &attributes) &&
      XTranslateCoordinates(connection, window, DefaultRootWindow(connection), 0, 0, &x, &y, &child)) {
    result = Geometry{x, y, attributes.width, attributes.height};
  }
  XCloseDisplay(connection);
  return result;
}

std::optional<std::string> XSession::Title(unsigned long window) const {
  Display* connection = OpenDisplay(display_);
  if (connection == nullptr) return std::nullopt;
  std::string title = WindowTitle(connection, window);
  XCloseDisplay(connection);
  return title;
}

bool XSession::Screenshot(const std::filesystem::path& png) const {
  return Run({"import", "-window", "root", png.string()}).exit_code == 0;
}

bool XSession::MovePointer(int x, int y) const {
  return Run({"xdotool", "mousemove", "--sync", std::to_string(x), std::to_string(y)}).exit_code == 0;
}

bool XSession::Click(int button) const { return Run({"xdotool", "click", std::to_string(button)}).exit_code == 0; }

bool XSession::Key(const std::string& keys) const { return Run({"xdotool", "key", keys}).exit_code == 0; }

bool XSession::Focus(unsigned long window) const {
  return Run({"xdotool", "windowfocus", "--sync", std::to_string(window)}, std::chrono::seconds(5)).exit_code == 0;
}

bool XSession::RequestClose(unsigned long window) const {
  Display* connection = OpenDisplay(display_);
  if (connection == nullptr) return false;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(connection, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(connection, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  Status sent = XSendEvent(connection, window, False, NoEventMask, &event);
  XSync(connection, False);
  XCloseDisplay(connection);
  return sent != 0;
}

}  // namespace tarnwick::e2e
