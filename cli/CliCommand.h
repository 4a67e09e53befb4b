// The commands of tintwise-cli. Each command lives in its own source file and enters itself into
// the one table that both the usage text and the dispatch read, so adding a command touches only
// its own file and cli/CMakeLists.txt.
//
// A command takes its own arguments (without the program and command names), writes its results
// to standard output and returns the exit code; failures are raised: EUsage for bad usage (exit 2),
// anything else for a failed operation (exit 1).
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>

#include <string>
#include <vector>

namespace tintwise {

struct TCliCommand {
  const char *Name;
  const char *Summary;     // one line, lower case, for the list of commands
  const char *Synopsis;    // the arguments after "tintwise-cli NAME"
  const char *Description; // the text of NAME --help, one or more lines
  int (*Run)(const TCliCommand &command, const QStringList &args);
  int Order = 100; // the place in the list of commands; lower comes first
};

// Enters a command into the table; define one at namespace scope in the command's file:
//   const TCliCommandEntry kEntry{{"name", "summary", "ARGS", "Description.", RunName, 70}};
struct TCliCommandEntry {
  explicit TCliCommandEntry(const TCliCommand &command);
};

// Every command, in the order of their Order fields.
std::vector<const TCliCommand *> CliCommands();
// The command with this name, or nullptr.
const TCliCommand *FindCliCommand(const std::string &name);
// The text 'tintwise-cli --help' prints.
std::string CliUsage();

// Parses args with the parser's options; for --help prints the command's help and returns false
// (the command then ends with exit code 0). Raises EUsage for anything the parser refuses.
bool ParseCommandLine(QCommandLineParser &parser, const TCliCommand &command, const QStringList &args);

// Raises EUsage when the command line holds positional arguments.
void NoPositional(const QCommandLineParser &parser);

// The option's value; raises EUsage when it is not given.
std::string Required(const QCommandLineParser &parser, const QCommandLineOption &option);

inline std::string Str(const QString &s) { return s.toStdString(); }

} // namespace tintwise
