// The picture writer against TurboJPEG's one-call compressor (the writer it replaced, with the same
// settings), against Qt's readers, and against itself fed a band of rows at a time.
#include <gtest/gtest.h>

#include <filesystem>

#include "imaging/PictureWriter.h"
#include "tests/imaging/ImagingTestSupport.h"
#include "tests/support/EngineReference.h"

using namespace tintwise;
namespace fs = std::filesystem;

namespace {

using PictureWriter = test::TPictureFixture;

} // namespace

TEST_F(PictureWriter, FilesAreTheSameWholeOrInBands) {
  // A single pixel, sides that are not whole chroma blocks, and a picture wider than one megabyte of
  // output per band.
  for (const auto &[width, height] : {std::pair{1, 1}, std::pair{17, 9}, std::pair{1999, 1001}}) {
    SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
    const TBitmap24 picture = reference::SyntheticPicture(width, height, static_cast<unsigned>(width));
    for (const std::string type : {"jpg", "png", "bmp"}) {
      SavePictureFile(picture, Path("whole." + type));
      const test::TBytes whole = Read(Path("whole." + type));
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

TEST_F(PictureWriter, RowsOutOfOrderAndUnfinishedFiles) {
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
