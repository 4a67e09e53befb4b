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
}

TEST(SecondaryMask, WeightsFallWithDistanceAndTheGreatestWins) {
  for (int s : {1, 2, 10}) {
    TRecord rec = NewRecord();
    BuildSecondaryMask(CellsPicture({{16, 16, 16}}), *rec, s);
    const double root = s * std::sqrt(3.0);
    EXPECT_EQ(rec->Mask[16][16][16], 1.0f);
    EXPECT_EQ(rec->Mask[17][16][16], static_cast<float>((root - 1) / root)) << s;
    EXPECT_EQ(rec->Mask[16 - s][16 + s][16 - s], 0.0f) << s; // a corner of the cube
    EXPECT_EQ(rec->Mask[16 + s + 1][16][16], 0.0f) << s;     // beyond the cube
  }
  // Two marked cells reaching the same cell: the larger weight, not the sum.
  TRecord rec = NewRecord();
  BuildSecondaryMask(CellsPicture({{10, 10, 10}, {13, 10, 10}}), *rec, 3);
  const double root = 3 * std::sqrt(3.0);
  EXPECT_EQ(rec->Mask[11][10][10], static_cast<float>((root - 1) / root));
  EXPECT_EQ(rec->Mask[12][10][10], static_cast<float>((root - 1) / root));
  // A mark on a face of the cube spreads inwards only, and softness 0 marks only the cell itself.
  BuildSecondaryMask(CellsPicture({{0, 32, 16}}), *rec, 2);
  EXPECT_GT(rec->Mask[1][31][16], 0.0f);
  EXPECT_EQ(rec->Mask[33][0][0], 0.0f);
  BuildSecondaryMask(CellsPicture({{4, 5, 6}}), *rec, 0);
  int weighted = 0;
  for (auto &plane : rec->Mask)
    for (auto &row : plane)
      for (float w : row)
        weighted += w != 0;
  EXPECT_EQ(weighted, 1);
  EXPECT_THROW(BuildSecondaryMask(CellsPicture({{4, 5, 6}}), *rec, -1), EEngineError);
}

TEST(SecondaryCorrection, ChangesOnlyWeightedPoints) {
  const TBitmap24 ref = reference::SyntheticPicture(60, 40, 30);
  const TBitmap24 src = reference::SyntheticPicture(200, 100, 31).Crop(20, 10, 12, 9);
  TWorkingLut base;
  Primary(base);
  for (int s : {0, 2}) {
    TRecord rec = NewRecord();
    CalcSecondaryStatistics(ref, src, *rec);
    BuildSecondaryMask(src, *rec, s);
    rec->Opacity = {1, 1, 1};
    TWorkingLut lut;
    lut.AssignFrom(base);
    ApplySecondaryCorrection(*rec, lut);
    int changed = 0;
    for (int i = 0; i < 33; ++i)
      for (int j = 0; j < 33; ++j)
        for (int k = 0; k < 33; ++k) {
          if (rec->Mask[i][j][k] == 0)
            ASSERT_EQ(lut.Lattice[i][j][k], base.Lattice[i][j][k]);
          else
            changed += lut.Lattice[i][j][k] != base.Lattice[i][j][k];
        }
    EXPECT_GT(changed, 0) << s;
  }
}

TEST(SecondaryCorrection, ZeroOpacitiesLeaveTheLatticePracticallyUnchanged) {
  TWorkingLut base, lut;
  Primary(base);
  lut.AssignFrom(base);
  PreviewSecondaryCorrection(reference::SyntheticPicture(50, 50, 3), reference::SyntheticPicture(50, 50, 4), lut,
                             0, 0, 0, 10);
  for (int i = 0; i < 33; ++i)
    for (int j = 0; j < 33; ++j)
      for (int k = 0; k < 33; ++k)
        for (int c = 0; c < 3; ++c)
          ASSERT_NEAR(lut.Lattice[i][j][k][c], base.Lattice[i][j][k][c], 1e-4);
}

TEST(SecondaryCorrection, PreviewEqualsSavingAndApplying) {
  const TBitmap24 ref = reference::SyntheticPicture(64, 64, 40);
  const TBitmap24 src = reference::SyntheticPicture(64, 64, 41).Crop(5, 5, 30, 20);
  TWorkingLut preview, saved;
  Primary(preview);
  saved.AssignFrom(preview);
  PreviewSecondaryCorrection(ref, src, preview, 0.7, 1.4, 1.4, 4);
  TRecord rec = NewRecord();
  CalcSecondaryStatistics(ref, src, *rec);
  BuildSecondaryMask(src, *rec, 4);
  rec->Opacity = {0.7, 1.4, 1.4};
  ApplySecondaryCorrection(*rec, saved);
  EXPECT_TRUE(SameLattice(preview, saved));
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
}
