// The single-line edit on Qt: a QLineEdit whose maximum length counts GBK bytes.
#include "platform/qt/qt_control.h"

#include <QLineEdit>

#include "platform/length_limit.h"

namespace tarnwick::qt {
namespace {

class QtEdit : public QtControl<NativeEdit, QLineEdit> {
 public:
  QtEdit(QLineEdit* widget, ControlListener& listener, const Rect& rect) : QtControl(widget, listener, rect) {
    QObject::connect(widget, &QLineEdit::textEdited, &bridge(), [this](const QString& text) {
      bool changed = limit_.UserEdited(FromQString(text), [this](const LimitedEdit& kept) {
        widget_->setText(ToQString(kept.text));
        widget_->setCursorPosition(GbkToEditorPosition(Utf16Of(widget_->text()), kept.caret));
      });
      if (changed) this->listener().OnTextChanged();
    });
  }
  void SetText(std::string_view text) override {
    widget_->setText(ToQString(text));
    limit_.TextSet(Text());
  }
  std::string Text() const override { return FromQString(widget_->text()); }
  void SetColors(Color text, Color background) override { ApplyColors(widget_.data(), text, background); }
  void SetBorder(ControlBorder border) override { widget_->setFrame(border != ControlBorder::kNone); }
  void SetMasked(bool masked) override {
    widget_->setEchoMode(masked ? QLineEdit::Password : QLineEdit::Normal);
    // An asterisk per character, as a Windows password edit shows it.
    widget_->setStyleSheet(masked ? QStringLiteral("QLineEdit { lineedit-password-character: 42; }") : QString());
  }
  void SetMaxLength(int bytes) override { limit_.SetMaximum(bytes, Text()); }
  void SetReadOnly(bool read_only) override { widget_->setReadOnly(read_only); }

 private:
  LengthLimit limit_;
};

}  // namespace

std::unique_ptr<NativeEdit> QtWindowSystem::CreateEdit(NativeParent& parent, const Rect& rect,
                                                       ControlListener& listener) {
  return std::make_unique<QtEdit>(new QLineEdit(ContainerOf(&parent)), listener, rect);
}

}  // namespace tarnwick::qt
