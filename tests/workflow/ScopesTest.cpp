// The scopes are checked the way a user would read them: pictures drawn, saved as PNG, read back,
// and the traces located against positions worked out by hand from the published colour-bar values.
#include <gtest/gtest.h>

#include <QImage>
#include <QTemporaryDir>

#include <cmath>
#include <random>
#include <set>
#include <tuple>
#include <vector>

#include "engine/Bitmap24.h"
#include "engine/Errors.h"
#include "engine/Parallel.h"
#include "tests/support/EngineReference.h"
#include "workflow/Scopes.h"

using namespace tintwise;

namespace {

// Through a PNG file and back, as another program would see the scope.
QImage ThroughPng(const TScopeImage &scope) {
  const QTemporaryDir dir;
  const QString path = dir.filePath("scope.png");
  const QImage image(scope.Pixels.data(), scope.Width, scope.Height, scope.Width * 3, QImage::Format_RGB888);
  EXPECT_TRUE(image.save(path));
  return QImage(path).convertToFormat(QImage::Format_RGB888); // unread, it has no size: the callers check sizes
}

// The single-picture luma and vectorscope traces are green; graticule lines are grey or warm.
bool IsTrace(const QImage &image, int x, int y) {
  const QRgb c = image.pixel(x, y);
  return qGreen(c) > qRed(c) + 10;
}

struct TBar {
  const char *Name;
  std::array<int, 3> Rgb; // at 100 %
  double Cb601, Cr601, Cb709, Cr709; // published normalised chroma of the 100 % bar
};

// BT.601 and BT.709 colour-difference values of the 100 % bars (ITU-R BT.601, BT.709 tables).
const TBar kBars[] = {
    {"yellow", {1, 1, 0}, -0.5, 0.0813, -0.5, 0.0458},
    {"cyan", {0, 1, 1}, 0.1687, -0.5, 0.1146, -0.5},
    {"green", {0, 1, 0}, -0.3313, -0.4187, -0.3854, -0.4542},
    {"magenta", {1, 0, 1}, 0.3313, 0.4187, 0.3854, 0.4542},
    {"red", {1, 0, 0}, -0.1687, 0.5, -0.1146, 0.5},
    {"blue", {0, 0, 1}, 0.5, -0.0813, 0.5, -0.0458},
};

} // namespace

TEST(Scopes, ColourBarsLandOnTheirVectorscopeTargets) {
  // The default size, and an odd one whose centre falls inside a pixel.
  for (const int n : {512, 301})
  for (const TScopeStandard standard : {TScopeStandard::Rec601, TScopeStandard::Rec709})
    for (const int level : {255, 191}) { // 100 % and 75 % bars
      SCOPED_TRACE(std::string(standard == TScopeStandard::Rec601 ? "601 " : "709 ") + std::to_string(level) +
                   " N " + std::to_string(n));
      std::vector<std::array<int, 3>> colours{{level, level, level}};
      for (const TBar &bar : kBars)
        colours.push_back({bar.Rgb[0] * level, bar.Rgb[1] * level, bar.Rgb[2] * level});
      colours.push_back({0, 0, 0});
      TBitmap24 bars(static_cast<int>(colours.size()) * 40, 30); // bars 40 pixels wide
      for (int y = 0; y < 30; ++y)
        for (int x = 0; x < bars.Width(); ++x)
          bars.SetPixel(x, y, colours[x / 40][0], colours[x / 40][1], colours[x / 40][2]);
      const QImage scope = ThroughPng(DrawScope(TScopeKind::Vectorscope, MeasureScopes(bars, standard, n)));
      ASSERT_EQ(scope.size(), QSize(n, n));

      std::vector<bool> claimed(static_cast<std::size_t>(n) * n, false);
      auto spot = [&](double ex, double ey, double &cx, double &cy) {
        double sx = 0, sy = 0;
        int count = 0;
        for (int y = static_cast<int>(ey) - 6; y <= static_cast<int>(ey) + 6; ++y)
          for (int x = static_cast<int>(ex) - 6; x <= static_cast<int>(ex) + 6; ++x)
            if (x >= 0 && y >= 0 && x < n && y < n && IsTrace(scope, x, y)) {
              sx += x + 0.5;
              sy += y + 0.5;
              ++count;
              claimed[static_cast<std::size_t>(y) * n + x] = true;
            }
        cx = count ? sx / count : -1;
        cy = count ? sy / count : -1;
        return count;
      };
      double cx, cy;
      ASSERT_GT(spot(n / 2.0, n / 2.0, cx, cy), 0) << "grey and black at the centre";
      EXPECT_NEAR(cx, n / 2.0, 0.5);
      EXPECT_NEAR(cy, n / 2.0, 0.5);
      for (const TBar &bar : kBars) {
        SCOPED_TRACE(bar.Name);
        const double scale = level / 255.0;
        const double cb = (standard == TScopeStandard::Rec601 ? bar.Cb601 : bar.Cb709) * scale;
        const double cr = (standard == TScopeStandard::Rec601 ? bar.Cr601 : bar.Cr709) * scale;
        // +Cb to the right, +Cr up, chroma 0.5 at 0.45 N from the centre.
        const double ex = n / 2.0 + 0.9 * n * cb, ey = n / 2.0 - 0.9 * n * cr;
        ASSERT_GT(spot(ex, ey, cx, cy), 0);
        EXPECT_NEAR(cx, ex, 1.0);
        EXPECT_NEAR(cy, ey, 1.0);
      }
      for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
          if (IsTrace(scope, x, y)) {
            ASSERT_TRUE(claimed[static_cast<std::size_t>(y) * n + x]) << "stray trace at " << x << ", " << y;
          }
    }
}

TEST(Scopes, GreysLandOnTheirWaveformLines) {
  const int n = 512;
  // Left half 10 % grey, right half 90 % grey: the left half's trace hides the 10 % line there, so
  // the line is read in the right half, and the other way round.
  TBitmap24 picture(200, 50);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 200; ++x) {
      const int v = x < 100 ? 26 : 230; // 10 % and 90 % of 255, rounded
      picture.SetPixel(x, y, v, v, v);
    }
  for (const TScopeStandard standard : {TScopeStandard::Rec601, TScopeStandard::Rec709}) {
    const TScopeCounts counts = MeasureScopes(picture, standard, n);
    const QImage wave = ThroughPng(DrawScope(TScopeKind::Waveform, counts));
    const QImage parade = ThroughPng(DrawScope(TScopeKind::Parade, counts));
    ASSERT_EQ(wave.size(), QSize(n, n / 2));
    ASSERT_EQ(parade.size(), QSize(3 * n / 2, n / 2));
    auto rows = [](const QImage &image, int x, bool trace) {
      std::vector<int> found;
      for (int y = 0; y < image.height(); ++y) {
        const QRgb c = image.pixel(x, y);
        const bool isTrace = qGreen(c) > qRed(c) + 10 || qRed(c) > qGreen(c) + 10 || qBlue(c) > qRed(c) + 10;
        if (trace ? isTrace : (!isTrace && qGray(c) > 50))
          found.push_back(y);
      }
      return found;
    };
    // Graticule rows, read in both halves where no trace covers them: 100, 90, 50, 10 and 0 % from
    // the top.
    std::set<int> found;
    for (const int x : {n / 4, 3 * n / 4})
      for (const int y : rows(wave, x, false))
        found.insert(y);
    // The lines themselves, 256 rows high: 100 % on row 256/16, 0 % on row 255 - 256/16, evenly
    // between: 90 % on 239 - 0.9 * 223 = 38.3, 50 % on 127.5, 10 % on 216.7.
    ASSERT_EQ(std::vector<int>(found.begin(), found.end()), (std::vector<int>{16, 38, 128, 217, 239}));
    const int line90 = 38, line10 = 217;
    for (const QImage *image : {&wave, &parade})
      for (int panel = 0; panel < (image == &wave ? 1 : 3); ++panel) {
        const int w = image == &wave ? n : n / 2;
        const std::vector<int> low = rows(*image, panel * w + w / 4, true), high = rows(*image, panel * w + 3 * w / 4, true);
        ASSERT_EQ(low.size(), 1u);
        ASSERT_EQ(high.size(), 1u);
        EXPECT_LE(std::abs(low[0] - line10), 1);
        EXPECT_LE(std::abs(high[0] - line90), 1);
      }
  }
}

TEST(Scopes, HistogramScalesLinearAndLogarithmic) {
  // 99 % black and 1 % white: on the linear scale the white bar is a hundredth of the black one
  // (rounded to at least one row); on the logarithmic scale (six decades) 4/6 of its height.
  TBitmap24 picture(100, 10);
  for (int x = 0; x < 10; ++x)
    picture.SetPixel(x, 0, 255, 255, 255);
  const int n = 512, band = n / 4, room = band - 3;
  const TScopeCounts c = MeasureScopes(picture, TScopeStandard::Rec601, n);
  EXPECT_DOUBLE_EQ(HistogramPeak(c), 0.99);
  auto height = [&](const TScopeImage &image, int k, int column) {
    int h = 0;
    for (int row = 0; row < room; ++row) {
      const std::uint8_t *p = image.At(column, (k + 1) * band - 2 - row);
      if (p[0] > 60 || p[1] > 60 || p[2] > 60)
        ++h;
    }
    return h;
  };
  const TScopeImage linear = DrawScope(TScopeKind::Histogram, c);
  const TScopeImage log = DrawScope(TScopeKind::Histogram, c, {.LogHistogram = true});
  for (int k = 0; k < 4; ++k) {
    SCOPED_TRACE(k);
    EXPECT_EQ(std::pair(height(linear, k, 0), height(linear, k, n - 1)), std::pair(room, 1)); // 1.24 rows
    EXPECT_EQ(std::pair(height(log, k, 0), height(log, k, n / 2)), std::pair(room, 0));
    EXPECT_EQ(height(log, k, n - 1),
              static_cast<int>(std::floor((std::log10(0.01) + 6) / (std::log10(0.99) + 6) * room + 0.5)));
    // Each band in its channel's colour: red, green, blue, then grey luma.
    const std::uint8_t *p = linear.At(0, (k + 1) * band - 2);
    EXPECT_GT(p[k % 3], 150);
    EXPECT_EQ(p[(k + 1) % 3] < 120, k < 3);
    EXPECT_EQ(p[0] == p[1] && p[1] == p[2], k == 3);
  }
  // A shared scale twice the peak halves the bars, so two pictures compare side by side.
  const TScopeImage half = DrawScope(TScopeKind::Histogram, c, {.HistogramScale = 2 * 0.99});
  EXPECT_EQ(height(half, 0, 0), static_cast<int>(std::floor(room / 2.0 + 0.5)));
}

TEST(Scopes, OverlayAddsTheTracesInTheirColours) {
  TBitmap24 dark(8, 8), light(8, 8);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      dark.SetPixel(x, y, 40, 40, 40);
      light.SetPixel(x, y, x < 4 ? 40 : 200, x < 4 ? 40 : 200, x < 4 ? 40 : 200);
    }
  const int n = 128;
  const TScopeCounts a = MeasureScopes(dark, TScopeStandard::Rec601, n), b = MeasureScopes(light, TScopeStandard::Rec601, n);
  const TScopeTrace traces[] = {{&a, false, {200, 0, 0}}, {&b, false, {0, 0, 200}}};
  const TScopeImage image = DrawScope(TScopeKind::Waveform, traces);
  const int row40 = WaveformRow(40 / 255.0, n / 2), row200 = WaveformRow(200 / 255.0, n / 2);
  // Left half: both pictures at 40 (red + blue); right half: only the first at 40, the second at 200.
  const std::uint8_t *both = image.At(10, row40), *first = image.At(100, row40), *second = image.At(100, row200);
  EXPECT_EQ(std::tuple(both[0] > 100, both[2] > 100, first[0] > 100, first[2], second[0], second[2] > 100),
            std::tuple(true, true, true, 0, 0, true));
  const TScopeCounts other = MeasureScopes(dark, TScopeStandard::Rec601, 256);
  const TScopeTrace mixed[] = {{&a, true, {}}, {&other, true, {}}};
  EXPECT_THROW(DrawScope(TScopeKind::Waveform, mixed), EEngineError);
}

TEST(Scopes, SizesAndEmptyPictures) {
  EXPECT_THROW(MeasureScopes(TBitmap24(2, 2), TScopeStandard::Rec601, kMinScopeSize - 1), EEngineError);
  EXPECT_THROW(MeasureScopes(TBitmap24(2, 2), TScopeStandard::Rec601, kMaxScopeSize + 1), EEngineError);
  const TScopeCounts empty = MeasureScopes(TBitmap24(), TScopeStandard::Rec601, 64);
  EXPECT_EQ(HistogramPeak(empty), 0.0); // no share of no pixels
  for (const TScopeKind kind : {TScopeKind::Waveform, TScopeKind::Parade, TScopeKind::Vectorscope, TScopeKind::Histogram}) {
    const TScopeImage image = DrawScope(kind, empty);
    EXPECT_EQ(image.Width, kind == TScopeKind::Parade ? 96 : 64);
    EXPECT_EQ(image.Height, kind == TScopeKind::Waveform || kind == TScopeKind::Parade ? 32 : 64);
    EXPECT_EQ(image.Pixels.size(), static_cast<std::size_t>(image.Width) * image.Height * 3);
  }
  // The parade's panels are parted by a line, and nothing stands beyond the last panel.
  const TScopeImage parade = DrawScope(TScopeKind::Parade, empty);
  EXPECT_NE(parade.At(31, 20)[0], parade.At(0, 20)[0]);
  EXPECT_EQ(parade.At(95, 20)[0], parade.At(0, 20)[0]);
}

namespace {

// FNV-1a over the bytes of a block, folded into a running value.
std::uint64_t Fold(std::uint64_t hash, const void *data, std::size_t size) {
  const auto *p = static_cast<const unsigned char *>(data);
  for (std::size_t i = 0; i < size; ++i)
    hash = (hash ^ p[i]) * 0x100000001b3ull;
  return hash;
}

template <class T> std::uint64_t Fold(std::uint64_t hash, const std::vector<T> &v) {
  return Fold(hash, v.data(), v.size() * sizeof(T));
}

// Every count and every picture of the four scopes, as one number.
std::uint64_t ScopeChecksum(const TBitmap24 &picture, TScopeStandard standard, int size) {
  const TScopeCounts c = MeasureScopes(picture, standard, size);
  std::uint64_t hash = Fold(0xcbf29ce484222325ull, &c.Pixels, sizeof c.Pixels);
  hash = Fold(Fold(Fold(hash, c.Waveform), c.Parade), c.Vectorscope);
  hash = Fold(hash, c.Histogram.data(), sizeof c.Histogram);
  for (const TScopeKind kind : {TScopeKind::Waveform, TScopeKind::Parade, TScopeKind::Vectorscope, TScopeKind::Histogram})
    hash = Fold(hash, DrawScope(kind, c).Pixels);
  return Fold(hash, DrawScope(TScopeKind::Histogram, c, {.LogHistogram = true}).Pixels);
}

TBitmap24 Noise(int width, int height, unsigned seed) {
  TBitmap24 picture(width, height);
  std::mt19937 rng(seed);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < 3 * width; ++x)
      picture.Scanline(y)[x] = static_cast<std::uint8_t>(rng() >> 24);
  return picture;
}

} // namespace

// Checksums of the counts and pictures that the counter gave before it was tuned for speed, one row
// of pixels after another: whatever makes it faster must keep every byte, at any number of threads.
TEST(Scopes, CountsAndPicturesKeepTheirBytes) {
  struct {
    TBitmap24 Picture;
    TScopeStandard Standard;
    int Size;
    std::uint64_t Checksum;
  } cases[] = {
      {reference::SyntheticPicture(1700, 500, 5), TScopeStandard::Rec601, 512, 0x26c353b111e44a50},
      {reference::SyntheticPicture(1700, 500, 11), TScopeStandard::Rec709, 512, 0x1be97048ddfea947},
      {reference::SyntheticPicture(300, 200, 3), TScopeStandard::Rec601, 1024, 0x3b911f95506ff9e1}, // narrower than the scope
      {reference::SyntheticPicture(777, 333, 7), TScopeStandard::Rec709, 64, 0x8889f6d4a0ca3d25},
      {Noise(640, 480, 1), TScopeStandard::Rec601, 333, 0x078f08041af65227}, // an odd size: the centre is half a pixel off
      {Noise(1, 1, 2), TScopeStandard::Rec709, 4096, 0x62ad64745a7f35fb},
  };
  for (const int threads : {1, 2, 3}) {
    SetEngineThreadCount(threads);
    for (const auto &c : cases)
      EXPECT_EQ(ScopeChecksum(c.Picture, c.Standard, c.Size), c.Checksum) << threads << " threads, case " << &c - cases;
  }
  SetEngineThreadCount(0);
}
