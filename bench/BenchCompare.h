// Comparisons of our code against another program's, both measured in the same process with
// Google Benchmark. Each comparison prints one line after the run:
//   NAME ours=X ms ANCHOR=Y ms ratio=Z
// with the medians of the repetitions (wall-clock time, since our side may use several threads).
#pragma once

#include <functional>
#include <string>

namespace tintwise::bench {

struct TComparison {
  std::string Name;   // e.g. "preview_apply"
  std::string Anchor; // e.g. "ocio"
  std::function<void()> Ours;
  std::function<void()> Other;
  // Runs before every timed call of either side, untimed (e.g. restoring the input picture).
  std::function<void()> Setup;
};

void AddComparison(TComparison comparison);

// Runs every registered comparison (Google Benchmark flags apply) and prints the lines.
int RunComparisons(int argc, char **argv);

} // namespace tintwise::bench
