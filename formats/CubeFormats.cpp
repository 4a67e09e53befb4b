#include "formats/CubeFormats.h"

#include "formats/LutReading.h"
#include "formats/LutTokens.h"
#include "formats/LutWriting.h"

namespace tintwise {

namespace {

// The values after a keyword, which must all equal `expected` (0 or 1). Answers false for any other
// value or when fewer than `count` numbers are given.
bool ValuesAre(std::string_view rest, int count, double expected) {
  int n = 0;
  while (!(rest = TrimLut(rest)).empty()) {
    std::string_view token;
    NextToken(rest, token);
    token = TrimLut(token);
    if (token.empty())
      continue;
    double v;
    if (!TryParseLutFloat(token, v) || v != expected)
      return false;
    ++n;
  }
  return n == count;
}

// The input range keywords of cube files. This program's tables take their input on 0..1, so a file
// with any other range is refused rather than read as if it were 0..1. Answers the message, or an
// empty text when the line is fine or no range keyword.
std::string CheckCubeRange(std::string_view line) {
  auto refuse = [&] {
    return std::string(TrimLut(line)) + ": input ranges other than 0 to 1 are not supported.";
  };
  for (std::string_view keyword : {"LUT_1D_INPUT_RANGE", "LUT_3D_INPUT_RANGE"}) {
    if (int p = PosNoCase(keyword, line)) {
      std::string_view rest = TrimLut(AfterKeyword(line, p, keyword.size()));
      std::string_view a;
      NextToken(rest, a);
      double lo, hi;
      if (!TryParseLutFloat(TrimLut(a), lo) || !TryParseLutFloat(TrimLut(rest), hi) || lo != 0 || hi != 1)
        return refuse();
      return {};
    }
  }
  if (int p = PosNoCase("DOMAIN_MIN", line)) {
    if (!ValuesAre(AfterKeyword(line, p, 10), 3, 0.0))
      return refuse();
  } else if (int q = PosNoCase("DOMAIN_MAX", line)) {
    if (!ValuesAre(AfterKeyword(line, q, 10), 3, 1.0))
      return refuse();
  }
  return {};
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Cube 3D

bool TCube3DLutFormat::CanRead(const TLutFileHead &Head) const {
  return Head.HasKeywords("LUT_3D_SIZE", "NUCODA_3D_CUBE,LUT_3D_VERSION");
}

void TCube3DLutFormat::DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) {
  CurveSize = 0;
  TGenericLutFormat::DoLoad(Bytes, fileName, LUT);
  if (CurveSize > 0) {
    LUT.Mode = kMode1DThen3D;
    LUT.Size1D = CurveSize;
  }
}

void TCube3DLutFormat::ParseHeaderLine(std::string_view Line, TLUT &LUT) {
  if (IsCommentLine(Line)) {
    LUT.Comments.emplace_back(CommentText(Line));
    return;
  }
  if (int p = PosNoCase("LUT_3D_SIZE", Line)) {
    std::int32_t n = LutStrToInt(AfterKeyword(Line, p, 11));
    CheckSize3D(n, TrimLut(Line));
    Size = n;
  }
}

void TCube3DLutFormat::ParseLine(std::string_view Line, TLUT &LUT) {
  std::string_view t = TrimLut(Line);
  if (t.empty())
    return;
  if (Size == -1) {
    ParseHeaderLine(Line, LUT);
    if (Size != -1)
      return;
  }
  if (t[0] == '#')
    return;
  if (!StartsLikeValues(t)) {
    // A keyword line: the curve size of a file with a curve before its lattice, or a range.
    std::string problem = CheckCubeRange(t);
    if (!problem.empty())
      Fail(problem);
    if (int p = PosNoCase("LUT_1D_SIZE", t)) {
      if (Index1D > 0 || IndexR > 0 || IndexG > 0 || IndexB > 0 || Complete)
        Fail("LUT_1D_SIZE after the values.");
      std::int32_t n = LutStrToInt(AfterKeyword(t, p, 11));
      CheckSize1D(n, t);
      CurveSize = n;
    }
    return;
  }
  if (Size == -1)
    return;
  double r, g, b;
  if (!ReadFloatLine(Line, r, g, b))
    return;
  if (Index1D < CurveSize) {
    LUT.Curve[Index1D++] = {r, g, b};
    return;
  }
  CheckRoom("LUT_3D_SIZE");
  StoreRedFastest(LUT, r, g, b);
}

void TCube3DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int) {
  TTextFile lines;
  for (const std::string &comment : LUT.Comments)
    AddCommentLine(lines, comment);
  lines.Add(kCreditLine);
  lines.Add("");
  TLineBuilder().Text("LUT_3D_SIZE ").Int(LUT.Size3D).AddTo(lines);
  AddLatticeLines(lines, LUT, TLatticeOrder::RedFastest, {});
  lines.SaveToFile(FileName);
}

// ---------------------------------------------------------------------------------------------
// Cube 3D Truelight

bool TCube3DTruelightLutFormat::CanRead(const TLutFileHead &Head) const {
  return Head.HasKeywords("iDims,oDims,width", "NUCODA_3D_CUBE");
}

void TCube3DTruelightLutFormat::DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) {
  FInInputLut = false;
  FSawInputLut = false;
  FInputLength = -1;
  TCube3DLutFormat::DoLoad(Bytes, fileName, LUT);
  if (FSawInputLut) {
    if (FInputLength > 0 && Index1D != FInputLength)
      Fail(std::string(kIncompleteFile) + " The InputLUT section holds " + std::to_string(Index1D) + " of the " +
           std::to_string(FInputLength) + " entries \"# lutLength\" announces.");
    CheckSize1D(Index1D, "# InputLUT");
    LUT.Mode = kMode1DThen3D;
    LUT.Size1D = Index1D;
  }
}

void TCube3DTruelightLutFormat::ParseHeaderLine(std::string_view Line, TLUT &) {
  int p = PosNoCase("# width", Line);
  if (!p)
    return;
  std::string_view rest = TrimLut(AfterKeyword(Line, p, 7));
  std::string_view first;
  SplitAt(" ", rest, first);
  std::int32_t n = LutStrToInt(first);
  // All three widths must agree: a lattice of other proportions cannot be held.
  while (!(rest = TrimLut(rest)).empty()) {
    std::string_view other;
    NextToken(rest, other);
    if (!TrimLut(other).empty() && LutStrToInt(other) != n)
      Fail(std::string(TrimLut(Line)) + ": lattices with unequal widths are not supported.");
  }
  CheckSize3D(n, TrimLut(Line));
  Size = n;
}

void TCube3DTruelightLutFormat::ParseLine(std::string_view Line, TLUT &LUT) {
  std::string_view t = TrimLut(Line);
  if (t.empty())
    return;
  if (t[0] == '#') {
    if (Size == -1)
      ParseHeaderLine(Line, LUT);
    std::string_view text = CommentText(t);
    if (PosNoCase("lutLength", text) == 1) {
      std::int32_t n = LutStrToInt(text.substr(9));
      CheckSize1D(n, t);
      FInputLength = n;
    } else if (PosNoCase("InputLUT", text) == 1 && text.size() == 8) {
      if (Size == -1)
        Fail("# InputLUT before the width line.");
      FInInputLut = true;
      FSawInputLut = true;
    } else if (PosNoCase("Cube", text) == 1 && text.size() == 4) {
      FInInputLut = false;
    }
    return;
  }
  if (FInInputLut) {
    double r, g, b;
    if (!ReadFloatLine(Line, r, g, b))
      return;
    const std::int32_t room = FInputLength > 0 ? FInputLength : kMaxSize1D;
    if (Index1D >= room)
      Fail("more InputLUT values than " + std::string(FInputLength > 0 ? "lutLength announces." : "a curve holds."));
    // The input curve gives lattice coordinates, 0..width - 1.
    const double scale = Size - 1;
    LUT.Curve[Index1D++] = {r / scale, g / scale, b / scale};
    return;
  }
  TCube3DLutFormat::ParseLine(Line, LUT);
}

void TCube3DTruelightLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int) {
  const int n = LUT.Size3D;
  TTextFile lines;
  lines.Add("# Truelight Cube v2.0");
  lines.Add("# iDims     3");
  lines.Add("# oDims     3");
  TLineBuilder().Text("# width     ").Int(n).Char(' ').Int(n).Char(' ').Int(n).AddTo(lines);
  lines.Add("");
  lines.Add("# Cube");
  AddLatticeLines(lines, LUT, TLatticeOrder::RedFastest, {});
  lines.Add("# end");
  lines.Add(kCreditLine);
  lines.SaveToFile(FileName);
}

// ---------------------------------------------------------------------------------------------
// FSI CFE

bool TFSI_CFE_3DLutFormat::CanRead(const TLutFileHead &Head) const {
  return Head.HasKeywords("LUT_3D_SIZE,LUT_3D_VERSION", "NUCODA_3D_CUBE");
}

void TFSI_CFE_3DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int) {
  TTextFile lines;
  lines.Add("LUT_3D_AUTHOR Oxel LUT Converter");
  lines.Add("LUT_3D_MODEL CM240");
  lines.Add("LUT_3D_VERSION 2.0.0");
  TLineBuilder().Text("LUT_3D_SIZE ").Int(LUT.Size3D).AddTo(lines);
  lines.Add("");
  AddLatticeLines(lines, LUT, TLatticeOrder::RedFastest, {});
  lines.SaveToFile(FileName);
}

// ---------------------------------------------------------------------------------------------
// Cube 1D

bool TCube1DLutFormat::CanRead(const TLutFileHead &Head) const {
  return Head.HasKeywords("LUT_1D_SIZE", "NUCODA_3D_CUBE");
}

void TCube1DLutFormat::ParseLine(std::string_view Line, TLUT &LUT) {
  std::string_view t = TrimLut(Line);
  if (t.empty())
    return;
  if (t[0] == '#') {
    LUT.Comments.emplace_back(CommentText(t));
    return;
  }
  if (!StartsLikeValues(t)) {
    std::string problem = CheckCubeRange(t);
    if (!problem.empty())
      Fail(problem);
    if (int p = PosNoCase("LUT_1D_SIZE", t)) {
      std::int32_t n = LutStrToInt(AfterKeyword(t, p, 11));
      CheckSize1D(n, t);
      if (Index1D > 0)
        Fail("LUT_1D_SIZE after the values.");
      Size = n;
    } else if (PosNoCase("LUT_3D_SIZE", t)) {
      Fail("the file holds a 3D lattice after its curve; it is read as a Cube 3D file.");
    }
    return;
  }
  if (Size == -1)
    return;
  double r, g, b;
  if (!ReadFloatLine(Line, r, g, b))
    return;
  CheckRoom("LUT_1D_SIZE");
  LUT.Curve[Index1D++] = {r, g, b};
  if (Index1D == Size)
    Complete = true;
}

void TCube1DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int) {
  TTextFile lines;
  for (const std::string &comment : LUT.Comments)
    AddCommentLine(lines, comment);
  lines.Add(kCreditLine);
  lines.Add("");
  TLineBuilder().Text("LUT_1D_SIZE ").Int(LUT.Size1D).AddTo(lines);
  AddCurveLines(lines, LUT, {});
  lines.SaveToFile(FileName);
}

// ---------------------------------------------------------------------------------------------
// Nucoda 3D and 1D

bool TNucoda3DLutFormat::CanRead(const TLutFileHead &Head) const {
  return Head.HasKeywords("NUCODA_3D_CUBE", "");
}

void TNucoda3DLutFormat::DoLoad(std::string_view Bytes, const std::string &fileName, TLUT &LUT) {
  CurveSize = 0;
  HasCurve = false;
  HasLattice = false;
  Version = -1; // until the NUCODA_3D_CUBE line gives it
  TGenericLutFormat::DoLoad(Bytes, fileName, LUT);
  if (Version == -1)
    Fail("no NUCODA_3D_CUBE line; the file is not a Nucoda file.");
  // Both tables announced must be complete: points left over would keep whatever the LUT held.
  if ((HasCurve && Index1D < CurveSize) || (HasLattice && !(IndexB == Size)))
    FailIncomplete();
  if (!HasCurve && !HasLattice)
    Fail("neither LUT_1D_SIZE nor LUT_3D_SIZE is given.");
  if (HasCurve) {
    LUT.Mode = kMode1D;
    LUT.Size1D = Index1D;
  }
  if (HasLattice) {
    LUT.Mode = kMode3D;
    LUT.Size3D = Size;
  }
  if (HasCurve && HasLattice)
    LUT.Mode = kMode1DThen3D;
}

void TNucoda3DLutFormat::ParseLine(std::string_view Line, TLUT &LUT) {
  std::string_view t = TrimLut(Line);
  if (t.empty() || t[0] == '#')
    return;
  if (int p = PosNoCase("NUCODA_3D_CUBE", t)) {
    Version = LutStrToInt(AfterKeyword(t, p, 15));
    return;
  }
  if (int p = PosNoCase("LUT_1D_SIZE", t)) {
    std::int32_t n = LutStrToInt(AfterKeyword(t, p, 11));
    CheckSize1D(n, t);
    if (Index1D > 0)
      Fail("LUT_1D_SIZE after the values.");
    CurveSize = n;
    HasCurve = true;
    return;
  }
  if (int p = PosNoCase("LUT_3D_SIZE", t)) {
    std::int32_t n = LutStrToInt(AfterKeyword(t, p, 11));
    CheckSize3D(n, t);
    if (IndexR > 0 || IndexG > 0 || IndexB > 0)
      Fail("LUT_3D_SIZE after the values.");
    Size = n;
    HasLattice = true;
    return;
  }
  Complete = true;
  double r, g, b;
  if (!ReadFloatLine(Line, r, g, b))
    return;
  if (HasCurve && Index1D < CurveSize) {
    const double scale = Version == 1 ? 33 : 1;
    LUT.Curve[Index1D++] = {r / scale, g / scale, b / scale};
    return;
  }
  if (!HasLattice || IndexB == Size)
    Fail(HasLattice ? "more values than LUT_1D_SIZE and LUT_3D_SIZE announce."
                    : "more values than LUT_1D_SIZE announces.");
  StoreRedFastest(LUT, r, g, b);
}

void TNucoda3DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int) {
  TTextFile lines;
  lines.Add("NUCODA_3D_CUBE 1");
  lines.Add("");
  TLineBuilder().Text("TITLE \"").Text(FileTitle(FileName)).Char('"').AddTo(lines);
  lines.Add("");
  TLineBuilder().Text("LUT_1D_SIZE ").Int(PreLutSize).AddTo(lines);
  TLineBuilder().Text("LUT_3D_SIZE ").Int(LUT.Size3D).AddTo(lines);
  lines.Add("");
  TLineBuilder line;
  for (int i = 0; i < PreLutSize; ++i) {
    const double v = 32.999999 * i / (PreLutSize - 1);
    line.Float(6, v).Char(' ').Float(6, v).Char(' ').Float(6, v).AddTo(lines);
  }
  lines.Add("");
  AddLatticeLines(lines, LUT, TLatticeOrder::RedFastest, {});
  lines.SaveToFile(FileName);
}

void TNucoda1DLutWriterFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int) {
  TTextFile lines;
  lines.Add("NUCODA_3D_CUBE 2");
  lines.Add("");
  TLineBuilder().Text("TITLE \"").Text(FileTitle(FileName)).Char('"').AddTo(lines);
  lines.Add("");
  TLineBuilder().Text("LUT_1D_SIZE ").Int(LUT.Size1D).AddTo(lines);
  lines.Add("");
  AddCurveLines(lines, LUT, {});
  lines.SaveToFile(FileName);
}

} // namespace tintwise
