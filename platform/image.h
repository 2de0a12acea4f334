// Pictures: decoded RGBA pixels that every canvas draws, and the decoders of
// the picture files the program carries.
//
// Picture files are decoded here, in portable code, so every backend shows
// exactly the same pixels. Supported files (the formats the image generator
// writes; nothing else is needed):
// - BMP: uncompressed, 24 or 32 bits per pixel (BI_RGB, or BI_BITFIELDS with
//   the standard 8-8-8-8 masks), bottom-up or top-down. A 32-bit BMP carries
//   straight (non-premultiplied) alpha; 24-bit pictures are opaque.
// - ICO: a directory of images whose entries are 32-bit BMP images (the
//   AND mask is honoured only when every alpha byte is 0). The decoder picks
//   the entry of the requested size.
// Layout pictures that were JPEG or GIF files in the Windows program are
// carried as BMP files of the same size.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/types.h"

namespace tarnwick {

// One RGBA pixel, straight alpha (255 opaque, 0 fully transparent).
struct Pixel {
  std::uint8_t red = 0;
  std::uint8_t green = 0;
  std::uint8_t blue = 0;
  std::uint8_t alpha = 255;
  friend bool operator==(const Pixel&, const Pixel&) = default;
};

// A decoded picture: width x height pixels, rows top to bottom.
class Image {
 public:
  Image() = default;
  // A picture filled with fill.
  Image(int width, int height, Pixel fill = Pixel{0, 0, 0, 0});

  int width() const { return width_; }
  int height() const { return height_; }
  bool empty() const { return width_ <= 0 || height_ <= 0; }
  Size size() const { return {width_, height_}; }

  // The pixel at (x, y); both must lie inside the picture.
  const Pixel& at(int x, int y) const { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }
  Pixel& at(int x, int y) { return pixels_[static_cast<std::size_t>(y) * width_ + x]; }
  const std::vector<Pixel>& pixels() const { return pixels_; }
  std::vector<Pixel>& mutable_pixels() { return pixels_; }

  friend bool operator==(const Image&, const Image&) = default;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<Pixel> pixels_;
};

// Decodes a BMP file (see above). nullopt for anything malformed, truncated or
// unsupported; never reads outside bytes.
std::optional<Image> DecodeBmp(std::string_view bytes);

// Decodes the entry of an ICO file whose width is preferred_size, or else the
// largest entry below it, or else the smallest one. nullopt when the file is
// malformed or holds no usable entry.
std::optional<Image> DecodeIco(std::string_view bytes, int preferred_size);

// The sizes (widths) of the entries of an ICO file, in file order; empty when
// the directory is malformed.
std::vector<int> IcoEntrySizes(std::string_view bytes);

// DecodeBmp or DecodeIco (largest entry up to 48), chosen by the file's magic.
std::optional<Image> DecodePicture(std::string_view bytes);

// A copy in which every opaque pixel of colour key is made fully transparent
// (a picture's transparent colour).
Image WithTransparentColor(const Image& image, Color key);

// The colour of the top-left pixel: the transparent colour a picture uses
// when its transparent-colour property is left at the default.
Color TopLeftColor(const Image& image);

// The greyed copy shown for a disabled image button: each pixel becomes the
// light grey 128 + luminance / 2 (luminance 0..255), its alpha kept, so the
// shape stays recognisable but reads as inactive.
Image DisabledImage(const Image& image);

// A copy scaled to the given size by nearest-neighbour sampling.
Image ScaledImage(const Image& image, Size size);

}  // namespace tarnwick
