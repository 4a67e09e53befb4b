#include "imaging/PictureWriter.h"

#include <QFileInfo>
#include <QImage>
#include <QImageWriter>

#include <cstdio> // jpeglib.h needs FILE
#include <jpeglib.h>
#include <png.h>

#include <csetjmp>
#include <memory>
#include <string>
#include <vector>

#include "engine/Errors.h"
#include "engine/FileAccess.h"

namespace tintwise {

namespace {

// Bytes the encoders hand over are gathered and written to the file a megabyte at a time.
constexpr std::size_t kWriteChunk = std::size_t(1) << 20;

// ---------------------------------------------------------------------------------------------
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
  if (sink->Buffer.size() >= kWriteChunk) {
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

struct TPngEncoder {
  png_structp Png = nullptr;
  png_infop Info = nullptr;
  TPngSink Sink;
  ~TPngEncoder() {
    if (Png)
      png_destroy_write_struct(&Png, &Info);
  }
};

// The steps of an encode; each returns false with Sink.Error set on failure. Nothing with a
// destructor lives in their frames, so libpng's long jump out of them is safe.
bool PngBegin(TPngEncoder &e, int width, int height) {
  e.Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &e.Sink, PngFail, PngWarn);
  if (!e.Png) {
    e.Sink.Error = "out of memory";
    return false;
  }
  e.Info = png_create_info_struct(e.Png);
  if (!e.Info || setjmp(png_jmpbuf(e.Png))) {
    if (e.Sink.Error.empty())
      e.Sink.Error = "out of memory";
    return false;
  }
  png_set_write_fn(e.Png, &e.Sink, PngWrite, PngFlush);
  png_set_IHDR(e.Png, e.Info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_set_compression_level(e.Png, kPngCompressionLevel);
  png_write_info(e.Png, e.Info);
  png_set_bgr(e.Png); // the bitmap holds blue, green, red
  return true;
}

bool PngRows(TPngEncoder &e, const TBitmap24 &bitmap, int y0, int y1) {
  if (setjmp(png_jmpbuf(e.Png)))
    return false;
  for (int y = y0; y < y1; ++y)
    png_write_row(e.Png, bitmap.Scanline(y));
  return true;
}

bool PngEnd(TPngEncoder &e) {
  if (setjmp(png_jmpbuf(e.Png)))
    return false;
  png_write_end(e.Png, e.Info);
  return true;
}

// ---------------------------------------------------------------------------------------------
// JPEG pictures: libjpeg-turbo straight from the blue-green-red rows, at quality 95 with 4:2:0
// chroma and the accurate DCT, the settings the picture writer has always used (TurboJPEG's
// compressor with them gives the same bytes), so the file decodes to the same pixels.

struct TJpegEncoder {
  jpeg_compress_struct Info{};
  jpeg_error_mgr Errors{};
  jpeg_destination_mgr Destination{};
  std::jmp_buf Jump;
  TFileOutput *File = nullptr;
  std::vector<JOCTET> Buffer;
  std::string Error;
  bool Created = false;
  ~TJpegEncoder() {
    if (Created)
      jpeg_destroy_compress(&Info);
  }
};

TJpegEncoder &EncoderOf(j_common_ptr cinfo) { return *static_cast<TJpegEncoder *>(cinfo->client_data); }

void JpegFail(j_common_ptr cinfo) {
  TJpegEncoder &e = EncoderOf(cinfo);
  if (e.Error.empty()) {
    char message[JMSG_LENGTH_MAX] = {};
    (*cinfo->err->format_message)(cinfo, message);
    e.Error = message;
  }
  std::longjmp(e.Jump, 1);
}

void JpegStart(j_compress_ptr cinfo) {
  TJpegEncoder &e = EncoderOf(reinterpret_cast<j_common_ptr>(cinfo));
  e.Destination.next_output_byte = e.Buffer.data();
  e.Destination.free_in_buffer = e.Buffer.size();
}

// Writes `bytes` of the buffer; a failed write leaves its message and returns false.
bool JpegFlush(TJpegEncoder &e, std::size_t bytes) {
  try {
    e.File->Write(std::string_view(reinterpret_cast<const char *>(e.Buffer.data()), bytes));
    return true;
  } catch (const std::exception &error) {
    e.Error = error.what();
    return false;
  }
}

boolean JpegEmpty(j_compress_ptr cinfo) {
  TJpegEncoder &e = EncoderOf(reinterpret_cast<j_common_ptr>(cinfo));
  if (!JpegFlush(e, e.Buffer.size()))
    std::longjmp(e.Jump, 1);
  JpegStart(cinfo);
  return TRUE;
}

void JpegTerm(j_compress_ptr cinfo) {
  TJpegEncoder &e = EncoderOf(reinterpret_cast<j_common_ptr>(cinfo));
  if (!JpegFlush(e, e.Buffer.size() - e.Destination.free_in_buffer))
    std::longjmp(e.Jump, 1);
}

// The steps of an encode, as for PNG above.
bool JpegBegin(TJpegEncoder &e, int width, int height) {
  if (setjmp(e.Jump))
    return false;
  jpeg_compress_struct &cinfo = e.Info;
  cinfo.client_data = &e;
  cinfo.err = jpeg_std_error(&e.Errors);
  e.Errors.error_exit = JpegFail;
  jpeg_create_compress(&cinfo);
  e.Created = true;
  e.Destination.init_destination = JpegStart;
  e.Destination.empty_output_buffer = JpegEmpty;
  e.Destination.term_destination = JpegTerm;
  cinfo.dest = &e.Destination;
  cinfo.image_width = static_cast<JDIMENSION>(width);
  cinfo.image_height = static_cast<JDIMENSION>(height);
  cinfo.in_color_space = JCS_EXT_BGR;
  cinfo.input_components = 3;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 95, TRUE);
  cinfo.dct_method = JDCT_ISLOW;
  jpeg_set_colorspace(&cinfo, JCS_YCbCr);
  cinfo.comp_info[0].h_samp_factor = 2; // 4:2:0
  cinfo.comp_info[0].v_samp_factor = 2;
  for (int c = 1; c < 3; ++c)
    cinfo.comp_info[c].h_samp_factor = cinfo.comp_info[c].v_samp_factor = 1;
  jpeg_start_compress(&cinfo, TRUE);
  return true;
}

bool JpegRows(TJpegEncoder &e, const TBitmap24 &bitmap, int y0, int y1) {
  if (setjmp(e.Jump))
    return false;
  for (int y = y0; y < y1; ++y) {
    JSAMPROW row[1] = {const_cast<JSAMPROW>(bitmap.Scanline(y))};
    jpeg_write_scanlines(&e.Info, row, 1);
  }
  return true;
}

bool JpegEnd(TJpegEncoder &e) {
  if (setjmp(e.Jump))
    return false;
  jpeg_finish_compress(&e.Info);
  return true;
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

struct TPictureRowWriter::TState {
  std::string FileName;
  QByteArray Format;
  int Width = 0, Height = 0, Written = 0;
  std::unique_ptr<TFileOutput> File;
  std::unique_ptr<TPngEncoder> Png;
  std::unique_ptr<TJpegEncoder> Jpeg;

  [[noreturn]] void Fail(const std::string &why) const {
    throw EFCreateError(FileName + ": cannot write the picture (" + why + ").");
  }
};

TPictureRowWriter::TPictureRowWriter(const std::string &fileName, int width, int height)
    : F(std::make_unique<TState>()) {
  F->FileName = fileName;
  F->Format = WriterFormat(fileName);
  if (width <= 0 || height <= 0)
    throw EFCreateError(fileName + ": the picture is empty.");
  F->Width = width;
  F->Height = height;
  F->File = std::make_unique<TFileOutput>(fileName);
  if (F->Format == "png") {
    F->Png = std::make_unique<TPngEncoder>();
    F->Png->Sink.File = F->File.get();
    if (!PngBegin(*F->Png, width, height))
      F->Fail(F->Png->Sink.Error);
  } else if (F->Format == "jpeg") {
    F->Jpeg = std::make_unique<TJpegEncoder>();
    F->Jpeg->File = F->File.get();
    F->Jpeg->Buffer.resize(kWriteChunk);
    if (!JpegBegin(*F->Jpeg, width, height))
      F->Fail(F->Jpeg->Error);
  }
}

TPictureRowWriter::~TPictureRowWriter() = default;

void TPictureRowWriter::WriteRows(const TBitmap24 &bitmap, int y0, int y1) {
  if (bitmap.Width() != F->Width || bitmap.Height() != F->Height || y0 != F->Written || y1 < y0 || y1 > F->Height)
    throw EEngineError("Rows of a picture must be written in order, from a picture of the size begun.");
  if (F->Png && !PngRows(*F->Png, bitmap, y0, y1))
    F->Fail(F->Png->Sink.Error);
  if (F->Jpeg && !JpegRows(*F->Jpeg, bitmap, y0, y1))
    F->Fail(F->Jpeg->Error);
  F->Written = y1;
}

void TPictureRowWriter::Finish(const TBitmap24 &bitmap) {
  WriteRows(bitmap, F->Written, F->Height);
  if (F->Png) {
    if (!PngEnd(*F->Png))
      F->Fail(F->Png->Sink.Error);
    F->File->Write(F->Png->Sink.Buffer);
  } else if (F->Jpeg) {
    if (!JpegEnd(*F->Jpeg))
      F->Fail(F->Jpeg->Error);
  } else {
    // BMP and TIFF through Qt's writers, from the whole picture.
    const QImage image(bitmap.Bits(), bitmap.Width(), bitmap.Height(), bitmap.Stride(), QImage::Format_BGR888);
    QImageWriter writer(QString::fromStdString(F->File->TempPath()), F->Format);
    // No alpha and 8 bits a channel: hand over plain RGB.
    if (!writer.write(image.convertToFormat(QImage::Format_RGB888)))
      F->Fail(writer.errorString().toStdString());
    writer.setFileName(QString()); // closes the file before it is moved over the target
  }
  F->File->Commit();
}

void CheckPictureOutput(const std::string &fileName) {
  WriterFormat(fileName);
  TFileOutput::Check(fileName);
}

void SavePictureFile(const TBitmap24 &bitmap, const std::string &fileName) {
  WriterFormat(fileName);
  if (bitmap.Empty())
    throw EFCreateError(fileName + ": the picture is empty.");
  TPictureRowWriter writer(fileName, bitmap.Width(), bitmap.Height());
  writer.Finish(bitmap);
}

} // namespace tintwise
