#include "formats/LutWriting.h"

#include <charconv>
#include <string>

namespace tintwise {

void AddCommentLine(TTextFile &lines, std::string_view comment) {
  std::string line = "# ";
  line.append(comment);
  for (char &c : line)
    if (c == '\r' || c == '\n' || c == '\0')
      c = ' ';
  lines.Add(line);
}

std::string FileTitle(const std::string &FileName) {
  std::size_t slash = FileName.find_last_of('/');
  std::string name = slash == std::string::npos ? FileName : FileName.substr(slash + 1);
  std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos)
    name.resize(dot);
  return name;
}

TLineBuilder &TLineBuilder::Int(long long v) {
  FEnd = std::to_chars(FEnd, FEnd + 24, v).ptr;
  return *this;
}

} // namespace tintwise
