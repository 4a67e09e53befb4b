#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "imaging/ImageResize2.h"
#include "imaging/PictureLoader.h"
#include "tests/imaging/BmpReference.h"
#include "tests/imaging/ResampleReference.h"

using namespace tintwise;
namespace fs = std::filesystem;

namespace {

using TBytes = std::vector<unsigned char>;

class PictureLoader : public ::testing::Test {
protected:
  QTemporaryDir Dir;
  std::string Path(const std::string &name) const { return Dir.path().toStdString() + "/" + name; }
  static TBytes Read(const std::string &file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  std::string Write(const std::string &name, const TBytes &bytes) const {
    std::ofstream(Path(name), std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()), bytes.size());
    return Path(name);
  }
  // Saves the picture with Qt in the format its extension names; TurboJPEG writes JPEG files.
  std::string Save(const std::string &name, const TBitmap24 &bmp, int subsampling = TJSAMP_444, int quality = 95) const {
    const std::string ext = QString::fromStdString(fs::path(name).extension().string().substr(1)).toLower().toStdString();
    if (ext == "jpg" || ext == "jpeg") {
      tjhandle tj = tjInitCompress();
      unsigned char *out = nullptr;
      unsigned long size = 0;
      EXPECT_EQ(tjCompress2(tj, bmp.Bits(), bmp.Width(), static_cast<int>(bmp.Stride()), bmp.Height(), TJPF_BGR, &out,
                            &size, subsampling, quality, 0), 0);
      Write(name, TBytes(out, out + size));
      tjFree(out);
      tjDestroy(tj);
    } else {
      const QImage image(bmp.Bits(), bmp.Width(), bmp.Height(), static_cast<qsizetype>(bmp.Stride()), QImage::Format_BGR888);
      EXPECT_TRUE(image.save(QString::fromStdString(Path(name)), ext == "tif" ? "tiff" : ext.c_str())) << name;
    }
    return Path(name);
  }
  static TBitmap24 Load(const std::string &file) {
    TBitmap24 bmp;
    LoadPictureFile(file, bmp);
    return bmp;
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

// A one-row picture of the given colours.
QImage Row(QImage::Format format, const std::vector<QColor> &colours) {
  QImage image(static_cast<int>(colours.size()), 1, format);
  for (int x = 0; x < image.width(); ++x)
    image.setPixelColor(x, 0, colours[x]);
  return image;
}

} // namespace

TEST_F(PictureLoader, DecodersGiveTheKnownPixels) {
  // Exact pixels whatever the case of the extension: catches swapped channels and flipped rows.
  const TBitmap24 picture = reference::TestPicture(37, 21, 4);
  for (const char *name : {"a.bmp", "b.BMP", "c.png", "d.Png"})
    EXPECT_TRUE(Load(Save(name, picture)).SamePixels(picture)) << name;

  // PNG alpha is dropped; 16-bit channels round to v / 257: 128 -> 0, 129 -> 1, 25828 -> 100, 25829 -> 101.
  const std::vector<QColor> alpha = {QColor(10, 20, 30, 0), QColor(200, 100, 50, 128), QColor(255, 255, 255, 1)};
  ASSERT_TRUE(Row(QImage::Format_ARGB32, alpha).save(QString::fromStdString(Path("alpha.png")), "PNG"));
  const std::pair<quint16, int> deep[] = {{0, 0}, {128, 0}, {129, 1}, {25828, 100}, {25829, 101}, {65535, 255}};
  std::vector<QColor> deepColours;
  for (int x = 0; x < 6; ++x)
    deepColours.push_back(QColor::fromRgba64(deep[x].first, deep[5 - x].first, deep[x].first, x == 2 ? 0 : 65535));
  ASSERT_TRUE(Row(QImage::Format_RGBA64, deepColours).save(QString::fromStdString(Path("deep.png")), "PNG"));
  ASSERT_EQ(QImage(QString::fromStdString(Path("deep.png"))).depth(), 64); // really 16 bits a channel
  const TBitmap24 a = Load(Path("alpha.png")), d = Load(Path("deep.png"));
  for (int x = 0; x < 3; ++x)
    EXPECT_EQ(QColor(a.Scanline(0)[3 * x + 2], a.Scanline(0)[3 * x + 1], a.Scanline(0)[3 * x]), QColor(alpha[x].rgb())) << x;
  for (int x = 0; x < 6; ++x)
    EXPECT_EQ(QColor(d.Scanline(0)[3 * x + 2], d.Scanline(0)[3 * x + 1], d.Scanline(0)[3 * x]),
              QColor(deep[x].second, deep[5 - x].second, deep[x].second)) << deep[x].first;
}

TEST_F(PictureLoader, JpegDecodesToBlueGreenRedLikeOtherDecoders) {
  // Flat 8 x 8 blocks of saturated colours survive JPEG almost exactly: a swapped channel order
  // or a shifted block shows at once.
  const std::uint8_t colours[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {250, 200, 20}}; // r, g, b
  TBitmap24 blocks(32, 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 32; ++x) {
      const auto *c = colours[(x / 8 + y / 8 * 2) % 4];
      blocks.SetPixel(x, y, c[0], c[1], c[2]);
    }
  for (const char *name : {"blocks.jpg", "blocks.JPEG"}) {
    const TBitmap24 loaded = Load(Save(name, blocks, TJSAMP_444, 100));
    ASSERT_EQ(std::pair(loaded.Width(), loaded.Height()), std::pair(32, 16));
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 32 * 3; ++x)
        EXPECT_NEAR(loaded.Scanline(y)[x], blocks.Scanline(y)[x], 2) << x / 3 << "," << y;
  }

  // Qt's own JPEG reader uses the same library with the same accurate settings: its pixels must be
  // ours exactly, for subsampled colour, odd sizes and grey pictures alike.
  if (!QImageReader::supportedImageFormats().contains("jpeg"))
    GTEST_SKIP() << "Qt's JPEG reader is not installed";
  const TBitmap24 picture = reference::TestPicture(61, 35, 9);
  for (const int subsampling : {TJSAMP_444, TJSAMP_420, TJSAMP_422, TJSAMP_GRAY}) {
    const TBitmap24 ours = Load(Save("p.jpg", picture, subsampling, 85));
    const QImage qt = QImage(QString::fromStdString(Path("p.jpg"))).convertToFormat(QImage::Format_BGR888);
    ASSERT_EQ(std::pair(qt.width(), qt.height()), std::pair(ours.Width(), ours.Height()));
    int differences = 0;
    for (int y = 0; y < qt.height(); ++y)
      differences += std::memcmp(qt.constScanLine(y), ours.Scanline(y), 3 * qt.width()) != 0;
    EXPECT_EQ(differences, 0) << "subsampling " << subsampling;
  }
}

TEST_F(PictureLoader, LoadImageFileFitsWithLanczos3) {
  struct { int w, h, ew, eh; } cases[] = {{1800, 40, 1700, 38}, {120, 700, 86, 500}, {300, 200, 300, 200}};
  for (const auto &c : cases) {
    const TBitmap24 picture = reference::TestPicture(c.w, c.h, static_cast<unsigned>(c.w));
    TBitmap24 loaded, expected(c.ew, c.eh);
    LoadImageFile(Save("fit.png", picture), loaded);
    reference::Resample(Lanczos3Filter, picture, expected, 3.0f);
    EXPECT_EQ(std::pair(loaded.Width(), loaded.Height()), std::pair(c.ew, c.eh));
    EXPECT_TRUE(loaded.SamePixels(expected)) << c.w << " x " << c.h;
  }
  // A JPEG goes the same way (decoded, then resampled from the decoded pixels).
  TBitmap24 loaded, expected;
  LoadImageFile(Save("fit.jpg", reference::TestPicture(1750, 90, 2), TJSAMP_420, 90), loaded);
  ResizeBitmap(1700, 87, kLanczos3Filter, 0, Load(Path("fit.jpg")), expected);
  EXPECT_TRUE(loaded.SamePixels(expected));
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
      {"missing.jpg", std::nullopt, "does not exist"},
      {"folder.bmp", std::nullopt, "folder"},
      {"empty.jpg", TBytes(), "not a readable JPEG"},
      {"empty.png", TBytes(), "the file is empty"},
      {"empty.bmp", TBytes(), "the file is empty"},
      {"text.png", TBytes(100, 'x'), "its contents are not a picture of its type, or they are damaged"},
      {"cut.jpg", TBytes(jpg.begin(), jpg.begin() + jpg.size() / 2), "damaged or truncated"},
      {"cut.png", TBytes(png.begin(), png.begin() + png.size() / 2), "damaged or truncated"},
      {"cut.bmp", TBytes(bmp.begin(), bmp.end() - 7), "truncated"},
      {"png.bmp", png, "not a readable picture"}, // the extension chooses the decoder
      {"bmp.jpg", bmp, "not a readable JPEG"},
      {"zero.bmp", patched(bmp, 18, 0, 4), ""}, // declared sizes: none, and too large (refused from the header)
      {"huge.bmp", patched(patched(bmp, 18, 60000, 4), 22, 60000, 4), "larger than the limit of 150000000 pixels"},
      {"wide.bmp", patched(bmp, 18, 70000, 4), "no side may be longer than 65535 pixels"},
      {"zero.jpg", patched(jpg, sof + 5, 0, 2), ""},
      {"huge.jpg", patched(patched(jpg, sof + 5, 60000, 2), sof + 7, 60000, 2), "larger than the limit"},
  };
  for (const auto &c : cases)
    ExpectRefused(c.bytes ? Write(c.name, *c.bytes) : Path(c.name), c.problem);
}

TEST_F(PictureLoader, TheFilterListOffersExactlyWhatLoads) {
  const bool tiff = QImageReader::supportedImageFormats().contains("tiff");
  const std::string movies = IsPictureFileName("a.mov") ? " *.mov *.mp4 *.m4v *.avi *.mpg" : "";
  EXPECT_EQ(PictureFileFilter(),
            std::string("All pictures (*.bmp *.jpeg *.jpg *.png") + (tiff ? " *.tif *.tiff" : "") +
                " *.dpx *.cin *.exr" + movies + ");;Bitmaps (*.bmp);;JPEG Image File (*.jpeg *.jpg);;PNG Image File (*.png)" +
                (tiff ? ";;TIFF Image File (*.tif *.tiff)" : "") +
                ";;DPX Image File (*.dpx);;Cineon Image File (*.cin);;OpenEXR Image File (*.exr)" +
                (movies.empty() ? "" : ";;Movie File (" + movies.substr(1) + ")"));
  std::vector<std::string> extensions;
  for (const TPictureFormat &format : PictureFormats())
    extensions.insert(extensions.end(), format.Extensions.begin(), format.Extensions.end());
  EXPECT_EQ(PictureExtensions(), extensions);
  // Every offered still extension that Qt or TurboJPEG writes opens a picture of its kind (the
  // footage types have their own tests); nothing else is accepted.
  for (const TPictureFormat &format : PictureFormats())
    for (const std::string &ext : format.Extensions) {
      if (ext != "bmp" && ext != "jpg" && ext != "jpeg" && ext != "png" && ext != "tif" && ext != "tiff")
        continue;
      const std::string file = Save("offered." + ext, reference::TestPicture(9, 7, 2));
      EXPECT_TRUE(IsPictureFileName(file));
      EXPECT_EQ(Load(file).Width(), 9) << file;
    }
  for (const char *name : {"a.gif", "a.ico", "a.webp", "a", "a.jpg.txt"})
    EXPECT_FALSE(IsPictureFileName(name)) << name;
  EXPECT_EQ(IsPictureFileName("a.TIFF"), tiff);
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
}
