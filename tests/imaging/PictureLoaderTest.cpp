// Pictures of 8 bits a channel, read and written: the decoders against TurboJPEG's whole-picture
// decode, Qt's readers, the plain BMP reader and the BMP suite; the writer against TurboJPEG's
// compressor and Qt's readers; the fit against the plain reading of the resampler; and the
// refusals of damaged and unreadable files.
#include <gtest/gtest.h>

#include <png.h>
#include <sys/stat.h>

#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <tuple>

#include "imaging/ImageResize2.h"
#include "imaging/PictureLoader.h"
#include "imaging/PictureWriter.h"
#include "tests/imaging/BmpReference.h"
#include "tests/imaging/ImagingTestSupport.h"
#include "tests/imaging/ResampleReference.h"
#include "tests/support/EngineReference.h"

using namespace tintwise;
using test::TBytes;
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
  // Saves the picture with Qt in the format its extension names; TurboJPEG writes JPEG files.
  std::string Save(const std::string &name, const TBitmap24 &bmp, int subsampling = TJSAMP_444, int flags = 0) const {
    const QString ext = QFileInfo(QString::fromStdString(name)).suffix().toLower();
    if (ext.startsWith("jp"))
      return Write(name, test::Jpeg(bmp, subsampling, 85, flags));
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
    EXPECT_EQ(std::pair(loaded.Width(), loaded.Height()), std::pair(c.ew, c.eh));
    EXPECT_TRUE(loaded.SamePixels(expected)) << c.name;
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
      {"empty.bmp", TBytes(), "the file is empty"},
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
  const bool tiff = QImageReader::supportedImageFormats().contains("tiff");
  const std::string movies = IsPictureFileName("a.mov") ? " *.mov *.mp4 *.m4v *.avi" : "";
  EXPECT_EQ(PictureFileFilter(),
            std::string("All pictures (*.bmp *.jpeg *.jpg *.png") + (tiff ? " *.tif *.tiff" : "") +
                " *.dpx *.cin *.exr" + movies + ");;Bitmaps (*.bmp);;JPEG Image File (*.jpeg *.jpg);;PNG Image File (*.png)" +
                (tiff ? ";;TIFF Image File (*.tif *.tiff)" : "") +
                ";;DPX Image File (*.dpx);;Cineon Image File (*.cin);;OpenEXR Image File (*.exr)" +
                (movies.empty() ? "" : ";;Movie File (" + movies.substr(1) + ")"));
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
  EXPECT_EQ(IsPictureFileName("a.TIFF"), tiff);
  EXPECT_EQ(IsPictureFileName("a.AVI"), !movies.empty());
}

TEST(PictureLoaderSuite, BmpSuiteGoodFilesGiveTheirPixelsAndNoFileCrashes) {
  const std::string root = std::string(TINTWISE_TEST_DATA_DIR) + "/bmpsuite";
  if (!fs::exists(root + "/g"))
    GTEST_SKIP() << "the BMP suite is not beside the project";
  // Run-length files have no plain reading: their pixels are those of the same picture uncompressed.
  const std::map<std::string, std::string> twins = {{"pal4rle.bmp", "pal4.bmp"}, {"pal8rle.bmp", "pal8.bmp"}};
  int good = 0, loaded = 0, refused = 0;
  for (const std::string group : {"g", "q", "b"})
    for (const auto &entry : fs::directory_iterator(root + "/" + group)) {
      const std::string file = entry.path().string(), name = entry.path().filename().string();
      TBitmap24 bmp, again;
      try {
        LoadPictureFile(file, bmp);
        ++loaded;
      } catch (const EImageError &e) {
        ++refused;
        EXPECT_NE(std::string(e.what()).find(file), std::string::npos);
        EXPECT_NE(group, "g") << e.what();
        continue;
      }
      // Pixels a decoder skips must not come from whatever memory held: a second load after the
      // heap has been dirtied gives the same bytes.
      volatile std::uint8_t sink = std::vector<std::uint8_t>(1 << 20, 0xA5)[12345];
      (void)sink;
      LoadPictureFile(file, again);
      EXPECT_TRUE(again.SamePixels(bmp)) << name;
      if (group != "g")
        continue;
      ++good;
      const auto expected = reference::ReadUncompressedBmp(twins.count(name) ? root + "/g/" + twins.at(name) : file);
      ASSERT_TRUE(expected.has_value()) << name << " has no yardstick";
      EXPECT_TRUE(bmp.SamePixels(*expected)) << name;
    }
  EXPECT_EQ(good, 27);
  EXPECT_GT(loaded, 0);
  EXPECT_GT(refused, 0);
  // Pixels the run-length codes skip take palette colour 0, purple in these files; the others are
  // the picture's.
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

// 8-bit colour PNG files are read with libpng a band at a time; every other kind goes to Qt's
// reader. Whichever reads a file, the pixels must be those Qt's reader gives for it, for files
// written with libpng in the forms other programs write.
TEST_F(PictureLoader, EveryFormOfPngGivesQtsPixels) {
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
      const TBytes bytes = Read(file);
      EXPECT_TRUE(Load(Write("nocrc.png", TBytes(bytes.begin(), bytes.end() - 4))).SamePixels(test::QtPixels(file, "png")));
    }
}

// The writer against TurboJPEG's one-call compressor (the writer it replaced, with the same
// settings), against Qt's readers, and against itself fed a band of rows at a time.
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
        EXPECT_TRUE(whole == test::Jpeg(picture, TJSAMP_420, 95, TJFLAG_ACCURATEDCT)) << "not TurboJPEG's bytes";
      } else {
        EXPECT_TRUE(test::QtPixels(Path("whole." + type)).SamePixels(picture)) << type;
      }
      // Bands of 7 rows, then the rest by Finish.
      TPictureRowWriter writer(Path("banded." + type), width, height);
      const int stop = height * 2 / 3;
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
  // The bottom row may end the picture by Finish after every row was written.
  TPictureRowWriter writer(Path("out.png"), 40, 30);
  writer.WriteRows(picture, 0, 30);
  writer.Finish(picture);
  EXPECT_TRUE(test::QtPixels(Path("out.png")).SamePixels(picture));
}
