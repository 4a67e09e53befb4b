// The footage kernels against the plain per-pixel reading: ApplyToColor for integer codes (every
// code identical), Evaluate at double precision clamped to 0..1 for floats (within 1/65,535).
#include <gtest/gtest.h>

#include <Imath/half.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <vector>

#include "engine/Errors.h"
#include "engine/Parallel.h"
#include "imaging/FootageApply.h"
#include "imaging/FootageFiles.h"
#include "imaging/FootageKernel.h"
#include "imaging/ImageResize2.h"

namespace tintwise {
namespace {

// A lattice that bends every channel and strays below 0 and above 1, so clamping is exercised.
std::unique_ptr<TLUT> BentLut(std::uint8_t mode, int n, int m = 0) {
  auto lut = std::make_unique<TLUT>();
  lut->Mode = mode;
  lut->Size3D = n;
  lut->Size1D = m;
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> wobble(-0.08, 0.08);
  for (int r = 0; r < n; ++r)
    for (int g = 0; g < n; ++g)
      for (int b = 0; b < n; ++b) {
        const double x = double(r) / (n - 1), y = double(g) / (n - 1), z = double(b) / (n - 1);
        lut->Lattice[r][g][b] = {0.7 * x + 0.2 * y * y + wobble(rng), std::sqrt(y) * 0.9 + 0.15 * z + wobble(rng),
                                 1.1 * z * z - 0.05 + 0.1 * x + wobble(rng)};
      }
  for (int i = 0; i < m; ++i) {
    const double x = double(i) / (m - 1);
    lut->Curve[i] = {x * x, std::sqrt(x), 1 - x};
  }
  return lut;
}

struct TLutCase {
  const char *Name;
  std::uint8_t Mode;
  int Size3D, Size1D;
};
const TLutCase kLuts[] = {
    {"lattice 33", kMode3D, 33, 0},     {"lattice 2", kMode3D, 2, 0},  {"lattice 65", kMode3D, 65, 0},
    {"curve then lattice", kMode1DThen3D, 17, 1024}, {"curve", kMode1D, 0, 4096}, {"identity", kModeIdentity, 0, 0},
};

TEST(FootageKernel, IntegerCodesAreExactlyApplyToColor) {
  std::mt19937 rng(11);
  for (const TLutCase &lc : kLuts)
    for (int bits : {8, 10, 12, 16}) {
      SCOPED_TRACE(std::string(lc.Name) + ", " + std::to_string(bits) + " bits");
      auto lut = BentLut(lc.Mode, lc.Size3D, lc.Size1D);
      const int top = (1 << bits) - 1;
      // Four channels: the fourth (alpha) must come through untouched.
      std::vector<std::uint16_t> codes;
      for (int v : {0, 1, top / 2, top / 2 + 1, top - 1, top})
        codes.insert(codes.end(), {std::uint16_t(v), std::uint16_t(top - v), std::uint16_t(v / 3), std::uint16_t(v)});
      std::uniform_int_distribution<int> any(0, top);
      for (int k = 0; k < 5000; ++k)
        codes.insert(codes.end(), {std::uint16_t(any(rng)), std::uint16_t(any(rng)), std::uint16_t(any(rng)),
                                   std::uint16_t(any(rng))});
      const std::size_t count = codes.size() / 4;
      // The container: the code itself in 8 bits; in 16 bits the code's bits repeated from the top,
      // as the picture library widens them (10 bits: v << 6 | v >> 4).
      const auto widen = [bits](unsigned v) {
        return static_cast<std::uint16_t>(v << (16 - bits) | v >> (2 * bits - 16));
      };
      std::vector<std::uint8_t> bytes(codes.begin(), codes.end());
      std::vector<std::uint16_t> words;
      for (std::uint16_t c : codes)
        words.push_back(widen(c));
      TFootageKernel kernel(*lut, bits);
      kernel.ApplyCodes(words.data(), count, 4);
      if (bits == 8)
        kernel.ApplyCodes(bytes.data(), count, 4);
      for (std::size_t k = 0; k < count; ++k) {
        const std::uint16_t *in = &codes[k * 4];
        TColorTriple out;
        out.Bits = static_cast<std::uint8_t>(bits);
        lut->ApplyToColor({in[0], in[1], in[2], static_cast<std::uint8_t>(bits)}, out);
        const std::uint16_t want[4] = {out.R, out.G, out.B, in[3]};
        for (int c = 0; c < 4; ++c) {
          ASSERT_EQ(words[k * 4 + c], widen(want[c])) << "pixel " << k << " channel " << c;
          ASSERT_TRUE(bits > 8 || bytes[k * 4 + c] == want[c]) << "pixel " << k << " channel " << c;
        }
      }
    }
  // Refused: fewer than three channels, codes wider than their container, a kernel of the other kind.
  const auto lut = BentLut(kMode3D, 2);
  const TFootageKernel ten(*lut, 10), floats(*lut, 0);
  std::uint8_t bytes[3] = {};
  std::uint16_t words[3] = {};
  float values[3] = {};
  EXPECT_THROW(ten.ApplyCodes(words, 1, 2), EEngineError);
  EXPECT_THROW(ten.ApplyCodes(bytes, 1, 3), EEngineError);
  EXPECT_THROW(floats.ApplyCodes(bytes, 1, 3), EEngineError);
  EXPECT_THROW(floats.ApplyCodes(words, 1, 3), EEngineError);
  EXPECT_THROW(ten.ApplyFloats(values, 1, 3), EEngineError);
  EXPECT_THROW(ten.ApplyHalves(words, 1, 3), EEngineError);
  for (const int bits : {-1, 17})
    EXPECT_THROW(TFootageKernel(*lut, bits), EEngineError);
}

TEST(FootageKernel, FloatsStayWithinOneIn65535OfTheDoubleReadingOnAnyThreadCount) {
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> any(-0.05f, 1.05f);
  for (const TLutCase &lc : kLuts) {
    SCOPED_TRACE(lc.Name);
    auto lut = BentLut(lc.Mode, lc.Size3D, lc.Size1D);
    std::vector<float> px;
    for (float v : {0.0f, 1.0f, 0.5f, 1.0f / 32, 31.0f / 32, -1.0f, 2.0f, inf, -inf, nan, 0.999999f, 1e-7f})
      px.insert(px.end(), {v, 1 - v, v * 0.3f, 0.25f});
    for (int k = 0; k < 20000; ++k)
      px.insert(px.end(), {any(rng), any(rng), any(rng), any(rng)});
    const std::size_t count = px.size() / 4;
    std::vector<float> out = px;
    std::vector<std::uint16_t> halves;
    for (float v : px)
      halves.push_back(Imath::half(v).bits());
    std::vector<float> alone = px; // the same on one thread as on seven
    TFootageKernel kernel(*lut, 0);
    SetEngineThreadCount(7);
    kernel.ApplyFloats(out.data(), count, 4);
    kernel.ApplyHalves(halves.data(), count, 4);
    SetEngineThreadCount(1);
    kernel.ApplyFloats(alone.data(), count, 4);
    SetEngineThreadCount(0);
    EXPECT_TRUE(alone == out);
    double worst = 0, worstHalf = 0;
    for (std::size_t k = 0; k < count; ++k) {
      const float *p = &px[k * 4];
      const auto half = [](float v) { return double(float(Imath::half(v))); };
      TLutTriple want = lut->Evaluate({p[0], p[1], p[2]});
      TLutTriple wantHalf = lut->Evaluate({half(p[0]), half(p[1]), half(p[2])});
      for (int c = 0; c < 3; ++c) {
        for (double *w : {&want[c], &wantHalf[c]})
          *w = !(*w >= 0) ? 0 : (*w > 1 ? 1 : *w);
        worst = std::max(worst, std::abs(out[k * 4 + c] - want[c]));
        Imath::half got;
        got.setBits(halves[k * 4 + c]);
        worstHalf = std::max(worstHalf, std::abs(double(float(got)) - wantHalf[c]));
      }
      ASSERT_EQ(out[k * 4 + 3], px[k * 4 + 3]) << "alpha changed at pixel " << k;
      ASSERT_EQ(halves[k * 4 + 3], Imath::half(px[k * 4 + 3]).bits());
    }
    EXPECT_LE(worst, 1.0 / 65535);
    EXPECT_LE(worstHalf, 1e-3); // a half holds 11 significant bits
  }
}

TEST(FootageFiles, MoviesAreKnownByTheirExtensionAndNameTheirFrames) {
  EXPECT_TRUE(IsMovieFileName("/a.b/clip.MOV"));
  EXPECT_FALSE(IsMovieFileName("/a.mov/clip"));
  EXPECT_FALSE(IsMovieFileName("frame.dpx"));
  // The movie's name less its extension, the frame in six digits, the type.
  EXPECT_EQ(MovieFrameFileName("/out", "/in/clip.v2.mov", 12, "dpx"), "/out/clip.v2.000012.dpx");
  EXPECT_EQ(MovieFrameFileName("out/", "a.b/.mov", 1234567, "exr"), "out/.mov.1234567.exr");
  EXPECT_EQ(MovieFrameFileName("", "take", 0, "png"), "take.000000.png");
}

} // namespace
} // namespace tintwise
