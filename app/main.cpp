// Tintwise: match the colours of a source frame to a reference frame and export the correction as a
// 3D LUT.
//
//   tintwise [--reference FILE] [--source FILE]
//
// The options open the pictures as Open Reference Image and Open Source Image would.
#include <QApplication>
#include <QCommandLineParser>

#include "app/About.h"
#include "app/MainForm.h"
#include "app/TipsForm.h"
#include "formats/LutFormat.h"

int main(int argc, char **argv) {
  using namespace tintwise;
  QApplication app(argc, argv);
  QApplication::setOrganizationName(QString::fromLatin1(kSettingsOrganization));
  QApplication::setApplicationName(QString::fromLatin1(kSettingsApplication));
  QApplication::setApplicationVersion(QString::fromStdString(ProductInfo().Version));
  QApplication::setApplicationDisplayName(ProductName());
  QApplication::setWindowIcon(AppIcon());

  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Match the colours of a source frame to a reference frame."));
  parser.addHelpOption();
  const QCommandLineOption referenceOption(QStringLiteral("reference"), QStringLiteral("Open FILE as the reference image."),
                                           QStringLiteral("FILE"));
  const QCommandLineOption sourceOption(QStringLiteral("source"), QStringLiteral("Open FILE as the source image."),
                                        QStringLiteral("FILE"));
  parser.addOption(referenceOption);
  parser.addOption(sourceOption);
  parser.process(app);

  InitLutFormats();
  int result = 0;
  {
    TfrmMain frmMain;
    TfrmTips frmTips(&frmMain);
    frmMain.showMaximized();
    if (parser.isSet(referenceOption))
      frmMain.LoadReferenceFile(parser.value(referenceOption));
    if (parser.isSet(sourceOption))
      frmMain.LoadSourceFile(parser.value(sourceOption));
    result = QApplication::exec();
  }
  DoneLutFormats();
  return result;
}
