#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QTemporaryDir>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "imaging/ImageResize2.h"
#include "imaging/PictureLoader.h"
#include "tests/imaging/BmpReference.h"
#include "tests/imaging/ResampleReference.h"

using namespace tintwise;
namespace fs = std::filesystem;

namespace {

class PictureLoader : public ::testing::Test {
protected:
  QTemporaryDir Dir;
  std::string Path(const std::string &name) const { return Dir.path().toStdString() + "/" + name; }

  static std::vector<unsigned char> ReadBytes(const std::string &name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  static void WriteBytes(const std::string &name, const std::vector<unsigned char> &bytes) {
    std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char *>(bytes.data()),
                                                 static_cast<std::streamsize>(bytes.size()));
  }
  // A JPEG of the picture through TurboJPEG.
  static std::vector<unsigned char> EncodeJpeg(const TBitmap24 &bmp, int subsampling, int quality) {
    tjhandle tj = tjInitCompress();
    unsigned char *out = nullptr;
    unsigned long size = 0;
    EXPECT_EQ(tjCompress2(tj, bmp.Bits(), bmp.Width(), static_cast<int>(bmp.Stride()), bmp.Height(), TJPF_BGR, &out,
                          &size, subsampling, quality, 0),
              0);
    std::vector<unsigned char> bytes(out, out + size);
    tjFree(out);
    tjDestroy(tj);
    return bytes;
  }
  static QImage ToQImage(const TBitmap24 &bmp) {
    QImage image(bmp.Width(), bmp.Height(), QImage::Format_RGB888);
    for (int y = 0; y < bmp.Height(); ++y)
      for (int x = 0; x < bmp.Width(); ++x) {
        std::uint8_t r, g, b;
        bmp.GetPixel(x, y, r, g, b);
        image.setPixel(x, y, qRgb(r, g, b));
      }
    return image;
  }
  // Expects LoadImageFile and LoadPictureFile to refuse the file with a message naming it and the
  // problem, leaving the destination as it was.
  static void ExpectRefused(const std::string &file, const std::string &problem) {
    const TBitmap24 before = reference::TestPicture(5, 4, 1);
    for (const bool fit : {false, true}) {
      TBitmap24 dst = before;
      try {
        fit ? LoadImageFile(file, dst) : LoadPictureFile(file, dst);
        ADD_FAILURE() << file << " was loaded";
      } catch (const EImageError &e) {
        const std::string message = e.what();
        EXPECT_NE(message.find(file), std::string::npos) << message;
        EXPECT_NE(message.find(problem), std::string::npos) << message;
      }
      EXPECT_TRUE(dst.SamePixels(before)) << file;
    }
  }
};

std::uint8_t Channel(const TBitmap24 &bmp, int x, int y, int c) { return bmp.Scanline(y)[3 * x + c]; }

} // namespace

TEST_F(PictureLoader, BmpAndPngGiveTheirExactPixelsInAnyCaseOfExtension) {
  const TBitmap24 picture = reference::TestPicture(37, 21, 4);
  const QImage image = ToQImage(picture);
  for (const char *name : {"a.bmp", "b.BMP", "c.png", "d.Png"}) {
    const QByteArray format = QByteArray(name).right(3).toLower();
    ASSERT_TRUE(image.save(QString::fromStdString(Path(name)), format.constData()));
    TBitmap24 loaded;
    LoadPictureFile(Path(name), loaded);
    EXPECT_TRUE(loaded.SamePixels(picture)) << name; // catches swapped channels and flipped rows
  }
}

TEST_F(PictureLoader, PngAlphaIsDroppedAndSixteenBitChannelsRoundToEightBits) {
  QImage alpha(4, 1, QImage::Format_ARGB32);
  const QRgb colours[4] = {qRgba(10, 20, 30, 0), qRgba(200, 100, 50, 128), qRgba(1, 2, 3, 255), qRgba(255, 255, 255, 1)};
  for (int x = 0; x < 4; ++x)
    alpha.setPixel(x, 0, colours[x]);
  ASSERT_TRUE(alpha.save(QString::fromStdString(Path("alpha.png")), "PNG"));
  TBitmap24 loaded;
  LoadPictureFile(Path("alpha.png"), loaded);
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(Channel(loaded, x, 0, 2), qRed(colours[x])) << x;
    EXPECT_EQ(Channel(loaded, x, 0, 1), qGreen(colours[x])) << x;
    EXPECT_EQ(Channel(loaded, x, 0, 0), qBlue(colours[x])) << x;
  }

  // v / 257 to the nearest: 128 -> 0, 129 -> 1, 25828 -> 100, 25829 -> 101, 65535 -> 255.
  struct Case { quint16 v; int expected; } cases[] = {{0, 0}, {128, 0}, {129, 1}, {25828, 100}, {25829, 101}, {65535, 255}};
  QImage deep(6, 1, QImage::Format_RGBA64);
  for (int x = 0; x < 6; ++x)
    deep.setPixelColor(x, 0, QColor::fromRgba64(cases[x].v, cases[5 - x].v, cases[x].v, x == 2 ? 0 : 65535));
  ASSERT_TRUE(deep.save(QString::fromStdString(Path("deep.png")), "PNG"));
  ASSERT_EQ(QImage(QString::fromStdString(Path("deep.png"))).depth(), 64); // really 16 bits a channel
  LoadPictureFile(Path("deep.png"), loaded);
  for (int x = 0; x < 6; ++x) {
    EXPECT_EQ(Channel(loaded, x, 0, 2), cases[x].expected) << cases[x].v;
    EXPECT_EQ(Channel(loaded, x, 0, 1), cases[5 - x].expected) << cases[5 - x].v;
    EXPECT_EQ(Channel(loaded, x, 0, 0), cases[x].expected) << cases[x].v;
  }
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
    WriteBytes(Path(name), EncodeJpeg(blocks, TJSAMP_444, 100));
    TBitmap24 loaded;
    LoadPictureFile(Path(name), loaded);
    ASSERT_EQ(loaded.Width(), 32);
    ASSERT_EQ(loaded.Height(), 16);
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 32; ++x)
        for (int c = 0; c < 3; ++c)
          EXPECT_NEAR(Channel(loaded, x, y, c), Channel(blocks, x, y, c), 2) << x << "," << y;
  }

  // Qt's own JPEG reader uses the same library with the same accurate settings: its pixels must be
  // ours exactly, for subsampled colour, odd sizes and grey pictures alike.
  if (!QImageReader::supportedImageFormats().contains("jpeg"))
    GTEST_SKIP() << "Qt's JPEG reader is not installed";
  const TBitmap24 picture = reference::TestPicture(61, 35, 9);
  for (const int subsampling : {TJSAMP_444, TJSAMP_420, TJSAMP_422, TJSAMP_GRAY}) {
    WriteBytes(Path("p.jpg"), EncodeJpeg(picture, subsampling, 85));
    TBitmap24 ours;
    LoadPictureFile(Path("p.jpg"), ours);
    const QImage qt = QImage(QString::fromStdString(Path("p.jpg"))).convertToFormat(QImage::Format_RGB888);
    ASSERT_EQ(qt.width(), ours.Width());
    int differences = 0;
    for (int y = 0; y < qt.height(); ++y)
      for (int x = 0; x < qt.width(); ++x) {
        const QRgb q = qt.pixel(x, y);
        differences += Channel(ours, x, y, 2) != qRed(q) || Channel(ours, x, y, 1) != qGreen(q) ||
                       Channel(ours, x, y, 0) != qBlue(q);
      }
    EXPECT_EQ(differences, 0) << "subsampling " << subsampling;
  }
}

TEST_F(PictureLoader, LoadImageFileFitsWithLanczos3) {
  struct Case { int w, h, ew, eh; } cases[] = {{1800, 40, 1700, 38}, {120, 700, 86, 500}, {300, 200, 300, 200}};
  for (const Case &c : cases) {
    const TBitmap24 picture = reference::TestPicture(c.w, c.h, static_cast<unsigned>(c.w));
    ASSERT_TRUE(ToQImage(picture).save(QString::fromStdString(Path("fit.png")), "PNG"));
    TBitmap24 loaded;
    LoadImageFile(Path("fit.png"), loaded);
    ASSERT_EQ(loaded.Width(), c.ew);
    ASSERT_EQ(loaded.Height(), c.eh);
    TBitmap24 expected(c.ew, c.eh);
    reference::Resample(Lanczos3Filter, picture, expected, 3.0f);
    EXPECT_TRUE(loaded.SamePixels(expected)) << c.w << " x " << c.h;
  }
  // A JPEG goes the same way (decoded, then resampled from the decoded pixels).
  const TBitmap24 picture = reference::TestPicture(1750, 90, 2);
  WriteBytes(Path("fit.jpg"), EncodeJpeg(picture, TJSAMP_420, 90));
  TBitmap24 decoded, loaded, expected;
  LoadPictureFile(Path("fit.jpg"), decoded);
  LoadImageFile(Path("fit.jpg"), loaded);
  ResizeBitmap(1700, 87, kLanczos3Filter, 0, decoded, expected);
  EXPECT_TRUE(loaded.SamePixels(expected));
}

TEST_F(PictureLoader, BadFilesRaiseAClearErrorAndChangeNothing) {
  const TBitmap24 picture = reference::TestPicture(40, 30, 3);
  ASSERT_TRUE(ToQImage(picture).save(QString::fromStdString(Path("good.png")), "PNG"));
  ASSERT_TRUE(ToQImage(picture).save(QString::fromStdString(Path("good.bmp")), "BMP"));
  WriteBytes(Path("good.jpg"), EncodeJpeg(picture, TJSAMP_444, 90));
  const auto png = ReadBytes(Path("good.png")), bmp = ReadBytes(Path("good.bmp")), jpg = ReadBytes(Path("good.jpg"));

  ExpectRefused(Path("picture.gif"), "\"gif\" cannot be opened");
  ExpectRefused(Path("picture"), "no extension");
  ExpectRefused(Path("missing.jpg"), "does not exist");
  fs::create_directory(Path("folder.bmp"));
  ExpectRefused(Path("folder.bmp"), "folder");

  // Empty, truncated and mislabelled files.
  for (const char *name : {"empty.jpg", "empty.png", "empty.bmp"})
    WriteBytes(Path(name), {});
  ExpectRefused(Path("empty.jpg"), "not a readable JPEG");
  ExpectRefused(Path("empty.png"), "not a readable picture");
  ExpectRefused(Path("empty.bmp"), "not a readable picture");
  WriteBytes(Path("cut.jpg"), std::vector<unsigned char>(jpg.begin(), jpg.begin() + jpg.size() / 2));
  ExpectRefused(Path("cut.jpg"), "damaged or truncated");
  WriteBytes(Path("cut.png"), std::vector<unsigned char>(png.begin(), png.begin() + png.size() / 2));
  ExpectRefused(Path("cut.png"), "damaged or truncated");
  WriteBytes(Path("cut.bmp"), std::vector<unsigned char>(bmp.begin(), bmp.end() - 7));
  ExpectRefused(Path("cut.bmp"), "truncated");
  WriteBytes(Path("png.bmp"), png); // the extension chooses the decoder
  ExpectRefused(Path("png.bmp"), "not a readable picture");
  WriteBytes(Path("bmp.jpg"), bmp);
  ExpectRefused(Path("bmp.jpg"), "not a readable JPEG");

  // Declared sizes: none, and too large (refused from the header, before any allocation).
  auto patched = [](std::vector<unsigned char> bytes, std::size_t at, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
      bytes[at + i] = static_cast<unsigned char>(value >> (8 * (size == 2 ? 1 - i : i)));
    return bytes;
  };
  WriteBytes(Path("zero.bmp"), patched(bmp, 18, 0, 4)); // width 0
  ExpectRefused(Path("zero.bmp"), "");
  WriteBytes(Path("huge.bmp"), patched(patched(bmp, 18, 60000, 4), 22, 60000, 4));
  ExpectRefused(Path("huge.bmp"), "too large");
  std::size_t sof = 0; // the frame header: FF C0, length, precision, height, width (big-endian)
  for (std::size_t i = 0; i + 1 < jpg.size(); ++i)
    if (jpg[i] == 0xFF && jpg[i + 1] == 0xC0) {
      sof = i;
      break;
    }
  ASSERT_NE(sof, 0u);
  WriteBytes(Path("huge.jpg"), patched(patched(jpg, sof + 5, 60000, 2), sof + 7, 60000, 2));
  ExpectRefused(Path("huge.jpg"), "too large");
  WriteBytes(Path("zero.jpg"), patched(jpg, sof + 5, 0, 2));
  ExpectRefused(Path("zero.jpg"), "");
}

TEST_F(PictureLoader, APictureThatFitsToNothingIsRefusedByTheFitOnly) {
  QImage thin(6000, 1, QImage::Format_RGB888);
  thin.fill(Qt::red);
  ASSERT_TRUE(thin.save(QString::fromStdString(Path("thin.png")), "PNG"));
  TBitmap24 bmp;
  LoadPictureFile(Path("thin.png"), bmp); // decoding alone is fine
  EXPECT_EQ(bmp.Width(), 6000);
  const TBitmap24 before = bmp;
  EXPECT_THROW(
      {
        try {
          LoadImageFile(Path("thin.png"), bmp);
        } catch (const EImageError &e) {
          EXPECT_NE(std::string(e.what()).find("too long and thin"), std::string::npos) << e.what();
          throw;
        }
      },
      EImageError);
  EXPECT_TRUE(bmp.SamePixels(before));
}

TEST_F(PictureLoader, TheFilterListOffersExactlyWhatLoads) {
  const bool tiff = QImageReader::supportedImageFormats().contains("tiff");
  std::string expected = "All pictures (*.bmp *.jpeg *.jpg *.png";
  expected += tiff ? " *.tif *.tiff)" : ")";
  expected += ";;Bitmaps (*.bmp);;JPEG Image File (*.jpeg *.jpg);;PNG Image File (*.png)";
  expected += tiff ? ";;TIFF Image File (*.tif *.tiff)" : "";
  EXPECT_EQ(PictureFileFilter(), expected);

  // Every offered extension opens a picture of its kind; nothing else is accepted.
  const TBitmap24 picture = reference::TestPicture(9, 7, 2);
  for (const TPictureFormat &format : PictureFormats())
    for (const std::string &ext : format.Extensions) {
      const std::string file = Path("offered." + ext);
      if (format.Description == "JPEG Image File")
        WriteBytes(file, EncodeJpeg(picture, TJSAMP_444, 95));
      else
        ASSERT_TRUE(ToQImage(picture).save(QString::fromStdString(file), ext == "tif" ? "tiff" : ext.c_str()));
      EXPECT_TRUE(IsPictureFileName(file));
      TBitmap24 loaded;
      EXPECT_NO_THROW(LoadPictureFile(file, loaded)) << file;
      EXPECT_EQ(loaded.Width(), 9) << file;
    }
  for (const char *name : {"a.gif", "a.ico", "a.webp", "a", "a.jpg.txt"})
    EXPECT_FALSE(IsPictureFileName(name)) << name;
  EXPECT_EQ(IsPictureFileName("a.TIFF"), tiff);
}

TEST(PictureLoaderSuite, BmpSuiteGoodFilesGiveTheirPixelsAndNoFileCrashes) {
  const std::string root = std::string(TINTWISE_SHARED_DIR) + "/bmpsuite";
  if (!fs::exists(root + "/g"))
    GTEST_SKIP() << "the BMP suite is not beside the project";
  // Twins whose pixels must be identical to the file named: other encodings of the same picture.
  const std::pair<const char *, const char *> twins[] = {{"pal4rle.bmp", "pal4.bmp"}, {"pal8rle.bmp", "pal8.bmp"}};
  int good = 0, loaded = 0, refused = 0;
  for (const char *group : {"g", "q", "b"})
    for (const auto &entry : fs::directory_iterator(root + "/" + group)) {
      const std::string file = entry.path().string(), name = entry.path().filename().string();
      TBitmap24 bmp, again;
      try {
        LoadPictureFile(file, bmp);
        ++loaded;
      } catch (const EImageError &e) {
        ++refused;
        EXPECT_NE(std::string(e.what()).find(file), std::string::npos);
        EXPECT_NE(std::string(group), "g") << e.what();
        continue;
      }
      // Pixels a decoder skips must not come from whatever memory held: a second load after the
      // heap has been dirtied gives the same bytes.
      {
        std::vector<std::uint8_t> dirt(1 << 20, 0xA5);
        volatile std::uint8_t sink = dirt[12345];
        (void)sink;
      }
      LoadPictureFile(file, again);
      EXPECT_TRUE(again.SamePixels(bmp)) << name;
      if (std::string(group) != "g")
        continue;
      ++good;
      const auto expected = reference::ReadUncompressedBmp(file);
      if (expected) {
        EXPECT_TRUE(bmp.SamePixels(*expected)) << name;
      } else {
        bool twin = false;
        for (const auto &[a, b] : twins)
          if (name == a) {
            twin = true;
            const auto plain = reference::ReadUncompressedBmp(root + "/g/" + b);
            ASSERT_TRUE(plain.has_value());
            EXPECT_TRUE(bmp.SamePixels(*plain)) << name << " vs " << b;
          }
        EXPECT_TRUE(twin) << name << " has no yardstick";
      }
    }
  EXPECT_EQ(good, 27);
  EXPECT_GT(loaded, 0);
  EXPECT_GT(refused, 0);
}
