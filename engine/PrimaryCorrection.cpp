#include "engine/PrimaryCorrection.h"

#include <cmath>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/Bitmap24.h"
#include "engine/ColorModels.h"
#include "engine/Errors.h"
#include "engine/Lut.h"
#include "engine/Parallel.h"
#include "engine/Scratch.h"
#include "engine/CorrectionInternals.h"

namespace tintwise {

namespace {

const char *const kChannelNames[3] = {"Y", "U", "V"};

void CheckNotEmpty(const TBitmap24 &bitmap, const char *what) {
  if (bitmap.Empty())
    throw EEngineError(std::string("The ") + what + " is empty: there are no pixels to measure.");
}

// Channel values of every pixel, row by row from the top, left to right: three doubles a pixel.
struct TValues {
  explicit TValues(std::size_t size) : Buffer(size * sizeof(double)), Size(size) {}
  TScratch Buffer; // every element is written once before it is read
  std::size_t Size;
  double *Data() const { return Buffer.As<double>(); }
};

TValues ChannelValues(const TBitmap24 &bitmap) {
  const int width = bitmap.Width(), height = bitmap.Height();
  TValues values(static_cast<std::size_t>(width) * height * 3);
  const TYUVTables *tables = WorkingColorModel == kModelYUV ? &YUVTables() : nullptr;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t *p = bitmap.Scanline(y);
    double *out = values.Data() + static_cast<std::size_t>(y) * width * 3;
    if (tables) {
      for (int x = 0; x < width; ++x, p += 3, out += 3)
        tables->Convert(p[2], p[1], p[0], out);
    } else {
      for (int x = 0; x < width; ++x, p += 3, out += 3)
        RGBToWorking(out[0], out[1], out[2], p[2] / 255.0, p[1] / 255.0, p[0] / 255.0);
    }
  }
  return values;
}

// The sums run in pixel order, one addition at a time, so the results are those of the plain loop.
TChannelValues Means(const TValues &v, int count) {
  const double *values = v.Data();
  double s0 = 0, s1 = 0, s2 = 0;
  for (std::size_t i = 0; i < v.Size; i += 3) {
    s0 += values[i];
    s1 += values[i + 1];
    s2 += values[i + 2];
  }
  return {s0 / count, s1 / count, s2 / count};
}

TChannelValues Deviations(const TValues &v, int count, const TChannelValues &m) {
  const double *values = v.Data();
  double s0 = 0, s1 = 0, s2 = 0;
  for (std::size_t i = 0; i < v.Size; i += 3) {
    const double d0 = values[i] - m[0], d1 = values[i + 1] - m[1], d2 = values[i + 2] - m[2];
    s0 += d0 * d0;
    s1 += d1 * d1;
    s2 += d2 * d2;
  }
  return {std::sqrt(s0 / count), std::sqrt(s1 / count), std::sqrt(s2 / count)};
}

} // namespace

void CalcChannelStatistics(const TBitmap24 &bitmap, TChannelValues &means, TChannelValues &deviations) {
  CheckNotEmpty(bitmap, "picture");
  const int count = bitmap.Width() * bitmap.Height();
  const TValues values = ChannelValues(bitmap);
  means = Means(values, count);
  deviations = Deviations(values, count, means);
}

void CalcChannelMeans(const TBitmap24 &bitmap, double &mean0, double &mean1, double &mean2) {
  CheckNotEmpty(bitmap, "picture");
  const TChannelValues m = Means(ChannelValues(bitmap), bitmap.Width() * bitmap.Height());
  mean0 = m[0];
  mean1 = m[1];
  mean2 = m[2];
}

void CalcChannelDeviations(const TBitmap24 &bitmap, double &dev0, double &dev1, double &dev2) {
  TChannelValues m, d;
  CalcChannelStatistics(bitmap, m, d);
  dev0 = d[0];
  dev1 = d[1];
  dev2 = d[2];
}

void CalcStatisticsPair(const TBitmap24 &first, const TBitmap24 &second, TChannelValues &mean1,
                        TChannelValues &dev1, TChannelValues &mean2, TChannelValues &dev2) {
  // The two pictures are independent: measure them side by side when there is a second core.
  if (EngineThreadCount() > 1) {
    std::exception_ptr error;
    std::thread other([&] {
      try {
        CalcChannelStatistics(second, mean2, dev2);
      } catch (...) {
        error = std::current_exception();
      }
    });
    try {
      CalcChannelStatistics(first, mean1, dev1);
    } catch (...) {
      other.join();
      throw;
    }
    other.join();
    if (error)
      std::rethrow_exception(error);
  } else {
    CalcChannelStatistics(first, mean1, dev1);
    CalcChannelStatistics(second, mean2, dev2);
  }
}

void CheckSourceDeviations(const TChannelValues &deviations, const TChannelValues &opacities) {
  for (int c = 0; c < 3; ++c)
    if (!Varies(deviations[c]) && opacities[c] != 0)
      throw EEngineError(std::string("The selected source has no variation in its ") + kChannelNames[c] +
                         " channel (a region of a single colour has none), so it cannot be matched: "
                         "select a region with more than one colour.");
}

void ApplyPrimaryCorrection(const TBitmap24 &reference, const TBitmap24 &source, TLUT &lut,
                            double OpacityY, double OpacityU, double OpacityV) {
  CheckNotEmpty(source, "source picture");
  CheckNotEmpty(reference, "reference picture");
  const int n = lut.Size3D;
  CheckSize3D(n);
  TChannelValues mS, dS, mR, dR;
  CalcStatisticsPair(source, reference, mS, dS, mR, dR);
  const TChannelValues op = {OpacityY, OpacityU, OpacityV};
  CheckSourceDeviations(dS, op);
  const bool varies[3] = {Varies(dS[0]), Varies(dS[1]), Varies(dS[2])};

  ParallelFor(n, [&](int begin, int end) {
    for (int i = begin; i < end; ++i)
      for (int j = 0; j < n; ++j)
        for (int k = 0; k < n; ++k) {
          double x[3], y[3];
          RGBToWorking(x[0], x[1], x[2], static_cast<double>(i) / (n - 1), static_cast<double>(j) / (n - 1),
                       static_cast<double>(k) / (n - 1));
          for (int c = 0; c < 3; ++c)
            y[c] = varies[c] ? (dR[c] / dS[c] * (x[c] - mS[c]) + mR[c]) * op[c] + (1 - op[c]) * x[c]
                             : x[c]; // opacity 0 on a channel that does not vary

          TLutTriple &out = lut.Lattice[i][j][k];
          WorkingToRGB(out[0], out[1], out[2], y[0], y[1], y[2]);
          for (double &v : out)
            v = ClampUnit(v);
        }
  });
}

} // namespace tintwise
