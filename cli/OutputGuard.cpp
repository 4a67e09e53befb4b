#include "cli/OutputGuard.h"

#include <filesystem>
#include <system_error>

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

bool SameTarget(const std::string &a, const std::string &b) {
  return SameFile(a, b) || Landing(a) == Landing(b);
}

} // namespace

void TOutputGuard::Check() const {
  for (std::size_t i = 0; i < FOutputs.size(); ++i) {
    const std::string &out = FOutputs[i];
    if (IsStandardOutput(out))
      continue;
    for (const std::string &in : FInputs)
      if (SameFile(out, in))
        throw EFCreateError(out + ": this file is also read in this run (" + in +
                            "); choose another output.");
    for (std::size_t j = 0; j < i; ++j)
      if (!IsStandardOutput(FOutputs[j]) && SameTarget(out, FOutputs[j]))
        throw EFCreateError(out + ": two results would be written to this one file" +
                            (out == FOutputs[j] ? std::string(".") : " (also as " + FOutputs[j] + ")."));
    TFileOutput::Check(out);
    std::error_code ec;
    if (!FOverwrite && std::filesystem::exists(out, ec))
      throw EFCreateError(out + ": the file exists; --overwrite writes over it.");
  }
}

} // namespace tintwise
