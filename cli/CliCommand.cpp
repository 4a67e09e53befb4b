#include "cli/CliCommand.h"

#include <algorithm>
#include <cstdio>

#include "cli/CliOptions.h"
#include "engine/Verbose.h"

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
  const QCommandLineOption verbose("verbose", "Also print the warnings of the picture libraries.");
  parser.addOptions({help, verbose});
  if (!parser.parse(QStringList{QStringLiteral("tintwise-cli ") + command.Name} + args))
    throw EUsage(Str(parser.errorText()));
  if (parser.isSet(verbose))
    SetVerbose(true);
  if (parser.isSet(help)) {
    // Qt's help text starts with its own usage line; the description and the options follow.
    std::printf("Usage: tintwise-cli %s %s\n\n%s\n", command.Name, command.Synopsis,
                qPrintable(parser.helpText().section('\n', 1)));
    return false;
  }
  return true;
}

QCommandLineOption OverwriteOption() {
  return QCommandLineOption("overwrite", "Write over output files that exist (never over an input of the run).");
}

std::string PrintableText(std::string_view text) {
  static const char hex[] = "0123456789ABCDEF";
  auto escape = [&](std::string &out, const char *prefix, unsigned value) {
    out += prefix;
    out += hex[value >> 4];
    out += hex[value & 15];
  };
  std::string out;
  const auto *p = reinterpret_cast<const unsigned char *>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned c = p[i];
    if (c < 0x20 || c == 0x7F) {
      escape(out, "\\x", c);
      ++i;
      continue;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    // The length of a well-formed UTF-8 sequence starting here, or 0.
    std::size_t len = c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (len && i + len <= n) {
      for (std::size_t k = 1; k < len; ++k)
        if ((p[i + k] & 0xC0) != 0x80)
          len = 0;
      // Overlong forms, surrogates and values beyond U+10FFFF.
      if (len == 3 && ((c == 0xE0 && p[i + 1] < 0xA0) || (c == 0xED && p[i + 1] >= 0xA0)))
        len = 0;
      if (len == 4 && ((c == 0xF0 && p[i + 1] < 0x90) || (c == 0xF4 && p[i + 1] >= 0x90)))
        len = 0;
    } else {
      len = 0;
    }
    if (!len) {
      escape(out, "\\x", c);
      ++i;
    } else if (len == 2 && c == 0xC2 && p[i + 1] < 0xA0) {
      escape(out, "\\u00", p[i + 1]); // U+0080..U+009F: the terminal's C1 controls
      i += 2;
    } else {
      out.append(text.substr(i, len));
      i += len;
    }
  }
  return out;
}

void ReportError(const std::string &message) {
  std::string line = message;
  for (char &c : line)
    if (c == '\n' || c == '\r')
      c = ' ';
  std::fprintf(stderr, "tintwise-cli: %s\n", PrintableText(line).c_str());
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
