// Tintwise: match the colours of a source frame to a reference frame and export the correction as a
// 3D LUT.
//
//   tintwise [--reference FILE] [--source FILE] [SOURCE [REFERENCE]]
//
// The options open the pictures as Open Reference Image and Open Source Image would; pictures
// named without an option (as a file manager passes them) are the source, then the reference.
#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>
#include <cstdlib>

#include "app/About.h"
#include "app/MainForm.h"
#include "app/TipsForm.h"
#include "formats/LutFormat.h"

namespace {

struct TCommandLine {
  QCommandLineParser Parser;
  QCommandLineOption Reference{QStringLiteral("reference"), QStringLiteral("Open FILE as the reference image."),
                               QStringLiteral("FILE")};
  QCommandLineOption Source{QStringLiteral("source"), QStringLiteral("Open FILE as the source image."),
                            QStringLiteral("FILE")};
  QCommandLineOption Version{QStringLiteral("version"), QStringLiteral("Print the product name and version.")};
  QCommandLineOption Help;

  TCommandLine() : Help(Parser.addHelpOption()) {
    Parser.setApplicationDescription(QStringLiteral("Match the colours of a source frame to a reference frame."));
    Parser.addOption(Reference);
    Parser.addOption(Source);
    Parser.addOption(Version);
    Parser.addPositionalArgument(QStringLiteral("SOURCE"), QStringLiteral("Open this picture as the source image."),
                                 QStringLiteral("[SOURCE"));
    Parser.addPositionalArgument(QStringLiteral("REFERENCE"), QStringLiteral("Open this picture as the reference image."),
                                 QStringLiteral("[REFERENCE]]"));
  }
};

void NameApplication() {
  QCoreApplication::setOrganizationName(QString::fromLatin1(tintwise::kSettingsOrganization));
  QCoreApplication::setApplicationName(QString::fromLatin1(tintwise::kSettingsApplication));
  QCoreApplication::setApplicationVersion(QString::fromStdString(tintwise::ProductInfo().Version));
}

} // namespace

int main(int argc, char **argv) {
  using namespace tintwise;
  {
    // --help and --version answer without a window system. The window system's own options are
    // unknown here; they are left for QApplication.
    QCoreApplication core(argc, argv);
    NameApplication();
    TCommandLine line;
    line.Parser.parse(QCoreApplication::arguments());
    if (line.Parser.isSet(line.Help))
      line.Parser.showHelp(0);
    if (line.Parser.isSet(line.Version)) {
      std::printf("%s %s\n", ProductInfo().ProductName.c_str(), ProductInfo().Version.c_str());
      return 0;
    }
  }

  QApplication app(argc, argv);
  NameApplication();
  QApplication::setApplicationDisplayName(ProductName());
  QApplication::setWindowIcon(AppIcon());
  TCommandLine line;
  line.Parser.process(app);
  const QStringList pictures = line.Parser.positionalArguments();
  if (pictures.size() > 2)
    line.Parser.showHelp(2);
  QString referenceFile = line.Parser.value(line.Reference), sourceFile = line.Parser.value(line.Source);
  if (pictures.size() > 0 && sourceFile.isEmpty())
    sourceFile = pictures[0];
  if (pictures.size() > 1 && referenceFile.isEmpty())
    referenceFile = pictures[1];

  InitLutFormats();
  int result = 0;
  {
    TfrmMain frmMain;
    TfrmTips frmTips(&frmMain);
    frmMain.showMaximized();
    if (!referenceFile.isEmpty())
      frmMain.LoadReferenceFile(referenceFile);
    if (!sourceFile.isEmpty())
      frmMain.LoadSourceFile(sourceFile);
    result = QApplication::exec();
  }
  DoneLutFormats();
  if (TfrmMain::RunningLoads() > 0) {
    // A picture still decoding when the window closed must not meet the libraries being unloaded.
    std::fflush(nullptr);
    std::quick_exit(result);
  }
  return result;
}
