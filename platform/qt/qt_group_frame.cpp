// The group frame on Qt: a QGroupBox drawn in the classic way.
#include "platform/qt/qt_control.h"

#include <QFontMetrics>
#include <QGroupBox>
#include <QPainter>
#include <QPaintEvent>

namespace tarnwick::qt {
namespace {

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

}  // namespace

std::unique_ptr<NativeGroupFrame> QtWindowSystem::CreateGroupFrame(NativeParent& parent, const Rect& rect,
                                                                   ControlListener& listener) {
  return std::make_unique<QtGroupFrame>(new GroupFrameWidget(ContainerOf(&parent)), listener, rect);
}

}  // namespace tarnwick::qt
