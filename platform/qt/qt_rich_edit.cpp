// The rich edit on Qt, for plain text: a QPlainTextEdit with positions in GBK bytes.
#include "platform/qt/qt_control.h"

#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <algorithm>

#include "base/editor_text.h"
#include "platform/length_limit.h"

namespace tarnwick::qt {
namespace {

class QtRichEdit : public QObject, public QtControl<NativeRichEdit, QPlainTextEdit> {
 public:
  QtRichEdit(QPlainTextEdit* widget, ControlListener& listener, const Rect& rect) : QtControl(widget, listener, rect) {
    bridge().Watch(widget->viewport());
    widget->installEventFilter(this);
    // The system control has no context menu of its own; the program offers one.
    widget->setContextMenuPolicy(Qt::NoContextMenu);
    widget->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    widget->setTabChangesFocus(true);
    QObject::connect(widget, &QPlainTextEdit::textChanged, &bridge(), [this] {
      if (programmatic_) return;
      if (limit_.active() && !KeepWithinMaximum()) return;
      this->listener().OnTextChanged();
    });
    QObject::connect(qApp, &QApplication::focusChanged, &bridge(), [this](QWidget*, QWidget*) { ShowSelection(); });
  }

  void SetText(std::string_view text) override {
    Programmatic guard(this);
    widget_->setPlainText(ToQtLines(text));
    if (limit_.active()) limit_.TextSet(Text());
    user_changed_ = false;
    widget_->moveCursor(QTextCursor::Start);
    widget_->document()->setModified(false);
  }
  std::string Text() const override { return FromQtLines(widget_->toPlainText()); }
  void SetReadOnly(bool read_only) override {
    widget_->setReadOnly(read_only);
    // Read-only still lets the user select and copy, as a Windows rich edit does.
    widget_->setTextInteractionFlags(read_only ? Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard
                                               : Qt::TextEditorInteraction);
  }
  bool IsReadOnly() const override { return widget_->isReadOnly(); }
  void SetBackground(Color background) override {
    QPalette palette = widget_->palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
      palette.setColor(group, QPalette::Base, ToQColor(background));
    widget_->setPalette(palette);
    ShowSelection();
  }
  void SetBorder(ControlBorder border) override { ApplyFrame(widget_.data(), border); }
  void SetMultiLine(bool multi_line) override { multi_line_ = multi_line; }
  void SetTypesTab(bool types_tab) override {
    types_tab_ = types_tab;
    widget_->setTabChangesFocus(!types_tab);
  }

 protected:
  // A single-line editor takes no line break from the keyboard. An editor
  // that types tabs types one for Shift+Tab too, and leaves by Ctrl+Tab.
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != widget_.data() || event->type() != QEvent::KeyPress) return false;
    auto* key_event = static_cast<QKeyEvent*>(event);
    int key = key_event->key();
    if (!multi_line_ && (key == Qt::Key_Return || key == Qt::Key_Enter)) return true;
    if (types_tab_ && (key == Qt::Key_Tab || key == Qt::Key_Backtab)) {
      bool backwards = key == Qt::Key_Backtab || (key_event->modifiers() & Qt::ShiftModifier);
      if (key_event->modifiers() & Qt::ControlModifier) {
        MoveFocusOn(backwards);
        return true;
      }
      if (key == Qt::Key_Backtab) {
        // Typed as a plain Tab, so the listener hears it as every other key.
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
        QCoreApplication::sendEvent(widget_.data(), &tab);
        return true;
      }
    }
    return false;
  }

 public:
  void SetWordWrap(bool word_wrap) override {
    widget_->setLineWrapMode(word_wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  }
  void SetHideSelection(bool hide) override {
    hide_selection_ = hide;
    ShowSelection();
  }
  void SetMaxLength(int bytes) override { limit_.SetMaximum(bytes, Text()); }

  void SetSelection(int start, int length) override {
    QString text = widget_->toPlainText();
    int total = EditorToGbkPosition(Utf16Of(text), static_cast<int>(text.size()));
    start = std::clamp(start, 0, total);
    int end = length < 0 ? total : std::clamp(start + length, start, total);
    QTextCursor cursor(widget_->document());
    cursor.setPosition(GbkToEditorPosition(Utf16Of(text), start));
    cursor.setPosition(GbkToEditorPosition(Utf16Of(text), end), QTextCursor::KeepAnchor);
    widget_->setTextCursor(cursor);
  }
  int SelectionStart() const override {
    return EditorToGbkPosition(Utf16Of(widget_->toPlainText()), widget_->textCursor().selectionStart());
  }
  int SelectionLength() const override {
    QString text = widget_->toPlainText();
    QTextCursor cursor = widget_->textCursor();
    return EditorToGbkPosition(Utf16Of(text), cursor.selectionEnd()) -
           EditorToGbkPosition(Utf16Of(text), cursor.selectionStart());
  }
  std::string SelectedText() const override { return FromQtLines(widget_->textCursor().selectedText()); }
  Point CaretPoint() const override {
    QPoint below = widget_->viewport()->mapTo(widget_.data(), widget_->cursorRect().bottomLeft());
    return {below.x(), below.y() + 1};
  }

  // To the next (previous) control of the window that Tab reaches.
  void MoveFocusOn(bool backwards) {
    QWidget* at = widget_.data();
    for (;;) {
      at = backwards ? at->previousInFocusChain() : at->nextInFocusChain();
      if (at == nullptr || at == widget_.data()) return;
      if (at->window() == widget_->window() && (at->focusPolicy() & Qt::TabFocus) && at->isVisible() &&
          at->isEnabled()) {
        at->setFocus(backwards ? Qt::BacktabFocusReason : Qt::TabFocusReason);
        return;
      }
    }
  }
  void Copy() override { widget_->copy(); }
  void Cut() override {
    if (!widget_->isReadOnly()) widget_->cut();
  }
  void Paste() override {
    if (!widget_->isReadOnly()) widget_->paste();
  }
  void Clear() override {
    if (widget_->isReadOnly()) return;
    QTextCursor cursor = widget_->textCursor();
    cursor.removeSelectedText();
    widget_->setTextCursor(cursor);
  }
  bool IsModified() const override { return widget_->document()->isModified(); }

 private:
  struct Programmatic {
    explicit Programmatic(QtRichEdit* edit) : edit(edit), was(edit->programmatic_) { edit->programmatic_ = true; }
    ~Programmatic() { edit->programmatic_ = was; }
    QtRichEdit* edit;
    bool was;
  };

  // Cuts what the user inserted beyond the maximum length; false when
  // nothing of the edit is left.
  bool KeepWithinMaximum() {
    bool changed = limit_.UserEdited(Text(), [this](const LimitedEdit& kept) {
      Programmatic guard(this);
      widget_->setPlainText(ToQtLines(kept.text));
      QTextCursor cursor(widget_->document());
      cursor.setPosition(GbkToEditorPosition(Utf16Of(widget_->toPlainText()), kept.caret));
      widget_->setTextCursor(cursor);
    });
    // Replacing the text cleared the flag; it stays as the user's edits left it.
    user_changed_ = user_changed_ || changed;
    widget_->document()->setModified(user_changed_);
    return changed;
  }

  // Hides the selection while the control has no focus, when asked to.
  void ShowSelection() {
    if (!widget_) return;
    QPalette palette = widget_->palette();
    QPalette defaults = QApplication::palette(widget_.data());
    bool hide = hide_selection_ && !widget_->hasFocus();
    palette.setColor(QPalette::Inactive, QPalette::Highlight,
                     hide ? palette.color(QPalette::Inactive, QPalette::Base) : defaults.color(QPalette::Inactive, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     hide ? palette.color(QPalette::Inactive, QPalette::Text) : defaults.color(QPalette::Inactive, QPalette::HighlightedText));
    widget_->setPalette(palette);
  }

  bool programmatic_ = false;
  bool hide_selection_ = true;
  bool multi_line_ = true;
  bool types_tab_ = false;
  LengthLimit limit_;
  bool user_changed_ = false;
};

}  // namespace

std::unique_ptr<NativeRichEdit> QtWindowSystem::CreateRichEdit(NativeParent& parent, const Rect& rect,
                                                               ControlListener& listener) {
  return std::make_unique<QtRichEdit>(new QPlainTextEdit(ContainerOf(&parent)), listener, rect);
}

}  // namespace tarnwick::qt
