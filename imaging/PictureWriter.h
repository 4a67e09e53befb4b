// Writing 24-bit bitmaps as picture files for the command line's previews and applied frames.
#pragma once

#include <memory>
#include <string>

#include "engine/Bitmap24.h"

namespace tintwise {

// Checks, without writing anything, that SavePictureFile could write fileName: a picture kind this
// program writes, a folder that exists, a target that is a file the user may write. Raises
// EFCreateError naming the file and the problem.
void CheckPictureOutput(const std::string &fileName);

// Writes the bitmap; the format follows the extension (png, bmp, jpg/jpeg, tif/tiff where Qt can
// write it). The file is replaced in one step, so a failed write leaves an existing file as it was;
// a link is written through to its target. Raises EFCreateError naming the file and the problem.
void SavePictureFile(const TBitmap24 &bitmap, const std::string &fileName);

// SavePictureFile for a picture whose rows become ready a band at a time, from the top: PNG and
// JPEG are encoded as the rows come, other kinds are written whole by Finish. The file holds the
// bytes SavePictureFile writes for the same picture. Raises EFCreateError as SavePictureFile does;
// a writer destroyed before Finish leaves nothing behind.
class TPictureRowWriter {
public:
  TPictureRowWriter(const std::string &fileName, int width, int height);
  ~TPictureRowWriter();
  TPictureRowWriter(const TPictureRowWriter &) = delete;
  TPictureRowWriter &operator=(const TPictureRowWriter &) = delete;

  // Encodes rows y0 .. y1 - 1 of the picture, a bitmap of the size given; y0 is the first row not
  // yet written.
  void WriteRows(const TBitmap24 &bitmap, int y0, int y1);
  // Writes the rows that remain and puts the file in place.
  void Finish(const TBitmap24 &bitmap);

private:
  struct TState;
  std::unique_ptr<TState> F;
};

} // namespace tintwise
