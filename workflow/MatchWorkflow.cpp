#include "workflow/MatchWorkflow.h"

#include "engine/Errors.h"
#include "engine/FileAccess.h"
#include "engine/PrimaryCorrection.h"
#include "formats/LutFormat.h"
#include "imaging/ImageResize2.h"
#include "imaging/PictureLoader.h"

#include <unistd.h>

namespace tintwise {

std::unique_ptr<TLUT> NewWorkingLUT() {
  auto lut = std::make_unique<TLUT>();
  lut->Mode = kMode3D;
  lut->Size3D = kWorkingSize;
  return lut;
}

TFittedPicture LoadFittedPicture(const std::string &fileName, const TPictureLoadOptions &options) {
  TFittedPicture picture;
  LoadImageFile(fileName, picture.Bitmap, options, &picture.Info);
  picture.Width = picture.Info.Width;
  picture.Height = picture.Info.Height;
  return picture;
}

void ComputePrimary(const TBitmap24 &reference, const TBitmap24 &source, double brightness, double chroma,
                    TLUT &primary) {
  ApplyPrimaryCorrection(reference, source, primary, brightness, chroma, chroma);
}

std::unique_ptr<TSecondCorrectionData> MakeSecondary(const TBitmap24 &reference, const TBitmap24 &source,
                                                     const TSecondarySettings &settings) {
  auto data = std::make_unique<TSecondCorrectionData>();
  CalcSecondaryStatistics(reference, source, *data);
  BuildSecondaryMask(source, *data, settings.Softness);
  data->Opacity = {settings.Brightness, settings.Chroma, settings.Chroma};
  return data;
}

void BuildWorkingLUT(const TLUT &primary, const std::vector<const TSecondCorrectionData *> &secondaries,
                     TLUT &working) {
  working.AssignFrom(primary);
  for (const TSecondCorrectionData *data : secondaries)
    ApplySecondaryCorrection(*data, working);
}

TBitmap24 CorrectedPicture(const TBitmap24 &source, const TLUT &working) {
  TBitmap24 corrected = source;
  working.ApplyToBitmap(corrected);
  return corrected;
}

TLutOutputChoice DefaultOutputChoice(int profileIndex, std::string fileName) {
  const TLutOutputProfile &profile = GetLutOutputProfile(profileIndex);
  return {profileIndex, profile.DefaultSize, profile.DefaultBits, std::move(fileName)};
}

int MaxOutputSize(const TLutOutputProfile &profile) {
  return GetLutFormat(profile.FormatIndex)->Is3D ? kMaxSize3D : kMaxSize1D;
}

void WriteLutThroughProfile(const TLUT &lut, const TLutOutputChoice &choice) {
  const TLutOutputProfile &profile = GetLutOutputProfile(choice.ProfileIndex);
  TLUTFormat *format = GetLutFormat(profile.FormatIndex);
  auto out = std::make_unique<TLUT>();
  if (format->Is3D) {
    out->Mode = kMode3D;
    out->Size3D = choice.Size;
  } else {
    out->Mode = kMode1D;
    out->Size1D = choice.Size;
  }
  out->AssignFrom(lut);
  format->SaveToFile(choice.FileName, *out, choice.Bits);
}

TLUTFormat *LoadAnyLut(const std::string &fileName, TLUT &lut, TLUTFormat *forced) {
  ::close(OpenRegularFile(fileName)); // a missing file, a folder or a pipe is named as such at once
  if (forced) {
    forced->LoadFromFile(fileName, lut);
    return forced;
  }
  return LoadLutFile(fileName, lut);
}

} // namespace tintwise
