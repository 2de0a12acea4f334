#include "platform/headless/headless_canvas.h"

#include <gtest/gtest.h>

#include "base/text.h"

namespace tarnwick {
namespace {

TEST(HeadlessCanvasTest, FillsLinesAndFramesLandOnTheRightPixels) {
  HeadlessCanvas canvas({10, 8});
  canvas.FillRect({2, 2, 3, 2}, Rgb(255, 0, 0));
  EXPECT_EQ(canvas.PixelAt(2, 2), Rgb(255, 0, 0));
  EXPECT_EQ(canvas.PixelAt(4, 3), Rgb(255, 0, 0));
  EXPECT_EQ(canvas.PixelAt(5, 3), Rgb(255, 255, 255));  // right edge exclusive
  EXPECT_EQ(canvas.PixelAt(4, 4), Rgb(255, 255, 255));  // bottom edge exclusive

  canvas.DrawLine({0, 7}, {4, 7}, Rgb(0, 0, 255));
  EXPECT_EQ(canvas.PixelAt(3, 7), Rgb(0, 0, 255));
  EXPECT_EQ(canvas.PixelAt(4, 7), Rgb(255, 255, 255));  // end point not drawn

  canvas.FrameRect({6, 0, 4, 4}, Rgb(0, 128, 0));
  EXPECT_EQ(canvas.PixelAt(6, 0), Rgb(0, 128, 0));
  EXPECT_EQ(canvas.PixelAt(9, 3), Rgb(0, 128, 0));
  EXPECT_EQ(canvas.PixelAt(7, 1), Rgb(255, 255, 255));  // inside untouched

  ASSERT_EQ(canvas.ops().size(), 3u);
  EXPECT_EQ(canvas.ops()[0].kind, DrawOp::Kind::kFill);
  EXPECT_EQ(canvas.ops()[1].to, (Point{4, 7}));
}

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

TEST(HeadlessCanvasTest, ImagesBlendByAlphaAndScale) {
  HeadlessCanvas canvas({4, 2}, Rgb(0, 0, 0));
  Image image(2, 1, Pixel{255, 255, 255, 255});
  image.at(1, 0).alpha = 0;
  canvas.DrawImage(image, {0, 0, 4, 2});  // scaled x2
  EXPECT_EQ(canvas.PixelAt(1, 1), Rgb(255, 255, 255));
  EXPECT_EQ(canvas.PixelAt(2, 0), Rgb(0, 0, 0));
  Image half(1, 1, Pixel{255, 0, 0, 128});
  canvas.DrawImage(half, {3, 0, 1, 1});
  EXPECT_EQ(canvas.PixelAt(3, 0), Rgb(128, 0, 0));
  EXPECT_EQ(canvas.ops().back().image_size, (Size{1, 1}));
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
