#include <QDialog>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/qt/qt_platform.h"
#include "platform/qt/qt_text.h"

namespace tarnwick::qt {
namespace {

QWidget* OwnerWidget(NativeWindow* owner) { return owner == nullptr ? nullptr : ContainerOf(owner); }

QString DialogText(const std::string& gbk) {
  QString text = ToQString(gbk);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return text;
}

// An owner-less dialog blocks every window of the program, as a task-modal
// box does; an owned one blocks its owner's window.
void MakeModal(QDialog& dialog, QWidget* owner) {
  dialog.setWindowModality(owner == nullptr ? Qt::ApplicationModal : Qt::WindowModal);
}

// "desc|pattern|desc|pattern" -> "desc (pattern);;desc (pattern)". Qt shows
// the description and filters by the patterns in parentheses; patterns are
// separated by ';' in the layer's filter and by blanks in Qt.
QString QtFilter(const std::string& filter) {
  QStringList parts = ToQString(filter).split(QLatin1Char('|'));
  QStringList filters;
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    QString patterns = parts[i + 1];
    patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
    filters << parts[i] + QStringLiteral(" (") + patterns.trimmed() + QLatin1Char(')');
  }
  return filters.join(QStringLiteral(";;"));
}

// A dialog gives the activation back to the window it took it from. Without
// a window manager that does so, the program would be left with no active
// window: deaf to the keyboard, and never told when the user turns away.
// A dialog shown straight after another (a question after the password box)
// opens while the first one's return is still on its way, with no window
// active: it gives the activation back to the window the first took it from.
class ActivationReturn {
 public:
  ActivationReturn() {
    if (QWidget* active = QApplication::activeWindow()) LastOpener() = active;
    opener_ = LastOpener();
  }
  ~ActivationReturn() {
    if (opener_ && opener_->isVisible() && !opener_->isActiveWindow()) opener_->activateWindow();
  }
  ActivationReturn(const ActivationReturn&) = delete;
  ActivationReturn& operator=(const ActivationReturn&) = delete;

 private:
  static QPointer<QWidget>& LastOpener() {
    static QPointer<QWidget> opener;
    return opener;
  }
  QPointer<QWidget> opener_;
};

bool HasExtension(const QString& path) {
  qsizetype slash = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
  return path.indexOf(QLatin1Char('.'), slash + 1) >= 0;
}

}  // namespace

MessageResult QtDialogs::ShowMessageBox(const MessageBoxRequest& request) {
  QWidget* owner = OwnerWidget(request.owner);
  QMessageBox box(owner);
  box.setWindowTitle(DialogText(request.title));
  box.setText(DialogText(request.text));
  box.setTextFormat(Qt::PlainText);
  switch (request.icon) {
    case MessageIcon::kInformation: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::kWarning: box.setIcon(QMessageBox::Warning); break;
    case MessageIcon::kError: box.setIcon(QMessageBox::Critical); break;
    case MessageIcon::kQuestion: box.setIcon(QMessageBox::Question); break;
    case MessageIcon::kNone: break;
  }
  // The captions a Chinese system gives these buttons.
  struct Choice {
    QMessageBox::StandardButton button;
    const char16_t* caption;
    MessageResult result;
  };
  std::vector<Choice> choices;
  switch (request.buttons) {
    case MessageButtons::kOk: choices = {{QMessageBox::Ok, u"确定", MessageResult::kOk}}; break;
    case MessageButtons::kOkCancel:
      choices = {{QMessageBox::Ok, u"确定", MessageResult::kOk}, {QMessageBox::Cancel, u"取消", MessageResult::kCancel}};
      break;
    case MessageButtons::kYesNo:
      choices = {{QMessageBox::Yes, u"是(&Y)", MessageResult::kYes}, {QMessageBox::No, u"否(&N)", MessageResult::kNo}};
      break;
    case MessageButtons::kYesNoCancel:
      choices = {{QMessageBox::Yes, u"是(&Y)", MessageResult::kYes},
                 {QMessageBox::No, u"否(&N)", MessageResult::kNo},
                 {QMessageBox::Cancel, u"取消", MessageResult::kCancel}};
      break;
    case MessageButtons::kRetryCancel:
      choices = {{QMessageBox::Retry, u"重试(&R)", MessageResult::kRetry},
                 {QMessageBox::Cancel, u"取消", MessageResult::kCancel}};
      break;
  }
  QMessageBox::StandardButtons buttons;
  for (const Choice& choice : choices) buttons |= choice.button;
  box.setStandardButtons(buttons);
  for (const Choice& choice : choices) box.button(choice.button)->setText(QString::fromUtf16(choice.caption));
  const std::size_t default_index =
      std::min<std::size_t>(static_cast<std::size_t>(std::max(request.default_button, 0)), choices.size() - 1);
  box.setDefaultButton(choices[default_index].button);
  // Closing the box answers Cancel, or No / OK where there is no Cancel.
  const Choice& escape = choices.size() == 1 ? choices.front() : choices.back();
  box.setEscapeButton(escape.button);
  box.setWindowModality(owner == nullptr ? Qt::ApplicationModal : Qt::WindowModal);
  {
    ActivationReturn activation;
    box.exec();
  }
  auto* clicked = box.clickedButton();
  for (const Choice& choice : choices) {
    if (clicked == box.button(choice.button)) return choice.result;
  }
  return escape.result;
}

std::optional<SecretText> QtDialogs::ShowInputBox(const InputBoxRequest& request) {
  QWidget* owner = OwnerWidget(request.owner);
  QDialog dialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint |
                            Qt::MSWindowsFixedSizeDialogHint);
  dialog.setWindowTitle(DialogText(request.title));
  MakeModal(dialog, owner);
  auto* prompt = new QLabel(DialogText(request.prompt));
  prompt->setTextFormat(Qt::PlainText);
  prompt->setWordWrap(true);
  auto* entry = new QLineEdit;
  if (request.masked) {
    entry->setEchoMode(QLineEdit::Password);
    entry->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
  }
  auto* confirm = new QPushButton(DialogText(request.confirm_caption));
  auto* cancel = new QPushButton(DialogText(request.cancel_caption));
  confirm->setDefault(true);
  QObject::connect(confirm, &QPushButton::clicked, &dialog, &QDialog::accept);
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(confirm);
  buttons->addWidget(cancel);
  auto* column = new QVBoxLayout(&dialog);
  column->addWidget(prompt);
  column->addWidget(entry);
  column->addLayout(buttons);
  dialog.setMinimumWidth(320);
  entry->setFocus();
  ActivationReturn activation;
  // However the box closes (OK, Cancel, its close button, Escape), the entry
  // lets go of the password at once: reset by setText, which drops its undo
  // history too, it leaves the taken text as its buffer's only owner, so the
  // text is overwritten where it lay; its GBK form is wiped as it is taken.
  std::optional<SecretText> answer;
  QObject::connect(&dialog, &QDialog::finished, &dialog, [&](int result) {
    QString typed = entry->text();
    entry->setText(QString());
    if (result == QDialog::Accepted) {
      std::string gbk = FromQString(typed);
      answer.emplace(SecretText::Take(gbk));
    }
    typed.fill(QChar(0));
  });
  dialog.exec();
  return answer;
}

std::optional<std::string> QtDialogs::ShowFileDialog(const FileDialogRequest& request) {
  QWidget* owner = OwnerWidget(request.owner);
  QFileDialog dialog(owner);
  if (!request.title.empty()) dialog.setWindowTitle(DialogText(request.title));
  bool save = request.kind == FileDialogKind::kSave;
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  if (!request.filter.empty()) dialog.setNameFilter(QtFilter(request.filter));
  // Choosing an existing file to save over is confirmed first (Qt's default);
  // the dialog adds the extension itself, so the question names the file that
  // will be written.
  dialog.setDefaultSuffix(ToQString(request.default_extension));
  if (!request.initial_file_name.empty()) dialog.selectFile(ToQString(request.initial_file_name));
  MakeModal(dialog, owner);
  ActivationReturn activation;
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  QString path = dialog.selectedFiles().first();
  if (!request.default_extension.empty() && !HasExtension(path)) {
    path += QLatin1Char('.') + ToQString(request.default_extension);
  }
  return FromQString(path);
}

int QtDialogs::ShowPopupMenu(NativeWindow& owner, const std::vector<MenuEntry>& entries, Point screen_position) {
  QMenu menu(ContainerOf(&owner));
  std::vector<QAction*> actions;
  for (const MenuEntry& entry : entries) {
    QAction* action = entry.separator ? menu.addSeparator() : menu.addAction(DialogText(entry.caption));
    if (!entry.separator) {
      action->setCheckable(entry.checked);
      action->setChecked(entry.checked);
      action->setEnabled(!entry.disabled);
    }
    actions.push_back(action);
  }
  QAction* chosen = menu.exec(QPoint(screen_position.x, screen_position.y));
  for (size_t i = 0; i < actions.size(); ++i) {
    if (chosen != nullptr && actions[i] == chosen) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace tarnwick::qt
