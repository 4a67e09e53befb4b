// Picture loading: decoding the large sample JPEG and fitting it into 1700 x 500 with Lanczos3,
// against TurboJPEG decoding the same file alone (the floor: no loader can be faster).
#include <turbojpeg.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/BenchCompare.h"
#include "engine/Bitmap24.h"
#include "imaging/PictureLoader.h"

using namespace tintwise;

namespace {

constexpr int kWidth = 4350, kHeight = 3618;

std::vector<unsigned char> ReadFile(const std::string &name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Without the shared samples: a synthetic picture of the same size (smooth gradients with fine
// detail, so the encoder has real work), encoded at quality 92 without chroma subsampling.
std::string WriteSyntheticJpeg() {
  const int pitch = kWidth * 3;
  std::vector<unsigned char> rgb(static_cast<std::size_t>(pitch) * kHeight);
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> noise(-12, 12);
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      unsigned char *p = &rgb[static_cast<std::size_t>(y) * pitch + 3 * x];
      p[0] = static_cast<unsigned char>(std::clamp(x * 255 / kWidth + noise(rng), 0, 255));
      p[1] = static_cast<unsigned char>(std::clamp(y * 255 / kHeight + noise(rng), 0, 255));
      p[2] = static_cast<unsigned char>(((x / 40 + y / 40) % 2) * 160 + 40);
    }
  tjhandle tj = tjInitCompress();
  unsigned char *jpeg = nullptr;
  unsigned long size = 0;
  if (tjCompress2(tj, rgb.data(), kWidth, pitch, kHeight, TJPF_RGB, &jpeg, &size, TJSAMP_444, 92, 0) != 0)
    throw std::runtime_error(tjGetErrorStr2(tj));
  const std::string name = (std::filesystem::temp_directory_path() / "tintwise-bench-picture.jpg").string();
  std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char *>(jpeg), static_cast<std::streamsize>(size));
  tjFree(jpeg);
  tjDestroy(tj);
  return name;
}

} // namespace

int main(int argc, char **argv) {
  std::string file = std::string(TINTWISE_SHARED_DIR) + "/samples/painting-4350x3618.jpg";
  bool synthetic = false;
  if (!std::filesystem::exists(file)) {
    file = WriteSyntheticJpeg();
    synthetic = true;
  }
  auto picture = std::make_shared<TBitmap24>();
  // The anchor decodes into a buffer it keeps from call to call, so that it measures the decoder
  // and nothing else: the floor for any loader.
  auto decoded = std::make_shared<std::vector<unsigned char>>();
  auto tj = std::shared_ptr<void>(tjInitDecompress(), &tjDestroy);
  bench::AddComparison({"picture_load", "turbojpeg",
                        [file, picture] { LoadImageFile(file, *picture); },
                        [file, decoded, tj] {
                          const std::vector<unsigned char> data = ReadFile(file);
                          int w = 0, h = 0, ss = 0, cs = 0;
                          tjDecompressHeader3(tj.get(), data.data(), data.size(), &w, &h, &ss, &cs);
                          const int pitch = (w * 3 + 3) & ~3;
                          decoded->resize(static_cast<std::size_t>(pitch) * h);
                          if (tjDecompress2(tj.get(), data.data(), data.size(), decoded->data(), w, pitch, h, TJPF_BGR,
                                            0) != 0)
                            std::fprintf(stderr, "%s\n", tjGetErrorStr2(tj.get()));
                        },
                        {}});
  const int result = bench::RunComparisons(argc, argv);
  if (synthetic)
    std::filesystem::remove(file);
  return result;
}
