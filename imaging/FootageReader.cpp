// Footage through OpenImageIO: DPX, Cineon, OpenEXR, PNG and TIFF of more than 8 bits a channel,
// and frames of movie files through its FFmpeg reader. Rows are read a strip at a time and turned
// into the 8-bit working picture as they come:
//   integer codes of b bits: code x 255 / (2^b - 1), rounded to the nearest (never a tie: 2^b - 1
//     is odd). OpenImageIO widens 10- and 12-bit codes to 16 bits; the file's own code is recovered
//     from that exactly before it is scaled.
//   floats: clamped to 0..1 (NaN to 0), then value x 255 rounded to the nearest, halves to even.
// Alpha is dropped; pictures of one or two channels are grey (the second channel is alpha).
#include <OpenImageIO/imageio.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/FootageFiles.h"
#include "imaging/FrameSpec.h"
#include "imaging/PictureRows.h"

namespace tintwise::detail {

namespace {

// OpenImageIO's error text, on one line, without a trailing full stop.
std::string OneLine(std::string text) {
  for (char &c : text)
    if (c == '\n' || c == '\r')
      c = ' ';
  while (!text.empty() && (text.back() == ' ' || text.back() == '.'))
    text.pop_back();
  return text.empty() ? "the reader gives no reason" : text;
}

// Movie files go to the FFmpeg reader whatever their extension (OpenImageIO knows it by a few).
std::unique_ptr<OIIO::ImageInput> OpenInput(const std::string &fileName, bool movie) {
  OIIO::ImageSpec config;
  config.attribute("oiio:UnassociatedAlpha", 1); // the stored colour, not one multiplied by alpha
  std::unique_ptr<OIIO::ImageInput> input;
  if (movie) {
    input = OIIO::ImageInput::create("ffmpeg");
    OIIO::ImageSpec spec;
    if (input && !input->open(fileName, spec, config))
      FailLoad(fileName, "the file is not a readable movie (" + OneLine(input->geterror()) + ")");
  } else {
    input = OIIO::ImageInput::open(fileName, &config);
  }
  if (!input)
    FailLoad(fileName, "the file is not a readable picture of its type (" + OneLine(OIIO::geterror()) + ")");
  return input;
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

bool MovieReaderAvailable() {
  static const bool available = [] {
    std::string list;
    OIIO::getattribute("format_list", list);
    list = "," + list + ",";
    return list.find(",ffmpeg,") != std::string::npos;
  }();
  return available;
}

bool IsDeepPicture(const std::string &fileName) {
  TQuietStandardError quiet;
  OIIO::ImageSpec config;
  auto input = OIIO::ImageInput::open(fileName, &config);
  if (!input) {
    (void)OIIO::geterror();
    return false;
  }
  const OIIO::TypeDesc type = input->spec().format;
  input->close();
  (void)input->geterror();
  return type.size() > 1 || type.is_floating_point();
}

void DecodeFootage(const std::string &fileName, TRowSink &sink, const TPictureLoadOptions &options,
                   TPictureInfo &info) {
  ::close(OpenPictureFile(fileName)); // a regular file the user may read; a FIFO is refused here
  TQuietStandardError quiet;
  std::unique_ptr<OIIO::ImageInput> input = OpenInput(fileName, IsMovieFileName(fileName));
  int subimage = 0;
  if (input->spec().get_int_attribute("oiio:Movie", 0) != 0) {
    info.IsMovie = true;
    info.FrameCount = std::max(1, input->spec().get_int_attribute("oiio:subimages", 1));
    int rate[2] = {0, 1};
    if (input->spec().getattribute("FramesPerSecond", OIIO::TypeRational, rate) && rate[1] > 0 && rate[0] > 0)
      info.FrameRate = static_cast<double>(rate[0]) / rate[1];
    else
      info.FrameRate = input->spec().get_float_attribute("FramesPerSecond", 0.0f);
    if (!options.Frame.empty())
      info.Frame = FrameNumberOf(ParseFrameSpec(options.Frame), info.FrameRate);
    if (info.Frame >= info.FrameCount)
      FailLoad(fileName, "frame " + std::to_string(info.Frame) + " is past the end of the movie (it has " +
                             std::to_string(info.FrameCount) + " frames, 0 to " +
                             std::to_string(info.FrameCount - 1) + ")");
    subimage = static_cast<int>(info.Frame);
    if (subimage > 0 && !input->seek_subimage(subimage, 0))
      FailLoad(fileName, "frame " + std::to_string(info.Frame) + " cannot be read (" + OneLine(input->geterror()) + ")");
    info.Timecode = FrameTimecode(info.Frame, info.FrameRate);
  }
  const OIIO::ImageSpec spec = input->spec();
  if (spec.deep)
    FailLoad(fileName, "it holds deep data (several samples a pixel), which this program does not read");
  if (spec.depth > 1)
    FailLoad(fileName, "it is a volume picture, which this program does not read");
  CheckDeclaredSize(fileName, spec.width, spec.height, options);
  if (spec.nchannels < 1)
    FailLoad(fileName, "the picture has no channels");
  const int width = spec.width, height = spec.height;
  info.Width = width;
  info.Height = height;

  // What the rows are read as, and how a value becomes 8 bits.
  const int channels = spec.nchannels >= 3 ? 3 : 1;
  const OIIO::TypeDesc::BASETYPE base = static_cast<OIIO::TypeDesc::BASETYPE>(spec.format.basetype);
  OIIO::TypeDesc type = OIIO::TypeDesc::FLOAT;
  std::vector<std::uint8_t> table;
  if (base == OIIO::TypeDesc::UINT8) {
    type = OIIO::TypeDesc::UINT8;
  } else if (base == OIIO::TypeDesc::UINT16) {
    type = OIIO::TypeDesc::UINT16;
    table = Table16(std::clamp(spec.get_int_attribute("oiio:BitsPerSample", 16), 1, 16));
  } else if (base == OIIO::TypeDesc::UINT32) {
    type = OIIO::TypeDesc::UINT32;
  }
  const std::size_t valueSize = type.size();
  const std::size_t rowBytes = static_cast<std::size_t>(width) * channels * valueSize;

  // Strips of whole tiles for tiled files, else of kBandRows rows.
  const bool tiled = spec.tile_width > 0 && spec.tile_height > 0;
  const int strip = tiled ? std::max(1, spec.tile_height) * std::max(1, kBandRows / std::max(1, spec.tile_height))
                          : kBandRows;
  std::vector<unsigned char> rows(rowBytes * static_cast<std::size_t>(strip));
  sink.Begin(width, height);
  for (int y0 = 0; y0 < height; y0 += strip) {
    const int count = std::min(strip, height - y0);
    const bool ok =
        tiled ? input->read_tiles(subimage, 0, spec.x, spec.x + width, spec.y + y0, spec.y + y0 + count, spec.z,
                                  spec.z + 1, 0, channels, type, rows.data())
              : input->read_scanlines(subimage, 0, spec.y + y0, spec.y + y0 + count, spec.z, 0, channels, type,
                                      rows.data());
    if (!ok)
      FailLoad(fileName, "the picture data cannot be read (" + OneLine(input->geterror()) + ")");
    for (int b0 = 0; b0 < count; b0 += kBandRows) {
      const int bandRows = std::min(kBandRows, count - b0);
      const TRowBand band = sink.Band(y0 + b0, bandRows);
      for (int r = 0; r < bandRows; ++r) {
        const unsigned char *s = rows.data() + rowBytes * static_cast<std::size_t>(b0 + r);
        std::uint8_t *d = band.Bits + r * band.Stride;
        for (int x = 0; x < width; ++x, d += 3) {
          std::uint8_t v[3];
          for (int c = 0; c < channels; ++c) {
            const std::size_t at = (static_cast<std::size_t>(x) * channels + c) * valueSize;
            if (type == OIIO::TypeDesc::UINT8) {
              v[c] = s[at];
            } else if (type == OIIO::TypeDesc::UINT16) {
              std::uint16_t code;
              std::memcpy(&code, s + at, 2);
              v[c] = table[code];
            } else if (type == OIIO::TypeDesc::UINT32) {
              std::uint32_t code;
              std::memcpy(&code, s + at, 4);
              constexpr std::uint64_t max = 0xFFFFFFFFull;
              v[c] = static_cast<std::uint8_t>((2 * std::uint64_t(code) * 255 + max) / (2 * max));
            } else {
              float value;
              std::memcpy(&value, s + at, 4);
              v[c] = FromFloat(value);
            }
          }
          if (channels == 1)
            v[1] = v[2] = v[0];
          d[0] = v[2];
          d[1] = v[1];
          d[2] = v[0];
        }
      }
      sink.Commit(y0 + b0, bandRows);
    }
  }
  input->close();
}

} // namespace tintwise::detail
