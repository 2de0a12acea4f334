// Push buttons and check boxes on Qt.
#include "platform/qt/qt_control.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QIcon>
#include <QKeySequence>
#include <QPixmap>
#include <QPushButton>

#include "platform/qt/qt_canvas.h"

namespace tarnwick::qt {
namespace {

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

}  // namespace

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

}  // namespace tarnwick::qt
