// The owner-drawn surface on Qt: a plain widget painting through a QtCanvas.
#include "platform/qt/qt_control.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPaintEvent>
#include <QRegion>
#include <vector>

#include "platform/qt/qt_canvas.h"

namespace tarnwick::qt {
namespace {

class SurfaceWidget : public QWidget {
 public:
  SurfaceWidget(QWidget* parent, ControlListener& listener) : QWidget(parent), listener_(listener) {
    setAttribute(Qt::WA_OpaquePaintEvent);  // the buffer covers every pixel
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::TabFocus);
    setProperty(kSurfaceProperty, true);
  }

  void Invalidate(const QRect& rect) {
    pending_ += rect;
    update(rect);
  }
  void PaintPending() {
    if (!pending_.isEmpty()) repaint(pending_);
  }

  const AccessibleDescription& accessible() const { return accessible_; }
  void SetAccessible(const AccessibleDescription& description);
  ~SurfaceWidget() override {
    for (QAccessible::Id id : part_ids_) QAccessible::deleteAccessibleInterface(id);
  }
  QAccessibleInterface* Part(int index);

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
  AccessibleDescription accessible_;
  std::vector<QAccessible::Id> part_ids_;  // one interface per part index, made when first asked for
};

QAccessible::Role QtRole(AccessibleRole role) {
  switch (role) {
    case AccessibleRole::kButton: return QAccessible::Button;
    case AccessibleRole::kStaticText: return QAccessible::StaticText;
    case AccessibleRole::kLink: return QAccessible::Link;
    case AccessibleRole::kGraphic: return QAccessible::Graphic;
    case AccessibleRole::kTable: return QAccessible::Table;
    default: return QAccessible::Client;
  }
}

// A part of a surface (a day of the calendar): named, placed, focused when
// the keyboard is on it.
class PartAccessible : public QAccessibleInterface {
 public:
  PartAccessible(SurfaceWidget* surface, int index) : surface_(surface), index_(index) {}
  bool isValid() const override { return surface_ != nullptr && index_ < PartCount(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return surface_ ? surface_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QAccessibleInterface* parent() const override { return surface_ ? QAccessible::queryAccessibleInterface(surface_) : nullptr; }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QString text(QAccessible::Text t) const override {
    if (t != QAccessible::Name || !isValid()) return {};
    return ToQString(surface_->accessible().parts[index_].name);
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!isValid()) return {};
    const Rect& r = surface_->accessible().parts[index_].rect;
    return QRect(surface_->mapToGlobal(QPoint(r.left, r.top)), QSize(r.width, r.height));
  }
  QAccessible::Role role() const override { return QAccessible::Cell; }
  QAccessible::State state() const override {
    QAccessible::State state;
    state.focusable = true;
    state.selectable = true;
    if (isValid() && surface_->accessible().focused_part == index_) {
      state.selected = true;
      state.focused = surface_->hasFocus();
    }
    return state;
  }

 private:
  int PartCount() const { return static_cast<int>(surface_->accessible().parts.size()); }
  QPointer<SurfaceWidget> surface_;
  int index_;
};

// The surface itself: its role and name as the program describes it, its
// parts after its own child widgets (a calendar's lists).
class SurfaceAccessible : public QAccessibleWidget {
 public:
  explicit SurfaceAccessible(SurfaceWidget* surface) : QAccessibleWidget(surface), surface_(surface) {}
  QAccessible::Role role() const override { return QtRole(surface_->accessible().role); }
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return ToQString(surface_->accessible().name);
    return QAccessibleWidget::text(t);
  }
  int childCount() const override { return QAccessibleWidget::childCount() + PartCount(); }
  QAccessibleInterface* child(int index) const override {
    int widgets = QAccessibleWidget::childCount();
    if (index < widgets) return QAccessibleWidget::child(index);
    return index - widgets < PartCount() ? surface_->Part(index - widgets) : nullptr;
  }
  int indexOfChild(const QAccessibleInterface* child) const override {
    int widgets = QAccessibleWidget::childCount();
    for (int i = 0; i < PartCount(); ++i) {
      if (surface_->Part(i) == child) return widgets + i;
    }
    return QAccessibleWidget::indexOfChild(child);
  }
  QAccessibleInterface* focusChild() const override {
    int focused = surface_->accessible().focused_part;
    if (surface_->hasFocus() && focused >= 0 && focused < PartCount()) return surface_->Part(focused);
    return QAccessibleWidget::focusChild();
  }

 private:
  int PartCount() const { return static_cast<int>(surface_->accessible().parts.size()); }
  SurfaceWidget* surface_;
};

QAccessibleInterface* SurfaceWidget::Part(int index) {
  while (static_cast<int>(part_ids_.size()) <= index) {
    part_ids_.push_back(QAccessible::registerAccessibleInterface(
        new PartAccessible(this, static_cast<int>(part_ids_.size()))));
  }
  return QAccessible::accessibleInterface(part_ids_[index]);
}

void SurfaceWidget::SetAccessible(const AccessibleDescription& description) {
  const bool moved = description.focused_part != accessible_.focused_part;
  const bool renamed = description.name != accessible_.name;
  accessible_ = description;
  if (renamed) {
    QAccessibleEvent event(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&event);
  }
  if (moved && hasFocus() && accessible_.focused_part >= 0 &&
      accessible_.focused_part < static_cast<int>(accessible_.parts.size())) {
    QAccessibleEvent event(Part(accessible_.focused_part), QAccessible::Focus);
    QAccessible::updateAccessibility(&event);
  }
}

QAccessibleInterface* SurfaceAccessibleFactory(const QString&, QObject* object) {
  auto* widget = qobject_cast<QWidget*>(object);
  if (widget == nullptr || !widget->property(kSurfaceProperty).toBool()) return nullptr;
  return new SurfaceAccessible(static_cast<SurfaceWidget*>(widget));
}

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
  void SetAccessible(const AccessibleDescription& description) override { widget_->SetAccessible(description); }

 private:
  void ApplyFocusPolicy() {
    int policy = (tab_focus_ ? Qt::TabFocus : 0) | (click_focus_ ? Qt::ClickFocus : 0);
    widget_->setFocusPolicy(static_cast<Qt::FocusPolicy>(policy));
  }
  bool tab_focus_ = true;
  bool click_focus_ = false;
};

}  // namespace

std::unique_ptr<NativeSurface> QtWindowSystem::CreateSurface(NativeParent& parent, const Rect& rect,
                                                             ControlListener& listener) {
  static const bool factory_installed = [] {
    QAccessible::installFactory(&SurfaceAccessibleFactory);
    return true;
  }();
  (void)factory_installed;
  return std::make_unique<QtSurface>(new SurfaceWidget(ContainerOf(&parent), listener), listener, rect);
}

}  // namespace tarnwick::qt
