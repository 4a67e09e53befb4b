// The working colour models and the primary, secondary and colour-pick corrections, against worked-out
// values and against the plain readings of tests/support/EngineReference.h, on one and two threads.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>

#include "engine/Bitmap24.h"
#include "engine/ColorModels.h"
#include "engine/ColorPick.h"
#include "engine/CorrectionInternals.h"
#include "engine/Errors.h"
#include "engine/Lut.h"
#include "engine/Parallel.h"
#include "engine/PrimaryCorrection.h"
#include "engine/SecondaryCorrection.h"
#include "tests/support/EngineReference.h"

using namespace tintwise;

namespace {

struct TLut33 : TLUT {
  TLut33() {
    Mode = kMode3D;
    Size3D = 33;
  }
};

bool SameLattice(const TLUT &a, const TLUT &b) {
  for (int r = 0; r < a.Size3D; ++r)
    for (int g = 0; g < a.Size3D; ++g)
      if (std::memcmp(a.Lattice[r][g], b.Lattice[r][g], sizeof(TLutTriple) * a.Size3D) != 0)
        return false;
  return true;
}

using TRecord = std::unique_ptr<TSecondCorrectionData>;
TRecord NewRecord() { return std::make_unique<TSecondCorrectionData>(); }

// A picture whose pixels fall into exactly the given colour cells.
TBitmap24 CellsPicture(std::initializer_list<std::array<int, 3>> cells) {
  auto code = [](int cell) { return static_cast<std::uint8_t>(std::nearbyint(cell * 255.0 / 32)); };
  TBitmap24 bmp(static_cast<int>(cells.size()), 1);
  int x = 0;
  for (const auto &c : cells)
    bmp.SetPixel(x++, 0, code(c[0]), code(c[1]), code(c[2]));
  return bmp;
}

// A picture of one colour, and one of greys, which carry no V at all (only rounding noise) and a
// tiny U.
TBitmap24 Flat() {
  TBitmap24 flat(10, 10);
  for (int y = 0; y < 10; ++y)
    for (int x = 0; x < 10; ++x)
      flat.SetPixel(x, y, 40, 90, 200);
  return flat;
}

TBitmap24 Greys() {
  TBitmap24 grey(64, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 64; ++x)
      grey.SetPixel(x, y, static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(x * 4), static_cast<std::uint8_t>(x * 4));
  return grey;
}

void Primary(TLUT &lut) {
  ApplyPrimaryCorrection(reference::SyntheticPicture(80, 60, 1), reference::SyntheticPicture(70, 50, 2), lut, 1, 1, 1);
}

struct TGrey33 : TLut33 {
  TGrey33() {
    for (int i = 0; i < 33; ++i)
      for (int j = 0; j < 33; ++j)
        for (int k = 0; k < 33; ++k)
          Lattice[i][j][k] = {0.5, 0.5, 0.5};
  }
  int Changed() const {
    int n = 0;
    for (int i = 0; i < 33; ++i)
      for (int j = 0; j < 33; ++j)
        for (int k = 0; k < 33; ++k)
          n += Lattice[i][j][k] != TLutTriple{0.5, 0.5, 0.5};
    return n;
  }
  // How far point (i, j, k) moved from grey toward white, 0 to 1.
  double Moved(int i, int j, int k) const { return (Lattice[i][j][k][0] - 0.5) / 0.5; }
};

} // namespace

TEST(ColorModels, HSVHuesAndClampingAndTheSelectedModelUsedThroughout) {
  struct Case { double r, g, b, h, s, v; } cases[] = {
      {1, 0, 0, 0, 1, 1}, {0, 1, 0, 120, 1, 1}, {0, 0, 1, 240, 1, 1}, {1, 0, 1, 300, 1, 1},
      {1, 1, 0, 60, 1, 1}, {0, 1, 1, 180, 1, 1}, {0.5, 0.5, 0.5, 0, 0, 0.5}, {0, 0, 0, 0, 0, 0},
      {1, 0, 0.5, 330, 1, 1}, {0.4, 0.2, 0.2, 0, 0.5, 0.4}, {0.2, 0.8, 0.4, 140, 0.75, 0.8},
  };
  for (const Case &c : cases) {
    double hsv[3], rgb[3];
    RGBToHSV(hsv[0], hsv[1], hsv[2], c.r, c.g, c.b);
    HSVToRGB(rgb[0], rgb[1], rgb[2], hsv[0], hsv[1], hsv[2]);
    const double expected[6] = {c.h, c.s, c.v, c.r, c.g, c.b}, got[6] = {hsv[0], hsv[1], hsv[2], rgb[0], rgb[1], rgb[2]};
    for (int k = 0; k < 6; ++k)
      EXPECT_NEAR(got[k], expected[k], 1e-12) << c.r << "," << c.g << "," << c.b << " component " << k;
  }
  // Hue above 360 or below 0 is 0, and 360 is 0; saturation and value are clamped to 0..1.
  struct Clamp { double h, s, v, r, g, b; } clamps[] = {
      {400, 1, 1, 1, 0, 0}, {-10, 1, 1, 1, 0, 0}, {360, 1, 1, 1, 0, 0}, {120, 1.5, 1, 0, 1, 0},
      {240, 1, 2, 0, 0, 1}, {60, -1, 0.5, 0.5, 0.5, 0.5}, {200, 0.5, -3, 0, 0, 0},
  };
  for (const Clamp &c : clamps) {
    double rgb[3];
    HSVToRGB(rgb[0], rgb[1], rgb[2], c.h, c.s, c.v);
    const double expected[3] = {c.r, c.g, c.b};
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(rgb[k], expected[k], 1e-12) << c.h << " " << c.s << " " << c.v;
  }
  EXPECT_DOUBLE_EQ(FloatMod(-7.5, 2), 1.5);
  EXPECT_DOUBLE_EQ(FloatMod(7.5, 2), 1.5);

  // YUV, the model in use, gives white a U of 0.00001 (the matrix rows do not quite sum to 0). The
  // models nothing selects today: RGB passes the components through, HSV goes to its own pair, and
  // the statistics are taken in whichever model is selected.
  TBitmap24 two(2, 1);
  two.SetPixel(0, 0, 10, 20, 30);
  two.SetPixel(1, 0, 30, 60, 90);
  TChannelValues means, devs;
  double c[3], rgb[3];
  WorkingColorModel = kModelRGB;
  RGBToWorking(c[0], c[1], c[2], 0.2, 0.4, 0.6);
  WorkingToRGB(rgb[0], rgb[1], rgb[2], 0.7, 0.8, 0.9);
  CalcChannelStatistics(two, means, devs);
  EXPECT_EQ((std::array{c[0], c[1], c[2], rgb[0], rgb[1], rgb[2]}), (std::array{0.2, 0.4, 0.6, 0.7, 0.8, 0.9}));
  for (int k = 0; k < 3; ++k) {
    EXPECT_NEAR(means[k], 20 * (k + 1) / 255.0, 1e-15) << k;
    EXPECT_NEAR(devs[k], 10 * (k + 1) / 255.0, 1e-15) << k;
  }
  WorkingColorModel = kModelHSV;
  RGBToWorking(c[0], c[1], c[2], 1, 0, 1);
  WorkingToRGB(rgb[0], rgb[1], rgb[2], 120, 1, 0.5);
  WorkingColorModel = kModelYUV;
  EXPECT_EQ((std::array{c[0], c[1], c[2], rgb[0], rgb[1], rgb[2]}), (std::array{300.0, 1.0, 1.0, 0.0, 0.5, 0.0}));
  RGBToWorking(c[0], c[1], c[2], 1, 1, 1);
  EXPECT_DOUBLE_EQ(c[0], 1.0);
  EXPECT_NEAR(c[1], 0.00001, 1e-15);
  EXPECT_NEAR(c[2], 0.0, 1e-15);
}

// The reference region is the 2 x 2 pixels from (1, 1) of a picture with pixels
// (30 + 40x, 200 - 30y, 90 + 15xy), the source region the 3 x 2 pixels from (1, 1) of one with
// (20 + 50y, 60 + 25x, 180 - 20x - 10y); opacities 0.7 / 1.3 / 1.3. The expected outputs were worked
// out apart from the engine (a few lines of Python following the written algorithm).
TEST(PrimaryCorrection, GoldenValuesForSelectedRegions) {
  TBitmap24 refPicture(4, 3), srcPicture(5, 4);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      refPicture.SetPixel(x, y, static_cast<std::uint8_t>(30 + 40 * x), static_cast<std::uint8_t>(200 - 30 * y),
                          static_cast<std::uint8_t>(90 + 15 * x * y));
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x)
      srcPicture.SetPixel(x, y, static_cast<std::uint8_t>(20 + 50 * y), static_cast<std::uint8_t>(60 + 25 * x),
                          static_cast<std::uint8_t>(180 - 20 * x - 10 * y));
  TLut33 lut;
  ApplyPrimaryCorrection(refPicture.Crop(1, 1, 2, 2), srcPicture.Crop(1, 1, 3, 2), lut, 0.7, 1.3, 1.3);
  struct Case { int i, j, k; TLutTriple out; } cases[] = {
      {0, 0, 0, {0, 0.21734136780557706, 0.008027060409930481}}, // red clamped at 0
      {32, 32, 32, {0.83921380516826338, 1, 0.90595369148851113}}, // green clamped at 1
      {16, 8, 24, {0.35833330395080382, 0.48132208582249691, 0.56178985948500371}},
      {5, 20, 11, {0.16165317295923815, 0.73087913704731688, 0.35212278314990036}},
      {30, 2, 9, {0.62423142394545272, 0.35009746041832912, 0.28261279347309243}},
      {10, 10, 10, {0.22189725045854328, 0.49793909519029866, 0.28862913262198692}},
      {20, 25, 3, {0.51090499139126633, 0.87905541852663038, 0.27499226004501637}},
  };
  for (const Case &c : cases)
    for (int ch = 0; ch < 3; ++ch)
      EXPECT_NEAR(lut.Lattice[c.i][c.j][c.k][ch], c.out[ch], 1e-12) << c.i << "," << c.j << "," << c.k << " channel " << ch;
}

// The statistics alone, then the lattice from crops, other sizes, the same picture on both sides and
// opacities of 0, 1 and 2.
TEST(PrimaryCorrection, EqualsThePlainReadingAtEveryPointOnAnyThreadCount) {
  const TBitmap24 ref = reference::SyntheticPicture(333, 111, 6);
  const TBitmap24 src = reference::SyntheticPicture(222, 99, 7);
  std::array<double, 3> m, d, plainMeans, plainDeviations;
  CalcChannelMeans(ref, m[0], m[1], m[2]);
  CalcChannelDeviations(ref, d[0], d[1], d[2]);
  reference::ChannelStatistics(ref, plainMeans.data(), plainDeviations.data());
  EXPECT_EQ(m, plainMeans);
  EXPECT_EQ(d, plainDeviations);
  struct Case { TBitmap24 ref, src; int size; double op[3]; } cases[] = {
      {ref, src, 33, {0.8, 1.3, 1.3}},
      {ref.Crop(40, 10, 60, 50), src.Crop(100, 30, 90, 40), 33, {1, 1, 1}},
      {src, ref, 17, {2, 0.5, 0.5}},
      {src, src, 33, {0.3, 2, 2}},
      {ref, src, 9, {0, 0, 0}},
      {ref, Greys(), 33, {1, 0, 0}}, // the chroma off: the brightness alone is matched
      {Flat(), src, 17, {1, 1, 1}},  // every point goes to the reference's one colour
  };
  for (const Case &c : cases) {
    TLUT expected;
    expected.Mode = kMode3D;
    expected.Size3D = c.size;
    reference::ApplyPrimaryCorrection(c.ref, c.src, expected, c.op);
    for (int threads : {1, 2}) {
      SetEngineThreadCount(threads);
      TLUT lut;
      lut.Mode = kMode3D;
      lut.Size3D = c.size;
      ApplyPrimaryCorrection(c.ref, c.src, lut, c.op[0], c.op[1], c.op[2]);
      EXPECT_TRUE(SameLattice(lut, expected)) << "size " << c.size << ", " << threads << " threads";
      const int n = c.size; // entries beyond the size in use keep what they held
      for (const TLutTriple &beyond : {lut.Lattice[n][1][2], lut.Lattice[1][n][2], lut.Lattice[1][2][n]})
        EXPECT_EQ(beyond, TLutTriple{}) << "size " << n;
    }
  }
  SetEngineThreadCount(0);
}

TEST(PrimaryCorrection, RefusesWhatCannotBeMatchedWithoutTouchingTheLattice) {
  const TBitmap24 picture = reference::SyntheticPicture(64, 48, 3), flat = Flat(), grey = Greys(), empty(0, 5);
  struct Case { const TBitmap24 *ref, *src; const char *message; } cases[] = {
      {&picture, &flat,
       "The selected source has no variation in its Y channel (a region of a single colour has none), so it cannot be "
       "matched: select a region with more than one colour."},
      {&picture, &grey,
       "The selected source has no variation in its V channel (a region of a single colour has none), so it cannot be "
       "matched: select a region with more than one colour."},
      {&picture, &empty, "The source picture is empty: there are no pixels to measure."},
      {&empty, &picture, "The reference picture is empty: there are no pixels to measure."},
  };
  for (const Case &c : cases) {
    TLut33 lut, before;
    ApplyPrimaryCorrection(picture, reference::SyntheticPicture(50, 40, 9), lut, 1, 1, 1);
    before.AssignFrom(lut);
    try {
      ApplyPrimaryCorrection(*c.ref, *c.src, lut, 1, 1, 1);
      ADD_FAILURE() << "no error for " << c.message;
    } catch (const EEngineError &e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    EXPECT_TRUE(SameLattice(lut, before)) << c.message;
  }
  // The pictures are measured on two threads: an error on either reaches the caller.
  SetEngineThreadCount(2);
  TChannelValues m1, d1, m2, d2;
  EXPECT_THROW(CalcStatisticsPair(picture, empty, m1, d1, m2, d2), EEngineError);
  EXPECT_THROW(CalcStatisticsPair(empty, picture, m1, d1, m2, d2), EEngineError);
  // So does one from any part of a range shared out between the threads (that the parts cover the
  // range, the lattices and pictures of the other tests show).
  auto lateFailure = [](int begin, int) {
    if (begin > 0)
      throw EEngineError("the second part failed");
  };
  EXPECT_THROW(ParallelFor(1000, lateFailure, 1), EEngineError);
  SetEngineThreadCount(0);
}

TEST(SecondaryMask, EqualsTheLiteralLoopForEverySoftness) {
  const TBitmap24 pictures[] = {
      reference::SyntheticPicture(150, 90, 12),
      CellsPicture({{0, 0, 0}, {32, 32, 32}, {0, 32, 5}, {16, 16, 16}, {17, 16, 16}, {31, 2, 30}}),
      reference::SyntheticPicture(40, 30, 5).Crop(3, 3, 9, 7),
  };
  for (const TBitmap24 &picture : pictures)
    for (int s : {0, 1, 2, 3, 7, 10, 32, 40}) {
      if (s > 10 && picture.Width() > 10)
        continue; // a cube wider than the mask is only worth its time for a few marked cells
      for (int threads : {1, 2}) {
        SetEngineThreadCount(threads);
        TRecord fast = NewRecord(), literal = NewRecord();
        BuildSecondaryMask(picture, *fast, s);
        reference::BuildSecondaryMask(picture, *literal, s);
        ASSERT_EQ(std::memcmp(fast->Mask, literal->Mask, sizeof fast->Mask), 0)
            << "softness " << s << ", " << threads << " threads";
      }
    }
  SetEngineThreadCount(0);
  TRecord rec = NewRecord();
  EXPECT_THROW(BuildSecondaryMask(pictures[0], *rec, -1), EEngineError);
}

// Two source pixels marking cells (8, 16, 24) and (13, 15, 21), two reference pixels, softness 2,
// opacities 0.8 / 0.6 / 0.6, on a lattice that is not the identity: out = (0.2 + 0.6 r, g², 1 - b / 2).
// The expected outputs were worked out apart from the engine (a few lines of Python following the
// written algorithm, doubles throughout); they cover full and fractional weights, components
// clamped at both ends, and points the mask does not reach.
TEST(SecondaryCorrection, GoldenValuesWithFractionalWeights) {
  TBitmap24 src(2, 1), ref(2, 1);
  src.SetPixel(0, 0, 64, 128, 191);
  src.SetPixel(1, 0, 100, 118, 170);
  ref.SetPixel(0, 0, 200, 120, 60);
  ref.SetPixel(1, 0, 150, 60, 30);
  TLut33 lut;
  for (int i = 0; i < 33; ++i)
    for (int j = 0; j < 33; ++j)
      for (int k = 0; k < 33; ++k) {
        const double r = i / 32.0, g = j / 32.0, b = k / 32.0;
        lut.Lattice[i][j][k] = {0.2 + 0.6 * r, g * g, 1 - 0.5 * b};
      }
  TRecord rec = NewRecord();
  CalcSecondaryStatistics(ref, src, *rec);
  BuildSecondaryMask(src, *rec, 2);
  rec->Opacity = {0.8, 0.6, 0.6};
  ApplySecondaryCorrection(*rec, lut);
  struct Case { int i, j, k; float w; TLutTriple out; } cases[] = {
      {8, 16, 24, 1, {0.46261985970800512, 0.2232992660386009, 0.30009408793719622}},
      {13, 15, 21, 1, {0.80922796917486761, 0.51988416031218909, 0.55192748607120601}},
      {9, 16, 24, 0.711324871f, {0.5550397702505333, 0.34445501293379022, 0.50306451938394647}},
      {7, 17, 24, 0.591751695f, {0.49277384115603484, 0.34614255324903165, 0.51928374964871893}},
      {14, 16, 22, 0.5f, {0.73124999999999996, 0.625, 0.828125}},         // all three clamped at 1
      {13, 15, 19, 0.422649741f, {0.54647014343700695, 0.2972843163120964, 0.57846585878156564}},
      {6, 15, 23, 0.292893231f, {0.22097086533904076, 0.15537013969151303, 0.45299027394503355}}, // at 0
      {10, 15, 22, 0.133974597f, {0.38467092625049165, 0.20365229717545191, 0.59021325927052004}},
      {0, 0, 0, 0, {0.2, 0, 1}},
      {8, 16, 27, 0, {0.35, 0.25, 0.578125}},
  };
  for (const Case &c : cases) {
    EXPECT_FLOAT_EQ(rec->Mask[c.i][c.j][c.k], c.w) << c.i << "," << c.j << "," << c.k;
    for (int ch = 0; ch < 3; ++ch)
      EXPECT_NEAR(lut.Lattice[c.i][c.j][c.k][ch], c.out[ch], 1e-12) << c.i << "," << c.j << "," << c.k << " channel " << ch;
  }
}

// One thread measures and applies in steps; two threads preview, which does the same in one call.
TEST(SecondaryCorrection, EqualsThePlainReadingAtEveryPoint) {
  const TBitmap24 ref = reference::SyntheticPicture(90, 70, 50).Crop(10, 20, 40, 30);
  const TBitmap24 region = reference::SyntheticPicture(120, 80, 51).Crop(30, 5, 25, 40);
  TBitmap24 noBlue = region, fullBlue = region; // every colour in the first or the last cell along blue
  for (int y = 0; y < region.Height(); ++y)
    for (int x = 0; x < region.Width(); ++x) {
      noBlue.Scanline(y)[3 * x] = 0;
      fullBlue.Scanline(y)[3 * x] = 255;
    }
  struct Case { int softness; TChannelValues opacity; const TBitmap24 &src; } cases[] = {
      {0, {1, 1, 1}, region}, {3, {0.7, 1.4, 1.4}, region}, {10, {2, 0.3, 0.3}, region}, {2, {0, 0, 0}, region},
      {0, {1, 1, 1}, noBlue}, {0, {1, 1, 1}, fullBlue}};
  for (const Case &c : cases) {
    TLut33 base;
    Primary(base);
    TRecord plain = NewRecord();
    reference::ChannelStatistics(c.src, plain->SrcMean.data(), plain->SrcDeviation.data());
    reference::ChannelStatistics(ref, plain->RefMean.data(), plain->RefDeviation.data());
    reference::BuildSecondaryMask(c.src, *plain, c.softness);
    plain->Opacity = c.opacity;
    TLut33 expected;
    expected.AssignFrom(base);
    reference::ApplySecondaryCorrection(*plain, expected);
    for (int threads : {1, 2}) {
      SetEngineThreadCount(threads);
      TLut33 lut;
      lut.AssignFrom(base);
      if (threads == 1) {
        TRecord rec = NewRecord();
        CalcSecondaryStatistics(ref, c.src, *rec);
        EXPECT_EQ(rec->SrcMean, plain->SrcMean);
        EXPECT_EQ(rec->RefDeviation, plain->RefDeviation);
        BuildSecondaryMask(c.src, *rec, c.softness);
        rec->Opacity = c.opacity;
        ApplySecondaryCorrection(*rec, lut);
      } else {
        PreviewSecondaryCorrection(ref, c.src, lut, c.opacity[0], c.opacity[1], c.opacity[2], c.softness);
      }
      EXPECT_TRUE(SameLattice(lut, expected)) << "softness " << c.softness << ", " << threads << " threads";
    }
  }
  SetEngineThreadCount(0);
}

TEST(SecondaryCorrection, RefusesBadInputWithoutTouchingTheLattice) {
  const TBitmap24 picture = reference::SyntheticPicture(40, 30, 2), flat = Flat();
  struct Case { const TBitmap24 *ref, *src; int size; const char *needle; } cases[] = {
      {&picture, &flat, 33, "single colour"},
      {&picture, nullptr, 33, "source region is empty"},
      {nullptr, &picture, 33, "reference region is empty"},
      {&picture, &picture, 17, "33 points"},
  };
  const TBitmap24 empty;
  for (const Case &c : cases) {
    TLut33 lut, before;
    Primary(lut);
    before.AssignFrom(lut);
    lut.Size3D = c.size;
    try {
      PreviewSecondaryCorrection(c.ref ? *c.ref : empty, c.src ? *c.src : empty, lut, 1, 1, 1, 3);
      ADD_FAILURE() << "no error for " << c.needle;
    } catch (const EEngineError &e) {
      EXPECT_NE(std::string(e.what()).find(c.needle), std::string::npos) << e.what();
    }
    lut.Size3D = before.Size3D = 33;
    EXPECT_TRUE(SameLattice(lut, before)) << c.needle;
  }
  // A record that weights no point changes nothing, whatever its statistics.
  TLut33 lut, before;
  Primary(lut);
  before.AssignFrom(lut);
  TRecord unweighted = NewRecord();
  unweighted->Opacity = {1, 1, 1};
  ApplySecondaryCorrection(*unweighted, lut);
  EXPECT_TRUE(SameLattice(lut, before));
}

TEST(ColorPick, WeightsFallOffQuadraticallyInsideTheCube) {
  TGrey33 nearest, lut;
  // Softness 0 moves the nearest point alone. Red in the colour value's low byte: 100 / 255 * 32 =
  // 12.55 -> 13; 64 -> 8.03 -> 8; 4 -> 0.502 -> 1.
  ApplyColorPick(nearest, ColorValueToTriple(0x044064), ColorValueToTriple(0x3300FF), 0);
  EXPECT_EQ(nearest.Changed(), 1);
  EXPECT_EQ(nearest.Lattice[13][8][1], (TLutTriple{1.0, 0.0, 51 / 255.0}));
  const TColorTriple centre = ColorValueToTriple(0x808080); // 128 -> 16.06 -> 16
  ApplyColorPick(lut, centre, {255, 255, 255, 8}, 1);
  EXPECT_EQ(lut.Changed(), 19); // 27 points reached; the 8 corners carry weight 0
  const double face = std::pow(1 - 1 / std::sqrt(3.0), 2), edge = std::pow(1 - std::sqrt(2.0) / std::sqrt(3.0), 2);
  EXPECT_DOUBLE_EQ(lut.Moved(16, 16, 16), 1.0);
  EXPECT_NEAR(lut.Moved(17, 16, 16), face, 1e-12);
  EXPECT_NEAR(lut.Moved(17, 17, 16), edge, 1e-12);
  EXPECT_TRUE(lut.Lattice[17][17][16][1] == lut.Lattice[17][17][16][0] && lut.Lattice[17][17][16][2] == lut.Lattice[17][17][16][0]);
  EXPECT_EQ(lut.Moved(15, 17, 15), 0.0);
  // Again: the neighbours move further, toward the target.
  ApplyColorPick(lut, centre, {255, 255, 255, 8}, 1);
  EXPECT_NEAR(lut.Moved(17, 16, 16), 1 - (1 - face) * (1 - face), 1e-12);
  // At a corner only the 3 x 3 x 3 points inside the lattice, less the far corner of weight 0.
  TGrey33 corner, big;
  ApplyColorPick(corner, {0, 0, 0, 8}, {0, 0, 65535, 16}, 2);
  EXPECT_EQ(corner.Changed(), 26);
  EXPECT_EQ(corner.Lattice[0][0][0], (TLutTriple{0, 0, 1}));
  ApplyColorPick(big, {255, 255, 255, 8}, {1023, 1023, 1023, 10}, 1000);
  EXPECT_NEAR(big.Moved(0, 0, 0), std::pow((1000 - 32) / 1000.0, 2), 1e-12); // 32 of 1000 steps along the diagonal
  EXPECT_THROW(ApplyColorPick(lut, {0, 0, 0, 0}, {0, 0, 0, 8}, 1), EEngineError);
  EXPECT_THROW(ApplyColorPick(lut, {0, 0, 0, 8}, {0, 0, 0, 17}, 1), EEngineError);
  EXPECT_THROW(ApplyColorPick(lut, {0, 0, 0, 8}, {0, 0, 0, 8}, -1), EEngineError);
  lut.Size3D = 1;
  EXPECT_THROW(ApplyColorPick(lut, {0, 0, 0, 8}, {0, 0, 0, 8}, 1), EEngineError);
}
