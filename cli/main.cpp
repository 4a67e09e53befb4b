// tintwise-cli: matching, conversion and LUT application without the window.
#include <QCoreApplication>

#include <cstdio>
#include <exception>
#include <string>

#include "cli/CliCommands.h"
#include "cli/CliOptions.h"
#include "formats/LutFormat.h"

namespace {

const char *const kUsage =
    "Usage: tintwise-cli COMMAND [options]\n"
    "\n"
    "Commands:\n"
    "  formats   list the output profiles and the LUT formats\n"
    "  match     match a source picture to a reference and write the correction as a LUT\n"
    "  convert   read a LUT file and write it under another output profile\n"
    "  apply     run pictures through a LUT\n"
    "  eval      print a LUT's output for one colour\n"
    "  info      describe a LUT file\n"
    "\n"
    "'tintwise-cli COMMAND --help' describes a command's options.\n";

// One line on stderr, whatever the message holds.
void Report(const std::string &message) {
  std::string line = message;
  for (char &c : line)
    if (c == '\n' || c == '\r')
      c = ' ';
  std::fprintf(stderr, "tintwise-cli: %s\n", line.c_str());
}

} // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv); // Qt's picture plugins are found through it
  QStringList args = QCoreApplication::arguments();
  args.removeFirst();
  if (args.isEmpty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const QString command = args.takeFirst();
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (command == "--version") {
    std::printf("%s %s\n", TINTWISE_PRODUCT_NAME, TINTWISE_PRODUCT_VERSION);
    return 0;
  }
  using namespace tintwise;
  try {
    InitLutFormats();
    if (command == "formats")
      return RunFormats(args);
    if (command == "match")
      return RunMatch(args);
    if (command == "convert")
      return RunConvert(args);
    if (command == "apply")
      return RunApply(args);
    if (command == "eval")
      return RunEval(args);
    if (command == "info")
      return RunInfo(args);
    Report("unknown command '" + command.toStdString() + "'; 'tintwise-cli --help' lists the commands.");
    return 2;
  } catch (const EUsage &e) {
    Report(e.what());
    return 2;
  } catch (const std::bad_alloc &) {
    Report("there is not enough memory for this operation.");
    return 1;
  } catch (const std::exception &e) {
    Report(e.what());
    return 1;
  }
}
