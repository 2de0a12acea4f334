// The headless canvas: draws into an RGBA pixel buffer and records every
// drawing call, so tests can check both what was asked (texts, colours,
// rectangles) and what the pixels became.
//
// Text has no glyphs here: it is recorded but leaves the pixels untouched.
// Text metrics are fixed so layouts are deterministic: a single-byte
// character is height / 2 pixels wide, a double-byte or four-byte character
// height pixels, and a line is height pixels high.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/canvas.h"

namespace tarnwick {

struct DrawOp {
  enum class Kind { kFill, kLine, kFrame, kFocusRect, kText, kImage, kCanvas };
  Kind kind = Kind::kFill;
  Rect rect;         // fill, frame, focus, text, image (destination), canvas (destination)
  Point from, to;    // line
  Color color;       // fill, line, frame, text
  std::string text;  // text (GBK)
  Font font;         // text
  int flags = 0;     // text
  Size image_size;   // image: the picture's own size
};

class HeadlessCanvas : public Canvas {
 public:
  // A canvas of its own pixels, filled with fill.
  explicit HeadlessCanvas(Size size, Color fill = Rgb(255, 255, 255));
  // A canvas drawing into pixels owned by someone else (a surface's backing
  // store), which must outlive it and keep its size.
  explicit HeadlessCanvas(Image* target);

  Size size() const override;
  void SetClip(const Rect& rect) override;
  void ResetClip() override;
  void FillRect(const Rect& rect, Color color) override;
  void DrawLine(Point from, Point to, Color color) override;
  void FrameRect(const Rect& rect, Color color) override;
  void DrawFocusRect(const Rect& rect) override;
  Size MeasureText(std::string_view text, const Font& font, int flags, int max_width = 0) override;
  void DrawTextAligned(const Rect& rect, std::string_view text, const Font& font, Color color,
                       int flags) override;
  void DrawImage(const Image& image, const Rect& dest) override;
  std::unique_ptr<Canvas> CreateOffscreen(Size size) override;
  // Copies the pixels and appends source's recorded calls, moved by `at`, so
  // the record shows everything that reached this canvas.
  void DrawCanvas(const Canvas& source, Point at) override;

  const Image& pixels() const { return *target_; }
  // The colour at (x, y); alpha is ignored (the buffer is opaque).
  Color PixelAt(int x, int y) const;
  const std::vector<DrawOp>& ops() const { return ops_; }
  void ClearOps() { ops_.clear(); }
  // The text calls, in order.
  std::vector<DrawOp> TextOps() const;

  // The headless default GUI font's resolved height.
  static constexpr int kDefaultFontHeight = 12;
  static int FontHeight(const Font& font) { return font.height > 0 ? font.height : kDefaultFontHeight; }

 private:
  void Plot(int x, int y, Color color);
  Rect Visible(const Rect& rect) const;

  Image own_;
  Image* target_;
  std::optional<Rect> clip_;
  std::vector<DrawOp> ops_;
};

// The text as shown: with kMnemonic, "&x" becomes "x" and "&&" becomes "&".
std::string StripMnemonic(std::string_view text);

}  // namespace tarnwick
