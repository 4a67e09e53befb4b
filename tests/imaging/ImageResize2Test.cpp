#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "engine/Parallel.h"
#include "imaging/ImageResize2.h"
#include "tests/imaging/ResampleReference.h"

using namespace tintwise;

namespace {

// Runs a body with the vector path on and off and with one and two threads; restores the defaults.
template <class TBody>
void ForEveryImplementation(TBody body) {
  for (const bool vector : {true, false})
    for (const int threads : {1, 2}) {
      detail::SetVectorResample(vector);
      SetEngineThreadCount(threads);
      body(std::string(vector ? "vector" : "plain") + ", " + std::to_string(threads) + " thread(s)");
    }
  detail::SetVectorResample(true);
  SetEngineThreadCount(0);
}

TBitmap24 ReferenceResize(int w, int h, int filter, float support, const TBitmap24 &src) {
  TBitmap24 out(w, h);
  reference::Resample(ResampleFilters[filter].Function, src, out,
                      support == 0 ? ResampleFilters[filter].Support : support);
  return out;
}

std::string FirstDifference(const TBitmap24 &a, const TBitmap24 &b) {
  if (a.Width() != b.Width() || a.Height() != b.Height())
    return "sizes differ";
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width() * 3; ++x)
      if (a.Scanline(y)[x] != b.Scanline(y)[x])
        return "first difference at byte " + std::to_string(x) + " of row " + std::to_string(y) + ": " +
               std::to_string(a.Scanline(y)[x]) + " vs " + std::to_string(b.Scanline(y)[x]);
  return "";
}

} // namespace

TEST(ImageResize2, FilterTableValues) {
  EXPECT_EQ(ResampleFilters[kLanczos3Filter].Function, &Lanczos3Filter);
  const float defaults[kFilterCount] = {0.5f, 1.0f, 1.0f, 1.5f, 2.0f, 3.0f, 2.0f};
  for (int f = 0; f < kFilterCount; ++f)
    EXPECT_EQ(ResampleFilters[f].Support, defaults[f]) << ResampleFilters[f].Name;

  const double pi = 3.14159265358979323846;
  struct Case { TFilterFunction f; float x; double expected; } cases[] = {
      {BoxFilter, 0, 1},        {BoxFilter, 0.5f, 1},      {BoxFilter, -0.5f, 0},     {BoxFilter, 0.51f, 0},
      {TriangleFilter, 0, 1},   {TriangleFilter, -0.25f, 0.75}, {TriangleFilter, 1, 0},
      {HermiteFilter, 0, 1},    {HermiteFilter, 0.5f, 0.5},     {HermiteFilter, -1, 0},
      {BellFilter, 0, 0.75},    {BellFilter, 0.5f, 0.5},   {BellFilter, -1, 0.125},   {BellFilter, 1.5f, 0},
      {BSplineFilter, 0, 2.0 / 3}, {BSplineFilter, 1, 1.0 / 6}, {BSplineFilter, -1.5f, 0.125 / 6}, {BSplineFilter, 2, 0},
      {Lanczos3Filter, 0, 1},   {Lanczos3Filter, 1, 0},    {Lanczos3Filter, 3, 0},    {Lanczos3Filter, -3.5f, 0},
      {Lanczos3Filter, 0.5f, (std::sin(pi / 2) / (pi / 2)) * (std::sin(pi / 6) / (pi / 6))},
      {Lanczos3Filter, -1.5f, (std::sin(1.5 * pi) / (1.5 * pi)) * (std::sin(pi / 2) / (pi / 2))},
      {MitchellFilter, 0, 16.0 / 18}, {MitchellFilter, 1, 1.0 / 18}, {MitchellFilter, -1.5f, (-7.0 / 3 * 3.375 + 27 - 30 + 32.0 / 3) / 6},
      {MitchellFilter, 2, 0},
  };
  for (const Case &c : cases)
    EXPECT_NEAR(c.f(c.x), c.expected, 1e-6) << "x = " << c.x;
}

TEST(ImageResize2, FitSizeShrinksOnlyAndRoundsHalvesToEven) {
  struct Case { int w, h, ew, eh; } cases[] = {
      {3400, 1000, 1700, 500}, {1000, 1000, 500, 500}, {3000, 400, 1700, 227}, // the design's examples
      {1700, 500, 1700, 500},  {800, 300, 800, 300},   {1, 1, 1, 1},          // already fits
      {1701, 500, 1700, 500},  {1700, 501, 1697, 500},
      {3400, 997, 1700, 498},  // 498.5 rounds to the even neighbour
      {3400, 995, 1700, 498},  // 497.5 likewise, upwards
      {60000, 10, 1700, 0},    // a side rounds to nothing
  };
  for (const Case &c : cases) {
    int w = -1, h = -1;
    FitSize(c.w, c.h, 1700, 500, w, h);
    EXPECT_EQ(w, c.ew) << c.w << " x " << c.h;
    EXPECT_EQ(h, c.eh) << c.w << " x " << c.h;
  }
  int w = 7, h = 7;
  EXPECT_THROW(FitSize(0, 10, 1700, 500, w, h), EImageError);
  EXPECT_THROW(FitSize(10, 0, 1700, 500, w, h), EImageError);
  EXPECT_EQ(w, 7);
}

TEST(ImageResize2, ScalesMapFirstAndLastCentres) {
  EXPECT_EQ(ResampleScale(10, 10), 1.0f);
  EXPECT_EQ(ResampleScale(4350, 601), 600.0f / 4349.0f);
  EXPECT_EQ(ResampleScale(9, 1), 1.0f / 9.0f); // one-pixel destination: dest / source
  EXPECT_EQ(ResampleScale(1, 5), 5.0f);        // one-pixel source likewise
  EXPECT_EQ(ResampleScale(9, 2), 1.0f / 8.0f);
}

TEST(ImageResize2, MirrorIndexFoldsAtBothEdgesAndAgainOnShortLines) {
  struct Case { int j, n, expected; } cases[] = {
      {-1, 5, 1}, {-2, 5, 2}, {0, 5, 0}, {4, 5, 4}, {5, 5, 4}, {6, 5, 3}, // one fold: 0 is not repeated, n - 1 is
      {-1, 1, 0}, {-3, 1, 0}, {1, 1, 0}, {4, 1, 0},                       // every position of a one-pixel line is 0
      {-3, 2, 0}, {-2, 2, 1}, {3, 2, 0}, {4, 2, 1}, {5, 2, 1},           // -3 -> 3 -> 0; 4 -> -1 -> 1; 5 -> -2 -> 2 -> 1
      {-5, 3, 0}, {7, 3, 2},                                             // -5 -> 5 -> 0; 7 -> -2 -> 2
  };
  for (const Case &c : cases) {
    EXPECT_EQ(MirrorIndex(c.j, c.n), c.expected) << "j = " << c.j << ", n = " << c.n;
    EXPECT_EQ(MirrorIndex(c.j, c.n), reference::Fold(c.j, c.n));
  }
}

TEST(ImageResize2, ContributorListsMirrorEdgesAndMatchThePlainReading) {
  // Lanczos3 enlarging 4 pixels to 7 (scale 2): destination 1 is centred on 0.5 and reaches to
  // positions -2 and -1, which read pixels 2 and 1; destination 5 reaches 4 and 5, which read 3 and 2.
  const TContributorList list = BuildContributorList(2.0f, 4, 7, 3.0f, Lanczos3Filter);
  ASSERT_EQ(list.size(), 7u);
  auto pixels = [&](int i) {
    std::vector<int> p;
    for (int c = 0; c < list[i].Count; ++c)
      p.push_back(list[i].Contributors[c].Pixel);
    return p;
  };
  EXPECT_EQ(pixels(1), (std::vector<int>{2, 1, 0, 1, 2, 3}));
  EXPECT_EQ(pixels(5), (std::vector<int>{0, 1, 2, 3, 3, 2}));
  // At scale 1 every Lanczos3 entry is the pixel itself at full weight.
  for (const TContributorEntry &e : BuildContributorList(1.0f, 9, 9, 3.0f, Lanczos3Filter)) {
    ASSERT_EQ(e.Count, 1);
    EXPECT_EQ(e.Contributors[0].Weight, 256);
  }

  struct Case { int n, d; } sizes[] = {{1, 1}, {1, 7}, {2, 1}, {2, 9}, {3, 2}, {5, 3}, {17, 4}, {40, 101}, {4350, 601}, {97, 96}};
  for (int f = 0; f < kFilterCount; ++f)
    for (const Case &c : sizes)
      for (const float support : {0.0f, 1.25f}) {
        const float r = support == 0 ? ResampleFilters[f].Support : support;
        const float k = ResampleScale(c.n, c.d);
        const TContributorList ours = BuildContributorList(k, c.n, c.d, r, ResampleFilters[f].Function);
        const TContributorList plain = reference::Contributors(k, c.n, c.d, r, ResampleFilters[f].Function);
        for (int i = 0; i < c.d; ++i) {
          ASSERT_EQ(ours[i].Count, plain[i].Count) << ResampleFilters[f].Name << " " << c.n << "->" << c.d << " i=" << i;
          for (int m = 0; m < ours[i].Count; ++m) {
            EXPECT_EQ(ours[i].Contributors[m].Weight, plain[i].Contributors[m].Weight);
            EXPECT_EQ(ours[i].Contributors[m].Pixel, plain[i].Contributors[m].Pixel);
            EXPECT_GE(ours[i].Contributors[m].Pixel, 0);
            EXPECT_LT(ours[i].Contributors[m].Pixel, c.n);
          }
        }
      }
}

TEST(ImageResize2, ResizeMatchesThePlainReadingByteForByte) {
  struct Case { int sw, sh, dw, dh; } sizes[] = {
      {1, 1, 1, 1},     {1, 1, 5, 3},     {2, 2, 1, 1},    {2, 3, 7, 11},   {3, 2, 2, 3},   {5, 4, 1, 9},
      {7, 5, 23, 1},    {16, 16, 16, 16}, {17, 9, 33, 40}, {31, 18, 30, 17}, {64, 48, 17, 13},
      {101, 67, 100, 66}, {200, 150, 51, 37}, {333, 90, 40, 89}, {1000, 700, 61, 43}, {48, 300, 200, 2},
      {123, 7, 2, 3},   {45, 33, 150, 120},
  };
  unsigned seed = 1;
  for (const Case &c : sizes) {
    const TBitmap24 src = reference::TestPicture(c.sw, c.sh, seed++);
    for (int f = 0; f < kFilterCount; ++f)
      for (const float support : {0.0f, 2.5f}) {
        const TBitmap24 expected = ReferenceResize(c.dw, c.dh, f, support, src);
        ForEveryImplementation([&](const std::string &how) {
          TBitmap24 out;
          ResizeBitmap(c.dw, c.dh, static_cast<std::uint8_t>(f), support, src, out);
          EXPECT_EQ(FirstDifference(out, expected), "")
              << ResampleFilters[f].Name << " support " << support << ", " << c.sw << "x" << c.sh << " -> " << c.dw
              << "x" << c.dh << ", " << how;
        });
      }
  }
}

TEST(ImageResize2, TheProgramsOwnShrinkMatchesThePlainReading) {
  // A 4350 x 3618 picture fitted into 1700 x 500 with Lanczos3, the size of the speed benchmark,
  // cut to a quarter of the rows to keep the plain reading quick: 1088 x 905 -> 601 x 125.
  const TBitmap24 src = reference::TestPicture(1088 * 4, 905, 99);
  int w, h;
  FitSize(src.Width(), src.Height() * 4, 1700, 500, w, h);
  ASSERT_EQ(w, 601);
  const TBitmap24 expected = ReferenceResize(w, h / 4, kLanczos3Filter, 0, src);
  ForEveryImplementation([&](const std::string &how) {
    TBitmap24 out;
    ResizeBitmap(w, h / 4, kLanczos3Filter, 0, src, out);
    EXPECT_EQ(FirstDifference(out, expected), "") << how;
  });
}

TEST(ImageResize2, ScaleOneCopiesExactlyWithInterpolatingFilters) {
  const TBitmap24 src = reference::TestPicture(37, 23, 5);
  for (const std::uint8_t f : {kBoxFilter, kTriangleFilter, kHermiteFilter, kLanczos3Filter}) {
    TBitmap24 out;
    ResizeBitmap(37, 23, f, 0, src, out);
    EXPECT_TRUE(out.SamePixels(src)) << ResampleFilters[f].Name;
  }
  // A smoothing filter does change the picture: the copy above is not an accident of the path.
  TBitmap24 blurred;
  ResizeBitmap(37, 23, kBSplineFilter, 0, src, blurred);
  EXPECT_FALSE(blurred.SamePixels(src));
}

TEST(ImageResize2, OnePixelPictureEnlargesToItsColourWithEveryFilter) {
  TBitmap24 src(1, 1);
  src.SetPixel(0, 0, 201, 7, 99);
  for (int f = 0; f < kFilterCount; ++f) {
    TBitmap24 out;
    ResizeBitmap(6, 4, static_cast<std::uint8_t>(f), 0, src, out);
    for (int y = 0; y < 4; ++y)
      for (int x = 0; x < 6; ++x) {
        std::uint8_t r, g, b;
        out.GetPixel(x, y, r, g, b);
        EXPECT_EQ(r, 201) << ResampleFilters[f].Name;
        EXPECT_EQ(g, 7);
        EXPECT_EQ(b, 99);
      }
  }
}

TEST(ImageResize2, OvershootIsClampedNotWrapped) {
  // A hard step enlarged with Lanczos3 rings below 0 and above 255 next to the edge.
  TBitmap24 src(8, 1);
  for (int x = 0; x < 8; ++x)
    src.SetPixel(x, 0, x < 4 ? 0 : 255, x < 4 ? 255 : 0, 128);
  const int dw = 29;
  TBitmap24 out;
  ResizeBitmap(dw, 1, kLanczos3Filter, 0, src, out);
  const TContributorList list = BuildContributorList(ResampleScale(8, dw), 8, dw, 3.0f, Lanczos3Filter);
  bool below = false, above = false;
  for (int i = 0; i < dw; ++i) {
    int sum = 0, total = 0;
    for (int c = 0; c < list[i].Count; ++c) {
      sum += list[i].Contributors[c].Weight * (list[i].Contributors[c].Pixel < 4 ? 0 : 255);
      total += list[i].Contributors[c].Weight;
    }
    const int raw = sum / total;
    below |= raw < 0;
    above |= raw > 255;
    std::uint8_t r, g, b;
    out.GetPixel(i, 0, r, g, b);
    EXPECT_EQ(r, std::clamp(raw, 0, 255)) << "column " << i << " unclamped " << raw;
    EXPECT_EQ(g, std::clamp((255 * total - sum) / total, 0, 255)) << "column " << i;
  }
  EXPECT_TRUE(below);
  EXPECT_TRUE(above);
}

TEST(ImageResize2, UnusualFiltersFollowTheIntegerRules) {
  // Custom filters through Resample: an odd function whose weights cancel (total 0: the sums are
  // shifted right by 8 bits as unsigned values) and one with weights too large for 16 bits.
  struct Case { const char *name; TFilterFunction f; float support; } cases[] = {
      {"odd", [](float x) { return std::fabs(x) < 2 ? x : 0.0f; }, 2.0f},
      {"huge", [](float x) { return std::fabs(x) < 1.5f ? 300.0f - 100.0f * std::fabs(x) : 0.0f; }, 1.5f},
      {"negative", [](float x) { return std::fabs(x) < 1 ? -1.0f : 0.0f; }, 1.0f},
  };
  const TBitmap24 src = reference::TestPicture(23, 19, 8);
  for (const Case &c : cases)
    for (const auto &size : {std::pair{23, 19}, std::pair{47, 9}, std::pair{5, 40}}) {
      const int dw = size.first, dh = size.second; // clang 14 cannot capture structured bindings
      TBitmap24 expected(dw, dh);
      reference::Resample(c.f, src, expected, c.support);
      ForEveryImplementation([&](const std::string &how) {
        TBitmap24 out(dw, dh);
        Resample(c.f, src, out, c.support);
        EXPECT_EQ(FirstDifference(out, expected), "") << c.name << " " << dw << "x" << dh << ", " << how;
      });
    }
}

TEST(ImageResize2, BadArgumentsLeaveTheDestinationAlone) {
  const TBitmap24 src = reference::TestPicture(10, 10, 3);
  const TBitmap24 before = reference::TestPicture(4, 3, 4);
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
}

TEST(ImageResize2, SourceAndDestinationMayBeTheSameBitmap) {
  const TBitmap24 original = reference::TestPicture(50, 30, 6);
  const TBitmap24 expected = ReferenceResize(20, 12, kLanczos3Filter, 0, original);
  TBitmap24 bmp = original;
  ResizeBitmap(20, 12, kLanczos3Filter, 0, bmp, bmp);
  EXPECT_EQ(FirstDifference(bmp, expected), "");
  bmp = original;
  Resample(MitchellFilter, bmp, bmp, 2.0f);
  TBitmap24 same(50, 30);
  reference::Resample(MitchellFilter, original, same, 2.0f);
  EXPECT_EQ(FirstDifference(bmp, same), "");
}
