// tintwise-cli scopes and match --report, read back as another program would: PNG pictures and JSON.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/cli/CliTestSupport.h"

using namespace tintwise::test;

namespace {

using ScopesCli = TCliFixture;

QJsonArray Areas(const TRun &r) { return QJsonDocument::fromJson(r.Out.toUtf8()).object()["areas"].toArray(); }

} // namespace

TEST_F(ScopesCli, WritesTheScopesAndReportsAtTheSizeStandardAndRegionsAsked) {
  // A full red bar beside a full blue one. Red is Cb -0.1687, Cr 0.5 in Rec. 601 (the default):
  // x = 128 - 0.45 * 256 * 0.3374 = 89; Rec. 709 moves it to Cb -0.1146: x = 101.
  QImage bars(100, 40, QImage::Format_RGB888);
  bars.fill(Qt::blue);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 50; ++x)
      bars.setPixelColor(x, y, Qt::red);
  ASSERT_TRUE(bars.save(Path("bars.bmp")));
  for (const auto &[standard, redX] : {std::pair{"", 89}, std::pair{"709", 101}}) {
    QStringList args = {"scopes", Path("bars.bmp"), "--output-dir", Dir.path(), "--size", "256", "--overwrite"};
    const TRun r = Cli(*standard ? args << "--standard" << standard : args);
    ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
    for (const auto &[name, size] : {std::pair{"waveform", QSize(256, 128)}, {"parade", QSize(384, 128)},
                                     {"histogram", QSize(256, 256)}, {"vectorscope", QSize(256, 256)}})
      EXPECT_EQ(QImage(Path(name) + ".png").size(), size) << name;
    const QImage vectorscope(Path("vectorscope.png"));
    EXPECT_GT(qGreen(vectorscope.pixel(redX, 12)), qRed(vectorscope.pixel(redX, 12)) + 10) << standard;
  }
  // The logarithmic histogram lifts the rare codes of a photograph.
  ASSERT_EQ(Cli({"scopes", kSource, "--output-dir", Dir.path(), "--overwrite"}).Code, 0);
  const QByteArray linear = Bytes(Path("histogram.png"));
  ASSERT_EQ(Cli({"scopes", kSource, "--output-dir", Dir.path(), "--overwrite", "--log-histogram"}).Code, 0);
  EXPECT_NE(Bytes(Path("histogram.png")), linear);

  // Reports measure the regions asked; the sample fits as it is (600 x 400).
  const QJsonArray areas = Areas(Cli({"scopes", kSource, "--report", "-", "--region", "10,20,30,40"}));
  ASSERT_EQ(areas.size(), 2);
  EXPECT_EQ(areas[0].toObject()["picture"].toObject()["pixels"].toInteger(), 240000);
  EXPECT_EQ(areas[1].toObject()["picture"].toObject()["pixels"].toInteger(), 1200);

  const QJsonArray matched = Areas(Cli({"match", "--reference", kReference, "--source", kSource, "--profile", "0",
                                        "--output", Path("m.cube"), "--report", "-", "--source-region",
                                        "100,100,200,150", "--secondary", "ref=10,10,50,50 src=20,20,60,60"}));
  ASSERT_EQ(matched.size(), 3);
  EXPECT_EQ(matched[1].toObject()["name"].toString(), QStringLiteral("matched regions"));
  EXPECT_EQ(matched[1].toObject()["source"].toObject()["pixels"].toInteger(), 200 * 150);
  EXPECT_EQ(matched[2].toObject()["source"].toObject()["region"].toArray(), (QJsonArray{20, 20, 60, 60}));
  for (const auto &area : matched) {
    const QJsonObject deltaE = area.toObject()["delta_e_2000"].toObject();
    EXPECT_LT(deltaE["after"].toDouble(), deltaE["before"].toDouble()) << area.toObject()["name"].toString().toStdString();
  }
}
