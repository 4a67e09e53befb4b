// Footage benchmarks: a 2K float frame through a 33-point lattice, ours against OpenColorIO's
// optimized CPU processor with trilinear interpolation on the same buffer.
//
// frame_apply: each side as it comes. OpenColorIO's CPU processor runs on the calling thread;
// ours splits the frame over the engine's threads.
// frame_apply_threads: OpenColorIO handed the same row bands on the same threads as ours, so the
// ratio is the kernel's alone.
#include <OpenColorIO/OpenColorIO.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "bench/BenchCompare.h"
#include "engine/Lut.h"
#include "engine/Parallel.h"
#include "imaging/FootageKernel.h"

using namespace tintwise;
namespace OCIO = OCIO_NAMESPACE;

namespace {

constexpr int kWidth = 2048, kHeight = 1080;

struct TFixture {
  TLUT lut;
  std::vector<float> source, work;
  std::unique_ptr<TFootageKernel> kernel;
  OCIO::ConstCPUProcessorRcPtr ocio;

  TFixture() {
    lut.Mode = kMode3D;
    lut.Size3D = 33;
    for (int r = 0; r < 33; ++r)
      for (int g = 0; g < 33; ++g)
        for (int b = 0; b < 33; ++b) {
          const double x = r / 32.0, y = g / 32.0, z = b / 32.0;
          lut.Lattice[r][g][b] = {0.05 + 0.6 * x * x + 0.3 * y, 0.9 * std::sqrt(y) + 0.1 * z * x, 0.8 * z * (1 - 0.3 * x) + 0.1};
        }
    // A graded frame's spread: smooth gradients with grain.
    source.resize(std::size_t(kWidth) * kHeight * 3);
    std::mt19937 rng(4);
    std::normal_distribution<float> grain(0, 0.02f);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        float *p = &source[(std::size_t(y) * kWidth + x) * 3];
        p[0] = std::clamp(float(x) / kWidth + grain(rng), 0.0f, 1.0f);
        p[1] = std::clamp(float(y) / kHeight + grain(rng), 0.0f, 1.0f);
        p[2] = std::clamp(0.5f + 0.4f * std::sin(x * 0.01f + y * 0.02f) + grain(rng), 0.0f, 1.0f);
      }
    work = source;
    kernel = std::make_unique<TFootageKernel>(lut, 0);
    auto transform = OCIO::Lut3DTransform::Create(33);
    for (int r = 0; r < 33; ++r)
      for (int g = 0; g < 33; ++g)
        for (int b = 0; b < 33; ++b) {
          const TLutTriple &e = lut.Lattice[r][g][b];
          transform->setValue(r, g, b, float(e[0]), float(e[1]), float(e[2]));
        }
    transform->setInterpolation(OCIO::INTERP_LINEAR);
    ocio = OCIO::Config::CreateRaw()->getProcessor(transform)->getOptimizedCPUProcessor(
        OCIO::BIT_DEPTH_F32, OCIO::BIT_DEPTH_F32, OCIO::OPTIMIZATION_DEFAULT);
  }

  void Ocio(int y0, int y1) {
    OCIO::PackedImageDesc desc(&work[std::size_t(y0) * kWidth * 3], kWidth, y1 - y0, 3);
    ocio->apply(desc);
  }
};

} // namespace

int main(int argc, char **argv) {
  auto f = std::make_shared<TFixture>();
  const auto ours = [f] { f->kernel->ApplyFloats(f->work.data(), std::size_t(kWidth) * kHeight, 3); };
  const auto restore = [f] { f->work = f->source; };
  bench::AddComparison({"frame_apply", "ocio", ours, [f] { f->Ocio(0, kHeight); }, restore});
  bench::AddComparison({"frame_apply_threads", "ocio", ours,
                        [f] { ParallelFor(kHeight, [&](int y0, int y1) { f->Ocio(y0, y1); }, 16); }, restore});
  return bench::RunComparisons(argc, argv);
}
