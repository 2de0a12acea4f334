// The memo book on Linux desktops: the Qt backend under the main window.
//
// The process works in the folder of its executable (the database lives
// there), loads the main window, whose created event runs the start-up, and
// DockStrip, then runs the message loop until the main window closes.
#include <QCoreApplication>
#include <QDir>
#include <cstdio>
#include <cstdlib>

#include "app/first_paint_probe.h"
#include "platform/qt/qt_platform.h"
#include "ui/main_window.h"

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

int main(int argc, char** argv) {
  // Without a display Qt would abort with a core dump; say what is missing.
  // (On Wayland it runs through XWayland, which sets DISPLAY too.)
  if (!Set("DISPLAY") && !Set("QT_QPA_PLATFORM")) {
    std::fputs("tarnwick: there is no X display to open the window on (DISPLAY is not set;\n"
               "on a Wayland desktop the program needs XWayland).\n"
               "Run it on a virtual display with: scripts/run.sh --virtual-display\n",
               stderr);
    return 1;
  }
  auto application = tarnwick::qt::MakeApplication(argc, argv);
  if (!QDir::setCurrent(QCoreApplication::applicationDirPath())) {
    std::fprintf(stderr, "tarnwick: cannot work in the program's folder %s\n",
                 qPrintable(QCoreApplication::applicationDirPath()));
    return 1;
  }
  tarnwick::FirstPaintProbe::InstallIfAsked();

  tarnwick::qt::QtPlatform platform;
  tarnwick::MainWindow main_window(platform);
  main_window.Load();
  main_window.dock_strip().Load();  // stays hidden until the window docks
  return platform.loop().Run();
}
