// The main window: the whole interactive workflow and the owner of its working state.
#pragma once

#include <QMainWindow>
#include <QTreeWidget>

#include <functional>
#include <memory>

#include "engine/Bitmap24.h"
#include "engine/ColorPick.h"
#include "engine/Lut.h"
#include "engine/SecondaryCorrection.h"

class QFileDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QSlider;
class QToolButton;

namespace tintwise {

class TImageViewer;
class TScopesPanel;

// A one-column list with check boxes in the manner of a report-style list view: a left press exactly
// on a check box toggles it at once and is reported; keys go to the owner's handler first.
class TCheckListView : public QTreeWidget {
  Q_OBJECT
public:
  explicit TCheckListView(QWidget *parent = nullptr);

  // The check box of the item's first column, in viewport coordinates.
  QRect CheckBoxRect(QTreeWidgetItem *item) const;

  // Told after a press on a check box has toggled it.
  std::function<void(QTreeWidgetItem *item)> OnCheckBoxClick;
  // Asked first about every key pressed outside caption editing; answers whether it took the key.
  std::function<bool(QKeyEvent *event)> OnKeyDown;

protected:
  void mousePressEvent(QMouseEvent *event) override;
  void mouseReleaseEvent(QMouseEvent *event) override;
  void mouseDoubleClickEvent(QMouseEvent *event) override;
  void keyPressEvent(QKeyEvent *event) override;

private:
  bool ToggleAt(const QPoint &pos);
  bool FSwallowRelease = false;
};

// An item of the secondary correction list; it owns its correction.
class TSecCorrectionItem : public QTreeWidgetItem {
public:
  TSecCorrectionItem(const QString &caption, std::unique_ptr<TSecondCorrectionData> data);
  const TSecondCorrectionData &Data() const { return *FData; }

private:
  std::unique_ptr<TSecondCorrectionData> FData;
};

// An item of the hidden colour-pick list; it owns its correction.
class TColorCorrectionItem : public QTreeWidgetItem {
public:
  explicit TColorCorrectionItem(const TCorrectionData &data);
  const TCorrectionData &Data() const { return FData; }

private:
  TCorrectionData FData;
};

class TfrmMain : public QMainWindow {
  Q_OBJECT
public:
  explicit TfrmMain(QWidget *parent = nullptr);
  ~TfrmMain() override;

  // What Open Reference Image and Open Source Image do once the user has chosen a file.
  void LoadReferenceFile(const QString &fileName);
  void LoadSourceFile(const QString &fileName);

  // Replaces the open-picture dialog (for tests): answers the chosen file, or an empty string for
  // a cancelled dialog.
  std::function<QString()> OpenPictureChooser;

  const TBitmap24 &RefBitmap() const { return FRefBitmap; }
  const TBitmap24 &SourceBitmap() const { return FSourceBitmap; }
  const TBitmap24 &PreviewBitmap() const { return FPreviewBitmap; }
  const TLUT &WorkLUT() const { return *FWorkLUT; }
  const TLUT &PrimaryLUT() const { return *FPrimaryLUT; }
  bool PrimaryApplied() const { return FPrimaryApplied; }
  TColorValue SourceSwatchColor() const { return FSrcColor; }
  TColorValue ReferenceSwatchColor() const { return FRefColor; }
  // The number the next saved secondary correction gets; it only ever increases.
  static int SecondaryCounter();

  // Tool bar.
  QToolButton *sbnOpenRefImage;
  QToolButton *sbnOpenSourceImage;
  QToolButton *sbnCreateLUT;
  QToolButton *sbnScopes;
  QToolButton *sbnHideCorrections;
  QToolButton *sbnHelp;
  QToolButton *sbnAbout;
  // Primary correction.
  QGroupBox *gbxPrimary;
  QLabel *lblBrightnessCorrection;
  QSlider *tbrYOpacity;
  QLabel *lblChromaCorrection;
  QSlider *tbrUOpacity;
  QToolButton *sbnApplyPrimaryCorrection;
  QToolButton *sbnDefaultPrimaryCorrection;
  // Secondary corrections.
  QGroupBox *gbxSecondary;
  QLabel *lblBrightnessCorrectionSec;
  QSlider *tbrYOpacitySec;
  QLabel *lblChromaCorrectionSec;
  QSlider *tbrCrOpacitySec;
  QLabel *lblSoftnessCorrectionSec;
  QSlider *tbrSoftnessSec;
  QToolButton *sbnPreviewSecCorrection;
  QToolButton *sbnDiscardSecCorrection;
  QToolButton *sbnSaveSecCorrection;
  TCheckListView *lvwSecCorrectionList;
  // Colour picking; these controls are never shown.
  QWidget *pnlColorPick;
  QFrame *shpSrc;
  QFrame *shpRef;
  QSlider *tbrSoftness;
  QToolButton *SpeedButton1;
  QToolButton *SpeedButton2;
  QToolButton *SpeedButton3;
  TCheckListView *lvwCorrections;
  // Client area.
  QWidget *pnlClient;
  QFrame *shpSplitLine;
  TImageViewer *RefViewer;
  TImageViewer *SourceViewer;
  // The scopes and the match report, in a dock.
  TScopesPanel *ScopesPanel;

  // Handlers of the controls.
  void sbnOpenRefImageClick();
  void sbnOpenSourceImageClick();
  void sbnApplyPrimaryCorrectionClick();
  void sbnDefaultPrimaryCorrectionClick();
  void sbnPreviewSecCorrectionClick();
  void sbnDiscardSecCorrectionClick();
  void sbnSaveSecCorrectionClick();
  void sbnHideCorrectionsClick();
  void sbnCreateLUTClick();
  void sbnHelpClick();
  void sbnAboutClick();
  void SpeedButton3Click();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  template <class F> bool Guarded(F &&action);
  void ShowError(const QString &message);
  QString ChoosePictureFile();
  void UpdateControls();
  void RebuildWorkLUT(TLUT &target) const;
  void RefreshPreview();
  void ResetSecondarySettings();
  void SetSwatch(QFrame *swatch, TColorValue &store, TColorValue color);
  void PickColor(TImageViewer &viewer, const TBitmap24 &bitmap, QFrame *swatch, TColorValue &store, int x, int y);
  void AddColorCorrection();
  bool SecListKeyDown(QKeyEvent *event);
  TLUT &ScratchLUT();
  void LayoutClient();
  void BuildScopesPanel();

  TBitmap24 FRefBitmap;
  TBitmap24 FPreviewBitmap;
  TBitmap24 FSourceBitmap;
  std::unique_ptr<TLUT> FWorkLUT;
  std::unique_ptr<TLUT> FPrimaryLUT;
  // A third lattice: a candidate is built here and swapped in only when it succeeded.
  std::unique_ptr<TLUT> FScratchLUT;
  bool FPrimaryApplied = false;
  TColorValue FSrcColor = 0xFFFFFF;
  TColorValue FRefColor = 0xFFFFFF;
  QFileDialog *dlgOpenPicture = nullptr;
};

} // namespace tintwise
