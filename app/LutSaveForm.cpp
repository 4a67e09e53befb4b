#include "app/LutSaveForm.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include <exception>
#include <memory>

#include "app/About.h"
#include "engine/Lut.h"
#include "formats/LutFormat.h"
#include "workflow/MatchWorkflow.h"

namespace tintwise {

std::function<QString(const QString &, const QString &, const QString &)> TfrmSaveLut::SaveFileChooser;
QString TfrmSaveLut::LastLutFolder;

namespace {

const char *const kDefault = "Default";
const char *const kSizeItems[] = {"Default", "17", "32", "33", "64"};
const int kBitsValues[] = {8, 10, 12, 14, 16};

QLabel *NewCaption(QWidget *parent, const char *name, const char *caption, QWidget *buddy, int x, int y) {
  auto *label = new QLabel(QString::fromLatin1(caption), parent);
  label->setObjectName(QString::fromLatin1(name));
  label->setBuddy(buddy);
  label->move(x, y);
  label->adjustSize();
  return label;
}

void FillSizeItems(QComboBox *combo) {
  combo->clear();
  for (const char *item : kSizeItems)
    combo->addItem(QString::fromLatin1(item));
}

} // namespace

QString ReplaceFileExtension(const QString &name, const QString &extension) {
  const qsizetype separator = std::max(name.lastIndexOf(QLatin1Char('/')), name.lastIndexOf(QLatin1Char('\\')));
  const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
  const QString stem = dot > separator ? name.left(dot) : name;
  return stem + QLatin1Char('.') + extension;
}

TfrmSaveLut::TfrmSaveLut(QWidget *owner) : QDialog(owner) {
  setObjectName(QStringLiteral("frmSaveLut"));
  setWindowTitle(QStringLiteral("Save LUT file"));
  setFixedSize(496, 244);
  BuildProfileControls();
  BuildFileControls();
  BuildButtons();
  setTabOrder(cbxOutFormat, cbxDimSize);
  setTabOrder(cbxDimSize, cbxBits);
  setTabOrder(cbxBits, btnSave);
  setTabOrder(btnSave, btnCancel);
  setTabOrder(btnCancel, btnSetLUTFile);
  FillProfiles();
  cbxBits->setCurrentIndex(0);
  ConnectHandlers();
}

// The output profile, the lattice size and the bit depth.
void TfrmSaveLut::BuildProfileControls() {
  cbxOutFormat = new QComboBox(this);
  cbxOutFormat->setObjectName(QStringLiteral("cbxOutFormat"));
  cbxOutFormat->setGeometry(16, 34, 464, 24);
  NewCaption(this, "lblOutFormat", "Output LUT Format", cbxOutFormat, 16, 14);

  cbxDimSize = new QComboBox(this);
  cbxDimSize->setObjectName(QStringLiteral("cbxDimSize"));
  cbxDimSize->setEditable(true);
  cbxDimSize->setInsertPolicy(QComboBox::NoInsert);
  cbxDimSize->setCompleter(nullptr);
  FillSizeItems(cbxDimSize);
  cbxDimSize->setEditText(QString::fromLatin1(kDefault));
  cbxDimSize->setEnabled(false);
  cbxDimSize->setGeometry(16, 90, 150, 24);
  cbxDimSize->lineEdit()->setContextMenuPolicy(Qt::NoContextMenu); // no pasting past the key rules
  cbxDimSize->lineEdit()->setAcceptDrops(false);
  NewCaption(this, "lblDimSize", "LUT dimension size", cbxDimSize, 16, 70);

  cbxBits = new QComboBox(this);
  cbxBits->setObjectName(QStringLiteral("cbxBits"));
  for (const char *item : {"Default", "8 bit", "10 bit", "12 bit", "14 bit", "16 bit"})
    cbxBits->addItem(QString::fromLatin1(item));
  cbxBits->setEnabled(false);
  cbxBits->setGeometry(190, 90, 150, 24);
  NewCaption(this, "lblBits", "Bits per color", cbxBits, 190, 70);
}

// The read-only file field and the button that chooses the file.
void TfrmSaveLut::BuildFileControls() {
  edtLUTFile = new QLineEdit(this);
  edtLUTFile->setObjectName(QStringLiteral("edtLUTFile"));
  edtLUTFile->setReadOnly(true);
  edtLUTFile->setFocusPolicy(Qt::NoFocus);
  QPalette pal = edtLUTFile->palette();
  pal.setColor(QPalette::Base, pal.color(QPalette::Button));
  edtLUTFile->setPalette(pal);
  edtLUTFile->setEnabled(false);
  edtLUTFile->setGeometry(16, 146, 432, 24);
  NewCaption(this, "lblLUTFile", "Output LUT File", edtLUTFile, 16, 126);

  btnSetLUTFile = new QPushButton(QStringLiteral("..."), this);
  btnSetLUTFile->setObjectName(QStringLiteral("btnSetLUTFile"));
  btnSetLUTFile->setToolTip(QStringLiteral("Select the destination LUT file name"));
  btnSetLUTFile->setToolTipDuration(10000);
  btnSetLUTFile->setEnabled(false);
  btnSetLUTFile->setAutoDefault(false);
  btnSetLUTFile->setGeometry(452, 146, 28, 24);
}

void TfrmSaveLut::BuildButtons() {
  btnSave = new QPushButton(QStringLiteral("Save"), this);
  btnSave->setObjectName(QStringLiteral("btnSave"));
  btnSave->setDefault(true);
  btnSave->setEnabled(false);
  btnSave->setGeometry(300, 200, 85, 28);

  btnCancel = new QPushButton(QStringLiteral("Cancel"), this);
  btnCancel->setObjectName(QStringLiteral("btnCancel"));
  btnCancel->setAutoDefault(false);
  btnCancel->setGeometry(395, 200, 85, 28);
}

// Every profile whose format writes a lattice, in table order, with nothing selected.
void TfrmSaveLut::FillProfiles() {
  InitLutFormats();
  for (int i = 0; i < LutOutputProfileCount(); ++i) {
    const TLutOutputProfile &profile = GetLutOutputProfile(i);
    const TLUTFormat *format = GetLutFormat(profile.FormatIndex);
    if (format && format->Is3D)
      cbxOutFormat->addItem(QString::fromStdString(profile.Name), i);
  }
  cbxOutFormat->setCurrentIndex(-1);
}

void TfrmSaveLut::ConnectHandlers() {
  connect(cbxOutFormat, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0)
      cbxOutFormatChange();
  });
  connect(btnSetLUTFile, &QPushButton::clicked, this, [this] { btnSetLUTFileClick(); });
  connect(btnSave, &QPushButton::clicked, this, [this] { btnSaveClick(); });
  connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

  // The form sees the keys of every control first.
  for (QWidget *child : findChildren<QWidget *>())
    child->installEventFilter(this);
}

const TLutOutputProfile &TfrmSaveLut::CurrentProfile() const {
  return GetLutOutputProfile(cbxOutFormat->currentData().toInt());
}

void TfrmSaveLut::cbxOutFormatChange() {
  const TLutOutputProfile &profile = CurrentProfile();
  cbxDimSize->setEnabled(profile.SizeSelectable);
  if (profile.SizeSelectable)
    FillSizeItems(cbxDimSize);
  cbxDimSize->setEditText(QString::fromLatin1(kDefault));
  cbxBits->setEnabled(profile.BitsSelectable);
  cbxBits->setCurrentIndex(0);
  edtLUTFile->setEnabled(true);
  btnSetLUTFile->setEnabled(true);
  if (!edtLUTFile->text().isEmpty())
    edtLUTFile->setText(ReplaceFileExtension(edtLUTFile->text(), QString::fromStdString(profile.Extension)));
}

void TfrmSaveLut::btnSetLUTFileClick() {
  const TLutOutputProfile &profile = CurrentProfile();
  const QString extension = QString::fromStdString(profile.Extension);
  const QString filter = QString::fromStdString(profile.Name) + QStringLiteral(" (*.") + extension + QLatin1Char(')');
  QString file;
  if (SaveFileChooser) {
    file = SaveFileChooser(LastLutFolder, extension, filter);
  } else {
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("svdSetLUTFile"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!LastLutFolder.isEmpty())
      dialog.setDirectory(LastLutFolder);
    dialog.setDefaultSuffix(extension);
    dialog.setNameFilter(filter);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
      file = dialog.selectedFiles().constFirst();
  }
  if (file.isEmpty())
    return;
  file = QDir::toNativeSeparators(QFileInfo(file).absoluteFilePath());
  edtLUTFile->setText(file);
  LastLutFolder = QDir::toNativeSeparators(QFileInfo(file).absolutePath());
  btnSave->setEnabled(true);
}

void TfrmSaveLut::btnSaveClick() {
  if (!btnSave->isEnabled() || cbxOutFormat->currentIndex() < 0 || !SourceLut)
    return;
  TLutOutputChoice choice =
      DefaultOutputChoice(cbxOutFormat->currentData().toInt(), edtLUTFile->text().toStdString());
  const QString typed = cbxDimSize->currentText();
  if (cbxDimSize->isEnabled() && !typed.isEmpty() && typed != QLatin1String(kDefault)) {
    bool ok = false;
    choice.Size = typed.toInt(&ok);
    const int maxSize = MaxOutputSize(CurrentProfile());
    if (!ok || choice.Size < 2 || choice.Size > maxSize) {
      QMessageBox::warning(this, ProductName(),
                           QStringLiteral("The LUT dimension size must be a number from 2 to %1.").arg(maxSize));
      cbxDimSize->setFocus();
      return;
    }
  }
  if (const int bitsIndex = cbxBits->currentIndex(); bitsIndex > 0)
    choice.Bits = kBitsValues[bitsIndex - 1];

  QString message;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  try {
    WriteLutThroughProfile(*SourceLut, choice);
  } catch (const std::bad_alloc &) {
    message = QStringLiteral("There is not enough memory for this operation.");
  } catch (const std::exception &e) {
    message = QString::fromUtf8(e.what());
  } catch (...) {
    message = QStringLiteral("The LUT file could not be written.");
  }
  QApplication::restoreOverrideCursor();
  if (!message.isEmpty()) {
    QMessageBox::critical(this, ProductName(), message); // the choices stay for another try
    return;
  }
  accept();
}

bool TfrmSaveLut::DimSizeKeyPress(QKeyEvent *event) {
  QLineEdit *edit = cbxDimSize->lineEdit();
  const QString defaultText = QString::fromLatin1(kDefault);
  switch (event->key()) {
  case Qt::Key_Return:
  case Qt::Key_Enter:
  case Qt::Key_Escape:
  case Qt::Key_Tab:
  case Qt::Key_Backtab:
    return false; // the dialog's own keys
  case Qt::Key_Delete:
    if (edit->text() == defaultText)
      edit->clear();
    return false;
  default:
    break;
  }
  if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut) ||
      event->matches(QKeySequence::Copy))
    return true;
  const QString text = event->text();
  if (text.isEmpty())
    return false; // arrows, Home, End: no character
  if (edit->text() == defaultText)
    edit->clear();
  if (event->key() == Qt::Key_Backspace)
    return false;
  const bool digit = text.size() == 1 && text[0] >= QLatin1Char('0') && text[0] <= QLatin1Char('9');
  if (digit && edit->text().size() < 5)
    return false;
  return true;
}

bool TfrmSaveLut::eventFilter(QObject *watched, QEvent *event) {
  if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride) {
    auto *key = static_cast<QKeyEvent *>(event);
    if (key->key() == Qt::Key_Alt)
      return true;
    if (event->type() == QEvent::KeyPress && (watched == cbxDimSize || watched == cbxDimSize->lineEdit()))
      return DimSizeKeyPress(key);
  }
  return QDialog::eventFilter(watched, event);
}

void ShowSaveLutDialog(const TLUT &lut, QWidget *owner) {
  auto dialog = std::make_unique<TfrmSaveLut>(owner);
  dialog->SourceLut = &lut;
  if (owner)
    dialog->move(owner->geometry().center() - dialog->rect().center());
  dialog->exec();
}

} // namespace tintwise
