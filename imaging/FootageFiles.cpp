#include "imaging/FootageFiles.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

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
  static const std::vector<std::string> list = {"mov", "mp4", "m4v", "mxf", "avi", "mkv", "webm", "mpg", "mpeg", "mts", "m2ts"};
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

namespace {

bool ParseField(std::string_view text, int &value) {
  if (text.empty() || text.size() > 9)
    return false;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size() && value >= 0;
}

} // namespace

int ParseFrameNumber(const std::string &text, int framesPerSecond, const std::string &what) {
  const auto fail = [&](const std::string &why) {
    throw EImageError(what + ": '" + text + "' " + why);
  };
  int value = 0;
  if (text.find(':') == std::string::npos && text.find(';') == std::string::npos) {
    if (!ParseField(text, value))
      fail("is not a frame number (0, 1, 2, ... or a timecode HH:MM:SS:FF).");
    return value;
  }
  if (text.find(';') != std::string::npos)
    fail("is a drop-frame timecode; give the frame number instead.");
  int fields[4];
  std::size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const std::size_t colon = i < 3 ? text.find(':', start) : text.size();
    if (colon == std::string::npos || (i == 3 && text.find(':', start) != std::string::npos) ||
        !ParseField(std::string_view(text).substr(start, colon - start), fields[i]))
      fail("is not a timecode HH:MM:SS:FF.");
    start = colon + 1;
  }
  if (framesPerSecond < 1)
    fail("is a timecode, but the frame rate is unknown; give the frame number instead.");
  if (fields[1] > 59 || fields[2] > 59 || fields[3] >= framesPerSecond)
    fail("is not a timecode HH:MM:SS:FF at " + std::to_string(framesPerSecond) + " frames a second.");
  const long long frame = ((static_cast<long long>(fields[0]) * 60 + fields[1]) * 60 + fields[2]) * framesPerSecond + fields[3];
  if (frame > 0x7FFFFFFF)
    fail("is past any frame a movie can hold.");
  return static_cast<int>(frame);
}

std::string FrameTimecode(int frame, int framesPerSecond) {
  const int fps = framesPerSecond < 1 ? 1 : framesPerSecond;
  const int ff = frame % fps, seconds = frame / fps;
  char text[32];
  std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60, ff);
  return text;
}

} // namespace tintwise
