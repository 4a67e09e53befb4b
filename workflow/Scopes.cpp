#include "workflow/Scopes.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>

#include "engine/Bitmap24.h"
#include "engine/Errors.h"
#include "engine/Parallel.h"

namespace tintwise {

namespace {

struct TWeights {
  double Kr, Kg, Kb;
};

TWeights WeightsOf(TScopeStandard standard) {
  if (standard == TScopeStandard::Rec709)
    return {0.2126, 0.7152, 0.0722};
  return {0.299, 0.587, 0.114};
}

constexpr TTraceColor kBackground{10, 10, 10};
constexpr TTraceColor kMajorLine{125, 125, 125};
constexpr TTraceColor kMinorLine{80, 80, 80};
constexpr TTraceColor kFaintLine{42, 42, 42};
constexpr TTraceColor kSkinLine{175, 120, 85};
constexpr TTraceColor kLumaTrace{140, 255, 140};
constexpr TTraceColor kChannelTrace[4] = {{255, 80, 80}, {80, 255, 80}, {100, 130, 255}, {220, 220, 220}};

void Put(TScopeImage &image, int x, int y, const TTraceColor &color) {
  if (x < 0 || y < 0 || x >= image.Width || y >= image.Height)
    return;
  std::uint8_t *p = image.At(x, y);
  p[0] = color[0];
  p[1] = color[1];
  p[2] = color[2];
}

void HorizontalLine(TScopeImage &image, int y, int x1, int x2, const TTraceColor &color) {
  for (int x = x1; x <= x2; ++x)
    Put(image, x, y, color);
}

void VerticalLine(TScopeImage &image, int x, int y1, int y2, const TTraceColor &color) {
  for (int y = y1; y <= y2; ++y)
    Put(image, x, y, color);
}

void Line(TScopeImage &image, double x1, double y1, double x2, double y2, const TTraceColor &color) {
  const int steps = static_cast<int>(std::ceil(std::max(std::fabs(x2 - x1), std::fabs(y2 - y1)))) + 1;
  for (int i = 0; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    Put(image, static_cast<int>(std::floor(x1 + (x2 - x1) * t)), static_cast<int>(std::floor(y1 + (y2 - y1) * t)),
        color);
  }
}

void Square(TScopeImage &image, double cx, double cy, int half, const TTraceColor &color) {
  const int x = static_cast<int>(std::floor(cx)), y = static_cast<int>(std::floor(cy));
  HorizontalLine(image, y - half, x - half, x + half, color);
  HorizontalLine(image, y + half, x - half, x + half, color);
  VerticalLine(image, x - half, y - half, y + half, color);
  VerticalLine(image, x + half, y - half, y + half, color);
}

TScopeImage Blank(int width, int height) {
  TScopeImage image;
  image.Width = width;
  image.Height = height;
  static_assert(kBackground[0] == kBackground[1] && kBackground[1] == kBackground[2]);
  image.Pixels.assign(static_cast<std::size_t>(width) * height * 3, kBackground[0]);
  return image;
}

void WaveformGraticule(TScopeImage &image, int x0, int width, int height) {
  for (const int percent : {0, 10, 50, 90, 100})
    HorizontalLine(image, WaveformRow(percent / 100.0, height), x0, x0 + width - 1,
                   percent == 0 || percent == 100 ? kMajorLine : kMinorLine);
}

void VectorscopeGraticule(TScopeImage &image, TScopeStandard standard, int size) {
  const double c = size / 2.0, radius = 0.45 * size;
  HorizontalLine(image, size / 2, 0, size - 1, kFaintLine);
  VerticalLine(image, size / 2, 0, size - 1, kFaintLine);
  const int steps = std::max(64, static_cast<int>(2 * std::numbers::pi * radius));
  for (int i = 0; i < steps; ++i) {
    const double a = 2 * std::numbers::pi * i / steps;
    Put(image, static_cast<int>(std::floor(c + radius * std::cos(a))),
        static_cast<int>(std::floor(c - radius * std::sin(a))), kFaintLine);
  }
  const double skin = kSkinToneAngle * std::numbers::pi / 180;
  Line(image, c, c, c + radius * std::cos(skin), c - radius * std::sin(skin), kSkinLine);
  // Red, magenta, blue, cyan, green, yellow at 100 % (larger boxes) and 75 %.
  constexpr double kBars[6][3] = {{1, 0, 0}, {1, 0, 1}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}, {1, 1, 0}};
  for (const auto &bar : kBars)
    for (const double level : {1.0, 0.75}) {
      const TYCbCr v = RGBToYCbCr(standard, bar[0] * level, bar[1] * level, bar[2] * level);
      Square(image, VectorscopeX(v.Cb, size), VectorscopeY(v.Cr, size), level == 1.0 ? size / 40 : size / 64,
             level == 1.0 ? kMajorLine : kMinorLine);
    }
}

int HistogramBandHeight(int size) { return size / 4; }

void HistogramGraticule(TScopeImage &image, int size) {
  const int band = HistogramBandHeight(size);
  for (int k = 1; k < 4; ++k)
    HorizontalLine(image, k * band - 1, 0, size - 1, kMinorLine);
  for (const int code : {64, 128, 192})
    for (int k = 0; k < 4; ++k)
      VerticalLine(image, code * size / 256, k * band + 2, (k + 1) * band - 2, kFaintLine);
}

// Brightness of a spot with `count` pixels, for a trace whose lit spots hold `mean` pixels each on
// average: dim for a single pixel, near full brightness from a few times the average.
class TIntensity {
public:
  TIntensity(const std::uint32_t *counts, std::size_t n) {
    std::uint64_t total = 0, lit = 0;
    for (std::size_t i = 0; i < n; ++i)
      if (counts[i]) {
        total += counts[i];
        ++lit;
      }
    FMean = lit ? static_cast<double>(total) / lit : 1.0;
    const std::size_t tableSize = static_cast<std::size_t>(std::min(8 * FMean, 65536.0)) + 2;
    FTable.resize(tableSize);
    for (std::size_t c = 0; c < tableSize; ++c)
      FTable[c] = Level(static_cast<double>(c));
  }
  float operator()(std::uint32_t count) const {
    return count < FTable.size() ? FTable[count] : Level(static_cast<double>(count));
  }

private:
  float Level(double count) const {
    return count == 0 ? 0.0f : static_cast<float>(0.2 + 0.8 * (1 - std::exp(-count / FMean)));
  }
  double FMean = 1;
  std::vector<float> FTable;
};

// Adds the traces of one panel (a plane of counts `stride` apart by row) onto the image at column x0.
void DrawPlane(TScopeImage &image, int x0, int width, int height, const std::vector<const std::uint32_t *> &planes,
               std::size_t stride, const std::vector<TIntensity> &intensities, const std::vector<TTraceColor> &colors) {
  const std::size_t n = planes.size();
  if (n == 1) { // one trace: its colour scaled by the spot's brightness
    const std::uint32_t *plane = planes[0];
    const TIntensity &intensity = intensities[0];
    const float color[3] = {static_cast<float>(colors[0][0]), static_cast<float>(colors[0][1]),
                            static_cast<float>(colors[0][2])};
    for (int y = 0; y < height; ++y) {
      const std::uint32_t *row = plane + static_cast<std::size_t>(y) * stride;
      std::uint8_t *out = image.At(x0, y);
      for (int x = 0; x < width; ++x)
        if (const std::uint32_t c = row[x]) {
          const float level = intensity(c);
          for (int k = 0; k < 3; ++k)
            out[3 * x + k] = static_cast<std::uint8_t>(std::min(255.0f, level * color[k] + 0.5f));
        }
    }
    return;
  }
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      float sum[3] = {0, 0, 0};
      bool lit = false;
      for (std::size_t t = 0; t < n; ++t) {
        const std::uint32_t c = planes[t][static_cast<std::size_t>(y) * stride + x];
        if (!c)
          continue;
        lit = true;
        const float level = intensities[t](c);
        for (int k = 0; k < 3; ++k)
          sum[k] += level * colors[t][k];
      }
      if (!lit)
        continue;
      std::uint8_t *p = image.At(x0 + x, y);
      for (int k = 0; k < 3; ++k)
        p[k] = static_cast<std::uint8_t>(std::min(255.0f, sum[k] + 0.5f));
    }
}

constexpr int kScopeShift = 16;
constexpr double kScopeOne = 1 << kScopeShift;
constexpr std::size_t kCodeColumn = 4 * 256; // R, G, B and luma codes of one scope column

// Per component and code, in 1/65536: its share of the luma code (red's with the rounding half)
// and of the vectorscope's x and y (red's with the centre).
struct TCountTables {
  std::int32_t Luma[3][256], X[3][256], Y[3][256];
};

// Adds the codes of picture columns x0..x1 of every row to the counts of their scope columns.
void CountCodes(const TBitmap24 &picture, const TCountTables &t, const int *columnOf, int x0, int x1,
                std::uint32_t *codes) {
  const int height = picture.Height();
  for (int y = 0; y < height; ++y) {
    const std::uint8_t *p = picture.Scanline(y) + static_cast<std::ptrdiff_t>(x0) * 3;
    for (int x = x0; x < x1; ++x, p += 3) {
      const int b = p[0], g = p[1], r = p[2];
      std::uint32_t *c = codes + static_cast<std::size_t>(columnOf[x]) * kCodeColumn;
      const int luma = (t.Luma[0][r] + t.Luma[1][g] + t.Luma[2][b]) >> kScopeShift;
      ++c[r];
      ++c[256 + g];
      ++c[512 + b];
      ++c[768 + std::min(255, luma)];
    }
  }
}

// Adds every pixel to its spot of the size x size vectorscope.
void CountVectorscope(const TBitmap24 &picture, const TCountTables &t, int size, std::uint32_t *vector) {
  const int width = picture.Width(), height = picture.Height(), last = size - 1;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t *p = picture.Scanline(y);
    for (int x = 0; x < width; ++x, p += 3) {
      const int b = p[0], g = p[1], r = p[2];
      const int vx = std::clamp((t.X[0][r] + t.X[1][g] + t.X[2][b]) >> kScopeShift, 0, last);
      const int vy = std::clamp((t.Y[0][r] + t.Y[1][g] + t.Y[2][b]) >> kScopeShift, 0, last);
      ++vector[static_cast<std::size_t>(vy) * size + vx];
    }
  }
}

void CheckTraces(std::span<const TScopeTrace> traces) {
  if (traces.empty())
    throw EEngineError("A scope needs at least one picture to draw.");
  for (const TScopeTrace &t : traces)
    if (!t.Counts || t.Counts->Size != traces[0].Counts->Size)
      throw EEngineError("The pictures of one scope must be measured at the same size.");
}

} // namespace

TYCbCr RGBToYCbCr(TScopeStandard standard, double R, double G, double B) {
  const TWeights w = WeightsOf(standard);
  const double Y = w.Kr * R + w.Kg * G + w.Kb * B;
  return {Y, (B - Y) / (2 * (1 - w.Kb)), (R - Y) / (2 * (1 - w.Kr))};
}

int WaveformHeight(int size) { return size / 2; }
int ParadePanelWidth(int size) { return size / 2; }
int WaveformTopRow(int height) { return height / 16; }
int WaveformBottomRow(int height) { return height - 1 - height / 16; }

int WaveformRow(double value, int height) {
  const int top = WaveformTopRow(height), bottom = WaveformBottomRow(height);
  const double row = std::floor(bottom - value * (bottom - top) + 0.5);
  return static_cast<int>(std::clamp(row, 0.0, height - 1.0));
}

double VectorscopeX(double cb, int size) { return size / 2.0 + 0.9 * size * cb; }
double VectorscopeY(double cr, int size) { return size / 2.0 - 0.9 * size * cr; }

TScopeCounts MeasureScopes(const TBitmap24 &picture, TScopeStandard standard, int size) {
  if (size < kMinScopeSize || size > kMaxScopeSize)
    throw EEngineError("The scope size must be " + std::to_string(kMinScopeSize) + " to " +
                       std::to_string(kMaxScopeSize) + " pixels.");
  TScopeCounts counts;
  counts.Size = size;
  counts.Standard = standard;
  const std::size_t plane = static_cast<std::size_t>(size) * size;
  const int waveHeight = WaveformHeight(size), panel = ParadePanelWidth(size);
  counts.Waveform.assign(static_cast<std::size_t>(size) * waveHeight, 0);
  counts.Parade.assign(static_cast<std::size_t>(panel) * 3 * waveHeight, 0);
  const int width = picture.Width(), height = picture.Height();
  if (width == 0 || height == 0) {
    counts.Vectorscope.assign(plane, 0);
    return counts;
  }
  counts.Pixels = static_cast<std::uint64_t>(width) * height;

  // Luma is taken as an 8-bit code, like the three channels, so that every pixel adds one to four
  // per-column code counts, from which the waveform, the parade and the histograms all follow.
  // Per-code tables in fixed point (1/65536): each component's share of the luma code and of the
  // vectorscope's x and y. Sums of integers do not depend on the order they are added in.
  const TWeights w = WeightsOf(standard);
  const double cbScale = 0.9 * size / (2 * (1 - w.Kb)), crScale = 0.9 * size / (2 * (1 - w.Kr));
  TCountTables t;
  const double k[3] = {w.Kr, w.Kg, w.Kb};
  const std::int32_t half = 1 << (kScopeShift - 1); // rounds half up
  const std::int32_t centre = ((size / 2) << kScopeShift) + (size % 2 ? half : 0);
  for (int v = 0; v < 256; ++v) {
    const double value = v / 255.0;
    for (int c = 0; c < 3; ++c) {
      // Cb = (B - Y) / (2 (1 - Kb)), Cr = (R - Y) / (2 (1 - Kr)), split by component.
      t.Luma[c][v] = static_cast<std::int32_t>(std::lround(k[c] * v * kScopeOne));
      t.X[c][v] = static_cast<std::int32_t>(std::lround(((c == 2 ? value : 0) - k[c] * value) * cbScale * kScopeOne));
      t.Y[c][v] = -static_cast<std::int32_t>(std::lround(((c == 0 ? value : 0) - k[c] * value) * crScale * kScopeOne));
    }
    // The rounding half and the centre ride on the red entries.
    t.Luma[0][v] += half;
    t.X[0][v] += centre;
    t.Y[0][v] += centre;
  }
  // Picture column x covers the scope columns x N / width up to (x + 1) N / width (at least one),
  // so a picture narrower than the scope still fills it.
  std::vector<int> columnOf(width + 1);
  for (int x = 0; x <= width; ++x)
    columnOf[x] = static_cast<int>(static_cast<std::int64_t>(x) * size / width);

  // Code counts per scope column: R, G, B and luma, 256 codes each. One task counts the
  // vectorscope; the others count the codes of separate ranges of scope columns, so no two tasks
  // share a counter and nothing is added up afterwards.
  const std::size_t codeCount = static_cast<std::size_t>(size) * kCodeColumn;
  std::unique_ptr<std::uint32_t[]> codes(new std::uint32_t[codeCount]);
  const int threads = static_cast<int>(
      std::clamp<std::int64_t>(static_cast<std::int64_t>(width) * height / 100000, 1, EngineThreadCount()));
  const int codeTasks = std::max(1, threads - 1);
  ParallelFor(
      codeTasks + 1,
      [&](int begin, int end) {
        for (int task = begin; task < end; ++task) {
          if (task == codeTasks) {
            counts.Vectorscope.assign(plane, 0);
            CountVectorscope(picture, t, size, counts.Vectorscope.data());
            continue;
          }
          const int s0 = static_cast<int>(static_cast<std::int64_t>(size) * task / codeTasks);
          const int s1 = static_cast<int>(static_cast<std::int64_t>(size) * (task + 1) / codeTasks);
          std::fill(codes.get() + static_cast<std::size_t>(s0) * kCodeColumn,
                    codes.get() + static_cast<std::size_t>(s1) * kCodeColumn, 0u);
          // The picture columns whose first scope column lies in s0..s1.
          const int x0 = static_cast<int>(std::lower_bound(columnOf.begin(), columnOf.end() - 1, s0) - columnOf.begin());
          const int x1 = static_cast<int>(std::lower_bound(columnOf.begin(), columnOf.end() - 1, s1) - columnOf.begin());
          CountCodes(picture, t, columnOf.data(), x0, x1, codes.get());
        }
      },
      threads > 1 ? 1 : codeTasks + 1);
  // The histograms count every pixel once, whatever columns it covers.
  for (int column = 0; column < size; ++column) {
    const std::uint32_t *c = codes.get() + static_cast<std::size_t>(column) * kCodeColumn;
    for (int channel = 0; channel < 4; ++channel)
      for (int v = 0; v < 256; ++v)
        counts.Histogram[channel][v] += c[channel * 256 + v];
  }
  // A picture narrower than the scope repeats each column over the scope columns it covers.
  if (width < size)
    for (int x = 0; x < width; ++x)
      for (int column = columnOf[x] + 1; column < columnOf[x + 1]; ++column)
        std::copy_n(codes.get() + static_cast<std::ptrdiff_t>(columnOf[x]) * kCodeColumn, kCodeColumn,
                    codes.get() + static_cast<std::ptrdiff_t>(column) * kCodeColumn);
  int rowOf[256];
  for (int v = 0; v < 256; ++v)
    rowOf[v] = WaveformRow(v / 255.0, waveHeight);
  const std::size_t paradeStride = static_cast<std::size_t>(panel) * 3;
  for (int column = 0; column < size; ++column) {
    const std::uint32_t *c = codes.get() + static_cast<std::size_t>(column) * kCodeColumn;
    const std::size_t paradeColumn = static_cast<std::size_t>(column) * panel / size;
    for (int v = 0; v < 256; ++v) {
      if (c[768 + v])
        counts.Waveform[static_cast<std::size_t>(rowOf[v]) * size + column] += c[768 + v];
      for (int channel = 0; channel < 3; ++channel)
        if (c[channel * 256 + v])
          counts.Parade[rowOf[v] * paradeStride + static_cast<std::size_t>(channel) * panel + paradeColumn] +=
              c[channel * 256 + v];
    }
  }
  return counts;
}

double HistogramPeak(const TScopeCounts &counts) {
  if (!counts.Pixels)
    return 0;
  std::uint32_t peak = 0;
  for (const auto &channel : counts.Histogram)
    for (const std::uint32_t c : channel)
      peak = std::max(peak, c);
  return static_cast<double>(peak) / counts.Pixels;
}

TScopeImage DrawScope(TScopeKind kind, std::span<const TScopeTrace> traces, const TScopeDrawOptions &options) {
  CheckTraces(traces);
  const int size = traces[0].Counts->Size;
  const std::size_t n = traces.size();
  switch (kind) {
  case TScopeKind::Waveform:
  case TScopeKind::Vectorscope: {
    const bool wave = kind == TScopeKind::Waveform;
    const int height = wave ? WaveformHeight(size) : size;
    TScopeImage image = Blank(size, height);
    if (wave)
      WaveformGraticule(image, 0, size, height);
    else
      VectorscopeGraticule(image, traces[0].Counts->Standard, size);
    std::vector<const std::uint32_t *> planes;
    std::vector<TIntensity> intensities;
    std::vector<TTraceColor> colors;
    for (const TScopeTrace &t : traces) {
      const std::vector<std::uint32_t> &all = wave ? t.Counts->Waveform : t.Counts->Vectorscope;
      planes.push_back(all.data());
      intensities.emplace_back(all.data(), all.size());
      colors.push_back(t.OwnColors ? kLumaTrace : t.Color);
    }
    DrawPlane(image, 0, size, height, planes, size, intensities, colors);
    return image;
  }
  case TScopeKind::Parade: {
    const int panel = ParadePanelWidth(size), height = WaveformHeight(size);
    TScopeImage image = Blank(3 * panel, height);
    for (int c = 0; c < 3; ++c) {
      WaveformGraticule(image, c * panel, panel, height);
      if (c > 0)
        VerticalLine(image, c * panel - 1, 0, height - 1, kFaintLine);
    }
    // One brightness scale for the three panels, so that they can be compared.
    std::vector<TIntensity> intensities;
    for (const TScopeTrace &t : traces)
      intensities.emplace_back(t.Counts->Parade.data(), t.Counts->Parade.size());
    for (int c = 0; c < 3; ++c) {
      std::vector<const std::uint32_t *> planes;
      std::vector<TTraceColor> colors;
      for (const TScopeTrace &t : traces) {
        planes.push_back(t.Counts->Parade.data() + static_cast<std::size_t>(c) * panel);
        colors.push_back(t.OwnColors ? kChannelTrace[c] : t.Color);
      }
      DrawPlane(image, c * panel, panel, height, planes, static_cast<std::size_t>(panel) * 3, intensities, colors);
    }
    return image;
  }
  case TScopeKind::Histogram: {
    TScopeImage image = Blank(size, size);
    HistogramGraticule(image, size);
    double scale = options.HistogramScale;
    if (!(scale > 0))
      for (const TScopeTrace &t : traces)
        scale = std::max(scale, HistogramPeak(*t.Counts));
    const int band = HistogramBandHeight(size), room = band - 3;
    if (!(scale > 0) || room <= 0)
      return image;
    constexpr double kDecades = 6; // the logarithmic scale shows shares down to a millionth
    for (int k = 0; k < 4; ++k) {
      const int baseRow = (k + 1) * band - 2;
      for (int bin = 0; bin < 256; ++bin) {
        const int x1 = bin * size / 256, x2 = (bin + 1) * size / 256;
        std::vector<int> heights(n);
        for (std::size_t t = 0; t < n; ++t) {
          const TScopeCounts &c = *traces[t].Counts;
          const double share = c.Pixels ? static_cast<double>(c.Histogram[k][bin]) / c.Pixels : 0;
          double h = 0;
          if (share > 0)
            h = options.LogHistogram ? (std::log10(share) + kDecades) / (std::log10(scale) + kDecades) : share / scale;
          heights[t] = share > 0 ? std::clamp(static_cast<int>(std::floor(h * room + 0.5)), 1, room) : 0;
        }
        for (int row = 0; row < room; ++row) {
          float sum[3] = {0, 0, 0};
          bool lit = false;
          for (std::size_t t = 0; t < n; ++t)
            if (row < heights[t]) {
              lit = true;
              const TTraceColor &color = traces[t].OwnColors ? kChannelTrace[k] : traces[t].Color;
              for (int j = 0; j < 3; ++j)
                sum[j] += (n > 1 ? 0.7f : 0.85f) * color[j];
            }
          if (!lit)
            continue;
          for (int x = x1; x < std::max(x2, x1 + 1); ++x) {
            std::uint8_t *p = image.At(std::min(x, size - 1), baseRow - row);
            for (int j = 0; j < 3; ++j)
              p[j] = static_cast<std::uint8_t>(std::min(255.0f, sum[j] + 0.5f));
          }
        }
      }
    }
    return image;
  }
  }
  return {};
}

TScopeImage DrawScope(TScopeKind kind, const TScopeCounts &counts, const TScopeDrawOptions &options) {
  const TScopeTrace trace{&counts, true, {}};
  return DrawScope(kind, std::span<const TScopeTrace>(&trace, 1), options);
}

const char *ScopeName(TScopeKind kind) {
  switch (kind) {
  case TScopeKind::Waveform: return "waveform";
  case TScopeKind::Parade: return "parade";
  case TScopeKind::Vectorscope: return "vectorscope";
  case TScopeKind::Histogram: return "histogram";
  }
  return "";
}

} // namespace tintwise
