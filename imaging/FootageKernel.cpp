// The footage kernels. Integer pictures take the exact arithmetic of ApplyToColor, arranged for
// speed: an input channel of b bits has only 2^b values, so the grid index and fraction of each
// (after the curve, for a LUT with both tables) come from tables built once, and the interpolation
// runs on all three channels at once with the same operations in the same order, so every code is
// identical. Floating-point pictures take a single-precision trilinear kernel over a copy of the
// lattice; its results stay far inside 1/65,535 of the double-precision reading.
#include "imaging/FootageKernel.h"

#include <Imath/half.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/Errors.h"
#include "engine/Parallel.h"

namespace tintwise {

namespace {

typedef double v4d __attribute__((vector_size(32)));
typedef float v4f __attribute__((vector_size(16)));

constexpr std::size_t kChunk = 2048; // pixels handed to one call of a row kernel
constexpr int kChunksPerThread = 4;

} // namespace

struct TFootageKernel::TPlan {
  const TLUT *Lut = nullptr;
  int Mode = kModeIdentity;
  int N = 0;
  // Integer pictures.
  double Scale = 0;                  // 2^bits - 1
  std::vector<std::uint16_t> ToCode; // 16-bit container value -> code (bits < 16 only)
  std::vector<std::uint16_t> FromCode; // code -> 16-bit container value (bits < 16 only)
  std::vector<std::uint16_t> Direct[3]; // curve or identity: output code of each input code
  struct TAxis {
    std::vector<int> Lo, Hi; // lattice offsets of the lower and upper neighbour along this axis
    std::vector<double> F, OneMinusF;
  } Axis[3];
  std::vector<v4d> LatticeD; // [r][g][b], n^3 entries
  // Floating-point pictures.
  std::vector<v4f> LatticeF;
};

namespace {

using TPlan = TFootageKernel::TPlan;

void BuildIntegerPlan(const TLUT &lut, int bits, TPlan &p) {
  const int codes = 1 << bits;
  p.Scale = static_cast<double>(codes - 1);
  if (bits < 16) {
    p.ToCode.resize(65536);
    for (std::uint32_t v = 0; v < 65536; ++v)
      p.ToCode[v] = static_cast<std::uint16_t>((v * static_cast<std::uint32_t>(codes - 1) + 32767) / 65535);
    // Widening repeats the code's bits from the top (10 bits: v << 6 | v >> 4), as the picture
    // library does when it reads such files, so an identity LUT gives back every value it read.
    p.FromCode.resize(codes);
    for (std::uint32_t c = 0; c < static_cast<std::uint32_t>(codes); ++c) {
      std::uint32_t wide = 0;
      for (int shift = 16 - bits; shift > -bits; shift -= bits)
        wide |= shift >= 0 ? c << shift : c >> -shift;
      p.FromCode[c] = static_cast<std::uint16_t>(wide);
    }
  }
  if (p.Mode == kMode1D || p.Mode == kModeIdentity) {
    for (auto &d : p.Direct)
      d.resize(codes);
    for (int v = 0; v < codes; ++v) {
      const auto u = static_cast<std::uint16_t>(v);
      TColorTriple in{u, u, u, static_cast<std::uint8_t>(bits)}, out;
      out.Bits = static_cast<std::uint8_t>(bits);
      lut.ApplyToColor(in, out);
      p.Direct[0][v] = out.R;
      p.Direct[1][v] = out.G;
      p.Direct[2][v] = out.B;
    }
    return;
  }
  const int n = p.N;
  const int strides[3] = {n * n, n, 1};
  for (int c = 0; c < 3; ++c) {
    p.Axis[c].Lo.resize(codes);
    p.Axis[c].Hi.resize(codes);
    p.Axis[c].F.resize(codes);
    p.Axis[c].OneMinusF.resize(codes);
  }
  for (int v = 0; v < codes; ++v) {
    const double x = v / p.Scale;
    TLutTriple in{x, x, x};
    if (p.Mode == kMode1DThen3D)
      in = lut.Evaluate1D(in);
    for (int c = 0; c < 3; ++c) {
      int i;
      double f;
      LutIndex(n, in[c], i, f);
      p.Axis[c].Lo[v] = i * strides[c];
      p.Axis[c].Hi[v] = (i + (i < n - 1)) * strides[c];
      p.Axis[c].F[v] = f;
      p.Axis[c].OneMinusF[v] = 1 - f;
    }
  }
  p.LatticeD.resize(static_cast<std::size_t>(n) * n * n);
  for (int r = 0; r < n; ++r)
    for (int g = 0; g < n; ++g)
      for (int b = 0; b < n; ++b) {
        const TLutTriple &e = lut.Lattice[r][g][b];
        p.LatticeD[(static_cast<std::size_t>(r) * n + g) * n + b] = v4d{e[0], e[1], e[2], 0};
      }
}

void BuildFloatPlan(const TLUT &lut, TPlan &p) {
  if (p.Mode != kMode3D)
    return;
  const int n = p.N;
  p.LatticeF.resize(static_cast<std::size_t>(n) * n * n);
  for (int r = 0; r < n; ++r)
    for (int g = 0; g < n; ++g)
      for (int b = 0; b < n; ++b) {
        const TLutTriple &e = lut.Lattice[r][g][b];
        p.LatticeF[(static_cast<std::size_t>(r) * n + g) * n + b] =
            v4f{static_cast<float>(e[0]), static_cast<float>(e[1]), static_cast<float>(e[2]), 0};
      }
}

// Codes in place, three to a pixel with `channels` values per pixel.
__attribute__((target_clones("avx2", "default")))
void Codes3D(const TPlan &p, std::uint16_t *codes, std::size_t count, int channels) {
  const TPlan::TAxis &ar = p.Axis[0], &ag = p.Axis[1], &ab = p.Axis[2];
  const v4d *lattice = p.LatticeD.data();
  const v4d zero = {0, 0, 0, 0}, one = {1, 1, 1, 1};
  const v4d scale = {p.Scale, p.Scale, p.Scale, p.Scale};
  // Adding and removing 2^52 rounds 0..65535 to the nearest integer, halves to even.
  const v4d magic = {0x1p52, 0x1p52, 0x1p52, 0x1p52};
  for (std::size_t k = 0; k < count; ++k, codes += channels) {
    const unsigned R = codes[0], G = codes[1], B = codes[2];
    const int r0 = ar.Lo[R], r1 = ar.Hi[R], g0 = ag.Lo[G], g1 = ag.Hi[G], b0 = ab.Lo[B], b1 = ab.Hi[B];
    const double fb = ab.F[B], omfb = ab.OneMinusF[B];
    const v4d v00 = omfb * lattice[r0 + g0 + b0] + lattice[r0 + g0 + b1] * fb;
    const v4d v01 = omfb * lattice[r0 + g1 + b0] + lattice[r0 + g1 + b1] * fb;
    const v4d v10 = omfb * lattice[r1 + g0 + b0] + lattice[r1 + g0 + b1] * fb;
    const v4d v11 = omfb * lattice[r1 + g1 + b0] + lattice[r1 + g1 + b1] * fb;
    const double fg = ag.F[G], omfg = ag.OneMinusF[G], fr = ar.F[R], omfr = ar.OneMinusF[R];
    const v4d w0 = omfg * v00 + v01 * fg;
    const v4d w1 = omfg * v10 + v11 * fg;
    v4d res = omfr * w0 + w1 * fr;
    res = res >= zero ? res : zero; // NaN counts as 0
    res = res > one ? one : res;
    res = (scale * res + magic) - magic;
    codes[0] = static_cast<std::uint16_t>(static_cast<int>(res[0]));
    codes[1] = static_cast<std::uint16_t>(static_cast<int>(res[1]));
    codes[2] = static_cast<std::uint16_t>(static_cast<int>(res[2]));
  }
}

void CodesDirect(const TPlan &p, std::uint16_t *codes, std::size_t count, int channels) {
  for (std::size_t k = 0; k < count; ++k, codes += channels)
    for (int c = 0; c < 3; ++c)
      codes[c] = p.Direct[c][codes[c]];
}

// Floats in place: the single-precision trilinear kernel of a 3D-only LUT.
__attribute__((target_clones("avx2", "default")))
void Floats3D(const TPlan &p, float *px, std::size_t count, int channels) {
  const int n = p.N;
  const float last = static_cast<float>(n - 1);
  const int top = n - 2; // the lower neighbour never passes the last cell
  const v4f *lattice = p.LatticeF.data();
  const int sr = n * n, sg = n;
  const v4f zero = {0, 0, 0, 0}, one = {1, 1, 1, 1};
  for (std::size_t k = 0; k < count; ++k, px += channels) {
    int idx[3];
    float frac[3];
    for (int c = 0; c < 3; ++c) {
      // The index rule of the double-precision lookup: less than one step below the table
      // extrapolates from its first interval, further below (and NaN) takes the first point,
      // beyond the top the last.
      float t = px[c] * last;
      t = t > -1 ? t : 0; // NaN too
      t = t < last ? t : last;
      int i = t > 0 ? static_cast<int>(t) : 0;
      i = i < top ? i : top;
      idx[c] = i;
      frac[c] = t - static_cast<float>(i);
    }
    const v4f *e = lattice + idx[0] * sr + idx[1] * sg + idx[2];
    const float fr = frac[0], fg = frac[1], fb = frac[2];
    const v4f v00 = e[0] + (e[1] - e[0]) * fb;
    const v4f v01 = e[sg] + (e[sg + 1] - e[sg]) * fb;
    const v4f v10 = e[sr] + (e[sr + 1] - e[sr]) * fb;
    const v4f v11 = e[sr + sg] + (e[sr + sg + 1] - e[sr + sg]) * fb;
    const v4f w0 = v00 + (v01 - v00) * fg;
    const v4f w1 = v10 + (v11 - v10) * fg;
    v4f res = w0 + (w1 - w0) * fr;
    res = res >= zero ? res : zero;
    res = res > one ? one : res;
    px[0] = res[0];
    px[1] = res[1];
    px[2] = res[2];
  }
}

inline float Clamp01(double y) {
  if (!(y >= 0))
    return 0;
  return y > 1 ? 1.0f : static_cast<float>(y);
}

// LUTs with a curve, and identity: the double-precision reading, pixel by pixel.
void FloatsPlain(const TPlan &p, float *px, std::size_t count, int channels) {
  for (std::size_t k = 0; k < count; ++k, px += channels) {
    TLutTriple in{px[0], px[1], px[2]};
    if (p.Mode != kModeIdentity)
      in = p.Lut->Evaluate(in);
    for (int c = 0; c < 3; ++c)
      px[c] = Clamp01(in[c]);
  }
}

void ApplyFloatChunk(const TPlan &p, float *px, std::size_t count, int channels) {
  if (p.Mode == kMode3D)
    Floats3D(p, px, count, channels);
  else
    FloatsPlain(p, px, count, channels);
}

// Splits count pixels into chunks of kChunk and runs body(first pixel, pixels) over the threads.
template <class F>
void ForChunks(std::size_t count, F body) {
  const std::size_t chunks = (count + kChunk - 1) / kChunk;
  ParallelFor(static_cast<int>(chunks), [&](int begin, int end) {
    for (int c = begin; c < end; ++c) {
      const std::size_t first = static_cast<std::size_t>(c) * kChunk;
      body(first, std::min(kChunk, count - first));
    }
  }, kChunksPerThread);
}

void CheckChannels(int channels) {
  if (channels < 3)
    throw EEngineError("A picture needs red, green and blue channels to go through a LUT.");
}

} // namespace

TFootageKernel::TFootageKernel(const TLUT &lut, int bits) : FBits(bits), FPlan(std::make_unique<TPlan>()) {
  lut.CheckSizes();
  if (bits < 0 || bits > 16)
    throw EEngineError("A colour of " + std::to_string(bits) +
                       " bits per component cannot be used; 1 to 16 bits are supported.");
  FPlan->Lut = &lut;
  FPlan->Mode = lut.Mode;
  FPlan->N = (lut.Mode == kMode3D || lut.Mode == kMode1DThen3D) ? lut.Size3D : 0;
  if (bits > 0)
    BuildIntegerPlan(lut, bits, *FPlan);
  else
    BuildFloatPlan(lut, *FPlan);
}

TFootageKernel::~TFootageKernel() = default;

void TFootageKernel::ApplyCodes(std::uint16_t *pixels, std::size_t count, int channels) const {
  CheckChannels(channels);
  if (FBits == 0)
    throw EEngineError("This kernel was built for floating-point pictures.");
  const TPlan &p = *FPlan;
  ForChunks(count, [&](std::size_t first, std::size_t n) {
    std::uint16_t *px = pixels + first * channels;
    if (!p.ToCode.empty())
      for (std::size_t k = 0; k < n; ++k)
        for (int c = 0; c < 3; ++c)
          px[k * channels + c] = p.ToCode[px[k * channels + c]];
    if (p.Direct[0].empty())
      Codes3D(p, px, n, channels);
    else
      CodesDirect(p, px, n, channels);
    if (!p.FromCode.empty())
      for (std::size_t k = 0; k < n; ++k)
        for (int c = 0; c < 3; ++c)
          px[k * channels + c] = p.FromCode[px[k * channels + c]];
  });
}

void TFootageKernel::ApplyCodes(std::uint8_t *pixels, std::size_t count, int channels) const {
  CheckChannels(channels);
  if (FBits == 0 || FBits > 8)
    throw EEngineError("An 8-bit container cannot hold codes of " + std::to_string(FBits) + " bits.");
  const TPlan &p = *FPlan;
  ForChunks(count, [&](std::size_t first, std::size_t n) {
    std::uint16_t codes[kChunk * 3];
    const std::uint8_t *in = pixels + first * channels;
    for (std::size_t k = 0; k < n; ++k)
      for (int c = 0; c < 3; ++c)
        codes[k * 3 + c] = in[k * channels + c];
    if (p.Direct[0].empty())
      Codes3D(p, codes, n, 3);
    else
      CodesDirect(p, codes, n, 3);
    std::uint8_t *out = pixels + first * channels;
    for (std::size_t k = 0; k < n; ++k)
      for (int c = 0; c < 3; ++c)
        out[k * channels + c] = static_cast<std::uint8_t>(codes[k * 3 + c]);
  });
}

void TFootageKernel::ApplyFloats(float *pixels, std::size_t count, int channels) const {
  CheckChannels(channels);
  if (FBits != 0)
    throw EEngineError("This kernel was built for integer pictures.");
  ForChunks(count, [&](std::size_t first, std::size_t n) { ApplyFloatChunk(*FPlan, pixels + first * channels, n, channels); });
}

void TFootageKernel::ApplyHalves(std::uint16_t *pixels, std::size_t count, int channels) const {
  CheckChannels(channels);
  if (FBits != 0)
    throw EEngineError("This kernel was built for integer pictures.");
  ForChunks(count, [&](std::size_t first, std::size_t n) {
    float values[kChunk * 3];
    std::uint16_t *px = pixels + first * channels;
    for (std::size_t k = 0; k < n; ++k)
      for (int c = 0; c < 3; ++c) {
        Imath::half h;
        h.setBits(px[k * channels + c]);
        values[k * 3 + c] = static_cast<float>(h);
      }
    ApplyFloatChunk(*FPlan, values, n, 3);
    for (std::size_t k = 0; k < n; ++k)
      for (int c = 0; c < 3; ++c)
        px[k * channels + c] = Imath::half(values[k * 3 + c]).bits();
  });
}

} // namespace tintwise
