#include "app/TipsForm.h"

#include <QCheckBox>
#include <QEvent>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QSettings>
#include <QStringList>
#include <QTabWidget>
#include <QVBoxLayout>

namespace tintwise {

namespace {

TfrmTips *frmTips = nullptr;

struct TTipsPage {
  const char *Name;
  const char *Caption;
  QStringList Lines;
};

const TTipsPage &Page(int index) {
  static const TTipsPage pages[3] = {
      {"tshPrimary", "Primary Correction",
       {
           "If the default primary correction does not work so good, please try to select a similar regions on both ",
           "images that contain a main subject of shots. The selected regions should contain a similar amount of ",
           "sky, land, etc, and  include the main person if he/she are present. Then just click Apply button again.",
           "",
           "If you process close-up shots, you can try to select the faces only to match the skin tones.",
           "",
           "Please try a few variants of regions, usually it allows you to get a good result.",
           "",
           "As soon as you have an acceptable result for whole image, you can make adjustments for land, sky, ",
           "skin tones separately using the secondary corrections.",
       }},
      {"tshSecondary", "Secondary Corrections",
       {
           "To use the secondary correction, please select similar regions on both images (such as land, sky or ",
           "face), press the Preview button and if you like the result, press the Save button to add it to the ",
           "correction list.",
           "",
           "You can use the Softness option, to control how many colors will be affected by the correction.",
       }},
      {"tshSelection", "How to select an image region",
       {
           "To select an image region, please press the left mouse button down over the image, move the mouse ",
           "and release the button.",
           "",
           "To deselect, just left click on the image.",
       }},
  };
  return pages[index];
}

QSettings OpenTipsSettings() {
  return QSettings(QString::fromLatin1(kSettingsOrganization), QString::fromLatin1(kSettingsApplication));
}

} // namespace

TfrmTips::TfrmTips(QWidget *owner) : QWidget(owner, Qt::Tool) {
  setObjectName(QStringLiteral("frmTips"));
  setWindowTitle(QStringLiteral("Tips"));
  resize(643, 385);

  auto *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);

  pgcTips = new QTabWidget(this);
  pgcTips->setObjectName(QStringLiteral("pgcTips"));
  QFont textFont(QStringLiteral("Arial"));
  textFont.setPixelSize(13);
  for (int i = 0; i < 3; ++i) {
    const TTipsPage &page = Page(i);
    auto *sheet = new QWidget(pgcTips);
    sheet->setObjectName(QString::fromLatin1(page.Name));
    auto *sheetLayout = new QVBoxLayout(sheet);
    sheetLayout->setContentsMargins(10, 10, 10, 10);
    memTips[i] = new QPlainTextEdit(sheet);
    memTips[i]->setObjectName(QStringLiteral("memTips%1").arg(i + 1));
    memTips[i]->setReadOnly(true);
    memTips[i]->setFrameShape(QFrame::NoFrame);
    memTips[i]->setFont(textFont);
    memTips[i]->setPlainText(page.Lines.join(QLatin1Char('\n')));
    sheetLayout->addWidget(memTips[i]);
    pgcTips->addTab(sheet, QString::fromLatin1(page.Caption));
  }
  layout->addWidget(pgcTips, 1);

  auto *pnlBottom = new QWidget(this);
  pnlBottom->setObjectName(QStringLiteral("pnlBottom"));
  auto *bottomLayout = new QHBoxLayout(pnlBottom);
  bottomLayout->setContentsMargins(10, 6, 10, 6);
  cbxDoNotShow = new QCheckBox(QStringLiteral("Do not show tips"), pnlBottom);
  cbxDoNotShow->setObjectName(QStringLiteral("cbxDoNotShow"));
  bottomLayout->addWidget(cbxDoNotShow);
  bottomLayout->addStretch(1);
  layout->addWidget(pnlBottom);

  // QSettings keeps no empty keys: the key comes into being with its first value.
  QSettings settings = OpenTipsSettings();
  const QString name = QString::fromLatin1(kDoNotShowTipsValue);
  if (settings.contains(name))
    cbxDoNotShow->setChecked(settings.value(name).toInt() != 0);
  connect(cbxDoNotShow, &QCheckBox::clicked, this, [this] { cbxDoNotShowClick(); });

  if (!frmTips)
    frmTips = this;
}

TfrmTips::~TfrmTips() {
  if (frmTips == this)
    frmTips = nullptr;
}

void TfrmTips::cbxDoNotShowClick() {
  QSettings settings = OpenTipsSettings();
  settings.setValue(QString::fromLatin1(kDoNotShowTipsValue), static_cast<qint32>(cbxDoNotShow->isChecked() ? 1 : 0));
  settings.sync();
}

void TfrmTips::changeEvent(QEvent *event) {
  QWidget::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && isVisible() && !isActiveWindow())
    hide();
}

void TfrmTips::keyPressEvent(QKeyEvent *event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void ShowTips(int page, bool force) {
  TfrmTips *tips = frmTips;
  if (!tips || (!force && tips->cbxDoNotShow->isChecked()))
    return;
  tips->pgcTips->setCurrentIndex(page);
  if (!tips->isVisible()) {
    if (QWidget *owner = tips->parentWidget())
      tips->move(owner->geometry().center() - QPoint(tips->width() / 2, tips->height() / 2));
    tips->show();
  }
  tips->raise();
  tips->activateWindow();
}

} // namespace tintwise
