// Every format of the registry against its own cases: the bytes its writer writes and the damaged
// files its reader refuses, with the reason. A format added to the registry without cases fails
// here until it has some.
#include <filesystem>

#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

// The format and profile tables of the design, copied out by hand: index, kind, name, whether it
// reads and writes; then each profile's name, extension, format index, size, bits and what the
// user may choose.
constexpr const char *kDesignedFormats =
    "0 3D rw Cube 3D Truelight|1 3D rw Cube 3D|2 3D rw Autodesk Lustre 3D|3 3D rw Pandora 3D, Technicolor|"
    "4 3D rw 3DL|5 3D rw Nucoda 3D|6 3D rw Codex 3D|7 1D rw Cube 1D|8 3D rw Clipster 3D|9 3D rw Luther 3D|"
    "10 3D rw Colorfront OSD 3D|11 3D rw Davinci DAT 3D|12 3D rw Quantel 3D|13 1D rw Codex 1D, Scratch 1D|"
    "14 1D rw Autodesk Lustre 1D|15 1D rw Filmlight Truelight 1D|16 1D rw Quantel 1D|17 1D rw S.two 1D|"
    "18 1D -w Nucoda 1D|19 1D rw Colorfront OSD 1D|20 1D rw Fusion 1D|21 1D rw Blackmagic HDLink 1D|"
    "22 1D -w Cine-tal 1D|23 1D -w Shake 1D|24 1D r- DaVinci Resolve ilut 1D|25 1D r- DaVinci Resolve olut 1D|"
    "26 3D r- Adobe Speedgrade Look 3D|27 3D r- ASC CDL|28 3D rw PixelFarm PFClean 3D|"
    "29 3D rw FSI CFE (Flanders Scientific) 3D|30 3D rw FSI DIT (Flanders Scientific) 3D|";
constexpr const char *kDesignedProfiles =
    "3DL Scratch, Autodesk, Blackmagic, Cine-tal.3dl 4 17 12|3DL Fusion.3dl 4 33 12|Autodesk Lustre 3D.lut 2 33 12|"
    "Clipster 3D.txt 8 17 16|Codex 3D.txt 6 17 12|Colorfront OSD 3D.3dmesh 10 17 0|"
    "Cube 3D Iridas, Nuke, AfterEffects.cube 1 32 0|Cube 3D Davinci.cube 1 33 0 size|Cube 3D Truelight.cube 0 32 0|"
    "Davinci DAT 3D.dat 11 33 0|Dolby DD3.dd3 4 17 12|FSI CFE (Flanders Scientific) 3D.cfe 29 17 0|"
    "FSI DIT (Flanders Scientific) 3D.dat 30 64 10|Nucoda 3D.cms 5 33 0 size|Luther 3D.txt 9 33 10|"
    "Pandora 3D, Apple 3D m3d.m3d 3 17 16|PixelFarm PFClean 3D.pfl 28 16 8|Quantel 3D.txt 12 17 12|"
    "Technicolor 3D mga.mga 3 33 16|Autodesk Lustre 1D.lut 14 65536 16 size bits|Blackmagic HDLink 1D.txt 21 1024 0|"
    "Cine-tal 1D.txt 22 1024 10|Codex 1D, Sony SRW-1, Scratch 1D.dat 13 1024 10|Colorfront OSD 1D.1dlut 19 1024 0|"
    "Cube 1D.cube 7 4096 0|Filmlight Truelight 1D.cube 15 4096 0|Fusion 1D.alut 20 65536 16|Nucoda 1D.cms 18 4096 0|"
    "Quantel 1D.txt 16 1024 10|S.two 1D.swto.xml 17 1024 10|Shake 1D.txt 23 65536 16|";

TEST(LutRegistry, HoldsTheDesignedTables) {
  InitLutFormats();
  std::string formats, profiles;
  for (int i = 0; i < LutFormatCount(); ++i) {
    const TLUTFormat &f = *GetLutFormat(i);
    formats += std::to_string(i) + (f.Is3D ? " 3D " : " 1D ") + (f.CanReadFiles() ? "r" : "-") +
               (f.CanWrite() ? "w " : "- ") + f.Name + "|";
    EXPECT_EQ(LutFormatIndex(&f), i);
  }
  for (int i = 0; i < LutOutputProfileCount(); ++i) {
    const TLutOutputProfile &p = GetLutOutputProfile(i);
    profiles += p.Name + "." + p.Extension + " " + std::to_string(p.FormatIndex) + " " + std::to_string(p.DefaultSize) +
                " " + std::to_string(p.DefaultBits) + (p.SizeSelectable ? " size" : "") + (p.BitsSelectable ? " bits" : "") + "|";
    // A profile's files carry an extension its format is known by.
    EXPECT_NE((" " + std::string(GetLutFormat(p.Format)->Info().Extensions) + " ").find(" " + p.Extension + " "),
              std::string::npos) << p.Name;
  }
  EXPECT_EQ(formats, kDesignedFormats);
  EXPECT_EQ(profiles, kDesignedProfiles);
  EXPECT_EQ(GetLutFormat(-1), nullptr);
  EXPECT_EQ(GetLutFormat(31), nullptr);
  EXPECT_THROW(GetLutOutputProfile(31), ELUTError);
  // The fuzz targets take each format's dictionary from its family.
  for (const TLutFormatInfo &info : kLutFormatInfo)
    EXPECT_TRUE(std::filesystem::exists(std::string(TINTWISE_SOURCE_DIR) + "/fuzz/dict/" + std::string(info.Family) + ".dict"))
        << info.Name;
}

// A curve whose entries show clamping, rounding half to even and every column order.
void FillTwoEntries(TLUT &lut) {
  lut.Mode = kMode1D;
  lut.Size1D = 2;
  lut.Curve[0] = {0, 0.5, 1.7};
  lut.Curve[1] = {0.25, -0.2, 1};
}

void FillFourEntries(TLUT &lut) {
  FillTwoEntries(lut);
  lut.Size1D = 4;
  lut.Curve[2] = {1, 0.5, 0.125};
  lut.Curve[3] = {0.5, 0.25, 0};
}

void FillCommentedLattice(TLUT &lut) {
  FillSmallLattice(lut);
  lut.Comments = {"first", "second"};
}

void FillCommentedCurve(TLUT &lut) {
  lut.Comments = {"line\nbreak"}; // a comment never becomes a line of its own
  lut.Mode = kMode1D;
  lut.Size1D = 3;
  lut.Curve[0] = {0, 0.1, 0.2};
  lut.Curve[1] = {0.5, -0.5, 1};
  lut.Curve[2] = {1, 1.25, 2};
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
  using enum TLutFormatId;
  static const std::vector<TWriteCase> cases = [] {
    const std::string decimals = SmallLatticeDecimalLines(), blueFirst = SmallLatticeDecimalLines(true);
    const std::string codes12 = SmallLatticeCodeLines("1024", "2048", "4095");
    const std::string curve3 = "0.000000 0.100000 0.200000\n0.500000 -0.500000 1.000000\n1.000000 1.250000 2.000000\n";
    return std::vector<TWriteCase>{
        {Cube3D, FillCommentedLattice, 0, "a.cube",
         "# first\n# second\n# Converted by Oxel LUT Converter\n\nLUT_3D_SIZE 2\n" + decimals},
        {Cube3DTruelight, FillCommentedLattice, 0, "a.cube",
         "# Truelight Cube v2.0\n# iDims     3\n# oDims     3\n# width     2 2 2\n\n# Cube\n" + decimals +
             "# end\n# Converted by Oxel LUT Converter\n"},
        {FsiCfe3D, FillCommentedLattice, 0, "a.cfe",
         "LUT_3D_AUTHOR Oxel LUT Converter\nLUT_3D_MODEL CM240\nLUT_3D_VERSION 2.0.0\nLUT_3D_SIZE 2\n\n" + decimals},
        {Cube1D, FillCommentedCurve, 0, "a.cube",
         "# line break\n# Converted by Oxel LUT Converter\n\nLUT_1D_SIZE 3\n" + curve3},
        {Nucoda1D, FillCommentedCurve, 0, "look.cms", "NUCODA_3D_CUBE 2\n\nTITLE \"look\"\n\nLUT_1D_SIZE 3\n\n" + curve3},
        // A 4096-entry curve in lattice units, then the lattice.
        {Nucoda3D, FillSmallLattice, 0, "my.look.cms",
         "NUCODA_3D_CUBE 1\n\nTITLE \"my.look\"\n\nLUT_1D_SIZE 4096\nLUT_3D_SIZE 2\n\n"
         "0.000000 0.000000 0.000000\n0.008059 0.008059 0.008059\n",
         "32.991940 32.991940 32.991940\n32.999999 32.999999 32.999999\n\n" + decimals},
        {ThreeDL, FillCommentedLattice, 12, "a.3dl",
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
        {Clipster3D, FillSmallLattice, 16, "grade.txt",
         "<LUT3D name='grade' N='2' BitDepth='16'>\n<values>\n" + SmallLatticeCodeLines("16384", "32768", "65535") +
             "</values>\n</LUT3D>\n"},
        {Luther3D, FillSmallLattice, 10, "a.txt", "#channels: c3\n#elements = 8\n" + SmallLatticeCodeLines("256", "512", "1023")},
        {ColorfrontOsd3D, FillSmallLattice, 0, "a.3dmesh", blueFirst},
        {DavinciDat3D, FillSmallLattice, 0, "a.dat", "3DLUTSIZE 2\n\n" + blueFirst},
        {ColorfrontOsd1D, FillTwoEntries, 0, "a.1dlut", "0.000000 0.500000 1.700000\n0.250000 -0.200000 1.000000\n"},
        {Filmlight1D, FillTwoEntries, 0, "a.cube",
         "# Truelight Cube v2.0\n# lutLength 2\n# iDims     3\n\n# InputLUT\n0.000000 0.500000 1.700000\n"
         "0.250000 -0.200000 1.000000\n# end\n# Converted by Oxel LUT Converter\n"},
        {Stwo1D, FillTwoEntries, 10, "curve.swto.xml",
         "<?xml version=\"1.0\"?>\n<lut name=\"curve.swto\">\n<data>\n<elem r=\"0\" g=\"512\" b=\"1023\"/>\n"
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

struct TRefusal {
  TLutFormatId Format;
  std::string Text, Message; // the message's end
};

std::string Repeat(const std::string &line, int times) {
  std::string s;
  for (int i = 0; i < times; ++i)
    s += line;
  return s;
}

const std::vector<TRefusal> &Refusals() {
  using enum TLutFormatId;
  static const std::vector<TRefusal> cases = [] {
    const std::string small = SmallLatticeDecimalLines(), eight = Repeat("0 0 0\n", 8), tooLong = Repeat("1 2 3\n", 100002);
    const std::string values = "<values>" + eight + "</values>", cube = "<cube>" + Repeat("1 1 1\n", 8) + "</cube>";
    const std::string depth = " the file's output depth is not the one its \"LUT:\" line gives.";
    const std::string tooLarge3D = "a lattice of 102 points per axis is not possible; 2 to 101 are.";
    const std::string sop = "<Offset>0 0 0</Offset><Power>1 1 1</Power>";
    auto look = [](const std::string &lut) { return "<look><shaders><base/></shaders>" + lut + "</look>"; };
    const std::string lookData = "<data>\"" + Repeat("0000803f", 24) + "\"</data>";
    std::string numberedPoints; // point numbers 0 to 7
    for (int i = 0; i < 8; ++i)
      numberedPoints += std::to_string(i) + " 0 0 0\n";
    std::string numbered; // entry numbers count up, as the index column must
    for (int i = 0; i <= kMaxSize1D; ++i)
      numbered += std::to_string(i) + " 1 2 3\n";
    std::string dit(128, '\0');
    dit.replace(0, 4, "\x99\x02\x34\x42");
    return std::vector<TRefusal>{
        {Cube3D, "LUT_3D_SIZE 102\n", "in.txt\" (read as Cube 3D), line 1: LUT_3D_SIZE 102: " + tooLarge3D},
        {Cube3D, "LUT_3D_SIZE 1\n0 0 0\n", "line 1: LUT_3D_SIZE 1: a lattice of 1 points per axis is not possible; 2 to 101 are."},
        {Cube3D, "LUT_3D_SIZE -4\n", "line 1: LUT_3D_SIZE -4: a lattice of -4 points per axis is not possible; 2 to 101 are."},
        {Cube3D, "LUT_3D_SIZE 2\n" + small + "0 0 0\n", "in.txt\" (read as Cube 3D), line 10: more values than LUT_3D_SIZE announces."},
        {Cube3D, "LUT_3D_SIZE 2x\n", "in.txt\" (read as Cube 3D), line 1: '2x' is not a valid integer value"},
        {Cube3D, "LUT_3D_SIZE\n", "in.txt\" (read as Cube 3D), line 1: '' is not a valid integer value"},
        {Cube3D, "DOMAIN_MIN 0.0 1.0 0.0\nLUT_3D_SIZE 2\n" + small,
         "line 1: DOMAIN_MIN 0.0 1.0 0.0: input ranges other than 0 to 1 are not supported."},
        {Cube3D, "LUT_3D_SIZE 2\nLUT_3D_INPUT_RANGE 0.0 4.0\n" + small,
         "line 2: LUT_3D_INPUT_RANGE 0.0 4.0: input ranges other than 0 to 1 are not supported."},
        // Seven lines, or eight with one of four numbers; a size line alone.
        {Cube3D, "LUT_3D_SIZE 2\n" + small.substr(0, small.rfind("1.000000")), "Incomplete file."},
        {Cube3D, "LUT_3D_SIZE 2\n" + small.substr(0, small.rfind("1.000000")) + "1 0.5 1.7 0\n", "Incomplete file."},
        {Cube3D, "LUT_3D_SIZE 2\n", "Incomplete file."},
        {Cube3D, "LUT_1D_SIZE 3\nLUT_3D_SIZE 2\n0 0 0\n0.25 0.5 0.75\n1 1 1\n" + small.substr(28), "Incomplete file."},
        {Cube1D, "LUT_1D_SIZE 100002\n", "line 1: LUT_1D_SIZE 100002: a curve of 100002 entries is not possible; 2 to 100001 are."},
        {Cube1D, "LUT_1D_SIZE 2\n0 0 0\n1 1 1\n1 1 1\n", "in.txt\" (read as Cube 1D), line 4: more values than LUT_1D_SIZE announces."},
        {Cube1D, "DOMAIN_MAX 2 2 2\nLUT_1D_SIZE 2\n0 0 0\n1 1 1\n",
         "line 1: DOMAIN_MAX 2 2 2: input ranges other than 0 to 1 are not supported."},
        {Cube1D, "LUT_1D_SIZE 2\nLUT_3D_SIZE 2\n", "line 2: the file holds a 3D lattice after its curve; it is read as a Cube 3D file."},
        {Cube3DTruelight, "# iDims 3\n# oDims 3\n# width 2 3 2\n",
         "line 3: # width 2 3 2: lattices with unequal widths are not supported."},
        {Cube3DTruelight, "# lutLength 3\n# width 2 2 2\n# InputLUT\n0 0 0\n1 1 1\n# Cube\n" + small, "Incomplete file."},
        {FsiCfe3D, "LUT_3D_VERSION 2.0.0\nLUT_3D_SIZE 2\n" + small.substr(28), "Incomplete file."},
        {Nucoda3D, "NUCODA_3D_CUBE 1\nLUT_3D_SIZE 2\n0 0 0\n", "Incomplete file."},
        {Nucoda3D, "NUCODA_3D_CUBE 2\nLUT_1D_SIZE 2\n0 0 0\n1 1 1\n2 2 2\n", "line 5: more values than LUT_1D_SIZE announces."},
        {Nucoda3D, "NUCODA_3D_CUBE 1\nTITLE \"t\"\n", "in.txt\" (read as Nucoda 3D): neither LUT_1D_SIZE nor LUT_3D_SIZE is given."},
        // A shaper that is not even would move every point.
        {ThreeDL, "0 0 68\n" + Repeat("0 0 0\n", 27), "line 1: the input shaper line is not evenly spaced; such files are not supported."},
        {ThreeDL, "0 10 20\n" + Repeat("0 0 0\n", 28), "line 29: more values than the input shaper line announces."},
        {ThreeDL, "0 10 20\n" + eight, "Incomplete file."},
        {ThreeDL, "3DMESH\nno numbers\n", "Incomplete file."},
        {Lustre3D, "3DMESH\nMesh 1 12\n" + Repeat("0 0 0\n", 29), "line 30: more values than the \"Mesh\" line announces."},
        {Lustre3D, "3DMESH\nMesh 1 12\n" + eight, "Incomplete file."},
        {Lustre3D, "3DMESH\n" + eight, "in.txt\" (read as Autodesk Lustre 3D): no \"Mesh\" line; the size of the lattice is unknown."},
        {Lustre3D, "3DMESH\nMesh 7 12\n", "line 2: Mesh 7 12: a lattice of 129 points per axis is not possible; 2 to 101 are."},
        {Lustre3D, "3DMESH\nMesh 4 x\n", "line 2: 'x' is not a valid integer value"},
        {Pandora3D, "channel 3d\nin 8\nout 4096\nformat lut\n" + eight, "Incomplete file."}, // no index column
        {Pandora3D, "channel 3d\nIN 8\nout 256\nformat lut\n" + Repeat("0 0 0 0\n", 8), "Incomplete file."},
        {Pandora3D, "channel 3d\nin 9\nout 256\n", "line 2: in 9: the number of points is not the cube of a whole number."},
        {Pandora3D, "channel 3d\nin 8\nout 1\n", "line 3: out 1: the number of output codes must be 2 or more."},
        {Pandora3D, "in 8\nout 256\n" + numberedPoints + "8 0 0 0\n", "line 11: more values than the \"in\" line announces."},
        {Lustre1D, "LUT12\n", "Incomplete file."},
        {Lustre1D, "LUT12\n0 0 0 0\n", "in.txt\" (read as Autodesk Lustre 1D): the file holds no usable table."},
        {Lustre1D, "LUT12\n" + numbered, "line 100003: more than 100001 entries; a curve holds no more."},
        {Codex3D, "Lut3D: 2\n" + eight.substr(6), "Incomplete file."},
        {Codex3D, eight, "Incomplete file."},
        {Codex3D, "Lut3D: 102\n", "Lut3D: 102: " + tooLarge3D},
        {Codex3D, "Lut3D: 1\n", "a lattice of 1 points per axis is not possible; 2 to 101 are."},
        {Codex3D, "Lut3D: 17x\n", "line 1: '17x' is not a valid integer value"},
        {Quantel3D, "vertices 2.\nmax value 1\n" + eight, "line 1: '2.' is not a valid integer value"},
        {Quantel3D, "vertices 2\n" + eight, "Incomplete file."}, // no maximum
        {Quantel3D, "vertices 2\nmax value 0\n" + eight, "max value 0: the maximum code must be 1 or more."},
        {Quantel1D, "gSize\t100002\ngMax\t1023\n", "a curve of 100002 entries is not possible; 2 to 100001 are."},
        {Quantel1D, "gSize\t2\ngMax\t0\n", "gMax\t0: the maximum code must be 1 or more."},
        {Codex1D, "LUT: 3 0\n", "a curve of 0 entries is not possible; 2 to 100001 are."},
        {Codex1D, "LUT: 3 2\n0\n1\n0\n1\n0\n", "Incomplete file."},
        {Codex1D, "LUT: 3 x2\n", "'x2' is not a valid integer value"},
        // Codes beyond the largest one: the file's output depth is not what its header says.
        {Codex1D, "LUT: 3 2\n0\n2\n", "line 3: 2 is outside the codes 0 to 1 of this curve;" + depth},
        {Codex1D, "LUT: 3 2\n0\n-1\n", "line 3: -1 is outside the codes 0 to 1 of this curve;" + depth},
        {Codex1D, "LUT: 3 4096 65536f\n", "LUT: 3 4096 65536f: half-float output values are not supported."},
        // A second header would restart the tables in the middle.
        {Codex1D, "LUT: 3 4\n0\n1\nLUT: 3 2\n", "line 4: a second \"LUT:\" line."},
        {Clipster3D, "<LUT3D N='2'>" + values + "</LUT3D>", "the LUT3D element has no BitDepth attribute; the values cannot be scaled."},
        {Clipster3D, "<LUT3D N='2' BitDepth='40'>" + values + "</LUT3D>", "BitDepth='40': 1 to 31 bits are possible."},
        {Clipster3D, "<LUT3D BitDepth='8'>" + values + "</LUT3D>", "N='': a lattice of 0 points per axis is not possible; 2 to 101 are."},
        {Clipster3D, "<LUT3D N='102' BitDepth='8'>" + values + "</LUT3D>", tooLarge3D},
        {Clipster3D, "<LUT3D N='2' BitDepth='8'></LUT3D>", "The \"values\" node is not found"},
        {Clipster3D, "<LUT3D N='two' BitDepth='8'>" + values + "</LUT3D>", "'two' is not a valid floating point value"},
        // A short list would leave the rest of the lattice as it was.
        {Clipster3D, "<LUT3D N='3' BitDepth='8'>" + values + "</LUT3D>", "Incomplete file."},
        {Luther3D, "#elements = 4900\n", "#elements = 4900: the number of elements is not the cube of a whole number."},
        {Luther3D, "#elements = 8x\n" + eight, "'8x' is not a valid integer value"},
        {Luther3D, "#elements = 1061208\n", tooLarge3D},
        {Luther3D, "#elements = 27\n" + eight, "Incomplete file."},
        {ColorfrontOsd3D, eight + "0 0 0\n", "the file holds 9 lines of values, which is not the number of points of a lattice (n * n * n)."},
        {ColorfrontOsd3D, "0 0 0\n", "1 lines of values: a lattice of 1 points per axis is not possible; 2 to 101 are."},
        {ColorfrontOsd3D, "# nothing\n", "the file holds 0 lines of values, which is not the number of points of a lattice (n * n * n)."},
        {DavinciDat3D, "3DLUTSIZE 3\n" + eight, "Incomplete file."},
        {ColorfrontOsd1D, "# only a comment\n\n", "Incomplete file."},
        {ColorfrontOsd1D, tooLong, "line 100002: more than 100001 entries; a curve holds no more."},
        {Filmlight1D, "# lutLength 3\n0 0 0\n1 1 1\n", "Incomplete file."},
        {Filmlight1D, "0 0 0\n1 1 1\n", "Incomplete file."},
        {Filmlight1D, "# lutLength 3x\n", "'3x' is not a valid integer value"},
        {Filmlight1D, "# lutLength 100002\n", "a curve of 100002 entries is not possible; 2 to 100001 are."},
        {Fusion1D, "F5LT\n\n16\n", "Incomplete file."},
        {Fusion1D, "F5LT\n0\n0 0 0 0 0 0\n", "0: a bit depth of 1 to 31 is possible."},
        {Blackmagic1D, "R G B - HDLINK\n", "Incomplete file."},
        {Blackmagic1D, "HDLINK\n" + tooLong, "line 100003: more than 100001 entries; a curve holds no more."},
        {DavinciILut1D, "# nothing\n", "Incomplete file."},
        {DavinciOLut1D, tooLong, "line 100002: more than 100001 entries; a curve holds no more."},
        {Stwo1D, "<lut><elem r='1'/></lut>", "The \"data\" node is not found"},
        {Stwo1D, "<lut><data><elem r='x'/></data></lut>", "'x' is not a valid floating point value"},
        {Stwo1D, "<lut><data><elem r='1'/></data></lut>", "the file holds no usable table."}, // one entry is no curve
        {PFClean3D, "<lut><maximum>1</maximum><size>2</size></lut>", "The \"cube\" node is not found"},
        {PFClean3D, "<lut><maximum>1</maximum>" + cube + "</lut>", "The \"size\" node is not found"},
        {PFClean3D, "<lut><maximum>1</maximum><size>3</size>" + cube + "</lut>", "Incomplete file."},
        {PFClean3D, "<lut><maximum>0</maximum><size>2</size>" + cube + "</lut>", "<maximum>0</maximum>: the maximum code must be 1 or more."},
        {PFClean3D, "<lut><maximum>1</maximum><size>102</size>" + cube + "</lut>", "<size>102</size>: " + tooLarge3D},
        // In a decision list the correction is not a child of the root.
        {AscCdl, "<ColorDecisionList><ColorDecision><ColorCorrection><SOPNode><Slope>1 1 1</Slope>" + sop +
                     "</SOPNode></ColorCorrection></ColorDecision></ColorDecisionList>",
         "The \"ColorCorrection\" node is not found"},
        {AscCdl, "<ColorCorrection><SOPNode><Slope>1 x 1</Slope></SOPNode></ColorCorrection>",
         "in.txt\" (read as ASC CDL): 'x' is not a valid floating point value"},
        {AscCdl, "<ColorCorrection><SOPNode><Slope>1 1</Slope>" + sop + "</SOPNode></ColorCorrection>",
         "'' is not a valid floating point value"},
        // Data that ends before the last point or inside a value; a size that is not one.
        {SpeedgradeLook3D, look("<LUT><size>\"3\"</size>" + lookData + "</LUT>"), "Incomplete file."},
        {SpeedgradeLook3D, look("<LUT><size>\"2\"</size><data>\"0000803f0000\"</data></LUT>"), "Incomplete file."},
        {SpeedgradeLook3D, look("<LUT><size>\"129\"</size>" + lookData + "</LUT>"),
         "a lattice of 129 points per axis is not possible; 2 to 101 are."},
        // Cutting the first and last characters whatever they are would read this as 2.
        {SpeedgradeLook3D, look("<LUT><size>129</size>" + lookData + "</LUT>"),
         "a lattice of 129 points per axis is not possible; 2 to 101 are."},
        {SpeedgradeLook3D, look("<LUT><size>\"1\"</size>" + lookData + "</LUT>"),
         "a lattice of 1 points per axis is not possible; 2 to 101 are."},
        {SpeedgradeLook3D, look("<LUT><size>\"x\"</size>" + lookData + "</LUT>"), "'x' is not a valid integer value"},
        {SpeedgradeLook3D, look("<LUT><size>\"2\"</size></LUT>"), "The \"data\" node is not found"},
        {SpeedgradeLook3D, look("<LUT>" + lookData + "</LUT>"), "The \"size\" node is not found"},
        {FsiDit3D, dit, "Incomplete file."}, // the header alone
    };
  }();
  return cases;
}

class FormatCases : public testing::TestWithParam<int> {
protected:
  const TLutFormatInfo &Info() const { return kLutFormatInfo[GetParam()]; }
};

TEST_P(FormatCases, WritersAreByteExact) {
  TLUT lut;
  int count = 0;
  for (const TWriteCase &c : WriteCases()) {
    if (c.Format != Info().Id)
      continue;
    ++count;
    c.Fill(lut);
    const std::string text = SaveText(GetParam(), lut, c.Bits, c.FileName);
    if (c.Tail.empty()) {
      EXPECT_EQ(text, c.Text) << c.Bits;
    } else {
      EXPECT_EQ(text.substr(0, c.Text.size()), c.Text);
      EXPECT_TRUE(EndsWith(text, c.Tail));
    }
  }
  // The binary FSI DIT file is checked field by field with its own test.
  if (Info().Writes && Info().Id != TLutFormatId::FsiDit3D) {
    EXPECT_GT(count, 0) << "no byte-exact case for " << Info().Name;
  }
  if (!Info().Writes) { // writes nothing, and says nothing
    TTempDir dir;
    FillTwoEntries(lut);
    FillSmallLattice(lut);
    lut.Size1D = 2;
    Format(GetParam()).SaveToFile(dir.File("none"), lut, 10);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path));
  }
}

TEST_P(FormatCases, MalformedFilesAreRefusedWithTheirReason) {
  int count = 0;
  for (const TRefusal &c : Refusals()) {
    if (c.Format != Info().Id)
      continue;
    ++count;
    TLUT lut;
    const std::string message = Load(GetParam(), c.Text, lut);
    EXPECT_NE(message.find(c.Message), std::string::npos) << c.Text.substr(0, 60) << "\n-> " << message;
    EXPECT_EQ(lut.Mode, kModeIdentity); // a failed load leaves nothing half-set in force
  }
  if (Info().Reads) {
    EXPECT_GT(count, 0) << "no refusal case for " << Info().Name;
  } else { // never claims a file, not even one it wrote, and refuses to read one
    EXPECT_FALSE(Format(GetParam()).CanRead(TLutFileHead("e.txt", "0 512 1023\n256 0 1023\n")));
    EXPECT_EQ(LoadError(GetParam(), "0 512 1023\n256 0 1023\n"),
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
