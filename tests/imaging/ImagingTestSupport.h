// Shared set-up of the picture tests: a temporary folder, files written with OpenImageIO,
// TurboJPEG or byte for byte, pictures loaded back with our loader or with Qt's readers, and the
// message of a refused load.
#pragma once

#include <OpenImageIO/imageio.h>
#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <QImage>
#include <QTemporaryDir>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/Bitmap24.h"
#include "engine/Errors.h"
#include "imaging/PictureLoader.h"
#include "tests/support/TestFiles.h"

namespace tintwise::test {

using TBytes = std::vector<unsigned char>;

class TPictureFixture : public ::testing::Test {
protected:
  QTemporaryDir Dir;

  std::string Path(const std::string &name) const { return Dir.path().toStdString() + "/" + name; }
  static TBytes Read(const std::string &file) {
    const std::string bytes = ReadText(file);
    return {bytes.begin(), bytes.end()};
  }
  std::string Write(const std::string &name, const TBytes &bytes) const {
    return WriteText(Path(name), std::string(bytes.begin(), bytes.end()));
  }
  // Writes the values with OpenImageIO into a file of the spec's type, converting them as it goes.
  template <class T>
  std::string WriteOiio(const std::string &name, const OIIO::ImageSpec &spec, const std::vector<T> &values) const {
    auto out = OIIO::ImageOutput::create(Path(name));
    EXPECT_TRUE(out && out->open(Path(name), spec) && out->write_image(OIIO::BaseTypeFromC<T>::value, values.data()) &&
                out->close())
        << name << ": " << OIIO::geterror();
    return Path(name);
  }
  template <class T>
  std::string WriteOiio(const std::string &name, int width, int height, int channels, OIIO::TypeDesc type,
                        const std::vector<T> &values, int bits = 0) const {
    OIIO::ImageSpec spec(width, height, channels, type);
    if (bits)
      spec.attribute("oiio:BitsPerSample", bits);
    return WriteOiio(name, spec, values);
  }
  static TBitmap24 Load(const std::string &file, const TPictureLoadOptions &options = {},
                        TPictureInfo *info = nullptr) {
    TBitmap24 bmp;
    LoadPictureFile(file, bmp, options, info);
    return bmp;
  }
  // Runs a shell command quietly; false when it fails.
  static bool Shell(const std::string &command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }
};

// TurboJPEG's one-call compressor over rows of the given pixel format (blue, green, red by default).
inline TBytes Jpeg(const unsigned char *pixels, int width, int height, int stride, int subsampling, int quality,
                   int flags = 0, int pixelFormat = TJPF_BGR) {
  tjhandle tj = tjInitCompress();
  unsigned char *out = nullptr;
  unsigned long size = 0;
  EXPECT_EQ(tjCompress2(tj, pixels, width, stride, height, pixelFormat, &out, &size, subsampling, quality, flags), 0);
  TBytes bytes(out, out + size);
  tjFree(out);
  tjDestroy(tj);
  return bytes;
}

// What Qt's own reader makes of a file, alpha dropped.
inline TBitmap24 QtPixels(const std::string &file, const char *format = nullptr) {
  const QImage image = QImage(QString::fromStdString(file), format).convertToFormat(QImage::Format_ARGB32);
  TBitmap24 bmp(image.width(), image.height());
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y);
      bmp.SetPixel(x, y, static_cast<std::uint8_t>(qRed(c)), static_cast<std::uint8_t>(qGreen(c)),
                   static_cast<std::uint8_t>(qBlue(c)));
    }
  return bmp;
}

// Red, green and blue of a pixel.
inline std::array<int, 3> Rgb(const TBitmap24 &bmp, int x, int y = 0) {
  const std::uint8_t *p = bmp.Scanline(y) + 3 * x;
  return {p[2], p[1], p[0]};
}

} // namespace tintwise::test
