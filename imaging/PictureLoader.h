// Loading pictures into 24-bit bitmaps. The decoder is chosen by the file name's extension: JPEG
// through TurboJPEG, BMP, PNG and TIFF through Qt's image readers. Loading for the main window also
// shrinks the picture to fit 1700 x 500 pixels with the Lanczos3 resampler.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/Bitmap24.h"
#include "imaging/ImageResize2.h"

namespace tintwise {

// The box every loaded picture is shrunk to fit.
constexpr int kFitWidth = 1700;
constexpr int kFitHeight = 500;

// Pictures beyond these sizes are refused from their declared size, before anything is allocated.
constexpr int kMaxPictureSide = TBitmap24::kMaxSide;
constexpr std::int64_t kMaxPicturePixels = 16384LL * 16384; // 268 megapixels

// One entry of the open-picture dialog's filter list.
struct TPictureFormat {
  std::string Description;             // e.g. "JPEG Image File"
  std::vector<std::string> Extensions; // lower case, without the dot: {"jpeg", "jpg"}
};

// The formats this loader opens on this system, in the order the dialog lists them. TIFF is
// included only when Qt's TIFF reader is installed.
const std::vector<TPictureFormat> &PictureFormats();

// The open-picture dialog's filter in Qt's notation: an entry for every picture this loader opens
// first, then one per format, e.g. "All pictures (*.bmp *.jpeg *.jpg);;Bitmaps (*.bmp);;...".
std::string PictureFileFilter();

// Whether the file name's extension (any case) names a format in PictureFormats().
bool IsPictureFileName(const std::string &fileName);

// Decodes the picture file (name in UTF-8) into bitmap. On any failure raises EImageError with a
// message that names the file and the problem; the bitmap is then unchanged.
void LoadPictureFile(const std::string &fileName, TBitmap24 &bitmap);

// Decodes the picture file, fits it into kFitWidth x kFitHeight (shrinking only) and resamples it
// with Lanczos3 into destination. On any failure raises EImageError naming the file; the
// destination is then unchanged. (The window shows its busy cursor around the call.)
void LoadImageFile(const std::string &fileName, TBitmap24 &destination);

} // namespace tintwise
