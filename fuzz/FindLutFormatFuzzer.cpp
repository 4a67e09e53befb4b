// Any bytes under any of the extensions LUT files come with: the first byte of the input picks the
// extension, the rest is the file. FindLutFormat asks every format in table order; the format it
// answers then reads the file, as opening a LUT in the program does.
#include <iterator>

#include "engine/Errors.h"
#include "engine/Lut.h"
#include "formats/LutFormat.h"
#include "fuzz/FuzzSupport.h"

namespace {

// Keep in step with FuzzSeeds.cpp, which writes its seeds with the index of their extension first.
const char *const kExtensions[] = {"cube", "3dl",  "lut", "m3d",  "cms", "txt", "3dmesh", "dat", "1dlut", "alut",
                                   "ilut", "olut", "look", "cc",  "cdl", "ccc", "pfl",    "cfe", "xml",   ""};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace tintwise;
  fuzz::Initialize();
  if (size == 0)
    return 0;
  const char *extension = kExtensions[data[0] % std::size(kExtensions)];
  const std::string name = fuzz::WriteInput(data + 1, size - 1, extension);
  TLUT &lut = fuzz::SharedLut();
  lut.Comments.clear();
  TLUTFormat *format = nullptr;
  try {
    format = LoadLutFile(name, lut);
  } catch (const ETintwiseError &) {
    return 0;
  }
  fuzz::CheckLoadedLut(format->Name);
  return 0;
}
