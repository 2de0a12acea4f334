#include "platform/qt/qt_platform.h"

#include <cstdlib>

#include "platform/qt/qt_fonts.h"

namespace tarnwick::qt {

std::unique_ptr<QApplication> MakeApplication(int& argc, char** argv) {
  // The program places its windows in screen coordinates (the strip at the
  // top edge), which Wayland does not let clients do: run through X11.
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* chosen = std::getenv("QT_QPA_PLATFORM");
  if (wayland != nullptr && *wayland != '\0' && (chosen == nullptr || *chosen == '\0')) {
    setenv("QT_QPA_PLATFORM", "xcb", 1);
  }
  auto application = std::make_unique<QApplication>(argc, argv);
  // Closing the main window ends the program through its own shut-down,
  // never because Qt saw the last window go.
  QApplication::setQuitOnLastWindowClosed(false);
  InstallFonts();
  return application;
}

QtPlatform::QtPlatform() = default;
QtPlatform::~QtPlatform() = default;

}  // namespace tarnwick::qt
