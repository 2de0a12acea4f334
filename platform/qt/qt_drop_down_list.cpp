// The drop-down list on Qt: a QComboBox that cannot be edited.
#include "platform/qt/qt_control.h"

#include <QComboBox>
#include <QSignalBlocker>
#include <QStringList>

namespace tarnwick::qt {
namespace {

class QtDropDownList : public QtControl<NativeDropDownList, QComboBox> {
 public:
  QtDropDownList(QComboBox* widget, ControlListener& listener, const Rect& rect) : QtControl(widget, listener, rect) {
    widget->setEditable(false);
    widget->setMaxVisibleItems(30);
    // Clicks and Tab give a drop-down list the focus; the wheel does not
    // (it goes to the focused control, see InputRouter).
    widget->setFocusPolicy(Qt::StrongFocus);
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

}  // namespace

std::unique_ptr<NativeDropDownList> QtWindowSystem::CreateDropDownList(NativeParent& parent, const Rect& rect,
                                                                       ControlListener& listener) {
  return std::make_unique<QtDropDownList>(new QComboBox(ContainerOf(&parent)), listener, rect);
}

}  // namespace tarnwick::qt
