// Writing 24-bit bitmaps as picture files for the command line's previews and applied frames.
#pragma once

#include <string>

#include "engine/Bitmap24.h"

namespace tintwise {

// Writes the bitmap; the format follows the extension (png, bmp, jpg/jpeg, tif/tiff where Qt can
// write it). The file is replaced in one step, so a failed write leaves an existing file as it was.
// Raises EFCreateError naming the file and the problem.
void SavePictureFile(const TBitmap24 &bitmap, const std::string &fileName);

} // namespace tintwise
