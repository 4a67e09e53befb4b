#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "engine/ColorModels.h"

using namespace tintwise;

TEST(ColorModels, YUVOfWhiteAndBlackAndTheRoundTrip) {
  double y, u, v;
  RGBToYUV(y, u, v, 1, 1, 1);
  EXPECT_DOUBLE_EQ(y, 1.0);
  EXPECT_NEAR(u, 0.00001, 1e-15);
  EXPECT_NEAR(v, 0.0, 1e-15);
  RGBToYUV(y, u, v, 0, 0, 0);
  EXPECT_EQ(y + u + v, 0.0);

  double worst = 0;
  for (int r = 0; r <= 255; r += 15)
    for (int g = 0; g <= 255; g += 15)
      for (int b = 0; b <= 255; b += 15) {
        double R, G, B;
        RGBToYUV(y, u, v, r / 255.0, g / 255.0, b / 255.0);
        YUVToRGB(R, G, B, y, u, v);
        worst = std::max({worst, std::fabs(R - r / 255.0), std::fabs(G - g / 255.0), std::fabs(B - b / 255.0)});
      }
  EXPECT_LT(worst, 3e-5);
  EXPECT_GT(worst, 0.0); // the inverse constants are rounded: the trip is not exact
}

TEST(ColorModels, HSVHuesAndClamping) {
  struct Case { double r, g, b, h, s, v; } cases[] = {
      {1, 0, 0, 0, 1, 1}, {0, 1, 0, 120, 1, 1}, {0, 0, 1, 240, 1, 1}, {1, 0, 1, 300, 1, 1},
      {1, 1, 0, 60, 1, 1}, {0, 1, 1, 180, 1, 1}, {0.5, 0.5, 0.5, 0, 0, 0.5}, {0, 0, 0, 0, 0, 0},
      {1, 0, 0.5, 330, 1, 1}, {0.4, 0.2, 0.2, 0, 0.5, 0.4},
  };
  for (const Case &c : cases) {
    double h, s, v;
    RGBToHSV(h, s, v, c.r, c.g, c.b);
    EXPECT_NEAR(h, c.h, 1e-12) << c.r << "," << c.g << "," << c.b;
    EXPECT_NEAR(s, c.s, 1e-12);
    EXPECT_NEAR(v, c.v, 1e-12);
    double R, G, B;
    HSVToRGB(R, G, B, h, s, v);
    EXPECT_NEAR(R, c.r, 1e-12);
    EXPECT_NEAR(G, c.g, 1e-12);
    EXPECT_NEAR(B, c.b, 1e-12);
  }
  struct Clamp { double h, s, v, r, g, b; } clamps[] = {
      {400, 1, 1, 1, 0, 0},   // hue above 360 -> 0
      {-10, 1, 1, 1, 0, 0},   // below 0 -> 0
      {360, 1, 1, 1, 0, 0},   // 360 is 0
      {120, 1.5, 1, 0, 1, 0}, // saturation above 1 -> 1
      {240, 1, 2, 0, 0, 1},   // value above 1 -> 1
      {60, -1, 0.5, 0.5, 0.5, 0.5},
  };
  for (const Clamp &c : clamps) {
    double R, G, B;
    HSVToRGB(R, G, B, c.h, c.s, c.v);
    EXPECT_NEAR(R, c.r, 1e-12) << c.h;
    EXPECT_NEAR(G, c.g, 1e-12) << c.h;
    EXPECT_NEAR(B, c.b, 1e-12) << c.h;
  }
  EXPECT_DOUBLE_EQ(FloatMod(-7.5, 2), 1.5);
  EXPECT_DOUBLE_EQ(FloatMod(7.5, 2), 1.5);
}
