// Runs on a real X server (xvfb-run): opens the bundled samples, presses Apply and grabs the screen,
// then checks that both pictures actually reached it.
#include <QGuiApplication>
#include <QScreen>
#include <QComboBox>

#include "AppTestSupport.h"
#include "app/ScopesPanel.h"

namespace tintwise {
namespace {

// How many sampled pixels of the viewer's display copy (a photograph, checked in the viewer's own
// tests) appear on the screen exactly.
double ExactShare(const QImage &screen, const TImageViewer &viewer) {
  const TBitmap24 &display = viewer.Display();
  const QPoint origin = viewer.mapToGlobal(QPoint(viewer.OffsetX(), viewer.OffsetY()));
  int same = 0, total = 0;
  for (int y = 5; y < display.Height() - 5; y += 7)
    for (int x = 5; x < display.Width() - 5; x += 7) {
      std::uint8_t r, g, b;
      display.GetPixel(x, y, r, g, b);
      const QRgb p = screen.pixel(origin + QPoint(x, y));
      same += qRed(p) == r && qGreen(p) == g && qBlue(p) == b;
      ++total;
    }
  return total ? static_cast<double>(same) / total : 0;
}

// Both pictures after Apply, then the Scopes panel docked beside them; the screenshots are kept as
// tintwise-screenshot.png and tintwise-scopes.png for the README.
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
  const QString samples = QStringLiteral(TINTWISE_SOURCE_DIR "/samples/");
  frm.LoadReferenceFile(samples + QStringLiteral("rocket.jpg"));
  frm.LoadSourceFile(samples + QStringLiteral("coffee.png"));
  ASSERT_TRUE(test::WaitUntil([&] { return !frm.Loading(); }));
  QTest::mouseClick(frm.sbnApplyPrimaryCorrection, Qt::LeftButton);
  ASSERT_TRUE(frm.PrimaryApplied());
  QTest::qWait(500);

  const QImage shot = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
  ASSERT_FALSE(shot.isNull());
  EXPECT_TRUE(shot.save(QStringLiteral(TINTWISE_SCREENSHOT)));
  for (const TImageViewer *viewer : {frm.RefViewer, frm.SourceViewer}) {
    SCOPED_TRACE(viewer->objectName().toStdString());
    ASSERT_GT(viewer->Display().Width(), 100);
    EXPECT_GT(ExactShare(shot, *viewer), 0.99);
  }

  QTest::mouseClick(frm.sbnScopes, Qt::LeftButton);
  frm.resizeDocks({frm.ScopesPanel}, {screen->availableGeometry().width() * 2 / 5}, Qt::Horizontal);
  frm.ScopesPanel->cbxScope->setCurrentIndex(2); // the vectorscope
  QTest::qWait(500);
  const QImage scopes = screen->grabWindow(0).toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_TRUE(scopes.save(QStringLiteral(TINTWISE_SCOPES_SCREENSHOT)));
}

} // namespace
} // namespace tintwise
