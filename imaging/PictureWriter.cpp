#include "imaging/PictureWriter.h"

#include <QFileInfo>
#include <QImage>
#include <QImageWriter>

#include <png.h>
#include <turbojpeg.h>

#include <csetjmp>
#include <memory>
#include <string>
#include <vector>

#include "engine/Errors.h"
#include "engine/FileAccess.h"

namespace tintwise {

namespace {

// PNG pictures are written with libpng at zlib level 1 and its adaptive row filters: about four
// times as fast as the default level 6 for files a quarter larger, and the same pixels.
constexpr int kPngCompressionLevel = 1;

struct TPngSink {
  TFileOutput *File;
  std::string Buffer;
  std::string Error;
};

void PngWrite(png_structp png, png_bytep data, png_size_t length) {
  auto *sink = static_cast<TPngSink *>(png_get_io_ptr(png));
  sink->Buffer.append(reinterpret_cast<const char *>(data), length);
  if (sink->Buffer.size() >= (1u << 20)) {
    try {
      sink->File->Write(sink->Buffer);
    } catch (const std::exception &e) {
      sink->Error = e.what();
      png_error(png, "write failed");
    }
    sink->Buffer.clear();
  }
}

void PngFlush(png_structp) {}

void PngFail(png_structp png, png_const_charp message) {
  auto *sink = static_cast<TPngSink *>(png_get_error_ptr(png));
  if (sink->Error.empty())
    sink->Error = message;
  png_longjmp(png, 1);
}

void PngWarn(png_structp, png_const_charp) {}

// Encodes the rows; returns false with sink.Error set on failure. Nothing with a destructor lives
// in this frame, so libpng's long jump out of it is safe.
bool EncodePng(const TBitmap24 &bitmap, const std::vector<const std::uint8_t *> &rows, TPngSink &sink) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, PngFail, PngWarn);
  if (!png) {
    sink.Error = "out of memory";
    return false;
  }
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    if (sink.Error.empty())
      sink.Error = "out of memory";
    return false;
  }
  png_set_write_fn(png, &sink, PngWrite, PngFlush);
  png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.Width()), static_cast<png_uint_32>(bitmap.Height()), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(png, kPngCompressionLevel);
  png_write_info(png, info);
  png_set_bgr(png); // the bitmap holds blue, green, red
  png_write_rows(png, const_cast<png_bytepp>(rows.data()), static_cast<png_uint_32>(rows.size()));
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

void SavePng(const TBitmap24 &bitmap, const std::string &fileName) {
  TFileOutput file(fileName);
  std::vector<const std::uint8_t *> rows(static_cast<std::size_t>(bitmap.Height()));
  for (int y = 0; y < bitmap.Height(); ++y)
    rows[y] = bitmap.Scanline(y);
  TPngSink sink{&file, {}, {}};
  if (!EncodePng(bitmap, rows, sink))
    throw EFCreateError(fileName + ": cannot write the picture (" + sink.Error + ").");
  file.Write(sink.Buffer);
  file.Commit();
}

// JPEG pictures: libjpeg-turbo straight from the blue-green-red rows, at quality 95 with 4:2:0
// chroma, the settings the picture writer has always used, so the file decodes to the same pixels.
void SaveJpeg(const TBitmap24 &bitmap, const std::string &fileName) {
  std::unique_ptr<void, int (*)(tjhandle)> handle(tjInitCompress(), &tjDestroy);
  if (!handle)
    throw EFCreateError(fileName + ": cannot write the picture (" + tjGetErrorStr2(nullptr) + ").");
  unsigned char *jpeg = nullptr;
  unsigned long size = 0;
  if (tjCompress2(handle.get(), bitmap.Bits(), bitmap.Width(), static_cast<int>(bitmap.Stride()), bitmap.Height(),
                  TJPF_BGR, &jpeg, &size, TJSAMP_420, 95, TJFLAG_ACCURATEDCT) != 0) {
    const std::string why = tjGetErrorStr2(handle.get());
    tjFree(jpeg);
    throw EFCreateError(fileName + ": cannot write the picture (" + why + ").");
  }
  std::unique_ptr<unsigned char, void (*)(unsigned char *)> owned(jpeg, &tjFree);
  TFileOutput file(fileName);
  file.Write(std::string_view(reinterpret_cast<const char *>(jpeg), size));
  file.Commit();
}

// Qt's name of the writer for the file's extension; raises EFCreateError when there is none.
QByteArray WriterFormat(const std::string &fileName) {
  QByteArray format = QFileInfo(QString::fromStdString(fileName)).suffix().toLower().toLatin1();
  if (format == "jpg")
    format = "jpeg";
  else if (format == "tif")
    format = "tiff";
  if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format))
    throw EFCreateError(fileName + ": cannot write pictures of this kind; use .png, .bmp or .jpg.");
  return format;
}

} // namespace

void CheckPictureOutput(const std::string &fileName) {
  WriterFormat(fileName);
  TFileOutput::Check(fileName);
}

void SavePictureFile(const TBitmap24 &bitmap, const std::string &fileName) {
  const QByteArray format = WriterFormat(fileName);
  if (bitmap.Empty())
    throw EFCreateError(fileName + ": the picture is empty.");
  if (format == "png") {
    SavePng(bitmap, fileName);
    return;
  }
  if (format == "jpeg") {
    SaveJpeg(bitmap, fileName);
    return;
  }
  const QImage image(bitmap.Bits(), bitmap.Width(), bitmap.Height(), bitmap.Stride(), QImage::Format_BGR888);
  TFileOutput file(fileName);
  QImageWriter writer(QString::fromStdString(file.TempPath()), format);
  // BMP and TIFF are written as plain RGB, 8 bits a channel.
  if (!writer.write(image.convertToFormat(QImage::Format_RGB888)))
    throw EFCreateError(fileName + ": cannot write the picture (" + writer.errorString().toStdString() + ").");
  writer.setFileName(QString()); // closes the file before it is moved over the target
  file.Commit();
}

} // namespace tintwise
