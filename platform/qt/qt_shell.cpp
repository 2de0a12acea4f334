#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_text.h"

namespace tarnwick::qt {

std::string QtShell::ClipboardText() const {
  QClipboard* clipboard = QGuiApplication::clipboard();
  return clipboard == nullptr ? std::string() : FromQString(clipboard->text());
}

void QtShell::SetClipboardText(std::string_view text) {
  if (QClipboard* clipboard = QGuiApplication::clipboard()) clipboard->setText(ToQString(text));
}

bool QtShell::OpenWithShell(std::string_view target) {
  QString text = ToQString(target).trimmed();
  if (text.isEmpty()) return false;
  // Links ("mailto:", "http:") go to the desktop's opener as they are; a
  // plain path is a file.
  QUrl url(text, QUrl::TolerantMode);
  if (url.scheme().size() <= 1) url = QUrl::fromLocalFile(text);  // no scheme, or a drive letter
  return QDesktopServices::openUrl(url);
}

std::string QtShell::HtmlOpenCommand() const {
  // The desktop's opener stands in for the program registered for web pages.
  QString opener = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
  if (opener.isEmpty()) return {};
  return FromQString(QLatin1Char('"') + opener + QStringLiteral("\" \"%1\""));
}

bool QtShell::RunCommandLine(std::string_view command_line) {
  QStringList parts = QProcess::splitCommand(ToQString(command_line));
  if (parts.isEmpty()) return false;
  QString program = parts.takeFirst();
  return QProcess::startDetached(program, parts);
}

}  // namespace tarnwick::qt
