// Cube 3D, Cube 3D Truelight, FSI CFE, Cube 1D, Nucoda 3D and Nucoda 1D.
#include "formats/LutErrors.h"
#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

// Lattice [r][g][b] = (r, g / 2, b / 4) for two points: every line tells its position.
void SmallLattice(TLUT &lut) {
  lut.Mode = kMode3D;
  lut.Size3D = 2;
  for (int r = 0; r < 2; ++r)
    for (int g = 0; g < 2; ++g)
      for (int b = 0; b < 2; ++b)
        lut.Lattice[r][g][b] = {double(r), g * 0.5, b * 0.25};
}

const std::string kSmallValues = "0.000000 0.000000 0.000000\n"
                                 "1.000000 0.000000 0.000000\n"
                                 "0.000000 0.500000 0.000000\n"
                                 "1.000000 0.500000 0.000000\n"
                                 "0.000000 0.000000 0.250000\n"
                                 "1.000000 0.000000 0.250000\n"
                                 "0.000000 0.500000 0.250000\n"
                                 "1.000000 0.500000 0.250000\n";

std::string SaveText(int format, TLUT &lut, const std::string &name = "look.cube") {
  TTempDir dir;
  Format(format).SaveToFile(dir.File(name), lut, 0);
  return ReadText(dir.File(name));
}

// Loads the text through the format; answers the error message, or "" when it loaded.
std::string LoadText(int format, const std::string &text, TLUT &lut, const std::string &name = "in.cube") {
  TTempDir dir;
  WriteText(dir.File(name), text);
  try {
    Format(format).LoadFromFile(dir.File(name), lut);
  } catch (const ETintwiseError &e) {
    std::string message = e.what();
    const std::string folder = dir.Path.string() + "/";
    if (message.rfind(folder, 0) == 0)
      message.erase(0, folder.size());
    return message;
  }
  return "";
}

TEST(CubeWriters, WriteTheirLayoutsByteForByte) {
  TLUT lut;
  SmallLattice(lut);
  lut.Comments = {"first", "second"};
  EXPECT_EQ(SaveText(kCube3D, lut), "# first\n# second\n# Converted by Oxel LUT Converter\n\nLUT_3D_SIZE 2\n" +
                                        kSmallValues);
  EXPECT_EQ(SaveText(kTruelight, lut), "# Truelight Cube v2.0\n# iDims     3\n# oDims     3\n"
                                       "# width     2 2 2\n\n# Cube\n" +
                                           kSmallValues + "# end\n# Converted by Oxel LUT Converter\n");
  EXPECT_EQ(SaveText(kFsiCfe, lut), "LUT_3D_AUTHOR Oxel LUT Converter\nLUT_3D_MODEL CM240\n"
                                    "LUT_3D_VERSION 2.0.0\nLUT_3D_SIZE 2\n\n" +
                                        kSmallValues);

  lut.Comments = {"line\nbreak"}; // a comment never becomes a line of its own
  lut.Size1D = 3;
  lut.Curve[0] = {0, 0.1, 0.2};
  lut.Curve[1] = {0.5, -0.5, 1};
  lut.Curve[2] = {1, 1.25, 2};
  EXPECT_EQ(SaveText(kCube1D, lut), "# line break\n# Converted by Oxel LUT Converter\n\nLUT_1D_SIZE 3\n"
                                    "0.000000 0.100000 0.200000\n0.500000 -0.500000 1.000000\n"
                                    "1.000000 1.250000 2.000000\n");
  EXPECT_EQ(SaveText(kNucoda1D, lut, "look.cms"),
            "NUCODA_3D_CUBE 2\n\nTITLE \"look\"\n\nLUT_1D_SIZE 3\n\n"
            "0.000000 0.100000 0.200000\n0.500000 -0.500000 1.000000\n1.000000 1.250000 2.000000\n");

  const std::string nucoda = SaveText(kNucoda3D, lut, "my.look.cms");
  const std::string head = "NUCODA_3D_CUBE 1\n\nTITLE \"my.look\"\n\nLUT_1D_SIZE 4096\nLUT_3D_SIZE 2\n\n"
                           "0.000000 0.000000 0.000000\n0.008059 0.008059 0.008059\n";
  EXPECT_EQ(nucoda.substr(0, head.size()), head);
  const std::string tail = "32.991940 32.991940 32.991940\n32.999999 32.999999 32.999999\n\n" + kSmallValues;
  ASSERT_GT(nucoda.size(), tail.size());
  EXPECT_EQ(nucoda.substr(nucoda.size() - tail.size()), tail);
  EXPECT_EQ(std::count(nucoda.begin(), nucoda.end(), '\n'), 7 + 4096 + 1 + 8);
}

TEST(CubeReaders, Cube3DQuirks) {
  TLUT lut;
  const std::string values8 = kSmallValues;
  // Comments before the size line are kept, after it not; value lines before it are ignored.
  EXPECT_EQ(LoadText(kCube3D, "# one\n  #two  \n0.9 0.9 0.9\nTITLE \"x\"\nLUT_3D_SIZE 2\n# three\n" + values8, lut), "");
  EXPECT_EQ(lut.Comments, (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(lut.Mode, kMode3D);
  EXPECT_EQ(lut.Size3D, 2);
  EXPECT_EQ(lut.Lattice[1][0][0], (TLutTriple{1, 0, 0}));
  EXPECT_EQ(lut.Lattice[0][1][1], (TLutTriple{0, 0.5, 0.25}));

  // Seven lines, or eight with one of four numbers: incomplete.
  const std::string seven = values8.substr(0, values8.rfind("1.000000 0.500000 0.250000"));
  EXPECT_EQ(LoadText(kCube3D, "LUT_3D_SIZE 2\n" + seven, lut), "Incomplete file.");
  EXPECT_EQ(LoadText(kCube3D, "LUT_3D_SIZE 2\n" + seven + "1 0.5 0.25 0\n", lut), "Incomplete file.");
  EXPECT_EQ(LoadText(kCube3D, "LUT_3D_SIZE 2\n", lut), "Incomplete file.");
  // Commas, tabs and CR LF line ends read the same.
  EXPECT_EQ(LoadText(kCube3D, "LUT_3D_SIZE 2\r\n0,0,0\r\n1\t0\t0\r\n" + values8.substr(54), lut), "");
  EXPECT_EQ(lut.Lattice[1][0][0], (TLutTriple{1, 0, 0}));
  // A domain of 0..1 is what the tables use anyway.
  EXPECT_EQ(LoadText(kCube3D, "DOMAIN_MIN 0 0 0\nDOMAIN_MAX 1.0 1 1\nLUT_3D_SIZE 2\n" + values8, lut), "");
}

TEST(CubeReaders, RefuseWhatTheTablesCannotHold) {
  TLUT lut;
  struct Case {
    int format;
    std::string text, message;
  } cases[] = {
      {kCube3D, "LUT_3D_SIZE 200\n", "in.cube, line 1: LUT_3D_SIZE 200: a lattice of 200 points per axis is not possible; 2 to 101 are."},
      {kCube3D, "LUT_3D_SIZE 1\n0 0 0\n", "in.cube, line 1: LUT_3D_SIZE 1: a lattice of 1 points per axis is not possible; 2 to 101 are."},
      {kCube3D, "LUT_3D_SIZE -4\n", "in.cube, line 1: LUT_3D_SIZE -4: a lattice of -4 points per axis is not possible; 2 to 101 are."},
      {kCube3D, "LUT_3D_SIZE 2\n" + kSmallValues + "0 0 0\n", "in.cube, line 10: more values than LUT_3D_SIZE announces."},
      {kCube3D, "LUT_3D_SIZE 2x\n", "in.cube, line 1: '2x' is not a valid integer value"},
      {kCube3D, "LUT_3D_SIZE\n", "in.cube, line 1: '' is not a valid integer value"},
      {kCube3D, "DOMAIN_MIN 0.0 1.0 0.0\nLUT_3D_SIZE 2\n" + kSmallValues,
       "in.cube, line 1: DOMAIN_MIN 0.0 1.0 0.0: input ranges other than 0 to 1 are not supported."},
      {kCube3D, "LUT_3D_SIZE 2\nLUT_3D_INPUT_RANGE 0.0 4.0\n" + kSmallValues,
       "in.cube, line 2: LUT_3D_INPUT_RANGE 0.0 4.0: input ranges other than 0 to 1 are not supported."},
      {kCube1D, "LUT_1D_SIZE 100002\n", "in.cube, line 1: LUT_1D_SIZE 100002: a curve of 100002 entries is not possible; 2 to 100001 are."},
      {kCube1D, "LUT_1D_SIZE 2\n0 0 0\n1 1 1\n1 1 1\n", "in.cube, line 4: more values than LUT_1D_SIZE announces."},
      {kCube1D, "DOMAIN_MAX 2 2 2\nLUT_1D_SIZE 2\n0 0 0\n1 1 1\n",
       "in.cube, line 1: DOMAIN_MAX 2 2 2: input ranges other than 0 to 1 are not supported."},
      {kCube1D, "LUT_1D_SIZE 2\nLUT_3D_SIZE 2\n",
       "in.cube, line 2: the file holds a 3D lattice after its curve; it is read as a Cube 3D file."},
      {kTruelight, "# iDims 3\n# oDims 3\n# width 2 3 2\n", "in.cube, line 3: # width 2 3 2: lattices with unequal widths are not supported."},
      {kNucoda3D, "NUCODA_3D_CUBE 1\nLUT_3D_SIZE 2\n0 0 0\n", "Incomplete file."},
      {kNucoda3D, "NUCODA_3D_CUBE 2\nLUT_1D_SIZE 2\n0 0 0\n1 1 1\n2 2 2\n", "in.cube, line 5: more values than LUT_1D_SIZE announces."},
      {kNucoda3D, "NUCODA_3D_CUBE 1\nTITLE \"t\"\n", "in.cube: neither LUT_1D_SIZE nor LUT_3D_SIZE is given."},
      {kNucoda3D, "NUCODA_3D_CUBE\n", "in.cube, line 1: '' is not a valid integer value"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(LoadText(c.format, c.text, lut), c.message) << c.text;
}

TEST(CubeReaders, ResolveCubeWithCurveAndLatticeLoadsBoth) {
  TLUT lut;
  const std::string curve = "0 0 0\n0.25 0.5 0.75\n1 1 1\n";
  for (const std::string &header : {std::string("LUT_1D_SIZE 3\nLUT_3D_SIZE 2\n"),
                                    std::string("TITLE \"r\"\nLUT_3D_SIZE 2\nLUT_1D_SIZE 3\n"),
                                    std::string("LUT_1D_SIZE 3\nLUT_1D_INPUT_RANGE 0 1\nLUT_3D_SIZE 2\n")}) {
    ASSERT_EQ(LoadText(kCube3D, header + curve + kSmallValues, lut), "") << header;
    EXPECT_EQ(lut.Mode, kMode1DThen3D);
    EXPECT_EQ(lut.Size1D, 3);
    EXPECT_EQ(lut.Size3D, 2);
    EXPECT_EQ(lut.Curve[1], (TLutTriple{0.25, 0.5, 0.75}));
    EXPECT_EQ(lut.Lattice[1][1][1], (TLutTriple{1, 0.5, 0.25}));
  }
  EXPECT_EQ(LoadText(kCube3D, "LUT_1D_SIZE 3\nLUT_3D_SIZE 2\n" + curve + kSmallValues.substr(27), lut),
            "Incomplete file.");
}

TEST(CubeReaders, TruelightReadsTheWidthAndAnInputCurve) {
  TLUT lut;
  ASSERT_EQ(LoadText(kTruelight, "# Truelight Cube v2.0\n# iDims 3\n# oDims 3\n# width     2 2 2\n\n# Cube\n" +
                                     kSmallValues + "# end\n",
                     lut),
            "");
  EXPECT_EQ(lut.Mode, kMode3D);
  EXPECT_EQ(lut.Size3D, 2);
  EXPECT_TRUE(lut.Comments.empty());
  EXPECT_EQ(lut.Lattice[1][1][0], (TLutTriple{1, 0.5, 0}));

  // The input curve is in lattice units (0 .. width - 1).
  const std::string withInput = "# Truelight Cube v2.0\n# lutLength 3\n# iDims     3\n# oDims     3\n"
                                "# width     2 2 2\n\n# InputLUT\n0 0 0\n0.25 0.5 1\n1 1 1\n\n# Cube\n" +
                                kSmallValues + "# end\n";
  ASSERT_EQ(LoadText(kTruelight, withInput, lut), "");
  EXPECT_EQ(lut.Mode, kMode1DThen3D);
  EXPECT_EQ(lut.Size1D, 3);
  EXPECT_EQ(lut.Curve[1], (TLutTriple{0.25, 0.5, 1}));
  const std::string shortInput = "# lutLength 3\n# iDims 3\n# oDims 3\n# width 2 2 2\n# InputLUT\n0 0 0\n"
                                 "1 1 1\n# Cube\n" + kSmallValues;
  EXPECT_EQ(LoadText(kTruelight, shortInput, lut), "Incomplete file.");
}

TEST(CubeReaders, NucodaReadsBackWhatItWrites) {
  TTempDir dir;
  TLUT written, read;
  FillLattice(written, 5);
  Format(kNucoda3D).SaveToFile(dir.File("n.cms"), written, 0);
  Format(kNucoda3D).LoadFromFile(dir.File("n.cms"), read);
  EXPECT_EQ(read.Mode, kMode1DThen3D);
  EXPECT_EQ(read.Size1D, 4096);
  EXPECT_EQ(read.Size3D, 5);
  EXPECT_EQ(read.Curve[0], (TLutTriple{0, 0, 0}));
  EXPECT_DOUBLE_EQ(read.Curve[4095][1], 32.999999 / 33);
  EXPECT_NEAR(read.Lattice[4][2][3][2], written.Lattice[4][2][3][2], 5e-7);

  TLUT lut;
  ASSERT_EQ(LoadText(kNucoda3D, "NUCODA_3D_CUBE 2\nLUT_1D_SIZE 3\n0 0 0\n0.5 2 3\n1 1 1\n", lut), "");
  EXPECT_EQ(lut.Mode, kMode1D);
  EXPECT_EQ(lut.Size1D, 3);
  EXPECT_EQ(lut.Curve[1], (TLutTriple{0.5, 2, 3}));
}

TEST(CubeReaders, RoundTripsKeepSixDecimals) {
  TTempDir dir;
  for (int format : {kCube3D, kTruelight, kFsiCfe}) {
    TLUT written, read;
    FillLattice(written, 9);
    Format(format).SaveToFile(dir.File("r.cube"), written, 0);
    Format(format).LoadFromFile(dir.File("r.cube"), read);
    ASSERT_EQ(read.Size3D, 9);
    for (int r = 0; r < 9; ++r)
      for (int g = 0; g < 9; ++g)
        for (int b = 0; b < 9; ++b)
          for (int c = 0; c < 3; ++c)
            ASSERT_NEAR(read.Lattice[r][g][b][c], written.Lattice[r][g][b][c], 5.0000001e-7);
  }
  TLUT written, read;
  FillCurve(written, 1000);
  written.Comments = {"kept"};
  Format(kCube1D).SaveToFile(dir.File("c.cube"), written, 0);
  Format(kCube1D).LoadFromFile(dir.File("c.cube"), read);
  EXPECT_EQ(read.Size1D, 1000);
  EXPECT_EQ(read.Comments, (std::vector<std::string>{"kept", "Converted by Oxel LUT Converter"}));
  EXPECT_NEAR(read.Curve[500][1], written.Curve[500][1], 5e-7);
}

} // namespace
} // namespace tintwise
