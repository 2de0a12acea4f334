// Answers the dialogs of the Qt backend as a user does, for the test
// drivers: each dialog shown takes the next armed answer and is noted.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/qt/qt_text.h"
#include "testing/ui_driver.h"

namespace tarnwick::testing {

// Answers the program's dialogs as they appear: each shown message box,
// input dialog or popup menu takes the next armed answer once its own event
// loop runs, as a user would react to it.
class DialogAnswerer : public QObject {
 public:
  struct Answer {
    enum class Kind { kMessageBox, kInputBox, kPopupMenu } kind;
    MessageResult result = MessageResult::kOk;
    std::optional<std::string> typed;
    std::string caption;
    // Run once the dialog is active, before it is answered.
    std::function<void()> while_shown;
  };

  DialogAnswerer() { qApp->installEventFilter(this); }
  ~DialogAnswerer() override {
    qApp->removeEventFilter(this);
    EXPECT_TRUE(answers_.empty()) << answers_.size() << " armed dialog answers were not used";
  }

  void Arm(Answer answer) { answers_.push_back(std::move(answer)); }
  const std::vector<UiDriver::ShownDialog>& shown() const { return shown_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Show || !watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (!widget->isWindow() || (qobject_cast<QDialog*>(widget) == nullptr && qobject_cast<QMenu*>(widget) == nullptr))
      return false;
    QPointer<QWidget> shown(widget);
    QTimer::singleShot(0, this, [this, shown] {
      if (shown) Respond(shown.data());
    });
    return false;
  }

 private:
  static std::string Text(const QString& text) { return qt::FromQString(text); }

  void Respond(QWidget* widget) {
    UiDriver::ShownDialog dialog;
    dialog.title = Text(widget->windowTitle());
    dialog.owned = widget->parentWidget() != nullptr;
    std::optional<Answer> answer;
    if (!answers_.empty()) {
      answer = std::move(answers_.front());
      answers_.pop_front();
    }
    if (answer && answer->while_shown) {
      QTest::qWaitForWindowActive(widget);
      answer->while_shown();
    }
    if (auto* menu = qobject_cast<QMenu*>(widget)) {
      dialog.position = {menu->pos().x(), menu->pos().y()};
      for (QAction* action : menu->actions()) {
        MenuEntry entry;
        entry.caption = Text(action->text());
        entry.separator = action->isSeparator();
        entry.disabled = !action->isEnabled();
        dialog.menu.push_back(entry);
      }
      shown_.push_back(dialog);
      QAction* chosen = nullptr;
      if (answer && answer->kind == Answer::Kind::kPopupMenu) {
        for (QAction* action : menu->actions())
          if (!answer->caption.empty() && Text(action->text()) == answer->caption) chosen = action;
      } else {
        ADD_FAILURE() << "an unexpected popup menu";
      }
      if (chosen != nullptr) {
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(chosen).center());
      } else {
        menu->close();
      }
      return;
    }
    if (auto* box = qobject_cast<QMessageBox*>(widget)) {
      dialog.text = Text(box->text());
      QMessageBox::StandardButtons buttons = box->standardButtons();
      dialog.buttons = buttons.testFlag(QMessageBox::Retry)                                   ? MessageButtons::kRetryCancel
                       : buttons.testFlag(QMessageBox::Yes) && buttons.testFlag(QMessageBox::Cancel) ? MessageButtons::kYesNoCancel
                       : buttons.testFlag(QMessageBox::Yes)                                   ? MessageButtons::kYesNo
                       : buttons.testFlag(QMessageBox::Cancel)                                ? MessageButtons::kOkCancel
                                                                                               : MessageButtons::kOk;
      shown_.push_back(dialog);
      QMessageBox::StandardButton button = QMessageBox::Cancel;
      if (answer && answer->kind == Answer::Kind::kMessageBox) {
        switch (answer->result) {
          case MessageResult::kOk: button = QMessageBox::Ok; break;
          case MessageResult::kCancel: button = QMessageBox::Cancel; break;
          case MessageResult::kYes: button = QMessageBox::Yes; break;
          case MessageResult::kNo: button = QMessageBox::No; break;
          case MessageResult::kRetry: button = QMessageBox::Retry; break;
        }
      } else {
        ADD_FAILURE() << "an unexpected message box: " << box->text().toStdString();
      }
      if (QAbstractButton* press = box->button(button)) {
        press->click();
      } else {
        ADD_FAILURE() << "the message box has no such button: " << box->text().toStdString();
        box->reject();
      }
      return;
    }
    auto* input = static_cast<QDialog*>(widget);
    if (auto* prompt = input->findChild<QLabel*>()) dialog.text = Text(prompt->text());
    auto* entry = input->findChild<QLineEdit*>();
    dialog.masked = entry != nullptr && entry->echoMode() == QLineEdit::Password;
    QPushButton* confirm = nullptr;
    QPushButton* cancel = nullptr;
    for (QPushButton* button : input->findChildren<QPushButton*>()) (button->isDefault() ? confirm : cancel) = button;
    if (confirm != nullptr) dialog.confirm_caption = Text(confirm->text());
    if (cancel != nullptr) dialog.cancel_caption = Text(cancel->text());
    shown_.push_back(dialog);
    if (!answer || answer->kind != Answer::Kind::kInputBox) {
      ADD_FAILURE() << "an unexpected dialog: " << input->windowTitle().toStdString();
      input->reject();
      return;
    }
    if (answer->typed && entry != nullptr && confirm != nullptr) {
      entry->setText(qt::ToQString(*answer->typed));
      confirm->click();
    } else if (cancel != nullptr) {
      cancel->click();
    } else {
      input->reject();
    }
  }

  std::deque<Answer> answers_;
  std::vector<UiDriver::ShownDialog> shown_;
};

}  // namespace tarnwick::testing
