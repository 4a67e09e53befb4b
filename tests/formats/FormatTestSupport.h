// Shared pieces of the format tests: a temporary folder, whole-file text, test LUTs.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>

#include "engine/Lut.h"
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
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << text;
}

inline std::string ReadText(const std::string &file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
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

inline TLUTFormat &Format(int index) {
  InitLutFormats();
  return *GetLutFormat(index);
}

// Format table indices used by the tests.
enum : int {
  kTruelight = 0, kCube3D = 1, kLustre3D = 2, kPandora = 3, k3DL = 4, kNucoda3D = 5, kCube1D = 7,
  kLustre1D = 14, kNucoda1D = 18, kFsiCfe = 29, kFsiDit = 30,
};

} // namespace tintwise::test
