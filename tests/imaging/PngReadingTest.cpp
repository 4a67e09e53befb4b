// 8-bit colour PNG files are read with libpng a band at a time; every other kind goes to Qt's
// reader. Whichever reads a file, the pixels must be those Qt's reader gives for it, so Qt is the
// yardstick here, for files written with libpng in the forms other programs write.
#include <gtest/gtest.h>

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <random>

#include "tests/imaging/ImagingTestSupport.h"

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

class PngReading : public test::TPictureFixture {
protected:
  // Random samples, every channel, with some rows repeated so the row filters vary.
  std::string WritePng(const std::string &name, const TPngForm &form, int width, int height) const {
    std::FILE *out = std::fopen(Path(name).c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const int channels = form.ColourType == PNG_COLOR_TYPE_RGB         ? 3
                         : form.ColourType == PNG_COLOR_TYPE_RGB_ALPHA  ? 4
                         : form.ColourType == PNG_COLOR_TYPE_GRAY_ALPHA ? 2
                                                                        : 1;
    const std::size_t bytes = static_cast<std::size_t>(width) * channels;
    std::vector<png_byte> pixels(bytes * height);
    std::mt19937 rng(static_cast<unsigned>(width * 31 + form.ColourType));
    for (auto &p : pixels)
      p = static_cast<png_byte>(rng() >> 24);
    for (int y = 1; y < height; y += 3)
      std::copy_n(pixels.begin() + (y - 1) * bytes, bytes, pixels.begin() + y * bytes);
    if (setjmp(png_jmpbuf(png))) {
      ADD_FAILURE() << "libpng cannot write " << name;
      png_destroy_write_struct(&png, &info);
      std::fclose(out);
      return Path(name);
    }
    png_init_io(png, out);
    if (form.SmallChunks)
      png_set_compression_buffer_size(png, 100);
    png_set_IHDR(png, info, width, height, form.Depth, form.ColourType,
                 form.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_color palette[256];
    for (int i = 0; i < 256; ++i)
      palette[i] = {static_cast<png_byte>(i), static_cast<png_byte>(255 - i), static_cast<png_byte>(i * 7)};
    if (form.ColourType == PNG_COLOR_TYPE_PALETTE)
      png_set_PLTE(png, info, palette, 256);
    png_color_16 key{};
    key.red = pixels[0];
    key.green = pixels[1];
    key.blue = pixels[2];
    if (form.Transparent)
      png_set_tRNS(png, info, nullptr, 0, &key);
    if (form.Gamma)
      png_set_gAMA(png, info, 0.45455);
    png_write_info(png, info);
    std::vector<png_bytep> rows;
    for (int y = 0; y < height; ++y)
      rows.push_back(pixels.data() + y * bytes);
    png_write_image(png, rows.data()); // every pass of an interlaced picture
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    EXPECT_EQ(std::fclose(out), 0);
    return Path(name);
  }
};

} // namespace

TEST_F(PngReading, EveryFormGivesQtsPixels) {
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
      const std::string file = WritePng(std::string(form.Name) + ".png", form, width, height);
      EXPECT_TRUE(Load(file).SamePixels(test::QtPixels(file, "png")));
      // Without IEND's CRC the picture still reads, as Qt reads it.
      const test::TBytes bytes = Read(file);
      EXPECT_TRUE(Load(Write("nocrc.png", test::TBytes(bytes.begin(), bytes.end() - 4))).SamePixels(test::QtPixels(file, "png")));
    }
}
