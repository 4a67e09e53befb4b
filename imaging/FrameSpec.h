// Naming a frame of a movie file: a 0-based frame number ("120") or a timecode ("00:00:05:00",
// hours, minutes, seconds and frames, counted from the movie's first frame at 00:00:00:00). The
// command line's --reference-frame / --source-frame and the window's frame slider use these.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tintwise {

struct TFrameSpec {
  bool IsTimecode = false;
  std::int64_t Number = 0;                         // the frame number, when not a timecode
  int Hours = 0, Minutes = 0, Seconds = 0, Frames = 0; // the timecode's fields
};

// Reads "N" or "HH:MM:SS:FF" (each field two digits or more for hours; minutes and seconds below 60).
// Throws EImageError naming the text for anything else, including drop-frame timecodes ("...;FF").
TFrameSpec ParseFrameSpec(std::string_view text);

// The frames a second a timecode counts: the frame rate rounded to the nearest whole number (30 for
// 29.97), at least 1.
int TimecodeBase(double frameRate);

// The 0-based frame number the spec names at this frame rate. Throws EImageError for a timecode
// whose frame field is not below TimecodeBase(frameRate).
std::int64_t FrameNumberOf(const TFrameSpec &spec, double frameRate);

// The timecode "HH:MM:SS:FF" of a 0-based frame number at this frame rate.
std::string FrameTimecode(std::int64_t frame, double frameRate);

} // namespace tintwise
