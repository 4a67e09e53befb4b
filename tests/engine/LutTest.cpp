#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "engine/Errors.h"
#include "engine/Lut.h"
#include "tests/support/EngineReference.h"

using namespace tintwise;

namespace {

void FillRandomLattice(TLUT &lut, int n, unsigned seed, double lo = 0, double hi = 1) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> d(lo, hi);
  lut.Mode = kMode3D;
  lut.Size3D = n;
  for (int r = 0; r < n; ++r)
    for (int g = 0; g < n; ++g)
      for (int b = 0; b < n; ++b)
        lut.Lattice[r][g][b] = {d(rng), d(rng), d(rng)};
}

TColorTriple Apply(const TLUT &lut, TColorTriple in, int outBits) {
  TColorTriple out;
  out.Bits = static_cast<std::uint8_t>(outBits);
  lut.ApplyToColor(in, out);
  return out;
}

// A LUT whose curve maps every input to the constant y on all channels.
void ConstantCurve(TLUT &lut, double y) {
  lut.Mode = kMode1D;
  lut.Size1D = 2;
  lut.Curve[0] = lut.Curve[1] = {y, y, y};
}

} // namespace

TEST(Lut, IdentityModeAndItsBakedLattice) {
  TLUT identity;
  identity.Mode = kModeIdentity;
  for (double x : {-0.5, 0.0, 0.123456789, 1.0, 7.0})
    EXPECT_EQ(identity.Evaluate({x, 0.5, x}), (TLutTriple{x, 0.5, x}));
  for (int n : {2, 17, 33, 101}) {
    TLUT lut;
    lut.Mode = kMode3D;
    lut.Size3D = n;
    lut.AssignFrom(identity);
    for (int r : {0, 1, n / 2, n - 1})
      for (int b : {0, n - 2, n - 1})
        EXPECT_EQ(lut.Lattice[r][n - 1][b], (TLutTriple{double(r) / (n - 1), 1.0, double(b) / (n - 1)})) << n;
  }
}

TEST(Lut, Evaluate3DAtPointsHalfwayAndAtTheTop) {
  for (int n : {2, 5, 33, 101}) {
    TLUT lut;
    FillRandomLattice(lut, n, 7 + n);
    for (int r = 0; r < n; r += std::max(1, n / 5))
      for (int b = 0; b < n; b += std::max(1, n / 4)) {
        const TLutTriple got = lut.Evaluate({double(r) / (n - 1), 0.0, double(b) / (n - 1)});
        for (int c = 0; c < 3; ++c)
          EXPECT_NEAR(got[c], lut.Lattice[r][0][b][c], 1e-12);
      }
    // Exactly the last entry at (1, 1, 1): the entries beyond the table in use are never read.
    if (n < kMaxSize3D) {
      const double nan = std::numeric_limits<double>::quiet_NaN();
      lut.Lattice[n][n - 1][n - 1] = lut.Lattice[n - 1][n][n - 1] = lut.Lattice[n - 1][n - 1][n] = {nan, nan, nan};
    }
    EXPECT_EQ(lut.Evaluate({1.0, 1.0, 1.0}), lut.Lattice[n - 1][n - 1][n - 1]);
    // Halfway along green between points 0 and 1: the mean of the two entries.
    const TLutTriple half = lut.Evaluate({0.0, 0.5 / (n - 1), 0.0});
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(half[c], (lut.Lattice[0][0][0][c] + lut.Lattice[0][1][0][c]) / 2, 1e-15);
  }
}

TEST(Lut, IndexStaysInsideTheTableForAnyInput) {
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  // 33 points: t = 32 x. Less than one step below 0 is the first interval with a negative
  // fraction; a step or more below, NaN, and anything at or above 1 stay at the table's ends.
  struct Case { double x; int i; double f; } cases[] = {
      {-0.01, 0, -0.32}, {-0.03, 0, -0.96}, {-1e-300, 0, -32e-300}, {-0.0, 0, 0},
      {-1 / 32.0, 0, 0}, {-0.25, 0, 0}, {-1e300, 0, 0}, {nan, 0, 0}, {-inf, 0, 0},
      {1.0, 32, 0}, {1.0000001, 32, 0}, {5.0, 32, 0}, {inf, 32, 0}, {1e300, 32, 0}, {0.5, 16, 0},
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
  EXPECT_EQ(line.Evaluate({-1.0, -2.0, nan}), (TLutTriple{0.25, 0.25, 0.25}));
  line.Curve[2] = {nan, nan, nan}; // beyond the curve in use: never read
  EXPECT_EQ(line.Evaluate({1.0, 1.0, 7.0}), (TLutTriple{0.75, 0.75, 0.75}));
  // A curve that leaves 0..1 feeding the lattice: the lookup takes the lattice's edge values.
  TLUT lut;
  FillRandomLattice(lut, 9, 1);
  lut.Mode = kMode1DThen3D;
  lut.Size1D = 3;
  lut.Curve[0] = {-7, nan, 1e308};
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
      {0.5, 8, 128},            // 127.5 -> 128
      {126.5 / 255, 8, 126},    // 126.5 -> 126
      {0.5, 1, 0},              // 0.5 -> 0
      {0.5, 2, 2},              // 1.5 -> 2
      {2.5 / 15, 4, 2},         // 2.5 -> 2
      {-0.001, 8, 0}, {-1e300, 16, 0}, {1.0000001, 8, 255}, {1e300, 16, 65535}, {1.0, 10, 1023},
      {std::numeric_limits<double>::quiet_NaN(), 8, 0},
  };
  for (const Case &c : cases) {
    if (c.bits == 8 && c.y > 0.49 && c.y < 0.5) {
      ASSERT_EQ(255 * c.y, 126.5); // the case really is a half
    }
    TLUT lut;
    ConstantCurve(lut, c.y);
    const TColorTriple out = Apply(lut, {200, 100, 0, 8}, c.bits);
    EXPECT_EQ(out.R, c.expected) << c.y << " at " << c.bits << " bits";
    EXPECT_EQ(out.B, c.expected) << c.y << " at " << c.bits << " bits";
  }
  TLUT identity;
  identity.Mode = kModeIdentity;
  const TColorTriple white = Apply(identity, {255, 255, 255, 8}, 8);
  EXPECT_EQ(white.R + white.G + white.B, 3 * 255);
  const TColorTriple widened = Apply(identity, {255, 0, 128, 8}, 16);
  EXPECT_EQ(widened.R, 65535);
  EXPECT_EQ(widened.B, 32896); // 128 / 255 * 65535 = 32896
  EXPECT_THROW(Apply(identity, {1, 2, 3, 0}, 8), EEngineError);
  EXPECT_THROW(Apply(identity, {1, 2, 3, 8}, 17), EEngineError);
}

TEST(Lut, AssignFromCopiesOrResamples) {
  TLUT src;
  FillRandomLattice(src, 33, 42, -0.1, 1.1);
  src.Comments = {"made by a test"};

  TLUT same;
  same.Mode = kMode3D;
  same.Size3D = 33;
  same.AssignFrom(src);
  for (int r = 0; r < 33; r += 4)
    for (int g = 0; g < 33; g += 3)
      for (int b = 0; b < 33; ++b)
        ASSERT_EQ(same.Lattice[r][g][b], src.Lattice[r][g][b]);
  EXPECT_EQ(same.Comments, src.Comments);

  TLUT small;
  small.Mode = kMode3D;
  small.Size3D = 17;
  small.AssignFrom(src);
  for (int r = 0; r < 17; r += 5)
    for (int g = 0; g < 17; g += 2)
      for (int b = 0; b < 17; ++b)
        ASSERT_EQ(small.Lattice[r][g][b], reference::Evaluate(src, {r / 16.0, g / 16.0, b / 16.0}));

  // A curve followed by a lattice bakes into one lattice; a 1D destination samples the diagonal.
  TLUT both;
  FillRandomLattice(both, 5, 9);
  both.Mode = kMode1DThen3D;
  both.Size1D = 4;
  for (int i = 0; i < 4; ++i)
    both.Curve[i] = {i / 3.0, 1 - i / 3.0, (i * i) / 9.0};
  TLUT baked;
  baked.Mode = kMode3D;
  baked.Size3D = 9;
  baked.AssignFrom(both);
  EXPECT_EQ(baked.Lattice[3][7][2], reference::Evaluate(both, {3 / 8.0, 7 / 8.0, 2 / 8.0}));
  TLUT curve;
  curve.Mode = kMode1D;
  curve.Size1D = 1024;
  curve.AssignFrom(both);
  EXPECT_EQ(curve.Curve[1000], reference::Evaluate(both, {1000 / 1023.0, 1000 / 1023.0, 1000 / 1023.0}));
}

TEST(Lut, AssignFromAlwaysReplacesCommentsAndRefusesBadSizes) {
  TLUT src;
  src.Mode = kModeIdentity;
  src.Comments = {"a", "b"};
  for (std::uint8_t mode : {kMode1DThen3D, kModeIdentity}) {
    TLUT dst;
    dst.Mode = mode;
    dst.Comments = {"old"};
    dst.AssignFrom(src);
    EXPECT_EQ(dst.Comments, src.Comments);
  }
  TLUT bad;
  bad.Mode = kMode3D;
  bad.Size3D = 102;
  bad.Comments = {"kept"};
  EXPECT_THROW(bad.AssignFrom(src), EEngineError);
  EXPECT_EQ(bad.Comments, std::vector<std::string>{"kept"});
  bad.Size3D = 1;
  EXPECT_THROW(bad.AssignFrom(src), EEngineError);
}
