#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>

#include "AppTestSupport.h"
#include "app/ScopesPanel.h"
#include "workflow/MatchReport.h"
#include "workflow/Scopes.h"

namespace tintwise {
namespace {

using namespace test;

QImage ScopeOf(const TBitmap24 &picture) {
  const TScopeImage s = DrawScope(TScopeKind::Waveform, MeasureScopes(picture, TScopeStandard::Rec601));
  return QImage(s.Pixels.data(), s.Width, s.Height, s.Width * 3, QImage::Format_RGB888).copy();
}

void Settle() {
  for (int i = 0; i < 3; ++i)
    QApplication::processEvents();
}

using ScopesPanel = TWindowFixture;

TEST_F(ScopesPanel, FollowsApplyTheHideToggleAndTheSelections) {
  TScopesPanel &panel = *frm.ScopesPanel;
  OpenBoth(Save("ref.png", TestPicture(400, 300, 1)), Save("src.png", TestPicture(400, 300, 2)));
  Settle();
  // Closed, the panel measures nothing.
  EXPECT_FALSE(frm.sbnScopes->isChecked() || panel.isVisible());
  EXPECT_TRUE(panel.Report().Areas.empty() && panel.ReferenceScope().isNull());
  Click(frm.sbnScopes);
  Settle();
  EXPECT_TRUE(panel.isVisible());
  EXPECT_EQ(panel.ReferenceScope(), ScopeOf(frm.RefBitmap()));
  EXPECT_EQ(panel.PreviewScope(), ScopeOf(frm.SourceBitmap()));
  EXPECT_EQ(panel.lblPreviewScope->text(), QStringLiteral("Source"));
  ASSERT_EQ(panel.Report().Areas.size(), 1u);
  EXPECT_FALSE(panel.Report().Areas[0].After); // nothing applied yet
  Click(frm.sbnScopes);
  Click(frm.sbnApplyPrimaryCorrection);
  Settle();
  EXPECT_FALSE(panel.isVisible() || panel.Report().Areas.at(0).After);
  Click(frm.sbnScopes);
  Settle();
  EXPECT_EQ(panel.PreviewScope(), ScopeOf(frm.PreviewBitmap()));
  EXPECT_EQ(panel.lblPreviewScope->text(), QStringLiteral("Preview"));
  ASSERT_TRUE(panel.Report().Areas.at(0).DeltaEAfter);
  EXPECT_LT(*panel.Report().Areas[0].DeltaEAfter, panel.Report().Areas[0].DeltaEBefore);
  EXPECT_TRUE(panel.memReport->toPlainText().contains(QStringLiteral("Whole pictures")));
  Click(frm.sbnHideCorrections);
  Settle();
  EXPECT_EQ(panel.PreviewScope(), ScopeOf(frm.SourceBitmap()));
  Click(frm.sbnHideCorrections);

  // A region restricts its picture's scope and adds a pair of regions to the report.
  Select(frm.SourceViewer, {0.1, 0.2, 0.5, 0.6});
  Settle();
  const QRect rect = PictureRect(frm.SourceViewer);
  EXPECT_EQ(panel.PreviewScope(), ScopeOf(frm.PreviewBitmap().Crop(rect.x(), rect.y(), rect.width(), rect.height())));
  EXPECT_EQ(panel.ReferenceScope(), ScopeOf(frm.RefBitmap()));
  ASSERT_EQ(panel.Report().Areas.size(), 2u);
  const TReportArea regions = panel.Report().Areas[1]; // a copy: the panel rebuilds its report
  EXPECT_EQ(regions.Before.Pixels, static_cast<std::uint64_t>(rect.width()) * rect.height());
  EXPECT_FALSE(regions.ReferenceRegion);
  EXPECT_EQ(*regions.SourceRegion, (TReportRegion{rect.x(), rect.y(), rect.width(), rect.height()}));

  // A saved secondary correction keeps its pair of regions in the report under its caption.
  Select(frm.RefViewer, {0.3, 0.3, 0.7, 0.8});
  Click(frm.sbnSaveSecCorrection);
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
  panel.close(); // the dock's own close button
  Settle();
  EXPECT_FALSE(frm.sbnScopes->isChecked());
}

} // namespace
} // namespace tintwise
