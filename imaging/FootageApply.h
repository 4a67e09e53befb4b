// Running whole picture files through a LUT at the pictures' own precision: what tintwise-cli
// apply does for each picture, and for each frame of a movie.
//
// 8-bit BMP, JPEG, PNG and TIFF pictures written as one of those go through ApplyToBitmap, as the
// preview does. Every other picture (DPX, Cineon, OpenEXR, 16-bit TIFF and PNG, and any picture
// written as DPX or EXR) is read and written through OpenImageIO keeping its pixel type, bit depth,
// alpha and metadata: integer codes come out exactly as ApplyToColor gives them at the picture's own
// bit depth, floats within 1/65,535 of the double-precision evaluation, clamped to 0..1. A LUT
// turns grey into colour, so grey pictures (grey and alpha) are written as RGB (RGBA).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/Lut.h"

namespace tintwise {

// Loads the footage module (OpenImageIO and the couple of hundred libraries it brings, a good part
// of a second) now, on the calling thread, so that the first footage file need not wait for it:
// a program may call it on a thread of its own while it prepares. A failure is left for that first
// use to report.
void PreloadFootageSupport();

// The picture types movie frames can be written as (the --as of tintwise-cli apply).
const std::vector<std::string> &FrameSequenceTypes();

// Runs the picture file `input` through the LUT into `output`, whose extension chooses the format.
// The output is replaced in one step. Raises EImageError naming the input (unreadable, a movie,
// too large), EFCreateError naming the output (no writer for its type, a failed write).
// maxPixels limits the 8-bit pictures held whole (0: the loader's default); footage streams.
void ApplyLutToPictureFile(const TLUT &lut, const std::string &input, const std::string &output,
                           std::int64_t maxPixels = 0);

// The file name of frame `frame` (0-based) of `movie` in outputDir: "<movie name>.<frame, six
// digits>.<type>", e.g. "clip.000012.dpx" for clip.mov.
std::string MovieFrameFileName(const std::string &outputDir, const std::string &movie, int frame,
                               const std::string &type);

// Runs every frame of the movie through the LUT and writes each as its own picture of `type`
// (one of FrameSequenceTypes()) in outputDir, keeping the frames' bit depth (a floating-point
// type for EXR). One frame is held at a time. With skipExisting, frames whose picture exists are
// left as they are. progress(done, count) is called after each frame. Returns the number of
// frames written; raises as ApplyLutToPictureFile does.
int ApplyLutToMovieFrames(const TLUT &lut, const std::string &movie, const std::string &outputDir,
                          const std::string &type, bool skipExisting = false,
                          const std::function<void(int done, int count)> &progress = {});

// The pictures ApplyLutToMovieFrames writes for the movie into outputDir, one for each of its
// frames. Raises EImageError when the movie cannot be read.
std::vector<std::string> MovieFrameFileNames(const std::string &movie, const std::string &outputDir,
                                             const std::string &type);

} // namespace tintwise
