// Loading pictures into 24-bit bitmaps. The decoder is chosen by the file name's extension: JPEG
// through libjpeg-turbo, BMP and 8-bit PNG and TIFF through Qt's image readers, and DPX, Cineon,
// OpenEXR, PNG and TIFF of more than 8 bits a channel and frames of movie files through
// OpenImageIO. Loading for the main window also shrinks the picture to fit 1700 x 500 pixels with
// the Lanczos3 resampler, row by row as the picture is decoded, so that memory stays bounded.
//
// Pictures of more than 8 bits a channel become 8-bit by code x 255 / (2^bits - 1), rounded to the
// nearest; float values are clamped to 0..1 first (NaN becomes 0) and rounded from value x 255,
// halves to even. Alpha is dropped (the stored colour is kept); one-channel pictures become grey.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/Bitmap24.h"
#include "imaging/ImageResize2.h"

namespace tintwise {

// The box every loaded picture is shrunk to fit.
constexpr int kFitWidth = 1700;
constexpr int kFitHeight = 500;

// Pictures beyond these sizes are refused from their declared size, before anything is allocated.
// The pixel limit is the default of TPictureLoadOptions::MaxPixels, which a user may raise up to
// kMaxPicturePixels.
constexpr int kMaxPictureSide = TBitmap24::kMaxSide;
constexpr std::int64_t kDefaultMaxPixels = 150'000'000;
constexpr std::int64_t kMaxPicturePixels = TBitmap24::kMaxPixels;

struct TPictureLoadOptions {
  // Pictures declaring more pixels than this are refused before they are decoded.
  std::int64_t MaxPixels = kDefaultMaxPixels;
  // How the refusal tells the user to raise the limit, after "...; ".
  std::string MaxPixelsHint = "raise it with --max-pixels";
  // The frame of a movie file: empty for the first, else a frame number from 0 or a timecode
  // HH:MM:SS:FF (see FrameSpec.h). Ignored for stills.
  std::string Frame;
};

// What a load found out about the file, beside its pixels.
struct TPictureInfo {
  int Width = 0, Height = 0; // the picture's size in the file, before any fitting
  bool IsMovie = false;
  std::int64_t FrameCount = 1; // frames in a movie file; 1 for a still
  double FrameRate = 0;        // frames a second of a movie file; 0 for a still
  std::int64_t Frame = 0;      // the frame that was loaded, from 0
  std::string Timecode;        // its timecode "HH:MM:SS:FF" from the first frame; empty for a still
};

// Turns the picture libraries' own warnings (libpng, libtiff, Qt's image readers, FFmpeg) on or off
// on standard error. Off by default: one line per error is all a user sees; the command line's
// --verbose turns them on.
void SetPictureLoaderVerbose(bool verbose);

// The limit a text such as "268435456", "150M" or "1G" (decimal megapixels and gigapixels) names.
// Throws EImageError for anything else, for 0 and for more than kMaxPicturePixels.
std::int64_t ParseMaxPixels(const std::string &text);

// One entry of the open-picture dialog's filter list.
struct TPictureFormat {
  std::string Description;             // e.g. "JPEG Image File"
  std::vector<std::string> Extensions; // lower case, without the dot: {"jpeg", "jpg"}
};

// The formats this loader opens on this system, in the order the dialog lists them. TIFF is
// included only when Qt's TIFF reader is installed, movie files only when OpenImageIO reads them.
const std::vector<TPictureFormat> &PictureFormats();

// The open-picture dialog's filter in Qt's notation: an entry for every picture this loader opens
// first, then one per format, e.g. "All pictures (*.bmp *.jpeg *.jpg);;Bitmaps (*.bmp);;...".
std::string PictureFileFilter();

// Whether the file name's extension (any case) names a format in PictureFormats().
bool IsPictureFileName(const std::string &fileName);

// Every extension PictureFormats() lists, lower case, without the dot, in that order.
std::vector<std::string> PictureExtensions();

// Whether the loader reads the file through the footage reader: DPX, Cineon, OpenEXR, movies, and
// PNG and TIFF of more than 8 bits a channel. Raises EImageError for a PNG or TIFF it cannot open.
bool ReadsAsFootage(const std::string &fileName);

// Decodes the picture file (name in UTF-8) into bitmap. Only regular files are read. On any
// failure raises EImageError with a message that names the file and the problem; the bitmap is
// then unchanged. Fills info when given.
void LoadPictureFile(const std::string &fileName, TBitmap24 &bitmap, const TPictureLoadOptions &options = {},
                     TPictureInfo *info = nullptr);

// LoadPictureFile for a caller that works on the picture while it is decoded: bandDone(y0, count)
// is called after each band of rows is in the bitmap, from the top and in order, and may work on
// those rows (the bitmap has its final size from the first call on). An exception from bandDone
// stops the decode and reaches the caller. On failure the bitmap's pixels are undefined.
void LoadPictureFileInBands(const std::string &fileName, TBitmap24 &bitmap,
                            const std::function<void(int y0, int count)> &bandDone,
                            const TPictureLoadOptions &options = {});

// Decodes the picture file, fits it into kFitWidth x kFitHeight (shrinking only) and resamples it
// with Lanczos3 into destination, as the rows are decoded: the full picture is never held (only
// Qt's BMP, PNG and TIFF readers keep their own decoded picture while it is shrunk). Shows the busy
// cursor while it works when a Qt GUI application is running and this is its thread. On any
// failure raises EImageError naming the file; the destination is then unchanged.
void LoadImageFile(const std::string &fileName, TBitmap24 &destination, const TPictureLoadOptions &options = {},
                   TPictureInfo *info = nullptr);

} // namespace tintwise
