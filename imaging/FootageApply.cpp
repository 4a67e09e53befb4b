#include "imaging/FootageApply.h"

#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "engine/Bitmap24.h"
#include "engine/Errors.h"
#include "engine/FileAccess.h"
#include "imaging/FootageFiles.h"
#include "imaging/FootageKernel.h"
#include "imaging/ImageResize2.h"
#include "imaging/PictureLoader.h"
#include "imaging/PictureWriter.h"

namespace tintwise {

namespace {

namespace OIIO = OIIO_NAMESPACE;

bool Among(const std::string &ext, std::initializer_list<const char *> list) {
  return std::any_of(list.begin(), list.end(), [&](const char *e) { return ext == e; });
}

// Types the 8-bit path reads and writes.
bool IsBitmapType(const std::string &ext) { return Among(ext, {"bmp", "jpg", "jpeg", "png", "tif", "tiff"}); }

std::string LibraryError(const std::string &text) {
  std::string message = text;
  while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
    message.pop_back();
  const std::size_t newline = message.find('\n');
  if (newline != std::string::npos)
    message = message.substr(0, newline);
  return message.empty() ? "the picture library gave no reason" : message;
}

std::unique_ptr<OIIO::ImageInput> OpenFootage(const std::string &fileName) {
  RegularFileSize(fileName); // refuses folders, devices and FIFOs before the library opens them
  // Colour and alpha stay as stored: a PNG or TIFF with alpha is not premultiplied on the way in
  // (and so not divided on the way out), or the LUT would see darkened colours.
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1);
  auto in = OIIO::ImageInput::open(fileName, &config);
  if (!in)
    throw EImageError(fileName + ": cannot read the picture (" + LibraryError(OIIO::geterror()) + ").");
  return in;
}

bool IsMovie(const OIIO::ImageInput &in) { return in.spec().get_int_attribute("oiio:Movie", 0) != 0; }

void CheckFrame(const std::string &fileName, const OIIO::ImageSpec &spec) {
  if (spec.width < 1 || spec.height < 1 || spec.depth > 1)
    throw EImageError(fileName + ": the picture has no pixels, or is a volume.");
  if (spec.width > kMaxPictureSide || spec.height > kMaxPictureSide ||
      static_cast<std::int64_t>(spec.width) * spec.height > kMaxPicturePixels)
    throw EImageError(fileName + ": the picture is " + std::to_string(spec.width) + " x " + std::to_string(spec.height) +
                      " pixels, more than " + std::to_string(kMaxPicturePixels / 1000000) + " megapixels.");
  if (spec.nchannels < 3)
    throw EImageError(fileName + ": the picture has " + std::to_string(spec.nchannels) +
                      " channel(s); a LUT needs red, green and blue.");
}

// How a frame is held in memory: its own integer container, or half or single floats.
struct TLayout {
  OIIO::TypeDesc Type;
  int Bits = 0; // significant bits of integer codes; 0 for floats
};

TLayout LayoutOf(const OIIO::ImageSpec &spec) {
  const OIIO::TypeDesc f = spec.format;
  if (f == OIIO::TypeDesc::UINT8 || f == OIIO::TypeDesc::UINT16) {
    const int container = f == OIIO::TypeDesc::UINT8 ? 8 : 16;
    int bits = spec.get_int_attribute("oiio:BitsPerSample", container);
    if (bits < 1 || bits > container)
      bits = container;
    return {f, bits};
  }
  if (f == OIIO::TypeDesc::HALF)
    return {f, 0};
  return {OIIO::TypeDesc::FLOAT, 0};
}

// One frame's pixels, reused from frame to frame.
struct TFrame {
  std::vector<unsigned char> Pixels;

  void Read(OIIO::ImageInput &in, const std::string &fileName, const TLayout &layout, int subimage) {
    const OIIO::ImageSpec &spec = in.spec();
    const std::size_t bytes = static_cast<std::size_t>(spec.width) * spec.height * spec.nchannels * layout.Type.size();
    Pixels.resize(bytes);
    if (!in.read_image(subimage, 0, 0, spec.nchannels, layout.Type, Pixels.data()))
      throw EImageError(fileName + ": cannot read the pixels (" + LibraryError(in.geterror()) + ").");
  }

  void Apply(const TFootageKernel &kernel, const TLayout &layout, const OIIO::ImageSpec &spec) {
    const std::size_t count = static_cast<std::size_t>(spec.width) * spec.height;
    if (layout.Type == OIIO::TypeDesc::UINT8)
      kernel.ApplyCodes(Pixels.data(), count, spec.nchannels);
    else if (layout.Type == OIIO::TypeDesc::UINT16)
      kernel.ApplyCodes(reinterpret_cast<std::uint16_t *>(Pixels.data()), count, spec.nchannels);
    else if (layout.Type == OIIO::TypeDesc::HALF)
      kernel.ApplyHalves(reinterpret_cast<std::uint16_t *>(Pixels.data()), count, spec.nchannels);
    else
      kernel.ApplyFloats(reinterpret_cast<float *>(Pixels.data()), count, spec.nchannels);
  }

  void Write(const std::string &fileName, const OIIO::ImageSpec &spec, const TLayout &layout) const {
    auto out = OIIO::ImageOutput::create(fileName);
    if (!out)
      throw EFCreateError(fileName + ": cannot write pictures of this kind (" + LibraryError(OIIO::geterror()) + ").");
    TFileOutput file(fileName);
    if (!out->open(file.TempPath(), spec))
      throw EFCreateError(fileName + ": cannot write the picture (" + LibraryError(out->geterror()) + ").");
    if (!out->write_image(layout.Type, Pixels.data()) || !out->close())
      throw EFCreateError(fileName + ": cannot write the picture (" + LibraryError(out->geterror()) + ").");
    file.Commit();
  }
};

// Whether the picture takes the 8-bit path: both ends are types that path handles and the
// picture holds 8 bits a channel.
bool TakesBitmapPath(const std::string &input, const std::string &output) {
  const std::string in = LowerFileExtension(input), out = LowerFileExtension(output);
  if (!IsBitmapType(in) || !IsBitmapType(out))
    return false;
  if (Among(in, {"bmp", "jpg", "jpeg"}))
    return true;
  RegularFileSize(input);
  auto probe = OIIO::ImageInput::open(input);
  if (!probe)
    return true; // the 8-bit loader gives its own message
  const OIIO::ImageSpec &spec = probe->spec();
  return spec.format == OIIO::TypeDesc::UINT8 || spec.format == OIIO::TypeDesc::UNKNOWN;
}

} // namespace

const std::vector<std::string> &FrameSequenceTypes() {
  static const std::vector<std::string> list = {"dpx", "exr", "tiff", "png"};
  return list;
}

void ApplyLutToPictureFile(const TLUT &lut, const std::string &input, const std::string &output) {
  lut.CheckSizes();
  if (TakesBitmapPath(input, output)) {
    TBitmap24 picture;
    LoadPictureFile(input, picture);
    lut.ApplyToBitmap(picture);
    SavePictureFile(picture, output);
    return;
  }
  auto in = OpenFootage(input);
  if (IsMovie(*in))
    throw EImageError(input + ": is a movie; its frames are written as pictures into a folder (--output-dir).");
  const OIIO::ImageSpec spec = in->spec();
  CheckFrame(input, spec);
  const TLayout layout = LayoutOf(spec);
  TFrame frame;
  frame.Read(*in, input, layout, 0);
  in->close();
  frame.Apply(TFootageKernel(lut, layout.Bits), layout, spec);
  frame.Write(output, spec, layout);
}

std::string MovieFrameFileName(const std::string &outputDir, const std::string &movie, int frame,
                               const std::string &type) {
  std::string name = movie.substr(movie.find_last_of('/') + 1);
  const std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot > 0)
    name.erase(dot);
  char number[16];
  std::snprintf(number, sizeof number, ".%06d.", frame);
  std::string folder = outputDir;
  if (!folder.empty() && folder.back() != '/')
    folder += '/';
  return folder + name + number + type;
}

int ApplyLutToMovieFrames(const TLUT &lut, const std::string &movie, const std::string &outputDir,
                          const std::string &type, const std::function<void(int done, int count)> &progress) {
  lut.CheckSizes();
  const auto &types = FrameSequenceTypes();
  if (std::find(types.begin(), types.end(), type) == types.end())
    throw EFCreateError("Movie frames can be written as dpx, exr, tiff or png, not '" + type + "'.");
  auto in = OpenFootage(movie);
  const int count = std::max(1, in->spec().get_int_attribute("oiio:subimages", 1));
  std::unique_ptr<TFootageKernel> kernel;
  TFrame frame;
  for (int f = 0; f < count; ++f) {
    if (!in->seek_subimage(f, 0))
      throw EImageError(movie + ": cannot read frame " + std::to_string(f) + " (" + LibraryError(in->geterror()) + ").");
    OIIO::ImageSpec spec = in->spec();
    CheckFrame(movie, spec);
    const TLayout layout = LayoutOf(spec);
    if (!kernel || kernel->Bits() != layout.Bits)
      kernel = std::make_unique<TFootageKernel>(lut, layout.Bits);
    frame.Read(*in, movie, layout, f);
    frame.Apply(*kernel, layout, spec);
    for (const char *name : {"oiio:Movie", "oiio:subimages"})
      spec.erase_attribute(name);
    if (type == "exr")
      spec.set_format(OIIO::TypeDesc::HALF);
    else if (type == "png" && layout.Bits > 8)
      spec.set_format(OIIO::TypeDesc::UINT16);
    frame.Write(MovieFrameFileName(outputDir, movie, f, type), spec, layout);
    if (progress)
      progress(f + 1, count);
  }
  return count;
}

} // namespace tintwise
