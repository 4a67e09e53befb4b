#include "imaging/FrameSpec.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "imaging/ImageResize2.h"

namespace tintwise {

namespace {

[[noreturn]] void Refuse(std::string_view text, const std::string &why) {
  throw EImageError("\"" + std::string(text) + "\" is not a frame: " + why + ".");
}

bool ReadField(std::string_view field, std::int64_t &value) {
  if (field.empty() || field.size() > 12)
    return false;
  for (const char c : field)
    if (c < '0' || c > '9')
      return false;
  return std::from_chars(field.data(), field.data() + field.size(), value).ec == std::errc();
}

} // namespace

TFrameSpec ParseFrameSpec(std::string_view text) {
  TFrameSpec spec;
  if (text.find(';') != std::string_view::npos)
    Refuse(text, "drop-frame timecodes are not read; give the frame number instead");
  if (text.find(':') == std::string_view::npos) {
    if (!ReadField(text, spec.Number))
      Refuse(text, "give a frame number counted from 0, or a timecode HH:MM:SS:FF");
    return spec;
  }
  std::int64_t fields[4];
  std::size_t start = 0;
  for (int i = 0; i < 4; ++i) {
    const std::size_t colon = i < 3 ? text.find(':', start) : text.size();
    if (colon == std::string_view::npos || !ReadField(text.substr(start, colon - start), fields[i]) ||
        (i > 0 && colon - start != 2))
      Refuse(text, "a timecode is written HH:MM:SS:FF");
    start = colon + 1;
  }
  if (fields[1] > 59 || fields[2] > 59)
    Refuse(text, "minutes and seconds go up to 59");
  if (fields[0] > 999999)
    Refuse(text, "the hours are out of range");
  spec.IsTimecode = true;
  spec.Hours = static_cast<int>(fields[0]);
  spec.Minutes = static_cast<int>(fields[1]);
  spec.Seconds = static_cast<int>(fields[2]);
  spec.Frames = static_cast<int>(fields[3] > 1000000 ? 1000000 : fields[3]);
  return spec;
}

int TimecodeBase(double frameRate) {
  if (!(frameRate >= 1) || !std::isfinite(frameRate))
    return 1;
  return static_cast<int>(std::min(std::nearbyint(frameRate), 1e6));
}

std::int64_t FrameNumberOf(const TFrameSpec &spec, double frameRate) {
  if (!spec.IsTimecode)
    return spec.Number;
  const int base = TimecodeBase(frameRate);
  if (spec.Frames >= base) {
    char text[64];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d:%02d", spec.Hours, spec.Minutes, spec.Seconds, spec.Frames);
    Refuse(text, "the frame field counts 0 to " + std::to_string(base - 1) + " at this movie's " +
                     std::to_string(base) + " frames a second");
  }
  return ((static_cast<std::int64_t>(spec.Hours) * 60 + spec.Minutes) * 60 + spec.Seconds) * base + spec.Frames;
}

std::string FrameTimecode(std::int64_t frame, double frameRate) {
  const std::int64_t base = TimecodeBase(frameRate);
  if (frame < 0)
    frame = 0;
  const std::int64_t seconds = frame / base;
  char text[64];
  std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld:%02lld", static_cast<long long>(seconds / 3600),
                static_cast<long long>(seconds / 60 % 60), static_cast<long long>(seconds % 60),
                static_cast<long long>(frame % base));
  return text;
}

} // namespace tintwise
