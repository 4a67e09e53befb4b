// Footage and the loader's limits: deep pictures to 8 bits by the documented rule, movie frames,
// CMYK JPEG, the pixel limit, bounded memory, FIFOs, and the picture libraries' chatter.
#include <gtest/gtest.h>

#include <algorithm>
#include <OpenImageIO/imageio.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <map>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tuple>
#include <unistd.h>

#include "imaging/FootageFiles.h"
#include "imaging/FrameSpec.h"
#include "imaging/ImageResize2.h"
#include "imaging/PictureLoader.h"
#include "tests/imaging/ImagingTestSupport.h"
#include "tests/imaging/ResampleReference.h"

using namespace tintwise;
using test::Rgb;
using test::TBytes;
namespace fs = std::filesystem;

namespace {

using Footage = test::TPictureFixture;

} // namespace

TEST_F(Footage, DeepIntegerCodesScaleToEightBitsRoundedToTheNearest) {
  // v x 255 / 65535 = v / 257 by hand: 128 -> 0.498, 129 -> 0.502, 32767 -> 127.498, 32768 -> 127.502,
  // 65406 -> 254.498.
  const std::pair<int, int> sixteen[] = {{0, 0},       {128, 0},     {129, 1},     {32767, 127}, {32768, 128},
                                         {25828, 100}, {25829, 101}, {65406, 254}, {65535, 255}};
  const int n = static_cast<int>(std::size(sixteen));
  std::vector<std::uint16_t> rgba;
  for (int i = 0; i < n; ++i) {
    const auto v = static_cast<std::uint16_t>(sixteen[i].first);
    const auto w = static_cast<std::uint16_t>(sixteen[n - 1 - i].first);
    rgba.insert(rgba.end(), {v, w, v, static_cast<std::uint16_t>(i % 2 ? 0 : 65535)}); // alpha 0 keeps its colour
  }
  for (const char *name : {"deep.png", "deep.tif"}) {
    const TBitmap24 bmp = Load(WriteOiio(name, n, 1, 4, OIIO::TypeDesc::UINT16, rgba));
    ASSERT_EQ(bmp.Width(), n) << name;
    for (int x = 0; x < n; ++x)
      EXPECT_EQ(Rgb(bmp, x), (std::array<int, 3>{sixteen[x].second, sixteen[n - 1 - x].second, sixteen[x].second}))
          << name << " " << sixteen[x].first;
  }

  // 10-bit DPX, the codes given as the top 10 bits of 16-bit values: c x 255 / 1023 by hand:
  // 2 -> 0.4985, 3 -> 0.748, 511 -> 127.38, 512 -> 127.62, 1022 -> 254.75.
  const std::pair<int, int> ten[] = {{0, 0}, {1, 0}, {2, 0}, {3, 1}, {511, 127}, {512, 128}, {1022, 255}, {1023, 255}};
  const int m = static_cast<int>(std::size(ten));
  std::vector<std::uint16_t> codes;
  for (int i = 0; i < m; ++i)
    codes.insert(codes.end(), {static_cast<std::uint16_t>(ten[i].first << 6),
                               static_cast<std::uint16_t>(ten[m - 1 - i].first << 6),
                               static_cast<std::uint16_t>(ten[i].first << 6)});
  const TBitmap24 bmp = Load(WriteOiio("ten.dpx", m, 1, 3, OIIO::TypeDesc::UINT16, codes, 10));
  for (int x = 0; x < m; ++x)
    EXPECT_EQ(Rgb(bmp, x), (std::array<int, 3>{ten[x].second, ten[m - 1 - x].second, ten[x].second}))
        << "code " << ten[x].first;
}

TEST_F(Footage, FloatValuesAreClampedThenRoundedHalvesToEven) {
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  // value x 255 by hand: 0.5 -> 127.5 (a tie: 128, the even one), 0.25 -> 63.75, 3/512 -> 1.494,
  // 0.5 + 1/2048 -> 127.62; outside 0..1 and NaN clamp.
  const std::pair<float, int> values[] = {{0.0f, 0},   {0.5f, 128}, {0.25f, 64}, {3.0f / 512, 1},
                                          {0.5f + 1.0f / 2048, 128}, {1.0f, 255}, {-1.0f, 0},
                                          {2.0f, 255}, {nan, 0},    {inf, 255},  {-inf, 0}};
  const int n = static_cast<int>(std::size(values));
  std::vector<float> rgb, grey;
  for (const auto &[v, e] : values) {
    rgb.insert(rgb.end(), {v, 0.5f, v});
    grey.push_back(v);
  }
  for (const OIIO::TypeDesc &type : {OIIO::TypeDesc(OIIO::TypeDesc::HALF), OIIO::TypeDesc(OIIO::TypeDesc::FLOAT)}) {
    const TBitmap24 colour = Load(WriteOiio("f.exr", n, 1, 3, type, rgb));
    const TBitmap24 mono = Load(WriteOiio("g.exr", n, 1, 1, type, grey));
    for (int x = 0; x < n; ++x) {
      const int e = values[x].second;
      EXPECT_EQ(Rgb(colour, x), (std::array<int, 3>{e, 128, e})) << type << " " << values[x].first;
      EXPECT_EQ(Rgb(mono, x), (std::array<int, 3>{e, e, e})) << type << " " << values[x].first;
    }
  }
}

TEST_F(Footage, TiledAndTallFootageFitsLikeTheWholePicture) {
  // 150 rows cross several bands; tiles of 32 rows do too. The fitted picture must be the whole
  // decoded picture resampled.
  const int width = 1900, height = 150;
  std::vector<float> values(static_cast<std::size_t>(width) * height * 3);
  for (std::size_t i = 0; i < values.size(); ++i)
    values[i] = static_cast<std::uint16_t>((i * 2654435761u) >> 7) / 65535.0f;
  for (const bool tiled : {false, true}) {
    OIIO::ImageSpec spec(width, height, 3, OIIO::TypeDesc::HALF);
    if (tiled) {
      spec.tile_width = 64;
      spec.tile_height = 32;
    }
    const std::string file = WriteOiio("big.exr", spec, values);
    TBitmap24 fitted, expected(1700, 134);
    TPictureInfo info;
    LoadImageFile(file, fitted, {}, &info);
    EXPECT_EQ(std::pair(info.Width, info.Height), std::pair(width, height));
    EXPECT_FALSE(info.IsMovie);
    reference::Resample(Lanczos3Filter, Load(file), expected, 3.0f);
    EXPECT_TRUE(fitted.SamePixels(expected)) << (tiled ? "tiled" : "scanlines");
  }
}

TEST_F(Footage, MovieFramesByNumberAndTimecode) {
  if (!IsPictureFileName("a.mov"))
    GTEST_SKIP() << "OpenImageIO has no FFmpeg reader here";
  // Frame k is a flat grey of 16 + 8k (full range): which frame was read shows in its mean. Every
  // container offered is tried.
  const std::map<std::string, std::string> codecs = {
      {"mov", "prores_ks"}, {"mp4", "libx264 -pix_fmt yuv420p -qp 0"}, {"m4v", "libx264 -pix_fmt yuv420p -qp 0"},
      {"avi", "mpeg4 -q:v 1"}};
  for (const std::string &ext : MovieExtensions()) {
    ASSERT_EQ(codecs.count(ext), 1u) << "no movie of type " << ext << " to try";
    const std::string codec = codecs.at(ext), movie = Path("clip." + ext);
    ASSERT_TRUE(Shell("ffmpeg -nostdin -y -f lavfi -i \"color=c=black:s=48x32:r=25,format=gray,geq=lum='16+8*N'\" "
                      "-frames:v 30 -c:v " + codec + " " + movie))
        << "ffmpeg cannot make " << movie;
    // Frame 26 is 1 second and 1 frame at 25 frames a second.
    const struct { const char *spec; std::int64_t frame; const char *timecode; } frames[] = {
        {"", 0, "00:00:00:00"}, {"00:00:01:01", 26, "00:00:01:01"}, {"26", 26, "00:00:01:01"}, {"1", 1, "00:00:00:01"}};
    for (const auto &f : frames) {
      TPictureLoadOptions options;
      options.Frame = f.spec;
      TPictureInfo info;
      const TBitmap24 bmp = Load(movie, options, &info);
      long sum = 0;
      for (int y = 0; y < bmp.Height(); ++y)
        for (int x = 0; x < bmp.Width() * 3; ++x)
          sum += bmp.Scanline(y)[x];
      EXPECT_NEAR(static_cast<double>(sum) / (bmp.Width() * bmp.Height() * 3), 16 + 8 * f.frame, 2) << codec << f.spec;
      EXPECT_EQ(std::tuple(info.IsMovie, info.FrameCount, info.FrameRate, info.Frame, info.Timecode),
                std::tuple(true, std::int64_t(30), 25.0, f.frame, std::string(f.timecode)));
    }
    const std::pair<const char *, const char *> refused[] = {
        {"30", "frame 30 is past the end of the movie (it has 30 frames, 0 to 29)"},
        {"00:00:00:25", "counts 0 to 24"},
        {"1:2", "HH:MM:SS:FF"}};
    for (const auto &[spec, problem] : refused) {
      TPictureLoadOptions options;
      options.Frame = spec;
      EXPECT_NE(Message([&] { Load(movie, options); }).find(problem), std::string::npos) << spec;
    }
  }
  // A movie without pictures is refused, naming the file.
  ASSERT_TRUE(Shell("ffmpeg -nostdin -y -f lavfi -i anullsrc=r=48000 -t 0.5 -c:a aac " + Path("sound.mov")));
  const std::string message = Message([&] { Load(Path("sound.mov")); });
  EXPECT_NE(message.find(Path("sound.mov")), std::string::npos) << message;
  EXPECT_NE(message.find("could not find a valid videostream"), std::string::npos) << message;
}

TEST(FrameSpec, NumbersAndTimecodes) {
  // Timecodes count whole seconds at the rounded rate: 29.97 counts 30 a second.
  const struct { const char *text; double rate; std::int64_t frame; } good[] = {
      {"0", 24, 0}, {"17", 24, 17}, {"00:00:01:00", 24, 24}, {"01:00:00:00", 25, 90000},
      {"00:01:00:29", 29.97, 1829}, {"10:59:59:23", 23.976, (10 * 3600 + 59 * 60 + 59) * 24 + 23}};
  for (const auto &g : good) {
    EXPECT_EQ(FrameNumberOf(ParseFrameSpec(g.text), g.rate), g.frame) << g.text;
    if (std::string(g.text).find(':') != std::string::npos) {
      EXPECT_EQ(FrameTimecode(g.frame, g.rate), g.text);
    }
  }
  for (const char *bad : {"", "-1", "1.5", "x", "00:00:00;12", "00:60:00:00", "00:00:61:00", "0:0:0:0", "00:00:00",
                          "00:00:00:00:00", " 1"})
    EXPECT_THROW(FrameNumberOf(ParseFrameSpec(bad), 24), EImageError) << bad;
  EXPECT_THROW(FrameNumberOf(ParseFrameSpec("00:00:00:24"), 24), EImageError);
}

TEST_F(Footage, CmykJpegsBecomeRgbAsOtherProgramsShowThem) {
  // Adobe's inverted inks in flat 8 x 8 blocks, which TurboJPEG stores as YCCK with Adobe's marker
  // and keeps almost exactly at quality 100: red = C x K / 255 by hand, e.g. (255, 128, 0, 200) ->
  // (200, 100, 0).
  const std::uint8_t inks[4][4] = {{255, 128, 0, 200}, {0, 255, 255, 255}, {100, 200, 50, 128}, {255, 255, 255, 0}};
  const std::array<int, 3> expected[4] = {{200, 100, 0}, {0, 255, 255}, {50, 100, 25}, {0, 0, 0}};
  std::vector<std::uint8_t> cmyk(32 * 8 * 4);
  for (std::size_t i = 0; i < 32 * 8; ++i)
    std::memcpy(&cmyk[4 * i], inks[i % 32 / 8], 4);
  const TBitmap24 bmp = Load(Write("ycck.jpg", test::Jpeg(cmyk.data(), 32, 8, 32 * 4, TJPF_CMYK, TJSAMP_444, 100)));
  ASSERT_EQ(bmp.Width(), 32);
  for (int block = 0; block < 4; ++block)
    for (int k = 0; k < 3; ++k)
      EXPECT_NEAR(Rgb(bmp, block * 8 + 3, 4)[k], expected[block][k], 1) << "block " << block;
}

TEST_F(Footage, ThePixelLimitRefusesWithAMessageNamingIt) {
  const std::string png = WriteOiio("small.png", 20, 10, 3, OIIO::TypeDesc::UINT8, std::vector<std::uint8_t>(600, 9));
  const std::string exr = WriteOiio("small.exr", 20, 10, 3, OIIO::TypeDesc::HALF, std::vector<float>(600, 0.5f));
  for (const std::string &file : {png, exr}) {
    TPictureLoadOptions options;
    options.MaxPixels = 199;
    EXPECT_EQ(Message([&] { Load(file, options); }),
              "Cannot load the picture \"" + file +
                  "\": the picture (20 x 10 = 200 pixels) is larger than the limit of 199 pixels; raise it with "
                  "--max-pixels.");
    options.MaxPixelsHint = "raise it in Preferences";
    EXPECT_NE(Message([&] { TBitmap24 b; LoadImageFile(file, b, options); }).find("; raise it in Preferences."),
              std::string::npos);
    options.MaxPixels = 200;
    EXPECT_EQ(Load(file, options).Width(), 20);
  }
  // The limit may be raised to 400 million pixels and no further.
  const struct { const char *text; std::int64_t value; } good[] = {
      {"1", 1},       {"200", 200}, {"150M", 150'000'000}, {"400000000", 400'000'000},
      {"400M", 400'000'000}, {"2m", 2'000'000}};
  for (const auto &g : good)
    EXPECT_EQ(ParseMaxPixels(g.text), g.value) << g.text;
  for (const char *bad : {"", "0", "-5", "1.5M", "12k", "M", "5G", "400000001", "401m", "99999999999999"})
    EXPECT_THROW(ParseMaxPixels(bad), EImageError) << bad;
}

namespace {

// Runs body in a child process with its address space limited to `extra` bytes beyond what it
// already uses, and a time limit; returns the child's exit code (3 for an exception, 128 + signal).
int RunLimited(std::size_t extra, unsigned seconds, const std::function<int()> &body) {
  std::fflush(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    mallopt(M_ARENA_MAX, 1); // thread arenas reserve address space they never use
    std::size_t used = 0;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind("VmSize:", 0) == 0)
        used = std::stoull(line.substr(7)) * 1024;
    const rlimit limit{used + extra, used + extra};
    setrlimit(RLIMIT_AS, &limit);
    alarm(seconds);
    int code = 3; // an exception must not return the child into the test
    try {
      code = body();
    } catch (...) {
    }
    _exit(code);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

} // namespace

TEST_F(Footage, LargeDeclaredPicturesLoadInBoundedMemoryAndTime) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit under an address-space limit";
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  GTEST_SKIP() << "AddressSanitizer's shadow memory does not fit under an address-space limit";
#endif
#endif
  // A 66-byte run-length BMP declaring 16384 x 16384 pixels, every run a stop: Qt keeps one byte
  // a pixel (256 MB), the fit streams. Before, the load took 1.8 GB.
  TBytes bmp(66, 0);
  const std::pair<std::size_t, std::uint32_t> fields[] = {
      {0, 'B' | 'M' << 8}, {2, 66}, {10, 62},                 // file size, where the pixels start
      {14, 40}, {18, 16384}, {22, 16384}, {26, 1}, {28, 8},   // header size, width, height, planes, bits
      {30, 1}, {34, 4}, {46, 2}, {54, 0xFFFFFF}, {62, 0x100}}; // RLE8, data size, palette of 2; end of picture
  for (const auto &[at, value] : fields)
    for (int i = 0; i < 4; ++i)
      bmp[at + i] = static_cast<unsigned char>(value >> (8 * i));
  const std::string rle = Write("huge-rle.bmp", bmp);
  TPictureLoadOptions options;
  options.MaxPixels = 16384LL * 16384;
  EXPECT_EQ(RunLimited(std::size_t(600) << 20, 60, [&] {
              TBitmap24 fitted;
              LoadImageFile(rle, fitted, options);
              return fitted.Width() == 500 && fitted.Height() == 500 ? 0 : 1;
            }),
            0);
  // The default limit refuses it at once.
  EXPECT_NE(Message([&] { TBitmap24 b; LoadImageFile(rle, b); }).find("larger than the limit of 150000000 pixels"),
            std::string::npos);
  // A DPX holding fewer bytes than its pixels need is cut off, in either byte order: the library
  // would read the rest as black, for seconds when the declared size is large. 64 x 64 pixels of
  // 32 bits from offset 8192 are 24576 bytes; the size check takes 30 bits a pixel, 23552.
  for (const char *order : {"little", "big"}) {
    OIIO::ImageSpec spec(64, 64, 3, OIIO::TypeDesc::UINT16);
    spec.attribute("oiio:BitsPerSample", 10);
    spec.attribute("oiio:Endian", order);
    TBytes cut = Read(WriteOiio("whole.dpx", spec, std::vector<std::uint16_t>(64 * 64 * 3)));
    cut.resize(cut.size() - 4096);
    EXPECT_NE(Message([&] { Load(Write("cut.dpx", cut)); }).find("cut off (its pixels need 23552 bytes, it holds 20480)"),
              std::string::npos)
        << order;
  }
  // A header that declares 4 GB of user data in a small file is refused before the library sets
  // that much memory aside for it.
  TBytes greedy = Read(Path("whole.dpx"));
  std::fill(greedy.begin() + 32, greedy.begin() + 36, 0xF0); // in either byte order
  EXPECT_NE(Message([&] { Load(Write("greedy.dpx", greedy)); }).find("declares 4042322160 bytes of user data"),
            std::string::npos);

  // A 16-bit PNG of 4000 x 4000 (96 MB of pixels, a few hundred KB of file) through OpenImageIO,
  // streamed into the fit in 100 MB. Before, Qt decoded it whole at 8 bytes a pixel (128 MB).
  {
    auto out = OIIO::ImageOutput::create(Path("deep.png"));
    OIIO::ImageSpec spec(4000, 4000, 3, OIIO::TypeDesc::UINT16);
    spec.attribute("png:compressionLevel", 1);
    ASSERT_TRUE(out->open(Path("deep.png"), spec));
    std::vector<std::uint16_t> row(4000 * 3, 40000);
    for (int y = 0; y < 4000; ++y)
      out->write_scanline(y, 0, OIIO::TypeDesc::UINT16, row.data());
    out->close();
  }
  EXPECT_EQ(RunLimited(std::size_t(100) << 20, 60, [&] {
              TBitmap24 fitted;
              LoadImageFile(Path("deep.png"), fitted);
              std::uint8_t r, g, b;
              fitted.GetPixel(250, 250, r, g, b);
              return fitted.Width() == 500 && r == 156 ? 0 : 1; // 40000 / 257 = 155.6
            }),
            0);
}

TEST_F(Footage, OnlyRegularFilesAreReadAndAFifoIsRefusedAtOnce) {
  for (const char *name : {"pipe.png", "pipe.jpg", "pipe.bmp", "pipe.exr", "pipe.mov"}) {
    ASSERT_EQ(mkfifo(Path(name).c_str(), 0600), 0);
    const std::string file = Path(name);
    EXPECT_EQ(RunLimited(std::size_t(1) << 30, 10, [&] {
                const std::string message = Message([&] { Load(file); });
                return message.find(file) != std::string::npos && message.find("pipe") != std::string::npos ? 0 : 1;
              }),
              0)
        << name;
  }
}

TEST_F(Footage, LibraryWarningsAppearOnlyInVerboseMode) {
  // A PNG with a bad CRC in an ancillary chunk after the pixels: libpng warns and Qt reads on.
  TBytes png = Read(TINTWISE_SOURCE_DIR "/samples/coffee.png");
  const char text[] = "\0\0\0\x05tEXtab\0cd\0\0\0\0"; // a tEXt chunk with a wrong CRC
  png.insert(png.end() - 12, text, text + sizeof text - 1);
  const std::string chatty = Write("chatty.png", png);
  auto stderrOf = [&] {
    std::fflush(stderr);
    const int saved = dup(2);
    const int fd = ::open(Path("stderr.txt").c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
    dup2(fd, 2);
    ::close(fd);
    Message([&] { Load(chatty); });
    std::fputs("and after the load\n", stderr); // standard error is back
    std::fflush(stderr);
    dup2(saved, 2);
    ::close(saved);
    const TBytes bytes = Read(Path("stderr.txt"));
    return std::string(bytes.begin(), bytes.end());
  };
  SetPictureLoaderVerbose(false);
  EXPECT_EQ(stderrOf(), "and after the load\n");
  SetPictureLoaderVerbose(true);
  const std::string verbose = stderrOf();
  SetPictureLoaderVerbose(false);
  EXPECT_NE(verbose.find("CRC"), std::string::npos) << verbose;
  EXPECT_EQ(verbose.substr(verbose.size() - 19), "and after the load\n");
}
