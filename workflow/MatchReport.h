// The match report: how far the source is from the reference before and after the correction, in
// the statistics the engine matches (mean and deviation of each channel of its YUV model) and in the
// CIEDE2000 difference between the mean colours, for the whole pictures and for pairs of regions.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/PrimaryCorrection.h"
#include "workflow/ColorScience.h"

namespace tintwise {

class TBitmap24;

using TReportRegion = std::array<int, 4>; // x, y, width, height, in the caller's own coordinates

struct TPictureMeasure {
  std::uint64_t Pixels = 0;
  TChannelValues Mean{};      // Y, U, V as the engine's statistics compute them
  TChannelValues Deviation{}; // population deviations, likewise
  std::array<double, 3> MeanRGB{}; // the mean of the sRGB-encoded R, G, B, 0..1
  TLab Lab{};                      // MeanRGB in CIELAB (D65)
};

// Throws EEngineError for an empty picture.
TPictureMeasure MeasurePicture(const TBitmap24 &picture);

struct TReportArea {
  std::string Name;
  std::optional<TReportRegion> ReferenceRegion, SourceRegion; // none: the whole picture
  TPictureMeasure Reference, Before;
  std::optional<TPictureMeasure> After; // the corrected source; none before a correction exists
  double DeltaEBefore = 0;
  std::optional<double> DeltaEAfter;
};

// `after` is the corrected source (the same region of the preview), or null.
TReportArea MeasureArea(std::string name, const TBitmap24 &reference, const TBitmap24 &before,
                        const TBitmap24 *after, std::optional<TReportRegion> referenceRegion = {},
                        std::optional<TReportRegion> sourceRegion = {});

struct TMatchReport {
  std::vector<TReportArea> Areas;
};

// Measurements of single pictures (for a report on one picture), each with a name and its region.
struct TPictureEntry {
  std::string Name;
  std::optional<TReportRegion> Region;
  TPictureMeasure Measure;
};

// JSON, numbers in the shortest form that reads back to the same double; ends with a line feed.
std::string MatchReportJson(const TMatchReport &report);
std::string PictureReportJson(const std::string &picture, const std::vector<TPictureEntry> &entries);
// A plain-text table for the window.
std::string MatchReportText(const TMatchReport &report);

} // namespace tintwise
