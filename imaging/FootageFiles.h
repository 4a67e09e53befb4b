// Small facts about footage files shared by loading and applying: which extensions are movies and
// which are pictures beyond 8 bits, and frame numbers given as a count or as a timecode.
#pragma once

#include <string>
#include <vector>

namespace tintwise {

// The extension of a file name in lower case, without the dot ("" when there is none).
std::string LowerFileExtension(const std::string &fileName);

// Movie containers whose frames are read through the picture library's FFmpeg reader.
const std::vector<std::string> &MovieExtensions();
bool IsMovieFileName(const std::string &fileName);

// Still formats that carry more than 8 bits a channel (or floats) and need the footage reader:
// DPX, Cineon and OpenEXR. 16-bit TIFF and PNG share their extensions with 8-bit pictures.
const std::vector<std::string> &FootageStillExtensions();

// A frame given by the user: a 0-based frame number ("120") or a timecode "HH:MM:SS:FF" counted
// from 00:00:00:00 at the given whole frame rate. Raises EImageError naming `what` for anything
// else (a negative number, a field past its range, a drop-frame ';').
int ParseFrameNumber(const std::string &text, int framesPerSecond, const std::string &what);

// The timecode "HH:MM:SS:FF" of a 0-based frame number at a whole frame rate.
std::string FrameTimecode(int frame, int framesPerSecond);

} // namespace tintwise
