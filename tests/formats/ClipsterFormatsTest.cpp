// Clipster, Luther, Colorfront OSD and DaVinci DAT: byte-exact writers, point orders, sizes from
// headers or from the number of lines, and the files refused.
#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

TEST(ClipsterFamily, WritersAreByteExact) {
  TLUT cube, curve;
  FillSmallLattice(cube);
  curve.Mode = kMode1D;
  curve.Size1D = 2;
  curve.Curve[0] = {0, 0.5, 1.7};
  curve.Curve[1] = {1.0 / 3, -0.2, 128 / 255.0};
  struct Case {
    int format;
    const TLUT &lut;
    int bits;
    std::string text;
  } cases[] = {
      {kClipster, cube, 16,
       "<LUT3D name='grade' N='2' BitDepth='16'>\n<values>\n" + SmallLatticeCodeLines("16384", "32768", "65535") +
           "</values>\n</LUT3D>\n"},
      {kLuther, cube, 10, "#channels: c3\n#elements = 8\n" + SmallLatticeCodeLines("256", "512", "1023")},
      {kColorfront3D, cube, 0, SmallLatticeDecimalLines(true)},
      {kDavinciDat, cube, 0, "3DLUTSIZE 2\n\n" + SmallLatticeDecimalLines(true)},
      {kColorfront1D, curve, 0, "0.000000 0.500000 1.700000\n0.333333 -0.200000 0.501961\n"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(SaveText(c.format, c.lut, c.bits, "grade.txt"), c.text) << Format(c.format).Name;
}

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

TEST(ClipsterFamily, MalformedFilesAreRefusedWithTheirReason) {
  std::string eight;
  for (int i = 0; i < 8; ++i)
    eight += "0 0 0\n";
  const std::string values = "<values>" + eight + "</values>";
  struct Case {
    int format;
    std::string text, message;
  } cases[] = {
      {kClipster, "<LUT3D N='2'>" + values + "</LUT3D>", "the LUT3D element has no BitDepth attribute; the values cannot be scaled."},
      {kClipster, "<LUT3D N='2' BitDepth='40'>" + values + "</LUT3D>", "BitDepth='40': 1 to 31 bits are possible."},
      {kClipster, "<LUT3D BitDepth='8'>" + values + "</LUT3D>", "N='': a lattice of 0 points per axis is not possible; 2 to 101 are."},
      {kClipster, "<LUT3D N='102' BitDepth='8'>" + values + "</LUT3D>", "a lattice of 102 points per axis is not possible; 2 to 101 are."},
      {kClipster, "<LUT3D N='2' BitDepth='8'></LUT3D>", "The \"values\" node is not found"},
      {kClipster, "<LUT3D N='two' BitDepth='8'>" + values + "</LUT3D>", "'two' is not a valid floating point value"},
      // A short list would leave the rest of the lattice as it was.
      {kClipster, "<LUT3D N='3' BitDepth='8'>" + values + "</LUT3D>", "Incomplete file."},
      {kLuther, "#elements = 4900\n", "#elements = 4900: the number of elements is not the cube of a whole number."},
      {kLuther, "#elements = 8x\n" + eight, "'8x' is not a valid integer value"},
      {kLuther, "#elements = 1061208\n", "a lattice of 102 points per axis is not possible; 2 to 101 are."},
      {kLuther, "#elements = 27\n" + eight, "Incomplete file."},
      {kColorfront3D, eight + "0 0 0\n", "the file holds 9 lines of values, which is not the number of points of a lattice (n * n * n)."},
      {kColorfront3D, "0 0 0\n", "1 lines of values: a lattice of 1 points per axis is not possible; 2 to 101 are."},
      {kColorfront3D, "# nothing\n", "the file holds 0 lines of values, which is not the number of points of a lattice (n * n * n)."},
      {kDavinciDat, "3DLUTSIZE 3\n" + eight, "Incomplete file."},
      {kColorfront1D, "# only a comment\n\n", "Incomplete file."},
  };
  for (const Case &c : cases) {
    const std::string message = LoadError(c.format, c.text);
    EXPECT_NE(message.find(c.message), std::string::npos) << c.text.substr(0, 60) << "\n-> " << message;
  }
}

} // namespace
} // namespace tintwise
