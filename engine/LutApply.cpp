// TLUT::ApplyToBitmap: the same arithmetic as ApplyToColor, arranged for speed.
//
// An 8-bit input channel takes only 256 values, so the grid index and fraction of every channel
// (after the curve, for a LUT with both tables) come from tables built once per call. The first
// interpolation step runs along blue, and its result depends only on the lattice (red, green) pair
// and the blue byte: for lattices of up to kVTableMaxSize points per axis those results are built
// once for all 256 blue bytes, leaving two steps per pixel. Every value is computed with the same
// operations in the same order as ApplyToColor, so the bytes are identical.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "engine/Bitmap24.h"
#include "engine/Lut.h"
#include "engine/Parallel.h"
#include "engine/Scratch.h"

namespace tintwise {

namespace {

constexpr int kVTableMaxSize = 48;

typedef double v4d __attribute__((vector_size(32)));

struct TAxis {
  int i0[256];
  int i1[256];
  double f[256];
  double omf[256]; // 1 - f
};

struct TPlan {
  int n = 0;
  const TLUT *lut = nullptr;
  TAxis axis[3]; // red, green, blue
  const double *vtable = nullptr; // [blue byte][red index][green index][4]
};

void BuildAxes(const TLUT &lut, TPlan &plan) {
  const int n = plan.n;
  for (int v = 0; v < 256; ++v) {
    const double x = v / 255.0;
    TLutTriple in{x, x, x};
    if (lut.Mode == kMode1DThen3D)
      in = lut.Evaluate1D(in);
    for (int c = 0; c < 3; ++c) {
      int i;
      double f;
      LutIndex(n, in[c], i, f);
      plan.axis[c].i0[v] = i;
      plan.axis[c].i1[v] = i + (i < n - 1);
      plan.axis[c].f[v] = f;
      plan.axis[c].omf[v] = 1 - f;
    }
  }
}

void BuildVTable(const TLUT &lut, const TPlan &plan, double *vt) {
  const int n = plan.n;
  const TAxis &ab = plan.axis[2];
  ParallelFor(256, [&](int begin, int end) {
    for (int bv = begin; bv < end; ++bv) {
      const int b0 = ab.i0[bv], b1 = ab.i1[bv];
      const double fb = ab.f[bv], omfb = ab.omf[bv];
      double *out = vt + static_cast<std::size_t>(bv) * n * n * 4;
      for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g, out += 4) {
          const TLutTriple &e0 = lut.Lattice[r][g][b0];
          const TLutTriple &e1 = lut.Lattice[r][g][b1];
          for (int c = 0; c < 3; ++c)
            out[c] = omfb * e0[c] + e1[c] * fb;
          out[3] = 0;
        }
    }
  }, 16);
}

inline std::uint8_t ToByte(double y) {
  if (!(y >= 0))
    y = 0;
  else if (y > 1)
    y = 1;
  return static_cast<std::uint8_t>(std::nearbyint(255.0 * y));
}

__attribute__((target_clones("avx2", "default")))
void ApplyRowsVTable(const TPlan &plan, TBitmap24 &bitmap, int y0, int y1) {
  const int n = plan.n;
  const std::size_t blueStride = static_cast<std::size_t>(n) * n * 4;
  const TAxis &ar = plan.axis[0], &ag = plan.axis[1];
  const v4d zero = {0, 0, 0, 0}, one = {1, 1, 1, 1}, scale = {255, 255, 255, 255};
  // Adding and removing 2^52 rounds 0..255 to the nearest integer, halves to even.
  const v4d magic = {0x1p52, 0x1p52, 0x1p52, 0x1p52};
  const int width = bitmap.Width();
  for (int y = y0; y < y1; ++y) {
    std::uint8_t *p = bitmap.Scanline(y);
    std::uint32_t lastIn = 0xFFFFFFFFu;
    std::uint8_t o0 = 0, o1 = 0, o2 = 0;
    for (int x = 0; x < width; ++x, p += 3) {
      const std::uint8_t B = p[0], G = p[1], R = p[2];
      const std::uint32_t key = B | (G << 8) | (R << 16);
      if (key != lastIn) {
        lastIn = key;
        const double *base = plan.vtable + B * blueStride;
        const int r0 = ar.i0[R] * n, r1 = ar.i1[R] * n, g0 = ag.i0[G], g1 = ag.i1[G];
        v4d v00, v01, v10, v11;
        std::memcpy(&v00, base + (r0 + g0) * 4, sizeof v00);
        std::memcpy(&v01, base + (r0 + g1) * 4, sizeof v01);
        std::memcpy(&v10, base + (r1 + g0) * 4, sizeof v10);
        std::memcpy(&v11, base + (r1 + g1) * 4, sizeof v11);
        const double fg = ag.f[G], omfg = ag.omf[G], fr = ar.f[R], omfr = ar.omf[R];
        const v4d w0 = omfg * v00 + v01 * fg;
        const v4d w1 = omfg * v10 + v11 * fg;
        v4d res = omfr * w0 + w1 * fr;
        res = res >= zero ? res : zero; // NaN counts as 0
        res = res > one ? one : res;
        res = (scale * res + magic) - magic;
        o0 = static_cast<std::uint8_t>(static_cast<int>(res[2]));
        o1 = static_cast<std::uint8_t>(static_cast<int>(res[1]));
        o2 = static_cast<std::uint8_t>(static_cast<int>(res[0]));
      }
      p[0] = o0;
      p[1] = o1;
      p[2] = o2;
    }
  }
}

// Lattices too large for the blue table: all three steps per pixel, from the same index tables.
void ApplyRowsDirect(const TPlan &plan, TBitmap24 &bitmap, int y0, int y1) {
  const TLUT &lut = *plan.lut;
  const TAxis &ar = plan.axis[0], &ag = plan.axis[1], &ab = plan.axis[2];
  const int width = bitmap.Width();
  for (int y = y0; y < y1; ++y) {
    std::uint8_t *p = bitmap.Scanline(y);
    for (int x = 0; x < width; ++x, p += 3) {
      const std::uint8_t B = p[0], G = p[1], R = p[2];
      const int r0 = ar.i0[R], r1 = ar.i1[R], g0 = ag.i0[G], g1 = ag.i1[G], b0 = ab.i0[B], b1 = ab.i1[B];
      const double fr = ar.f[R], fg = ag.f[G], fb = ab.f[B];
      const double omfr = ar.omf[R], omfg = ag.omf[G], omfb = ab.omf[B];
      double out[3];
      for (int c = 0; c < 3; ++c) {
        const double v00 = omfb * lut.Lattice[r0][g0][b0][c] + lut.Lattice[r0][g0][b1][c] * fb;
        const double v01 = omfb * lut.Lattice[r0][g1][b0][c] + lut.Lattice[r0][g1][b1][c] * fb;
        const double v10 = omfb * lut.Lattice[r1][g0][b0][c] + lut.Lattice[r1][g0][b1][c] * fb;
        const double v11 = omfb * lut.Lattice[r1][g1][b0][c] + lut.Lattice[r1][g1][b1][c] * fb;
        const double w0 = omfg * v00 + v01 * fg;
        const double w1 = omfg * v10 + v11 * fg;
        out[c] = omfr * w0 + w1 * fr;
      }
      p[0] = ToByte(out[2]);
      p[1] = ToByte(out[1]);
      p[2] = ToByte(out[0]);
    }
  }
}

// Curve only, or identity: each output channel depends on its own input byte alone.
void BuildPerChannel(const TLUT &lut, std::uint8_t (&table)[3][256]) {
  for (int v = 0; v < 256; ++v) {
    TColorTriple in{static_cast<std::uint16_t>(v), static_cast<std::uint16_t>(v), static_cast<std::uint16_t>(v), 8};
    TColorTriple out;
    out.Bits = 8;
    lut.ApplyToColor(in, out);
    table[0][v] = static_cast<std::uint8_t>(out.R);
    table[1][v] = static_cast<std::uint8_t>(out.G);
    table[2][v] = static_cast<std::uint8_t>(out.B);
  }
}

void ApplyRowsPerChannel(const std::uint8_t (&table)[3][256], TBitmap24 &bitmap, int y0, int y1) {
  const int width = bitmap.Width();
  for (int y = y0; y < y1; ++y) {
    std::uint8_t *p = bitmap.Scanline(y);
    for (int x = 0; x < width; ++x, p += 3) {
      p[0] = table[2][p[0]];
      p[1] = table[1][p[1]];
      p[2] = table[0][p[2]];
    }
  }
}

} // namespace

struct TBitmapLutRows::TState {
  bool PerChannel = false;
  std::uint8_t Table[3][256] = {};
  TPlan Plan;
  std::unique_ptr<TScratch> VTable;
};

TBitmapLutRows::TBitmapLutRows(const TLUT &lut) : F(std::make_unique<TState>()) {
  lut.CheckSizes();
  if (lut.Mode == kMode1D || lut.Mode == kModeIdentity) {
    F->PerChannel = true;
    BuildPerChannel(lut, F->Table);
    return;
  }
  TPlan &plan = F->Plan;
  plan.n = lut.Size3D;
  plan.lut = &lut;
  BuildAxes(lut, plan);
  const int n = lut.Size3D;
  if (n <= kVTableMaxSize) {
    F->VTable = std::make_unique<TScratch>(static_cast<std::size_t>(256) * n * n * 4 * sizeof(double));
    BuildVTable(lut, plan, F->VTable->As<double>());
    plan.vtable = F->VTable->As<double>();
  }
}

TBitmapLutRows::~TBitmapLutRows() = default;

void TBitmapLutRows::ApplyRows(TBitmap24 &bitmap, int y0, int y1) const {
  y0 = std::max(y0, 0);
  y1 = std::min(y1, bitmap.Height());
  if (y0 >= y1 || bitmap.Width() == 0)
    return;
  if (F->PerChannel)
    ApplyRowsPerChannel(F->Table, bitmap, y0, y1);
  else if (F->Plan.vtable)
    ApplyRowsVTable(F->Plan, bitmap, y0, y1);
  else
    ApplyRowsDirect(F->Plan, bitmap, y0, y1);
}

void TLUT::ApplyToBitmap(TBitmap24 &bitmap) const {
  CheckSizes();
  if (bitmap.Empty())
    return;
  const TBitmapLutRows rows(*this);
  ParallelFor(bitmap.Height(), [&](int y0, int y1) { rows.ApplyRows(bitmap, y0, y1); },
              Mode == kMode1D || Mode == kModeIdentity ? 64 : 16);
}

} // namespace tintwise
