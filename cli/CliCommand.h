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
#include <string_view>
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

// --overwrite, for every command that writes files (see TOutputGuard).
QCommandLineOption OverwriteOption();

// Text from a file made safe for a terminal: control characters (C0, DEL, C1) and bytes that are
// not UTF-8 are shown as \xNN or \u00NN escapes; everything else, any script included, stays.
std::string PrintableText(std::string_view text);

// Prints the message as one line on standard error, after the program's name.
void ReportError(const std::string &message);

inline std::string Str(const QString &s) { return s.toStdString(); }

// The text with its line breaks turned into blanks: every error is printed as one line.
inline std::string OneLine(std::string text) {
  for (char &c : text)
    if (c == '\n' || c == '\r')
      c = ' ';
  return text;
}

} // namespace tintwise
