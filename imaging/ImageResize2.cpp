#include "imaging/ImageResize2.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

#include "engine/Parallel.h"
#include "imaging/LargeBuffer.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define TINTWISE_RESAMPLE_AVX2 1
#endif

namespace tintwise {

// ---------------------------------------------------------------------------------------------
// Filters. The argument and the result are single precision; the formulas are evaluated in double.

namespace {

constexpr double kPi = 3.14159265358979323846;

double Sinc(double x) {
  if (x == 0)
    return 1;
  x *= kPi;
  return std::sin(x) / x;
}

} // namespace

float BoxFilter(float x) { return x > -0.5f && x <= 0.5f ? 1.0f : 0.0f; }

float TriangleFilter(float x) {
  const double t = std::fabs(static_cast<double>(x));
  return t < 1 ? static_cast<float>(1 - t) : 0.0f;
}

float HermiteFilter(float x) {
  const double t = std::fabs(static_cast<double>(x));
  return t < 1 ? static_cast<float>((2 * t - 3) * t * t + 1) : 0.0f;
}

float BellFilter(float x) {
  const double t = std::fabs(static_cast<double>(x));
  if (t < 0.5)
    return static_cast<float>(0.75 - t * t);
  if (t < 1.5)
    return static_cast<float>(0.5 * (t - 1.5) * (t - 1.5));
  return 0.0f;
}

float BSplineFilter(float x) {
  const double t = std::fabs(static_cast<double>(x));
  if (t < 1)
    return static_cast<float>(0.5 * t * t * t - t * t + 2.0 / 3.0);
  if (t < 2) {
    const double u = 2 - t;
    return static_cast<float>(u * u * u / 6);
  }
  return 0.0f;
}

float Lanczos3Filter(float x) {
  const double t = std::fabs(static_cast<double>(x));
  return t < 3 ? static_cast<float>(Sinc(t) * Sinc(t / 3)) : 0.0f;
}

float MitchellFilter(float x) {
  const double t = std::fabs(static_cast<double>(x));
  if (t < 1)
    return static_cast<float>((7 * t * t * t - 12 * t * t + 16.0 / 3.0) / 6);
  if (t < 2)
    return static_cast<float>((-7.0 / 3.0 * t * t * t + 12 * t * t - 20 * t + 32.0 / 3.0) / 6);
  return 0.0f;
}

const TResampleFilter ResampleFilters[kFilterCount] = {
    {"Box", BoxFilter, 0.5f},          {"Triangle", TriangleFilter, 1.0f}, {"Hermite", HermiteFilter, 1.0f},
    {"Bell", BellFilter, 1.5f},        {"B-spline", BSplineFilter, 2.0f},  {"Lanczos3", Lanczos3Filter, 3.0f},
    {"Mitchell", MitchellFilter, 2.0f},
};

// ---------------------------------------------------------------------------------------------
// Scales, folding and contributor lists.

float ResampleScale(int sourceLength, int destLength) {
  if (sourceLength == 1 || destLength == 1)
    return static_cast<float>(destLength) / static_cast<float>(sourceLength);
  return static_cast<float>(destLength - 1) / static_cast<float>(sourceLength - 1);
}

int MirrorIndex(int j, int length) {
  // Each step shortens the distance to the line, so this ends; with the reaches that occur it runs
  // once or twice.
  while (j < 0 || j >= length)
    j = j < 0 ? -j : 2 * length - j - 1;
  return j;
}

namespace {

void CheckSupport(float support) {
  if (!(support >= 0.0f && support <= kMaxSupport))
    throw EImageError("The filter support " + std::to_string(support) + " is outside 0 to " +
                      std::to_string(static_cast<int>(kMaxSupport)) + ".");
}

// Calls emit(j, weight) for every nonzero weight of destination index i, j ascending; j is the
// sample position along the line before folding.
template <class TEmit>
void ForEachWeight(float scale, int i, float support, TFilterFunction filter, TEmit &&emit) {
  const bool shrinking = scale < 1.0f;
  const float reach = shrinking ? support / scale : support;
  const float centre = static_cast<float>(i) / scale;
  const int first = static_cast<int>(std::floor(centre - reach));
  const int last = static_cast<int>(std::ceil(centre + reach));
  for (int j = first; j <= last; ++j) {
    const float d = centre - static_cast<float>(j);
    const float w = shrinking ? filter(d * scale) * scale * 256.0f : filter(d) * 256.0f;
    if (!(std::fabs(w) < 2147483520.0f))
      throw EImageError("The resampling filter gives a weight out of range.");
    const auto weight = static_cast<std::int32_t>(std::nearbyint(w));
    if (weight != 0)
      emit(j, weight);
  }
}

void CheckScale(float scale, int sourceLength, int destLength) {
  if (!(scale > 0.0f && std::isfinite(scale)) || sourceLength <= 0 || destLength < 0)
    throw EImageError("A resampling pass needs a positive scale and a source line of at least one pixel.");
}

} // namespace

TContributorList BuildContributorList(float scale, int sourceLength, int destLength, float support,
                                      TFilterFunction filter) {
  CheckScale(scale, sourceLength, destLength);
  CheckSupport(support);
  const float reach = scale < 1.0f ? support / scale : support;
  TContributorList list(static_cast<std::size_t>(destLength));
  for (int i = 0; i < destLength; ++i) {
    TContributorEntry &entry = list[static_cast<std::size_t>(i)];
    entry.Contributors.reserve(static_cast<std::size_t>(std::min(2.0f * reach + 1.0f, 1.0e6f)));
    ForEachWeight(scale, i, support, filter, [&](int j, std::int32_t weight) {
      entry.Contributors.push_back({weight, MirrorIndex(j, sourceLength)});
    });
    entry.Count = static_cast<std::int32_t>(entry.Contributors.size());
  }
  return list;
}

void FitSize(int width, int height, int maxWidth, int maxHeight, int &newWidth, int &newHeight) {
  if (width <= 0 || height <= 0)
    throw EImageError("A picture of " + std::to_string(width) + " x " + std::to_string(height) +
                      " pixels cannot be fitted: it has no pixels.");
  const float sx = static_cast<float>(maxWidth) / static_cast<float>(width);
  const float sy = static_cast<float>(maxHeight) / static_cast<float>(height);
  const float s = sx < sy ? sx : sy;
  if (s > 1.0f) {
    newWidth = width;
    newHeight = height;
    return;
  }
  // The products are exact in double: s has 24 significant bits, the sides at most 31.
  newWidth = static_cast<int>(std::nearbyint(static_cast<double>(width) * s));
  newHeight = static_cast<int>(std::nearbyint(static_cast<double>(height) * s));
}

// ---------------------------------------------------------------------------------------------
// The passes.

namespace {

std::atomic<bool> GVectorEnabled{true};

// One destination byte from the weighted sum of its channel and the weight total.
inline std::uint8_t FinishChannel(std::int32_t sum, std::int32_t total) {
  std::int32_t v;
  if (total == 0)
    v = static_cast<std::int32_t>(static_cast<std::uint32_t>(sum) >> 8);
  else if (total == -1) // the one quotient that does not fit: negate with wrap-around
    v = static_cast<std::int32_t>(0u - static_cast<std::uint32_t>(sum));
  else
    v = sum / total;
  return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Everything one pass needs, built once and shared by every row (or column).
struct TPassPlan {
  int SourceLength = 0;
  int DestLength = 0;
  // Per destination index, its contributors with folded pixel indices: Taps[TapBegin[i]..TapBegin[i+1]).
  std::vector<int> TapBegin;
  std::vector<TContributor> Taps;
  std::vector<std::int32_t> Total; // the sum of the weights, 32-bit with wrap-around
  // The same weights laid out densely over unfolded positions, zero-filled in the gaps and padded
  // with zeros to whole blocks of kBlock: the window of index i starts at position WindowStart[i]
  // and has WindowBlocks[i] blocks at Dense[WindowOffset[i]].
  std::vector<int> WindowStart, WindowOffset, WindowBlocks;
  std::vector<std::int16_t> Dense;
  int MinJ = 0, MaxJ = -1; // unfolded positions with a nonzero weight, over all indices
  int WindowEnd = 0;       // one past the last position any padded window covers
  // No weight beyond 16 bits and no sum beyond 32 bits: the vector path computes exactly what the
  // plain path computes.
  bool VectorSafe = true;
};

constexpr int kBlock = 16;

TPassPlan BuildPlan(float scale, int sourceLength, int destLength, float support, TFilterFunction filter,
                    bool dense) {
  TPassPlan plan;
  plan.SourceLength = sourceLength;
  plan.DestLength = destLength;
  plan.TapBegin.reserve(static_cast<std::size_t>(destLength) + 1);
  plan.Total.reserve(static_cast<std::size_t>(destLength));
  if (dense) {
    plan.WindowStart.reserve(static_cast<std::size_t>(destLength));
    plan.WindowOffset.reserve(static_cast<std::size_t>(destLength));
    plan.WindowBlocks.reserve(static_cast<std::size_t>(destLength));
  }
  bool any = false;
  std::vector<std::pair<int, std::int32_t>> raw;
  for (int i = 0; i < destLength; ++i) {
    raw.clear();
    ForEachWeight(scale, i, support, filter, [&](int j, std::int32_t w) { raw.emplace_back(j, w); });
    plan.TapBegin.push_back(static_cast<int>(plan.Taps.size()));
    std::uint32_t total = 0;
    std::int64_t magnitude = 0;
    for (const auto &[j, w] : raw) {
      plan.Taps.push_back({w, MirrorIndex(j, sourceLength)});
      total += static_cast<std::uint32_t>(w);
      magnitude += std::abs(static_cast<std::int64_t>(w));
      if (w > 32767 || w < -32768)
        plan.VectorSafe = false;
    }
    if (magnitude * 255 > 2147483647LL)
      plan.VectorSafe = false;
    plan.Total.push_back(static_cast<std::int32_t>(total));
    if (!raw.empty()) {
      plan.MinJ = any ? std::min(plan.MinJ, raw.front().first) : raw.front().first;
      plan.MaxJ = any ? std::max(plan.MaxJ, raw.back().first) : raw.back().first;
      any = true;
    }
    if (dense) {
      const int start = raw.empty() ? 0 : raw.front().first;
      const int length = raw.empty() ? 0 : raw.back().first - start + 1;
      const int blocks = (length + kBlock - 1) / kBlock;
      plan.WindowStart.push_back(start);
      plan.WindowOffset.push_back(static_cast<int>(plan.Dense.size()));
      plan.WindowBlocks.push_back(blocks);
      plan.Dense.resize(plan.Dense.size() + static_cast<std::size_t>(blocks) * kBlock, 0);
      std::int16_t *w = plan.Dense.data() + plan.WindowOffset.back();
      for (const auto &[j, weight] : raw)
        w[j - start] = static_cast<std::int16_t>(weight);
    }
  }
  plan.TapBegin.push_back(static_cast<int>(plan.Taps.size()));
  if (dense)
    for (int i = 0; i < destLength; ++i)
      plan.WindowEnd = std::max(plan.WindowEnd, plan.WindowStart[i] + plan.WindowBlocks[i] * kBlock);
  return plan;
}

// The intermediate picture of the horizontal pass: rows of dw pixels with at least one spare byte,
// so that a pixel can be stored as four bytes without touching the next row.
struct TIntermediate {
  std::ptrdiff_t Stride = 0;
  int Width = 0, Height = 0;
  detail::TLargeBuffer Data;

  TIntermediate(int width, int height)
      : Stride((static_cast<std::ptrdiff_t>(width) * 3 + 1 + 15) & ~std::ptrdiff_t(15)), Width(width),
        Height(height), Data(static_cast<std::size_t>(Stride) * static_cast<std::size_t>(height)) {}
  std::uint8_t *Row(int y) { return Data.Data() + y * Stride; }
  const std::uint8_t *Row(int y) const { return Data.Data() + y * Stride; }
};

// --- The plain implementation: the Part's arithmetic, one row at a time. ---

// Source row y is row y - firstRow of src: a band of the picture as a decoder delivers it.
void HorizontalPlain(const TPassPlan &plan, const detail::TPixelView &src, int firstRow, TIntermediate &inter, int y0,
                     int y1) {
  const int n = plan.SourceLength;
  std::vector<std::int32_t> red(static_cast<std::size_t>(n)), green(red.size()), blue(red.size());
  for (int y = y0; y < y1; ++y) {
    const std::uint8_t *s = src.Bits + (y - firstRow) * src.Stride;
    for (int x = 0; x < n; ++x) {
      blue[x] = s[3 * x];
      green[x] = s[3 * x + 1];
      red[x] = s[3 * x + 2];
    }
    std::uint8_t *d = inter.Row(y);
    for (int i = 0; i < plan.DestLength; ++i) {
      std::uint32_t sr = 0, sg = 0, sb = 0;
      for (int k = plan.TapBegin[i]; k < plan.TapBegin[i + 1]; ++k) {
        const auto w = static_cast<std::uint32_t>(plan.Taps[k].Weight);
        const int p = plan.Taps[k].Pixel;
        sr += w * static_cast<std::uint32_t>(red[p]);
        sg += w * static_cast<std::uint32_t>(green[p]);
        sb += w * static_cast<std::uint32_t>(blue[p]);
      }
      const std::int32_t t = plan.Total[i];
      d[3 * i] = FinishChannel(static_cast<std::int32_t>(sb), t);
      d[3 * i + 1] = FinishChannel(static_cast<std::int32_t>(sg), t);
      d[3 * i + 2] = FinishChannel(static_cast<std::int32_t>(sr), t);
    }
  }
}

// Destination row i is the weighted sum of whole intermediate rows: the same arithmetic per pixel
// as the Part's column-by-column pass, in an order that reads memory row by row.
void VerticalPlainRow(const TPassPlan &plan, const TIntermediate &inter, TBitmap24 &dst, int i,
                      std::vector<std::uint32_t> &acc) {
  const int bytes = inter.Width * 3;
  std::fill(acc.begin(), acc.end(), 0u);
  for (int k = plan.TapBegin[i]; k < plan.TapBegin[i + 1]; ++k) {
    const auto w = static_cast<std::uint32_t>(plan.Taps[k].Weight);
    const std::uint8_t *s = inter.Row(plan.Taps[k].Pixel);
    for (int x = 0; x < bytes; ++x)
      acc[x] += w * s[x];
  }
  std::uint8_t *d = dst.Scanline(i);
  const std::int32_t t = plan.Total[i];
  for (int x = 0; x < bytes; ++x)
    d[x] = FinishChannel(static_cast<std::int32_t>(acc[x]), t);
}

void VerticalPlain(const TPassPlan &plan, const TIntermediate &inter, TBitmap24 &dst, int i0, int i1) {
  std::vector<std::uint32_t> acc(static_cast<std::size_t>(inter.Width) * 3);
  for (int i = i0; i < i1; ++i)
    VerticalPlainRow(plan, inter, dst, i, acc);
}

#ifdef TINTWISE_RESAMPLE_AVX2

// --- The vector implementation (AVX2): the same sums, 16 weights at a time. ---

// pshufb masks that gather channel c of 16 interleaved pixels from the v-th of three 16-byte loads.
struct TDeinterleaveMasks {
  alignas(16) std::uint8_t Mask[3][3][16];
  TDeinterleaveMasks() {
    for (int c = 0; c < 3; ++c)
      for (int v = 0; v < 3; ++v)
        for (int q = 0; q < 16; ++q) {
          const int byte = 3 * q + c;
          Mask[c][v][q] = byte / 16 == v ? static_cast<std::uint8_t>(byte % 16) : 0x80;
        }
  }
};
const TDeinterleaveMasks GMasks;

__attribute__((target("avx2"))) inline __m128i GatherChannel(int c, __m128i a, __m128i b, __m128i d) {
  const auto *m = GMasks.Mask[c];
  return _mm_or_si128(
      _mm_or_si128(_mm_shuffle_epi8(a, _mm_load_si128(reinterpret_cast<const __m128i *>(m[0]))),
                   _mm_shuffle_epi8(b, _mm_load_si128(reinterpret_cast<const __m128i *>(m[1])))),
      _mm_shuffle_epi8(d, _mm_load_si128(reinterpret_cast<const __m128i *>(m[2]))));
}

// Truncating division of eight 32-bit sums by the same nonzero total, exact: both fit in 32 bits,
// so the double quotient never rounds across an integer.
__attribute__((target("avx2"))) inline __m256i DivideTruncating(__m256i sums, __m256d total) {
  const __m128i lo = _mm256_cvttpd_epi32(_mm256_div_pd(_mm256_cvtepi32_pd(_mm256_castsi256_si128(sums)), total));
  const __m128i hi =
      _mm256_cvttpd_epi32(_mm256_div_pd(_mm256_cvtepi32_pd(_mm256_extracti128_si256(sums, 1)), total));
  return _mm256_set_m128i(hi, lo);
}

__attribute__((target("avx2"))) void HorizontalAvx2(const TPassPlan &plan, const detail::TPixelView &src,
                                                    int firstRow, TIntermediate &inter, int y0, int y1) {
  const int n = plan.SourceLength;
  const int base = std::min(plan.MinJ, 0); // the plane index p holds position p + base
  const int planeLength = std::max(plan.WindowEnd, n) - base;
  const std::size_t planeStride = (static_cast<std::size_t>(planeLength) + 15) & ~std::size_t(15);
  std::unique_ptr<std::int16_t[]> storage(new std::int16_t[planeStride * 3 + 16]);
  auto *aligned = reinterpret_cast<std::int16_t *>((reinterpret_cast<std::uintptr_t>(storage.get()) + 31) &
                                                   ~std::uintptr_t(31));
  std::int16_t *planes[3] = {aligned, aligned + planeStride, aligned + 2 * planeStride};
  // Positions outside the line read their mirror; positions no weight reaches read 0.
  std::vector<std::pair<int, int>> mirrored; // (plane index, plane index of the pixel it mirrors)
  for (int p = 0; p < planeLength; ++p) {
    const int j = p + base;
    if (j >= 0 && j < n)
      continue;
    if (j >= plan.MinJ && j <= plan.MaxJ)
      mirrored.emplace_back(p, MirrorIndex(j, n) - base);
    else
      for (auto *plane : planes)
        plane[p] = 0;
  }

  for (int y = y0; y < y1; ++y) {
    const std::uint8_t *s = src.Bits + (y - firstRow) * src.Stride;
    int x = 0;
    for (; x + 16 <= n; x += 16) {
      const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + 3 * x));
      const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + 3 * x + 16));
      const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(s + 3 * x + 32));
      for (int c = 0; c < 3; ++c)
        _mm256_storeu_si256(reinterpret_cast<__m256i *>(planes[c] + (x - base)),
                            _mm256_cvtepu8_epi16(GatherChannel(c, a, b, d)));
    }
    for (; x < n; ++x)
      for (int c = 0; c < 3; ++c)
        planes[c][x - base] = s[3 * x + c];
    for (const auto &[p, from] : mirrored)
      for (auto *plane : planes)
        plane[p] = plane[from];

    std::uint8_t *d = inter.Row(y);
    for (int i = 0; i < plan.DestLength; ++i) {
      const std::int16_t *w = plan.Dense.data() + plan.WindowOffset[i];
      const std::ptrdiff_t start = plan.WindowStart[i] - base;
      const std::int16_t *pb = planes[0] + start, *pg = planes[1] + start, *pr = planes[2] + start;
      __m256i accB = _mm256_setzero_si256(), accG = accB, accR = accB;
      for (int k = 0, blocks = plan.WindowBlocks[i]; k < blocks; ++k) {
        const __m256i wv = _mm256_loadu_si256(reinterpret_cast<const __m256i *>(w + k * kBlock));
        accB = _mm256_add_epi32(accB, _mm256_madd_epi16(
                                          _mm256_loadu_si256(reinterpret_cast<const __m256i *>(pb + k * kBlock)), wv));
        accG = _mm256_add_epi32(accG, _mm256_madd_epi16(
                                          _mm256_loadu_si256(reinterpret_cast<const __m256i *>(pg + k * kBlock)), wv));
        accR = _mm256_add_epi32(accR, _mm256_madd_epi16(
                                          _mm256_loadu_si256(reinterpret_cast<const __m256i *>(pr + k * kBlock)), wv));
      }
      const __m256i bg = _mm256_hadd_epi32(accB, accG);
      const __m256i rr = _mm256_hadd_epi32(accR, accR);
      const __m256i all = _mm256_hadd_epi32(bg, rr);
      const __m128i sums = _mm_add_epi32(_mm256_castsi256_si128(all), _mm256_extracti128_si256(all, 1)); // B G R R
      const std::int32_t t = plan.Total[i];
      if (t != 0 && t != -1) {
        const __m128i q = _mm256_cvttpd_epi32(_mm256_div_pd(_mm256_cvtepi32_pd(sums), _mm256_set1_pd(t)));
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(q, q), q);
        const std::uint32_t four = static_cast<std::uint32_t>(_mm_cvtsi128_si32(bytes));
        std::memcpy(d + 3 * i, &four, 4); // the fourth byte is overwritten by the next pixel or lands in the spare
      } else {
        alignas(16) std::int32_t v[4];
        _mm_store_si128(reinterpret_cast<__m128i *>(v), sums);
        for (int c = 0; c < 3; ++c)
          d[3 * i + c] = FinishChannel(v[c], t);
      }
    }
  }
}

__attribute__((target("avx2"))) void VerticalAvx2(const TPassPlan &plan, const TIntermediate &inter,
                                                  TBitmap24 &dst, int i0, int i1) {
  const int bytes = inter.Width * 3;
  std::vector<std::uint32_t> acc;
  std::vector<const std::uint8_t *> rows;
  std::vector<std::int32_t> pairs;
  for (int i = i0; i < i1; ++i) {
    const std::int32_t t = plan.Total[i];
    if (t == 0 || t == -1) {
      acc.resize(static_cast<std::size_t>(bytes));
      VerticalPlainRow(plan, inter, dst, i, acc);
      continue;
    }
    // Contributors in pairs: two rows interleaved as 16-bit pairs meet two weights in one madd.
    rows.clear();
    pairs.clear();
    for (int k = plan.TapBegin[i]; k < plan.TapBegin[i + 1]; k += 2) {
      const TContributor &a = plan.Taps[k];
      const bool second = k + 1 < plan.TapBegin[i + 1];
      const TContributor &b = second ? plan.Taps[k + 1] : a;
      const std::int32_t wb = second ? b.Weight : 0;
      rows.push_back(inter.Row(a.Pixel));
      rows.push_back(inter.Row(b.Pixel));
      pairs.push_back(static_cast<std::int32_t>((static_cast<std::uint32_t>(a.Weight) & 0xFFFFu) |
                                                (static_cast<std::uint32_t>(wb) << 16)));
    }
    const int pairCount = static_cast<int>(pairs.size());
    const __m256d total = _mm256_set1_pd(t);
    std::uint8_t *d = dst.Scanline(i);
    int x = 0;
    for (; x + 32 <= bytes; x += 32) {
      __m256i lo0 = _mm256_setzero_si256(), hi0 = lo0, lo1 = lo0, hi1 = lo0;
      for (int k = 0; k < pairCount; ++k) {
        const __m256i wv = _mm256_set1_epi32(pairs[k]);
        const std::uint8_t *ra = rows[2 * k] + x, *rb = rows[2 * k + 1] + x;
        const __m256i a0 = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(ra)));
        const __m256i b0 = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(rb)));
        const __m256i a1 = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(ra + 16)));
        const __m256i b1 = _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i *>(rb + 16)));
        lo0 = _mm256_add_epi32(lo0, _mm256_madd_epi16(_mm256_unpacklo_epi16(a0, b0), wv));
        hi0 = _mm256_add_epi32(hi0, _mm256_madd_epi16(_mm256_unpackhi_epi16(a0, b0), wv));
        lo1 = _mm256_add_epi32(lo1, _mm256_madd_epi16(_mm256_unpacklo_epi16(a1, b1), wv));
        hi1 = _mm256_add_epi32(hi1, _mm256_madd_epi16(_mm256_unpackhi_epi16(a1, b1), wv));
      }
      // unpacklo/hi work within 128-bit lanes; packs does too, which puts the bytes back in order.
      const __m256i w0 = _mm256_packs_epi32(DivideTruncating(lo0, total), DivideTruncating(hi0, total));
      const __m256i w1 = _mm256_packs_epi32(DivideTruncating(lo1, total), DivideTruncating(hi1, total));
      const __m256i b8 = _mm256_permute4x64_epi64(_mm256_packus_epi16(w0, w1), 0xD8);
      _mm256_storeu_si256(reinterpret_cast<__m256i *>(d + x), b8);
    }
    for (; x < bytes; ++x) {
      std::uint32_t sum = 0;
      for (int k = plan.TapBegin[i]; k < plan.TapBegin[i + 1]; ++k)
        sum += static_cast<std::uint32_t>(plan.Taps[k].Weight) * inter.Row(plan.Taps[k].Pixel)[x];
      d[x] = FinishChannel(static_cast<std::int32_t>(sum), t);
    }
  }
}

bool CpuHasAvx2() {
  static const bool has = __builtin_cpu_supports("avx2");
  return has;
}

#endif // TINTWISE_RESAMPLE_AVX2

} // namespace

namespace detail {

bool VectorResampleAvailable() {
#ifdef TINTWISE_RESAMPLE_AVX2
  return CpuHasAvx2();
#else
  return false;
#endif
}

void SetVectorResample(bool enabled) { GVectorEnabled.store(enabled); }

struct TStreamResampler::TState {
  TState(TFilterFunction filter, int sw, int sh, TBitmap24 &destination, float support)
      : Destination(destination), Filter(filter), Support(support), SourceWidth(sw), SourceHeight(sh),
        Vector(GVectorEnabled.load() && VectorResampleAvailable()),
        Empty(sw == 0 || sh == 0 || destination.Width() == 0 || destination.Height() == 0),
        Inter(Empty ? 0 : destination.Width(), Empty ? 0 : sh),
        Horizontal(Empty ? TPassPlan() : BuildPlan(ResampleScale(sw, destination.Width()), sw, destination.Width(),
                                                   support, filter, Vector)) {}
  TBitmap24 &Destination;
  TFilterFunction Filter;
  float Support;
  int SourceWidth, SourceHeight;
  bool Vector, Empty;
  int NextRow = 0;
  TIntermediate Inter;
  TPassPlan Horizontal;
};

TStreamResampler::TStreamResampler(TFilterFunction filter, int sourceWidth, int sourceHeight, TBitmap24 &destination,
                                   float support) {
  CheckSupport(support);
  F = std::make_unique<TState>(filter, sourceWidth, sourceHeight, destination, support);
}

TStreamResampler::~TStreamResampler() = default;

void TStreamResampler::AddRows(const TPixelView &band, int y0) {
  if (F->Empty || band.Height <= 0)
    return;
  if (y0 != F->NextRow || band.Width != F->SourceWidth || y0 + band.Height > F->SourceHeight)
    throw EImageError("The rows of a picture came out of order while it was being shrunk.");
  F->NextRow += band.Height;
  const TPassPlan &plan = F->Horizontal;
  const bool vector = F->Vector;
  TIntermediate &inter = F->Inter;
  ParallelFor(
      band.Height,
      [&](int r0, int r1) {
#ifdef TINTWISE_RESAMPLE_AVX2
        if (vector && plan.VectorSafe) {
          HorizontalAvx2(plan, band, y0, inter, y0 + r0, y0 + r1);
          return;
        }
#endif
        HorizontalPlain(plan, band, y0, inter, y0 + r0, y0 + r1);
      },
      16);
}

void TStreamResampler::Finish() {
  if (F->Empty)
    return;
  if (F->NextRow != F->SourceHeight)
    throw EImageError("A picture ended before its last row while it was being shrunk.");
  F->Horizontal = TPassPlan();
  TBitmap24 &destination = F->Destination;
  const TPassPlan plan =
      BuildPlan(ResampleScale(F->SourceHeight, destination.Height()), F->SourceHeight, destination.Height(),
                F->Support, F->Filter, false);
  const bool vector = F->Vector;
  const TIntermediate &inter = F->Inter;
  ParallelFor(
      destination.Height(),
      [&](int i0, int i1) {
#ifdef TINTWISE_RESAMPLE_AVX2
        if (vector && plan.VectorSafe) {
          VerticalAvx2(plan, inter, destination, i0, i1);
          return;
        }
#endif
        VerticalPlain(plan, inter, destination, i0, i1);
      },
      8);
}

void ResampleView(TFilterFunction filter, const TPixelView &source, TBitmap24 &destination, float support) {
  TStreamResampler resampler(filter, source.Width, source.Height, destination, support);
  resampler.AddRows(source, 0);
  resampler.Finish();
}

} // namespace detail

void Resample(TFilterFunction filter, const TBitmap24 &source, TBitmap24 &destination, float support) {
  detail::ResampleView(filter, {source.Bits(), source.Width(), source.Height(), source.Stride()}, destination,
                       support);
}

void ResizeBitmap(int newWidth, int newHeight, std::uint8_t filter, float support, const TBitmap24 &source,
                  TBitmap24 &destination) {
  if (filter >= kFilterCount)
    throw EImageError("There is no resampling filter number " + std::to_string(filter) + ".");
  if (support == 0.0f)
    support = ResampleFilters[filter].Support;
  TBitmap24 result;
  try {
    result.SetSize(newWidth, newHeight);
  } catch (const EEngineError &e) {
    throw EImageError(e.what());
  }
  Resample(ResampleFilters[filter].Function, source, result, support);
  destination = std::move(result);
}

} // namespace tintwise
