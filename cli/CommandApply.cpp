// tintwise-cli apply: pictures run through a LUT at full resolution.
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <unistd.h>

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "imaging/FootageApply.h"
#include "imaging/FootageFiles.h"
#include "workflow/MatchWorkflow.h"

namespace tintwise {

namespace {

int RunApply(const TCliCommand &command, const QStringList &args) {
  QCommandLineParser parser;
  const QCommandLineOption lutOption("lut", "The LUT file to apply.", "FILE");
  const QCommandLineOption output("output", "Where to write the result (one picture only).", "FILE");
  const QCommandLineOption outputDir("output-dir", "Folder for the results, under the pictures' own names.", "DIR");
  const QCommandLineOption as("as", "With --output-dir: write pictures and movie frames as dpx, exr, tiff or png.",
                              "TYPE");
  parser.addOptions({lutOption, output, outputDir, as});
  parser.addPositionalArgument("IMAGE", "Pictures or movies to run through the LUT.", "IMAGE...");
  if (!ParseCommandLine(parser, command, args))
    return 0;
  const QStringList images = parser.positionalArguments();
  if (images.isEmpty())
    throw EUsage("apply needs at least one IMAGE.");
  if (parser.isSet(output) == parser.isSet(outputDir))
    throw EUsage("apply needs either --output FILE or --output-dir DIR.");
  if (parser.isSet(output) && images.size() != 1)
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
  auto lut = std::make_unique<TLUT>();
  LoadAnyLut(Required(parser, lutOption), *lut);

  const bool progress = isatty(STDERR_FILENO);
  int failures = 0;
  for (int i = 0; i < images.size(); ++i) {
    const std::string image = Str(images[i]);
    if (progress)
      std::fprintf(stderr, "\r\033[K[%d/%d] %s", i + 1, static_cast<int>(images.size()), image.c_str());
    try {
      if (IsMovieFileName(image)) {
        ApplyLutToMovieFrames(*lut, image, Str(parser.value(outputDir)), type.empty() ? "dpx" : type,
                              [&](int done, int count) {
                                if (progress)
                                  std::fprintf(stderr, "\r\033[K[%d/%d] %s frame %d/%d", i + 1,
                                               static_cast<int>(images.size()), image.c_str(), done, count);
                              });
      } else {
        QString name = QFileInfo(images[i]).fileName();
        if (!type.empty())
          name = QFileInfo(name).completeBaseName() + "." + QString::fromStdString(type);
        const std::string target =
            parser.isSet(output) ? Str(parser.value(output)) : Str(QDir(parser.value(outputDir)).filePath(name));
        ApplyLutToPictureFile(*lut, image, target);
      }
    } catch (const std::exception &e) {
      if (progress)
        std::fputc('\n', stderr);
      if (images.size() == 1)
        throw;
      std::fprintf(stderr, "tintwise-cli: %s\n", e.what());
      ++failures;
    }
  }
  if (progress)
    std::fputc('\n', stderr);
  if (failures)
    throw std::runtime_error(std::to_string(failures) + " of " + std::to_string(images.size()) +
                             " pictures could not be processed.");
  return 0;
}

const TCliCommandEntry kEntry{{"apply", "run pictures and movie frames through a LUT",
                               "--lut FILE [--output FILE | --output-dir DIR [--as TYPE]] IMAGE...",
                               "Runs pictures at full resolution and at their own precision through a LUT.\n"
                               "The output format follows the file extension. DPX, Cineon, EXR and 16-bit\n"
                               "TIFF and PNG keep their pixel type, bit depth, alpha and metadata. A movie's\n"
                               "frames are written into --output-dir as a numbered sequence of --as pictures\n"
                               "(dpx unless given).",
                               RunApply, 40}};

} // namespace

} // namespace tintwise
