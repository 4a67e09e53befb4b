#include "engine/Parallel.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

namespace tintwise {

namespace {
std::atomic<int> GThreadOverride{0};
}

int EngineThreadCount() {
  if (const int n = GThreadOverride.load(); n > 0)
    return n;
  static const int hardware = std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, 16);
  return hardware;
}

void SetEngineThreadCount(int count) { GThreadOverride.store(std::max(count, 0)); }

void ParallelFor(int count, const std::function<void(int, int)> &body, int minPerThread) {
  if (count <= 0)
    return;
  const int threads = std::clamp(count / std::max(minPerThread, 1), 1, EngineThreadCount());
  if (threads == 1) {
    body(0, count);
    return;
  }
  std::vector<std::exception_ptr> errors(threads);
  std::vector<std::thread> pool;
  pool.reserve(threads - 1);
  auto run = [&](int t) {
    const int begin = static_cast<int>(static_cast<long long>(count) * t / threads);
    const int end = static_cast<int>(static_cast<long long>(count) * (t + 1) / threads);
    try {
      body(begin, end);
    } catch (...) {
      errors[t] = std::current_exception();
    }
  };
  for (int t = 1; t < threads; ++t)
    pool.emplace_back(run, t);
  run(0);
  for (auto &th : pool)
    th.join();
  for (auto &e : errors)
    if (e)
      std::rethrow_exception(e);
}

} // namespace tintwise
