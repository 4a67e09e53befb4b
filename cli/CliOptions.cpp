#include "cli/CliOptions.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "formats/LutFormat.h"

namespace tintwise {

namespace {

std::vector<std::string> Split(const std::string &text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos)
      return parts;
    start = end + 1;
  }
}

bool ToInt(const std::string &text, long long &value) {
  const char *first = text.data(), *last = text.data() + text.size();
  if (first != last && *first == '+')
    ++first;
  const auto [end, ec] = std::from_chars(first, last, value);
  return ec == std::errc() && end == last && first != last;
}

} // namespace

int ParseInt(const std::string &option, const std::string &text, int lo, int hi) {
  long long value = 0;
  if (!ToInt(text, value))
    throw EUsage(option + ": '" + text + "' is not a whole number.");
  if (value < lo || value > hi)
    throw EUsage(option + ": " + text + " is outside " + std::to_string(lo) + " to " + std::to_string(hi) + ".");
  return static_cast<int>(value);
}

double ParseDouble(const std::string &what, const std::string &text) {
  const char *first = text.data(), *last = text.data() + text.size();
  if (first != last && *first == '+')
    ++first;
  double value = 0;
  const auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || end != last || first == last || !std::isfinite(value))
    throw EUsage(what + ": '" + text + "' is not a number.");
  return value;
}

TRegion ParseRegion(const std::string &option, const std::string &text) {
  const std::vector<std::string> parts = Split(text, ',');
  long long v[4];
  if (parts.size() != 4 || !ToInt(parts[0], v[0]) || !ToInt(parts[1], v[1]) || !ToInt(parts[2], v[2]) ||
      !ToInt(parts[3], v[3]))
    throw EUsage(option + ": '" + text + "' is not a region; write X,Y,WIDTH,HEIGHT in whole pixels.");
  for (long long x : v)
    if (x < -1000000000LL || x > 1000000000LL)
      throw EUsage(option + ": '" + text + "' is far outside any picture.");
  if (v[2] <= 0 || v[3] <= 0)
    throw EUsage(option + ": the region " + text + " is empty; its width and height must be at least 1.");
  return {static_cast<int>(v[0]), static_cast<int>(v[1]), static_cast<int>(v[2]), static_cast<int>(v[3])};
}

TSecondaryArgs ParseSecondary(const std::string &text) {
  TSecondaryArgs args;
  for (const std::string &part : Split(text, ' ')) {
    if (part.empty())
      continue;
    const std::size_t eq = part.find('=');
    if (eq == std::string::npos)
      throw EUsage("--secondary: '" + part + "' is not KEY=VALUE.");
    const std::string key = part.substr(0, eq), value = part.substr(eq + 1);
    if (key == "ref")
      args.Ref = value;
    else if (key == "src")
      args.Src = value;
    else if (key == "softness")
      args.Softness = ParseInt("--secondary softness", value, 0, 10);
    else if (key == "brightness")
      args.Brightness = ParseInt("--secondary brightness", value, 0, 200);
    else if (key == "chroma")
      args.Chroma = ParseInt("--secondary chroma", value, 0, 200);
    else
      throw EUsage("--secondary: unknown key '" + key + "'; use ref, src, softness, brightness and chroma.");
  }
  if (args.Ref.empty() || args.Src.empty())
    throw EUsage("--secondary: both ref=X,Y,W,H and src=X,Y,W,H are required.");
  ParseRegion("--secondary ref", args.Ref);
  ParseRegion("--secondary src", args.Src);
  return args;
}

int ResolveProfile(const std::string &text) {
  long long index = 0;
  if (ToInt(text, index)) {
    if (index < 0 || index >= LutOutputProfileCount())
      throw EUsage("--profile: there is no profile " + text + "; 'tintwise-cli formats' lists them.");
    return static_cast<int>(index);
  }
  for (int i = 0; i < LutOutputProfileCount(); ++i)
    if (GetLutOutputProfile(i).Name == text)
      return i;
  throw EUsage("--profile: there is no profile named '" + text + "'; 'tintwise-cli formats' lists them.");
}

TLUTFormat *ResolveFormat(const std::string &text) {
  long long index = 0;
  if (ToInt(text, index)) {
    if (TLUTFormat *format = GetLutFormat(index < 0 || index > 1000 ? -1 : static_cast<int>(index)))
      return format;
    throw EUsage("--format: there is no format " + text + "; 'tintwise-cli formats' lists them.");
  }
  for (int i = 0; i < LutFormatCount(); ++i)
    if (GetLutFormat(i)->Name == text)
      return GetLutFormat(i);
  throw EUsage("--format: there is no format named '" + text + "'; 'tintwise-cli formats' lists them.");
}

TRegion MapRegionToFitted(const std::string &option, const TRegion &r, int width, int height, int fittedWidth,
                          int fittedHeight) {
  if (r.X < 0 || r.Y < 0 || static_cast<long long>(r.X) + r.Width > width ||
      static_cast<long long>(r.Y) + r.Height > height)
    throw EUsage(option + ": the region " + std::to_string(r.X) + "," + std::to_string(r.Y) + "," +
                 std::to_string(r.Width) + "," + std::to_string(r.Height) + " is not inside the picture (" +
                 std::to_string(width) + " x " + std::to_string(height) + " pixels).");
  auto floorMap = [](long long v, int from, int to) { return static_cast<int>(v * to / from); };
  auto ceilMap = [](long long v, int from, int to) { return static_cast<int>((v * to + from - 1) / from); };
  TRegion m;
  m.X = floorMap(r.X, width, fittedWidth);
  m.Y = floorMap(r.Y, height, fittedHeight);
  const int x1 = std::max(ceilMap(static_cast<long long>(r.X) + r.Width, width, fittedWidth), m.X + 1);
  const int y1 = std::max(ceilMap(static_cast<long long>(r.Y) + r.Height, height, fittedHeight), m.Y + 1);
  m.X = std::min(m.X, fittedWidth - 1);
  m.Y = std::min(m.Y, fittedHeight - 1);
  m.Width = std::min(x1, fittedWidth) - m.X;
  m.Height = std::min(y1, fittedHeight) - m.Y;
  return m;
}

} // namespace tintwise
