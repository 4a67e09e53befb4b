// Colour science for judging a match: sRGB to CIELAB under D65 and the CIEDE2000 colour difference.
#pragma once

#include <array>

namespace tintwise {

using TLab = std::array<double, 3>; // L*, a*, b*

// An sRGB colour, components 0..1 as encoded (not linear), to CIELAB with the D65 white of the
// sRGB matrix itself, so that white is exactly L* 100, a* 0, b* 0.
TLab SRGBToLab(double R, double G, double B);

// The CIEDE2000 difference with the parametric factors kL = kC = kH = 1.
double CIEDE2000(const TLab &first, const TLab &second);

} // namespace tintwise
