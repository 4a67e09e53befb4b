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

TEST(ColorModels, YUVSumsInExtendedPrecision) {
  // Summing in double instead of extended precision changes the last bit for some colours.
  int differing = 0;
  for (int r = 0; r < 256; r += 3)
    for (int g = 0; g < 256; g += 5) {
      const double R = r / 255.0, G = g / 255.0, B = (r ^ g) / 255.0;
      double y, u, v;
      RGBToYUV(y, u, v, R, G, B);
      const double yDouble = 0.299 * R + 0.587 * G + 0.114 * B;
      const long double yExt = 0.299L * R + 0.587L * G + 0.114L * B;
      EXPECT_EQ(y, static_cast<double>(yExt));
      differing += y != yDouble;
    }
  EXPECT_GT(differing, 0);
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

TEST(ColorModels, OtherModelsPassTheComponentsThrough) {
  struct Restore { std::uint8_t m = WorkingColorModel; ~Restore() { WorkingColorModel = m; } } restore;
  for (int model : {0, 1, 9}) {
    WorkingColorModel = static_cast<std::uint8_t>(model);
    double a, b, c;
    RGBToWorking(a, b, c, 0.1, 0.2, 0.3);
    EXPECT_EQ((std::array<double, 3>{a, b, c}), (std::array<double, 3>{0.1, 0.2, 0.3}));
    WorkingToRGB(a, b, c, 0.4, 0.5, 0.6);
    EXPECT_EQ((std::array<double, 3>{a, b, c}), (std::array<double, 3>{0.4, 0.5, 0.6}));
  }
}
