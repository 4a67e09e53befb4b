#include "cli/CliCommands.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <memory>
#include <unistd.h>

#include "cli/CliOptions.h"
#include "imaging/PictureWriter.h"
#include "engine/Bitmap24.h"
#include "engine/Lut.h"
#include "engine/PrimaryCorrection.h"
#include "engine/SecondaryCorrection.h"
#include "formats/LutFormat.h"
#include "imaging/FootageApply.h"
#include "imaging/FootageFiles.h"
#include "imaging/ImageResize2.h"
#include "imaging/PictureLoader.h"

namespace tintwise {

namespace {

// The size of the lattices the window computes its corrections in.
constexpr int kWorkingSize = 33;

std::string Str(const QString &s) { return s.toStdString(); }

// Parses args with the options; --help prints the command's help and ends with exit code 0.
bool Parse(QCommandLineParser &parser, const QString &command, const QString &synopsis,
           const QString &description, const QStringList &args) {
  parser.setApplicationDescription(description);
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
  const QCommandLineOption help({"h", "help"}, "Show this help.");
  parser.addOption(help);
  if (!parser.parse(QStringList{"tintwise-cli " + command} + args))
    throw EUsage(Str(parser.errorText()));
  if (parser.isSet(help)) {
    std::printf("Usage: tintwise-cli %s %s\n\n%s\n", qPrintable(command), qPrintable(synopsis),
                qPrintable(parser.helpText().section('\n', 2)));
    return false;
  }
  return true;
}

void NoPositional(const QCommandLineParser &parser) {
  if (!parser.positionalArguments().isEmpty())
    throw EUsage("unexpected argument '" + Str(parser.positionalArguments().first()) + "'.");
}

std::string Required(const QCommandLineParser &parser, const QCommandLineOption &option) {
  if (!parser.isSet(option))
    throw EUsage("--" + Str(option.names().last()) + " is required.");
  return Str(parser.value(option));
}

// A picture loaded and fitted exactly as the window loads it, with the size it has on disk.
struct TFittedPicture {
  TBitmap24 Bitmap;
  int Width = 0, Height = 0; // on disk
};

TFittedPicture LoadFitted(const std::string &fileName) {
  TFittedPicture picture;
  TBitmap24 full;
  LoadPictureFile(fileName, full);
  picture.Width = full.Width();
  picture.Height = full.Height();
  int width = 0, height = 0;
  FitSize(full.Width(), full.Height(), kFitWidth, kFitHeight, width, height);
  if (width <= 0 || height <= 0)
    throw EImageError(fileName + ": the picture is too long and thin to fit into " + std::to_string(kFitWidth) +
                      " x " + std::to_string(kFitHeight) + " pixels.");
  ResizeBitmap(width, height, kLanczos3Filter, 0, full, picture.Bitmap);
  return picture;
}

TBitmap24 RegionOf(const TFittedPicture &picture, const std::string &option, const std::string &text) {
  const TRegion region = MapRegionToFitted(option, ParseRegion(option, text), picture.Width, picture.Height,
                                           picture.Bitmap.Width(), picture.Bitmap.Height());
  return picture.Bitmap.Crop(region.X, region.Y, region.Width, region.Height);
}

// The size and bit depth a profile is written with: its defaults unless chosen and allowed.
struct TOutputChoice {
  int ProfileIndex = 0;
  int Size = 0;
  int Bits = 0;
  std::string OutputFile;
};

// The options every command that writes a LUT takes: --profile, --output, --size and --bits.
struct TOutputOptions {
  QCommandLineOption Profile{"profile", "Output profile, by index or exact name (see 'formats').", "P"};
  QCommandLineOption Output{"output", "The LUT file to write.", "FILE"};
  QCommandLineOption Size{"size", "Size, where the profile lets it be chosen.", "N"};
  QCommandLineOption Bits{"bits", "Bit depth, where the profile lets it be chosen.", "B"};

  void AddTo(QCommandLineParser &parser) const { parser.addOptions({Profile, Output, Size, Bits}); }
  TOutputChoice Choose(const QCommandLineParser &parser) const;
};

TOutputChoice TOutputOptions::Choose(const QCommandLineParser &parser) const {
  TOutputChoice choice;
  choice.ProfileIndex = ResolveProfile(Required(parser, Profile));
  const TLutOutputProfile &profile = GetLutOutputProfile(choice.ProfileIndex);
  const bool is3D = GetLutFormat(profile.FormatIndex)->Is3D;
  choice.Size = profile.DefaultSize;
  choice.Bits = profile.DefaultBits;
  if (parser.isSet(Size)) {
    if (!profile.SizeSelectable)
      throw EUsage("--size: the profile \"" + profile.Name + "\" is always written with " +
                   std::to_string(profile.DefaultSize) + (is3D ? " points per axis." : " entries."));
    choice.Size = is3D ? ParseInt("--size", Str(parser.value(Size)), 2, kMaxSize3D)
                       : ParseInt("--size", Str(parser.value(Size)), 2, kMaxSize1D);
  }
  if (parser.isSet(Bits)) {
    if (!profile.BitsSelectable)
      throw EUsage("--bits: the profile \"" + profile.Name + "\" has a fixed bit depth" +
                   (profile.DefaultBits ? " of " + std::to_string(profile.DefaultBits) + " bits." : "."));
    const int bits = ParseInt("--bits", Str(parser.value(Bits)), 8, 16);
    if (bits % 2 != 0)
      throw EUsage("--bits: choose 8, 10, 12, 14 or 16.");
    choice.Bits = bits;
  }
  choice.OutputFile = Required(parser, Output);
  return choice;
}

// Brings the LUT to the profile's kind and size and writes it through the profile's format.
void WriteThroughProfile(const TOutputChoice &choice, const TLUT &lut) {
  const TLutOutputProfile &profile = GetLutOutputProfile(choice.ProfileIndex);
  TLUTFormat *format = GetLutFormat(profile.FormatIndex);
  auto out = std::make_unique<TLUT>();
  if (format->Is3D) {
    out->Mode = kMode3D;
    out->Size3D = choice.Size;
  } else {
    out->Mode = kMode1D;
    out->Size1D = choice.Size;
  }
  out->AssignFrom(lut);
  format->SaveToFile(choice.OutputFile, *out, choice.Bits);
}

TLUTFormat *LoadAnyLut(const std::string &fileName, TLUT &lut, TLUTFormat *forced = nullptr) {
  if (!QFileInfo::exists(QString::fromStdString(fileName)))
    throw EFOpenError(fileName + ": the file does not exist.");
  if (forced) {
    forced->LoadFromFile(fileName, lut);
    return forced;
  }
  return LoadLutFile(fileName, lut);
}

// At least nine significant digits, and never fewer than it takes to read the same double back.
std::string FormatNumber(double v) {
  char shortest[64], nine[64];
  const auto a = std::to_chars(shortest, shortest + sizeof shortest, v);
  const auto b = std::to_chars(nine, nine + sizeof nine, v, std::chars_format::general, 9);
  const std::string s(shortest, a.ptr), n(nine, b.ptr);
  auto digits = [](const std::string &t) {
    int count = 0;
    bool leading = true;
    for (char c : t) {
      if (c == 'e' || c == 'E')
        break;
      if (c < '0' || c > '9')
        continue;
      if (c != '0')
        leading = false;
      if (!leading)
        ++count;
    }
    return count;
  };
  if (digits(s) >= 9)
    return s;
  // Pad the nine-digit form with the zeros %g drops, e.g. 0.5 -> 0.500000000.
  std::string padded = n;
  if (padded.find('e') == std::string::npos) {
    if (padded.find('.') == std::string::npos)
      padded += '.';
    while (digits(padded) < 9 && !(v == 0 && padded.size() > 11))
      padded += '0';
  }
  return padded;
}

const char *ModeName(std::uint8_t mode) {
  switch (mode) {
  case kMode1D: return "1D curve";
  case kMode3D: return "3D lattice";
  case kMode1DThen3D: return "1D curve, then 3D lattice";
  default: return "identity";
  }
}

} // namespace

int RunFormats(const QStringList &args) {
  QCommandLineParser parser;
  if (!Parse(parser, "formats", "", "Lists the output profiles and the LUT formats.", args))
    return 0;
  NoPositional(parser);
  std::printf("Output profiles\n");
  std::printf("%-5s  %-44s  %-9s  %-4s  %-6s  %-4s  %s\n", "index", "name", "extension", "kind", "size", "bits",
              "selectable");
  for (int i = 0; i < LutOutputProfileCount(); ++i) {
    const TLutOutputProfile &p = GetLutOutputProfile(i);
    const bool is3D = GetLutFormat(p.FormatIndex)->Is3D;
    std::string selectable = p.SizeSelectable && p.BitsSelectable ? "size, bits"
                             : p.SizeSelectable                   ? "size"
                             : p.BitsSelectable                   ? "bits"
                                                                  : "-";
    std::printf("%-5d  %-44s  %-9s  %-4s  %-6d  %-4s  %s\n", i, p.Name.c_str(), p.Extension.c_str(),
                is3D ? "3D" : "1D", p.DefaultSize, p.DefaultBits ? std::to_string(p.DefaultBits).c_str() : "-",
                selectable.c_str());
  }
  std::printf("\nFormats\n");
  std::printf("%-5s  %-44s  %-4s  %-5s  %s\n", "index", "name", "kind", "reads", "writes");
  for (int i = 0; i < LutFormatCount(); ++i) {
    const TLUTFormat *f = GetLutFormat(i);
    std::printf("%-5d  %-44s  %-4s  %-5s  %s\n", i, f->Name.c_str(), f->Is3D ? "3D" : "1D",
                f->CanReadFiles() ? "yes" : "no", f->CanWrite() ? "yes" : "no");
  }
  return 0;
}

int RunMatch(const QStringList &args) {
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
  out.AddTo(parser);
  parser.addOptions({reference, source, brightness, chroma, refRegion, srcRegion, secondary, preview});
  if (!Parse(parser, "match",
             "--reference FILE --source FILE --profile P --output FILE [options]",
             "Matches the source picture to the reference and writes the correction as a LUT file.\n"
             "Regions are given in the pictures' own pixels.",
             args))
    return 0;
  NoPositional(parser);
  const std::string refFile = Required(parser, reference), srcFile = Required(parser, source);
  const TOutputChoice choice = out.Choose(parser);
  const int brightnessPct = parser.isSet(brightness) ? ParseInt("--brightness", Str(parser.value(brightness)), 0, 200) : 100;
  const int chromaPct = parser.isSet(chroma) ? ParseInt("--chroma", Str(parser.value(chroma)), 0, 200) : 100;

  // Every secondary is checked before any picture is loaded.
  struct TSecondaryArgs {
    std::string Ref, Src;
    int Softness = 2, Brightness = 100, Chroma = 100;
  };
  std::vector<TSecondaryArgs> secondaries;
  for (const QString &argText : parser.values(secondary)) {
    TSecondaryArgs args;
    for (const QString &part : argText.split(' ', Qt::SkipEmptyParts)) {
      const int eq = part.indexOf('=');
      const std::string key = Str(part.left(eq)), value = Str(part.mid(eq + 1));
      if (eq < 0)
        throw EUsage("--secondary: '" + Str(part) + "' is not KEY=VALUE.");
      if (key == "ref")
        args.Ref = value;
      else if (key == "src")
        args.Src = value;
      else if (key == "softness")
        args.Softness = ParseInt("--secondary softness", value, 0, 10);
      else if (key == "brightness")
        args.Brightness = ParseInt("--secondary brightness", value, 0, 200);
      else if (key == "chroma")
        args.Chroma = ParseInt("--secondary chroma", value, 0, 200);
      else
        throw EUsage("--secondary: unknown key '" + key + "'; use ref, src, softness, brightness and chroma.");
    }
    if (args.Ref.empty() || args.Src.empty())
      throw EUsage("--secondary: both ref=X,Y,W,H and src=X,Y,W,H are required.");
    ParseRegion("--secondary ref", args.Ref);
    ParseRegion("--secondary src", args.Src);
    secondaries.push_back(args);
  }

  const TFittedPicture ref = LoadFitted(refFile);
  const TFittedPicture src = LoadFitted(srcFile);
  const TBitmap24 refPart = parser.isSet(refRegion) ? RegionOf(ref, "--reference-region", Str(parser.value(refRegion))) : ref.Bitmap;
  const TBitmap24 srcPart = parser.isSet(srcRegion) ? RegionOf(src, "--source-region", Str(parser.value(srcRegion))) : src.Bitmap;

  auto primary = std::make_unique<TLUT>(), working = std::make_unique<TLUT>();
  for (TLUT *lut : {primary.get(), working.get()}) {
    lut->Mode = kMode3D;
    lut->Size3D = kWorkingSize;
  }
  ApplyPrimaryCorrection(refPart, srcPart, *primary, brightnessPct / 100.0, chromaPct / 100.0, chromaPct / 100.0);
  working->AssignFrom(*primary);
  for (const TSecondaryArgs &args : secondaries) {
    const TBitmap24 refCrop = RegionOf(ref, "--secondary ref", args.Ref);
    const TBitmap24 srcCrop = RegionOf(src, "--secondary src", args.Src);
    auto record = std::make_unique<TSecondCorrectionData>();
    CalcSecondaryStatistics(refCrop, srcCrop, *record);
    BuildSecondaryMask(srcCrop, *record, args.Softness);
    record->Opacity = {args.Brightness / 100.0, args.Chroma / 100.0, args.Chroma / 100.0};
    ApplySecondaryCorrection(*record, *working);
  }
  WriteThroughProfile(choice, *working);
  if (parser.isSet(preview)) {
    TBitmap24 corrected = src.Bitmap;
    working->ApplyToBitmap(corrected);
    SavePictureFile(corrected, Str(parser.value(preview)));
  }
  return 0;
}

int RunConvert(const QStringList &args) {
  QCommandLineParser parser;
  const TOutputOptions out;
  const QCommandLineOption format("format", "Read the input as this format (index or exact name).", "F");
  out.AddTo(parser);
  parser.addOption(format);
  parser.addPositionalArgument("INPUT", "The LUT file to read.");
  if (!Parse(parser, "convert", "INPUT --profile P --output FILE [--size N] [--bits B] [--format F]",
             "Reads a LUT file and writes it under another output profile.", args))
    return 0;
  if (parser.positionalArguments().size() != 1)
    throw EUsage("convert takes exactly one INPUT file.");
  const std::string input = Str(parser.positionalArguments().first());
  const TOutputChoice choice = out.Choose(parser);
  TLUTFormat *forced = parser.isSet(format) ? ResolveFormat(Str(parser.value(format))) : nullptr;
  auto lut = std::make_unique<TLUT>();
  LoadAnyLut(input, *lut, forced);
  WriteThroughProfile(choice, *lut);
  return 0;
}

int RunApply(const QStringList &args) {
  QCommandLineParser parser;
  const QCommandLineOption lutOption("lut", "The LUT file to apply.", "FILE");
  const QCommandLineOption output("output", "Where to write the result (one picture only).", "FILE");
  const QCommandLineOption outputDir("output-dir", "Folder for the results, under the pictures' own names.", "DIR");
  const QCommandLineOption as("as", "With --output-dir: write pictures and movie frames as dpx, exr, tiff or png.",
                              "TYPE");
  parser.addOptions({lutOption, output, outputDir, as});
  parser.addPositionalArgument("IMAGE", "Pictures or movies to run through the LUT.", "IMAGE...");
  if (!Parse(parser, "apply", "--lut FILE [--output FILE | --output-dir DIR [--as TYPE]] IMAGE...",
             "Runs pictures at full resolution and at their own precision through a LUT.\n"
             "The output format follows the file extension. A movie's frames are written into\n"
             "--output-dir as a numbered sequence of --as pictures (dpx unless given).",
             args))
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

int RunEval(const QStringList &args) {
  QCommandLineParser parser;
  parser.addPositionalArgument("LUTFILE", "The LUT file.");
  parser.addPositionalArgument("R G B", "The colour, three numbers from 0 to 1.");
  if (!Parse(parser, "eval", "LUTFILE R G B", "Prints the LUT's output for one colour.", args))
    return 0;
  const QStringList pos = parser.positionalArguments();
  if (pos.size() != 4)
    throw EUsage("eval takes a LUT file and three numbers.");
  const TLutTriple in{ParseDouble("R", Str(pos[1])), ParseDouble("G", Str(pos[2])), ParseDouble("B", Str(pos[3]))};
  auto lut = std::make_unique<TLUT>();
  LoadAnyLut(Str(pos[0]), *lut);
  const TLutTriple out = lut->Evaluate(in);
  std::printf("%s %s %s\n", FormatNumber(out[0]).c_str(), FormatNumber(out[1]).c_str(), FormatNumber(out[2]).c_str());
  return 0;
}

int RunInfo(const QStringList &args) {
  QCommandLineParser parser;
  parser.addPositionalArgument("LUTFILE", "The LUT file.");
  if (!Parse(parser, "info", "LUTFILE", "Describes a LUT file: its format, mode, sizes and comments.", args))
    return 0;
  if (parser.positionalArguments().size() != 1)
    throw EUsage("info takes exactly one LUT file.");
  auto lut = std::make_unique<TLUT>();
  const TLUTFormat *format = LoadAnyLut(Str(parser.positionalArguments().first()), *lut);
  std::printf("format: %s (%d)\n", format->Name.c_str(), LutFormatIndex(format));
  std::printf("mode: %d (%s)\n", lut->Mode, ModeName(lut->Mode));
  if (lut->Mode == kMode1D || lut->Mode == kMode1DThen3D)
    std::printf("1D size: %d entries\n", lut->Size1D);
  if (lut->Mode == kMode3D || lut->Mode == kMode1DThen3D)
    std::printf("3D size: %d points per axis\n", lut->Size3D);
  std::printf("comments: %d\n", static_cast<int>(lut->Comments.size()));
  for (const std::string &line : lut->Comments)
    std::printf("  %s\n", line.c_str());
  return 0;
}

} // namespace tintwise
