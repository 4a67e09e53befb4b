// Small helpers the format families share: file extensions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/Lut.h"
#include "formats/LutChars.h"
#include "formats/LutErrors.h"
#include "formats/LutTokens.h"
#include "formats/LutWriting.h"

namespace tintwise {

// The extension of the file name with its dot (".3dmesh"), as written; empty when there is none.
inline std::string FileExtension(const std::string &FileName) {
  const std::size_t slash = FileName.find_last_of('/');
  const std::size_t dot = FileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    return {};
  return FileName.substr(dot);
}

} // namespace tintwise
