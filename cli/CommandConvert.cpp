// tintwise-cli convert: a LUT file rewritten under another output profile.
#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "cli/OutputOptions.h"
#include "workflow/MatchWorkflow.h"

namespace tintwise {

namespace {

int RunConvert(const TCliCommand &command, const QStringList &args) {
  QCommandLineParser parser;
  const TOutputOptions out;
  const QCommandLineOption format("format", "Read the input as this format (index or exact name).", "F");
  out.AddTo(parser);
  parser.addOption(format);
  parser.addPositionalArgument("INPUT", "The LUT file to read.");
  if (!ParseCommandLine(parser, command, args))
    return 0;
  if (parser.positionalArguments().size() != 1)
    throw EUsage("convert takes exactly one INPUT file.");
  const std::string input = Str(parser.positionalArguments().first());
  const TLutOutputChoice choice = out.Choose(parser);
  TLUTFormat *forced = parser.isSet(format) ? ResolveFormat(Str(parser.value(format))) : nullptr;
  auto lut = std::make_unique<TLUT>();
  LoadAnyLut(input, *lut, forced);
  WriteLutThroughProfile(*lut, choice);
  return 0;
}

const TCliCommandEntry kEntry{{"convert", "read a LUT file and write it under another output profile",
                               "INPUT --profile P --output FILE [--size N] [--bits B] [--format F]",
                               "Reads a LUT file and writes it under another output profile.", RunConvert, 30}};

} // namespace

} // namespace tintwise
