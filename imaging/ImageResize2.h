// The filtered two-pass resampler: seven filters, integer weights with 8 fraction bits, mirrored
// edges, a horizontal pass into an intermediate picture and a vertical pass into the destination.
// Every size the program shows or measures is made with filter 5 (Lanczos3) at its default support.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/Bitmap24.h"
#include "engine/Errors.h"

namespace tintwise {

// A filter takes the distance from the sample centre (in source pixels once scaled) and returns
// its weight. Single precision in and out.
using TFilterFunction = float (*)(float);

float BoxFilter(float x);
float TriangleFilter(float x);
float HermiteFilter(float x);
float BellFilter(float x);
float BSplineFilter(float x);
float Lanczos3Filter(float x);
float MitchellFilter(float x);

struct TResampleFilter {
  const char *Name;
  TFilterFunction Function;
  float Support; // the default support, used when a caller passes 0
};

constexpr std::uint8_t kBoxFilter = 0, kTriangleFilter = 1, kHermiteFilter = 2, kBellFilter = 3,
                       kBSplineFilter = 4, kLanczos3Filter = 5, kMitchellFilter = 6;
constexpr int kFilterCount = 7;
extern const TResampleFilter ResampleFilters[kFilterCount];

// Largest support a caller may ask for; no filter here reaches beyond 3.
constexpr float kMaxSupport = 100.0f;

// One source pixel's share of a destination pixel: the filter value scaled by 256 and rounded.
struct TContributor {
  std::int32_t Weight;
  std::int32_t Pixel; // index of the source pixel along the line, always inside the line
};
using TContributors = std::vector<TContributor>;

struct TContributorEntry {
  std::int32_t Count = 0; // contributors in use
  TContributors Contributors;
};
// One entry per destination column (horizontal pass) or destination row (vertical pass).
using TContributorList = std::vector<TContributorEntry>;

// The scale of one pass: dest / source when either length is 1, else (dest - 1) / (source - 1), so
// that the first and last pixel centres map onto each other.
float ResampleScale(int sourceLength, int destLength);

// Folds a sample position j into a line of `length` pixels: -j left of the line (-1 reads pixel
// 1), 2 * length - j - 1 right of it (length reads length - 1). On a line shorter than the filter's
// reach one fold may not be enough; the folding then repeats until the index is inside the line.
int MirrorIndex(int j, int length);

// The contributors of every destination index for a pass with the given scale. Zero weights are
// left out.
TContributorList BuildContributorList(float scale, int sourceLength, int destLength, float support,
                                      TFilterFunction filter);

// The size that fits width x height into maxWidth x maxHeight, shrinking only and keeping the
// aspect ratio. Throws EImageError for a picture without pixels.
void FitSize(int width, int height, int maxWidth, int maxHeight, int &newWidth, int &newHeight);

// Resamples source into destination, whose size must already be set. Does nothing when either
// picture has no pixels. Throws EImageError for a support that is negative, not finite or beyond
// kMaxSupport. The source and the destination may be the same bitmap.
void Resample(TFilterFunction filter, const TBitmap24 &source, TBitmap24 &destination, float support);

// Makes destination a newWidth x newHeight copy of source resampled with filter number `filter`
// (see ResampleFilters); a support of 0 selects the filter's default. The destination is only
// replaced when the whole resampling succeeded; source and destination may be the same bitmap.
void ResizeBitmap(int newWidth, int newHeight, std::uint8_t filter, float support, const TBitmap24 &source,
                  TBitmap24 &destination);

namespace detail {

// A read-only view of 24-bit pixels (rows from the top, blue, green, red), so that a freshly
// decoded picture can be resampled without first being copied into a TBitmap24.
struct TPixelView {
  const std::uint8_t *Bits = nullptr;
  int Width = 0;
  int Height = 0;
  std::ptrdiff_t Stride = 0;
};

void ResampleView(TFilterFunction filter, const TPixelView &source, TBitmap24 &destination, float support);

// The same resampling for a picture that arrives in bands of rows from the top, as a decoder gives
// them, so that the whole picture is never held: each band goes through the horizontal pass as it
// comes (into an intermediate picture of destination width x source height), and Finish() runs the
// vertical pass. The bytes are those of ResampleView. Throws EImageError for a bad support, for
// rows out of order and for a Finish() before the last row.
class TStreamResampler {
public:
  TStreamResampler(TFilterFunction filter, int sourceWidth, int sourceHeight, TBitmap24 &destination, float support);
  ~TStreamResampler();
  TStreamResampler(const TStreamResampler &) = delete;
  TStreamResampler &operator=(const TStreamResampler &) = delete;

  // Source rows y0 .. y0 + band.Height - 1; band.Width must be the source width.
  void AddRows(const TPixelView &band, int y0);
  void Finish();

private:
  struct TState;
  std::unique_ptr<TState> F;
};

// Chooses the implementation: the vectorised one where the processor has it (the default), or the
// plain one everywhere. Both give the same bytes; tests use this to prove it.
void SetVectorResample(bool enabled);
bool VectorResampleAvailable();

} // namespace detail

} // namespace tintwise
