#include <sys/socket.h>
#include <sys/types.h>
#include <sys/un.h>
#include <unistd.h>

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>

#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_text.h"

namespace tarnwick::qt {
namespace {

constexpr int kPauseAfterAcceptError = 200;  // milliseconds

// The address of `name` among this user's copies, in the abstract namespace.
socklen_t CopyAddress(std::string_view name, sockaddr_un* address) {
  *address = {};
  address->sun_family = AF_UNIX;
  std::string path = "tarnwick-" + std::to_string(getuid()) + "-" + std::string(name);
  path.resize(std::min(path.size(), sizeof(address->sun_path) - 1));
  std::memcpy(address->sun_path + 1, path.data(), path.size());  // sun_path[0] == 0: abstract
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + path.size());
}

}  // namespace

QtShell::~QtShell() { StopListening(); }

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

bool QtShell::ListenForLaterCopies(std::string_view name, std::function<void()> called) {
  called_ = std::move(called);
  if (!called_) {
    StopListening();
    return false;
  }
  if (listening_socket_ >= 0) return true;
  sockaddr_un address;
  const socklen_t length = CopyAddress(name, &address);
  const int listening = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (listening < 0) return false;
  if (bind(listening, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(listening, 4) != 0) {
    close(listening);
    return false;
  }
  listening_socket_ = listening;
  caller_notifier_ = std::make_unique<QSocketNotifier>(listening, QSocketNotifier::Read);
  QObject::connect(caller_notifier_.get(), &QSocketNotifier::activated, caller_notifier_.get(),
                   [this] { AnswerWaitingCalls(); });
  return true;
}

// Each connection is one call; nothing is read from it. An abstract socket
// has no permissions, so only calls from this user's own processes count, and
// a burst of them is answered once.
void QtShell::AnswerWaitingCalls() {
  bool called = false;
  for (;;) {
    const int caller = accept4(listening_socket_, nullptr, nullptr, SOCK_CLOEXEC);
    if (caller < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) {
        // Out of descriptors or the like: the waiting calls would wake the
        // loop again at once, so listening pauses for a moment instead.
        caller_notifier_->setEnabled(false);
        QTimer::singleShot(kPauseAfterAcceptError, caller_notifier_.get(),
                           [notifier = caller_notifier_.get()] { notifier->setEnabled(true); });
      }
      break;
    }
    ucred peer {};
    socklen_t size = sizeof peer;
    if (getsockopt(caller, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && size == sizeof peer && peer.uid == getuid()) {
      called = true;
    }
    close(caller);
  }
  if (called && called_) called_();
}

bool QtShell::CallListeningCopy(std::string_view name) {
  sockaddr_un address;
  const socklen_t length = CopyAddress(name, &address);
  // Not blocking: a copy that has stopped taking calls must not hang this one.
  const int calling = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (calling < 0) return false;
  const bool heard = ::connect(calling, reinterpret_cast<sockaddr*>(&address), length) == 0;
  close(calling);
  return heard;
}

void QtShell::StopListening() {
  caller_notifier_.reset();
  if (listening_socket_ >= 0) close(listening_socket_);
  listening_socket_ = -1;
}

}  // namespace tarnwick::qt
