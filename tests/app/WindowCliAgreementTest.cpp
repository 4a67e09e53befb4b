// The window and tintwise-cli write the same LUT file, byte for byte, for the same pictures,
// regions and sliders.
#include <QComboBox>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include <deque>

#include "AppTestSupport.h"
#include "app/ImageViewer.h"
#include "app/LutSaveForm.h"
#include "app/MainForm.h"
#include "app/TipsForm.h"

namespace tintwise {
namespace {

QByteArray Bytes(const QString &file) {
  QFile f(file);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The region of the picture the viewer's selection covers, as X,Y,W,H. The sample pictures fit
// the window unshrunk, so these are also the pixels of the files themselves.
QString RegionOf(TImageViewer *v) {
  const QRect r = v->SelectionRect();
  const int x1 = v->ViewToImageX(r.left()), y1 = v->ViewToImageY(r.top());
  return QStringLiteral("%1,%2,%3,%4")
      .arg(x1)
      .arg(y1)
      .arg(v->ViewToImageX(r.right()) - x1)
      .arg(v->ViewToImageY(r.bottom()) - y1);
}

QPoint At(TImageViewer *v, double fx, double fy) {
  return QPoint(v->OffsetX() + static_cast<int>(fx * (v->Display().Width() - 1)),
                v->OffsetY() + static_cast<int>(fy * (v->Display().Height() - 1)));
}

void Select(TImageViewer *v, double fx1, double fy1, double fx2, double fy2) {
  test::Drag(v, At(v, fx1, fy1), At(v, fx2, fy2));
  ASSERT_TRUE(v->HasSelection());
}

void Click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }

TEST(WindowAndCli, WriteTheSameLut) {
  QTemporaryDir dir;
  const QString reference = TINTWISE_SOURCE_DIR "/samples/rocket.jpg";
  const QString source = TINTWISE_SOURCE_DIR "/samples/coffee.png";
  test::SetDoNotShowTips(1);
  TfrmMain frm;
  TfrmTips tips(&frm);
  std::deque<QString> chosen{reference, source};
  frm.OpenPictureChooser = [&] {
    const QString file = chosen.front();
    chosen.pop_front();
    return file;
  };
  frm.resize(1200, 800);
  frm.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frm));
  Click(frm.sbnOpenRefImage);
  Click(frm.sbnOpenSourceImage);
  ASSERT_TRUE(test::WaitUntil([&] { return !frm.Loading(); }));

  // The primary correction from a region of the source, at 80 % brightness and 130 % chroma.
  Select(frm.SourceViewer, 0.1, 0.2, 0.7, 0.9);
  const QString sourceRegion = RegionOf(frm.SourceViewer);
  frm.tbrYOpacity->setValue(80);
  frm.tbrUOpacity->setValue(130);
  Click(frm.sbnApplyPrimaryCorrection);
  ASSERT_TRUE(frm.PrimaryApplied());

  // One saved secondary correction with its own sliders.
  Select(frm.SourceViewer, 0.3, 0.3, 0.6, 0.55);
  Select(frm.RefViewer, 0.4, 0.1, 0.6, 0.5);
  const QString secSource = RegionOf(frm.SourceViewer), secReference = RegionOf(frm.RefViewer);
  frm.tbrYOpacitySec->setValue(60);
  frm.tbrCrOpacitySec->setValue(150);
  frm.tbrSoftnessSec->setValue(5);
  Click(frm.sbnSaveSecCorrection);

  const QString fromWindow = dir.filePath(QStringLiteral("window.cube"));
  TfrmSaveLut::SaveFileChooser = [&](const QString &, const QString &, const QString &) { return fromWindow; };
  test::WithModal<TfrmSaveLut>([&] { Click(frm.sbnCreateLUT); },
                               [&](TfrmSaveLut *dialog) {
                                 dialog->cbxOutFormat->setCurrentIndex(
                                     dialog->cbxOutFormat->findText(QStringLiteral("Cube 3D Davinci")));
                                 dialog->cbxDimSize->setCurrentIndex(dialog->cbxDimSize->findText(QStringLiteral("17")));
                                 Click(dialog->btnSetLUTFile);
                                 Click(dialog->btnSave);
                               });
  TfrmSaveLut::SaveFileChooser = nullptr;
  ASSERT_GT(Bytes(fromWindow).size(), 17 * 17 * 17 * 20);

  const QString fromCli = dir.filePath(QStringLiteral("cli.cube"));
  QProcess cli;
  cli.start(TINTWISE_CLI,
            {"match", "--reference", reference, "--source", source, "--source-region", sourceRegion,
             "--brightness", "80", "--chroma", "130", "--secondary",
             QStringLiteral("ref=%1 src=%2 softness=5 brightness=60 chroma=150").arg(secReference, secSource),
             "--profile", "Cube 3D Davinci", "--size", "17", "--output", fromCli});
  ASSERT_TRUE(cli.waitForFinished(120000));
  ASSERT_EQ(cli.exitCode(), 0) << cli.readAllStandardError().toStdString();
  EXPECT_EQ(Bytes(fromCli), Bytes(fromWindow));
}

} // namespace
} // namespace tintwise
