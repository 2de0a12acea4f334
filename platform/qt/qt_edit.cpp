// The single-line edit on Qt: a QLineEdit whose maximum length counts GBK bytes.
#include "platform/qt/qt_control.h"

#include <QLineEdit>
#include <algorithm>

#include "base/editor_text.h"

namespace tarnwick::qt {
namespace {

class QtEdit : public QtControl<NativeEdit, QLineEdit> {
 public:
  QtEdit(QLineEdit* widget, ControlListener& listener, const Rect& rect) : QtControl(widget, listener, rect) {
    QObject::connect(widget, &QLineEdit::textEdited, &bridge(), [this](const QString& text) {
      std::string now = FromQString(text);
      if (max_bytes_ > 0 && static_cast<int>(now.size()) > max_bytes_) {
        LimitedEdit limited = LimitEdit(FromQString(last_text_), now, max_bytes_);
        widget_->setText(ToQString(limited.text));
        widget_->setCursorPosition(GbkToEditorPosition(Utf16Of(widget_->text()), limited.caret));
        if (widget_->text() == last_text_) return;
      }
      last_text_ = widget_->text();
      this->listener().OnTextChanged();
    });
  }
  void SetText(std::string_view text) override {
    last_text_ = ToQString(text);
    widget_->setText(last_text_);
  }
  std::string Text() const override { return FromQString(widget_->text()); }
  void SetColors(Color text, Color background) override { ApplyColors(widget_.data(), text, background); }
  void SetBorder(ControlBorder border) override { widget_->setFrame(border != ControlBorder::kNone); }
  void SetMasked(bool masked) override {
    widget_->setEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
    // An asterisk per character, as a Windows password edit shows it.
    widget_->setStyleSheet(masked ? QStringLiteral("QLineEdit { lineedit-password-character: 42; }") : QString());
  }
  void SetMaxLength(int bytes) override { max_bytes_ = std::max(0, bytes); }
  void SetReadOnly(bool read_only) override { widget_->setReadOnly(read_only); }

 private:
  int max_bytes_ = 0;
  QString last_text_;
};

}  // namespace

std::unique_ptr<NativeEdit> QtWindowSystem::CreateEdit(NativeParent& parent, const Rect& rect,
                                                       ControlListener& listener) {
  return std::make_unique<QtEdit>(new QLineEdit(ContainerOf(&parent)), listener, rect);
}

}  // namespace tarnwick::qt
