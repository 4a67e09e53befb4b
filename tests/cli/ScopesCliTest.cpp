// tintwise-cli scopes and match --report, read back as another program would: PNG pictures at the
// positions the manual gives, and JSON.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include "engine/Bitmap24.h"
#include "engine/PrimaryCorrection.h"
#include "imaging/PictureLoader.h"

using namespace tintwise;

namespace {

struct TResult {
  int Code = -1;
  QByteArray Out;
  QString Err;
};

TResult RunCli(const QStringList &args) {
  QProcess p;
  p.start(TINTWISE_CLI, args);
  p.waitForFinished(120000);
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
          QString::fromUtf8(p.readAllStandardError())};
}

const QString kSamples = TINTWISE_SOURCE_DIR "/samples/";

QByteArray Bytes(const QString &file) {
  QFile f(file);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

TEST(ScopesCli, WritesTheFourScopesWithTheDocumentedGeometry) {
  const QTemporaryDir dir;
  // Full red and full blue bars over a black background, 100 x 40.
  QImage bars(100, 40, QImage::Format_RGB888);
  bars.fill(Qt::black);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 50; ++x) {
      bars.setPixelColor(x, y, QColor(255, 0, 0));
      bars.setPixelColor(x + 50, y, QColor(0, 0, 255));
    }
  ASSERT_TRUE(bars.save(dir.filePath("bars.bmp")));
  const TResult r = RunCli({"scopes", dir.filePath("bars.bmp"), "--output-dir", dir.path(), "--size", "256"});
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  const QImage waveform(dir.filePath("waveform.png")), parade(dir.filePath("parade.png")),
      vectorscope(dir.filePath("vectorscope.png")), histogram(dir.filePath("histogram.png"));
  EXPECT_EQ(waveform.size(), QSize(256, 128));
  EXPECT_EQ(parade.size(), QSize(384, 128));
  EXPECT_EQ(vectorscope.size(), QSize(256, 256));
  EXPECT_EQ(histogram.size(), QSize(256, 256));
  // Red: Cb -0.1687, Cr 0.5 -> (128 - 38.9, 128 - 115.2); blue: Cb 0.5, Cr -0.0813 -> (243.2, 146.7).
  auto lit = [&](int x, int y) { return qGreen(vectorscope.pixel(x, y)) > qRed(vectorscope.pixel(x, y)) + 10; };
  EXPECT_TRUE(lit(89, 12));
  EXPECT_TRUE(lit(243, 146));
  // Rec. 709 moves red to Cb -0.1146: x = 128 - 26.4.
  ASSERT_EQ(RunCli({"scopes", dir.filePath("bars.bmp"), "--output-dir", dir.path(), "--size", "256", "--standard", "709",
                    "--overwrite"})
                .Code,
            0);
  const QImage v709(dir.filePath("vectorscope.png"));
  EXPECT_GT(qGreen(v709.pixel(101, 12)), qRed(v709.pixel(101, 12)) + 10);
  // Waveform, 128 rows from 100 % on row 8 to 0 % on row 119: red's luma code 76 sits on row
  // round(119 - 76 / 255 * 111) = 86 in the left half, blue's code 29 on row 106 in the right half.
  EXPECT_GT(qGreen(waveform.pixel(60, 86)), 100);
  EXPECT_GT(qGreen(waveform.pixel(200, 106)), 100);
  EXPECT_LT(qGreen(waveform.pixel(200, 86)), 100);
}

TEST(ScopesCli, ReportsAreJsonWithTheEnginesNumbers) {
  const TResult r = RunCli({"scopes", kSamples + "coffee.png", "--report", "-", "--region", "10,20,30,40"});
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  const QJsonArray areas = QJsonDocument::fromJson(r.Out).object()["areas"].toArray();
  ASSERT_EQ(areas.size(), 2);
  TBitmap24 fitted;
  LoadImageFile((kSamples + "coffee.png").toStdString(), fitted); // 600 x 400: fits as it is
  double m[3], d[3];
  CalcChannelMeans(fitted, m[0], m[1], m[2]);
  CalcChannelDeviations(fitted, d[0], d[1], d[2]);
  const QJsonObject whole = areas[0].toObject()["picture"].toObject();
  EXPECT_EQ(whole["pixels"].toInteger(), 240000);
  EXPECT_EQ(whole["mean"].toObject()["Y"].toDouble(), m[0]); // shortest round-trip form: exact
  EXPECT_EQ(whole["mean"].toObject()["V"].toDouble(), m[2]);
  EXPECT_EQ(whole["deviation"].toObject()["U"].toDouble(), d[1]);
  const QJsonObject region = areas[1].toObject()["picture"].toObject();
  EXPECT_EQ(region["pixels"].toInteger(), 1200);
  EXPECT_EQ(region["region"].toArray(), (QJsonArray{10, 20, 30, 40}));

  const QTemporaryDir dir;
  const TResult match = RunCli({"match", "--reference", kSamples + "rocket.jpg", "--source", kSamples + "coffee.png",
                             "--profile", "0", "--output", dir.filePath("m.cube"), "--report", "-", "--source-region",
                             "100,100,200,150", "--secondary", "ref=10,10,50,50 src=20,20,60,60"});
  ASSERT_EQ(match.Code, 0) << match.Err.toStdString();
  const QJsonArray matched = QJsonDocument::fromJson(match.Out).object()["areas"].toArray();
  ASSERT_EQ(matched.size(), 3);
  EXPECT_EQ(matched[1].toObject()["name"].toString(), QStringLiteral("matched regions"));
  EXPECT_EQ(matched[2].toObject()["source"].toObject()["region"].toArray(), (QJsonArray{20, 20, 60, 60}));
  for (const auto &area : matched) {
    const QJsonObject deltaE = area.toObject()["delta_e_2000"].toObject();
    EXPECT_LT(deltaE["after"].toDouble(), deltaE["before"].toDouble()) << area.toObject()["name"].toString().toStdString();
  }
}

// The scope pictures and the report are checked as the other commands check their outputs: before
// anything is written, nothing over a file that exists without --overwrite, never over the picture.
TEST(ScopesCli, ChecksEveryOutputBeforeWritingAny) {
  const QTemporaryDir dir;
  const QString picture = dir.filePath("shot.png"), kept = dir.filePath("histogram.png");
  ASSERT_TRUE(QFile::copy(kSamples + "coffee.png", picture));
  const QByteArray pictureBytes = Bytes(picture), keptBytes = "not a histogram";
  {
    QFile f(kept);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(keptBytes);
  }
  const QString report = dir.filePath("shot.json");
  const QList<QStringList> refused = {
      {"scopes", picture, "--output-dir", dir.path(), "--report", report}, // histogram.png exists
      {"scopes", picture, "--report", picture, "--overwrite"},             // the picture measured
      {"scopes", picture, "--output-dir", dir.path(), "--report", dir.filePath("parade.png"), "--overwrite"},
  };
  for (const QStringList &args : refused) {
    const TResult r = RunCli(args);
    EXPECT_EQ(r.Code, 1) << args.join(' ').toStdString() << "\n" << r.Err.toStdString();
    EXPECT_EQ(r.Err.count('\n'), 1) << r.Err.toStdString();
    EXPECT_EQ(Bytes(picture), pictureBytes);
    EXPECT_EQ(Bytes(kept), keptBytes);
    for (const char *name : {"waveform.png", "parade.png", "vectorscope.png", "shot.json"})
      EXPECT_FALSE(QFile::exists(dir.filePath(name))) << name << " after " << args.join(' ').toStdString();
  }
  // A picture named like a scope, in the folder the scopes go to, is never written over.
  ASSERT_TRUE(QFile::copy(picture, dir.filePath("waveform.png")));
  const TResult self = RunCli({"scopes", dir.filePath("waveform.png"), "--output-dir", dir.path(), "--overwrite"});
  EXPECT_EQ(self.Code, 1) << self.Err.toStdString();
  EXPECT_TRUE(self.Err.contains("also read in this run")) << self.Err.toStdString();
  EXPECT_EQ(Bytes(dir.filePath("waveform.png")), pictureBytes);
  ASSERT_TRUE(QFile::remove(dir.filePath("waveform.png")));

  // With --overwrite the existing file is replaced; standard output needs nothing.
  const TResult done = RunCli({"scopes", picture, "--output-dir", dir.path(), "--report", report, "--overwrite"});
  ASSERT_EQ(done.Code, 0) << done.Err.toStdString();
  EXPECT_EQ(QImage(kept).size(), QSize(512, 512));
  EXPECT_FALSE(QJsonDocument::fromJson(Bytes(report)).isNull());
  // Written once, the scopes stand in the way of a second run without --overwrite.
  const QByteArray waveform = Bytes(dir.filePath("waveform.png"));
  const TResult again = RunCli({"scopes", picture, "--output-dir", dir.path(), "--region", "0,0,10,10"});
  EXPECT_EQ(again.Code, 1);
  EXPECT_TRUE(again.Err.contains("--overwrite")) << again.Err.toStdString();
  EXPECT_EQ(Bytes(dir.filePath("waveform.png")), waveform);
  EXPECT_EQ(RunCli({"scopes", picture, "--report", "-"}).Code, 0);
}

TEST(ScopesCli, RefusesBadUsage) {
  const QTemporaryDir dir;
  const QString picture = kSamples + "coffee.png";
  for (const QStringList &args :
       {QStringList{"scopes", picture}, QStringList{"scopes", picture, "--report", "-", "--standard", "2020"},
        QStringList{"scopes", picture, "--report", "-", "--size", "32"},
        QStringList{"scopes", picture, "--output-dir", dir.filePath("missing")},
        QStringList{"match", "--reference", picture, "--source", picture, "--profile", "0", "--output", "-",
                    "--report", "-"}}) {
    const TResult r = RunCli(args);
    EXPECT_EQ(r.Code, 2) << args.join(' ').toStdString();
    EXPECT_EQ(r.Err.count('\n'), 1) << r.Err.toStdString();
  }
}
