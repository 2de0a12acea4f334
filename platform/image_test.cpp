#include "platform/image.h"

#include <gtest/gtest.h>

#include <string>

namespace tarnwick {
namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out.push_back(static_cast<char>(v));
  return out;
}

// 2 x 2, 24 bits, bottom-up: bottom row blue, red; top row green, white.
// Rows are padded to 8 bytes.
const std::string kBmp24 = Bytes({
    'B', 'M', 0x46, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0,         // file header
    40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0,           // size, w, h, planes, bits
    0, 0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0xFF, 0, 0, 0, 0, 0xFF, 0, 0,                               // bottom row (BGR), padding
    0, 0xFF, 0, 0xFF, 0xFF, 0xFF, 0, 0,                         // top row
});

TEST(ImageTest, DecodesBottomUp24BitBmpAsOpaque) {
  auto image = DecodeBmp(kBmp24);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->size(), (Size{2, 2}));
  EXPECT_EQ(image->at(0, 0), (Pixel{0, 255, 0, 255}));
  EXPECT_EQ(image->at(1, 0), (Pixel{255, 255, 255, 255}));
  EXPECT_EQ(image->at(0, 1), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(image->at(1, 1), (Pixel{255, 0, 0, 255}));
}

TEST(ImageTest, Decodes32BitTopDownWithAlphaAndTreatsAllZeroAlphaAsOpaque) {
  std::string bmp = Bytes({
      'B', 'M', 0x3E, 0, 0, 0, 0, 0, 0, 0, 0x36, 0, 0, 0,
      40, 0, 0, 0, 2, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF, 1, 0, 32, 0,  // height -1: top-down
      0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      0x10, 0x20, 0x30, 0x80, 0xFF, 0, 0xFF, 0x00,
  });
  auto image = DecodeBmp(bmp);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->at(0, 0), (Pixel{0x30, 0x20, 0x10, 0x80}));
  EXPECT_EQ(image->at(1, 0), (Pixel{0xFF, 0, 0xFF, 0}));

  bmp[0x36 + 3] = 0;  // now every alpha byte is 0: the reserved byte, opaque
  image = DecodeBmp(bmp);
  ASSERT_TRUE(image);
  EXPECT_EQ(image->at(0, 0).alpha, 255);
  EXPECT_EQ(image->at(1, 0).alpha, 255);
}

TEST(ImageTest, RejectsTruncatedAndUnsupportedFiles) {
  for (std::size_t length : {0u, 2u, 20u, 54u, 69u}) {
    EXPECT_FALSE(DecodeBmp(kBmp24.substr(0, length))) << length;
  }
  std::string eight_bit = kBmp24;
  eight_bit[28] = 8;
  EXPECT_FALSE(DecodeBmp(eight_bit));
  std::string compressed = kBmp24;
  compressed[30] = 1;  // RLE
  EXPECT_FALSE(DecodeBmp(compressed));
  std::string huge = kBmp24;
  huge[18] = 0;
  huge[19] = 0;
  huge[20] = 0;
  huge[21] = 0x40;  // width 2^30
  EXPECT_FALSE(DecodeBmp(huge));
}

// An icon with a 1 x 1 and a 2 x 2 entry, 32 bits each. The 1 x 1 entry has
// zero alpha and relies on its AND mask (pixel transparent); the 2 x 2 entry
// carries alpha.
std::string TwoEntryIcon() {
  std::string dib1 = Bytes({
      40, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 32, 0,
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      1, 2, 3, 0,                // colour
      0x80, 0, 0, 0,             // AND mask row: bit set = transparent
  });
  std::string dib2 = Bytes({
      40, 0, 0, 0, 2, 0, 0, 0, 4, 0, 0, 0, 1, 0, 32, 0,
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      0, 0, 0xFF, 0xFF, 0, 0xFF, 0, 0xFF,   // bottom row: red, green
      0xFF, 0, 0, 0xFF, 0, 0, 0, 0x40,      // top row: blue, translucent black
      0, 0, 0, 0, 0, 0, 0, 0,               // AND mask, 2 rows of 4 bytes
  });
  std::string header = Bytes({0, 0, 1, 0, 2, 0});
  std::string directory = Bytes({
      1, 1, 0, 0, 1, 0, 32, 0, static_cast<int>(dib1.size()), 0, 0, 0, 38, 0, 0, 0,
      2, 2, 0, 0, 1, 0, 32, 0, static_cast<int>(dib2.size()), 0, 0, 0,
      static_cast<int>(38 + dib1.size()), 0, 0, 0,
  });
  return header + directory + dib1 + dib2;
}

TEST(ImageTest, IconPicksTheRequestedSizeOrTheLargestBelow) {
  std::string ico = TwoEntryIcon();
  EXPECT_EQ(IcoEntrySizes(ico), (std::vector<int>{1, 2}));
  auto small = DecodeIco(ico, 1);
  ASSERT_TRUE(small);
  EXPECT_EQ(small->size(), (Size{1, 1}));
  EXPECT_EQ(small->at(0, 0).alpha, 0);

  auto large = DecodeIco(ico, 48);
  ASSERT_TRUE(large);
  ASSERT_EQ(large->size(), (Size{2, 2}));
  EXPECT_EQ(large->at(0, 0), (Pixel{0, 0, 255, 255}));
  EXPECT_EQ(large->at(1, 0), (Pixel{0, 0, 0, 0x40}));
  EXPECT_EQ(large->at(0, 1), (Pixel{255, 0, 0, 255}));
  EXPECT_EQ(DecodePicture(ico), large);

  EXPECT_FALSE(DecodeIco(ico.substr(0, 30), 2));
  std::string bad_offset = ico;
  bad_offset[6 + 16 + 12] = 0x7F;  // second entry points past the end
  EXPECT_TRUE(IcoEntrySizes(bad_offset).empty());
}

TEST(ImageTest, TransparentColorAndDisabledCopy) {
  Image image(2, 1, Pixel{10, 20, 30, 255});
  image.at(1, 0) = Pixel{255, 255, 255, 255};
  EXPECT_EQ(TopLeftColor(image), Rgb(10, 20, 30));

  Image keyed = WithTransparentColor(image, Rgb(10, 20, 30));
  EXPECT_EQ(keyed.at(0, 0).alpha, 0);
  EXPECT_EQ(keyed.at(1, 0).alpha, 255);

  Image disabled = DisabledImage(keyed);
  EXPECT_EQ(disabled.at(1, 0), (Pixel{255, 255, 255, 255}));  // 128 + 255 / 2
  EXPECT_EQ(disabled.at(0, 0).alpha, 0);
  EXPECT_EQ(disabled.at(0, 0).red, disabled.at(0, 0).blue);
}

}  // namespace
}  // namespace tarnwick
