#include "imaging/FootageApply.h"

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>


#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <exception>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/Bitmap24.h"
#include "engine/Errors.h"
#include "engine/FileAccess.h"
#include "engine/Parallel.h"
#include "imaging/FootageFiles.h"
#include "imaging/FootageKernel.h"
#include "imaging/FootageLibrary.h"
#include "imaging/ImageResize2.h"
#include "imaging/PictureLoader.h"
#include "imaging/PictureWriter.h"

namespace tintwise {

namespace {

bool Among(const std::string &ext, std::initializer_list<const char *> list) {
  return std::any_of(list.begin(), list.end(), [&](const char *e) { return ext == e; });
}

// Types the 8-bit path reads and writes.
bool IsBitmapType(const std::string &ext) { return Among(ext, {"bmp", "jpg", "jpeg", "png", "tif", "tiff"}); }

} // namespace

// The footage module: beside the installed programs, or in the build tree for a program run from it.
std::string FootageModulePath() {
  char exe[4096];
  const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
  const std::string self = n > 0 ? std::string(exe, static_cast<std::size_t>(n)) : std::string();
  const std::string bindir = TINTWISE_INSTALL_BINDIR "/";
  if (self.compare(0, bindir.size(), bindir) == 0)
    return TINTWISE_FOOTAGE_MODULE_INSTALLED;
  return TINTWISE_FOOTAGE_MODULE_BUILT;
}

namespace {

using TFootageFactory = TFootageFile *(*)();

// Opens the footage module the first time it is asked for; the factory, or null with the reason.
TFootageFactory FootageFactory(std::string &reason) {
  static TFootageFactory factory = nullptr;
  static std::string failure;
  static std::once_flag once;
  std::call_once(once, [] {
    const std::string path = FootageModulePath();
    void *module = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
      const char *why = ::dlerror();
      failure = "footage support (DPX, EXR, 16-bit and movies) cannot be loaded: " + std::string(why ? why : path);
      return;
    }
    factory = reinterpret_cast<TFootageFactory>(::dlsym(module, "TintwiseNewFootageFile"));
    if (!factory)
      failure = "footage support cannot be loaded: " + path + " is not the footage module.";
  });
  reason = failure;
  return factory;
}

} // namespace

void PreloadFootageSupport() {
  std::string reason;
  FootageFactory(reason);
}

std::unique_ptr<TFootageFile> NewFootageFile() {
  std::string failure;
  const TFootageFactory factory = FootageFactory(failure);
  if (!factory)
    throw EImageError(failure);
  std::unique_ptr<TFootageFile> file(factory());
  if (!file)
    throw EImageError("footage support cannot be started.");
  return file;
}

namespace {

std::unique_ptr<TFootageFile> OpenFootage(const std::string &fileName) {
  RegularFileSize(fileName); // refuses folders, devices and FIFOs before the library opens them
  auto file = NewFootageFile();
  if (!file->Open(fileName))
    throw EImageError(fileName + ": cannot read the picture (" + file->Error() + ").");
  return file;
}

void CheckFrame(const std::string &fileName, const TFootageFrame &frame) {
  if (frame.Width < 1 || frame.Height < 1 || frame.Depth > 1)
    throw EImageError(fileName + ": the picture has no pixels, or is a volume.");
  if (frame.Width > kMaxPictureSide || frame.Height > kMaxPictureSide ||
      static_cast<std::int64_t>(frame.Width) * frame.Height > kMaxPicturePixels)
    throw EImageError(fileName + ": the picture is " + std::to_string(frame.Width) + " x " +
                      std::to_string(frame.Height) + " pixels, more than " +
                      std::to_string(kMaxPicturePixels / 1000000) + " megapixels.");
  if (frame.Channels < 1)
    throw EImageError(fileName + ": the picture has no channels.");
  const std::uint64_t needed =
      FootageMinimumFileSize(fileName, frame.Width, frame.Height, frame.Channels, frame.SampleBits());
  if (const std::uint64_t size = RegularFileSize(fileName); size < needed)
    throw EImageError(fileName + ": the file is cut off (its pixels need " + std::to_string(needed) +
                      " bytes, it holds " + std::to_string(size) + ").");
}

// Runs the current frame of an open picture through the kernel into the file `output`. The frame
// passes in bands of rows, read, applied and written in turn, so only a band is held here; a tiled
// output (which takes whole tiles) gets the whole frame at once. `buffer` is reused from frame to
// frame.
constexpr int kBandRows = 64;

// A DPX header names its file (100 bytes at offset 36), and the writer names the temporary file
// it was given. The finished file names itself instead, so the same frame written twice gives the
// same bytes.
void StampDpxFileName(const TFileOutput &file, const std::string &output) {
  std::string extension = output.substr(output.find_last_of('.') == std::string::npos ? output.size()
                                                                                       : output.find_last_of('.'));
  for (char &c : extension)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (extension != ".dpx")
    return;
  const std::size_t slash = output.find_last_of('/');
  std::string name = output.substr(slash == std::string::npos ? 0 : slash + 1);
  name.resize(100, '\0');
  name[99] = '\0';
  const int fd = ::open(file.TempPath().c_str(), O_WRONLY | O_CLOEXEC);
  if (fd < 0)
    throw EFCreateError(output + ": cannot finish the DPX header (" + std::strerror(errno) + ").");
  const ssize_t done = ::pwrite(fd, name.data(), name.size(), 36);
  const int err = errno;
  ::close(fd);
  if (done != static_cast<ssize_t>(name.size()))
    throw EFCreateError(output + ": cannot finish the DPX header (" + std::strerror(err) + ").");
}

// A LUT turns grey into colour: grey pixels (and their alpha) become red, green and blue of that
// grey (and the alpha), in place, from the last pixel back.
void WidenGrey(unsigned char *pixels, std::size_t count, int channels, std::size_t sampleSize) {
  const std::size_t in = channels * sampleSize, out = (channels + 2) * sampleSize;
  unsigned char pixel[8];
  for (std::size_t i = count; i-- > 0;) {
    std::memcpy(pixel, pixels + i * in, in);
    unsigned char *d = pixels + i * out;
    for (int c = 0; c < 3; ++c)
      std::memcpy(d + c * sampleSize, pixel, sampleSize);
    if (channels == 2)
      std::memcpy(d + 3 * sampleSize, pixel + sampleSize, sampleSize);
  }
}

void ApplyFrame(TFootageFile &in, const std::string &input, const TFootageFrame &frame, TFootageOutput changes,
                const TFootageKernel &kernel, const std::string &output, std::vector<unsigned char> &buffer) {
  TFileOutput file(output);
  bool whole = false;
  changes.GreyToColour = frame.Channels < 3;
  switch (in.BeginOutput(output, file.TempPath(), changes, whole)) {
  case TOutputResult::NoWriter:
    throw EFCreateError(output + ": cannot write pictures of this kind (" + in.Error() + ").");
  case TOutputResult::Failed:
    throw EFCreateError(output + ": cannot write the picture (" + in.Error() + ").");
  case TOutputResult::Done:
    break;
  }
  const int channels = changes.GreyToColour ? frame.Channels + 2 : frame.Channels;
  const int rows = whole ? frame.Height : std::min(kBandRows, frame.Height);
  const std::size_t rowPixels = static_cast<std::size_t>(frame.Width);
  buffer.resize(rowPixels * rows * channels * SampleSize(frame.Type));
  for (int y = 0; y < frame.Height; y += rows) {
    const int y1 = std::min(frame.Height, y + rows);
    if (!in.ReadRows(y, y1, buffer.data()))
      throw EImageError(input + ": cannot read the pixels (" + in.Error() + ").");
    const std::size_t count = rowPixels * (y1 - y);
    if (changes.GreyToColour)
      WidenGrey(buffer.data(), count, frame.Channels, SampleSize(frame.Type));
    switch (frame.Type) {
    case TSampleType::UInt8: kernel.ApplyCodes(buffer.data(), count, channels); break;
    case TSampleType::UInt16: kernel.ApplyCodes(reinterpret_cast<std::uint16_t *>(buffer.data()), count, channels); break;
    case TSampleType::Half: kernel.ApplyHalves(reinterpret_cast<std::uint16_t *>(buffer.data()), count, channels); break;
    case TSampleType::Float: kernel.ApplyFloats(reinterpret_cast<float *>(buffer.data()), count, channels); break;
    }
    if (!in.WriteRows(y, y1, buffer.data()))
      throw EFCreateError(output + ": cannot write the picture (" + in.Error() + ").");
  }
  if (!in.EndOutput())
    throw EFCreateError(output + ": cannot write the picture (" + in.Error() + ").");
  StampDpxFileName(file, output);
  file.Commit();
}

// Whether the picture takes the 8-bit path: both ends are types that path handles and the loader
// reads the picture as 8 bits a channel (not through the footage reader, as it reads PNG and TIFF
// of 16 bits, grey and alpha included, which Qt's TIFF reader would narrow to 8).
bool TakesBitmapPath(const std::string &input, const std::string &output) {
  return IsBitmapType(LowerFileExtension(input)) && IsBitmapType(LowerFileExtension(output)) &&
         !ReadsAsFootage(input);
}

// An 8-bit picture through the LUT on two threads: while the picture is decoded, bands already
// decoded go through the LUT and bands already through it are encoded, in order. Whichever thread
// is free takes the next band for the LUT, so the work is shared whether decoding or encoding is
// the slower. The bytes are those of decoding, applying and encoding one after the other.
class TBitmapPipeline {
public:
  TBitmapPipeline(const TLUT &lut, const std::string &output) : FRows(lut), FOutput(output) {}

  void Run(const std::string &input, const TPictureLoadOptions &options) {
    std::thread writer([this] { Write(); });
    try {
      LoadPictureFileInBands(input, FPicture, [this](int y0, int count) { Decoded(y0, count); }, options);
    } catch (...) {
      {
        std::lock_guard<std::mutex> lock(FLock);
        FStop = true;
      }
      FChanged.notify_all();
      writer.join();
      throw;
    }
    {
      std::lock_guard<std::mutex> lock(FLock);
      FDecodeDone = true;
    }
    FChanged.notify_all();
    while (ApplyOne()) {
    }
    writer.join();
    if (FError)
      std::rethrow_exception(FError);
  }

private:
  struct TBand {
    int Y0, Count;
    bool Ready; // through the LUT
  };

  TBitmapLutRows FRows;
  std::string FOutput;
  TBitmap24 FPicture;
  std::mutex FLock;
  std::condition_variable FChanged;
  std::vector<TBand> FBands; // as decoded, from the top
  std::size_t FClaimed = 0;  // bands taken for the LUT
  bool FDecodeDone = false, FStop = false;
  std::exception_ptr FError;

  // On the decoding thread, after each band: the band is offered, and one band waiting for the
  // LUT is taken.
  void Decoded(int y0, int count) {
    {
      std::lock_guard<std::mutex> lock(FLock);
      FBands.push_back({y0, count, false});
    }
    FChanged.notify_all();
    ApplyOne();
  }

  // Takes the next band that waits for the LUT, if any, and runs it through; false when none waits.
  bool ApplyOne() {
    std::size_t k;
    {
      std::lock_guard<std::mutex> lock(FLock);
      if (FError || FClaimed >= FBands.size()) // after a failed write the LUT is not needed
        return false;
      k = FClaimed++;
    }
    ApplyBand(k);
    return true;
  }

  void ApplyBand(std::size_t k) {
    const TBand band = [&] {
      std::lock_guard<std::mutex> lock(FLock);
      return FBands[k];
    }();
    FRows.ApplyRows(FPicture, band.Y0, band.Y0 + band.Count);
    {
      std::lock_guard<std::mutex> lock(FLock);
      FBands[k].Ready = true;
    }
    FChanged.notify_all();
  }

  // The writing thread: encodes the bands in order as they are ready, and runs bands through the
  // LUT while it waits. A failure is kept for the decoding thread, which finishes its decode first
  // (a damaged picture is reported before an output that cannot be written, as before).
  void Write() {
    try {
      std::unique_ptr<TPictureRowWriter> writer;
      std::size_t encoded = 0;
      for (;;) {
        std::unique_lock<std::mutex> lock(FLock);
        FChanged.wait(lock, [&] {
          return FStop || (encoded < FBands.size() && FBands[encoded].Ready) || FClaimed < FBands.size() ||
                 (FDecodeDone && encoded == FBands.size());
        });
        if (FStop)
          return;
        if (encoded < FBands.size() && FBands[encoded].Ready) {
          const TBand band = FBands[encoded];
          lock.unlock();
          if (!writer)
            writer = std::make_unique<TPictureRowWriter>(FOutput, FPicture.Width(), FPicture.Height());
          writer->WriteRows(FPicture, band.Y0, band.Y0 + band.Count);
          ++encoded;
          continue;
        }
        if (FClaimed < FBands.size()) {
          const std::size_t k = FClaimed++;
          lock.unlock();
          ApplyBand(k);
          continue;
        }
        break; // everything decoded and encoded
      }
      if (!writer)
        writer = std::make_unique<TPictureRowWriter>(FOutput, FPicture.Width(), FPicture.Height());
      writer->Finish(FPicture);
    } catch (...) {
      std::lock_guard<std::mutex> lock(FLock);
      FError = std::current_exception();
    }
  }
};

} // namespace

const std::vector<std::string> &FrameSequenceTypes() {
  static const std::vector<std::string> list = {"dpx", "exr", "tiff", "png"};
  return list;
}

void ApplyLutToPictureFile(const TLUT &lut, const std::string &input, const std::string &output,
                           std::int64_t maxPixels) {
  lut.CheckSizes();
  if (TakesBitmapPath(input, output)) {
    TPictureLoadOptions options;
    if (maxPixels > 0)
      options.MaxPixels = maxPixels;
    if (EngineThreadCount() >= 2) {
      TBitmapPipeline(lut, output).Run(input, options);
      return;
    }
    TBitmap24 picture;
    LoadPictureFile(input, picture, options);
    lut.ApplyToBitmap(picture);
    SavePictureFile(picture, output);
    return;
  }
  auto in = OpenFootage(input);
  if (in->IsMovie())
    throw EImageError(input + ": is a movie; its frames are written as pictures into a folder (--output-dir).");
  const TFootageFrame frame = in->Frame();
  CheckFrame(input, frame);
  std::vector<unsigned char> buffer;
  ApplyFrame(*in, input, frame, {}, TFootageKernel(lut, frame.Bits), output, buffer);
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

namespace {

bool PictureExists(const std::string &fileName) {
  struct stat st {};
  return ::stat(fileName.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

} // namespace

std::vector<std::string> MovieFrameFileNames(const std::string &movie, const std::string &outputDir,
                                             const std::string &type) {
  const int count = OpenFootage(movie)->FrameCount();
  std::vector<std::string> names;
  for (int f = 0; f < count; ++f)
    names.push_back(MovieFrameFileName(outputDir, movie, f, type));
  return names;
}

int ApplyLutToMovieFrames(const TLUT &lut, const std::string &movie, const std::string &outputDir,
                          const std::string &type, bool skipExisting,
                          const std::function<void(int done, int count)> &progress) {
  lut.CheckSizes();
  const auto &types = FrameSequenceTypes();
  if (std::find(types.begin(), types.end(), type) == types.end())
    throw EFCreateError("Movie frames can be written as dpx, exr, tiff or png, not '" + type + "'.");
  auto in = OpenFootage(movie);
  const int count = in->FrameCount();
  std::unique_ptr<TFootageKernel> kernel;
  std::vector<unsigned char> buffer;
  int written = 0;
  for (int f = 0; f < count; ++f) {
    const std::string output = MovieFrameFileName(outputDir, movie, f, type);
    if (skipExisting && PictureExists(output)) {
      if (progress)
        progress(f + 1, count);
      continue;
    }
    if (!in->SeekFrame(f))
      throw EImageError(movie + ": cannot read frame " + std::to_string(f) + " (" + in->Error() + ").");
    const TFootageFrame frame = in->Frame();
    CheckFrame(movie, frame);
    if (!kernel || kernel->Bits() != frame.Bits)
      kernel = std::make_unique<TFootageKernel>(lut, frame.Bits);
    TFootageOutput changes;
    changes.DropMovieAttributes = true;
    if (type == "exr") {
      changes.ChangeType = true;
      changes.Type = TSampleType::Half;
    } else if (type == "png" && frame.Bits > 8) {
      changes.ChangeType = true;
      changes.Type = TSampleType::UInt16;
    }
    ApplyFrame(*in, movie, frame, changes, *kernel, output, buffer);
    ++written;
    if (progress)
      progress(f + 1, count);
  }
  return written;
}

} // namespace tintwise
