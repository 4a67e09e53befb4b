// Whether the user asked to see every warning (tintwise-cli --verbose). Libraries that print
// warnings of their own (the picture decoders, Qt) stay quiet unless this is set.
#pragma once

#include <atomic>

namespace tintwise {

inline std::atomic<bool> &VerboseFlag() {
  static std::atomic<bool> flag{false};
  return flag;
}
inline void SetVerbose(bool on) { VerboseFlag().store(on, std::memory_order_relaxed); }
inline bool Verbose() { return VerboseFlag().load(std::memory_order_relaxed); }

} // namespace tintwise
