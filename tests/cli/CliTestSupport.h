// tintwise-cli run as a user runs it: the built binary, its exit code and what it printed, in a
// temporary folder for the files of each test.
#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "formats/LutFormat.h"

namespace tintwise::test {

struct TRun {
  int Code = -1;
  QString Out, Err;
};

// Runs tintwise-cli with a time limit; standard output goes to stdoutFile when one is named (its
// text is then not kept). A run over the limit gives code -2.
inline TRun Cli(const QStringList &args, const QString &stdoutFile = {}, int timeoutMs = 120000) {
  QProcess p;
  if (!stdoutFile.isEmpty())
    p.setStandardOutputFile(stdoutFile);
  p.start(TINTWISE_CLI, args);
  if (!p.waitForFinished(timeoutMs)) {
    p.kill();
    p.waitForFinished();
    return {-2, {}, "timed out"};
  }
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
          QString::fromUtf8(p.readAllStandardError())};
}

inline QByteArray Bytes(const QString &file) {
  QFile f(file);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline const QString kReference = TINTWISE_SOURCE_DIR "/samples/rocket.jpg"; // 640 x 427
inline const QString kSource = TINTWISE_SOURCE_DIR "/samples/coffee.png";    // 600 x 400

class TCliFixture : public ::testing::Test {
protected:
  static void SetUpTestSuite() { InitLutFormats(); }
  QTemporaryDir Dir;
  QString Path(const QString &name) const { return Dir.filePath(name); }
  QString WriteText(const QString &name, const QByteArray &text) const {
    QFile f(Path(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly)) << name.toStdString();
    f.write(text);
    return Path(name);
  }
  // A two-point lattice that gives every colour back.
  QString IdentityCube() const {
    return WriteText("id.cube", "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n");
  }
};

} // namespace tintwise::test
