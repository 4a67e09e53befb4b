// Cube 3D, Cube 3D Truelight, FSI CFE, Cube 1D, Nucoda 3D and Nucoda 1D.
#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

const std::string kSmallValues = SmallLatticeDecimalLines();

TEST(CubeReaders, Cube3DQuirks) {
  TLUT lut;
  // Comments before the size line are kept, after it not; value lines before it are ignored.
  EXPECT_EQ(Load(kCube3D, "# one\n  #two  \n0.9 0.9 0.9\nTITLE \"x\"\nLUT_3D_SIZE 2\n# three\n" + kSmallValues, lut), "");
  EXPECT_EQ(lut.Comments, (std::vector<std::string>{"one", "two"}));
  EXPECT_EQ(lut.Mode, kMode3D);
  EXPECT_EQ(lut.Size3D, 2);
  EXPECT_EQ(lut.Lattice[1][0][0], (TLutTriple{1, -0.2, 0.25}));
  EXPECT_EQ(lut.Lattice[0][1][1], (TLutTriple{0, 0.5, 1.7}));

  // Commas, tabs and CR LF line ends read the same.
  EXPECT_EQ(Load(kCube3D, "LUT_3D_SIZE 2\r\n0,-0.2,0.25\r\n1\t0\t0\r\n" + kSmallValues.substr(56), lut), "");
  EXPECT_EQ(lut.Lattice[1][0][0], (TLutTriple{1, 0, 0}));
  // A domain of 0..1 is what the tables use anyway.
  EXPECT_EQ(Load(kCube3D, "DOMAIN_MIN 0 0 0\nDOMAIN_MAX 1.0 1 1\nLUT_3D_SIZE 2\n" + kSmallValues, lut), "");
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
