// Format benchmarks: a 65-point Cube 3D read by our reader and by OpenColorIO's file transform, and
// written by our writer and by OpenColorIO's baker.
#include <OpenColorIO/OpenColorIO.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

#include "bench/BenchCompare.h"
#include "engine/Lut.h"
#include "formats/LutFormat.h"

namespace OCIO = OCIO_NAMESPACE;
using namespace tintwise;

namespace {

constexpr int kSize = 65;
constexpr int kCubeFormat = 1;

// A lattice that is neither the identity nor separable, so neither side can take a shortcut.
void FillLattice(TLUT &lut) {
  lut.Mode = kMode3D;
  lut.Size3D = kSize;
  for (int r = 0; r < kSize; ++r)
    for (int g = 0; g < kSize; ++g)
      for (int b = 0; b < kSize; ++b) {
        const double x = r / 64.0, y = g / 64.0, z = b / 64.0;
        lut.Lattice[r][g][b] = {std::pow(0.8 * x + 0.1 * y + 0.1 * z, 1.1), 0.9 * y + 0.05 * x * z,
                                std::sqrt(0.7 * z + 0.3 * x)};
      }
}

// The same kind of transform for OpenColorIO's baker: a matrix and an exponent.
OCIO::ConstConfigRcPtr BakeConfig() {
  auto config = OCIO::Config::CreateRaw()->createEditableCopy();
  auto source = OCIO::ColorSpace::Create();
  source->setName("source");
  config->addColorSpace(source);
  auto target = OCIO::ColorSpace::Create();
  target->setName("target");
  auto group = OCIO::GroupTransform::Create();
  auto matrix = OCIO::MatrixTransform::Create();
  const double m44[16] = {0.8, 0.1, 0.1, 0, 0.05, 0.9, 0.05, 0, 0.3, 0, 0.7, 0, 0, 0, 0, 1};
  matrix->setMatrix(m44);
  group->appendTransform(matrix);
  auto exponent = OCIO::ExponentTransform::Create();
  const double e[4] = {1.1, 1.0, 0.5, 1.0};
  exponent->setValue(e);
  group->appendTransform(exponent);
  target->setTransform(group, OCIO::COLORSPACE_DIR_FROM_REFERENCE);
  config->addColorSpace(target);
  return config;
}

struct TFixture {
  std::filesystem::path dir;
  std::string readFile, ourWrite, ocioWrite;
  TLUT written, read;
  OCIO::ConfigRcPtr raw = OCIO::Config::CreateRaw()->createEditableCopy();
  OCIO::FileTransformRcPtr fileTransform = OCIO::FileTransform::Create();
  OCIO::BakerRcPtr baker = OCIO::Baker::Create();

  TFixture() {
    InitLutFormats();
    dir = std::filesystem::temp_directory_path() / ("tintwise-bench-formats-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    readFile = (dir / "read65.cube").string();
    ourWrite = (dir / "ours65.cube").string();
    ocioWrite = (dir / "ocio65.cube").string();
    FillLattice(written);
    GetLutFormat(kCubeFormat)->SaveToFile(readFile, written, 0);
    // Every timed load must read the file: no processor cache in the config, and the file cache is
    // cleared before each call.
    raw->setProcessorCacheFlags(OCIO::PROCESSOR_CACHE_OFF);
    fileTransform->setSrc(readFile.c_str());
    fileTransform->setInterpolation(OCIO::INTERP_LINEAR);
    baker->setConfig(BakeConfig());
    baker->setFormat("iridas_cube");
    baker->setInputSpace("source");
    baker->setTargetSpace("target");
    baker->setCubeSize(kSize);
  }
  ~TFixture() {
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
  }
};

} // namespace

int main(int argc, char **argv) {
  auto f = std::make_shared<TFixture>();
  bench::AddComparison({"cube65_read", "ocio",
                        [f] { GetLutFormat(kCubeFormat)->LoadFromFile(f->readFile, f->read); },
                        [f] { f->raw->getProcessor(f->fileTransform); },
                        [] { OCIO::ClearAllCaches(); }});
  bench::AddComparison({"cube65_write", "ocio",
                        [f] { GetLutFormat(kCubeFormat)->SaveToFile(f->ourWrite, f->written, 0); },
                        [f] {
                          std::ofstream out(f->ocioWrite, std::ios::binary | std::ios::trunc);
                          f->baker->bake(out);
                        },
                        {}});
  return bench::RunComparisons(argc, argv);
}
