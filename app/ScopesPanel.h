// The Scopes panel: a dock with the chosen scope of the reference and of the preview side by side
// (or both traces in one scope), and the match report under them. It only reads the window's
// pictures and selections; it changes nothing the window computes or writes.
#pragma once

#include <QDockWidget>
#include <QImage>
#include <QRect>
#include <QTimer>

#include <map>
#include <optional>

#include "workflow/MatchReport.h"
#include "workflow/Scopes.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QTreeWidgetItem;

namespace tintwise {

class TfrmMain;
class TScopeView;

class TScopesPanel : public QDockWidget {
  Q_OBJECT
public:
  explicit TScopesPanel(TfrmMain &window);

  // Measures and draws everything now (normally done shortly after each change while shown).
  void Refresh();

  const TMatchReport &Report() const { return FReport; }
  // The scope pictures on show; the preview's is null in overlay mode.
  const QImage &ReferenceScope() const { return FReferenceImage; }
  const QImage &PreviewScope() const { return FPreviewImage; }

  QComboBox *cbxScope;
  QComboBox *cbxScopeStandard;
  QCheckBox *cbxOverlay;
  QCheckBox *cbxLogHistogram;
  QLabel *lblReferenceScope;
  QLabel *lblPreviewScope;
  QPlainTextEdit *memReport;

protected:
  void showEvent(QShowEvent *event) override;

private:
  void ScheduleRefresh();
  void PairsInserted(int first, int last);
  void BuildReport();

  // The regions of a saved secondary correction, in picture pixels, captured when it was saved.
  struct TPairRegions {
    QRect Reference, Source;
  };

  TfrmMain &FWindow;
  TScopeView *FReferenceView;
  TScopeView *FPreviewView;
  QImage FReferenceImage, FPreviewImage;
  TMatchReport FReport;
  std::map<const QTreeWidgetItem *, TPairRegions> FPairs;
  QTimer FRefreshTimer;
};

} // namespace tintwise
