// The main window: the whole interactive workflow and the owner of its working state.
#pragma once

#include <QMainWindow>
#include <QTreeWidget>

#include <functional>
#include <memory>
#include <string>

#include "engine/Bitmap24.h"
#include "engine/ColorPick.h"
#include "engine/Lut.h"
#include "engine/SecondaryCorrection.h"
#include "imaging/PictureLoader.h"

class QFrame;
class QGroupBox;
class QLabel;
class QSlider;
class QTimer;
class QToolButton;

namespace tintwise {

class TImageViewer;
class TScopesPanel;
struct TLoadRelay;

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

  // What Open Reference Image and Open Source Image do once the user has chosen a file. The picture
  // is decoded on a worker thread while the window goes on painting; the window takes it, or shows
  // why it could not be read, when the work is done. Opening another file for the same side while
  // one loads drops the first one's result.
  void LoadReferenceFile(const QString &fileName);
  void LoadSourceFile(const QString &fileName);
  // Whether a picture is being loaded for either side. Meanwhile the corrections, the list and
  // Create 3D LUT are disabled and the busy cursor is shown.
  bool Loading() const;
  // How many loading threads of any window are still running, including those whose result will
  // be dropped.
  static int RunningLoads();

  // Replaces the open-picture dialog (for tests): answers the chosen file, or an empty string for
  // a cancelled dialog.
  std::function<QString()> OpenPictureChooser;
  // Decodes a picture file (of a movie, the frame named as TPictureLoadOptions::Frame names it; empty
  // for the first) and fits it for the window, telling what it found in info; called on a worker
  // thread. Replaceable for tests.
  std::function<void(const std::string &fileName, const std::string &frame, TBitmap24 &bitmap, TPictureInfo &info)>
      PictureLoader;

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
  // Client area and the panel beside it.
  QWidget *pnlClient;
  QWidget *pnlRight;
  QFrame *shpSplitLine;
  TImageViewer *RefViewer;
  TImageViewer *SourceViewer;
  // Under a picture that is a frame of a movie: a slider over its frames and the frame number and
  // timecode of the frame on show. Hidden for stills. Moving a slider opens its movie anew at that
  // frame, once the slider is released or has rested for a moment.
  QWidget *pnlRefFrame;
  QSlider *tbrRefFrame;
  QLabel *lblRefFrame;
  QWidget *pnlSourceFrame;
  QSlider *tbrSourceFrame;
  QLabel *lblSourceFrame;
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
  // Construction, one part of the window each.
  QWidget *BuildToolBar(QWidget *parent);
  QWidget *BuildClientArea(QWidget *parent);
  QWidget *BuildRightPanel(QWidget *parent);
  QGroupBox *BuildPrimaryGroup(QWidget *parent);
  QGroupBox *BuildSecondaryGroup(QWidget *parent);
  QWidget *BuildColorPickPanel(QWidget *parent);
  void BuildViewers();
  QWidget *BuildFrameBar(const char *side, QSlider *&slider, QLabel *&label);
  void BuildScopesPanel();
  void ConnectHandlers();

  enum TPictureSide { kReferenceSide, kSourceSide };
  struct TLoadedPicture;

  template <class F> bool Guarded(F &&action);
  void ShowError(const QString &message);
  QString ChoosePictureFile(const QString &title);
  void StartLoad(TPictureSide side, const QString &fileName, std::int64_t frame = -1);
  void FinishLoad(TPictureSide side, unsigned ticket, TLoadedPicture &picture);
  void SetLoading(TPictureSide side, bool running);
  void LoadSliderFrame(TPictureSide side);
  void UpdateFrameBar(TPictureSide side);
  void TakeReference(TBitmap24 &&picture);
  void TakeSource(TBitmap24 &&picture);
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
  // The folder the open-picture dialog starts in: that of the last picture chosen.
  QString FLastPictureFolder;
  // Per side: the number of the latest load, whether it still runs, and the frame it asked for
  // (-1: a file being opened).
  struct TLoadState {
    unsigned Ticket = 0;
    bool Running = false;
    std::int64_t Frame = -1;
  } FLoads[2];
  // Per side: the file on show and what its load found (a movie's frames).
  struct TShownFile {
    QString FileName;
    TPictureInfo Info;
  } FShown[2];
  QTimer *FFrameTimers[2];
  // Shared with the loading threads, which hand their results over only while the window exists.
  std::shared_ptr<TLoadRelay> FRelay;
};

} // namespace tintwise
