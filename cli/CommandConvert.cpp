// tintwise-cli convert: LUT files rewritten under another output profile, one file or a whole
// library in one call.
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <memory>
#include <unistd.h>

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/OutputGuard.h"
#include "cli/OutputOptions.h"
#include "formats/LutFormat.h"
#include "engine/FileAccess.h"
#include "workflow/FrameBatch.h"
#include "workflow/MatchWorkflow.h"

namespace tintwise {

namespace {

int RunConvert(const TCliCommand &command, const QStringList &args) {
  QCommandLineParser parser;
  const TOutputOptions out;
  const QCommandLineOption format("format", "Read the inputs as this format (index or exact name).", "F");
  const QCommandLineOption outputDir("output-dir",
                                     "Folder for the results, under the inputs' names with the profile's "
                                     "extension (for several INPUTs).",
                                     "DIR");
  const QCommandLineOption skipExisting("skip-existing", "Skip inputs whose output exists.");
  const QCommandLineOption progress("progress", "Print one JSON line per input on standard output as it ends.",
                                    "jsonl");
  const QCommandLineOption overwrite = OverwriteOption();
  out.AddTo(parser);
  parser.addOptions({outputDir, format, skipExisting, progress, overwrite});
  parser.addPositionalArgument("INPUT", "The LUT files to read.", "INPUT...");
  if (!ParseCommandLine(parser, command, args))
    return 0;
  const QStringList inputs = parser.positionalArguments();
  if (inputs.isEmpty())
    throw EUsage("convert needs at least one INPUT file.");
  if (parser.isSet(out.Output) == parser.isSet(outputDir))
    throw EUsage("convert needs either --output FILE or --output-dir DIR.");
  if (parser.isSet(out.Output) && inputs.size() != 1)
    throw EUsage("--output takes one INPUT; use --output-dir for several.");
  if (parser.isSet(outputDir) && !QFileInfo(parser.value(outputDir)).isDir())
    throw EUsage("--output-dir: '" + Str(parser.value(outputDir)) + "' is not a folder.");
  if (parser.isSet(progress) && parser.value(progress) != "jsonl")
    throw EUsage("--progress: '" + Str(parser.value(progress)) + "' is not a progress format; use jsonl.");
  const TLutOutputChoice choice = out.Choose(parser, false);
  const std::string extension = GetLutOutputProfile(choice.ProfileIndex).Extension;
  TLUTFormat *forced = parser.isSet(format) ? ResolveFormat(Str(parser.value(format))) : nullptr;

  std::vector<TFrameJob> jobs;
  for (const QString &input : inputs)
    jobs.push_back({-1, Str(input),
                    parser.isSet(outputDir)
                        ? Str(QDir(parser.value(outputDir))
                                  .filePath(QFileInfo(input).completeBaseName() + "." + QString::fromStdString(extension)))
                        : choice.FileName});
  const bool skip = parser.isSet(skipExisting);
  TOutputGuard guard(parser.isSet(overwrite) || skip);
  for (const TFrameJob &job : jobs)
    guard.AddInput(job.Input);
  for (const TFrameJob &job : jobs)
    guard.AddOutput(job.Output);
  guard.Check();

  // One file named on the command line fails as any other operation does.
  if (jobs.size() == 1 && !skip && !parser.isSet(progress)) {
    auto lut = std::make_unique<TLUT>();
    LoadAnyLut(jobs[0].Input, *lut, forced);
    TLutOutputChoice one = choice;
    one.FileName = jobs[0].Output;
    WriteLutThroughProfile(*lut, one);
    return 0;
  }

  // The format readers keep their parse state between calls, so the files go one at a time.
  TFrameBatchOptions batch;
  batch.Threads = 1;
  batch.SkipExisting = skip;
  const bool json = parser.isSet(progress);
  auto lut = std::make_unique<TLUT>();
  const TFrameBatchSummary summary = RunFrameBatch(
      jobs, batch,
      [&](const TFrameJob &job) {
        LoadAnyLut(job.Input, *lut, forced);
        TLutOutputChoice one = choice;
        one.FileName = job.Output;
        WriteLutThroughProfile(*lut, one);
      },
      [&](const TFrameJob &job, const TFrameResult &result) {
        if (result.Status == TFrameStatus::Failed)
          std::fprintf(stderr, "tintwise-cli: %s\n", OneLine(result.Error).c_str());
        if (json) {
          const std::string line = FrameResultJson(job, result) + "\n";
          WriteStandardOutput(line);
        }
      });
  if (summary.Failed == 0)
    return 0;
  std::fprintf(stderr, "tintwise-cli: %d of %d LUT files could not be converted.\n", summary.Failed,
               static_cast<int>(jobs.size()));
  return 3;
}

const TCliCommandEntry kEntry{
    {"convert", "read LUT files and write them under another output profile",
     "INPUT --profile P --output FILE [--size N] [--bits B] [--format F] | "
     "INPUT... --profile P --output-dir DIR [...]",
     "Reads a LUT file and writes it under another output profile. With --output-dir, many LUT\n"
     "files are converted in one call, each under its own name with the profile's extension.\n"
     "Exit codes: 0 every file converted or skipped; 1 nothing could be done; 2 bad usage;\n"
     "3 some files failed (each named on stderr), the others written.",
     RunConvert, 30}};

} // namespace

} // namespace tintwise
