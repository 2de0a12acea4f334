#include "platform/win32/win32_canvas.h"

#include <algorithm>
#include <map>
#include <tuple>
#include <vector>

#include "base/text.h"

namespace tarnwick::win32 {

std::wstring WideText(std::string_view gbk) {
  std::u16string wide = GbkToUtf16(gbk);
  return std::wstring(wide.begin(), wide.end());
}

std::string GbkText(std::wstring_view wide) {
  return Utf16ToGbk(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

namespace {

// Faces a Song font may be drawn with, preferred first: the Windows names,
// then CJK faces that other systems (and Wine, which lists the host's fonts)
// carry under their own names. SungtiL before UMing: under Wine, UMing's
// lines at 12 pixels are 13 high, and two of them no longer fit the labels
// laid out for two lines of 宋体.
const wchar_t* const kSongFaces[] = {L"SimSun", L"\u5B8B\u4F53", L"NSimSun", L"AR PL SungtiL GB",
                                     L"AR PL UMing CN", L"Noto Serif CJK SC", L"WenQuanYi Micro Hei",
                                     L"Noto Sans CJK SC"};

bool IsSongFace(const std::wstring& face) {
  static const wchar_t* const names[] = {L"\u5B8B\u4F53", L"\u65B0\u5B8B\u4F53", L"SimSun", L"NSimSun", L"MS Song",
                                         L"Song"};
  for (const wchar_t* name : names) {
    if (lstrcmpiW(face.c_str(), name) == 0) return true;
  }
  return false;
}

int CALLBACK NoteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
  *reinterpret_cast<bool*>(found) = true;
  return 0;  // one is enough
}

// Whether the system lists the face with the character set.
bool FaceFound(const wchar_t* face, BYTE charset) {
  LOGFONTW query{};
  query.lfCharSet = charset;
  lstrcpynW(query.lfFaceName, face, LF_FACESIZE);
  bool found = false;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(screen, &query, NoteFound, reinterpret_cast<LPARAM>(&found), 0);
  ReleaseDC(nullptr, screen);
  return found;
}

bool FaceInstalled(const std::wstring& face) {
  static std::map<std::wstring, bool> known;
  auto cached = known.find(face);
  if (cached != known.end()) return cached->second;
  return known[face] = FaceFound(face.c_str(), DEFAULT_CHARSET);
}

bool FaceHasChinese(const wchar_t* face) { return FaceFound(face, GB2312_CHARSET); }

// The system's default GUI font, unless it has no Chinese characters (Tahoma
// where nothing links a Chinese face to it, as in an English Wine prefix):
// the program's texts would be empty boxes, so the first installed Song face
// stands in at 12 pixels, as Chinese Windows draws its default GUI font.
LOGFONTW DefaultGuiLogFont() {
  static const LOGFONTW chosen = [] {
    LOGFONTW font{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(font), &font);
    if (FaceHasChinese(font.lfFaceName)) return font;
    for (const wchar_t* candidate : kSongFaces) {
      if (FaceHasChinese(candidate)) {
        lstrcpynW(font.lfFaceName, candidate, LF_FACESIZE);
        font.lfCharSet = GB2312_CHARSET;
        font.lfHeight = -12;
        break;
      }
    }
    return font;
  }();
  return chosen;
}

constexpr int kSmallestCrispHeight = 11;
constexpr int kLargestCrispHeight = 16;

using FontKey = std::tuple<std::string, int, int, bool, bool, int>;

}  // namespace

Font DefaultGuiFontDescription() {
  LOGFONTW logical = DefaultGuiLogFont();
  Font font;
  font.face = GbkText(logical.lfFaceName);
  font.height = logical.lfHeight < 0 ? -logical.lfHeight : logical.lfHeight;
  font.charset = logical.lfCharSet;
  return font;
}

HFONT FontHandle(const Font& font) {
  static std::map<FontKey, HFONT> fonts;
  FontKey key{font.face, font.height, static_cast<int>(font.weight), font.italic, font.underline, font.charset};
  auto found = fonts.find(key);
  if (found != fonts.end()) return found->second;

  LOGFONTW logical = DefaultGuiLogFont();
  std::wstring face = WideText(font.face);
  if (!face.empty()) {
    if (IsSongFace(face) && !FaceInstalled(face)) {
      for (const wchar_t* candidate : kSongFaces) {
        if (FaceInstalled(candidate)) {
          face = candidate;
          break;
        }
      }
    }
    lstrcpynW(logical.lfFaceName, face.c_str(), LF_FACESIZE);
    // A face the system lacks is matched by the character set it names.
    logical.lfCharSet = static_cast<BYTE>(font.charset);
  }
  // The layer's heights are pixel sizes of the characters (em heights), as
  // a negative height asks GDI for.
  if (font.height > 0) logical.lfHeight = -font.height;
  logical.lfWidth = 0;
  logical.lfWeight = static_cast<LONG>(font.weight);
  logical.lfItalic = font.italic ? TRUE : FALSE;
  logical.lfUnderline = font.underline ? TRUE : FALSE;
  // A Song face at the small sizes the layout uses is drawn crisp, from its
  // bitmaps where it has them, as Windows draws 宋体; never smoothed.
  if (IsSongFace(WideText(font.face)) && -logical.lfHeight >= kSmallestCrispHeight &&
      -logical.lfHeight <= kLargestCrispHeight) {
    logical.lfQuality = NONANTIALIASED_QUALITY;
  }
  HFONT handle = CreateFontIndirectW(&logical);
  if (handle == nullptr) handle = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
  fonts[key] = handle;
  return handle;
}

namespace {

RECT ToRECT(const Rect& rect) { return RECT{rect.left, rect.top, rect.right(), rect.bottom()}; }

UINT DrawTextFlags(int flags) {
  UINT result = 0;
  int horizontal = flags & 3;
  result |= horizontal == text_flags::kCenter ? DT_CENTER : horizontal == text_flags::kRight ? DT_RIGHT : DT_LEFT;
  if (flags & text_flags::kSingleLine) {
    result |= DT_SINGLELINE;
    if (flags & text_flags::kBottom) result |= DT_BOTTOM;
    else if (flags & text_flags::kVerticalCenter) result |= DT_VCENTER;
  } else if (flags & text_flags::kWordWrap) {
    result |= DT_WORDBREAK;
  }
  if (!(flags & text_flags::kMnemonic)) result |= DT_NOPREFIX;
  return result;
}

// A 32-bit top-down DIB section holding image premultiplied by its alpha, as
// AlphaBlend wants it.
HBITMAP PremultipliedBitmap(const Image& image) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = image.width();
  info.bmiHeader.biHeight = -image.height();
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr || bits == nullptr) return bitmap;
  auto* out = static_cast<std::uint8_t*>(bits);
  for (const Pixel& pixel : image.pixels()) {
    out[0] = static_cast<std::uint8_t>(pixel.blue * pixel.alpha / 255);
    out[1] = static_cast<std::uint8_t>(pixel.green * pixel.alpha / 255);
    out[2] = static_cast<std::uint8_t>(pixel.red * pixel.alpha / 255);
    out[3] = pixel.alpha;
    out += 4;
  }
  GdiFlush();
  return bitmap;
}

}  // namespace

Win32Canvas::Win32Canvas(HDC reference, Size size) : size_{std::max(size.width, 1), std::max(size.height, 1)} {
  HDC screen = reference == nullptr ? GetDC(nullptr) : nullptr;
  HDC base = reference != nullptr ? reference : screen;
  dc_ = CreateCompatibleDC(base);
  bitmap_ = CreateCompatibleBitmap(base, size_.width, size_.height);
  if (screen != nullptr) ReleaseDC(nullptr, screen);
  old_bitmap_ = SelectObject(dc_, bitmap_);
  old_font_ = SelectObject(dc_, GetStockObject(DEFAULT_GUI_FONT));
  SetBkMode(dc_, TRANSPARENT);
  RECT all{0, 0, size_.width, size_.height};
  ::FillRect(dc_, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  size_ = size;
}

Win32Canvas::~Win32Canvas() {
  if (dc_ == nullptr) return;
  SelectObject(dc_, old_font_);
  SelectObject(dc_, old_bitmap_);
  DeleteObject(bitmap_);
  DeleteDC(dc_);
}

void Win32Canvas::CopyTo(HDC target, const Rect& area) const {
  Rect visible = area.Intersect({0, 0, size_.width, size_.height});
  if (visible.empty()) return;
  BitBlt(target, visible.left, visible.top, visible.width, visible.height, dc_, visible.left, visible.top, SRCCOPY);
}

Color Win32Canvas::PixelAt(Point point) const { return FromColorRef(GetPixel(dc_, point.x, point.y)); }

void Win32Canvas::SetClip(const Rect& rect) {
  Rect clip = rect.Intersect({0, 0, size_.width, size_.height});
  HRGN region = CreateRectRgn(clip.left, clip.top, clip.left + std::max(clip.width, 0),
                              clip.top + std::max(clip.height, 0));
  SelectClipRgn(dc_, region);
  DeleteObject(region);
}

void Win32Canvas::ResetClip() { SelectClipRgn(dc_, nullptr); }

void Win32Canvas::FillRect(const Rect& rect, Color color) {
  if (rect.empty()) return;
  RECT area = ToRECT(rect);
  SetDCBrushColor(dc_, ToColorRef(color));
  ::FillRect(dc_, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void Win32Canvas::DrawLine(Point from, Point to, Color color) {
  if (from == to) return;
  HGDIOBJ old_pen = SelectObject(dc_, GetStockObject(DC_PEN));
  SetDCPenColor(dc_, ToColorRef(color));
  MoveToEx(dc_, from.x, from.y, nullptr);
  LineTo(dc_, to.x, to.y);  // GDI leaves the end point out
  SelectObject(dc_, old_pen);
}

void Win32Canvas::FrameRect(const Rect& rect, Color color) {
  if (rect.empty()) return;
  RECT area = ToRECT(rect);
  SetDCBrushColor(dc_, ToColorRef(color));
  ::FrameRect(dc_, &area, static_cast<HBRUSH>(GetStockObject(DC_BRUSH)));
}

void Win32Canvas::DrawFocusRect(const Rect& rect) {
  if (rect.empty()) return;
  RECT area = ToRECT(rect);
  // Drawn by XOR against a black-on-white pattern.
  COLORREF old_text = SetTextColor(dc_, RGB(0, 0, 0));
  COLORREF old_background = SetBkColor(dc_, RGB(255, 255, 255));
  ::DrawFocusRect(dc_, &area);
  SetTextColor(dc_, old_text);
  SetBkColor(dc_, old_background);
}

tarnwick::Size Win32Canvas::MeasureText(std::string_view text, const Font& font, int flags, int max_width) {
  SelectObject(dc_, FontHandle(font));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc_, &metrics);
  std::wstring wide = WideText(text);
  UINT format = DT_CALCRECT | (DrawTextFlags(flags) & ~(DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM));
  bool wrap = !(flags & text_flags::kSingleLine) && (flags & text_flags::kWordWrap) && max_width > 0;
  if (!wrap) format &= ~DT_WORDBREAK;
  RECT box{0, 0, wrap ? max_width : 1 << 20, 0};
  if (!wide.empty()) DrawTextW(dc_, wide.c_str(), static_cast<int>(wide.size()), &box, format);
  int width = wide.empty() ? 0 : box.right - box.left;
  int height = (flags & text_flags::kSingleLine) || wide.empty() ? metrics.tmHeight
                                                                 : std::max<int>(box.bottom - box.top, metrics.tmHeight);
  return {width, height};
}

void Win32Canvas::DrawTextAligned(const Rect& rect, std::string_view text, const Font& font, Color color, int flags) {
  if (rect.empty() || text.empty()) return;
  SelectObject(dc_, FontHandle(font));
  SetTextColor(dc_, ToColorRef(color));
  SetBkMode(dc_, TRANSPARENT);
  std::wstring wide = WideText(text);
  RECT area = ToRECT(rect);
  DrawTextW(dc_, wide.c_str(), static_cast<int>(wide.size()), &area, DrawTextFlags(flags));
}

void Win32Canvas::DrawImage(const Image& image, const Rect& dest) {
  if (image.empty() || dest.empty()) return;
  // Scaled in portable code (nearest neighbour), so every backend shows the
  // same pixels; AlphaBlend then only blends.
  const Image& shown = image.size() == Size{dest.width, dest.height} ? image : ScaledImage(image, {dest.width, dest.height});
  HBITMAP bitmap = PremultipliedBitmap(shown);
  if (bitmap == nullptr) return;
  HDC source = CreateCompatibleDC(dc_);
  HGDIOBJ old = SelectObject(source, bitmap);
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  AlphaBlend(dc_, dest.left, dest.top, dest.width, dest.height, source, 0, 0, shown.width(), shown.height(), blend);
  SelectObject(source, old);
  DeleteDC(source);
  DeleteObject(bitmap);
}

std::unique_ptr<Canvas> Win32Canvas::CreateOffscreen(tarnwick::Size size) {
  return std::make_unique<Win32Canvas>(dc_, size);
}

void Win32Canvas::DrawCanvas(const Canvas& source, Point at) {
  const auto* other = dynamic_cast<const Win32Canvas*>(&source);
  if (other == nullptr) return;
  BitBlt(dc_, at.x, at.y, other->size_.width, other->size_.height, other->dc_, 0, 0, SRCCOPY);
}

std::unique_ptr<Win32Canvas> CreatePaintCanvas(HDC paint_dc, Size client_size) {
  return std::make_unique<Win32Canvas>(paint_dc, client_size);
}

}  // namespace tarnwick::win32
