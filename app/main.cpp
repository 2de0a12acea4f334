// The memo book on Linux desktops: the Qt backend under the main window.
//
// The process works in the folder that holds the database (beside a portable
// program, else the user's data folder: app/data_folder.h), loads the main
// window, whose created event runs the memo book's start-up, then runs the
// message loop until the main window closes.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <cstdio>
#include <cstdlib>

#include "app/data_folder.h"
#include "app/first_paint_probe.h"
#include "platform/qt/qt_platform.h"
#include "app/memo_program.h"
#include "base/text.h"

namespace {

bool Set(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

// The icon of every window, for the task bar and the window switcher: the
// hicolor icons at <prefix>/share/icons beside the program (an installed
// program; the build folder has the same layout). Read from those files
// rather than looked up in the desktop's icon theme, which costs the start a
// search through the theme's folders; a portable copy without them has
// Qt's default icon. Read as PNG outright: a file given to the icon itself
// has its format guessed, which loads every image plugin Qt has. The sizes
// a task bar or a switcher draws: every size given goes to the display
// server with the window, and the largest (256) alone is 256 KB.
QIcon ApplicationIcon() {
  const QDir hicolor(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/icons/hicolor"));
  QIcon icon;
  for (int size : {16, 24, 32, 48, 64, 128}) {
    // Opened here: a reader given a missing file warns on standard error.
    QFile file(hicolor.filePath(QStringLiteral("%1x%1/apps/org.tarnwick.Tarnwick.png").arg(size)));
    if (!file.open(QIODevice::ReadOnly)) continue;
    QImageReader reader(&file, "png");
    reader.setAutoDetectImageFormat(false);
    const QImage image = reader.read();
    if (!image.isNull()) icon.addPixmap(QPixmap::fromImage(image));
  }
  return icon;
}

}  // namespace

int main(int argc, char** argv) {
  const tarnwick::StartOptions options = tarnwick::TakeStartOptions(argc, argv);
  if (options.help || !options.error.empty()) {
    if (!options.error.empty()) std::fprintf(stderr, "tarnwick: %s\n", options.error.c_str());
    std::fputs(tarnwick::StartOptionsHelp().c_str(), options.help ? stdout : stderr);
    return options.help ? 0 : 2;
  }
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
  // Before the first window: the window's class (WM_CLASS "tarnwick",
  // "Tarnwick") ties it to the desktop entry's StartupWMClass.
  QCoreApplication::setApplicationName(QStringLiteral("Tarnwick"));
  QGuiApplication::setDesktopFileName(QStringLiteral("org.tarnwick.Tarnwick"));
  QGuiApplication::setWindowIcon(ApplicationIcon());
  const auto data_folder = tarnwick::ChooseDataFolder(
      options, QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());
  if (!data_folder.error.empty()) {
    std::fprintf(stderr, "tarnwick: %s\n", data_folder.error.c_str());
    return 1;
  }
  if (!QDir::setCurrent(QFile::decodeName(data_folder.folder.c_str()))) {
    std::fprintf(stderr, "tarnwick: cannot work in the data folder %s\n", data_folder.folder.c_str());
    return 1;
  }
  tarnwick::FirstPaintProbe::InstallIfAsked();

  tarnwick::qt::QtPlatform platform;
  // The store's folder in the engine's GBK; a character GBK lacks keeps its
  // four-byte code, which the file layer turns back into the same name.
  return tarnwick::RunMemoProgram(platform, tarnwick::Utf8ToGbk(QDir::currentPath().toStdString()));
}
