// tintwise-cli: matching, conversion and LUT application without the window.
#include <QCoreApplication>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli/CliCommand.h"
#include "cli/CliOptions.h"
#include "formats/LutFormat.h"
#include "engine/Verbose.h"
#include "imaging/PictureLoader.h"
#include "workflow/ErrorMessage.h"

namespace {

// Everything printed must have reached standard output: a full disk or a closed pipe is a failure,
// not a success with the results missing.
int CheckStandardOutput(int code) {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout))
    return code;
  tintwise::ReportError("Cannot write to standard output. " + std::string(std::strerror(errno)) + ".");
  return code == 0 ? 1 : code;
}

int Run(QStringList args) {
  using namespace tintwise;
  if (args.isEmpty()) {
    std::fputs(CliUsage().c_str(), stderr);
    return 2;
  }
  // --verbose, anywhere on the line, lets the picture libraries' own warnings through.
  if (args.removeAll(QStringLiteral("--verbose")) > 0) {
    SetPictureLoaderVerbose(true);
    SetVerbose(true);
  }
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
    ReportError("unknown command '" + name.toStdString() + "'; 'tintwise-cli --help' lists the commands.");
    return 2;
  } catch (const EUsage &e) {
    ReportError(e.what());
    return 2;
  } catch (...) {
    ReportError(ErrorMessage());
    return 1;
  }
}

} // namespace

int main(int argc, char **argv) {
  QCoreApplication app(argc, argv); // Qt's picture plugins are found through it
  QStringList args = QCoreApplication::arguments();
  args.removeFirst();
  return CheckStandardOutput(Run(args));
}
