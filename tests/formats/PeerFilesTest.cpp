// LUT files written by another project: each loads to the values it holds, or is refused with the
// reason when it cannot be read right.
#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

// The first and last values of each file and a few between, codes as the file writes them; the files
// that cannot be read right are refused with the reason.
TEST(PeerFiles, FilesReadToTheirValuesOrAreRefused) {
  struct Case {
    const char *name;
    TLutFormatId format;
    int size;
    double maxCode;
    int r, g, b; // a lattice point, or curve entry r when g is -1
    TLutTriple codes;
  } cases[] = {
      // Blue fastest in all of these lattices.
      {"discreet-3d-lut.3dl", Lustre3D, 17, 4095, 0, 0, 0, {17, 17, 17}},
      {"discreet-3d-lut.3dl", Lustre3D, 17, 4095, 0, 0, 1, {0, 0, 68}},
      {"discreet-3d-lut.3dl", Lustre3D, 17, 4095, 16, 16, 16, {4092, 4094, 4094}},
      {"lustre_33x33x33.3dl", Lustre3D, 33, 4095, 0, 0, 1, {0, 30, 71}},
      {"lustre_33x33x33.3dl", Lustre3D, 33, 4095, 32, 32, 32, {3983, 3894, 3507}},
      {"crosstalk.3dl", ThreeDL, 17, 65535, 16, 16, 16, {25616, 35585, 42060}},
      {"pandora_3d.m3d", Pandora3D, 2, 255, 0, 0, 1, {0, 0, 204}},
      {"pandora_3d.m3d", Pandora3D, 2, 255, 1, 1, 1, {306, 255, 306}},
      {"legacy_slog_to_log_v3_lustre.lut", Lustre1D, 1024, 4095, 1023, -1, 0, {4095, 4095, 4095}},
      // A Discreet 1D table ("LUT: 3 256 256") in the Codex 1D layout.
      {"logtolin_8to8.lut", Codex1D, 256, 255, 100, -1, 0, {72, 72, 72}},
      {"logtolin_8to8.lut", Codex1D, 256, 255, 255, -1, 0, {255, 255, 255}},
  };
  for (const Case &c : cases) {
    TLUT lut;
    EXPECT_EQ(LoadLutFile(PeerFile(c.name), lut), &Format(c.format)) << c.name;
    ASSERT_EQ(lut.Mode, c.g < 0 ? kMode1D : kMode3D) << c.name;
    ASSERT_EQ(c.g < 0 ? lut.Size1D : lut.Size3D, c.size) << c.name;
    const TLutTriple expected = {c.codes[0] / c.maxCode, c.codes[1] / c.maxCode, c.codes[2] / c.maxCode};
    EXPECT_EQ(c.g < 0 ? lut.Curve[c.r] : lut.Lattice[c.r][c.g][c.b], expected) << c.name << " " << c.r << " " << c.g;
  }
  struct Refusal {
    const char *name, *message;
  } refusals[] = {
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
  for (const Refusal &c : refusals) {
    TLUT lut;
    const std::string message = ErrorOf([&] { LoadLutFile(PeerFile(c.name), lut); });
    EXPECT_NE(message.find(c.message), std::string::npos) << c.name << " -> " << message;
    EXPECT_EQ(lut.Mode, kModeIdentity) << c.name;
  }
}

} // namespace
} // namespace tintwise
