// Codex and Quantel: byte-exact writers, the readers' quirks and the bounds.
#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

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

} // namespace
} // namespace tintwise
