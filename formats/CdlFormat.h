// ASC colour decision records: one ColorCorrection (slope, offset, power, saturation), read from a
// .cc document and baked into a 33-point lattice.
#pragma once

#include <string>

#include "formats/LutFormat.h"

namespace tintwise {

struct TCDLChannel {
  float Slope = 1.0f;
  float Offset = 0.0f;
  float Power = 1.0f;
};

struct TCDLData {
  TCDLChannel Channel[3]; // red, green, blue
  float Saturation = 1.0f;
  std::string Id; // the id attribute of the correction
};

// Fills the record from a document whose top-level element is a ColorCorrection. Raises EXMLError
// for a missing element and EConvertError for a number that does not read.
void LoadCDLFile(const std::string &FileName, TCDLData &Data);
// The same for the text of a file.
void LoadCDLText(std::string_view Text, TCDLData &Data);

// Slope, offset and power per channel (the power only on values above 0; others give 0), then the
// saturation around the plain mean of the three channels; single precision, no clamping.
void ApplyCDL(const TCDLData &Data, float R, float G, float B, float &OutR, float &OutG, float &OutB);

class TASC_CDL_Format : public TGenericLutFormat {
public:
  // The size of the lattice a correction is baked into, whatever the file.
  static constexpr int kLatticeSize = 33;

  TASC_CDL_Format() : TGenericLutFormat("ASC CDL", true) {}
  // A ColorCorrection with a slope-offset-power node; collections are not taken.
  bool CanRead(const TLutFileHead &Head) const override;

protected:
  void DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) override;
  void DoSaveToFile(const std::string &, const TLUT &, int) override {}
};

} // namespace tintwise
