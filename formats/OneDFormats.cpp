#include "formats/OneDFormats.h"

#include "formats/LutChars.h"
#include "formats/LutReading.h"
#include "formats/LutTokens.h"
#include "formats/LutWriting.h"
#include "formats/XmlReader.h"

namespace tintwise {

namespace {

bool IsSkipped(std::string_view trimmed) { return trimmed.empty() || trimmed[0] == '#'; }

} // namespace

// ---------------------------------------------------------------------------------------------
// Filmlight Truelight 1D

bool TFilmlight1DLutFormat::CanRead(const TLutFileHead &Head) const {
  return Head.HasKeywords("iDims,lutLength", "");
}

void TFilmlight1DLutFormat::ParseLine(std::string_view Line, TLUT &LUT) {
  const std::string_view t = TrimLut(Line);
  if (Size == -1) {
    // The length stands in a comment line ("# lutLength 4096").
    if (const int p = PosNoCase("lutLength", Line)) {
      const std::int32_t n = LutStrToInt(AfterKeyword(Line, p, 9, 1));
      CheckSize1D(n, t);
      Size = n;
    }
    return;
  }
  if (IsSkipped(t) || Complete)
    return;
  double r, g, b;
  if (!ReadFloatLine(Line, r, g, b))
    return;
  LUT.Curve[Index1D] = {r, g, b};
  if (++Index1D == Size)
    Complete = true;
}

void TFilmlight1DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int) {
  TTextFile lines;
  lines.Add("# Truelight Cube v2.0");
  TLineBuilder().Text("# lutLength ").Int(LUT.Size1D).AddTo(lines);
  lines.Add("# iDims     3");
  lines.Add("");
  lines.Add("# InputLUT");
  AddCurveLines(lines, LUT, {});
  lines.Add("# end");
  lines.Add(kCreditLine);
  lines.SaveToFile(FileName);
}

// ---------------------------------------------------------------------------------------------
// S.two 1D

bool TStwo1DLutFormat::CanRead(const TLutFileHead &Head) const {
  return Head.HasKeywords("<lut,<data>,<elem", "");
}

void TStwo1DLutFormat::DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) {
  ResetParseState(fileName);
  TXMLNode root;
  root.LoadXMLText(Bytes);
  const TXMLNode &data = root.NodeByName("lut").NodeByName("data");
  // The codes are always taken as 10-bit.
  const double maxCode = static_cast<double>((1 << 10) - 1);
  auto component = [&](const TXMLNode &elem, const char *name) {
    const TXMLValue *v = elem.Attributes.Find(name);
    return v ? v->AsFloat() / maxCode : 0.0;
  };
  // A file cut short loses its closing tags: what survived is not the whole curve.
  if (!data.Closed)
    Fail("the <data> element is not closed: the file is cut off.");
  for (std::size_t i = 0; i < data.ChildCount(); ++i) {
    const TXMLNode &elem = data.Child(i);
    if (LowerAscii(elem.Name) != "elem")
      continue;
    AppendCurveEntry(LUT, component(elem, "r"), component(elem, "g"), component(elem, "b"));
  }
  LUT.Mode = kMode1D;
  LUT.Size1D = Size;
}

void TStwo1DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) {
  TTextFile lines;
  lines.Add("<?xml version=\"1.0\"?>");
  TLineBuilder().Text("<lut name=\"").Text(XmlEscape(FileTitle(FileName))).Text("\">").AddTo(lines);
  lines.Add("<data>");
  lines.Reserve(LUT.Size1D, static_cast<std::size_t>(LUT.Size1D) * 40);
  TLineBuilder line;
  for (int i = 0; i < LUT.Size1D; ++i) {
    const TLutTriple &v = LUT.Curve[i];
    line.Text("<elem r=\"").Code(Bits, v[0]).Text("\" g=\"").Code(Bits, v[1]).Text("\" b=\"").Code(Bits, v[2]).Text("\"/>").AddTo(lines);
  }
  lines.Add("</data>");
  lines.Add("</lut>");
  lines.SaveToFile(FileName);
}

// ---------------------------------------------------------------------------------------------
// Fusion 1D

bool TFusion1DLutFormat::CanRead(const TLutFileHead &Head) const { return Head.HasKeywords("F5LT", ""); }

void TFusion1DLutFormat::ParseLine(std::string_view Line, TLUT &LUT) {
  std::string_view t = TrimLut(Line);
  if (IsSkipped(t))
    return;
  if (Depth == -1) {
    // The first line that is one integer is the bit depth; "F5LT" is not one.
    std::int32_t bits;
    if (!TryParseLutInt(t, bits))
      return;
    if (bits < 1 || bits > 31)
      Fail(std::string(t) + ": a bit depth of 1 to 31 is possible.");
    Depth = bits;
    Size = 0;
    return;
  }
  Complete = true;
  // "i red i green i blue", i the entry number.
  std::string_view index[3], red, green;
  NextToken(t, index[0]);
  t = TrimLut(t);
  NextToken(t, red);
  NextToken(t, index[1]);
  t = TrimLut(t);
  NextToken(t, green);
  NextToken(t, index[2]);
  const std::string_view blue = TrimLut(t);
  std::int32_t r, g, b;
  if (!TryParseLutInt(TrimLut(red), r) || !TryParseLutInt(TrimLut(green), g) || !TryParseLutInt(blue, b)) {
    NoteUnreadValues(Line, 6, true);
    return;
  }
  // A missing or wrong entry number means lines were lost or the file was cut.
  for (std::string_view word : index)
    CheckIndexColumn(word, Size, "entry number");
  const double maxCode = static_cast<double>((1LL << Depth) - 1);
  AppendCurveEntry(LUT, r / maxCode, g / maxCode, b / maxCode);
}

void TFusion1DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) {
  TTextFile lines;
  lines.Add("F5LT");
  lines.Add("");
  TLineBuilder().Int(Bits).AddTo(lines);
  lines.Add("");
  lines.Reserve(LUT.Size1D, static_cast<std::size_t>(LUT.Size1D) * 36);
  TLineBuilder line;
  for (int i = 0; i < LUT.Size1D; ++i) {
    const TLutTriple &v = LUT.Curve[i];
    line.Int(i).Char(' ').Code(Bits, v[0]).Char(' ').Int(i).Char(' ').Code(Bits, v[1]);
    line.Char(' ').Int(i).Char(' ').Code(Bits, v[2]).AddTo(lines);
  }
  lines.SaveToFile(FileName);
}

// ---------------------------------------------------------------------------------------------
// Blackmagic HDLink 1D

bool TBlackmagic1DLutFormat::CanRead(const TLutFileHead &Head) const { return Head.HasKeywords("HDLINK", ""); }

void TBlackmagic1DLutFormat::ParseLine(std::string_view Line, TLUT &LUT) {
  const std::string_view t = TrimLut(Line);
  // Only lines that start with a digit are values; the header starts with a letter. Depth holds 1
  // once the header line has been seen: without it the file is some other kind of file.
  if (t.empty())
    return;
  if (!IsDigitChar(t[0])) {
    if (Size == -1 && PosNoCase("HDLINK", t))
      Depth = 1;
    return;
  }
  if (Depth == -1)
    Fail("a line of values before the \"HDLINK GAMMA TABLE\" header.");
  if (Size == -1)
    Size = 0;
  Complete = true;
  double r, g, b;
  if (ReadFloatLine(Line, r, g, b))
    AppendCurveEntry(LUT, r / 1000, g / 1000, b / 1000);
}

void TBlackmagic1DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int) {
  TTextFile lines;
  lines.Add("R\tG\tB - HDLINK GAMMA TABLE");
  AddCurveLines(lines, LUT, {.Digits = 2, .Scale = 1000.0});
  lines.SaveToFile(FileName);
}

// ---------------------------------------------------------------------------------------------
// Cine-tal 1D and Shake 1D

void TCodeLines1DLutWriter::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) {
  TTextFile lines;
  AddCurveLines(lines, LUT, {.Bits = Bits});
  lines.SaveToFile(FileName);
}

// ---------------------------------------------------------------------------------------------
// DaVinci Resolve ilut and olut

bool TDavinciILut1DLutFormat::CanRead(const TLutFileHead &Head) const {
  return Head.Extension() == ".ilut" && !Head.HasKeywords("<IRIDAScript>", "");
}

bool TDavinciOLut1DLutFormat::CanRead(const TLutFileHead &Head) const {
  return Head.Extension() == ".olut";
}

void TDavinciLut1DLutFormat::ParseLine(std::string_view Line, TLUT &LUT) {
  std::string_view t = TrimLut(Line);
  if (IsSkipped(t))
    return;
  // The file has no header: words before the first values mean it is some other kind of file.
  if (Size == -1 && !StartsLikeValues(t))
    FailNotValueLine(t);
  if (Size == -1)
    Size = 0;
  Complete = true;
  // Three words; anything after the third is ignored.
  std::string_view words[3];
  for (std::string_view &word : words) {
    t = TrimLut(t);
    NextToken(t, word);
  }
  std::int32_t codes[3];
  for (int c = 0; c < 3; ++c)
    if (!TryParseLutInt(TrimLut(words[c]), codes[c])) {
      NoteUnreadValues(Line, 3, true);
      return;
    }
  const double m = FMaxCode;
  AppendCurveEntry(LUT, codes[0] / m, codes[1] / m, codes[2] / m);
}

} // namespace tintwise
