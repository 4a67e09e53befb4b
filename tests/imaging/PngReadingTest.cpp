// 8-bit colour PNG files are read with libpng a band at a time; every other kind goes to Qt's
// reader. Whichever reads a file, the pixels must be those Qt's reader gives for it, so Qt is the
// yardstick here, for files written with libpng in the forms other programs write.
#include <gtest/gtest.h>

#include <png.h>

#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <csetjmp>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "engine/Bitmap24.h"
#include "engine/Errors.h"
#include "imaging/PictureLoader.h"

using namespace tintwise;

namespace {

struct TPngForm {
  const char *Name;
  int ColourType, Depth;
  bool Interlaced = false;
  bool Transparent = false; // a tRNS chunk
  bool Gamma = false;       // a gAMA chunk Qt leaves alone
  bool SmallChunks = false; // IDAT chunks of 100 bytes
};

// Random samples, every channel, with some rows repeated so the row filters vary.
bool WritePng(const std::string &file, const TPngForm &form, int width, int height) {
  std::FILE *out = std::fopen(file.c_str(), "wb");
  if (!out)
    return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  const int channels = form.ColourType == PNG_COLOR_TYPE_RGB         ? 3
                       : form.ColourType == PNG_COLOR_TYPE_RGB_ALPHA ? 4
                       : form.ColourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                      : 1;
  const int bytes = form.Depth / 8 * channels;
  std::vector<png_byte> pixels(static_cast<std::size_t>(width) * height * bytes);
  std::mt19937 rng(static_cast<unsigned>(width * 31 + form.ColourType));
  for (auto &p : pixels)
    p = static_cast<png_byte>(rng() >> 24);
  for (int y = 1; y < height; y += 3)
    std::copy_n(pixels.begin() + (y - 1) * width * bytes, width * bytes, pixels.begin() + y * width * bytes);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    std::fclose(out);
    return false;
  }
  png_init_io(png, out);
  if (form.SmallChunks)
    png_set_compression_buffer_size(png, 100);
  png_set_IHDR(png, info, width, height, form.Depth, form.ColourType,
               form.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  if (form.ColourType == PNG_COLOR_TYPE_PALETTE) {
    png_color palette[256];
    for (int i = 0; i < 256; ++i)
      palette[i] = {static_cast<png_byte>(i), static_cast<png_byte>(255 - i), static_cast<png_byte>(i * 7)};
    png_set_PLTE(png, info, palette, 256);
  }
  if (form.Transparent) {
    png_color_16 key{};
    key.red = pixels[0];
    key.green = pixels[1];
    key.blue = pixels[2];
    png_set_tRNS(png, info, nullptr, 0, &key);
  }
  if (form.Gamma)
    png_set_gAMA(png, info, 0.45455);
  png_write_info(png, info);
  if (form.Depth == 16)
    png_set_swap(png); // the samples above are little-endian words
  std::vector<png_bytep> rows(height);
  for (int y = 0; y < height; ++y)
    rows[y] = pixels.data() + static_cast<std::size_t>(y) * width * bytes;
  png_write_image(png, rows.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return std::fclose(out) == 0;
}

// What Qt's own reader makes of the file, as blue, green, red rows.
TBitmap24 ThroughQt(const std::string &file) {
  QImageReader reader(QString::fromStdString(file), "png");
  const QImage image = reader.read().convertToFormat(QImage::Format_ARGB32);
  TBitmap24 bitmap(image.width(), image.height());
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y);
      bitmap.SetPixel(x, y, static_cast<std::uint8_t>(qRed(c)), static_cast<std::uint8_t>(qGreen(c)),
                      static_cast<std::uint8_t>(qBlue(c)));
    }
  return bitmap;
}

std::vector<char> Bytes(const std::string &file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TEST(PngReading, EveryFormGivesQtsPixels) {
  const QTemporaryDir dir;
  const TPngForm forms[] = {
      {"rgb", PNG_COLOR_TYPE_RGB, 8},
      {"rgba", PNG_COLOR_TYPE_RGB_ALPHA, 8},
      {"rgb-key", PNG_COLOR_TYPE_RGB, 8, false, true},
      {"rgb-gamma-chunks", PNG_COLOR_TYPE_RGB, 8, false, false, true, true},
      {"rgb-interlaced", PNG_COLOR_TYPE_RGB, 8, true},
      {"rgba-interlaced", PNG_COLOR_TYPE_RGB_ALPHA, 8, true},
      {"grey", PNG_COLOR_TYPE_GRAY, 8},
      {"grey-alpha", PNG_COLOR_TYPE_GRAY_ALPHA, 8},
      {"palette", PNG_COLOR_TYPE_PALETTE, 8},
  };
  for (const TPngForm &form : forms)
    for (const auto &[width, height] : {std::pair{1, 1}, std::pair{67, 130}, std::pair{300, 3}}) {
      SCOPED_TRACE(std::string(form.Name) + " " + std::to_string(width) + " x " + std::to_string(height));
      const std::string file = dir.filePath(QString::fromLatin1(form.Name) + ".png").toStdString();
      ASSERT_TRUE(WritePng(file, form, width, height));
      TBitmap24 got;
      LoadPictureFile(file, got);
      EXPECT_TRUE(got.SamePixels(ThroughQt(file)));
    }
}

TEST(PngReading, DamagedFilesAndTheMissingLastCrc) {
  const QTemporaryDir dir;
  const std::string file = dir.filePath("whole.png").toStdString();
  ASSERT_TRUE(WritePng(file, {"rgb", PNG_COLOR_TYPE_RGB, 8}, 200, 150));
  const std::vector<char> bytes = Bytes(file);
  // Without IEND's CRC the picture still reads, as Qt reads it.
  const std::string noCrc = dir.filePath("nocrc.png").toStdString();
  std::ofstream(noCrc, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size() - 4));
  TBitmap24 got;
  LoadPictureFile(noCrc, got);
  EXPECT_TRUE(got.SamePixels(ThroughQt(file)));
  // Cut inside the pixels, or a pixel byte changed (the chunk's CRC no longer holds): refused,
  // and the bitmap is left as it was.
  std::vector<char> changed = bytes;
  changed[bytes.size() / 2] ^= 0x10;
  const std::string cut = dir.filePath("cut.png").toStdString(), bad = dir.filePath("bad.png").toStdString();
  std::ofstream(cut, std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size() / 2));
  std::ofstream(bad, std::ios::binary).write(changed.data(), static_cast<long>(changed.size()));
  for (const std::string &broken : {cut, bad}) {
    TBitmap24 kept(3, 2);
    try {
      LoadPictureFile(broken, kept);
      ADD_FAILURE() << broken << " was read";
    } catch (const EImageError &e) {
      EXPECT_NE(std::string(e.what()).find("the picture data is damaged or truncated ("), std::string::npos)
          << e.what();
    }
    EXPECT_EQ(kept.Width(), 3);
  }
}
