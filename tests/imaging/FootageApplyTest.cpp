// Footage through the LUT: the kernels against ApplyToColor and Evaluate, and tintwise-cli apply run
// as a user runs it, with OpenImageIO, OpenColorIO (trilinear, as ours) and ffmpeg as partners.
#include <gtest/gtest.h>

#include <Imath/half.h>
#include <OpenColorIO/OpenColorIO.h>
#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <map>
#include <random>

#include "engine/Parallel.h"
#include "formats/LutFormat.h"
#include "imaging/FootageApply.h"
#include "imaging/FootageFiles.h"
#include "imaging/FootageKernel.h"
#include "imaging/PictureWriter.h"
#include "tests/imaging/ImagingTestSupport.h"
#include "tests/support/EngineReference.h"

namespace OCIO = OCIO_NAMESPACE;
namespace fs = std::filesystem;

namespace tintwise {
namespace {

// A lattice that bends every channel and strays below 0 and above 1, so clamping is exercised.
std::unique_ptr<TLUT> BentLut(std::uint8_t mode, int n, int m = 0) {
  auto lut = std::make_unique<TLUT>();
  lut->Mode = mode;
  lut->Size3D = n;
  lut->Size1D = m;
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> wobble(-0.08, 0.08);
  for (int r = 0; r < n; ++r)
    for (int g = 0; g < n; ++g)
      for (int b = 0; b < n; ++b) {
        const double x = double(r) / (n - 1), y = double(g) / (n - 1), z = double(b) / (n - 1);
        lut->Lattice[r][g][b] = {0.7 * x + 0.2 * y * y + wobble(rng), std::sqrt(y) * 0.9 + 0.15 * z + wobble(rng),
                                 1.1 * z * z - 0.05 + 0.1 * x + wobble(rng)};
      }
  for (int i = 0; i < m; ++i) {
    const double x = double(i) / (m - 1);
    lut->Curve[i] = {x * x, std::sqrt(x), 1 - x};
  }
  return lut;
}

const struct { const char *Name; std::uint8_t Mode; int Size3D, Size1D; } kLuts[] = {
    {"lattice 33", kMode3D, 33, 0},     {"lattice 2", kMode3D, 2, 0},  {"lattice 65", kMode3D, 65, 0},
    {"curve then lattice", kMode1DThen3D, 17, 1024}, {"curve", kMode1D, 0, 4096}, {"identity", kModeIdentity, 0, 0},
};

TEST(FootageKernel, IntegerCodesAreExactlyApplyToColor) {
  std::mt19937 rng(11);
  for (const auto &lc : kLuts)
    for (int bits : {8, 10, 12, 16}) {
      SCOPED_TRACE(std::string(lc.Name) + ", " + std::to_string(bits) + " bits");
      auto lut = BentLut(lc.Mode, lc.Size3D, lc.Size1D);
      const int top = (1 << bits) - 1;
      // Four channels: the fourth (alpha) must come through untouched.
      std::vector<std::uint16_t> codes;
      for (int v : {0, 1, top / 2, top / 2 + 1, top - 1, top})
        codes.insert(codes.end(), {std::uint16_t(v), std::uint16_t(top - v), std::uint16_t(v / 3), std::uint16_t(v)});
      std::uniform_int_distribution<int> any(0, top);
      for (int k = 0; k < 20000; ++k)
        codes.push_back(static_cast<std::uint16_t>(any(rng)));
      const std::size_t count = codes.size() / 4;
      // In 16 bits the code's bits repeated from the top, as the library widens them (10: v << 6 | v >> 4).
      const auto widen = [bits](unsigned v) { return std::uint16_t(v << (16 - bits) | v >> (2 * bits - 16)); };
      std::vector<std::uint8_t> bytes(codes.begin(), codes.end());
      std::vector<std::uint16_t> words;
      for (std::uint16_t c : codes)
        words.push_back(widen(c));
      TFootageKernel kernel(*lut, bits);
      kernel.ApplyCodes(words.data(), count, 4);
      if (bits == 8)
        kernel.ApplyCodes(bytes.data(), count, 4);
      for (std::size_t k = 0; k < count; ++k) {
        const std::uint16_t *in = &codes[k * 4];
        TColorTriple out{.Bits = static_cast<std::uint8_t>(bits)};
        lut->ApplyToColor({in[0], in[1], in[2], static_cast<std::uint8_t>(bits)}, out);
        const std::uint16_t want[4] = {out.R, out.G, out.B, in[3]};
        for (int c = 0; c < 4; ++c) {
          ASSERT_EQ(words[k * 4 + c], widen(want[c])) << "pixel " << k << " channel " << c;
          ASSERT_TRUE(bits > 8 || bytes[k * 4 + c] == want[c]) << "pixel " << k << " channel " << c;
        }
      }
    }
  // Refused: fewer than three channels, codes wider than their container, a kernel of the other kind.
  const auto lut = BentLut(kMode3D, 2);
  const TFootageKernel ten(*lut, 10), floats(*lut, 0);
  std::uint8_t bytes[3] = {};
  std::uint16_t words[3] = {};
  float values[3] = {};
  EXPECT_THROW(ten.ApplyCodes(words, 1, 2), EEngineError);
  EXPECT_THROW(ten.ApplyCodes(bytes, 1, 3), EEngineError);
  EXPECT_THROW(floats.ApplyCodes(bytes, 1, 3), EEngineError);
  EXPECT_THROW(floats.ApplyCodes(words, 1, 3), EEngineError);
  EXPECT_THROW(ten.ApplyFloats(values, 1, 3), EEngineError);
  EXPECT_THROW(ten.ApplyHalves(words, 1, 3), EEngineError);
  for (const int bits : {-1, 17})
    EXPECT_THROW(TFootageKernel(*lut, bits), EEngineError);
}

TEST(FootageKernel, FloatsStayWithinOneIn65535OfTheDoubleReading) {
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> any(-0.05f, 1.05f);
  for (const auto &lc : kLuts) {
    SCOPED_TRACE(lc.Name);
    auto lut = BentLut(lc.Mode, lc.Size3D, lc.Size1D);
    std::vector<float> px;
    for (float v : {0.0f, 1.0f, 0.5f, 1.0f / 32, 31.0f / 32, -1.0f, 2.0f, inf, -inf, nan, 0.999999f, 1e-7f})
      px.insert(px.end(), {v, 1 - v, v * 0.3f, 0.25f});
    for (int k = 0; k < 20000; ++k)
      px.insert(px.end(), {any(rng), any(rng), any(rng), any(rng)});
    const std::size_t count = px.size() / 4;
    std::vector<float> out = px;
    std::vector<std::uint16_t> halves;
    for (float v : px)
      halves.push_back(Imath::half(v).bits());
    TFootageKernel kernel(*lut, 0);
    kernel.ApplyFloats(out.data(), count, 4);
    kernel.ApplyHalves(halves.data(), count, 4);
    double worst = 0, worstHalf = 0;
    const auto half = [](float v) { return double(float(Imath::half(v))); };
    const auto clamp = [](double v) { return !(v >= 0) ? 0 : (v > 1 ? 1 : v); };
    for (std::size_t k = 0; k < count; ++k) {
      const float *p = &px[k * 4];
      const TLutTriple want = lut->Evaluate({p[0], p[1], p[2]});
      const TLutTriple wantHalf = lut->Evaluate({half(p[0]), half(p[1]), half(p[2])});
      for (int c = 0; c < 3; ++c) {
        worst = std::max(worst, std::abs(out[k * 4 + c] - clamp(want[c])));
        const Imath::half got(Imath::half::FromBits, halves[k * 4 + c]);
        worstHalf = std::max(worstHalf, std::abs(double(float(got)) - clamp(wantHalf[c])));
      }
      ASSERT_EQ(out[k * 4 + 3], px[k * 4 + 3]) << "alpha changed at pixel " << k;
      ASSERT_EQ(halves[k * 4 + 3], Imath::half(px[k * 4 + 3]).bits());
    }
    EXPECT_LE(worst, 1.0 / 65535);
    EXPECT_LE(worstHalf, 1e-3); // a half holds 11 significant bits
  }
}

TEST(FootageFiles, MoviesAreKnownByTheirExtensionAndNameTheirFrames) {
  EXPECT_TRUE(IsMovieFileName("/a.b/clip.MOV"));
  EXPECT_FALSE(IsMovieFileName("/a.mov/clip"));
  EXPECT_FALSE(IsMovieFileName("frame.dpx"));
  // The movie's name less its extension, the frame in six digits, the type.
  EXPECT_EQ(MovieFrameFileName("/out", "/in/clip.v2.mov", 12, "dpx"), "/out/clip.v2.000012.dpx");
  EXPECT_EQ(MovieFrameFileName("out/", "a.b/.mov", 1234567, "exr"), "out/.mov.1234567.exr");
  EXPECT_EQ(MovieFrameFileName("", "take", 0, "png"), "take.000000.png");
}

struct TRun {
  int Code;
  std::string Err;
};

struct TPicture {
  OIIO::ImageSpec Spec;
  std::vector<float> Pixels; // as the library reads them: integers scaled to 0..1
  std::vector<std::uint16_t> Words;
  std::vector<unsigned char> Native; // in the file's own type
};

class FootageApply : public test::TPictureFixture {
protected:
  // A 33-point cube that bends every channel, its values kept inside 0..1; red changes fastest.
  void SetUp() override {
    InitLutFormats();
    std::ofstream out(Cube);
    out << "LUT_3D_SIZE 33\n";
    for (int b = 0; b < 33; ++b)
      for (int g = 0; g < 33; ++g)
        for (int r = 0; r < 33; ++r) {
          const double x = r / 32.0, y = g / 32.0, z = b / 32.0;
          out << 0.05 + 0.6 * x * x + 0.3 * y << ' ' << 0.9 * std::sqrt(y) + 0.1 * z * x << ' '
              << 0.8 * z * (1 - 0.3 * x) + 0.1 << '\n';
        }
  }
  const std::string Cube = Path("bend.cube");
  std::unique_ptr<TLUT> Lut() const { // as our reader reads it
    auto lut = std::make_unique<TLUT>();
    LoadLutFile(Cube, *lut);
    return lut;
  }
  TRun Cli(const std::string &args) const {
    const int status =
        std::system((std::string(TINTWISE_CLI) + " apply --lut " + Cube + " " + args + " 2>" + Path("err")).c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::ReadText(Path("err"))};
  }
};

TPicture ReadPicture(const std::string &file) {
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
  p.Native.resize(p.Spec.image_bytes());
  in->read_image(0, 0, 0, p.Spec.nchannels, p.Spec.format, p.Native.data());
  return p;
}

std::map<std::string, std::string> Attributes(const OIIO::ImageSpec &spec) {
  std::map<std::string, std::string> list;
  for (const auto &p : spec.extra_attribs)
    if (p.name() != "tiff:RowsPerStrip") // the strip layout is the writer's choice
      list[p.name().string()] = spec.metadata_val(p);
  return list;
}

// Footage through tintwise-cli apply: integer codes are ApplyToColor's at the picture's own depth
// and within one code of OpenColorIO's, floats within 1e-3; attributes, the DPX header and alpha come
// through; grey (and alpha) become RGB (and alpha); our stream gives the library's bytes. 702 x 200:
// more rows than a band, more bytes than a buffer, rows of whole words in a 10-bit DPX (at 700, the
// library once misread the last alpha of a row it wrote).
TEST_F(FootageApply, FootageIsGradedAsOpenColorIOGradesItAndWrittenAsTheLibraryWritesIt) {
  auto transform = OCIO::FileTransform::Create();
  transform->setSrc(Cube.c_str());
  transform->setInterpolation(OCIO::INTERP_LINEAR);
  const auto ocio = OCIO::Config::CreateRaw()->getProcessor(transform)->getDefaultCPUProcessor();
  const auto lut = Lut();
  using T = OIIO::TypeDesc;
  const struct { const char *Name; T::BASETYPE Type; int Bits, Channels, Tile; } cases[] = {
      {"scan.dpx", T::UINT16, 10, 3, 0},      {"matte.dpx", T::UINT16, 10, 4, 0},
      {"export.tif", T::UINT16, 16, 3, 0},    {"export.png", T::UINT16, 16, 4, 0},
      {"grey.tif", T::UINT16, 16, 1, 0},      {"grey_alpha.png", T::UINT16, 16, 2, 0},
      {"grey_alpha.tif", T::UINT16, 16, 2, 0}, {"plate.exr", T::HALF, 0, 4, 0},
      {"tiles.exr", T::FLOAT, 0, 3, 16}};
  const std::pair<const char *, const char *> texts[] = {
      {"ImageDescription", "test footage"}, {"DateTime", "2024:05:06 07:08:09"}, {"dpx:Transfer", "Printing density"},
      {"dpx:InputDevice", "scanner 7"},     {"owner", "the lab"}};
  fs::create_directory(Path("plain"));
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Name);
    // Codes from 0 to the top along the first row (alpha from the top down), random codes below.
    const int width = 702, height = 200, n = c.Channels, top = c.Bits ? (1 << c.Bits) - 1 : 65535;
    std::mt19937 rng(static_cast<unsigned>(n));
    std::vector<float> values;
    for (int i = 0; i < width * height; ++i)
      for (int k = 0; k < n; ++k) {
        const int ramp = static_cast<int>(std::lround(double(i % width) * top / (width - 1)));
        values.push_back(static_cast<float>(i < width ? (k == 3 ? top - ramp : ramp) : rng() % (top + 1)) / top);
      }
    OIIO::ImageSpec spec(width, height, n, c.Type);
    if (c.Bits)
      spec.attribute("oiio:BitsPerSample", c.Bits);
    spec.tile_width = spec.tile_height = c.Tile;
    // A fixed date, else a writer may stamp the time it writes; an Exif field, which a TIFF writer
    // writes in a directory of its own.
    for (const auto &[name, value] : texts)
      spec.attribute(name, value);
    spec.attribute("Exif:ColorSpace", 1);
    spec.attribute("smpte:TimeCode", OIIO::TypeTimeCode, std::vector<unsigned>{0x10203004u, 0}.data());
    spec.attribute("FramesPerSecond", OIIO::TypeRational, std::vector<int>{24000, 1001}.data());
    const TPicture in = ReadPicture(WriteOiio(c.Name, spec, values));
    // A DPX header holds 99 characters of the file's name and a NUL.
    const std::string name = std::string(110, 'g') + c.Name, out = Path(name);
    const TRun run = Cli("--output " + out + " " + Path(c.Name));
    ASSERT_EQ(run.Code, 0) << run.Err;
    const TPicture result = ReadPicture(out);
    const bool grey = n < 3;
    const int m = grey ? n + 2 : n; // channels written
    EXPECT_EQ(std::pair(result.Spec.format, result.Spec.nchannels), std::pair(in.Spec.format, m));
    auto attributes = Attributes(in.Spec);
    if (grey && attributes.count("tiff:PhotometricInterpretation"))
      attributes["tiff:PhotometricInterpretation"] = "2"; // RGB, no longer min-is-black
    EXPECT_EQ(Attributes(result.Spec), attributes);
    double worst = 0;
    const int shift = 16 - c.Bits; // the library gives the file's codes widened to 16 bits
    for (int i = 0; i < width * height; ++i) {
      const auto at = [&](int k) { return i * n + (grey ? 0 : k); };
      float rgb[3] = {in.Pixels[at(0)], in.Pixels[at(1)], in.Pixels[at(2)]};
      ocio->applyRGB(rgb);
      TColorTriple exact{.Bits = static_cast<std::uint8_t>(c.Bits)};
      auto code = [&](int k) { return static_cast<std::uint16_t>(in.Words[at(k)] >> shift); };
      if (c.Bits)
        lut->ApplyToColor({code(0), code(1), code(2), exact.Bits}, exact);
      for (int k = 0; k < 3; ++k) {
        const int got = result.Words[i * m + k] >> shift, want[3] = {exact.R, exact.G, exact.B};
        if (c.Bits) {
          ASSERT_EQ(got, want[k]) << "pixel " << i;
        }
        const double ocioValue = std::clamp(double(rgb[k]), 0.0, 1.0);
        worst = std::max(worst, c.Bits ? std::abs(got - std::nearbyint(ocioValue * top))
                                       : std::abs(result.Pixels[i * m + k] - ocioValue));
      }
      if (m == 4) {
        ASSERT_EQ(result.Pixels[i * 4 + 3], in.Pixels[i * n + n - 1]) << "alpha changed at pixel " << i;
      }
    }
    EXPECT_LE(worst, c.Bits ? 1 : 1e-3);

    const std::string plain = Path("plain/" + name);
    auto writer = OIIO::ImageOutput::create(plain);
    ASSERT_TRUE(writer && writer->open(plain, result.Spec) &&
                writer->write_image(result.Spec.format, result.Native.data()) && writer->close())
        << OIIO::geterror();
    const test::TBytes got = Read(out);
    test::TBytes want = Read(plain);
    ASSERT_EQ(got.size(), want.size());
    if (c.Bits == 10) {
      EXPECT_EQ(std::string(got.begin() + 36, got.begin() + 136), name.substr(0, 99) + '\0');
      std::copy_n(got.begin() + 36, 100, want.begin() + 36);
    }
    EXPECT_TRUE(got == want);
  }
}

TEST_F(FootageApply, MovieFramesBecomeNumberedPictures) {
  if (!Shell("command -v ffmpeg"))
    GTEST_SKIP() << "ffmpeg is not installed";
  const struct { const char *Movie, *Encode, *As; OIIO::TypeDesc Format; int Bits; } cases[] = {
      {"clip.mov", "-c:v prores_ks -profile:v 3 -pix_fmt yuv422p10le", "dpx", OIIO::TypeDesc::UINT16, 10},
      {"clip.mp4", "-c:v libx264 -pix_fmt yuv420p", "exr", OIIO::TypeDesc::HALF, 0},
      {"clip2.mp4", "-c:v libx264 -pix_fmt yuv420p", "", OIIO::TypeDesc::UINT8, 8},
      {"clip3.mov", "-c:v prores_ks -profile:v 3 -pix_fmt yuv422p10le", "png", OIIO::TypeDesc::UINT16, 16},
      {"clip4.mp4", "-c:v libx264 -pix_fmt yuv420p", "png", OIIO::TypeDesc::UINT8, 8},
  };
  const auto lut = Lut();
  for (const auto &c : cases) {
    SCOPED_TRACE(c.Movie);
    const std::string movie = Path(c.Movie), folder = Path(std::string("frames_") + c.Movie),
                      stem = folder + "/" + fs::path(c.Movie).stem().string(), type = *c.As ? c.As : "dpx";
    ASSERT_TRUE(Shell("ffmpeg -y -f lavfi -i testsrc2=size=64x36:rate=24 -frames:v 5 " + std::string(c.Encode) + " " +
                      movie));
    fs::create_directory(folder);
    EXPECT_EQ(Cli("--output " + Path("x.dpx") + " " + movie).Code, 2);
    const TRun run = Cli("--output-dir " + folder + (*c.As ? std::string(" --as ") + c.As : "") + " " + movie);
    ASSERT_EQ(run.Code, 0) << run.Err;
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 5);
    for (int f = 0; f < 5; ++f)
      EXPECT_TRUE(fs::exists(stem + ".00000" + std::to_string(f) + "." + type));

    // Frame 3 against the movie's own frame 3 through ApplyToColor.
    auto in = OIIO::ImageInput::open(movie);
    ASSERT_TRUE(in);
    const int w = in->spec().width, h = in->spec().height;
    std::vector<std::uint16_t> source(std::size_t(w) * h * 3);
    for (int f = 0; f <= 3; ++f)
      ASSERT_TRUE(in->seek_subimage(f, 0) && in->read_image(f, 0, 0, 3, OIIO::TypeDesc::UINT16, source.data()))
          << in->geterror();
    const int bits = in->spec().get_int_attribute("oiio:BitsPerSample", 8);
    const TPicture frame = ReadPicture(stem + ".000003." + type);
    EXPECT_EQ(frame.Spec.format, c.Format);
    EXPECT_EQ(frame.Spec.get_int_attribute("oiio:BitsPerSample", c.Bits), c.Bits);
    const double top = (1 << bits) - 1;
    double worst = 0;
    for (int i = 0; i < w * h; ++i) {
      TColorTriple result{.Bits = static_cast<std::uint8_t>(bits)};
      auto code = [&](int k) { return static_cast<std::uint16_t>(std::lround(source[i * 3 + k] * top / 65535)); };
      lut->ApplyToColor({code(0), code(1), code(2), result.Bits}, result);
      const double expected[3] = {result.R / top, result.G / top, result.B / top};
      for (int k = 0; k < 3; ++k)
        worst = std::max(worst, std::abs(frame.Pixels[i * 3 + k] - expected[k]));
    }
    // A 10-bit DPX reads back as its widened 16-bit value: within half a code of code / 1023.
    EXPECT_LE(worst, c.Format == OIIO::TypeDesc::HALF ? 1e-3 : 0.5 / 1023);
  }

  // Resuming: a movie is done only when every frame is; the frames written already are kept. Any
  // frame that exists is written over only with --overwrite, not the first alone.
  const std::string frames = Path("frames_clip2.mp4"), kept = frames + "/clip2.000004.dpx";
  fs::remove(frames + "/clip2.000000.dpx");
  fs::remove(frames + "/clip2.000002.dpx");
  std::ofstream(kept) << "kept";
  const TRun refused = Cli("--output-dir " + frames + " " + Path("clip2.mp4"));
  EXPECT_EQ(refused.Code, 1);
  EXPECT_NE(refused.Err.find("clip2.000001.dpx: the file exists"), std::string::npos) << refused.Err;
  ASSERT_EQ(Cli("--skip-existing --output-dir " + frames + " " + Path("clip2.mp4")).Code, 0);
  EXPECT_TRUE(fs::exists(frames + "/clip2.000002.dpx"));
  EXPECT_EQ(fs::file_size(kept), 4u);
}

TEST_F(FootageApply, RefusesWhatItCannotDo) {
  WriteOiio("a.tif", 30, 20, 3, OIIO::TypeDesc::UINT16, std::vector<std::uint16_t>(30 * 20 * 3, 1000));
  std::ofstream(Path("broken.dpx")) << "SDPX and then nothing";
  fs::resize_file(WriteOiio("cut.dpx", 64, 64, 3, OIIO::TypeDesc::UINT16, std::vector<std::uint16_t>(64 * 64 * 3)), 20000);
  // Headers declaring 20000 x 20000 pixels, exactly the largest picture taken, and one column more.
  test::TBytes large = Read(Path("cut.dpx"));
  for (const int width : {20000, 20001}) {
    for (int i = 0; i < 4; ++i) { // pixels a line and lines, in the file's byte order (little-endian)
      large[772 + i] = static_cast<unsigned char>(width >> (8 * i));
      large[776 + i] = static_cast<unsigned char>(20000 >> (8 * i));
    }
    Write("large" + std::to_string(width) + ".dpx", large);
  }
  const struct { std::string Args; int Code; std::string Message; } cases[] = {
      {"--output " + Path("b.dpx") + " " + Path("broken.dpx"), 1, Path("broken.dpx") + ": cannot read the picture"},
      {"--output " + Path("b.dpx") + " " + Path("cut.dpx"), 1, Path("cut.dpx") + ": the file is cut off"},
      {"--output " + Path("b.dpx") + " " + Path("large20000.dpx"), 1, "large20000.dpx: the file is cut off"},
      {"--output " + Path("b.dpx") + " " + Path("large20001.dpx"), 1, "20001 x 20000 pixels, more than 400 megapixels"},
      {"--output " + Path("b.xyz") + " " + Path("a.tif"), 1, Path("b.xyz") + ": cannot write pictures of this kind"},
      {"--output " + Path("none/b.dpx") + " " + Path("a.tif"), 1, Path("none/b.dpx")},
      {"--max-pixels 1 --output " + Path("b.png") + " " + TINTWISE_SOURCE_DIR "/samples/coffee.png", 1,
       "larger than the limit of 1 pixels"},
  };
  for (const auto &c : cases) {
    const TRun run = Cli(c.Args);
    EXPECT_EQ(run.Code, c.Code) << c.Args;
    EXPECT_NE(run.Err.find(c.Message), std::string::npos) << run.Err;
  }
  // Nothing is left behind by the failed writes.
  for (const auto &e : fs::directory_iterator(Dir.path().toStdString()))
    EXPECT_TRUE(e.path().extension() != ".tmp" && e.path().stem() != "b") << e.path();
  // The smallest picture and the longest side are taken.
  for (const auto &[w, h] : {std::pair{1, 1}, std::pair{65535, 1}, std::pair{1, 65535}}) {
    WriteOiio("edge.tif", w, h, 3, OIIO::TypeDesc::UINT16, std::vector<std::uint16_t>(std::size_t(w) * h * 3, 1000));
    EXPECT_EQ(Cli("--overwrite --output " + Path("edge2.tif") + " " + Path("edge.tif")).Code, 0) << w << " x " << h;
  }
}

// 8-bit pictures go through the LUT on two threads at once, or on one step by step: the same files,
// the same failures (a damaged picture before an output that cannot be written), nothing left behind.
TEST_F(FootageApply, EightBitPicturesThroughOneOrTwoThreads) {
  const auto lut = Lut();
  const TBitmap24 source = reference::SyntheticPicture(300, 700, 8);
  for (const char *in : {"in.jpg", "in.png", "in.bmp"})
    SavePictureFile(source, Path(in));
  const test::TBytes jpeg = Read(Path("in.jpg"));
  Write("cut.jpg", test::TBytes(jpeg.begin(), jpeg.begin() + jpeg.size() / 2));
  for (const char *in : {"in.jpg", "in.png", "in.bmp"})
    for (const std::string type : {"png", "jpg", "bmp"}) {
      // One step after the other: decode, apply, encode.
      TBitmap24 graded = Load(Path(in));
      lut->ApplyToBitmap(graded);
      SavePictureFile(graded, Path("want." + type));
      for (const int threads : {1, 2}) {
        SCOPED_TRACE(std::string(in) + " to " + type + ", " + std::to_string(threads) + " threads");
        SetEngineThreadCount(threads);
        ApplyLutToPictureFile(*lut, Path(in), Path("out." + type));
        EXPECT_TRUE(Read(Path("out." + type)) == Read(Path("want." + type)));
        EXPECT_THROW(ApplyLutToPictureFile(*lut, Path(in), Path("none/out." + type)), EFCreateError);
        EXPECT_THROW(ApplyLutToPictureFile(*lut, Path("cut.jpg"), Path("none/out." + type)), EImageError);
        EXPECT_THROW(ApplyLutToPictureFile(*lut, Path("cut.jpg"), Path("cutout." + type)), EImageError);
        EXPECT_FALSE(fs::exists(Path("cutout." + type)));
      }
    }
  SetEngineThreadCount(0);
  for (const auto &e : fs::directory_iterator(Dir.path().toStdString()))
    EXPECT_EQ(e.path().filename().string().find(".tmp"), std::string::npos) << e.path();
}

} // namespace
} // namespace tintwise
