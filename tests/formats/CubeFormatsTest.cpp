// Cube 3D, Cube 3D Truelight, FSI CFE, Cube 1D, Nucoda 3D and Nucoda 1D.
#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

const std::string kSmallValues = SmallLatticeDecimalLines();

TEST(CubeWriters, WriteTheirLayoutsByteForByte) {
  TLUT lut;
  FillSmallLattice(lut);
  lut.Comments = {"first", "second"};
  EXPECT_EQ(SaveText(kCube3D, lut, 0), "# first\n# second\n# Converted by Oxel LUT Converter\n\nLUT_3D_SIZE 2\n" +
                                           kSmallValues);
  EXPECT_EQ(SaveText(kTruelight, lut, 0), "# Truelight Cube v2.0\n# iDims     3\n# oDims     3\n"
                                          "# width     2 2 2\n\n# Cube\n" +
                                              kSmallValues + "# end\n# Converted by Oxel LUT Converter\n");
  EXPECT_EQ(SaveText(kFsiCfe, lut, 0), "LUT_3D_AUTHOR Oxel LUT Converter\nLUT_3D_MODEL CM240\n"
                                       "LUT_3D_VERSION 2.0.0\nLUT_3D_SIZE 2\n\n" +
                                           kSmallValues);

  lut.Comments = {"line\nbreak"}; // a comment never becomes a line of its own
  lut.Size1D = 3;
  lut.Curve[0] = {0, 0.1, 0.2};
  lut.Curve[1] = {0.5, -0.5, 1};
  lut.Curve[2] = {1, 1.25, 2};
  const std::string curve = "0.000000 0.100000 0.200000\n0.500000 -0.500000 1.000000\n1.000000 1.250000 2.000000\n";
  EXPECT_EQ(SaveText(kCube1D, lut, 0), "# line break\n# Converted by Oxel LUT Converter\n\nLUT_1D_SIZE 3\n" + curve);
  EXPECT_EQ(SaveText(kNucoda1D, lut, 0, "look.cms"), "NUCODA_3D_CUBE 2\n\nTITLE \"look\"\n\nLUT_1D_SIZE 3\n\n" + curve);

  // Nucoda 3D: a 4096-entry curve in lattice units, then the lattice.
  const std::string nucoda = SaveText(kNucoda3D, lut, 0, "my.look.cms");
  const std::string head = "NUCODA_3D_CUBE 1\n\nTITLE \"my.look\"\n\nLUT_1D_SIZE 4096\nLUT_3D_SIZE 2\n\n"
                           "0.000000 0.000000 0.000000\n0.008059 0.008059 0.008059\n";
  EXPECT_EQ(nucoda.substr(0, head.size()), head);
  EXPECT_TRUE(EndsWith(nucoda, "32.991940 32.991940 32.991940\n32.999999 32.999999 32.999999\n\n" + kSmallValues));
  EXPECT_EQ(std::count(nucoda.begin(), nucoda.end(), '\n'), 7 + 4096 + 1 + 8);
}

TEST(CubeReaders, Cube3DQuirks) {
  TLUT lut;
  // Comments before the size line are kept, after it not; value lines before it are ignored.
  EXPECT_EQ(Load(kCube3D, "# one\n  #two  \n0.9 0.9 0.9\nTITLE \"x\"\nLUT_3D_SIZE 2\n# three\n" + kSmallValues, lut), "");
  EXPECT_EQ(lut.Comments, (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(lut.Mode, kMode3D);
  EXPECT_EQ(lut.Size3D, 2);
  EXPECT_EQ(lut.Lattice[1][0][0], (TLutTriple{1, -0.2, 0.25}));
  EXPECT_EQ(lut.Lattice[0][1][1], (TLutTriple{0, 0.5, 1.7}));

  // Seven lines, or eight with one of four numbers: incomplete.
  const std::string seven = kSmallValues.substr(0, kSmallValues.rfind("1.000000"));
  const std::string incomplete = "\"in.txt\" (read as Cube 3D): Incomplete file. ";
  EXPECT_EQ(Load(kCube3D, "LUT_3D_SIZE 2\n" + seven, lut), incomplete + "The values end after 7 of 8 lattice points.");
  EXPECT_EQ(Load(kCube3D, "LUT_3D_SIZE 2\n" + seven + "1 0.5 1.7 0\n", lut),
            incomplete + "Line 9 holds 4 values where 3 are expected.");
  EXPECT_EQ(Load(kCube3D, "LUT_3D_SIZE 2\n", lut), incomplete + "The values end after 0 of 8 lattice points.");
  // Commas, tabs and CR LF line ends read the same.
  EXPECT_EQ(Load(kCube3D, "LUT_3D_SIZE 2\r\n0,-0.2,0.25\r\n1\t0\t0\r\n" + kSmallValues.substr(56), lut), "");
  EXPECT_EQ(lut.Lattice[1][0][0], (TLutTriple{1, 0, 0}));
  // A domain of 0..1 is what the tables use anyway.
  EXPECT_EQ(Load(kCube3D, "DOMAIN_MIN 0 0 0\nDOMAIN_MAX 1.0 1 1\nLUT_3D_SIZE 2\n" + kSmallValues, lut), "");
}

TEST(CubeReaders, RefuseWhatTheTablesCannotHold) {
  TLUT lut;
  struct Case {
    int format;
    std::string text, message;
  } cases[] = {
      {kCube3D, "LUT_3D_SIZE 102\n", "\"in.txt\" (read as Cube 3D), line 1: LUT_3D_SIZE 102: a lattice of 102 points per axis is not possible; 2 to 101 are."},
      {kCube3D, "LUT_3D_SIZE 1\n0 0 0\n", "\"in.txt\" (read as Cube 3D), line 1: LUT_3D_SIZE 1: a lattice of 1 points per axis is not possible; 2 to 101 are."},
      {kCube3D, "LUT_3D_SIZE -4\n", "\"in.txt\" (read as Cube 3D), line 1: LUT_3D_SIZE -4: a lattice of -4 points per axis is not possible; 2 to 101 are."},
      {kCube3D, "LUT_3D_SIZE 2\n" + kSmallValues + "0 0 0\n", "\"in.txt\" (read as Cube 3D), line 10: more values than LUT_3D_SIZE announces."},
      {kCube3D, "LUT_3D_SIZE 2x\n", "\"in.txt\" (read as Cube 3D), line 1: '2x' is not a valid integer value"},
      {kCube3D, "LUT_3D_SIZE\n", "\"in.txt\" (read as Cube 3D), line 1: '' is not a valid integer value"},
      {kCube3D, "DOMAIN_MIN 0.0 1.0 0.0\nLUT_3D_SIZE 2\n" + kSmallValues,
       "\"in.txt\" (read as Cube 3D), line 1: DOMAIN_MIN 0.0 1.0 0.0: input ranges other than 0 to 1 are not supported."},
      {kCube3D, "LUT_3D_SIZE 2\nLUT_3D_INPUT_RANGE 0.0 4.0\n" + kSmallValues,
       "\"in.txt\" (read as Cube 3D), line 2: LUT_3D_INPUT_RANGE 0.0 4.0: input ranges other than 0 to 1 are not supported."},
      {kCube1D, "LUT_1D_SIZE 100002\n", "\"in.txt\" (read as Cube 1D), line 1: LUT_1D_SIZE 100002: a curve of 100002 entries is not possible; 2 to 100001 are."},
      {kCube1D, "LUT_1D_SIZE 2\n0 0 0\n1 1 1\n1 1 1\n", "\"in.txt\" (read as Cube 1D), line 4: more values than LUT_1D_SIZE announces."},
      {kCube1D, "DOMAIN_MAX 2 2 2\nLUT_1D_SIZE 2\n0 0 0\n1 1 1\n",
       "\"in.txt\" (read as Cube 1D), line 1: DOMAIN_MAX 2 2 2: input ranges other than 0 to 1 are not supported."},
      {kCube1D, "LUT_1D_SIZE 2\nLUT_3D_SIZE 2\n",
       "\"in.txt\" (read as Cube 1D), line 2: the file holds a 3D lattice after its curve; it is read as a Cube 3D file."},
      {kTruelight, "# iDims 3\n# oDims 3\n# width 2 3 2\n", "\"in.txt\" (read as Cube 3D Truelight), line 3: # width 2 3 2: lattices with unequal widths are not supported."},
      {kNucoda3D, "NUCODA_3D_CUBE 1\nLUT_3D_SIZE 2\n0 0 0\n", "\"in.txt\" (read as Nucoda 3D): Incomplete file. The values end after 1 of 8 lattice points."},
      {kNucoda3D, "NUCODA_3D_CUBE 2\nLUT_1D_SIZE 2\n0 0 0\n1 1 1\n2 2 2\n", "\"in.txt\" (read as Nucoda 3D), line 5: more values than LUT_1D_SIZE announces."},
      {kNucoda3D, "NUCODA_3D_CUBE 1\nTITLE \"t\"\n", "\"in.txt\" (read as Nucoda 3D): neither LUT_1D_SIZE nor LUT_3D_SIZE is given."},
  };
  for (const Case &c : cases)
    EXPECT_EQ(Load(c.format, c.text, lut), c.message) << c.text;
}

TEST(CubeReaders, CurveBeforeTheLattice) {
  TLUT lut;
  // Resolve writes a curve before the lattice, its headers in either order.
  const std::string curve = "0 0 0\n0.25 0.5 0.75\n1 1 1\n";
  for (const std::string &header : {std::string("LUT_1D_SIZE 3\nLUT_3D_SIZE 2\n"),
                                    std::string("TITLE \"r\"\nLUT_3D_SIZE 2\nLUT_1D_SIZE 3\n"),
                                    std::string("LUT_1D_SIZE 3\nLUT_1D_INPUT_RANGE 0 1\nLUT_3D_SIZE 2\n")}) {
    ASSERT_EQ(Load(kCube3D, header + curve + kSmallValues, lut), "") << header;
    EXPECT_EQ(lut.Mode, kMode1DThen3D);
    EXPECT_EQ(lut.Size1D, 3);
    EXPECT_EQ(lut.Size3D, 2);
    EXPECT_EQ(lut.Curve[1], (TLutTriple{0.25, 0.5, 0.75}));
    EXPECT_EQ(lut.Lattice[1][1][1], (TLutTriple{1, 0.5, 1.7}));
  }
  EXPECT_EQ(Load(kCube3D, "LUT_1D_SIZE 3\nLUT_3D_SIZE 2\n" + curve + kSmallValues.substr(28), lut),
            "\"in.txt\" (read as Cube 3D): Incomplete file. The values end after 7 of 8 lattice points.");

  // Truelight: a plain cube keeps no comments; an input curve is in lattice units (0 .. width - 1).
  ASSERT_EQ(Load(kTruelight, "# Truelight Cube v2.0\n# iDims 3\n# oDims 3\n# width     2 2 2\n\n# Cube\n" +
                                 kSmallValues + "# end\n", lut), "");
  EXPECT_EQ(lut.Mode, kMode3D);
  EXPECT_TRUE(lut.Comments.empty());
  EXPECT_EQ(lut.Lattice[1][1][0], (TLutTriple{1, 0.5, 0.25}));
  const std::string head = "# lutLength 3\n# iDims     3\n# oDims     3\n# width     2 2 2\n\n# InputLUT\n";
  ASSERT_EQ(Load(kTruelight, head + "0 0 0\n0.25 0.5 1\n1 1 1\n\n# Cube\n" + kSmallValues + "# end\n", lut), "");
  EXPECT_EQ(lut.Mode, kMode1DThen3D);
  EXPECT_EQ(lut.Size1D, 3);
  EXPECT_EQ(lut.Curve[1], (TLutTriple{0.25, 0.5, 1}));
  EXPECT_EQ(Load(kTruelight, head + "0 0 0\n1 1 1\n# Cube\n" + kSmallValues, lut),
            "\"in.txt\" (read as Cube 3D Truelight): Incomplete file. The InputLUT section holds 2 of the 3 entries \"# lutLength\" announces.");

  // Nucoda 3D's curve reads back scaled to 0..1; version 2 files hold a curve alone.
  TTempDir dir;
  TLUT written;
  FillLattice(written, 5);
  Format(kNucoda3D).SaveToFile(dir.File("n.cms"), written, 0);
  Format(kNucoda3D).LoadFromFile(dir.File("n.cms"), lut);
  EXPECT_EQ(lut.Size1D, 4096);
  EXPECT_EQ(lut.Curve[0], (TLutTriple{0, 0, 0}));
  EXPECT_DOUBLE_EQ(lut.Curve[4095][1], 32.999999 / 33);
  ASSERT_EQ(Load(kNucoda3D, "NUCODA_3D_CUBE 2\nLUT_1D_SIZE 3\n0 0 0\n0.5 2 3\n1 1 1\n", lut), "");
  EXPECT_EQ(lut.Mode, kMode1D);
  EXPECT_EQ(lut.Curve[1], (TLutTriple{0.5, 2, 3}));
}

} // namespace
} // namespace tintwise
