// A 24-bit picture: rows from the top, three bytes a pixel in the order blue, green, red.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace tintwise {

class TBitmap24 {
public:
  // Largest side and pixel count accepted; anything larger is refused before allocating.
  static constexpr int kMaxSide = 65535;
  static constexpr std::int64_t kMaxPixels = 400'000'000;

  TBitmap24() = default;
  TBitmap24(int width, int height); // every pixel black

  // Reallocates for the new size; every pixel becomes black. Throws EEngineError for a negative
  // size or one beyond kMaxSide / kMaxPixels, leaving the bitmap as it was.
  void SetSize(int width, int height);
  // SetSize for a caller that then writes every pixel (a decoder): the pixels are left undefined,
  // which spares a pass over the whole picture; the row padding is zeroed.
  void SetSizeForOverwrite(int width, int height);

  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  bool Empty() const { return FWidth == 0 || FHeight == 0; }
  // Bytes from the start of one row to the start of the next: width * 3 rounded up to 4.
  std::ptrdiff_t Stride() const { return FStride; }

  std::uint8_t *Scanline(int y) { return FData.data() + y * FStride; }
  const std::uint8_t *Scanline(int y) const { return FData.data() + y * FStride; }
  std::uint8_t *Bits() { return FData.data(); }
  const std::uint8_t *Bits() const { return FData.data(); }

  // Pixel access for tests and one-off reads; the hot paths use Scanline.
  void SetPixel(int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b);
  void GetPixel(int x, int y, std::uint8_t &r, std::uint8_t &g, std::uint8_t &b) const;

  // A copy of the rectangle (x, y, width, height), clipped to the picture.
  TBitmap24 Crop(int x, int y, int width, int height) const;

  // Same size and the same pixels (row padding is not compared).
  bool SamePixels(const TBitmap24 &other) const;

private:
  int FWidth = 0;
  int FHeight = 0;
  std::ptrdiff_t FStride = 0;
  // Elements are default-initialised: a new vector is not cleared unless asked to be.
  template <class T> struct TAllocator : std::allocator<T> {
    template <class U> struct rebind {
      using other = TAllocator<U>;
    };
    template <class U> void construct(U *p) noexcept { ::new (static_cast<void *>(p)) U; }
    template <class U, class... A> void construct(U *p, A &&...args) {
      ::new (static_cast<void *>(p)) U(std::forward<A>(args)...);
    }
  };
  std::vector<std::uint8_t, TAllocator<std::uint8_t>> FData;

  void Resize(int width, int height, bool clear);
};

} // namespace tintwise
