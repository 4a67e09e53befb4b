#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSemaphore>
#include <QSlider>

#include <atomic>
#include <cstdlib>
#include <tuple>

#include "AppTestSupport.h"
#include "engine/Errors.h"
#include "imaging/PictureLoader.h"

namespace tintwise {
namespace {

using namespace test;

// The points of a 33-point lattice, to compare before and after.
std::vector<TLutTriple> Points(const TLUT &lut) {
  std::vector<TLutTriple> points;
  for (int r = 0; r < 33; ++r)
    for (int g = 0; g < 33; ++g)
      points.insert(points.end(), &lut.Lattice[r][g][0], &lut.Lattice[r][g][33]);
  return points;
}

// Whether every control of the group is enabled (1), disabled (0), or neither (-1).
int GroupState(std::initializer_list<QWidget *> controls) {
  const auto enabled = std::count_if(controls.begin(), controls.end(), [](QWidget *w) { return w->isEnabled(); });
  return enabled == 0 ? 0 : enabled == static_cast<long>(controls.size()) ? 1 : -1;
}

struct TMainFormFixture : TWindowFixture {
  const QString refFile = Save("ref.png", TestPicture(400, 300, 1));
  const QString srcFile = Save("src.png", TestPicture(400, 300, 2));

  void OpenBothAndApply(const QString &source = {}) {
    OpenBoth(refFile, source.isEmpty() ? srcFile : source);
    Click(frm.sbnApplyPrimaryCorrection);
    ASSERT_TRUE(frm.PrimaryApplied());
  }
  void SelectBoth(TBox source, TBox reference) {
    Select(frm.SourceViewer, source);
    Select(frm.RefViewer, reference);
  }
  void SaveCorrection(TBox source, TBox reference) {
    SelectBoth(source, reference);
    Click(frm.sbnSaveSecCorrection);
  }
  int Secondary() const {
    return GroupState({frm.lblBrightnessCorrectionSec, frm.tbrYOpacitySec, frm.lblChromaCorrectionSec,
                       frm.tbrCrOpacitySec, frm.lblSoftnessCorrectionSec, frm.tbrSoftnessSec,
                       frm.sbnPreviewSecCorrection, frm.sbnSaveSecCorrection});
  }
  int Primary() const {
    return GroupState({frm.lblBrightnessCorrection, frm.tbrYOpacity, frm.lblChromaCorrection, frm.tbrUOpacity,
                       frm.sbnApplyPrimaryCorrection, frm.sbnDefaultPrimaryCorrection});
  }
  int Count() const { return frm.lvwSecCorrectionList->topLevelItemCount(); }
  TSecCorrectionItem *Item(int i) const {
    return static_cast<TSecCorrectionItem *>(frm.lvwSecCorrectionList->topLevelItem(i));
  }
  void ClickItem(int i, bool checkBox) {
    QTreeWidgetItem *item = frm.lvwSecCorrectionList->topLevelItem(i);
    const QRect row = frm.lvwSecCorrectionList->visualItemRect(item);
    QTest::mouseClick(frm.lvwSecCorrectionList->viewport(), Qt::LeftButton, Qt::NoModifier,
                      checkBox ? frm.lvwSecCorrectionList->CheckBoxRect(item).center()
                               : QPoint(row.left() + 80, row.center().y()));
  }
  bool Previews(const TBitmap24 &picture) const { return frm.PreviewBitmap().SamePixels(picture); }
  bool ShowsPreview() const { return frm.SourceViewer->Picture().SamePixels(frm.PreviewBitmap()); }
};

TEST_F(TMainFormFixture, ControlsFollowTheWorkflow) {
  // Start: nothing but the tool bar works, and Create 3D LUT waits for a correction.
  EXPECT_EQ(frm.sbnOpenRefImage->toolTip(), QStringLiteral("Open the reference image"));
  EXPECT_FALSE(frm.sbnCreateLUT->isEnabled() || frm.sbnDiscardSecCorrection->isEnabled());
  EXPECT_EQ(std::pair(Primary(), Secondary()), std::pair(0, 0));
  Open(frm.sbnOpenRefImage, refFile);
  EXPECT_EQ(Primary(), 0);
  Open(frm.sbnOpenSourceImage, srcFile);
  EXPECT_EQ(Primary(), 1);
  EXPECT_FALSE(frm.sbnCreateLUT->isEnabled());
  Click(frm.sbnApplyPrimaryCorrection);
  EXPECT_TRUE(frm.sbnCreateLUT->isEnabled());
  EXPECT_EQ(Secondary(), 0);

  // The secondary group needs a selection on both sides, and loses it with either.
  Select(frm.SourceViewer, {0.1, 0.1, 0.5, 0.5});
  EXPECT_EQ(Secondary(), 0);
  Select(frm.RefViewer, {0.2, 0.2, 0.6, 0.6});
  EXPECT_EQ(Secondary(), 1);
  QTest::mouseClick(frm.RefViewer, Qt::LeftButton, Qt::NoModifier, At(frm.RefViewer, 0.5, 0.5));
  EXPECT_EQ(Secondary(), 0);
  Select(frm.RefViewer, {0.2, 0.2, 0.6, 0.6});
  EXPECT_EQ(Secondary(), 1);

  frm.tbrSoftnessSec->setValue(5);
  frm.tbrYOpacitySec->setValue(150);
  frm.tbrCrOpacitySec->setValue(40);
  EXPECT_EQ(frm.lblSoftnessCorrectionSec->text(), QStringLiteral("Softness: 5"));
  Click(frm.sbnPreviewSecCorrection);
  EXPECT_TRUE(frm.sbnDiscardSecCorrection->isEnabled());
  Click(frm.sbnDiscardSecCorrection);
  EXPECT_FALSE(frm.sbnDiscardSecCorrection->isEnabled());
  Click(frm.sbnPreviewSecCorrection);
  Click(frm.sbnSaveSecCorrection); // the sliders go back to their defaults
  EXPECT_FALSE(frm.sbnDiscardSecCorrection->isEnabled());
  ASSERT_EQ(Count(), 1);
  EXPECT_EQ(Item(0)->checkState(0), Qt::Checked);
  EXPECT_EQ(Item(0)->Data().Opacity, (std::array<double, 3>{1.5, 0.4, 0.4}));
  EXPECT_EQ(std::tuple(frm.tbrSoftnessSec->value(), frm.tbrYOpacitySec->value(), frm.tbrCrOpacitySec->value()),
            std::tuple(2, 100, 100));
  EXPECT_EQ(Secondary(), 1);

  // Resizing drops both selections and lays the views out again, still showing the preview.
  frm.resize(1100, 760);
  QApplication::processEvents();
  EXPECT_FALSE(frm.SourceViewer->HasSelection() || frm.RefViewer->HasSelection());
  EXPECT_EQ(Secondary(), 0);
  EXPECT_EQ(frm.SourceViewer->y(), frm.pnlClient->height() / 2 + 1);
  EXPECT_TRUE(ShowsPreview());
  EXPECT_FALSE(frm.PreviewBitmap().SamePixels(frm.SourceBitmap()));

  // A new reference resets the primary sliders and keeps everything else until the next Apply.
  frm.tbrYOpacity->setValue(30);
  Click(frm.sbnDefaultPrimaryCorrection);
  EXPECT_EQ(frm.tbrYOpacity->value(), 100);
  frm.tbrUOpacity->setValue(70);
  const TBitmap24 preview = frm.PreviewBitmap();
  const QString src2File = Save("src2.bmp", TestPicture(400, 300, 3));
  Open(frm.sbnOpenRefImage, src2File);
  EXPECT_EQ(frm.tbrUOpacity->value(), 100);
  EXPECT_TRUE(frm.sbnCreateLUT->isEnabled());
  EXPECT_TRUE(frm.PreviewBitmap().SamePixels(preview));
  EXPECT_FALSE(frm.RefViewer->HasSelection());
  EXPECT_EQ(Count(), 1);

  // A new source starts over from "both pictures".
  frm.tbrYOpacity->setValue(60);
  Open(frm.sbnOpenSourceImage, src2File);
  EXPECT_EQ(Count(), 0);
  EXPECT_EQ(frm.tbrYOpacity->value(), 100);
  EXPECT_FALSE(frm.PrimaryApplied() || frm.sbnCreateLUT->isEnabled());
  EXPECT_EQ(std::pair(Primary(), Secondary()), std::pair(1, 0));
}

TEST_F(TMainFormFixture, CorrectionListRebuildsThePreviewAndKeepsCounting) {
  OpenBothAndApply();
  const TBitmap24 primary = frm.PreviewBitmap();
  const int first = TfrmMain::SecondaryCounter();
  SaveCorrection({0.05, 0.05, 0.45, 0.45}, {0.05, 0.05, 0.45, 0.45});
  SaveCorrection({0.5, 0.5, 0.95, 0.95}, {0.1, 0.5, 0.5, 0.95});
  ASSERT_EQ(Count(), 2);
  const QString caption = QStringLiteral("Secondary correction %1");
  EXPECT_EQ(std::pair(Item(0)->text(0), Item(1)->text(0)), std::pair(caption.arg(first), caption.arg(first + 1)));

  // Saving does not rebuild; a press on a check box does, following the box as it toggles: the
  // first correction alone, both, the first alone again.
  EXPECT_TRUE(Previews(primary));
  ClickItem(1, true);
  EXPECT_EQ(Item(1)->checkState(0), Qt::Unchecked);
  const TBitmap24 firstOnly = frm.PreviewBitmap();
  EXPECT_FALSE(Previews(primary));
  ClickItem(1, true);
  EXPECT_EQ(Item(1)->checkState(0), Qt::Checked);
  EXPECT_FALSE(Previews(primary) || Previews(firstOnly));
  ClickItem(1, true);
  EXPECT_TRUE(Previews(firstOnly));

  // Space never toggles.
  ClickItem(0, false);
  ASSERT_EQ(frm.lvwSecCorrectionList->currentItem(), Item(0));
  QTest::keyClick(frm.lvwSecCorrectionList, Qt::Key_Space);
  EXPECT_EQ(Item(0)->checkState(0), Qt::Checked);

  // With an unsaved candidate on show: deleting the unchecked item leaves the preview alone,
  // deleting the checked one rebuilds it (and so drops the candidate).
  Click(frm.sbnPreviewSecCorrection);
  const TBitmap24 candidate = frm.PreviewBitmap();
  EXPECT_FALSE(Previews(firstOnly));
  ClickItem(1, false);
  QTest::keyClick(frm.lvwSecCorrectionList, Qt::Key_Delete);
  ASSERT_EQ(Count(), 1);
  EXPECT_TRUE(Previews(candidate));
  EXPECT_TRUE(Item(0)->isSelected());
  QTest::keyClick(frm.lvwSecCorrectionList, Qt::Key_Delete);
  EXPECT_EQ(Count(), 0);
  EXPECT_TRUE(Previews(primary));
  EXPECT_TRUE(ShowsPreview());

  // A new source empties the list but the captions keep counting.
  OpenBothAndApply();
  ASSERT_EQ(Count(), 0);
  SaveCorrection({0.1, 0.1, 0.5, 0.5}, {0.1, 0.1, 0.5, 0.5});
  EXPECT_EQ(Item(0)->text(0), caption.arg(first + 2));
}

TEST_F(TMainFormFixture, ApplyAndTheHideToggleShowTheCorrectionOfTheUncorrectedPictures) {
  Click(frm.sbnHideCorrections); // nothing to show yet
  EXPECT_FALSE(frm.SourceViewer->HasPicture());
  Click(frm.sbnHideCorrections);
  OpenBothAndApply(); // the source view now shows the preview
  const auto showsOriginal = [&] { return frm.SourceViewer->Picture().SamePixels(frm.SourceBitmap()); };
  EXPECT_TRUE(ShowsPreview() && !showsOriginal());
  Click(frm.sbnHideCorrections);
  EXPECT_TRUE(showsOriginal());

  // Each choice of regions gives its own correction (where the regions are cut is checked against
  // the command line); applying twice gives the same, so the crops do not come from the preview.
  // Apply shows the preview although the toggle stays down.
  frm.tbrYOpacity->setValue(150);
  frm.tbrUOpacity->setValue(50);
  std::vector<TBitmap24> previews;
  for (const auto &[source, reference] : {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
    SCOPED_TRACE(testing::Message() << "source " << source << ", reference " << reference);
    frm.SourceViewer->ClearSelection();
    frm.RefViewer->ClearSelection();
    if (source)
      Select(frm.SourceViewer, {0.2, 0.1, 0.7, 0.6});
    if (reference)
      Select(frm.RefViewer, {0.5, 0.3, 0.9, 0.9});
    Click(frm.sbnApplyPrimaryCorrection);
    const TBitmap24 once = frm.PreviewBitmap();
    Click(frm.sbnApplyPrimaryCorrection);
    EXPECT_TRUE(Previews(once) && ShowsPreview());
    for (const TBitmap24 &other : previews)
      EXPECT_FALSE(Previews(other));
    previews.push_back(once);
  }
  // The next click raises the toggle; then down shows the original again, and up the preview.
  Click(frm.sbnHideCorrections);
  EXPECT_TRUE(!frm.sbnHideCorrections->isChecked() && ShowsPreview());
  Click(frm.sbnHideCorrections);
  EXPECT_TRUE(showsOriginal());
  Click(frm.sbnHideCorrections);
  EXPECT_TRUE(ShowsPreview());
}

struct TPaintCounter : QObject {
  int Count = 0;
  bool eventFilter(QObject *, QEvent *event) override {
    Count += event->type() == QEvent::Paint;
    return false;
  }
};

TEST_F(TMainFormFixture, ErrorsChangeNothingAndPicturesLoadWhileTheWindowGoesOn) {
  TBitmap24 flat = TestPicture(400, 300, 4); // the upper-left quarter is a single colour
  for (int y = 0; y < 150; ++y)
    for (int x = 0; x < 200; ++x)
      flat.SetPixel(x, y, 90, 120, 60);
  OpenBothAndApply(Save("flat.png", flat));
  SaveCorrection({0.6, 0.6, 0.9, 0.9}, {0.1, 0.1, 0.6, 0.6});
  SelectBoth({0.6, 0.6, 0.9, 0.9}, {0.1, 0.1, 0.6, 0.6});
  Click(frm.sbnPreviewSecCorrection); // a candidate that works is on show
  ASSERT_TRUE(frm.sbnDiscardSecCorrection->isEnabled());
  Select(frm.SourceViewer, {0.1, 0.1, 0.3, 0.3}); // inside the single-colour quarter
  const std::vector<TLutTriple> primary = Points(frm.PrimaryLUT()), work = Points(frm.WorkLUT());
  const TBitmap24 preview = frm.PreviewBitmap(), shown = frm.SourceViewer->Picture();

  for (QToolButton *button : {frm.sbnApplyPrimaryCorrection, frm.sbnPreviewSecCorrection, frm.sbnSaveSecCorrection}) {
    SCOPED_TRACE(button->objectName().toStdString());
    const TMessage message = CatchMessageBox([&] { Click(button); });
    EXPECT_TRUE(message.Shown);
    EXPECT_EQ(message.Title, QStringLiteral("Oxel Tintwise"));
    EXPECT_TRUE(message.Text.contains(QStringLiteral("variation"))) << message.Text.toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(Points(frm.PrimaryLUT()) == primary && Points(frm.WorkLUT()) == work);
    EXPECT_TRUE(frm.PreviewBitmap().SamePixels(preview) && frm.SourceViewer->Picture().SamePixels(shown));
    EXPECT_TRUE(frm.PrimaryApplied() && frm.sbnCreateLUT->isEnabled() && frm.sbnDiscardSecCorrection->isEnabled());
    EXPECT_EQ(Count(), 1);
  }

  // A failed open changes nothing: the saved corrections belong to the picture still on show.
  const TBitmap24 source = frm.SourceBitmap(), reference = frm.RefBitmap();
  Open(frm.sbnOpenSourceImage, QString()); // cancelled: nothing happens
  EXPECT_EQ(Count(), 1);
  const QString bad = dir.filePath(QStringLiteral("broken.png"));
  ASSERT_TRUE(QFile(bad).open(QIODevice::WriteOnly)); // an empty file is no picture
  frm.tbrYOpacity->setValue(20);
  EXPECT_TRUE(CatchMessageBox([&] { Open(frm.sbnOpenSourceImage, bad); }).Shown);
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(std::tuple(Count(), frm.tbrYOpacity->value(), frm.PrimaryApplied()), std::tuple(1, 20, true));
  EXPECT_TRUE(frm.sbnCreateLUT->isEnabled() && frm.sbnApplyPrimaryCorrection->isEnabled());
  EXPECT_TRUE(frm.SourceBitmap().SamePixels(source) && frm.SourceViewer->HasSelection());
  EXPECT_TRUE(CatchMessageBox([&] { Open(frm.sbnOpenRefImage, dir.filePath(QStringLiteral("missing.jpg"))); }).Shown);
  EXPECT_TRUE(frm.RefBitmap().SamePixels(reference));
  EXPECT_TRUE(frm.RefViewer->HasSelection());

  // The window's pixel limit is a setting, and the refusal says where to raise it.
  QSettings(QStringLiteral("Oxelsoft"), QStringLiteral("Tintwise")).setValue(QStringLiteral("MaxPixels"), 1000);
  const TMessage limited = CatchMessageBox([&] { Open(frm.sbnOpenSourceImage, Save("limit.png", flat)); });
  QSettings(QStringLiteral("Oxelsoft"), QStringLiteral("Tintwise")).remove(QStringLiteral("MaxPixels"));
  EXPECT_TRUE(limited.Text.contains(QStringLiteral("limit of 1000 pixels; raise it with the MaxPixels setting")))
      << limited.Text.toStdString();
  EXPECT_TRUE(frm.SourceBitmap().SamePixels(source));

  // Pictures load while the window goes on.
  QSemaphore gate;
  frm.PictureLoader = [&gate](const std::string &name, const std::string &, TBitmap24 &bitmap, TPictureInfo &info) {
    if (name.find("slow") != std::string::npos)
      gate.acquire();
    if (name.find("odd") != std::string::npos)
      throw 42; // not even an exception class
    LoadImageFile(name, bitmap, {}, &info);
  };
  chosen << Save("slow.png", TestPicture(300, 200, 5));
  Click(frm.sbnOpenSourceImage);
  ASSERT_TRUE(frm.Loading());
  ASSERT_NE(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);

  // The window paints while the picture is on its way, and what would work on the old picture waits.
  TPaintCounter paints;
  frm.RefViewer->installEventFilter(&paints);
  frm.RefViewer->update();
  EXPECT_TRUE(WaitUntil([&] { return paints.Count > 0; }, 5000));
  frm.RefViewer->removeEventFilter(&paints);
  for (QWidget *w : std::initializer_list<QWidget *>{frm.sbnApplyPrimaryCorrection, frm.tbrYOpacity, frm.sbnCreateLUT,
                                                     frm.lvwSecCorrectionList, frm.sbnSaveSecCorrection})
    EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
  EXPECT_TRUE(frm.sbnOpenRefImage->isEnabled() && frm.sbnOpenSourceImage->isEnabled());
  EXPECT_EQ(std::pair(Count(), frm.PrimaryApplied()), std::pair(1, true));

  // Another source chosen meanwhile wins, even over the slow one finishing later.
  Open(frm.sbnOpenSourceImage, Save("other.png", TestPicture(320, 240, 6)));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  gate.release();
  EXPECT_TRUE(WaitUntil([] { return TfrmMain::RunningLoads() == 0; }));
  QApplication::processEvents();
  EXPECT_EQ(frm.SourceBitmap().Width(), 320);
  EXPECT_EQ(std::tuple(Count(), frm.PrimaryApplied(), Primary()), std::tuple(0, false, 1));

  // A loader failing in any way at all is reported, and the cursor comes back.
  const TMessage odd = CatchMessageBox([&] { Open(frm.sbnOpenRefImage, dir.filePath(QStringLiteral("odd.png"))); });
  EXPECT_EQ(odd.Text, QStringLiteral("The operation failed for an unknown reason."));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  EXPECT_EQ(Primary(), 1);
}

// A movie ffmpeg makes without loss: in frame k, pixel (x, y) is red 16 + 8k, green 4x, blue 6y.
TEST_F(TMainFormFixture, FrameSlidersOpenTheMovieAnewAtTheirFrame) {
  const QString movie = dir.filePath(QStringLiteral("clip.mov"));
  if (std::system(("ffmpeg -v error -nostdin -y -f lavfi -i \"color=black:s=48x32:r=25,format=rgb24,geq=r='16+8*N':"
                   "g='4*X':b='6*Y'\" -frames:v 10 -c:v qtrle " + movie.toStdString() + " >/dev/null 2>&1").c_str()) != 0)
    GTEST_SKIP() << "ffmpeg cannot make a movie here";
  const auto pixel = [](const TBitmap24 &picture) {
    std::uint8_t r, g, b;
    picture.GetPixel(5, 3, r, g, b);
    return std::tuple(int(r), int(g), int(b));
  };
  OpenBothAndApply();
  EXPECT_TRUE(frm.pnlRefFrame->isHidden() && frm.pnlSourceFrame->isHidden());
  Open(frm.sbnOpenRefImage, movie);
  Open(frm.sbnOpenSourceImage, movie);
  ASSERT_FALSE(frm.pnlRefFrame->isHidden() || frm.pnlSourceFrame->isHidden());
  EXPECT_EQ(frm.RefViewer->geometry().bottom() + 1, frm.pnlRefFrame->y());
  EXPECT_EQ(frm.SourceViewer->geometry().bottom() + 1, frm.pnlSourceFrame->y());
  EXPECT_EQ(std::pair(frm.tbrSourceFrame->maximum(), frm.lblSourceFrame->text()),
            std::pair(9, QStringLiteral("Frame 0  00:00:00:00")));
  EXPECT_EQ(pixel(frm.SourceBitmap()), std::tuple(16, 20, 18));
  std::atomic<int> loads{0};
  std::atomic<bool> held{false};
  QSemaphore gate;
  frm.PictureLoader = [&, loader = frm.PictureLoader](const std::string &name, const std::string &frame,
                                                       TBitmap24 &bitmap, TPictureInfo &info) {
    ++loads;
    if (frame == "7")
      throw EImageError("frame 7 is damaged");
    if (frame == "5" || frame == "2") {
      held = true;
      gate.acquire();
    }
    loader(name, frame, bitmap, info);
  };

  // Steps load once the slider rests, as the source opened anew: its corrections go.
  Click(frm.sbnApplyPrimaryCorrection);
  SaveCorrection({0.1, 0.1, 0.6, 0.6}, {0.3, 0.3, 0.9, 0.9});
  for (int step = 0; step < 3; ++step)
    QTest::keyClick(frm.tbrSourceFrame, Qt::Key_Right);
  EXPECT_FALSE(frm.Loading());
  EXPECT_TRUE(WaitUntil([&] { return frm.lblSourceFrame->text() == QStringLiteral("Frame 3  00:00:00:03"); }));
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(pixel(frm.SourceBitmap()), std::tuple(40, 20, 18));
  EXPECT_EQ(std::tuple(Count(), frm.PrimaryApplied(), frm.SourceViewer->HasSelection()), std::tuple(0, false, false));
  EXPECT_EQ(pixel(frm.RefBitmap()), std::tuple(16, 20, 18));

  // A released drag loads at once; a new reference frame keeps the preview and resets the sliders.
  Click(frm.sbnApplyPrimaryCorrection);
  frm.tbrYOpacity->setValue(50);
  const TBitmap24 preview = frm.PreviewBitmap();
  frm.tbrRefFrame->setSliderDown(true);
  frm.tbrRefFrame->setValue(9);
  frm.tbrRefFrame->setSliderDown(false);
  EXPECT_TRUE(frm.Loading() && frm.tbrRefFrame->isEnabled());
  EXPECT_TRUE(WaitUntil([&] { return !frm.Loading(); }));
  EXPECT_EQ(pixel(frm.RefBitmap()), std::tuple(88, 20, 18));
  EXPECT_EQ(frm.lblRefFrame->text(), QStringLiteral("Frame 9  00:00:00:09"));
  EXPECT_EQ(frm.tbrYOpacity->value(), 100);
  EXPECT_TRUE(frm.PrimaryApplied() && frm.PreviewBitmap().SamePixels(preview));

  // A step taken while a frame is on its way is loaded next, whether the slider rests before that
  // frame arrives or after: the slider stays where it was put.
  for (const int frame : {5, 2}) {
    held = false;
    frm.tbrRefFrame->setValue(frame);
    EXPECT_TRUE(WaitUntil([&] { return held.load(); }));
    QTest::keyClick(frm.tbrRefFrame, Qt::Key_Right);
    if (frame == 5)
      QTest::qWait(500);
    gate.release();
    const QString caption = QStringLiteral("Frame %1  00:00:00:0%1").arg(frame + 1);
    EXPECT_TRUE(WaitUntil([&] { return frm.lblRefFrame->text() == caption && !frm.Loading(); })) << frame;
    EXPECT_EQ(frm.tbrRefFrame->value(), frame + 1);
  }

  // A frame that fails changes nothing, says why, and its slider goes back.
  const TMessage message = CatchMessageBox([&] {
    frm.tbrSourceFrame->setValue(7);
    EXPECT_TRUE(WaitUntil([&] { return frm.tbrSourceFrame->value() == 3 && !frm.Loading(); }));
  });
  EXPECT_TRUE(message.Text.contains(QStringLiteral("frame 7 is damaged"))) << message.Text.toStdString();
  EXPECT_EQ(std::pair(frm.tbrSourceFrame->value(), frm.lblSourceFrame->text()),
            std::pair(3, QStringLiteral("Frame 3  00:00:00:03")));
  EXPECT_EQ(pixel(frm.SourceBitmap()), std::tuple(40, 20, 18));
  EXPECT_TRUE(frm.PrimaryApplied());

  // A still has no frames to choose; the movie's slider rests while the still is on its way.
  chosen << srcFile;
  Click(frm.sbnOpenSourceImage);
  EXPECT_FALSE(frm.tbrSourceFrame->isEnabled());
  EXPECT_TRUE(WaitUntil([&] { return !frm.Loading(); }));
  EXPECT_TRUE(frm.pnlSourceFrame->isHidden() && !frm.pnlRefFrame->isHidden());
  EXPECT_EQ(frm.SourceViewer->geometry().bottom() + 1, frm.pnlClient->height());
}

TEST_F(TMainFormFixture, EachOpenDialogStartsClean) {
  frm.OpenPictureChooser = nullptr;
  QStringList titles, texts, folders;
  OnModal<QFileDialog>(
      [&] {
        Click(frm.sbnOpenRefImage);
        EXPECT_TRUE(WaitUntil([&] { return !frm.Loading(); }));
        Click(frm.sbnOpenSourceImage);
      },
      [&](QFileDialog *dialog) {
        titles << dialog->windowTitle();
        folders << dialog->directory().absolutePath();
        auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(edit, nullptr);
        texts << edit->text();
        if (titles.size() > 1) {
          dialog->reject();
          return;
        }
        dialog->setDirectory(QFileInfo(refFile).absolutePath());
        QTest::keyClicks(edit, QFileInfo(refFile).fileName()); // typed, so that the completer pops up
        QTest::qWait(200);                                     // long enough for it to list the folder
        QMetaObject::invokeMethod(dialog, "accept");           // the Open button
      });
  EXPECT_EQ(titles, (QStringList{QStringLiteral("Open Reference Image"), QStringLiteral("Open Source Image")}));
  EXPECT_EQ(texts, (QStringList{QString(), QString()}));
  ASSERT_EQ(folders.size(), 2);
  EXPECT_EQ(folders[1], QFileInfo(refFile).absolutePath());
  EXPECT_TRUE(frm.RefViewer->HasPicture());
  EXPECT_FALSE(frm.SourceViewer->HasPicture());
  // Nothing of either dialog stays on the screen to catch the next click.
  for (QWidget *w : QApplication::topLevelWidgets())
    EXPECT_TRUE(!w->isVisible() || w == &frm) << w->metaObject()->className();
}

TEST_F(TMainFormFixture, TipsFollowThePreference) {
  const auto stored = [] { return QSettings().value(QStringLiteral("DoNotShowTips")); };
  SetDoNotShowTips(-1);
  RestartTips();
  OpenBothAndApply(); // not forced: shown while the box is clear, and nothing is written yet
  EXPECT_TRUE(tips->isVisible());
  EXPECT_EQ(tips->pgcTips->currentIndex(), 0);
  EXPECT_FALSE(stored().isValid());

  QTest::mouseClick(tips->cbxDoNotShow, Qt::LeftButton);
  EXPECT_EQ(stored().toInt(), 1);
  QTest::keyClick(tips.get(), Qt::Key_Escape);
  EXPECT_FALSE(tips->isVisible());
  Click(frm.sbnApplyPrimaryCorrection);
  EXPECT_FALSE(tips->isVisible());
  tips->pgcTips->setCurrentIndex(2);
  Click(frm.sbnHelp); // forced, and on the first page
  EXPECT_TRUE(tips->isVisible());
  EXPECT_EQ(tips->pgcTips->currentIndex(), 0);
  tips->hide();
  frm.lvwSecCorrectionList->setFocus(); // F1 in the list does what Help does
  QTest::keyClick(frm.lvwSecCorrectionList, Qt::Key_F1);
  EXPECT_TRUE(tips->isVisible());

  // The choice survives a restart, and clearing it is stored too.
  RestartTips();
  EXPECT_TRUE(tips->cbxDoNotShow->isChecked());
  QTest::mouseClick(tips->cbxDoNotShow, Qt::LeftButton);
  EXPECT_EQ(stored().toInt(), 0);
  RestartTips();
  EXPECT_FALSE(tips->cbxDoNotShow->isChecked());
}

} // namespace
} // namespace tintwise
