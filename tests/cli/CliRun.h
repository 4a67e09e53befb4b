// tintwise-cli run as a user runs it: the built binary, its exit code and what it printed.
#pragma once

#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace tintwise::test {

struct TRun {
  int Code = -1;
  QString Out, Err;
};

inline TRun Cli(const QStringList &args) {
  QProcess p;
  p.start(TINTWISE_CLI, args);
  p.waitForFinished(120000);
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
          QString::fromUtf8(p.readAllStandardError())};
}

inline QByteArray Bytes(const QString &file) {
  QFile f(file);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace tintwise::test
