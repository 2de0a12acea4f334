// The canvas on QPainter. A QtCanvas paints into a QPaintDevice it may own:
// an owner-drawn surface during its paint (whose pixels go to the window's
// off-screen backing store first), or an off-screen pixmap of its own
// (CreateOffscreen). Drawing is aliased so that lines, frames and fills land
// on exactly the pixels the program names, as Windows draws them.
#pragma once

#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <memory>

#include "platform/canvas.h"

namespace tarnwick::qt {

QImage ToQImage(const Image& image);
QColor ToQColor(Color color);

class QtCanvas : public Canvas {
 public:
  // Paints into `device`, which must outlive the canvas.
  explicit QtCanvas(QPaintDevice* device);
  // An off-screen buffer of its own, filled with white.
  explicit QtCanvas(Size size);
  ~QtCanvas() override;

  Size size() const override;
  void SetClip(const Rect& rect) override;
  void ResetClip() override;
  void FillRect(const Rect& rect, Color color) override;
  void DrawLine(Point from, Point to, Color color) override;
  void FrameRect(const Rect& rect, Color color) override;
  void DrawFocusRect(const Rect& rect) override;
  tarnwick::Size MeasureText(std::string_view text, const Font& font, int flags, int max_width) override;
  void DrawTextAligned(const Rect& rect, std::string_view text, const Font& font, Color color, int flags) override;
  void DrawImage(const Image& image, const Rect& dest) override;
  std::unique_ptr<Canvas> CreateOffscreen(tarnwick::Size size) override;
  void DrawCanvas(const Canvas& source, Point at) override;

  // The buffer, for canvases that own one (nullptr otherwise).
  const QPixmap* buffer() const { return owned_.get(); }

 private:
  void Begin();

  std::unique_ptr<QPixmap> owned_;
  QPaintDevice* device_;
  QPainter painter_;
};

}  // namespace tarnwick::qt
