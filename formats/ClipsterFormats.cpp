#include "formats/ClipsterFormats.h"

#include <cmath>

#include "formats/LutChars.h"
#include "formats/LutReading.h"
#include "formats/LutTokens.h"
#include "formats/LutWriting.h"
#include "formats/XmlReader.h"

namespace tintwise {

namespace {

// The edge of a lattice of `count` points, or 0 when count is not the cube of a whole number.
std::int64_t CubeEdge(std::int64_t count) {
  if (count <= 0)
    return 0;
  const std::int64_t n = std::llround(std::cbrt(static_cast<double>(count)));
  return n * n * n == count ? n : 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Clipster 3D

bool TClipster3DLutFormat::CanRead(const TLutFileHead &Head) const { return Head.HasKeywords("<LUT3D", ""); }

void TClipster3DLutFormat::DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) {
  ResetParseState(fileName);
  TXMLNode root;
  root.LoadXMLText(Bytes);
  FSawText = true;
  TXMLNode &lut = root.NodeByName("LUT3D");
  const TXMLValue &n = lut.Attributes.ValueOf("N");
  const TXMLValue &bits = lut.Attributes.ValueOf("BitDepth");
  Size = n.AsInteger();
  Depth = bits.AsInteger();
  CheckSize3D(Size, "N='" + n.Text + "'");
  // Without a bit depth the codes cannot be scaled: a maximum code of 0 would divide by zero.
  if (TrimLut(bits.Text).empty())
    Fail("the LUT3D element has no BitDepth attribute; the values cannot be scaled.");
  if (Depth < 1 || Depth > 31)
    Fail("BitDepth='" + bits.Text + "': 1 to 31 bits are possible.");
  LUT.Comments.push_back("Name: " + lut.Attributes.ValueOf("name").Text);

  const int maxCode = static_cast<int>((1LL << Depth) - 1);
  TTextFile lines;
  lines.SetText(lut.NodeByName("values").Value.Text);
  lines.ForEachLine([&](std::string_view line) {
    if (Complete)
      return;
    double r, g, b;
    if (ParseIntTriple(line, maxCode, false, r, g, b))
      StoreBlueFastest(LUT, r, g, b);
  });
  // A short list would leave the rest of the lattice holding whatever it held before.
  if (!Complete)
    FailIncomplete();
  LUT.Mode = kMode3D;
  LUT.Size3D = Size;
}

void TClipster3DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) {
  TTextFile lines;
  TLineBuilder()
      .Text("<LUT3D name='")
      .Text(XmlEscape(FileTitle(FileName)))
      .Text("' N='")
      .Int(LUT.Size3D)
      .Text("' BitDepth='")
      .Int(Bits)
      .Text("'>")
      .AddTo(lines);
  lines.Add("<values>");
  AddLatticeLines(lines, LUT, TLatticeOrder::BlueFastest, {.Bits = Bits});
  lines.Add("</values>");
  lines.Add("</LUT3D>");
  lines.SaveToFile(FileName);
}

// ---------------------------------------------------------------------------------------------
// Luther 3D

bool TLuther3DLutFormat::CanRead(const TLutFileHead &Head) const {
  return Head.HasKeywords("channels: c3", "");
}

void TLuther3DLutFormat::ParseLine(std::string_view Line, TLUT &LUT) {
  const std::string_view t = TrimLut(Line);
  if (t.empty())
    return;
  if (Size == -1) {
    if (const int p = PosNoCase("elements =", Line)) {
      const std::int32_t count = LutStrToInt(AfterKeyword(Line, p, 10));
      const std::int64_t n = CubeEdge(count);
      if (n == 0)
        Fail(std::string(t) + ": the number of elements is not the cube of a whole number.");
      CheckSize3D(n, t);
      Size = static_cast<std::int32_t>(n);
      return;
    }
  }
  if (t[0] == '#' || Size == -1 || Complete)
    return;
  // Always 10-bit codes, whatever the file holds.
  double r, g, b;
  if (ReadIntLine(Line, 1023, false, r, g, b))
    StoreBlueFastest(LUT, r, g, b);
}

void TLuther3DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) {
  const long long n = LUT.Size3D;
  TTextFile lines;
  lines.Add("#channels: c3");
  TLineBuilder().Text("#elements = ").Int(n * n * n).AddTo(lines);
  AddLatticeLines(lines, LUT, TLatticeOrder::BlueFastest, {.Bits = Bits});
  lines.SaveToFile(FileName);
}

// ---------------------------------------------------------------------------------------------
// Blue-first lattices

void TBlueFirst3DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int) {
  TTextFile lines;
  AddLatticeLines(lines, LUT, TLatticeOrder::RedFastest, {.BlueFirst = true});
  lines.SaveToFile(FileName);
}

void TBlueFirst3DLutFormat::SizeFromValueLines() {
  std::int64_t count = 0;
  double r, g, b;
  Lines->ForEachLine([&](std::string_view line) {
    if (ParseFloatTriple(line, r, g, b))
      ++count;
  });
  const std::int64_t n = CubeEdge(count);
  if (n == 0)
    Fail("the file holds " + std::to_string(count) +
         " lines of values, which is not the number of points of a lattice (n * n * n).");
  CheckSize3D(n, std::to_string(count) + " lines of values");
  Size = static_cast<std::int32_t>(n);
}

void TBlueFirst3DLutFormat::StoreBlueFirst(std::string_view Line, TLUT &LUT) {
  if (Complete)
    return;
  double first, second, third;
  if (ReadFloatLine(Line, first, second, third))
    StoreRedFastest(LUT, third, second, first); // the line holds blue, green, red
}

bool TColorFrontOSD3DLutFormat::CanRead(const TLutFileHead &Head) const {
  return Head.Extension() == ".3dmesh";
}

void TColorFrontOSD3DLutFormat::ParseLine(std::string_view Line, TLUT &LUT) {
  const std::string_view t = TrimLut(Line);
  if (t.empty())
    return;
  if (Size == -1)
    SizeFromValueLines();
  if (t[0] == '#')
    return;
  // The file has no header: words before the first values mean it is some other kind of file.
  if (FStored == 0 && !StartsLikeValues(t))
    FailNotValueLine(t);
  StoreBlueFirst(Line, LUT);
}

bool TDavinciDat3DLutFormat::CanRead(const TLutFileHead &Head) const {
  if (Head.HasKeywords("3DLUTSIZE", ""))
    return true;
  if (Head.Extension() != ".dat")
    return false;
  TTextFile head;
  head.SetTextView(Head.Bytes());
  bool found = false;
  double r, g, b;
  head.ForEachLine([&](std::string_view line) { found = found || ParseFloatTriple(line, r, g, b); });
  return found;
}

void TDavinciDat3DLutFormat::DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) {
  FHasHeader = TLutFileHead(fileName, Bytes.substr(0, TLutFileHead::kKeywordBytes)).HasKeywords("3DLUTSIZE", "");
  TBlueFirst3DLutFormat::DoLoad(Bytes, fileName, LUT);
}

void TDavinciDat3DLutFormat::ParseLine(std::string_view Line, TLUT &LUT) {
  const std::string_view t = TrimLut(Line);
  if (t.empty() || t[0] == '#')
    return;
  if (!FHasHeader && FStored == 0 && !StartsLikeValues(t))
    FailNotValueLine(t);
  if (Size == -1) {
    if (!FHasHeader) {
      SizeFromValueLines();
    } else {
      // Lines before the size line are not values.
      if (const int p = PosNoCase("3DLUTSIZE", Line)) {
        const std::int32_t n = LutStrToInt(AfterKeyword(Line, p, 9, 1));
        CheckSize3D(n, t);
        Size = n;
      }
      return;
    }
  }
  StoreBlueFirst(Line, LUT);
}

void TDavinciDat3DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int) {
  TTextFile lines;
  TLineBuilder().Text("3DLUTSIZE ").Int(LUT.Size3D).AddTo(lines);
  lines.Add("");
  AddLatticeLines(lines, LUT, TLatticeOrder::RedFastest, {.BlueFirst = true});
  lines.SaveToFile(FileName);
}

// ---------------------------------------------------------------------------------------------
// Colorfront OSD 1D

bool TColorFrontOSD1DLutFormat::CanRead(const TLutFileHead &Head) const {
  return Head.Extension() == ".1dlut";
}

void TColorFrontOSD1DLutFormat::ParseLine(std::string_view Line, TLUT &LUT) {
  const std::string_view t = TrimLut(Line);
  if (t.empty() || t[0] == '#')
    return;
  // The file has no header: words before the first values mean it is some other kind of file.
  if (Size == -1 && !StartsLikeValues(t))
    FailNotValueLine(t);
  // Size counts the entries read.
  if (Size == -1)
    Size = 0;
  Complete = true;
  double r, g, b;
  if (ReadFloatLine(Line, r, g, b))
    AppendCurveEntry(LUT, r, g, b);
}

void TColorFrontOSD1DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int) {
  TTextFile lines;
  AddCurveLines(lines, LUT, {});
  lines.SaveToFile(FileName);
}

} // namespace tintwise
