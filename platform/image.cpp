#include "platform/image.h"

#include <algorithm>
#include <cstring>

namespace tarnwick {
namespace {

std::uint32_t ReadU32(std::string_view bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset])) |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + 1])) << 8 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + 2])) << 16 |
         static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + 3])) << 24;
}

std::uint16_t ReadU16(std::string_view bytes, std::size_t offset) {
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[offset]) |
                                    static_cast<unsigned char>(bytes[offset + 1]) << 8);
}

std::int32_t ReadI32(std::string_view bytes, std::size_t offset) {
  return static_cast<std::int32_t>(ReadU32(bytes, offset));
}

constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr int kMaxDimension = 16384;

// Decodes a BITMAPINFOHEADER and its pixels starting at `header` within
// bytes. pixel_offset is where the colour bits start; for icon entries the
// stored height covers the colour bits and the AND mask (icon == true).
std::optional<Image> DecodeDib(std::string_view bytes, std::size_t header, std::size_t pixel_offset, bool icon) {
  if (header + 40 > bytes.size()) return std::nullopt;
  std::uint32_t header_size = ReadU32(bytes, header);
  if (header_size < 40 || header + header_size > bytes.size()) return std::nullopt;
  std::int32_t width = ReadI32(bytes, header + 4);
  std::int32_t stored_height = ReadI32(bytes, header + 8);
  std::uint16_t planes = ReadU16(bytes, header + 12);
  std::uint16_t bits = ReadU16(bytes, header + 14);
  std::uint32_t compression = ReadU32(bytes, header + 16);
  if (planes != 1 || (bits != 24 && bits != 32)) return std::nullopt;
  if (compression != kBiRgb && !(compression == kBiBitfields && bits == 32)) return std::nullopt;
  if (compression == kBiBitfields) {
    // Masks follow a 40-byte header, or sit inside a larger one.
    if (header + 52 > bytes.size()) return std::nullopt;
    if (ReadU32(bytes, header + 40) != 0x00FF0000 || ReadU32(bytes, header + 44) != 0x0000FF00 ||
        ReadU32(bytes, header + 48) != 0x000000FF) {
      return std::nullopt;
    }
  }
  bool top_down = stored_height < 0;
  std::int64_t height64 = stored_height < 0 ? -static_cast<std::int64_t>(stored_height) : stored_height;
  if (icon) {
    if (top_down) return std::nullopt;
    height64 /= 2;
  }
  if (width <= 0 || height64 <= 0 || width > kMaxDimension || height64 > kMaxDimension) return std::nullopt;
  int height = static_cast<int>(height64);
  std::size_t row_bytes = ((static_cast<std::size_t>(width) * bits + 31) / 32) * 4;
  std::size_t color_size = row_bytes * height;
  if (pixel_offset > bytes.size() || bytes.size() - pixel_offset < color_size) return std::nullopt;

  Image image(width, height);
  bool any_alpha = false;
  for (int row = 0; row < height; ++row) {
    int y = top_down ? row : height - 1 - row;
    std::size_t base = pixel_offset + row_bytes * row;
    for (int x = 0; x < width; ++x) {
      std::size_t at = base + static_cast<std::size_t>(x) * (bits / 8);
      Pixel& pixel = image.at(x, y);
      pixel.blue = static_cast<unsigned char>(bytes[at]);
      pixel.green = static_cast<unsigned char>(bytes[at + 1]);
      pixel.red = static_cast<unsigned char>(bytes[at + 2]);
      pixel.alpha = bits == 32 ? static_cast<unsigned char>(bytes[at + 3]) : 255;
      if (pixel.alpha != 0) any_alpha = true;
    }
  }
  if (bits == 32 && !any_alpha) {
    // An alpha channel of all zeros is the old "reserved" byte: the picture
    // is opaque, except where an icon's AND mask says transparent.
    std::size_t mask_row = ((static_cast<std::size_t>(width) + 31) / 32) * 4;
    bool has_mask = icon && bytes.size() - pixel_offset >= color_size + mask_row * height;
    for (int row = 0; row < height; ++row) {
      int y = height - 1 - row;
      for (int x = 0; x < width; ++x) {
        bool transparent = false;
        if (has_mask) {
          auto byte = static_cast<unsigned char>(bytes[pixel_offset + color_size + mask_row * row + x / 8]);
          transparent = (byte >> (7 - x % 8)) & 1;
        }
        image.at(x, top_down ? row : y).alpha = transparent ? 0 : 255;
      }
    }
  }
  return image;
}

struct IcoEntry {
  int size;
  std::size_t offset;
  std::size_t length;
};

std::optional<std::vector<IcoEntry>> ReadIcoDirectory(std::string_view bytes) {
  if (bytes.size() < 6 || ReadU16(bytes, 0) != 0 || ReadU16(bytes, 2) != 1) return std::nullopt;
  int count = ReadU16(bytes, 4);
  if (count == 0 || bytes.size() < 6 + 16u * count) return std::nullopt;
  std::vector<IcoEntry> entries;
  for (int i = 0; i < count; ++i) {
    std::size_t at = 6 + 16u * i;
    int width = static_cast<unsigned char>(bytes[at]);
    if (width == 0) width = 256;
    std::size_t length = ReadU32(bytes, at + 8);
    std::size_t offset = ReadU32(bytes, at + 12);
    if (offset > bytes.size() || length > bytes.size() - offset) return std::nullopt;
    entries.push_back({width, offset, length});
  }
  return entries;
}

}  // namespace

Image::Image(int width, int height, Pixel fill)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * height_, fill) {}

std::optional<Image> DecodeBmp(std::string_view bytes) {
  if (bytes.size() < 14 + 40 || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
  std::size_t pixel_offset = ReadU32(bytes, 10);
  return DecodeDib(bytes, 14, pixel_offset, false);
}

std::vector<int> IcoEntrySizes(std::string_view bytes) {
  std::vector<int> sizes;
  if (auto entries = ReadIcoDirectory(bytes)) {
    for (const IcoEntry& entry : *entries) sizes.push_back(entry.size);
  }
  return sizes;
}

std::optional<Image> DecodeIco(std::string_view bytes, int preferred_size) {
  auto entries = ReadIcoDirectory(bytes);
  if (!entries) return std::nullopt;
  // Exact size first, then the largest below it, then the smallest above.
  std::vector<IcoEntry> order = *entries;
  std::stable_sort(order.begin(), order.end(), [preferred_size](const IcoEntry& a, const IcoEntry& b) {
    auto rank = [preferred_size](const IcoEntry& e) {
      if (e.size == preferred_size) return 0;
      if (e.size < preferred_size) return 1 + (preferred_size - e.size);
      return 100000 + e.size;
    };
    return rank(a) < rank(b);
  });
  for (const IcoEntry& entry : order) {
    std::string_view dib = bytes.substr(entry.offset, entry.length);
    if (dib.size() < 40) continue;
    std::uint32_t header_size = ReadU32(dib, 0);
    if (header_size < 40 || header_size > dib.size()) continue;
    if (auto image = DecodeDib(dib, 0, header_size, true)) return image;
  }
  return std::nullopt;
}

std::optional<Image> DecodePicture(std::string_view bytes) {
  if (bytes.size() >= 2 && bytes[0] == 'B' && bytes[1] == 'M') return DecodeBmp(bytes);
  return DecodeIco(bytes, 48);
}

Image WithTransparentColor(const Image& image, Color key) {
  Image result = image;
  for (int y = 0; y < result.height(); ++y) {
    for (int x = 0; x < result.width(); ++x) {
      Pixel& pixel = result.at(x, y);
      if (pixel.alpha == 255 && pixel.red == key.red && pixel.green == key.green && pixel.blue == key.blue) {
        pixel.alpha = 0;
      }
    }
  }
  return result;
}

Color TopLeftColor(const Image& image) {
  if (image.empty()) return Color{};
  const Pixel& pixel = image.at(0, 0);
  return Color{pixel.red, pixel.green, pixel.blue};
}

Image DisabledImage(const Image& image) {
  Image result = image;
  for (Pixel& pixel : result.mutable_pixels()) {
    int luminance = (pixel.red * 299 + pixel.green * 587 + pixel.blue * 114) / 1000;
    auto grey = static_cast<std::uint8_t>(128 + luminance / 2);
    pixel.red = pixel.green = pixel.blue = grey;
  }
  return result;
}

Image ScaledImage(const Image& image, Size size) {
  if (image.empty() || size.width <= 0 || size.height <= 0) return Image();
  if (image.size() == size) return image;
  Image result(size.width, size.height);
  for (int y = 0; y < size.height; ++y) {
    int source_y = static_cast<int>(static_cast<long long>(y) * image.height() / size.height);
    for (int x = 0; x < size.width; ++x) {
      int source_x = static_cast<int>(static_cast<long long>(x) * image.width() / size.width);
      result.at(x, y) = image.at(source_x, source_y);
    }
  }
  return result;
}

}  // namespace tarnwick
