// Shared pieces of the format tests: a temporary folder, whole-file text, the format table's
// indices, test tables and loading a text through one format.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "engine/Lut.h"
#include "formats/LutErrors.h"
#include "formats/LutFormat.h"

namespace tintwise::test {

class TTempDir {
public:
  TTempDir() {
    static int counter = 0;
    Path = std::filesystem::temp_directory_path() /
           ("tintwise-formats-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(Path);
  }
  ~TTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(Path, ec);
  }
  std::string File(const std::string &name) const { return (Path / name).string(); }
  std::filesystem::path Path;
};

inline void WriteText(const std::string &file, const std::string &text) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
}

inline std::string ReadText(const std::string &file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

inline bool EndsWith(const std::string &s, const std::string &tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Format table indices, by the registry's ids.
enum : int {
  kTruelight = int(TLutFormatId::Cube3DTruelight), kCube3D = int(TLutFormatId::Cube3D),
  kLustre3D = int(TLutFormatId::Lustre3D), kPandora = int(TLutFormatId::Pandora3D), k3DL = int(TLutFormatId::ThreeDL),
  kNucoda3D = int(TLutFormatId::Nucoda3D), kCodex3D = int(TLutFormatId::Codex3D), kCube1D = int(TLutFormatId::Cube1D),
  kClipster = int(TLutFormatId::Clipster3D), kLuther = int(TLutFormatId::Luther3D),
  kColorfront3D = int(TLutFormatId::ColorfrontOsd3D), kDavinciDat = int(TLutFormatId::DavinciDat3D),
  kQuantel3D = int(TLutFormatId::Quantel3D), kCodex1D = int(TLutFormatId::Codex1D), kLustre1D = int(TLutFormatId::Lustre1D),
  kFilmlight1D = int(TLutFormatId::Filmlight1D), kQuantel1D = int(TLutFormatId::Quantel1D), kStwo = int(TLutFormatId::Stwo1D),
  kNucoda1D = int(TLutFormatId::Nucoda1D), kColorfront1D = int(TLutFormatId::ColorfrontOsd1D),
  kFusion = int(TLutFormatId::Fusion1D), kBlackmagic = int(TLutFormatId::Blackmagic1D), kCinetal = int(TLutFormatId::Cinetal1D),
  kShake = int(TLutFormatId::Shake1D), kILut = int(TLutFormatId::DavinciILut1D), kOLut = int(TLutFormatId::DavinciOLut1D),
  kSpeedgrade = int(TLutFormatId::SpeedgradeLook3D), kCdl = int(TLutFormatId::AscCdl), kPFClean = int(TLutFormatId::PFClean3D),
  kFsiCfe = int(TLutFormatId::FsiCfe3D), kFsiDit = int(TLutFormatId::FsiDit3D),
};

inline TLUTFormat &Format(int index) {
  InitLutFormats();
  return *GetLutFormat(index);
}

// A lattice that is not separable and has a different value at every point, inside 0..1.
inline void FillLattice(TLUT &lut, int n) {
  lut.Mode = kMode3D;
  lut.Size3D = n;
  for (int r = 0; r < n; ++r)
    for (int g = 0; g < n; ++g)
      for (int b = 0; b < n; ++b) {
        const double x = r / double(n - 1), y = g / double(n - 1), z = b / double(n - 1);
        lut.Lattice[r][g][b] = {std::pow(0.7 * x + 0.2 * y + 0.1 * z, 1.2), 0.85 * y + 0.1 * x * z + 0.02,
                                std::sqrt(0.6 * z + 0.4 * x * y)};
      }
}

inline void FillCurve(TLUT &lut, int m) {
  lut.Mode = kMode1D;
  lut.Size1D = m;
  for (int i = 0; i < m; ++i) {
    const double x = i / double(m - 1);
    lut.Curve[i] = {x * x, std::sqrt(x), 0.25 + 0.5 * x};
  }
}

// A 2-point lattice: red 0 or 1, green -0.2 or 0.5, blue 0.25 or 1.7, so clamping, a rounding
// half to even (0.5 at 10, 12, 16 and 8 bits) and every point order show in the codes.
inline void FillSmallLattice(TLUT &lut) {
  lut.Mode = kMode3D;
  lut.Size3D = 2;
  for (int r = 0; r < 2; ++r)
    for (int g = 0; g < 2; ++g)
      for (int b = 0; b < 2; ++b)
        lut.Lattice[r][g][b] = {r ? 1.0 : 0.0, g ? 0.5 : -0.2, b ? 1.7 : 0.25};
}

// The eight points of FillSmallLattice, red outermost and blue fastest, as integer lines with the
// given codes for 0.25 and 0.5 and the maximum code m.
inline std::string SmallLatticeCodeLines(const std::string &quarter, const std::string &half, const std::string &m) {
  std::string s;
  for (const std::string &r : {std::string("0"), m})
    for (const std::string &g : {std::string("0"), half})
      for (const std::string &b : {quarter, m})
        s += r + " " + g + " " + b + "\n";
  return s;
}

// The eight points of FillSmallLattice as six-decimal lines, red fastest: "r g b" per line, or
// "b g r" for the blue-first formats.
inline std::string SmallLatticeDecimalLines(bool blueFirst = false) {
  std::string s;
  for (const std::string b : {"0.250000", "1.700000"})
    for (const std::string g : {"-0.200000", "0.500000"})
      for (const std::string r : {"0.000000", "1.000000"})
        s += (blueFirst ? b + " " + g + " " + r : r + " " + g + " " + b) + "\n";
  return s;
}

// Writes the LUT through the format to a file called name and answers the file's bytes.
inline std::string SaveText(int index, const TLUT &lut, int bits, const std::string &name = "out.txt") {
  TTempDir dir;
  Format(index).SaveToFile(dir.File(name), lut, bits);
  return ReadText(dir.File(name));
}

// Loads text as the bytes of a file called name through the format. Answers "" when it loads, else
// the error's message.
inline std::string Load(int index, const std::string &text, TLUT &lut, const std::string &name = "in.txt") {
  try {
    Format(index).LoadFromBuffer(text, name, lut);
  } catch (const std::exception &e) {
    return e.what();
  }
  return "";
}

inline std::string LoadError(int index, const std::string &text) {
  TLUT lut;
  return Load(index, text, lut);
}

// A float as a look file writes it: its four bytes in little-endian order as hex digits.
inline std::string HexOf(float v) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(v);
  char s[9];
  std::snprintf(s, sizeof s, "%02x%02x%02x%02x", bits & 0xff, (bits >> 8) & 0xff, (bits >> 16) & 0xff, bits >> 24);
  return s;
}

inline std::string PeerDir() { return std::string(TINTWISE_TEST_DATA_DIR) + "/ocio"; }
inline std::string PeerFile(const std::string &name) { return PeerDir() + "/" + name; }

} // namespace tintwise::test
