#include "platform/headless/headless_canvas.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace tarnwick {
namespace {

TEST(HeadlessCanvasTest, ClipLimitsDrawingAndOffCanvasIsSafe) {
  HeadlessCanvas canvas({4, 4});
  canvas.SetClip({1, 1, 2, 2});
  canvas.FillRect({-100, -100, 1000, 1000}, Rgb(1, 2, 3));
  EXPECT_EQ(canvas.PixelAt(0, 0), Rgb(255, 255, 255));
  EXPECT_EQ(canvas.PixelAt(1, 1), Rgb(1, 2, 3));
  EXPECT_EQ(canvas.PixelAt(3, 3), Rgb(255, 255, 255));
  canvas.ResetClip();
  canvas.DrawLine({-5, -5}, {20, 20}, Rgb(9, 9, 9));
  EXPECT_EQ(canvas.PixelAt(3, 3), Rgb(9, 9, 9));
}

TEST(HeadlessCanvasTest, OffscreenCopyBringsPixelsAndItsRecord) {
  HeadlessCanvas screen({20, 20});
  auto buffer = screen.CreateOffscreen({5, 5});
  buffer->FillRect({0, 0, 5, 5}, Rgb(7, 7, 7));
  buffer->DrawTextAligned({0, 0, 5, 5}, "x", Font{}, Rgb(1, 1, 1), text_flags::kCenter);
  EXPECT_EQ(screen.PixelAt(10, 10), Rgb(255, 255, 255));  // nothing shows before the copy
  screen.DrawCanvas(*buffer, {10, 10});
  EXPECT_EQ(screen.PixelAt(10, 10), Rgb(7, 7, 7));
  EXPECT_EQ(screen.PixelAt(14, 14), Rgb(7, 7, 7));
  EXPECT_EQ(screen.PixelAt(15, 15), Rgb(255, 255, 255));
  auto texts = screen.TextOps();
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0].rect, (Rect{10, 10, 5, 5}));
}

TEST(HeadlessCanvasTest, TextMetricsCountCharactersNotBytes) {
  HeadlessCanvas canvas({1, 1});
  Font font;
  font.height = 12;
  EXPECT_EQ(canvas.MeasureText("ab", font, text_flags::kSingleLine), (Size{12, 12}));
  EXPECT_EQ(canvas.MeasureText(Gbk("转到今日"), font, text_flags::kSingleLine), (Size{48, 12}));
  EXPECT_EQ(canvas.MeasureText("\r\n&W", font, text_flags::kMnemonic), (Size{6, 24}));
  EXPECT_EQ(canvas.MeasureText("&W", font, text_flags::kSingleLine), (Size{12, 12}));  // & shown
  EXPECT_EQ(StripMnemonic("a&&b&c"), "a&bc");
}

}  // namespace
}  // namespace tarnwick
