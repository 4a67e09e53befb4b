// A minimal parallel loop for per-row and per-slab work. Every caller splits work so that each
// item is computed the same way whatever the thread count: results never depend on it.
#pragma once

#include <functional>

namespace tintwise {

// Threads the engine uses: the hardware's count unless set (tests set it to prove independence).
int EngineThreadCount();
void SetEngineThreadCount(int count); // 0 restores the default

// Calls body(begin, end) over disjoint ranges covering 0..count, on up to EngineThreadCount()
// threads; runs inline when the work is small. Exceptions from body reach the caller.
void ParallelFor(int count, const std::function<void(int begin, int end)> &body, int minPerThread = 1);

} // namespace tintwise
