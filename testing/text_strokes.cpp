#include "testing/text_strokes.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <tuple>

namespace tarnwick::testing {
namespace {

auto Key(Color color) { return std::make_tuple(color.red, color.green, color.blue); }

}  // namespace

bool ShowsTextStrokesIn(const std::vector<Color>& pixels, int width, int height, Color color) {
  std::map<std::tuple<int, int, int>, int> counts;
  for (int y = 2; y < height - 2; ++y)
    for (int x = 2; x < width - 2; ++x) ++counts[Key(pixels[static_cast<std::size_t>(y) * width + x])];
  if (counts.empty()) return false;
  auto background = std::max_element(counts.begin(), counts.end(), [](auto& a, auto& b) {
                      return a.second < b.second;
                    })->first;
  const int wanted[3] = {color.red, color.green, color.blue};
  const int base[3] = {std::get<0>(background), std::get<1>(background), std::get<2>(background)};
  auto is_stroke = [&](const std::tuple<int, int, int>& pixel) {
    const int value[3] = {std::get<0>(pixel), std::get<1>(pixel), std::get<2>(pixel)};
    double low = 2, high = -1;
    bool any = false;
    for (int c = 0; c < 3; ++c) {
      int span = wanted[c] - base[c];
      if (std::abs(span) < 32) {
        if (std::abs(value[c] - base[c]) > 24) return false;
        continue;
      }
      double t = double(value[c] - base[c]) / span;
      low = std::min(low, t);
      high = std::max(high, t);
      any = true;
    }
    return any && low >= 0.6 && high <= 1.15 && high - low <= 0.2;
  };
  int strokes = 0;
  for (const auto& [pixel, n] : counts) {
    if (pixel != background && is_stroke(pixel)) strokes += n;
  }
  return strokes >= 3;
}

}  // namespace tarnwick::testing
