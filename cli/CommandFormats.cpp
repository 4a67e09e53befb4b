// tintwise-cli formats: the profile table and the format table.
#include <cstdio>
#include <string>

#include "cli/CliCommand.h"
#include "formats/LutFormat.h"

namespace tintwise {

namespace {

int RunFormats(const TCliCommand &command, const QStringList &args) {
  QCommandLineParser parser;
  if (!ParseCommandLine(parser, command, args))
    return 0;
  NoPositional(parser);
  std::printf("Output profiles\n");
  std::printf("%-5s  %-44s  %-9s  %-4s  %-6s  %-4s  %s\n", "index", "name", "extension", "kind", "size", "bits",
              "selectable");
  for (int i = 0; i < LutOutputProfileCount(); ++i) {
    const TLutOutputProfile &p = GetLutOutputProfile(i);
    const bool is3D = GetLutFormat(p.FormatIndex)->Is3D;
    std::string selectable = p.SizeSelectable && p.BitsSelectable ? "size, bits"
                             : p.SizeSelectable                   ? "size"
                             : p.BitsSelectable                   ? "bits"
                                                                  : "-";
    std::printf("%-5d  %-44s  %-9s  %-4s  %-6d  %-4s  %s\n", i, p.Name.c_str(), p.Extension.c_str(),
                is3D ? "3D" : "1D", p.DefaultSize, p.DefaultBits ? std::to_string(p.DefaultBits).c_str() : "-",
                selectable.c_str());
  }
  std::printf("\nFormats\n");
  std::printf("%-5s  %-44s  %-4s  %-5s  %s\n", "index", "name", "kind", "reads", "writes");
  for (int i = 0; i < LutFormatCount(); ++i) {
    const TLUTFormat *f = GetLutFormat(i);
    std::printf("%-5d  %-44s  %-4s  %-5s  %s\n", i, f->Name.c_str(), f->Is3D ? "3D" : "1D",
                f->CanReadFiles() ? "yes" : "no", f->CanWrite() ? "yes" : "no");
  }
  return 0;
}

const TCliCommandEntry kEntry{{"formats", "list the output profiles and the LUT formats", "",
                               "Lists the output profiles and the LUT formats.", RunFormats, 10}};

} // namespace

} // namespace tintwise
