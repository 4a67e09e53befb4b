// The Save LUT dialog: the user picks an output profile, a lattice size where the profile allows it
// and a file, and the working LUT is written through the profile's format.
#pragma once

#include <QDialog>

#include <functional>
#include <string>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tintwise {

class TLUT;
struct TLutOutputProfile;

class TfrmSaveLut : public QDialog {
  Q_OBJECT
public:
  explicit TfrmSaveLut(QWidget *owner = nullptr);

  // The LUT to be written; not owned.
  const TLUT *SourceLut = nullptr;

  // Replaces the save-file dialog (for tests): given the initial folder, the default extension and
  // the filter, answers the chosen file or an empty string when cancelled.
  static std::function<QString(const QString &folder, const QString &extension, const QString &filter)> SaveFileChooser;

  // The folder of the last file chosen in this dialog during this run.
  static QString LastLutFolder;

  // The profile of the selected output format; only while one is selected.
  const TLutOutputProfile &CurrentProfile() const;

  QComboBox *cbxOutFormat;
  QComboBox *cbxDimSize;
  QComboBox *cbxBits;
  QPushButton *btnSave;
  QPushButton *btnCancel;
  QLineEdit *edtLUTFile;
  QPushButton *btnSetLUTFile;

  void cbxOutFormatChange();
  void btnSetLUTFileClick();
  void btnSaveClick();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void BuildProfileControls();
  void BuildFileControls();
  void BuildButtons();
  void FillProfiles();
  void ConnectHandlers();
  bool DimSizeKeyPress(QKeyEvent *event);
};

// Replaces the text after the last "." of the file part of name with extension, or appends
// "." + extension when the file part has none.
QString ReplaceFileExtension(const QString &name, const QString &extension);

// Shows the dialog modally for lut, owned by owner; it is freed when it closes.
void ShowSaveLutDialog(const TLUT &lut, QWidget *owner = nullptr);

} // namespace tintwise
