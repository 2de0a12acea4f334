// The owner-drawn surface on Qt: a plain widget painting through a QtCanvas.
#include "platform/qt/qt_control.h"

#include <QPaintEvent>
#include <QRegion>

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

}  // namespace

std::unique_ptr<NativeSurface> QtWindowSystem::CreateSurface(NativeParent& parent, const Rect& rect,
                                                             ControlListener& listener) {
  return std::make_unique<QtSurface>(new SurfaceWidget(ContainerOf(&parent), listener), listener, rect);
}

}  // namespace tarnwick::qt
