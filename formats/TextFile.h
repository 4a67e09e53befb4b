// A text file held as a list of lines. Reading splits at CR, LF or CR LF; writing puts LineBreak
// after every line, the last one too, and replaces the target in one step.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tintwise {

class TTextFile {
public:
  TTextFile() = default;

  std::string LineBreak = "\n";

  // Reads the whole file as 8-bit characters. Raises EFOpenError when it cannot be read.
  void LoadFromFile(const std::string &FileName);
  // Writes every line followed by LineBreak to a temporary file beside the target and renames it
  // over the target. Raises EFCreateError; an existing target is then left untouched.
  void SaveToFile(const std::string &FileName) const;
  // Replaces the lines by the text, split as LoadFromFile splits; a zero byte ends the text.
  void SetText(std::string_view Text);
  // The lines joined, each followed by LineBreak.
  std::string Text() const;

  std::size_t Count() const { return FSpans.size(); }
  std::string_view operator[](std::size_t i) const {
    return std::string_view(FData.data() + FSpans[i].first, FSpans[i].second);
  }
  void Add(std::string_view Line);
  void Clear();
  // Room for the lines a writer is about to add (count and characters), to save reallocations.
  void Reserve(std::size_t lines, std::size_t chars);

private:
  void Split();
  std::string FData;
  std::vector<std::pair<std::size_t, std::size_t>> FSpans; // offset and length in FData
};

// Writes Data to a temporary file in the target's folder and renames it over FileName.
void WriteFileReplacing(const std::string &FileName, std::string_view Data);
// The whole file; raises EFOpenError.
std::string ReadWholeFile(const std::string &FileName);

} // namespace tintwise
