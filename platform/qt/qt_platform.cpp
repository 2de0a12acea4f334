#include "platform/qt/qt_platform.h"

#include <cstdlib>
#include <optional>
#include <thread>

#ifdef TARNWICK_HAVE_FONTCONFIG
#include <fontconfig/fontconfig.h>
#endif

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "platform/qt/qt_fonts.h"
#include "platform/qt/qt_style.h"

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
  // The list also names the installed families, so the program's faces are
  // chosen without waiting for Qt's font database (filled aside below).
  std::optional<QStringList> installed;
  std::thread font_reader([&installed] {
    if (!FcInit()) return;
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, FC_STYLE, FC_FILE, FC_INDEX, FC_LANG, FC_CHARSET, (char*)nullptr);
    FcFontSet* fonts = pattern != nullptr && objects != nullptr ? FcFontList(nullptr, pattern, objects) : nullptr;
    if (fonts != nullptr) {
      QStringList families;
      for (int i = 0; i < fonts->nfont; ++i) {
        FcChar8* family = nullptr;
        // Qt names a font by its first family; the others are its aliases.
        if (FcPatternGetString(fonts->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch) {
          families.append(QString::fromUtf8(reinterpret_cast<const char*>(family)));
        }
      }
      installed = std::move(families);
      FcFontSetDestroy(fonts);
    }
    if (objects != nullptr) FcObjectSetDestroy(objects);
    if (pattern != nullptr) FcPatternDestroy(pattern);
  });
#endif
  auto application = std::make_unique<QApplication>(argc, argv);
#ifdef TARNWICK_HAVE_FONTCONFIG
  font_reader.join();
  if (installed) NoteInstalledFamilies(std::move(*installed));
#endif
  // Closing the main window ends the program through its own shut-down,
  // never because Qt saw the last window go.
  QApplication::setQuitOnLastWindowClosed(false);
  // Qt's own dialogs (the save dialog, its questions, the standard buttons)
  // speak the program's language, whatever the desktop's.
  auto* translator = new QTranslator(application.get());
  if (translator->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                       QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    QApplication::installTranslator(translator);
  }
  InstallStyle();
  InstallFonts();
#ifdef TARNWICK_HAVE_FONTCONFIG
  if (installed) FillFontDatabaseAside();
#endif
  return application;
}

QtPlatform::QtPlatform() = default;
QtPlatform::~QtPlatform() = default;

}  // namespace tarnwick::qt
