// 3DL, Lustre 3D, Pandora, Lustre 1D and the FSI DIT binary format.
#include "formats/LutTokens.h"
#include "formats/ThreeDLFormat.h"
#include "tests/formats/FormatTestSupport.h"

namespace tintwise {
namespace {

using namespace test;

std::string Line(const std::string &text, int index) {
  std::size_t start = 0;
  for (int i = 0; i < index; ++i)
    start = text.find('\n', start) + 1;
  return text.substr(start, text.find('\n', start) - start);
}

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

TEST(IntegerWriters, WriteTheirLayoutsByteForByte) {
  TLUT lut;
  FillSmallLattice(lut);
  lut.Comments = {"c"};
  const std::string codes12 = SmallLatticeCodeLines("1024", "2048", "4095");
  EXPECT_EQ(SaveText(k3DL, lut, 12), "# c\n# Converted by Oxel LUT Converter\n0 1023\n" + codes12);
  EXPECT_EQ(SaveText(kLustre3D, lut, 12),
            "\n# Converted by Oxel LUT Converter\n\n3DMESH\nMesh 0 12\n\n" + codes12 + "\nLUT8\ngamma 1.0\n");
  EXPECT_EQ(SaveText(kPandora, lut, 16),
            "#HEADER\n#type: 3D cube file\n#format: 1.00\n#comment: Converted by Oxel LUT Converter\n#END\n\n"
            "channel 3d\nin 8\nout 65536\n\nformat lut\n\nvalues\tred\tgreen\tblue\n"
            "0\t0\t0\t16384\n1\t0\t0\t65535\n2\t0\t32768\t16384\n3\t0\t32768\t65535\n"
            "4\t65535\t0\t16384\n5\t65535\t0\t65535\n6\t65535\t32768\t16384\n7\t65535\t32768\t65535\n");
  // The shaper line spaces 0..1023 evenly, its last step short; the mesh line gives log2(n - 1).
  FillLattice(lut, 17);
  lut.Comments.clear();
  EXPECT_EQ(Line(SaveText(k3DL, lut, 12), 1), "0 64 128 192 256 320 384 448 512 576 640 704 768 832 896 960 1023");
  FillLattice(lut, 33);
  EXPECT_EQ(Line(SaveText(k3DL, lut, 12), 1),
            "0 32 64 96 128 160 192 224 256 288 320 352 384 416 448 480 512 544 576 608 640 672 704 736 "
            "768 800 832 864 896 928 960 992 1023");
  EXPECT_EQ(Line(SaveText(kLustre3D, lut, 12), 4), "Mesh 5 12");

  lut.Size1D = 2;
  lut.Curve[0] = {0, 0.5, 1};
  lut.Curve[1] = {1, 0.25, 2};
  EXPECT_EQ(SaveText(kLustre1D, lut, 16), "LUT16\n\n# Converted by Oxel LUT Converter\n\n0 0 32768 65535\n1 65535 16384 65535\n");
}

TEST(ThreeDL, ReaderQuirksAndBounds) {
  TLUT lut;
  // Without a shaper line the first value line gives the size; comments anywhere are kept.
  EXPECT_EQ(Load(k3DL, "# a\n0 2048 4095\n" + CodeLines(3, 100).insert(14, "# b\n"), lut), "");
  EXPECT_EQ(lut.Size3D, 3);
  EXPECT_EQ(lut.Comments, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(lut.Lattice[2][1][0], (TLutTriple{200 / 4095.0, 100 / 4095.0, 0}));
  // A shaper that is not even would move every point: refused.
  EXPECT_EQ(Load(k3DL, "0 0 68\n" + CodeLines(3, 100), lut),
            "\"in.txt\" (read as 3DL), line 1: the input shaper line is not evenly spaced; such files are not supported.");
  EXPECT_EQ(Load(k3DL, "0 10 20\n" + CodeLines(3, 100) + "0 0 0\n", lut),
            "\"in.txt\" (read as 3DL), line 29: more values than the input shaper line announces.");
  EXPECT_EQ(Load(k3DL, "0 10 20\n" + CodeLines(2, 100), lut),
            "\"in.txt\" (read as 3DL): Incomplete file. The values end after 8 of 27 lattice points.");
  EXPECT_EQ(Load(k3DL, "3DMESH\nno numbers\n", lut), "\"in.txt\" (read as 3DL): Incomplete file. No line gives the table's size or starts its values.");
  EXPECT_EQ(Load(k3DL, "", lut), "\"in.txt\" (read as 3DL): Incomplete file. The file holds no text.");
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

  EXPECT_EQ(Load(kLustre3D, "3DMESH\nMesh 1 12\n" + CodeLines(3, 1) + CodeLines(3, 1), lut),
            "\"in.txt\" (read as Autodesk Lustre 3D), line 30: more values than the \"Mesh\" line announces.");
  EXPECT_EQ(Load(kLustre3D, "3DMESH\nMesh 1 12\n" + CodeLines(2, 1), lut),
            "\"in.txt\" (read as Autodesk Lustre 3D): Incomplete file. The values end after 8 of 27 lattice points.");
  EXPECT_EQ(Load(kLustre3D, "3DMESH\n" + CodeLines(2, 1), lut),
            "\"in.txt\" (read as Autodesk Lustre 3D): no \"Mesh\" line; the size of the lattice is unknown.");
  EXPECT_EQ(Load(kLustre3D, "3DMESH\nMesh 7 12\n", lut),
            "\"in.txt\" (read as Autodesk Lustre 3D), line 2: Mesh 7 12: a lattice of 129 points per axis is not possible; 2 to 101 are.");
  EXPECT_EQ(Load(kLustre3D, "3DMESH\nMesh 4 x\n", lut), "\"in.txt\" (read as Autodesk Lustre 3D), line 2: 'x' is not a valid integer value");
}

TEST(PandoraAndLustre1D, ReaderQuirksAndBounds) {
  TLUT lut;
  const std::string head = "channel 3d\nin 4913\nout 4096\nformat lut\nvalues\tred\tgreen\tblue\n";
  ASSERT_EQ(Load(kPandora, head + CodeLines(17, 250, true), lut), "");
  EXPECT_EQ(lut.Size3D, 17);
  EXPECT_EQ(lut.Lattice[16][0][1], (TLutTriple{4000 / 4095.0, 0, 250 / 4095.0}));
  EXPECT_EQ(Load(kPandora, head + CodeLines(17, 250, false), lut), // no index column
            "\"in.txt\" (read as Pandora 3D, Technicolor): Incomplete file. Line 6 holds 3 values where 4 are expected.");
  EXPECT_EQ(Load(kPandora, "channel 3d\nIN 8\nout 256\nformat lut\n" + CodeLines(2, 1, true), lut),
            "\"in.txt\" (read as Pandora 3D, Technicolor): Incomplete file. Line 2 gives the number of points as 'IN'; "
            "the keyword is \"in\", in lower case.");
  EXPECT_EQ(Load(kPandora, "channel 3d\nin 9\nout 256\n", lut),
            "\"in.txt\" (read as Pandora 3D, Technicolor), line 2: in 9: the number of points is not the cube of a whole number.");
  EXPECT_EQ(Load(kPandora, "channel 3d\nin 8\nout 1\n", lut),
            "\"in.txt\" (read as Pandora 3D, Technicolor), line 3: out 1: the number of output codes must be 2 or more.");
  EXPECT_EQ(Load(kPandora, "in 8\nout 256\n" + CodeLines(2, 1, true) + "8 0 0 0\n", lut),
            "\"in.txt\" (read as Pandora 3D, Technicolor), line 11: more values than the \"in\" line announces.");

  ASSERT_EQ(Load(kLustre1D, "LUT12\n\n0 0 0 0\n1 4095 2048 1\n", lut), "");
  EXPECT_EQ(lut.Size1D, 2);
  EXPECT_EQ(lut.Curve[1], (TLutTriple{1, 2048 / 4095.0, 1 / 4095.0}));
  EXPECT_EQ(Load(kLustre1D, "LUT12\n", lut), "\"in.txt\" (read as Autodesk Lustre 1D): Incomplete file. No line of values follows the header.");
  EXPECT_EQ(Load(kLustre1D, "LUT12\n0 0 0 0\n", lut), "\"in.txt\" (read as Autodesk Lustre 1D): the file holds no usable table.");
  std::string many = "LUT12\n";
  for (int i = 0; i <= kMaxSize1D; ++i)
    many += std::to_string(i) + " 1 2 3\n";
  EXPECT_EQ(Load(kLustre1D, many, lut), "\"in.txt\" (read as Autodesk Lustre 1D), line 100003: more than 100001 entries; a curve holds no more.");
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
