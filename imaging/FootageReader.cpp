// Footage for the working picture: DPX, Cineon, OpenEXR, PNG and TIFF of more than 8 bits a
// channel, and frames of movie files, read through the footage module (OpenImageIO, loaded on
// first use). Rows are read a strip at a time and turned into the 8-bit working picture as they
// come:
//   integer codes of b bits: code x 255 / (2^b - 1), rounded to the nearest (never a tie: 2^b - 1
//     is odd). The library widens 10- and 12-bit codes to 16 bits; the file's own code is
//     recovered from that exactly before it is scaled.
//   floats: clamped to 0..1 (NaN to 0), then value x 255 rounded to the nearest, halves to even.
// Alpha is dropped; pictures of one or two channels are grey (the second channel is alpha).
#include <Imath/half.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/FileAccess.h"
#include "imaging/FootageFiles.h"
#include "imaging/FootageLibrary.h"
#include "imaging/FrameSpec.h"
#include "imaging/PictureRows.h"

namespace tintwise::detail {

namespace {

// The module's message, on one line, without a trailing full stop.
std::string OneLine(std::string text) {
  for (char &c : text)
    if (c == '\n' || c == '\r')
      c = ' ';
  while (!text.empty() && (text.back() == ' ' || text.back() == '.'))
    text.pop_back();
  return text.empty() ? "the reader gives no reason" : text;
}

std::unique_ptr<TFootageFile> OpenInput(const std::string &fileName) {
  std::unique_ptr<TFootageFile> file;
  try {
    file = NewFootageFile();
  } catch (const EImageError &e) {
    FailLoad(fileName, OneLine(e.what()));
  }
  if (!file->Open(fileName))
    FailLoad(fileName, "the file is not a readable picture of its type (" + OneLine(file->Error()) + ")");
  return file;
}

// 8-bit values of every code of a 16-bit channel that holds b-bit codes widened to 16 bits.
std::vector<std::uint8_t> Table16(int bits) {
  std::vector<std::uint8_t> table(65536);
  const std::uint64_t max = (std::uint64_t(1) << bits) - 1;
  for (std::uint64_t v = 0; v < 65536; ++v) {
    const std::uint64_t code = bits == 16 ? v : (2 * v * max + 65535) / (2 * 65535);
    table[v] = static_cast<std::uint8_t>((2 * code * 255 + max) / (2 * max));
  }
  return table;
}

inline std::uint8_t FromFloat(float v) {
  if (!(v > 0)) // also NaN
    return 0;
  if (v >= 1)
    return 255;
  return static_cast<std::uint8_t>(std::nearbyint(static_cast<double>(v) * 255.0));
}

} // namespace

bool FootageReaderAvailable() { return true; }

bool MovieReaderAvailable() { return true; } // Debian's OpenImageIO is built with FFmpeg

bool IsDeepPicture(const std::string &fileName) {
  TQuietStandardError quiet;
  try {
    std::unique_ptr<TFootageFile> file = NewFootageFile();
    return file->Open(fileName) && file->Frame().Type != TSampleType::UInt8;
  } catch (const EImageError &) {
    return false;
  }
}

void DecodeFootage(const std::string &fileName, TRowSink &sink, const TPictureLoadOptions &options,
                   TPictureInfo &info) {
  ::close(OpenPictureFile(fileName)); // a regular file the user may read; a FIFO is refused here
  TQuietStandardError quiet;
  std::unique_ptr<TFootageFile> input = OpenInput(fileName);
  if (input->IsMovie()) {
    info.IsMovie = true;
    info.FrameCount = std::max(1, input->FrameCount());
    info.FrameRate = input->FrameRate();
    if (!options.Frame.empty())
      info.Frame = FrameNumberOf(ParseFrameSpec(options.Frame), info.FrameRate);
    if (info.Frame >= info.FrameCount)
      FailLoad(fileName, "frame " + std::to_string(info.Frame) + " is past the end of the movie (it has " +
                             std::to_string(info.FrameCount) + " frames, 0 to " +
                             std::to_string(info.FrameCount - 1) + ")");
    if (info.Frame > 0 && !input->SeekFrame(static_cast<int>(info.Frame)))
      FailLoad(fileName, "frame " + std::to_string(info.Frame) + " cannot be read (" + OneLine(input->Error()) + ")");
    info.Timecode = FrameTimecode(info.Frame, info.FrameRate);
  }
  const TFootageFrame frame = input->Frame();
  if (frame.Depth > 1)
    FailLoad(fileName, "it is a volume picture, which this program does not read");
  CheckDeclaredSize(fileName, frame.Width, frame.Height, options);
  if (frame.Channels < 1)
    FailLoad(fileName, "the picture has no channels");
  const std::uint64_t needed =
      FootageMinimumFileSize(fileName, frame.Width, frame.Height, frame.Channels, frame.SampleBits());
  if (const std::uint64_t size = RegularFileSize(fileName); size < needed)
    FailLoad(fileName, "the file is cut off (its pixels need " + std::to_string(needed) + " bytes, it holds " +
                           std::to_string(size) + ")");
  const int width = frame.Width, height = frame.Height;
  info.Width = width;
  info.Height = height;

  // Every channel is read; the first three (or the first, for grey) are used.
  const int channels = frame.Channels, used = channels >= 3 ? 3 : 1;
  const std::size_t sampleSize = SampleSize(frame.Type);
  const std::vector<std::uint8_t> table =
      frame.Type == TSampleType::UInt16 ? Table16(std::clamp(frame.Bits, 1, 16)) : std::vector<std::uint8_t>();
  const std::size_t rowBytes = static_cast<std::size_t>(width) * channels * sampleSize;
  std::vector<unsigned char> rows(rowBytes * kBandRows);
  sink.Begin(width, height);
  for (int y0 = 0; y0 < height; y0 += kBandRows) {
    const int count = std::min(kBandRows, height - y0);
    if (!input->ReadRows(y0, y0 + count, rows.data()))
      FailLoad(fileName, "the picture data cannot be read (" + OneLine(input->Error()) + ")");
    const TRowBand band = sink.Band(y0, count);
    for (int r = 0; r < count; ++r) {
      const unsigned char *s = rows.data() + rowBytes * static_cast<std::size_t>(r);
      std::uint8_t *d = band.Bits + r * band.Stride;
      for (int x = 0; x < width; ++x, d += 3) {
        std::uint8_t v[3] = {0, 0, 0};
        for (int c = 0; c < used; ++c) {
          const unsigned char *p = s + (static_cast<std::size_t>(x) * channels + c) * sampleSize;
          switch (frame.Type) {
          case TSampleType::UInt8:
            v[c] = *p;
            break;
          case TSampleType::UInt16: {
            std::uint16_t code;
            std::memcpy(&code, p, 2);
            v[c] = table[code];
            break;
          }
          case TSampleType::Half: {
            Imath::half h;
            std::uint16_t bits;
            std::memcpy(&bits, p, 2);
            h.setBits(bits);
            v[c] = FromFloat(static_cast<float>(h));
            break;
          }
          case TSampleType::Float: {
            float value;
            std::memcpy(&value, p, 4);
            v[c] = FromFloat(value);
            break;
          }
          }
        }
        if (used == 1)
          v[1] = v[2] = v[0];
        d[0] = v[2];
        d[1] = v[1];
        d[2] = v[0];
      }
    }
    sink.Commit(y0, count);
  }
}

} // namespace tintwise::detail
