#include "imaging/FootageFiles.h"

#include <algorithm>

#include "imaging/ImageResize2.h"

namespace tintwise {

std::string LowerFileExtension(const std::string &fileName) {
  const std::size_t slash = fileName.find_last_of('/');
  const std::size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return {};
  std::string ext = fileName.substr(dot + 1);
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return ext;
}

const std::vector<std::string> &MovieExtensions() {
  // Only the containers the picture library opens: it has no reader for MXF, Matroska, WebM or MPEG
  // transport streams, and MPEG program streams (.mpg) make it read without end.
  static const std::vector<std::string> list = {"mov", "mp4", "m4v", "avi"};
  return list;
}

bool IsMovieFileName(const std::string &fileName) {
  const std::string ext = LowerFileExtension(fileName);
  const auto &list = MovieExtensions();
  return std::find(list.begin(), list.end(), ext) != list.end();
}

const std::vector<std::string> &FootageStillExtensions() {
  static const std::vector<std::string> list = {"dpx", "cin", "exr"};
  return list;
}

} // namespace tintwise
