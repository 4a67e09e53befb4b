#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include "AppTestSupport.h"
#include "app/LutSaveForm.h"
#include "engine/Lut.h"
#include "formats/LutFormat.h"

namespace tintwise {
namespace {

using test::CatchMessageBox;

QStringList Items(const QComboBox *combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i)
    items << combo->itemText(i);
  return items;
}

struct TSaveLutFixture : ::testing::Test {
  QTemporaryDir dir;
  std::unique_ptr<TLUT> lut = std::make_unique<TLUT>();
  TfrmSaveLut form;
  QString answer; // what the save-file dialog answers
  QStringList folders; // the initial folders it was opened with

  TSaveLutFixture() {
    lut->Mode = kMode3D;
    lut->Size3D = 33;
    for (int r = 0; r < 33; ++r)
      for (int g = 0; g < 33; ++g)
        for (int b = 0; b < 33; ++b)
          lut->Lattice[r][g][b] = {r / 32.0 * 0.9, g / 32.0, 1 - b / 32.0};
    form.SourceLut = lut.get();
    TfrmSaveLut::LastLutFolder.clear();
    TfrmSaveLut::SaveFileChooser = [this](const QString &folder, const QString &, const QString &) {
      folders << folder;
      return answer;
    };
    form.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&form));
  }
  ~TSaveLutFixture() override { TfrmSaveLut::SaveFileChooser = nullptr; }

  void Choose(const char *profile) {
    const int index = form.cbxOutFormat->findText(QString::fromLatin1(profile));
    ASSERT_GE(index, 0) << profile;
    form.cbxOutFormat->setCurrentIndex(index);
  }
  void ChooseFile(const QString &file) {
    answer = file;
    QTest::mouseClick(form.btnSetLUTFile, Qt::LeftButton);
  }
  QString Type(const QString &keys) {
    form.cbxDimSize->setFocus();
    QTest::keyClicks(form.cbxDimSize, keys);
    return form.cbxDimSize->currentText();
  }
};

TEST_F(TSaveLutFixture, ListsTheLatticeProfilesInTableOrder) {
  EXPECT_EQ(form.windowTitle(), QStringLiteral("Save LUT file"));
  QStringList expected;
  for (int i = 0; i < LutOutputProfileCount(); ++i)
    if (GetLutFormat(GetLutOutputProfile(i).FormatIndex)->Is3D)
      expected << QString::fromStdString(GetLutOutputProfile(i).Name);
  const QStringList items = Items(form.cbxOutFormat);
  EXPECT_EQ(items, expected);
  ASSERT_EQ(items.size(), 19);
  EXPECT_EQ(items.first(), QStringLiteral("3DL Scratch, Autodesk, Blackmagic, Cine-tal"));
  EXPECT_EQ(items.last(), QStringLiteral("Technicolor 3D mga"));
  EXPECT_FALSE(items.contains(QStringLiteral("Cube 1D")));

  // Nothing but the list and Cancel works before a profile is chosen.
  EXPECT_EQ(form.cbxOutFormat->currentIndex(), -1);
  for (QWidget *w : {static_cast<QWidget *>(form.cbxDimSize), static_cast<QWidget *>(form.cbxBits),
                     static_cast<QWidget *>(form.edtLUTFile), static_cast<QWidget *>(form.btnSetLUTFile),
                     static_cast<QWidget *>(form.btnSave)})
    EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
  EXPECT_TRUE(form.btnCancel->isEnabled());
  EXPECT_EQ(form.cbxBits->currentText(), QStringLiteral("Default"));
  EXPECT_EQ(Items(form.cbxBits), (QStringList{"Default", "8 bit", "10 bit", "12 bit", "14 bit", "16 bit"}));
}

TEST_F(TSaveLutFixture, SizeCanBeChosenOnlyWhereTheProfileAllows) {
  Choose("Cube 3D Iridas, Nuke, AfterEffects");
  EXPECT_FALSE(form.cbxDimSize->isEnabled());
  EXPECT_EQ(form.cbxDimSize->currentText(), QStringLiteral("Default"));
  EXPECT_FALSE(form.cbxBits->isEnabled());
  EXPECT_TRUE(form.btnSetLUTFile->isEnabled());
  EXPECT_FALSE(form.btnSave->isEnabled());

  Choose("Cube 3D Davinci");
  EXPECT_TRUE(form.cbxDimSize->isEnabled());
  EXPECT_EQ(Items(form.cbxDimSize), (QStringList{"Default", "17", "32", "33", "64"}));
  EXPECT_EQ(form.cbxDimSize->currentText(), QStringLiteral("Default"));

  struct TCase {
    const char *keys;
    const char *result;
  } cases[] = {
      {"123456", "12345"}, // a sixth digit is refused
      {"1a-", "1"},       // letters and signs are refused
      {"x", ""},          // any character first clears "Default"
  };
  for (const TCase &c : cases) {
    form.cbxDimSize->setEditText(QStringLiteral("Default"));
    EXPECT_EQ(Type(QString::fromLatin1(c.keys)), QString::fromLatin1(c.result)) << c.keys;
  }
  form.cbxDimSize->setEditText(QStringLiteral("Default"));
  QTest::keyClick(form.cbxDimSize, Qt::Key_Delete);
  EXPECT_EQ(form.cbxDimSize->currentText(), QString());
  Type(QStringLiteral("42"));
  QTest::keyClick(form.cbxDimSize, Qt::Key_Backspace);
  EXPECT_EQ(form.cbxDimSize->currentText(), QStringLiteral("4"));
  QApplication::clipboard()->setText(QStringLiteral("99"));
  QTest::keyClick(form.cbxDimSize, Qt::Key_V, Qt::ControlModifier);
  EXPECT_EQ(form.cbxDimSize->currentText(), QStringLiteral("4"));
  // Items can always be picked, and a new profile brings "Default" back.
  form.cbxDimSize->setCurrentIndex(3);
  EXPECT_EQ(form.cbxDimSize->currentText(), QStringLiteral("33"));
  Choose("Nucoda 3D");
  EXPECT_EQ(form.cbxDimSize->currentText(), QStringLiteral("Default"));
}

TEST_F(TSaveLutFixture, ExtensionFollowsTheProfile) {
  struct TCase {
    const char *name, *extension, *result;
  } cases[] = {
      {"/data/a.cube", "cms", "/data/a.cms"},
      {"/data/look", "cube", "/data/look.cube"},
      {"/data/v1.2/look", "3dl", "/data/v1.2/look.3dl"}, // a dot in a folder is not an extension
      {"C:\\luts.old\\grade.txt", "mga", "C:\\luts.old\\grade.mga"},
      {"/data/a.b.c", "dat", "/data/a.b.dat"},
  };
  for (const TCase &c : cases)
    EXPECT_EQ(ReplaceFileExtension(QString::fromLatin1(c.name), QString::fromLatin1(c.extension)),
              QString::fromLatin1(c.result));

  Choose("Cube 3D Iridas, Nuke, AfterEffects");
  ChooseFile(QString()); // cancelled before any file was chosen
  EXPECT_FALSE(form.btnSave->isEnabled());
  EXPECT_TRUE(form.edtLUTFile->text().isEmpty());
  ChooseFile(dir.filePath(QStringLiteral("a.cube")));
  EXPECT_TRUE(form.btnSave->isEnabled());
  Choose("Nucoda 3D");
  EXPECT_EQ(QFileInfo(form.edtLUTFile->text()).fileName(), QStringLiteral("a.cms"));
  EXPECT_EQ(QFileInfo(form.edtLUTFile->text()).absolutePath(), QFileInfo(dir.path()).absoluteFilePath());
  EXPECT_TRUE(form.btnSave->isEnabled());
  ChooseFile(QString()); // cancelled later: the choice stays
  EXPECT_TRUE(form.btnSave->isEnabled());
  EXPECT_EQ(QFileInfo(form.edtLUTFile->text()).fileName(), QStringLiteral("a.cms"));
  EXPECT_EQ(folders.last(), QDir::toNativeSeparators(QFileInfo(dir.path()).absoluteFilePath()));

  // The next dialog starts afresh but opens the file dialog in the same folder.
  QTest::mouseClick(form.btnCancel, Qt::LeftButton);
  EXPECT_EQ(form.result(), QDialog::Rejected);
  TfrmSaveLut again;
  again.show();
  EXPECT_EQ(again.cbxOutFormat->currentIndex(), -1);
  again.cbxOutFormat->setCurrentIndex(0);
  QTest::mouseClick(again.btnSetLUTFile, Qt::LeftButton);
  EXPECT_EQ(folders.last(), QDir::toNativeSeparators(QFileInfo(dir.path()).absoluteFilePath()));
  EXPECT_TRUE(again.edtLUTFile->text().isEmpty());
}

TEST_F(TSaveLutFixture, SavesAtTheChosenSizeAndCloses) {
  Choose("Cube 3D Davinci");
  const QString file = dir.filePath(QStringLiteral("grade.cube"));
  ChooseFile(file);
  form.cbxDimSize->setEditText(QStringLiteral("Default"));
  Type(QStringLiteral("17"));
  QTest::mouseClick(form.btnSave, Qt::LeftButton);
  EXPECT_EQ(form.result(), QDialog::Accepted);
  EXPECT_FALSE(form.isVisible());

  auto sized = std::make_unique<TLUT>();
  sized->Mode = kMode3D;
  sized->Size3D = 17;
  sized->AssignFrom(*lut);
  const QString expected = dir.filePath(QStringLiteral("expected.cube"));
  GetLutFormat(1)->SaveToFile(expected.toStdString(), *sized, 0);
  QFile a(file), b(expected);
  ASSERT_TRUE(a.open(QIODevice::ReadOnly));
  ASSERT_TRUE(b.open(QIODevice::ReadOnly));
  const QByteArray bytes = a.readAll();
  EXPECT_TRUE(bytes.contains("LUT_3D_SIZE 17"));
  EXPECT_EQ(bytes, b.readAll());
}

TEST_F(TSaveLutFixture, RefusesSizesOutsideTheLattice) {
  Choose("Nucoda 3D");
  const QString file = dir.filePath(QStringLiteral("x.cms"));
  ChooseFile(file);
  for (const char *size : {"1", "0", "102", "99999"}) {
    form.cbxDimSize->setEditText(QString());
    Type(QString::fromLatin1(size));
    const test::TMessage message = CatchMessageBox([&] { QTest::mouseClick(form.btnSave, Qt::LeftButton); });
    EXPECT_TRUE(message.Shown) << size;
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(QFile::exists(file)) << size;
  }
  // Empty counts as "Default".
  form.cbxDimSize->setEditText(QString());
  QTest::mouseClick(form.btnSave, Qt::LeftButton);
  EXPECT_TRUE(QFile::exists(file));
  EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST_F(TSaveLutFixture, WriteErrorKeepsTheDialogOpen) {
  Choose("3DL Fusion");
  ChooseFile(dir.filePath(QStringLiteral("no/such/folder/look.3dl")));
  const test::TMessage message = CatchMessageBox([&] { QTest::mouseClick(form.btnSave, Qt::LeftButton); });
  EXPECT_TRUE(message.Shown);
  EXPECT_EQ(message.Title, QStringLiteral("Oxel Tintwise"));
  EXPECT_TRUE(form.isVisible());
  EXPECT_EQ(form.cbxOutFormat->currentText(), QStringLiteral("3DL Fusion"));
  EXPECT_TRUE(form.btnSave->isEnabled());
  EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace tintwise
