#include "cli/OutputOptions.h"

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "formats/LutFormat.h"

namespace tintwise {

TLutOutputChoice TOutputOptions::Choose(const QCommandLineParser &parser) const {
  TLutOutputChoice choice = DefaultOutputChoice(ResolveProfile(Required(parser, Profile)));
  const TLutOutputProfile &profile = GetLutOutputProfile(choice.ProfileIndex);
  const bool is3D = GetLutFormat(profile.FormatIndex)->Is3D;
  if (parser.isSet(Size)) {
    if (!profile.SizeSelectable)
      throw EUsage("--size: the profile \"" + profile.Name + "\" is always written with " +
                   std::to_string(profile.DefaultSize) + (is3D ? " points per axis." : " entries."));
    choice.Size = ParseInt("--size", Str(parser.value(Size)), 2, MaxOutputSize(profile));
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
  choice.FileName = Required(parser, Output);
  return choice;
}

} // namespace tintwise
