#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

#include "engine/Bitmap24.h"
#include "engine/Errors.h"
#include "engine/Lut.h"
#include "engine/Parallel.h"
#include "tests/support/EngineReference.h"

using namespace tintwise;

namespace {

// Every 8-bit value on every channel, in many combinations, plus a stretch of a natural picture.
TBitmap24 ManyColours() {
  TBitmap24 bmp(257, 300);
  std::mt19937 rng(77);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 257; ++x)
      bmp.SetPixel(x, y, static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                   static_cast<std::uint8_t>((x * 7 + y * 13) & 255));
  const TBitmap24 natural = reference::SyntheticPicture(257, 44, 3);
  for (int y = 0; y < 44; ++y)
    std::copy(natural.Scanline(y), natural.Scanline(y) + 257 * 3, bmp.Scanline(256 + y));
  return bmp;
}

void RandomTables(TLUT &lut, std::uint8_t mode, int size3D, int size1D, unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> d(-0.15, 1.15);
  lut.Mode = mode;
  lut.Size3D = size3D;
  lut.Size1D = size1D;
  for (int r = 0; r < size3D; ++r)
    for (int g = 0; g < size3D; ++g)
      for (int b = 0; b < size3D; ++b)
        lut.Lattice[r][g][b] = {d(rng), d(rng), d(rng)};
  for (int i = 0; i < size1D; ++i)
    lut.Curve[i] = {d(rng), d(rng), d(rng)};
  if (size3D == 33) { // values that are not numbers or far outside 0..1; NaN counts as 0
    const double nan = std::numeric_limits<double>::quiet_NaN();
    lut.Lattice[3][4][5] = {nan, -1e300, 1e300};
    lut.Lattice[32][32][32] = {nan, nan, 2};
    lut.Lattice[0][0][0] = {-0.0, 0.0, 0.9999999};
  }
}

} // namespace

TEST(LutApply, BitmapMatchesApplyToColorByteForByte) {
  const TBitmap24 input = ManyColours();
  struct Case { std::uint8_t mode; int n, m; } cases[] = {
      {kMode3D, 2, 0}, {kMode3D, 3, 0}, {kMode3D, 17, 0}, {kMode3D, 33, 0}, {kMode3D, 48, 0},
      {kMode3D, 49, 0}, {kMode3D, 65, 0}, {kMode3D, 101, 0},
      {kMode1D, 0, 2}, {kMode1D, 0, 1024}, {kMode1D, 0, 100001},
      {kMode1DThen3D, 33, 256}, {kMode1DThen3D, 64, 7}, {kMode1DThen3D, 2, 5}, {kMode1DThen3D, 5, 3},
      {kModeIdentity, 0, 0},
  };
  unsigned seed = 1;
  for (const Case &c : cases) {
    TLUT lut;
    RandomTables(lut, c.mode, c.n, c.m, seed++);
    TBitmap24 expected(input.Width(), input.Height()); // pixel by pixel, as ApplyToColor gives it
    for (int y = 0; y < input.Height(); ++y)
      for (int x = 0; x < input.Width(); ++x) {
        TColorTriple out;
        std::uint8_t r, g, b;
        input.GetPixel(x, y, r, g, b);
        lut.ApplyToColor({r, g, b, 8}, out);
        expected.SetPixel(x, y, static_cast<std::uint8_t>(out.R), static_cast<std::uint8_t>(out.G), static_cast<std::uint8_t>(out.B));
      }
    for (int threads : {1, 2}) {
      SetEngineThreadCount(threads);
      TBitmap24 got = input;
      lut.ApplyToBitmap(got);
      ASSERT_TRUE(got.SamePixels(expected)) << "mode " << int(c.mode) << " size " << c.n << "/" << c.m << ", "
                                            << threads << " threads";
    }
  }
  SetEngineThreadCount(0);
}

TEST(LutApply, RefusesTablesOfImpossibleSize) {
  TBitmap24 bmp(4, 4);
  TLUT lut;
  lut.Mode = kMode3D;
  for (int n : {0, 1, 102, -5}) {
    lut.Size3D = n;
    EXPECT_THROW(lut.ApplyToBitmap(bmp), EEngineError) << n;
  }
  lut.Mode = kMode1D;
  lut.Size1D = kMaxSize1D + 1;
  EXPECT_THROW(lut.ApplyToBitmap(bmp), EEngineError);
}

TEST(ParallelFor, CoversTheRangeOnceAndRaisesTheErrorOfAnyPart) {
  SetEngineThreadCount(2);
  std::vector<int> seen(1000);
  ParallelFor(1000, [&](int begin, int end) {
    for (int i = begin; i < end; ++i)
      ++seen[i];
  }, 1);
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 1), 1000);
  auto lateFailure = [](int begin, int) {
    if (begin > 0)
      throw EEngineError("the second part failed");
  };
  EXPECT_THROW(ParallelFor(1000, lateFailure, 1), EEngineError);
  SetEngineThreadCount(0);
}
