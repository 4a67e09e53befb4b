// The files a run writes, checked against the files it reads before anything is written: no output
// may be one of the inputs, no two outputs may land in one file, every output must be writable,
// and a file that exists is written over only when the user said --overwrite.
#pragma once

#include <string>
#include <vector>

namespace tintwise {

class TOutputGuard {
public:
  explicit TOutputGuard(bool overwrite) : FOverwrite(overwrite) {}

  void AddInput(const std::string &fileName) { FInputs.push_back(fileName); }
  // An output; "-" (standard output) is always allowed.
  void AddOutput(const std::string &fileName) { FOutputs.push_back(fileName); }

  // Raises EFCreateError naming the first output that may not be written, and why.
  void Check() const;

private:
  bool FOverwrite;
  std::vector<std::string> FInputs, FOutputs;
};

} // namespace tintwise
