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

QtEventLoop::QtEventLoop() : receiver_(std::make_unique<TaskReceiver>()) {}

QtEventLoop::~QtEventLoop() {
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
