// Parsing and checking of the command line's values. Every problem raises EUsage with a message
// that names the option and the value; the program exits with 2 for those.
#pragma once

#include <stdexcept>
#include <string>

#include "engine/Bitmap24.h"

namespace tintwise {

struct TLutOutputProfile;
class TLUTFormat;

class EUsage : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct TRegion {
  int X = 0, Y = 0, Width = 0, Height = 0;
};

// One --secondary argument: "ref=X,Y,W,H src=X,Y,W,H softness=S brightness=P chroma=P", the
// regions checked for form only (they are mapped onto the pictures once these are loaded).
struct TSecondaryArgs {
  std::string Ref, Src;
  int Softness = 2, Brightness = 100, Chroma = 100;
};
TSecondaryArgs ParseSecondary(const std::string &text);

// A whole number within lo..hi, e.g. for --size.
int ParseInt(const std::string &option, const std::string &text, int lo, int hi);
// A number, e.g. a colour component for eval.
double ParseDouble(const std::string &what, const std::string &text);
// "X,Y,W,H" with W and H at least 1.
TRegion ParseRegion(const std::string &option, const std::string &text);

// A profile by its index in the table or its exact name.
int ResolveProfile(const std::string &text);
// A format by its index in the table or its exact name.
TLUTFormat *ResolveFormat(const std::string &text);

// Checks that the region lies inside a picture of width x height (the picture as it is on disk)
// and maps it onto the picture fitted to fittedWidth x fittedHeight: the smallest rectangle of
// fitted pixels that covers it, at least one pixel.
TRegion MapRegionToFitted(const std::string &option, const TRegion &region, int width, int height,
                          int fittedWidth, int fittedHeight);

} // namespace tintwise
