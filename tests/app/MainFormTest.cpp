#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTabWidget>
#include <QToolButton>

#include <deque>

#include "AppTestSupport.h"
#include "app/ImageViewer.h"
#include "app/LutSaveForm.h"
#include "app/MainForm.h"
#include "app/TipsForm.h"
#include "engine/PrimaryCorrection.h"
#include "formats/LutFormat.h"

namespace tintwise {
namespace {

using test::CatchMessageBox;
using test::Drag;
using test::TestPicture;

std::unique_ptr<TLUT> NewLut33() {
  auto lut = std::make_unique<TLUT>();
  lut->Mode = kMode3D;
  lut->Size3D = 33;
  return lut;
}

bool SameLattice(const TLUT &a, const TLUT &b) {
  for (int r = 0; r < 33; ++r)
    for (int g = 0; g < 33; ++g)
      for (int c = 0; c < 33; ++c)
        if (a.Lattice[r][g][c] != b.Lattice[r][g][c])
          return false;
  return true;
}

TBitmap24 Through(const TLUT &lut, TBitmap24 bitmap) {
  lut.ApplyToBitmap(bitmap);
  return bitmap;
}

struct TMainFormFixture : ::testing::Test {
  QTemporaryDir dir;
  QString refFile, srcFile, src2File, flatFile, badFile;
  std::deque<QString> chosen; // what the open-picture dialog answers next
  TfrmMain frm;
  std::unique_ptr<TfrmTips> tips;

  TMainFormFixture() {
    test::SetDoNotShowTips(1);
    tips = std::make_unique<TfrmTips>(&frm);
    refFile = test::SavePicture(dir, QStringLiteral("ref.png"), TestPicture(400, 300, 1));
    srcFile = test::SavePicture(dir, QStringLiteral("src.png"), TestPicture(400, 300, 2));
    src2File = test::SavePicture(dir, QStringLiteral("src2.bmp"), TestPicture(400, 300, 3));
    // A source whose upper-left quarter is a single colour.
    TBitmap24 flat = TestPicture(400, 300, 4);
    for (int y = 0; y < 150; ++y)
      for (int x = 0; x < 200; ++x)
        flat.SetPixel(x, y, 90, 120, 60);
    flatFile = test::SavePicture(dir, QStringLiteral("flat.png"), flat);
    badFile = dir.filePath(QStringLiteral("broken.png"));
    QFile bad(badFile);
    EXPECT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write("this is not a picture");
    bad.close();

    frm.OpenPictureChooser = [this] {
      QString file;
      if (!chosen.empty()) {
        file = chosen.front();
        chosen.pop_front();
      }
      return file;
    };
    frm.resize(1000, 700);
    frm.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&frm));
  }

  static void Click(QAbstractButton *button) { QTest::mouseClick(button, Qt::LeftButton); }
  void OpenRef(const QString &file) {
    chosen.push_back(file);
    Click(frm.sbnOpenRefImage);
  }
  void OpenSource(const QString &file) {
    chosen.push_back(file);
    Click(frm.sbnOpenSourceImage);
  }
  void OpenBothAndApply() {
    OpenRef(refFile);
    OpenSource(srcFile);
    Click(frm.sbnApplyPrimaryCorrection);
    ASSERT_TRUE(frm.PrimaryApplied());
  }
  // A point of the viewer's display at the fractions (fx, fy) of its width and height.
  static QPoint At(TImageViewer *v, double fx, double fy) {
    return QPoint(v->OffsetX() + static_cast<int>(fx * (v->Display().Width() - 1)),
                  v->OffsetY() + static_cast<int>(fy * (v->Display().Height() - 1)));
  }
  static void Select(TImageViewer *v, double fx1, double fy1, double fx2, double fy2) {
    Drag(v, At(v, fx1, fy1), At(v, fx2, fy2));
    ASSERT_TRUE(v->HasSelection());
  }
  static TBitmap24 CropOf(TImageViewer *v, const TBitmap24 &picture) {
    const QRect r = v->SelectionRect();
    const int x1 = v->ViewToImageX(r.left()), y1 = v->ViewToImageY(r.top());
    return picture.Crop(x1, y1, v->ViewToImageX(r.right()) - x1, v->ViewToImageY(r.bottom()) - y1);
  }
  // Whether every control of the group is enabled (true), disabled (false), or neither (-1).
  static int GroupState(std::initializer_list<QWidget *> controls) {
    int enabled = 0;
    for (QWidget *w : controls)
      enabled += w->isEnabled();
    return enabled == 0 ? 0 : enabled == static_cast<int>(controls.size()) ? 1 : -1;
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
  TSecCorrectionItem *Item(int i) const {
    return static_cast<TSecCorrectionItem *>(frm.lvwSecCorrectionList->topLevelItem(i));
  }
  void ClickCheckBox(int i) {
    QTreeWidgetItem *item = frm.lvwSecCorrectionList->topLevelItem(i);
    QTest::mouseClick(frm.lvwSecCorrectionList->viewport(), Qt::LeftButton, Qt::NoModifier,
                      frm.lvwSecCorrectionList->CheckBoxRect(item).center());
  }
  void ClickCaption(int i) {
    QTreeWidgetItem *item = frm.lvwSecCorrectionList->topLevelItem(i);
    const QRect r = frm.lvwSecCorrectionList->visualItemRect(item);
    QTest::mouseClick(frm.lvwSecCorrectionList->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(r.left() + 80, r.center().y()));
  }
  // The source run through the primary LUT and the given saved corrections.
  TBitmap24 ExpectedPreview(std::initializer_list<const TSecondCorrectionData *> corrections) const {
    auto lut = NewLut33();
    lut->AssignFrom(frm.PrimaryLUT());
    for (const TSecondCorrectionData *c : corrections)
      ApplySecondaryCorrection(*c, *lut);
    return Through(*lut, frm.SourceBitmap());
  }
};

TEST_F(TMainFormFixture, ControlsFollowTheWorkflow) {
  // Start: only the tool bar works, apart from Create 3D LUT.
  for (QToolButton *b : {frm.sbnOpenRefImage, frm.sbnOpenSourceImage, frm.sbnHideCorrections, frm.sbnHelp, frm.sbnAbout})
    EXPECT_TRUE(b->isEnabled()) << b->objectName().toStdString();
  EXPECT_FALSE(frm.sbnCreateLUT->isEnabled());
  EXPECT_FALSE(frm.sbnDiscardSecCorrection->isEnabled());
  EXPECT_EQ(Primary(), 0);
  EXPECT_EQ(Secondary(), 0);
  EXPECT_EQ(frm.windowTitle(), QStringLiteral("Oxel Tintwise"));
  EXPECT_EQ(frm.lblSoftnessCorrectionSec->text(), QStringLiteral("Softness: 2"));
  EXPECT_EQ(frm.lblBrightnessCorrection->text(), QStringLiteral("Brightness correction: 100%"));
  Click(frm.sbnApplyPrimaryCorrection); // disabled: nothing happens
  EXPECT_FALSE(frm.PrimaryApplied());

  OpenRef(refFile);
  EXPECT_EQ(Primary(), 0);
  OpenSource(srcFile);
  EXPECT_EQ(Primary(), 1);
  EXPECT_FALSE(frm.sbnCreateLUT->isEnabled());
  EXPECT_EQ(frm.SourceBitmap().Width(), 400);

  Click(frm.sbnApplyPrimaryCorrection);
  EXPECT_TRUE(frm.PrimaryApplied());
  EXPECT_TRUE(frm.sbnCreateLUT->isEnabled());
  EXPECT_EQ(Secondary(), 0);

  // The secondary group needs a selection on both sides, and loses it with either.
  Select(frm.SourceViewer, 0.1, 0.1, 0.5, 0.5);
  EXPECT_EQ(Secondary(), 0);
  Select(frm.RefViewer, 0.2, 0.2, 0.6, 0.6);
  EXPECT_EQ(Secondary(), 1);
  QTest::mouseClick(frm.RefViewer, Qt::LeftButton, Qt::NoModifier, At(frm.RefViewer, 0.5, 0.5));
  EXPECT_EQ(Secondary(), 0);
  Select(frm.RefViewer, 0.2, 0.2, 0.6, 0.6);
  EXPECT_EQ(Secondary(), 1);

  frm.tbrSoftnessSec->setValue(5);
  frm.tbrYOpacitySec->setValue(150);
  frm.tbrCrOpacitySec->setValue(40);
  EXPECT_EQ(frm.lblSoftnessCorrectionSec->text(), QStringLiteral("Softness: 5"));
  EXPECT_EQ(frm.lblBrightnessCorrectionSec->text(), QStringLiteral("Brightness correction: 150%"));
  EXPECT_EQ(frm.lblChromaCorrectionSec->text(), QStringLiteral("Chroma correction: 40%"));

  Click(frm.sbnPreviewSecCorrection);
  EXPECT_TRUE(frm.sbnDiscardSecCorrection->isEnabled());
  Click(frm.sbnDiscardSecCorrection);
  EXPECT_FALSE(frm.sbnDiscardSecCorrection->isEnabled());
  Click(frm.sbnPreviewSecCorrection);
  Click(frm.sbnSaveSecCorrection);
  EXPECT_FALSE(frm.sbnDiscardSecCorrection->isEnabled());
  ASSERT_EQ(frm.lvwSecCorrectionList->topLevelItemCount(), 1);
  EXPECT_EQ(Item(0)->checkState(0), Qt::Checked);
  EXPECT_EQ(Item(0)->Data().Opacity, (std::array<double, 3>{1.5, 0.4, 0.4}));
  EXPECT_EQ(frm.tbrSoftnessSec->value(), 2);
  EXPECT_EQ(frm.tbrYOpacitySec->value(), 100);
  EXPECT_EQ(frm.tbrCrOpacitySec->value(), 100);

  // A new reference resets the primary sliders and keeps everything else until the next Apply.
  frm.tbrYOpacity->setValue(30);
  Click(frm.sbnDefaultPrimaryCorrection);
  EXPECT_EQ(frm.tbrYOpacity->value(), 100);
  frm.tbrUOpacity->setValue(70);
  EXPECT_EQ(frm.lblChromaCorrection->text(), QStringLiteral("Chroma correction: 70%"));
  const TBitmap24 preview = frm.PreviewBitmap();
  OpenRef(src2File);
  EXPECT_EQ(frm.tbrUOpacity->value(), 100);
  EXPECT_TRUE(frm.sbnCreateLUT->isEnabled());
  EXPECT_TRUE(frm.PreviewBitmap().SamePixels(preview));
  EXPECT_FALSE(frm.RefViewer->HasSelection());

  // A new source starts over from "both pictures".
  frm.tbrYOpacity->setValue(60);
  OpenSource(src2File);
  EXPECT_EQ(frm.lvwSecCorrectionList->topLevelItemCount(), 0);
  EXPECT_EQ(frm.tbrYOpacity->value(), 100);
  EXPECT_FALSE(frm.PrimaryApplied());
  EXPECT_FALSE(frm.sbnCreateLUT->isEnabled());
  EXPECT_EQ(Primary(), 1);
  EXPECT_EQ(Secondary(), 0);
}

TEST_F(TMainFormFixture, CaptionsKeepCountingAcrossANewSource) {
  OpenBothAndApply();
  const int first = TfrmMain::SecondaryCounter();
  Select(frm.SourceViewer, 0.1, 0.1, 0.5, 0.5);
  Select(frm.RefViewer, 0.1, 0.1, 0.5, 0.5);
  Click(frm.sbnSaveSecCorrection);
  Click(frm.sbnSaveSecCorrection);
  ASSERT_EQ(frm.lvwSecCorrectionList->topLevelItemCount(), 2);
  EXPECT_EQ(Item(0)->text(0), QStringLiteral("Secondary correction %1").arg(first));
  EXPECT_EQ(Item(1)->text(0), QStringLiteral("Secondary correction %1").arg(first + 1));

  OpenSource(srcFile);
  EXPECT_EQ(frm.lvwSecCorrectionList->topLevelItemCount(), 0);
  Click(frm.sbnApplyPrimaryCorrection);
  Select(frm.SourceViewer, 0.1, 0.1, 0.5, 0.5);
  Select(frm.RefViewer, 0.1, 0.1, 0.5, 0.5);
  Click(frm.sbnSaveSecCorrection);
  EXPECT_EQ(Item(0)->text(0), QStringLiteral("Secondary correction %1").arg(first + 2));
}

TEST_F(TMainFormFixture, CheckBoxesAndDeleteRebuildThePreview) {
  OpenBothAndApply();
  Select(frm.SourceViewer, 0.05, 0.05, 0.45, 0.45);
  Select(frm.RefViewer, 0.05, 0.05, 0.45, 0.45);
  Click(frm.sbnSaveSecCorrection);
  Select(frm.SourceViewer, 0.5, 0.5, 0.95, 0.95);
  Select(frm.RefViewer, 0.1, 0.5, 0.5, 0.95);
  Click(frm.sbnSaveSecCorrection);
  ASSERT_EQ(frm.lvwSecCorrectionList->topLevelItemCount(), 2);
  const TSecondCorrectionData *a = &Item(0)->Data(), *b = &Item(1)->Data();

  // Saving does not rebuild; a press on a check box does, following the box as it toggles.
  EXPECT_TRUE(frm.PreviewBitmap().SamePixels(ExpectedPreview({})));
  ClickCheckBox(1);
  EXPECT_EQ(Item(1)->checkState(0), Qt::Unchecked);
  EXPECT_TRUE(frm.PreviewBitmap().SamePixels(ExpectedPreview({a})));
  ClickCheckBox(1);
  EXPECT_EQ(Item(1)->checkState(0), Qt::Checked);
  EXPECT_TRUE(frm.PreviewBitmap().SamePixels(ExpectedPreview({a, b})));
  EXPECT_TRUE(SameLattice(frm.WorkLUT(), [&] {
    auto lut = NewLut33();
    lut->AssignFrom(frm.PrimaryLUT());
    ApplySecondaryCorrection(*a, *lut);
    ApplySecondaryCorrection(*b, *lut);
    return lut;
  }().operator*()));
  ClickCheckBox(1);

  // Space never toggles; F2 edits the caption in place.
  ClickCaption(0);
  ASSERT_EQ(frm.lvwSecCorrectionList->currentItem(), Item(0));
  QTest::keyClick(frm.lvwSecCorrectionList, Qt::Key_Space);
  EXPECT_EQ(Item(0)->checkState(0), Qt::Checked);
  QTest::keyClick(frm.lvwSecCorrectionList, Qt::Key_F2);
  auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
  ASSERT_NE(editor, nullptr); // the caption is being edited in place
  ASSERT_TRUE(frm.lvwSecCorrectionList->isAncestorOf(editor));
  QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClicks(editor, QStringLiteral("Sky"));
  EXPECT_EQ(editor->text(), QStringLiteral("Sky"));
  QTest::keyClick(editor, Qt::Key_Return);
  QApplication::processEvents(); // the delegate commits on its next turn
  EXPECT_EQ(Item(0)->text(0), QStringLiteral("Sky"));

  // With an unsaved candidate on show: deleting the unchecked item leaves the preview alone,
  // deleting the checked one rebuilds it (and so drops the candidate).
  Click(frm.sbnPreviewSecCorrection);
  const TBitmap24 candidate = frm.PreviewBitmap();
  EXPECT_FALSE(candidate.SamePixels(ExpectedPreview({a})));
  ClickCaption(1);
  QTest::keyClick(frm.lvwSecCorrectionList, Qt::Key_Delete);
  ASSERT_EQ(frm.lvwSecCorrectionList->topLevelItemCount(), 1);
  EXPECT_TRUE(frm.PreviewBitmap().SamePixels(candidate));
  EXPECT_TRUE(Item(0)->isSelected());
  QTest::keyClick(frm.lvwSecCorrectionList, Qt::Key_Delete);
  EXPECT_EQ(frm.lvwSecCorrectionList->topLevelItemCount(), 0);
  EXPECT_TRUE(frm.PreviewBitmap().SamePixels(ExpectedPreview({})));
  EXPECT_TRUE(frm.SourceViewer->Picture().SamePixels(frm.PreviewBitmap()));
}

TEST_F(TMainFormFixture, HideToggleComparesWithTheOriginal) {
  Click(frm.sbnHideCorrections); // nothing to show yet
  EXPECT_FALSE(frm.SourceViewer->HasPicture());
  Click(frm.sbnHideCorrections);
  OpenBothAndApply();
  const TImageViewer *view = frm.SourceViewer;
  EXPECT_FALSE(frm.PreviewBitmap().SamePixels(frm.SourceBitmap()));
  EXPECT_TRUE(view->Picture().SamePixels(frm.PreviewBitmap()));
  Click(frm.sbnHideCorrections);
  EXPECT_TRUE(frm.sbnHideCorrections->isChecked());
  EXPECT_TRUE(view->Picture().SamePixels(frm.SourceBitmap()));
  // Apply shows the preview although the toggle stays down.
  Click(frm.sbnApplyPrimaryCorrection);
  EXPECT_TRUE(frm.sbnHideCorrections->isChecked());
  EXPECT_TRUE(view->Picture().SamePixels(frm.PreviewBitmap()));
  Click(frm.sbnHideCorrections);
  EXPECT_FALSE(frm.sbnHideCorrections->isChecked());
  EXPECT_TRUE(view->Picture().SamePixels(frm.PreviewBitmap()));
  Click(frm.sbnHideCorrections);
  EXPECT_TRUE(view->Picture().SamePixels(frm.SourceBitmap()));
}

TEST_F(TMainFormFixture, ApplyUsesTheSelectionOfEitherSide) {
  OpenBothAndApply(); // the source view now shows the preview
  frm.tbrYOpacity->setValue(150);
  frm.tbrUOpacity->setValue(50);
  struct TCase {
    bool source, reference;
  } cases[] = {{true, false}, {false, true}, {true, true}};
  for (const TCase &c : cases) {
    SCOPED_TRACE(testing::Message() << "source " << c.source << ", reference " << c.reference);
    frm.SourceViewer->ClearSelection();
    frm.RefViewer->ClearSelection();
    if (c.source)
      Select(frm.SourceViewer, 0.2, 0.1, 0.7, 0.6);
    if (c.reference)
      Select(frm.RefViewer, 0.5, 0.3, 0.9, 0.9);
    // Crops come from the uncorrected source, not from the preview on show.
    const TBitmap24 src = c.source ? CropOf(frm.SourceViewer, frm.SourceBitmap()) : frm.SourceBitmap();
    const TBitmap24 ref = c.reference ? CropOf(frm.RefViewer, frm.RefBitmap()) : frm.RefBitmap();
    Click(frm.sbnApplyPrimaryCorrection);
    auto expected = NewLut33();
    ApplyPrimaryCorrection(ref, src, *expected, 1.5, 0.5, 0.5);
    EXPECT_TRUE(SameLattice(frm.PrimaryLUT(), *expected));
    EXPECT_TRUE(frm.PreviewBitmap().SamePixels(Through(*expected, frm.SourceBitmap())));
    EXPECT_TRUE(frm.SourceViewer->Picture().SamePixels(frm.PreviewBitmap()));
  }
}

TEST_F(TMainFormFixture, EngineErrorsAreShownAndChangeNothing) {
  OpenRef(refFile);
  OpenSource(flatFile);
  Click(frm.sbnApplyPrimaryCorrection);
  Select(frm.SourceViewer, 0.6, 0.6, 0.9, 0.9);
  Select(frm.RefViewer, 0.1, 0.1, 0.6, 0.6);
  Click(frm.sbnPreviewSecCorrection); // a candidate that works is on show
  ASSERT_TRUE(frm.sbnDiscardSecCorrection->isEnabled());
  Select(frm.SourceViewer, 0.1, 0.1, 0.3, 0.3); // inside the single-colour quarter
  auto primary = NewLut33(), work = NewLut33();
  primary->AssignFrom(frm.PrimaryLUT());
  work->AssignFrom(frm.WorkLUT());
  const TBitmap24 preview = frm.PreviewBitmap();
  const TBitmap24 shown = frm.SourceViewer->Picture();

  for (QToolButton *button : {frm.sbnApplyPrimaryCorrection, frm.sbnPreviewSecCorrection, frm.sbnSaveSecCorrection}) {
    SCOPED_TRACE(button->objectName().toStdString());
    const test::TMessage message = CatchMessageBox([&] { Click(button); });
    EXPECT_TRUE(message.Shown);
    EXPECT_EQ(message.Title, QStringLiteral("Oxel Tintwise"));
    EXPECT_TRUE(message.Text.contains(QStringLiteral("variation"))) << message.Text.toStdString();
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(SameLattice(frm.PrimaryLUT(), *primary));
    EXPECT_TRUE(SameLattice(frm.WorkLUT(), *work));
    EXPECT_TRUE(frm.PreviewBitmap().SamePixels(preview));
    EXPECT_TRUE(frm.SourceViewer->Picture().SamePixels(shown));
    EXPECT_TRUE(frm.PrimaryApplied());
    EXPECT_TRUE(frm.sbnCreateLUT->isEnabled());
    EXPECT_TRUE(frm.sbnDiscardSecCorrection->isEnabled());
    EXPECT_EQ(frm.lvwSecCorrectionList->topLevelItemCount(), 0);
  }
}

TEST_F(TMainFormFixture, FailedOpenKeepsThePictures) {
  OpenBothAndApply();
  Select(frm.SourceViewer, 0.1, 0.1, 0.5, 0.5);
  Select(frm.RefViewer, 0.1, 0.1, 0.5, 0.5);
  Click(frm.sbnSaveSecCorrection);
  const TBitmap24 source = frm.SourceBitmap(), reference = frm.RefBitmap();

  OpenSource(QString()); // cancelled: nothing happens
  EXPECT_EQ(frm.lvwSecCorrectionList->topLevelItemCount(), 1);

  frm.tbrYOpacity->setValue(20);
  test::TMessage message = CatchMessageBox([&] { OpenSource(badFile); });
  EXPECT_TRUE(message.Shown);
  EXPECT_EQ(message.Title, QStringLiteral("Oxel Tintwise"));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  // What comes before the loading has happened; the pictures are the old ones.
  EXPECT_EQ(frm.lvwSecCorrectionList->topLevelItemCount(), 0);
  EXPECT_EQ(frm.tbrYOpacity->value(), 100);
  EXPECT_FALSE(frm.PrimaryApplied());
  EXPECT_TRUE(frm.SourceBitmap().SamePixels(source));
  EXPECT_TRUE(frm.SourceViewer->HasPicture());

  message = CatchMessageBox([&] { OpenRef(dir.filePath(QStringLiteral("missing.jpg"))); });
  EXPECT_TRUE(message.Shown);
  EXPECT_TRUE(frm.RefBitmap().SamePixels(reference));
  EXPECT_TRUE(frm.RefViewer->HasSelection());
}

TEST_F(TMainFormFixture, ResizingDropsBothSelections) {
  OpenBothAndApply();
  Select(frm.SourceViewer, 0.1, 0.1, 0.5, 0.5);
  Select(frm.RefViewer, 0.1, 0.1, 0.5, 0.5);
  EXPECT_EQ(Secondary(), 1);
  Click(frm.sbnPreviewSecCorrection);
  Click(frm.sbnSaveSecCorrection); // cuts from the original without putting it on show
  EXPECT_EQ(Secondary(), 1);
  frm.resize(1100, 760);
  QApplication::processEvents();
  EXPECT_FALSE(frm.SourceViewer->HasSelection());
  EXPECT_FALSE(frm.RefViewer->HasSelection());
  EXPECT_EQ(Secondary(), 0);
  EXPECT_EQ(frm.RefViewer->height(), frm.pnlClient->height() / 2);
  EXPECT_EQ(frm.SourceViewer->y(), frm.RefViewer->height() + 1);
  // The new layout still shows the preview.
  EXPECT_TRUE(frm.SourceViewer->Picture().SamePixels(frm.PreviewBitmap()));
  EXPECT_FALSE(frm.PreviewBitmap().SamePixels(frm.SourceBitmap()));
}

TEST_F(TMainFormFixture, CreateLutDropsAnUnsavedPreview) {
  OpenBothAndApply();
  Select(frm.SourceViewer, 0.05, 0.05, 0.5, 0.5);
  Select(frm.RefViewer, 0.05, 0.05, 0.5, 0.5);
  Click(frm.sbnSaveSecCorrection);
  Select(frm.SourceViewer, 0.5, 0.4, 0.95, 0.95);
  Select(frm.RefViewer, 0.2, 0.5, 0.7, 0.95);
  Click(frm.sbnPreviewSecCorrection);
  const TSecondCorrectionData *saved = &Item(0)->Data();
  const TBitmap24 expectedPreview = ExpectedPreview({saved});
  ASSERT_FALSE(frm.PreviewBitmap().SamePixels(expectedPreview));

  const QString written = dir.filePath(QStringLiteral("look.cube"));
  TfrmSaveLut::SaveFileChooser = [&](const QString &, const QString &, const QString &) { return written; };
  test::WithModal<TfrmSaveLut>([&] { Click(frm.sbnCreateLUT); },
                               [&](TfrmSaveLut *dialog) {
                                 dialog->cbxOutFormat->setCurrentIndex(
                                     dialog->cbxOutFormat->findText(QStringLiteral("Cube 3D Iridas, Nuke, AfterEffects")));
                                 Click(dialog->btnSetLUTFile);
                                 Click(dialog->btnSave);
                               });
  TfrmSaveLut::SaveFileChooser = nullptr;
  EXPECT_TRUE(frm.PreviewBitmap().SamePixels(expectedPreview));

  // The same file written straight from the primary LUT and the saved correction.
  auto working = NewLut33();
  working->AssignFrom(frm.PrimaryLUT());
  ApplySecondaryCorrection(*saved, *working);
  auto sized = std::make_unique<TLUT>();
  sized->Mode = kMode3D;
  sized->Size3D = 32;
  sized->AssignFrom(*working);
  const QString reference = dir.filePath(QStringLiteral("reference.cube"));
  GetLutFormat(1)->SaveToFile(reference.toStdString(), *sized, 0);
  QFile a(written), b(reference);
  ASSERT_TRUE(a.open(QIODevice::ReadOnly));
  ASSERT_TRUE(b.open(QIODevice::ReadOnly));
  const QByteArray bytes = a.readAll();
  EXPECT_GT(bytes.size(), 32 * 32 * 32 * 6);
  EXPECT_EQ(bytes, b.readAll());
}

TEST_F(TMainFormFixture, TipsFollowThePreference) {
  tips.reset();
  test::SetDoNotShowTips(-1);
  tips = std::make_unique<TfrmTips>(&frm);
  EXPECT_FALSE(tips->cbxDoNotShow->isChecked());
  OpenBothAndApply();
  EXPECT_TRUE(tips->isVisible());
  EXPECT_EQ(tips->pgcTips->currentIndex(), 0);
  EXPECT_EQ(tips->windowTitle(), QStringLiteral("Tips"));

  QTest::mouseClick(tips->cbxDoNotShow, Qt::LeftButton);
  EXPECT_EQ(QSettings().value(QStringLiteral("DoNotShowTips")).toInt(), 1);
  QTest::keyClick(tips.get(), Qt::Key_Escape);
  EXPECT_FALSE(tips->isVisible());

  Click(frm.sbnApplyPrimaryCorrection);
  EXPECT_FALSE(tips->isVisible());
  tips->pgcTips->setCurrentIndex(2);
  Click(frm.sbnHelp); // forced
  EXPECT_TRUE(tips->isVisible());
  EXPECT_EQ(tips->pgcTips->currentIndex(), 0);
  tips->hide();

  // F1 in the list does what Help does.
  frm.lvwSecCorrectionList->setFocus();
  QTest::keyClick(frm.lvwSecCorrectionList, Qt::Key_F1);
  EXPECT_TRUE(tips->isVisible());

  // The choice survives a restart, and clearing it is stored too.
  tips.reset();
  tips = std::make_unique<TfrmTips>(&frm);
  EXPECT_TRUE(tips->cbxDoNotShow->isChecked());
  QTest::mouseClick(tips->cbxDoNotShow, Qt::LeftButton);
  EXPECT_EQ(QSettings().value(QStringLiteral("DoNotShowTips")).toInt(), 0);
  tips.reset();
  tips = std::make_unique<TfrmTips>(&frm);
  EXPECT_FALSE(tips->cbxDoNotShow->isChecked());
}

} // namespace
} // namespace tintwise
