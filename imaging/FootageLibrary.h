// The part of footage reading and writing that needs OpenImageIO. It lives in a module of its own,
// loaded the first time a program touches footage: OpenImageIO brings a couple of hundred libraries
// with it, and loading them at every start would cost a second to every tintwise-cli command and
// to the window, most of which never read a DPX. The interface is plain: no exceptions cross it,
// failures return false and leave a message in Error().
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace tintwise {

enum class TSampleType { UInt8, UInt16, Half, Float };

// Bytes of one sample of `type` in memory.
inline std::size_t SampleSize(TSampleType type) {
  switch (type) {
  case TSampleType::UInt8: return 1;
  case TSampleType::UInt16:
  case TSampleType::Half: return 2;
  default: return 4;
  }
}

struct TFootageFrame {
  int Width = 0, Height = 0, Depth = 1, Channels = 0;
  TSampleType Type = TSampleType::Float; // how the frame is held: its own integer type, else half or float
  int Bits = 0;                          // significant bits of integer samples; 0 for floats
  // The fewest bits a sample takes in the file: Bits, 16 for half floats, 32 for other floats.
  int SampleBits() const { return Bits > 0 ? Bits : Type == TSampleType::Half ? 16 : 32; }
};

// What the output's description changes against the frame's own (metadata, alpha and the rest
// pass through as they are).
struct TFootageOutput {
  bool DropMovieAttributes = false; // frames of a movie written as single pictures
  bool ChangeType = false;          // write the samples as Type (the library converts)
  TSampleType Type = TSampleType::Half;
  bool GreyToColour = false;        // a grey frame (and alpha) written as red, green, blue (and alpha)
};

enum class TOutputResult { Done, NoWriter, Failed };

class TFootageFile {
public:
  virtual ~TFootageFile() = default;
  // Opens the picture or movie; colours are read as stored, not premultiplied by alpha.
  virtual bool Open(const std::string &fileName) = 0;
  virtual bool IsMovie() = 0;
  virtual int FrameCount() = 0;
  virtual bool SeekFrame(int frame) = 0;
  virtual TFootageFrame Frame() = 0;
  // Starts writing the current frame's description to writePath in the format outputName's
  // extension names. whole is set when the writer takes the frame only whole (tiled outputs).
  virtual TOutputResult BeginOutput(const std::string &outputName, const std::string &writePath,
                                    const TFootageOutput &changes, bool &whole) = 0;
  // Rows y0..y1 of the current frame (0-based from the top of its data), all channels, as the
  // frame's Type; the whole frame when whole was set.
  virtual bool ReadRows(int y0, int y1, void *pixels) = 0;
  virtual bool WriteRows(int y0, int y1, const void *pixels) = 0;
  virtual bool EndOutput() = 0;
  virtual std::string Error() = 0;
  // Frames a second of a movie, 0 when the file does not say.
  virtual double FrameRate() = 0;
};

// A footage file from the module, which is loaded on first use. Raises EImageError when the module
// cannot be loaded.
std::unique_ptr<TFootageFile> NewFootageFile();

} // namespace tintwise

// The module's one entry point.
extern "C" tintwise::TFootageFile *TintwiseNewFootageFile();
