#include <gtest/gtest.h>

#include <cmath>

#include "engine/ColorModels.h"

using namespace tintwise;

TEST(ColorModels, YUVOfWhiteAndBlackAndTheRoundTrip) {
  double y, u, v;
  RGBToYUV(y, u, v, 1, 1, 1);
  EXPECT_DOUBLE_EQ(y, 1.0);
  EXPECT_NEAR(u, 0.00001, 1e-15);
  EXPECT_NEAR(v, 0.0, 1e-15);
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
  EXPECT_GT(worst, 1e-6); // the inverse constants are rounded: the trip is not exact
}

TEST(ColorModels, HSVHuesAndClamping) {
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
}
