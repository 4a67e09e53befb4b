#include "engine/Scratch.h"

#include <cstdlib>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

namespace tintwise {

namespace {

constexpr std::size_t kPoolEntries = 4;
constexpr std::size_t kPoolMaxBytes = 128u << 20; // larger buffers go straight back to the system

struct TPool {
  std::mutex Lock;
  std::vector<std::pair<void *, std::size_t>> Free;
  ~TPool() {
    for (auto &e : Free)
      std::free(e.first);
  }
};

TPool &Pool() {
  static TPool pool;
  return pool;
}

} // namespace

TScratch::TScratch(std::size_t bytes) : FBytes(bytes) {
  {
    TPool &pool = Pool();
    std::lock_guard<std::mutex> guard(pool.Lock);
    for (auto it = pool.Free.begin(); it != pool.Free.end(); ++it)
      if (it->second >= bytes) {
        FData = it->first;
        FBytes = it->second;
        pool.Free.erase(it);
        return;
      }
  }
  const std::size_t rounded = (bytes + 63) & ~std::size_t(63);
  FData = std::aligned_alloc(64, rounded == 0 ? 64 : rounded);
  if (!FData)
    throw std::bad_alloc();
}

TScratch::TScratch(TScratch &&other) noexcept
    : FData(std::exchange(other.FData, nullptr)), FBytes(std::exchange(other.FBytes, 0)) {}

TScratch::~TScratch() {
  if (!FData)
    return;
  if (FBytes <= kPoolMaxBytes) {
    TPool &pool = Pool();
    std::lock_guard<std::mutex> guard(pool.Lock);
    if (pool.Free.size() < kPoolEntries) {
      pool.Free.emplace_back(FData, FBytes);
      return;
    }
  }
  std::free(FData);
}

} // namespace tintwise
