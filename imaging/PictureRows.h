// Inside the picture loader: decoders hand their pixels, converted to 8-bit blue, green, red, to a
// row sink in bands of rows from the top. One sink keeps the whole picture, the other shrinks it
// to the window's box as the rows come, so that a fitted load never holds the full picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "imaging/PictureLoader.h"

namespace tintwise::detail {

// Room for `Rows` rows of 24-bit pixels, `Stride` bytes apart.
struct TRowBand {
  std::uint8_t *Bits = nullptr;
  std::ptrdiff_t Stride = 0;
  int Rows = 0;
};

class TRowSink {
public:
  virtual ~TRowSink() = default;
  // Called once, with the size already checked against the limits.
  virtual void Begin(int width, int height) = 0;
  // Room for rows y0 .. y0 + count - 1 (count at most kBandRows); the decoder fills every byte of
  // them and then calls Commit. Bands come in order from the top.
  virtual TRowBand Band(int y0, int count) = 0;
  virtual void Commit(int y0, int count) = 0;
};

constexpr int kBandRows = 64;

[[noreturn]] void FailLoad(const std::string &fileName, const std::string &problem);

// Refuses a picture without pixels, with a side beyond kMaxPictureSide, or with more pixels than
// the options allow, before anything is allocated.
void CheckDeclaredSize(const std::string &fileName, std::int64_t width, std::int64_t height,
                       const TPictureLoadOptions &options);

// The file as a regular file the user may read: opens it (raising EImageError that names the file
// and the cause otherwise) and returns the descriptor, which the caller closes.
int OpenPictureFile(const std::string &fileName);

// Footage through OpenImageIO: DPX, Cineon, OpenEXR, TIFF and PNG of more than 8 bits a channel,
// frames of movie files.
bool FootageReaderAvailable();
bool MovieReaderAvailable();
// Whether OpenImageIO reads this PNG or TIFF file at more than 8 bits a channel (the 8-bit ones stay
// with Qt's readers). False when it cannot tell; Qt then reports what is wrong.
bool IsDeepPicture(const std::string &fileName);
void DecodeFootage(const std::string &fileName, TRowSink &sink, const TPictureLoadOptions &options,
                   TPictureInfo &info);

// Library messages (libpng, libtiff, Qt's image readers, FFmpeg) go to standard error only in
// verbose mode. Installed before the first decode.
void QuietenPictureLibraries();
bool PictureLibrariesVerbose();

// libpng and libtiff print some errors straight to standard error as well as reporting them to the
// reader, whose message we show. Outside verbose mode standard error points at /dev/null while one
// of these lives; a lock keeps two loads from restoring it in the wrong order.
class TQuietStandardError {
public:
  TQuietStandardError();
  ~TQuietStandardError();
  TQuietStandardError(const TQuietStandardError &) = delete;
  TQuietStandardError &operator=(const TQuietStandardError &) = delete;

private:
  int FSaved = -1;
};

} // namespace tintwise::detail
