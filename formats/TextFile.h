// A text file held as a list of lines. Reading splits at CR, LF or CR LF (a zero byte ends the
// text); writing puts a line feed after every line, the last one too, and replaces the target in
// one step.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tintwise {

class TTextFile {
public:
  TTextFile() = default;
  TTextFile(const TTextFile &) = delete;
  TTextFile &operator=(const TTextFile &) = delete;

  // Writes every line followed by a line feed to a temporary file beside the target and renames it
  // over the target. Raises EFCreateError; an existing target is then left untouched.
  void SaveToFile(const std::string &FileName) const;
  // Replaces the lines by the text (a copy of it), split at CR, LF or CR LF.
  void SetText(std::string_view Text);
  // The same without a copy: the lines refer to Text, which must outlive their use.
  void SetTextView(std::string_view Text);
  // The lines joined, each followed by a line feed.
  std::string Text() const;

  std::size_t Count() const;
  std::string_view operator[](std::size_t i) const;
  void Add(std::string_view Line);
  void Clear();
  // Whether line (a view handed out by ForEachLine or operator[]) is the last line of the loaded
  // text and that text ends without a line break: the mark of a file that was cut off.
  bool IsCutLastLine(std::string_view line) const {
    if (line.empty() || !FText || FTextSize == 0 || line.data() + line.size() != FText + FTextSize)
      return false;
    const char last = FText[FTextSize - 1];
    return last != '\n' && last != '\r';
  }
  // Room for the lines a writer is about to add (count and characters), to save reallocations.
  void Reserve(std::size_t lines, std::size_t chars);

  // Calls f(line) for every line in order, splitting as it goes: the fast way to read a large
  // file once, without building the index that Count and operator[] use.
  template <class F> void ForEachLine(F &&f) const;

private:
  void SetSource(const char *text, std::size_t size);
  void BuildIndex() const;

  // The text set (FOwned or a caller's) before any Add; lines are split from it.
  const char *FText = nullptr;
  std::size_t FTextSize = 0;
  bool FHasCR = false;
  std::string FOwned;
  // The index of lines as (offset, length) in FText, then lines added by Add in FAdded.
  mutable std::vector<std::pair<std::size_t, std::size_t>> FSpans;
  mutable bool FIndexed = true;
  std::string FAdded;
  std::size_t FLoadedLines = 0; // lines of FSpans that point into FText
};

template <class F> void TTextFile::ForEachLine(F &&f) const {
  if (!FIndexed) {
    const char *base = FText;
    const std::size_t n = FTextSize;
    std::size_t start = 0;
    if (!FHasCR) {
      while (start < n) {
        const void *lf = std::memchr(base + start, '\n', n - start);
        const std::size_t end = lf ? static_cast<std::size_t>(static_cast<const char *>(lf) - base) : n;
        f(std::string_view(base + start, end - start));
        start = end + 1;
      }
      return;
    }
    std::size_t i = 0;
    while (i < n) {
      const char c = base[i];
      if (c == '\n' || c == '\r') {
        f(std::string_view(base + start, i - start));
        ++i;
        if (c == '\r' && i < n && base[i] == '\n')
          ++i;
        start = i;
      } else {
        ++i;
      }
    }
    if (start < n)
      f(std::string_view(base + start, n - start));
    return;
  }
  const std::size_t count = FSpans.size();
  for (std::size_t i = 0; i < count; ++i)
    f((*this)[i]);
}

// Writes Data in one step through the shared file-access rules (links written through, devices and
// read-only files refused); "-" is standard output.
void WriteFileReplacing(const std::string &FileName, std::string_view Data);

} // namespace tintwise
