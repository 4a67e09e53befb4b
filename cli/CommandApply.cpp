// tintwise-cli apply: pictures run through a LUT at full resolution.
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <unistd.h>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/OutputGuard.h"
#include "cli/PictureWriter.h"
#include "imaging/PictureLoader.h"
#include "workflow/ErrorMessage.h"
#include "workflow/MatchWorkflow.h"

namespace tintwise {

namespace {

int RunApply(const TCliCommand &command, const QStringList &args) {
  QCommandLineParser parser;
  const QCommandLineOption lutOption("lut", "The LUT file to apply.", "FILE");
  const QCommandLineOption output("output", "Where to write the result (one picture only).", "FILE");
  const QCommandLineOption outputDir("output-dir", "Folder for the results, under the pictures' own names.", "DIR");
  const QCommandLineOption overwrite = OverwriteOption();
  parser.addOptions({lutOption, output, outputDir, overwrite});
  parser.addPositionalArgument("IMAGE", "Pictures to run through the LUT.", "IMAGE...");
  if (!ParseCommandLine(parser, command, args))
    return 0;
  const QStringList images = parser.positionalArguments();
  if (images.isEmpty())
    throw EUsage("apply needs at least one IMAGE.");
  if (parser.isSet(output) == parser.isSet(outputDir))
    throw EUsage("apply needs either --output FILE or --output-dir DIR.");
  if (parser.isSet(output) && images.size() != 1)
    throw EUsage("--output takes one picture; use --output-dir for several.");
  if (parser.isSet(outputDir) && !QFileInfo(parser.value(outputDir)).isDir())
    throw EUsage("--output-dir: '" + Str(parser.value(outputDir)) + "' is not a folder.");
  const std::string lutFile = Required(parser, lutOption);

  // Where each picture goes, checked as a whole before anything is written.
  std::vector<std::string> targets;
  TOutputGuard guard(parser.isSet(overwrite));
  guard.AddInput(lutFile);
  for (const QString &image : images) {
    guard.AddInput(Str(image));
    targets.push_back(parser.isSet(output) ? Str(parser.value(output))
                                           : Str(QDir(parser.value(outputDir)).filePath(QFileInfo(image).fileName())));
    CheckPictureOutput(targets.back());
    guard.AddOutput(targets.back());
  }
  guard.Check();

  auto lut = std::make_unique<TLUT>();
  LoadAnyLut(lutFile, *lut);

  const bool progress = isatty(STDERR_FILENO);
  int failures = 0;
  for (int i = 0; i < images.size(); ++i) {
    const std::string image = Str(images[i]);
    const std::string &target = targets[static_cast<std::size_t>(i)];
    if (progress)
      std::fprintf(stderr, "\r\033[K[%d/%d] %s", i + 1, static_cast<int>(images.size()), image.c_str());
    try {
      TBitmap24 picture;
      LoadPictureFile(image, picture);
      lut->ApplyToBitmap(picture);
      SavePictureFile(picture, target);
    } catch (...) {
      if (progress)
        std::fputc('\n', stderr);
      if (images.size() == 1)
        throw;
      ReportError(ErrorMessage());
      ++failures;
    }
  }
  if (progress)
    std::fputc('\n', stderr);
  if (failures)
    throw ETintwiseError(std::to_string(failures) + " of " + std::to_string(images.size()) +
                             " pictures could not be processed.");
  return 0;
}

const TCliCommandEntry kEntry{{"apply", "run pictures through a LUT",
                               "--lut FILE [--output FILE | --output-dir DIR] IMAGE...",
                               "Runs pictures at full resolution through a LUT, as the preview does.\n"
                               "The output format follows the file extension.",
                               RunApply, 40}};

} // namespace

} // namespace tintwise
