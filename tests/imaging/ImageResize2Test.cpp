// The resampler against its plain reading byte for byte on every path (vector or plain, one or two
// threads, whole or in bands), and the filters and fitted sizes against values worked out by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "engine/Parallel.h"
#include "imaging/ImageResize2.h"
#include "tests/imaging/ResampleReference.h"

using namespace tintwise;

namespace {

// Runs resize into a dw x dh bitmap with the vector path on and off and with one and two threads,
// and expects the plain reading's bytes every time; restores the defaults.
template <class TResize>
void ExpectPlainBytes(const TBitmap24 &src, int dw, int dh, TFilterFunction f, float support, TResize resize,
                      const std::string &what) {
  TBitmap24 expected(dw, dh);
  reference::Resample(f, src, expected, support);
  for (const bool vector : {true, false})
    for (const int threads : {1, 2}) {
      detail::SetVectorResample(vector);
      SetEngineThreadCount(threads);
      TBitmap24 out(dw, dh);
      resize(out);
      EXPECT_TRUE(out.SamePixels(expected)) << what << (vector ? ", vector, " : ", plain, ") << threads;
    }
  detail::SetVectorResample(true);
  SetEngineThreadCount(0);
}

} // namespace

TEST(ImageResize2, FiltersHaveTheirShapesAndSupports) {
  const float supports[kFilterCount] = {0.5f, 1.0f, 1.0f, 1.5f, 2.0f, 3.0f, 2.0f};
  for (int f = 0; f < kFilterCount; ++f)
    EXPECT_EQ(ResampleFilters[f].Support, supports[f]) << ResampleFilters[f].Name;
  EXPECT_EQ(ResampleFilters[kLanczos3Filter].Function, &Lanczos3Filter);
  const double pi = 3.14159265358979323846;
  struct { TFilterFunction f; float x; double expected; } cases[] = {
      {BoxFilter, 0.5f, 1},          {BoxFilter, -0.5f, 0},           {BoxFilter, 0.51f, 0},
      {TriangleFilter, -0.25f, 0.75}, {TriangleFilter, 1, 0},         {HermiteFilter, 0.5f, 0.5},
      {HermiteFilter, -1, 0},        {BellFilter, 0, 0.75},           {BellFilter, -1, 0.125}, {BellFilter, 1.5f, 0},
      {BSplineFilter, 0, 2.0 / 3},   {BSplineFilter, -1.5f, 0.125 / 6}, {BSplineFilter, 2, 0},
      {Lanczos3Filter, 0, 1},        {Lanczos3Filter, 3, 0},          {Lanczos3Filter, -3.5f, 0},
      {Lanczos3Filter, -1.5f, (std::sin(1.5 * pi) / (1.5 * pi)) * (std::sin(pi / 2) / (pi / 2))},
      {MitchellFilter, 0, 16.0 / 18}, {MitchellFilter, 1, 1.0 / 18},  {MitchellFilter, 2, 0},
      {MitchellFilter, -1.5f, (-7.0 / 3 * 3.375 + 27 - 30 + 32.0 / 3) / 6},
  };
  for (const auto &c : cases)
    EXPECT_NEAR(c.f(c.x), c.expected, 1e-6) << "x = " << c.x;
}

TEST(ImageResize2, FitSizeShrinksOnlyAndRoundsHalvesToEven) {
  struct { int w, h, ew, eh; } cases[] = {
      {3400, 1000, 1700, 500}, {1000, 1000, 500, 500}, {3000, 400, 1700, 227}, // the design's examples
      {1700, 500, 1700, 500},  {800, 300, 800, 300},   {1, 1, 1, 1},          // already fits
      {1701, 500, 1700, 500},  {1700, 501, 1697, 500},
      {3400, 997, 1700, 498},  // 498.5 rounds to the even neighbour
      {3400, 995, 1700, 498},  // 497.5 likewise, upwards
      {60000, 10, 1700, 0},    // a side rounds to nothing
  };
  for (const auto &c : cases) {
    int w = -1, h = -1;
    FitSize(c.w, c.h, 1700, 500, w, h);
    EXPECT_EQ(std::pair(w, h), std::pair(c.ew, c.eh)) << c.w << " x " << c.h;
  }
  int w = 7, h = 7;
  EXPECT_THROW(FitSize(0, 10, 1700, 500, w, h), EImageError);
  EXPECT_THROW(FitSize(10, 0, 1700, 500, w, h), EImageError);
  EXPECT_EQ(w, 7);
}

TEST(ImageResize2, ResizeMatchesThePlainReadingByteForByte) {
  struct { int sw, sh, dw, dh; } sizes[] = {
      {1, 1, 1, 1},     {1, 1, 5, 3},     {2, 2, 1, 1},    {2, 3, 7, 11},   {3, 2, 2, 3},   {5, 4, 1, 9},
      {7, 5, 23, 1},    {16, 16, 16, 16}, {17, 9, 33, 40}, {31, 18, 30, 17}, {64, 48, 17, 13}, {97, 40, 96, 101},
      {101, 67, 100, 66}, {200, 150, 51, 37}, {333, 90, 40, 89}, {1000, 700, 61, 43}, {48, 300, 200, 2},
      {123, 7, 2, 3},   {45, 33, 150, 120},
  };
  unsigned seed = 1;
  for (const auto &c : sizes) {
    const TBitmap24 src = reference::TestPicture(c.sw, c.sh, seed++);
    for (int f = 0; f < kFilterCount; ++f)
      for (const float support : {0.0f, 2.5f}) {
        const float r = support == 0 ? ResampleFilters[f].Support : support;
        ExpectPlainBytes(src, c.dw, c.dh, ResampleFilters[f].Function, r,
                         [&](TBitmap24 &out) { ResizeBitmap(c.dw, c.dh, static_cast<std::uint8_t>(f), support, src, out); },
                         std::string(ResampleFilters[f].Name) + " " + std::to_string(support) + ", " +
                             std::to_string(c.sw) + "x" + std::to_string(c.sh) + " -> " + std::to_string(c.dw));
      }
  }
}

TEST(ImageResize2, UnusualFiltersFollowTheIntegerRules) {
  // An odd function whose weights cancel (total 0: the sums are shifted right by 8 bits as unsigned
  // values), one with weights too large for 16 bits, and a negative one.
  struct { const char *name; TFilterFunction f; float support; } cases[] = {
      {"odd", [](float x) { return std::fabs(x) < 2 ? x : 0.0f; }, 2.0f},
      {"huge", [](float x) { return std::fabs(x) < 1.5f ? 300.0f - 100.0f * std::fabs(x) : 0.0f; }, 1.5f},
      {"negative", [](float x) { return std::fabs(x) < 1 ? -1.0f : 0.0f; }, 1.0f},
      {"wide", [](float x) { return std::fabs(x) < 100 ? 200.0f : 0.0f; }, 100.0f}, // sums beyond 32 bits
  };
  const TBitmap24 src = reference::TestPicture(23, 19, 8);
  for (const auto &c : cases)
    for (const auto &[dw, dh] : {std::pair{23, 19}, std::pair{47, 9}, std::pair{5, 40}})
      ExpectPlainBytes(src, dw, dh, c.f, c.support, [&](TBitmap24 &out) { Resample(c.f, src, out, c.support); },
                       std::string(c.name) + " " + std::to_string(dw) + "x" + std::to_string(dh));
}

TEST(ImageResize2, BadArgumentsLeaveTheDestinationAloneAndInPlaceWorks) {
  const TBitmap24 src = reference::TestPicture(10, 10, 3), before = reference::TestPicture(4, 3, 4);
  TBitmap24 dst = before;
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  for (const float support : {-1.0f, nan, inf, kMaxSupport * 2})
    EXPECT_THROW(ResizeBitmap(5, 5, kLanczos3Filter, support, src, dst), EImageError) << support;
  EXPECT_THROW(ResizeBitmap(5, 5, 7, 0, src, dst), EImageError);
  EXPECT_THROW(ResizeBitmap(-1, 5, kLanczos3Filter, 0, src, dst), EImageError);
  EXPECT_THROW(ResizeBitmap(70000, 5, kLanczos3Filter, 0, src, dst), EImageError);
  EXPECT_TRUE(dst.SamePixels(before));
  // Empty pictures on either side: nothing to resample, the destination gets its size.
  ResizeBitmap(0, 5, kLanczos3Filter, 0, src, dst);
  EXPECT_EQ(dst.Width(), 0);
  ResizeBitmap(3, 2, kLanczos3Filter, 0, TBitmap24(), dst);
  EXPECT_EQ(dst.Width(), 3);

  // Source and destination may be the same bitmap.
  TBitmap24 expected(7, 4), same = src;
  reference::Resample(Lanczos3Filter, src, expected, 3.0f);
  ResizeBitmap(7, 4, kLanczos3Filter, 0, same, same);
  EXPECT_TRUE(same.SamePixels(expected));
}

TEST(ImageResize2, RowsGivenInBandsGiveTheWholePicturesBytes) {
  // A decoder hands rows over in bands of any height; the result must be the plain reading's, and
  // rows out of order or missing are refused rather than resampled from stale memory.
  const TBitmap24 src = reference::TestPicture(230, 157, 11);
  TBitmap24 expected(97, 41);
  reference::Resample(Lanczos3Filter, src, expected, 3.0f);
  for (const int band : {1, 7, 64, 157})
    for (const bool vector : {true, false}) {
      detail::SetVectorResample(vector);
      TBitmap24 dst(97, 41);
      detail::TStreamResampler resampler(Lanczos3Filter, src.Width(), src.Height(), dst, 3.0f);
      for (int y = 0; y < src.Height(); y += band)
        resampler.AddRows({src.Scanline(y), src.Width(), std::min(band, src.Height() - y), src.Stride()}, y);
      resampler.Finish();
      EXPECT_TRUE(dst.SamePixels(expected)) << "bands of " << band << (vector ? " (vector)" : " (plain)");
    }
  detail::SetVectorResample(true);

  TBitmap24 dst(97, 41);
  detail::TStreamResampler skipping(Lanczos3Filter, src.Width(), src.Height(), dst, 3.0f);
  skipping.AddRows({src.Scanline(0), src.Width(), 10, src.Stride()}, 0);
  EXPECT_THROW(skipping.AddRows({src.Scanline(20), src.Width(), 10, src.Stride()}, 20), EImageError);
  EXPECT_THROW(skipping.AddRows({src.Scanline(10), src.Width() - 1, 10, src.Stride()}, 10), EImageError);
  EXPECT_THROW(skipping.AddRows({src.Scanline(10), src.Width(), 150, src.Stride()}, 10), EImageError);
  EXPECT_THROW(skipping.Finish(), EImageError);
}
