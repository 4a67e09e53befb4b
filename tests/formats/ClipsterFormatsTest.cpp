// Clipster, Luther, Colorfront OSD and DaVinci DAT: byte-exact writers, point orders, sizes from
// headers or from the number of lines, and the files refused.
#include "tests/formats/Formats2TestSupport.h"

namespace tintwise {
namespace {

using namespace test;

// The eight points of FillSmallLattice in blue-first order, each line blue, green, red.
std::string SmallLatticeBlueFirstLines() {
  std::string s;
  for (const char *b : {"0.250000", "1.700000"})
    for (const char *g : {"-0.200000", "0.500000"})
      for (const char *r : {"0.000000", "1.000000"})
        s += std::string(b) + " " + g + " " + r + "\n";
  return s;
}

TEST(ClipsterFamily, WritersAreByteExact) {
  TTempDir dir;
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
      {kColorfront3D, cube, 0, SmallLatticeBlueFirstLines()},
      {kDavinciDat, cube, 0, "3DLUTSIZE 2\n\n" + SmallLatticeBlueFirstLines()},
      {kColorfront1D, curve, 0, "0.000000 0.500000 1.700000\n0.333333 -0.200000 0.501961\n"},
  };
  for (const Case &c : cases) {
    const std::string file = dir.File("grade.txt");
    Format(c.format).SaveToFile(file, c.lut, c.bits);
    EXPECT_EQ(ReadText(file), c.text) << Format(c.format).Name;
  }
}

TEST(ClipsterFamily, ProfilesRoundTripAndAreRecognised) {
  TTempDir dir;
  struct Case {
    int format, size, bits;
    const char *file;
    double tolerance;
  } cases[] = {
      {kClipster, 17, 16, "a.txt", 0.5 / 65535}, {kLuther, 33, 10, "b.txt", 0.5 / 1023},
      {kColorfront3D, 17, 0, "c.3dmesh", 5e-7},   {kDavinciDat, 33, 0, "d.dat", 5e-7},
      {kColorfront1D, 1024, 0, "e.1dlut", 5e-7},
  };
  for (const Case &c : cases) {
    TLUT in, out;
    TLUTFormat &format = Format(c.format);
    format.Is3D ? FillLattice(in, c.size) : FillCurve(in, c.size);
    format.SaveToFile(dir.File(c.file), in, c.bits);
    EXPECT_EQ(FindLutFormat(dir.File(c.file)), &format) << format.Name;
    format.LoadFromFile(dir.File(c.file), out);
    ASSERT_EQ(format.Is3D ? out.Size3D : out.Size1D, c.size) << format.Name;
    for (int i = 0; i < c.size; ++i) {
      const int j = (i * 7) % c.size, k = (i * 3 + 1) % c.size;
      const TLutTriple &a = format.Is3D ? in.Lattice[i][j][k] : in.Curve[i];
      const TLutTriple &b = format.Is3D ? out.Lattice[i][j][k] : out.Curve[i];
      for (int ch = 0; ch < 3; ++ch)
        ASSERT_NEAR(a[ch], b[ch], c.tolerance + 1e-12) << format.Name << " " << i;
    }
  }
  // Clipster keeps the name it was written with.
  TLUT named;
  Format(kClipster).LoadFromFile(dir.File("a.txt"), named);
  EXPECT_EQ(named.Comments, (std::vector<std::string>{"Name: a"}));
}

TEST(ClipsterFamily, PointOrdersAndScales) {
  TTempDir dir;
  TLUT lut;
  // Blue-first: the first number of a line is blue, and red advances fastest.
  const std::string blueFirst = "# made by hand\n0 0 1\n0.1 0.2 0.3\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0.5 0.5 0.5\n";
  for (int format : {kColorfront3D, kDavinciDat}) {
    LoadText(dir, "a.3dmesh", blueFirst, format, lut);
    EXPECT_EQ(lut.Size3D, 2);
    EXPECT_EQ(lut.Lattice[0][0][0], (TLutTriple{1, 0, 0}));
    EXPECT_EQ(lut.Lattice[1][0][0], (TLutTriple{0.3, 0.2, 0.1}));
    EXPECT_EQ(lut.Lattice[1][1][1], (TLutTriple{0.5, 0.5, 0.5}));
  }
  // With its header, lines before "3DLUTSIZE" are not values.
  LoadText(dir, "b.dat", "9 9 9\n3DLUTSIZE 2\n\n" + blueFirst, kDavinciDat, lut);
  EXPECT_EQ(lut.Lattice[0][0][0], (TLutTriple{1, 0, 0}));

  // Clipster divides by 2^BitDepth - 1; Luther always by 1023, red outermost for both.
  std::string codes = "4095 0 0\n";
  for (int i = 1; i < 8; ++i)
    codes += "0 0 1023\n";
  LoadText(dir, "c.txt", "<LUT3D name='x' N='2' BitDepth='12'>\n<values>\n" + codes + "</values>\n</LUT3D>\n", kClipster, lut);
  EXPECT_EQ(lut.Lattice[0][0][0], (TLutTriple{1, 0, 0}));
  EXPECT_EQ(lut.Lattice[0][0][1], (TLutTriple{0, 0, 1023 / 4095.0}));
  LoadText(dir, "d.txt", "<LUT3D N='2' BitDepth='16'><values>" + codes + "</values></LUT3D>", kClipster, lut);
  EXPECT_EQ(lut.Lattice[0][0][0], (TLutTriple{4095 / 65535.0, 0, 0}));
  LoadText(dir, "e.txt", "#channels: c3\n#elements = 8\n" + codes, kLuther, lut);
  EXPECT_EQ(lut.Lattice[0][0][0], (TLutTriple{4095 / 1023.0, 0, 0}));
  EXPECT_EQ(lut.Lattice[1][1][1], (TLutTriple{0, 0, 1}));

  // A Luther header announcing 4913 elements is a 17-point lattice.
  std::string luther = "#channels: c3\n#elements = 4913\n";
  for (int i = 0; i < 4913; ++i)
    luther += "1023 512 0\n";
  LoadText(dir, "f.txt", luther, kLuther, lut);
  EXPECT_EQ(lut.Size3D, 17);
  EXPECT_EQ(lut.Lattice[16][16][16], (TLutTriple{1, 512 / 1023.0, 0}));

  // A headerless .dat of 35937 value lines is recognised by its extension and content and read as 33
  // points; a curve file of 1024 lines gives 1024 entries.
  std::string dat, curve;
  for (int i = 0; i < 35937; ++i)
    dat += "0.5 0.25 0.125\n";
  for (int i = 0; i < 1024; ++i)
    curve += "0.125 0.25 0.5\n";
  WriteText(dir.File("g.dat"), dat);
  EXPECT_EQ(FindLutFormat(dir.File("g.dat")), &Format(kDavinciDat));
  Format(kDavinciDat).LoadFromFile(dir.File("g.dat"), lut);
  EXPECT_EQ(lut.Size3D, 33);
  EXPECT_EQ(lut.Lattice[32][0][5], (TLutTriple{0.125, 0.25, 0.5}));
  LoadText(dir, "h.1DLUT", "# curve\n" + curve, kColorfront1D, lut);
  EXPECT_EQ(lut.Mode, kMode1D);
  EXPECT_EQ(lut.Size1D, 1024);
}

TEST(ClipsterFamily, RecognitionByExtensionAndContent) {
  TTempDir dir;
  struct Case {
    const char *name, *text;
    int format; // -1: none of these
  } cases[] = {
      {"a.3DMESH", "anything\n", kColorfront3D},
      {"b.1dLut", "anything\n", kColorfront1D},
      {"c.dat", "LUT: 3 2\n0\n1\n", kCodex1D},              // a Codex curve is no DaVinci lattice
      {"d.dat", "no numbers here\n", -1},
      {"e.txt", "3dlutsize 2\n", kDavinciDat},               // the keyword, whatever the extension
      {"f.txt", "# channels: C3\n", kLuther},
      {"g.txt", "<LUT3D N='2'>", kClipster},
  };
  InitLutFormats();
  for (const Case &c : cases) {
    WriteText(dir.File(c.name), c.text);
    TLUTFormat *found = FindLutFormat(dir.File(c.name));
    if (c.format < 0)
      EXPECT_TRUE(found == nullptr || (found != &Format(kDavinciDat) && found != &Format(kColorfront3D))) << c.name;
    else
      EXPECT_EQ(found, &Format(c.format)) << c.name;
  }
  // An FSI DIT file (binary, also ".dat") is not taken for a DaVinci lattice.
  TLUT lut;
  FillLattice(lut, 64);
  Format(kFsiDit).SaveToFile(dir.File("dit.dat"), lut, 10);
  EXPECT_FALSE(Format(kDavinciDat).CanRead(dir.File("dit.dat")));
}

TEST(ClipsterFamily, MalformedFilesAreRefusedWithTheirReason) {
  TTempDir dir;
  std::string eight, nine;
  for (int i = 0; i < 8; ++i)
    eight += "0 0 0\n";
  nine = eight + "0 0 0\n";
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
      {kClipster, "<lut N='2' BitDepth='8'>" + values + "</lut>", "The \"LUT3D\" node is not found"},
      {kClipster, "<LUT3D N='two' BitDepth='8'>" + values + "</LUT3D>", "'two' is not a valid floating point value"},
      // A short list would leave the rest of the lattice as it was.
      {kClipster, "<LUT3D N='3' BitDepth='8'>" + values + "</LUT3D>", "Incomplete file."},
      {kLuther, "#elements = 4900\n", "#elements = 4900: the number of elements is not the cube of a whole number."},
      {kLuther, "#elements = 8 \n" + eight, "' 8 ' is not a valid integer value"},
      {kLuther, "#elements = 1061208\n", "a lattice of 102 points per axis is not possible; 2 to 101 are."},
      {kLuther, "#elements = 27\n" + eight, "Incomplete file."},
      {kColorfront3D, nine, "the file holds 9 lines of values, which is not the number of points of a lattice (n * n * n)."},
      {kColorfront3D, "0 0 0\n", "1 lines of values: a lattice of 1 points per axis is not possible; 2 to 101 are."},
      {kColorfront3D, "# nothing\n", "the file holds 0 lines of values, which is not the number of points of a lattice (n * n * n)."},
      {kDavinciDat, "3DLUTSIZE 2x\n", "'2x' is not a valid integer value"},
      {kDavinciDat, "3DLUTSIZE 3\n" + eight, "Incomplete file."},
      {kColorfront1D, "# only a comment\n\n", "Incomplete file."},
  };
  for (const Case &c : cases) {
    const std::string message = LoadError(dir, "bad.txt", c.text, c.format);
    EXPECT_TRUE(EndsWith(message, c.message)) << c.text.substr(0, 60) << "\n-> " << message;
  }
}

} // namespace
} // namespace tintwise
