// Pieces the tests of the later format families share: their table indices, small tables whose
// codes are easy to work out by hand, and loading a text through one format.
#pragma once

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "formats/LutErrors.h"
#include "tests/formats/FormatTestSupport.h"

namespace tintwise::test {

enum : int {
  kCodex3D = 6, kClipster = 8, kLuther = 9, kColorfront3D = 10, kDavinciDat = 11, kQuantel3D = 12,
  kCodex1D = 13, kFilmlight1D = 15, kQuantel1D = 16, kStwo = 17, kColorfront1D = 19, kFusion = 20,
  kBlackmagic = 21, kCinetal = 22, kShake = 23, kILut = 24, kOLut = 25, kSpeedgrade = 26, kCdl = 27,
  kPFClean = 28,
};

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

// Writes text to a file named name in dir and loads it through the format at index.
inline void LoadText(const TTempDir &dir, const std::string &name, const std::string &text, int index, TLUT &lut) {
  WriteText(dir.File(name), text);
  Format(index).LoadFromFile(dir.File(name), lut);
}

// The message of the error a load raises, or "loaded" when it does not raise.
inline std::string LoadError(const TTempDir &dir, const std::string &name, const std::string &text, int index) {
  TLUT lut;
  try {
    LoadText(dir, name, text, index, lut);
  } catch (const std::exception &e) {
    return e.what();
  }
  return "loaded";
}

// A float as a look file writes it: its four bytes in little-endian order as hex digits.
inline std::string HexOf(float v) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(v);
  char s[9];
  std::snprintf(s, sizeof s, "%02x%02x%02x%02x", bits & 0xff, (bits >> 8) & 0xff, (bits >> 16) & 0xff, bits >> 24);
  return s;
}

inline bool EndsWith(const std::string &s, const std::string &tail) {
  return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace tintwise::test
