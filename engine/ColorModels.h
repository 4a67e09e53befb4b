// Working colour models: the statistics and blends of the corrections happen in YUV.
#pragma once

#include <cstdint>

namespace tintwise {

enum : std::uint8_t { kModelRGB = 0, kModelHSV = 2, kModelYUV = 3 };

// The model in use; fixed at YUV for the whole run.
extern std::uint8_t WorkingColorModel;

// |x| - Int(|x| / y) * y, Int truncating toward zero.
double FloatMod(double x, double y);

// The analogue BT.601 matrix (constants and sums in extended precision, result as double).
void RGBToYUV(double &Y, double &U, double &V, double R, double G, double B);
void YUVToRGB(double &R, double &G, double &B, double Y, double U, double V);
// Hue in degrees 0 up to 360, saturation and value 0..1.
void RGBToHSV(double &H, double &S, double &V, double R, double G, double B);
void HSVToRGB(double &R, double &G, double &B, double H, double S, double V);

// Dispatch on WorkingColorModel; any other value passes the components through.
void RGBToWorking(double &c0, double &c1, double &c2, double R, double G, double B);
void WorkingToRGB(double &R, double &G, double &B, double c0, double c1, double c2);

} // namespace tintwise
