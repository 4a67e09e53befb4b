// tintwise-cli eval: a LUT's output for one colour.
#include <charconv>
#include <cmath>
#include <cstdio>

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "workflow/MatchWorkflow.h"

namespace tintwise {

namespace {

// The shortest text that reads back to the same double, the same way for every number; infinities
// and NaN as "inf", "-inf" and "nan".
std::string FormatNumber(double v) {
  if (std::isnan(v))
    return "nan";
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, v).ptr;
  return std::string(text, end);
}

// Arguments that read as negative numbers are colour values, not options: the options go first,
// then "--", then the values in the order given.
QStringList NegativeNumbersAsValues(const QStringList &args) {
  if (args.contains("--"))
    return args;
  QStringList options, values;
  bool negative = false;
  for (const QString &arg : args) {
    bool number = false;
    if (arg.size() > 1 && arg[0] == '-' && (arg[1].isDigit() || arg[1] == '.'))
      arg.toDouble(&number);
    negative = negative || number;
    (number || !arg.startsWith('-') ? values : options).append(arg);
  }
  return negative ? options + QStringList{"--"} + values : args;
}

int RunEval(const TCliCommand &command, const QStringList &args) {
  QCommandLineParser parser;
  parser.addPositionalArgument("LUTFILE", "The LUT file.");
  parser.addPositionalArgument("R G B", "The colour, three numbers from 0 to 1.");
  if (!ParseCommandLine(parser, command, NegativeNumbersAsValues(args)))
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
