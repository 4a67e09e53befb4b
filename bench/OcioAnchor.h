// The OpenColorIO side of the comparisons: its optimized CPU processor applying one of our
// lattices, trilinear, to an 8-bit blue-green-red picture in place.
#pragma once

#include <OpenColorIO/OpenColorIO.h>

#include "engine/Bitmap24.h"
#include "engine/Lut.h"

namespace tintwise::bench {

namespace OCIO = OCIO_NAMESPACE;

inline OCIO::ConstCPUProcessorRcPtr OcioProcessor(const TLUT &lut) {
  const int n = lut.Size3D;
  auto transform = OCIO::Lut3DTransform::Create(n);
  for (int r = 0; r < n; ++r)
    for (int g = 0; g < n; ++g)
      for (int b = 0; b < n; ++b) {
        const TLutTriple &e = lut.Lattice[r][g][b];
        transform->setValue(r, g, b, static_cast<float>(e[0]), static_cast<float>(e[1]), static_cast<float>(e[2]));
      }
  transform->setInterpolation(OCIO::INTERP_LINEAR);
  auto config = OCIO::Config::CreateRaw();
  return config->getProcessor(transform)->getOptimizedCPUProcessor(OCIO::BIT_DEPTH_UINT8, OCIO::BIT_DEPTH_UINT8,
                                                                     OCIO::OPTIMIZATION_DEFAULT);
}

inline void OcioApply(const OCIO::ConstCPUProcessorRcPtr &processor, TBitmap24 &bitmap) {
  OCIO::PackedImageDesc desc(bitmap.Bits(), bitmap.Width(), bitmap.Height(), OCIO::CHANNEL_ORDERING_BGR,
                             OCIO::BIT_DEPTH_UINT8, 1, 3, bitmap.Stride());
  processor->apply(desc);
}

} // namespace tintwise::bench
