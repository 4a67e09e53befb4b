// The scopes as the Scopes panel draws them after every change: all four scopes (waveform, parade,
// vectorscope, histogram) of a fitted 1700 x 500 picture, measured and drawn at the default size.
// The anchor is OpenColorIO applying the matched 33-point lattice to the same picture, the pass the
// window's Apply runs for its preview.
#include <memory>

#include "bench/BenchCompare.h"
#include "bench/OcioAnchor.h"
#include "engine/Bitmap24.h"
#include "engine/Lut.h"
#include "engine/PrimaryCorrection.h"
#include "tests/support/EngineReference.h"
#include "workflow/Scopes.h"

using namespace tintwise;

namespace {

constexpr int kWidth = 1700, kHeight = 500;

struct TFixture {
  TBitmap24 reference = reference::SyntheticPicture(kWidth, kHeight, 11);
  TBitmap24 source = reference::SyntheticPicture(kWidth, kHeight, 5);
  TBitmap24 work;
  std::unique_ptr<TLUT> lut = std::make_unique<TLUT>();
  bench::OCIO::ConstCPUProcessorRcPtr ocio;
  std::size_t sink = 0;

  TFixture() {
    lut->Mode = kMode3D;
    lut->Size3D = 33;
    ApplyPrimaryCorrection(reference, source, *lut, 1.0, 1.0, 1.0);
    ocio = bench::OcioProcessor(*lut);
  }
};

} // namespace

int main(int argc, char **argv) {
  auto f = std::make_shared<TFixture>();
  bench::AddComparison({"scopes", "ocio",
                        [f] {
                          const TScopeCounts counts = MeasureScopes(f->source, TScopeStandard::Rec601);
                          for (const TScopeKind kind : {TScopeKind::Waveform, TScopeKind::Parade,
                                                        TScopeKind::Vectorscope, TScopeKind::Histogram})
                            f->sink += DrawScope(kind, counts).Pixels.size();
                        },
                        [f] { bench::OcioApply(f->ocio, f->work); },
                        [f] { f->work = f->source; }});
  return bench::RunComparisons(argc, argv);
}
