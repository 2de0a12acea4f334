// The canvas: where self-drawn widgets paint (image buttons, labels, picture
// boxes, links, the calendar grid).
//
// A canvas is a pixel surface of a fixed size: the client area of an
// owner-drawn surface during its paint, or an off-screen buffer. Drawing code
// is written once against this interface for every backend.
//
// Conventions, alike on every backend:
// - Coordinates are the canvas's own pixels, (0, 0) top left; rectangles
//   exclude their right and bottom edges.
// - Drawing is clipped to the canvas and to the clip rectangle, if set.
// - Colours are opaque; pictures blend by their alpha.
// - Text is GBK and is drawn transparently (the background is left as it is).
#pragma once

#include <memory>
#include <string_view>

#include "platform/image.h"
#include "platform/types.h"

namespace tarnwick {

// Flags of DrawTextAligned and MeasureText; one horizontal and one vertical choice.
namespace text_flags {
inline constexpr int kLeft = 0;
inline constexpr int kCenter = 1;
inline constexpr int kRight = 2;
inline constexpr int kTop = 0;
inline constexpr int kVerticalCenter = 4;
inline constexpr int kBottom = 8;
// One line: line breaks are not honoured. Vertical alignment applies only to
// single-line text; multi-line text starts at the top.
inline constexpr int kSingleLine = 16;
// Break lines at the rectangle's right edge (ignored with kSingleLine).
inline constexpr int kWordWrap = 32;
// "&x" draws x underlined and "&&" a single ampersand. Without this flag an
// ampersand is shown as it is.
inline constexpr int kMnemonic = 64;
}  // namespace text_flags

class Canvas {
 public:
  virtual ~Canvas() = default;

  // Size of the surface in pixels.
  virtual Size size() const = 0;

  // Restricts all further drawing to rect (intersected with the canvas).
  virtual void SetClip(const Rect& rect) = 0;
  // Removes the clip rectangle.
  virtual void ResetClip() = 0;

  // Fills rect with colour.
  virtual void FillRect(const Rect& rect, Color color) = 0;

  // A line one pixel wide from `from` up to, but not including, `to`, as GDI
  // draws it. Horizontal and vertical lines are exact on every backend;
  // others may differ by a pixel.
  virtual void DrawLine(Point from, Point to, Color color) = 0;

  // The one-pixel outline just inside rect.
  virtual void FrameRect(const Rect& rect, Color color) = 0;

  // The dotted focus rectangle just inside rect.
  virtual void DrawFocusRect(const Rect& rect) = 0;

  // Width and height the text takes in font with the given text_flags
  // (kSingleLine, kMnemonic and kWordWrap matter; max_width limits the line
  // length for kWordWrap, 0 meaning no limit). Lines are broken at "\r\n"
  // or "\n" unless kSingleLine.
  virtual Size MeasureText(std::string_view text, const Font& font, int flags, int max_width = 0) = 0;

  // Draws text inside rect, aligned by flags, in colour, clipped to rect.
  virtual void DrawTextAligned(const Rect& rect, std::string_view text, const Font& font, Color color, int flags) = 0;

  // Draws a picture into dest, scaled when dest's size differs from the
  // picture's, blending by alpha.
  virtual void DrawImage(const Image& image, const Rect& dest) = 0;

  // A new off-screen buffer of the given size with this canvas's pixel
  // format, initially filled with white. Drawing into it shows nothing until
  // it is copied with DrawCanvas.
  virtual std::unique_ptr<Canvas> CreateOffscreen(Size size) = 0;

  // Copies the whole of source (a buffer made by CreateOffscreen of this
  // canvas or of one compatible with it) with its top left at `at`.
  virtual void DrawCanvas(const Canvas& source, Point at) = 0;
};

}  // namespace tarnwick
