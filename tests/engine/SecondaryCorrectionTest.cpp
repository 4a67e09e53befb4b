#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>

#include "engine/Bitmap24.h"
#include "engine/ColorModels.h"
#include "engine/Errors.h"
#include "engine/Lut.h"
#include "engine/Parallel.h"
#include "engine/PrimaryCorrection.h"
#include "engine/SecondaryCorrection.h"
#include "tests/support/EngineReference.h"

using namespace tintwise;

namespace {

using TRecord = std::unique_ptr<TSecondCorrectionData>;
TRecord NewRecord() { return std::make_unique<TSecondCorrectionData>(); }

std::uint8_t Code(int cell) { return static_cast<std::uint8_t>(std::nearbyint(cell * 255.0 / 32)); }

// A picture whose pixels fall into exactly the given colour cells.
TBitmap24 CellsPicture(std::initializer_list<std::array<int, 3>> cells) {
  TBitmap24 bmp(static_cast<int>(cells.size()), 1);
  int x = 0;
  for (const auto &c : cells)
    bmp.SetPixel(x++, 0, Code(c[0]), Code(c[1]), Code(c[2]));
  return bmp;
}

struct TWorkingLut : TLUT {
  TWorkingLut() {
    Mode = kMode3D;
    Size3D = 33;
  }
};

void Primary(TLUT &lut) {
  ApplyPrimaryCorrection(reference::SyntheticPicture(80, 60, 1), reference::SyntheticPicture(70, 50, 2), lut, 1, 1, 1);
}

bool SameLattice(const TLUT &a, const TLUT &b) {
  for (int r = 0; r < 33; ++r)
    for (int g = 0; g < 33; ++g)
      if (std::memcmp(a.Lattice[r][g], b.Lattice[r][g], sizeof(TLutTriple) * 33) != 0)
        return false;
  return true;
}

} // namespace

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
  TWorkingLut lut;
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
  const TBitmap24 src = reference::SyntheticPicture(120, 80, 51).Crop(30, 5, 25, 40);
  struct Case { int softness; TChannelValues opacity; } cases[] = {
      {0, {1, 1, 1}}, {3, {0.7, 1.4, 1.4}}, {10, {2, 0.3, 0.3}}, {2, {0, 0, 0}}};
  for (const Case &c : cases) {
    TWorkingLut base;
    Primary(base);
    TRecord plain = NewRecord();
    reference::SecondaryStatistics(ref, src, *plain);
    reference::BuildSecondaryMask(src, *plain, c.softness);
    plain->Opacity = c.opacity;
    TWorkingLut expected;
    expected.AssignFrom(base);
    reference::ApplySecondaryCorrection(*plain, expected);
    for (int threads : {1, 2}) {
      SetEngineThreadCount(threads);
      TWorkingLut lut;
      lut.AssignFrom(base);
      if (threads == 1) {
        TRecord rec = NewRecord();
        CalcSecondaryStatistics(ref, src, *rec);
        EXPECT_EQ(rec->SrcMean, plain->SrcMean);
        EXPECT_EQ(rec->RefDeviation, plain->RefDeviation);
        BuildSecondaryMask(src, *rec, c.softness);
        rec->Opacity = c.opacity;
        ApplySecondaryCorrection(*rec, lut);
      } else {
        PreviewSecondaryCorrection(ref, src, lut, c.opacity[0], c.opacity[1], c.opacity[2], c.softness);
      }
      EXPECT_TRUE(SameLattice(lut, expected)) << "softness " << c.softness << ", " << threads << " threads";
    }
  }
  SetEngineThreadCount(0);
}

TEST(SecondaryCorrection, RefusesBadInputWithoutTouchingTheLattice) {
  const TBitmap24 picture = reference::SyntheticPicture(40, 30, 2);
  TBitmap24 flat(6, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 6; ++x)
      flat.SetPixel(x, y, 100, 150, 20);
  struct Case { const TBitmap24 *ref, *src; int size; const char *needle; } cases[] = {
      {&picture, &flat, 33, "single colour"},
      {&picture, nullptr, 33, "source region is empty"},
      {nullptr, &picture, 33, "reference region is empty"},
      {&picture, &picture, 17, "33 points"},
  };
  const TBitmap24 empty;
  for (const Case &c : cases) {
    TWorkingLut lut, before;
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
  TWorkingLut lut, before;
  Primary(lut);
  before.AssignFrom(lut);
  TRecord unweighted = NewRecord();
  unweighted->Opacity = {1, 1, 1};
  ApplySecondaryCorrection(*unweighted, lut);
  EXPECT_TRUE(SameLattice(lut, before));
}
