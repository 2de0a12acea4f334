#include "platform/qt/qt_canvas.h"

#include <QFontMetrics>
#include <algorithm>

#include "platform/qt/qt_fonts.h"
#include "platform/qt/qt_text.h"

namespace tarnwick::qt {
namespace {

QRect ToQRect(const Rect& rect) { return QRect(rect.left, rect.top, rect.width, rect.height); }

// Line breaks as the layer writes them ("\r\n" or "\n") become Qt's "\n".
QString TextForDrawing(std::string_view text) {
  QString result = ToQString(text);
  result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return result;
}

int QtTextFlags(int flags) {
  int result = 0;
  int horizontal = flags & 3;
  result |= horizontal == text_flags::kCenter  ? Qt::AlignHCenter
            : horizontal == text_flags::kRight ? Qt::AlignRight
                                               : Qt::AlignLeft;
  if (flags & text_flags::kSingleLine) {
    result |= Qt::TextSingleLine;
    result |= (flags & text_flags::kBottom)           ? Qt::AlignBottom
              : (flags & text_flags::kVerticalCenter) ? Qt::AlignVCenter
                                                      : Qt::AlignTop;
  } else {
    result |= Qt::AlignTop;  // several lines always start at the top
    if (flags & text_flags::kWordWrap) result |= Qt::TextWordWrap;
  }
  if (flags & text_flags::kMnemonic) result |= Qt::TextShowMnemonic;
  return result;
}

}  // namespace

QColor ToQColor(Color color) { return QColor(color.red, color.green, color.blue); }

QImage ToQImage(const Image& image) {
  QImage result(image.width(), image.height(), QImage::Format_RGBA8888);
  for (int y = 0; y < image.height(); ++y) {
    auto* row = result.scanLine(y);
    for (int x = 0; x < image.width(); ++x) {
      const Pixel& pixel = image.at(x, y);
      row[4 * x] = pixel.red;
      row[4 * x + 1] = pixel.green;
      row[4 * x + 2] = pixel.blue;
      row[4 * x + 3] = pixel.alpha;
    }
  }
  return result;
}

QtCanvas::QtCanvas(QPaintDevice* device) : device_(device) { Begin(); }

QtCanvas::QtCanvas(Size size)
    : owned_(std::make_unique<QPixmap>(std::max(size.width, 1), std::max(size.height, 1))), device_(owned_.get()) {
  owned_->fill(Qt::white);
  Begin();
}

QtCanvas::~QtCanvas() {
  if (painter_.isActive()) painter_.end();
}

void QtCanvas::Begin() {
  painter_.begin(device_);
  painter_.setRenderHint(QPainter::Antialiasing, false);
  painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

Size QtCanvas::size() const {
  // A pixmap counts device pixels, a widget the program's.
  qreal ratio = device_->devType() == QInternal::Pixmap ? device_->devicePixelRatioF() : 1.0;
  return {qRound(device_->width() / ratio), qRound(device_->height() / ratio)};
}

void QtCanvas::SetClip(const Rect& rect) { painter_.setClipRect(ToQRect(rect)); }

void QtCanvas::ResetClip() { painter_.setClipping(false); }

void QtCanvas::FillRect(const Rect& rect, Color color) {
  if (rect.empty()) return;
  painter_.fillRect(ToQRect(rect), ToQColor(color));
}

void QtCanvas::DrawLine(Point from, Point to, Color color) {
  if (from == to) return;
  // The end point is left out: step it back by one along the longer axis.
  int dx = to.x - from.x, dy = to.y - from.y;
  Point last = to;
  if (std::abs(dx) >= std::abs(dy)) {
    last.x -= dx > 0 ? 1 : -1;
    if (dy != 0) last.y = from.y + (dy * (last.x - from.x)) / dx;
  } else {
    last.y -= dy > 0 ? 1 : -1;
    if (dx != 0) last.x = from.x + (dx * (last.y - from.y)) / dy;
  }
  if (from.y == last.y || from.x == last.x) {
    FillRect({std::min(from.x, last.x), std::min(from.y, last.y), std::abs(last.x - from.x) + 1,
              std::abs(last.y - from.y) + 1},
             color);
    return;
  }
  painter_.setPen(QPen(ToQColor(color), 0));
  painter_.drawLine(from.x, from.y, last.x, last.y);
}

void QtCanvas::FrameRect(const Rect& rect, Color color) {
  if (rect.empty()) return;
  FillRect({rect.left, rect.top, rect.width, 1}, color);
  FillRect({rect.left, rect.bottom() - 1, rect.width, 1}, color);
  FillRect({rect.left, rect.top, 1, rect.height}, color);
  FillRect({rect.right() - 1, rect.top, 1, rect.height}, color);
}

void QtCanvas::DrawFocusRect(const Rect& rect) {
  if (rect.empty()) return;
  // Every other pixel of the outline, inverted against what lies beneath,
  // as the classic focus rectangle.
  painter_.save();
  painter_.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
  painter_.setPen(QPen(Qt::white, 0));
  auto dot = [&](int x, int y) {
    if (((x + y) & 1) == 0) painter_.drawPoint(x, y);
  };
  for (int x = rect.left; x < rect.right(); ++x) {
    dot(x, rect.top);
    if (rect.height > 1) dot(x, rect.bottom() - 1);
  }
  for (int y = rect.top + 1; y < rect.bottom() - 1; ++y) {
    dot(rect.left, y);
    if (rect.width > 1) dot(rect.right() - 1, y);
  }
  painter_.restore();
}

tarnwick::Size QtCanvas::MeasureText(std::string_view text, const Font& font, int flags, int max_width) {
  QFontMetrics metrics(ToQFont(font));
  int qt_flags = QtTextFlags(flags) & ~(Qt::AlignHorizontal_Mask | Qt::AlignVertical_Mask);
  QString shown = TextForDrawing(text);
  if (flags & text_flags::kSingleLine) {
    QRect box = metrics.boundingRect(QRect(0, 0, 1 << 20, 1 << 20), qt_flags, shown);
    return {box.width(), metrics.height()};
  }
  int width = (flags & text_flags::kWordWrap) && max_width > 0 ? max_width : 1 << 20;
  QRect box = metrics.boundingRect(QRect(0, 0, width, 1 << 20), qt_flags, shown);
  return {box.width(), std::max(box.height(), metrics.height())};
}

void QtCanvas::DrawTextAligned(const Rect& rect, std::string_view text, const Font& font, Color color, int flags) {
  if (rect.empty() || text.empty()) return;
  painter_.save();
  QFont qt_font = ToQFont(font);
  QRect clip = ToQRect(rect);
  if (flags & text_flags::kMnemonic) {
    // A face with a one-pixel descent (a Song face's small bitmaps) puts the
    // mnemonic's underline just below its line: keep it in view. The line
    // lies up to a pixel lower than the rounded position reports.
    QFontMetrics metrics(qt_font);
    int below = metrics.underlinePos() + metrics.lineWidth() + 1 - metrics.descent();
    clip.adjust(0, 0, 0, std::max(0, below));
  }
  painter_.setClipRect(clip, painter_.hasClipping() ? Qt::IntersectClip : Qt::ReplaceClip);
  painter_.setFont(qt_font);
  painter_.setPen(ToQColor(color));
  painter_.drawText(ToQRect(rect), QtTextFlags(flags), TextForDrawing(text));
  painter_.restore();
}

void QtCanvas::DrawImage(const Image& image, const Rect& dest) {
  if (image.empty() || dest.empty()) return;
  painter_.drawImage(ToQRect(dest), ToQImage(image));
}

std::unique_ptr<Canvas> QtCanvas::CreateOffscreen(tarnwick::Size size) { return std::make_unique<QtCanvas>(size); }

void QtCanvas::DrawCanvas(const Canvas& source, Point at) {
  const auto* other = dynamic_cast<const QtCanvas*>(&source);
  if (other == nullptr || other->owned_ == nullptr) return;
  // The source's painter may still be drawing; what it drew so far is in
  // the pixmap once its paint engine has flushed, which QPixmap guarantees.
  painter_.drawPixmap(at.x, at.y, *other->owned_);
}

}  // namespace tarnwick::qt
