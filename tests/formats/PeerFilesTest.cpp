// LUT files written by another project: each loads to the values it holds, or is refused with the
// reason when it cannot be read right.
#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

struct TPoint {
  int r, g, b;
  double R, G, B; // codes
};

void ExpectLattice(const std::string &name, TLutFormatId format, int size, double maxCode, std::initializer_list<TPoint> points) {
  TLUT lut;
  TLUTFormat *found = LoadLutFile(PeerFile(name), lut);
  EXPECT_EQ(found, &Format(format)) << name;
  ASSERT_EQ(lut.Mode, kMode3D) << name;
  ASSERT_EQ(lut.Size3D, size) << name;
  for (const TPoint &p : points)
    EXPECT_EQ(lut.Lattice[p.r][p.g][p.b], (TLutTriple{p.R / maxCode, p.G / maxCode, p.B / maxCode}))
        << name << " " << p.r << " " << p.g << " " << p.b;
}

TEST(PeerFiles, LatticesReadToTheirValues) {
  InitLutFormats();
  // Blue fastest in all of these; the first and last value lines and a few between.
  ExpectLattice("discreet-3d-lut.3dl", Lustre3D, 17, 4095,
                {{0, 0, 0, 17, 17, 17}, {0, 0, 1, 0, 0, 68}, {0, 1, 0, 0, 79, 53}, {16, 16, 16, 4092, 4094, 4094}});
  ExpectLattice("lustre_33x33x33.3dl", Lustre3D, 33, 4095,
                {{0, 0, 0, 2, 4, 4}, {0, 0, 1, 0, 30, 71}, {32, 32, 32, 3983, 3894, 3507}});
  ExpectLattice("crosstalk.3dl", ThreeDL, 17, 65535,
                {{0, 0, 1, 0, 0, 2374}, {0, 1, 0, 0, 1981, 255}, {16, 16, 16, 25616, 35585, 42060}});
  ExpectLattice("pandora_3d.m3d", Pandora3D, 2, 255,
                {{0, 0, 1, 0, 0, 204}, {0, 1, 0, 0, 204, 0}, {1, 0, 1, 255, 0, 255}, {1, 1, 1, 306, 255, 306}});
}

TEST(PeerFiles, CurvesReadToTheirValues) {
  InitLutFormats();
  struct Case {
    const char *name;
    TLutFormatId format;
    int size, entry;
    TLutTriple value;
  } cases[] = {
      {"legacy_slog_to_log_v3_lustre.lut", Lustre1D, 1024, 17, {16 / 4095.0, 16 / 4095.0, 16 / 4095.0}},
      {"legacy_slog_to_log_v3_lustre.lut", Lustre1D, 1024, 1023, {1, 1, 1}},
      // A Discreet 1D table ("LUT: 3 256 256") in the Codex 1D layout.
      {"logtolin_8to8.lut", Codex1D, 256, 0, {0, 0, 0}},
      {"logtolin_8to8.lut", Codex1D, 256, 100, {72 / 255.0, 72 / 255.0, 72 / 255.0}},
      {"logtolin_8to8.lut", Codex1D, 256, 255, {1, 1, 1}},
  };
  for (const Case &c : cases) {
    TLUT lut;
    EXPECT_EQ(LoadLutFile(PeerFile(c.name), lut), &Format(c.format)) << c.name;
    ASSERT_EQ(lut.Mode, kMode1D) << c.name;
    ASSERT_EQ(lut.Size1D, c.size) << c.name;
    EXPECT_EQ(lut.Curve[c.entry], c.value) << c.name << " " << c.entry;
  }
}

TEST(PeerFiles, FilesThatCannotBeReadRightAreRefused) {
  InitLutFormats();
  struct Case {
    const char *name, *message;
  } cases[] = {
      // Input domains other than 0..1: refused, not read as 0..1.
      {"iridas_1d.cube", "line 2: DOMAIN_MIN -2.0 1.0 0.0: input ranges other than 0 to 1 are not supported."},
      {"iridas_3d.cube", "line 3: DOMAIN_MIN 0.0 1.0 0.0: input ranges other than 0 to 1 are not supported."},
      {"resolve_1d3d.cube", "line 2: LUT_1D_INPUT_RANGE -1.0 3.0: input ranges other than 0 to 1 are not supported."},
      {"error_truncated_file.3dl", "Incomplete file."},
      // Discreet 1D tables ("LUT: 3 4096") read as Codex 1D; half-float codes and a short table are
      // refused.
      {"Test_12to16fp.lut", "line 4: 8410 is outside the codes 0 to 4095 of this curve; the file's output depth is not the one its \"LUT:\" line gives."},
      {"error_truncated_file.lut", "Incomplete file."},
  };
  for (const Case &c : cases) {
    TLUT lut;
    try {
      LoadLutFile(PeerFile(c.name), lut);
      ADD_FAILURE() << c.name << " loaded";
    } catch (const ETintwiseError &e) {
      const std::string message = e.what();
      EXPECT_NE(message.find(c.message), std::string::npos) << c.name << " -> " << message;
    }
    EXPECT_EQ(lut.Mode, kModeIdentity) << c.name;
  }
}

} // namespace
} // namespace tintwise
