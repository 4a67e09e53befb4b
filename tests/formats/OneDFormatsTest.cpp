// Filmlight, S.two, Fusion, Blackmagic, Cine-tal, Shake and the Resolve curves.
#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

TEST(OneDFormats, ReaderQuirks) {
  TLUT lut;
  // Blackmagic: only lines starting with a digit are values, divided by 1000.
  ASSERT_EQ(Load(kBlackmagic, "R\tG\tB - HDLINK GAMMA TABLE\n-5 0 0\n0 500 1000\n  1000, 250, 0\n", lut), "");
  EXPECT_EQ(lut.Size1D, 2);
  EXPECT_EQ(lut.Curve[0], (TLutTriple{0, 0.5, 1}));
  EXPECT_EQ(lut.Curve[1], (TLutTriple{1, 0.25, 0}));

  // Fusion: the bit depth line sets the scale; each index word is the entry number.
  ASSERT_EQ(Load(kFusion, "F5LT\n\n12\n\n0 4095 0 0 0 2048\n1 0 1 4095 1 0\n", lut), "");
  EXPECT_EQ(lut.Size1D, 2);
  EXPECT_EQ(lut.Curve[0], (TLutTriple{1, 0, 2048 / 4095.0}));
  EXPECT_EQ(lut.Curve[1], (TLutTriple{0, 1, 0}));

  // S.two: always 10-bit codes (so 4095 reads four times too bright), other children skipped, a
  // missing attribute reads as 0, comma decimals accepted.
  ASSERT_EQ(Load(kStwo, "<?xml version=\"1.0\"?>\n<lut name=\"x\"><data>\n<elem r=\"1023\" g=\"4095\" b=\"511,5\"/>\n"
           "<note/>\n<ELEM r='0' b='1023'/></data></lut>\n", lut), "");
  EXPECT_EQ(lut.Size1D, 2);
  EXPECT_EQ(lut.Curve[0], (TLutTriple{1, 4095 / 1023.0, 511.5 / 1023}));
  EXPECT_EQ(lut.Curve[1], (TLutTriple{0, 0, 1}));

  // Filmlight: the length comes from a comment line; values as they stand; later comments ignored.
  ASSERT_EQ(Load(kFilmlight1D, "# lutLength 2\n# iDims 3\n0.1 0.2 0.3\n# end\n1.5 -0.5 1\n9 9 9\n", lut), "");
  EXPECT_EQ(lut.Size1D, 2);
  EXPECT_EQ(lut.Curve[1], (TLutTriple{1.5, -0.5, 1}));

  // Resolve curves: three integer words, anything after them ignored; 14 and 12 bits.
  ASSERT_EQ(Load(kILut, "# input\n0 8192 16383 99\n16383,0,0\n", lut), "");
  EXPECT_EQ(lut.Curve[0], (TLutTriple{0, 8192 / 16383.0, 1}));
  EXPECT_EQ(lut.Curve[1], (TLutTriple{1, 0, 0}));
  ASSERT_EQ(Load(kOLut, "0 2048 4095\nnot values\n4095 4095 4095\n", lut), "");
  EXPECT_EQ(lut.Size1D, 2);
  EXPECT_EQ(lut.Curve[0], (TLutTriple{0, 2048 / 4095.0, 1}));
}

} // namespace
} // namespace tintwise
