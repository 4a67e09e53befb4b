// The match workflow both front ends share: load and fit the two pictures, compute the primary
// correction, add the secondary corrections in order, and bring the working LUT to an output
// profile and write it. No widgets and no Qt: the window and tintwise-cli call the same functions,
// so they write the same bytes for the same choices.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/Bitmap24.h"
#include "engine/Lut.h"
#include "engine/SecondaryCorrection.h"
#include "imaging/PictureLoader.h"

namespace tintwise {

class TLUTFormat;
struct TLutOutputProfile;

// The lattice size every correction is computed in, whatever size is finally written.
constexpr int kWorkingSize = 33;

// A LUT of the working kind: a 3D lattice of kWorkingSize points per axis, every entry 0.
std::unique_ptr<TLUT> NewWorkingLUT();

// A picture fitted into the working box, with the size it has on disk (regions are given in those
// pixels on the command line).
struct TFittedPicture {
  TBitmap24 Bitmap;
  int Width = 0, Height = 0; // on disk
  TPictureInfo Info;         // the rest of what the load found: the frames of a movie
};

// Loads the picture (the frame of a movie the options name) and fits it into kFitWidth x kFitHeight
// with Lanczos3, as both front ends show and measure it, within the options' pixel limit. Raises
// EImageError naming the file.
TFittedPicture LoadFittedPicture(const std::string &fileName, const TPictureLoadOptions &options = {});

// Recomputes every point of `primary` (a working LUT) so that the source part's statistics match
// the reference part's; brightness and chroma are opacities (1 = 100 %).
void ComputePrimary(const TBitmap24 &reference, const TBitmap24 &source, double brightness, double chroma,
                    TLUT &primary);

// How one secondary correction is made: opacities (1 = 100 %) and the mask's softness in cells.
struct TSecondarySettings {
  double Brightness = 1.0;
  double Chroma = 1.0;
  int Softness = 2;
};

// A secondary correction record from a region of the reference and one of the source.
std::unique_ptr<TSecondCorrectionData> MakeSecondary(const TBitmap24 &reference, const TBitmap24 &source,
                                                     const TSecondarySettings &settings);

// The working LUT: an exact copy of the primary, then each secondary blended in, in order.
void BuildWorkingLUT(const TLUT &primary, const std::vector<const TSecondCorrectionData *> &secondaries,
                     TLUT &working);

// The source run through the working LUT: what the preview shows.
TBitmap24 CorrectedPicture(const TBitmap24 &source, const TLUT &working);

// Where and how a LUT is written: a profile of the profile table, the size (points per axis or
// curve entries) and the bit depth. FileName "-" is standard output.
struct TLutOutputChoice {
  int ProfileIndex = 0;
  int Size = 0;
  int Bits = 0;
  std::string FileName;
};

// The choice with the profile's own size and bits.
TLutOutputChoice DefaultOutputChoice(int profileIndex, std::string fileName = {});

// The largest size the profile's kind allows: kMaxSize3D or kMaxSize1D.
int MaxOutputSize(const TLutOutputProfile &profile);

// Brings the LUT to the profile's kind and size with AssignFrom and writes it through the profile's
// format. Raises ELUTError or EFCreateError naming the file.
void WriteLutThroughProfile(const TLUT &lut, const TLutOutputChoice &choice);

// Reads a LUT file through the format that claims it, or through `forced` when given. Returns the
// format that read it.
TLUTFormat *LoadAnyLut(const std::string &fileName, TLUT &lut, TLUTFormat *forced = nullptr);

} // namespace tintwise
