// What the fuzz targets share: writing an input where the readers can open it, one LUT reused
// from input to input, and running a loaded LUT through the engine.
//
// The readers answer hostile input with an ETintwiseError; the targets catch exactly that. Any
// other exception, a crash, a sanitizer report, a hang or a runaway allocation is a fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tintwise {
class TLUT;
}

namespace tintwise::fuzz {

// Writes the bytes to a file of this process's own folder (in /dev/shm when it exists, so inputs
// never touch the disk) named with the extension (without the dot; empty for none) and answers
// its path. The folder is removed when the process ends.
std::string WriteInput(const std::uint8_t *data, std::size_t size, std::string_view extension);

// Once per process: the format table, one engine thread (the inputs are tiny), and the LUT the
// targets load into, with every entry of both tables set to a marker no reader produces.
void Initialize();

// The LUT every load goes into. Its comments are emptied before each input.
TLUT &SharedLut();

// After a load that succeeded: aborts when a table in force still holds the marker (the reader
// left an entry unset, so a previous file's value would show through), runs colours and a small
// picture through the LUT, then sets the entries in force back to the marker.
void CheckLoadedLut(const std::string &formatName);

// The extensions the finder's inputs are named with: every extension of the format table once, in
// table order, then none. The first byte of a finder input picks one, modulo their number.
const std::vector<std::string> &FinderExtensions();
// The index in FinderExtensions of an extension (without the dot); the last (none) when absent.
int FinderSelector(const std::string &extension);

// One input through one format of the table: CanRead, then LoadFromFile whatever CanRead answered,
// and CheckLoadedLut after a successful load.
int FuzzLutFormat(int formatIndex, const char *extension, const std::uint8_t *data, std::size_t size);

} // namespace tintwise::fuzz
