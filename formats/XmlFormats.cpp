#include "formats/XmlFormats.h"

#include <bit>
#include <cmath>
#include <cstdint>

#include "formats/LutChars.h"
#include "formats/LutTokens.h"
#include "formats/LutWriting.h"
#include "formats/XmlReader.h"

namespace tintwise {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

} // namespace

bool ReadHexFloat(std::string_view Data, std::size_t &Pos, float &Value) {
  std::uint32_t bits = 0;
  int digits = 0;
  while (digits < 8 && Pos < Data.size()) {
    const int d = HexDigit(Data[Pos++]);
    if (d < 0)
      continue;
    // Digit pairs are bytes, the first pair the lowest byte; within a pair the first digit is high.
    const int byte = digits / 2;
    const int shift = byte * 8 + (digits % 2 == 0 ? 4 : 0);
    bits |= static_cast<std::uint32_t>(d) << shift;
    ++digits;
  }
  if (digits < 8)
    return false;
  const float f = std::bit_cast<float>(bits);
  Value = std::isnan(f) ? 0.0f : f;
  return true;
}

// ---------------------------------------------------------------------------------------------
// Adobe Speedgrade Look 3D

bool TSpeedgradeLook3DLutFormat::CanRead(const TLutFileHead &Head) const {
  return Head.HasKeywords("<look>,<shaders>", "");
}

void TSpeedgradeLook3DLutFormat::DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) {
  ResetParseState(fileName);
  Size = 0;
  TXMLNode root;
  root.LoadXMLText(Bytes);
  FSawText = true;
  std::string_view data;
  std::string sizeText;
  const TXMLNode *look = root.FindNode("look");
  // A look without a baked LUT is the identity, but a file without a look is no look file.
  if (!look)
    Fail("no <look> element; the file is not a Speedgrade look.");
  const TXMLNode *lut = look->FindNode("lut");
  if (lut) {
    // The size is written in quotes ("33"). Only quotes are taken off: cutting the first and last
    // characters whatever they are would read an unquoted 129 as 2.
    std::string_view size = TrimLut(lut->NodeByName("size").Value.Text);
    sizeText.assign(size);
    if (!size.empty() && (size.front() == '"' || size.front() == '\''))
      size.remove_prefix(1);
    if (!size.empty() && (size.back() == '"' || size.back() == '\''))
      size.remove_suffix(1);
    Size = LutStrToInt(size);
    data = lut->NodeByName("data").Value.Text;
  }
  // A look without a baked LUT changes nothing.
  if (Size == 0) {
    LUT.Mode = kModeIdentity;
    return;
  }
  CheckSize3D(Size, "<size>" + sizeText + "</size>");
  std::size_t pos = 0;
  while (!Complete && pos + 1 < data.size()) {
    float r, g, b;
    // Data that ends inside a value ends the reading; the check below reports it.
    if (!ReadHexFloat(data, pos, r) || !ReadHexFloat(data, pos, g) || !ReadHexFloat(data, pos, b))
      break;
    StoreRedFastest(LUT, r, g, b);
  }
  // Points the data does not reach would keep whatever they held before.
  if (!Complete)
    FailIncomplete();
  LUT.Mode = kMode3D;
  LUT.Size3D = Size;
}

// ---------------------------------------------------------------------------------------------
// PixelFarm PFClean 3D

bool TPFClean3D_Format::CanRead(const TLutFileHead &Head) const {
  return Head.HasKeywords("<lut,<maximum>,<cube>", "");
}

void TPFClean3D_Format::DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) {
  ResetParseState(fileName);
  TXMLNode root;
  root.LoadXMLText(Bytes);
  FSawText = true;
  const TXMLNode &lut = root.NodeByName("lut");
  const TXMLValue &size = lut.NodeByName("size").Value;
  const TXMLValue &maximum = lut.NodeByName("maximum").Value;
  Size = size.AsInteger();
  Depth = maximum.AsInteger();
  const std::string &cube = lut.NodeByName("cube").Value.Text;
  CheckSize3D(Size, "<size>" + std::string(TrimLut(size.Text)) + "</size>");
  if (Depth < 1)
    Fail("<maximum>" + std::string(TrimLut(maximum.Text)) + "</maximum>: the maximum code must be 1 or more.");
  TTextFile lines;
  lines.SetText(cube);
  lines.ForEachLine([&](std::string_view line) {
    if (Complete)
      return;
    double r, g, b;
    if (ParseIntTriple(line, Depth, false, r, g, b))
      StoreBlueFastest(LUT, r, g, b);
  });
  // Points the data does not reach would keep whatever they held before.
  if (!Complete)
    FailIncomplete();
  LUT.Mode = kMode3D;
  LUT.Size3D = Size;
}

void TPFClean3D_Format::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) {
  TTextFile lines;
  lines.Add("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>");
  lines.Add("<lut type=\"ascii\">");
  TLineBuilder().Text("<maximum>").Int((1LL << Bits) - 1).Text("</maximum>").AddTo(lines);
  TLineBuilder().Text("<size>").Int(LUT.Size3D).Text("</size>").AddTo(lines);
  lines.Add("<cube>");
  AddLatticeLines(lines, LUT, TLatticeOrder::BlueFastest, {.Bits = Bits});
  lines.Add("</cube>");
  lines.Add("</lut>");
  lines.SaveToFile(FileName);
}

} // namespace tintwise
