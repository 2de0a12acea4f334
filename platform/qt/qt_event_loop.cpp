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

}  // namespace

struct QtEventLoop::Timer {
  Timer() : timer(new QTimer) {}
  // Deferred: the timer may be stopped from inside its own tick.
  ~Timer() {
    timer->stop();
    timer->deleteLater();
  }
  QTimer* timer;
  std::function<void()> callback;
  bool running = false;  // a tick is being handled: the next waits for it
  bool stopped = false;
};

QtEventLoop::QtEventLoop() : receiver_(std::make_unique<TaskReceiver>()) {}

QtEventLoop::~QtEventLoop() = default;

void QtEventLoop::Post(std::function<void()> task) {
  QCoreApplication::postEvent(receiver_.get(), new TaskEvent(std::move(task)));
}

EventLoop::TimerId QtEventLoop::StartTimer(int interval_ms, std::function<void()> callback) {
  TimerId id = next_timer_++;
  auto timer = std::make_unique<Timer>();
  timer->callback = std::move(callback);
  timer->timer->setInterval(std::max(1, interval_ms));
  timer->timer->setTimerType(Qt::CoarseTimer);
  Timer* raw = timer.get();
  QObject::connect(raw->timer, &QTimer::timeout, raw->timer, [this, raw, id] {
    if (raw->running || raw->stopped) return;  // a modal loop inside the callback: no second tick
    raw->running = true;
    raw->callback();
    raw->running = false;
    if (raw->stopped) timers_.erase(id);  // stopped inside its own callback
  });
  raw->timer->start();
  timers_[id] = std::move(timer);
  return id;
}

void QtEventLoop::StopTimer(TimerId id) {
  auto found = timers_.find(id);
  if (found == timers_.end()) return;
  found->second->timer->stop();
  found->second->stopped = true;
  if (!found->second->running) timers_.erase(found);
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
