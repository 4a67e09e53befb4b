// Clipster, Luther, Colorfront OSD and DaVinci DAT: byte-exact writers, point orders, sizes from
// headers or from the number of lines, and the files refused.
#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

TEST(ClipsterFamily, PointOrdersScalesAndSizes) {
  TLUT lut;
  // Blue-first: the first number of a line is blue, and red advances fastest.
  const std::string blueFirst = "# made by hand\n0 0 1\n0.1 0.2 0.3\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0.5 0.5 0.5\n";
  // With its header, lines before "3DLUTSIZE" are not values.
  for (auto [format, text] : {std::pair(kColorfront3D, blueFirst), std::pair(kDavinciDat, blueFirst),
                              std::pair(kDavinciDat, "9 9 9\n3DLUTSIZE 2\n\n" + blueFirst)}) {
    ASSERT_EQ(Load(format, text, lut), "") << text;
    EXPECT_EQ(lut.Size3D, 2);
    EXPECT_EQ(lut.Lattice[0][0][0], (TLutTriple{1, 0, 0}));
    EXPECT_EQ(lut.Lattice[1][0][0], (TLutTriple{0.3, 0.2, 0.1}));
    EXPECT_EQ(lut.Lattice[1][1][1], (TLutTriple{0.5, 0.5, 0.5}));
  }

  // Clipster divides by 2^BitDepth - 1 and keeps the name; Luther always divides by 1023. Red is
  // outermost for both.
  std::string codes = "4095 0 0\n";
  for (int i = 1; i < 8; ++i)
    codes += "0 0 1023\n";
  ASSERT_EQ(Load(kClipster, "<LUT3D name='x' N='2' BitDepth='12'>\n<values>\n" + codes + "</values>\n</LUT3D>\n", lut), "");
  EXPECT_EQ(lut.Lattice[0][0][0], (TLutTriple{1, 0, 0}));
  EXPECT_EQ(lut.Lattice[0][0][1], (TLutTriple{0, 0, 1023 / 4095.0}));
  EXPECT_EQ(lut.Comments, (std::vector<std::string>{"Name: x"}));
  ASSERT_EQ(Load(kClipster, "<LUT3D N='2' BitDepth='16'><values>" + codes + "</values></LUT3D>", lut), "");
  EXPECT_EQ(lut.Lattice[0][0][0], (TLutTriple{4095 / 65535.0, 0, 0}));
  ASSERT_EQ(Load(kLuther, "#channels: c3\n#elements = 8\n" + codes, lut), "");
  EXPECT_EQ(lut.Lattice[0][0][0], (TLutTriple{4095 / 1023.0, 0, 0}));
  EXPECT_EQ(lut.Lattice[1][1][1], (TLutTriple{0, 0, 1}));

  // 4913 Luther elements are a 17-point lattice; a headerless .dat of 35937 value lines is
  // recognised by its extension and content and read as 33 points; 1024 curve lines are 1024 entries.
  std::string luther = "#channels: c3\n#elements = 4913\n", dat, curve = "# curve\n";
  for (int i = 0; i < 35937; ++i)
    dat += "0.5 0.25 0.125\n";
  for (int i = 0; i < 4913; ++i)
    luther += "1023 512 0\n";
  for (int i = 0; i < 1024; ++i)
    curve += "0.125 0.25 0.5\n";
  ASSERT_EQ(Load(kLuther, luther, lut), "");
  EXPECT_EQ(lut.Size3D, 17);
  EXPECT_EQ(lut.Lattice[16][16][16], (TLutTriple{1, 512 / 1023.0, 0}));
  TTempDir dir;
  WriteText(dir.File("g.dat"), dat);
  EXPECT_EQ(FindLutFormat(dir.File("g.dat")), &Format(kDavinciDat));
  Format(kDavinciDat).LoadFromFile(dir.File("g.dat"), lut);
  EXPECT_EQ(lut.Size3D, 33);
  EXPECT_EQ(lut.Lattice[32][0][5], (TLutTriple{0.125, 0.25, 0.5}));
  ASSERT_EQ(Load(kColorfront1D, curve, lut), "");
  EXPECT_EQ(lut.Mode, kMode1D);
  EXPECT_EQ(lut.Size1D, 1024);
}

} // namespace
} // namespace tintwise
