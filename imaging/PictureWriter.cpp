#include "imaging/PictureWriter.h"

#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QSaveFile>

#include "engine/Errors.h"

namespace tintwise {

void SavePictureFile(const TBitmap24 &bitmap, const std::string &fileName) {
  const QString name = QString::fromStdString(fileName);
  QByteArray format = QFileInfo(name).suffix().toLower().toLatin1();
  if (format == "jpg")
    format = "jpeg";
  else if (format == "tif")
    format = "tiff";
  if (format.isEmpty() || !QImageWriter::supportedImageFormats().contains(format))
    throw EFCreateError(fileName + ": cannot write pictures of this kind; use .png, .bmp or .jpg.");
  if (bitmap.Empty())
    throw EFCreateError(fileName + ": the picture is empty.");
  const QImage image(bitmap.Bits(), bitmap.Width(), bitmap.Height(), bitmap.Stride(), QImage::Format_BGR888);
  QSaveFile file(name);
  if (!file.open(QIODevice::WriteOnly))
    throw EFCreateError(fileName + ": cannot create the file (" + file.errorString().toStdString() + ").");
  QImageWriter writer(&file, format);
  if (format == "jpeg")
    writer.setQuality(95);
  // BMP and JPEG have no alpha and 8 bits a channel: hand over plain RGB.
  if (!writer.write(image.convertToFormat(QImage::Format_RGB888)))
    throw EFCreateError(fileName + ": cannot write the picture (" + writer.errorString().toStdString() + ").");
  if (!file.commit())
    throw EFCreateError(fileName + ": cannot write the file (" + file.errorString().toStdString() + ").");
}

} // namespace tintwise
