#include "formats/CdlFormat.h"

#include <cmath>

#include "engine/FileAccess.h"
#include "formats/LutChars.h"
#include "formats/LutTokens.h"
#include "formats/XmlReader.h"

namespace tintwise {

namespace {

// The first three words of an element's text, split at single blanks, tabs or commas, as numbers
// with "." for the decimal point. What follows the third word is ignored.
void ReadThree(const TXMLNode &node, float &r, float &g, float &b) {
  std::string_view text = node.Value.Text;
  float *out[3] = {&r, &g, &b};
  for (float *v : out) {
    std::string_view word;
    NextToken(text, word);
    double d;
    if (!TryParseLutFloat(word, d))
      throw EConvertError("'" + std::string(word) + "' is not a valid floating point value");
    *v = static_cast<float>(d);
  }
}

} // namespace

void LoadCDLFile(const std::string &FileName, TCDLData &Data) {
  LoadCDLText(ReadWholeFile(FileName, kSmallTextBytes, "a CDL file"), Data);
}

void LoadCDLText(std::string_view Text, TCDLData &Data) {
  TXMLNode root;
  root.LoadXMLText(Text);
  const TXMLNode &cc = root.NodeByName("ColorCorrection");
  const TXMLValue *id = cc.Attributes.Find("id");
  Data.Id = id ? id->Text : std::string();

  const TXMLNode &sop = cc.NodeByName("SOPNode");
  TCDLChannel (&ch)[3] = Data.Channel;
  ReadThree(sop.NodeByName("Slope"), ch[0].Slope, ch[1].Slope, ch[2].Slope);
  ReadThree(sop.NodeByName("Offset"), ch[0].Offset, ch[1].Offset, ch[2].Offset);
  ReadThree(sop.NodeByName("Power"), ch[0].Power, ch[1].Power, ch[2].Power);

  Data.Saturation = 1.0f;
  if (const TXMLNode *sat = cc.FindNode("SATNode"))
    if (const TXMLNode *saturation = sat->FindNode("Saturation"))
      Data.Saturation = static_cast<float>(saturation->Value.AsFloat());
}

void ApplyCDL(const TCDLData &Data, float R, float G, float B, float &OutR, float &OutG, float &OutB) {
  const float in[3] = {R, G, B};
  float y[3];
  for (int c = 0; c < 3; ++c) {
    const TCDLChannel &ch = Data.Channel[c];
    const float v = in[c] * ch.Slope + ch.Offset;
    // Zero, negative and not-a-number values give 0.
    y[c] = v > 0.0f ? std::pow(v, ch.Power) : 0.0f;
  }
  const float mean = (y[0] + y[1] + y[2]) / 3.0f;
  const float s = Data.Saturation;
  OutR = y[0] * s + (1.0f - s) * mean;
  OutG = y[1] * s + (1.0f - s) * mean;
  OutB = y[2] * s + (1.0f - s) * mean;
}

bool TASC_CDL_Format::CanRead(const TLutFileHead &Head) const {
  return Head.HasKeywords("<ColorCorrection,<SOPNode>", "<ColorCorrectionCollection");
}

void TASC_CDL_Format::DoLoad(std::string_view Bytes, const std::string &, TLUT &LUT) {
  TCDLData data;
  LoadCDLText(Bytes, data);
  LUT.Comments.push_back("Name: " + data.Id);
  const int n = kLatticeSize;
  for (int r = 0; r < n; ++r)
    for (int g = 0; g < n; ++g)
      for (int b = 0; b < n; ++b) {
        float outR, outG, outB;
        ApplyCDL(data, r / float(n - 1), g / float(n - 1), b / float(n - 1), outR, outG, outB);
        LUT.Lattice[r][g][b] = {outR, outG, outB};
      }
  LUT.Mode = kMode3D;
  LUT.Size3D = n;
}

} // namespace tintwise
