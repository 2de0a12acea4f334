#include "platform/qt/qt_window_system.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QScrollBar>
#include <QStyledItemDelegate>
#include <QTextBlock>
#include <QTextCursor>
#include <QWindow>
#include <cmath>

#include "platform/frame_metrics.h"
#include "platform/qt/qt_canvas.h"
#include "platform/qt/qt_fonts.h"
#include "platform/qt/qt_input.h"
#include "platform/qt/qt_text.h"

namespace tarnwick::qt {
namespace {

// The dynamic property that leads from a widget to the bridge of its control.
constexpr char kBridgeProperty[] = "tarnwickInputBridge";

QFont ToQFont(const Font& font) {
  return ResolveFont(ToQString(font.face), font.height, font.weight == FontWeight::kBold, font.italic, font.underline);
}

Qt::CursorShape ToQtCursor(CursorShape shape) {
  switch (shape) {
    case CursorShape::kIBeam: return Qt::IBeamCursor;
    case CursorShape::kHand: return Qt::PointingHandCursor;
    case CursorShape::kWait: return Qt::WaitCursor;
    case CursorShape::kCross: return Qt::CrossCursor;
    default: return Qt::ArrowCursor;
  }
}

void ApplyFrame(QFrame* frame, ControlBorder border) {
  switch (border) {
    case ControlBorder::kNone: frame->setFrameStyle(QFrame::NoFrame); break;
    case ControlBorder::kRaised: frame->setFrameStyle(QFrame::Panel | QFrame::Raised); break;
    case ControlBorder::kFrame:
    case ControlBorder::kSingleLine: frame->setFrameStyle(QFrame::Box | QFrame::Plain); break;
    default: frame->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken); break;
  }
}

void ApplyColors(QWidget* widget, Color text, Color background) {
  QPalette palette = widget->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Base, ToQColor(background));
    if (group != QPalette::Disabled) palette.setColor(group, QPalette::Text, ToQColor(text));
  }
  widget->setPalette(palette);
}

// Delivers a control's input and focus notifications to its listener before
// the widget sees them; a false answer stops the widget's own processing.
class InputBridge : public QObject {
 public:
  InputBridge(QWidget* control, ControlListener& listener) : control_(control), listener_(listener) {
    Watch(control);
  }

  ControlListener& listener() { return listener_; }
  QWidget* control() const { return control_; }

  // Also listens to a part of the control (a viewport, a drop-down's line).
  void Watch(QWidget* part) {
    part->installEventFilter(this);
    part->setMouseTracking(true);
    part->setProperty(kBridgeProperty, QVariant::fromValue(static_cast<void*>(this)));
  }

  static InputBridge* Of(QObject* object) {
    for (QObject* at = object; at != nullptr; at = at->parent()) {
      QVariant bridge = at->property(kBridgeProperty);
      if (bridge.isValid()) return static_cast<InputBridge*>(bridge.value<void*>());
      if (at->isWidgetType() && static_cast<QWidget*>(at)->isWindow()) break;
    }
    return nullptr;
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    auto* widget = static_cast<QWidget*>(watched);
    switch (event->type()) {
      case QEvent::MouseButtonPress:
      case QEvent::MouseButtonRelease:
      case QEvent::MouseButtonDblClick:
      case QEvent::MouseMove: {
        if (widget != control_ && widget->property(kBridgeProperty).value<void*>() != this) return false;
        auto* mouse = static_cast<QMouseEvent*>(event);
        MouseEvent translated;
        translated.action = event->type() == QEvent::MouseButtonPress     ? MouseAction::kPress
                            : event->type() == QEvent::MouseButtonRelease ? MouseAction::kRelease
                            : event->type() == QEvent::MouseButtonDblClick ? MouseAction::kDoubleClick
                                                                            : MouseAction::kMove;
        if (translated.action != MouseAction::kMove) {
          translated.button = mouse->button() == Qt::LeftButton    ? MouseButton::kLeft
                              : mouse->button() == Qt::RightButton ? MouseButton::kRight
                              : mouse->button() == Qt::MiddleButton ? MouseButton::kMiddle
                                                                    : MouseButton::kNone;
        }
        QPoint at = widget->mapTo(control_->window(), mouse->position().toPoint());
        at = control_->mapFrom(control_->window(), at);
        translated.position = {at.x(), at.y()};
        translated.key_state = KeyState(mouse->modifiers());
        return !listener_.OnMouse(translated);
      }
      case QEvent::Leave:
        if (widget == control_) listener_.OnMouseLeave();
        return false;
      case QEvent::KeyPress:
      case QEvent::KeyRelease: {
        // Only the focused control's own keys, not those a child passed up.
        QWidget* focus = QApplication::focusWidget();
        if (focus != nullptr && focus != widget) return false;
        auto* key = static_cast<QKeyEvent*>(event);
        KeyEvent translated{event->type() == QEvent::KeyPress, KeyCode(*key), KeyState(key->modifiers())};
        if (translated.key_code != 0 && !listener_.OnKey(translated)) return true;
        if (event->type() == QEvent::KeyPress && !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
          for (std::uint32_t code : CharacterCodes(key->text())) {
            if (!listener_.OnCharacter(code)) return true;
          }
        }
        return false;
      }
      case QEvent::InputMethod: {
        // Text committed by the desktop's input method arrives as characters too.
        auto* input = static_cast<QInputMethodEvent*>(event);
        for (std::uint32_t code : CharacterCodes(input->commitString())) {
          if (!listener_.OnCharacter(code)) return true;
        }
        return false;
      }
      case QEvent::FocusIn:
      case QEvent::FocusOut:
        if (widget == control_) listener_.OnFocusChanged(event->type() == QEvent::FocusIn);
        return false;
      default:
        return false;
    }
  }

 private:
  QWidget* control_;
  ControlListener& listener_;
};

// The operations common to every control, over its widget.
template <class Interface, class Widget>
class QtControl : public Interface {
 public:
  QtControl(Widget* widget, ControlListener& listener, const Rect& rect)
      : widget_(widget), bridge_(std::make_unique<InputBridge>(widget, listener)) {
    widget->setGeometry(rect.left, rect.top, rect.width, rect.height);
    widget->show();
  }

  ~QtControl() override {
    bridge_.reset();  // no notification reaches a listener on the way out
    if (widget_) {
      widget_->disconnect();
      delete widget_.data();
    }
  }

  void SetRect(const Rect& rect) override { widget_->setGeometry(rect.left, rect.top, rect.width, rect.height); }
  void SetVisible(bool visible) override { widget_->setVisible(visible); }
  void SetEnabled(bool enabled) override { widget_->setEnabled(enabled); }
  void SetFocus() override {
    if (widget_->isVisible() && widget_->isEnabled()) widget_->setFocus(Qt::OtherFocusReason);
  }
  bool HasFocus() const override { return widget_->hasFocus(); }
  void SetTabStop(bool tab_stop) override {
    if (widget_->focusPolicy() == Qt::NoFocus) return;
    widget_->setFocusPolicy(tab_stop ? Qt::StrongFocus : Qt::ClickFocus);
  }
  void SetToolTip(std::string_view text) override { widget_->setToolTip(ToQtLines(text)); }
  void SetFont(const Font& font) override { widget_->setFont(ToQFont(font)); }
  void SetCursor(CursorShape shape) override {
    if (shape == CursorShape::kDefault) widget_->unsetCursor();
    else widget_->setCursor(ToQtCursor(shape));
  }
  void RaiseAboveSiblings() override { widget_->raise(); }

 protected:
  ControlListener& listener() { return bridge_->listener(); }
  InputBridge& bridge() { return *bridge_; }

  QPointer<Widget> widget_;
  std::unique_ptr<InputBridge> bridge_;
};

// ---- owner-drawn surface ----

class SurfaceWidget : public QWidget {
 public:
  SurfaceWidget(QWidget* parent, ControlListener& listener) : QWidget(parent), listener_(listener) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // the buffer covers every pixel
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::TabFocus);
  }

  void Invalidate(const QRect& rect) {
    pending_ += rect;
    update(rect);
  }
  void PaintPending() {
    if (!pending_.isEmpty()) repaint(pending_);
  }

 protected:
  void paintEvent(QPaintEvent* event) override {
    pending_ -= event->region();
    // Painting goes into the window's backing store, Qt's off-screen buffer,
    // which reaches the screen once the whole window has painted: double
    // buffering without a second copy per control.
    QtCanvas canvas(this);
    // Each invalid rectangle is painted alone, so moving over the calendar
    // repaints the cells involved and not the span between them.
    for (const QRect& dirty : event->region()) {
      Rect rect{dirty.x(), dirty.y(), dirty.width(), dirty.height()};
      canvas.SetClip(rect);
      listener_.OnPaint(canvas, rect);
      canvas.ResetClip();
    }
  }
  // Mouse input is the listener's (through the bridge); nothing goes further.
  void mousePressEvent(QMouseEvent* event) override { event->accept(); }
  void mouseReleaseEvent(QMouseEvent* event) override { event->accept(); }
  void mouseDoubleClickEvent(QMouseEvent* event) override { event->accept(); }
  void mouseMoveEvent(QMouseEvent* event) override { event->accept(); }

 private:
  ControlListener& listener_;
  QRegion pending_;
};

class QtSurface : public QtControl<NativeSurface, SurfaceWidget>, public QtParent {
 public:
  using QtControl::QtControl;
  // Its children (a calendar's drop-down lists) are drawn above its painting.
  QWidget* container() override { return widget_.data(); }
  void Invalidate(const Rect& rect) override { widget_->Invalidate(QRect(rect.left, rect.top, rect.width, rect.height)); }
  void InvalidateAll() override { widget_->Invalidate(widget_->rect()); }
  void Update() override { widget_->PaintPending(); }
  void SetTakesFocus(bool takes_focus) override {
    click_focus_ = takes_focus;
    ApplyFocusPolicy();
  }
  void SetTabStop(bool tab_stop) override {
    tab_focus_ = tab_stop;
    ApplyFocusPolicy();
  }

 private:
  void ApplyFocusPolicy() {
    int policy = (tab_focus_ ? Qt::TabFocus : 0) | (click_focus_ ? Qt::ClickFocus : 0);
    widget_->setFocusPolicy(static_cast<Qt::FocusPolicy>(policy));
  }
  bool tab_focus_ = true;
  bool click_focus_ = false;
};

// ---- push button and check box ----

// The program handles mnemonics itself: the underline stays, the shortcut goes.
template <class Button>
void SetCaptionWithoutShortcut(Button* button, std::string_view caption) {
  button->setText(ToQtLines(caption));
  button->setShortcut(QKeySequence());
}

class QtButton : public QtControl<NativeButton, QPushButton> {
 public:
  QtButton(QPushButton* widget, ControlListener& listener, const Rect& rect) : QtControl(widget, listener, rect) {
    QObject::connect(widget, &QPushButton::clicked, &bridge(), [this] { this->listener().OnClicked(); });
  }
  void SetCaption(std::string_view caption) override {
    caption_ = ToQtLines(caption);
    Arrange();
  }
  void SetIcon(const Image& icon) override {
    if (icon.empty()) {
      widget_->setIcon(QIcon());
    } else {
      widget_->setIcon(QIcon(QPixmap::fromImage(ToQImage(icon))));
      widget_->setIconSize(QSize(icon.width(), icon.height()));
    }
    Arrange();
  }
  void SetRect(const Rect& rect) override {
    QtControl::SetRect(rect);
    Arrange();
  }
  void SetFont(const Font& font) override {
    QtControl::SetFont(font);
    Arrange();
  }
  void SetToolTip(std::string_view text) override {
    tool_tip_ = ToQtLines(text);
    Arrange();
  }
  void Click() override {
    if (widget_->isEnabled()) widget_->click();
  }

 private:
  // A button too narrow for its icon and caption shows the icon alone and
  // names itself in its tooltip, rather than showing a clipped caption.
  void Arrange() {
    bool fits = true;
    if (!widget_->icon().isNull() && !caption_.isEmpty()) {
      QString shown = caption_;
      shown.remove(QLatin1Char('&'));
      int needed = widget_->iconSize().width() + 4 + widget_->fontMetrics().horizontalAdvance(shown) + 8;
      fits = needed <= widget_->width();
    }
    SetCaptionWithoutShortcut(widget_.data(), FromQString(fits ? caption_ : QString()));
    widget_->setAccessibleName(caption_);
    widget_->setToolTip(!tool_tip_.isEmpty() || fits ? tool_tip_ : caption_);
  }

  QString caption_;
  QString tool_tip_;
};

class QtCheckBox : public QtControl<NativeCheckBox, QCheckBox> {
 public:
  QtCheckBox(QCheckBox* widget, ControlListener& listener, const Rect& rect) : QtControl(widget, listener, rect) {
    QObject::connect(widget, &QCheckBox::clicked, &bridge(), [this] { this->listener().OnClicked(); });
  }
  void SetCaption(std::string_view caption) override { SetCaptionWithoutShortcut(widget_.data(), caption); }
  void SetChecked(bool checked) override { widget_->setChecked(checked); }
  bool IsChecked() const override { return widget_->isChecked(); }
  void Click() override {
    if (widget_->isEnabled()) widget_->click();
  }
};

// ---- list box ----

// Item height = font height + the extra spacing, as the list box measures it.
class SpacingDelegate : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;
  int spacing = 0;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize hint = QStyledItemDelegate::sizeHint(option, index);
    hint.setHeight(QFontMetrics(option.font).height() + spacing);
    return hint;
  }
};

class QtListBox : public QtControl<NativeListBox, QListWidget> {
 public:
  QtListBox(QListWidget* widget, ControlListener& listener, const Rect& rect) : QtControl(widget, listener, rect) {
    bridge().Watch(widget->viewport());
    delegate_ = new SpacingDelegate(widget);
    widget->setItemDelegate(delegate_);
    widget->setSelectionMode(QAbstractItemView::SingleSelection);
    widget->setUniformItemSizes(true);
    widget->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QObject::connect(widget, &QListWidget::itemSelectionChanged, &bridge(), [this] {
      if (!programmatic_) this->listener().OnSelectionChanged();
    });
  }
  void Clear() override {
    Programmatic guard(this);
    widget_->clear();
  }
  void InsertItem(int index, std::string_view text) override {
    Programmatic guard(this);
    widget_->insertItem(std::clamp(index, 0, widget_->count()), ToQString(text));
  }
  int Count() const override { return widget_->count(); }
  std::string ItemText(int index) const override {
    QListWidgetItem* item = widget_->item(index);
    return item == nullptr ? std::string() : FromQString(item->text());
  }
  int Selection() const override {
    auto selected = widget_->selectedItems();
    return selected.isEmpty() ? -1 : widget_->row(selected.first());
  }
  void SetSelection(int index) override {
    Programmatic guard(this);
    if (index < 0 || index >= widget_->count()) {
      widget_->clearSelection();
      return;
    }
    widget_->setCurrentRow(index);
    widget_->scrollToItem(widget_->item(index));
  }
  void SetItemSpacing(int spacing) override {
    delegate_->spacing = std::max(0, spacing);
    // The view lays its items out again when it next shows, not now.
    emit delegate_->sizeHintChanged(QModelIndex());
  }
  void SetColors(Color text, Color background) override { ApplyColors(widget_.data(), text, background); }
  void SetBorder(ControlBorder border) override { ApplyFrame(widget_.data(), border); }
  void SetMultiColumn(bool multi_column) override {
    widget_->setFlow(QListView::TopToBottom);  // columns fill top to bottom, then wrap
    widget_->setWrapping(multi_column);
    widget_->setHorizontalScrollBarPolicy(multi_column ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
  }

 private:
  struct Programmatic {
    explicit Programmatic(QtListBox* list) : list(list) { list->programmatic_ = true; }
    ~Programmatic() { list->programmatic_ = false; }
    QtListBox* list;
  };
  SpacingDelegate* delegate_;
  bool programmatic_ = false;
};

// ---- single-line edit ----

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
    // An asterisk per character, as the original shows it.
    widget_->setStyleSheet(masked ? QStringLiteral("QLineEdit { lineedit-password-character: 42; }") : QString());
  }
  void SetMaxLength(int bytes) override { max_bytes_ = std::max(0, bytes); }
  void SetReadOnly(bool read_only) override { widget_->setReadOnly(read_only); }

 private:
  int max_bytes_ = 0;
  QString last_text_;
};

// ---- rich edit (plain text) ----

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
      if (max_bytes_ > 0 && !KeepWithinMaximum()) return;
      this->listener().OnTextChanged();
    });
    QObject::connect(qApp, &QApplication::focusChanged, &bridge(), [this](QWidget*, QWidget*) { ShowSelection(); });
  }

  void SetText(std::string_view text) override {
    Programmatic guard(this);
    widget_->setPlainText(ToQtLines(text));
    if (max_bytes_ > 0) last_text_ = Text();
    user_changed_ = false;
    widget_->moveCursor(QTextCursor::Start);
    widget_->document()->setModified(false);
  }
  std::string Text() const override { return FromQtLines(widget_->toPlainText()); }
  void SetReadOnly(bool read_only) override {
    widget_->setReadOnly(read_only);
    // Read-only still lets the user select and copy, as the original does.
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

 protected:
  // A single-line editor takes no line break from the keyboard.
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!multi_line_ && watched == widget_.data() && event->type() == QEvent::KeyPress) {
      int key = static_cast<QKeyEvent*>(event)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) return true;
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
  void SetMaxLength(int bytes) override {
    max_bytes_ = std::max(0, bytes);
    last_text_ = Text();
  }

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
    std::string now = Text();
    if (static_cast<int>(now.size()) > max_bytes_) {
      LimitedEdit limited = LimitEdit(last_text_, now, max_bytes_);
      Programmatic guard(this);
      widget_->setPlainText(ToQtLines(limited.text));
      QTextCursor cursor(widget_->document());
      cursor.setPosition(GbkToEditorPosition(Utf16Of(widget_->toPlainText()), limited.caret));
      widget_->setTextCursor(cursor);
      now = std::move(limited.text);
    }
    bool changed = now != last_text_;
    // Replacing the text cleared the flag; it stays as the user's edits left it.
    user_changed_ = user_changed_ || changed;
    widget_->document()->setModified(user_changed_);
    last_text_ = std::move(now);
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
  int max_bytes_ = 0;
  std::string last_text_;  // kept while a maximum length is set
  bool user_changed_ = false;
};

// ---- drop-down list ----

// Some styles (Fusion among them) open a combo box's list as a menu laid over
// the box, centred on the current item and as tall as the screen allows. A
// drop-down list opens below its box, at most maxVisibleItems rows high.
class DropDownListStyle : public QProxyStyle {
 public:
  DropDownListStyle() : QProxyStyle(QApplication::style()->name()) {}
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* answer) const override {
    if (hint == SH_ComboBox_Popup) return 0;
    return QProxyStyle::styleHint(hint, option, widget, answer);
  }
};

// One style for every drop-down list, owned by the application.
QStyle* DropDownStyle() {
  static QPointer<QStyle> style;
  if (style.isNull()) {
    style = new DropDownListStyle;
    style->setParent(qApp);
  }
  return style.data();
}

class QtDropDownList : public QtControl<NativeDropDownList, QComboBox> {
 public:
  QtDropDownList(QComboBox* widget, ControlListener& listener, const Rect& rect) : QtControl(widget, listener, rect) {
    widget->setEditable(false);
    widget->setMaxVisibleItems(30);
    // Clicks and Tab give a drop-down list the focus; the wheel does not
    // (it goes to the focused control, see InputRouter).
    widget->setFocusPolicy(Qt::StrongFocus);
    widget->setStyle(DropDownStyle());
    QObject::connect(widget, &QComboBox::activated, &bridge(), [this](int) { this->listener().OnSelectionChanged(); });
  }
  void SetItems(const std::vector<std::string>& items) override {
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(items.size()));
    for (const auto& item : items) texts.append(ToQString(item));
    QSignalBlocker quiet(widget_.data());
    widget_->clear();
    // One insertion for the whole list: the calendar's year list has two
    // hundred entries, and each insertion of its own is handled in full.
    widget_->addItems(texts);
    widget_->setCurrentIndex(-1);
  }
  int Count() const override { return widget_->count(); }
  std::string ItemText(int index) const override {
    return index < 0 || index >= widget_->count() ? std::string() : FromQString(widget_->itemText(index));
  }
  int Selection() const override { return widget_->currentIndex(); }
  void SetSelection(int index) override {
    QSignalBlocker quiet(widget_.data());
    widget_->setCurrentIndex(index >= 0 && index < widget_->count() ? index : -1);
  }
};

// ---- group frame ----

// The classic group frame: an etched rectangle whose top edge runs through
// the middle of the caption. Drawn here rather than by the style, whose
// frame picture would also make Qt load every image plugin at the first paint.
class GroupFrameWidget : public QGroupBox {
 public:
  using QGroupBox::QGroupBox;

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    QFontMetrics metrics = fontMetrics();
    int top = metrics.height() / 2;
    QRect frame = rect().adjusted(0, top, -1, -1);
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(frame.adjusted(1, 1, 0, 0));
    if (title().isEmpty()) return;
    QString caption = title();
    caption.remove(QLatin1Char('&'));
    QRect text(8, 0, metrics.horizontalAdvance(caption) + 2, metrics.height());
    painter.fillRect(text, palette().color(QPalette::Window));
    painter.setPen(palette().color(isEnabled() ? QPalette::WindowText : QPalette::PlaceholderText));
    painter.drawText(text.adjusted(1, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, caption);
  }
};

class QtGroupFrame : public QtControl<NativeGroupFrame, QGroupBox>, public QtParent {
 public:
  QtGroupFrame(QGroupBox* widget, ControlListener& listener, const Rect& rect) : QtControl(widget, listener, rect) {
    widget->setFocusPolicy(Qt::NoFocus);
  }
  void SetCaption(std::string_view caption) override { widget_->setTitle(ToQString(caption)); }
  QWidget* container() override { return widget_.data(); }
};

// ---- top-level window ----

class TopWindowWidget : public QWidget {
 public:
  explicit TopWindowWidget(WindowListener& listener) : listener_(listener) {}

 protected:
  void closeEvent(QCloseEvent* event) override {
    // The listener decides; the window goes only when its object is destroyed.
    event->ignore();
    listener_.OnCloseRequested();
  }
  void changeEvent(QEvent* event) override {
    if (event->type() == QEvent::ActivationChange) {
      bool active = isActiveWindow();
      if (active != was_active_) {
        was_active_ = active;
        listener_.OnActivationChanged(active);
      }
    }
    QWidget::changeEvent(event);
  }

 private:
  WindowListener& listener_;
  bool was_active_ = false;
};

class QtWindow : public NativeWindow, public QtParent {
 public:
  QtWindow(const WindowStyle& style, const Rect& outer, std::string_view caption, WindowListener& listener)
      : style_(style),
        frame_(DescribeFrame(style, caption)),
        widget_(new TopWindowWidget(listener)),
        bridge_(std::make_unique<InputBridge>(widget_, listener)) {
    widget_->setFocusPolicy(Qt::NoFocus);
    widget_->setWindowFlags(Flags(style_.always_on_top));
    if (!style.takes_activation) {
      widget_->setAttribute(Qt::WA_ShowWithoutActivating);
      widget_->setAttribute(Qt::WA_X11DoNotAcceptFocus);
    }
    // A frameless, always-on-top window outside the task bar is a dock:
    // window managers place it where asked and keep it above the others.
    if (style.frame == FrameStyle::kNone && !style.in_taskbar && style.always_on_top) {
      widget_->setAttribute(Qt::WA_X11NetWmWindowTypeDock);
    }
    SetBackground(style.background);
    widget_->setWindowTitle(ToQString(caption));
    SetOuterRect(outer);
  }

  ~QtWindow() override {
    bridge_.reset();
    delete widget_;
  }

  QWidget* container() override { return widget_; }

  void SetCaption(std::string_view caption) override { widget_->setWindowTitle(ToQString(caption)); }

  Rect OuterRect() const override {
    QPoint at = widget_->isVisible() ? widget_->frameGeometry().topLeft() : widget_->pos();
    // A frame the user can resize answers the size the user left it at.
    Size outer = frame_.resizable ? OuterSizeFor(ProgramFrameInsets(frame_), ClientSize()) : outer_;
    return {at.x(), at.y(), outer.width, outer.height};
  }

  void SetOuterRect(const Rect& rect) override {
    outer_ = {rect.width, rect.height};
    Size client = ClientSizeFor(ProgramFrameInsets(frame_), outer_);
    int width = std::max(1, client.width);
    int height = std::max(1, client.height);
    if (!frame_.resizable) {
      widget_->setFixedSize(width, height);
    } else {
      widget_->resize(width, height);
    }
    widget_->move(rect.left, rect.top);
  }

  Size ClientSize() const override { return {widget_->width(), widget_->height()}; }

  Point ClientOrigin() const override {
    QPoint origin = widget_->mapToGlobal(QPoint(0, 0));
    return {origin.x(), origin.y()};
  }

  void Show() override {
    // A native window made by this show is mapped above its siblings
    // already. Raising it anyway makes the server report a new stacking,
    // and Qt then asks for the window's position and frame again: four
    // round trips to the server before the first paint.
    bool made_now = !widget_->testAttribute(Qt::WA_WState_Created);
    widget_->show();
    if (style_.takes_activation) {
      if (!made_now) widget_->raise();
      widget_->activateWindow();
    }
  }
  void Hide() override { widget_->hide(); }
  bool IsVisible() const override { return widget_->isVisible(); }

  void SetWindowOrder(WindowOrder order) override {
    switch (order) {
      case WindowOrder::kTop: widget_->raise(); break;
      case WindowOrder::kBottom: widget_->lower(); break;
      case WindowOrder::kAlwaysOnTop:
      case WindowOrder::kNotAlwaysOnTop: {
        bool on_top = order == WindowOrder::kAlwaysOnTop;
        Qt::WindowFlags flags = Flags(on_top);
        // Changed on the native window in place: re-creating it would hide
        // and possibly activate it.
        widget_->overrideWindowFlags(flags);
        if (QWindow* handle = widget_->windowHandle()) handle->setFlags(flags);
        widget_->raise();
        break;
      }
    }
  }

  void Activate() override {
    widget_->raise();
    widget_->activateWindow();
  }
  bool IsActive() const override { return widget_->isActiveWindow(); }

  void SetBackground(Color color) override {
    QPalette palette = widget_->palette();
    palette.setColor(QPalette::Window, ToQColor(color));
    widget_->setPalette(palette);
    widget_->setAutoFillBackground(true);
  }

 private:
  Qt::WindowFlags Flags(bool on_top) const {
    Qt::WindowFlags flags = style_.in_taskbar ? Qt::Window : Qt::Tool;
    if (!frame_.border) {
      flags |= Qt::FramelessWindowHint;
    } else {
      flags |= Qt::CustomizeWindowHint;
      if (frame_.title_bar) flags |= Qt::WindowTitleHint;
      if (style_.system_menu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
      if (style_.minimize_box) flags |= Qt::WindowMinimizeButtonHint;
      if (style_.maximize_box) flags |= Qt::WindowMaximizeButtonHint;
      if (!frame_.resizable) flags |= Qt::MSWindowsFixedSizeDialogHint;
    }
    if (on_top) flags |= Qt::WindowStaysOnTopHint;
    if (!style_.takes_activation) flags |= Qt::WindowDoesNotAcceptFocus;
    return flags;
  }

  WindowStyle style_;
  FrameParts frame_;  // decided at creation
  TopWindowWidget* widget_;
  std::unique_ptr<InputBridge> bridge_;
  Size outer_;
};

// Application-wide routing of Alt+key (the program's mnemonics) and of the
// wheel: a turn goes to the control with the keyboard focus, as on Windows,
// wherever the pointer is; the control under the pointer does not also get it.
class InputRouter : public QObject {
 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (!watched->isWidgetType()) return false;
    auto* widget = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(event);
      Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
      if (modifiers != Qt::AltModifier) return false;
      int code = KeyCode(*key);
      if (code == 0 || code == keys::kAlt || code == keys::kShift || code == keys::kControl) return false;
      QWidget* focus = QApplication::focusWidget();
      if (focus != nullptr ? focus != widget : !widget->isWindow()) return false;  // once per key
      auto* window = dynamic_cast<TopWindowWidget*>(widget->window());
      if (window == nullptr) return false;
      InputBridge* bridge = InputBridge::Of(window);
      if (bridge == nullptr) return false;
      auto& listener = static_cast<WindowListener&>(bridge->listener());
      return listener.OnMnemonicKey({true, code, KeyState(key->modifiers())});
    }
    if (event->type() == QEvent::Wheel) {
      if (forwarding_) return false;  // handed to the focused control below
      auto* wheel = static_cast<QWheelEvent*>(event);
      if (wheel == last_wheel_ && wheel->timestamp() == last_wheel_time_) return false;  // passed up, seen already
      last_wheel_ = wheel;
      last_wheel_time_ = wheel->timestamp();
      QWidget* focus = QApplication::focusWidget();
      if (focus == nullptr || focus->window() != widget->window()) return false;
      InputBridge* bridge = InputBridge::Of(focus);
      if (bridge == nullptr) return false;
      QPoint at = bridge->control()->mapFromGlobal(wheel->globalPosition().toPoint());
      int delta = wheel->angleDelta().y() != 0 ? wheel->angleDelta().y() : wheel->angleDelta().x();
      if (!bridge->listener().OnWheel({delta, {at.x(), at.y()}, KeyState(wheel->modifiers())})) return true;
      // The turn is the focused control's alone: the control under the
      // pointer, when it is another one, must not act on it too.
      if (InputBridge::Of(widget) == bridge) return false;
      // A scrolling control takes the wheel on its viewport.
      QWidget* target = focus;
      if (auto* scrolling = qobject_cast<QAbstractScrollArea*>(focus)) target = scrolling->viewport();
      QWheelEvent handed(target->mapFromGlobal(wheel->globalPosition()), wheel->globalPosition(),
                         wheel->pixelDelta(), wheel->angleDelta(), wheel->buttons(), wheel->modifiers(),
                         wheel->phase(), wheel->inverted(), wheel->source(), wheel->pointingDevice());
      handed.setTimestamp(wheel->timestamp());
      forwarding_ = true;
      QApplication::sendEvent(target, &handed);
      forwarding_ = false;
      return true;
    }
    return false;
  }

 private:
  const QWheelEvent* last_wheel_ = nullptr;
  quint64 last_wheel_time_ = 0;
  bool forwarding_ = false;
};

}  // namespace

QWidget* ContainerOf(NativeParent* parent) {
  auto* qt_parent = dynamic_cast<QtParent*>(parent);
  return qt_parent == nullptr ? nullptr : qt_parent->container();
}

QtWindowSystem::QtWindowSystem() : router_(std::make_unique<InputRouter>()) {
  qApp->installEventFilter(router_.get());
}

QtWindowSystem::~QtWindowSystem() = default;

std::unique_ptr<NativeWindow> QtWindowSystem::CreateTopLevelWindow(const WindowStyle& style, const Rect& outer,
                                                                   std::string_view caption,
                                                                   WindowListener& listener) {
  return std::make_unique<QtWindow>(style, outer, caption, listener);
}

std::unique_ptr<NativeSurface> QtWindowSystem::CreateSurface(NativeParent& parent, const Rect& rect,
                                                             ControlListener& listener) {
  return std::make_unique<QtSurface>(new SurfaceWidget(ContainerOf(&parent), listener), listener, rect);
}

std::unique_ptr<NativeButton> QtWindowSystem::CreateButton(NativeParent& parent, const Rect& rect,
                                                           ControlListener& listener) {
  auto* button = new QPushButton(ContainerOf(&parent));
  button->setAutoDefault(false);
  return std::make_unique<QtButton>(button, listener, rect);
}

std::unique_ptr<NativeCheckBox> QtWindowSystem::CreateCheckBox(NativeParent& parent, const Rect& rect,
                                                               ControlListener& listener) {
  return std::make_unique<QtCheckBox>(new QCheckBox(ContainerOf(&parent)), listener, rect);
}

std::unique_ptr<NativeListBox> QtWindowSystem::CreateListBox(NativeParent& parent, const Rect& rect,
                                                             ControlListener& listener) {
  return std::make_unique<QtListBox>(new QListWidget(ContainerOf(&parent)), listener, rect);
}

std::unique_ptr<NativeEdit> QtWindowSystem::CreateEdit(NativeParent& parent, const Rect& rect,
                                                       ControlListener& listener) {
  return std::make_unique<QtEdit>(new QLineEdit(ContainerOf(&parent)), listener, rect);
}

std::unique_ptr<NativeRichEdit> QtWindowSystem::CreateRichEdit(NativeParent& parent, const Rect& rect,
                                                               ControlListener& listener) {
  return std::make_unique<QtRichEdit>(new QPlainTextEdit(ContainerOf(&parent)), listener, rect);
}

std::unique_ptr<NativeDropDownList> QtWindowSystem::CreateDropDownList(NativeParent& parent, const Rect& rect,
                                                                       ControlListener& listener) {
  return std::make_unique<QtDropDownList>(new QComboBox(ContainerOf(&parent)), listener, rect);
}

std::unique_ptr<NativeGroupFrame> QtWindowSystem::CreateGroupFrame(NativeParent& parent, const Rect& rect,
                                                                   ControlListener& listener) {
  return std::make_unique<QtGroupFrame>(new GroupFrameWidget(ContainerOf(&parent)), listener, rect);
}

Color QtWindowSystem::GetSystemColor(SystemColor role) const {
  QPalette palette = QApplication::palette();
  QColor colour;
  switch (role) {
    case SystemColor::kWindow: colour = palette.color(QPalette::Base); break;
    case SystemColor::kWindowText: colour = palette.color(QPalette::Text); break;
    case SystemColor::kButtonFace: colour = palette.color(QPalette::Button); break;
    case SystemColor::kButtonText: colour = palette.color(QPalette::ButtonText); break;
    case SystemColor::kButtonHighlight: colour = palette.color(QPalette::Light); break;
    case SystemColor::kButtonLight: colour = palette.color(QPalette::Midlight); break;
    case SystemColor::kButtonShadow: colour = palette.color(QPalette::Mid); break;
    case SystemColor::kButtonDarkShadow: colour = palette.color(QPalette::Shadow); break;
    case SystemColor::kGrayText: colour = palette.color(QPalette::Disabled, QPalette::Text); break;
    case SystemColor::kHighlight: colour = palette.color(QPalette::Highlight); break;
    case SystemColor::kHighlightText: colour = palette.color(QPalette::HighlightedText); break;
    case SystemColor::kInfoBackground: colour = palette.color(QPalette::ToolTipBase); break;
    case SystemColor::kInfoText: colour = palette.color(QPalette::ToolTipText); break;
  }
  return Rgb(colour.red(), colour.green(), colour.blue());
}

Font QtWindowSystem::DefaultGuiFont() const {
  QFont font = QApplication::font();
  Font result;
  result.face = FromQString(RequestedGuiFamily());
  result.height = font.pixelSize() > 0 ? font.pixelSize() : 12;
  return result;
}

std::unique_ptr<Canvas> QtWindowSystem::CreateOffscreenCanvas(Size size) { return std::make_unique<QtCanvas>(size); }

}  // namespace tarnwick::qt
