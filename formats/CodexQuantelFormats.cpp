#include "formats/CodexQuantelFormats.h"

#include "formats/LutChars.h"
#include "formats/LutTokens.h"
#include "formats/LutWriting.h"

namespace tintwise {

namespace {

long long MaxCode(int Bits) { return (1LL << Bits) - 1; }

} // namespace

// ---------------------------------------------------------------------------------------------
// Codex 3D

bool TCodex3DLutFormat::CanRead(const TLutFileHead &Head) const { return Head.HasKeywords("Lut3D:", ""); }

void TCodex3DLutFormat::ParseLine(std::string_view Line, TLUT &LUT) {
  const std::string_view t = TrimLut(Line);
  if (t.empty())
    return;
  if (t[0] == '#') {
    LUT.Comments.emplace_back(CommentText(t));
    return;
  }
  if (Size == -1) {
    if (const int p = PosNoCase("LUT3D:", Line)) {
      const std::int32_t n = LutStrToInt(AfterKeyword(Line, p, 6));
      CheckSize3D(n, t);
      Size = n;
    }
  }
  if (Size == -1 || Complete)
    return;
  // The file gives no bit depth: its codes are 12-bit.
  double r, g, b;
  if (ReadIntLine(Line, 4095, false, r, g, b))
    StoreBlueFastest(LUT, r, g, b);
}

void TCodex3DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) {
  TTextFile lines;
  TLineBuilder().Text("Lut3D: ").Int(LUT.Size3D).AddTo(lines);
  lines.Add("");
  lines.Add("R\tG\tB");
  AddLatticeLines(lines, LUT, TLatticeOrder::BlueFastest, {.Bits = Bits});
  lines.SaveToFile(FileName);
}

// ---------------------------------------------------------------------------------------------
// Quantel 3D

bool TQuantel3DLutFormat::CanRead(const TLutFileHead &Head) const {
  return Head.HasKeywords("max value,vertices", "");
}

void TQuantel3DLutFormat::ParseLine(std::string_view Line, TLUT &LUT) {
  const std::string_view t = TrimLut(Line);
  if (t.empty() || t[0] == '#')
    return;
  const std::string_view lt = TrimLeftLut(Line);
  if (Size == -1 && StartsWith(lt, "vertices")) {
    const std::int32_t n = LutStrToInt(lt.substr(8));
    CheckSize3D(n, t);
    Size = n;
    return;
  }
  if (Depth == -1 && StartsWith(lt, "max value")) {
    const std::int32_t m = LutStrToInt(lt.substr(9));
    if (m < 1)
      Fail(std::string(t) + ": the maximum code must be 1 or more.");
    Depth = m;
    return;
  }
  if (Size == -1 || Depth == -1 || Complete)
    return;
  double r, g, b;
  if (ReadIntLine(Line, Depth, false, r, g, b))
    StoreBlueFastest(LUT, r, g, b);
}

void TQuantel3DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) {
  TTextFile lines;
  TLineBuilder().Text("max value ").Int(MaxCode(Bits)).AddTo(lines);
  TLineBuilder().Text("vertices ").Int(LUT.Size3D).AddTo(lines);
  lines.Add("blue is fastest changing");
  lines.Add("red is slowest changing");
  lines.Add("");
  lines.Add("cube data");
  lines.Add("R G B");
  AddLatticeLines(lines, LUT, TLatticeOrder::BlueFastest, {.Bits = Bits});
  lines.SaveToFile(FileName);
}

// ---------------------------------------------------------------------------------------------
// Codex 1D

bool TCodex1DLutFormat::CanRead(const TLutFileHead &Head) const { return Head.HasKeywords("LUT:", ""); }

void TCodex1DLutFormat::BeginParse(const TTextFile &) {
  FChannels = 3;
  FChannel = 0;
}

void TCodex1DLutFormat::ParseLine(std::string_view Line, TLUT &LUT) {
  const std::string_view t = TrimLut(Line);
  if (t.empty())
    return;
  if (t[0] == '#') {
    if (Size == -1)
      LUT.Comments.emplace_back(CommentText(t));
    return;
  }
  if (const int p = PosNoCase("LUT:", Line)) {
    // A second header would restart the tables in the middle of the values.
    if (Size != -1)
      Fail("a second \"LUT:\" line.");
    std::string_view rest = TrimLut(AfterKeyword(Line, p, 4, 1));
    std::string_view channels, entries;
    NextToken(rest, channels);
    rest = TrimLut(rest);
    NextToken(rest, entries);
    rest = TrimLut(rest);
    FChannels = LutStrToInt(channels);
    const std::int32_t n = LutStrToInt(entries);
    CheckSize1D(n, t);
    // A third number is the count of output codes when it differs from the entry count, as in
    // "LUT: 3 256 1024"; without it the codes run to entries - 1.
    std::int32_t codes = n;
    if (!rest.empty()) {
      if (rest.back() == 'f' || rest.back() == 'F')
        Fail(std::string(t) + ": half-float output values are not supported.");
      codes = LutStrToInt(rest);
      if (codes < 2)
        Fail(std::string(t) + ": the number of output codes must be 2 or more.");
    }
    Size = n;
    Depth = codes - 1;
    FChannel = 0;
    return;
  }
  if (Size == -1 || Complete)
    return;
  // Blanks after the code are harmless; other programs write and read them.
  std::int32_t code;
  if (!TryParseLutInt(t, code)) {
    NoteUnreadValues(Line, 1, true);
    return;
  }
  // A code beyond the largest one means the file's values have another depth than its header says
  // (files converting to 16-bit or half-float output often do); reading them as they stand would
  // give a curve that looks valid and is wrong.
  if (code < 0 || code > Depth)
    Fail(std::to_string(code) + " is outside the codes 0 to " + std::to_string(Depth) +
         " of this curve; the file's output depth is not the one its \"LUT:\" line gives.");
  const double v = code / static_cast<double>(Depth);
  if (FChannels == 1) {
    LUT.Curve[Index1D] = {v, v, v};
    if (++Index1D == Size)
      Complete = true;
    return;
  }
  LUT.Curve[Index1D][FChannel] = v;
  if (++Index1D == Size) {
    Index1D = 0;
    if (++FChannel == 3)
      Complete = true;
  }
}

void TCodex1DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) {
  const int n = LUT.Size1D;
  TTextFile lines;
  lines.Add(kCreditLine);
  lines.Add("");
  // Readers take the entry count for the number of output codes; when the two differ the header
  // says so.
  TLineBuilder header;
  header.Text("LUT: 3 ").Int(n);
  if ((1LL << Bits) != n)
    header.Char(' ').Int(1LL << Bits);
  header.AddTo(lines);
  lines.Add("");
  lines.Reserve(3 * static_cast<std::size_t>(n), 3 * static_cast<std::size_t>(n) * 6);
  TLineBuilder line;
  for (int c = 0; c < 3; ++c)
    for (int i = 0; i < n; ++i)
      line.Code(Bits, LUT.Curve[i][c]).AddTo(lines);
  lines.SaveToFile(FileName);
}

// ---------------------------------------------------------------------------------------------
// Quantel 1D

bool TQuantel1DLutFormat::CanRead(const TLutFileHead &Head) const {
  return Head.HasKeywords("table type,gMax,gSize", "");
}

void TQuantel1DLutFormat::ParseLine(std::string_view Line, TLUT &LUT) {
  const std::string_view t = TrimLut(Line);
  if (t.empty() || t[0] == '#')
    return;
  if (Size == -1) {
    if (const int p = PosNoCase("gSize", Line)) {
      const std::int32_t n = LutStrToInt(AfterKeyword(Line, p, 5, 1));
      CheckSize1D(n, t);
      Size = n;
      return;
    }
  }
  if (Depth == -1) {
    if (const int p = PosNoCase("gMax", Line)) {
      const std::int32_t m = LutStrToInt(AfterKeyword(Line, p, 4, 1));
      if (m < 1)
        Fail(std::string(t) + ": the maximum code must be 1 or more.");
      Depth = m;
      return;
    }
  }
  if (Size == -1 || Depth == -1 || Complete)
    return;
  double r, g, b;
  if (!ReadIntLine(Line, Depth, false, r, g, b))
    return;
  LUT.Curve[Index1D] = {r, g, b};
  if (++Index1D == Size)
    Complete = true;
}

void TQuantel1DLutFormat::DoSaveToFile(const std::string &FileName, const TLUT &LUT, int Bits) {
  TTextFile lines;
  lines.Add("table type\t2");
  lines.Add("");
  TLineBuilder().Text("gMax\t").Int(MaxCode(Bits)).AddTo(lines);
  TLineBuilder().Text("gSize\t").Int(LUT.Size1D).AddTo(lines);
  lines.Add("");
  lines.Add("gamma");
  lines.Add("r\tg\tb");
  AddCurveLines(lines, LUT, {.Bits = Bits});
  lines.SaveToFile(FileName);
}

} // namespace tintwise
