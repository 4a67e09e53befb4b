// Frame numbers and numbered file names, as render-farm job descriptions write them.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace tintwise {

// A frame list or a file-name pattern that cannot be understood; the message says why.
class EFrameSpecError : public std::invalid_argument {
public:
  using std::invalid_argument::invalid_argument;
};

// The most frames one list may name; a longer one is almost certainly a typing mistake.
constexpr std::size_t MaxFramesInList = 10'000'000;

// Parses a comma-separated list of `N`, `A-B` and `A-BxS` (every S-th frame from A up to B), e.g.
// "1001-1100", "1001-1100x2", "1,5,9,20-30x5"; `A-B:S` is read as `A-BxS`. Frames keep the order of the list; a frame named
// twice is kept once, where it first appears. Frames are whole numbers from 0 up.
std::vector<std::int64_t> ParseFrameList(std::string_view spec);

// A file name with one frame-number placeholder: printf-style `%d` or `%0Nd`, or a run of `#`
// (as many digits as there are #s, e.g. `shot.####.exr`). Numbers wider than the padding are
// written in full, as printf does.
class TFramePattern {
public:
  // Raises EFrameSpecError unless the text holds exactly one placeholder.
  explicit TFramePattern(std::string_view pattern);
  // True when the text holds a placeholder (and only one).
  static bool IsPattern(std::string_view text);

  std::string NameOf(std::int64_t frame) const;
  const std::string &Text() const { return FText; }

private:
  std::string FText;
  std::string FPrefix, FSuffix;
  int FWidth = 0;
};

} // namespace tintwise
