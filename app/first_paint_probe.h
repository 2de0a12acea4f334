// Start-up measurement aid shared by the program and the reference program of
// the start-up benchmark, so that both are measured the same way.
//
// When the environment variable TARNWICK_EXIT_AFTER_FIRST_PAINT is set, the
// first top-level window to be painted makes the process write "painted\n" to
// standard output once that paint has reached the screen, and then end its
// event loop with exit code 0. Without the variable nothing is installed.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QMetaObject>
#include <QObject>
#include <QWidget>
#include <cstdio>
#include <cstdlib>

namespace tarnwick {

class FirstPaintProbe : public QObject {
 public:
  static void InstallIfAsked() {
    if (std::getenv("TARNWICK_EXIT_AFTER_FIRST_PAINT") == nullptr) return;
    QCoreApplication::instance()->installEventFilter(new FirstPaintProbe(QCoreApplication::instance()));
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!fired_ && event->type() == QEvent::Paint && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow()) {
      fired_ = true;
      // Queued: runs after the whole window has been painted and flushed.
      QMetaObject::invokeMethod(
          this,
          [] {
            std::fputs("painted\n", stdout);
            std::fflush(stdout);
            QCoreApplication::exit(0);
          },
          Qt::QueuedConnection);
    }
    return false;
  }

 private:
  using QObject::QObject;
  bool fired_ = false;
};

}  // namespace tarnwick
