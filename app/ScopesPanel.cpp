#include "app/ScopesPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <exception>

#include "app/ImageViewer.h"
#include "app/MainForm.h"
#include "engine/Bitmap24.h"

namespace tintwise {

// Shows one scope picture scaled to fit, without changing its proportions.
class TScopeView : public QWidget {
public:
  explicit TScopeView(QWidget *parent) : QWidget(parent) {
    setMinimumSize(160, 120);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
  }
  void SetImage(const QImage &image) {
    FImage = image;
    update();
  }

protected:
  void paintEvent(QPaintEvent *) override {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(10, 10, 10));
    if (FImage.isNull())
      return;
    const QSize size = FImage.size().scaled(this->size(), Qt::KeepAspectRatio);
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, FImage);
  }

private:
  QImage FImage;
};

namespace {

constexpr TTraceColor kReferenceColor{255, 150, 40}; // orange
constexpr TTraceColor kPreviewColor{60, 170, 255};   // blue

QImage ToQImage(const TScopeImage &scope) {
  return QImage(scope.Pixels.data(), scope.Width, scope.Height, scope.Width * 3, QImage::Format_RGB888).copy();
}

TBitmap24 Part(const TBitmap24 &picture, const std::optional<QRect> &rect) {
  return rect ? picture.Crop(rect->x(), rect->y(), rect->width(), rect->height()) : picture;
}

std::optional<TReportRegion> RegionOf(const std::optional<QRect> &rect) {
  if (!rect)
    return std::nullopt;
  return TReportRegion{rect->x(), rect->y(), rect->width(), rect->height()};
}

std::optional<QRect> SelectedRect(const TImageViewer &viewer) {
  QRect rect;
  if (!viewer.SelectedPictureRect(rect) || rect.isEmpty())
    return std::nullopt;
  return rect;
}

} // namespace

TScopesPanel::TScopesPanel(TfrmMain &window) : QDockWidget(QStringLiteral("Scopes"), &window), FWindow(window) {
  setObjectName(QStringLiteral("dckScopes"));
  setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
  auto *body = new QWidget(this);
  auto *layout = new QVBoxLayout(body);
  layout->setContentsMargins(6, 4, 6, 6);

  auto *controls = new QHBoxLayout;
  cbxScope = new QComboBox(body);
  cbxScope->setObjectName(QStringLiteral("cbxScope"));
  cbxScope->addItems({QStringLiteral("Waveform"), QStringLiteral("RGB Parade"), QStringLiteral("Vectorscope"),
                      QStringLiteral("Histogram")});
  cbxScopeStandard = new QComboBox(body);
  cbxScopeStandard->setObjectName(QStringLiteral("cbxScopeStandard"));
  cbxScopeStandard->addItems({QStringLiteral("Rec. 601"), QStringLiteral("Rec. 709")});
  cbxScopeStandard->setToolTip(QStringLiteral("The luma and chroma weights the scopes use"));
  cbxOverlay = new QCheckBox(QStringLiteral("Overlay"), body);
  cbxOverlay->setObjectName(QStringLiteral("cbxOverlay"));
  cbxOverlay->setToolTip(QStringLiteral("Both traces in one scope: the reference in orange, the preview in blue"));
  cbxLogHistogram = new QCheckBox(QStringLiteral("Logarithmic"), body);
  cbxLogHistogram->setObjectName(QStringLiteral("cbxLogHistogram"));
  cbxLogHistogram->setEnabled(false);
  for (QWidget *w : {static_cast<QWidget *>(cbxScope), static_cast<QWidget *>(cbxScopeStandard),
                     static_cast<QWidget *>(cbxOverlay), static_cast<QWidget *>(cbxLogHistogram)})
    controls->addWidget(w);
  controls->addStretch(1);
  layout->addLayout(controls);

  auto *scopes = new QHBoxLayout;
  auto column = [&](const char *name, const QString &caption, TScopeView *&view, QLabel *&label) {
    auto *box = new QVBoxLayout;
    label = new QLabel(caption, body);
    label->setObjectName(QString::fromLatin1(name));
    view = new TScopeView(body);
    box->addWidget(label);
    box->addWidget(view, 1);
    scopes->addLayout(box, 1);
  };
  column("lblReferenceScope", QStringLiteral("Reference"), FReferenceView, lblReferenceScope);
  column("lblPreviewScope", QStringLiteral("Preview"), FPreviewView, lblPreviewScope);
  layout->addLayout(scopes, 3);

  memReport = new QPlainTextEdit(body);
  memReport->setObjectName(QStringLiteral("memReport"));
  memReport->setReadOnly(true);
  memReport->setLineWrapMode(QPlainTextEdit::NoWrap);
  QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  fixed.setPointSizeF(std::max(7.0, fixed.pointSizeF() - 1));
  memReport->setFont(fixed);
  layout->addWidget(memReport, 1);
  setWidget(body);

  FRefreshTimer.setSingleShot(true);
  FRefreshTimer.setInterval(0);
  connect(&FRefreshTimer, &QTimer::timeout, this, [this] {
    // Nothing may leave through the event loop; a panel that cannot draw says why.
    try {
      Refresh();
    } catch (const std::exception &e) {
      memReport->setPlainText(QString::fromUtf8(e.what()));
    }
  });
  for (TImageViewer *viewer : {window.RefViewer, window.SourceViewer}) {
    connect(viewer, &TImageViewer::PictureChanged, this, [this] { ScheduleRefresh(); });
    connect(viewer, &TImageViewer::SelectionChanged, this, [this] { ScheduleRefresh(); });
  }
  QAbstractItemModel *pairs = window.lvwSecCorrectionList->model();
  connect(pairs, &QAbstractItemModel::rowsInserted, this,
          [this](const QModelIndex &, int first, int last) { PairsInserted(first, last); });
  connect(pairs, &QAbstractItemModel::rowsRemoved, this, [this] { ScheduleRefresh(); });
  connect(pairs, &QAbstractItemModel::dataChanged, this, [this] { ScheduleRefresh(); });
  connect(cbxScope, &QComboBox::currentIndexChanged, this, [this](int index) {
    cbxLogHistogram->setEnabled(index == static_cast<int>(TScopeKind::Histogram));
    ScheduleRefresh();
  });
  connect(cbxScopeStandard, &QComboBox::currentIndexChanged, this, [this] { ScheduleRefresh(); });
  connect(cbxOverlay, &QCheckBox::toggled, this, [this] { ScheduleRefresh(); });
  connect(cbxLogHistogram, &QCheckBox::toggled, this, [this] { ScheduleRefresh(); });
}

void TScopesPanel::showEvent(QShowEvent *event) {
  QDockWidget::showEvent(event);
  ScheduleRefresh();
}

// Nothing is measured while the panel is closed.
void TScopesPanel::ScheduleRefresh() {
  if (isVisible())
    FRefreshTimer.start();
}

void TScopesPanel::PairsInserted(int first, int last) {
  // A secondary correction is saved from the two selections on show at that moment.
  const std::optional<QRect> reference = SelectedRect(*FWindow.RefViewer), source = SelectedRect(*FWindow.SourceViewer);
  if (reference && source)
    for (int row = first; row <= last; ++row)
      if (const QTreeWidgetItem *item = FWindow.lvwSecCorrectionList->topLevelItem(row))
        FPairs[item] = {*reference, *source};
  ScheduleRefresh();
}

void TScopesPanel::Refresh() {
  FRefreshTimer.stop();
  const TScopeKind kind = static_cast<TScopeKind>(cbxScope->currentIndex());
  const TScopeStandard standard =
      cbxScopeStandard->currentIndex() == 1 ? TScopeStandard::Rec709 : TScopeStandard::Rec601;
  const bool overlay = cbxOverlay->isChecked();
  const TImageViewer &ref = *FWindow.RefViewer, &src = *FWindow.SourceViewer;

  std::optional<TScopeCounts> refCounts, srcCounts;
  if (ref.HasPicture())
    refCounts = MeasureScopes(Part(ref.Picture(), SelectedRect(ref)), standard);
  if (src.HasPicture())
    srcCounts = MeasureScopes(Part(src.Picture(), SelectedRect(src)), standard);

  TScopeDrawOptions options;
  options.LogHistogram = cbxLogHistogram->isChecked();
  // One histogram scale for both pictures, so that their bars compare.
  for (const auto *counts : {&refCounts, &srcCounts})
    if (*counts)
      options.HistogramScale = std::max(options.HistogramScale, HistogramPeak(**counts));
  FReferenceImage = QImage();
  FPreviewImage = QImage();
  if (overlay) {
    std::vector<TScopeTrace> traces;
    if (refCounts)
      traces.push_back({&*refCounts, false, kReferenceColor});
    if (srcCounts)
      traces.push_back({&*srcCounts, false, kPreviewColor});
    if (!traces.empty())
      FReferenceImage = ToQImage(DrawScope(kind, traces, options));
  } else {
    if (refCounts)
      FReferenceImage = ToQImage(DrawScope(kind, *refCounts, options));
    if (srcCounts)
      FPreviewImage = ToQImage(DrawScope(kind, *srcCounts, options));
  }
  FReferenceView->SetImage(FReferenceImage);
  FPreviewView->SetImage(FPreviewImage);
  FPreviewView->setVisible(!overlay);
  lblPreviewScope->setVisible(!overlay);
  const bool showsPreview = FWindow.PrimaryApplied() && !FWindow.sbnHideCorrections->isChecked();
  lblPreviewScope->setText(showsPreview ? QStringLiteral("Preview") : QStringLiteral("Source"));
  lblReferenceScope->setText(overlay ? showsPreview ? QStringLiteral("Reference (orange) and preview (blue)") : QStringLiteral("Reference (orange) and source (blue)")
                                     : QStringLiteral("Reference"));
  BuildReport();
}

void TScopesPanel::BuildReport() {
  FReport = TMatchReport();
  const TBitmap24 &reference = FWindow.RefBitmap(), &source = FWindow.SourceBitmap(),
                  &preview = FWindow.PreviewBitmap();
  if (reference.Empty() || source.Empty()) {
    memReport->setPlainText(QStringLiteral("Open a reference and a source picture for the match report."));
    return;
  }
  const bool corrected = FWindow.PrimaryApplied() && preview.Width() == source.Width() &&
                         preview.Height() == source.Height();
  try {
    FReport.Areas.push_back(
        MeasureArea("Whole pictures", reference, source, corrected ? &preview : nullptr));
    const std::optional<QRect> refRect = SelectedRect(*FWindow.RefViewer), srcRect = SelectedRect(*FWindow.SourceViewer);
    if (refRect || srcRect) {
      const TBitmap24 after = corrected ? Part(preview, srcRect) : TBitmap24();
      FReport.Areas.push_back(MeasureArea("Selected regions", Part(reference, refRect), Part(source, srcRect),
                                          corrected ? &after : nullptr, RegionOf(refRect), RegionOf(srcRect)));
    }
    // Saved secondary corrections, in list order; forget the ones that are gone.
    std::map<const QTreeWidgetItem *, TPairRegions> kept;
    const QTreeWidget &list = *FWindow.lvwSecCorrectionList;
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
      const QTreeWidgetItem *item = list.topLevelItem(i);
      const auto found = FPairs.find(item);
      if (found == FPairs.end())
        continue;
      kept.insert(*found);
      const TPairRegions &r = found->second;
      const TBitmap24 after = corrected ? Part(preview, r.Source) : TBitmap24();
      FReport.Areas.push_back(MeasureArea(item->text(0).toStdString(), Part(reference, r.Reference),
                                          Part(source, r.Source), corrected ? &after : nullptr,
                                          RegionOf(r.Reference), RegionOf(r.Source)));
    }
    FPairs.swap(kept);
    memReport->setPlainText(QString::fromStdString(MatchReportText(FReport)));
  } catch (const std::exception &e) {
    // A region without pixels has no statistics; say so instead of a report.
    memReport->setPlainText(QString::fromUtf8(e.what()));
  }
}

} // namespace tintwise
