#include "formats/LustreFormats.h"

#include <cmath>

#include "formats/LutChars.h"
#include "formats/LutReading.h"
#include "formats/LutTokens.h"
#include "formats/LutWriting.h"

namespace tintwise {

// ---------------------------------------------------------------------------------------------
// Lustre 3D

bool TLustre3DLutFormat::CanRead(const TLutFileHead &Head) const { return Head.HasKeywords("3DMESH", ""); }

void TLustre3DLutFormat::DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) {
  ResetParseState(fileName);
  TTextFile lines;
  lines.SetTextView(Bytes);
  int maxCode = 4095;
  bool skipShaper = false;
  for (std::size_t i = 0; i < lines.Count(); ++i) {
    LineNumber = i + 1;
    std::string_view t = TrimLut(lines[i]);
    FSawText = FSawText || !t.empty();
    if (t.empty() || t[0] == '#' || PosNoCase("3DMESH", t))
      continue;
    if (int p = PosNoCase("Mesh", t)) {
      if (IndexR > 0 || IndexG > 0 || IndexB > 0 || Complete)
        Fail("a second \"Mesh\" line after the values.");
      std::string_view rest = TrimLut(AfterKeyword(t, p, 4, 1));
      std::string_view first;
      SplitAt(" ", rest, first);
      const std::int32_t m = LutStrToInt(first);
      const std::int32_t d = LutStrToInt(rest);
      if (m < 0 || m > 30)
        Fail(std::string(t) + ": mesh exponents of 0 to 6 are possible.");
      CheckSize3D((1LL << m) + 1, t);
      if (d < 1 || d > 16)
        Fail(std::string(t) + ": output depths of 1 to 16 bits are possible.");
      Size = (1 << m) + 1;
      maxCode = (1 << d) - 1;
      // A 3-point mesh has a shaper line of three integers, which reads like a value line:
      // it is one when the file holds one line more than the lattice.
      if (Size == 3) {
        int triples = 0;
        double r, g, b;
        for (std::size_t k = i + 1; k < lines.Count(); ++k)
          if (ParseIntTriple(lines[k], maxCode, false, r, g, b))
            ++triples;
        skipShaper = triples == 28;
      }
      continue;
    }
    if (Size == -1)
      continue;
    double r, g, b;
    if (!ParseIntTriple(t, maxCode, false, r, g, b))
      continue;
    if (skipShaper) {
      skipShaper = false;
      continue;
    }
    CheckRoom("the \"Mesh\" line");
    StoreBlueFastest(LUT, r, g, b);
  }
  LineNumber = 0;
  if (Size == -1)
    Fail("no \"Mesh\" line; the size of the lattice is unknown.");
  if (!Complete)
    FailIncomplete();
  LUT.Mode = kMode3D;
  LUT.Size3D = Size;
}

void TLustre3DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) {
  // The mesh line gives the size as 2^m + 1 points.
  int m = 0;
  while (m < 7 && (1 << m) + 1 < LUT.Size3D)
    ++m;
  if ((1 << m) + 1 != LUT.Size3D)
    throw ELUTError("Cannot write " + Name + " with " + std::to_string(LUT.Size3D) +
                        " points per axis; its meshes have 2^m + 1 points (33 for this profile).");
  TTextFile lines;
  lines.Add("");
  lines.Add(kCreditLine);
  lines.Add("");
  lines.Add("3DMESH");
  TLineBuilder().Text("Mesh ").Int(m).Char(' ').Int(Bits).AddTo(lines);
  lines.Add("");
  AddLatticeLines(lines, LUT, TLatticeOrder::BlueFastest, {.Bits = Bits});
  lines.Add("");
  lines.Add("LUT8");
  lines.Add("gamma 1.0");
  lines.SaveToFile(FileName);
}

// ---------------------------------------------------------------------------------------------
// Pandora

bool TPandora3DLutFormat::CanRead(const TLutFileHead &Head) const {
  return Head.HasKeywords("channel 3d,format lut", "");
}

void TPandora3DLutFormat::ParseLine(std::string_view Line, TLUT &LUT) {
  std::string_view t = TrimLut(Line);
  if (t.empty() || t[0] == '#')
    return;
  std::string_view lt = TrimLeftLut(Line);
  if (Size == -1 && !StartsWith(lt, "in ") && PosNoCase("in ", lt) == 1 && FUnreadLine == 0) {
    FUnreadLine = LineNumber;
    FUnreadReason = "gives the number of points as " + QuoteLine(lt.substr(0, 2)) + "; the keyword is \"in\", in lower case";
  }
  if (Size == -1 && StartsWith(lt, "in ")) {
    const std::int32_t n = LutStrToInt(lt.substr(3));
    const long long s = n > 0 ? std::llround(std::cbrt(static_cast<double>(n))) : 0;
    if (s * s * s != n)
      Fail(std::string(t) + ": the number of points is not the cube of a whole number.");
    CheckSize3D(s, t);
    Size = static_cast<std::int32_t>(s);
    return;
  }
  if (Depth == -1 && StartsWith(lt, "out ")) {
    const std::int32_t out = LutStrToInt(lt.substr(4));
    if (out < 2)
      Fail(std::string(t) + ": the number of output codes must be 2 or more.");
    Depth = out - 1;
    return;
  }
  if (Size == -1 || Depth == -1)
    return;
  double r, g, b;
  if (!ReadIntLine(Line, Depth, true, r, g, b))
    return;
  CheckRoom("the \"in\" line");
  CheckIndexColumn(t, FStored, "point number");
  StoreBlueFastest(LUT, r, g, b);
}

void TPandora3DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) {
  const long long n = LUT.Size3D;
  TTextFile lines;
  lines.Add("#HEADER");
  lines.Add("#type: 3D cube file");
  lines.Add("#format: 1.00");
  lines.Add("#comment: Converted by Oxel LUT Converter");
  lines.Add("#END");
  lines.Add("");
  lines.Add("channel 3d");
  TLineBuilder().Text("in ").Int(n * n * n).AddTo(lines);
  TLineBuilder().Text("out ").Int(1LL << Bits).AddTo(lines);
  lines.Add("");
  lines.Add("format lut");
  lines.Add("");
  lines.Add("values\tred\tgreen\tblue");
  AddLatticeLines(lines, LUT, TLatticeOrder::BlueFastest, {.Bits = Bits, .Separator = '\t', .Numbered = true});
  lines.SaveToFile(FileName);
}

// ---------------------------------------------------------------------------------------------
// Lustre 1D

bool TLustre1DLutFormat::CanRead(const TLutFileHead &Head) const {
  return Head.HasKeywords("LUT16", "") || Head.HasKeywords("LUT12", "");
}

void TLustre1DLutFormat::ParseLine(std::string_view Line, TLUT &LUT) {
  std::string_view t = TrimLut(Line);
  if (t.empty() || t[0] == '#')
    return;
  if (Depth == -1) {
    if (t == "LUT16")
      Depth = 16;
    else if (t == "LUT12")
      Depth = 12;
    Size = 0;
    return;
  }
  double r, g, b;
  if (ReadIntLine(Line, (1 << Depth) - 1, true, r, g, b)) {
    CheckIndexColumn(t, Size, "entry number");
    AppendCurveEntry(LUT, r, g, b);
  }
  Complete = true;
}

void TLustre1DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) {
  TTextFile lines;
  TLineBuilder().Text("LUT").Int(Bits).AddTo(lines);
  lines.Add("");
  lines.Add(kCreditLine);
  lines.Add("");
  AddCurveLines(lines, LUT, {.Bits = Bits, .Numbered = true});
  lines.SaveToFile(FileName);
}

} // namespace tintwise
