// tintwise-cli run as a user runs it: the built binary, its exit codes and its output.
#include <QRegularExpression>

#include <memory>
#include <sys/stat.h>

#include "engine/Lut.h"
#include "engine/PrimaryCorrection.h"
#include "engine/SecondaryCorrection.h"
#include "imaging/PictureLoader.h"
#include "tests/cli/CliTestSupport.h"

using namespace tintwise;
using namespace tintwise::test;

using CliCommands = TCliFixture;

TEST_F(CliCommands, RefusalsExitWithTwoForUsageAndOneForFailuresAndWriteNothing) {
  // Exit 2 for what the command line itself gets wrong, 1 for an operation that fails; either way
  // one line on standard error, naming the file where there is one, no output written, and no input
  // or special file written over. The special file is a pipe of the test's own: were the refusal to
  // fail as root, /dev/null itself would be replaced.
  QImage flat(40, 30, QImage::Format_RGB888);
  flat.fill(QColor(20, 120, 220));
  ASSERT_TRUE(flat.save(Path("flat.png")));
  for (const char *folder : {"a", "b", "out", "scopes", "w"})
    ASSERT_TRUE(QDir(Dir.path()).mkpath(folder));
  for (const char *name : {"coffee.png", "a/frame.png", "b/frame.png", "scopes/shot.png", "w/waveform.png"})
    ASSERT_TRUE(QFile::copy(kSource, Path(name)));
  ASSERT_TRUE(QFile::copy(kReference, Path("rocket.jpg")));
  ASSERT_TRUE(QFile::link(Path("coffee.png"), Path("alias.png")));
  const QString pipe = Path("pipe");
  ASSERT_EQ(mkfifo(pipe.toLocal8Bit().constData(), 0644), 0);
  ASSERT_TRUE(QFile::link(pipe, Path("pipe.png")));
  const QString ref = Path("rocket.jpg"), src = Path("coffee.png"), shot = Path("scopes/shot.png");
  const QString kept = WriteText("scopes/histogram.png", "not a histogram");
  const QString out = Path("x.cube"), lut = IdentityCube(), junk = WriteText("junk.cube", "this is no LUT\n");
  const QStringList match = {"match", "--reference", kReference, "--source", kSource, "--output", out};
  const QStringList base = match + QStringList{"--profile", "6"};
  const QStringList frames = {"apply", "--lut", lut, "--input", Path("shot.####.png"), "--output-dir", Dir.path()};
  const QStringList copies = {"match", "--reference", ref, "--source", src, "--profile", "7"};
  const struct { QStringList args; int code; QString needle; } cases[] = {
      {{"frobnicate"}, 2, "frobnicate"},
      {{"match", "--source", kSource, "--profile", "6", "--output", out}, 2, "--reference"},
      {match + QStringList{"--profile", "99"}, 2, "99"},
      {match + QStringList{"--profile", "Cube 3D"}, 2, "Cube 3D"}, // a format's name, not a profile's
      {base + QStringList{"--size", "17"}, 2, "--size"},           // a profile of one size
      {match + QStringList{"--profile", "7", "--size", "102"}, 2, "--size"}, // beyond the lattice
      {match + QStringList{"--profile", "7", "--size", "1"}, 2, "--size"},
      {base + QStringList{"--brightness", "250"}, 2, "--brightness"},
      {base + QStringList{"--chroma", "ten"}, 2, "--chroma"},
      {base + QStringList{"--source-region", "0,0,0,10"}, 2, "--source-region"},   // empty
      {base + QStringList{"--source-region", "590,0,20,10"}, 2, "--source-region"}, // beyond the right edge
      {base + QStringList{"--source-region", "1,2,3"}, 2, "--source-region"},
      {base + QStringList{"--secondary", "ref=0,0,10,10"}, 2, "--secondary"},
      {base + QStringList{"--secondary", "ref=0,0,10,10 src=0,0,5,5 softness=11"}, 2, "softness"},
      {base + QStringList{"--secondary", "ref=0,0,10,10 src=0,0,5,5 hue=3"}, 2, "hue"},
      {base + QStringList{"--bogus"}, 2, "bogus"},
      {{"match", "--reference", kReference, "--source", kSource, "--profile", "0", "--output", "-", "--report", "-"}, 2,
       "--report"},
      {{"eval", lut, "0.5", "x", "1"}, 2, "x"},
      {{"apply", "--lut", lut, kSource}, 2, "--output"},
      {{"convert", "--profile", "6", "--output", out}, 2, ""},
      {{"scopes", kSource}, 2, ""},
      {{"scopes", kSource, "--report", "-", "--standard", "2020"}, 2, "2020"},
      {{"scopes", kSource, "--report", "-", "--size", "32"}, 2, "--size"},
      {{"scopes", kSource, "--output-dir", Path("missing")}, 2, "missing"},
      {frames + QStringList{"--frames", "5-1"}, 2, "5-1"},
      {frames + QStringList{"--frames", "1-3x0"}, 2, "1-3x0"},
      {frames + QStringList{"--frames", "101", "--threads", "0"}, 2, "--threads"},
      {frames + QStringList{"--frames", "101", "--progress", "xml"}, 2, "xml"},
      {frames + QStringList{"--frames", "101", "--max-pixels", "lots"}, 2, "lots"},
      {{"apply", "--lut", lut, "--input", kSource, "--frames", "1", "--output-dir", Dir.path()}, 2, "coffee.png"},
      {{"apply", "--lut", lut, "--frames", "1", "--output-dir", Dir.path(), kSource}, 2, "--frames"},
      {{"match", "--reference", kReference, "--source", Path("missing.jpg"), "--profile", "6", "--output", out}, 1,
       Path("missing.jpg")},
      {{"match", "--reference", kReference, "--source", Path("flat.png"), "--profile", "6", "--output", out}, 1,
       "single colour"},
      {{"info", Path("missing.cube")}, 1, Path("missing.cube")},
      {{"info", junk}, 1, junk},
      {{"apply", "--lut", kSource, "--input", Path("shot.####.png"), "--frames", "1", "--output-dir", Dir.path()}, 1,
       kSource},
      {match + QStringList{"--profile", "6", "--output", Path("no/such/dir/a.cube")}, 1, "a.cube"},
      {{"apply", "--lut", lut, "--output", src, src}, 1, ""},
      {{"apply", "--lut", lut, "--output", Path("alias.png"), src}, 1, ""}, // the same file by another name
      {{"apply", "--lut", lut, "--output-dir", Dir.path(), src, Path("a/frame.png")}, 1, ""},
      {{"apply", "--lut", lut, "--output-dir", Path("out"), Path("a/frame.png"), Path("b/frame.png")}, 1, ""},
      {{"apply", "--lut", lut, "--output", Path("a/frame.png"), src}, 1, ""}, // exists, no --overwrite
      {{"apply", "--lut", lut, "--output", Path("pipe.png"), "--overwrite", src}, 1, ""}, // at the end of a link
      {copies + QStringList{"--output", Path("m.cube"), "--preview", src}, 1, ""},
      {copies + QStringList{"--output", ref}, 1, ""},
      {copies + QStringList{"--output", Path("m.cube"), "--preview", ref, "--overwrite"}, 1, ""},
      {copies + QStringList{"--output", Path("m.cube"), "--preview", Path("m.gif")}, 1, ""},
      {copies + QStringList{"--output", Path("m.cube"), "--preview", Path("nowhere/m.png")}, 1, ""},
      {copies + QStringList{"--output", pipe, "--overwrite"}, 1, ""},
      {{"convert", lut, "--profile", "7", "--output", lut, "--overwrite"}, 1, ""},
      {{"convert", lut, "--profile", "7", "--output", pipe, "--overwrite"}, 1, ""},
      // histogram.png exists.
      {{"scopes", shot, "--output-dir", Path("scopes"), "--report", Path("scopes/shot.json")}, 1, ""},
      {{"scopes", shot, "--report", shot, "--overwrite"}, 1, ""},
      {{"scopes", shot, "--output-dir", Path("scopes"), "--report", Path("scopes/parade.png"), "--overwrite"}, 1, ""},
      {{"scopes", Path("w/waveform.png"), "--output-dir", Path("w"), "--overwrite"}, 1, ""}, // the picture measured
  };
  const QStringList originals = {src, ref, lut, Path("a/frame.png"), shot, kept, Path("w/waveform.png")};
  QList<QByteArray> before;
  for (const QString &file : originals)
    before << Bytes(file);
  for (const auto &c : cases) {
    const TRun r = Cli(c.args);
    const std::string run = c.args.join(' ').toStdString();
    EXPECT_EQ(r.Code, c.code) << run << "\n" << r.Err.toStdString();
    EXPECT_EQ(r.Err.count('\n'), 1) << r.Err.toStdString();
    EXPECT_TRUE(r.Err.contains(c.needle)) << r.Err.toStdString();
    for (int i = 0; i < originals.size(); ++i)
      EXPECT_EQ(Bytes(originals[i]), before[i]) << originals[i].toStdString() << " after " << run;
    for (const char *name : {"x.cube", "m.cube", "scopes/waveform.png", "scopes/parade.png", "scopes/vectorscope.png",
                             "scopes/shot.json"})
      EXPECT_FALSE(QFile::exists(Path(name))) << name << " after " << run;
    EXPECT_TRUE(QDir(Path("out")).isEmpty());
  }
  EXPECT_FALSE(QFileInfo(pipe).isFile());
  EXPECT_EQ(Cli({}).Code, 2);

  // A name that merely starts like an input's is no input; --overwrite writes over a file of the
  // user's that is not read in the run, and over the scopes of an earlier run.
  EXPECT_EQ(Cli({"apply", "--lut", lut, "--output", lut + ".png", src}).Code, 0);
  EXPECT_EQ(Cli({"apply", "--lut", lut, "--output", Path("a/frame.png"), "--overwrite", src}).Code, 0);
  EXPECT_NE(Bytes(Path("a/frame.png")), before[3]);
  ASSERT_EQ(Cli({"scopes", shot, "--output-dir", Path("scopes"), "--overwrite"}).Code, 0);
  EXPECT_EQ(QImage(kept).size(), QSize(512, 512));

  // Standard output holds the very bytes the file gets.
  ASSERT_EQ(Cli({"convert", lut, "--profile", "7", "--output", Path("out.cube")}).Code, 0);
  EXPECT_EQ(Cli({"convert", lut, "--profile", "7", "--output", "-"}).Out.toUtf8(), Bytes(Path("out.cube")));
}

TEST_F(CliCommands, FormatsAndHelpListEverythingAndFailedWritesToStandardOutputFail) {
  // Rows of the profile table, then of the format table.
  const TRun formats = Cli({"formats"});
  ASSERT_EQ(formats.Code, 0) << formats.Err.toStdString();
  for (const char *row : {"\\n7 +Cube 3D Davinci +cube", "\\n30 +Shake 1D +txt +1D +65536 +16",
                          "\\n30 +FSI DIT \\(Flanders Scientific\\) 3D +3D +yes +yes", "\\n18 +Nucoda 1D +1D +no +yes"})
    EXPECT_TRUE(formats.Out.contains(QRegularExpression(row))) << row;

  const TRun all = Cli({"--help"});
  EXPECT_EQ(all.Code, 0);
  for (const char *command : {"formats", "match", "convert", "apply", "eval", "info", "scopes"}) {
    EXPECT_TRUE(all.Out.contains(QString("\n  %1 ").arg(command))) << all.Out.toStdString();
    // The usage line, then the description.
    const TRun r = Cli({command, "--help"});
    EXPECT_EQ(r.Code, 0) << command;
    EXPECT_TRUE(r.Out.startsWith(QString("Usage: tintwise-cli ") + command)) << r.Out.toStdString();
    EXPECT_TRUE(r.Out.section('\n', 2, 2).at(0).isUpper()) << r.Out.toStdString();
  }

  // A failed write to standard output fails the command.
  const QString lut = IdentityCube();
  for (const QStringList &args :
       {QStringList{"formats"}, QStringList{"info", lut}, QStringList{"eval", lut, "1", "0", "0"},
        QStringList{"--help"}, QStringList{"convert", lut, "--profile", "7", "--output", "-"}}) {
    const TRun r = Cli(args, "/dev/full");
    EXPECT_EQ(r.Code, 1) << args.join(' ').toStdString();
    EXPECT_TRUE(r.Err.contains("standard output")) << r.Err.toStdString();
    EXPECT_EQ(r.Err.count('\n'), 1) << r.Err.toStdString();
  }
}

TEST_F(CliCommands, MatchWritesWhatTheEngineComputesFromTheFittedPictures) {
  // A 3400 x 1000 source fits into 1700 x 500 at half size: its regions are halved, rounded
  // outwards; the reference fits as it is. Then the primary correction, the secondaries in order,
  // the LUT brought to the profile's size and written.
  QImage big(3400, 1000, QImage::Format_RGB888);
  for (int y = 0; y < big.height(); ++y)
    for (int x = 0; x < big.width(); ++x)
      big.setPixel(x, y, qRgb((x / 7) % 256, (y * 3 + x / 50) % 256, (x * y / 977) % 256));
  const QString source = Path("big.png"), out = Path("match.cube"), preview = Path("preview.png");
  ASSERT_TRUE(big.save(source));
  const TRun r = Cli({"match", "--reference", kReference, "--source", source, "--profile", "Cube 3D Davinci", "--size",
                      "17", "--brightness", "80", "--chroma", "120", "--source-region", "101,51,200,100",
                      "--secondary", "ref=10,10,200,100 src=400,300,150,90 softness=0 chroma=50", "--secondary",
                      "src=0,0,100,100 ref=300,200,300,200", "--output", out, "--preview", preview});
  ASSERT_EQ(r.Code, 0) << r.Err.toStdString();

  TBitmap24 ref, src;
  LoadImageFile(kReference.toStdString(), ref);
  LoadImageFile(source.toStdString(), src);
  ASSERT_EQ(src.Width(), 1700);
  auto working = std::make_unique<TLUT>(), out17 = std::make_unique<TLUT>();
  working->Mode = out17->Mode = kMode3D;
  working->Size3D = 33;
  out17->Size3D = 17;
  ApplyPrimaryCorrection(ref, src.Crop(50, 25, 101, 51), *working, 0.8, 1.2, 1.2);
  const struct { QRect r, s; int softness, b, c; } secondaries[] = {
      {{10, 10, 200, 100}, {200, 150, 75, 45}, 0, 100, 50}, {{300, 200, 300, 200}, {0, 0, 50, 50}, 2, 100, 100}};
  for (const auto &s : secondaries) {
    auto rec = std::make_unique<TSecondCorrectionData>();
    const TBitmap24 region = src.Crop(s.s.x(), s.s.y(), s.s.width(), s.s.height());
    CalcSecondaryStatistics(ref.Crop(s.r.x(), s.r.y(), s.r.width(), s.r.height()), region, *rec);
    BuildSecondaryMask(region, *rec, s.softness);
    rec->Opacity = {s.b / 100.0, s.c / 100.0, s.c / 100.0};
    ApplySecondaryCorrection(*rec, *working);
  }
  out17->AssignFrom(*working);
  GetLutFormat(1)->SaveToFile(Path("expected.cube").toStdString(), *out17, 0);
  EXPECT_EQ(Bytes(out), Bytes(Path("expected.cube")));

  TBitmap24 corrected = src;
  working->ApplyToBitmap(corrected);
  const QImage want(corrected.Bits(), corrected.Width(), corrected.Height(), corrected.Stride(), QImage::Format_BGR888);
  EXPECT_EQ(QImage(preview).convertToFormat(QImage::Format_RGB888), want.convertToFormat(QImage::Format_RGB888));
}

TEST_F(CliCommands, EvalPrintsEachNumberTheShortestWayAndEnds) {
  // A two-point lattice gives its corners back exactly; the texts are what reads back to the
  // same double, worked out by hand.
  const QString corners = WriteText("corners.cube", "LUT_3D_SIZE 2\n"
                                                    "0 0.6214632499999999 0.87141425\n1 0 0\n0 1 0\n1 1 0\n"
                                                    "0 0 1\n1 0 1\n0 1 1\n0.1 1e-05 123456.5\n");
  TRun r = Cli({"eval", corners, "0", "0", "0"});
  EXPECT_EQ(r.Out, "0 0.6214632499999999 0.87141425\n") << r.Err.toStdString();
  r = Cli({"eval", corners, "1", "1", "1"});
  EXPECT_EQ(r.Out, "0.1 1e-05 123456.5\n") << r.Err.toStdString();
  // Negative numbers are colour values, wherever the options stand; a leading + is allowed.
  for (const QStringList &args : {QStringList{"eval", corners, "-0.25", "+0", "-.5"},
                                  QStringList{"eval", "--verbose", corners, "-0.25", "0", "-.5"}}) {
    r = Cli(args);
    EXPECT_EQ(r.Code, 0) << r.Err.toStdString();
    EXPECT_EQ(r.Out.split(' ').size(), 3) << r.Out.toStdString();
  }

  // Slope 2, power 70: the corner 1 gives 2^70 exactly.
  const QString p2 = WriteText("p2.cc", "<ColorCorrection id=\"a\"><SOPNode><Slope>2 2 2</Slope><Offset>0 0 0</Offset>"
                                        "<Power>70 70 70</Power></SOPNode></ColorCorrection>\n");
  r = Cli({"eval", p2, "1", "1", "0"});
  EXPECT_EQ(r.Out, "1180591620717411303424 1180591620717411303424 0\n") << r.Err.toStdString();
  // Slope 4, power 70 overflows: eval must end, with plain numbers or a one-line refusal.
  const QString p70 = WriteText("p70.cc", "<ColorCorrection id=\"a\"><SOPNode><Slope>4 4 4</Slope><Offset>0 0 0"
                                          "</Offset><Power>70 70 70</Power></SOPNode></ColorCorrection>\n");
  r = Cli({"eval", p70, "1", "1", "1"}, Path("p70.out"), 10000);
  ASSERT_NE(r.Code, -2) << "eval did not end";
  EXPECT_EQ(r.Code == 0 ? 1 : r.Err.count('\n'), 1) << r.Err.toStdString();
  if (r.Code == 0) {
    EXPECT_TRUE(QString::fromUtf8(Bytes(Path("p70.out")))
                    .contains(QRegularExpression("^((-?inf|nan|[-+.e0-9]+) ){2}(-?inf|nan|[-+.e0-9]+)\n$")))
        << Bytes(Path("p70.out")).toStdString();
  }
}

TEST_F(CliCommands, InfoDescribesTheLutAndEscapesControlCharactersOfComments) {
  // Well-formed UTF-8 stays, a no-break space and a euro sign among it; a stray continuation byte,
  // a surrogate, an overlong form and a byte that starts nothing are escaped one byte at a time.
  const QString lut = WriteText("c.cube", "# red \033[31mtext\007 \xc2\x9b caf\xc3\xa9 \xc2\xa0noir 5\xe2\x82\xac \xff "
                                          "\x80 \xed\xa0\x80 \xe0\x80\xaf\nLUT_3D_SIZE 2\n"
                                          "0 0 0\n1 0 0\n0 1 0\n1 1 0\n0 0 1\n1 0 1\n0 1 1\n1 1 1\n");
  // A lattice has no curve size; Cube 3D is format 1 and a lattice is mode 1.
  const TRun r = Cli({"info", lut});
  EXPECT_EQ(r.Out, "format: Cube 3D (1)\nmode: 1 (3D lattice)\n3D size: 2 points per axis\ncomments: 1\n" +
                       QString::fromUtf8("  red \\x1B[31mtext\\x07 \\u009B caf\xc3\xa9 \xc2\xa0noir "
                                         "5\xe2\x82\xac \\xFF \\x80 \\xED\\xA0\\x80 \\xE0\\x80\\xAF\n"))
      << r.Out.toStdString();
}
