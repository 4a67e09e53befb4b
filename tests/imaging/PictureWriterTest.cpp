// The picture writer against TurboJPEG's one-call compressor (the writer it replaced, with the same
// settings) and against itself fed a band of rows at a time.
#include <gtest/gtest.h>

#include <turbojpeg.h>

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/Bitmap24.h"
#include "engine/Errors.h"
#include "imaging/PictureWriter.h"
#include "tests/support/EngineReference.h"

using namespace tintwise;

namespace {

using TBytes = std::vector<unsigned char>;

TBytes Read(const std::string &file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Quality 95, 4:2:0, accurate DCT, from the blue-green-red rows.
TBytes TurboJpeg(const TBitmap24 &bitmap) {
  tjhandle tj = tjInitCompress();
  unsigned char *out = nullptr;
  unsigned long size = 0;
  EXPECT_EQ(tjCompress2(tj, bitmap.Bits(), bitmap.Width(), static_cast<int>(bitmap.Stride()), bitmap.Height(),
                        TJPF_BGR, &out, &size, TJSAMP_420, 95, TJFLAG_ACCURATEDCT),
            0);
  TBytes bytes(out, out + size);
  tjFree(out);
  tjDestroy(tj);
  return bytes;
}

// Pictures of awkward sizes: a single pixel, sides that are not whole chroma blocks, and a picture
// wider than one megabyte of output per band.
std::vector<TBitmap24> Pictures() {
  std::vector<TBitmap24> list;
  list.push_back(reference::SyntheticPicture(1, 1, 1));
  list.push_back(reference::SyntheticPicture(17, 9, 2));
  list.push_back(reference::SyntheticPicture(257, 300, 3));
  list.push_back(reference::SyntheticPicture(1999, 1001, 4));
  return list;
}

} // namespace

TEST(PictureWriter, FilesAreTheSameWholeOrInBands) {
  const QTemporaryDir dir;
  const auto path = [&](const std::string &name) { return dir.filePath(QString::fromStdString(name)).toStdString(); };
  for (const TBitmap24 &picture : Pictures()) {
    SCOPED_TRACE(std::to_string(picture.Width()) + " x " + std::to_string(picture.Height()));
    for (const std::string type : {"jpg", "png", "bmp"}) {
      SavePictureFile(picture, path("whole." + type));
      const TBytes whole = Read(path("whole." + type));
      if (type == "jpg") {
        EXPECT_TRUE(whole == TurboJpeg(picture)) << "not TurboJPEG's bytes";
      }
      // Another program reads the pixels back (JPEG loses some by design).
      if (type != "jpg") {
        const QImage back = QImage(QString::fromStdString(path("whole." + type))).convertToFormat(QImage::Format_RGB888);
        ASSERT_EQ(back.width(), picture.Width());
        for (int y = 0; y < picture.Height(); ++y)
          for (int x = 0; x < picture.Width(); ++x) {
            const std::uint8_t *p = picture.Scanline(y) + 3 * x, *q = back.constScanLine(y) + 3 * x;
            ASSERT_TRUE(p[0] == q[2] && p[1] == q[1] && p[2] == q[0]) << type << " at " << x << "," << y;
          }
      }
      // Bands of 7 rows, then the rest by Finish.
      TPictureRowWriter writer(path("banded." + type), picture.Width(), picture.Height());
      const int stop = picture.Height() * 2 / 3;
      for (int y = 0; y < stop; y += 7)
        writer.WriteRows(picture, y, std::min(y + 7, stop));
      writer.Finish(picture);
      EXPECT_TRUE(Read(path("banded." + type)) == whole) << type;
    }
  }
}

TEST(PictureWriter, RowsOutOfOrderAndUnfinishedFiles) {
  const QTemporaryDir dir;
  const std::string file = dir.filePath("out.jpg").toStdString();
  const TBitmap24 picture = reference::SyntheticPicture(40, 30, 5);
  {
    TPictureRowWriter writer(file, 40, 30);
    writer.WriteRows(picture, 0, 10);
    EXPECT_THROW(writer.WriteRows(picture, 5, 20), EEngineError);   // rows again
    EXPECT_THROW(writer.WriteRows(picture, 11, 20), EEngineError);  // a gap
    EXPECT_THROW(writer.WriteRows(TBitmap24(40, 31), 10, 20), EEngineError); // another size
  } // never finished: nothing is left, not even the temporary file
  EXPECT_TRUE(QDir(dir.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
  EXPECT_THROW(TPictureRowWriter(dir.filePath("out.gif").toStdString(), 4, 4), EFCreateError);
  EXPECT_THROW(TPictureRowWriter(file, 0, 4), EFCreateError);
}
