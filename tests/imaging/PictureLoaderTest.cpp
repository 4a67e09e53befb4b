// Pictures read and written, against TurboJPEG, Qt's readers, the plain BMP reader, the BMP suite,
// values worked out by hand and the plain reading of the resampler; and damaged files refused.
#include <gtest/gtest.h>

#include <png.h>
#include <sys/stat.h>

#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <map>
#include <optional>
#include <random>
#include <tuple>

#include "imaging/FootageFiles.h"
#include "imaging/FrameSpec.h"
#include "imaging/ImageResize2.h"
#include "imaging/PictureLoader.h"
#include "imaging/PictureWriter.h"
#include "tests/imaging/BmpReference.h"
#include "tests/imaging/ImagingTestSupport.h"
#include "tests/imaging/ResampleReference.h"
#include "tests/support/EngineReference.h"

using namespace tintwise;
using test::TBytes;
using test::ErrorOf;
namespace fs = std::filesystem;

namespace {

struct TPngForm {
  const char *Name;
  int ColourType, Depth;
  bool Interlaced = false;
  bool Transparent = false; // a tRNS chunk
  bool Gamma = false;       // a gAMA chunk Qt leaves alone
  bool SmallChunks = false; // IDAT chunks of 100 bytes
};

class PictureLoader : public test::TPictureFixture {
protected:
  // Random samples, some rows repeated so the row filters vary; libpng aborts on an error.
  std::string WritePng(const std::string &name, const TPngForm &form, int width, int height) const {
    std::FILE *out = std::fopen(Path(name).c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, out);
    if (form.SmallChunks)
      png_set_compression_buffer_size(png, 100);
    png_set_IHDR(png, info, width, height, form.Depth, form.ColourType,
                 form.Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    const std::size_t bytes = static_cast<std::size_t>(width) * png_get_channels(png, info);
    std::vector<png_byte> pixels(bytes * height);
    std::mt19937 rng(static_cast<unsigned>(width * 31 + form.ColourType));
    for (auto &p : pixels)
      p = static_cast<png_byte>(rng() >> 24);
    std::vector<png_bytep> rows;
    for (int y = 0; y < height; ++y)
      rows.push_back(pixels.data() + (y % 3 == 1 ? y - 1 : y) * bytes);
    png_color palette[256];
    for (int i = 0; i < 256; ++i)
      palette[i] = {static_cast<png_byte>(i), static_cast<png_byte>(255 - i), static_cast<png_byte>(i * 7)};
    if (form.ColourType == PNG_COLOR_TYPE_PALETTE)
      png_set_PLTE(png, info, palette, 256);
    if (form.Transparent) { // an RGB picture: the first pixel's colour is the key
      png_color_16 key{0, pixels[0], pixels[1], pixels[2], 0};
      png_set_tRNS(png, info, nullptr, 0, &key);
    }
    if (form.Gamma)
      png_set_gAMA(png, info, 0.45455);
    png_write_info(png, info);
    png_write_image(png, rows.data()); // every pass of an interlaced picture
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    EXPECT_EQ(std::fclose(out), 0);
    return Path(name);
  }
  // Saves the picture with Qt in the format its extension names; TurboJPEG writes JPEG files.
  std::string Save(const std::string &name, const TBitmap24 &bmp, int subsampling = TJSAMP_444, int flags = 0) const {
    const QString ext = QFileInfo(QString::fromStdString(name)).suffix().toLower();
    if (ext.startsWith("jp"))
      return Write(name,
                   test::Jpeg(bmp.Bits(), bmp.Width(), bmp.Height(), static_cast<int>(bmp.Stride()), subsampling, 85, flags));
    const QImage image(bmp.Bits(), bmp.Width(), bmp.Height(), static_cast<qsizetype>(bmp.Stride()),
                       QImage::Format_BGR888);
    EXPECT_TRUE(image.save(QString::fromStdString(Path(name)), ext.startsWith("tif") ? "tiff" : qPrintable(ext)));
    return Path(name);
  }
  // Expects LoadImageFile and LoadPictureFile to refuse the file with a message naming it and the
  // problem, leaving the destination as it was.
  static void ExpectRefused(const std::string &file, const std::string &problem, bool decodes = false) {
    const TBitmap24 before = reference::TestPicture(5, 4, 1);
    for (const bool fit : {false, true}) {
      TBitmap24 dst = before;
      try {
        fit ? LoadImageFile(file, dst) : LoadPictureFile(file, dst);
        EXPECT_TRUE(decodes && !fit) << file << " was loaded";
        continue;
      } catch (const EImageError &e) {
        EXPECT_NE(std::string(e.what()).find(file), std::string::npos) << e.what();
        EXPECT_NE(std::string(e.what()).find(problem), std::string::npos) << e.what();
      }
      EXPECT_TRUE(dst.SamePixels(before)) << file;
    }
  }
};

} // namespace

TEST_F(PictureLoader, JpegPixelsAreTurboJpegsWholePictureDecode) {
  // The band-by-band decode must give exactly what TurboJPEG's one-call decode gives in blue, green,
  // red order: subsampled, progressive and grey files, any case of the extension.
  const TBitmap24 picture = reference::TestPicture(301, 203, 5);
  const struct { const char *name; int subsampling, flags; } cases[] = {
      {"a.jpg", TJSAMP_444, 0}, {"b.JPEG", TJSAMP_420, 0}, {"c.jpeg", TJSAMP_422, TJFLAG_PROGRESSIVE},
      {"d.jpg", TJSAMP_GRAY, 0}, {"e.Jpg", TJSAMP_440, TJFLAG_PROGRESSIVE}};
  for (const auto &c : cases) {
    const TBytes jpeg = Read(Save(c.name, picture, c.subsampling, c.flags));
    TBitmap24 expected(picture.Width(), picture.Height());
    tjhandle tj = tjInitDecompress();
    ASSERT_EQ(tjDecompress2(tj, jpeg.data(), jpeg.size(), expected.Bits(), expected.Width(),
                            static_cast<int>(expected.Stride()), expected.Height(), TJPF_BGR, 0),
              0);
    tjDestroy(tj);
    EXPECT_TRUE(Load(Path(c.name)).SamePixels(expected)) << c.name;
  }
}

TEST_F(PictureLoader, LoadImageFileFitsWithLanczos3) {
  // The fit is the whole decoded picture through the plain reading of the resampler.
  const struct { const char *name; int w, h, ew, eh; } cases[] = {
      {"wide.png", 1800, 40, 1700, 38}, {"tall.png", 120, 700, 86, 500}, {"fits.png", 300, 200, 300, 200},
      {"wide.jpg", 1750, 90, 1700, 87}};
  for (const auto &c : cases) {
    const std::string file = Save(c.name, reference::TestPicture(c.w, c.h, static_cast<unsigned>(c.w)), TJSAMP_420);
    TBitmap24 loaded, expected(c.ew, c.eh);
    LoadImageFile(file, loaded);
    reference::Resample(Lanczos3Filter, Load(file), expected, 3.0f);
    EXPECT_TRUE(loaded.SamePixels(expected)) << c.name; // the sizes worked out by hand, and the pixels
  }
  // Footage in tiles of 32 rows, and in scanlines, crossing several bands.
  std::vector<float> values(1900 * 150 * 3);
  for (std::size_t i = 0; i < values.size(); ++i)
    values[i] = static_cast<std::uint16_t>((i * 2654435761u) >> 7) / 65535.0f;
  for (const int tile : {32, 0}) {
    OIIO::ImageSpec spec(1900, 150, 3, OIIO::TypeDesc::HALF);
    spec.tile_width = 2 * tile;
    spec.tile_height = tile;
    const std::string file = WriteOiio("big.exr", spec, values);
    TBitmap24 fitted, expected(1700, 134);
    TPictureInfo info;
    LoadImageFile(file, fitted, {}, &info);
    EXPECT_EQ(std::tuple(info.Width, info.Height, info.IsMovie), std::tuple(1900, 150, false));
    reference::Resample(Lanczos3Filter, Load(file), expected, 3.0f);
    EXPECT_TRUE(fitted.SamePixels(expected)) << "tiles of " << tile;
  }
  // A picture that fits to nothing decodes, but the fit refuses it.
  ExpectRefused(Save("thin.png", reference::TestPicture(6000, 1, 3)), "too long and thin", true);
}

TEST_F(PictureLoader, BadFilesRaiseAClearErrorAndChangeNothing) {
  const TBitmap24 picture = reference::TestPicture(40, 30, 3);
  const TBytes png = Read(Save("good.png", picture)), bmp = Read(Save("good.bmp", picture)),
               jpg = Read(Save("good.jpg", picture));
  fs::create_directory(Path("folder.bmp"));
  // 10-bit DPX files of 64 x 64 pixels, in either byte order: 32 bits a pixel from offset 8192, 24576
  // bytes; the size check takes 30 bits a pixel, 23552.
  TBytes dpx[2];
  for (const int big : {0, 1}) {
    OIIO::ImageSpec spec(64, 64, 3, OIIO::TypeDesc::UINT16);
    spec.attribute("oiio:BitsPerSample", 10);
    spec.attribute("oiio:Endian", big ? "big" : "little");
    dpx[big] = Read(WriteOiio("whole.dpx", spec, std::vector<std::uint16_t>(64 * 64 * 3)));
  }
  const TBytes exr = Read(WriteOiio("whole.exr", 8, 8, 3, OIIO::TypeDesc::HALF, std::vector<float>(8 * 8 * 3)));
  const char chlist[] = "chlist"; // the type of the channel list, before its size
  const std::size_t channels = std::search(exr.begin(), exr.end(), chlist, chlist + 7) - exr.begin() + 7;
  ASSERT_LT(channels, exr.size());
  // Overwrites `size` bytes at `at` with value, little-endian for 4 bytes, big-endian for 2 (JPEG).
  auto patched = [](TBytes bytes, std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
      bytes[at + i] = static_cast<unsigned char>(value >> (8 * (size == 2 ? 1 - i : i)));
    return bytes;
  };
  const unsigned char frame[] = {0xFF, 0xC0}; // the frame header: FF C0, length, precision, height, width
  const std::size_t sof = std::search(jpg.begin(), jpg.end(), std::begin(frame), std::end(frame)) - jpg.begin();
  ASSERT_LT(sof, jpg.size());
  const struct { std::string name; std::optional<TBytes> bytes; const char *problem; } cases[] = {
      {"picture.gif", std::nullopt, "\"gif\" cannot be opened"},
      {"picture", std::nullopt, "no extension"},
      {"missing.jpg", std::nullopt, "\": the file does not exist."},
      {"none/missing.png", std::nullopt, "\": its folder does not exist."},
      {"folder.bmp", std::nullopt, "\": it is a folder, not a file."},
      {"empty.jpg", TBytes(), "not a readable JPEG"},
      {"empty.png", TBytes(), "the file is empty"},
      {"text.png", TBytes(100, 'x'), "its contents are not a picture of its type, or they are damaged"},
      {"cut.jpg", TBytes(jpg.begin(), jpg.begin() + jpg.size() / 2), "damaged or truncated"},
      {"cut.png", TBytes(png.begin(), png.begin() + png.size() / 2), "damaged or truncated"},
      {"crc.png", patched(png, png.size() / 2, png[png.size() / 2] ^ 0x10, 1), "damaged or truncated"},
      {"cut.bmp", TBytes(bmp.begin(), bmp.end() - 7), // 30 rows of 120 bytes
       "the file is truncated (its pixels need 3600 bytes from offset 54, the file has 3647)"},
      {"png.bmp", png, "not a readable picture"}, // the extension chooses the decoder
      {"bmp.jpg", bmp, "not a readable JPEG"},
      {"zero.bmp", patched(bmp, 18, 0, 4), "no pixels (0 x 30)"}, // declared sizes: none, too large
      {"huge.bmp", patched(patched(bmp, 18, 60000, 4), 22, 60000, 4), "larger than the limit of 150000000 pixels"},
      {"wide.bmp", patched(bmp, 18, 70000, 4), "no side may be longer than 65535 pixels"},
      // An OS/2 bitmap of 1 x 1 pixels, 1 bit, whose palette has one colour where the depth needs two.
      {"os2.bmp", TBytes{'B', 'M', 33, 0, 0, 0, 0, 0, 0, 0, 29, 0, 0, 0, 12, 0, 0, 0, 1, 0, 1, 0, 1, 0, 1, 0,
                         255, 255, 255, 0x80, 0, 0, 0},
       "palette is shorter than its bit depth needs"},
      // Footage: the library would read a cut-off file's rest as black, for seconds when the declared
      // size is large, and set aside the memory a header declares for user data or an attribute.
      {"cut.dpx", TBytes(dpx[0].begin(), dpx[0].end() - 4096), "cut off (its pixels need 23552 bytes, it holds 20480)"},
      {"cutbig.dpx", TBytes(dpx[1].begin(), dpx[1].end() - 4096), "cut off (its pixels need 23552 bytes, it holds 20480)"},
      {"greedy.dpx", patched(dpx[1], 32, 0xF0F0F0F0, 4), "declares 4042322160 bytes of user data"},
      {"greedy.exr", patched(exr, channels, 0x7FFFFF00, 4),
       "the EXR header declares 2147483392 bytes for its attribute \"channels\" in a file of"},
      {"zero.jpg", patched(jpg, sof + 5, 0, 2), ""},
      {"huge.jpg", patched(patched(jpg, sof + 5, 60000, 2), sof + 7, 60000, 2), "larger than the limit"},
  };
  for (const auto &c : cases)
    ExpectRefused(c.bytes ? Write(c.name, *c.bytes) : Path(c.name), c.problem);
  // Only regular files are read: a FIFO is refused at once, whoever would read it.
  for (const char *name : {"pipe.png", "pipe.jpg", "pipe.bmp", "pipe.tif", "pipe.exr", "pipe.mov"}) {
    ASSERT_EQ(mkfifo(Path(name).c_str(), 0600), 0);
    ExpectRefused(Path(name), "\": it is a pipe, not a file.");
  }
}

TEST_F(PictureLoader, BitFieldsOfFewerThanEightBitsWidenToTheFullRange) {
  // 16-bit pixels of 3 x 2 with an 8-bit red field beside 4-bit green and blue ones, bottom-up.
  TBytes bmp(82, 0);
  const std::pair<std::size_t, std::uint32_t> fields[] = {
      {0, 'B' | 'M' << 8}, {2, 82}, {10, 66}, {14, 40}, {18, 3}, {22, 2}, {26, 1 | 16 << 16}, // planes, bits
      {30, 3}, {34, 16}, {54, 0xFF00}, {58, 0x00F0}, {62, 0x000F},                       // bit fields
      {66, 0xFFFF0000}, {70, 0x1234}, {74, 0x8F0FABCD}, {78, 0x70F0}};                    // rows of 8 bytes
  for (const auto &[at, value] : fields)
    for (int i = 0; i < 4; ++i)
      bmp[at + i] = static_cast<unsigned char>(value >> (8 * i));
  const TBitmap24 loaded = Load(Write("fields.bmp", bmp));
  ASSERT_TRUE(loaded.SamePixels(*reference::ReadUncompressedBmp(Path("fields.bmp"))));
  EXPECT_EQ(test::Rgb(loaded, 0, 0), (std::array<int, 3>{0xAB, 0xCC, 0xDD})); // 0xABCD; 12 x 255 / 15 = 204
}

TEST_F(PictureLoader, TheFilterListOffersExactlyWhatLoads) {
  // Every type's patterns, each after a blank but the first, and all of them together first.
  const std::string filter = PictureFileFilter();
  EXPECT_EQ(filter.rfind("All pictures (*.bmp *.jpeg *.jpg *.png", 0), 0u) << filter;
  EXPECT_NE(filter.find(" *.dpx *.cin *.exr"), std::string::npos) << filter;
  EXPECT_NE(filter.find(");;Bitmaps (*.bmp);;JPEG Image File (*.jpeg *.jpg);;PNG Image File (*.png)"), std::string::npos);
  // Every offered still extension that Qt or TurboJPEG writes opens a picture of its kind (the
  // footage types have their own tests); nothing else is accepted.
  for (const std::string &ext : PictureExtensions())
    if (ext == "bmp" || ext == "png" || ext.rfind("jp", 0) == 0 || ext.rfind("tif", 0) == 0) {
      const std::string file = Save("offered." + ext, reference::TestPicture(9, 7, 2));
      EXPECT_TRUE(IsPictureFileName(file));
      EXPECT_EQ(Load(file).Width(), 9) << file;
    }
  for (const char *name : {"a.gif", "a.ico", "a.webp", "a", "a.jpg.txt"})
    EXPECT_FALSE(IsPictureFileName(name)) << name;
}

TEST(PictureLoaderSuite, BmpSuiteGoodFilesGiveTheirPixelsAndNoFileCrashes) {
  const std::string root = std::string(TINTWISE_TEST_DATA_DIR) + "/bmpsuite";
  if (!fs::exists(root + "/g"))
    GTEST_SKIP() << "the BMP suite is not beside the project";
  // Run-length files have no plain reading: their pixels are those of the same picture uncompressed.
  const std::map<std::string, std::string> twins = {{"pal4rle.bmp", "pal4.bmp"}, {"pal8rle.bmp", "pal8.bmp"}};
  int good = 0;
  for (const std::string group : {"g", "q", "b"})
    for (const auto &entry : fs::directory_iterator(root + "/" + group)) {
      const std::string file = entry.path().string(), name = entry.path().filename().string();
      TBitmap24 bmp;
      try {
        LoadPictureFile(file, bmp);
      } catch (const EImageError &e) {
        EXPECT_NE(std::string(e.what()).find(file), std::string::npos);
        EXPECT_NE(group, "g") << e.what();
        continue;
      }
      if (group != "g")
        continue;
      ++good;
      const auto expected = reference::ReadUncompressedBmp(twins.count(name) ? root + "/g/" + twins.at(name) : file);
      ASSERT_TRUE(expected.has_value()) << name << " has no yardstick";
      EXPECT_TRUE(bmp.SamePixels(*expected)) << name;
    }
  EXPECT_EQ(good, 27);
  // Pixels the run-length codes skip take palette colour 0 (purple here), never what memory held.
  for (const std::string bits : {"4", "8"}) {
    TBitmap24 bmp;
    LoadPictureFile(root + "/q/pal" + bits + "rletrns.bmp", bmp);
    const auto picture = reference::ReadUncompressedBmp(root + "/g/pal" + bits + ".bmp");
    ASSERT_TRUE(picture && picture->Width() == bmp.Width() && picture->Height() == bmp.Height());
    int skipped = 0, kept = 0;
    for (int y = 0; y < bmp.Height(); ++y)
      for (int x = 0; x < bmp.Width(); ++x) {
        skipped += test::Rgb(bmp, x, y) == std::array<int, 3>{128, 0, 255};
        kept += test::Rgb(bmp, x, y) == test::Rgb(*picture, x, y);
      }
    EXPECT_GT(skipped, 0);
    EXPECT_EQ(skipped + kept, bmp.Width() * bmp.Height()) << bits << " bits";
  }
}

// 8-bit colour PNG files are read with libpng a band at a time, every other kind by Qt: whichever
// reads a file, the pixels are those Qt's reader gives, in the forms other programs write.
TEST_F(PictureLoader, EveryFormOfPngGivesQtsPixels) {
  const TPngForm forms[] = {
      {"rgb", PNG_COLOR_TYPE_RGB, 8},
      {"rgba", PNG_COLOR_TYPE_RGB_ALPHA, 8},
      {"rgb-key", PNG_COLOR_TYPE_RGB, 8, false, true},
      {"rgb-gamma-chunks", PNG_COLOR_TYPE_RGB, 8, false, false, true, true},
      {"rgb-interlaced", PNG_COLOR_TYPE_RGB, 8, true},
      {"grey", PNG_COLOR_TYPE_GRAY, 8},
      {"palette", PNG_COLOR_TYPE_PALETTE, 8},
  };
  for (const TPngForm &form : forms)
    for (const auto &[width, height] : {std::pair{1, 1}, std::pair{67, 130}, std::pair{300, 3}}) {
      SCOPED_TRACE(std::string(form.Name) + " " + std::to_string(width) + " x " + std::to_string(height));
      const std::string file = WritePng(std::string(form.Name) + ".png", form, width, height);
      EXPECT_TRUE(Load(file).SamePixels(test::QtPixels(file, "png")));
      // Without IEND's CRC the picture still reads, as Qt reads it.
      const TBytes bytes = Read(file);
      EXPECT_TRUE(Load(Write("nocrc.png", TBytes(bytes.begin(), bytes.end() - 4))).SamePixels(test::QtPixels(file, "png")));
    }
}

// The writer against TurboJPEG's compressor (the one it replaced), Qt's readers, and itself in bands.
TEST_F(PictureLoader, WrittenFilesAreTheSameWholeOrInBands) {
  // A single pixel, sides that are not whole chroma blocks, and a picture wider than one megabyte of
  // output per band.
  for (const auto &[width, height] : {std::pair{1, 1}, std::pair{17, 9}, std::pair{1999, 1001}}) {
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
    const TBitmap24 picture = reference::SyntheticPicture(width, height, static_cast<unsigned>(width));
    for (const std::string type : {"jpg", "png", "bmp"}) {
      SavePictureFile(picture, Path("whole." + type));
      const TBytes whole = Read(Path("whole." + type));
      if (type == "jpg") { // quality 95, 4:2:0, accurate DCT
        const int stride = static_cast<int>(picture.Stride());
        EXPECT_TRUE(whole == test::Jpeg(picture.Bits(), width, height, stride, TJSAMP_420, 95, TJFLAG_ACCURATEDCT));
      } else {
        EXPECT_TRUE(test::QtPixels(Path("whole." + type)).SamePixels(picture)) << type;
      }
      // Bands of 7 rows, then the rest by Finish; or every row, the bottom one included, before Finish.
      TPictureRowWriter writer(Path("banded." + type), width, height);
      const int stop = width == 17 ? height : height * 2 / 3;
      for (int y = 0; y < stop; y += 7)
        writer.WriteRows(picture, y, std::min(y + 7, stop));
      writer.Finish(picture);
      EXPECT_TRUE(Read(Path("banded." + type)) == whole) << type;
    }
  }
}

TEST_F(PictureLoader, WriterRefusesRowsOutOfOrderAndLeavesNoUnfinishedFile) {
  const TBitmap24 picture = reference::SyntheticPicture(40, 30, 5);
  {
    TPictureRowWriter writer(Path("out.jpg"), 40, 30);
    writer.WriteRows(picture, 0, 10);
    EXPECT_THROW(writer.WriteRows(picture, 5, 20), EEngineError);            // rows again
    EXPECT_THROW(writer.WriteRows(picture, 11, 20), EEngineError);           // a gap
    EXPECT_THROW(writer.WriteRows(picture, 10, 31), EEngineError);           // past the bottom
    EXPECT_THROW(writer.WriteRows(TBitmap24(40, 31), 10, 20), EEngineError); // another size
    EXPECT_THROW(writer.WriteRows(TBitmap24(41, 30), 10, 20), EEngineError);
  } // never finished: nothing is left, not even the temporary file
  EXPECT_TRUE(fs::is_empty(Dir.path().toStdString()));
  EXPECT_THROW(TPictureRowWriter(Path("out.gif"), 4, 4), EFCreateError);
  EXPECT_THROW(TPictureRowWriter(Path("out"), 4, 4), EFCreateError);
  for (const auto &[width, height] : {std::pair{0, 4}, std::pair{4, 0}})
    EXPECT_THROW(TPictureRowWriter(Path("out.png"), width, height), EFCreateError);
  EXPECT_THROW(SavePictureFile(TBitmap24(), Path("empty.png")), EFCreateError);
  // The encoder's own reason reaches the message: a JPEG is at most 65500 pixels wide.
  EXPECT_NE(ErrorOf<EFCreateError>([&] { SavePictureFile(TBitmap24(65501, 1), Path("wide.jpg")); }).find("65500"),
            std::string::npos);
}

TEST_F(PictureLoader, DeepPicturesBecomeEightBitsByTheDocumentedRule) {
  // Integer codes: code x 255 / (2^b - 1) to the nearest, by hand. 16 bits: 128 -> 0.498,
  // 129 -> 0.502, 32767 -> 127.498, 32768 -> 127.502, 65406 -> 254.498; 10 bits: 2 -> 0.4985,
  // 3 -> 0.748, 511 -> 127.38, 512 -> 127.62, 1022 -> 254.75. Floats: clamped to 0..1 (NaN to 0),
  // then x 255 to the nearest, halves to even: 0.5 -> 127.5 -> 128, 0.25 -> 63.75, 3/512 -> 1.494,
  // 0.5 + 1/2048 -> 127.62.
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<std::pair<float, int>> sixteen = {{0, 0},       {128, 0},     {129, 1},     {32767, 127},
                                                      {32768, 128}, {25828, 100}, {25829, 101}, {65406, 254},
                                                      {65535, 255}},
                                           ten = {{0, 0},     {1, 0},     {2, 0},      {3, 1},
                                                  {511, 127}, {512, 128}, {1022, 255}, {1023, 255}},
                                           floats = {{0.0f, 0},   {0.5f, 128}, {0.25f, 64}, {3.0f / 512, 1},
                                                     {0.5f + 1.0f / 2048, 128}, {1.0f, 255}, {-1.0f, 0},
                                                     {2.0f, 255}, {nan, 0},    {inf, 255},  {-inf, 0}};
  using T = OIIO::TypeDesc;
  const struct { const char *Name; T::BASETYPE Type; int Bits; const std::vector<std::pair<float, int>> &Values; } cases[] = {
      {"deep.png", T::UINT16, 16, sixteen}, {"deep.tif", T::UINT16, 16, sixteen}, {"ten.dpx", T::UINT16, 10, ten},
      {"half.exr", T::HALF, 0, floats},     {"float.exr", T::FLOAT, 0, floats}};
  for (const auto &c : cases)
    for (const int channels : {c.Bits == 10 ? 3 : 4, 1}) { // red, green (backwards), blue, alpha; grey
      SCOPED_TRACE(std::string(c.Name) + ", " + std::to_string(channels) + " channels");
      const int n = static_cast<int>(c.Values.size()), top = c.Bits ? (1 << c.Bits) - 1 : 1;
      std::vector<float> px;
      for (int i = 0; i < n; ++i) {
        const float v = c.Values[i].first / top, w = c.Values[n - 1 - i].first / top;
        const float pixel[] = {v, w, v, i % 2 ? 0.0f : 1.0f}; // alpha 0 keeps its colour
        px.insert(px.end(), pixel, pixel + channels);
      }
      const std::string file = WriteOiio(std::to_string(channels) + c.Name, n, 1, channels, c.Type, px, c.Bits);
      EXPECT_TRUE(ReadsAsFootage(file)); // streamed in bands, not decoded whole by Qt at 8 bytes a pixel
      const TBitmap24 bmp = Load(file);
      for (int x = 0; x < n; ++x) {
        const int v = c.Values[x].second, w = channels == 1 ? v : c.Values[n - 1 - x].second;
        EXPECT_EQ(test::Rgb(bmp, x), (std::array<int, 3>{v, w, v})) << c.Values[x].first;
      }
    }
}

TEST_F(PictureLoader, MovieFramesByNumberAndTimecode) {
  if (!IsPictureFileName("a.mov"))
    GTEST_SKIP() << "OpenImageIO has no FFmpeg reader here";
  // Frame k is a flat grey of 16 + 8k (full range): which frame was read shows in any pixel. Every
  // container offered is tried.
  const std::map<std::string, std::string> codecs = {
      {"mov", "prores_ks"}, {"mp4", "libx264 -pix_fmt yuv420p -qp 0"}, {"m4v", "libx264 -pix_fmt yuv420p -qp 0"},
      {"avi", "mpeg4 -q:v 1"}};
  for (const std::string &ext : MovieExtensions()) {
    ASSERT_EQ(codecs.count(ext), 1u) << "no movie of type " << ext << " to try";
    const std::string codec = codecs.at(ext), movie = Path("clip." + ext);
    ASSERT_TRUE(Shell("ffmpeg -nostdin -y -f lavfi -i \"color=c=black:s=48x32:r=25,format=gray,geq=lum='16+8*N'\" "
                      "-frames:v 30 -c:v " + codec + " " + movie))
        << "ffmpeg cannot make " << movie;
    // Frame 26 is 1 second and 1 frame at 25 frames a second.
    const struct { const char *spec; std::int64_t frame; const char *timecode; } frames[] = {
        {"", 0, "00:00:00:00"}, {"00:00:01:01", 26, "00:00:01:01"}, {"26", 26, "00:00:01:01"}, {"1", 1, "00:00:00:01"}};
    for (const auto &f : frames) {
      TPictureInfo info;
      const TBitmap24 bmp = Load(movie, {.Frame = f.spec}, &info);
      EXPECT_NEAR(test::Rgb(bmp, 24, 16)[1], 16 + 8 * f.frame, 2) << codec << f.spec;
      EXPECT_EQ(std::tuple(info.IsMovie, info.FrameCount, info.FrameRate, info.Frame, info.Timecode),
                std::tuple(true, std::int64_t(30), 25.0, f.frame, std::string(f.timecode)));
    }
    // Spelling mistakes in the frame are the parser's own tests.
    const std::string past = ErrorOf<EImageError>([&] { Load(movie, {.Frame = "30"}); });
    EXPECT_NE(past.find("frame 30 is past the end of the movie (it has 30 frames, 0 to 29)"), std::string::npos) << past;
  }
  // A movie without pictures is refused, naming the file.
  ASSERT_TRUE(Shell("ffmpeg -nostdin -y -f lavfi -i anullsrc=r=48000 -t 0.5 -c:a aac " + Path("sound.mov")));
  ExpectRefused(Path("sound.mov"), "could not find a valid videostream");
}

TEST(FrameSpec, NumbersAndTimecodes) {
  // Timecodes count whole seconds at the rounded rate: 29.97 counts 30 a second.
  const struct { const char *text; double rate; std::int64_t frame; } good[] = {
      {"0", 24, 0}, {"17", 24, 17}, {"00:00:01:00", 24, 24}, {"01:00:00:00", 25, 90000},
      {"00:01:00:29", 29.97, 1829}, {"10:59:59:23", 23.976, (10 * 3600 + 59 * 60 + 59) * 24 + 23}};
  for (const auto &g : good) {
    EXPECT_EQ(FrameNumberOf(ParseFrameSpec(g.text), g.rate), g.frame) << g.text;
    if (std::string(g.text).find(':') != std::string::npos) {
      EXPECT_EQ(FrameTimecode(g.frame, g.rate), g.text);
    }
  }
  for (const char *bad : {"", "-1", "1.5", "x", "00:00:00;12", "00:60:00:00", "00:00:61:00", "0:0:0:0", "00:00:00",
                          "00:00:00:00:00", "00:0:00:00", " 1", "00:00:00:24" /* frame 24 at 24 a second */})
    EXPECT_THROW(FrameNumberOf(ParseFrameSpec(bad), 24), EImageError) << bad;
}

TEST_F(PictureLoader, CmykJpegsBecomeRgbAsOtherProgramsShowThem) {
  // Adobe's inverted inks in flat 8 x 8 blocks, which TurboJPEG stores as YCCK with Adobe's marker
  // and keeps almost exactly at quality 100: red = C x K / 255 by hand, e.g. (255, 128, 0, 200) ->
  // (200, 100, 0).
  const std::uint8_t inks[4][4] = {{255, 128, 0, 200}, {0, 255, 255, 255}, {100, 200, 50, 128}, {255, 255, 255, 0}};
  const std::array<int, 3> expected[4] = {{200, 100, 0}, {0, 255, 255}, {50, 100, 25}, {0, 0, 0}};
  std::vector<std::uint8_t> cmyk(32 * 8 * 4);
  for (std::size_t i = 0; i < 32 * 8; ++i)
    std::memcpy(&cmyk[4 * i], inks[i % 32 / 8], 4);
  const TBitmap24 bmp = Load(Write("ycck.jpg", test::Jpeg(cmyk.data(), 32, 8, 32 * 4, TJSAMP_444, 100, 0, TJPF_CMYK)));
  ASSERT_EQ(bmp.Width(), 32);
  for (int block = 0; block < 4; ++block)
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(test::Rgb(bmp, block * 8 + 3, 4)[k], expected[block][k], 1) << "block " << block;
}

TEST_F(PictureLoader, ThePixelLimitRefusesWithAMessageNamingIt) {
  const std::string png = WriteOiio("small.png", 20, 10, 3, OIIO::TypeDesc::UINT8, std::vector<std::uint8_t>(600, 9));
  const std::string exr = WriteOiio("small.exr", 20, 10, 3, OIIO::TypeDesc::HALF, std::vector<float>(600, 0.5f));
  for (const std::string &file : {png, exr}) {
    TPictureLoadOptions options;
    options.MaxPixels = 199;
    EXPECT_EQ(ErrorOf<EImageError>([&] { Load(file, options); }),
              "Cannot load the picture \"" + file +
                  "\": the picture (20 x 10 = 200 pixels) is larger than the limit of 199 pixels; raise it with "
                  "--max-pixels.");
    options.MaxPixels = 200;
    EXPECT_EQ(Load(file, options).Width(), 20);
  }
  // The limit may be raised to 400 million pixels and no further.
  const struct { const char *text; std::int64_t value; } good[] = {
      {"1", 1},       {"200", 200}, {"150M", 150'000'000}, {"400000000", 400'000'000},
      {"400M", 400'000'000}, {"2m", 2'000'000}};
  for (const auto &g : good)
    EXPECT_EQ(ParseMaxPixels(g.text), g.value) << g.text;
  for (const char *bad : {"", "0", "-5", "1.5M", "12k", "M", "5G", "400000001", "401m", "99999999999999"})
    EXPECT_THROW(ParseMaxPixels(bad), EImageError) << bad;
}
