// Small helpers the format families share: conversion errors with the file's name.
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

// Runs f; a conversion error that leaves it gets the file's name in front of its message.
template <class F> void WithFileName(const std::string &FileName, F &&f) {
  try {
    f();
  } catch (const EConvertError &e) {
    throw EConvertError(FileName + ": " + e.what());
  }
}

} // namespace tintwise
