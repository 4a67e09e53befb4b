#include "app/MainForm.h"

#include <QApplication>
#include <QFileDialog>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QSettings>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <climits>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "app/About.h"
#include "app/ImageViewer.h"
#include "app/LutSaveForm.h"
#include "app/ScopesPanel.h"
#include "app/TipsForm.h"
#include "imaging/FrameSpec.h"
#include "imaging/PictureLoader.h"
#include "workflow/MatchWorkflow.h"

namespace tintwise {

namespace {

constexpr int kHintDuration = 10000; // ms
constexpr int kFrameSliderPause = 250; // ms a frame slider rests before its frame is loaded

int SecondaryCounterValue = 1; // numbers new secondary corrections for the whole run

std::atomic<int> RunningLoadCount{0}; // loading threads of every window that have not ended

// The hourglass for the lifetime of the object, whatever way the work ends.
class TBusyCursor {
public:
  TBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~TBusyCursor() { QApplication::restoreOverrideCursor(); }
  TBusyCursor(const TBusyCursor &) = delete;
  TBusyCursor &operator=(const TBusyCursor &) = delete;
};

void SetHint(QWidget *widget, const char *hint) {
  widget->setToolTip(QString::fromUtf8(hint));
  widget->setToolTipDuration(kHintDuration);
}

QToolButton *NewSpeedButton(QWidget *parent, const char *name, const char *caption, const char *hint = nullptr) {
  auto *button = new QToolButton(parent);
  button->setObjectName(QString::fromLatin1(name));
  button->setAutoRaise(true);
  button->setFocusPolicy(Qt::NoFocus); // flat buttons never take the focus
  if (caption)
    button->setText(QString::fromUtf8(caption));
  if (hint)
    SetHint(button, hint);
  return button;
}

QSlider *NewTrackBar(QWidget *parent, const char *name, int min, int max, int position) {
  auto *slider = new QSlider(Qt::Horizontal, parent);
  slider->setObjectName(QString::fromLatin1(name));
  slider->setRange(min, max);
  slider->setValue(position);
  slider->setTickPosition(QSlider::NoTicks);
  return slider;
}

QLabel *NewLabel(QWidget *parent, const char *name, const char *caption, const QFont &font) {
  auto *label = new QLabel(QString::fromUtf8(caption), parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setFont(font);
  return label;
}

QFrame *NewLine(QWidget *parent, const char *name) {
  auto *line = new QFrame(parent);
  line->setObjectName(QString::fromLatin1(name));
  line->setFrameShape(QFrame::NoFrame);
  line->setAutoFillBackground(true);
  QPalette pal = line->palette();
  pal.setColor(QPalette::Window, QColor(192, 192, 192)); // silver
  line->setPalette(pal);
  return line;
}

QFont PixelFont(const char *family, int pixels, bool bold) {
  QFont font{QString::fromLatin1(family)};
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QFont GroupFont() { return PixelFont("Verdana", 13, true); }
QFont LabelFont() { return PixelFont("Tahoma", 12, false); }

QString SoftnessCaption(int position) { return QStringLiteral("Softness: ") + QString::number(position); }

// The glyph of the hide toggle: a frame split into the corrected and the original half.
QIcon CompareIcon() {
  QPixmap pixmap(20, 20);
  pixmap.fill(Qt::transparent);
  QPainter p(&pixmap);
  p.fillRect(2, 3, 8, 14, QColor(230, 150, 60));
  p.fillRect(10, 3, 8, 14, QColor(150, 150, 150));
  p.setPen(QColor(60, 60, 60));
  p.drawRect(2, 3, 15, 13);
  p.drawLine(10, 1, 10, 18);
  p.end();
  return QIcon(pixmap);
}

// Gives access to the delegate's own option set-up, so that the check box is hit-tested exactly
// where it is drawn.
class TCheckDelegate : public QStyledItemDelegate {
public:
  using QStyledItemDelegate::QStyledItemDelegate;
  QRect CheckRect(QStyleOptionViewItem option, const QModelIndex &index) const {
    initStyleOption(&option, index);
    if (!(option.features & QStyleOptionViewItem::HasCheckIndicator))
      return {};
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    return style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, widget);
  }
};

} // namespace

// ---------------------------------------------------------------------------------------------
// TCheckListView

TCheckListView::TCheckListView(QWidget *parent) : QTreeWidget(parent) {
  setItemDelegate(new TCheckDelegate(this));
  setRootIsDecorated(false);
  setHeaderHidden(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers); // F2 is handled by the owner
  setUniformRowHeights(true);
}

QRect TCheckListView::CheckBoxRect(QTreeWidgetItem *item) const {
  const QModelIndex index = indexFromItem(item, 0);
  if (!index.isValid())
    return {};
  QStyleOptionViewItem option;
  initViewItemOption(&option);
  option.rect = visualRect(index);
  return static_cast<const TCheckDelegate *>(itemDelegate())->CheckRect(option, index);
}

bool TCheckListView::ToggleAt(const QPoint &pos) {
  QTreeWidgetItem *item = itemAt(pos);
  if (!item || !(item->flags() & Qt::ItemIsUserCheckable) || !CheckBoxRect(item).contains(pos))
    return false;
  item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
  FSwallowRelease = true;
  if (OnCheckBoxClick)
    OnCheckBoxClick(item);
  return true;
}

void TCheckListView::mousePressEvent(QMouseEvent *event) {
  if (event->button() == Qt::LeftButton && ToggleAt(event->position().toPoint())) {
    event->accept();
    return;
  }
  QTreeWidget::mousePressEvent(event);
}

void TCheckListView::mouseDoubleClickEvent(QMouseEvent *event) {
  // The second press of a double click on a check box toggles it again, like the first.
  if (event->button() == Qt::LeftButton && ToggleAt(event->position().toPoint())) {
    event->accept();
    return;
  }
  QTreeWidget::mouseDoubleClickEvent(event);
}

void TCheckListView::mouseReleaseEvent(QMouseEvent *event) {
  if (FSwallowRelease) { // the press toggled already; the delegate must not toggle again
    FSwallowRelease = false;
    event->accept();
    return;
  }
  QTreeWidget::mouseReleaseEvent(event);
}

void TCheckListView::keyPressEvent(QKeyEvent *event) {
  if (state() != QAbstractItemView::EditingState && OnKeyDown && OnKeyDown(event)) {
    event->accept();
    return;
  }
  QTreeWidget::keyPressEvent(event);
}

TSecCorrectionItem::TSecCorrectionItem(const QString &caption, std::unique_ptr<TSecondCorrectionData> data)
    : QTreeWidgetItem(QStringList{caption}, QTreeWidgetItem::UserType), FData(std::move(data)) {
  setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsEditable);
  setCheckState(0, Qt::Checked);
}

namespace {

QColor ColorOf(TColorValue value) { return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF); }

} // namespace

TColorCorrectionItem::TColorCorrectionItem(const TCorrectionData &data)
    : QTreeWidgetItem(QStringList{QString::number(data.Softness), QString(), QString()}, QTreeWidgetItem::UserType + 1),
      FData(data) {
  setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
  setCheckState(0, Qt::Checked);
  setData(1, Qt::DecorationRole, ColorOf(data.SourceColor));
  setData(2, Qt::DecorationRole, ColorOf(data.TargetColor));
}

// ---------------------------------------------------------------------------------------------
// TfrmMain: construction

// The loading threads post their results to the window under this lock, and only while the window
// has not begun to go away.
struct TLoadRelay {
  std::mutex Lock;
  bool Abandoned = false;
};

struct TfrmMain::TLoadedPicture {
  QString FileName;
  TBitmap24 Bitmap;
  TPictureInfo Info;
  std::exception_ptr Error;
};

// The pixel limit of the pictures the window opens: the MaxPixels value of the settings store
// (in ~/.config/Oxelsoft/Tintwise.conf), within what a picture may hold.
static TPictureLoadOptions WindowLoadOptions() {
  TPictureLoadOptions options;
  const QSettings settings(QString::fromLatin1(kSettingsOrganization), QString::fromLatin1(kSettingsApplication));
  bool ok = false;
  const qlonglong limit = settings.value(QStringLiteral("MaxPixels")).toLongLong(&ok);
  if (ok && limit > 0)
    options.MaxPixels = std::min<std::int64_t>(limit, kMaxPicturePixels);
  options.MaxPixelsHint = "raise it with the MaxPixels setting of Oxelsoft/Tintwise.conf";
  return options;
}

TfrmMain::TfrmMain(QWidget *parent)
    : QMainWindow(parent),
      PictureLoader([](const std::string &fileName, const std::string &frame, TBitmap24 &bitmap, TPictureInfo &info) {
        TPictureLoadOptions options = WindowLoadOptions();
        options.Frame = frame;
        TFittedPicture picture = LoadFittedPicture(fileName, options);
        bitmap = std::move(picture.Bitmap);
        info = picture.Info;
      }),
      FRelay(std::make_shared<TLoadRelay>()) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(ProductName());
  setWindowIcon(AppIcon());
  resize(1200, 800);

  auto *central = new QWidget(this);
  central->setObjectName(QStringLiteral("pnlMain"));
  setCentralWidget(central);
  auto *mainLayout = new QVBoxLayout(central);
  mainLayout->setContentsMargins(0, 0, 0, 0);
  mainLayout->setSpacing(0);
  mainLayout->addWidget(BuildToolBar(central));
  auto *body = new QHBoxLayout;
  body->setContentsMargins(0, 0, 0, 0);
  body->setSpacing(0);
  mainLayout->addLayout(body, 1);
  body->addWidget(BuildClientArea(central), 1);
  body->addWidget(BuildRightPanel(central));

  FWorkLUT = NewWorkingLUT();
  FPrimaryLUT = NewWorkingLUT();
  BuildViewers();
  ConnectHandlers();
  lblSoftnessCorrectionSec->setText(SoftnessCaption(tbrSoftnessSec->value()));
  UpdateControls();
  ResetSecondarySettings();
  BuildScopesPanel();
}

// Three captioned buttons on the left, three glyph buttons on the right, a silver line below.
QWidget *TfrmMain::BuildToolBar(QWidget *parent) {
  auto *pnlToolBar = new QWidget(parent);
  pnlToolBar->setObjectName(QStringLiteral("pnlToolBar"));
  pnlToolBar->setFixedHeight(34);
  auto *toolBarLayout = new QVBoxLayout(pnlToolBar);
  toolBarLayout->setContentsMargins(0, 0, 0, 0);
  toolBarLayout->setSpacing(0);
  auto *buttonRow = new QHBoxLayout;
  buttonRow->setContentsMargins(4, 1, 4, 1);
  buttonRow->setSpacing(2);
  const QFont toolFont = PixelFont("Arial", 13, true);
  QStyle *st = style();
  auto captioned = [&](const char *name, const char *caption, const char *hint, QStyle::StandardPixmap glyph) {
    QToolButton *b = NewSpeedButton(pnlToolBar, name, caption, hint);
    b->setFont(toolFont);
    b->setIcon(st->standardIcon(glyph));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    buttonRow->addWidget(b);
    return b;
  };
  sbnOpenRefImage = captioned("sbnOpenRefImage", "Open Reference Image", "Open the reference image",
                              QStyle::SP_DialogOpenButton);
  sbnOpenSourceImage = captioned("sbnOpenSourceImage", "Open Source Image",
                                 "Open the image that should be color graded", QStyle::SP_DirOpenIcon);
  sbnCreateLUT = captioned("sbnCreateLUT", "Create 3D LUT", "Create 3D LUT file", QStyle::SP_DialogSaveButton);
  sbnScopes = captioned("sbnScopes", "Scopes", "Show the scopes and the match report",
                        QStyle::SP_FileDialogDetailedView);
  sbnScopes->setCheckable(true);
  buttonRow->addStretch(1);
  sbnHideCorrections = NewSpeedButton(pnlToolBar, "sbnHideCorrections", nullptr,
                                      "Hide the corrections, Show the original image");
  sbnHideCorrections->setCheckable(true);
  sbnHideCorrections->setIcon(CompareIcon());
  buttonRow->addWidget(sbnHideCorrections);
  sbnHelp = NewSpeedButton(pnlToolBar, "sbnHelp", nullptr, "Show the help");
  sbnHelp->setIcon(st->standardIcon(QStyle::SP_MessageBoxQuestion));
  buttonRow->addWidget(sbnHelp);
  sbnAbout = NewSpeedButton(pnlToolBar, "sbnAbout", nullptr, "About");
  sbnAbout->setIcon(st->standardIcon(QStyle::SP_MessageBoxInformation));
  buttonRow->addWidget(sbnAbout);
  for (QToolButton *b :
       {sbnOpenRefImage, sbnOpenSourceImage, sbnCreateLUT, sbnScopes, sbnHideCorrections, sbnHelp, sbnAbout})
    b->setIconSize(QSize(20, 20));
  toolBarLayout->addLayout(buttonRow, 1);
  QFrame *toolBarLine = NewLine(pnlToolBar, "shpToolBarLine");
  toolBarLine->setFixedHeight(1);
  toolBarLayout->addWidget(toolBarLine);
  return pnlToolBar;
}

// The white client area; BuildViewers puts the two views into it.
QWidget *TfrmMain::BuildClientArea(QWidget *parent) {
  pnlClient = new QWidget(parent);
  pnlClient->setObjectName(QStringLiteral("pnlClient"));
  pnlClient->setAutoFillBackground(true);
  QPalette pal = pnlClient->palette();
  pal.setColor(QPalette::Window, Qt::white);
  pal.setColor(QPalette::Base, Qt::white);
  pnlClient->setPalette(pal);
  return pnlClient;
}

QWidget *TfrmMain::BuildRightPanel(QWidget *parent) {
  pnlRight = new QWidget(parent);
  pnlRight->setObjectName(QStringLiteral("pnlRight"));
  pnlRight->setFixedWidth(220);
  auto *rightLayout = new QVBoxLayout(pnlRight);
  rightLayout->setContentsMargins(6, 6, 6, 6);
  rightLayout->setSpacing(8);
  rightLayout->addWidget(BuildPrimaryGroup(pnlRight));
  rightLayout->addWidget(BuildSecondaryGroup(pnlRight), 1);
  rightLayout->addWidget(BuildColorPickPanel(pnlRight));
  return pnlRight;
}

QGroupBox *TfrmMain::BuildPrimaryGroup(QWidget *parent) {
  const QFont labelFont = LabelFont();
  gbxPrimary = new QGroupBox(QStringLiteral("Primary Correction"), parent);
  gbxPrimary->setObjectName(QStringLiteral("gbxPrimary"));
  gbxPrimary->setFont(GroupFont());
  auto *l = new QVBoxLayout(gbxPrimary);
  l->setSpacing(2);
  lblBrightnessCorrection = NewLabel(gbxPrimary, "lblBrightnessCorrection", "Brightness correction: 100%", labelFont);
  tbrYOpacity = NewTrackBar(gbxPrimary, "tbrYOpacity", 0, 200, 100);
  lblChromaCorrection = NewLabel(gbxPrimary, "lblChromaCorrection", "Chroma correction: 100%", labelFont);
  tbrUOpacity = NewTrackBar(gbxPrimary, "tbrUOpacity", 0, 200, 100);
  sbnApplyPrimaryCorrection = NewSpeedButton(gbxPrimary, "sbnApplyPrimaryCorrection", "Apply");
  sbnDefaultPrimaryCorrection = NewSpeedButton(gbxPrimary, "sbnDefaultPrimaryCorrection", "Defaults",
                                               "Set the correction settings to default");
  for (QWidget *w : {static_cast<QWidget *>(lblBrightnessCorrection), static_cast<QWidget *>(tbrYOpacity),
                     static_cast<QWidget *>(lblChromaCorrection), static_cast<QWidget *>(tbrUOpacity)})
    l->addWidget(w);
  auto *buttons = new QHBoxLayout;
  QStyle *st = style();
  for (QToolButton *b : {sbnApplyPrimaryCorrection, sbnDefaultPrimaryCorrection}) {
    b->setFont(labelFont);
    b->setIcon(st->standardIcon(b == sbnApplyPrimaryCorrection ? QStyle::SP_DialogApplyButton
                                                               : QStyle::SP_BrowserReload));
    b->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    buttons->addWidget(b);
  }
  buttons->addStretch(1);
  l->addLayout(buttons);
  return gbxPrimary;
}

QGroupBox *TfrmMain::BuildSecondaryGroup(QWidget *parent) {
  const QFont labelFont = LabelFont();
  gbxSecondary = new QGroupBox(QStringLiteral("Secondary Corrections"), parent);
  gbxSecondary->setObjectName(QStringLiteral("gbxSecondary"));
  gbxSecondary->setFont(GroupFont());
  auto *l = new QVBoxLayout(gbxSecondary);
  l->setSpacing(2);
  lblBrightnessCorrectionSec =
      NewLabel(gbxSecondary, "lblBrightnessCorrectionSec", "Brightness correction: 100%", labelFont);
  tbrYOpacitySec = NewTrackBar(gbxSecondary, "tbrYOpacitySec", 0, 200, 100);
  lblChromaCorrectionSec = NewLabel(gbxSecondary, "lblChromaCorrectionSec", "Chroma correction: 100%", labelFont);
  tbrCrOpacitySec = NewTrackBar(gbxSecondary, "tbrCrOpacitySec", 0, 200, 100);
  lblSoftnessCorrectionSec = NewLabel(gbxSecondary, "lblSoftnessCorrectionSec", "Softness", labelFont);
  tbrSoftnessSec = NewTrackBar(gbxSecondary, "tbrSoftnessSec", 0, 10, 3);
  SetHint(tbrSoftnessSec, "Controls, how many colors will be affected by the correction.");
  sbnPreviewSecCorrection =
      NewSpeedButton(gbxSecondary, "sbnPreviewSecCorrection", "Preview", "Preview the secondary correction");
  sbnDiscardSecCorrection =
      NewSpeedButton(gbxSecondary, "sbnDiscardSecCorrection", "Discard", "Discard the preview results");
  sbnDiscardSecCorrection->setEnabled(false);
  sbnSaveSecCorrection = NewSpeedButton(gbxSecondary, "sbnSaveSecCorrection", "Save",
                                        "Save the secondary correction to the corrections list");
  for (QWidget *w : {static_cast<QWidget *>(lblBrightnessCorrectionSec), static_cast<QWidget *>(tbrYOpacitySec),
                     static_cast<QWidget *>(lblChromaCorrectionSec), static_cast<QWidget *>(tbrCrOpacitySec),
                     static_cast<QWidget *>(lblSoftnessCorrectionSec), static_cast<QWidget *>(tbrSoftnessSec)})
    l->addWidget(w);
  auto *buttons = new QHBoxLayout;
  buttons->setSpacing(0);
  for (QToolButton *b : {sbnPreviewSecCorrection, sbnDiscardSecCorrection, sbnSaveSecCorrection}) {
    b->setFont(labelFont);
    buttons->addWidget(b);
  }
  buttons->addStretch(1);
  l->addLayout(buttons);

  lvwSecCorrectionList = new TCheckListView(gbxSecondary);
  lvwSecCorrectionList->setObjectName(QStringLiteral("lvwSecCorrectionList"));
  lvwSecCorrectionList->setFont(PixelFont("Tahoma", 11, false));
  lvwSecCorrectionList->setColumnCount(1);
  lvwSecCorrectionList->setColumnWidth(0, 150);
  l->addWidget(lvwSecCorrectionList, 1);
  return gbxSecondary;
}

// The colour-pick controls: they work, but nothing makes them visible.
QWidget *TfrmMain::BuildColorPickPanel(QWidget *parent) {
  const QFont labelFont = LabelFont();
  pnlColorPick = new QWidget(parent);
  pnlColorPick->setObjectName(QStringLiteral("pnlColorPick"));
  auto *l = new QVBoxLayout(pnlColorPick);
  auto *row = new QHBoxLayout;
  row->addWidget(NewLabel(pnlColorPick, "lblTransformColor", "Transform color", labelFont));
  shpSrc = new QFrame(pnlColorPick);
  shpSrc->setObjectName(QStringLiteral("shpSrc"));
  row->addWidget(shpSrc);
  row->addWidget(NewLabel(pnlColorPick, "lblTransformArrow", "=>", labelFont));
  shpRef = new QFrame(pnlColorPick);
  shpRef->setObjectName(QStringLiteral("shpRef"));
  row->addWidget(shpRef);
  for (QFrame *shape : {shpSrc, shpRef}) {
    shape->setFixedSize(33, 33);
    shape->setFrameShape(QFrame::Box);
    shape->setAutoFillBackground(true);
  }
  SetSwatch(shpSrc, FSrcColor, FSrcColor);
  SetSwatch(shpRef, FRefColor, FRefColor);
  l->addLayout(row);
  l->addWidget(NewLabel(pnlColorPick, "lblSoftness", "Softness", labelFont));
  tbrSoftness = NewTrackBar(pnlColorPick, "tbrSoftness", 0, 10, 0);
  l->addWidget(tbrSoftness);
  SpeedButton3 = NewSpeedButton(pnlColorPick, "SpeedButton3", "Apply");
  SpeedButton1 = NewSpeedButton(pnlColorPick, "SpeedButton1", "Apply");
  SpeedButton2 = NewSpeedButton(pnlColorPick, "SpeedButton2", "Def", "Set the correction settings to default");
  l->addWidget(SpeedButton3);
  l->addWidget(SpeedButton1);
  l->addWidget(SpeedButton2);
  lvwCorrections = new TCheckListView(pnlColorPick);
  lvwCorrections->setObjectName(QStringLiteral("lvwCorrections"));
  lvwCorrections->setColumnCount(3);
  lvwCorrections->setColumnWidth(1, 18);
  lvwCorrections->setColumnWidth(2, 18);
  lvwCorrections->setEditTriggers(QAbstractItemView::NoEditTriggers);
  l->addWidget(lvwCorrections);
  pnlColorPick->hide();
  return pnlColorPick;
}

// The reference view and its frame bar on top, a line, the source view and its frame bar below;
// both views pick colours on a press and govern the controls through their selections.
void TfrmMain::BuildViewers() {
  RefViewer = new TImageViewer(pnlClient);
  RefViewer->setObjectName(QStringLiteral("RefViewer"));
  RefViewer->setGeometry(0, 0, 100, 100);
  RefViewer->SetMouseDownHandler([this](TImageViewer &v, Qt::MouseButton, int x, int y) {
    PickColor(v, FRefBitmap, shpRef, FRefColor, x, y);
  });
  RefViewer->SetSelectionChangeHandler([this](TImageViewer &) { UpdateControls(); });
  shpSplitLine = NewLine(pnlClient, "shpSplitLine");
  SourceViewer = new TImageViewer(pnlClient);
  SourceViewer->setObjectName(QStringLiteral("SourceViewer"));
  SourceViewer->SetMouseDownHandler([this](TImageViewer &v, Qt::MouseButton, int x, int y) {
    PickColor(v, FSourceBitmap, shpSrc, FSrcColor, x, y);
  });
  SourceViewer->SetSelectionChangeHandler([this](TImageViewer &) { UpdateControls(); });
  pnlRefFrame = BuildFrameBar("Ref", tbrRefFrame, lblRefFrame);
  pnlSourceFrame = BuildFrameBar("Source", tbrSourceFrame, lblSourceFrame);
  pnlClient->installEventFilter(this);
}

// A slider over a movie's frames and the caption of the frame on show; hidden until a movie is.
QWidget *TfrmMain::BuildFrameBar(const char *side, QSlider *&slider, QLabel *&label) {
  const std::string name = std::string(side) + "Frame";
  auto *bar = new QWidget(pnlClient);
  bar->setObjectName(QString::fromStdString("pnl" + name));
  auto *l = new QHBoxLayout(bar);
  l->setContentsMargins(6, 2, 6, 2);
  slider = NewTrackBar(bar, ("tbr" + name).c_str(), 0, 0, 0);
  SetHint(slider, "Choose the frame of the movie");
  label = NewLabel(bar, ("lbl" + name).c_str(), "", LabelFont());
  label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("Frame 0000000  00:00:00:00")));
  l->addWidget(slider, 1);
  l->addWidget(label);
  bar->hide();
  auto *timer = new QTimer(this);
  timer->setSingleShot(true);
  timer->setInterval(kFrameSliderPause);
  FFrameTimers[side[0] == 'R' ? kReferenceSide : kSourceSide] = timer;
  return bar;
}

// The Scopes panel is closed until the toggle opens it; closed, it measures nothing.
void TfrmMain::BuildScopesPanel() {
  ScopesPanel = new TScopesPanel(*this);
  addDockWidget(Qt::RightDockWidgetArea, ScopesPanel);
  ScopesPanel->hide();
  connect(sbnScopes, &QToolButton::toggled, ScopesPanel, &QWidget::setVisible);
  connect(ScopesPanel->toggleViewAction(), &QAction::toggled, sbnScopes, &QToolButton::setChecked);
}

void TfrmMain::ConnectHandlers() {
  // Slider labels follow their sliders; nothing else changes until the next Apply, Preview or Save.
  auto percent = [](QLabel *label, const char *caption) {
    return [label, caption](int position) {
      label->setText(QString::fromLatin1(caption) + QString::number(position) + QLatin1Char('%'));
    };
  };
  connect(tbrYOpacity, &QSlider::valueChanged, this, percent(lblBrightnessCorrection, "Brightness correction: "));
  connect(tbrUOpacity, &QSlider::valueChanged, this, percent(lblChromaCorrection, "Chroma correction: "));
  connect(tbrYOpacitySec, &QSlider::valueChanged, this, percent(lblBrightnessCorrectionSec, "Brightness correction: "));
  connect(tbrCrOpacitySec, &QSlider::valueChanged, this, percent(lblChromaCorrectionSec, "Chroma correction: "));
  connect(tbrSoftnessSec, &QSlider::valueChanged, this,
          [this](int position) { lblSoftnessCorrectionSec->setText(SoftnessCaption(position)); });

  connect(sbnOpenRefImage, &QToolButton::clicked, this, [this] { sbnOpenRefImageClick(); });
  connect(sbnOpenSourceImage, &QToolButton::clicked, this, [this] { sbnOpenSourceImageClick(); });
  connect(sbnCreateLUT, &QToolButton::clicked, this, [this] { sbnCreateLUTClick(); });
  connect(sbnHideCorrections, &QToolButton::clicked, this, [this] { sbnHideCorrectionsClick(); });
  connect(sbnHelp, &QToolButton::clicked, this, [this] { sbnHelpClick(); });
  connect(sbnAbout, &QToolButton::clicked, this, [this] { sbnAboutClick(); });
  connect(sbnApplyPrimaryCorrection, &QToolButton::clicked, this, [this] { sbnApplyPrimaryCorrectionClick(); });
  connect(sbnDefaultPrimaryCorrection, &QToolButton::clicked, this, [this] { sbnDefaultPrimaryCorrectionClick(); });
  connect(SpeedButton2, &QToolButton::clicked, this, [this] { sbnDefaultPrimaryCorrectionClick(); });
  connect(sbnPreviewSecCorrection, &QToolButton::clicked, this, [this] { sbnPreviewSecCorrectionClick(); });
  connect(sbnDiscardSecCorrection, &QToolButton::clicked, this, [this] { sbnDiscardSecCorrectionClick(); });
  connect(sbnSaveSecCorrection, &QToolButton::clicked, this, [this] { sbnSaveSecCorrectionClick(); });
  connect(SpeedButton3, &QToolButton::clicked, this, [this] { SpeedButton3Click(); });
  connect(SpeedButton1, &QToolButton::clicked, this, [this] { Guarded([this] { RefreshPreview(); }); });
  lvwSecCorrectionList->OnCheckBoxClick = [this](QTreeWidgetItem *) { Guarded([this] { RefreshPreview(); }); };
  lvwSecCorrectionList->OnKeyDown = [this](QKeyEvent *event) { return SecListKeyDown(event); };

  // A frame slider loads its frame when released, or once it rests while dragged or stepped.
  for (const TPictureSide side : {kReferenceSide, kSourceSide}) {
    QSlider *slider = side == kReferenceSide ? tbrRefFrame : tbrSourceFrame;
    connect(slider, &QSlider::valueChanged, FFrameTimers[side], qOverload<>(&QTimer::start));
    connect(slider, &QSlider::sliderReleased, this, [this, side] { LoadSliderFrame(side); });
    connect(FFrameTimers[side], &QTimer::timeout, this, [this, side] { LoadSliderFrame(side); });
  }
}

TfrmMain::~TfrmMain() {
  {
    std::lock_guard lock(FRelay->Lock);
    FRelay->Abandoned = true; // results still on their way are dropped
  }
  if (Loading())
    QApplication::restoreOverrideCursor();
}

int TfrmMain::SecondaryCounter() { return SecondaryCounterValue; }

// Keeps the reference view and its frame bar in the top half of the client area and the source
// view and its frame bar below the line.
void TfrmMain::LayoutClient() {
  const int w = pnlClient->width(), h = pnlClient->height();
  const int top = h / 2;
  const auto barHeight = [](QWidget *bar) { return bar->isHidden() ? 0 : bar->sizeHint().height(); };
  const int refBar = std::min(barHeight(pnlRefFrame), top), sourceBar = std::min(barHeight(pnlSourceFrame), h - top - 1);
  RefViewer->setGeometry(0, 0, w, top - refBar);
  pnlRefFrame->setGeometry(0, top - refBar, w, refBar);
  shpSplitLine->setGeometry(0, top, w, 1);
  SourceViewer->setGeometry(0, top + 1, w, std::max(h - top - 1 - sourceBar, 0));
  pnlSourceFrame->setGeometry(0, h - sourceBar, w, sourceBar);
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event) {
  if (watched == pnlClient && event->type() == QEvent::Resize)
    LayoutClient();
  return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// Error handling: no exception may cross the event loop.

namespace {

QString ErrorMessage(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::bad_alloc &) {
    return QStringLiteral("There is not enough memory for this operation.");
  } catch (const std::exception &e) {
    return QString::fromUtf8(e.what());
  } catch (...) {
    return QStringLiteral("The operation failed for an unknown reason.");
  }
}

} // namespace

template <class F> bool TfrmMain::Guarded(F &&action) {
  try {
    action();
    return true;
  } catch (...) {
    ShowError(ErrorMessage(std::current_exception()));
    return false;
  }
}

void TfrmMain::ShowError(const QString &message) {
  // Busy cursors of the failed work have been restored by now; make sure none is left but that of
  // a picture still loading.
  while (QApplication::overrideCursor())
    QApplication::restoreOverrideCursor();
  if (Loading())
    QApplication::setOverrideCursor(Qt::WaitCursor);
  QMessageBox::critical(this, ProductName(), message);
}

// ---------------------------------------------------------------------------------------------
// State

void TfrmMain::UpdateControls() {
  const bool pictures = SourceViewer->HasPicture() && RefViewer->HasPicture();
  for (QWidget *w : {static_cast<QWidget *>(lblBrightnessCorrection), static_cast<QWidget *>(tbrYOpacity),
                     static_cast<QWidget *>(lblChromaCorrection), static_cast<QWidget *>(tbrUOpacity),
                     static_cast<QWidget *>(sbnApplyPrimaryCorrection),
                     static_cast<QWidget *>(sbnDefaultPrimaryCorrection)})
    w->setEnabled(pictures);
  const bool secondary =
      pictures && FPrimaryApplied && SourceViewer->HasSelection() && RefViewer->HasSelection();
  for (QWidget *w :
       {static_cast<QWidget *>(lblBrightnessCorrectionSec), static_cast<QWidget *>(tbrYOpacitySec),
        static_cast<QWidget *>(lblChromaCorrectionSec), static_cast<QWidget *>(tbrCrOpacitySec),
        static_cast<QWidget *>(lblSoftnessCorrectionSec), static_cast<QWidget *>(tbrSoftnessSec),
        static_cast<QWidget *>(sbnPreviewSecCorrection), static_cast<QWidget *>(sbnSaveSecCorrection)})
    w->setEnabled(secondary);
  sbnCreateLUT->setEnabled(FPrimaryApplied && !Loading());
}

void TfrmMain::ResetSecondarySettings() {
  tbrYOpacitySec->setValue(100);
  tbrCrOpacitySec->setValue(100);
  tbrSoftnessSec->setValue(2);
}

TLUT &TfrmMain::ScratchLUT() {
  if (!FScratchLUT)
    FScratchLUT = NewWorkingLUT();
  return *FScratchLUT;
}

// The primary LUT plus every checked secondary correction, in list order.
void TfrmMain::RebuildWorkLUT(TLUT &target) const {
  std::vector<const TSecondCorrectionData *> checked;
  for (int i = 0; i < lvwSecCorrectionList->topLevelItemCount(); ++i) {
    auto *item = static_cast<TSecCorrectionItem *>(lvwSecCorrectionList->topLevelItem(i));
    if (item->checkState(0) == Qt::Checked)
      checked.push_back(&item->Data());
  }
  BuildWorkingLUT(*FPrimaryLUT, checked, target);
}

void TfrmMain::RefreshPreview() {
  TBusyCursor busy;
  RebuildWorkLUT(*FWorkLUT);
  FPreviewBitmap = CorrectedPicture(FSourceBitmap, *FWorkLUT);
  SourceViewer->SetPicture(FPreviewBitmap);
}

// ---------------------------------------------------------------------------------------------
// Opening pictures

// A new dialog each time: nothing typed or chosen before shows, and no completer stays behind. It
// starts in the folder of the last picture chosen.
QString TfrmMain::ChoosePictureFile(const QString &title) {
  if (OpenPictureChooser)
    return OpenPictureChooser();
  QFileDialog dialog(this, title, FLastPictureFolder, QString::fromStdString(PictureFileFilter()));
  dialog.setObjectName(QStringLiteral("dlgOpenPicture"));
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return {};
  const QString file = dialog.selectedFiles().constFirst();
  FLastPictureFolder = QFileInfo(file).absolutePath();
  return file;
}

void TfrmMain::sbnOpenRefImageClick() {
  const QString file = ChoosePictureFile(QStringLiteral("Open Reference Image"));
  if (!file.isEmpty())
    LoadReferenceFile(file);
}

void TfrmMain::sbnOpenSourceImageClick() {
  const QString file = ChoosePictureFile(QStringLiteral("Open Source Image"));
  if (!file.isEmpty())
    LoadSourceFile(file);
}

void TfrmMain::LoadReferenceFile(const QString &fileName) {
  Guarded([&] { StartLoad(kReferenceSide, fileName); });
}

void TfrmMain::LoadSourceFile(const QString &fileName) {
  Guarded([&] { StartLoad(kSourceSide, fileName); });
}

bool TfrmMain::Loading() const { return FLoads[kReferenceSide].Running || FLoads[kSourceSide].Running; }

int TfrmMain::RunningLoads() { return RunningLoadCount.load(); }

// Loads the file for the side, or (frame >= 0) that frame of the movie on show there.
void TfrmMain::StartLoad(TPictureSide side, const QString &fileName, std::int64_t frame) {
  const unsigned ticket = FLoads[side].Ticket + 1;
  ++RunningLoadCount;
  try {
    // Detached: a picture that never finishes (a stalled network file) must not hold up closing.
    std::thread([this, relay = FRelay, loader = PictureLoader, fileName, side, ticket,
                 frameText = frame < 0 ? std::string() : std::to_string(frame)] {
      auto picture = std::make_shared<TLoadedPicture>();
      picture->FileName = fileName;
      try {
        loader(fileName.toStdString(), frameText, picture->Bitmap, picture->Info);
      } catch (...) {
        picture->Error = std::current_exception();
      }
      {
        std::lock_guard lock(relay->Lock);
        if (!relay->Abandoned)
          QMetaObject::invokeMethod(
              this, [this, side, ticket, picture] { FinishLoad(side, ticket, *picture); }, Qt::QueuedConnection);
      }
      --RunningLoadCount;
    }).detach();
  } catch (...) {
    --RunningLoadCount;
    throw;
  }
  FLoads[side].Ticket = ticket;
  FLoads[side].Frame = frame;
  if (frame < 0) { // the movie on show is on its way out: its slider rests
    FFrameTimers[side]->stop();
    (side == kReferenceSide ? tbrRefFrame : tbrSourceFrame)->setEnabled(false);
  }
  SetLoading(side, true);
}

void TfrmMain::FinishLoad(TPictureSide side, unsigned ticket, TLoadedPicture &picture) {
  if (ticket != FLoads[side].Ticket)
    return; // another file or frame was asked for this side meanwhile
  SetLoading(side, false);
  if (!picture.Error)
    FShown[side] = {picture.FileName, picture.Info};
  UpdateFrameBar(side); // after a failure, back to the frame on show
  Guarded([&] {
    if (picture.Error)
      std::rethrow_exception(picture.Error);
    if (side == kReferenceSide)
      TakeReference(std::move(picture.Bitmap));
    else
      TakeSource(std::move(picture.Bitmap));
  });
}

void TfrmMain::SetLoading(TPictureSide side, bool running) {
  const bool before = Loading();
  FLoads[side].Running = running;
  if (Loading() == before)
    return;
  if (running)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
  pnlRight->setEnabled(!running); // both correction groups and the list
  UpdateControls();
}

// The slider of a movie asks for its frame: the movie is opened anew at that frame, unless the frame
// is on show or on its way already. (While another file is being opened the slider is disabled.)
void TfrmMain::LoadSliderFrame(TPictureSide side) {
  FFrameTimers[side]->stop();
  const TLoadState &load = FLoads[side];
  const std::int64_t frame = (side == kReferenceSide ? tbrRefFrame : tbrSourceFrame)->value();
  if (frame != (load.Running ? load.Frame : FShown[side].Info.Frame))
    Guarded([&] { StartLoad(side, FShown[side].FileName, frame); });
}

// Shows the frame bar for a movie and hides it for a still. The slider goes to the frame on show
// unless the user is moving it.
void TfrmMain::UpdateFrameBar(TPictureSide side) {
  const TPictureInfo &info = FShown[side].Info;
  QWidget *bar = side == kReferenceSide ? pnlRefFrame : pnlSourceFrame;
  QSlider *slider = side == kReferenceSide ? tbrRefFrame : tbrSourceFrame;
  if (!slider->isSliderDown() && !FFrameTimers[side]->isActive()) {
    const QSignalBlocker quiet(slider);
    slider->setRange(0, static_cast<int>(std::clamp<std::int64_t>(info.FrameCount - 1, 0, INT_MAX)));
    slider->setValue(static_cast<int>(info.Frame));
  }
  slider->setPageStep(TimecodeBase(info.FrameRate)); // a second of frames
  slider->setEnabled(true);
  (side == kReferenceSide ? lblRefFrame : lblSourceFrame)
      ->setText(QStringLiteral("Frame %1  %2").arg(info.Frame).arg(QString::fromStdString(info.Timecode)));
  if (bar->isHidden() == info.IsMovie) {
    bar->setVisible(info.IsMovie);
    LayoutClient();
  }
}

void TfrmMain::TakeReference(TBitmap24 &&picture) {
  FRefBitmap = std::move(picture);
  RefViewer->ClearSelection();
  RefViewer->SetPicture(FRefBitmap);
  tbrYOpacity->setValue(100);
  tbrUOpacity->setValue(100);
  UpdateControls();
}

// The old source, its corrections and the primary correction made for it go only now that the new
// picture is here: a file that fails to load leaves the work on show as it was.
void TfrmMain::TakeSource(TBitmap24 &&picture) {
  lvwSecCorrectionList->clear(); // each item frees its correction
  tbrYOpacity->setValue(100);
  tbrUOpacity->setValue(100);
  FPrimaryApplied = false;
  FSourceBitmap = std::move(picture);
  FPreviewBitmap = FSourceBitmap;
  SourceViewer->ClearSelection();
  SourceViewer->SetPicture(FSourceBitmap);
  UpdateControls();
  sbnDiscardSecCorrection->setEnabled(false);
}

// ---------------------------------------------------------------------------------------------
// Primary correction

void TfrmMain::sbnApplyPrimaryCorrectionClick() {
  Guarded([this] {
    {
      TBusyCursor busy;
      // Both crops come from the uncorrected pictures, whatever the source view shows.
      const TBitmap24 *source = &FSourceBitmap;
      if (SourceViewer->HasSelection()) {
        SourceViewer->CropSelection(FSourceBitmap);
        RefViewer->CropSelection();
        source = &SourceViewer->Selection();
      }
      const TBitmap24 *reference = &FRefBitmap;
      if (RefViewer->HasSelection()) {
        RefViewer->CropSelection();
        reference = &RefViewer->Selection();
      }
      ComputePrimary(*reference, *source, tbrYOpacity->value() / 100.0, tbrUOpacity->value() / 100.0, *FPrimaryLUT);
      RebuildWorkLUT(*FWorkLUT);
      FPreviewBitmap = CorrectedPicture(FSourceBitmap, *FWorkLUT);
      SourceViewer->SetPicture(FPreviewBitmap);
    }
    FPrimaryApplied = true;
    UpdateControls();
    ShowTips(0, false);
  });
}

void TfrmMain::sbnDefaultPrimaryCorrectionClick() {
  tbrYOpacity->setValue(100);
  tbrUOpacity->setValue(100);
}

// ---------------------------------------------------------------------------------------------
// Secondary corrections

void TfrmMain::sbnPreviewSecCorrectionClick() {
  Guarded([this] {
    {
      TBusyCursor busy;
      SourceViewer->CropSelection(FSourceBitmap);
      RefViewer->CropSelection();
      // The candidate goes on top of the saved corrections in a lattice of its own, which becomes
      // the working LUT only when everything worked.
      TLUT &candidate = ScratchLUT();
      RebuildWorkLUT(candidate);
      const double chroma = tbrCrOpacitySec->value() / 100.0;
      PreviewSecondaryCorrection(RefViewer->Selection(), SourceViewer->Selection(), candidate,
                                 tbrYOpacitySec->value() / 100.0, chroma, chroma, tbrSoftnessSec->value());
      TBitmap24 preview = CorrectedPicture(FSourceBitmap, candidate);
      SourceViewer->SetPicture(preview);
      std::swap(FWorkLUT, FScratchLUT);
      FPreviewBitmap = std::move(preview);
    }
    sbnDiscardSecCorrection->setEnabled(true);
  });
}

void TfrmMain::sbnDiscardSecCorrectionClick() {
  if (Guarded([this] { RefreshPreview(); }))
    sbnDiscardSecCorrection->setEnabled(false);
}

void TfrmMain::sbnSaveSecCorrectionClick() {
  Guarded([this] {
    SourceViewer->CropSelection(FSourceBitmap);
    RefViewer->CropSelection();
    const TSecondarySettings settings{tbrYOpacitySec->value() / 100.0, tbrCrOpacitySec->value() / 100.0,
                                      tbrSoftnessSec->value()};
    std::unique_ptr<TSecondCorrectionData> correction =
        MakeSecondary(RefViewer->Selection(), SourceViewer->Selection(), settings);
    // A correction the engine refuses to apply would make every later rebuild fail: try it once
    // before it goes into the list.
    BuildWorkingLUT(*FPrimaryLUT, {correction.get()}, ScratchLUT());

    const QString caption = QStringLiteral("Secondary correction ") + QString::number(SecondaryCounterValue);
    lvwSecCorrectionList->addTopLevelItem(new TSecCorrectionItem(caption, std::move(correction)));
    ++SecondaryCounterValue;
    sbnDiscardSecCorrection->setEnabled(false);
    ResetSecondarySettings();
  });
}

bool TfrmMain::SecListKeyDown(QKeyEvent *event) {
  switch (event->key()) {
  case Qt::Key_Delete: {
    const QList<QTreeWidgetItem *> selected = lvwSecCorrectionList->selectedItems();
    if (selected.isEmpty())
      return true;
    const bool wasChecked = selected.constFirst()->checkState(0) == Qt::Checked;
    delete selected.constFirst(); // frees its correction
    if (QTreeWidgetItem *focused = lvwSecCorrectionList->currentItem())
      focused->setSelected(true);
    if (wasChecked)
      Guarded([this] { RefreshPreview(); });
    return true;
  }
  case Qt::Key_Space:
    return true; // check boxes change only by mouse
  case Qt::Key_F2:
    if (QTreeWidgetItem *focused = lvwSecCorrectionList->currentItem())
      lvwSecCorrectionList->editItem(focused, 0);
    return true;
  case Qt::Key_F1:
    sbnHelpClick();
    return true;
  default:
    return false;
  }
}

// ---------------------------------------------------------------------------------------------
// Tool bar

void TfrmMain::sbnHideCorrectionsClick() {
  Guarded([this] {
    if (sbnHideCorrections->isChecked()) {
      if (FSourceBitmap.Width() > 0)
        SourceViewer->SetPicture(FSourceBitmap);
    } else if (FPreviewBitmap.Width() > 0) {
      SourceViewer->SetPicture(FPreviewBitmap);
    }
  });
}

void TfrmMain::sbnCreateLUTClick() {
  Guarded([this] {
    RefreshPreview(); // drops a candidate that was neither saved nor discarded
    ShowSaveLutDialog(*FWorkLUT, this);
  });
}

void TfrmMain::sbnHelpClick() {
  Guarded([] { ShowTips(0, true); });
}

void TfrmMain::sbnAboutClick() {
  Guarded([this] { ShowAbout(ProductInfo(), this); });
}

// ---------------------------------------------------------------------------------------------
// Colour picking

void TfrmMain::SetSwatch(QFrame *swatch, TColorValue &store, TColorValue color) {
  store = color;
  QPalette pal = swatch->palette();
  pal.setColor(QPalette::Window, ColorOf(color));
  swatch->setPalette(pal);
}

void TfrmMain::PickColor(TImageViewer &viewer, const TBitmap24 &bitmap, QFrame *swatch, TColorValue &store, int x,
                         int y) {
  const int column = viewer.ViewToImageX(x), row = viewer.ViewToImageY(y);
  if (column < 0 || row < 0 || column >= bitmap.Width() || row >= bitmap.Height())
    return;
  std::uint8_t r, g, b;
  bitmap.GetPixel(column, row, r, g, b);
  SetSwatch(swatch, store, TColorValue(r) | TColorValue(g) << 8 | TColorValue(b) << 16);
}

void TfrmMain::SpeedButton3Click() {
  Guarded([this] {
    ApplyColorPick(*FWorkLUT, ColorValueToTriple(FSrcColor), ColorValueToTriple(FRefColor), tbrSoftness->value());
    FPreviewBitmap = CorrectedPicture(FSourceBitmap, *FWorkLUT);
    SourceViewer->SetPicture(FPreviewBitmap);
    AddColorCorrection();
  });
}

void TfrmMain::AddColorCorrection() {
  TCorrectionData correction;
  correction.Softness = tbrSoftness->value();
  correction.SourceColor = FSrcColor;
  correction.TargetColor = FRefColor;
  lvwCorrections->addTopLevelItem(new TColorCorrectionItem(correction));
}

} // namespace tintwise
