// Large scratch buffers reused from call to call. Fresh pages from the system cost more than the
// per-pixel work they hold (the kernel zeroes and maps every page on first touch), so the engine's
// big temporaries come from a small pool instead. Contents are undefined on acquisition.
#pragma once

#include <cstddef>

namespace tintwise {

class TScratch {
public:
  explicit TScratch(std::size_t bytes); // 64-byte aligned; throws std::bad_alloc
  ~TScratch();
  TScratch(const TScratch &) = delete;
  TScratch &operator=(const TScratch &) = delete;
  TScratch(TScratch &&other) noexcept;

  template <typename T> T *As() const { return static_cast<T *>(FData); }

private:
  void *FData = nullptr;
  std::size_t FBytes = 0;
};

} // namespace tintwise
