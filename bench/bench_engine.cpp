// Engine benchmarks: the preview, the whole primary correction and the secondary mask, each against
// OpenColorIO's optimized CPU path or the literal loop.
#include <memory>

#include "bench/BenchCompare.h"
#include "bench/OcioAnchor.h"
#include "engine/Bitmap24.h"
#include "engine/Lut.h"
#include "engine/PrimaryCorrection.h"
#include "engine/SecondaryCorrection.h"
#include "tests/support/EngineReference.h"

using namespace tintwise;
using bench::OcioApply;
using bench::OcioProcessor;

namespace {

constexpr int kWidth = 1700, kHeight = 500;


struct TFixture {
  TBitmap24 reference = reference::SyntheticPicture(kWidth, kHeight, 11);
  TBitmap24 source = reference::SyntheticPicture(kWidth, kHeight, 5);
  TBitmap24 work;
  TLUT primary, working;
  bench::OCIO::ConstCPUProcessorRcPtr ocio;
  TBitmap24 allCells; // one pixel for every one of the 33 x 33 x 33 mask cells
  std::unique_ptr<TSecondCorrectionData> mask = std::make_unique<TSecondCorrectionData>();

  TFixture() {
    for (TLUT *lut : {&primary, &working}) {
      lut->Mode = kMode3D;
      lut->Size3D = 33;
    }
    ApplyPrimaryCorrection(reference, source, primary, 1.0, 1.0, 1.0);
    working.AssignFrom(primary);
    ocio = OcioProcessor(working);
    allCells.SetSize(33 * 33, 33);
    for (int a = 0; a < 33; ++a)
      for (int b = 0; b < 33; ++b)
        for (int c = 0; c < 33; ++c) {
          auto code = [](int cell) { return static_cast<std::uint8_t>(std::nearbyint(cell * 255.0 / 32)); };
          allCells.SetPixel(a * 33 + b, c, code(a), code(b), code(c));
        }
  }
};

} // namespace

int main(int argc, char **argv) {
  auto f = std::make_shared<TFixture>();
  bench::AddComparison({"preview_apply", "ocio",
                        [f] { f->working.ApplyToBitmap(f->work); },
                        [f] { OcioApply(f->ocio, f->work); },
                        [f] { f->work = f->source; }});
  bench::AddComparison({"primary_apply", "ocio",
                        [f] {
                          ApplyPrimaryCorrection(f->reference, f->source, f->primary, 1.0, 1.0, 1.0);
                          f->working.AssignFrom(f->primary);
                          f->work = f->source;
                          f->working.ApplyToBitmap(f->work);
                        },
                        [f] { OcioApply(f->ocio, f->work); },
                        [f] { f->work = f->source; }});
  bench::AddComparison({"secondary_mask", "literal",
                        [f] { BuildSecondaryMask(f->allCells, *f->mask, 10); },
                        [f] { reference::BuildSecondaryMask(f->allCells, *f->mask, 10); },
                        {}});
  return bench::RunComparisons(argc, argv);
}
