// The two tables, choosing a reader, and what every load and save guarantees.
#include <csignal>
#include <sys/resource.h>

#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

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
    TLUTFormat *f = FindLutFormat(TLutFileHead(c.name, c.text));
    EXPECT_EQ(f, GetLutFormat(c.format)) << c.name << " -> " << (f ? f->Name : "none");
  }
  // An FSI DIT file (binary, also ".dat") is not taken for a DaVinci lattice.
  TLUT dit;
  FillLattice(dit, 64);
  Format(kFsiDit).SaveToFile(dir.File("dit.dat"), dit, 10);
  EXPECT_EQ(FindLutFormat(dir.File("dit.dat")), &Format(kFsiDit));
  TLUT lut;
  WriteText(dir.File("l.txt"), "nothing to see\n");
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
