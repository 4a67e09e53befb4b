// Every format of the registry against its own cases: the bytes its writer writes, the values its
// reader finds in small files written by hand, and the damaged files it refuses, with the reason.
// A format added to the registry without cases fails here until it has some.
#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>

#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

TEST(LutRegistry, EveryProfileAndFormatIsFound) {
  for (int i = 0; i < LutFormatCount(); ++i)
    EXPECT_EQ(LutFormatIndex(GetLutFormat(i)), i);
  EXPECT_EQ(GetLutFormat(kLutFormatCount), nullptr);
  EXPECT_THROW(GetLutOutputProfile(LutOutputProfileCount()), ELUTError);
  // The fuzz targets take each format's dictionary from its family.
  for (const TLutFormatInfo &info : kLutFormatInfo)
    EXPECT_TRUE(std::filesystem::exists(std::string(TINTWISE_SOURCE_DIR) + "/fuzz/dict/" + std::string(info.Family) + ".dict"))
        << info.Name;
}

std::string Repeat(const std::string &line, int times) {
  std::string s;
  for (int i = 0; i < times; ++i)
    s += line;
  return s;
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

// A 2-point lattice: red 0 or 1, green -0.2 or 0.5, blue 0.25 or 1.7, so clamping, a rounding
// half to even (0.5 at 10, 12, 16 and 8 bits) and every point order show in the codes; two comments,
// which only some formats write. The entries just beyond the size in use hold values no writer may
// look at.
void FillSmallLattice(TLUT &lut) {
  lut.Mode = kMode3D;
  lut.Size3D = 2;
  lut.Comments = {"first", "second"};
  for (int r = 0; r < 2; ++r)
    for (int g = 0; g < 2; ++g)
      for (int b = 0; b < 2; ++b)
        lut.Lattice[r][g][b] = {r ? 1.0 : 0.0, g ? 0.5 : -0.2, b ? 1.7 : 0.25};
  lut.Lattice[2][0][0] = lut.Lattice[0][2][0] = lut.Lattice[0][0][2] = {kNaN, kNaN, kNaN};
}

// The eight points of FillSmallLattice, red outermost and blue fastest, as integer lines with the
// given codes for 0.25 and 0.5 and the maximum code m.
std::string SmallLatticeCodeLines(const std::string &quarter, const std::string &half, const std::string &m) {
  std::string s;
  for (const std::string &r : {std::string("0"), m})
    for (const std::string &g : {std::string("0"), half})
      for (const std::string &b : {quarter, m})
        s += r + " " + g + " " + b + "\n";
  return s;
}

// The eight points of FillSmallLattice as six-decimal lines, red fastest: "r g b" per line, or
// "b g r" for the blue-first formats.
std::string SmallLatticeDecimalLines(bool blueFirst = false) {
  std::string s;
  for (const std::string b : {"0.250000", "1.700000"})
    for (const std::string g : {"-0.200000", "0.500000"})
      for (const std::string r : {"0.000000", "1.000000"})
        s += (blueFirst ? b + " " + g + " " + r : r + " " + g + " " + b) + "\n";
  return s;
}

// Lines of codes for an n-point lattice, blue fastest, each channel its index times scale.
std::string CodeLines(int n, int scale, bool numbered = false) {
  std::string s;
  int k = 0;
  for (int r = 0; r < n; ++r)
    for (int g = 0; g < n; ++g)
      for (int b = 0; b < n; ++b)
        s += (numbered ? std::to_string(k++) + " " : "") + std::to_string(r * scale) + " " + std::to_string(g * scale) +
             " " + std::to_string(b * scale) + "\n";
  return s;
}

// A curve whose entries show clamping, rounding half to even, a negative value that is written
// without a sign and every column order; a comment holding a line break, which never becomes a line
// of its own.
void FillTwoEntries(TLUT &lut) {
  lut.Mode = kMode1D;
  lut.Size1D = 2;
  lut.Comments = {"line\nbreak"};
  lut.Curve[0] = {-1e-7, 0.5, 1.7};
  lut.Curve[1] = {0.25, -0.2, 1};
  lut.Curve[4] = {kNaN, kNaN, kNaN}; // beyond the four entries of the longest curve
}

void FillFourEntries(TLUT &lut) {
  FillTwoEntries(lut);
  lut.Size1D = 4;
  lut.Curve[2] = {1, 0.5, 0.125};
  lut.Curve[3] = {0.5, 0.25, 0};
}

struct TWriteCase {
  TLutFormatId Format;
  void (*Fill)(TLUT &);
  int Bits;
  const char *FileName;
  std::string Text; // the whole file, or its start when Tail is given
  std::string Tail = {};
};

const std::vector<TWriteCase> &WriteCases() {
  static const std::vector<TWriteCase> cases = [] {
    const std::string decimals = SmallLatticeDecimalLines(), blueFirst = SmallLatticeDecimalLines(true);
    const std::string codes12 = SmallLatticeCodeLines("1024", "2048", "4095");
    const std::string curve2 = "0.000000 0.500000 1.700000\n0.250000 -0.200000 1.000000\n";
    const std::string curve4 = curve2 + "1.000000 0.500000 0.125000\n0.500000 0.250000 0.000000\n";
    return std::vector<TWriteCase>{
        {Cube3D, FillSmallLattice, 0, "a.cube",
         "# first\n# second\n# Converted by Oxel LUT Converter\n\nLUT_3D_SIZE 2\n" + decimals},
        {Cube3DTruelight, FillSmallLattice, 0, "a.cube",
         "# Truelight Cube v2.0\n# iDims     3\n# oDims     3\n# width     2 2 2\n\n# Cube\n" + decimals +
             "# end\n# Converted by Oxel LUT Converter\n"},
        {FsiCfe3D, FillSmallLattice, 0, "a.cfe",
         "LUT_3D_AUTHOR Oxel LUT Converter\nLUT_3D_MODEL CM240\nLUT_3D_VERSION 2.0.0\nLUT_3D_SIZE 2\n\n" + decimals},
        {Cube1D, FillFourEntries, 0, "a.cube", "# line break\n# Converted by Oxel LUT Converter\n\nLUT_1D_SIZE 4\n" + curve4},
        {Nucoda1D, FillFourEntries, 0, "look.cms", "NUCODA_3D_CUBE 2\n\nTITLE \"look\"\n\nLUT_1D_SIZE 4\n\n" + curve4},
        // A 4096-entry curve in lattice units, then the lattice.
        {Nucoda3D, FillSmallLattice, 0, "my.look.cms",
         "NUCODA_3D_CUBE 1\n\nTITLE \"my.look\"\n\nLUT_1D_SIZE 4096\nLUT_3D_SIZE 2\n\n"
         "0.000000 0.000000 0.000000\n0.008059 0.008059 0.008059\n",
         "32.991940 32.991940 32.991940\n32.999999 32.999999 32.999999\n\n" + decimals},
        {ThreeDL, FillSmallLattice, 12, "a.3dl",
         "# first\n# second\n# Converted by Oxel LUT Converter\n0 1023\n" + codes12},
        {Lustre3D, FillSmallLattice, 12, "a.lut",
         "\n# Converted by Oxel LUT Converter\n\n3DMESH\nMesh 0 12\n\n" + codes12 + "\nLUT8\ngamma 1.0\n"},
        {Pandora3D, FillSmallLattice, 16, "a.m3d",
         "#HEADER\n#type: 3D cube file\n#format: 1.00\n#comment: Converted by Oxel LUT Converter\n#END\n\n"
         "channel 3d\nin 8\nout 65536\n\nformat lut\n\nvalues\tred\tgreen\tblue\n"
         "0\t0\t0\t16384\n1\t0\t0\t65535\n2\t0\t32768\t16384\n3\t0\t32768\t65535\n"
         "4\t65535\t0\t16384\n5\t65535\t0\t65535\n6\t65535\t32768\t16384\n7\t65535\t32768\t65535\n"},
        {Lustre1D, FillTwoEntries, 16, "a.lut",
         "LUT16\n\n# Converted by Oxel LUT Converter\n\n0 0 32768 65535\n1 16384 0 65535\n"},
        {Codex3D, FillSmallLattice, 12, "a.txt", "Lut3D: 2\n\nR\tG\tB\n" + codes12},
        {Quantel3D, FillSmallLattice, 12, "a.txt",
         "max value 4095\nvertices 2\nblue is fastest changing\nred is slowest changing\n\ncube data\nR G B\n" + codes12},
        {Quantel1D, FillFourEntries, 10, "a.txt",
         "table type\t2\n\ngMax\t1023\ngSize\t4\n\ngamma\nr\tg\tb\n0 512 1023\n256 0 1023\n1023 512 128\n512 256 0\n"},
        // All red codes, then green, then blue; 4 entries at 2 bits, so the header needs no depth.
        {Codex1D, FillFourEntries, 2, "a.dat",
         "# Converted by Oxel LUT Converter\n\nLUT: 3 4\n\n0\n1\n3\n2\n2\n0\n2\n1\n3\n3\n0\n0\n"},
        // At 10 bits the number of output codes follows the entry count.
        {Codex1D, FillFourEntries, 10, "a.dat",
         "# Converted by Oxel LUT Converter\n\nLUT: 3 4 1024\n\n0\n256\n1023\n512\n512\n0\n512\n256\n1023\n1023\n128\n0\n"},
        // The file's title names the table, written as XML text.
        {Clipster3D, FillSmallLattice, 16, "my grade & <b>'s.txt",
         "<LUT3D name='my grade &amp; &lt;b&gt;&apos;s' N='2' BitDepth='16'>\n<values>\n" +
             SmallLatticeCodeLines("16384", "32768", "65535") + "</values>\n</LUT3D>\n"},
        {Luther3D, FillSmallLattice, 10, "a.txt", "#channels: c3\n#elements = 8\n" + SmallLatticeCodeLines("256", "512", "1023")},
        {ColorfrontOsd3D, FillSmallLattice, 0, "a.3dmesh", blueFirst},
        {DavinciDat3D, FillSmallLattice, 0, "a.dat", "3DLUTSIZE 2\n\n" + blueFirst},
        {ColorfrontOsd1D, FillTwoEntries, 0, "a.1dlut", curve2},
        {Filmlight1D, FillTwoEntries, 0, "a.cube",
         "# Truelight Cube v2.0\n# lutLength 2\n# iDims     3\n\n# InputLUT\n" + curve2 +
             "# end\n# Converted by Oxel LUT Converter\n"},
        {Stwo1D, FillTwoEntries, 10, "a\"b.swto.xml",
         "<?xml version=\"1.0\"?>\n<lut name=\"a&quot;b.swto\">\n<data>\n<elem r=\"0\" g=\"512\" b=\"1023\"/>\n"
         "<elem r=\"256\" g=\"0\" b=\"1023\"/>\n</data>\n</lut>\n"},
        {Fusion1D, FillTwoEntries, 16, "a.alut", "F5LT\n\n16\n\n0 0 0 32768 0 65535\n1 16384 1 0 1 65535\n"},
        {Blackmagic1D, FillTwoEntries, 0, "a.txt", "R\tG\tB - HDLINK GAMMA TABLE\n0.00 500.00 1700.00\n250.00 -200.00 1000.00\n"},
        {Cinetal1D, FillTwoEntries, 10, "a.txt", "0 512 1023\n256 0 1023\n"},
        {Shake1D, FillTwoEntries, 16, "a.txt", "0 32768 65535\n16384 0 65535\n"},
        {PFClean3D, FillSmallLattice, 8, "a.pfl",
         "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<lut type=\"ascii\">\n"
         "<maximum>255</maximum>\n<size>2</size>\n<cube>\n" + SmallLatticeCodeLines("64", "128", "255") + "</cube>\n</lut>\n"},
    };
  }();
  return cases;
}

// A value a read must give: lattice point (r, g, b), or curve entry r when g is -1.
struct TAt {
  int r, g, b;
  TLutTriple Value;
};

struct TReadCase {
  TLutFormatId Format;
  std::string Text;
  std::uint8_t Mode;
  int Size3D, Size1D;
  std::vector<TAt> Values;
  std::vector<std::string> Comments = {};
};

std::string Correction(const std::string &sop, const std::string &sat = "") {
  return "<ColorCorrection id='b'><SOPNode>" + sop + "</SOPNode>" + sat + "</ColorCorrection>";
}

// A 2-point look, red fastest, whose point (r, g, b) holds (0.1 + r, 0.2 + g, 0.3 + b) / 2.
std::string LookData() {
  std::string data = "\"";
  for (int b = 0; b < 2; ++b)
    for (int g = 0; g < 2; ++g)
      for (int r = 0; r < 2; ++r)
        data += HexOf((0.1f + r) / 2) + HexOf((0.2f + g) / 2) + HexOf((0.3f + b) / 2) + "\n";
  return data + "\"";
}

// An FSI DIT file: the mark, a header of zeros and 64^3 words, red fastest, red in the low 10 bits
// of a word; the first two points given, the others 0.
std::string DitFile() {
  std::string file(128 + 4 * 64 * 64 * 64, '\0');
  file.replace(0, 4, "\x99\x02\x34\x42");
  file.replace(128, 8, std::string("\xF0\xE3\xF7\x3F\x5E\x40\x00\x00", 8)); // 1008 504 1023, then 94 16 0
  return file;
}

const std::vector<TReadCase> &ReadCases() {
  static const std::vector<TReadCase> cases = [] {
    const std::string small = SmallLatticeDecimalLines(), curve = "0 0 0\n0.25 0.5 0.75\n1 1 1\n";
    const std::string blueFirst = "# made by hand\n0 0 1\n0.1 0.2 0.3\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0 0 0\n0.5 0.5 0.5\n";
    const std::string codes = "4095 0 0\n" + Repeat("0 0 1023\n", 7), tens = CodeLines(2, 10);
    std::string shaper = "0", upper = LookData();
    for (int i = 1; i < 17; ++i)
      shaper += " " + std::to_string(i * 64 - (i == 16));
    for (char &c : upper)
      c = static_cast<char>(std::toupper(c));
    const std::string sop = "<Slope>2,0.5\t1</Slope><Offset>-0.5 0.25 0</Offset><Power>1 1 2 7</Power>";
    const std::vector<TAt> smallValues = {{1, 0, 0, {1, -0.2, 0.25}}, {0, 1, 1, {0, 0.5, 1.7}}};
    const std::vector<TAt> blueFirstValues = {{0, 0, 0, {1, 0, 0}}, {1, 0, 0, {0.3, 0.2, 0.1}}, {1, 1, 1, {0.5, 0.5, 0.5}}};
    const std::vector<TAt> lookValues = {{1, 0, 0, {(0.1f + 1) / 2, 0.2f / 2, 0.3f / 2}},
                                         {0, 1, 1, {0.1f / 2, (0.2f + 1) / 2, (0.3f + 1) / 2}}};
    return std::vector<TReadCase>{
        // Comments before the size line are kept, after it not; value lines before it are ignored.
        {Cube3D, "# one\n  #two  \n0.9 0.9 0.9\nTITLE \"x\"\nLUT_3D_SIZE 2\n# three\n" + small, kMode3D, 2, 0, smallValues,
         {"one", "two"}},
        // A byte-order mark, commas, tabs and CR LF line ends; a domain of 0..1.
        {Cube3D, "\xEF\xBB\xBF" "DOMAIN_MIN 0 0 0\r\nDOMAIN_MAX 1.0 1 1\r\nLUT_3D_SIZE 2\r\n0,-0.2,0.25\r\n1\t0\t0\r\n" +
                     small.substr(56), kMode3D, 2, 0, {{0, 0, 0, {0, -0.2, 0.25}}, {1, 0, 0, {1, 0, 0}}}},
        // A curve before the lattice.
        {Cube3D, "LUT_1D_SIZE 3\nLUT_1D_INPUT_RANGE 0 1\nLUT_3D_SIZE 2\n" + curve + small, kMode1DThen3D, 2, 3,
         {{1, -1, -1, {0.25, 0.5, 0.75}}, {1, 1, 1, {1, 0.5, 1.7}}}},
        {Cube3DTruelight, "# Truelight Cube v2.0\n# iDims 3\n# oDims 3\n# width     2 2 2\n\n# Cube\n" + small + "# end\n",
         kMode3D, 2, 0, smallValues},
        // The input curve is in lattice units, 0 .. width - 1.
        {Cube3DTruelight, "# lutLength 3\n# iDims 3\n# width 3 3 3\n\n# InputLUT\n0 0 0\n0.5 1 2\n2 2 2\n\n# Cube\n" +
                              Repeat("0.5 0.5 0.5\n", 26) + "1 0.25 0\n# end\n",
         kMode1DThen3D, 3, 3, {{1, -1, -1, {0.25, 0.5, 1}}, {2, -1, -1, {1, 1, 1}}, {2, 2, 2, {1, 0.25, 0}}}},
        // Without "# lutLength" the input curve is as long as its lines.
        {Cube3DTruelight, "# width 2 2 2\n# InputLUT\n0 0 0\n1 0.5 1\n# Cube\n" + small, kMode1DThen3D, 2, 2,
         {{1, -1, -1, {1, 0.5, 1}}, {1, 0, 0, {1, -0.2, 0.25}}}},
        {FsiCfe3D, "LUT_3D_VERSION 2.0.0\nLUT_3D_SIZE 2\n" + small, kMode3D, 2, 0, smallValues},
        {Cube1D, "# c\nLUT_1D_SIZE 2\n0 0 0\n1 0.5 0.25\n", kMode1D, 0, 2, {{1, -1, -1, {1, 0.5, 0.25}}}, {"c"}},
        // Version 1 gives its curve in lattice units of 33; version 2 files hold a curve alone.
        {Nucoda3D, "NUCODA_3D_CUBE 1\nLUT_1D_SIZE 2\nLUT_3D_SIZE 2\n0 0 0\n33 16.5 0\n" + small, kMode1DThen3D, 2, 2,
         {{1, -1, -1, {1, 0.5, 0}}, {1, 1, 1, {1, 0.5, 1.7}}}},
        {Nucoda3D, "NUCODA_3D_CUBE 2\nLUT_1D_SIZE 3\n0 0 0\n0.5 2 3\n1 1 1\n", kMode1D, 0, 3, {{1, -1, -1, {0.5, 2, 3}}}},
        // The shaper line gives the size by its count of values; codes up to 4095 are 12-bit; comments
        // anywhere are kept.
        {ThreeDL, "# a\n0 2048 4095\n" + CodeLines(3, 100).insert(14, "# b\n"), kMode3D, 3, 0,
         {{2, 1, 0, {200 / 4095.0, 100 / 4095.0, 0}}}, {"a", "b"}},
        // One code above 4095 makes the file 16-bit.
        {ThreeDL, shaper + "\n" + CodeLines(17, 300), kMode3D, 17, 0, {{16, 1, 0, {4800 / 65535.0, 300 / 65535.0, 0}}}},
        {Lustre3D, "3DMESH\nMesh 4 12\n" + shaper + "\n" + CodeLines(17, 200) + "\nLUT8\ngamma 1.0\n", kMode3D, 17, 0,
         {{16, 1, 2, {3200 / 4095.0, 200 / 4095.0, 400 / 4095.0}}}},
        // Lines before the Mesh line are not values.
        {Lustre3D, "3DMESH\n1 1 1\nMesh 0 12\n" + CodeLines(2, 4095), kMode3D, 2, 0, {{1, 0, 1, {1, 0, 1}}}},
        // A 3-point mesh's shaper line reads like a value line; one line too many tells it apart.
        {Lustre3D, "3DMESH\nMesh 1 16\n0 512 1023\n" + CodeLines(3, 1000), kMode3D, 3, 0,
         {{0, 0, 0, {0, 0, 0}}, {2, 0, 1, {2000 / 65535.0, 0, 1000 / 65535.0}}}},
        {Pandora3D, "channel 3d\nin 4913\nout 4096\nformat lut\nvalues\tred\tgreen\tblue\n" + CodeLines(17, 250, true), kMode3D,
         17, 0, {{16, 0, 1, {4000 / 4095.0, 0, 250 / 4095.0}}}},
        {Lustre1D, "LUT12\n\n0 0 0 0\n1 4095 2048 1\n", kMode1D, 0, 2, {{1, -1, -1, {1, 2048 / 4095.0, 1 / 4095.0}}}},
        // Codex 3D always divides by 4095, finds its header without case and ignores values after
        // the last point.
        {Codex3D, "# first\nlut3d:   2\n# second\nR G B\n1023 1023 1023\n" + Repeat("0 0 0\n", 6) + "4095 4095 4095\n1 2 3\n",
         kMode3D, 2, 0, {{0, 0, 0, {1023 / 4095.0, 1023 / 4095.0, 1023 / 4095.0}}, {1, 1, 1, {1, 1, 1}}}, {"first", "second"}},
        // Quantel 3D reads its two headers in either order and divides by its maximum.
        {Quantel3D, "max value 10\nvertices 2\ncube data\nR G B\n" + tens, kMode3D, 2, 0, {{0, 0, 1, {0, 0, 1}}}},
        {Quantel3D, "vertices 2\n  max value 10\n" + tens, kMode3D, 2, 0, {{1, 0, 0, {1, 0, 0}}}},
        // One channel fills all three; codes are divided by entries - 1; only comments before the
        // header are kept; blanks around a code are harmless.
        {Codex1D, "# before\nLUT: 1 3\n# after\n0\n1 \n  2\n", kMode1D, 0, 3,
         {{1, -1, -1, {0.5, 0.5, 0.5}}, {2, -1, -1, {1, 1, 1}}}, {"before"}},
        // Three tables, and a third header number giving the count of output codes; codes after the
        // last are ignored.
        {Codex1D, "LUT: 3 2 1024\n0\n1023\n512\n0\n1023\n1023\n5000\n", kMode1D, 0, 2,
         {{0, -1, -1, {0, 512 / 1023.0, 1}}, {1, -1, -1, {1, 0, 1}}}},
        {Quantel1D, "table type\t2\nGSIZE\t2\ngmax\t1023\nr\tg\tb\n0 512 1023\n1023 0 0\n", kMode1D, 0, 2,
         {{0, -1, -1, {0, 512 / 1023.0, 1}}, {1, -1, -1, {1, 0, 0}}}},
        // Clipster divides by 2^BitDepth - 1 and keeps the name, red outermost.
        {Clipster3D, "<LUT3D name='x' N='2' BitDepth='12'>\n<values>\n" + codes + "</values>\n</LUT3D>\n", kMode3D, 2, 0,
         {{0, 0, 0, {1, 0, 0}}, {0, 0, 1, {0, 0, 1023 / 4095.0}}}, {"Name: x"}},
        {Clipster3D, "<LUT3D name='my grade &amp; &lt;b&gt;&apos;s' N='2' BitDepth='16'><values>" + codes + "</values></LUT3D>",
         kMode3D, 2, 0, {{0, 0, 0, {4095 / 65535.0, 0, 0}}}, {"Name: my grade & <b>'s"}},
        // Luther always divides by 1023; value lines before the size are not values.
        {Luther3D, "#channels: c3\n1 1 1\n#elements = 8\n" + codes, kMode3D, 2, 0,
         {{0, 0, 0, {4095 / 1023.0, 0, 0}}, {1, 1, 1, {0, 0, 1}}}},
        // Blue-first: the first number of a line is blue, and red advances fastest. With its header,
        // lines before "3DLUTSIZE" are not values.
        {ColorfrontOsd3D, blueFirst, kMode3D, 2, 0, blueFirstValues},
        {DavinciDat3D, blueFirst, kMode3D, 2, 0, blueFirstValues},
        {DavinciDat3D, "9 9 9\n3DLUTSIZE 2\n\n" + blueFirst, kMode3D, 2, 0, blueFirstValues},
        // A last line without a line end that reads is the last value, not damage.
        {ColorfrontOsd1D, "0.25 0.25 0.25\n1 1 1", kMode1D, 0, 2, {{0, -1, -1, {0.25, 0.25, 0.25}}, {1, -1, -1, {1, 1, 1}}}},
        // The length comes from a comment line; later comments and lines are ignored.
        {Filmlight1D, "# lutLength 2\n# iDims 3\n0.1 0.2 0.3\n# end\n1.5 -0.5 1\n9 9", kMode1D, 0, 2,
         {{1, -1, -1, {1.5, -0.5, 1}}}},
        // Always 10-bit codes (so 4095 reads four times too bright), other children skipped, a
        // missing attribute reads as 0, comma decimals accepted.
        {Stwo1D, "<?xml version=\"1.0\"?>\n<lut name=\"x\"><data>\n<elem r=\"1023\" g=\"4095\" b=\"511,5\"/>\n"
                 "<note/>\n<ELEM r='0' b='1023'/></data></lut>\n",
         kMode1D, 0, 2, {{0, -1, -1, {1, 4095 / 1023.0, 511.5 / 1023}}, {1, -1, -1, {0, 0, 1}}}},
        // The bit depth line sets the scale; each index word is the entry number.
        {Fusion1D, "F5LT\n\n12\n\n0 4095 0 0 0 2048\n1 0 1 4095 1 0\n", kMode1D, 0, 2,
         {{0, -1, -1, {1, 0, 2048 / 4095.0}}, {1, -1, -1, {0, 1, 0}}}},
        // Only lines starting with a digit are values, divided by 1000.
        {Blackmagic1D, "R\tG\tB - HDLINK GAMMA TABLE\n-5 0 0\n0 500 1000\n  1000, 250, 0\n", kMode1D, 0, 2,
         {{0, -1, -1, {0, 0.5, 1}}, {1, -1, -1, {1, 0.25, 0}}}},
        // Three integer words, anything after them ignored; 14 and 12 bits.
        {DavinciILut1D, "# input\n0 8192 16383 99\n16383,0,0\n", kMode1D, 0, 2,
         {{0, -1, -1, {0, 8192 / 16383.0, 1}}, {1, -1, -1, {1, 0, 0}}}},
        {DavinciOLut1D, "0 2048 4095\nnot values\n4095 4095 4095\n", kMode1D, 0, 2, {{0, -1, -1, {0, 2048 / 4095.0, 1}}}},
        // The size quoted or not; hex digits in either case, anything else between them skipped;
        // values that are not numbers read as 0; a look without a baked table is the identity.
        {SpeedgradeLook3D, Look("\"2\"", LookData()), kMode3D, 2, 0, lookValues},
        {SpeedgradeLook3D, Look(" '2' ", upper), kMode3D, 2, 0, lookValues},
        {SpeedgradeLook3D, Look("2", "00 00-80 bf" + Repeat("0000c07f", 23)), kMode3D, 2, 0,
         {{0, 0, 0, {-1, 0, 0}}, {1, 1, 1, {0, 0, 0}}}},
        {SpeedgradeLook3D, "<look><shaders/></look>", kModeIdentity, 0, 0, {}},
        {FsiDit3D, DitFile(), kMode3D, 64, 0,
         {{0, 0, 0, {1, 0.5, 1023 / 1008.0}}, {1, 0, 0, {94 / 1008.0, 16 / 1008.0, 0}}, {63, 63, 63, {0, 0, 0}}}},
        {PFClean3D, "<lut><maximum>255</maximum><size>2</size><cube>\n255 0 0\n0 0 51\n" + Repeat("0 0 0\n", 5) + "0 0 255\n</cube></lut>",
         kMode3D, 2, 0, {{0, 0, 0, {1, 0, 0}}, {0, 0, 1, {0, 0, 0.2}}, {1, 1, 1, {0, 0, 1}}}},
        // Slope, offset and power per channel, a power applying only above 0, nothing clamped; a
        // fourth word is ignored. Saturation 0 gives every channel the plain mean of the three.
        {AscCdl, "\xEF\xBB\xBF" + Correction(sop), kMode3D, 33, 0,
         {{0, 0, 0, {0, 0.25, 0}}, {16, 32, 8, {0.5, 0.75, 0.0625}}, {32, 0, 32, {1.5, 0.25, 1}}}, {"Name: b"}},
        {AscCdl, Correction(sop, "<SATNode><Saturation> 0,0 </Saturation></SATNode>"), kMode3D, 33, 0,
         {{16, 32, 8, {1.3125f / 3, 1.3125f / 3, 1.3125f / 3}}}, {"Name: b"}},
    };
  }();
  return cases;
}

struct TRefusal {
  TLutFormatId Format;
  std::string Text, Message; // a part of the message
};

const std::vector<TRefusal> &Refusals() {
  static const std::vector<TRefusal> cases = [] {
    const std::string small = SmallLatticeDecimalLines(), eight = Repeat("0 0 0\n", 8), tooLong = Repeat("1 2 3\n", 100002);
    const std::string values = "<values>" + eight + "</values>", cube = "<cube>" + Repeat("1 1 1\n", 8) + "</cube>";
    const std::string depth = " the file's output depth is not the one its \"LUT:\" line gives.";
    auto lattice = [](const std::string &n) { return "a lattice of " + n + " points per axis is not possible; 2 to 101 are."; };
    const std::string tooLarge3D = lattice("102"), ranges = ": input ranges other than 0 to 1 are not supported.";
    const std::string sevenOfEight = "Incomplete file. The values end after 7 of 8 lattice points.";
    const std::string noneOfEight = "Incomplete file. The values end after 0 of 8 lattice points.";
    const std::string eightOf27 = "Incomplete file. The values end after 8 of 27 lattice points.";
    const std::string noSize = "Incomplete file. No line gives the table's size or starts its values.";
    const std::string cut = " and has no line end: the file is cut off.";
    const std::string sop = "<Offset>0 0 0</Offset><Power>1 1 1</Power>";
    auto look = [](const std::string &lut) { return "<look><shaders><base/></shaders>" + lut + "</look>"; };
    const std::string lookData = "<data>\"" + Repeat("0000803f", 24) + "\"</data>";
    // Slope 4 and power 70 overflow single precision from 29/32 on: 3.625^70 > 3.4e38 > 3.5^70.
    // The first such point, blue fastest, is blue 29.
    const std::string overflow = Correction("<Slope>4 4 4</Slope><Offset>0 0 0</Offset><Power>70 70 70</Power>");
    std::string infinite = "<look><shaders/><lut><size>\"2\"</size><data>0000807f"; // +inf at the first point
    infinite += Repeat(" 00000000", 23) + "</data></lut></look>";
    const std::string aCube = "LUT_3D_SIZE 2\n" + eight;
    return std::vector<TRefusal>{
        {Cube3D, "LUT_3D_SIZE 102\n", "in.txt\" (read as Cube 3D), line 1: LUT_3D_SIZE 102: " + tooLarge3D},
        {Cube3D, "LUT_3D_SIZE 1\n0 0 0\n", "line 1: LUT_3D_SIZE 1: " + lattice("1")},
        {Cube3D, "LUT_3D_SIZE 2\n" + small + "0 0 0\n", "in.txt\" (read as Cube 3D), line 10: more values than LUT_3D_SIZE announces."},
        {Cube3D, "DOMAIN_MIN 0.0 1.0 0.0\nLUT_3D_SIZE 2\n" + small, "line 1: DOMAIN_MIN 0.0 1.0 0.0" + ranges},
        {Cube3D, "LUT_3D_SIZE 2\nLUT_3D_INPUT_RANGE 0.0 4.0\n" + small, "line 2: LUT_3D_INPUT_RANGE 0.0 4.0" + ranges},
        {Cube3D, "LUT_3D_SIZE 2\n" + small.substr(28), sevenOfEight},
        {Cube3D, "LUT_3D_SIZE 2\n" + small.substr(28) + "1 0.5 1.7 0\n", "Incomplete file. Line 9 holds 4 values where 3 are expected."},
        {Cube3D, "LUT_1D_SIZE 3\nLUT_3D_SIZE 2\n0 0 0\n0.25 0.5 0.75\n1 1 1\n" + small.substr(28), sevenOfEight},
        {Cube3D, "LUT_3D_SIZE 2\n0 0 -INF\n", "\"in.txt\" (read as Cube 3D), line 2: '-INF' is not a finite number."},
        {Cube1D, "LUT_1D_SIZE 100002\n", "line 1: LUT_1D_SIZE 100002: a curve of 100002 entries is not possible; 2 to 100001 are."},
        {Cube1D, "LUT_1D_SIZE 2\n0 0 0\n1 1 1\n1 1 1\n", "in.txt\" (read as Cube 1D), line 4: more values than LUT_1D_SIZE announces."},
        {Cube1D, "DOMAIN_MAX 2 2 2\nLUT_1D_SIZE 2\n0 0 0\n1 1 1\n", "line 1: DOMAIN_MAX 2 2 2" + ranges},
        {Cube1D, "LUT_1D_SIZE 2\nLUT_3D_SIZE 2\n", "line 2: the file holds a 3D lattice after its curve; it is read as a Cube 3D file."},
        {Cube1D, "LUT_1D_SIZE 2\n0 0 0\n1e999 1 1\n", "\"in.txt\" (read as Cube 1D), line 3: '1e999' is not a finite number."},
        {Cube1D, " \n\n", "(read as Cube 1D): Incomplete file. The file holds no text."},
        {Cube3DTruelight, "# iDims 3\n# width 2 3 2\n", "line 2: # width 2 3 2: lattices with unequal widths are not supported."},
        {Cube3DTruelight, "# lutLength 3\n# width 2 2 2\n# InputLUT\n0 0 0\n1 1 1\n# Cube\n" + small,
         "Incomplete file. The InputLUT section holds 2 of the 3 entries \"# lutLength\" announces."},
        {FsiCfe3D, "LUT_3D_VERSION 2.0.0\nLUT_3D_SIZE 2\n" + small.substr(28), sevenOfEight},
        {Nucoda3D, "NUCODA_3D_CUBE 1\nLUT_3D_SIZE 2\n0 0 0\n", "Incomplete file. The values end after 1 of 8 lattice points."},
        {Nucoda3D, "NUCODA_3D_CUBE 2\nLUT_1D_SIZE 2\n0 0 0\n1 1 1\n2 2 2\n", "line 5: more values than LUT_1D_SIZE announces."},
        {Nucoda3D, "NUCODA_3D_CUBE 1\nTITLE \"t\"\n", "in.txt\" (read as Nucoda 3D): neither LUT_1D_SIZE nor LUT_3D_SIZE is given."},
        {Nucoda3D, aCube, "\"in.txt\" (read as Nucoda 3D): no NUCODA_3D_CUBE line; the file is not a Nucoda file."},
        // A shaper that is not even would move every point.
        {ThreeDL, "0 0 68\n" + Repeat("0 0 0\n", 27), "line 1: the input shaper line is not evenly spaced; such files are not supported."},
        {ThreeDL, "0 10 20\n" + Repeat("0 0 0\n", 28), "line 29: more values than the input shaper line announces."},
        {ThreeDL, "3DMESH\nno numbers\n", noSize},
        {Lustre3D, "3DMESH\nMesh 1 12\n" + Repeat("0 0 0\n", 29), "line 30: more values than the \"Mesh\" line announces."},
        {Lustre3D, "3DMESH\nMesh 1 12\n" + eight, eightOf27},
        {Lustre3D, "3DMESH\n" + eight, "in.txt\" (read as Autodesk Lustre 3D): no \"Mesh\" line; the size of the lattice is unknown."},
        {Lustre3D, "3DMESH\nMesh 7 12\n", "line 2: Mesh 7 12: " + lattice("129")},
        {Pandora3D, "channel 3d\nin 8\nout 4096\nformat lut\n" + eight, "Incomplete file. Line 5 holds 3 values where 4 are expected."},
        {Pandora3D, "channel 3d\nIN 8\nout 256\nformat lut\n" + Repeat("0 0 0 0\n", 8),
         "Incomplete file. Line 2 gives the number of points as 'IN'; the keyword is \"in\", in lower case."},
        {Pandora3D, "channel 3d\nin 9\nout 256\n", "line 2: in 9: the number of points is not the cube of a whole number."},
        {Pandora3D, "channel 3d\nin 8\nout 1\n", "line 3: out 1: the number of output codes must be 2 or more."},
        {Pandora3D, "in 8\nout 256\n" + CodeLines(2, 0, true) + "8 0 0 0\n", "line 11: more values than the \"in\" line announces."},
        {Pandora3D, "in 8\nout 256\n0 0 0 0\n1 inf 0 0\n", "\"in.txt\" (read as Pandora 3D, Technicolor), line 4: 'inf' is not a finite number."},
        // Point numbers count 0, 1, 2, ...: a gap or a repeat means lost or damaged lines.
        {Pandora3D, "in 8\nout 256\n0 0 0 0\n0 1 1 1\n", "(read as Pandora 3D, Technicolor), line 4: the point number is '0' where 1 is expected."},
        {Lustre1D, "LUT12\n", "Incomplete file. No line of values follows the header."},
        {Lustre1D, "LUT12\n0 0 0 0\n", "in.txt\" (read as Autodesk Lustre 1D): the file holds no usable table."},
        {Lustre1D, "LUT12\n0 0 0 0\n1 4095 40", "line 3: the last line holds 3 values where 4 are expected" + cut},
        {Lustre1D, "LUT12\n0 0 0 0\n2 1 1 1\n", "(read as Autodesk Lustre 1D), line 3: the entry number is '2' where 1 is expected."},
        {Codex3D, "Lut3D: 102\n", "Lut3D: 102: " + tooLarge3D},
        {Quantel3D, "vertices 2\n" + eight, noneOfEight}, // no maximum
        {Quantel3D, "vertices 2\nmax value 0\n" + eight, "max value 0: the maximum code must be 1 or more."},
        {Quantel1D, "gSize\t2\ngMax\t0\n", "gMax\t0: the maximum code must be 1 or more."},
        {Codex1D, "LUT: 3 0\n", "a curve of 0 entries is not possible; 2 to 100001 are."},
        {Codex1D, "LUT: 3 2\n0\n1\n0\n1\n0\n", "Incomplete file. The values end after 1 of 2 curve entries."},
        // Codes beyond the largest one: the file's output depth is not what its header says.
        {Codex1D, "LUT: 3 2\n0\n2\n", "line 3: 2 is outside the codes 0 to 1 of this curve;" + depth},
        {Codex1D, "LUT: 3 2\n0\n-1\n", "line 3: -1 is outside the codes 0 to 1 of this curve;" + depth},
        {Codex1D, "LUT: 3 4096 65536f\n", "LUT: 3 4096 65536f: half-float output values are not supported."},
        {Codex1D, "LUT: 3 4 1\n", "LUT: 3 4 1: the number of output codes must be 2 or more."},
        // A second header would restart the tables in the middle.
        {Codex1D, "LUT: 3 4\n0\n1\nLUT: 3 2\n", "line 4: a second \"LUT:\" line."},
        {Clipster3D, "<LUT3D N='2'>" + values + "</LUT3D>", "the LUT3D element has no BitDepth attribute; the values cannot be scaled."},
        {Clipster3D, "<LUT3D N='2' BitDepth='40'>" + values + "</LUT3D>", "BitDepth='40': 1 to 31 bits are possible."},
        {Clipster3D, "<LUT3D BitDepth='8'>" + values + "</LUT3D>", "N='': " + lattice("0")},
        {Clipster3D, "<LUT3D N='2' BitDepth='8'></LUT3D>", "The \"values\" node is not found"},
        // A short list would leave the rest of the lattice as it was.
        {Clipster3D, "<LUT3D N='3' BitDepth='8'>" + values + "</LUT3D>", eightOf27},
        {Luther3D, "#elements = 4900\n", "#elements = 4900: the number of elements is not the cube of a whole number."},
        {ColorfrontOsd3D, eight + "0 0 0\n", "the file holds 9 lines of values, which is not the number of points of a lattice (n * n * n)."},
        {ColorfrontOsd3D, "0 0 0\n", "1 lines of values: " + lattice("1")},
        {ColorfrontOsd3D, "# nothing\n", "the file holds 0 lines of values, which is not the number of points of a lattice (n * n * n)."},
        {ColorfrontOsd3D, aCube, "line 1: 'LUT_3D_SIZE 2' comes before the first line of values; this format has no header."},
        {DavinciDat3D, "# x\nno header\n" + eight, "line 2: 'no header' comes before the first line of values; this format has no header."},
        {ColorfrontOsd1D, tooLong, "line 100002: more than 100001 entries; a curve holds no more."},
        {ColorfrontOsd1D, "0 0 0\n1 nan(0x1) 1\n", "\"in.txt\" (read as Colorfront OSD 1D), line 2: 'nan(0x1)' is not a finite number."},
        {ColorfrontOsd1D, "0 0 0\n0.5 0.5 0.5\n1 1", "line 3: the last line holds 2 values where 3 are expected" + cut},
        {ColorfrontOsd1D, "5", "line 1: the last line holds 1 value where 3 are expected" + cut},
        {Filmlight1D, "# lutLength 3\n0 0 0\n1 1 1\n", "Incomplete file. The values end after 2 of 3 curve entries."},
        {Filmlight1D, "0 0 0\n1 1 1\n", noSize},
        {Fusion1D, "F5LT\n0\n0 0 0 0 0 0\n", "0: a bit depth of 1 to 31 is possible."},
        {Fusion1D, "F5LT\n\n12\n\n0 0 0 0 0 0\n1 4095 1", "line 6: the last line holds 3 values where 6 are expected" + cut},
        {Fusion1D, "F5LT\n12\n0 0 1 0 0 0\n", "(read as Fusion 1D), line 3: the entry number is '1' where 0 is expected."},
        {Blackmagic1D, aCube, "(read as Blackmagic HDLink 1D), line 2: a line of values before the \"HDLINK GAMMA TABLE\" header."},
        {Blackmagic1D, "R\tG\tB - HDLINK GAMMA TABLE\n0 0 0\n1000.00 1000.", "line 3: the last line holds 2 values where 3 are expected" + cut},
        {DavinciILut1D, "0 0 0\n16383 16", "line 2: the last line holds 2 values where 3 are expected" + cut},
        {DavinciOLut1D, "0 0 0\n4095 4095 4x", "line 2: the last line holds '4x', which is not a whole number" + cut},
        {Stwo1D, "<lut><elem r='1'/></lut>", "The \"data\" node is not found"},
        {Stwo1D, "<lut><data><elem r='x'/></data></lut>", "'x' is not a valid floating point value"},
        {Stwo1D, "<lut><data><elem r='1'/></data></lut>", "the file holds no usable table."}, // one entry is no curve
        {Stwo1D, "<lut name='a'><data><elem r='0' g='0' b='0'/><elem r='1023' g='1023' b='1023'/><elem r='5",
         "(read as S.two 1D): the <data> element is not closed: the file is cut off."},
        {PFClean3D, "<lut><maximum>1</maximum><size>2</size></lut>", "The \"cube\" node is not found"},
        {PFClean3D, "<lut><maximum>1</maximum>" + cube + "</lut>", "The \"size\" node is not found"},
        {PFClean3D, "<lut><maximum>1</maximum><size>3</size>" + cube + "</lut>", eightOf27},
        {PFClean3D, "<lut><maximum>0</maximum><size>2</size>" + cube + "</lut>", "<maximum>0</maximum>: the maximum code must be 1 or more."},
        {PFClean3D, "<lut><maximum>1</maximum><size>102</size>" + cube + "</lut>", "<size>102</size>: " + tooLarge3D},
        // In a decision list the correction is not a child of the root.
        {AscCdl, "<ColorDecisionList><ColorDecision><ColorCorrection><SOPNode><Slope>1 1 1</Slope>" + sop +
                     "</SOPNode></ColorCorrection></ColorDecision></ColorDecisionList>",
         "The \"ColorCorrection\" node is not found"},
        {AscCdl, Correction("<Slope>1 x 1</Slope>"), "in.txt\" (read as ASC CDL): 'x' is not a valid floating point value"},
        {AscCdl, Correction("<Slope> 1 1 1</Slope>" + sop), "'' is not a valid floating point value"}, // a blank first
        {AscCdl, Correction("<Slope>1\n1 1</Slope>" + sop), "'1\n1' is not a valid floating point value"},
        {AscCdl, Correction(sop), "The \"Slope\" node is not found"},
        {AscCdl, overflow, "(read as ASC CDL): the table holds a value that is not a finite number at lattice point (0, 0, 29)."},
        // Data that ends before the last point or inside a value; a size that is not one.
        {SpeedgradeLook3D, look("<LUT><size>\"3\"</size>" + lookData + "</LUT>"), eightOf27},
        {SpeedgradeLook3D, look("<LUT><size>\"2\"</size><data>\"0000803f0000\"</data></LUT>"), noneOfEight},
        // Cutting the first and last characters whatever they are would read this as 2.
        {SpeedgradeLook3D, look("<LUT><size>129</size>" + lookData + "</LUT>"), "<size>129</size>: " + lattice("129")},
        {SpeedgradeLook3D, look("<LUT><size>\"x\"</size>" + lookData + "</LUT>"), "'x' is not a valid integer value"},
        {SpeedgradeLook3D, look("<LUT><size>\"2\"</size></LUT>"), "The \"data\" node is not found"},
        {SpeedgradeLook3D, look("<LUT>" + lookData + "</LUT>"), "The \"size\" node is not found"},
        {SpeedgradeLook3D, infinite,
         "(read as Adobe Speedgrade Look 3D): the table holds a value that is not a finite number at lattice point (0, 0, 0)."},
        {SpeedgradeLook3D, aCube, "(read as Adobe Speedgrade Look 3D): no <look> element; the file is not a Speedgrade look."},
        {FsiDit3D, DitFile().substr(0, 4128), "Incomplete file. The file holds 4128 bytes of the 1048704 of a 64-point lattice."},
        {FsiDit3D, DitFile() + std::string(1000, 'x'),
         "the file holds 1000 bytes after the 64-point lattice; an FSI DIT file ends with its last point."},
        {FsiDit3D, aCube, "(read as FSI DIT (Flanders Scientific) 3D): the file does not start with the FSI DIT mark (99 02 34 42)."},
    };
  }();
  return cases;
}

class FormatCases : public testing::TestWithParam<int> {
protected:
  const TLutFormatInfo &Info() const { return kLutFormatInfo[GetParam()]; }
  TLUTFormat &Tested() const { return Format(Info().Id); }
};

TEST_P(FormatCases, WritersAreByteExact) {
  TLUT lut;
  int count = 0;
  for (const TWriteCase &c : WriteCases()) {
    if (c.Format != Info().Id)
      continue;
    ++count;
    c.Fill(lut);
    const std::string text = SaveText(c.Format, lut, c.Bits, c.FileName);
    if (c.Tail.empty()) {
      EXPECT_EQ(text, c.Text) << c.Bits;
    } else {
      EXPECT_EQ(text.substr(0, c.Text.size()), c.Text);
      EXPECT_EQ(text.substr(text.size() - std::min(text.size(), c.Tail.size())), c.Tail);
    }
  }
  // The binary FSI DIT file is checked field by field with its own test.
  if (Info().Writes && Info().Id != FsiDit3D) {
    EXPECT_GT(count, 0) << "no byte-exact case for " << Info().Name;
  }
  if (!Info().Writes) { // writes nothing, and says nothing
    TTempDir dir;
    FillFourEntries(lut);
    FillSmallLattice(lut);
    lut.Size1D = 2;
    Tested().SaveToFile(dir.File("none"), lut, 10);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path));
  }
}

TEST_P(FormatCases, ReadsTheValuesOfItsFiles) {
  int count = 0;
  for (const TReadCase &c : ReadCases()) {
    if (c.Format != Info().Id)
      continue;
    ++count;
    TLUT lut;
    const std::string where = c.Text.substr(0, 60);
    ASSERT_EQ(Load(c.Format, c.Text, lut), "") << where;
    EXPECT_EQ(lut.Mode, c.Mode) << where;
    if (c.Mode != kMode1D) {
      EXPECT_EQ(lut.Size3D, c.Size3D) << where;
    }
    if (c.Mode == kMode1D || c.Mode == kMode1DThen3D) {
      EXPECT_EQ(lut.Size1D, c.Size1D) << where;
    }
    EXPECT_EQ(lut.Comments, c.Comments) << where;
    for (const TAt &at : c.Values)
      EXPECT_EQ(at.g < 0 ? lut.Curve[at.r] : lut.Lattice[at.r][at.g][at.b], at.Value) << where << " at " << at.r << " " << at.g;
  }
  if (Info().Reads) {
    EXPECT_GT(count, 0) << "no read case for " << Info().Name;
  }
}

TEST_P(FormatCases, MalformedFilesAreRefusedWithTheirReason) {
  int count = 0;
  for (const TRefusal &c : Refusals()) {
    if (c.Format != Info().Id)
      continue;
    ++count;
    TLUT lut;
    lut.Comments = {"kept"};
    const std::string message = Load(c.Format, c.Text, lut);
    EXPECT_NE(message.find(c.Message), std::string::npos) << c.Text.substr(0, 60) << "\n-> " << message;
    // A failed load leaves nothing half-set in force, and only the comments it found before.
    EXPECT_EQ(lut.Mode, kModeIdentity);
    EXPECT_EQ(lut.Size1D + lut.Size3D, 0);
    EXPECT_EQ(lut.Comments, std::vector<std::string>{"kept"});
  }
  if (Info().Reads) {
    EXPECT_GT(count, 0) << "no refusal case for " << Info().Name;
  } else { // never claims a file, not even one it wrote, and refuses to read one
    EXPECT_FALSE(Tested().CanRead(TLutFileHead("e.txt", "0 512 1023\n256 0 1023\n")));
    TLUT lut;
    EXPECT_EQ(Load(Info().Id, "0 512 1023\n256 0 1023\n", lut),
              "\"in.txt\" (read as " + std::string(Info().Name) + "): " + std::string(Info().Name) +
                  " files are only written; this program does not read them.");
  }
}

std::string IdName(const testing::TestParamInfo<int> &info) {
  static const char *const names[] = {
#define LUT_FORMAT(Id, Class, Name, Is3D, Reads, Writes, Extensions, Family, MaxFileBytes) #Id,
#include "formats/LutFormats.def"
#undef LUT_FORMAT
  };
  return names[info.param];
}

INSTANTIATE_TEST_SUITE_P(Registry, FormatCases, testing::Range(0, kLutFormatCount), IdName);

} // namespace
} // namespace tintwise
