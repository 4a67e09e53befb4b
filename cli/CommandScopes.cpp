// tintwise-cli scopes: the waveform, parade, vectorscope and histogram of a picture as PNG files,
// and its statistics as JSON, measured on the picture fitted as the window shows it.
#include <QDir>
#include <QFileInfo>

#include <optional>

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/OutputGuard.h"
#include "imaging/PictureWriter.h"
#include "engine/FileAccess.h"
#include "workflow/MatchReport.h"
#include "workflow/MatchWorkflow.h"
#include "workflow/Scopes.h"

namespace tintwise {

namespace {

TBitmap24 ToBitmap(const TScopeImage &scope) {
  TBitmap24 bitmap(scope.Width, scope.Height);
  for (int y = 0; y < scope.Height; ++y) {
    std::uint8_t *out = bitmap.Scanline(y);
    for (int x = 0; x < scope.Width; ++x, out += 3) {
      const std::uint8_t *in = scope.At(x, y);
      out[0] = in[2];
      out[1] = in[1];
      out[2] = in[0];
    }
  }
  return bitmap;
}

int RunScopes(const TCliCommand &command, const QStringList &args) {
  QCommandLineParser parser;
  const QCommandLineOption outputDir("output-dir", "Folder for waveform.png, parade.png, vectorscope.png and "
                                                   "histogram.png; files there are written over only with --overwrite.",
                                   "DIR");
  const QCommandLineOption region("region", "Measure only this region, in the picture's own pixels.", "X,Y,W,H");
  const QCommandLineOption standard("standard", "Luma and chroma weights: 601 (the default) or 709.", "601|709");
  const QCommandLineOption size("size", "Scope size N in pixels, 64 to 4096 (512).", "N");
  const QCommandLineOption logHistogram("log-histogram", "Draw the histogram on a logarithmic scale.");
  const QCommandLineOption report("report", "Write the picture's statistics as JSON to FILE, or - for standard "
                                            "output.", "FILE");
  const QCommandLineOption overwrite = OverwriteOption();
  parser.addOptions({outputDir, region, standard, size, logHistogram, report, overwrite});
  parser.addPositionalArgument("PICTURE", "The picture to measure.");
  if (!ParseCommandLine(parser, command, args))
    return 0;
  if (parser.positionalArguments().size() != 1)
    throw EUsage("scopes takes exactly one PICTURE.");
  if (!parser.isSet(outputDir) && !parser.isSet(report))
    throw EUsage("scopes needs --output-dir DIR, --report FILE or both.");
  if (parser.isSet(outputDir) && !QFileInfo(parser.value(outputDir)).isDir())
    throw EUsage("--output-dir: '" + Str(parser.value(outputDir)) + "' is not a folder.");
  TScopeStandard scopeStandard = TScopeStandard::Rec601;
  if (parser.isSet(standard)) {
    const std::string text = Str(parser.value(standard));
    if (text == "709")
      scopeStandard = TScopeStandard::Rec709;
    else if (text != "601")
      throw EUsage("--standard: '" + text + "' is not 601 or 709.");
  }
  const int scopeSize =
      parser.isSet(size) ? ParseInt("--size", Str(parser.value(size)), kMinScopeSize, kMaxScopeSize) : kDefaultScopeSize;
  std::optional<TRegion> asked;
  if (parser.isSet(region))
    asked = ParseRegion("--region", Str(parser.value(region)));
  const std::string reportFile = parser.isSet(report) ? Str(parser.value(report)) : std::string();
  const std::string pictureFile = Str(parser.positionalArguments().first());
  const QDir dir(parser.value(outputDir));
  const auto scopeFile = [&](TScopeKind kind) {
    return Str(dir.filePath(QString::fromLatin1(ScopeName(kind)) + QStringLiteral(".png")));
  };
  constexpr TScopeKind kinds[] = {TScopeKind::Waveform, TScopeKind::Parade, TScopeKind::Vectorscope,
                                  TScopeKind::Histogram};

  // Every output is checked before anything is written, as match, convert and apply check theirs.
  TOutputGuard guard(parser.isSet(overwrite));
  guard.AddInput(pictureFile);
  if (parser.isSet(outputDir))
    for (const TScopeKind kind : kinds)
      guard.AddOutput(scopeFile(kind));
  if (!reportFile.empty())
    guard.AddOutput(reportFile);
  guard.Check();

  const TFittedPicture picture = LoadFittedPicture(pictureFile);
  TBitmap24 part = picture.Bitmap;
  if (asked) {
    const TRegion r = MapRegionToFitted("--region", *asked, picture.Width, picture.Height, picture.Bitmap.Width(),
                                        picture.Bitmap.Height());
    part = picture.Bitmap.Crop(r.X, r.Y, r.Width, r.Height);
  }

  if (parser.isSet(outputDir)) {
    const TScopeCounts counts = MeasureScopes(part, scopeStandard, scopeSize);
    TScopeDrawOptions options;
    options.LogHistogram = parser.isSet(logHistogram);
    for (const TScopeKind kind : kinds)
      SavePictureFile(ToBitmap(DrawScope(kind, counts, options)), scopeFile(kind));
  }
  if (!reportFile.empty()) {
    std::vector<TPictureEntry> entries{{"whole picture", std::nullopt, MeasurePicture(picture.Bitmap)}};
    if (asked)
      entries.push_back({"region", TReportRegion{asked->X, asked->Y, asked->Width, asked->Height}, MeasurePicture(part)});
    WriteFileAtomically(reportFile, PictureReportJson(pictureFile, entries));
  }
  return 0;
}

const TCliCommandEntry kEntry{
    {"scopes", "draw a picture's waveform, parade, vectorscope and histogram",
     "PICTURE [--output-dir DIR] [--region X,Y,W,H] [--standard 601|709] [--size N] [--log-histogram] "
     "[--report FILE] [--overwrite]",
     "Draws the luma waveform, the RGB parade, the Cb/Cr vectorscope and the R, G, B and luma\n"
     "histogram of a picture as PNG files, measured on the picture fitted into 1700 x 500 pixels as\n"
     "the window shows it; the region is given in the picture's own pixels. --report writes its\n"
     "mean and deviation in each channel of the working YUV model and its mean colour in CIELAB.\n"
     "Files that exist are written over only with --overwrite, never the picture measured.\n"
     "The manual page describes the geometry of every scope picture.",
     RunScopes, 45}};

} // namespace

} // namespace tintwise
