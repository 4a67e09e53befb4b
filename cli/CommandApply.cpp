// tintwise-cli apply: pictures run through a LUT at full resolution, one by one or as numbered
// sequences over frame lists, frames in parallel, the unit of work a render farm hands out.
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>
#include <thread>
#include <unistd.h>

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/OutputGuard.h"
#include "engine/Errors.h"
#include "imaging/FootageApply.h"
#include "imaging/FootageFiles.h"
#include "workflow/FrameBatch.h"
#include "workflow/FrameSequence.h"
#include "workflow/MatchWorkflow.h"

namespace tintwise {

namespace {

int RunApply(const TCliCommand &command, const QStringList &args) {
  QCommandLineParser parser;
  const QCommandLineOption lutOption("lut", "The LUT file to apply.", "FILE");
  const QCommandLineOption output("output",
                                  "Where to write the result: a file for one picture, a pattern such as "
                                  "graded.%04d.png for --input.",
                                  "FILE");
  const QCommandLineOption outputDir("output-dir", "Folder for the results, under the pictures' own names.", "DIR");
  const QCommandLineOption input("input", "A numbered sequence: shot.%04d.dpx or shot.####.dpx (with --frames).",
                                 "PATTERN");
  const QCommandLineOption frames("frames", "The frames of --input: N, A-B and A-BxS, comma-separated "
                                            "(1001-1100, 1001-1100x2, 1,5,9,20-30x5).",
                                  "SPEC");
  const QCommandLineOption skipExisting("skip-existing", "Skip pictures whose output exists, so a stopped run "
                                                         "resumes when it is run again (a movie's frames one by one).");
  const QCommandLineOption threads("threads", "Use N threads (default: every core); frames run in parallel.", "N");
  const QCommandLineOption progress("progress", "Print one JSON line per picture on standard output as it ends "
                                                "(frame, input, output, status, error, ms).",
                                    "jsonl");
  const QCommandLineOption as("as", "With --output-dir: write pictures and movie frames as dpx, exr, tiff or png.",
                              "TYPE");
  const QCommandLineOption maxPixels("max-pixels",
                                     "Refuse 8-bit pictures of more pixels than this, e.g. 300000000 or 300M (150M); "
                                     "footage streams and has no limit.",
                                     "N");
  const QCommandLineOption overwrite = OverwriteOption();
  parser.addOptions(
      {lutOption, output, outputDir, as, input, frames, skipExisting, threads, progress, overwrite, maxPixels});
  parser.addPositionalArgument("IMAGE", "Pictures or movies to run through the LUT.", "[IMAGE...]");
  if (!ParseCommandLine(parser, command, args))
    return 0;
  const QStringList images = parser.positionalArguments();
  const bool sequence = parser.isSet(input);
  if (sequence && !images.isEmpty())
    throw EUsage("apply takes either --input PATTERN or IMAGE arguments, not both.");
  if (!sequence && images.isEmpty())
    throw EUsage("apply needs at least one IMAGE or --input PATTERN.");
  if (sequence != parser.isSet(frames))
    throw EUsage(sequence ? "--input needs --frames SPEC." : "--frames goes with --input PATTERN.");
  if (parser.isSet(output) == parser.isSet(outputDir))
    throw EUsage("apply needs either --output or --output-dir DIR.");
  if (parser.isSet(output) && !sequence && images.size() != 1)
    throw EUsage("--output takes one picture; use --output-dir for several.");
  if (parser.isSet(output) && parser.isSet(as))
    throw EUsage("--as goes with --output-dir; with --output the file's extension gives the type.");
  if (parser.isSet(outputDir) && !QFileInfo(parser.value(outputDir)).isDir())
    throw EUsage("--output-dir: '" + Str(parser.value(outputDir)) + "' is not a folder.");
  const std::string type = parser.isSet(as) ? Str(parser.value(as).toLower()) : std::string();
  const auto &types = FrameSequenceTypes();
  if (!type.empty() && std::find(types.begin(), types.end(), type) == types.end())
    throw EUsage("--as: '" + type + "' is not one of dpx, exr, tiff, png.");
  for (const QString &image : images)
    if (parser.isSet(output) && IsMovieFileName(Str(image)))
      throw EUsage("'" + Str(image) + "' is a movie: its frames need --output-dir DIR.");
  // In --output-dir, under the input's own name, with the extension of --as when given.
  const auto inOutputDir = [&](const QString &inputName) {
    QString name = QFileInfo(inputName).fileName();
    if (!type.empty())
      name = QFileInfo(name).completeBaseName() + "." + QString::fromStdString(type);
    return Str(QDir(parser.value(outputDir)).filePath(name));
  };
  // A movie is one job, whose outputs are its frames' pictures (only the first for a movie that
  // cannot be read, which fails when its work runs); the first names the job.
  const std::string movieType = type.empty() ? "dpx" : type;
  std::map<std::string, std::vector<std::string>> movieFrames;
  const auto movieOutput = [&](const std::string &movie) {
    std::vector<std::string> &names = movieFrames[movie];
    try {
      names = MovieFrameFileNames(movie, Str(parser.value(outputDir)), movieType);
    } catch (const ETintwiseError &) {
    }
    if (names.empty())
      names.push_back(MovieFrameFileName(Str(parser.value(outputDir)), movie, 0, movieType));
    return names.front();
  };
  if (parser.isSet(progress) && parser.value(progress) != "jsonl")
    throw EUsage("--progress: '" + Str(parser.value(progress)) + "' is not a progress format; use jsonl.");
  TFrameBatchOptions batch;
  batch.SkipExisting = parser.isSet(skipExisting);
  // A movie is done when every frame's picture is there; its work skips the frames written already.
  batch.OutputExists = [&](const TFrameJob &job) {
    const auto movie = movieFrames.find(job.Input);
    if (movie == movieFrames.end())
      return FrameOutputExists(job.Output);
    return std::all_of(movie->second.begin(), movie->second.end(), FrameOutputExists);
  };
  if (parser.isSet(threads))
    batch.Threads = ParseInt("--threads", Str(parser.value(threads)), 1, 1024);
  std::int64_t pixelLimit = 0;
  if (parser.isSet(maxPixels)) {
    try {
      pixelLimit = ParseMaxPixels(Str(parser.value(maxPixels)));
    } catch (const std::exception &e) {
      throw EUsage(std::string("--max-pixels: ") + e.what());
    }
  }

  std::vector<TFrameJob> jobs;
  try {
    if (sequence) {
      const TFramePattern in(Str(parser.value(input)));
      std::unique_ptr<TFramePattern> out;
      if (parser.isSet(output))
        out = std::make_unique<TFramePattern>(Str(parser.value(output)));
      for (const std::int64_t frame : ParseFrameList(Str(parser.value(frames)))) {
        const std::string name = in.NameOf(frame);
        jobs.push_back({frame, name, out ? out->NameOf(frame) : inOutputDir(QString::fromStdString(name))});
      }
    } else {
      for (const QString &image : images)
        jobs.push_back({-1, Str(image),
                        parser.isSet(output)          ? Str(parser.value(output))
                        : IsMovieFileName(Str(image)) ? movieOutput(Str(image))
                                                      : inOutputDir(image)});
    }
  } catch (const EFrameSpecError &e) {
    throw EUsage(std::string(sequence ? "--frames/--input: " : "") + e.what());
  }

  // Footage needs the picture library's module, a good part of a second to load: it loads on a
  // thread of its own while the outputs are checked and the LUT is read.
  const auto isFootage = [](const std::string &name) {
    const auto &stills = FootageStillExtensions();
    return IsMovieFileName(name) || std::find(stills.begin(), stills.end(), LowerFileExtension(name)) != stills.end();
  };
  std::jthread preload;
  if (std::any_of(jobs.begin(), jobs.end(),
                  [&](const TFrameJob &job) { return isFootage(job.Input) || isFootage(job.Output); }))
    preload = std::jthread(PreloadFootageSupport);

  // Every output is checked before anything is written: none may be an input of this run or the
  // output of another job; an existing one is written over only with --overwrite (or skipped).
  const std::string lutFile = Required(parser, lutOption);
  TOutputGuard guard(parser.isSet(overwrite) || batch.SkipExisting);
  guard.AddInput(lutFile);
  for (const TFrameJob &job : jobs)
    guard.AddInput(job.Input);
  for (const TFrameJob &job : jobs) {
    const auto movie = movieFrames.find(job.Input);
    for (const std::string &name : movie == movieFrames.end() ? std::vector{job.Output} : movie->second)
      guard.AddOutput(name);
  }
  guard.Check();

  auto lut = std::make_unique<TLUT>();
  LoadAnyLut(lutFile, *lut);

  const bool json = parser.isSet(progress);
  const bool human = isatty(STDERR_FILENO);
  const int total = static_cast<int>(jobs.size());
  int finished = 0;
  std::string lastError;
  const TFrameBatchSummary summary = RunFrameBatch(
      jobs, batch,
      [&](const TFrameJob &job) {
        if (IsMovieFileName(job.Input))
          ApplyLutToMovieFrames(*lut, job.Input, Str(parser.value(outputDir)), movieType, batch.SkipExisting);
        else
          ApplyLutToPictureFile(*lut, job.Input, job.Output, pixelLimit);
      },
      [&](const TFrameJob &job, const TFrameResult &result) {
        ++finished;
        if (human)
          std::fprintf(stderr, "\r\033[K");
        if (result.Status == TFrameStatus::Failed && !(total == 1 && !sequence))
          std::fprintf(stderr, "tintwise-cli: %s\n", OneLine(result.Error).c_str());
        if (human)
          std::fprintf(stderr, "[%d/%d] %s", finished, total, job.Input.c_str());
        if (json) {
          const std::string line = FrameResultJson(job, result) + "\n";
          std::fwrite(line.data(), 1, line.size(), stdout);
          std::fflush(stdout);
        }
        if (total == 1 && !sequence && result.Status == TFrameStatus::Failed)
          lastError = result.Error;
      });
  if (human)
    std::fputc('\n', stderr);
  if (summary.Failed == 0)
    return 0;
  // One picture named on the command line fails as any other operation does.
  if (total == 1 && !sequence)
    throw ETintwiseError(lastError);
  std::fprintf(stderr, "tintwise-cli: %d of %d pictures could not be processed.\n", summary.Failed, total);
  return 3;
}

const TCliCommandEntry kEntry{
    {"apply", "run pictures, numbered sequences or movie frames through a LUT",
     "--lut FILE (--output FILE | --output-dir DIR [--as TYPE]) IMAGE... | "
     "--lut FILE --input PATTERN --frames SPEC (--output PATTERN | --output-dir DIR [--as TYPE])",
     "Runs pictures at full resolution and at their own precision through a LUT.\n"
     "The output format follows the file extension. DPX, Cineon, EXR and 16-bit TIFF and PNG keep\n"
     "their pixel type, bit depth, alpha and metadata; grey ones become RGB. 8-bit pictures go through\n"
     "as the preview does.\n"
     "A movie's frames are written into --output-dir as a numbered sequence of --as pictures (dpx\n"
     "unless given), e.g. clip.000000.dpx. Outputs are written in one step, so an output\n"
     "that exists is complete.\n"
     "Exit codes: 0 every picture done or skipped; 1 nothing could be done (e.g. an unreadable LUT);\n"
     "2 bad usage; 3 some pictures failed (each named on stderr and in the JSON lines), the others\n"
     "written.",
     RunApply, 40}};

} // namespace

} // namespace tintwise
