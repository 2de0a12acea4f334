// The canvas on GDI, and the text and font helpers the Win32 backend shares.
//
// A Win32Canvas owns a memory DC with a bitmap compatible with a reference DC
// (the window's paint DC, or the screen): owner-drawn surfaces paint into one
// during WM_PAINT and copy it to the window with CopyTo, so nothing flickers;
// off-screen canvases are the same object. Texts arrive as GBK and go to the
// wide-character functions as UTF-16.
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "platform/canvas.h"

namespace tarnwick::win32 {

// GBK <-> UTF-16 for the wide-character functions (through the program's own
// table, whatever the system's code page).
std::wstring WideText(std::string_view gbk);
std::string GbkText(std::wstring_view wide);

inline COLORREF ToColorRef(Color color) { return RGB(color.red, color.green, color.blue); }
inline Color FromColorRef(COLORREF color) { return Rgb(GetRValue(color), GetGValue(color), GetBValue(color)); }

// The GDI font for a font of the layer. Created on first use and kept for the
// life of the process (never delete it): controls and canvases share them.
// Song faces (宋体, SimSun...) fall back to an installed CJK face when the
// system has none of their names; an empty face is the default GUI font.
HFONT FontHandle(const Font& font);

// The system's default GUI font (DEFAULT_GUI_FONT) as the layer describes it:
// its face (GBK) and character height in pixels.
Font DefaultGuiFontDescription();

class Win32Canvas : public Canvas {
 public:
  // A buffer of size pixels compatible with reference (nullptr: the screen),
  // filled with white.
  Win32Canvas(HDC reference, Size size);
  ~Win32Canvas() override;
  Win32Canvas(const Win32Canvas&) = delete;
  Win32Canvas& operator=(const Win32Canvas&) = delete;

  // The memory DC (its bitmap, clip and font are the canvas's own).
  HDC dc() const { return dc_; }
  // Copies area of the buffer to the same place of target (BitBlt SRCCOPY).
  void CopyTo(HDC target, const Rect& area) const;
  // The colour of one pixel of the buffer (tests and screenshots).
  Color PixelAt(Point point) const;

  Size size() const override { return size_; }
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

 private:
  Size size_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_bitmap_ = nullptr;
  HGDIOBJ old_font_ = nullptr;
};

// The canvas an owner-drawn surface paints into during WM_PAINT: a buffer of
// the client size compatible with the paint DC. Paint, then CopyTo(paint_dc,
// dirty).
std::unique_ptr<Win32Canvas> CreatePaintCanvas(HDC paint_dc, Size client_size);

}  // namespace tarnwick::win32
