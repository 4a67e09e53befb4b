// tintwise-cli: matching, conversion and LUT application without the window.
#include <QCoreApplication>

#include <cstdio>
#include <exception>
#include <string>

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "formats/LutFormat.h"
#include "imaging/PictureLoader.h"

namespace {

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
  using namespace tintwise;
  QCoreApplication app(argc, argv); // Qt's picture plugins are found through it
  QStringList args = QCoreApplication::arguments();
  args.removeFirst();
  if (args.isEmpty()) {
    std::fputs(CliUsage().c_str(), stderr);
    return 2;
  }
  // --verbose, anywhere on the line, lets the picture libraries' own warnings through.
  if (args.removeAll(QStringLiteral("--verbose")) > 0)
    SetPictureLoaderVerbose(true);
  if (args.isEmpty()) {
    std::fputs(CliUsage().c_str(), stderr);
    return 2;
  }
  const QString name = args.takeFirst();
  if (name == "--help" || name == "-h" || name == "help") {
    std::fputs(CliUsage().c_str(), stdout);
    return 0;
  }
  if (name == "--version") {
    std::printf("%s %s\n", TINTWISE_PRODUCT_NAME, TINTWISE_PRODUCT_VERSION);
    return 0;
  }
  try {
    InitLutFormats();
    if (const TCliCommand *command = FindCliCommand(name.toStdString()))
      return command->Run(*command, args);
    Report("unknown command '" + name.toStdString() + "'; 'tintwise-cli --help' lists the commands.");
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
