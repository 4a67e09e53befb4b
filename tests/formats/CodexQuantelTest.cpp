// Codex and Quantel: byte-exact writers, the readers' quirks and the bounds.
#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

void FillSmallCurve(TLUT &lut) {
  lut.Mode = kMode1D;
  lut.Size1D = 4;
  lut.Curve[0] = {0, 0.5, 1.7};
  lut.Curve[1] = {0.25, -0.2, 1};
  lut.Curve[2] = {1, 0.5, 0.125};
  lut.Curve[3] = {0.5, 0.25, 0};
}

TEST(CodexQuantel, WritersAreByteExact) {
  TLUT cube, curve;
  FillSmallLattice(cube);
  FillSmallCurve(curve);
  const std::string lattice12 = SmallLatticeCodeLines("1024", "2048", "4095");
  struct Case {
    int format;
    const TLUT &lut;
    int bits;
    std::string text;
  } cases[] = {
      {kCodex3D, cube, 12, "Lut3D: 2\n\nR\tG\tB\n" + lattice12},
      {kQuantel3D, cube, 12,
       "max value 4095\nvertices 2\nblue is fastest changing\nred is slowest changing\n\ncube data\nR G B\n" +
           lattice12},
      {kQuantel1D, curve, 10,
       "table type\t2\n\ngMax\t1023\ngSize\t4\n\ngamma\nr\tg\tb\n0 512 1023\n256 0 1023\n1023 512 128\n512 256 0\n"},
      // All red codes, then green, then blue; 4 entries at 2 bits, so the header needs no depth.
      {kCodex1D, curve, 2,
       "# Converted by Oxel LUT Converter\n\nLUT: 3 4\n\n0\n1\n3\n2\n2\n0\n2\n1\n3\n3\n0\n0\n"},
      // The same curve at 10 bits: the number of output codes follows the entry count.
      {kCodex1D, curve, 10,
       "# Converted by Oxel LUT Converter\n\nLUT: 3 4 1024\n\n0\n256\n1023\n512\n512\n0\n512\n256\n1023\n1023\n128\n0\n"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(SaveText(c.format, c.lut, c.bits), c.text) << Format(c.format).Name << " " << c.bits;
}

TEST(CodexQuantel, ReaderQuirks) {
  const std::string eight = "1023 1023 1023\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n4095 4095 4095\n";
  TLUT lut;
  // Codex 3D always divides by 4095, keeps every comment, finds its header without case, and ignores
  // value lines after the last point.
  ASSERT_EQ(Load(kCodex3D, "# first\nlut3d:   2\n# second\nR G B\n" + eight + "1 2 3\n", lut), "");
  EXPECT_EQ(lut.Size3D, 2);
  EXPECT_EQ(lut.Lattice[0][0][0], (TLutTriple{1023 / 4095.0, 1023 / 4095.0, 1023 / 4095.0}));
  EXPECT_EQ(lut.Lattice[1][1][1], (TLutTriple{1, 1, 1}));
  EXPECT_EQ(lut.Comments, (std::vector<std::string>{"first", "second"}));

  // Quantel 3D reads its two headers in either order and divides by its maximum; blue is fastest.
  const std::string values = "0 0 0\n0 0 10\n0 10 0\n0 10 10\n10 0 0\n10 0 10\n10 10 0\n10 10 10\n";
  for (const char *header : {"max value 10\nvertices 2\n", "vertices 2\n  max value 10\n"}) {
    ASSERT_EQ(Load(kQuantel3D, std::string(header) + "cube data\nR G B\n" + values, lut), "") << header;
    EXPECT_EQ(lut.Lattice[0][0][1], (TLutTriple{0, 0, 1})) << header;
    EXPECT_EQ(lut.Lattice[1][0][0], (TLutTriple{1, 0, 0})) << header;
  }

  // One channel fills all three; the values are divided by entries - 1; a comment before the header
  // is kept, one after it is not; blanks around a value are harmless.
  lut.Comments.clear();
  ASSERT_EQ(Load(kCodex1D, "# before\nLUT: 1 3\n# after\n0\n1 \n  2\n", lut), "");
  EXPECT_EQ(lut.Size1D, 3);
  EXPECT_EQ(lut.Curve[1], (TLutTriple{0.5, 0.5, 0.5}));
  EXPECT_EQ(lut.Curve[2], (TLutTriple{1, 1, 1}));
  EXPECT_EQ(lut.Comments, (std::vector<std::string>{"before"}));

  // Three tables, and a third header number giving the count of output codes.
  ASSERT_EQ(Load(kCodex1D, "LUT: 3 2 1024\n0\n1023\n512\n0\n1023\n1023\n", lut), "");
  EXPECT_EQ(lut.Curve[0], (TLutTriple{0, 512 / 1023.0, 1}));
  EXPECT_EQ(lut.Curve[1], (TLutTriple{1, 0, 1}));

  // Quantel 1D finds its headers without case and in either order.
  ASSERT_EQ(Load(kQuantel1D, "table type\t2\nGSIZE\t2\ngmax\t1023\nr\tg\tb\n0 512 1023\n1023 0 0\n", lut), "");
  EXPECT_EQ(lut.Size1D, 2);
  EXPECT_EQ(lut.Curve[0], (TLutTriple{0, 512 / 1023.0, 1}));
}

TEST(CodexQuantel, MalformedFilesAreRefusedWithTheirReason) {
  const std::string eight = "0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n";
  const std::string depth = " the file's output depth is not the one its \"LUT:\" line gives.";
  struct Case {
    int format;
    std::string text, message; // the end of the message
  } cases[] = {
      {kCodex3D, "Lut3D: 2\n" + eight.substr(6), "Incomplete file."},
      {kCodex3D, eight, "Incomplete file."},
      {kCodex3D, "Lut3D: 102\n", "Lut3D: 102: a lattice of 102 points per axis is not possible; 2 to 101 are."},
      {kCodex3D, "Lut3D: 1\n", "a lattice of 1 points per axis is not possible; 2 to 101 are."},
      {kCodex3D, "Lut3D: 17x\n", "line 1: '17x' is not a valid integer value"},
      {kQuantel3D, "vertices 2.\nmax value 1\n" + eight, "line 1: '2.' is not a valid integer value"},
      {kQuantel3D, "vertices 2\n" + eight, "Incomplete file."}, // no maximum
      {kQuantel3D, "vertices 2\nmax value 0\n" + eight, "max value 0: the maximum code must be 1 or more."},
      {kQuantel1D, "gSize\t100002\ngMax\t1023\n", "a curve of 100002 entries is not possible; 2 to 100001 are."},
      {kQuantel1D, "gSize\t2\ngMax\t0\n", "gMax\t0: the maximum code must be 1 or more."},
      {kCodex1D, "LUT: 3 0\n", "a curve of 0 entries is not possible; 2 to 100001 are."},
      {kCodex1D, "LUT: 3 2\n0\n1\n0\n1\n0\n", "Incomplete file."},
      {kCodex1D, "LUT: 3 x2\n", "'x2' is not a valid integer value"},
      // Codes beyond the largest one: the file's output depth is not what its header says.
      {kCodex1D, "LUT: 3 2\n0\n2\n", "line 3: 2 is outside the codes 0 to 1 of this curve;" + depth},
      {kCodex1D, "LUT: 3 2\n0\n-1\n", "line 3: -1 is outside the codes 0 to 1 of this curve;" + depth},
      {kCodex1D, "LUT: 3 4096 65536f\n", "LUT: 3 4096 65536f: half-float output values are not supported."},
      // A second header would restart the tables in the middle.
      {kCodex1D, "LUT: 3 4\n0\n1\nLUT: 3 2\n", "line 4: a second \"LUT:\" line."},
  };
  for (const Case &c : cases) {
    const std::string message = LoadError(c.format, c.text);
    EXPECT_NE(message.find(c.message), std::string::npos) << c.text << "\n-> " << message;
  }
}

} // namespace
} // namespace tintwise
