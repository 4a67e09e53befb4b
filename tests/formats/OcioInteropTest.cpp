// OpenColorIO as a partner: it reads the files our writers produce, and we read the files its
// baker produces. Outputs are compared at many points.
#include <OpenColorIO/OpenColorIO.h>

#include <random>

#include "formats/LutErrors.h"
#include "tests/formats/FormatTestSupport.h"

namespace OCIO = OCIO_NAMESPACE;

namespace tintwise {
namespace {

using namespace test;

OCIO::ConstCPUProcessorRcPtr OcioFileProcessor(const std::string &file) {
  OCIO::ClearAllCaches();
  auto config = OCIO::Config::CreateRaw();
  auto transform = OCIO::FileTransform::Create();
  transform->setSrc(file.c_str());
  transform->setInterpolation(OCIO::INTERP_LINEAR);
  return config->getProcessor(transform)->getDefaultCPUProcessor();
}

// Sample inputs: the lattice corners, points on a grid between lattice points, and random ones.
std::vector<TLutTriple> Inputs() {
  std::vector<TLutTriple> inputs;
  for (double x : {0.0, 1.0})
    for (double y : {0.0, 1.0})
      for (double z : {0.0, 1.0})
        inputs.push_back({x, y, z});
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> dist(0.0f, 1.0f);
  for (int i = 0; i < 2000; ++i)
    inputs.push_back({dist(rng), dist(rng), dist(rng)});
  return inputs;
}

// The largest difference between OpenColorIO's output for the file and our LUT's Evaluate.
double MaxDifference(const OCIO::ConstCPUProcessorRcPtr &processor, const TLUT &lut) {
  double worst = 0;
  for (const TLutTriple &in : Inputs()) {
    float rgb[3] = {float(in[0]), float(in[1]), float(in[2])};
    const TLutTriple exact = {rgb[0], rgb[1], rgb[2]};
    processor->applyRGB(rgb);
    const TLutTriple ours = lut.Evaluate(exact);
    for (int c = 0; c < 3; ++c)
      worst = std::max(worst, std::fabs(ours[c] - rgb[c]));
  }
  return worst;
}

struct TProfileCase {
  int profile;
  const char *ocioName; // the name OpenColorIO reads it under (its extension chooses the reader)
};

// Writes a lattice through the profile and reads it with OpenColorIO. Answers the refusal
// message, or "" when it was read; the outputs are checked against the format's quantisation.
std::string WriteAndCompare(const TProfileCase &c) {
  InitLutFormats();
  const TLutOutputProfile &profile = GetLutOutputProfile(c.profile);
  TLUTFormat *format = GetLutFormat(profile.FormatIndex);
  TTempDir dir;
  const std::string file = dir.File(c.ocioName);
  TLUT lut;
  if (format->Is3D)
    FillLattice(lut, profile.DefaultSize);
  else
    FillCurve(lut, profile.DefaultSize);
  format->SaveToFile(file, lut, profile.DefaultBits);
  OCIO::ConstCPUProcessorRcPtr processor;
  try {
    processor = OcioFileProcessor(file);
  } catch (const OCIO::Exception &e) {
    return e.what();
  }
  // Half a step of the written numbers, plus single-precision arithmetic inside OpenColorIO.
  const double step = profile.DefaultBits ? 0.5 / (std::ldexp(1.0, profile.DefaultBits) - 1) : 0.5e-6;
  EXPECT_LE(MaxDifference(processor, lut), step + 2e-6) << profile.Name;
  return "";
}

TEST(OcioInterop, OpenColorIOReadsOurFiles) {
  const TProfileCase cases[] = {
      {6, "iridas.cube"},     // Cube 3D Iridas, Nuke, AfterEffects
      {7, "davinci.cube"},    // Cube 3D Davinci
      {24, "curve.cube"},     // Cube 1D
      {0, "scratch.3dl"},     // 3DL Scratch, Autodesk, Blackmagic, Cine-tal
      {1, "fusion.3dl"},      // 3DL Fusion
      {10, "dolby.3dl"},      // Dolby DD3, read as .3dl
      {15, "pandora.m3d"},    // Pandora 3D, Apple 3D m3d
      {18, "technicolor.mga"}, // Technicolor 3D mga
      {8, "truelight.cub"},   // Cube 3D Truelight, read as .cub
      {2, "lustre.3dl"},      // Autodesk Lustre 3D, read as a Lustre .3dl
  };
  for (const TProfileCase &c : cases)
    EXPECT_EQ(WriteAndCompare(c), "") << GetLutOutputProfile(c.profile).Name;
}

// A transform that is neither separable nor the identity, for OpenColorIO's baker.
OCIO::ConstConfigRcPtr BakeConfig() {
  auto config = OCIO::Config::CreateRaw()->createEditableCopy();
  auto source = OCIO::ColorSpace::Create();
  source->setName("source");
  config->addColorSpace(source);
  auto target = OCIO::ColorSpace::Create();
  target->setName("target");
  auto group = OCIO::GroupTransform::Create();
  auto matrix = OCIO::MatrixTransform::Create();
  const double m44[16] = {0.8, 0.1, 0.1, 0, 0.05, 0.9, 0.05, 0, 0.3, 0, 0.7, 0, 0, 0, 0, 1};
  matrix->setMatrix(m44);
  group->appendTransform(matrix);
  auto exponent = OCIO::ExponentTransform::Create();
  const double e[4] = {1.2, 1.0, 0.6, 1.0};
  exponent->setValue(e);
  group->appendTransform(exponent);
  target->setTransform(group, OCIO::COLORSPACE_DIR_FROM_REFERENCE);
  config->addColorSpace(target);
  auto shaper = OCIO::ColorSpace::Create();
  shaper->setName("shaper");
  auto root = OCIO::ExponentTransform::Create();
  const double half[4] = {0.5, 0.5, 0.5, 1.0};
  root->setValue(half);
  shaper->setTransform(root, OCIO::COLORSPACE_DIR_FROM_REFERENCE);
  config->addColorSpace(shaper);
  return config;
}

void Bake(const char *format, const std::string &file, int size, int shaperSize) {
  auto baker = OCIO::Baker::Create();
  baker->setConfig(BakeConfig());
  baker->setFormat(format);
  baker->setInputSpace("source");
  baker->setTargetSpace("target");
  baker->setCubeSize(size);
  if (shaperSize) {
    baker->setShaperSpace("shaper");
    baker->setShaperSize(shaperSize);
  }
  std::ofstream out(file, std::ios::binary);
  baker->bake(out);
}

struct TBakeCase {
  const char *format, *file;
  int size, shaperSize; // shaperSize 0: no shaper
  int expectedFormat;
  std::uint8_t expectedMode;
};

TEST(OcioInterop, WeReadOpenColorIOsFiles) {
  const TBakeCase cases[] = {
      {"flame", "flame.3dl", 17, 0, k3DL, kMode3D},
      {"lustre", "lustre.3dl", 17, 0, kLustre3D, kMode3D},
      {"iridas_cube", "iridas.cube", 33, 0, kCube3D, kMode3D},
      {"resolve_cube", "resolve.cube", 33, 0, kCube3D, kMode3D},
      {"resolve_cube", "resolve-shaper.cube", 17, 1024, kCube3D, kMode1DThen3D},
      {"truelight", "truelight.cub", 33, 0, kTruelight, kMode1DThen3D},
      {"truelight", "truelight-shaper.cub", 17, 256, kTruelight, kMode1DThen3D},
  };
  InitLutFormats();
  for (const TBakeCase &c : cases) {
    TTempDir dir;
    const std::string file = dir.File(c.file);
    Bake(c.format, file, c.size, c.shaperSize);
    TLUT lut;
    TLUTFormat *format = nullptr;
    try {
      format = LoadLutFile(file, lut);
    } catch (const ETintwiseError &e) {
      ADD_FAILURE() << c.file << ": " << e.what();
      continue;
    }
    EXPECT_EQ(format, GetLutFormat(c.expectedFormat)) << c.file;
    EXPECT_EQ(lut.Mode, c.expectedMode) << c.file;
    EXPECT_EQ(lut.Size3D, c.size) << c.file;
    // Both sides read the same numbers: only single-precision arithmetic may differ.
    EXPECT_LE(MaxDifference(OcioFileProcessor(file), lut), 2e-5) << c.file;
  }
}

// A 3-point Lustre mesh has a shaper line of three numbers. OpenColorIO 2.1 cannot read back its
// own such file (it takes the shaper for a value); we must, and must get the same lattice as from
// the 3DL file it bakes of the same transform.
TEST(OcioInterop, ThreePointLustreMeshReadsLikeThe3dlFile) {
  InitLutFormats();
  TTempDir dir;
  Bake("lustre", dir.File("lustre3.3dl"), 3, 0);
  Bake("flame", dir.File("flame3.3dl"), 3, 0);
  TLUT lustre, flame;
  EXPECT_EQ(LoadLutFile(dir.File("lustre3.3dl"), lustre), GetLutFormat(kLustre3D));
  EXPECT_EQ(LoadLutFile(dir.File("flame3.3dl"), flame), GetLutFormat(k3DL));
  ASSERT_EQ(lustre.Size3D, 3);
  ASSERT_EQ(flame.Size3D, 3);
  for (int r = 0; r < 3; ++r)
    for (int g = 0; g < 3; ++g)
      for (int b = 0; b < 3; ++b)
        EXPECT_EQ(lustre.Lattice[r][g][b], flame.Lattice[r][g][b]);
  EXPECT_THROW(OcioFileProcessor(dir.File("lustre3.3dl")), OCIO::Exception);
}

} // namespace
} // namespace tintwise
