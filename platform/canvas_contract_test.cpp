// The canvas's contract, alike on every backend: the pixels fills, lines,
// frames, clips, pictures and off-screen copies land on, and how text is
// measured. (The headless canvas records text rather than drawing glyphs;
// where the real ones put its pixels is tested on each of them.)
#include <gtest/gtest.h>

#include "base/text.h"
#include "testing/backend_driver.h"

namespace tarnwick::testing {
namespace {

constexpr Color kWhite = Rgb(255, 255, 255);
constexpr Color kRed = Rgb(255, 0, 0);
constexpr Color kBlue = Rgb(0, 0, 255);
constexpr Color kBlack = Rgb(0, 0, 0);

class CanvasContractTest : public BackendContractTest {
 protected:
  std::unique_ptr<Canvas> Make(Size size) { return windows().CreateOffscreenCanvas(size); }
  Color At(const Canvas& canvas, int x, int y) { return driver().PixelAt(canvas, {x, y}); }
  int Count(const Canvas& canvas, const Rect& area, Color color) {
    int count = 0;
    for (int y = area.top; y < area.bottom(); ++y) {
      for (int x = area.left; x < area.right(); ++x) count += At(canvas, x, y) == color;
    }
    return count;
  }
};

TEST_F(CanvasContractTest, FillsLinesFramesAndClipsLandOnTheNamedPixels) {
  auto canvas = Make({20, 10});
  EXPECT_EQ(canvas->size(), (Size{20, 10}));
  EXPECT_EQ(Count(*canvas, {0, 0, 20, 10}, kWhite), 200) << "a new canvas is white";
  canvas->FillRect({2, 3, 4, 5}, kRed);
  EXPECT_EQ(Count(*canvas, {0, 0, 20, 10}, kRed), 20);
  EXPECT_EQ(At(*canvas, 5, 7), kRed);
  EXPECT_EQ(At(*canvas, 6, 7), kWhite) << "right edge excluded";
  EXPECT_EQ(At(*canvas, 5, 8), kWhite) << "bottom edge excluded";

  // A line leaves its end point out, in either direction.
  canvas->DrawLine({10, 1}, {15, 1}, kBlue);
  EXPECT_EQ(Count(*canvas, {0, 1, 20, 1}, kBlue), 5);
  EXPECT_EQ(At(*canvas, 15, 1), kWhite);
  canvas->DrawLine({18, 9}, {18, 5}, kBlue);
  EXPECT_EQ(Count(*canvas, {18, 0, 1, 10}, kBlue), 4);
  EXPECT_EQ(At(*canvas, 18, 5), kWhite);

  auto framed = Make({8, 6});
  framed->FrameRect({1, 1, 6, 4}, kBlack);
  EXPECT_EQ(Count(*framed, {0, 0, 8, 6}, kBlack), 2 * 6 + 2 * 2) << "the outline just inside";
  EXPECT_EQ(At(*framed, 3, 3), kWhite);

  // A clip holds drawing inside it; a second replaces the first.
  auto clipped = Make({10, 10});
  clipped->SetClip({2, 2, 3, 3});
  clipped->FillRect({-100, -100, 1000, 1000}, kRed);
  EXPECT_EQ(Count(*clipped, {0, 0, 10, 10}, kRed), 9);
  clipped->SetClip({6, 6, 2, 2});
  clipped->FillRect({0, 0, 10, 10}, kBlue);
  EXPECT_EQ(Count(*clipped, {0, 0, 10, 10}, kBlue), 4);
  clipped->ResetClip();
  clipped->FillRect({0, 9, 10, 1}, kBlack);
  EXPECT_EQ(Count(*clipped, {0, 9, 10, 1}, kBlack), 10);
}

TEST_F(CanvasContractTest, PicturesBlendByAlphaAndScaleAndBuffersCopyWhole) {
  auto canvas = Make({8, 4});
  canvas->FillRect({0, 0, 8, 4}, kBlue);
  Image picture(2, 1);
  picture.at(0, 0) = Pixel{255, 0, 0, 255};  // opaque red
  picture.at(1, 0) = Pixel{255, 0, 0, 0};    // transparent
  canvas->DrawImage(picture, {0, 0, 2, 1});
  EXPECT_EQ(At(*canvas, 0, 0), kRed);
  EXPECT_EQ(At(*canvas, 1, 0), kBlue);
  canvas->DrawImage(Image(1, 1, Pixel{255, 255, 255, 128}), {2, 0, 1, 1});
  Color blended = At(*canvas, 2, 0);
  EXPECT_NEAR(blended.red, 128, 2);
  EXPECT_NEAR(blended.blue, 255, 2);
  canvas->DrawImage(picture, {4, 2, 4, 2});  // each picture pixel covers two by two
  EXPECT_EQ(Count(*canvas, {4, 2, 2, 2}, kRed), 4);
  EXPECT_EQ(Count(*canvas, {6, 2, 2, 2}, kBlue), 4);

  auto target = Make({10, 10});
  target->FillRect({0, 0, 10, 10}, kBlack);
  auto buffer = target->CreateOffscreen({3, 2});
  EXPECT_EQ(buffer->size(), (Size{3, 2}));
  buffer->FillRect({0, 0, 1, 1}, kRed);
  EXPECT_EQ(At(*target, 5, 5), kBlack) << "nothing shows before the copy";
  target->DrawCanvas(*buffer, {5, 5});
  EXPECT_EQ(At(*target, 5, 5), kRed);
  EXPECT_EQ(Count(*target, {5, 5, 3, 2}, kWhite), 5) << "the rest of the buffer was white";
  EXPECT_EQ(At(*target, 8, 5), kBlack);
  EXPECT_EQ(At(*target, 5, 7), kBlack);
}

TEST_F(CanvasContractTest, TextIsMeasuredByItsLinesAndMnemonics) {
  const Font song{Gbk("宋体"), 12, FontWeight::kNormal, false, false, 134};
  auto canvas = Make({100, 30});
  Size one = canvas->MeasureText(Gbk("日历"), song, text_flags::kSingleLine);
  EXPECT_GE(one.width, 2 * 10);
  EXPECT_LE(one.width, 2 * 16);
  EXPECT_GE(one.height, 12);
  EXPECT_GE(canvas->MeasureText(Gbk("日历\r\n日历"), song, 0).height, 2 * one.height - 1);
  EXPECT_EQ(canvas->MeasureText(Gbk("日历\r\n日历"), song, text_flags::kSingleLine).height, one.height);
  Size wrapped = canvas->MeasureText(Gbk("日历日历日历日历"), song, text_flags::kWordWrap, one.width + 2);
  EXPECT_LE(wrapped.width, one.width + 2);
  EXPECT_GE(wrapped.height, 2 * one.height - 1);
  // "&" is shown as it is without kMnemonic and hides itself with it.
  EXPECT_GT(canvas->MeasureText("&A", song, text_flags::kSingleLine).width,
            canvas->MeasureText("&A", song, text_flags::kSingleLine | text_flags::kMnemonic).width);
}

}  // namespace
}  // namespace tarnwick::testing
