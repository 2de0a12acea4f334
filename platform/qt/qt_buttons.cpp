// Push buttons and check boxes on Qt.
#include "platform/qt/qt_control.h"

#include <QCheckBox>
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
  void SetCaption(std::string_view caption) override { SetCaptionWithoutShortcut(widget_.data(), caption); }
  void SetIcon(const Image& icon) override {
    if (icon.empty()) {
      widget_->setIcon(QIcon());
    } else {
      widget_->setIcon(QIcon(QPixmap::fromImage(ToQImage(icon))));
      widget_->setIconSize(QSize(icon.width(), icon.height()));
    }
  }
  void Click() override {
    if (widget_->isEnabled()) widget_->click();
  }
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
