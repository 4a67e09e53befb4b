#include "engine/Lut.h"

#include <cmath>
#include <string>

#include "engine/Errors.h"
#include "engine/Parallel.h"

namespace tintwise {

TLUT::TLUT()
    : Lattice(new TLutTriple[kMaxSize3D][kMaxSize3D][kMaxSize3D]()),
      Curve(new TLutTriple[kMaxSize1D]()) {}

TLUT::~TLUT() = default;

void LutIndex(int n, double x, int &i, double &f) {
  const double t = static_cast<double>(static_cast<long double>(n - 1) * static_cast<long double>(x));
  if (t > -1 && t < 0) {
    // Just below the table: its first interval, extrapolated with a negative fraction.
    i = 0;
    f = t;
  } else if (!(t > 0)) { // zero, further below the table, or NaN
    i = 0;
    f = 0;
  } else if (t >= n - 1) {
    i = n - 1 > 0 ? n - 1 : 0;
    f = 0;
  } else {
    const double whole = std::trunc(t);
    i = static_cast<int>(whole);
    f = t - whole;
  }
}

namespace {

// Sizes beyond the storage are never read: the lookups clamp to what exists.
inline int Clamp3D(int n) { return n < 1 ? 1 : (n > kMaxSize3D ? kMaxSize3D : n); }
inline int Clamp1D(int m) { return m < 1 ? 1 : (m > kMaxSize1D ? kMaxSize1D : m); }

} // namespace

TLutTriple TLUT::Evaluate3D(const TLutTriple &in) const {
  const int n = Clamp3D(Size3D);
  int r0, g0, b0;
  double fr, fg, fb;
  LutIndex(n, in[0], r0, fr);
  LutIndex(n, in[1], g0, fg);
  LutIndex(n, in[2], b0, fb);
  // At the last point the fraction is 0 and the upper neighbour is the point itself.
  const int r1 = r0 + (r0 < n - 1), g1 = g0 + (g0 < n - 1), b1 = b0 + (b0 < n - 1);
  TLutTriple out;
  for (int c = 0; c < 3; ++c) {
    const double v00 = (1 - fb) * Lattice[r0][g0][b0][c] + Lattice[r0][g0][b1][c] * fb;
    const double v01 = (1 - fb) * Lattice[r0][g1][b0][c] + Lattice[r0][g1][b1][c] * fb;
    const double v10 = (1 - fb) * Lattice[r1][g0][b0][c] + Lattice[r1][g0][b1][c] * fb;
    const double v11 = (1 - fb) * Lattice[r1][g1][b0][c] + Lattice[r1][g1][b1][c] * fb;
    const double w0 = (1 - fg) * v00 + v01 * fg;
    const double w1 = (1 - fg) * v10 + v11 * fg;
    out[c] = (1 - fr) * w0 + w1 * fr;
  }
  return out;
}

TLutTriple TLUT::Evaluate1D(const TLutTriple &in) const {
  const int m = Clamp1D(Size1D);
  TLutTriple out;
  for (int c = 0; c < 3; ++c) {
    int i;
    double f;
    LutIndex(m, in[c], i, f);
    const int i1 = i + (i < m - 1);
    out[c] = (1 - f) * Curve[i][c] + Curve[i1][c] * f;
  }
  return out;
}

TLutTriple TLUT::Evaluate(const TLutTriple &in) const {
  switch (Mode) {
  case kMode1D: return Evaluate1D(in);
  case kMode3D: return Evaluate3D(in);
  case kMode1DThen3D: return Evaluate3D(Evaluate1D(in));
  default: return in;
  }
}

void CheckSize3D(int n) {
  if (n < 2 || n > kMaxSize3D)
    throw EEngineError("The LUT's 3D size " + std::to_string(n) + " is outside 2 to " + std::to_string(kMaxSize3D) +
                       " points per axis.");
}

void CheckBits(int bits) {
  if (bits < 1 || bits > 16)
    throw EEngineError("A colour of " + std::to_string(bits) + " bits per component cannot be used; 1 to 16 bits are supported.");
}

void CheckSoftness(int softness) {
  if (softness < 0)
    throw EEngineError("The softness " + std::to_string(softness) + " is negative; it must be 0 or more.");
}

namespace {

inline std::uint16_t ToCode(double y, double scale) {
  if (!(y >= 0)) // negative or NaN
    y = 0;
  else if (y > 1)
    y = 1;
  return static_cast<std::uint16_t>(std::nearbyint(scale * y));
}

} // namespace

void TLUT::ApplyToColor(const TColorTriple &in, TColorTriple &out) const {
  CheckBits(in.Bits);
  CheckBits(out.Bits);
  const double inScale = static_cast<double>((1u << in.Bits) - 1);
  const double outScale = static_cast<double>((1u << out.Bits) - 1);
  const TLutTriple result = Evaluate({in.R / inScale, in.G / inScale, in.B / inScale});
  out.R = ToCode(result[0], outScale);
  out.G = ToCode(result[1], outScale);
  out.B = ToCode(result[2], outScale);
}

void TLUT::CheckSizes() const {
  if (Mode == kMode3D || Mode == kMode1DThen3D)
    CheckSize3D(Size3D);
  if ((Mode == kMode1D || Mode == kMode1DThen3D) && (Size1D < 2 || Size1D > kMaxSize1D))
    throw EEngineError("The LUT's 1D size " + std::to_string(Size1D) + " is outside 2 to " +
                       std::to_string(kMaxSize1D) + " entries.");
  if (Mode > kModeIdentity)
    throw EEngineError("The LUT's mode " + std::to_string(Mode) + " is unknown.");
}

void TLUT::AssignFrom(const TLUT &source) {
  const bool exact3D = Mode == kMode3D && source.Mode == kMode3D && Size3D == source.Size3D;
  const bool exact1D = Mode == kMode1D && source.Mode == kMode1D && Size1D == source.Size1D;
  if (!exact3D && !exact1D && (Mode == kMode3D || Mode == kMode1D)) {
    CheckSizes(); // refuse before the comments change
    source.CheckSizes();
  }
  if (&source != this)
    Comments = source.Comments;
  if (exact3D) {
    const int n = Clamp3D(Size3D);
    for (int r = 0; r < n; ++r)
      for (int g = 0; g < n; ++g)
        for (int b = 0; b < n; ++b)
          Lattice[r][g][b] = source.Lattice[r][g][b];
    return;
  }
  if (exact1D) {
    const int m = Clamp1D(Size1D);
    for (int i = 0; i < m; ++i)
      Curve[i] = source.Curve[i];
    return;
  }
  if (Mode != kMode3D && Mode != kMode1D)
    return;
  if (Mode == kMode3D) {
    const int n = Size3D;
    ParallelFor(n, [&](int begin, int end) {
      for (int r = begin; r < end; ++r)
        for (int g = 0; g < n; ++g)
          for (int b = 0; b < n; ++b)
            Lattice[r][g][b] = source.Evaluate({static_cast<double>(r) / (n - 1), static_cast<double>(g) / (n - 1),
                                                static_cast<double>(b) / (n - 1)});
    });
  } else {
    const int m = Size1D;
    ParallelFor(m, [&](int begin, int end) {
      for (int i = begin; i < end; ++i) {
        const double x = static_cast<double>(i) / (m - 1);
        Curve[i] = source.Evaluate({x, x, x});
      }
    }, 4096);
  }
}

} // namespace tintwise
