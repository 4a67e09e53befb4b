#include "cli/OutputGuard.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>
#include <system_error>
#include <utility>

#include "engine/Errors.h"
#include "engine/FileAccess.h"

namespace tintwise {

namespace {

// The path a write lands on, links and ".." resolved as far as the path exists, for telling two
// outputs apart that do not exist yet.
std::filesystem::path Landing(const std::string &fileName) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::weakly_canonical(std::filesystem::absolute(fileName, ec), ec);
  return ec ? std::filesystem::path(fileName).lexically_normal() : p;
}

// The file a name leads to (device and inode, links followed), when it exists: two names are the
// same file when these agree.
using TFileId = std::pair<dev_t, ino_t>;
std::optional<TFileId> FileIdOf(const std::string &fileName) {
  struct stat st {};
  if (::stat(fileName.c_str(), &st) != 0)
    return std::nullopt;
  return TFileId{st.st_dev, st.st_ino};
}

} // namespace

void TOutputGuard::Check() const {
  // Every name is looked at once and kept in a table, so a run of thousands of frames is checked
  // in a moment rather than comparing every output with every other file.
  std::map<TFileId, std::size_t> inputs; // the first input that is each file
  for (std::size_t k = 0; k < FInputs.size(); ++k)
    if (const auto id = FileIdOf(FInputs[k]))
      inputs.emplace(*id, k);
  std::map<TFileId, std::size_t> outputFiles; // the first output that is each existing file
  std::map<std::filesystem::path, std::size_t> outputLandings;
  for (std::size_t i = 0; i < FOutputs.size(); ++i) {
    const std::string &out = FOutputs[i];
    if (IsStandardOutput(out))
      continue;
    const std::optional<TFileId> id = FileIdOf(out);
    if (id)
      if (const auto in = inputs.find(*id); in != inputs.end())
        throw EFCreateError(out + ": this file is also read in this run (" + FInputs[in->second] +
                            "); choose another output.");
    // The first earlier output that is the same file or lands on the same path.
    const std::filesystem::path landing = Landing(out);
    std::size_t j = i;
    if (id)
      if (const auto earlier = outputFiles.find(*id); earlier != outputFiles.end())
        j = std::min(j, earlier->second);
    if (const auto earlier = outputLandings.find(landing); earlier != outputLandings.end())
      j = std::min(j, earlier->second);
    if (j < i)
      throw EFCreateError(out + ": two results would be written to this one file" +
                          (out == FOutputs[j] ? std::string(".") : " (also as " + FOutputs[j] + ")."));
    if (id)
      outputFiles.emplace(*id, i);
    outputLandings.emplace(landing, i);
    TFileOutput::Check(out);
    std::error_code ec;
    if (!FOverwrite && std::filesystem::exists(out, ec))
      throw EFCreateError(out + ": the file exists; --overwrite writes over it.");
  }
}

} // namespace tintwise
