// Small facts about footage files shared by loading and applying: which extensions are movies and
// which are pictures beyond 8 bits.
#pragma once

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

} // namespace tintwise
