#include "platform/qt/qt_platform.h"

#include <cstdlib>
#include <thread>

#ifdef TARNWICK_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

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
#ifdef TARNWICK_HAVE_FONTCONFIG
  // Reading the font configuration and the list of installed fonts takes
  // milliseconds that the first text would otherwise wait for; the
  // application's connection to the display takes longer, so both go at once.
  std::thread font_reader([] {
    if (!FcInit()) return;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_FILE, FC_INDEX, FC_LANG, FC_CHARSET, (char*)nullptr);
    if (pattern != nullptr && objects != nullptr) FcFontSetDestroy(FcFontList(nullptr, pattern, objects));
    if (objects != nullptr) FcObjectSetDestroy(objects);
    if (pattern != nullptr) FcPatternDestroy(pattern);
  });
#endif
  auto application = std::make_unique<QApplication>(argc, argv);
#ifdef TARNWICK_HAVE_FONTCONFIG
  font_reader.join();
#endif
  // Closing the main window ends the program through its own shut-down,
  // never because Qt saw the last window go.
  QApplication::setQuitOnLastWindowClosed(false);
  InstallFonts();
  return application;
}

QtPlatform::QtPlatform() = default;
QtPlatform::~QtPlatform() = default;

}  // namespace tarnwick::qt
