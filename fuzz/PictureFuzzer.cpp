// Picture loading over any bytes: the first byte of the input picks the decoder by the file's
// extension (BMP, PNG and TIFF through Qt or OpenImageIO, JPEG through libjpeg-turbo, DPX, Cineon
// and OpenEXR through OpenImageIO), the rest is the file. Both entry points run: the plain decode
// and the decode shrunk to the window's box as the rows come. Every size up to the program's own
// pixel limit is decoded: that limit is what bounds the time and memory of one input.
#include <iterator>

#include "engine/Bitmap24.h"
#include "engine/Errors.h"
#include "fuzz/FuzzSupport.h"
#include "imaging/FootageLibrary.h"
#include "imaging/PictureLoader.h"

namespace {

// Keep in step with FuzzSeeds.cpp, which writes its seeds with the index of their extension first;
// new types go at the end so that old seeds keep their meaning.
const char *const kExtensions[] = {"bmp", "png", "jpg", "tif", "exr", "dpx", "cin"};

} // namespace

// The footage module (OpenImageIO and the libraries it brings) is loaded and its readers listed
// here, once, rather than within the time limit of the first input that needs them.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  try {
    tintwise::NewFootageFile()->Open("/nonexistent.dpx");
  } catch (const tintwise::ETintwiseError &) {
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace tintwise;
  fuzz::Initialize();
  if (size == 0)
    return 0;
  const char *extension = kExtensions[data[0] % std::size(kExtensions)];
  const std::string name = fuzz::WriteInput(data + 1, size - 1, extension);
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
