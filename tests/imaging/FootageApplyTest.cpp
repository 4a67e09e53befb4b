// tintwise-cli apply on footage, run as a user runs it, with OpenImageIO writing the footage and
// reading the results, OpenColorIO's CPU processor as the outside evaluation of the same cube file
// (trilinear, as ours), and ffmpeg making the movies.
#include <gtest/gtest.h>

#include <OpenColorIO/OpenColorIO.h>
#include <OpenImageIO/imageio.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <sys/wait.h>

#include <QImage>
#include <QImageWriter>

#include <cstring>

#include "engine/Bitmap24.h"
#include "engine/Lut.h"
#include "formats/LutFormat.h"
#include "imaging/PictureLoader.h"

namespace OCIO = OCIO_NAMESPACE;
namespace OIIO = OIIO_NAMESPACE;
namespace fs = std::filesystem;

namespace tintwise {
namespace {

struct TRun {
  int Code;
  std::string Err;
};

class FootageApply : public ::testing::Test {
protected:
  fs::path Dir;

  void SetUp() override {
    char name[] = "/tmp/tintwise-footage-XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    Dir = name;
  }
  void TearDown() override { fs::remove_all(Dir); }

  std::string Path(const std::string &name) const { return (Dir / name).string(); }

  TRun Cli(const std::string &args) const {
    const std::string err = Path("stderr.txt");
    const int status = std::system((std::string(TINTWISE_CLI) + " " + args + " 2>" + err).c_str());
    std::ifstream in(err);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
  }

  // A 33-point cube that bends every channel, its values kept inside 0..1.
  std::string WriteCube() const {
    const std::string file = Path("bend.cube");
    std::ofstream out(file);
    out << "LUT_3D_SIZE 33\n";
    char line[96];
    for (int b = 0; b < 33; ++b)
      for (int g = 0; g < 33; ++g)
        for (int r = 0; r < 33; ++r) { // red changes fastest
          const double x = r / 32.0, y = g / 32.0, z = b / 32.0;
          std::snprintf(line, sizeof line, "%.6f %.6f %.6f\n", 0.05 + 0.6 * x * x + 0.3 * y, 0.9 * std::sqrt(y) + 0.1 * z * x,
                        0.8 * z * (1 - 0.3 * x) + 0.1);
          out << line;
        }
    return file;
  }
};

struct TPicture {
  OIIO::ImageSpec Spec;
  std::vector<float> Pixels; // as the library reads them: integers scaled to 0..1
  std::vector<std::uint16_t> Words;
};

TPicture Read(const std::string &file) {
  TPicture p;
  OIIO::ImageSpec config; // colours as stored, not premultiplied by alpha
  config.attribute("oiio:UnassociatedAlpha", 1);
  auto in = OIIO::ImageInput::open(file, &config);
  if (!in) {
    ADD_FAILURE() << file << ": " << OIIO::geterror();
    return p;
  }
  p.Spec = in->spec();
  const std::size_t n = std::size_t(p.Spec.width) * p.Spec.height * p.Spec.nchannels;
  p.Pixels.resize(n);
  p.Words.resize(n);
  in->read_image(0, 0, 0, p.Spec.nchannels, OIIO::TypeDesc::FLOAT, p.Pixels.data());
  in->read_image(0, 0, 0, p.Spec.nchannels, OIIO::TypeDesc::UINT16, p.Words.data());
  return p;
}

// Every value from 0 to the top code along the rows, and random colours below.
std::vector<std::uint16_t> TestCodes(int width, int height, int channels, int bits) {
  const int top = (1 << bits) - 1;
  std::mt19937 rng(bits);
  std::uniform_int_distribution<int> any(0, top);
  std::vector<std::uint16_t> codes;
  for (int i = 0; i < width * height; ++i) {
    const int ramp = static_cast<int>(std::lround(double(i % width) * top / (width - 1)));
    for (int c = 0; c < channels; ++c)
      codes.push_back(static_cast<std::uint16_t>(i < width ? (c == 3 ? top - ramp : ramp) : any(rng)));
  }
  return codes;
}

void Write(const std::string &file, const OIIO::ImageSpec &spec, OIIO::TypeDesc type, const void *pixels) {
  auto out = OIIO::ImageOutput::create(file);
  ASSERT_TRUE(out && out->open(file, spec) && out->write_image(type, pixels) && out->close()) << OIIO::geterror();
}

std::map<std::string, std::string> Attributes(const OIIO::ImageSpec &spec) {
  std::map<std::string, std::string> list;
  for (const auto &p : spec.extra_attribs)
    if (p.name() != "tiff:RowsPerStrip") // the strip layout is the writer's choice
      list[p.name().string()] = spec.metadata_val(p);
  return list;
}

OCIO::ConstCPUProcessorRcPtr OcioLinear(const std::string &cube) {
  auto transform = OCIO::FileTransform::Create();
  transform->setSrc(cube.c_str());
  transform->setInterpolation(OCIO::INTERP_LINEAR);
  return OCIO::Config::CreateRaw()->getProcessor(transform)->getDefaultCPUProcessor();
}

TEST_F(FootageApply, IntegerFootageAgreesWithOpenColorIOWithinOneCode) {
  const std::string cube = WriteCube();
  const auto ocio = OcioLinear(cube);
  struct {
    const char *Name;
    int Bits, Channels;
  } cases[] = {{"scan.dpx", 10, 3}, {"scan_alpha.dpx", 10, 4}, {"export.tif", 16, 3}, {"export.png", 16, 4}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    const int width = 97, height = 31, top = (1 << c.Bits) - 1;
    const std::vector<std::uint16_t> codes = TestCodes(width, height, c.Channels, c.Bits);
    std::vector<std::uint16_t> words;
    for (std::uint16_t v : codes)
      words.push_back(static_cast<std::uint16_t>(v << (16 - c.Bits)));
    OIIO::ImageSpec spec(width, height, c.Channels, OIIO::TypeDesc::UINT16);
    spec.attribute("oiio:BitsPerSample", c.Bits);
    spec.attribute("ImageDescription", "test footage");
    Write(Path(c.Name), spec, OIIO::TypeDesc::UINT16, words.data());
    const TPicture in = Read(Path(c.Name));

    const std::string out = Path(std::string("graded_") + c.Name);
    const TRun run = Cli("apply --lut " + cube + " --output " + out + " " + Path(c.Name));
    ASSERT_EQ(run.Code, 0) << run.Err;
    const TPicture result = Read(out);
    EXPECT_EQ(result.Spec.format, OIIO::TypeDesc::UINT16);
    EXPECT_EQ(result.Spec.get_int_attribute("oiio:BitsPerSample", 16), c.Bits);
    EXPECT_EQ(result.Spec.nchannels, c.Channels);
    EXPECT_EQ(Attributes(result.Spec), Attributes(in.Spec));
    int worst = 0;
    for (int i = 0; i < width * height; ++i) {
      float rgb[3];
      for (int k = 0; k < 3; ++k)
        rgb[k] = static_cast<float>(in.Pixels[i * c.Channels + k]);
      ocio->applyRGB(rgb);
      for (int k = 0; k < 3; ++k) {
        const double want = std::nearbyint(std::clamp(double(rgb[k]), 0.0, 1.0) * top);
        const double got = std::nearbyint(result.Pixels[i * c.Channels + k] * double(top));
        worst = std::max(worst, static_cast<int>(std::abs(got - want)));
      }
      if (c.Channels == 4) {
        ASSERT_EQ(result.Words[i * 4 + 3], in.Words[i * 4 + 3]) << "alpha changed at pixel " << i;
      }
    }
    EXPECT_LE(worst, 1);
  }
}

TEST_F(FootageApply, HalfExrAgreesWithOpenColorIOAndKeepsItsAttributes) {
  const std::string cube = WriteCube();
  const auto ocio = OcioLinear(cube);
  const int width = 64, height = 16;
  std::vector<float> px;
  std::mt19937 rng(9);
  std::uniform_real_distribution<float> any(0, 1);
  for (int i = 0; i < width * height; ++i)
    px.insert(px.end(), {any(rng), any(rng), any(rng), 0.5f});
  OIIO::ImageSpec spec(width, height, 4, OIIO::TypeDesc::HALF);
  spec.attribute("compression", "piz");
  spec.attribute("FramesPerSecond", OIIO::TypeRational, std::vector<int>{24000, 1001}.data());
  spec.attribute("smpte:TimeCode", OIIO::TypeTimeCode, std::vector<unsigned>{0x01020304u, 0}.data());
  spec.attribute("owner", "Tintwise tests");
  spec.attribute("cameraSerial", 1234);
  Write(Path("plate.exr"), spec, OIIO::TypeDesc::FLOAT, px.data());
  const TPicture in = Read(Path("plate.exr"));

  const TRun run = Cli("apply --lut " + cube + " --output-dir " + Path("") + "graded --as exr " + Path("plate.exr"));
  EXPECT_EQ(run.Code, 2) << "the folder does not exist yet";
  fs::create_directory(Dir / "graded");
  ASSERT_EQ(Cli("apply --lut " + cube + " --output-dir " + Path("graded") + " " + Path("plate.exr")).Code, 0);
  const TPicture result = Read(Path("graded/plate.exr"));
  EXPECT_EQ(result.Spec.format, OIIO::TypeDesc::HALF);
  EXPECT_EQ(Attributes(result.Spec), Attributes(in.Spec));
  double worst = 0;
  for (int i = 0; i < width * height; ++i) {
    float rgb[3] = {in.Pixels[i * 4], in.Pixels[i * 4 + 1], in.Pixels[i * 4 + 2]};
    ocio->applyRGB(rgb);
    for (int k = 0; k < 3; ++k)
      worst = std::max(worst, std::abs(double(result.Pixels[i * 4 + k]) - rgb[k]));
    ASSERT_EQ(result.Pixels[i * 4 + 3], 0.5f);
  }
  EXPECT_LE(worst, 1e-3);
}

TEST_F(FootageApply, DpxHeaderAndTimecodeComeThroughUnchanged) {
  const std::string cube = WriteCube();
  const int width = 40, height = 20;
  const std::vector<std::uint16_t> codes = TestCodes(width, height, 3, 10);
  std::vector<std::uint16_t> words;
  for (std::uint16_t v : codes)
    words.push_back(static_cast<std::uint16_t>(v << 6));
  OIIO::ImageSpec spec(width, height, 3, OIIO::TypeDesc::UINT16);
  spec.attribute("oiio:BitsPerSample", 10);
  spec.attribute("smpte:TimeCode", OIIO::TypeTimeCode, std::vector<unsigned>{0x10203004u, 0}.data());
  spec.attribute("dpx:Transfer", "Printing density");
  spec.attribute("dpx:Colorimetric", "Printing density");
  spec.attribute("dpx:FrameRate", 24.0f);
  spec.attribute("dpx:InputDevice", "scanner 7");
  spec.attribute("DocumentName", "reel 4");
  spec.attribute("Copyright", "the lab");
  Write(Path("reel.dpx"), spec, OIIO::TypeDesc::UINT16, words.data());
  const TPicture in = Read(Path("reel.dpx"));
  ASSERT_EQ(Cli("apply --lut " + cube + " --output " + Path("out.dpx") + " " + Path("reel.dpx")).Code, 0);
  const TPicture out = Read(Path("out.dpx"));
  const auto a = Attributes(in.Spec), b = Attributes(out.Spec);
  EXPECT_EQ(b, a);
  EXPECT_EQ(b.count("smpte:TimeCode"), 1u);

  // The exact results: ApplyToColor of each 10-bit code, the LUT read by our own reader.
  InitLutFormats();
  auto lut = std::make_unique<TLUT>();
  LoadLutFile(cube, *lut);
  for (int i = 0; i < width * height; ++i) {
    TColorTriple result;
    result.Bits = 10;
    lut->ApplyToColor({codes[i * 3], codes[i * 3 + 1], codes[i * 3 + 2], 10}, result);
    const std::uint16_t want[3] = {result.R, result.G, result.B};
    for (int k = 0; k < 3; ++k)
      ASSERT_EQ(out.Words[i * 3 + k] >> 6, want[k]) << "pixel " << i;
  }
}

TEST_F(FootageApply, MovieFramesBecomeNumberedPictures) {
  if (std::system("command -v ffmpeg >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "ffmpeg is not installed";
  const std::string cube = WriteCube();
  struct {
    const char *Movie, *Encode, *As;
    OIIO::TypeDesc Format;
    int Bits;
  } cases[] = {
      {"clip.mov", "-c:v prores_ks -profile:v 3 -pix_fmt yuv422p10le", "dpx", OIIO::TypeDesc::UINT16, 10},
      {"clip.mp4", "-c:v libx264 -pix_fmt yuv420p", "exr", OIIO::TypeDesc::HALF, 0},
      {"clip2.mp4", "-c:v libx264 -pix_fmt yuv420p", "", OIIO::TypeDesc::UINT8, 8},
  };
  InitLutFormats();
  auto lut = std::make_unique<TLUT>();
  LoadLutFile(cube, *lut);
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Movie);
    const std::string movie = Path(c.Movie);
    ASSERT_EQ(std::system(("ffmpeg -v error -y -f lavfi -i testsrc2=size=64x36:rate=24 -frames:v 5 " +
                           std::string(c.Encode) + " " + movie)
                              .c_str()),
              0);
    const fs::path folder = Dir / (std::string("frames_") + c.Movie);
    fs::create_directory(folder);
    EXPECT_EQ(Cli("apply --lut " + cube + " --output " + Path("x.dpx") + " " + movie).Code, 2);
    const std::string as = *c.As ? std::string(" --as ") + c.As : "";
    const TRun run = Cli("apply --lut " + cube + " --output-dir " + folder.string() + as + " " + movie);
    ASSERT_EQ(run.Code, 0) << run.Err;
    const std::string type = *c.As ? c.As : "dpx";
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(folder))
      names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    const std::string stem = fs::path(c.Movie).stem().string();
    std::vector<std::string> want;
    for (int f = 0; f < 5; ++f)
      want.push_back(stem + ".00000" + std::to_string(f) + "." + type);
    ASSERT_EQ(names, want);

    // Frame 3 against the movie's own frame 3 through ApplyToColor.
    auto in = OIIO::ImageInput::open(movie);
    ASSERT_TRUE(in);
    const int w = in->spec().width, h = in->spec().height;
    std::vector<std::uint16_t> source(std::size_t(w) * h * 3);
    for (int f = 0; f <= 3; ++f)
      ASSERT_TRUE(in->seek_subimage(f, 0) && in->read_image(f, 0, 0, 3, OIIO::TypeDesc::UINT16, source.data()))
          << in->geterror();
    const int bits = in->spec().get_int_attribute("oiio:BitsPerSample", 8);
    const TPicture frame = Read((folder / want[3]).string());
    EXPECT_EQ(frame.Spec.format, c.Format);
    if (c.Bits) {
      EXPECT_EQ(frame.Spec.get_int_attribute("oiio:BitsPerSample", c.Bits), c.Bits);
    }
    const double top = (1 << bits) - 1;
    double worst = 0;
    for (int i = 0; i < w * h; ++i) {
      TColorTriple result;
      result.Bits = static_cast<std::uint8_t>(bits);
      auto code = [&](int k) { return static_cast<std::uint16_t>(std::lround(source[i * 3 + k] * top / 65535)); };
      lut->ApplyToColor({code(0), code(1), code(2), static_cast<std::uint8_t>(bits)}, result);
      const double want3[3] = {result.R / top, result.G / top, result.B / top};
      for (int k = 0; k < 3; ++k)
        worst = std::max(worst, std::abs(frame.Pixels[i * 3 + k] - want3[k]));
    }
    // A 10-bit DPX reads back as its widened 16-bit value: within half a code of code / 1023.
    EXPECT_LE(worst, c.Format == OIIO::TypeDesc::HALF ? 1e-3 : 0.5 / 1023);
  }
}

TEST_F(FootageApply, RefusesWhatItCannotDo) {
  const std::string cube = WriteCube();
  const std::vector<std::uint16_t> words(30 * 20 * 3, 1000);
  OIIO::ImageSpec spec(30, 20, 3, OIIO::TypeDesc::UINT16);
  Write(Path("a.tif"), spec, OIIO::TypeDesc::UINT16, words.data());
  {
    std::ofstream broken(Path("broken.dpx"));
    broken << "SDPX and then nothing";
  }
  struct {
    std::string Args;
    int Code;
    std::string Message; // a part of the one line on standard error
  } cases[] = {
      {"--output-dir " + Path("") + " --as jpeg " + Path("a.tif"), 2, "--as: 'jpeg' is not one of dpx, exr, tiff, png."},
      {"--output " + Path("b.dpx") + " --as dpx " + Path("a.tif"), 2, "--as goes with --output-dir"},
      {"--output " + Path("b.dpx") + " " + Path("broken.dpx"), 1, Path("broken.dpx") + ": cannot read the picture"},
      {"--output " + Path("b.xyz") + " " + Path("a.tif"), 1, Path("b.xyz") + ": cannot write pictures of this kind"},
      {"--output " + Path("none/b.dpx") + " " + Path("a.tif"), 1, Path("none/b.dpx")},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Args);
    const TRun run = Cli("apply --lut " + cube + " " + c.Args);
    EXPECT_EQ(run.Code, c.Code);
    EXPECT_NE(run.Err.find(c.Message), std::string::npos) << run.Err;
  }
  EXPECT_FALSE(fs::exists(Path("b.dpx")));
  // Nothing is left behind by the failed writes.
  for (const auto &e : fs::directory_iterator(Dir))
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
}

TEST_F(FootageApply, EightBitPicturesKeepThePreviewsPixels) {
  const std::string cube = WriteCube();
  InitLutFormats();
  auto lut = std::make_unique<TLUT>();
  LoadLutFile(cube, *lut);
  const std::string source = TINTWISE_SOURCE_DIR "/samples/coffee.png";
  TBitmap24 want;
  LoadPictureFile(source, want);
  lut->ApplyToBitmap(want);
  // JPEG: the same pixels as Qt's own writer gives at quality 95 (another encoder of the settings).
  const QImage image(want.Bits(), want.Width(), want.Height(), want.Stride(), QImage::Format_BGR888);
  QImageWriter qt(QString::fromStdString(Path("qt.jpg")), "jpeg");
  qt.setQuality(95);
  ASSERT_TRUE(qt.write(image.convertToFormat(QImage::Format_RGB888)));
  TBitmap24 wantJpeg;
  LoadPictureFile(Path("qt.jpg"), wantJpeg);
  for (const char *type : {"png", "jpg", "bmp"}) {
    SCOPED_TRACE(type);
    const std::string out = Path(std::string("graded.") + type);
    ASSERT_EQ(Cli("apply --lut " + cube + " --output " + out + " " + source).Code, 0);
    TBitmap24 got;
    LoadPictureFile(out, got);
    const TBitmap24 &expected = std::string(type) == "jpg" ? wantJpeg : want;
    ASSERT_EQ(got.Width(), expected.Width());
    for (int y = 0; y < got.Height(); ++y)
      ASSERT_EQ(std::memcmp(got.Scanline(y), expected.Scanline(y), std::size_t(got.Width()) * 3), 0) << "row " << y;
  }
}

} // namespace
} // namespace tintwise
