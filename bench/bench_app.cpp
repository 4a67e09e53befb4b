// The main window's Apply handler as the user runs it: statistics, the primary lattice, the rebuild
// of the working LUT, the preview and the source view's display copy, on two 1700 x 500 pictures in
// a window of 1920 x 1080. The anchor is OpenColorIO applying the resulting 33-point lattice to the
// same 8-bit blue-green-red picture, set up as in the engine's benchmark.
#include <QApplication>
#include <QImage>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>

#include "app/ImageViewer.h"
#include "app/MainForm.h"
#include "bench/BenchCompare.h"
#include "bench/OcioAnchor.h"
#include "engine/Bitmap24.h"
#include "engine/Lut.h"
#include "tests/support/EngineReference.h"

using namespace tintwise;
using bench::OcioApply;
using bench::OcioProcessor;

namespace {

constexpr int kWidth = 1700, kHeight = 500;


QString SavePicture(const QTemporaryDir &dir, const char *name, const TBitmap24 &bitmap) {
  const QString path = dir.filePath(QString::fromLatin1(name));
  QImage(bitmap.Bits(), bitmap.Width(), bitmap.Height(), bitmap.Stride(), QImage::Format_BGR888).save(path);
  return path;
}

} // namespace

int main(int argc, char **argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);

  const QTemporaryDir dir;
  const TBitmap24 reference = reference::SyntheticPicture(kWidth, kHeight, 11);
  const TBitmap24 source = reference::SyntheticPicture(kWidth, kHeight, 5);
  auto frm = std::make_unique<TfrmMain>();
  frm->resize(1920, 1080);
  frm->show();
  QApplication::processEvents();
  frm->LoadReferenceFile(SavePicture(dir, "reference.bmp", reference));
  frm->LoadSourceFile(SavePicture(dir, "source.bmp", source));
  while (frm->Loading()) // the pictures load on worker threads
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  if (!frm->RefBitmap().SamePixels(reference) || !frm->SourceBitmap().SamePixels(source)) {
    std::fprintf(stderr, "bench_app: the pictures did not load\n");
    return EXIT_FAILURE;
  }
  frm->sbnApplyPrimaryCorrectionClick();
  if (!frm->PrimaryApplied()) {
    std::fprintf(stderr, "bench_app: Apply failed\n");
    return EXIT_FAILURE;
  }
  std::fprintf(stderr, "bench_app: display copy %d x %d\n", frm->SourceViewer->Display().Width(),
               frm->SourceViewer->Display().Height());

  struct TState {
    bench::OCIO::ConstCPUProcessorRcPtr Ocio;
    TBitmap24 Work;
  };
  auto state = std::make_shared<TState>();
  state->Ocio = OcioProcessor(frm->WorkLUT());
  // The window must go before the application object; the comparisons outlive main's scope.
  TfrmMain *window = frm.get();
  bench::AddComparison({"apply_handler", "ocio",
                        [window] { window->sbnApplyPrimaryCorrectionClick(); },
                        [state] { OcioApply(state->Ocio, state->Work); },
                        [state, source] { state->Work = source; }});
  const int result = bench::RunComparisons(argc, argv);
  frm.reset();
  return result;
}
