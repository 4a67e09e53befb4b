// Picture loading over any bytes: the first byte of the input picks the decoder by the file's
// extension (BMP and PNG through Qt, JPEG through TurboJPEG), the rest is the file. Both entry
// points run: the plain decode and the decode shrunk to the window's box.
//
// Pictures declaring more than kMaxFuzzPixels (within the loader's limits) are skipped: decoding
// costs time in proportion to the declared size, which the loader accepts up to 268 megapixels, and
// a run-length BMP of 200 bytes can declare 68 megapixels. Sizes beyond the loader's limits still
// go through, so its refusal of them is fuzzed too.
#include <QByteArray>
#include <QImageReader>
#include <QSize>
#include <QString>

#include <turbojpeg.h>

#include <iterator>
#include <string_view>

#include "engine/Bitmap24.h"
#include "engine/Errors.h"
#include "fuzz/FuzzSupport.h"
#include "imaging/PictureLoader.h"

namespace {

// Keep in step with FuzzSeeds.cpp, which writes its seeds with the index of their extension first.
const char *const kExtensions[] = {"bmp", "png", "jpg"};

constexpr long long kMaxFuzzPixels = 4'000'000;

// Whether the file declares a picture larger than kMaxFuzzPixels that the loader would decode.
bool LargeButAccepted(const std::string &name, const char *extension, const std::uint8_t *data, std::size_t size) {
  const bool jpeg = std::string_view(extension) == "jpg";
  int width = 0, height = 0;
  if (jpeg) {
    tjhandle tj = tjInitDecompress();
    int subsampling = 0, colorspace = 0;
    const bool ok = tjDecompressHeader3(tj, data, static_cast<unsigned long>(size), &width, &height, &subsampling,
                                        &colorspace) == 0;
    tjDestroy(tj);
    if (!ok)
      return false;
  } else {
    QImageReader reader(QString::fromStdString(name), QByteArray(extension));
    reader.setAutoDetectImageFormat(false);
    const QSize declared = reader.size();
    width = declared.width();
    height = declared.height();
  }
  const long long pixels = static_cast<long long>(width) * height;
  return pixels > kMaxFuzzPixels && width <= tintwise::kMaxPictureSide && height <= tintwise::kMaxPictureSide &&
         pixels <= tintwise::kMaxPicturePixels;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace tintwise;
  fuzz::Initialize();
  if (size == 0)
    return 0;
  const char *extension = kExtensions[data[0] % std::size(kExtensions)];
  const std::string name = fuzz::WriteInput(data + 1, size - 1, extension);
  if (LargeButAccepted(name, extension, data + 1, size - 1))
    return 0;
  TBitmap24 bitmap;
  try {
    LoadPictureFile(name, bitmap);
  } catch (const ETintwiseError &) {
    return 0;
  }
  // A picture that decodes is decoded again and shrunk to the window's box (or resampled at its
  // own size), as the window loads it.
  TBitmap24 fitted;
  try {
    LoadImageFile(name, fitted);
  } catch (const ETintwiseError &) {
  }
  return 0;
}
