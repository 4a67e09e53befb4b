// Scopes of a working picture: luma waveform, RGB parade, Cb/Cr vectorscope and histogram, drawn
// as plain RGB pictures with their graticules. The geometry of each picture is fixed so that other
// tools can read values back from it (the manual of tintwise-cli describes it).
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace tintwise {

class TBitmap24;

enum class TScopeStandard { Rec601, Rec709 };
enum class TScopeKind { Waveform, Parade, Vectorscope, Histogram };

constexpr int kDefaultScopeSize = 512;
constexpr int kMinScopeSize = 64;
constexpr int kMaxScopeSize = 4096;

// Luma and normalised chroma of an RGB colour (components 0..1): Y 0..1, Cb and Cr within ±0.5.
// Rec. 601 uses the luma weights of the engine's YUV model (0.299, 0.587, 0.114).
struct TYCbCr {
  double Y, Cb, Cr;
};
TYCbCr RGBToYCbCr(TScopeStandard standard, double R, double G, double B);

// An RGB picture, three bytes a pixel in the order red, green, blue, rows from the top, no padding.
struct TScopeImage {
  int Width = 0, Height = 0;
  std::vector<std::uint8_t> Pixels;
  std::uint8_t *At(int x, int y) { return Pixels.data() + (static_cast<std::size_t>(y) * Width + x) * 3; }
  const std::uint8_t *At(int x, int y) const {
    return Pixels.data() + (static_cast<std::size_t>(y) * Width + x) * 3;
  }
};

// Geometry shared by the drawing, the manual and the tests, for the scope size N.
// The waveform is N wide and H = N/2 high; the parade is three panels (R, G, B) of P = N/2 columns
// side by side, H high. In both, 100 % lies on row H/16 and 0 % on row H - 1 - H/16.
int WaveformHeight(int size);
int ParadePanelWidth(int size);
int WaveformTopRow(int height);
int WaveformBottomRow(int height);
// The row of a value 0..1 in a waveform of this height, rounded (halves down the picture).
int WaveformRow(double value, int height);
// The vectorscope is N x N; chroma (Cb, Cr) lies at (N/2 + 0.9 N Cb, N/2 - 0.9 N Cr).
double VectorscopeX(double cb, int size);
double VectorscopeY(double cr, int size);
// The skin-tone line, in degrees counter-clockwise from +Cb.
constexpr double kSkinToneAngle = 123.0;

// How many pixels fall on each spot of the four scopes, for one picture.
struct TScopeCounts {
  int Size = 0;
  TScopeStandard Standard = TScopeStandard::Rec601;
  std::uint64_t Pixels = 0;
  std::vector<std::uint32_t> Waveform;    // N x H, row by row
  std::vector<std::uint32_t> Parade;      // 3P x H, row by row: R, G, B panels side by side
  std::vector<std::uint32_t> Vectorscope; // N x N, row by row
  std::array<std::array<std::uint32_t, 256>, 4> Histogram{}; // R, G, B, luma by 8-bit code
};

// Counts every pixel of the picture (an empty picture gives empty scopes). Throws EEngineError for
// a size outside kMinScopeSize..kMaxScopeSize.
TScopeCounts MeasureScopes(const TBitmap24 &picture, TScopeStandard standard, int size = kDefaultScopeSize);

using TTraceColor = std::array<std::uint8_t, 3>;

// One picture's counts drawn in one colour; an empty colour list draws the scope's own colours
// (green for luma, red, green and blue for the channels).
struct TScopeTrace {
  const TScopeCounts *Counts = nullptr;
  bool OwnColors = true;
  TTraceColor Color{};
};

struct TScopeDrawOptions {
  bool LogHistogram = false;
  // The histogram's full height as a share of a picture's pixels; 0 scales to the tallest bar of
  // the traces drawn. Give two pictures the same scale to compare them side by side.
  double HistogramScale = 0;
};

// Draws the traces (all of the same size) over the scope's graticule; where traces meet their
// colours add. Intensity grows with the number of pixels on a spot, as on a hardware scope.
TScopeImage DrawScope(TScopeKind kind, std::span<const TScopeTrace> traces, const TScopeDrawOptions &options = {});
TScopeImage DrawScope(TScopeKind kind, const TScopeCounts &counts, const TScopeDrawOptions &options = {});

// The largest share of pixels in one histogram bar of any channel (linear scale).
double HistogramPeak(const TScopeCounts &counts);

// The file names tintwise-cli writes: waveform, parade, vectorscope, histogram.
const char *ScopeName(TScopeKind kind);

} // namespace tintwise
