// Uninitialised memory for whole pictures. Large blocks are aligned to 2 MiB and, on Linux, marked
// for transparent huge pages: the first touch of a fresh 50 MB picture then costs a few dozen page
// faults instead of over ten thousand, which on virtual machines is most of a decode's time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace tintwise::detail {

class TLargeBuffer {
public:
  TLargeBuffer() = default;
  explicit TLargeBuffer(std::size_t bytes) {
    constexpr std::size_t kHuge = std::size_t(2) << 20;
    if (bytes >= kHuge / 2) {
      const std::size_t size = (bytes + kHuge - 1) & ~(kHuge - 1);
      FData = static_cast<std::uint8_t *>(std::aligned_alloc(kHuge, size));
#ifdef __linux__
      if (FData)
        madvise(FData, size, MADV_HUGEPAGE);
#endif
    } else {
      FData = static_cast<std::uint8_t *>(std::malloc(bytes > 0 ? bytes : 1));
    }
    if (!FData)
      throw std::bad_alloc();
  }
  ~TLargeBuffer() { std::free(FData); }
  TLargeBuffer(TLargeBuffer &&other) noexcept : FData(std::exchange(other.FData, nullptr)) {}
  TLargeBuffer &operator=(TLargeBuffer &&other) noexcept {
    std::swap(FData, other.FData);
    return *this;
  }
  TLargeBuffer(const TLargeBuffer &) = delete;
  TLargeBuffer &operator=(const TLargeBuffer &) = delete;

  std::uint8_t *Data() { return FData; }
  const std::uint8_t *Data() const { return FData; }

private:
  std::uint8_t *FData = nullptr;
};

} // namespace tintwise::detail
