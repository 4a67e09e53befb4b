#include "cli/CliCommand.h"

#include <algorithm>
#include <cstdio>

#include "cli/CliOptions.h"

namespace tintwise {

namespace {

std::vector<TCliCommand> &Table() {
  static std::vector<TCliCommand> table;
  return table;
}

} // namespace

TCliCommandEntry::TCliCommandEntry(const TCliCommand &command) {
  std::vector<TCliCommand> &table = Table();
  const auto at = std::upper_bound(table.begin(), table.end(), command,
                                   [](const TCliCommand &a, const TCliCommand &b) { return a.Order < b.Order; });
  table.insert(at, command);
}

std::vector<const TCliCommand *> CliCommands() {
  std::vector<const TCliCommand *> commands;
  for (const TCliCommand &c : Table())
    commands.push_back(&c);
  return commands;
}

const TCliCommand *FindCliCommand(const std::string &name) {
  for (const TCliCommand &c : Table())
    if (name == c.Name)
      return &c;
  return nullptr;
}

std::string CliUsage() {
  std::string text = "Usage: tintwise-cli COMMAND [options]\n\nCommands:\n";
  for (const TCliCommand &c : Table()) {
    std::string name = c.Name;
    name.resize(std::max<std::size_t>(name.size() + 1, 10), ' ');
    text += "  " + name + c.Summary + "\n";
  }
  text += "\n'tintwise-cli COMMAND --help' describes a command's options.\n";
  return text;
}

bool ParseCommandLine(QCommandLineParser &parser, const TCliCommand &command, const QStringList &args) {
  parser.setApplicationDescription(QString::fromUtf8(command.Description));
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
  const QCommandLineOption help({"h", "help"}, "Show this help.");
  parser.addOption(help);
  if (!parser.parse(QStringList{QStringLiteral("tintwise-cli ") + command.Name} + args))
    throw EUsage(Str(parser.errorText()));
  if (parser.isSet(help)) {
    // Qt's help text starts with its own usage line; the description and the options follow.
    std::printf("Usage: tintwise-cli %s %s\n\n%s\n", command.Name, command.Synopsis,
                qPrintable(parser.helpText().section('\n', 1)));
    return false;
  }
  return true;
}

void NoPositional(const QCommandLineParser &parser) {
  if (!parser.positionalArguments().isEmpty())
    throw EUsage("unexpected argument '" + Str(parser.positionalArguments().first()) + "'.");
}

std::string Required(const QCommandLineParser &parser, const QCommandLineOption &option) {
  if (!parser.isSet(option))
    throw EUsage("--" + Str(option.names().last()) + " is required.");
  return Str(parser.value(option));
}

} // namespace tintwise
