#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <utility>

#include "engine/Bitmap24.h"
#include "engine/Errors.h"

using namespace tintwise;

TEST(Bitmap24, RowsArePaddedToFourBytesAndStartBlack) {
  struct Case { int w, h; std::ptrdiff_t stride; } cases[] = {{1, 1, 4}, {2, 3, 8}, {3, 1, 12}, {4, 2, 12}, {5, 1, 16}, {0, 7, 0}};
  for (const Case &c : cases) {
    TBitmap24 bmp(c.w, c.h);
    EXPECT_EQ(bmp.Stride(), c.stride) << c.w;
    EXPECT_EQ(bmp.Empty(), c.w == 0 || c.h == 0);
    for (int y = 0; y < c.h; ++y)
      for (std::ptrdiff_t i = 0; i < c.stride; ++i)
        ASSERT_EQ(bmp.Scanline(y)[i], 0);
  }
  EXPECT_TRUE(TBitmap24().SamePixels(TBitmap24(0, 0))); // a picture made without a size is empty
  EXPECT_EQ(TBitmap24().Stride(), 0);
  // Sized for a decoder to overwrite, in the memory of a white picture just freed: the pixels are
  // left as they are, the padding after each row's 18 bytes is zero.
  {
    TBitmap24 white(6, 50);
    std::fill(white.Bits(), white.Bits() + white.Stride() * 50, std::uint8_t(255));
  }
  TBitmap24 reused;
  reused.SetSizeForOverwrite(6, 50);
  for (int y = 0; y < 50; ++y)
    ASSERT_EQ(reused.Scanline(y)[18] | reused.Scanline(y)[19], 0) << y;
}

TEST(Bitmap24, RefusesImpossibleSizesAndKeepsItsPicture) {
  struct Case { int w, h; const char *message; } cases[] = {
      {-1, 5, "A picture cannot have a negative size (-1 x 5)."},
      {5, -2, "A picture cannot have a negative size (5 x -2)."},
      {TBitmap24::kMaxSide + 1, 1, "A picture of 65536 x 1 pixels is too large."},
      {1, TBitmap24::kMaxSide + 1, "A picture of 1 x 65536 pixels is too large."},
      {20001, 20000, "A picture of 20001 x 20000 pixels is too large."}, // 400,020,000 pixels
  };
  TBitmap24 bmp(3, 2);
  bmp.SetPixel(2, 1, 1, 2, 3);
  for (const Case &c : cases) {
    try {
      bmp.SetSize(c.w, c.h);
      ADD_FAILURE() << "no error for " << c.w << " x " << c.h;
    } catch (const EEngineError &e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    std::uint8_t r, g, b;
    bmp.GetPixel(2, 1, r, g, b);
    EXPECT_EQ(bmp.Width() * 10 + r + g + b, 36);
  }
  EXPECT_NO_THROW(bmp.SetSize(TBitmap24::kMaxSide, 1));
}

TEST(Bitmap24, CropIsClippedToThePicture) {
  TBitmap24 bmp(5, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x)
      bmp.SetPixel(x, y, static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y), 7);
  struct Case { int x, y, w, h, wantW, wantH, lastX = 0, lastY = 0; } cases[] = {
      {1, 1, 2, 3, 2, 3, 2, 3}, {3, 2, 9, 9, 2, 2, 4, 3}, {-2, -1, 4, 3, 2, 2, 1, 1}, {0, 0, 5, 4, 5, 4, 4, 3},
      {6, 0, 2, 2, 0, 2}, {1, 1, -3, 2, 0, 2}, {1, 1, 2, -2, 2, 0}, {0, 4, 5, 1, 5, 0},
  };
  for (const Case &c : cases) {
    const TBitmap24 crop = bmp.Crop(c.x, c.y, c.w, c.h);
    EXPECT_EQ(std::pair(crop.Width(), crop.Height()), std::pair(c.wantW, c.wantH)) << c.x << "," << c.y << " " << c.w << "x" << c.h;
    if (crop.Empty())
      continue;
    std::uint8_t r, g, b;
    crop.GetPixel(crop.Width() - 1, crop.Height() - 1, r, g, b); // the last pixel, from the right place
    EXPECT_EQ((std::array<int, 3>{r, g, b}), (std::array<int, 3>{c.lastX, c.lastY, 7}));
  }
  TBitmap24 other = bmp;
  EXPECT_TRUE(other.SamePixels(bmp));
  other.SetPixel(4, 0, 0, 0, 0); // the last pixel of the first row
  EXPECT_FALSE(other.SamePixels(bmp));
  EXPECT_FALSE(bmp.Crop(0, 0, 5, 3).SamePixels(bmp));
}
