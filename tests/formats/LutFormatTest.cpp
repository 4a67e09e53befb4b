// Choosing a reader, and what every load and save of the registry guarantees.
#include <algorithm>
#include <limits>
#include <optional>

#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

// Each format's own files are found when the peer and OpenColorIO files load; these are the ties,
// the borders and the look-alikes.
TEST(LutLoading, AsksTheFormatsInTableOrderAndKeepsToTheirCaps) {
  const std::string sop = "<SOPNode><Slope>1 1 1</Slope><Offset>0 0 0</Offset><Power>1 1 1</Power></SOPNode>";
  struct Case {
    const char *name;
    std::string text;
    std::optional<TLutFormatId> format; // none: no format claims the file
  } cases[] = {
      {"a.cube", "LUT_3D_SIZE 2\n", Cube3D},
      {"b.cube", "LUT_1D_SIZE 2\n", Cube1D},
      {"c.cube", "LUT_1D_SIZE 2\nLUT_3D_SIZE 2\n", Cube3D}, // claimed by both; the first wins
      {"f.cube", "# channel format, not a 3D LUT\nLUT_1D_SIZE 2\n", Pandora3D}, // keywords anywhere in the head
      {"g.3dl", "3DMESH\nMesh 1 12\n", Lustre3D}, // Lustre 3D comes before 3DL
      {"h.3DL", "0 512 1023\n", ThreeDL},
      {"k.lut", "LUT12\n", Lustre1D},
      {"l.txt", "nothing to see\n", {}},
      {"o.dat", "LUT: 3 2\n0\n1\n", Codex1D}, // a Codex curve is no DaVinci lattice
      {"p.dat", "no numbers here\n", {}},
      {"p.dat", "# a lattice\n0.5 0.25 0.125\n", DavinciDat3D},
      {"p.dat", std::string("\x99\x02\x34\x42", 4), FsiDit3D}, // the binary mark, not a DaVinci lattice
      {"q.txt", "3dlutsize 2\n", DavinciDat3D}, // the keyword, whatever the extension
      {"t.ilut", "0 0 0\n", DavinciILut1D},
      {"u.ILUT", "<IRIDAScript>\n0 0 0\n", {}}, // an IRIDAS script is no curve
      {"v.OLUT", "0 0 0\n", DavinciOLut1D},
      {"w.cc", "<ColorCorrection id='x'>" + sop + "</ColorCorrection>", AscCdl},
      {"y.ccc", "<ColorCorrectionCollection><ColorCorrection>" + sop + "</ColorCorrection></ColorCorrectionCollection>", {}},
      // Only the first 4096 bytes are looked at for keywords.
      {"a.cube", std::string(4085, 'x') + "LUT_3D_SIZE 2\n", Cube3D},
      {"a.cube", std::string(4096, 'x') + "LUT_3D_SIZE 2\n", {}},
  };
  for (const Case &c : cases) {
    TLUTFormat *f = FindLutFormat(TLutFileHead(c.name, c.text));
    EXPECT_EQ(f, c.format ? &Format(*c.format) : nullptr) << c.name << " " << c.text.substr(0, 20) << " -> " << (f ? f->Name : "none");
  }
  TTempDir dir;
  TLUT lut;
  WriteText(dir.File("l.txt"), "nothing to see\n");
  EXPECT_EQ(ErrorOf([&] { LoadLutFile(dir.File("l.txt"), lut); }), dir.File("l.txt") + ": no known LUT format recognises this file.");
  EXPECT_THROW(FindLutFormat(dir.File("missing.cube")), EFOpenError);
  // Only a regular file no larger than the format's cap is read; a refused file leaves the LUT reset.
  const std::string big = WriteText(dir.File("big.cc"), std::string(kSmallTextBytes + 1, '#'));
  FillCurve(lut, 4);
  EXPECT_EQ(ErrorOf([&] { Format(AscCdl).LoadFromFile(big, lut); }),
            "Cannot open file \"" + big + "\". It is larger than 1048576 bytes, the most an ASC CDL file can hold.");
  EXPECT_EQ(lut.Mode, kModeIdentity);
  EXPECT_EQ(lut.Size1D + lut.Size3D, 0);
}

// Writes the LUT through the format to "out" in a fresh folder; answers "" when it is written, else
// the error's message with the folder taken off. A refused write leaves nothing behind.
std::string SaveError(TLutFormatId id, const TLUT &lut, int bits) {
  TTempDir dir;
  std::string message = ErrorOf([&] { Format(id).SaveToFile(dir.File("out"), lut, bits); });
  EXPECT_TRUE(message.empty() || std::filesystem::is_empty(dir.Path));
  if (const std::size_t at = message.find(dir.File("")); at != std::string::npos)
    message.erase(at, dir.File("").size());
  return message;
}

TEST(LutSaving, RefusesWhatTheFormatCannotHold) {
  struct Case {
    TLutFormatId format;
    int size, bits;
    std::string message;
  } cases[] = {
      {Cube3D, 1, 0, "Cannot write Cube 3D with 1 points per axis; 2 to 101 are possible."},
      {Cube3D, 102, 0, "Cannot write Cube 3D with 102 points per axis; 2 to 101 are possible."},
      {FsiDit3D, 17, 10, "Cannot write FSI DIT (Flanders Scientific) 3D with 17 points per axis; the format holds 64."},
      {Lustre3D, 20, 12,
       "Cannot write Autodesk Lustre 3D with 20 points per axis; its meshes have 2^m + 1 points (33 for this profile)."},
      {Cube1D, 1, 0, "Cannot write Cube 1D with 1 curve entries; 2 to 100001 are possible."},
      {Cube1D, 100002, 0, "Cannot write Cube 1D with 100002 curve entries; 2 to 100001 are possible."},
  };
  for (const Case &c : cases) {
    TLUT lut;
    FillLattice(lut, 17);
    lut.Size3D = lut.Size1D = c.size;
    EXPECT_EQ(SaveError(c.format, lut, c.bits), c.message);
  }
  // Integer codes take 1 to 16 bits; the decimal writers take no depth and ignore it.
  const TLutFormatId integers[] = {ThreeDL, Lustre3D, Pandora3D, Codex3D,  Clipster3D, Luther3D, Quantel3D, PFClean3D,
                                   Codex1D, Lustre1D, Quantel1D, Stwo1D,  Fusion1D,   Cinetal1D, Shake1D};
  // A profile gives a depth exactly when its format writes codes (FSI DIT's are 10-bit), and its files
  // carry an extension the format is known by.
  for (int i = 0; i < LutOutputProfileCount(); ++i) {
    const TLutOutputProfile &p = GetLutOutputProfile(i);
    const bool codes = p.Format == FsiDit3D || std::find(std::begin(integers), std::end(integers), p.Format) != std::end(integers);
    EXPECT_EQ(p.DefaultBits > 0, codes) << p.Name;
    EXPECT_NE((" " + std::string(Format(p.Format).Info().Extensions) + " ").find(" " + p.Extension + " "), std::string::npos) << p.Name;
  }
  for (const TLutFormatInfo &info : kLutFormatInfo) {
    const bool integer = std::find(std::begin(integers), std::end(integers), info.Id) != std::end(integers);
    TLUT lut;
    info.Is3D ? FillLattice(lut, info.Id == FsiDit3D ? 64 : 2) : FillCurve(lut, 2);
    for (int bits : {0, 1, 16, 17})
      EXPECT_EQ(SaveError(info.Id, lut, bits) != "", integer && (bits == 0 || bits == 17)) << info.Name << " " << bits;
  }
  // A value that is not a finite number has no text or code; one beyond a million has no sensible
  // decimal text, but as a code it is the largest, as any value above 1 is.
  const std::string range = "which is beyond the range of -1000000 to 1000000 this program writes as decimals.";
  for (TLutFormatId id : {Cube3D, Codex3D, Blackmagic1D, Lustre1D}) {
    TLUT lut;
    Format(id).Is3D ? FillLattice(lut, 2) : FillCurve(lut, 4);
    TLutTriple &v = Format(id).Is3D ? lut.Lattice[1][0][0] : lut.Curve[1];
    const std::string where = Format(id).Is3D ? "lattice point (1, 0, 0)." : "curve entry 1.";
    for (double bad : {std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity(), 1e308}) {
      v[1] = bad;
      const std::string why = bad == 1e308 ? "the table holds the value 1e+308, " + range
                                           : "the table holds a value that is not a finite number at " + where;
      const bool code = bad == 1e308 && (id == Codex3D || id == Lustre1D);
      EXPECT_EQ(SaveError(id, lut, 12), code ? "" : "Cannot write " + Format(id).Name + " to \"out\": " + why);
    }
  }
  // Just inside the range, HDLink writes a thousand times the value.
  TLUT curve;
  FillCurve(curve, 2);
  curve.Curve[1][2] = -1e6;
  EXPECT_EQ(SaveText(Blackmagic1D, curve, 0), "R\tG\tB - HDLINK GAMMA TABLE\n0.00 0.00 250.00\n1000.00 1000.00 -1000000000.00\n");
}

// The layout of the binary format, worked out by hand: a 128-byte header, then one word per point,
// red fastest, red in the low 10 bits, codes of value x 1008.
TEST(FsiDit, WritesItsHeaderAndCodes) {
  TLUT lut;
  lut.Mode = kMode3D;
  lut.Size3D = 64;
  for (int r = 0; r < 64; ++r)
    for (int g = 0; g < 64; ++g)
      for (int b = 0; b < 64; ++b)
        lut.Lattice[r][g][b] = {r / 63.0, g / 63.0, b / 63.0};
  lut.Lattice[0][0][0] = {1.0, 0.5, 0.03125};
  lut.Lattice[1][0][0] = {0.09375, 2.0, -1.0};
  const std::string s = SaveText(FsiDit3D, lut, 10, "a.dat");
  ASSERT_EQ(s.size(), 128u + 4 * 262144);
  auto le32 = [&s](std::size_t at) { // a little-endian word
    return std::uint32_t(std::uint8_t(s[at])) | std::uint32_t(std::uint8_t(s[at + 1])) << 8 |
           std::uint32_t(std::uint8_t(s[at + 2])) << 16 | std::uint32_t(std::uint8_t(s[at + 3])) << 24;
  };
  EXPECT_EQ(le32(0), 0x42340299u);
  EXPECT_EQ(le32(4), 0x01000002u);
  EXPECT_EQ(le32(44), 0x00100000u);
  EXPECT_EQ(s.substr(48, 17), std::string("Oxel LUT Convert\0", 17));
  EXPECT_EQ(le32(128), 1008u | 504u << 10 | 32u << 20);
  EXPECT_EQ(le32(132), 94u | 1023u << 10 | 0u << 20);           // headroom clamped, negatives to 0
  EXPECT_EQ(le32(128 + 4 * 64), 0u | 16u << 10 | 0u << 20);     // green 1/63 -> 16, red fastest
  EXPECT_EQ(le32(s.size() - 4), 1008u | 1008u << 10 | 1008u << 20); // the last point
  std::uint32_t dataSum = 0;
  for (std::size_t i = 128; i < s.size(); ++i)
    dataSum += std::uint8_t(s[i]);
  EXPECT_EQ(le32(40), dataSum);
  unsigned headerSum = 0;
  for (int i = 0; i < 127; ++i)
    headerSum += std::uint8_t(s[i]);
  EXPECT_EQ(std::uint8_t(s[127]), std::uint8_t(2 * headerSum));
}

} // namespace
} // namespace tintwise
