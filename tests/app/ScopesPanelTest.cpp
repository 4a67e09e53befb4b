#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QToolButton>

#include "AppTestSupport.h"
#include "app/ImageViewer.h"
#include "app/MainForm.h"
#include "app/ScopesPanel.h"
#include "workflow/MatchReport.h"
#include "workflow/Scopes.h"

namespace tintwise {
namespace {

QImage ScopeOf(const TBitmap24 &picture, TScopeKind kind = TScopeKind::Waveform) {
  const TScopeImage s = DrawScope(kind, MeasureScopes(picture, TScopeStandard::Rec601));
  return QImage(s.Pixels.data(), s.Width, s.Height, s.Width * 3, QImage::Format_RGB888).copy();
}

struct TScopesFixture : ::testing::Test {
  QTemporaryDir dir;
  TfrmMain frm;
  TScopesPanel &panel = *frm.ScopesPanel;

  TScopesFixture() {
    test::SetDoNotShowTips(1);
    frm.resize(1400, 800);
    frm.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&frm));
  }
  void OpenPictures() {
    frm.LoadReferenceFile(test::SavePicture(dir, "ref.png", test::TestPicture(400, 300, 1)));
    frm.LoadSourceFile(test::SavePicture(dir, "src.png", test::TestPicture(400, 300, 2)));
    ASSERT_TRUE(test::WaitUntil([&] { return !frm.Loading(); }));
  }
  static void Settle() {
    for (int i = 0; i < 3; ++i)
      QApplication::processEvents();
  }
  static void Select(TImageViewer *v, double x1, double y1, double x2, double y2) {
    auto at = [v](double fx, double fy) {
      return QPoint(v->OffsetX() + static_cast<int>(fx * (v->Display().Width() - 1)),
                    v->OffsetY() + static_cast<int>(fy * (v->Display().Height() - 1)));
    };
    test::Drag(v, at(x1, y1), at(x2, y2));
    ASSERT_TRUE(v->HasSelection());
  }
};

TEST_F(TScopesFixture, ToggleOpensTheDockAndAClosedPanelMeasuresNothing) {
  EXPECT_FALSE(frm.sbnScopes->isChecked());
  EXPECT_FALSE(panel.isVisible());
  OpenPictures();
  QTest::mouseClick(frm.sbnApplyPrimaryCorrection, Qt::LeftButton);
  Settle();
  EXPECT_TRUE(panel.Report().Areas.empty());
  EXPECT_TRUE(panel.ReferenceScope().isNull());

  QTest::mouseClick(frm.sbnScopes, Qt::LeftButton);
  Settle();
  EXPECT_TRUE(panel.isVisible());
  EXPECT_EQ(panel.ReferenceScope(), ScopeOf(frm.RefBitmap()));
  ASSERT_EQ(panel.Report().Areas.size(), 1u);
  panel.close(); // the dock's own close button
  Settle();
  EXPECT_FALSE(frm.sbnScopes->isChecked());
}

TEST_F(TScopesFixture, FollowsApplyTheHideToggleAndTheSelections) {
  QTest::mouseClick(frm.sbnScopes, Qt::LeftButton);
  OpenPictures();
  Settle();
  EXPECT_EQ(panel.PreviewScope(), ScopeOf(frm.SourceBitmap()));
  EXPECT_EQ(panel.lblPreviewScope->text(), QStringLiteral("Source"));
  ASSERT_EQ(panel.Report().Areas.size(), 1u);
  EXPECT_FALSE(panel.Report().Areas[0].After); // nothing applied yet

  QTest::mouseClick(frm.sbnApplyPrimaryCorrection, Qt::LeftButton);
  Settle();
  EXPECT_EQ(panel.PreviewScope(), ScopeOf(frm.PreviewBitmap()));
  EXPECT_EQ(panel.lblPreviewScope->text(), QStringLiteral("Preview"));
  {
    const TReportArea &whole = panel.Report().Areas.at(0);
    ASSERT_TRUE(whole.After);
    const TPictureMeasure preview = MeasurePicture(frm.PreviewBitmap());
    EXPECT_EQ(whole.After->Mean, preview.Mean);
    EXPECT_EQ(whole.After->Deviation, preview.Deviation);
    EXPECT_LT(*whole.DeltaEAfter, whole.DeltaEBefore);
    EXPECT_TRUE(panel.memReport->toPlainText().contains(QStringLiteral("Whole pictures")));
  }

  QTest::mouseClick(frm.sbnHideCorrections, Qt::LeftButton);
  Settle();
  EXPECT_EQ(panel.PreviewScope(), ScopeOf(frm.SourceBitmap()));
  QTest::mouseClick(frm.sbnHideCorrections, Qt::LeftButton);
  Settle();

  // A region restricts its picture's scope and adds a pair of regions to the report.
  Select(frm.SourceViewer, 0.1, 0.2, 0.5, 0.6);
  Settle();
  QRect rect;
  ASSERT_TRUE(frm.SourceViewer->SelectedPictureRect(rect));
  EXPECT_EQ(panel.PreviewScope(),
            ScopeOf(frm.PreviewBitmap().Crop(rect.x(), rect.y(), rect.width(), rect.height())));
  EXPECT_EQ(panel.ReferenceScope(), ScopeOf(frm.RefBitmap()));
  ASSERT_EQ(panel.Report().Areas.size(), 2u);
  const TReportArea regions = panel.Report().Areas[1]; // a copy: the panel rebuilds its report
  EXPECT_EQ(regions.Before.Pixels, static_cast<std::uint64_t>(rect.width()) * rect.height());
  EXPECT_FALSE(regions.ReferenceRegion);
  EXPECT_EQ(*regions.SourceRegion, (TReportRegion{rect.x(), rect.y(), rect.width(), rect.height()}));

  // A saved secondary correction keeps its pair of regions in the report under its caption.
  Select(frm.RefViewer, 0.3, 0.3, 0.7, 0.8);
  QTest::mouseClick(frm.sbnSaveSecCorrection, Qt::LeftButton);
  Settle();
  ASSERT_EQ(frm.lvwSecCorrectionList->topLevelItemCount(), 1);
  ASSERT_EQ(panel.Report().Areas.size(), 3u);
  EXPECT_EQ(panel.Report().Areas[2].Name, frm.lvwSecCorrectionList->topLevelItem(0)->text(0).toStdString());
  EXPECT_EQ(panel.Report().Areas[2].Before.Pixels, regions.Before.Pixels);

  // Overlay: one scope with both traces.
  panel.cbxOverlay->setChecked(true);
  Settle();
  EXPECT_TRUE(panel.PreviewScope().isNull());
  EXPECT_FALSE(panel.ReferenceScope().isNull());
  panel.cbxScope->setCurrentIndex(static_cast<int>(TScopeKind::Vectorscope));
  Settle();
  EXPECT_EQ(panel.ReferenceScope().size(), QSize(kDefaultScopeSize, kDefaultScopeSize));
}

} // namespace
} // namespace tintwise
