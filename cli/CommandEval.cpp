// tintwise-cli eval: a LUT's output for one colour.
#include <charconv>
#include <cstdio>

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "workflow/MatchWorkflow.h"

namespace tintwise {

namespace {

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

int RunEval(const TCliCommand &command, const QStringList &args) {
  QCommandLineParser parser;
  parser.addPositionalArgument("LUTFILE", "The LUT file.");
  parser.addPositionalArgument("R G B", "The colour, three numbers from 0 to 1.");
  if (!ParseCommandLine(parser, command, args))
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

const TCliCommandEntry kEntry{{"eval", "print a LUT's output for one colour", "LUTFILE R G B",
                               "Prints the LUT's output for one colour.", RunEval, 50}};

} // namespace

} // namespace tintwise
