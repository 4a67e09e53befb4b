// The two tables, choosing a reader, and what every load and save guarantees.
#include <csignal>
#include <sys/resource.h>

#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

TEST(LutFormatTable, HoldsThe31FormatsInOrder) {
  InitLutFormats();
  InitLutFormats(); // a second call changes nothing
  // The order decides which reader wins a file that several claim; "3" marks a lattice format.
  const std::string rows =
      "3 Cube 3D Truelight|3 Cube 3D|3 Autodesk Lustre 3D|3 Pandora 3D, Technicolor|3 3DL|3 Nucoda 3D|3 Codex 3D|"
      "1 Cube 1D|3 Clipster 3D|3 Luther 3D|3 Colorfront OSD 3D|3 Davinci DAT 3D|3 Quantel 3D|1 Codex 1D, Scratch 1D|"
      "1 Autodesk Lustre 1D|1 Filmlight Truelight 1D|1 Quantel 1D|1 S.two 1D|1 Nucoda 1D|1 Colorfront OSD 1D|"
      "1 Fusion 1D|1 Blackmagic HDLink 1D|1 Cine-tal 1D|1 Shake 1D|1 DaVinci Resolve ilut 1D|"
      "1 DaVinci Resolve olut 1D|3 Adobe Speedgrade Look 3D|3 ASC CDL|3 PixelFarm PFClean 3D|"
      "3 FSI CFE (Flanders Scientific) 3D|3 FSI DIT (Flanders Scientific) 3D|";
  std::string table;
  for (int i = 0; i < LutFormatCount(); ++i) {
    table += (GetLutFormat(i)->Is3D ? "3 " : "1 ") + GetLutFormat(i)->Name + "|";
    EXPECT_EQ(LutFormatIndex(GetLutFormat(i)), i);
  }
  EXPECT_EQ(table, rows);
  EXPECT_EQ(GetLutFormat(-1), nullptr);
  EXPECT_EQ(GetLutFormat(31), nullptr);
}

TEST(LutFormatTable, HoldsThe31ProfilesInOrder) {
  InitLutFormats();
  struct Row {
    const char *name, *ext;
    int format, size, bits;
    bool sizeSel, bitsSel;
  } rows[] = {
      {"3DL Scratch, Autodesk, Blackmagic, Cine-tal", "3dl", 4, 17, 12, false, false},
      {"3DL Fusion", "3dl", 4, 33, 12, false, false},
      {"Autodesk Lustre 3D", "lut", 2, 33, 12, false, false},
      {"Clipster 3D", "txt", 8, 17, 16, false, false},
      {"Codex 3D", "txt", 6, 17, 12, false, false},
      {"Colorfront OSD 3D", "3dmesh", 10, 17, 0, false, false},
      {"Cube 3D Iridas, Nuke, AfterEffects", "cube", 1, 32, 0, false, false},
      {"Cube 3D Davinci", "cube", 1, 33, 0, true, false},
      {"Cube 3D Truelight", "cube", 0, 32, 0, false, false},
      {"Davinci DAT 3D", "dat", 11, 33, 0, false, false},
      {"Dolby DD3", "dd3", 4, 17, 12, false, false},
      {"FSI CFE (Flanders Scientific) 3D", "cfe", 29, 17, 0, false, false},
      {"FSI DIT (Flanders Scientific) 3D", "dat", 30, 64, 10, false, false},
      {"Nucoda 3D", "cms", 5, 33, 0, true, false},
      {"Luther 3D", "txt", 9, 33, 10, false, false},
      {"Pandora 3D, Apple 3D m3d", "m3d", 3, 17, 16, false, false},
      {"PixelFarm PFClean 3D", "pfl", 28, 16, 8, false, false},
      {"Quantel 3D", "txt", 12, 17, 12, false, false},
      {"Technicolor 3D mga", "mga", 3, 33, 16, false, false},
      {"Autodesk Lustre 1D", "lut", 14, 65536, 16, true, true},
      {"Blackmagic HDLink 1D", "txt", 21, 1024, 0, false, false},
      {"Cine-tal 1D", "txt", 22, 1024, 10, false, false},
      {"Codex 1D, Sony SRW-1, Scratch 1D", "dat", 13, 1024, 10, false, false},
      {"Colorfront OSD 1D", "1dlut", 19, 1024, 0, false, false},
      {"Cube 1D", "cube", 7, 4096, 0, false, false},
      {"Filmlight Truelight 1D", "cube", 15, 4096, 0, false, false},
      {"Fusion 1D", "alut", 20, 65536, 16, false, false},
      {"Nucoda 1D", "cms", 18, 4096, 0, false, false},
      {"Quantel 1D", "txt", 16, 1024, 10, false, false},
      {"S.two 1D", "swto.xml", 17, 1024, 10, false, false},
      {"Shake 1D", "txt", 23, 65536, 16, false, false},
  };
  ASSERT_EQ(LutOutputProfileCount(), 31);
  int threeD = 0;
  for (int i = 0; i < 31; ++i) {
    const TLutOutputProfile &p = GetLutOutputProfile(i);
    EXPECT_EQ(p.Name, rows[i].name);
    EXPECT_EQ(p.Extension, rows[i].ext) << p.Name;
    EXPECT_EQ(p.FormatIndex, rows[i].format) << p.Name;
    EXPECT_EQ(p.DefaultSize, rows[i].size) << p.Name;
    EXPECT_EQ(p.DefaultBits, rows[i].bits) << p.Name;
    EXPECT_EQ(p.SizeSelectable, rows[i].sizeSel) << p.Name;
    EXPECT_EQ(p.BitsSelectable, rows[i].bitsSel) << p.Name;
    threeD += GetLutFormat(p.FormatIndex)->Is3D;
  }
  EXPECT_EQ(threeD, 19); // the profiles the Save LUT dialog offers
  EXPECT_THROW(GetLutOutputProfile(31), ELUTError);
}

TEST(FindLutFormat, AsksTheFormatsInTableOrder) {
  TTempDir dir;
  const std::string sop = "<SOPNode><Slope>1 1 1</Slope><Offset>0 0 0</Offset><Power>1 1 1</Power></SOPNode>";
  struct Case {
    const char *name;
    std::string text;
    int format; // -1: none
  } cases[] = {
      {"a.cube", "LUT_3D_SIZE 2\n", kCube3D},
      {"b.cube", "LUT_1D_SIZE 2\n", kCube1D},
      {"c.cube", "LUT_1D_SIZE 2\nLUT_3D_SIZE 2\n", kCube3D}, // claimed by both; the first wins
      {"d.cfe", "LUT_3D_VERSION 2.0.0\nLUT_3D_SIZE 2\n", kFsiCfe},
      {"e.cms", "NUCODA_3D_CUBE 1\nLUT_3D_SIZE 2\n", kNucoda3D},
      {"f.cube", "# iDims 3\n# oDims 3\n# width 2 2 2\n", kTruelight},
      {"g.3dl", "3DMESH\nMesh 1 12\n", kLustre3D}, // Lustre 3D comes before 3DL
      {"h.3DL", "0 512 1023\n", k3DL},
      {"i.dd3", "0 512 1023\n", -1},
      {"i.3dlx", "0 512 1023\n", -1},
      {"j.m3d", "channel 3d\nformat lut\n", kPandora},
      {"k.lut", "LUT12\n", kLustre1D},
      {"l.txt", "nothing to see\n", -1},
      {"m.3DMESH", "anything\n", kColorfront3D},
      {"n.1dLut", "anything\n", kColorfront1D},
      {"o.dat", "LUT: 3 2\n0\n1\n", kCodex1D}, // a Codex curve is no DaVinci lattice
      {"p.dat", "no numbers here\n", -1},
      {"q.txt", "3dlutsize 2\n", kDavinciDat}, // the keyword, whatever the extension
      {"r.txt", "# channels: C3\n", kLuther},
      {"s.txt", "<LUT3D N='2'>", kClipster},
      {"t.ilut", "0 0 0\n", kILut},
      {"u.ILUT", "<IRIDAScript>\n0 0 0\n", -1}, // an IRIDAS script is no curve
      {"v.OLUT", "0 0 0\n", kOLut},
      {"w.cc", "<ColorCorrection id='x'>" + sop + "</ColorCorrection>", kCdl},
      {"x.cc", "<ColorCorrection><SatNode/></ColorCorrection>", -1},
      {"y.ccc", "<ColorCorrectionCollection><ColorCorrection>" + sop + "</ColorCorrection></ColorCorrectionCollection>", -1},
  };
  InitLutFormats();
  for (const Case &c : cases) {
    WriteText(dir.File(c.name), c.text);
    TLUTFormat *f = FindLutFormat(dir.File(c.name));
    EXPECT_EQ(f, GetLutFormat(c.format)) << c.name << " -> " << (f ? f->Name : "none");
  }
  // An FSI DIT file (binary, also ".dat") is not taken for a DaVinci lattice.
  TLUT dit;
  FillLattice(dit, 64);
  Format(kFsiDit).SaveToFile(dir.File("dit.dat"), dit, 10);
  EXPECT_EQ(FindLutFormat(dir.File("dit.dat")), &Format(kFsiDit));
  TLUT lut;
  try {
    LoadLutFile(dir.File("l.txt"), lut);
    FAIL();
  } catch (const ELUTError &e) {
    EXPECT_NE(std::string(e.what()).find("no known LUT format recognises this file"), std::string::npos);
  }
  EXPECT_THROW(FindLutFormat(dir.File("missing.cube")), ETintwiseError);
}

// Every writable profile at its default size and depth reads back within half a step of what it
// wrote (6 decimals, 2 for HDLink's values times 1000), and the file is taken for its format
// unless the row says otherwise.
TEST(LutProfiles, EveryProfileRoundTripsWithinItsQuantisation) {
  TTempDir dir;
  InitLutFormats();
  for (int i = 0; i < LutOutputProfileCount(); ++i) {
    const TLutOutputProfile &p = GetLutOutputProfile(i);
    TLUTFormat &format = *GetLutFormat(p.FormatIndex);
    if (!format.CanReadFiles() || format.Name == "Cine-tal 1D" || format.Name == "Shake 1D")
      continue;
    const std::string file = dir.File("p" + std::to_string(i) + "." + p.Extension);
    TLUT in, out;
    format.Is3D ? FillLattice(in, p.DefaultSize) : FillCurve(in, p.DefaultSize);
    format.SaveToFile(file, in, p.DefaultBits);
    // A ".dd3" is a 3DL file that no reader takes by its name.
    EXPECT_EQ(FindLutFormat(file), p.Extension == "dd3" ? nullptr : &format) << p.Name;
    format.LoadFromFile(file, out);
    const double step = p.FormatIndex == kFsiDit       ? 0.5 / 1008
                        : p.FormatIndex == kBlackmagic ? 0.5e-5
                        : p.DefaultBits                ? 0.5 / (std::ldexp(1.0, p.DefaultBits) - 1)
                                                       : 0.5e-6;
    const int n = p.DefaultSize;
    ASSERT_EQ(format.Is3D ? out.Size3D : out.Size1D, n) << p.Name;
    EXPECT_EQ(out.Mode, p.FormatIndex == kNucoda3D ? kMode1DThen3D : format.Is3D ? kMode3D : kMode1D) << p.Name;
    for (int a = 0; a < n; ++a)
      for (int b = 0; b < (format.Is3D ? n : 1); ++b) {
        const int c = (a * 7 + b * 3 + 1) % n;
        const TLutTriple &x = format.Is3D ? in.Lattice[a][b][c] : in.Curve[a];
        const TLutTriple &y = format.Is3D ? out.Lattice[a][b][c] : out.Curve[a];
        for (int k = 0; k < 3; ++k)
          ASSERT_NEAR(x[k], y[k], step + 1e-9) << p.Name << " at " << a << " " << b << " " << c;
      }
  }
}

// Whatever goes wrong, a failed load leaves the identity and the earlier comments, never a
// negative size or a half-set table in force.
TEST(LutLoading, AFailedLoadResetsTheLut) {
  TTempDir dir;
  struct Case {
    int format;
    const char *name, *text;
  } cases[] = {
      {kCube3D, "short.cube", "# kept out\nLUT_3D_SIZE 2\n0 0 0\n"},
      {kCube3D, "nosize.cube", "0 0 0\n"},
      {kCube3D, "bad.cube", "LUT_3D_SIZE 2x\n"},
      {kLustre3D, "nomesh.lut", "3DMESH\n0 0 0\n"},
      {kCube3D, "missing.cube", nullptr},
  };
  for (const Case &c : cases) {
    if (c.text)
      WriteText(dir.File(c.name), c.text);
    TLUT lut;
    FillLattice(lut, 5);
    lut.Comments = {"before"};
    EXPECT_THROW(Format(c.format).LoadFromFile(dir.File(c.name), lut), ETintwiseError) << c.name;
    EXPECT_EQ(lut.Mode, kModeIdentity) << c.name;
    EXPECT_EQ(lut.Size3D, 0) << c.name;
    EXPECT_EQ(lut.Size1D, 0) << c.name;
    EXPECT_EQ(lut.Comments, std::vector<std::string>{"before"}) << c.name;
    EXPECT_EQ(lut.Evaluate({0.2, 0.4, 0.6}), (TLutTriple{0.2, 0.4, 0.6}));
  }
}

TEST(LutSaving, RefusesSizesAndDepthsTheFormatCannotHold) {
  TTempDir dir;
  TLUT lut;
  FillLattice(lut, 17);
  lut.Size3D = 1;
  EXPECT_THROW(Format(kCube3D).SaveToFile(dir.File("a.cube"), lut, 0), ELUTError);
  lut.Size3D = 102;
  EXPECT_THROW(Format(kCube3D).SaveToFile(dir.File("a.cube"), lut, 0), ELUTError);
  lut.Size3D = 17;
  EXPECT_THROW(Format(k3DL).SaveToFile(dir.File("a.3dl"), lut, 0), ELUTError);
  EXPECT_THROW(Format(k3DL).SaveToFile(dir.File("a.3dl"), lut, 17), ELUTError);
  EXPECT_THROW(Format(kFsiDit).SaveToFile(dir.File("a.dat"), lut, 10), ELUTError); // 64 only
  lut.Size3D = 20;
  EXPECT_THROW(Format(kLustre3D).SaveToFile(dir.File("a.lut"), lut, 12), ELUTError); // not 2^m + 1
  FillCurve(lut, 1);
  EXPECT_THROW(Format(kCube1D).SaveToFile(dir.File("a.cube"), lut, 0), ELUTError);
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path));
}

// A write that fails half way (here: the file size limit) leaves the old file as it was.
TEST(LutSaving, AFailedWriteLeavesTheOldFile) {
  TTempDir dir;
  const std::string file = dir.File("keep.cube");
  WriteText(file, "old contents\n");
  TLUT lut;
  FillLattice(lut, 33);
  struct rlimit old {};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool raised = false;
  try {
    Format(kCube3D).SaveToFile(file, lut, 0);
  } catch (const EFCreateError &) {
    raised = true;
  }
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_TRUE(raised);
  EXPECT_EQ(ReadText(file), "old contents\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path), {}), 1);
}

} // namespace
} // namespace tintwise
