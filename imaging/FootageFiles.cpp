#include "imaging/FootageFiles.h"

#include <algorithm>
#include <fstream>

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

namespace {

// Where the pixels of a DPX or Cineon file start: both begin with a magic number, whose byte order
// is the file's, and the offset of the pixels as a 32-bit number. 0 when the file does not say.
std::uint64_t PixelOffset(const std::string &fileName) {
  unsigned char head[8] = {};
  if (!std::ifstream(fileName, std::ios::binary).read(reinterpret_cast<char *>(head), sizeof head))
    return 0;
  const std::uint32_t magic = std::uint32_t(head[0]) << 24 | head[1] << 16 | head[2] << 8 | head[3];
  const bool big = magic == 0x53445058 || magic == 0x802A5FD7; // "SDPX", Cineon
  if (!big && magic != 0x58504453 && magic != 0xD75F2A80)
    return 0;
  std::uint32_t offset = 0;
  for (int i = 0; i < 4; ++i)
    offset = offset << 8 | head[big ? 4 + i : 7 - i];
  return offset;
}

} // namespace

std::uint64_t FootageMinimumFileSize(const std::string &fileName, int width, int height, int channels, int bits) {
  const std::string ext = LowerFileExtension(fileName);
  if (ext != "dpx" && ext != "cin")
    return 0;
  return PixelOffset(fileName) + static_cast<std::uint64_t>(width) * height * channels * bits / 8;
}

const std::vector<std::string> &FootageStillExtensions() {
  static const std::vector<std::string> list = {"dpx", "cin", "exr"};
  return list;
}

} // namespace tintwise
