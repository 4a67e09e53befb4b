// The LUT object: its index rule, evaluation, baking into other tables, and running colours and
// bitmaps through it, against hand values and the plain readings of tests/support/EngineReference.h.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "engine/Bitmap24.h"
#include "engine/Errors.h"
#include "engine/Lut.h"
#include "engine/Parallel.h"
#include "engine/Scratch.h"
#include "tests/support/EngineReference.h"

using namespace tintwise;

namespace {

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// Random tables of the given sizes, with values just beyond those in use that must never be read.
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
  const int n = size3D;
  if (n > 0 && n < kMaxSize3D)
    lut.Lattice[n][n - 1][n - 1] = lut.Lattice[n - 1][n][n - 1] = lut.Lattice[n - 1][n - 1][n] = {kNaN, kNaN, kNaN};
  if (size1D > 0 && size1D < kMaxSize1D)
    lut.Curve[size1D] = {kNaN, kNaN, kNaN};
}

} // namespace

TEST(Lut, IndexStaysInsideTheTableForAnyInput) {
  const double inf = std::numeric_limits<double>::infinity();
  // 33 points: t = 32 x. Less than one step below 0 is the first interval with a negative
  // fraction; a step or more below, NaN, and anything at or above 1 stay at the table's ends.
  struct Case { double x; int i; double f; } cases[] = {
      {-0.01, 0, -0.32}, {-1e-300, 0, -32e-300}, {-0.0, 0, 0}, {-1 / 32.0, 0, 0}, {-1e300, 0, 0},
      {kNaN, 0, 0}, {-inf, 0, 0}, {1.0, 32, 0}, {1.0000001, 32, 0}, {inf, 32, 0}, {0.5, 16, 0},
      {0.01, 0, 0.32}, {31.5 / 32, 31, 0.5},
  };
  for (const Case &c : cases) {
    int i;
    double f;
    LutIndex(33, c.x, i, f);
    EXPECT_EQ(i, c.i) << c.x;
    EXPECT_DOUBLE_EQ(f, c.f) << c.x;
  }
  // A curve through (0, 0.25) and (1, 0.75): extended below 0 for one step, flat beyond.
  TLUT line;
  line.Mode = kMode1D;
  line.Size1D = 2;
  line.Curve[0] = {0.25, 0.25, 0.25};
  line.Curve[1] = {0.75, 0.75, 0.75};
  EXPECT_EQ(line.Evaluate({-0.25, -0.5, -0.75}), (TLutTriple{0.125, 0.0, -0.125}));
  EXPECT_EQ(line.Evaluate({-1.0, -2.0, kNaN}), (TLutTriple{0.25, 0.25, 0.25}));
  line.Curve[2] = {kNaN, kNaN, kNaN}; // beyond the curve in use: never read
  EXPECT_EQ(line.Evaluate({1.0, 1.0, 7.0}), (TLutTriple{0.75, 0.75, 0.75}));
  // A curve that leaves 0..1 feeding the lattice: the lookup takes the lattice's edge values.
  TLUT lut;
  RandomTables(lut, kMode1DThen3D, 9, 3, 1);
  lut.Curve[0] = {-7, kNaN, 1e308};
  lut.Curve[1] = {0.5, 0.5, 0.5};
  lut.Curve[2] = {1e300, 2.5, -1e300};
  EXPECT_EQ(lut.Evaluate({0, 0, 0}), lut.Lattice[0][0][8]);
  EXPECT_EQ(lut.Evaluate({1, 1, 1}), lut.Lattice[8][8][0]);
  // ... and one that dips just below 0 extrapolates from the lattice's first two points:
  // red at 8 x (-1/16) = -0.5 gives 1.5 a - 0.5 b.
  lut.Curve[0] = {-1 / 16.0, 0, 0};
  const TLutTriple a = lut.Lattice[0][0][0], b = lut.Lattice[1][0][0];
  const TLutTriple got = lut.Evaluate({0, 0, 0});
  for (int c = 0; c < 3; ++c)
    EXPECT_DOUBLE_EQ(got[c], 1.5 * a[c] - 0.5 * b[c]) << c;
}

TEST(Lut, ApplyToColorRoundsHalvesToEvenAndClamps) {
  struct Case { double y; int bits; int expected; } cases[] = {
      {0.5, 8, 128},         // 127.5 -> 128
      {126.5 / 255, 8, 126}, // 126.5 -> 126
      {0.5, 1, 0},           // 0.5 -> 0
      {0.5, 2, 2},           // 1.5 -> 2
      {-0.001, 8, 0}, {-1e300, 16, 0}, {1.0000001, 8, 255}, {1e300, 16, 65535}, {1.0, 10, 1023}, {kNaN, 8, 0},
  };
  for (const Case &c : cases) {
    TLUT lut; // a curve mapping every input to c.y
    lut.Size1D = 2;
    lut.Curve[0] = lut.Curve[1] = {c.y, c.y, c.y};
    TColorTriple out;
    out.Bits = static_cast<std::uint8_t>(c.bits);
    lut.ApplyToColor({255, 0, 0, 8}, out); // at the curve's ends, where it gives exactly c.y
    EXPECT_EQ(out.R + out.G + out.B, 3 * c.expected) << c.y << " at " << c.bits << " bits";
  }
  TLUT identity;
  identity.Mode = kModeIdentity;
  TColorTriple out;
  out.Bits = 16;
  identity.ApplyToColor({255, 0, 128, 8}, out);
  EXPECT_EQ(out.R, 65535);
  EXPECT_EQ(out.B, 32896); // 128 / 255 * 65535 = 32896
}

// Every mode baked into a lattice of the same or another size, or sampled along the diagonal into a
// curve, against the plain reading; a table of the same kind and size is copied exactly, where the
// bake would round (at some points of 43 and 999 steps). Entries beyond the tables in use hold
// values never to be read, and are never written.
TEST(Lut, AssignFromBakesAnyModeIntoItsOwnTablesAndRefusesBadSizes) {
  TLUT lattice, both, curve, identity;
  RandomTables(lattice, kMode3D, 44, 0, 42);
  lattice.Comments = {"made by a test"};
  RandomTables(both, kMode1DThen3D, 5, 4, 9);
  curve.Size1D = 1000;
  for (int i = 0; i < 1000; ++i)
    both.Curve[i] = curve.Curve[i] = {i / 3.0, 1 - i / 3.0, (i * i) / 9.0};
  both.Curve[4] = curve.Curve[1000] = {kNaN, kNaN, kNaN};
  identity.Mode = kModeIdentity;
  for (const TLUT *source : {&lattice, &both, &curve, &identity})
    for (auto [mode, size] : {std::pair(kMode3D, 44), std::pair(kMode3D, 17), std::pair(kMode1D, 1000)}) {
      TLUT dst;
      dst.Mode = mode;
      (mode == kMode3D ? dst.Size3D : dst.Size1D) = size;
      dst.Comments = {"old"};
      dst.AssignFrom(*source);
      EXPECT_EQ(dst.Comments, source->Comments);
      const bool copy = source->Mode == mode && (mode == kMode3D ? source->Size3D : source->Size1D) == size;
      const double last = size - 1;
      for (int r = 0; r < size; r += mode == kMode3D ? 3 : 1)
        for (int g = 0; g < (mode == kMode3D ? size : 1); g += 2)
          for (int b = 0; b < (mode == kMode3D ? size : 1); ++b) {
            const TLutTriple in = mode == kMode3D ? TLutTriple{r / last, g / last, b / last} : TLutTriple{r / last, r / last, r / last};
            const TLutTriple &got = mode == kMode3D ? dst.Lattice[r][g][b] : dst.Curve[r];
            const TLutTriple &copied = mode == kMode3D ? source->Lattice[r][g][b] : source->Curve[r];
            ASSERT_EQ(got, copy ? copied : reference::Evaluate(*source, in)) << size << " at " << r << " " << g;
          }
      if (mode == kMode3D) {
        EXPECT_EQ(dst.Lattice[size][0][0], TLutTriple{});
        EXPECT_EQ(dst.Lattice[size - 1][size][size - 1], TLutTriple{});
        EXPECT_EQ(dst.Lattice[size - 1][size - 1][size], TLutTriple{});
      } else {
        EXPECT_EQ(dst.Curve[size], TLutTriple{});
      }
    }
  // A destination with both tables or none takes the comments alone.
  TLUT neither;
  neither.Mode = kMode1DThen3D;
  neither.Size3D = neither.Size1D = 2;
  neither.AssignFrom(lattice);
  EXPECT_EQ(neither.Comments, lattice.Comments);
  EXPECT_EQ(neither.Lattice[1][1][1], TLutTriple{});

  // Tables of impossible size: a bake into or out of them and a picture through them are refused,
  // before the comments change; so is a mode that does not exist.
  TBitmap24 bmp(4, 4);
  struct Bad { std::uint8_t mode; int size3D, size1D; } bad[] = {
      {kMode3D, 1, 2}, {kMode3D, 102, 2}, {kMode1D, 2, 1}, {kMode1D, 2, kMaxSize1D + 1}, {kMode1DThen3D, 2, 1}, {4, 2, 2}};
  for (const Bad &c : bad) {
    TLUT lut;
    lut.Mode = c.mode;
    lut.Size3D = c.size3D;
    lut.Size1D = c.size1D;
    lut.Comments = {"kept"};
    EXPECT_THROW(lut.ApplyToBitmap(bmp), EEngineError) << int(c.mode) << " " << c.size3D << " " << c.size1D;
    if (c.mode <= kMode3D) {
      EXPECT_THROW(lut.AssignFrom(lattice), EEngineError);
      EXPECT_THROW(curve.AssignFrom(lut), EEngineError);
    }
    EXPECT_EQ(lut.Comments, std::vector<std::string>{"kept"});
  }
}

TEST(LutApply, BitmapMatchesApplyToColorByteForByte) {
  // Every 8-bit value on every channel, in many combinations, plus a stretch of a natural picture.
  TBitmap24 input(257, 300);
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 257; ++x)
      input.SetPixel(x, y, static_cast<std::uint8_t>(x), static_cast<std::uint8_t>(y),
                     static_cast<std::uint8_t>((x * 7 + y * 13) & 255));
  const TBitmap24 natural = reference::SyntheticPicture(257, 44, 3);
  for (int y = 0; y < 44; ++y)
    std::copy(natural.Scanline(y), natural.Scanline(y) + 257 * 3, input.Scanline(256 + y));
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
    if (c.n == 33) { // values that are not numbers or far outside 0..1; NaN counts as 0
      lut.Lattice[3][4][5] = {kNaN, -1e300, 1e300};
      lut.Lattice[32][32][32] = {kNaN, kNaN, 2};
      lut.Lattice[0][0][0] = {-0.0, 0.0, 0.9999999};
    }
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
    // A band at a time, as pictures arrive from a decoder: bands of 37 rows, the last first.
    const TBitmapLutRows rows(lut);
    TBitmap24 banded = input;
    for (int y0 = (banded.Height() - 1) / 37 * 37; y0 >= 0; y0 -= 37)
      rows.ApplyRows(banded, y0, y0 + 37);
    ASSERT_TRUE(banded.SamePixels(expected)) << "in bands: mode " << int(c.mode) << " size " << c.n << "/" << c.m;
  }
  SetEngineThreadCount(0);
}

// A scratch buffer given back goes to the pool whole, and comes out again for any request it holds.
TEST(Scratch, ABufferGivenBackServesAnyRequestItHolds) {
  std::vector<TScratch> held; // whatever earlier tests left in the pool, taken out of the way
  for (int i = 0; i < 4; ++i)
    held.emplace_back(1);
  void *big;
  {
    const TScratch first(100 << 20);
    big = first.As<void>();
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(big) % 64, 0u);
  }
  EXPECT_EQ(TScratch(64).As<void>(), big);
  EXPECT_EQ(TScratch(100 << 20).As<void>(), big);
}
