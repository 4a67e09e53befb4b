#include "imaging/PictureWriter.h"

#include <QFileInfo>
#include <QImage>
#include <QImageWriter>

#include "engine/Errors.h"
#include "engine/FileAccess.h"

namespace tintwise {

namespace {

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
  const QImage image(bitmap.Bits(), bitmap.Width(), bitmap.Height(), bitmap.Stride(), QImage::Format_BGR888);
  TFileOutput file(fileName);
  QImageWriter writer(QString::fromStdString(file.TempPath()), format);
  if (format == "jpeg")
    writer.setQuality(95);
  // BMP and JPEG have no alpha and 8 bits a channel: hand over plain RGB.
  if (!writer.write(image.convertToFormat(QImage::Format_RGB888)))
    throw EFCreateError(fileName + ": cannot write the picture (" + writer.errorString().toStdString() + ").");
  writer.setFileName(QString()); // closes the file before it is moved over the target
  file.Commit();
}

} // namespace tintwise
