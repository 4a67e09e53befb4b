// OpenColorIO as a partner: it reads the files our writers produce, we read the files its baker
// produces, and both evaluate the same CDL and look files. Outputs are compared at many points.
#include <OpenColorIO/OpenColorIO.h>

#include <random>
#include <sstream>

#include "formats/CdlFormat.h"
#include "formats/XmlReader.h"
#include "tests/formats/FormatTestSupport.h"

namespace OCIO = OCIO_NAMESPACE;

namespace tintwise {
namespace {

using namespace test;

OCIO::ConstCPUProcessorRcPtr OcioProcessor(const OCIO::ConstTransformRcPtr &transform) {
  return OCIO::Config::CreateRaw()->getProcessor(transform)->getDefaultCPUProcessor();
}

OCIO::ConstCPUProcessorRcPtr OcioFileProcessor(const std::string &file) {
  OCIO::ClearAllCaches();
  auto transform = OCIO::FileTransform::Create();
  transform->setSrc(file.c_str());
  transform->setInterpolation(OCIO::INTERP_LINEAR);
  return OcioProcessor(transform);
}

TLutTriple Apply(const OCIO::ConstCPUProcessorRcPtr &processor, const TLutTriple &in) {
  float rgb[3] = {float(in[0]), float(in[1]), float(in[2])};
  processor->applyRGB(rgb);
  return {rgb[0], rgb[1], rgb[2]};
}

// The largest difference between OpenColorIO's output and lut.Evaluate over the corners and random
// inputs, the inputs taken in single precision on both sides.
double MaxDifference(const OCIO::ConstCPUProcessorRcPtr &processor, const TLUT &lut) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> dist(0.0f, 1.0f);
  double worst = 0;
  for (int i = 0; i < 2008; ++i) {
    const TLutTriple in = i < 8 ? TLutTriple{double(i & 1), double((i >> 1) & 1), double(i >> 2)}
                                : TLutTriple{dist(rng), dist(rng), dist(rng)};
    const TLutTriple theirs = Apply(processor, in), ours = lut.Evaluate(in);
    for (int c = 0; c < 3; ++c)
      worst = std::max(worst, std::fabs(theirs[c] - ours[c]));
  }
  return worst;
}

// Every profile OpenColorIO has a reader for, written at its default size and depth (and Codex 1D
// with more entries than output codes and the reverse, read as a Discreet 1D table): OpenColorIO
// reads it within half a step of the written numbers (plus its single-precision arithmetic), and
// our own reader reads the same numbers.
TEST(OcioInterop, OpenColorIOReadsOurFilesAsWeDo) {
  struct Case {
    int profile;
    const char *name; // with an extension OpenColorIO knows
    int size = 0, bits = 0; // 0: the profile's
  } cases[] = {
      {6, "iridas.cube"}, {7, "davinci.cube"}, {24, "curve.cube"}, {0, "scratch.3dl"}, {1, "fusion.3dl"},
      {10, "dolby.3dl"}, {15, "pandora.m3d"}, {18, "technicolor.mga"}, {8, "truelight.cub"}, {2, "lustre.3dl"},
      {22, "codex.lut"}, {22, "codex4096.lut", 4096, 10}, {22, "codex256.lut", 256, 16},
  };
  for (const Case &c : cases) {
    const TLutOutputProfile &profile = GetLutOutputProfile(c.profile);
    TLUTFormat &format = Format(profile.Format);
    const int size = c.size ? c.size : profile.DefaultSize, bits = c.size ? c.bits : profile.DefaultBits;
    TTempDir dir;
    TLUT written, read;
    format.Is3D ? FillLattice(written, size) : FillCurve(written, size);
    format.SaveToFile(dir.File(c.name), written, bits);
    const auto processor = OcioFileProcessor(dir.File(c.name));
    const double step = bits ? 0.5 / (std::ldexp(1.0, bits) - 1) : 0.5e-6;
    EXPECT_LE(MaxDifference(processor, written), step + 2e-6) << c.name;
    format.LoadFromFile(dir.File(c.name), read);
    EXPECT_LE(MaxDifference(processor, read), 2e-5) << c.name;
  }
}

TEST(OcioInterop, WeReadOpenColorIOsFiles) {
  // A transform that is neither separable nor the identity, for OpenColorIO's baker.
  std::istringstream yaml(R"(ocio_profile_version: 2
roles: {default: source}
colorspaces:
  - !<ColorSpace> {name: source}
  - !<ColorSpace>
    name: target
    from_scene_reference: !<GroupTransform>
      children:
        - !<MatrixTransform> {matrix: [0.8, 0.1, 0.1, 0, 0.05, 0.9, 0.05, 0, 0.3, 0, 0.7, 0, 0, 0, 0, 1]}
        - !<ExponentTransform> {value: [1.2, 1.0, 0.6, 1.0]}
  - !<ColorSpace> {name: shaper, from_scene_reference: !<ExponentTransform> {value: [0.5, 0.5, 0.5, 1.0]}}
)");
  const OCIO::ConstConfigRcPtr config = OCIO::Config::CreateFromStream(yaml);
  struct Case {
    const char *format, *file;
    int size, shaperSize; // shaperSize 0: no shaper
    TLutFormatId expectedFormat;
    std::uint8_t expectedMode;
  } cases[] = {
      {"flame", "flame.3dl", 17, 0, ThreeDL, kMode3D},
      {"lustre", "lustre.3dl", 17, 0, Lustre3D, kMode3D},
      {"iridas_cube", "iridas.cube", 33, 0, Cube3D, kMode3D},
      {"resolve_cube", "resolve.cube", 33, 0, Cube3D, kMode3D},
      {"resolve_cube", "resolve-shaper.cube", 17, 1024, Cube3D, kMode1DThen3D},
      {"truelight", "truelight.cub", 33, 0, Cube3DTruelight, kMode1DThen3D},
      {"truelight", "truelight-shaper.cub", 17, 256, Cube3DTruelight, kMode1DThen3D},
  };
  for (const Case &c : cases) {
    TTempDir dir;
    const std::string file = dir.File(c.file);
    auto baker = OCIO::Baker::Create();
    baker->setConfig(config);
    baker->setFormat(c.format);
    baker->setInputSpace("source");
    baker->setTargetSpace("target");
    baker->setCubeSize(c.size);
    if (c.shaperSize) {
      baker->setShaperSpace("shaper");
      baker->setShaperSize(c.shaperSize);
    }
    std::ofstream out(file, std::ios::binary);
    baker->bake(out);
    out.close();
    TLUT lut;
    EXPECT_EQ(LoadLutFile(file, lut), &Format(c.expectedFormat)) << c.file;
    EXPECT_EQ(lut.Mode, c.expectedMode) << c.file;
    EXPECT_EQ(lut.Size3D, c.size) << c.file;
    EXPECT_NEAR(lut.Evaluate({0.5, 0.5, 0.5})[2], std::pow(0.5, 0.6), 0.01) << c.file; // the transform, not the identity
    // Both sides read the same numbers: only single-precision arithmetic may differ.
    EXPECT_LE(MaxDifference(OcioFileProcessor(file), lut), 2e-5) << c.file;
  }
}

// Corrections of our own and the peer files: both read the same record, and with saturation set
// aside (OpenColorIO weighs the channels, we take the plain mean), our slope-offset-power clamped
// to 0..1 is OpenColorIO's clamping evaluation at every other lattice point (up to its fast power
// function). A negative value near black gives 0 on both sides.
TEST(InteropCdl, CorrectionsReadAlikeAndAgree) {
  TTempDir dir;
  const char *own[][3] = {
      {"0.8 0.9 0.7", "0.05 0.02 0.1", "1.2 0.9 1.5"},
      {"0.5 1 0.25", "0.5 0 0.75", "2.2 0.4545 3"},
      {"1 0.95 0.9", "-0.05 0.01 0", "0.8 1 1.3"},
  };
  // ASC_SAT is no element of the schema: both ignore it and take saturation 1.
  std::vector<std::string> files = {PeerFile("cdl_test1.cc"), PeerFile("cdl_test2.cc"), PeerFile("cdl_test_ASC_SAT.cc"),
                                    PeerFile("cdl_test_SATNode.cc")};
  for (const auto &c : own) {
    // A fresh name each time: OpenColorIO caches what it read by file name.
    files.push_back(dir.File("look" + std::to_string(files.size()) + ".cc"));
    WriteText(files.back(), std::string("<ColorCorrection id=\"look\">\n  <SOPNode>\n    <Slope>") + c[0] +
                                "</Slope>\n    <Offset>" + c[1] + "</Offset>\n    <Power>" + c[2] +
                                "</Power>\n  </SOPNode>\n</ColorCorrection>\n");
  }
  for (const std::string &file : files) {
    EXPECT_TRUE(Format(AscCdl).CanRead(TLutFileHead::Read(file))) << file;
    TCDLData ours;
    LoadCDLFile(file, ours);
    auto theirs = OCIO::CDLTransform::CreateFromFile(file.c_str(), "");
    double slope[3], offset[3], power[3];
    theirs->getSlope(slope);
    theirs->getOffset(offset);
    theirs->getPower(power);
    for (int c = 0; c < 3; ++c) {
      EXPECT_EQ(ours.Channel[c].Slope, float(slope[c])) << file;
      EXPECT_EQ(ours.Channel[c].Offset, float(offset[c])) << file;
      EXPECT_EQ(ours.Channel[c].Power, float(power[c])) << file;
    }
    EXPECT_EQ(ours.Saturation, float(theirs->getSat())) << file;
    EXPECT_EQ(ours.Id, theirs->getID()) << file;

    ours.Saturation = 1;
    theirs->setSat(1);
    theirs->setStyle(OCIO::CDL_ASC);
    const auto processor = OcioProcessor(theirs);
    double worst = 0;
    for (int r = 0; r < 33; r += 2)
      for (int g = 0; g < 33; g += 2)
        for (int b = 0; b < 33; b += 2) {
          float out[3];
          ApplyCDL(ours, r / 32.0f, g / 32.0f, b / 32.0f, out[0], out[1], out[2]);
          const TLutTriple t = Apply(processor, {r / 32.0, g / 32.0, b / 32.0});
          for (int k = 0; k < 3; ++k)
            worst = std::max(worst, std::fabs(std::clamp(double(out[k]), 0.0, 1.0) - t[k]));
        }
    EXPECT_LT(worst, 2e-5) << file;
  }
  // A collection is not a single correction: refused, whereas OpenColorIO picks one by its id. A
  // file whose slope-offset-power node has a name outside the schema (ASC_SOP, which OpenColorIO
  // reads as the identity with a warning) is not taken either.
  EXPECT_FALSE(Format(AscCdl).CanRead(TLutFileHead::Read(PeerFile("cdl_test1.ccc"))));
  EXPECT_FALSE(Format(AscCdl).CanRead(TLutFileHead::Read(PeerFile("cdl_test_ASC_SOP.cc"))));
  // In a decision list the correction is not a child of the root: recognised, then refused.
  TLUT lut;
  EXPECT_TRUE(Format(AscCdl).CanRead(TLutFileHead::Read(PeerFile("cdl_test1.cdl"))));
  EXPECT_THROW(Format(AscCdl).LoadFromFile(PeerFile("cdl_test1.cdl"), lut), EXMLError);
}

TEST(InteropLook, OpenColorIOReadsTheLookLayoutAsWeDo) {
  TTempDir dir;
  const int n = 9;
  std::string data;
  for (int b = 0; b < n; ++b)
    for (int g = 0; g < n; ++g)
      for (int r = 0; r < n; ++r) {
        const float x = r / float(n - 1), y = g / float(n - 1), z = b / float(n - 1);
        data += HexOf(0.6f * x * x + 0.3f * y * z + 0.05f) + HexOf(0.9f * y + 0.1f * x * z) +
                HexOf(std::sqrt(0.5f * z + 0.5f * x * y));
        if (r % 3 == 2)
          data += "\n      ";
      }
  const std::string file = WriteText(dir.File("grade.look"), Look('"' + std::to_string(n) + '"', '"' + data + '"'));
  TLUT lut;
  ASSERT_EQ(FindLutFormat(file), &Format(SpeedgradeLook3D));
  Format(SpeedgradeLook3D).LoadFromFile(file, lut);
  ASSERT_EQ(lut.Size3D, n);
  EXPECT_LT(MaxDifference(OcioFileProcessor(file), lut), 2e-6);
}

} // namespace
} // namespace tintwise
