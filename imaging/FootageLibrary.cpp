// The OpenImageIO side of footage files, built as a module of its own (see FootageLibrary.h).
#include "imaging/FootageLibrary.h"

#include <OpenImageIO/filesystem.h>
#include <OpenImageIO/imageio.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace tintwise {

namespace {

namespace OIIO = OIIO_NAMESPACE;

OIIO::TypeDesc TypeOf(TSampleType type) {
  switch (type) {
  case TSampleType::UInt8: return OIIO::TypeDesc::UINT8;
  case TSampleType::UInt16: return OIIO::TypeDesc::UINT16;
  case TSampleType::Half: return OIIO::TypeDesc::HALF;
  default: return OIIO::TypeDesc::FLOAT;
  }
}

std::string Clean(const std::string &text) {
  std::string message = text;
  while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
    message.pop_back();
  const std::size_t newline = message.find('\n');
  if (newline != std::string::npos)
    message = message.substr(0, newline);
  return message.empty() ? "the picture library gave no reason" : message;
}

// The picture library sets aside the memory a header declares before it reads what it declared:
// the DPX reader the user-data size, 4 GB for a damaged 200-byte file, and OpenEXR the size of an
// attribute, nearly 2 GB for a damaged 400-byte file. Answers why a DPX or EXR header cannot be
// trusted that far, or an empty text; damage of any other kind is left to the library to report.
std::string HeaderProblem(const std::string &fileName) {
  std::unique_ptr<std::FILE, int (*)(std::FILE *)> file(std::fopen(fileName.c_str(), "rb"), std::fclose);
  unsigned char head[36];
  if (!file || std::fread(head, 1, sizeof head, file.get()) != sizeof head || std::fseek(file.get(), 0, SEEK_END) != 0)
    return {};
  const long size = std::ftell(file.get());
  if (size < 0)
    return {};
  const bool big = std::memcmp(head, "SDPX", 4) == 0;
  if (big || std::memcmp(head, "XPDS", 4) == 0) {
    std::uint32_t userSize = 0;
    for (int i = 0; i < 4; ++i)
      userSize = userSize << 8 | head[big ? 32 + i : 35 - i];
    if (userSize != 0xFFFFFFFFu && userSize > static_cast<unsigned long>(size))
      return "the DPX header declares " + std::to_string(userSize) + " bytes of user data in a file of " +
             std::to_string(size) + " bytes";
    return {};
  }
  if (std::memcmp(head, "\x76\x2f\x31\x01", 4) != 0 || std::fseek(file.get(), 8, SEEK_SET) != 0)
    return {};
  // An EXR header is a list of attributes (name, type, size, value) ended by an empty name; a
  // multi-part file holds headers up to an empty one.
  const bool multiPart = (head[5] & 0x10) != 0;
  // A null-terminated name of at most 255 characters; false at the end of the file or beyond that.
  const auto readText = [&](std::string &text) {
    text.clear();
    for (int c; (c = std::fgetc(file.get())) != 0;) {
      if (c == EOF || text.size() == 255)
        return false;
      text += static_cast<char>(c);
    }
    return true;
  };
  std::string name, type;
  do {
    if (!readText(name) || name.empty())
      return {};
    do {
      unsigned char word[4];
      if (!readText(type) || std::fread(word, 1, 4, file.get()) != 4)
        return {};
      const std::int32_t length =
          static_cast<std::int32_t>(word[0] | word[1] << 8 | word[2] << 16 | std::uint32_t(word[3]) << 24);
      if (length < 0 || length > size - std::ftell(file.get()))
        return "the EXR header declares " + std::to_string(length) + " bytes for its attribute \"" + name +
               "\" in a file of " + std::to_string(size) + " bytes";
      if (std::fseek(file.get(), length, SEEK_CUR) != 0 || !readText(name))
        return {};
    } while (!name.empty());
  } while (multiPart);
  return {};
}

class TOiioFootageFile final : public TFootageFile {
public:
  ~TOiioFootageFile() override { CloseOutput(); }
  bool Open(const std::string &fileName) override {
    // Frames run in parallel on our own threads; the library's pool on top of them only competes.
    static const bool single = OIIO::attribute("threads", 1);
    (void)single;
    if (const std::string problem = HeaderProblem(fileName); !problem.empty())
      return Fail(problem);
    OIIO::ImageSpec config;
    config.attribute("oiio:UnassociatedAlpha", 1);
    FIn = OIIO::ImageInput::open(fileName, &config);
    if (!FIn)
      return Fail(OIIO::geterror());
    FFrame = 0;
    return true;
  }
  bool IsMovie() override { return FIn->spec().get_int_attribute("oiio:Movie", 0) != 0; }
  int FrameCount() override { return std::max(1, FIn->spec().get_int_attribute("oiio:subimages", 1)); }
  bool SeekFrame(int frame) override {
    if (!FIn->seek_subimage(frame, 0))
      return Fail(FIn->geterror());
    FFrame = frame;
    return true;
  }
  TFootageFrame Frame() override {
    const OIIO::ImageSpec &spec = FIn->spec();
    TFootageFrame f;
    f.Width = spec.width;
    f.Height = spec.height;
    f.Depth = spec.depth;
    f.Channels = spec.nchannels;
    if (spec.format == OIIO::TypeDesc::UINT8 || spec.format == OIIO::TypeDesc::UINT16) {
      const int container = spec.format == OIIO::TypeDesc::UINT8 ? 8 : 16;
      f.Type = container == 8 ? TSampleType::UInt8 : TSampleType::UInt16;
      f.Bits = spec.get_int_attribute("oiio:BitsPerSample", container);
      if (f.Bits < 1 || f.Bits > container)
        f.Bits = container;
    } else {
      f.Type = spec.format == OIIO::TypeDesc::HALF ? TSampleType::Half : TSampleType::Float;
    }
    FType = TypeOf(f.Type);
    return f;
  }
  TOutputResult BeginOutput(const std::string &outputName, const std::string &writePath, const TFootageOutput &changes,
                            bool &whole) override {
    Frame();
    CloseOutput();
    FOut = OIIO::ImageOutput::create(outputName);
    if (!FOut) {
      Fail(OIIO::geterror());
      return TOutputResult::NoWriter;
    }
    OIIO::ImageSpec spec = FIn->spec();
    if (changes.DropMovieAttributes)
      for (const char *name : {"oiio:Movie", "oiio:subimages"})
        spec.erase_attribute(name);
    if (changes.ChangeType)
      spec.set_format(TypeOf(changes.Type));
    if (changes.GreyToColour) {
      const bool alpha = spec.nchannels == 2;
      spec.nchannels = alpha ? 4 : 3;
      spec.channelnames = {"R", "G", "B"};
      if (alpha)
        spec.channelnames.emplace_back("A");
      spec.alpha_channel = alpha ? 3 : -1;
      spec.channelformats.clear();
    }
    // The caller has made the (empty) file. Written through a stream of our own, it is neither
    // truncated again, which on ext4 makes closing it start its write-back there and then, nor
    // written in pieces of 4 KB. Only for the writers known to write the same bytes that way: the
    // TIFF writer, for one, loses its directory when it writes Exif data through a stream.
    const std::string writer = FOut->format_name();
    if ((writer == "dpx" || writer == "openexr") && FOut->supports("ioproxy")) {
      FStream = std::fopen(writePath.c_str(), "r+be");
      if (!FStream) {
        Fail(writePath + ": " + std::strerror(errno));
        FOut.reset();
        return TOutputResult::Failed;
      }
      // glibc takes the size only with a buffer of the caller's.
      if (!FStreamBuffer)
        FStreamBuffer = std::make_unique<char[]>(kStreamBuffer);
      std::setvbuf(FStream, FStreamBuffer.get(), _IOFBF, kStreamBuffer);
      FProxy = std::make_unique<OIIO::Filesystem::IOFile>(FStream, OIIO::Filesystem::IOProxy::Write);
      FOut->set_ioproxy(FProxy.get());
    }
    if (!FOut->open(writePath, spec)) {
      Fail(FOut->geterror());
      CloseOutput();
      return TOutputResult::Failed;
    }
    FWhole = whole = FOut->spec().tile_width > 0;
    return TOutputResult::Done;
  }
  bool ReadRows(int y0, int y1, void *pixels) override {
    const OIIO::ImageSpec &spec = FIn->spec();
    if (!FWhole && spec.tile_width > 0 && spec.tile_height > 0) {
      // Reading scanlines of a tiled file stops OpenImageIO 2.4 with a division by zero: read the
      // rows of whole tiles that hold y0..y1 and keep the ones asked for.
      const int th = spec.tile_height;
      const int t0 = y0 / th * th, t1 = std::min(spec.height, (y1 + th - 1) / th * th);
      const std::size_t row = static_cast<std::size_t>(spec.width) * spec.nchannels * FType.size();
      std::vector<unsigned char> tiles(row * static_cast<std::size_t>(t1 - t0));
      if (!FIn->read_tiles(FFrame, 0, spec.x, spec.x + spec.width, spec.y + t0, spec.y + t1, spec.z, spec.z + 1, 0,
                           spec.nchannels, FType, tiles.data()))
        return Fail(FIn->geterror());
      std::memcpy(pixels, tiles.data() + row * static_cast<std::size_t>(y0 - t0),
                  row * static_cast<std::size_t>(y1 - y0));
      return true;
    }
    // Asked for in its own type, the library reads straight into our rows; named, it reads into a
    // scratch buffer of 64 MB first and copies.
    const OIIO::TypeDesc want = FType == spec.format && spec.channelformats.empty() ? OIIO::TypeDesc::UNKNOWN : FType;
    const bool ok = FWhole ? FIn->read_image(FFrame, 0, 0, spec.nchannels, want, pixels)
                           : FIn->read_scanlines(FFrame, 0, spec.y + y0, spec.y + y1, 0, 0, spec.nchannels, want, pixels);
    return ok || Fail(FIn->geterror());
  }
  bool WriteRows(int y0, int y1, const void *pixels) override {
    const int y = FIn->spec().y;
    const bool ok = FWhole ? FOut->write_image(FType, pixels) : FOut->write_scanlines(y + y0, y + y1, 0, FType, pixels);
    return ok || Fail(FOut->geterror());
  }
  bool EndOutput() override {
    bool ok = FOut->close();
    if (!ok)
      Fail(FOut->geterror());
    if (!CloseOutput() && ok)
      ok = Fail(std::strerror(errno));
    return ok;
  }
  std::string Error() override { return FError; }
  double FrameRate() override {
    int rate[2] = {0, 1};
    if (FIn->spec().getattribute("FramesPerSecond", OIIO::TypeRational, rate) && rate[0] > 0 && rate[1] > 0)
      return static_cast<double>(rate[0]) / rate[1];
    return FIn->spec().get_float_attribute("FramesPerSecond", 0.0f);
  }

private:
  std::unique_ptr<OIIO::ImageInput> FIn;
  static constexpr std::size_t kStreamBuffer = std::size_t(1) << 20;
  std::unique_ptr<OIIO::ImageOutput> FOut;
  std::unique_ptr<OIIO::Filesystem::IOFile> FProxy;
  std::FILE *FStream = nullptr;
  std::unique_ptr<char[]> FStreamBuffer; // outlives FStream
  OIIO::TypeDesc FType = OIIO::TypeDesc::FLOAT;
  int FFrame = 0;
  bool FWhole = false;
  std::string FError;

  // Drops the writer and its stream; false when the stream's last bytes could not be written.
  bool CloseOutput() {
    FOut.reset();
    FProxy.reset();
    bool ok = true;
    if (FStream) {
      ok = std::fclose(FStream) == 0;
      FStream = nullptr;
    }
    return ok;
  }

  bool Fail(const std::string &message) {
    FError = Clean(message);
    return false;
  }
};

} // namespace

} // namespace tintwise

extern "C" __attribute__((visibility("default"))) tintwise::TFootageFile *TintwiseNewFootageFile() {
  try {
    return new tintwise::TOiioFootageFile();
  } catch (...) {
    return nullptr;
  }
}
