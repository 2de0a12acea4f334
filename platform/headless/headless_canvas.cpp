#include "platform/headless/headless_canvas.h"

#include <algorithm>
#include <cstdlib>

#include "base/text.h"

namespace tarnwick {
namespace {

Pixel ToPixel(Color color) { return Pixel{color.red, color.green, color.blue, 255}; }

DrawOp MakeOp(DrawOp::Kind kind, const Rect& rect, Color color = Color{}) {
  DrawOp op;
  op.kind = kind;
  op.rect = rect;
  op.color = color;
  return op;
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      std::size_t end = i > start && text[i - 1] == '\r' ? i - 1 : i;
      lines.push_back(text.substr(start, end - start));
      start = i + 1;
    }
  }
  lines.push_back(text.substr(start));
  return lines;
}

int TextWidth(std::string_view text, int height) {
  int width = 0;
  for (std::size_t i = 0; i < text.size();) {
    std::size_t length = GbkCharLength(text, i);
    width += length == 1 ? std::max(1, height / 2) : height;
    i += length;
  }
  return width;
}

}  // namespace

std::string StripMnemonic(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '&' && i + 1 < text.size()) ++i;
    else if (text[i] == '&') continue;
    out.push_back(text[i]);
  }
  return out;
}

HeadlessCanvas::HeadlessCanvas(Size size, Color fill)
    : own_(size.width, size.height, ToPixel(fill)), target_(&own_) {}

HeadlessCanvas::HeadlessCanvas(Image* target) : target_(target) {}

Size HeadlessCanvas::size() const { return target_->size(); }

void HeadlessCanvas::SetClip(const Rect& rect) { clip_ = rect; }
void HeadlessCanvas::ResetClip() { clip_.reset(); }

Rect HeadlessCanvas::Visible(const Rect& rect) const {
  Rect visible = rect.Intersect({0, 0, target_->width(), target_->height()});
  if (clip_) visible = visible.Intersect(*clip_);
  return visible;
}

void HeadlessCanvas::Plot(int x, int y, Color color) {
  if (x < 0 || y < 0 || x >= target_->width() || y >= target_->height()) return;
  if (clip_ && !clip_->Contains({x, y})) return;
  target_->at(x, y) = ToPixel(color);
}

void HeadlessCanvas::FillRect(const Rect& rect, Color color) {
  ops_.push_back(MakeOp(DrawOp::Kind::kFill, rect, color));
  Rect visible = Visible(rect);
  if (visible.empty()) return;
  Pixel pixel = ToPixel(color);
  for (int y = visible.top; y < visible.bottom(); ++y) {
    for (int x = visible.left; x < visible.right(); ++x) target_->at(x, y) = pixel;
  }
}

void HeadlessCanvas::DrawLine(Point from, Point to, Color color) {
  DrawOp op = MakeOp(DrawOp::Kind::kLine, Rect{}, color);
  op.from = from;
  op.to = to;
  ops_.push_back(op);
  // Bresenham, the end point excluded as GDI does.
  int dx = std::abs(to.x - from.x), sx = from.x < to.x ? 1 : -1;
  int dy = -std::abs(to.y - from.y), sy = from.y < to.y ? 1 : -1;
  int error = dx + dy;
  int x = from.x, y = from.y;
  while (!(x == to.x && y == to.y)) {
    Plot(x, y, color);
    int twice = 2 * error;
    if (twice >= dy) { error += dy; x += sx; }
    if (twice <= dx) { error += dx; y += sy; }
  }
}

void HeadlessCanvas::FrameRect(const Rect& rect, Color color) {
  ops_.push_back(MakeOp(DrawOp::Kind::kFrame, rect, color));
  if (rect.empty()) return;
  for (int x = rect.left; x < rect.right(); ++x) {
    Plot(x, rect.top, color);
    Plot(x, rect.bottom() - 1, color);
  }
  for (int y = rect.top; y < rect.bottom(); ++y) {
    Plot(rect.left, y, color);
    Plot(rect.right() - 1, y, color);
  }
}

void HeadlessCanvas::DrawFocusRect(const Rect& rect) {
  ops_.push_back(MakeOp(DrawOp::Kind::kFocusRect, rect));
  if (rect.empty()) return;
  Color black = Rgb(0, 0, 0);
  for (int x = rect.left; x < rect.right(); x += 2) {
    Plot(x, rect.top, black);
    Plot(x, rect.bottom() - 1, black);
  }
  for (int y = rect.top; y < rect.bottom(); y += 2) {
    Plot(rect.left, y, black);
    Plot(rect.right() - 1, y, black);
  }
}

Size HeadlessCanvas::MeasureText(std::string_view text, const Font& font, int flags, int max_width) {
  int height = FontHeight(font);
  std::string shown = (flags & text_flags::kMnemonic) ? StripMnemonic(text) : std::string(text);
  if (flags & text_flags::kSingleLine) {
    std::string one_line;
    for (char c : shown) {
      if (c != '\r' && c != '\n') one_line.push_back(c);
    }
    return {TextWidth(one_line, height), height};
  }
  int width = 0, lines = 0;
  for (std::string_view line : SplitLines(shown)) {
    int line_width = TextWidth(line, height);
    int count = 1;
    if ((flags & text_flags::kWordWrap) && max_width > 0 && line_width > max_width) {
      count = (line_width + max_width - 1) / max_width;
      line_width = max_width;
    }
    width = std::max(width, line_width);
    lines += count;
  }
  return {width, lines * height};
}

void HeadlessCanvas::DrawTextAligned(const Rect& rect, std::string_view text, const Font& font, Color color,
                                     int flags) {
  DrawOp op = MakeOp(DrawOp::Kind::kText, rect, color);
  op.text = std::string(text);
  op.font = font;
  op.flags = flags;
  ops_.push_back(std::move(op));
}

void HeadlessCanvas::DrawImage(const Image& image, const Rect& dest) {
  DrawOp op = MakeOp(DrawOp::Kind::kImage, dest);
  op.image_size = image.size();
  ops_.push_back(op);
  if (image.empty() || dest.empty()) return;
  Image scaled = ScaledImage(image, {dest.width, dest.height});
  Rect visible = Visible(dest);
  for (int y = visible.top; y < visible.bottom(); ++y) {
    for (int x = visible.left; x < visible.right(); ++x) {
      const Pixel& source = scaled.at(x - dest.left, y - dest.top);
      if (source.alpha == 0) continue;
      Pixel& pixel = target_->at(x, y);
      int a = source.alpha;
      pixel.red = static_cast<std::uint8_t>((source.red * a + pixel.red * (255 - a) + 127) / 255);
      pixel.green = static_cast<std::uint8_t>((source.green * a + pixel.green * (255 - a) + 127) / 255);
      pixel.blue = static_cast<std::uint8_t>((source.blue * a + pixel.blue * (255 - a) + 127) / 255);
      pixel.alpha = 255;
    }
  }
}

std::unique_ptr<Canvas> HeadlessCanvas::CreateOffscreen(Size size) {
  return std::make_unique<HeadlessCanvas>(size);
}

void HeadlessCanvas::DrawCanvas(const Canvas& source, Point at) {
  const auto* headless = dynamic_cast<const HeadlessCanvas*>(&source);
  if (headless == nullptr) return;
  Size source_size = headless->size();
  ops_.push_back(MakeOp(DrawOp::Kind::kCanvas, {at.x, at.y, source_size.width, source_size.height}));
  for (DrawOp op : headless->ops_) {
    op.rect = op.rect.Offset(at.x, at.y);
    op.from = {op.from.x + at.x, op.from.y + at.y};
    op.to = {op.to.x + at.x, op.to.y + at.y};
    ops_.push_back(std::move(op));
  }
  Rect visible = Visible({at.x, at.y, source_size.width, source_size.height});
  for (int y = visible.top; y < visible.bottom(); ++y) {
    for (int x = visible.left; x < visible.right(); ++x) {
      target_->at(x, y) = headless->pixels().at(x - at.x, y - at.y);
    }
  }
}

Color HeadlessCanvas::PixelAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= target_->width() || y >= target_->height()) return Color{};
  const Pixel& pixel = target_->at(x, y);
  return Color{pixel.red, pixel.green, pixel.blue};
}

std::vector<DrawOp> HeadlessCanvas::TextOps() const {
  std::vector<DrawOp> texts;
  for (const DrawOp& op : ops_) {
    if (op.kind == DrawOp::Kind::kText) texts.push_back(op);
  }
  return texts;
}

}  // namespace tarnwick
