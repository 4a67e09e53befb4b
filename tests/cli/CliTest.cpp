// tintwise-cli run as a user runs it: the built binary, its exit codes and its output.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cstring>
#include <memory>
#include <unistd.h>

#include "engine/Bitmap24.h"
#include "engine/Lut.h"
#include "engine/PrimaryCorrection.h"
#include "engine/SecondaryCorrection.h"
#include "formats/LutFormat.h"
#include "imaging/ImageResize2.h"
#include "imaging/PictureLoader.h"

using namespace tintwise;

#include "tests/cli/CliRun.h"

namespace {

using tintwise::test::Bytes;
using tintwise::test::Cli;
using tintwise::test::TRun;

const QString kSamples = TINTWISE_SOURCE_DIR "/samples/";
const QString kReference = kSamples + "rocket.jpg"; // 640 x 427
const QString kSource = kSamples + "coffee.png";    // 600 x 400

// Runs with standard output sent to a file (e.g. /dev/full) and a time limit.
TRun CliTo(const QStringList &args, const QString &stdoutFile, int timeoutMs = 120000) {
  QProcess p;
  p.setStandardOutputFile(stdoutFile);
  p.start(TINTWISE_CLI, args);
  if (!p.waitForFinished(timeoutMs)) {
    p.kill();
    p.waitForFinished();
    return {-2, {}, "timed out"};
  }
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, {}, QString::fromUtf8(p.readAllStandardError())};
}

void WriteText(const QString &file, const QByteArray &text) {
  QFile f(file);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(text);
}

TBitmap24 Fitted(const QString &file) {
  TBitmap24 bmp;
  LoadImageFile(file.toStdString(), bmp);
  return bmp;
}

// The region of a fitted picture that covers the given region of the picture on disk.
TBitmap24 Cut(const TBitmap24 &fitted, int width, int height, int x, int y, int w, int h) {
  const int x0 = x * fitted.Width() / width, y0 = y * fitted.Height() / height;
  const int x1 = ((x + w) * fitted.Width() + width - 1) / width, y1 = ((y + h) * fitted.Height() + height - 1) / height;
  return fitted.Crop(x0, y0, x1 - x0, y1 - y0);
}

class Cli_ : public ::testing::Test {
protected:
  static void SetUpTestSuite() { InitLutFormats(); }
  QTemporaryDir Dir;
  QString Path(const QString &name) const { return Dir.filePath(name); }
};

} // namespace

TEST_F(Cli_, ListsEveryProfileAndFormat) {
  const TRun r = Cli({"formats"});
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  EXPECT_TRUE(r.Out.contains("Cube 3D Davinci"));
  EXPECT_TRUE(r.Out.contains(QRegularExpression("\\n30 +Shake 1D +txt +1D +65536 +16")));
  EXPECT_TRUE(r.Out.contains(QRegularExpression("\\n30 +FSI DIT \\(Flanders Scientific\\) 3D +3D +yes +yes")));
  EXPECT_TRUE(r.Out.contains(QRegularExpression("\\n18 +Nucoda 1D +1D +no +yes")));
}

TEST_F(Cli_, BadUsageExitsWithTwoAndOneLine) {
  const QString out = Path("x.cube");
  const QStringList base = {"match", "--reference", kReference, "--source", kSource, "--output", out};
  const QList<QStringList> cases = {
      {},
      {"frobnicate"},
      {"match", "--source", kSource, "--profile", "6", "--output", out},
      base + QStringList{"--profile", "99"},
      base + QStringList{"--profile", "Cube 3D"},                        // a format's name, not a profile's
      base + QStringList{"--profile", "6", "--size", "17"},              // fixed size
      base + QStringList{"--profile", "7", "--size", "102"},             // beyond the lattice
      base + QStringList{"--profile", "7", "--size", "1"},
      base + QStringList{"--profile", "6", "--brightness", "250"},
      base + QStringList{"--profile", "6", "--chroma", "ten"},
      base + QStringList{"--profile", "6", "--source-region", "0,0,0,10"},   // empty
      base + QStringList{"--profile", "6", "--source-region", "590,0,20,10"}, // beyond the right edge
      base + QStringList{"--profile", "6", "--source-region", "1,2,3"},
      base + QStringList{"--profile", "6", "--secondary", "ref=0,0,10,10"},
      base + QStringList{"--profile", "6", "--secondary", "ref=0,0,10,10 src=0,0,5,5 softness=11"},
      base + QStringList{"--profile", "6", "--secondary", "ref=0,0,10,10 src=0,0,5,5 hue=3"},
      base + QStringList{"--profile", "6", "--bogus"},
      {"eval", "a.cube", "0.5", "x", "1"},
      {"apply", "--lut", "a.cube", kSource},
      {"convert", "--profile", "6", "--output", out},
  };
  for (const QStringList &args : cases) {
    const TRun r = Cli(args);
    EXPECT_EQ(r.Code, 2) << args.join(' ').toStdString() << "\n" << r.Err.toStdString();
    EXPECT_EQ(r.Err.count('\n'), r.Code == 2 && args.isEmpty() ? r.Err.count('\n') : 1) << r.Err.toStdString();
    EXPECT_FALSE(QFile::exists(out)) << args.join(' ').toStdString();
  }
  // Each command's help: its usage line, then its whole description from the first line on.
  const std::pair<const char *, const char *> helps[] = {
      {"formats", "Lists the output profiles"},
      {"match", "Matches the source picture to the reference"},
      {"convert", "Reads a LUT file and writes it"},
      {"apply", "Runs pictures at full resolution"},
      {"eval", "Prints the LUT's output"},
      {"info", "Describes a LUT file"},
  };
  for (const auto &[command, description] : helps) {
    const TRun r = Cli({command, "--help"});
    EXPECT_EQ(r.Code, 0) << command;
    EXPECT_TRUE(r.Out.startsWith(QString("Usage: tintwise-cli ") + command)) << r.Out.toStdString();
    EXPECT_EQ(r.Out.section('\n', 2, 2).left(int(strlen(description))), description) << r.Out.toStdString();
  }
}

TEST_F(Cli_, FailedOperationsExitWithOne) {
  QImage flat(40, 30, QImage::Format_RGB888);
  flat.fill(QColor(20, 120, 220));
  ASSERT_TRUE(flat.save(Path("flat.png")));
  QFile junk(Path("junk.cube"));
  ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
  junk.write("this is no LUT\n");
  junk.close();
  struct Case { QStringList args; const char *needle; } cases[] = {
      {{"match", "--reference", kReference, "--source", Path("missing.jpg"), "--profile", "6", "--output", Path("a.cube")}, "missing.jpg"},
      {{"match", "--reference", kReference, "--source", Path("flat.png"), "--profile", "6", "--output", Path("a.cube")}, "single colour"},
      {{"info", Path("missing.cube")}, "missing.cube"},
      {{"info", Path("junk.cube")}, "junk.cube"},
      {{"match", "--reference", kReference, "--source", kSource, "--profile", "6", "--output", Path("no/such/dir/a.cube")}, "a.cube"},
  };
  for (const Case &c : cases) {
    const TRun r = Cli(c.args);
    EXPECT_EQ(r.Code, 1) << c.args.join(' ').toStdString() << "\n" << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains(c.needle)) << r.Err.toStdString();
    EXPECT_EQ(r.Err.count('\n'), 1) << r.Err.toStdString();
  }
  EXPECT_FALSE(QFile::exists(Path("a.cube")));
}

TEST_F(Cli_, MatchWritesWhatTheEngineComputes) {
  // The same road the window takes: fitted pictures, regions cut from them, the primary
  // correction, the secondaries in order, the LUT brought to the profile's size and written.
  const QString out = Path("match.cube"), preview = Path("preview.png");
  const TRun r = Cli({"match", "--reference", kReference, "--source", kSource, "--profile", "Cube 3D Davinci",
                      "--size", "17", "--brightness", "80", "--chroma", "120", "--source-region", "100,50,300,200",
                      "--secondary", "ref=10,10,200,100 src=400,300,150,90 softness=4 chroma=50",
                      "--secondary", "src=0,0,100,100 ref=300,200,300,200", "--output", out, "--preview", preview});
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();

  const TBitmap24 ref = Fitted(kReference), src = Fitted(kSource);
  auto primary = std::make_unique<TLUT>(), working = std::make_unique<TLUT>(), out17 = std::make_unique<TLUT>();
  primary->Mode = working->Mode = out17->Mode = kMode3D;
  primary->Size3D = working->Size3D = 33;
  out17->Size3D = 17;
  ApplyPrimaryCorrection(ref, Cut(src, 600, 400, 100, 50, 300, 200), *primary, 0.8, 1.2, 1.2);
  working->AssignFrom(*primary);
  struct S { int r[4], s[4], softness, b, c; } secondaries[] = {
      {{10, 10, 200, 100}, {400, 300, 150, 90}, 4, 100, 50},
      {{300, 200, 300, 200}, {0, 0, 100, 100}, 2, 100, 100},
  };
  for (const S &s : secondaries) {
    auto rec = std::make_unique<TSecondCorrectionData>();
    const TBitmap24 rc = Cut(ref, 640, 427, s.r[0], s.r[1], s.r[2], s.r[3]);
    const TBitmap24 sc = Cut(src, 600, 400, s.s[0], s.s[1], s.s[2], s.s[3]);
    CalcSecondaryStatistics(rc, sc, *rec);
    BuildSecondaryMask(sc, *rec, s.softness);
    rec->Opacity = {s.b / 100.0, s.c / 100.0, s.c / 100.0};
    ApplySecondaryCorrection(*rec, *working);
  }
  out17->AssignFrom(*working);
  const QString expected = Path("expected.cube");
  GetLutFormat(1)->SaveToFile(expected.toStdString(), *out17, 0);
  EXPECT_EQ(Bytes(out), Bytes(expected));

  TBitmap24 corrected = src;
  working->ApplyToBitmap(corrected);
  const QImage written(preview);
  ASSERT_EQ(written.width(), corrected.Width());
  const QImage want(corrected.Bits(), corrected.Width(), corrected.Height(), corrected.Stride(), QImage::Format_BGR888);
  EXPECT_EQ(written.convertToFormat(QImage::Format_RGB888), want.convertToFormat(QImage::Format_RGB888));
}

TEST_F(Cli_, RegionsAreMappedOntoTheFittedPicture) {
  // 3400 x 1000 fits into 1700 x 500 at half size: 101,51 200x100 covers fitted 50,25 to 151,76.
  QImage big(3400, 1000, QImage::Format_RGB888);
  for (int y = 0; y < big.height(); ++y)
    for (int x = 0; x < big.width(); ++x)
      big.setPixel(x, y, qRgb((x / 7) % 256, (y * 3 + x / 50) % 256, (x * y / 977) % 256));
  const QString file = Path("big.png");
  ASSERT_TRUE(big.save(file));
  const QString out = Path("region.cube");
  const TRun r = Cli({"match", "--reference", kReference, "--source", file, "--source-region", "101,51,200,100",
                      "--profile", "7", "--output", out});
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();

  const TBitmap24 src = Fitted(file);
  ASSERT_EQ(src.Width(), 1700);
  auto lut = std::make_unique<TLUT>();
  lut->Mode = kMode3D;
  lut->Size3D = 33;
  ApplyPrimaryCorrection(Fitted(kReference), src.Crop(50, 25, 101, 51), *lut, 1, 1, 1);
  const QString expected = Path("expected.cube");
  GetLutFormat(1)->SaveToFile(expected.toStdString(), *lut, 0);
  EXPECT_EQ(Bytes(out), Bytes(expected));
}

TEST_F(Cli_, ConvertApplyEvalAndInfo) {
  // A LUT to start from: the match of the sample pair, as a 33-point cube.
  const QString cube = Path("look.cube");
  ASSERT_EQ(Cli({"match", "--reference", kReference, "--source", kSource, "--profile", "7", "--output", cube}).Code, 0);

  // Conversion to 3DL and a forced read back; the values agree within the 12-bit codes.
  const QString dl = Path("look.3dl");
  TRun r = Cli({"convert", cube, "--profile", "1", "--output", dl});
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  r = Cli({"info", dl});
  EXPECT_TRUE(r.Out.contains("format: 3DL (4)")) << r.Out.toStdString();
  EXPECT_TRUE(r.Out.contains("3D size: 33 points per axis"));

  auto a = std::make_unique<TLUT>(), b = std::make_unique<TLUT>();
  LoadLutFile(cube.toStdString(), *a);
  LoadLutFile(dl.toStdString(), *b);
  for (double x : {0.0, 0.2, 0.5, 0.77, 1.0}) {
    const TLutTriple va = a->Evaluate({x, 1 - x, x * x}), vb = b->Evaluate({x, 1 - x, x * x});
    for (int c = 0; c < 3; ++c)
      EXPECT_NEAR(va[c], vb[c], 1.0 / 4095) << x;
  }

  // eval gives the very double Evaluate gives.
  r = Cli({"eval", cube, "0.25", "0.5", "+1"});
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  const QStringList parts = r.Out.trimmed().split(' ');
  ASSERT_EQ(parts.size(), 3) << r.Out.toStdString();
  const TLutTriple v = a->Evaluate({0.25, 0.5, 1.0});
  for (int c = 0; c < 3; ++c)
    EXPECT_EQ(parts[c].toDouble(), v[c]) << parts[c].toStdString();

  // apply: full resolution, the same bytes as the engine's own pass.
  r = Cli({"apply", "--lut", cube, "--output-dir", Dir.path(), kSource});
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  TBitmap24 picture;
  LoadPictureFile(kSource.toStdString(), picture);
  a->ApplyToBitmap(picture);
  const QImage want(picture.Bits(), picture.Width(), picture.Height(), picture.Stride(), QImage::Format_BGR888);
  EXPECT_EQ(QImage(Path("coffee.png")).convertToFormat(QImage::Format_RGB888), want.convertToFormat(QImage::Format_RGB888));

  // A batch with one bad picture still processes the others and reports the failure (exit 3).
  r = Cli({"apply", "--lut", cube, "--output-dir", Dir.path(), Path("nope.png"), kReference});
  EXPECT_EQ(r.Code, 3);
  EXPECT_TRUE(r.Err.contains("nope.png"));
  EXPECT_TRUE(QFile::exists(Path("rocket.jpg")));
}

TEST_F(Cli_, EvalPrintsEachNumberTheShortestWayAndEnds) {
  // A two-point lattice gives its corners back exactly; the texts are what reads back to the
  // same double, worked out by hand.
  WriteText(Path("corners.cube"), "LUT_3D_SIZE 2\n"
                                  "0 0.6214632499999999 0.87141425\n1 0 0\n0 1 0\n1 1 0\n"
                                  "0 0 1\n1 0 1\n0 1 1\n0.1 1e-05 123456.5\n");
  TRun r = Cli({"eval", Path("corners.cube"), "0", "0", "0"});
  EXPECT_EQ(r.Out, "0 0.6214632499999999 0.87141425\n") << r.Err.toStdString();
  r = Cli({"eval", Path("corners.cube"), "1", "1", "1"});
  EXPECT_EQ(r.Out, "0.1 1e-05 123456.5\n") << r.Err.toStdString();
  // Negative numbers are colour values, wherever the options stand.
  for (const QStringList &args : {QStringList{"eval", Path("corners.cube"), "-0.25", "0", "-.5"},
                                  QStringList{"eval", "--verbose", Path("corners.cube"), "-0.25", "0", "-.5"}}) {
    r = Cli(args);
    EXPECT_EQ(r.Code, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out.split(' ').size(), 3) << r.Out.toStdString();
  }

  // Slope 2, power 70: the corner 1 gives 2^70 exactly.
  WriteText(Path("p2.cc"), "<ColorCorrection id=\"a\"><SOPNode><Slope>2 2 2</Slope><Offset>0 0 0</Offset>"
                           "<Power>70 70 70</Power></SOPNode></ColorCorrection>\n");
  r = Cli({"eval", Path("p2.cc"), "1", "1", "0"});
  EXPECT_EQ(r.Out, "1180591620717411303424 1180591620717411303424 0\n") << r.Err.toStdString();
  // Slope 4, power 70 overflows: eval must end, with plain numbers or a one-line refusal.
  WriteText(Path("p70.cc"), "<ColorCorrection id=\"a\"><SOPNode><Slope>4 4 4</Slope><Offset>0 0 0</Offset>"
                            "<Power>70 70 70</Power></SOPNode></ColorCorrection>\n");
  r = CliTo({"eval", Path("p70.cc"), "1", "1", "1"}, Path("p70.out"), 10000);
  ASSERT_NE(r.Code, -2) << "eval did not end";
  EXPECT_EQ(r.Code == 0 ? 1 : r.Err.count('\n'), 1) << r.Err.toStdString();
  if (r.Code == 0) {
    EXPECT_TRUE(QString::fromUtf8(Bytes(Path("p70.out")))
                    .contains(QRegularExpression("^((-?inf|nan|[-+.e0-9]+) ){2}(-?inf|nan|[-+.e0-9]+)\n$")))
        << Bytes(Path("p70.out")).toStdString();
  }
}

TEST_F(Cli_, FailedWritesToStandardOutputFail) {
  WriteText(Path("id.cube"), "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n");
  for (const QStringList &args : {QStringList{"formats"}, QStringList{"info", Path("id.cube")},
                                  QStringList{"eval", Path("id.cube"), "1", "0", "0"}, QStringList{"--help"},
                                  QStringList{"convert", Path("id.cube"), "--profile", "7", "--output", "-"}}) {
    const TRun r = CliTo(args, "/dev/full");
    EXPECT_EQ(r.Code, 1) << args.join(' ').toStdString();
    EXPECT_TRUE(r.Err.contains("standard output")) << r.Err.toStdString();
    EXPECT_EQ(r.Err.count('\n'), 1) << r.Err.toStdString();
  }
}

TEST_F(Cli_, InfoEscapesControlCharactersOfComments) {
  WriteText(Path("c.cube"), "# red \033[31mtext\007 \xc2\x9b caf\xc3\xa9 \xff\nLUT_3D_SIZE 2\n"
                            "0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n");
  const TRun r = Cli({"info", Path("c.cube")});
  EXPECT_TRUE(r.Out.contains(QString::fromUtf8("  red \\x1B[31mtext\\x07 \\u009B caf\xc3\xa9 \\xFF\n")))
      << r.Out.toStdString();
}

TEST_F(Cli_, OutputsGoThroughLinksAndNeverReplaceDevices) {
  WriteText(Path("id.cube"), "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n");
  // Standard output holds the very bytes the file gets.
  TRun r = Cli({"convert", Path("id.cube"), "--profile", "7", "--output", Path("out.cube")});
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();
  r = Cli({"convert", Path("id.cube"), "--profile", "7", "--output", "-"});
  EXPECT_EQ(r.Code, 0) << r.Err.toStdString();
  EXPECT_EQ(r.Out.toUtf8(), Bytes(Path("out.cube")));

  // A device is refused and stays a device (as root it would otherwise be replaced), also at the
  // end of a link.
  ASSERT_TRUE(QFile::link("/dev/null", Path("dev.png")));
  for (const QStringList &args :
       {QStringList{"convert", Path("id.cube"), "--profile", "7", "--output", "/dev/null", "--overwrite"},
        QStringList{"apply", "--lut", Path("id.cube"), "--output", Path("dev.png"), "--overwrite", kSource},
        QStringList{"match", "--reference", kReference, "--source", kSource, "--profile", "7", "--output",
                    "/dev/null", "--overwrite"}}) {
    r = Cli(args);
    EXPECT_EQ(r.Code, 1) << args.join(' ').toStdString();
    EXPECT_EQ(r.Err.count('\n'), 1) << r.Err.toStdString();
  }
  EXPECT_FALSE(QFileInfo("/dev/null").isFile());

  // A link is written through to its target, by the LUT writer and the picture writer alike.
  ASSERT_TRUE(QFile::link(Path("out.cube"), Path("link.cube")));
  r = Cli({"convert", Path("id.cube"), "--profile", "1", "--output", Path("link.cube"), "--overwrite"});
  EXPECT_EQ(r.Code, 0) << r.Err.toStdString();
  EXPECT_TRUE(QFileInfo(Path("link.cube")).isSymLink());
  EXPECT_EQ(Bytes(Path("out.cube")), Cli({"convert", Path("id.cube"), "--profile", "1", "--output", "-"}).Out.toUtf8());
  ASSERT_TRUE(QFile::copy(kSource, Path("pic.png")));
  ASSERT_TRUE(QFile::link(Path("pic.png"), Path("piclink.png")));
  r = Cli({"apply", "--lut", Path("id.cube"), "--output", Path("piclink.png"), "--overwrite", kReference});
  EXPECT_EQ(r.Code, 0) << r.Err.toStdString();
  EXPECT_TRUE(QFileInfo(Path("piclink.png")).isSymLink());
  EXPECT_EQ(QImage(Path("pic.png")).width(), 640);

  // A file the user may not write is refused by both (root may write anything).
  if (geteuid() != 0) {
    QFile(Path("out.cube")).setPermissions(QFileDevice::ReadOwner);
    QFile(Path("pic.png")).setPermissions(QFileDevice::ReadOwner);
    EXPECT_EQ(Cli({"convert", Path("id.cube"), "--profile", "7", "--output", Path("out.cube"), "--overwrite"}).Code,
              1);
    EXPECT_EQ(Cli({"apply", "--lut", Path("id.cube"), "--output", Path("pic.png"), "--overwrite", kSource}).Code, 1);
  }
}

TEST_F(Cli_, OriginalsAreNeverWrittenOver) {
  WriteText(Path("id.cube"), "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n");
  QDir(Dir.path()).mkpath("a");
  QDir(Dir.path()).mkpath("b");
  QDir(Dir.path()).mkpath("out");
  for (const char *name : {"coffee.png", "a/frame.png", "b/frame.png"})
    ASSERT_TRUE(QFile::copy(kSource, Path(name)));
  ASSERT_TRUE(QFile::copy(kReference, Path("rocket.jpg")));
  ASSERT_TRUE(QFile::link(Path("coffee.png"), Path("alias.png")));
  const QString ref = Path("rocket.jpg"), src = Path("coffee.png"), lut = Path("id.cube");
  const QStringList match = {"match", "--reference", ref, "--source", src, "--profile", "7"};
  const QList<QStringList> cases = {
      {"apply", "--lut", lut, "--output", src, src},
      {"apply", "--lut", lut, "--output", Path("alias.png"), src}, // the same file by another name
      {"apply", "--lut", lut, "--output-dir", Dir.path(), src, Path("a/frame.png")},
      {"apply", "--lut", lut, "--output-dir", Path("out"), Path("a/frame.png"), Path("b/frame.png")},
      {"apply", "--lut", lut, "--output", lut + ".png", src},                   // fine, then:
      {"apply", "--lut", lut, "--output", Path("a/frame.png"), src},            // exists, no --overwrite
      match + QStringList{"--output", Path("m.cube"), "--preview", src},
      match + QStringList{"--output", ref},
      match + QStringList{"--output", Path("m.cube"), "--preview", Path("rocket.jpg"), "--overwrite"},
      match + QStringList{"--output", Path("m.cube"), "--preview", Path("m.gif")},
      match + QStringList{"--output", Path("m.cube"), "--preview", Path("nowhere/m.png")},
      {"convert", lut, "--profile", "7", "--output", lut, "--overwrite"},
  };
  const QByteArray srcBytes = Bytes(src), refBytes = Bytes(ref), lutBytes = Bytes(lut), frame = Bytes(Path("a/frame.png"));
  for (const QStringList &args : cases) {
    const TRun r = Cli(args);
    if (args.contains(lut + ".png")) {
      EXPECT_EQ(r.Code, 0) << r.Err.toStdString();
      continue;
    }
    EXPECT_EQ(r.Code, 1) << args.join(' ').toStdString() << "\n" << r.Err.toStdString();
    EXPECT_EQ(r.Err.count('\n'), 1) << r.Err.toStdString();
    EXPECT_EQ(Bytes(src), srcBytes);
    EXPECT_EQ(Bytes(ref), refBytes);
    EXPECT_EQ(Bytes(lut), lutBytes);
    EXPECT_EQ(Bytes(Path("a/frame.png")), frame);
    EXPECT_FALSE(QFile::exists(Path("m.cube"))) << args.join(' ').toStdString();
    EXPECT_TRUE(QDir(Path("out")).isEmpty());
  }
  // --overwrite writes over a file of the user's that is not read in the run.
  EXPECT_EQ(Cli({"apply", "--lut", lut, "--output", Path("a/frame.png"), "--overwrite", src}).Code, 0);
  EXPECT_NE(Bytes(Path("a/frame.png")), frame);
}

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
