// Any bytes under any of the extensions LUT files come with: the first byte of the input picks the
// extension, the rest is the file. FindLutFormat asks every format in table order; the format it
// answers then reads the file, as opening a LUT in the program does.
#include "engine/Errors.h"
#include "engine/Lut.h"
#include "formats/LutFormat.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
  using namespace tintwise;
  fuzz::Initialize();
  if (size == 0)
    return 0;
  const std::vector<std::string> &extensions = fuzz::FinderExtensions();
  const std::string &extension = extensions[data[0] % extensions.size()];
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
