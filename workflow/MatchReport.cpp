#include "workflow/MatchReport.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "engine/Bitmap24.h"
#include "engine/Errors.h"

namespace tintwise {

namespace {

std::string Number(double v) {
  if (!std::isfinite(v))
    return "null";
  if (v == 0)
    return "0"; // also for -0
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, v);
  return std::string(buffer, result.ptr);
}

std::string Quoted(const std::string &text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
    case '"': out += "\\\""; break;
    case '\\': out += "\\\\"; break;
    case '\n': out += "\\n"; break;
    case '\r': out += "\\r"; break;
    case '\t': out += "\\t"; break;
    default:
      if (static_cast<unsigned char>(c) < 0x20) {
        char u[8];
        std::snprintf(u, sizeof u, "\\u%04x", c);
        out += u;
      } else {
        out += c;
      }
    }
  }
  return out + "\"";
}

std::string Triple(const char *names[3], const std::array<double, 3> &v) {
  return std::string("{\"") + names[0] + "\": " + Number(v[0]) + ", \"" + names[1] + "\": " + Number(v[1]) +
         ", \"" + names[2] + "\": " + Number(v[2]) + "}";
}

std::string Region(const std::optional<TReportRegion> &region) {
  if (!region)
    return "null";
  std::string out;
  for (const int v : *region)
    out += (out.empty() ? "[" : ", ") + std::to_string(v);
  return out + "]";
}

std::string MeasureJson(const TPictureMeasure &m, const std::optional<TReportRegion> &region,
                        const std::string &indent) {
  static const char *yuv[3] = {"Y", "U", "V"}, *rgb[3] = {"R", "G", "B"}, *lab[3] = {"L", "a", "b"};
  const std::string in = indent + "  ";
  return "{\n" + in + "\"region\": " + Region(region) + ",\n" + in + "\"pixels\": " + std::to_string(m.Pixels) +
         ",\n" + in + "\"mean\": " + Triple(yuv, m.Mean) + ",\n" + in + "\"deviation\": " + Triple(yuv, m.Deviation) +
         ",\n" + in + "\"mean_rgb\": " + Triple(rgb, m.MeanRGB) + ",\n" + in + "\"lab\": " + Triple(lab, m.Lab) +
         "\n" + indent + "}";
}

std::string Fixed(double v, int width, int decimals) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "%*.*f", width, decimals, v);
  return buffer;
}

std::string RegionText(const std::optional<TReportRegion> &region) {
  if (!region)
    return "whole picture";
  const TReportRegion &r = *region;
  return std::to_string(r[2]) + " x " + std::to_string(r[3]) + " at " + std::to_string(r[0]) + ", " +
         std::to_string(r[1]);
}

} // namespace

TPictureMeasure MeasurePicture(const TBitmap24 &picture) {
  TPictureMeasure m;
  CalcChannelStatistics(picture, m.Mean, m.Deviation); // refuses an empty picture
  m.Pixels = static_cast<std::uint64_t>(picture.Width()) * picture.Height();
  std::uint64_t sums[3] = {0, 0, 0};
  for (int y = 0; y < picture.Height(); ++y) {
    const std::uint8_t *p = picture.Scanline(y);
    for (int x = 0; x < picture.Width(); ++x, p += 3) {
      sums[0] += p[2];
      sums[1] += p[1];
      sums[2] += p[0];
    }
  }
  for (int c = 0; c < 3; ++c)
    m.MeanRGB[c] = static_cast<double>(sums[c]) / static_cast<double>(m.Pixels) / 255.0;
  m.Lab = SRGBToLab(m.MeanRGB[0], m.MeanRGB[1], m.MeanRGB[2]);
  return m;
}

TReportArea MeasureArea(std::string name, const TBitmap24 &reference, const TBitmap24 &before, const TBitmap24 *after,
                        std::optional<TReportRegion> referenceRegion, std::optional<TReportRegion> sourceRegion) {
  TReportArea area;
  area.Name = std::move(name);
  area.ReferenceRegion = referenceRegion;
  area.SourceRegion = sourceRegion;
  area.Reference = MeasurePicture(reference);
  area.Before = MeasurePicture(before);
  area.DeltaEBefore = CIEDE2000(area.Reference.Lab, area.Before.Lab);
  if (after) {
    area.After = MeasurePicture(*after);
    area.DeltaEAfter = CIEDE2000(area.Reference.Lab, area.After->Lab);
  }
  return area;
}

std::string MatchReportJson(const TMatchReport &report) {
  std::string out = "{\n  \"colour_model\": \"YUV (BT.601)\",\n  \"colour_difference\": \"CIEDE2000 of the mean "
                    "colours, sRGB D65\",\n  \"areas\": [";
  for (std::size_t i = 0; i < report.Areas.size(); ++i) {
    const TReportArea &a = report.Areas[i];
    const std::string in = "      ";
    out += i ? ",\n    {\n" : "\n    {\n";
    out += in + "\"name\": " + Quoted(a.Name) + ",\n";
    out += in + "\"reference\": " + MeasureJson(a.Reference, a.ReferenceRegion, in) + ",\n";
    out += in + "\"source\": " + MeasureJson(a.Before, a.SourceRegion, in) + ",\n";
    out += in + "\"preview\": " + (a.After ? MeasureJson(*a.After, a.SourceRegion, in) : "null") + ",\n";
    out += in + "\"delta_e_2000\": {\"before\": " + Number(a.DeltaEBefore) +
           ", \"after\": " + (a.DeltaEAfter ? Number(*a.DeltaEAfter) : "null") + "}\n    }";
  }
  out += report.Areas.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}

std::string PictureReportJson(const std::string &picture, const std::vector<TPictureEntry> &entries) {
  std::string out = "{\n  \"picture\": " + Quoted(picture) +
                    ",\n  \"colour_model\": \"YUV (BT.601)\",\n  \"areas\": [";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string in = "      ";
    out += i ? ",\n    {\n" : "\n    {\n";
    out += in + "\"name\": " + Quoted(entries[i].Name) + ",\n";
    out += in + "\"picture\": " + MeasureJson(entries[i].Measure, entries[i].Region, in) + "\n    }";
  }
  out += entries.empty() ? "]\n}\n" : "\n  ]\n}\n";
  return out;
}

std::string MatchReportText(const TMatchReport &report) {
  std::string out = "            Y mean    dev   U mean    dev   V mean    dev      L*      a*      b*    dE00\n";
  // Two decimals after a blank of their own: a* and b* reach -128.00, a difference 100 and more.
  auto column = [](double v) {
    std::string text(1, ' ');
    return text += Fixed(v, 7, 2);
  };
  auto row = [&](const char *label, const TPictureMeasure &m, const std::string &deltaE) {
    std::string line = std::string(label);
    line.resize(11, ' ');
    for (int c = 0; c < 3; ++c)
      line += Fixed(m.Mean[c], 8, 4) + Fixed(m.Deviation[c], 7, 4);
    for (int c = 0; c < 3; ++c)
      line += column(m.Lab[c]);
    out += line + deltaE + "\n";
  };
  for (const TReportArea &a : report.Areas) {
    out += a.Name + " (reference: " + RegionText(a.ReferenceRegion) + "; source: " + RegionText(a.SourceRegion) +
           ")\n";
    row(" Reference", a.Reference, "");
    row(" Source", a.Before, column(a.DeltaEBefore));
    if (a.After)
      row(" Preview", *a.After, column(*a.DeltaEAfter));
  }
  return out;
}

} // namespace tintwise
