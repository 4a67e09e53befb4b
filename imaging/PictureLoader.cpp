#include "imaging/PictureLoader.h"

#include "imaging/LargeBuffer.h"

#include <turbojpeg.h>

#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <new>

namespace tintwise {

namespace {

enum class TDecoder { TurboJpeg, Qt };

struct TFormatEntry {
  const char *Description;
  std::vector<std::string> Extensions;
  TDecoder Decoder;
  const char *QtFormat; // the Qt reader's format name
};

const std::vector<TFormatEntry> &AllFormats() {
  static const std::vector<TFormatEntry> formats = {
      {"Bitmaps", {"bmp"}, TDecoder::Qt, "bmp"},
      {"JPEG Image File", {"jpeg", "jpg"}, TDecoder::TurboJpeg, nullptr},
      {"PNG Image File", {"png"}, TDecoder::Qt, "png"},
      {"TIFF Image File", {"tif", "tiff"}, TDecoder::Qt, "tiff"},
  };
  return formats;
}

bool Available(const TFormatEntry &format) {
  if (format.Decoder == TDecoder::TurboJpeg)
    return true;
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

[[noreturn]] void Fail(const std::string &fileName, const std::string &problem) {
  throw EImageError("Cannot load the picture \"" + fileName + "\": " + problem + ".");
}

std::string ListOfExtensions() {
  std::string list;
  for (const TPictureFormat &format : PictureFormats())
    for (const std::string &ext : format.Extensions)
      list += (list.empty() ? "" : ", ") + ext;
  return list;
}

void CheckDeclaredSize(const std::string &fileName, std::int64_t width, std::int64_t height) {
  if (width <= 0 || height <= 0)
    Fail(fileName, "the picture has no pixels (" + std::to_string(width) + " x " + std::to_string(height) + ")");
  if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels)
    Fail(fileName, "the picture is too large (" + std::to_string(width) + " x " + std::to_string(height) +
                       " pixels; the limit is " + std::to_string(kMaxPictureSide) + " pixels a side and " +
                       std::to_string(kMaxPicturePixels / 1000000) + " megapixels in all)");
}

// A decoded picture: 24-bit rows from the top, blue, green, red. Not zero-filled: the decoder
// writes every byte the resampler reads.
struct TDecoded {
  detail::TLargeBuffer Data;
  int Width = 0;
  int Height = 0;
  std::ptrdiff_t Stride = 0;

  void Allocate(int width, int height) {
    Stride = (static_cast<std::ptrdiff_t>(width) * 3 + 3) & ~std::ptrdiff_t(3);
    Data = detail::TLargeBuffer(static_cast<std::size_t>(Stride) * static_cast<std::size_t>(height));
    Width = width;
    Height = height;
  }
  detail::TPixelView View() const { return {Data.Data(), Width, Height, Stride}; }
};

struct TFileData {
  detail::TLargeBuffer Data;
  std::size_t Size = 0;
};

// The whole file in memory; the size is checked against a generous limit first.
TFileData ReadWholeFile(const std::string &fileName) {
  constexpr std::uintmax_t kMaxFileBytes = std::uintmax_t(1) << 30;
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(fileName, ec);
  if (ec)
    Fail(fileName, "the file cannot be read (" + ec.message() + ")");
  if (size > kMaxFileBytes)
    Fail(fileName, "the file is too large (" + std::to_string(size) + " bytes)");
  std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(fileName.c_str(), "rb"), &std::fclose);
  if (!file)
    Fail(fileName, std::string("the file cannot be opened (") + std::strerror(errno) + ")");
  TFileData data{detail::TLargeBuffer(static_cast<std::size_t>(size)), static_cast<std::size_t>(size)};
  if (size > 0 && std::fread(data.Data.Data(), 1, data.Size, file.get()) != data.Size)
    Fail(fileName, "the file cannot be read to its end");
  return data;
}

#ifdef TJFLAG_LIMITSCANS
constexpr int kJpegFlags = TJFLAG_STOPONWARNING | TJFLAG_LIMITSCANS;
#else
constexpr int kJpegFlags = TJFLAG_STOPONWARNING;
#endif

TDecoded DecodeJpeg(const std::string &fileName) {
  const TFileData file = ReadWholeFile(fileName);
  const unsigned char *data = file.Data.Data();
  const auto size = static_cast<unsigned long>(file.Size);
  std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitDecompress(), &tjDestroy);
  if (!handle)
    Fail(fileName, "the JPEG decoder cannot be started");
  int width = 0, height = 0, subsampling = 0, colorspace = 0;
  if (tjDecompressHeader3(handle.get(), data, size, &width, &height,
                          &subsampling, &colorspace) != 0)
    Fail(fileName, std::string("the file is not a readable JPEG picture (") + tjGetErrorStr2(handle.get()) + ")");
  CheckDeclaredSize(fileName, width, height);
  TDecoded picture;
  picture.Allocate(width, height);
  if (tjDecompress2(handle.get(), data, size, picture.Data.Data(), width,
                    static_cast<int>(picture.Stride), height, TJPF_BGR, kJpegFlags) != 0)
    Fail(fileName, std::string("the JPEG data is damaged or truncated (") + tjGetErrorStr2(handle.get()) + ")");
  return picture;
}

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

TBmpLayout InspectBmp(const std::string &fileName) {
  TBmpLayout layout;
  std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(fileName.c_str(), "rb"), &std::fclose);
  if (!file)
    Fail(fileName, std::string("the file cannot be opened (") + std::strerror(errno) + ")");
  unsigned char h[70] = {};
  const std::size_t got = std::fread(h, 1, sizeof h, file.get());
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
      Fail(fileName, "its colour palette is shorter than its bit depth needs, which this program does not read "
                     "from OS/2 bitmaps");
  } else if (headerSize >= 40 && got >= 54) {
    width = static_cast<std::int32_t>(u32(18));
    height = static_cast<std::int32_t>(u32(22));
    bpp = u16(28);
    compression = u32(30);
  } else {
    return layout;
  }
  height = height < 0 ? -height : height;
  CheckDeclaredSize(fileName, width, height);
  constexpr std::uint32_t kRgb = 0, kBitFields = 3, kAlphaBitFields = 6;
  const bool uncompressed = compression == kRgb || compression == kBitFields || compression == kAlphaBitFields;
  constexpr std::uint32_t kRle8 = 1, kRle4 = 2;
  if ((compression == kRle8 || compression == kRle4) && width > 0 && height > 0 && width <= kMaxPictureSide &&
      height <= kMaxPictureSide && width * height <= kMaxPicturePixels) {
    layout.RleWidth = static_cast<int>(width);
    layout.RleHeight = static_cast<int>(height);
  }
  if (!uncompressed || width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide)
    return layout; // compressed data, or sizes Qt or the size check refuse
  if (bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32) {
    const std::int64_t rowBytes = (bpp * width + 31) / 32 * 4;
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(fileName, ec);
    if (!ec && static_cast<std::uintmax_t>(offBits) + static_cast<std::uintmax_t>(rowBytes * height) > size)
      Fail(fileName, "the file is truncated (its pixels need " + std::to_string(rowBytes * height) +
                         " bytes from offset " + std::to_string(offBits) + ", the file has " + std::to_string(size) +
                         ")");
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
      Fail(fileName, "its colour channels have more than 8 bits, which this program does not read from BMP files");
    layout.ChannelBits[c] = bits < 0 ? 8 : bits;
  }
  return layout;
}

// Widens channels that Qt shifted up from fewer than 8 bits to the full range: v / (2^bits - 1).
void ScaleBmpChannels(const TBmpLayout &layout, std::uint8_t *bgr, std::size_t pixels) {
  std::uint8_t table[3][256];
  bool any = false;
  for (int c = 0; c < 3; ++c) {
    const int bits = layout.ChannelBits[c];
    for (int q = 0; q < 256; ++q) {
      if (bits <= 0 || bits >= 8) {
        table[c][q] = static_cast<std::uint8_t>(q);
        continue;
      }
      const unsigned max = (1u << bits) - 1, v = static_cast<unsigned>(q) >> (8 - bits);
      table[c][q] = static_cast<std::uint8_t>((v * 255 + max / 2) / max); // max is odd: never a tie
      any = true;
    }
  }
  if (!any)
    return;
  for (std::size_t i = 0; i < pixels; ++i, bgr += 3) {
    bgr[0] = table[2][bgr[0]];
    bgr[1] = table[1][bgr[1]];
    bgr[2] = table[0][bgr[2]];
  }
}

TDecoded DecodeWithQt(const std::string &fileName, const TFormatEntry &format) {
  AllowLargeQtImages();
  const bool bmp = std::string(format.QtFormat) == "bmp";
  const TBmpLayout layout = bmp ? InspectBmp(fileName) : TBmpLayout();
  QImageReader reader(QString::fromStdString(fileName), QByteArray(format.QtFormat));
  reader.setAutoDetectImageFormat(false);
  reader.setAutoTransform(false);
  if (!reader.canRead())
    Fail(fileName, "the file is not a readable picture of its type (" + reader.errorString().toStdString() + ")");
  const QSize declared = reader.size();
  if (declared.isValid())
    CheckDeclaredSize(fileName, declared.width(), declared.height());
  QImage image;
  if (layout.RleWidth > 0) {
    image = QImage(layout.RleWidth, layout.RleHeight, QImage::Format_Indexed8);
    image.fill(0);
  }
  if (!reader.read(&image) || image.isNull())
    Fail(fileName, "the picture data is damaged or truncated (" + reader.errorString().toStdString() + ")");
  CheckDeclaredSize(fileName, image.width(), image.height());

  TDecoded picture;
  picture.Allocate(image.width(), image.height());
  const bool deep = image.depth() > 32 || image.format() == QImage::Format_Grayscale16;
  if (deep) {
    // 16 bits a channel: the nearest 8-bit value, v * 255 / 65535 rounded (never a tie).
    image = image.convertToFormat(QImage::Format_RGBA64);
    if (image.isNull())
      Fail(fileName, "there is not enough memory to convert the picture");
    for (int y = 0; y < picture.Height; ++y) {
      const auto *s = reinterpret_cast<const quint16 *>(image.constScanLine(y));
      std::uint8_t *d = picture.Data.Data() + y * picture.Stride;
      for (int x = 0; x < picture.Width; ++x, s += 4, d += 3) {
        d[0] = static_cast<std::uint8_t>((s[2] + 128u) / 257u);
        d[1] = static_cast<std::uint8_t>((s[1] + 128u) / 257u);
        d[2] = static_cast<std::uint8_t>((s[0] + 128u) / 257u);
      }
    }
  } else {
    // Alpha is dropped: the stored colour is kept whatever its opacity.
    image = image.convertToFormat(QImage::Format_ARGB32);
    if (image.isNull())
      Fail(fileName, "there is not enough memory to convert the picture");
    for (int y = 0; y < picture.Height; ++y) {
      const auto *s = reinterpret_cast<const QRgb *>(image.constScanLine(y));
      std::uint8_t *d = picture.Data.Data() + y * picture.Stride;
      for (int x = 0; x < picture.Width; ++x, d += 3) {
        d[0] = static_cast<std::uint8_t>(qBlue(s[x]));
        d[1] = static_cast<std::uint8_t>(qGreen(s[x]));
        d[2] = static_cast<std::uint8_t>(qRed(s[x]));
      }
    }
  }
  if (bmp)
    for (int y = 0; y < picture.Height; ++y)
      ScaleBmpChannels(layout, picture.Data.Data() + y * picture.Stride, static_cast<std::size_t>(picture.Width));
  return picture;
}

TDecoded Decode(const std::string &fileName) {
  const TFormatEntry *format = FormatOf(fileName);
  if (!format) {
    const std::string ext = LowerExtension(fileName);
    Fail(fileName, (ext.empty() ? std::string("the file name has no extension")
                                : "files of type \"" + ext + "\" cannot be opened") +
                       " (pictures are opened by the extensions " + ListOfExtensions() + ")");
  }
  std::error_code ec;
  const auto status = std::filesystem::status(fileName, ec);
  if (!std::filesystem::exists(status))
    Fail(fileName, "the file does not exist");
  if (std::filesystem::is_directory(status))
    Fail(fileName, "it is a folder, not a file");
  try {
    return format->Decoder == TDecoder::TurboJpeg ? DecodeJpeg(fileName) : DecodeWithQt(fileName, *format);
  } catch (const std::bad_alloc &) {
    Fail(fileName, "there is not enough memory for the picture");
  }
}

} // namespace

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

void LoadPictureFile(const std::string &fileName, TBitmap24 &bitmap) {
  const TDecoded picture = Decode(fileName);
  TBitmap24 result;
  try {
    result.SetSize(picture.Width, picture.Height);
  } catch (const std::bad_alloc &) {
    Fail(fileName, "there is not enough memory for the picture");
  }
  for (int y = 0; y < picture.Height; ++y)
    std::memcpy(result.Scanline(y), picture.Data.Data() + y * picture.Stride, static_cast<std::size_t>(picture.Width) * 3);
  bitmap = std::move(result);
}

void LoadImageFile(const std::string &fileName, TBitmap24 &destination) {
  const TDecoded picture = Decode(fileName);
  int width = 0, height = 0;
  FitSize(picture.Width, picture.Height, kFitWidth, kFitHeight, width, height);
  if (width <= 0 || height <= 0)
    Fail(fileName, "the picture (" + std::to_string(picture.Width) + " x " + std::to_string(picture.Height) +
                       " pixels) is too long and thin to fit into " + std::to_string(kFitWidth) + " x " +
                       std::to_string(kFitHeight) + " pixels");
  TBitmap24 result;
  try {
    result.SetSize(width, height);
    // ResizeBitmap(width, height, kLanczos3Filter, 0, ...) without first copying the decoded picture.
    detail::ResampleView(ResampleFilters[kLanczos3Filter].Function, picture.View(), result,
                         ResampleFilters[kLanczos3Filter].Support);
  } catch (const std::bad_alloc &) {
    Fail(fileName, "there is not enough memory to shrink the picture");
  }
  destination = std::move(result);
}

} // namespace tintwise
