// Damaged, cut, mislabelled and hostile LUT files, and tables no file may be written from: each is
// refused with a message that names the file, the format it was read as and, for text, the line.
// The expected messages and values are written out by hand from the files in each row.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>

#include "FormatTestSupport.h"
#include "formats/LutTokens.h"

namespace tintwise {
namespace {

using namespace test;

struct THostileCase {
  int format;
  std::string text;
  std::string message; // the whole message, the temporary folder taken off
};

void ExpectRefusals(const std::vector<THostileCase> &cases) {
  for (const THostileCase &c : cases) {
    TLUT lut;
    EXPECT_EQ(Load(c.format, c.text, lut), c.message) << c.text.substr(0, 80);
    EXPECT_EQ(lut.Mode, kModeIdentity) << c.text.substr(0, 80);
  }
}

const std::string kEight = "0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n";

TEST(HostileFiles, ValuesThatAreNotFiniteAreRefusedWhereTheyStand) {
  std::string look = "<look><shaders/><lut><size>\"2\"</size><data>";
  look += "0000807f 00000000 00000000 "; // +inf, 0, 0 at the first point
  for (int i = 1; i < 8; ++i)
    look += "00000000 00000000 00000000 ";
  look += "</data></lut></look>";
  // Slope 4 and power 70 overflow single precision from 29/32 on: 3.625^70 > 3.4e38 > 3.5^70. The
  // first such point, blue fastest, is blue 29.
  const std::string cdl = "<ColorCorrection id='p70'><SOPNode><Slope>4 4 4</Slope><Offset>0 0 0</Offset>"
                          "<Power>70 70 70</Power></SOPNode></ColorCorrection>";
  ExpectRefusals({
      {kCube3D, "LUT_3D_SIZE 2\n0 0 0\nnan 0 0\n", "\"in.txt\" (read as Cube 3D), line 3: 'nan' is not a finite number."},
      {kCube3D, "LUT_3D_SIZE 2\n0 0 -INF\n", "\"in.txt\" (read as Cube 3D), line 2: '-INF' is not a finite number."},
      {kCube1D, "LUT_1D_SIZE 2\n0 0 0\n1e999 1 1\n", "\"in.txt\" (read as Cube 1D), line 3: '1e999' is not a finite number."},
      {kColorfront1D, "0 0 0\n1 nan(0x1) 1\n", "\"in.txt\" (read as Colorfront OSD 1D), line 2: 'nan(0x1)' is not a finite number."},
      {kPandora, "in 8\nout 256\n0 0 0 0\n1 inf 0 0\n", "\"in.txt\" (read as Pandora 3D, Technicolor), line 4: 'inf' is not a finite number."},
      {kSpeedgrade, look,
       "\"in.txt\" (read as Adobe Speedgrade Look 3D): the table holds a value that is not a finite number at lattice point (0, 0, 0)."},
      {kCdl, cdl, "\"in.txt\" (read as ASC CDL): the table holds a value that is not a finite number at lattice point (0, 0, 29)."},
  });
}

TEST(HostileFiles, NoWriterWritesAValueThatIsNotFiniteOrAbsurdlyLarge) {
  TLUT lattice, curve;
  FillSmallLattice(lattice);
  FillCurve(curve, 4);
  TTempDir dir;
  for (int index = 0; index < LutOutputProfileCount(); ++index) {
    const TLutOutputProfile &profile = GetLutOutputProfile(index);
    TLUTFormat &format = Format(profile.FormatIndex);
    const int size = format.Is3D ? (profile.FormatIndex == kFsiDit ? 64 : (profile.FormatIndex == kLustre3D ? 33 : 2)) : 4;
    TLUT lut;
    if (format.Is3D)
      FillLattice(lut, size);
    else
      FillCurve(lut, size);
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity()}) {
      TLutTriple &v = format.Is3D ? lut.Lattice[1][0][0] : lut.Curve[1];
      const double keep = v[1];
      v[1] = bad;
      const std::string file = dir.File("bad." + profile.Extension);
      try {
        format.SaveToFile(file, lut, profile.DefaultBits);
        ADD_FAILURE() << profile.Name << " wrote " << bad;
      } catch (const ELUTError &e) {
        const std::string where = format.Is3D ? "lattice point (1, 0, 0)." : "curve entry 1.";
        EXPECT_EQ(e.what(), "Cannot write " + format.Name + " to \"" + file +
                                "\": the table holds a value that is not a finite number at " + where)
            << profile.Name;
      }
      EXPECT_FALSE(std::filesystem::exists(file)) << profile.Name;
      v[1] = keep;
    }
  }

  // 1e308 has no sensible decimal text (309 digits, or "inf" times 1000): refused. Integer codes are
  // clamped to the largest code, as for any value above 1.
  lattice.Lattice[1][1][1][0] = 1e308;
  curve.Curve[2][2] = 1e308;
  const std::string beyond =
      "the table holds the value 1e+308, which is beyond the range of -1000000 to 1000000 this program writes as decimals.";
  for (int format : {kCube3D, kTruelight, kFsiCfe, kNucoda3D, kColorfront3D, kDavinciDat}) {
    try {
      SaveText(format, lattice, 0);
      ADD_FAILURE() << Format(format).Name;
    } catch (const ELUTError &e) {
      EXPECT_TRUE(EndsWith(e.what(), "\": " + beyond)) << e.what();
    }
  }
  for (int format : {kCube1D, kNucoda1D, kColorfront1D, kFilmlight1D, kBlackmagic}) {
    try {
      SaveText(format, curve, 0);
      ADD_FAILURE() << Format(format).Name;
    } catch (const ELUTError &e) {
      EXPECT_TRUE(EndsWith(e.what(), "\": " + beyond)) << e.what();
    }
  }
  EXPECT_TRUE(EndsWith(SaveText(kCodex3D, lattice, 12), "4095 2048 4095\n"));
  // Just inside the range, HDLink writes a thousand times the value.
  curve.Curve[2][2] = -1e6;
  EXPECT_NE(SaveText(kBlackmagic, curve, 0).find(" -1000000000.00\n"), std::string::npos);
}

TEST(HostileFiles, AForcedFormatMustFindItsOwnStructure) {
  // The start of a JPEG picture, and a small text cube.
  std::string jpeg = "\xFF\xD8\xFF\xE0";
  jpeg += std::string("\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 16);
  for (int i = 0; i < 200; ++i)
    jpeg += static_cast<char>((i * 37 + 11) & 0xFF);
  const std::string cube = "LUT_3D_SIZE 2\n" + kEight;
  InitLutFormats();
  for (int format = 0; format < LutFormatCount(); ++format) {
    TLUT lut;
    EXPECT_NE(Load(format, jpeg, lut), "") << Format(format).Name << " read a picture";
    EXPECT_EQ(lut.Mode, kModeIdentity) << Format(format).Name;
    // Cube 3D, and FSI CFE, which is read exactly as Cube 3D, are the only readers of a cube.
    if (format != kCube3D && format != kFsiCfe) {
      EXPECT_NE(Load(format, cube, lut), "") << Format(format).Name << " read a cube";
    }
  }
  ExpectRefusals({
      {kSpeedgrade, cube, "\"in.txt\" (read as Adobe Speedgrade Look 3D): no <look> element; the file is not a Speedgrade look."},
      {kNucoda3D, cube, "\"in.txt\" (read as Nucoda 3D): no NUCODA_3D_CUBE line; the file is not a Nucoda file."},
      {kColorfront3D, cube,
       "\"in.txt\" (read as Colorfront OSD 3D), line 1: 'LUT_3D_SIZE 2' comes before the first line of values; this format has no header."},
      {kBlackmagic, cube, "\"in.txt\" (read as Blackmagic HDLink 1D), line 2: a line of values before the \"HDLINK GAMMA TABLE\" header."},
      {kFsiDit, cube, "\"in.txt\" (read as FSI DIT (Flanders Scientific) 3D): the file does not start with the FSI DIT mark (99 02 34 42)."},
  });
}

TEST(HostileFiles, AnFsiDitFileIsItsHeaderAndLatticeAndNothingElse) {
  TLUT lut;
  FillLattice(lut, 64);
  TTempDir dir;
  Format(kFsiDit).SaveToFile(dir.File("a.dat"), lut, 10);
  const std::string file = ReadText(dir.File("a.dat"));
  ASSERT_EQ(file.size(), 128u + 4u * 64 * 64 * 64);
  TLUT back;
  EXPECT_EQ(Load(kFsiDit, file, back), "");
  ExpectRefusals({
      {kFsiDit, file + std::string(1000, 'x'),
       "\"in.txt\" (read as FSI DIT (Flanders Scientific) 3D): the file holds 1000 bytes after the 64-point lattice; an FSI DIT file "
       "ends with its last point."},
      {kFsiDit, file.substr(0, 128 + 4 * 1000),
       "\"in.txt\" (read as FSI DIT (Flanders Scientific) 3D): Incomplete file. The file holds 4128 bytes of the 1048704 of a 64-point "
       "lattice."},
  });
}

TEST(HostileFiles, AByteOrderMarkIsNoPartOfTheFirstLine) {
  const std::string bom = "\xEF\xBB\xBF";
  TLUT lut;
  ASSERT_EQ(Load(kColorfront1D, bom + "0.25 0.25 0.25\n1 1 1\n", lut), "");
  EXPECT_EQ(lut.Size1D, 2);
  EXPECT_EQ(lut.Curve[0], (TLutTriple{0.25, 0.25, 0.25}));
  ASSERT_EQ(Load(kOLut, bom + "1024 1024 1024\n4095 4095 4095\n", lut), "");
  EXPECT_EQ(lut.Size1D, 2);
  EXPECT_EQ(lut.Curve[0][0], 1024 / 4095.0);
  ASSERT_EQ(Load(kCube3D, bom + "LUT_3D_SIZE 2\n" + kEight, lut), "");
  EXPECT_EQ(lut.Lattice[1][0][0], (TLutTriple{1, 0, 0}));
  ASSERT_EQ(Load(k3DL, bom + "0 1023\n" + kEight, lut), "");
  EXPECT_EQ(lut.Size3D, 2);
  ASSERT_EQ(Load(kCdl, bom + "<ColorCorrection id='b'><SOPNode><Slope>1 1 1</Slope><Offset>0 0 0</Offset>"
                             "<Power>1 1 1</Power></SOPNode></ColorCorrection>", lut), "");
  EXPECT_EQ(lut.Comments.back(), "Name: b");
}

TEST(HostileFiles, CutFilesAndWrongIndexColumnsAreRefused) {
  ExpectRefusals({
      {kColorfront1D, "0 0 0\n0.5 0.5 0.5\n1 1",
       "\"in.txt\" (read as Colorfront OSD 1D), line 3: the last line holds 2 values where 3 are expected and has no line end: "
       "the file is cut off."},
      {kLustre1D, "LUT12\n0 0 0 0\n1 4095 40",
       "\"in.txt\" (read as Autodesk Lustre 1D), line 3: the last line holds 3 values where 4 are expected and has no line end: "
       "the file is cut off."},
      {kFusion, "F5LT\n\n12\n\n0 0 0 0 0 0\n1 4095 1",
       "\"in.txt\" (read as Fusion 1D), line 6: the last line holds 3 values where 6 are expected and has no line end: "
       "the file is cut off."},
      {kBlackmagic, "R\tG\tB - HDLINK GAMMA TABLE\n0 0 0\n1000.00 1000.",
       "\"in.txt\" (read as Blackmagic HDLink 1D), line 3: the last line holds 2 values where 3 are expected and has no line end: "
       "the file is cut off."},
      {kILut, "0 0 0\n16383 16",
       "\"in.txt\" (read as DaVinci Resolve ilut 1D), line 2: the last line holds 2 values where 3 are expected and has no line end: "
       "the file is cut off."},
      {kOLut, "0 0 0\n4095 4095 4x",
       "\"in.txt\" (read as DaVinci Resolve olut 1D), line 2: the last line holds '4x', which is not a whole number and has no line "
       "end: the file is cut off."},
      {kStwo, "<lut name='a'><data><elem r='0' g='0' b='0'/><elem r='1023' g='1023' b='1023'/><elem r='5",
       "\"in.txt\" (read as S.two 1D): the <data> element is not closed: the file is cut off."},
      // Index columns count 0, 1, 2, ...: a gap or a repeat means lost or damaged lines.
      {kLustre1D, "LUT12\n0 0 0 0\n2 1 1 1\n", "\"in.txt\" (read as Autodesk Lustre 1D), line 3: the entry number is '2' where 1 is expected."},
      {kFusion, "F5LT\n12\n0 0 1 0 0 0\n", "\"in.txt\" (read as Fusion 1D), line 3: the entry number is '1' where 0 is expected."},
      {kPandora, "in 8\nout 256\n0 0 0 0\n0 1 1 1\n", "\"in.txt\" (read as Pandora 3D, Technicolor), line 4: the point number is '0' where 1 is expected."},
  });
  // A last line without a line end that reads is the last value, not damage.
  TLUT lut;
  ASSERT_EQ(Load(kColorfront1D, "0 0 0\n1 1 1", lut), "");
  EXPECT_EQ(lut.Curve[1], (TLutTriple{1, 1, 1}));
  // Blanks after a Codex 1D code are harmless: other programs write them.
  ASSERT_EQ(Load(kCodex1D, "LUT: 1 2 \n0 \n1\t\n", lut), "");
  EXPECT_EQ(lut.Curve[1], (TLutTriple{1, 1, 1}));
}

TEST(HostileFiles, NamesWithXmlCharactersAreWrittenEscapedAndReadBackWhole) {
  TLUT lut;
  FillSmallLattice(lut);
  TTempDir dir;
  const std::string file = dir.File("my grade & <b>'s.txt");
  Format(kClipster).SaveToFile(file, lut, 16);
  const std::string text = ReadText(file);
  EXPECT_EQ(text.substr(0, text.find('\n')), "<LUT3D name='my grade &amp; &lt;b&gt;&apos;s' N='2' BitDepth='16'>");
  TLUT back;
  Format(kClipster).LoadFromFile(file, back);
  EXPECT_EQ(back.Comments, (std::vector<std::string>{"Name: my grade & <b>'s"}));

  TLUT curve;
  FillCurve(curve, 2);
  Format(kStwo).SaveToFile(dir.File("a\"b.swto.xml"), curve, 10);
  EXPECT_EQ(ReadText(dir.File("a\"b.swto.xml")).substr(0, 48), "<?xml version=\"1.0\"?>\n<lut name=\"a&quot;b.swto\">");
}

TEST(HostileFiles, AFileClaimedByTheWrongReaderSaysWhichReaderItWas) {
  // A 1D cube whose comment holds the words channel, format, 3D and LUT passes the Pandora test
  // before the Cube 1D one; the message must say so rather than leave the user guessing.
  TTempDir dir;
  WriteText(dir.File("grade.cube"), "# channel format, not a 3D LUT\nLUT_1D_SIZE 2\n0 0 0\n1 1 1\n");
  InitLutFormats();
  TLUT lut;
  try {
    LoadLutFile(dir.File("grade.cube"), lut);
    ADD_FAILURE() << "loaded";
  } catch (const ELUTError &e) {
    EXPECT_EQ(std::string(e.what()), "\"" + dir.File("grade.cube") +
                                         "\" (read as Pandora 3D, Technicolor): Incomplete file. No line gives the table's "
                                         "size or starts its values.");
  }
}

} // namespace
} // namespace tintwise
