#include "engine/Bitmap24.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "engine/Errors.h"

namespace tintwise {

TBitmap24::TBitmap24(int width, int height) { SetSize(width, height); }

void TBitmap24::SetSize(int width, int height) { Resize(width, height, true); }

void TBitmap24::SetSizeForOverwrite(int width, int height) { Resize(width, height, false); }

void TBitmap24::Resize(int width, int height, bool clear) {
  if (width < 0 || height < 0)
    throw EEngineError("A picture cannot have a negative size (" + std::to_string(width) + " x " +
                       std::to_string(height) + ").");
  if (width > kMaxSide || height > kMaxSide ||
      static_cast<std::int64_t>(width) * height > kMaxPixels)
    throw EEngineError("A picture of " + std::to_string(width) + " x " + std::to_string(height) +
                       " pixels is too large.");
  const std::ptrdiff_t stride = (static_cast<std::ptrdiff_t>(width) * 3 + 3) & ~std::ptrdiff_t(3);
  const std::size_t bytes = static_cast<std::size_t>(stride) * height;
  decltype(FData) data;
  if (clear) {
    data.assign(bytes, 0);
  } else {
    data.resize(bytes);
    if (const std::ptrdiff_t used = static_cast<std::ptrdiff_t>(width) * 3; used < stride)
      for (int y = 0; y < height; ++y)
        std::fill(data.data() + y * stride + used, data.data() + (y + 1) * stride, std::uint8_t(0));
  }
  FData.swap(data);
  FWidth = width;
  FHeight = height;
  FStride = stride;
}

void TBitmap24::SetPixel(int x, int y, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  std::uint8_t *p = Scanline(y) + 3 * x;
  p[0] = b;
  p[1] = g;
  p[2] = r;
}

void TBitmap24::GetPixel(int x, int y, std::uint8_t &r, std::uint8_t &g, std::uint8_t &b) const {
  const std::uint8_t *p = Scanline(y) + 3 * x;
  b = p[0];
  g = p[1];
  r = p[2];
}

TBitmap24 TBitmap24::Crop(int x, int y, int width, int height) const {
  const int x0 = std::clamp(x, 0, FWidth), y0 = std::clamp(y, 0, FHeight);
  const int x1 = std::clamp(x + std::max(width, 0), x0, FWidth);
  const int y1 = std::clamp(y + std::max(height, 0), y0, FHeight);
  TBitmap24 result(x1 - x0, y1 - y0);
  if (x1 == x0)
    return result;
  for (int row = y0; row < y1; ++row)
    std::memcpy(result.Scanline(row - y0), Scanline(row) + 3 * x0, static_cast<std::size_t>(x1 - x0) * 3);
  return result;
}

bool TBitmap24::SamePixels(const TBitmap24 &other) const {
  if (FWidth != other.FWidth || FHeight != other.FHeight)
    return false;
  for (int y = 0; y < FHeight; ++y)
    if (std::memcmp(Scanline(y), other.Scanline(y), static_cast<std::size_t>(FWidth) * 3) != 0)
      return false;
  return true;
}

} // namespace tintwise
