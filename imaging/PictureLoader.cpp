#include "imaging/PictureLoader.h"

#include "engine/Errors.h"
#include "engine/FileAccess.h"
#include "imaging/FootageFiles.h"
#include "imaging/LargeBuffer.h"
#include "imaging/PictureRows.h"

#include <jpeglib.h>
#include <png.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <atomic>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>

namespace tintwise {

namespace detail {

void FailLoad(const std::string &fileName, const std::string &problem) {
  throw EImageError("Cannot load the picture \"" + fileName + "\": " + problem + ".");
}

void CheckDeclaredSize(const std::string &fileName, std::int64_t width, std::int64_t height,
                       const TPictureLoadOptions &options) {
  if (width <= 0 || height <= 0)
    FailLoad(fileName, "the picture has no pixels (" + std::to_string(width) + " x " + std::to_string(height) + ")");
  if (width > kMaxPictureSide || height > kMaxPictureSide)
    FailLoad(fileName, "the picture is too large (" + std::to_string(width) + " x " + std::to_string(height) +
                           " pixels; no side may be longer than " + std::to_string(kMaxPictureSide) + " pixels)");
  const std::int64_t limit = std::min(options.MaxPixels, kMaxPicturePixels);
  if (width * height > limit)
    FailLoad(fileName, "the picture (" + std::to_string(width) + " x " + std::to_string(height) + " = " +
                           std::to_string(width * height) + " pixels) is larger than the limit of " +
                           std::to_string(limit) + " pixels" +
                           (options.MaxPixels < kMaxPicturePixels && !options.MaxPixelsHint.empty()
                                ? "; " + options.MaxPixelsHint
                                : std::string()));
}

int OpenPictureFile(const std::string &fileName) {
  try {
    return OpenRegularFile(fileName);
  } catch (const EFOpenError &e) {
    // "Cannot open file "NAME". The file does not exist." becomes "...: the file does not exist."
    std::string cause = e.what();
    const std::string prefix = "Cannot open file \"" + fileName + "\". ";
    if (cause.compare(0, prefix.size(), prefix) == 0)
      cause.erase(0, prefix.size());
    while (!cause.empty() && cause.back() == '.')
      cause.pop_back();
    if (!cause.empty() && cause[0] >= 'A' && cause[0] <= 'Z')
      cause[0] = static_cast<char>(cause[0] - 'A' + 'a');
    FailLoad(fileName, cause);
  }
}

} // namespace detail

namespace {

using detail::CheckDeclaredSize;
using detail::FailLoad;
using detail::kBandRows;
using detail::TRowBand;
using detail::TRowSink;

enum class TDecoder { Jpeg, Qt, QtOrFootage, Footage, Movie };

struct TFormatEntry {
  const char *Description;
  std::vector<std::string> Extensions;
  TDecoder Decoder;
  const char *QtFormat; // the Qt reader's format name
};

const std::vector<TFormatEntry> &AllFormats() {
  static const std::vector<TFormatEntry> formats = {
      {"Bitmaps", {"bmp"}, TDecoder::Qt, "bmp"},
      {"JPEG Image File", {"jpeg", "jpg"}, TDecoder::Jpeg, nullptr},
      {"PNG Image File", {"png"}, TDecoder::QtOrFootage, "png"},
      {"TIFF Image File", {"tif", "tiff"}, TDecoder::QtOrFootage, "tiff"},
      {"DPX Image File", {"dpx"}, TDecoder::Footage, nullptr},
      {"Cineon Image File", {"cin"}, TDecoder::Footage, nullptr},
      {"OpenEXR Image File", {"exr"}, TDecoder::Footage, nullptr},
      {"Movie File", MovieExtensions(), TDecoder::Movie, nullptr},
  };
  return formats;
}

bool Available(const TFormatEntry &format) {
  switch (format.Decoder) {
  case TDecoder::Jpeg:
    return true;
  case TDecoder::Footage:
    return detail::FootageReaderAvailable();
  case TDecoder::Movie:
    return detail::MovieReaderAvailable();
  case TDecoder::Qt:
  case TDecoder::QtOrFootage:
    break;
  }
  static const QList<QByteArray> supported = QImageReader::supportedImageFormats();
  return supported.contains(QByteArray(format.QtFormat));
}

std::string LowerExtension(const std::string &fileName) {
  std::string ext = std::filesystem::path(fileName).extension().string();
  if (!ext.empty() && ext.front() == '.')
    ext.erase(0, 1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c); });
  return ext;
}

const TFormatEntry *FormatOf(const std::string &fileName) {
  const std::string ext = LowerExtension(fileName);
  for (const TFormatEntry &format : AllFormats())
    if (std::find(format.Extensions.begin(), format.Extensions.end(), ext) != format.Extensions.end())
      return Available(format) ? &format : nullptr;
  return nullptr;
}

std::string ListOfExtensions() {
  std::string list;
  for (const std::string &ext : PictureExtensions())
    list += (list.empty() ? "" : ", ") + ext;
  return list;
}

// A descriptor closed when it goes out of scope.
class TDescriptor {
public:
  explicit TDescriptor(int fd) : FFd(fd) {}
  ~TDescriptor() {
    if (FFd >= 0)
      ::close(FFd);
  }
  TDescriptor(const TDescriptor &) = delete;
  TDescriptor &operator=(const TDescriptor &) = delete;
  int Get() const { return FFd; }
  int Release() { return std::exchange(FFd, -1); }

private:
  int FFd;
};

// ---------------------------------------------------------------------------------------------
// Sinks.

// Keeps the whole picture.
class TFullSink : public TRowSink {
public:
  void Begin(int width, int height) override { Picture.SetSizeForOverwrite(width, height); } // every row is decoded
  TRowBand Band(int y0, int count) override { return {Picture.Scanline(y0), Picture.Stride(), count}; }
  void Commit(int, int) override {}
  TBitmap24 Picture;
};

// Keeps the whole picture in the caller's bitmap, and tells the caller as each band is in.
class TBandSink : public TRowSink {
public:
  TBandSink(TBitmap24 &picture, const std::function<void(int, int)> &bandDone)
      : FPicture(picture), FBandDone(bandDone) {}
  void Begin(int width, int height) override { FPicture.SetSizeForOverwrite(width, height); }
  TRowBand Band(int y0, int count) override { return {FPicture.Scanline(y0), FPicture.Stride(), count}; }
  void Commit(int y0, int count) override { FBandDone(y0, count); }

private:
  TBitmap24 &FPicture;
  const std::function<void(int, int)> &FBandDone;
};

// Shrinks the picture into the window's box as the rows come.
class TFitSink : public TRowSink {
public:
  explicit TFitSink(const std::string &fileName) : FFileName(fileName) {}
  void Begin(int width, int height) override {
    int w = 0, h = 0;
    FitSize(width, height, kFitWidth, kFitHeight, w, h);
    if (w <= 0 || h <= 0)
      FailLoad(FFileName, "the picture (" + std::to_string(width) + " x " + std::to_string(height) +
                              " pixels) is too long and thin to fit into " + std::to_string(kFitWidth) + " x " +
                              std::to_string(kFitHeight) + " pixels");
    Picture.SetSize(w, h);
    FWidth = width;
    FStride = (static_cast<std::ptrdiff_t>(width) * 3 + 3) & ~std::ptrdiff_t(3);
    FBand = detail::TLargeBuffer(static_cast<std::size_t>(FStride) * kBandRows + 64);
    FResampler = std::make_unique<detail::TStreamResampler>(ResampleFilters[kLanczos3Filter].Function, width,
                                                            height, Picture, ResampleFilters[kLanczos3Filter].Support);
  }
  TRowBand Band(int, int count) override { return {FBand.Data(), FStride, count}; }
  void Commit(int y0, int count) override { FResampler->AddRows({FBand.Data(), FWidth, count, FStride}, y0); }
  void Finish() {
    if (FResampler)
      FResampler->Finish();
  }
  TBitmap24 Picture;

private:
  std::string FFileName;
  int FWidth = 0;
  std::ptrdiff_t FStride = 0;
  detail::TLargeBuffer FBand;
  std::unique_ptr<detail::TStreamResampler> FResampler;
};

// ---------------------------------------------------------------------------------------------
// JPEG through libjpeg-turbo, a band of rows at a time. The settings are TurboJPEG's (accurate DCT,
// smooth upsampling), so the pixels are the same as a whole-picture decode; warnings (corrupt data,
// a premature end) stop the decode, and a progressive file of more than 500 scans is refused.

struct TJpegErrors {
  jpeg_error_mgr Manager;
  std::jmp_buf Jump;
  char Message[JMSG_LENGTH_MAX] = {};
};

void JpegErrorExit(j_common_ptr cinfo) {
  auto *errors = reinterpret_cast<TJpegErrors *>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, errors->Message);
  std::longjmp(errors->Jump, 1);
}

void JpegEmitMessage(j_common_ptr cinfo, int level) {
  if (level < 0) // a warning: the data is damaged
    JpegErrorExit(cinfo);
}

void JpegProgress(j_common_ptr cinfo) {
  auto *dinfo = reinterpret_cast<j_decompress_ptr>(cinfo);
  if (cinfo->is_decompressor && dinfo->input_scan_number > 500) {
    auto *errors = reinterpret_cast<TJpegErrors *>(cinfo->err);
    std::snprintf(errors->Message, sizeof errors->Message, "Progressive JPEG image has more than 500 scans");
    std::longjmp(errors->Jump, 1);
  }
}

struct TJpegDecoder {
  jpeg_decompress_struct Info{};
  TJpegErrors Errors;
  jpeg_progress_mgr Progress{};
  bool Created = false;
  ~TJpegDecoder() {
    if (Created)
      jpeg_destroy_decompress(&Info);
  }
};

// Adobe's CMYK JPEGs store inverted inks (0 = full ink): red = C x K / 255, rounded, as libjpeg-turbo
// and ImageMagick convert them. Files without Adobe's marker store plain inks.
void CmykToBgr(const std::uint8_t *cmyk, std::uint8_t *bgr, int width, bool inverted) {
  for (int x = 0; x < width; ++x, cmyk += 4, bgr += 3) {
    unsigned c = cmyk[0], m = cmyk[1], y = cmyk[2], k = cmyk[3];
    if (!inverted) {
      c = 255 - c;
      m = 255 - m;
      y = 255 - y;
      k = 255 - k;
    }
    bgr[0] = static_cast<std::uint8_t>((y * k * 2 + 255) / 510);
    bgr[1] = static_cast<std::uint8_t>((m * k * 2 + 255) / 510);
    bgr[2] = static_cast<std::uint8_t>((c * k * 2 + 255) / 510);
  }
}

// Runs the decode; a libjpeg error comes back here through longjmp and is raised as EImageError.
// Nothing with a destructor lives in this frame across the longjmp.
void RunJpeg(TJpegDecoder &jpeg, std::FILE *file, const std::string &fileName, TRowSink &sink,
             const TPictureLoadOptions &options, TPictureInfo &info, std::vector<std::uint8_t> &cmyk) {
  volatile bool header = true;
  if (setjmp(jpeg.Errors.Jump)) {
    const std::string message = jpeg.Errors.Message;
    if (header)
      FailLoad(fileName, "the file is not a readable JPEG picture (" + message + ")");
    FailLoad(fileName, "the JPEG data is damaged or truncated (" + message + ")");
  }
  jpeg_decompress_struct &cinfo = jpeg.Info;
  cinfo.err = jpeg_std_error(&jpeg.Errors.Manager);
  jpeg.Errors.Manager.error_exit = JpegErrorExit;
  jpeg.Errors.Manager.emit_message = JpegEmitMessage;
  jpeg_create_decompress(&cinfo);
  jpeg.Created = true;
  jpeg.Progress.progress_monitor = JpegProgress;
  cinfo.progress = &jpeg.Progress;
  jpeg_stdio_src(&cinfo, file);
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK)
    FailLoad(fileName, "the file is not a readable JPEG picture (it holds no picture)");
  CheckDeclaredSize(fileName, cinfo.image_width, cinfo.image_height, options);
  const bool inks = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  const bool inverted = cinfo.saw_Adobe_marker;
  cinfo.out_color_space = inks ? JCS_CMYK : JCS_EXT_BGR;
  cinfo.dct_method = JDCT_ISLOW;
  cinfo.do_fancy_upsampling = TRUE;
  jpeg_start_decompress(&cinfo);
  header = false;
  const int width = static_cast<int>(cinfo.output_width), height = static_cast<int>(cinfo.output_height);
  info.Width = width;
  info.Height = height;
  sink.Begin(width, height);
  if (inks)
    cmyk.resize(static_cast<std::size_t>(width) * 4);
  for (int y0 = 0; y0 < height; y0 += kBandRows) {
    const int count = std::min(kBandRows, height - y0);
    const TRowBand band = sink.Band(y0, count);
    for (int r = 0; r < count;) {
      std::uint8_t *row = band.Bits + r * band.Stride;
      JSAMPROW rows[1] = {inks ? cmyk.data() : row};
      if (jpeg_read_scanlines(&cinfo, rows, 1) != 1)
        FailLoad(fileName, "the JPEG data is damaged or truncated (it ends early)");
      if (inks)
        CmykToBgr(cmyk.data(), row, width, inverted);
      ++r;
    }
    sink.Commit(y0, count);
  }
  jpeg_finish_decompress(&cinfo);
}

void DecodeJpeg(const std::string &fileName, TRowSink &sink, const TPictureLoadOptions &options,
                TPictureInfo &info) {
  TDescriptor fd(detail::OpenPictureFile(fileName));
  std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(::fdopen(fd.Get(), "rb"), &std::fclose);
  if (!file)
    FailLoad(fileName, std::string("the file cannot be read (") + std::strerror(errno) + ")");
  fd.Release();
  TJpegDecoder jpeg;
  std::vector<std::uint8_t> cmyk;
  RunJpeg(jpeg, file.get(), fileName, sink, options, info, cmyk);
}

// ---------------------------------------------------------------------------------------------
// PNG pictures of 8-bit red, green and blue (with or without alpha), not interlaced: the common
// kind, read with libpng a band of rows at a time, set up as Qt's PNG reader sets it up (no gamma
// correction, the larger inflate window, the missing last CRC of some files supplied), so the
// pixels are Qt's. Alpha is dropped; the stored colour is kept. Every other PNG goes to Qt.

// Whether the file's header announces such a picture (the signature, then IHDR: width, height,
// bit depth, colour type, compression, filter, interlace).
bool IsPlainPng(int fd) {
  unsigned char head[29] = {};
  static const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  return ::pread(fd, head, sizeof head, 0) == static_cast<ssize_t>(sizeof head) &&
         std::memcmp(head, signature, 8) == 0 && std::memcmp(head + 12, "IHDR", 4) == 0 && head[24] == 8 &&
         (head[25] == PNG_COLOR_TYPE_RGB || head[25] == PNG_COLOR_TYPE_RGB_ALPHA) && head[28] == 0;
}

struct TPngReader {
  png_structp Png = nullptr;
  png_infop Info = nullptr;
  std::FILE *File = nullptr;
  bool ReadingEnd = false;
  char Message[256] = {};
  ~TPngReader() {
    if (Png)
      png_destroy_read_struct(&Png, Info ? &Info : nullptr, nullptr);
  }
};

void PngReadFail(png_structp png, png_const_charp message) {
  auto *reader = static_cast<TPngReader *>(png_get_error_ptr(png));
  std::snprintf(reader->Message, sizeof reader->Message, "%s", message);
  png_longjmp(png, 1);
}

// libpng's warnings are shown in verbose mode only, as those that reach us through Qt are.
void PngReadWarn(png_structp, png_const_charp message) {
  if (detail::PictureLibrariesVerbose())
    std::fprintf(stderr, "libpng warning: %s\n", message);
}

void PngReadData(png_structp png, png_bytep data, png_size_t length) {
  auto *reader = static_cast<TPngReader *>(png_get_io_ptr(png));
  const std::size_t got = std::fread(data, 1, length, reader->File);
  if (got == length)
    return;
  // Some files lack the last CRC; Qt's reader supplies IEND's, and so does this one.
  if (reader->ReadingEnd && length == 4) {
    static const unsigned char endCrc[4] = {0xae, 0x42, 0x60, 0x82};
    std::memcpy(data, endCrc, 4);
    return;
  }
  png_error(png, "Read Error");
}

// The steps of the decode; each returns false with the reader's message set. Nothing with a
// destructor lives in their frames, so libpng's long jump out of them is safe.
bool PngReadHeader(TPngReader &r, png_uint_32 &width, png_uint_32 &height, bool &plain) {
  r.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r, PngReadFail, PngReadWarn);
  if (!r.Png) {
    std::snprintf(r.Message, sizeof r.Message, "out of memory");
    return false;
  }
  r.Info = png_create_info_struct(r.Png);
  if (!r.Info || setjmp(png_jmpbuf(r.Png))) {
    if (!r.Message[0])
      std::snprintf(r.Message, sizeof r.Message, "out of memory");
    return false;
  }
#if defined(PNG_SET_OPTION_SUPPORTED) && defined(PNG_MAXIMUM_INFLATE_WINDOW)
  png_set_option(r.Png, PNG_MAXIMUM_INFLATE_WINDOW, PNG_OPTION_ON);
#endif
  png_set_read_fn(r.Png, &r, PngReadData);
  png_read_info(r.Png, r.Info);
  int depth = 0, colour = 0, interlace = 0;
  png_get_IHDR(r.Png, r.Info, &width, &height, &depth, &colour, &interlace, nullptr, nullptr);
  plain = depth == 8 && (colour == PNG_COLOR_TYPE_RGB || colour == PNG_COLOR_TYPE_RGB_ALPHA) &&
          interlace == PNG_INTERLACE_NONE;
  if (!plain)
    return true;
  if (colour == PNG_COLOR_TYPE_RGB_ALPHA)
    png_set_strip_alpha(r.Png);
  png_set_bgr(r.Png);
  png_read_update_info(r.Png, r.Info);
  return true;
}

bool PngReadRows(TPngReader &r, png_bytepp rows, png_uint_32 count) {
  if (setjmp(png_jmpbuf(r.Png)))
    return false;
  png_read_rows(r.Png, rows, nullptr, count);
  return true;
}

bool PngReadEnd(TPngReader &r) {
  if (setjmp(png_jmpbuf(r.Png)))
    return false;
  r.ReadingEnd = true;
  png_read_end(r.Png, nullptr);
  return true;
}

// Decodes the picture when it is of the plain kind; false (nothing given to the sink) when it is
// not, for Qt's reader to take.
bool DecodePlainPng(const std::string &fileName, TRowSink &sink, const TPictureLoadOptions &options,
                    TPictureInfo &info) {
  TDescriptor fd(detail::OpenPictureFile(fileName));
  if (!IsPlainPng(fd.Get()))
    return false;
  std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(::fdopen(fd.Get(), "rb"), &std::fclose);
  if (!file)
    FailLoad(fileName, std::string("the file cannot be read (") + std::strerror(errno) + ")");
  fd.Release();
  std::vector<char> buffer(std::size_t(1) << 20);
  std::setvbuf(file.get(), buffer.data(), _IOFBF, buffer.size());
  TPngReader reader;
  reader.File = file.get();
  png_uint_32 width = 0, height = 0;
  bool plain = false;
  if (!PngReadHeader(reader, width, height, plain))
    FailLoad(fileName, std::string("the picture data is damaged or truncated (") + reader.Message + ")");
  if (!plain)
    return false;
  CheckDeclaredSize(fileName, width, height, options);
  info.Width = static_cast<int>(width);
  info.Height = static_cast<int>(height);
  sink.Begin(info.Width, info.Height);
  std::vector<png_bytep> rows(kBandRows);
  for (int y0 = 0; y0 < info.Height; y0 += kBandRows) {
    const int count = std::min(kBandRows, info.Height - y0);
    const TRowBand band = sink.Band(y0, count);
    for (int r = 0; r < count; ++r)
      rows[r] = band.Bits + r * band.Stride;
    if (!PngReadRows(reader, rows.data(), static_cast<png_uint_32>(count)))
      FailLoad(fileName, std::string("the picture data is damaged or truncated (") + reader.Message + ")");
    sink.Commit(y0, count);
  }
  if (!PngReadEnd(reader))
    FailLoad(fileName, std::string("the picture data is damaged or truncated (") + reader.Message + ")");
  return true;
}

// ---------------------------------------------------------------------------------------------
// BMP, and PNG and TIFF of up to 8 bits a channel, through Qt's readers. Qt decodes the whole
// picture in its own format (one byte a pixel for paletted pictures); it is converted a band at a
// time.

void AllowLargeQtImages() {
  static std::once_flag once;
  // Our own limit is checked first; Qt's must not be the tighter one (a 16-bit picture of the
  // largest accepted size takes 8 bytes a pixel while it is decoded).
  std::call_once(once, [] { QImageReader::setAllocationLimit(static_cast<int>(kMaxPicturePixels * 8 >> 20) + 64); });
}

// What Qt's BMP reader leaves to us, read from the headers: whether the pixel data of an
// uncompressed file is all there (Qt fills a short file up silently), and the bit fields of 16- and
// 32-bit files, whose channels Qt widens by shifting (a 5-bit 31 becomes 248) instead of scaling
// them to the full range (31 becomes 255).
struct TBmpLayout {
  int ChannelBits[3] = {8, 8, 8}; // red, green, blue
  // Run-length data may skip pixels, which Qt then leaves as they were: a pre-filled picture of
  // this size makes them palette colour 0 instead of whatever the memory held.
  int RleWidth = 0, RleHeight = 0;
};

int MaskBits(std::uint32_t mask) {
  if (mask == 0)
    return 0;
  while ((mask & 1u) == 0)
    mask >>= 1;
  int bits = 0;
  while (mask & 1u) {
    mask >>= 1;
    ++bits;
  }
  return mask == 0 ? bits : -1; // -1: the bits are not contiguous
}

TBmpLayout InspectBmp(const std::string &fileName, int fd, const TPictureLoadOptions &options) {
  TBmpLayout layout;
  unsigned char h[70] = {};
  const ssize_t read = ::pread(fd, h, sizeof h, 0);
  const std::size_t got = read > 0 ? static_cast<std::size_t>(read) : 0;
  auto u16 = [&](int o) { return static_cast<std::uint32_t>(h[o] | h[o + 1] << 8); };
  auto u32 = [&](int o) { return u16(o) | u16(o + 2) << 16; };
  if (got < 26 || h[0] != 'B' || h[1] != 'M')
    return layout; // Qt reports what is wrong
  const std::uint32_t offBits = u32(10), headerSize = u32(14);
  std::int64_t width, height;
  std::uint32_t bpp, compression = 0;
  if (headerSize == 12) {
    width = u16(18);
    height = u16(20);
    bpp = u16(24);
    // Qt reads an OS/2 palette as full length and its pixels from where that would end, so a
    // short palette shifts every pixel and leaves the last row unread.
    if (bpp >= 1 && bpp <= 8 && offBits < 26 + 3 * (1u << bpp))
      FailLoad(fileName, "its colour palette is shorter than its bit depth needs, which this program does not "
                         "read from OS/2 bitmaps");
  } else if (headerSize >= 40 && got >= 54) {
    width = static_cast<std::int32_t>(u32(18));
    height = static_cast<std::int32_t>(u32(22));
    bpp = u16(28);
    compression = u32(30);
  } else {
    return layout;
  }
  height = height < 0 ? -height : height;
  CheckDeclaredSize(fileName, width, height, options);
  constexpr std::uint32_t kRgb = 0, kBitFields = 3, kAlphaBitFields = 6;
  const bool uncompressed = compression == kRgb || compression == kBitFields || compression == kAlphaBitFields;
  constexpr std::uint32_t kRle8 = 1, kRle4 = 2;
  if (compression == kRle8 || compression == kRle4) {
    layout.RleWidth = static_cast<int>(width);
    layout.RleHeight = static_cast<int>(height);
  }
  if (!uncompressed)
    return layout;
  if (bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32) {
    const std::int64_t rowBytes = (bpp * width + 31) / 32 * 4;
    struct stat st {};
    if (::fstat(fd, &st) == 0 &&
        static_cast<std::uintmax_t>(offBits) + static_cast<std::uintmax_t>(rowBytes * height) >
            static_cast<std::uintmax_t>(st.st_size))
      FailLoad(fileName, "the file is truncated (its pixels need " + std::to_string(rowBytes * height) +
                             " bytes from offset " + std::to_string(offBits) + ", the file has " +
                             std::to_string(st.st_size) + ")");
  }
  if (bpp != 16 && bpp != 32)
    return layout;
  std::uint32_t masks[3];
  if (compression == kRgb) {
    if (bpp == 32)
      return layout;
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  } else {
    if (got < 66)
      return layout;
    masks[0] = u32(54);
    masks[1] = u32(58);
    masks[2] = u32(62);
  }
  for (int c = 0; c < 3; ++c) {
    const int bits = MaskBits(masks[c]);
    if (bits > 8)
      FailLoad(fileName, "its colour channels have more than 8 bits, which this program does not read from BMP files");
    layout.ChannelBits[c] = bits < 0 ? 8 : bits;
  }
  return layout;
}

// Widens channels that Qt shifted up from fewer than 8 bits to the full range: v / (2^bits - 1).
struct TChannelTables {
  std::uint8_t Table[3][256];
  bool Any = false;
  explicit TChannelTables(const TBmpLayout &layout) {
    for (int c = 0; c < 3; ++c) {
      const int bits = layout.ChannelBits[c];
      for (int q = 0; q < 256; ++q) {
        if (bits <= 0 || bits >= 8) {
          Table[c][q] = static_cast<std::uint8_t>(q);
          continue;
        }
        const unsigned max = (1u << bits) - 1, v = static_cast<unsigned>(q) >> (8 - bits);
        Table[c][q] = static_cast<std::uint8_t>((v * 255 + max / 2) / max); // max is odd: never a tie
        Any = true;
      }
    }
  }
  void Apply(std::uint8_t *bgr, int pixels) const {
    for (int i = 0; i < pixels; ++i, bgr += 3) {
      bgr[0] = Table[2][bgr[0]];
      bgr[1] = Table[1][bgr[1]];
      bgr[2] = Table[0][bgr[2]];
    }
  }
};

// Qt's reason, or ours where Qt has none ("Unknown error").
std::string QtReason(const QImageReader &reader) {
  if (reader.error() == QImageReader::UnknownError)
    return "its contents are not a picture of its type, or they are damaged";
  return reader.errorString().toStdString();
}

void DecodeWithQt(const std::string &fileName, const TFormatEntry &format, TRowSink &sink,
                  const TPictureLoadOptions &options, TPictureInfo &info) {
  AllowLargeQtImages();
  TDescriptor fd(detail::OpenPictureFile(fileName));
  const bool bmp = std::string(format.QtFormat) == "bmp";
  const TBmpLayout layout = bmp ? InspectBmp(fileName, fd.Get(), options) : TBmpLayout();
  QFile file;
  if (!file.open(fd.Get(), QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
    FailLoad(fileName, "the file cannot be read (" + file.errorString().toStdString() + ")");
  fd.Release();
  detail::TQuietStandardError quiet;
  QImageReader reader(&file, QByteArray(format.QtFormat));
  reader.setAutoDetectImageFormat(false);
  reader.setAutoTransform(false);
  if (!reader.canRead()) {
    if (file.size() == 0)
      FailLoad(fileName, "the file is empty");
    FailLoad(fileName, "the file is not a readable picture of its type (" + QtReason(reader) + ")");
  }
  const QSize declared = reader.size();
  if (declared.isValid())
    CheckDeclaredSize(fileName, declared.width(), declared.height(), options);
  QImage image;
  if (layout.RleWidth > 0) {
    image = QImage(layout.RleWidth, layout.RleHeight, QImage::Format_Indexed8);
    if (image.isNull())
      throw std::bad_alloc();
    image.fill(0);
  }
  if (!reader.read(&image) || image.isNull())
    FailLoad(fileName, "the picture data is damaged or truncated (" + QtReason(reader) + ")");
  file.close();
  CheckDeclaredSize(fileName, image.width(), image.height(), options);
  info.Width = image.width();
  info.Height = image.height();
  sink.Begin(image.width(), image.height());

  const bool deep = image.depth() > 32 || image.format() == QImage::Format_Grayscale16;
  const TChannelTables tables(layout);
  const int width = image.width(), height = image.height();
  for (int y0 = 0; y0 < height; y0 += kBandRows) {
    const int count = std::min(kBandRows, height - y0);
    // The band in Qt's own format, without a copy, then converted as the whole picture would be.
    QImage part(image.constScanLine(y0), width, count, image.bytesPerLine(), image.format());
    if (image.format() == QImage::Format_Indexed8 || image.depth() < 8)
      part.setColorTable(image.colorTable());
    part = part.convertToFormat(deep ? QImage::Format_RGBA64 : QImage::Format_ARGB32);
    if (part.isNull())
      throw std::bad_alloc();
    const TRowBand band = sink.Band(y0, count);
    for (int r = 0; r < count; ++r) {
      std::uint8_t *d = band.Bits + r * band.Stride;
      if (deep) {
        // 16 bits a channel: the nearest 8-bit value, v * 255 / 65535 rounded (never a tie).
        const auto *s = reinterpret_cast<const quint16 *>(part.constScanLine(r));
        for (int x = 0; x < width; ++x, s += 4, d += 3) {
          d[0] = static_cast<std::uint8_t>((s[2] + 128u) / 257u);
          d[1] = static_cast<std::uint8_t>((s[1] + 128u) / 257u);
          d[2] = static_cast<std::uint8_t>((s[0] + 128u) / 257u);
        }
      } else {
        // Alpha is dropped: the stored colour is kept whatever its opacity.
        const auto *s = reinterpret_cast<const QRgb *>(part.constScanLine(r));
        for (int x = 0; x < width; ++x, d += 3) {
          d[0] = static_cast<std::uint8_t>(qBlue(s[x]));
          d[1] = static_cast<std::uint8_t>(qGreen(s[x]));
          d[2] = static_cast<std::uint8_t>(qRed(s[x]));
        }
      }
      if (tables.Any) // only a BMP's bit fields are widened
        tables.Apply(band.Bits + r * band.Stride, width);
    }
    sink.Commit(y0, count);
  }
}

// Whether a PNG (from its header) or a TIFF (as OpenImageIO sees it) has more than 8 bits a channel.
// Opens the file as a regular file first, so that a FIFO is refused before anything reads it.
bool IsDeepPngOrTiff(const std::string &fileName, const TFormatEntry &format) {
  TDescriptor fd(detail::OpenPictureFile(fileName));
  if (std::string(format.QtFormat) == "png") {
    // The signature, then the IHDR chunk: length, type, width, height, bit depth.
    unsigned char head[25] = {};
    static const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return ::pread(fd.Get(), head, sizeof head, 0) == static_cast<ssize_t>(sizeof head) &&
           std::memcmp(head, signature, 8) == 0 && std::memcmp(head + 12, "IHDR", 4) == 0 && head[24] == 16;
  }
  return detail::IsDeepPicture(fileName);
}

void Decode(const std::string &fileName, TRowSink &sink, const TPictureLoadOptions &options, TPictureInfo &info) {
  const TFormatEntry *format = FormatOf(fileName);
  if (!format) {
    const std::string ext = LowerExtension(fileName);
    FailLoad(fileName, (ext.empty() ? std::string("the file name has no extension")
                                    : "files of type \"" + ext + "\" cannot be opened") +
                           " (pictures are opened by the extensions " + ListOfExtensions() + ")");
  }
  detail::QuietenPictureLibraries();
  try {
    switch (format->Decoder) {
    case TDecoder::Jpeg:
      DecodeJpeg(fileName, sink, options, info);
      break;
    case TDecoder::QtOrFootage:
      // Checked as a file first, so that a FIFO is refused before anything reads it.
      if (detail::FootageReaderAvailable() && IsDeepPngOrTiff(fileName, *format)) {
        detail::DecodeFootage(fileName, sink, options, info);
        break;
      }
      if (std::string(format->QtFormat) == "png" && DecodePlainPng(fileName, sink, options, info))
        break;
      DecodeWithQt(fileName, *format, sink, options, info);
      break;
    case TDecoder::Qt:
      DecodeWithQt(fileName, *format, sink, options, info);
      break;
    case TDecoder::Footage:
    case TDecoder::Movie:
      detail::DecodeFootage(fileName, sink, options, info);
      break;
    }
  } catch (const std::bad_alloc &) {
    FailLoad(fileName, "there is not enough memory for the picture");
  } catch (const EImageError &) {
    throw;
  } catch (const ETintwiseError &e) {
    FailLoad(fileName, e.what());
  }
}

// ---------------------------------------------------------------------------------------------
// Library messages. Qt's image readers pass on what libpng and libtiff say ("iCCP: known incorrect
// sRGB profile") as Qt warnings in their own logging categories; outside verbose mode those are
// dropped and everything else goes to the handler that was there before.

std::atomic<bool> GVerbose{false};
QtMessageHandler GPreviousHandler = nullptr;

bool IsPictureLibraryMessage(const QMessageLogContext &context, const QString &message) {
  const char *category = context.category ? context.category : "";
  if (std::strncmp(category, "qt.gui.imageio", 14) == 0 || std::strncmp(category, "qt.imageformats", 15) == 0)
    return true;
  return message.startsWith(QLatin1String("libpng")) || message.startsWith(QLatin1String("libtiff")) ||
         message.startsWith(QLatin1String("QImageIOHandler")) || message.startsWith(QLatin1String("QTiffHandler")) ||
         message.startsWith(QLatin1String("QImage::")) || message.contains(QLatin1String("TIFFRead")) ||
         message.contains(QLatin1String("TIFFFetch"));
}

void PictureMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &message) {
  if (type != QtFatalMsg && type != QtCriticalMsg && !GVerbose.load() && IsPictureLibraryMessage(context, message))
    return;
  if (GPreviousHandler)
    GPreviousHandler(type, context, message);
  else
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

} // namespace

namespace detail {

void QuietenPictureLibraries() {
  static std::once_flag once;
  std::call_once(once, [] { GPreviousHandler = qInstallMessageHandler(PictureMessageHandler); });
}

bool PictureLibrariesVerbose() { return GVerbose.load(); }

namespace {
std::recursive_mutex GStandardErrorLock;
}

TQuietStandardError::TQuietStandardError() {
  GStandardErrorLock.lock();
  if (PictureLibrariesVerbose())
    return;
  std::fflush(stderr);
  FSaved = ::dup(2);
  const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (FSaved >= 0 && null >= 0)
    ::dup2(null, 2);
  if (null >= 0)
    ::close(null);
}

TQuietStandardError::~TQuietStandardError() {
  if (FSaved >= 0) {
    std::fflush(stderr);
    ::dup2(FSaved, 2);
    ::close(FSaved);
  }
  GStandardErrorLock.unlock();
}

} // namespace detail

void SetPictureLoaderVerbose(bool verbose) {
  GVerbose.store(verbose);
  detail::QuietenPictureLibraries();
}

std::int64_t ParseMaxPixels(const std::string &text) {
  std::size_t digits = 0;
  std::int64_t value = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9' && digits < 12)
    value = value * 10 + (text[digits++] - '0');
  std::string unit = text.substr(digits);
  std::int64_t scale = 1;
  if (unit == "M" || unit == "m")
    scale = 1'000'000;
  else if (unit == "G" || unit == "g")
    scale = 1'000'000'000;
  else if (!unit.empty())
    digits = 0;
  if (digits == 0 || value == 0 || value > kMaxPicturePixels / scale)
    throw EImageError("\"" + text + "\" is not a pixel limit: give a number of pixels from 1 to " +
                      std::to_string(kMaxPicturePixels) + ", or megapixels such as 150M.");
  return value * scale;
}

const std::vector<TPictureFormat> &PictureFormats() {
  static const std::vector<TPictureFormat> formats = [] {
    std::vector<TPictureFormat> list;
    for (const TFormatEntry &format : AllFormats())
      if (Available(format))
        list.push_back({format.Description, format.Extensions});
    return list;
  }();
  return formats;
}

std::vector<std::string> PictureExtensions() {
  std::vector<std::string> list;
  for (const TPictureFormat &format : PictureFormats())
    list.insert(list.end(), format.Extensions.begin(), format.Extensions.end());
  return list;
}

std::string PictureFileFilter() {
  std::string all, each;
  for (const TPictureFormat &format : PictureFormats()) {
    std::string patterns;
    for (const std::string &ext : format.Extensions)
      patterns += (patterns.empty() ? "*." : " *.") + ext;
    all += (all.empty() ? "" : " ") + patterns;
    each += ";;" + format.Description + " (" + patterns + ")";
  }
  return "All pictures (" + all + ")" + each;
}

bool IsPictureFileName(const std::string &fileName) { return FormatOf(fileName) != nullptr; }

bool ReadsAsFootage(const std::string &fileName) {
  const TFormatEntry *format = FormatOf(fileName);
  if (!format)
    return false;
  switch (format->Decoder) {
  case TDecoder::Footage:
  case TDecoder::Movie:
    return true;
  case TDecoder::QtOrFootage:
    return detail::FootageReaderAvailable() && IsDeepPngOrTiff(fileName, *format);
  default:
    return false;
  }
}

void LoadPictureFile(const std::string &fileName, TBitmap24 &bitmap, const TPictureLoadOptions &options,
                     TPictureInfo *info) {
  TFullSink sink;
  TPictureInfo found;
  Decode(fileName, sink, options, found);
  bitmap = std::move(sink.Picture);
  if (info)
    *info = found;
}

void LoadPictureFileInBands(const std::string &fileName, TBitmap24 &bitmap,
                            const std::function<void(int y0, int count)> &bandDone,
                            const TPictureLoadOptions &options) {
  TBandSink sink(bitmap, bandDone);
  TPictureInfo found;
  Decode(fileName, sink, options, found);
}

void LoadImageFile(const std::string &fileName, TBitmap24 &destination, const TPictureLoadOptions &options,
                   TPictureInfo *info) {
  TFitSink sink(fileName);
  TPictureInfo found;
  Decode(fileName, sink, options, found);
  try {
    sink.Finish();
  } catch (const std::bad_alloc &) {
    FailLoad(fileName, "there is not enough memory to shrink the picture");
  }
  destination = std::move(sink.Picture);
  if (info)
    *info = found;
}

} // namespace tintwise
