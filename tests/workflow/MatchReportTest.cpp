#include <gtest/gtest.h>

#include <tuple>

#include "engine/Bitmap24.h"
#include "engine/Errors.h"
#include "engine/PrimaryCorrection.h"
#include "workflow/ColorScience.h"
#include "workflow/MatchReport.h"

using namespace tintwise;

TEST(ColorScience, CIEDE2000AgreesWithThePublishedPairs) {
  // G. Sharma, W. Wu, E. N. Dalal, "The CIEDE2000 color-difference formula: implementation notes,
  // supplementary test data, and mathematical observations", Color Res. Appl. 30 (2005), table 1.
  const struct { TLab First, Second; double DeltaE; } pairs[] = {
      {{50.0000, 2.6772, -79.7751}, {50.0000, 0.0000, -82.7485}, 2.0425},
      {{50.0000, 3.1571, -77.2803}, {50.0000, 0.0000, -82.7485}, 2.8615},
      {{50.0000, 2.8361, -74.0200}, {50.0000, 0.0000, -82.7485}, 3.4412},
      {{50.0000, -1.3802, -84.2814}, {50.0000, 0.0000, -82.7485}, 1.0000},
      {{50.0000, -1.1848, -84.8006}, {50.0000, 0.0000, -82.7485}, 1.0000},
      {{50.0000, -0.9009, -85.5211}, {50.0000, 0.0000, -82.7485}, 1.0000},
      {{50.0000, 0.0000, 0.0000}, {50.0000, -1.0000, 2.0000}, 2.3669},
      {{50.0000, -1.0000, 2.0000}, {50.0000, 0.0000, 0.0000}, 2.3669},
      // Hue angles on either side of 0 and 180 degrees: the mean hue and the hue difference wrap.
      {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0009}, 7.1792},
      {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0010}, 7.1792},
      {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0011}, 7.2195},
      {{50.0000, 2.4900, -0.0010}, {50.0000, -2.4900, 0.0012}, 7.2195},
      {{50.0000, -0.0010, 2.4900}, {50.0000, 0.0009, -2.4900}, 4.8045},
      {{50.0000, -0.0010, 2.4900}, {50.0000, 0.0010, -2.4900}, 4.8045},
      {{50.0000, -0.0010, 2.4900}, {50.0000, 0.0011, -2.4900}, 4.7461},
      {{50.0000, 2.5000, 0.0000}, {50.0000, 0.0000, -2.5000}, 4.3065},
      {{50.0000, 2.5000, 0.0000}, {73.0000, 25.0000, -18.0000}, 27.1492},
      {{50.0000, 2.5000, 0.0000}, {61.0000, -5.0000, 29.0000}, 22.8977},
      {{50.0000, 2.5000, 0.0000}, {56.0000, -27.0000, -3.0000}, 31.9030},
      {{50.0000, 2.5000, 0.0000}, {58.0000, 24.0000, 15.0000}, 19.4535},
      {{50.0000, 2.5000, 0.0000}, {50.0000, 3.1736, 0.5854}, 1.0000},
      {{50.0000, 2.5000, 0.0000}, {50.0000, 3.2972, 0.0000}, 1.0000},
      {{50.0000, 2.5000, 0.0000}, {50.0000, 1.8634, 0.5757}, 1.0000},
      {{50.0000, 2.5000, 0.0000}, {50.0000, 3.2592, 0.3350}, 1.0000},
      {{60.2574, -34.0099, 36.2677}, {60.4626, -34.1751, 39.4387}, 1.2644},
      {{63.0109, -31.0961, -5.8663}, {62.8187, -29.7946, -4.0864}, 1.2630},
      {{61.2901, 3.7196, -5.3901}, {61.4292, 2.2480, -4.9620}, 1.8731},
      {{35.0831, -44.1164, 3.7933}, {35.0232, -40.0716, 1.5901}, 1.8645},
      {{22.7233, 20.0904, -46.6940}, {23.0331, 14.9730, -42.5619}, 2.0373},
      {{36.4612, 47.8580, 18.3852}, {36.2715, 50.5065, 21.2231}, 1.4146},
      {{90.8027, -2.0831, 1.4410}, {91.1528, -1.6435, 0.0447}, 1.4441},
      {{90.9257, -0.5406, -0.9208}, {88.6381, -0.8985, -0.7239}, 1.5381},
      {{6.7747, -0.2908, -2.4247}, {5.8714, -0.0985, -2.2286}, 0.6377},
      {{2.0776, 0.0795, -1.1350}, {0.9033, -0.0636, -0.5514}, 0.9082},
  };
  for (std::size_t i = 0; i < std::size(pairs); ++i) {
    SCOPED_TRACE("pair " + std::to_string(i + 1));
    EXPECT_NEAR(CIEDE2000(pairs[i].First, pairs[i].Second), pairs[i].DeltaE, 1e-4);
    EXPECT_NEAR(CIEDE2000(pairs[i].Second, pairs[i].First), pairs[i].DeltaE, 1e-4); // symmetric
  }
  EXPECT_EQ(CIEDE2000({40, 10, -20}, {40, 10, -20}), 0.0);
}

TEST(ColorScience, SRGBToLabUnderD65) {
  // Grey 0.5: linear (0.555 / 1.055)^2.4 = 0.214041, L* = 116 * cbrt(0.214041) - 16, no chroma.
  const struct { double R, G, B; TLab Lab; double Tolerance; } cases[] = {
      {1, 1, 1, {100, 0, 0}, 1e-9},
      {0, 0, 0, {0, 0, 0}, 1e-9},
      {0.5, 0.5, 0.5, {53.3890, 0, 0}, 1e-3},
      // Widely published values for the sRGB primaries (D65).
      {1, 0, 0, {53.24, 80.09, 67.20}, 0.05},
      {0, 1, 0, {87.73, -86.18, 83.18}, 0.05},
      {0, 0, 1, {32.30, 79.19, -107.86}, 0.05},
      // Dark values take the linear segment of both sRGB and CIELAB: 0.02 / 12.92 = 0.001548,
      // L* = 903.3 * 0.001548 = 1.398.
      {0.02, 0.02, 0.02, {1.3983, 0, 0}, 1e-3},
  };
  for (const auto &c : cases) {
    const TLab lab = SRGBToLab(c.R, c.G, c.B);
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(lab[k], c.Lab[k], c.Tolerance) << c.R << " " << c.G << " " << c.B << ", L*a*b* " << k;
  }
}

TEST(MatchReport, MeasuresEachSideAndLaysOutJsonAndText) {
  // By hand: white is Y 1 (0.299 + 0.587 + 0.114); (10, 20, 30) and (11, 20, 31) have Y 18.15 and
  // 18.563, U 5.8315 and 6.12037 (of 255), a population deviation of half the difference; black is
  // all 0, and white against black is a CIEDE2000 of 100.
  TBitmap24 white(2, 1), two(2, 1), black(1, 1);
  white.SetPixel(0, 0, 255, 255, 255);
  white.SetPixel(1, 0, 255, 255, 255);
  two.SetPixel(0, 0, 10, 20, 30);
  two.SetPixel(1, 0, 11, 20, 31);
  const TReportArea area = MeasureArea("whole pictures", white, two, &black);
  ASSERT_TRUE(area.After && area.DeltaEAfter);
  EXPECT_EQ(std::tuple(area.Reference.Pixels, area.Before.Pixels, area.After->Pixels),
            std::tuple(std::uint64_t(2), std::uint64_t(2), std::uint64_t(1)));
  EXPECT_NEAR(area.Reference.Mean[0], 1, 1e-12);
  EXPECT_NEAR(area.Before.Mean[0], 18.3565 / 255, 1e-12);
  EXPECT_NEAR(area.Before.Mean[1], 5.975935 / 255, 1e-12);
  EXPECT_NEAR(area.Before.Deviation[0], 0.2065 / 255, 1e-12);
  EXPECT_NEAR(area.Before.Deviation[1], 0.144435 / 255, 1e-12);
  EXPECT_EQ(area.After->Mean, (TChannelValues{0, 0, 0}));
  EXPECT_EQ(area.Before.MeanRGB, (std::array<double, 3>{10.5 / 255, 20.0 / 255, 30.5 / 255}));
  EXPECT_NEAR(*area.DeltaEAfter, 100, 1e-9);
  EXPECT_THROW(MeasurePicture(TBitmap24()), EEngineError);

  TMatchReport report;
  report.Areas.push_back(MeasureArea("whole pictures", white, black, nullptr));
  report.Areas.push_back(MeasureArea("a \"quoted\" region", black, black, &black, TReportRegion{1, 2, 3, 4},
                                     TReportRegion{5, 6, 7, 8}));
  const std::string json = MatchReportJson(report);
  // White: Y 1, U 0.00001 (the engine's rounded matrix), V 0; L* 100; black is all zero.
  const char *expected =
      "{\n"
      "  \"colour_model\": \"YUV (BT.601)\",\n"
      "  \"colour_difference\": \"CIEDE2000 of the mean colours, sRGB D65\",\n"
      "  \"areas\": [\n"
      "    {\n"
      "      \"name\": \"whole pictures\",\n"
      "      \"reference\": {\n"
      "        \"region\": null,\n"
      "        \"pixels\": 2,\n";
  EXPECT_EQ(json.substr(0, std::string(expected).size()), expected);
  for (const char *part : {R"("lab": {"L": 100, "a": 0, "b": 0})", R"("delta_e_2000": {"before": 100, "after": null})",
                           R"("preview": null)", R"("name": "a \"quoted\" region")", R"("region": [5, 6, 7, 8])",
                           R"("delta_e_2000": {"before": 0, "after": 0})"})
    EXPECT_NE(json.find(part), std::string::npos) << part << " is not in\n" << json;
  EXPECT_EQ(json.back(), '\n');

  // A single picture's report; numbers in their shortest round-trip form (Python's repr of
  // 10.5 / 255, 20 / 255, 30.5 / 255).
  const std::string picture =
      PictureReportJson("a\\b.png", {{"whole picture", std::nullopt, MeasurePicture(two)},
                                       {"region", TReportRegion{1, 2, 3, 4}, MeasurePicture(black)}});
  const std::string head = "{\n  \"picture\": \"a\\\\b.png\",\n  \"colour_model\": \"YUV (BT.601)\",\n  \"areas\": [";
  EXPECT_EQ(picture.substr(0, head.size()), head);
  EXPECT_EQ(picture.substr(picture.size() - 8), "}\n  ]\n}\n");
  for (const char *part :
       {R"("mean_rgb": {"R": 0.041176470588235294, "G": 0.0784313725490196, "B": 0.11960784313725491})",
        "\"name\": \"region\",\n      \"picture\": {\n        \"region\": [1, 2, 3, 4]"})
    EXPECT_NE(picture.find(part), std::string::npos) << part << " is not in\n" << picture;

  // The window's table: its heading, each area's regions, a row per picture with the difference.
  const std::string text = MatchReportText(report);
  EXPECT_EQ(text.substr(0, text.find('\n')),
            "            Y mean    dev   U mean    dev   V mean    dev      L*      a*      b*    dE00");
  // The last: white against black differs by 100, and the column keeps a blank before it.
  for (const char *part : {"\nwhole pictures (reference: whole picture; source: whole picture)\n Reference   1.0000 ",
                           "\na \"quoted\" region (reference: 3 x 4 at 1, 2; source: 7 x 8 at 5, 6)\n",
                           "\n Preview     0.0000 0.0000  0.0000 ", "    0.00    0.00    0.00  100.00\n"})
    EXPECT_NE(text.find(part), std::string::npos) << part << " is not in\n" << text;
  EXPECT_EQ(text.substr(text.size() - 9), "    0.00\n");
}
