// Small facts about footage files shared by loading and applying: which extensions are movies and
// which are pictures beyond 8 bits.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tintwise {

// The extension of a file name in lower case, without the dot ("" when there is none).
std::string LowerFileExtension(const std::string &fileName);

// Movie containers whose frames are read through the picture library's FFmpeg reader, as the open
// dialog and the command line offer them.
const std::vector<std::string> &MovieExtensions();
bool IsMovieFileName(const std::string &fileName);

// Still formats that carry more than 8 bits a channel (or floats) and need the footage reader:
// DPX, Cineon and OpenEXR. 16-bit TIFF and PNG share their extensions with 8-bit pictures.
const std::vector<std::string> &FootageStillExtensions();

// The fewest bytes a DPX or Cineon file (by its extension) needs for the pixels its header declares:
// where the pixels start, then width x height x channels samples of `bits` bits, uncompressed as
// these files are. The picture library reads a shorter file as if the rest were black; such a file
// is cut off. 0 for other types.
std::uint64_t FootageMinimumFileSize(const std::string &fileName, int width, int height, int channels, int bits);

} // namespace tintwise
