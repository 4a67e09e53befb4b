// The window and tintwise-cli write the same LUT file, byte for byte, for the same pictures,
// regions and sliders; a secondary correction on show but not saved is not in it.
#include <QComboBox>
#include <QProcess>
#include <QPushButton>
#include <QSlider>

#include "AppTestSupport.h"
#include "app/LutSaveForm.h"

namespace tintwise {
namespace {

using namespace test;

// The region of the picture the viewer's selection covers, as X,Y,W,H. The sample pictures fit
// the window unshrunk, so these are also the pixels of the files themselves.
QString RegionOf(TImageViewer *v) {
  const QRect r = PictureRect(v);
  return QStringLiteral("%1,%2,%3,%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
}

using WindowAndCli = TWindowFixture;

TEST_F(WindowAndCli, WriteTheSameLut) {
  const QString reference = TINTWISE_SOURCE_DIR "/samples/rocket.jpg";
  const QString source = TINTWISE_SOURCE_DIR "/samples/coffee.png";
  OpenBoth(reference, source);

  // The primary correction from a region of either picture, at 80 % brightness and 130 % chroma.
  Select(frm.SourceViewer, {0.1, 0.2, 0.7, 0.9});
  Select(frm.RefViewer, {0.05, 0.3, 0.8, 0.95});
  const QString sourceRegion = RegionOf(frm.SourceViewer), referenceRegion = RegionOf(frm.RefViewer);
  frm.tbrYOpacity->setValue(80);
  frm.tbrUOpacity->setValue(130);
  Click(frm.sbnApplyPrimaryCorrection);
  ASSERT_TRUE(frm.PrimaryApplied());

  // One saved secondary correction with its own sliders.
  Select(frm.SourceViewer, {0.3, 0.3, 0.6, 0.55});
  Select(frm.RefViewer, {0.4, 0.1, 0.6, 0.5});
  const QString secSource = RegionOf(frm.SourceViewer), secReference = RegionOf(frm.RefViewer);
  frm.tbrYOpacitySec->setValue(60);
  frm.tbrCrOpacitySec->setValue(150);
  frm.tbrSoftnessSec->setValue(5);
  Click(frm.sbnPreviewSecCorrection);
  Click(frm.sbnSaveSecCorrection);
  // A candidate on show but not saved is dropped when the LUT is made.
  const TBitmap24 saved = frm.PreviewBitmap();
  Select(frm.SourceViewer, {0.5, 0.4, 0.95, 0.95});
  Select(frm.RefViewer, {0.2, 0.5, 0.7, 0.95});
  Click(frm.sbnPreviewSecCorrection);
  ASSERT_FALSE(frm.PreviewBitmap().SamePixels(saved));

  const QString fromWindow = dir.filePath(QStringLiteral("window.cube"));
  TfrmSaveLut::SaveFileChooser = [&](const QString &, const QString &, const QString &) { return fromWindow; };
  const int dialogs = OnModal<TfrmSaveLut>([&] { Click(frm.sbnCreateLUT); }, [&](TfrmSaveLut *dialog) {
    dialog->cbxOutFormat->setCurrentIndex(dialog->cbxOutFormat->findText(QStringLiteral("Cube 3D Davinci")));
    dialog->cbxDimSize->setCurrentIndex(dialog->cbxDimSize->findText(QStringLiteral("17")));
    Click(dialog->btnSetLUTFile);
    Click(dialog->btnSave);
  });
  EXPECT_EQ(dialogs, 1);
  TfrmSaveLut::SaveFileChooser = nullptr;
  EXPECT_TRUE(frm.PreviewBitmap().SamePixels(saved));
  ASSERT_GT(ReadAll(fromWindow).size(), 17 * 17 * 17 * 20);

  const QString fromCli = dir.filePath(QStringLiteral("cli.cube"));
  QProcess cli;
  cli.start(TINTWISE_CLI,
            {"match", "--reference", reference, "--source", source, "--source-region", sourceRegion,
             "--reference-region", referenceRegion, "--brightness", "80", "--chroma", "130", "--secondary",
             QStringLiteral("ref=%1 src=%2 softness=5 brightness=60 chroma=150").arg(secReference, secSource),
             "--profile", "Cube 3D Davinci", "--size", "17", "--output", fromCli});
  ASSERT_TRUE(cli.waitForFinished(120000));
  ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  EXPECT_EQ(ReadAll(fromCli), ReadAll(fromWindow));
}

} // namespace
} // namespace tintwise
