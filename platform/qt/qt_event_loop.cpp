#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

#include <QCursor>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include "platform/qt/qt_platform.h"

namespace tarnwick::qt {
namespace {

// A posted task travels as an event, so it keeps its place among the
// program's other posted messages.
class TaskEvent : public QEvent {
 public:
  static QEvent::Type TaskType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
  }
  explicit TaskEvent(std::function<void()> task) : QEvent(TaskType()), task(std::move(task)) {}
  std::function<void()> task;
};

class TaskReceiver : public QObject {
 protected:
  bool event(QEvent* event) override {
    if (event->type() != TaskEvent::TaskType()) return QObject::event(event);
    auto task = std::move(static_cast<TaskEvent*>(event)->task);
    task();
    return true;
  }
};

// A termination signal is only noted here, by a byte into a pipe that the
// loop watches: its handler may run between any two instructions.
int signal_pipe[2] = {-1, -1};

// However the save that follows goes (events queued before it, a slow
// disk), the process ends this many seconds after the signal: SIGALRM's
// default action ends it.
constexpr unsigned kSecondsToEndAfterASignal = 2;

void NoteTerminationSignal(int) {
  alarm(kSecondsToEndAfterASignal);
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = write(signal_pipe[1], &byte, 1);
}

// When its X connection breaks, Qt ends the process with exit() from inside
// the loop; the program's own ends return from main (clearing the handler
// first) or call _exit. So a handler still set at exit means the display
// went away.
std::function<void()>& DisplayLostHandler() {
  static std::function<void()> handler;
  return handler;
}

void RunDisplayLostHandler() {
  if (std::function<void()> handler = std::move(DisplayLostHandler())) handler();
}

}  // namespace

QtEventLoop::QtEventLoop() : receiver_(std::make_unique<TaskReceiver>()) {}

QtEventLoop::~QtEventLoop() {
  DisplayLostHandler() = nullptr;
  for (auto& [id, timer] : native_timers_) delete timer;
}

void QtEventLoop::Post(std::function<void()> task) {
  QCoreApplication::postEvent(receiver_.get(), new TaskEvent(std::move(task)));
}

EventLoop::TimerId QtEventLoop::StartTimer(int interval_ms, std::function<void()> callback) {
  TimerId id = timers_.Add(std::move(callback));
  auto* timer = new QTimer;
  timer->setInterval(std::max(1, interval_ms));
  timer->setTimerType(Qt::CoarseTimer);
  QObject::connect(timer, &QTimer::timeout, timer, [this, id] { timers_.Tick(id); });
  timer->start();
  native_timers_[id] = timer;
  return id;
}

void QtEventLoop::StopTimer(TimerId id) {
  if (!timers_.Remove(id)) return;
  auto found = native_timers_.find(id);
  found->second->stop();
  found->second->deleteLater();  // it may be stopped from inside its own tick
  native_timers_.erase(found);
}

void QtEventLoop::ProcessPendingEvents() {
  QCoreApplication::sendPostedEvents();
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

int QtEventLoop::Run() {
  // Quit may come before the loop runs (start-up declined): end at once.
  if (quit_requested_) return exit_code_;
  return QCoreApplication::exec();
}

void QtEventLoop::Quit(int exit_code) {
  quit_requested_ = true;
  exit_code_ = exit_code;
  QCoreApplication::exit(exit_code);
}

void QtEventLoop::SetSaveRequestHandler(std::function<void()> handler) {
  save_request_ = std::move(handler);
  if (signal_notifier_ != nullptr || pipe2(signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  // Modal loops watch the pipe too: a signal while a dialog is up is heard.
  signal_notifier_ = std::make_unique<QSocketNotifier>(signal_pipe[0], QSocketNotifier::Read);
  QObject::connect(signal_notifier_.get(), &QSocketNotifier::activated, receiver_.get(), [this] {
    char bytes[16];
    while (read(signal_pipe[0], bytes, sizeof bytes) > 0) {
    }
    DisplayLostHandler() = nullptr;
    if (save_request_) save_request_();
    _exit(0);
  });
  struct sigaction action {};
  action.sa_handler = NoteTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int number : {SIGTERM, SIGHUP, SIGINT}) sigaction(number, &action, nullptr);
}

void QtEventLoop::SetDisplayLostHandler(std::function<void()> handler) {
  // The handler is made first, so that it is destroyed after the exit hook ran.
  static const bool registered = (DisplayLostHandler(), std::atexit(RunDisplayLostHandler) == 0);
  if (registered) DisplayLostHandler() = std::move(handler);
}

std::uint32_t QtEventLoop::TickCount() const {
  static QElapsedTimer since_start = [] {
    QElapsedTimer timer;
    timer.start();
    return timer;
  }();
  return static_cast<std::uint32_t>(since_start.elapsed());
}

void QtEventLoop::Sleep(int milliseconds) {
  if (milliseconds > 0) QThread::msleep(static_cast<unsigned long>(milliseconds));
}

DateTime QtEventLoop::LocalNow() const {
  QDateTime now = QDateTime::currentDateTime();
  QDate date = now.date();
  QTime time = now.time();
  return EncodeDateTime({date.year(), date.month(), date.day(), time.hour(), time.minute(), time.second()});
}

Size QtEventLoop::ScreenSize() const {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen == nullptr) return {};
  QRect geometry = screen->geometry();
  return {geometry.width(), geometry.height()};
}

Point QtEventLoop::CursorPosition() const {
  QPoint at = QCursor::pos();
  return {at.x(), at.y()};
}

}  // namespace tarnwick::qt
