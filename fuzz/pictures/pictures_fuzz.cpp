// Every picture decoder on arbitrary bytes: no crash, no read outside the
// input, and a decoded picture always has the pixels its size promises.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "fuzz/shared/check.h"
#include "platform/image.h"

namespace {

void Check(const std::optional<tarnwick::Image>& image) {
  if (!image) return;
  FUZZ_CHECK(image->pixels().size() == static_cast<std::size_t>(image->width()) * image->height());
  tarnwick::Image grey = tarnwick::DisabledImage(*image);
  tarnwick::Image keyed = tarnwick::WithTransparentColor(grey, tarnwick::TopLeftColor(*image));
  (void)tarnwick::ScaledImage(keyed, {7, 5});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Check(tarnwick::DecodeBmp(bytes));
  Check(tarnwick::DecodeIco(bytes, 16));
  Check(tarnwick::DecodeIco(bytes, 48));
  Check(tarnwick::DecodePicture(bytes));
  (void)tarnwick::IcoEntrySizes(bytes);
  return 0;
}
