#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include "AppTestSupport.h"
#include "app/LutSaveForm.h"
#include "engine/Lut.h"

namespace tintwise {
namespace {

QStringList Items(const QComboBox *combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i)
    items << combo->itemText(i);
  return items;
}

struct TSaveLutFixture : ::testing::Test {
  QTemporaryDir dir;
  const QString folder = QDir::toNativeSeparators(QFileInfo(dir.path()).absoluteFilePath());
  std::unique_ptr<TLUT> lut = std::make_unique<TLUT>();
  TfrmSaveLut form;
  QString answer;      // what the save-file dialog answers
  QStringList folders; // the initial folders it was opened with

  TSaveLutFixture() {
    lut->Mode = kMode3D;
    lut->Size3D = 33;
    form.SourceLut = lut.get();
    TfrmSaveLut::LastLutFolder.clear();
    TfrmSaveLut::SaveFileChooser = [this](const QString &start, const QString &, const QString &) {
      folders << start;
      return answer;
    };
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
  }
  ~TSaveLutFixture() override { TfrmSaveLut::SaveFileChooser = nullptr; }

  void Choose(const char *profile) {
    form.cbxOutFormat->setCurrentIndex(form.cbxOutFormat->findText(QString::fromLatin1(profile)));
    ASSERT_EQ(form.cbxOutFormat->currentText(), QString::fromLatin1(profile));
  }
  void ChooseFile(const QString &file) {
    answer = file;
    QTest::mouseClick(form.btnSetLUTFile, Qt::LeftButton);
  }
  QString Type(const QString &keys, const QString &start = QStringLiteral("Default")) {
    form.cbxDimSize->setEditText(start);
    form.cbxDimSize->setFocus();
    QTest::keyClicks(form.cbxDimSize, keys);
    return form.cbxDimSize->currentText();
  }
  test::TMessage Save() {
    return test::CatchMessageBox([&] { QTest::mouseClick(form.btnSave, Qt::LeftButton); });
  }
};

TEST_F(TSaveLutFixture, ListsTheLatticeProfilesAndSizeCanBeTypedOnlyWhereTheProfileAllows) {
  // The 19 lattice profiles, from the first of the table to the last; no curve profile.
  const QStringList items = Items(form.cbxOutFormat);
  ASSERT_EQ(items.size(), 19);
  EXPECT_EQ(items.first(), QStringLiteral("3DL Scratch, Autodesk, Blackmagic, Cine-tal"));
  EXPECT_EQ(items.last(), QStringLiteral("Technicolor 3D mga"));
  EXPECT_FALSE(items.contains(QStringLiteral("Autodesk Lustre 1D")) || items.contains(QStringLiteral("Cube 1D")));

  // Nothing but the list and Cancel works before a profile is chosen.
  EXPECT_EQ(form.cbxOutFormat->currentIndex(), -1);
  for (QWidget *w : std::initializer_list<QWidget *>{form.cbxDimSize, form.cbxBits, form.edtLUTFile,
                                                     form.btnSetLUTFile, form.btnSave})
    EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
  EXPECT_TRUE(form.btnCancel->isEnabled());

  Choose("Cube 3D Iridas, Nuke, AfterEffects");
  EXPECT_FALSE(form.cbxDimSize->isEnabled() || form.cbxBits->isEnabled() || form.btnSave->isEnabled());
  EXPECT_TRUE(form.btnSetLUTFile->isEnabled());
  Choose("Cube 3D Davinci");
  EXPECT_TRUE(form.cbxDimSize->isEnabled());
  EXPECT_EQ(Items(form.cbxDimSize), (QStringList{"Default", "17", "32", "33", "64"}));
  EXPECT_EQ(form.cbxDimSize->currentText(), QStringLiteral("Default"));

  EXPECT_EQ(Type(QStringLiteral("123456")), QStringLiteral("12345")); // a sixth digit is refused
  EXPECT_EQ(Type(QStringLiteral("1a-")), QStringLiteral("1"));        // letters and signs are refused
  EXPECT_EQ(Type(QStringLiteral("x")), QString());                    // any character first clears "Default"
  Type({});
  QTest::keyClick(form.cbxDimSize, Qt::Key_Delete); // so does Delete
  EXPECT_EQ(form.cbxDimSize->currentText(), QString());
  Type(QStringLiteral("42"));
  QTest::keyClick(form.cbxDimSize, Qt::Key_Backspace);
  EXPECT_EQ(form.cbxDimSize->currentText(), QStringLiteral("4"));
  QApplication::clipboard()->setText(QStringLiteral("99"));
  QTest::keyClick(form.cbxDimSize, Qt::Key_V, Qt::ControlModifier); // pasting is refused
  EXPECT_EQ(form.cbxDimSize->currentText(), QStringLiteral("4"));
  // Items can always be picked, and a new profile brings "Default" back.
  form.cbxDimSize->setCurrentIndex(3);
  EXPECT_EQ(form.cbxDimSize->currentText(), QStringLiteral("33"));
  Choose("Nucoda 3D");
  EXPECT_EQ(form.cbxDimSize->currentText(), QStringLiteral("Default"));
}

TEST_F(TSaveLutFixture, ExtensionFollowsTheProfileAndOnlySizesInsideTheLatticeAreSaved) {
  struct {
    const char *name, *extension, *result;
  } cases[] = {
      {"/data/a.cube", "cms", "/data/a.cms"},
      {"/data/look", "cube", "/data/look.cube"},
      {"/data/v1.2/look", "3dl", "/data/v1.2/look.3dl"}, // a dot in a folder is not an extension
      {"C:\\luts.old\\grade.txt", "mga", "C:\\luts.old\\grade.mga"},
      {"/data/a.b.c", "dat", "/data/a.b.dat"},
  };
  for (const auto &c : cases)
    EXPECT_EQ(ReplaceFileExtension(QString::fromLatin1(c.name), QString::fromLatin1(c.extension)),
              QString::fromLatin1(c.result));

  Choose("Cube 3D Iridas, Nuke, AfterEffects");
  ChooseFile(QString()); // cancelled before any file was chosen
  EXPECT_FALSE(form.btnSave->isEnabled());
  ChooseFile(dir.filePath(QStringLiteral("a.cube")));
  EXPECT_TRUE(form.btnSave->isEnabled());
  Choose("Nucoda 3D");
  EXPECT_EQ(form.edtLUTFile->text(), QDir(folder).filePath(QStringLiteral("a.cms")));
  ChooseFile(QString()); // cancelled later: the choice stays
  EXPECT_TRUE(form.btnSave->isEnabled());
  EXPECT_EQ(form.edtLUTFile->text(), QDir(folder).filePath(QStringLiteral("a.cms")));
  EXPECT_EQ(folders, (QStringList{"", "", folder}));

  // Only sizes inside the lattice are saved, and the dialog stays open on an error.
  Choose("Cube 3D Davinci");
  ChooseFile(dir.filePath(QStringLiteral("no/such/folder/look.cube")));
  EXPECT_EQ(Save().Title, QStringLiteral("Oxel Tintwise"));
  EXPECT_TRUE(form.isVisible() && form.btnSave->isEnabled());
  EXPECT_EQ(form.cbxOutFormat->currentText(), QStringLiteral("Cube 3D Davinci"));
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
  const QString file = dir.filePath(QStringLiteral("grade.cube"));
  ChooseFile(file);
  for (const char *size : {"1", "0", "102", "99999"}) {
    Type(QString::fromLatin1(size), QString());
    EXPECT_TRUE(Save().Shown) << size;
    EXPECT_TRUE(form.isVisible() && !QFile::exists(file)) << size;
  }
  Type({}, {}); // empty counts as "Default"
  QTest::mouseClick(form.btnSave, Qt::LeftButton);
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_FALSE(form.isVisible());
  EXPECT_TRUE(test::ReadAll(file).contains("LUT_3D_SIZE 33"));

  // The next dialog starts afresh but opens the file dialog in the same folder; Cancel rejects it.
  TfrmSaveLut again;
  EXPECT_TRUE(again.cbxOutFormat->currentIndex() == -1 && again.edtLUTFile->text().isEmpty());
  again.cbxOutFormat->setCurrentIndex(0);
  QTest::mouseClick(again.btnSetLUTFile, Qt::LeftButton);
  EXPECT_EQ(folders.last(), folder);
  QTest::mouseClick(again.btnCancel, Qt::LeftButton);
  EXPECT_EQ(again.result(), QDialog::Rejected);
}

} // namespace
} // namespace tintwise
