// tintwise-cli as a render farm runs it: apply over numbered sequences, frame lists, chunks,
// threads, resumed runs, JSON progress lines and exit codes; convert over a library of LUTs.
#include <QRegularExpression>

#include "tests/cli/CliTestSupport.h"

namespace {

using namespace tintwise::test;

class ApplySequence : public TCliFixture {
protected:
  void SetUp() override {
    QDir(Dir.path()).mkpath("in");
    // Twelve frames of a moving gradient, frames 101 to 112; 104 and 110 are cut short.
    for (int f = 101; f <= 112; ++f) {
      QImage frame(96, 54, QImage::Format_RGB888);
      for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
          frame.setPixelColor(x, y, QColor((x * 5 + f) % 256, (y * 9 + 2 * f) % 256, (x * y + f) % 256));
      ASSERT_TRUE(frame.save(In(f)));
    }
    for (int f : {104, 110})
      ASSERT_TRUE(QFile::resize(In(f), 60));
    WriteText("grade.cube",
              "LUT_3D_SIZE 2\n0.1 0 0.05\n0.9 0.1 0\n0 0.8 0.1\n1 0.9 0\n0 0.1 0.9\n0.8 0 1\n0.1 0.9 0.8\n0.9 1 1\n");
  }
  QString In(int frame) const { return Path(QString("in/shot.%1.png").arg(frame, 4, 10, QChar('0'))); }
  // Runs apply over the frames into a fresh folder and returns the run.
  TRun Apply(const QString &out, const QString &frames, const QStringList &more = {}) {
    QDir(Dir.path()).mkpath(out);
    return Cli(QStringList{"apply", "--lut", Path("grade.cube"), "--input", Path("in/shot.####.png"), "--frames",
                           frames, "--output-dir", Path(out)} +
               more);
  }
};

TEST_F(ApplySequence, ChunksResumedRunsOutputPatternsThePixelLimitAndMissingFrames) {
  const TRun one = Apply("one", "101-112", {"--threads", "1"});
  EXPECT_EQ(one.Code, 3) << one.Err.toStdString();
  // Three chunks as three farm tasks would run them, one of them with no damaged frame; the first
  // prints a line a frame, 101 to 105, 104 failed.
  const TRun first = Apply("chunks", "101-105", {"--threads", "2", "--progress", "jsonl"});
  EXPECT_EQ(first.Code, 3);
  const QRegularExpression line("^\\{\"frame\":10[1-5],.*\\}$", QRegularExpression::MultilineOption);
  EXPECT_EQ(first.Out.count(line), 5);
  EXPECT_EQ(first.Out.count("\"status\":\"done\""), 4);
  EXPECT_TRUE(first.Out.contains(QRegularExpression("\"frame\":104,[^\\n]*\"status\":\"failed\"")));
  EXPECT_EQ(Apply("chunks", "106-109", {"--threads", "3"}).Code, 0);
  EXPECT_EQ(Apply("chunks", "110-112", {"--threads", "1"}).Code, 3);
  for (int f = 101; f <= 112; ++f) {
    const QString name = QFileInfo(In(f)).fileName();
    const QByteArray reference = Bytes(Path("one/" + name));
    EXPECT_EQ(reference.isEmpty(), f == 104 || f == 110) << f;
    EXPECT_EQ(one.Err.contains(name), f == 104 || f == 110) << "the damaged frames are named: " << f;
    EXPECT_EQ(Bytes(Path("chunks/" + name)), reference) << f;
  }
  // The output is the LUT's result, not the input copied: the corner colours moved.
  EXPECT_NE(Bytes(Path("one/shot.0101.png")), Bytes(In(101)));

  // Run again with --skip-existing: nothing finished is redone, the frame missing is done, and no
  // temporary file is left beside the outputs.
  const QDateTime written = QFileInfo(Path("chunks/shot.0101.png")).lastModified();
  QFile::remove(Path("chunks/shot.0106.png"));
  const TRun again = Apply("chunks", "101-112", {"--progress", "jsonl", "--skip-existing"});
  EXPECT_EQ(again.Code, 3);
  for (const auto &[status, count] : {std::pair{"skipped", 9}, {"done", 1}, {"failed", 2}})
    EXPECT_EQ(again.Out.count(QString("\"status\":\"%1\"").arg(status)), count) << status;
  EXPECT_EQ(QFileInfo(Path("chunks/shot.0101.png")).lastModified(), written);
  EXPECT_TRUE(QFileInfo::exists(Path("chunks/shot.0106.png")));
  EXPECT_EQ(QDir(Path("chunks")).entryList(QDir::Files | QDir::Hidden).size(), 10);
  EXPECT_EQ(Apply("chunks", "105-109", {"--skip-existing"}).Code, 0); // every frame there

  // An output pattern of its own numbers the frames.
  QDir(Dir.path()).mkpath("named");
  const TRun named = Cli({"apply", "--lut", Path("grade.cube"), "--input", Path("in/shot.%04d.png"), "--frames",
                          "101,102", "--output", Path("named/graded_%06d.png")});
  EXPECT_EQ(named.Code, 0) << named.Err.toStdString();
  EXPECT_TRUE(QFileInfo::exists(Path("named/graded_000101.png")));
  EXPECT_TRUE(QFileInfo::exists(Path("named/graded_000102.png")));

  // A picture above the pixel limit fails, and the message says how to raise it.
  const TRun limited = Apply("l", "101", {"--max-pixels", "5000"}); // the frames are 96 x 54 = 5184
  EXPECT_EQ(limited.Code, 3);
  EXPECT_TRUE(limited.Err.contains("--max-pixels")) << limited.Err.toStdString();
  EXPECT_EQ(Apply("l", "101", {"--max-pixels", "5184"}).Code, 0);
  // A frame missing from the sequence is a failed frame, named, and so is a missing picture of a
  // list; the others are still done.
  const TRun missing = Apply("m", "111-113");
  EXPECT_EQ(missing.Code, 3);
  EXPECT_TRUE(missing.Err.contains("shot.0113.png"));
  EXPECT_TRUE(QFileInfo::exists(Path("m/shot.0111.png")));
  const TRun listed = Cli({"apply", "--lut", Path("grade.cube"), "--output-dir", Path("m"), Path("no.png"), In(101)});
  EXPECT_EQ(listed.Code, 3);
  EXPECT_TRUE(listed.Err.contains("no.png"));
  EXPECT_TRUE(QFileInfo::exists(Path("m/shot.0101.png")));
}

TEST_F(ApplySequence, ConvertsALibraryInOneCall) {
  QDir(Dir.path()).mkpath("lib");
  QDir(Dir.path()).mkpath("one");
  QFile::copy(Path("grade.cube"), Path("lib/warm.cube"));
  QFile::copy(Path("grade.cube"), Path("lib/cool.v2.cube"));
  WriteText("lib/junk.cube", "not a LUT\n");
  const QStringList library{Path("lib/warm.cube"), Path("lib/cool.v2.cube"), Path("lib/junk.cube")};
  const TRun all = Cli(QStringList{"convert", "--profile", "3DL Fusion", "--output-dir", Path("lib"), "--progress",
                                   "jsonl"} +
                       library);
  EXPECT_EQ(all.Code, 3) << all.Err.toStdString();
  EXPECT_TRUE(all.Err.contains("junk.cube"));
  EXPECT_EQ(all.Out.count("\"status\":\"done\""), 2);
  EXPECT_EQ(all.Out.count("\"status\":\"failed\""), 1);
  // Each output is the one a call for that file alone writes: a 33-point 3DL file that gives the
  // colours of the cube within its 12-bit codes.
  EXPECT_EQ(Cli({"convert", "--profile", "3DL Fusion", "--output", Path("one/warm.3dl"), Path("lib/warm.cube")}).Code, 0);
  EXPECT_EQ(Bytes(Path("lib/warm.3dl")), Bytes(Path("one/warm.3dl")));
  EXPECT_EQ(Bytes(Path("lib/cool.v2.3dl")), Bytes(Path("one/warm.3dl")));
  const QString info = Cli({"info", Path("one/warm.3dl")}).Out;
  EXPECT_TRUE(info.startsWith("format: 3DL (4)\nmode: 1 (3D lattice)\n3D size: 33 ")) << info.toStdString();
  const QStringList a = Cli({"eval", Path("grade.cube"), "0.2", "0.8", "0.04"}).Out.split(' ');
  const QStringList b = Cli({"eval", Path("one/warm.3dl"), "0.2", "0.8", "0.04"}).Out.split(' ');
  ASSERT_TRUE(a.size() == 3 && b.size() == 3) << a.join(" ").toStdString();
  for (int c = 0; c < 3; ++c)
    EXPECT_NEAR(a[c].toDouble(), b[c].toDouble(), 1.0 / 4095) << c;
  // A batch without a failure exits with 0.
  const QStringList good{"--overwrite", Path("lib/warm.cube"), Path("lib/cool.v2.cube")};
  EXPECT_EQ(Cli(QStringList{"convert", "--profile", "3DL Fusion", "--output-dir", Path("one")} + good).Code, 0);
  // Resumed: the finished files are skipped, the damaged one still fails.
  const TRun again = Cli(QStringList{"convert", "--profile", "3DL Fusion", "--output-dir", Path("lib"),
                                     "--skip-existing", "--progress", "jsonl"} +
                         library);
  EXPECT_EQ(again.Code, 3);
  EXPECT_EQ(again.Out.count("\"status\":\"skipped\""), 2);
  // Several inputs into one --output is bad usage.
  EXPECT_EQ(Cli(QStringList{"convert", "--profile", "3DL Fusion", "--output", Path("x.3dl")} + library).Code, 2);
  EXPECT_FALSE(QFileInfo::exists(Path("x.3dl")));
}

} // namespace
