// Shared pieces of the format tests: test tables, and loading or saving through one format of the
// registry.
#pragma once

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/Lut.h"
#include "formats/LutErrors.h"
#include "formats/LutFormat.h"
#include "tests/support/TestFiles.h"

namespace tintwise::test {

using enum TLutFormatId;

// Every test finds the registry filled, as the programs fill it when they start.
inline const bool kLutFormatsReady = (InitLutFormats(), true);

inline TLUTFormat &Format(TLutFormatId id) { return *GetLutFormat(id); }

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

// Writes the LUT through the format to a file called name and answers the file's bytes.
inline std::string SaveText(TLutFormatId id, const TLUT &lut, int bits, const std::string &name = "out.txt") {
  TTempDir dir;
  Format(id).SaveToFile(dir.File(name), lut, bits);
  return ReadText(dir.File(name));
}

// Loads text as the bytes of a file called "in.txt" through the format; answers ErrorOf the load.
inline std::string Load(TLutFormatId id, const std::string &text, TLUT &lut) {
  return ErrorOf([&] { Format(id).LoadFromBuffer(text, "in.txt", lut); });
}

// A float as a look file writes it: its four bytes in little-endian order as hex digits.
inline std::string HexOf(float v) {
  const std::uint32_t bits = std::bit_cast<std::uint32_t>(v);
  char s[9];
  std::snprintf(s, sizeof s, "%02x%02x%02x%02x", bits & 0xff, (bits >> 8) & 0xff, (bits >> 16) & 0xff, bits >> 24);
  return s;
}

// A Speedgrade look holding the given size and data, as its elements' texts.
inline std::string Look(const std::string &size, const std::string &data) {
  return "<?xml version=\"1.0\" ?>\n<look>\n  <shaders>\n    <base><visible>true</visible></base>\n  </shaders>\n"
         "<LUT><size>" + size + "</size><data>" + data + "</data></LUT></look>\n";
}

// The LUT files of another project, in the test data.
inline std::string PeerFile(const std::string &name) { return std::string(TINTWISE_TEST_DATA_DIR) + "/ocio/" + name; }

} // namespace tintwise::test
