// tintwise-cli match: the window's road from two pictures to a LUT file, in one run.
#include <functional>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/OutputGuard.h"
#include "cli/OutputOptions.h"
#include "engine/FileAccess.h"
#include "imaging/FrameSpec.h"
#include "imaging/PictureWriter.h"
#include "workflow/MatchReport.h"
#include "workflow/MatchWorkflow.h"

namespace tintwise {

namespace {

TBitmap24 RegionOf(const TFittedPicture &picture, const std::string &option, const std::string &text) {
  const TRegion region = MapRegionToFitted(option, ParseRegion(option, text), picture.Width, picture.Height,
                                           picture.Bitmap.Width(), picture.Bitmap.Height());
  return picture.Bitmap.Crop(region.X, region.Y, region.Width, region.Height);
}

TReportRegion ReportRegion(const std::string &option, const std::string &text) {
  const TRegion r = ParseRegion(option, text);
  return {r.X, r.Y, r.Width, r.Height};
}

int RunMatch(const TCliCommand &command, const QStringList &args) {
  QCommandLineParser parser;
  const QCommandLineOption reference("reference", "The reference picture: the look wanted.", "FILE");
  const QCommandLineOption source("source", "The source picture: the frame to be graded.", "FILE");
  const TOutputOptions out;
  const QCommandLineOption brightness("brightness", "Brightness opacity in percent, 0 to 200 (100).", "PCT");
  const QCommandLineOption chroma("chroma", "Chroma opacity in percent, 0 to 200 (100).", "PCT");
  const QCommandLineOption refRegion("reference-region", "Match against this region of the reference.", "X,Y,W,H");
  const QCommandLineOption srcRegion("source-region", "Match from this region of the source.", "X,Y,W,H");
  const QCommandLineOption secondary(
      "secondary",
      "A secondary correction, applied in the order given: \"ref=X,Y,W,H src=X,Y,W,H softness=S "
      "brightness=P chroma=P\" (softness 0 to 10, default 2; percentages default to 100).",
      "SETTINGS");
  const QCommandLineOption preview("preview", "Also write the corrected, fitted source picture.", "FILE");
  const QCommandLineOption report("report", "Also write the match report as JSON to FILE, or - for standard output.",
                                  "FILE");
  const QCommandLineOption refFrame("reference-frame",
                                    "The frame of a reference movie: a number from 0 or a timecode HH:MM:SS:FF (0).",
                                    "N");
  const QCommandLineOption srcFrame("source-frame",
                                    "The frame of a source movie: a number from 0 or a timecode HH:MM:SS:FF (0).", "N");
  const QCommandLineOption maxPixels("max-pixels",
                                     "Refuse pictures of more pixels than this, e.g. 300000000 or 300M (150M).", "N");
  const QCommandLineOption overwrite = OverwriteOption();
  out.AddTo(parser);
  parser.addOptions({reference, source, brightness, chroma, refRegion, srcRegion, secondary, preview, report,
                     refFrame, srcFrame, maxPixels, overwrite});
  if (!ParseCommandLine(parser, command, args))
    return 0;
  NoPositional(parser);
  const std::string refFile = Required(parser, reference), srcFile = Required(parser, source);
  const TLutOutputChoice choice = out.Choose(parser);
  const int brightnessPct =
      parser.isSet(brightness) ? ParseInt("--brightness", Str(parser.value(brightness)), 0, 200) : 100;
  const int chromaPct = parser.isSet(chroma) ? ParseInt("--chroma", Str(parser.value(chroma)), 0, 200) : 100;

  // Every secondary is checked before any picture is loaded.
  std::vector<TSecondaryArgs> secondaries;
  for (const QString &text : parser.values(secondary))
    secondaries.push_back(ParseSecondary(Str(text)));

  const std::string reportFile = parser.isSet(report) ? Str(parser.value(report)) : std::string();
  if (reportFile == "-" && choice.FileName == "-")
    throw EUsage("--report and --output cannot both write to standard output.");

  // Every output is checked before the work starts, so nothing is written unless all can be.
  TOutputGuard guard(parser.isSet(overwrite));
  guard.AddInput(refFile);
  guard.AddInput(srcFile);
  guard.AddOutput(choice.FileName);
  if (parser.isSet(preview)) {
    CheckPictureOutput(Str(parser.value(preview)));
    guard.AddOutput(Str(parser.value(preview)));
  }
  if (!reportFile.empty())
    guard.AddOutput(reportFile);
  guard.Check();

  // The picture options are checked before any picture is loaded, too.
  TPictureLoadOptions refOptions, srcOptions;
  auto checked = [&](const QCommandLineOption &option, const std::function<void(const std::string &)> &check) {
    if (!parser.isSet(option))
      return;
    try {
      check(Str(parser.value(option)));
    } catch (const EImageError &e) {
      throw EUsage("--" + Str(option.names().last()) + ": " + e.what());
    }
  };
  checked(maxPixels, [&](const std::string &v) { refOptions.MaxPixels = srcOptions.MaxPixels = ParseMaxPixels(v); });
  checked(refFrame, [&](const std::string &v) { ParseFrameSpec(refOptions.Frame = v); });
  checked(srcFrame, [&](const std::string &v) { ParseFrameSpec(srcOptions.Frame = v); });

  const TFittedPicture ref = LoadFittedPicture(refFile, refOptions);
  const TFittedPicture src = LoadFittedPicture(srcFile, srcOptions);
  const TBitmap24 refPart =
      parser.isSet(refRegion) ? RegionOf(ref, "--reference-region", Str(parser.value(refRegion))) : ref.Bitmap;
  const TBitmap24 srcPart =
      parser.isSet(srcRegion) ? RegionOf(src, "--source-region", Str(parser.value(srcRegion))) : src.Bitmap;

  const std::unique_ptr<TLUT> primary = NewWorkingLUT(), working = NewWorkingLUT();
  ComputePrimary(refPart, srcPart, brightnessPct / 100.0, chromaPct / 100.0, *primary);
  // Each secondary goes on top of the ones before it, in the order given.
  BuildWorkingLUT(*primary, {}, *working);
  for (const TSecondaryArgs &s : secondaries)
    ApplySecondaryCorrection(*MakeSecondary(RegionOf(ref, "--secondary ref", s.Ref),
                                            RegionOf(src, "--secondary src", s.Src),
                                            {s.Brightness / 100.0, s.Chroma / 100.0, s.Softness}),
                             *working);
  WriteLutThroughProfile(*working, choice);
  if (parser.isSet(preview))
    SavePictureFile(CorrectedPicture(src.Bitmap, *working), Str(parser.value(preview)));
  if (!reportFile.empty()) {
    // The source before and after the correction, for the whole pictures, the regions matched and
    // each secondary's pair of regions; regions as given, in the pictures' own pixels.
    TMatchReport matchReport;
    const TBitmap24 corrected = CorrectedPicture(src.Bitmap, *working);
    matchReport.Areas.push_back(MeasureArea("whole pictures", ref.Bitmap, src.Bitmap, &corrected));
    if (parser.isSet(refRegion) || parser.isSet(srcRegion)) {
      const TBitmap24 after = CorrectedPicture(srcPart, *working);
      matchReport.Areas.push_back(MeasureArea(
          "matched regions", refPart, srcPart, &after,
          parser.isSet(refRegion) ? std::optional(ReportRegion("--reference-region", Str(parser.value(refRegion))))
                                  : std::nullopt,
          parser.isSet(srcRegion) ? std::optional(ReportRegion("--source-region", Str(parser.value(srcRegion))))
                                  : std::nullopt));
    }
    for (std::size_t i = 0; i < secondaries.size(); ++i) {
      const TSecondaryArgs &s = secondaries[i];
      const TBitmap24 before = RegionOf(src, "--secondary src", s.Src);
      const TBitmap24 after = CorrectedPicture(before, *working);
      matchReport.Areas.push_back(MeasureArea("secondary " + std::to_string(i + 1),
                                              RegionOf(ref, "--secondary ref", s.Ref), before, &after,
                                              ReportRegion("--secondary ref", s.Ref),
                                              ReportRegion("--secondary src", s.Src)));
    }
    WriteFileAtomically(reportFile, MatchReportJson(matchReport));
  }
  return 0;
}

const TCliCommandEntry kEntry{
    {"match", "match a source picture to a reference and write the correction as a LUT",
     "--reference FILE --source FILE --profile P --output FILE [options]",
     "Matches the source picture to the reference and writes the correction as a LUT file.\n"
     "Regions are given in the pictures' own pixels.",
     RunMatch, 20}};

} // namespace

} // namespace tintwise
