// Footage and the loader's limits: deep pictures to 8 bits by the documented rule, movie frames,
// CMYK JPEG, the pixel limit, damaged DPX files, and the picture libraries' chatter.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <limits>
#include <map>
#include <tuple>

#include "imaging/FootageFiles.h"
#include "imaging/FrameSpec.h"
#include "tests/imaging/ImagingTestSupport.h"

using namespace tintwise;
using test::Rgb;
using test::TBytes;
using Footage = test::TPictureFixture;

TEST_F(Footage, DeepPicturesBecomeEightBitsByTheDocumentedRule) {
  // Integer codes: code x 255 / (2^b - 1) to the nearest, by hand. 16 bits: 128 -> 0.498,
  // 129 -> 0.502, 32767 -> 127.498, 32768 -> 127.502, 65406 -> 254.498; 10 bits: 2 -> 0.4985,
  // 3 -> 0.748, 511 -> 127.38, 512 -> 127.62, 1022 -> 254.75. Floats: clamped to 0..1 (NaN to 0),
  // then x 255 to the nearest, halves to even: 0.5 -> 127.5 -> 128, 0.25 -> 63.75, 3/512 -> 1.494,
  // 0.5 + 1/2048 -> 127.62.
  const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<std::pair<float, int>> sixteen = {{0, 0},       {128, 0},     {129, 1},     {32767, 127},
                                                      {32768, 128}, {25828, 100}, {25829, 101}, {65406, 254},
                                                      {65535, 255}},
                                           ten = {{0, 0},     {1, 0},     {2, 0},      {3, 1},
                                                  {511, 127}, {512, 128}, {1022, 255}, {1023, 255}},
                                           floats = {{0.0f, 0},   {0.5f, 128}, {0.25f, 64}, {3.0f / 512, 1},
                                                     {0.5f + 1.0f / 2048, 128}, {1.0f, 255}, {-1.0f, 0},
                                                     {2.0f, 255}, {nan, 0},    {inf, 255},  {-inf, 0}};
  using T = OIIO::TypeDesc;
  const struct { const char *Name; T::BASETYPE Type; int Bits; const std::vector<std::pair<float, int>> &Values; } cases[] = {
      {"deep.png", T::UINT16, 16, sixteen}, {"deep.tif", T::UINT16, 16, sixteen}, {"ten.dpx", T::UINT16, 10, ten},
      {"half.exr", T::HALF, 0, floats},     {"float.exr", T::FLOAT, 0, floats}};
  for (const auto &c : cases)
    for (const int channels : {c.Bits == 10 ? 3 : 4, 1}) { // red, green (backwards), blue, alpha; grey
      SCOPED_TRACE(std::string(c.Name) + ", " + std::to_string(channels) + " channels");
      const int n = static_cast<int>(c.Values.size()), top = c.Bits ? (1 << c.Bits) - 1 : 1;
      std::vector<float> px;
      for (int i = 0; i < n; ++i) {
        const float v = c.Values[i].first / top, w = c.Values[n - 1 - i].first / top;
        const float pixel[] = {v, w, v, i % 2 ? 0.0f : 1.0f}; // alpha 0 keeps its colour
        px.insert(px.end(), pixel, pixel + channels);
      }
      const std::string file = WriteOiio(std::to_string(channels) + c.Name, n, 1, channels, c.Type, px, c.Bits);
      EXPECT_TRUE(ReadsAsFootage(file)); // streamed in bands, not decoded whole by Qt at 8 bytes a pixel
      const TBitmap24 bmp = Load(file);
      for (int x = 0; x < n; ++x) {
        const int v = c.Values[x].second, w = channels == 1 ? v : c.Values[n - 1 - x].second;
        EXPECT_EQ(Rgb(bmp, x), (std::array<int, 3>{v, w, v})) << c.Values[x].first;
      }
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

TEST_F(Footage, DamagedDpxIsRefusedFromItsHeader) {
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

}

TEST_F(Footage, LibraryWarningsAppearOnlyInVerboseMode) {
  // A PNG with a bad CRC in an ancillary chunk after the pixels: libpng warns and reads on.
  TBytes png = Read(TINTWISE_SOURCE_DIR "/samples/coffee.png");
  const char text[] = "\0\0\0\x05tEXtab\0cd\0\0\0\0"; // a tEXt chunk with a wrong CRC
  png.insert(png.end() - 12, text, text + sizeof text - 1);
  const std::string chatty = Write("chatty.png", png);
  for (const bool verbose : {false, true}) {
    SetPictureLoaderVerbose(verbose);
    std::fflush(stderr);
    const int saved = dup(2), fd = ::open(Path("stderr.txt").c_str(), O_CREAT | O_TRUNC | O_WRONLY, 0600);
    dup2(fd, 2);
    ::close(fd);
    Load(chatty);
    std::fputs("and after the load\n", stderr); // standard error is back
    std::fflush(stderr);
    dup2(saved, 2);
    ::close(saved);
    const TBytes bytes = Read(Path("stderr.txt"));
    const std::string said(bytes.begin(), bytes.end());
    EXPECT_EQ(said.find("CRC") != std::string::npos, verbose) << said;
    EXPECT_EQ(verbose ? said.substr(said.size() - 19) : said, "and after the load\n"); // quiet: nothing else
  }
  SetPictureLoaderVerbose(false);
}
