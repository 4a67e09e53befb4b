// tintwise-cli info: what a LUT file holds.
#include <cstdio>

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "formats/LutFormat.h"
#include "workflow/MatchWorkflow.h"

namespace tintwise {

namespace {

const char *ModeName(std::uint8_t mode) {
  switch (mode) {
  case kMode1D: return "1D curve";
  case kMode3D: return "3D lattice";
  case kMode1DThen3D: return "1D curve, then 3D lattice";
  default: return "identity";
  }
}

int RunInfo(const TCliCommand &command, const QStringList &args) {
  QCommandLineParser parser;
  parser.addPositionalArgument("LUTFILE", "The LUT file.");
  if (!ParseCommandLine(parser, command, args))
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

const TCliCommandEntry kEntry{{"info", "describe a LUT file", "LUTFILE",
                               "Describes a LUT file: its format, mode, sizes and comments.", RunInfo, 60}};

} // namespace

} // namespace tintwise
