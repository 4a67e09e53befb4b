// tintwise-cli apply: pictures run through a LUT at full resolution, one by one or as numbered
// sequences over frame lists, frames in parallel, the unit of work a render farm hands out.
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <memory>
#include <unistd.h>

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/PictureWriter.h"
#include "imaging/PictureLoader.h"
#include "workflow/FrameBatch.h"
#include "workflow/FrameSequence.h"
#include "workflow/MatchWorkflow.h"

namespace tintwise {

namespace {

// A message on one line, as every error is printed.
std::string OneLine(std::string text) {
  for (char &c : text)
    if (c == '\n' || c == '\r')
      c = ' ';
  return text;
}

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
                                                         "resumes when it is run again.");
  const QCommandLineOption threads("threads", "Use N threads (default: every core); frames run in parallel.", "N");
  const QCommandLineOption progress("progress", "Print one JSON line per picture on standard output as it ends "
                                                "(frame, input, output, status, error, ms).",
                                    "jsonl");
  parser.addOptions({lutOption, output, outputDir, input, frames, skipExisting, threads, progress});
  parser.addPositionalArgument("IMAGE", "Pictures to run through the LUT.", "[IMAGE...]");
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
  if (parser.isSet(outputDir) && !QFileInfo(parser.value(outputDir)).isDir())
    throw EUsage("--output-dir: '" + Str(parser.value(outputDir)) + "' is not a folder.");
  if (parser.isSet(progress) && parser.value(progress) != "jsonl")
    throw EUsage("--progress: '" + Str(parser.value(progress)) + "' is not a progress format; use jsonl.");
  TFrameBatchOptions batch;
  batch.SkipExisting = parser.isSet(skipExisting);
  if (parser.isSet(threads))
    batch.Threads = ParseInt("--threads", Str(parser.value(threads)), 1, 1024);

  std::vector<TFrameJob> jobs;
  try {
    if (sequence) {
      const TFramePattern in(Str(parser.value(input)));
      std::unique_ptr<TFramePattern> out;
      if (parser.isSet(output))
        out = std::make_unique<TFramePattern>(Str(parser.value(output)));
      for (const std::int64_t frame : ParseFrameList(Str(parser.value(frames)))) {
        const std::string name = in.NameOf(frame);
        jobs.push_back({frame, name,
                        out ? out->NameOf(frame)
                            : Str(QDir(parser.value(outputDir)).filePath(QFileInfo(QString::fromStdString(name)).fileName()))});
      }
    } else {
      for (const QString &image : images)
        jobs.push_back({-1, Str(image),
                        parser.isSet(output) ? Str(parser.value(output))
                                             : Str(QDir(parser.value(outputDir)).filePath(QFileInfo(image).fileName()))});
    }
  } catch (const EFrameSpecError &e) {
    throw EUsage(std::string(sequence ? "--frames/--input: " : "") + e.what());
  }

  auto lut = std::make_unique<TLUT>();
  LoadAnyLut(Required(parser, lutOption), *lut);

  const bool json = parser.isSet(progress);
  const bool human = isatty(STDERR_FILENO);
  const int total = static_cast<int>(jobs.size());
  int finished = 0;
  std::string lastError;
  const TFrameBatchSummary summary = RunFrameBatch(
      jobs, batch,
      [&](const TFrameJob &job) {
        TBitmap24 picture;
        LoadPictureFile(job.Input, picture);
        lut->ApplyToBitmap(picture);
        SavePictureFile(picture, job.Output);
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
    {"apply", "run pictures or numbered sequences through a LUT",
     "--lut FILE (--output FILE | --output-dir DIR) IMAGE... | "
     "--lut FILE --input PATTERN --frames SPEC (--output PATTERN | --output-dir DIR)",
     "Runs pictures at full resolution through a LUT, as the preview does.\n"
     "The output format follows the file extension. Outputs are written in one step, so an output\n"
     "that exists is complete.\n"
     "Exit codes: 0 every picture done or skipped; 1 nothing could be done (e.g. an unreadable LUT);\n"
     "2 bad usage; 3 some pictures failed (each named on stderr and in the JSON lines), the others\n"
     "written.",
     RunApply, 40}};

} // namespace

} // namespace tintwise
