// The body of a per-format fuzz target; fuzz/CMakeLists.txt generates one source per reader.
#pragma once

#include "fuzz/FuzzSupport.h"

#define TINTWISE_LUT_FORMAT_FUZZER(index, extension)                                                \
  extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {               \
    return tintwise::fuzz::FuzzLutFormat(index, extension, data, size);                            \
  }
