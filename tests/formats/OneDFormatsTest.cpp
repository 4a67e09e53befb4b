// Filmlight, S.two, Fusion, Blackmagic, Cine-tal, Shake and the Resolve curves.
#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

void FillTwoEntries(TLUT &lut) {
  lut.Mode = kMode1D;
  lut.Size1D = 2;
  lut.Curve[0] = {0, 0.5, 1.7};
  lut.Curve[1] = {0.25, -0.2, 1};
}

TEST(OneDFormats, WritersAreByteExact) {
  TTempDir dir;
  TLUT curve;
  FillTwoEntries(curve);
  struct Case {
    int format, bits;
    std::string text;
  } cases[] = {
      {kFilmlight1D, 0,
       "# Truelight Cube v2.0\n# lutLength 2\n# iDims     3\n\n# InputLUT\n0.000000 0.500000 1.700000\n"
       "0.250000 -0.200000 1.000000\n# end\n# Converted by Oxel LUT Converter\n"},
      {kStwo, 10,
       "<?xml version=\"1.0\"?>\n<lut name=\"curve.swto\">\n<data>\n<elem r=\"0\" g=\"512\" b=\"1023\"/>\n"
       "<elem r=\"256\" g=\"0\" b=\"1023\"/>\n</data>\n</lut>\n"},
      {kFusion, 16, "F5LT\n\n16\n\n0 0 0 32768 0 65535\n1 16384 1 0 1 65535\n"},
      {kBlackmagic, 0, "R\tG\tB - HDLINK GAMMA TABLE\n0.00 500.00 1700.00\n250.00 -200.00 1000.00\n"},
      {kCinetal, 10, "0 512 1023\n256 0 1023\n"},
      {kShake, 16, "0 32768 65535\n16384 0 65535\n"},
  };
  for (const Case &c : cases)
    EXPECT_EQ(SaveText(c.format, curve, c.bits, "curve.swto.xml"), c.text) << Format(c.format).Name;
  // The read-only curves write nothing; Cine-tal and Shake files are never taken as theirs and
  // cannot be read through them.
  for (int format : {kILut, kOLut}) {
    Format(format).SaveToFile(dir.File("none.ilut"), curve, 10);
    EXPECT_FALSE(std::filesystem::exists(dir.File("none.ilut"))) << Format(format).Name;
  }
  Format(kCinetal).SaveToFile(dir.File("e.txt"), curve, 10);
  EXPECT_FALSE(Format(kCinetal).CanRead(TLutFileHead::Read(dir.File("e.txt"))));
  EXPECT_FALSE(Format(kShake).CanRead(TLutFileHead::Read(dir.File("e.txt"))));
  EXPECT_EQ(LoadError(kShake, ReadText(dir.File("e.txt"))),
            "\"in.txt\" (read as Shake 1D): Shake 1D files are only written; this program does not read them.");
}

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

TEST(OneDFormats, MalformedFilesAreRefusedWithTheirReason) {
  std::string tooLong;
  for (int i = 0; i < 100002; ++i)
    tooLong += "1 2 3\n";
  struct Case {
    int format;
    std::string text, message;
  } cases[] = {
      {kFilmlight1D, "# lutLength 3\n0 0 0\n1 1 1\n", "Incomplete file."},
      {kFilmlight1D, "0 0 0\n1 1 1\n", "Incomplete file."},
      {kFilmlight1D, "# lutLength 3x\n", "'3x' is not a valid integer value"},
      {kFilmlight1D, "# lutLength 100002\n", "a curve of 100002 entries is not possible; 2 to 100001 are."},
      {kFusion, "F5LT\n\n16\n", "Incomplete file."},
      {kFusion, "F5LT\n0\n0 0 0 0 0 0\n", "0: a bit depth of 1 to 31 is possible."},
      {kBlackmagic, "R G B - HDLINK\n", "Incomplete file."},
      {kILut, "# nothing\n", "Incomplete file."},
      {kOLut, tooLong, "line 100002: more than 100001 entries; a curve holds no more."},
      {kColorfront1D, tooLong, "line 100002: more than 100001 entries; a curve holds no more."},
      {kBlackmagic, "HDLINK\n" + tooLong, "line 100003: more than 100001 entries; a curve holds no more."},
      {kStwo, "<lut><elem r='1'/></lut>", "The \"data\" node is not found"},
      {kStwo, "<lut><data><elem r='x'/></data></lut>", "'x' is not a valid floating point value"},
      // One entry is no curve.
      {kStwo, "<lut><data><elem r='1'/></data></lut>", "the file holds no usable table."},
  };
  for (const Case &c : cases) {
    const std::string message = LoadError(c.format, c.text);
    EXPECT_NE(message.find(c.message), std::string::npos) << c.text.substr(0, 40) << "\n-> " << message;
  }
}

} // namespace
} // namespace tintwise
