// The list box on Qt: a QListWidget kept in the order the program inserts.
#include "platform/qt/qt_control.h"

#include <QAbstractItemView>
#include <QFontMetrics>
#include <QListWidget>
#include <QStyledItemDelegate>
#include <algorithm>

namespace tarnwick::qt {
namespace {

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

}  // namespace

std::unique_ptr<NativeListBox> QtWindowSystem::CreateListBox(NativeParent& parent, const Rect& rect,
                                                             ControlListener& listener) {
  return std::make_unique<QtListBox>(new QListWidget(ContainerOf(&parent)), listener, rect);
}

}  // namespace tarnwick::qt
