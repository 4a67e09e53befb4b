#include "formats/FsiDitFormat.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "formats/TextFile.h"

namespace tintwise {

namespace {

constexpr std::size_t kWords = 64 * 64 * 64;
constexpr std::size_t kDataBytes = kWords * 4;

std::uint32_t GetLE32(const unsigned char *p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void PutLE32(unsigned char *p, std::uint32_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
  p[2] = static_cast<unsigned char>(v >> 16);
  p[3] = static_cast<unsigned char>(v >> 24);
}

// The 10-bit code of a value: value x 1008 rounded half to even, kept inside 0..1023 so that it
// never spills into the neighbouring field.
std::uint32_t DitCode(double value) {
  double code = std::nearbyint(value * TFSI_DIT_3DLutFormat::kFullScale);
  if (!(code > 0))
    return 0; // also NaN
  return code > 1023 ? 1023 : static_cast<std::uint32_t>(code);
}

} // namespace

bool TFSI_DIT_3DLutFormat::CanRead(const TLutFileHead &Head) const {
  const std::string_view head = Head.Bytes();
  return head.size() >= 4 && GetLE32(reinterpret_cast<const unsigned char *>(head.data())) == kMagic;
}

void TFSI_DIT_3DLutFormat::DoLoad(std::string_view Bytes, const std::string &, TLUT &LUT) {
  const std::string_view data = Bytes;
  // The file is its header and 64^3 words, nothing else: a file that ends before its last point
  // cannot be read right, and one that goes on after it is not this format (or is damaged).
  const std::size_t expected = kHeaderBytes + kDataBytes;
  if (data.size() < 4 || GetLE32(reinterpret_cast<const unsigned char *>(data.data())) != kMagic)
    throw ELUTError("the file does not start with the FSI DIT mark (99 02 34 42).");
  if (data.size() < expected)
    throw ELUTError(std::string(kIncompleteFile) + " The file holds " + std::to_string(data.size()) + " bytes of the " +
                        std::to_string(expected) + " of a 64-point lattice.");
  if (data.size() > expected)
    throw ELUTError("the file holds " + std::to_string(data.size() - expected) +
                        " bytes after the 64-point lattice; an FSI DIT file ends with its last point.");
  const auto *p = reinterpret_cast<const unsigned char *>(data.data()) + kHeaderBytes;
  for (int b = 0; b < kSize; ++b)
    for (int g = 0; g < kSize; ++g)
      for (int r = 0; r < kSize; ++r, p += 4) {
        const std::uint32_t word = GetLE32(p);
        LUT.Lattice[r][g][b] = {(word & 1023) / kFullScale, ((word >> 10) & 1023) / kFullScale,
                                ((word >> 20) & 1023) / kFullScale};
      }
  LUT.Size3D = kSize;
  LUT.Mode = kMode3D;
}

void TFSI_DIT_3DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int) {
  // The header's length field is a constant: the file always holds 64 points per axis.
  if (LUT.Size3D != kSize)
    throw ELUTError("Cannot write " + Name + " with " + std::to_string(LUT.Size3D) +
                        " points per axis; the format holds 64.");
  std::string file(kHeaderBytes + kDataBytes, '\0');
  auto *header = reinterpret_cast<unsigned char *>(file.data());
  PutLE32(header + 0, kMagic);
  PutLE32(header + 4, kVersion);
  PutLE32(header + 44, static_cast<std::uint32_t>(kDataBytes));
  std::memcpy(header + 48, "Oxel LUT Convert", 16);

  std::uint32_t dataSum = 0;
  unsigned char *p = header + kHeaderBytes;
  for (int b = 0; b < kSize; ++b)
    for (int g = 0; g < kSize; ++g)
      for (int r = 0; r < kSize; ++r, p += 4) {
        const TLutTriple &v = LUT.Lattice[r][g][b];
        const std::uint32_t word = DitCode(v[0]) | DitCode(v[1]) << 10 | DitCode(v[2]) << 20;
        PutLE32(p, word);
        dataSum += p[0] + p[1] + p[2] + p[3];
      }
  PutLE32(header + 40, dataSum);
  // Byte 127 takes every header byte added to it in turn, itself last: twice the sum of bytes
  // 0..126, modulo 256.
  header[127] = 0;
  for (int i = 0; i < kHeaderBytes; ++i)
    header[127] = static_cast<unsigned char>(header[127] + header[i]);
  WriteFileReplacing(FileName, file);
}

} // namespace tintwise
