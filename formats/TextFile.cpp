#include "formats/TextFile.h"

#include "engine/FileAccess.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "formats/LutChars.h"
#include "formats/LutErrors.h"

namespace tintwise {

void WriteFileReplacing(const std::string &FileName, std::string_view Data) {
  WriteFileAtomically(FileName, Data);
}

void TTextFile::Clear() {
  FOwned.clear();
  FAdded.clear();
  FSpans.clear();
  FText = nullptr;
  FTextSize = 0;
  FHasCR = false;
  FIndexed = true;
  FLoadedLines = 0;
}

void TTextFile::SetSource(const char *text, std::size_t size) {
  // A byte-order mark is no part of the first line.
  if (std::string_view(text, size).starts_with(kUtf8Bom)) {
    text += kUtf8Bom.size();
    size -= kUtf8Bom.size();
  }
  if (const void *z = std::memchr(text, '\0', size))
    size = static_cast<std::size_t>(static_cast<const char *>(z) - text);
  FText = text;
  FTextSize = size;
  FHasCR = std::memchr(text, '\r', size) != nullptr;
  FIndexed = false;
}

void TTextFile::SetText(std::string_view Text) {
  Clear();
  FOwned.assign(Text);
  SetSource(FOwned.data(), FOwned.size());
}

void TTextFile::SetTextView(std::string_view Text) {
  Clear();
  SetSource(Text.data(), Text.size());
}

void TTextFile::BuildIndex() const {
  if (FIndexed)
    return;
  FSpans.clear();
  ForEachLine([&](std::string_view line) {
    FSpans.emplace_back(static_cast<std::size_t>(line.data() - FText), line.size());
  });
  FIndexed = true;
  const_cast<TTextFile *>(this)->FLoadedLines = FSpans.size();
}

std::size_t TTextFile::Count() const {
  BuildIndex();
  return FSpans.size();
}

std::string_view TTextFile::operator[](std::size_t i) const {
  BuildIndex();
  const auto &span = FSpans[i];
  const char *base = i < FLoadedLines ? FText : FAdded.data();
  return std::string_view(base + span.first, span.second);
}

void TTextFile::Add(std::string_view Line) {
  BuildIndex();
  FSpans.emplace_back(FAdded.size(), Line.size());
  FAdded.append(Line);
}

void TTextFile::Reserve(std::size_t lines, std::size_t chars) {
  BuildIndex();
  FSpans.reserve(FSpans.size() + lines);
  FAdded.reserve(FAdded.size() + chars);
}

std::string TTextFile::Text() const {
  BuildIndex();
  std::size_t total = 0;
  for (const auto &span : FSpans)
    total += span.second + 1;
  std::string out;
  out.reserve(total);
  for (std::size_t i = 0; i < FSpans.size(); ++i) {
    out.append((*this)[i]);
    out.push_back('\n');
  }
  return out;
}

void TTextFile::SaveToFile(const std::string &FileName) const { WriteFileReplacing(FileName, Text()); }

} // namespace tintwise
