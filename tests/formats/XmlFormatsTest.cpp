// Speedgrade looks and PFClean cubes.
#include "formats/XmlFormats.h"
#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

TEST(SpeedgradeLook, ReadHexFloat) {
  struct Case {
    const char *data;
    float value;
    std::size_t pos;
  } cases[] = {
      {"0000803f", 1.0f, 8}, {"0000803F", 1.0f, 8}, {"000080bf", -1.0f, 8}, {"0000003F0000803F", 0.5f, 8},
      {"\"\n  00 00-80 3f\"", 1.0f, 15}, // anything that is not a digit is skipped
      {"ghij0000803f", 1.0f, 12}, {"0000c07f", 0.0f, 8} /* not a number */, {"AD10753F", 0.9572857022285461f, 8},
  };
  for (const Case &c : cases) {
    std::size_t pos = 0;
    float v = -7;
    ASSERT_TRUE(ReadHexFloat(c.data, pos, v)) << c.data;
    EXPECT_EQ(v, c.value) << c.data;
    EXPECT_EQ(pos, c.pos) << c.data;
  }
  std::size_t pos = 0;
  float v;
  EXPECT_FALSE(ReadHexFloat("0000803\"", pos, v));
  EXPECT_EQ(pos, 8u);
}

std::string Look(const std::string &lut) {
  return "<?xml version=\"1.0\" ?>\n<look>\n  <shaders>\n    <base><visible>true</visible></base>\n  </shaders>\n" +
         lut + "</look>\n";
}

// A 2-point look, red fastest, whose point (r, g, b) holds (0.1 + r, 0.2 + g, 0.3 + b) / 2.
std::string TwoPointData() {
  std::string data = "\"";
  for (int b = 0; b < 2; ++b)
    for (int g = 0; g < 2; ++g)
      for (int r = 0; r < 2; ++r)
        data += HexOf((0.1f + r) / 2) + HexOf((0.2f + g) / 2) + HexOf((0.3f + b) / 2) + "\n";
  return data + "\"";
}

TEST(SpeedgradeLook, ReadsTheBakedLattice) {
  TLUT lut;
  for (const char *size : {"\"2\"", "2", " '2' "}) {
    ASSERT_EQ(Load(kSpeedgrade, Look(std::string("<LUT><size>") + size + "</size><data>" + TwoPointData() + "</data></LUT>"), lut), "");
    ASSERT_EQ(lut.Mode, kMode3D) << size;
    ASSERT_EQ(lut.Size3D, 2);
    EXPECT_EQ(lut.Lattice[1][0][0], (TLutTriple{(0.1f + 1) / 2, 0.2f / 2, 0.3f / 2}));
    EXPECT_EQ(lut.Lattice[0][1][1], (TLutTriple{0.1f / 2, (0.2f + 1) / 2, (0.3f + 1) / 2}));
  }
  // A look without a baked LUT is the identity.
  ASSERT_EQ(Load(kSpeedgrade, Look(""), lut), "");
  EXPECT_EQ(lut.Mode, kModeIdentity);
  // Not-a-number values read as 0.
  std::string nan = "\"";
  for (int i = 0; i < 24; ++i)
    nan += "0000c07f";
  ASSERT_EQ(Load(kSpeedgrade, Look("<LUT><size>\"2\"</size><data>" + nan + "\"</data></LUT>"), lut), "");
  EXPECT_EQ(lut.Lattice[1][1][1], (TLutTriple{0, 0, 0}));
}

} // namespace
} // namespace tintwise
