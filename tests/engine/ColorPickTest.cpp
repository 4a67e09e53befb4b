#include <gtest/gtest.h>

#include <cmath>

#include "engine/ColorPick.h"
#include "engine/Errors.h"

using namespace tintwise;

namespace {

struct TGrey33 : TLUT {
  TGrey33() {
    Mode = kMode3D;
    Size3D = 33;
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

TEST(ColorPick, SoftnessZeroMovesOnlyTheNearestPoint) {
  TGrey33 lut;
  // Red in the colour value's low byte: 100 / 255 * 32 = 12.55 -> 13; 64 -> 8.03 -> 8; 4 -> 0.502 -> 1.
  ApplyColorPick(lut, ColorValueToTriple(0x044064), ColorValueToTriple(0x3300FF), 0);
  EXPECT_EQ(lut.Changed(), 1);
  EXPECT_EQ(lut.Lattice[13][8][1], (TLutTriple{1.0, 0.0, 51 / 255.0}));
}

TEST(ColorPick, WeightsFallOffQuadraticallyInsideTheCube) {
  TGrey33 lut;
  const TColorTriple centre = ColorValueToTriple(0x808080); // 128 -> 16.06 -> 16
  ApplyColorPick(lut, centre, {255, 255, 255, 8}, 1);
  EXPECT_EQ(lut.Changed(), 19); // 27 points reached; the 8 corners carry weight 0
  const double face = std::pow(1 - 1 / std::sqrt(3.0), 2), edge = std::pow(1 - std::sqrt(2.0) / std::sqrt(3.0), 2);
  EXPECT_DOUBLE_EQ(lut.Moved(16, 16, 16), 1.0);
  EXPECT_NEAR(lut.Moved(17, 16, 16), face, 1e-12);
  EXPECT_NEAR(lut.Moved(16, 15, 16), 0.179, 1e-3);
  EXPECT_NEAR(lut.Moved(17, 17, 16), edge, 1e-12);
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
