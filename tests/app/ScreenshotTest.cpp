// On a real X server (xvfb-run): both pictures after Apply, then the Scopes panel docked beside
// them; the screenshots are kept as tintwise-screenshot.png and tintwise-scopes.png for the README.
#include <QGuiApplication>
#include <QScreen>
#include <QComboBox>

#include "AppTestSupport.h"
#include "app/ScopesPanel.h"

namespace tintwise {
namespace {

TEST(Screenshot, PicturesAndScopesRenderAfterApply) {
  ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb")) << "run this test under xvfb-run";
  test::SetDoNotShowTips(1);
  TfrmMain frm;
  frm.showMaximized();
  QScreen *screen = frm.screen();
  QApplication::processEvents();
  if (frm.geometry() != screen->availableGeometry()) // no window manager to maximise it
    frm.setGeometry(screen->availableGeometry());
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&frm));
  frm.LoadReferenceFile(QStringLiteral(TINTWISE_SOURCE_DIR "/samples/rocket.jpg"));
  frm.LoadSourceFile(QStringLiteral(TINTWISE_SOURCE_DIR "/samples/coffee.png"));
  ASSERT_TRUE(test::WaitUntil([&] { return !frm.Loading(); }));
  QTest::mouseClick(frm.sbnApplyPrimaryCorrection, Qt::LeftButton);
  ASSERT_TRUE(frm.PrimaryApplied());
  QTest::qWait(500);

  const QImage shot = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_TRUE(shot.save(QStringLiteral(TINTWISE_SCREENSHOT)));
  // Each viewer's display copy (a photograph, checked in the viewer's own tests) is on the screen
  // pixel for pixel.
  for (const TImageViewer *viewer : {frm.RefViewer, frm.SourceViewer}) {
    SCOPED_TRACE(viewer->objectName().toStdString());
    const TBitmap24 &d = viewer->Display();
    ASSERT_GT(d.Width(), 100);
    const QRect area(viewer->mapToGlobal(QPoint(viewer->OffsetX(), viewer->OffsetY())), QSize(d.Width(), d.Height()));
    const QImage display(d.Bits(), d.Width(), d.Height(), d.Stride(), QImage::Format_BGR888);
    EXPECT_TRUE(shot.copy(area) == display.convertToFormat(QImage::Format_RGB32));
  }

  QTest::mouseClick(frm.sbnScopes, Qt::LeftButton);
  frm.resizeDocks({frm.ScopesPanel}, {screen->availableGeometry().width() * 2 / 5}, Qt::Horizontal);
  frm.ScopesPanel->cbxScope->setCurrentIndex(2); // the vectorscope
  QTest::qWait(500);
  EXPECT_TRUE(screen->grabWindow(0).save(QStringLiteral(TINTWISE_SCOPES_SCREENSHOT)));
}

} // namespace
} // namespace tintwise
