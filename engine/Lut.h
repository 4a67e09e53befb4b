// The LUT object: a 3D lattice, a 1D curve and the mode that says which of them is in force.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tintwise {

class TBitmap24;

constexpr int kMaxSize3D = 101;    // lattice points per axis
constexpr int kMaxSize1D = 100001; // curve entries

// One colour of a table: red, green, blue as doubles, nominally 0..1.
using TLutTriple = std::array<double, 3>;

// An integer colour; a component v stands for v / (2^Bits - 1). Bitmap pixels use Bits 8.
struct TColorTriple {
  std::uint16_t R = 0;
  std::uint16_t G = 0;
  std::uint16_t B = 0;
  std::uint8_t Bits = 8;
};

enum : std::uint8_t {
  kMode1D = 0,         // curve only
  kMode3D = 1,         // lattice only
  kMode1DThen3D = 2,   // curve, then lattice
  kModeIdentity = 3,   // neither table
};

class TLUT {
public:
  TLUT(); // Mode 0, both sizes 0, every entry 0, no comments
  ~TLUT();
  TLUT(const TLUT &) = delete;
  TLUT &operator=(const TLUT &) = delete;

  std::uint8_t Mode = kMode1D;
  std::vector<std::string> Comments;
  // Fixed storage, allocated once: Lattice[red][green][blue], Curve[i]. Only the first Size3D
  // points per axis and the first Size1D curve entries are in use.
  std::unique_ptr<TLutTriple[][kMaxSize3D][kMaxSize3D]> Lattice;
  std::unique_ptr<TLutTriple[]> Curve;
  std::int32_t Size1D = 0;
  std::int32_t Size3D = 0;

  // One colour through the LUT according to Mode.
  TLutTriple Evaluate(const TLutTriple &in) const;
  // Trilinear lookup in the lattice. Inputs less than one step below 0 extrapolate from the first
  // interval; inputs further outside 0..1 (and NaN) take the value at the nearest edge of the
  // lattice: the index never leaves the table.
  TLutTriple Evaluate3D(const TLutTriple &in) const;
  // Per-channel linear lookup in the curve, with the same edge rule.
  TLutTriple Evaluate1D(const TLutTriple &in) const;

  // Runs an integer colour through the LUT; out.Bits must be set by the caller. Results are
  // clamped to 0..1 (NaN counts as 0) and rounded half to even.
  void ApplyToColor(const TColorTriple &in, TColorTriple &out) const;

  // Runs every pixel of the bitmap through the LUT in place, exactly as ApplyToColor would.
  void ApplyToBitmap(TBitmap24 &bitmap) const;

  // Makes this LUT, keeping its own Mode and sizes, represent the transformation of source.
  void AssignFrom(const TLUT &source);

  // Throws EEngineError unless the tables that Mode puts in force have valid sizes.
  void CheckSizes() const;
};

// ApplyToBitmap for pictures that arrive a band of rows at a time: the tables are built once, then
// rows of any bitmap go through the LUT exactly as ApplyToBitmap takes them. ApplyRows works on the
// calling thread, and several threads may call it at once on different rows. The LUT must stay
// as it is while this lives.
class TBitmapLutRows {
public:
  explicit TBitmapLutRows(const TLUT &lut); // throws EEngineError as CheckSizes does
  ~TBitmapLutRows();
  TBitmapLutRows(const TBitmapLutRows &) = delete;
  TBitmapLutRows &operator=(const TBitmapLutRows &) = delete;

  // Rows y0 .. y1 - 1, in place (clipped to the bitmap).
  void ApplyRows(TBitmap24 &bitmap, int y0, int y1) const;

private:
  struct TState;
  std::unique_ptr<TState> F;
};

// The engine's limits, checked in one place. Each throws EEngineError with the message users see.
void CheckSize3D(int n);          // 2 to 101 points per axis
void CheckBits(int bits);         // 1 to 16 bits per component
void CheckSoftness(int softness); // 0 or more

// The grid index and fraction of x in a table of n points, as Evaluate1D and Evaluate3D compute
// them: t = (n - 1) * x in extended precision rounded to double, i = trunc(t), f = t - trunc(t).
// For -1 < t < 0 that is the first interval with a negative fraction (an extrapolation from the
// first two entries). The index is kept inside the table: t <= -1 or NaN gives 0, 0; at or above
// n - 1 gives n - 1, 0.
void LutIndex(int n, double x, int &i, double &f);

} // namespace tintwise
