// 3DL, Lustre 3D, Pandora, Lustre 1D and the FSI DIT binary format.
#include "formats/LutTokens.h"
#include "formats/ThreeDLFormat.h"
#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

// Lines of codes for an n-point lattice, blue fastest, each channel its index times scale.
std::string CodeLines(int n, int scale, bool numbered = false) {
  std::string s;
  int k = 0;
  for (int r = 0; r < n; ++r)
    for (int g = 0; g < n; ++g)
      for (int b = 0; b < n; ++b)
        s += (numbered ? std::to_string(k++) + " " : "") + std::to_string(r * scale) + " " +
             std::to_string(g * scale) + " " + std::to_string(b * scale) + "\n";
  return s;
}

TEST(ThreeDL, ReaderQuirksAndBounds) {
  TLUT lut;
  // Without a shaper line the first value line gives the size; comments anywhere are kept.
  EXPECT_EQ(Load(k3DL, "# a\n0 2048 4095\n" + CodeLines(3, 100).insert(14, "# b\n"), lut), "");
  EXPECT_EQ(lut.Size3D, 3);
  EXPECT_EQ(lut.Comments, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(lut.Lattice[2][1][0], (TLutTriple{200 / 4095.0, 100 / 4095.0, 0}));
  EXPECT_EQ(T3dlLutFormat::CountShaperValues("0 64\t128  1023 "), 4);
  EXPECT_EQ(T3dlLutFormat::CountShaperValues("0 64 x"), -1);
  EXPECT_EQ(T3dlLutFormat::CountShaperValues("0 \"6 4\""), -1);

  // The depth comes from the codes: a 16-bit file whose codes all stay at or below 4095 reads as
  // 12-bit, one with a larger code as 16-bit.
  const std::string shaper = "0 64 128 192 256 320 384 448 512 576 640 704 768 832 896 960 1023\n";
  ASSERT_EQ(Load(k3DL, shaper + CodeLines(17, 200), lut), "");
  EXPECT_EQ(lut.Lattice[16][1][0], (TLutTriple{3200 / 4095.0, 200 / 4095.0, 0}));
  ASSERT_EQ(Load(k3DL, shaper + CodeLines(17, 300), lut), "");
  EXPECT_EQ(lut.Lattice[16][1][0], (TLutTriple{4800 / 65535.0, 300 / 65535.0, 0}));
}

TEST(Lustre3D, ReaderQuirksAndBounds) {
  TLUT lut;
  std::string shaper = "0";
  for (int i = 1; i < 17; ++i)
    shaper += " " + std::to_string(i * 64 - (i == 16));
  ASSERT_EQ(Load(kLustre3D, "3DMESH\nMesh 4 12\n" + shaper + "\n" + CodeLines(17, 200) + "\nLUT8\ngamma 1.0\n", lut), "");
  EXPECT_EQ(lut.Mode, kMode3D);
  EXPECT_EQ(lut.Size3D, 17);
  EXPECT_EQ(lut.Lattice[16][1][2], (TLutTriple{3200 / 4095.0, 200 / 4095.0, 400 / 4095.0}));
  // A 3-point mesh's shaper line reads like a value line; one line too many tells it apart.
  ASSERT_EQ(Load(kLustre3D, "3DMESH\nMesh 1 16\n0 512 1023\n" + CodeLines(3, 1000), lut), "");
  EXPECT_EQ(lut.Lattice[0][0][0], (TLutTriple{0, 0, 0}));
  EXPECT_EQ(lut.Lattice[2][0][1], (TLutTriple{2000 / 65535.0, 0, 1000 / 65535.0}));
}

TEST(PandoraAndLustre1D, ReaderQuirksAndBounds) {
  TLUT lut;
  const std::string head = "channel 3d\nin 4913\nout 4096\nformat lut\nvalues\tred\tgreen\tblue\n";
  ASSERT_EQ(Load(kPandora, head + CodeLines(17, 250, true), lut), "");
  EXPECT_EQ(lut.Size3D, 17);
  EXPECT_EQ(lut.Lattice[16][0][1], (TLutTriple{4000 / 4095.0, 0, 250 / 4095.0}));

  ASSERT_EQ(Load(kLustre1D, "LUT12\n\n0 0 0 0\n1 4095 2048 1\n", lut), "");
  EXPECT_EQ(lut.Size1D, 2);
  EXPECT_EQ(lut.Curve[1], (TLutTriple{1, 2048 / 4095.0, 1 / 4095.0}));
}

std::uint32_t LE32(const std::string &s, std::size_t at) {
  return std::uint32_t(std::uint8_t(s[at])) | std::uint32_t(std::uint8_t(s[at + 1])) << 8 |
         std::uint32_t(std::uint8_t(s[at + 2])) << 16 | std::uint32_t(std::uint8_t(s[at + 3])) << 24;
}

TEST(FsiDit, WritesCodesAndChecksumsAndRefusesShortFiles) {
  TTempDir dir;
  TLUT lut;
  lut.Mode = kMode3D;
  lut.Size3D = 64;
  for (int r = 0; r < 64; ++r)
    for (int g = 0; g < 64; ++g)
      for (int b = 0; b < 64; ++b)
        lut.Lattice[r][g][b] = {r / 63.0, g / 63.0, b / 63.0};
  lut.Lattice[0][0][0] = {1.0, 0.5, 0.03125};
  lut.Lattice[1][0][0] = {0.09375, 2.0, -1.0};
  const std::string file = dir.File("a.dat");
  Format(kFsiDit).SaveToFile(file, lut, 10);
  const std::string s = ReadText(file);
  ASSERT_EQ(s.size(), 128u + 4 * 262144);
  EXPECT_EQ(LE32(s, 0), 0x42340299u);
  EXPECT_EQ(LE32(s, 4), 0x01000002u);
  EXPECT_EQ(LE32(s, 44), 0x00100000u);
  EXPECT_EQ(s.substr(48, 17), std::string("Oxel LUT Convert\0", 17));
  EXPECT_EQ(LE32(s, 128), 1008u | 504u << 10 | 32u << 20);
  EXPECT_EQ(LE32(s, 132), 94u | 1023u << 10 | 0u << 20); // headroom clamped, negatives to 0
  EXPECT_EQ(LE32(s, 128 + 4 * 64), 0u | 16u << 10 | 0u << 20); // green 1/63 -> 16, red fastest
  std::uint32_t dataSum = 0;
  for (std::size_t i = 128; i < s.size(); ++i)
    dataSum += std::uint8_t(s[i]);
  EXPECT_EQ(LE32(s, 40), dataSum);
  unsigned headerSum = 0;
  for (int i = 0; i < 127; ++i)
    headerSum += std::uint8_t(s[i]);
  EXPECT_EQ(std::uint8_t(s[127]), std::uint8_t(2 * headerSum));
  TLUT read;
  Format(kFsiDit).LoadFromFile(file, read);
  EXPECT_EQ(read.Lattice[1][0][0][1], 1023 / 1008.0); // the headroom reads back above 1

  // Recognised by the magic number alone; a file holding only the header is refused.
  WriteText(dir.File("short.dat"), std::string("\x99\x02\x34", 3));
  EXPECT_FALSE(Format(kFsiDit).CanRead(TLutFileHead::Read(dir.File("short.dat"))));
  std::string header(128, '\0');
  header.replace(0, 4, "\x99\x02\x34\x42");
  WriteText(dir.File("header.dat"), header);
  EXPECT_TRUE(Format(kFsiDit).CanRead(TLutFileHead::Read(dir.File("header.dat"))));
  EXPECT_THROW(Format(kFsiDit).LoadFromFile(dir.File("header.dat"), read), ELUTError);
  EXPECT_EQ(read.Mode, kModeIdentity);
  EXPECT_THROW(Format(kFsiDit).CanRead(TLutFileHead::Read(dir.File("missing.dat"))), EFOpenError);
}

} // namespace
} // namespace tintwise
