#include "workflow/FrameSequence.h"

#include <charconv>
#include <unordered_set>

namespace tintwise {

namespace {

std::int64_t ReadFrame(std::string_view text, std::string_view item) {
  std::int64_t value = 0;
  const char *end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (text.empty() || ec != std::errc() || ptr != end || value < 0 || value > 999'999'999)
    throw EFrameSpecError("'" + std::string(item) +
                          "' is not a frame, a range A-B or a stepped range A-BxS of frames from 0 to 999999999.");
  return value;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
    s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
    s.remove_suffix(1);
  return s;
}

struct TPlaceholder {
  std::size_t Start = std::string_view::npos, Length = 0;
  int Width = 0;
};

// Every placeholder in the text, so a pattern with two can be refused.
std::vector<TPlaceholder> FindPlaceholders(std::string_view text) {
  std::vector<TPlaceholder> found;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '#') {
      std::size_t j = i;
      while (j < text.size() && text[j] == '#')
        ++j;
      found.push_back({i, j - i, static_cast<int>(j - i)});
      i = j - 1;
    } else if (text[i] == '%') {
      std::size_t j = i + 1;
      int width = 0;
      const bool zero = j < text.size() && text[j] == '0';
      while (j < text.size() && text[j] >= '0' && text[j] <= '9' && width < 100)
        width = width * 10 + (text[j++] - '0');
      if (j < text.size() && text[j] == 'd') {
        found.push_back({i, j + 1 - i, zero ? width : 0});
        i = j;
      }
    }
  }
  return found;
}

} // namespace

std::vector<std::int64_t> ParseFrameList(std::string_view spec) {
  std::vector<std::int64_t> frames;
  std::unordered_set<std::int64_t> seen;
  if (Trim(spec).empty())
    throw EFrameSpecError("the frame list is empty.");
  std::size_t start = 0;
  while (start <= spec.size()) {
    std::size_t comma = spec.find(',', start);
    if (comma == std::string_view::npos)
      comma = spec.size();
    const std::string_view item = Trim(spec.substr(start, comma - start));
    start = comma + 1;
    if (item.empty())
      throw EFrameSpecError("the frame list has an empty item.");
    std::int64_t first = 0, last = 0, step = 1;
    // A leading '-' would be a negative frame, not a range.
    const std::size_t dash = item.find('-', 1);
    if (dash == std::string_view::npos) {
      first = last = ReadFrame(item, item);
    } else {
      std::string_view rest = item.substr(dash + 1);
      // 'x' as render-farm job descriptions write the step; ':' as Open Job Description writes it.
      const std::size_t x = rest.find_first_of("x:");
      if (x != std::string_view::npos) {
        step = ReadFrame(rest.substr(x + 1), item);
        rest = rest.substr(0, x);
        if (step == 0)
          throw EFrameSpecError("'" + std::string(item) + "': the step must be at least 1.");
      }
      first = ReadFrame(item.substr(0, dash), item);
      last = ReadFrame(rest, item);
      if (last < first)
        throw EFrameSpecError("'" + std::string(item) + "': the range ends before it starts.");
    }
    if (static_cast<std::size_t>((last - first) / step) >= MaxFramesInList - frames.size())
      throw EFrameSpecError("the frame list names more than " + std::to_string(MaxFramesInList) + " frames.");
    for (std::int64_t f = first; f <= last; f += step) {
      if (seen.insert(f).second)
        frames.push_back(f);
    }
  }
  return frames;
}

bool TFramePattern::IsPattern(std::string_view text) { return FindPlaceholders(text).size() == 1; }

TFramePattern::TFramePattern(std::string_view pattern) : FText(pattern) {
  const std::vector<TPlaceholder> found = FindPlaceholders(pattern);
  if (found.size() != 1)
    throw EFrameSpecError("'" + FText + "' must hold one frame number: %04d, %d or ####.");
  FPrefix = std::string(pattern.substr(0, found[0].Start));
  FSuffix = std::string(pattern.substr(found[0].Start + found[0].Length));
  FWidth = found[0].Width;
}

std::string TFramePattern::NameOf(std::int64_t frame) const {
  std::string digits = std::to_string(frame);
  if (static_cast<int>(digits.size()) < FWidth)
    digits.insert(0, static_cast<std::size_t>(FWidth) - digits.size(), '0');
  return FPrefix + digits + FSuffix;
}

} // namespace tintwise
