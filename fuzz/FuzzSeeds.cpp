// Writes the seed corpora of the fuzz targets: small LUT files from this program's own writers
// for every reader (several sizes and bit depths), hand-made files for the formats that are only
// read, small pictures of every BMP, PNG and JPEG flavour the loader meets and of the footage
// types (10-bit DPX, Cineon, half EXR, 16-bit TIFF), and, when the shared folder is there, the
// peer LUT files and the BMP suite.
//
//   fuzz_seeds MANIFEST OUTPUT_FOLDER [SHARED_FOLDER]
//
// MANIFEST is fuzzers.txt of the build folder: one line per target, "name index extension dict".
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>

#include <OpenImageIO/imageio.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/Errors.h"
#include "engine/Lut.h"
#include "formats/LutFormat.h"
#include "formats/TextFile.h"
#include "fuzz/FuzzSupport.h"

namespace fs = std::filesystem;
using namespace tintwise;

namespace {

// The same list, in the same order, as PictureFuzzer.cpp.
enum { kBmp = 0, kPng = 1, kJpeg = 2, kTiff = 3, kExr = 4, kDpx = 5, kCineon = 6 };

struct TTarget {
  std::string Name;
  int FormatIndex = -1;
  std::string Extension;
};

std::string ReadFile(const fs::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const fs::path &path, std::string_view data) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

std::string WithSelector(int selector, std::string_view data) {
  std::string out(1, static_cast<char>(selector));
  out.append(data);
  return out;
}

// A LUT that is not the identity, with values outside 0..1 at its corners, so the writers' number
// formats and clamping show in the seeds.
void FillLut(TLUT &lut, int size3D, int size1D) {
  lut.Comments = {"seed"};
  lut.Size3D = size3D;
  lut.Size1D = size1D;
  lut.Mode = kMode3D;
  for (int r = 0; r < size3D; ++r)
    for (int g = 0; g < size3D; ++g)
      for (int b = 0; b < size3D; ++b) {
        const double d = size3D - 1;
        lut.Lattice[r][g][b] = {std::pow(r / d, 0.8), 0.1 + 0.8 * g / d, b / d * 1.05 - 0.02};
      }
  for (int i = 0; i < size1D; ++i) {
    const double x = static_cast<double>(i) / (size1D - 1);
    lut.Curve[i] = {x, std::sqrt(x), x * x};
  }
}

// Files of the formats this program reads but does not write.
std::vector<std::pair<int, std::string>> HandMadeLuts() {
  std::vector<std::pair<int, std::string>> files;
  // DaVinci Resolve ilut (14-bit codes) and olut (12-bit codes).
  files.push_back({int(TLutFormatId::DavinciILut1D), "0 0 0\n8191 8000 9000\n16383 16383 16383\n"});
  files.push_back({int(TLutFormatId::DavinciOLut1D), "# curve\n0 0 0\n2048 1900 2100\n4095 4095 4095\n"});
  // Adobe Speedgrade look: a 2-point lattice as hex floats, lowest byte first.
  {
    std::string data;
    char hex[9];
    for (int b = 0; b < 2; ++b)
      for (int g = 0; g < 2; ++g)
        for (int r = 0; r < 2; ++r)
          for (float v : {float(r), float(g), float(b) * 0.5f}) {
            std::uint32_t bits;
            std::memcpy(&bits, &v, 4);
            std::snprintf(hex, sizeof hex, "%02x%02x%02x%02x", bits & 255, (bits >> 8) & 255, (bits >> 16) & 255,
                          bits >> 24);
            data += hex;
          }
    files.push_back({int(TLutFormatId::SpeedgradeLook3D), "<?xml version=\"1.0\"?>\n<look>\n <shaders>\n  <shader/>\n </shaders>\n <lut>\n"
                         "  <size>\"2\"</size>\n  <data>" + data + "</data>\n </lut>\n</look>\n"});
    files.push_back({int(TLutFormatId::SpeedgradeLook3D), "<look><shaders></shaders></look>\n"});
  }
  // ASC CDL: a single correction and a collection.
  files.push_back({int(TLutFormatId::AscCdl), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ColorCorrection id=\"shot_1\">\n"
                       " <SOPNode>\n  <Slope>1.1 1.0 0.9</Slope>\n  <Offset>0.01 0 -0.01</Offset>\n"
                       "  <Power>1 1.2 1</Power>\n </SOPNode>\n <SATNode>\n  <Saturation>0.8</Saturation>\n"
                       " </SATNode>\n</ColorCorrection>\n"});
  return files;
}

// Small pictures: every kind of pixel layout the BMP and PNG readers and the JPEG decoder handle.
std::vector<std::pair<int, std::string>> Pictures() {
  std::vector<std::pair<int, std::string>> files;
  QImage rgb(9, 6, QImage::Format_RGB32);
  for (int y = 0; y < rgb.height(); ++y)
    for (int x = 0; x < rgb.width(); ++x)
      rgb.setPixel(x, y, qRgb(x * 28, y * 50, (x * y * 7) & 255));
  auto encode = [&](const QImage &image, const char *format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, format))
      return std::string();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  };
  for (QImage::Format f : {QImage::Format_RGB888, QImage::Format_RGB32, QImage::Format_ARGB32, QImage::Format_Indexed8,
                           QImage::Format_Mono, QImage::Format_Grayscale8})
    files.push_back({kBmp, encode(rgb.convertToFormat(f), "bmp")});
  for (QImage::Format f : {QImage::Format_RGB888, QImage::Format_ARGB32, QImage::Format_Indexed8, QImage::Format_Mono,
                           QImage::Format_Grayscale8, QImage::Format_Grayscale16, QImage::Format_RGBA64})
    files.push_back({kPng, encode(rgb.convertToFormat(f), "png")});

  const QImage packed = rgb.convertToFormat(QImage::Format_RGB888);
  tjhandle tj = tjInitCompress();
  for (int subsampling : {TJSAMP_444, TJSAMP_422, TJSAMP_420, TJSAMP_GRAY})
    for (int flags : {0, TJFLAG_PROGRESSIVE}) {
      unsigned char *jpeg = nullptr;
      unsigned long size = 0;
      if (tjCompress2(tj, packed.constBits(), packed.width(), static_cast<int>(packed.bytesPerLine()), packed.height(),
                      TJPF_RGB, &jpeg, &size, subsampling, 80, flags) == 0)
        files.push_back({kJpeg, std::string(reinterpret_cast<char *>(jpeg), size)});
      tjFree(jpeg);
    }
  tjDestroy(tj);
  return files;
}

// A Cineon file of 4 x 2 pixels, 10 bits a channel packed three to a 32-bit word, written by hand:
// the picture library only reads the format. Big-endian, a 1024-byte generic header and a
// 1024-byte motion-picture header.
std::string CineonPicture() {
  const int width = 4, height = 2;
  std::string file(2048 + 4 * width * height, '\0');
  auto put32 = [&](std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
      file[at + i] = static_cast<char>(v >> (24 - 8 * i));
  };
  auto putFloat = [&](std::size_t at, float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    put32(at, bits);
  };
  put32(0, 0x802A5FD7);                            // magic
  put32(4, 2048);                                  // offset of the pixels
  put32(8, 1024);                                  // generic header
  put32(12, 1024);                                 // industry header
  put32(20, static_cast<std::uint32_t>(file.size()));
  file.replace(24, 4, "V4.5");
  file[193] = 3; // channels
  for (int c = 0; c < 3; ++c) {
    const std::size_t at = 196 + 28 * c;
    file[at + 1] = static_cast<char>(c + 1); // red, green, blue
    file[at + 2] = 10;                       // bits
    put32(at + 4, width);
    put32(at + 8, height);
    putFloat(at + 12, 0.0f);
    putFloat(at + 16, 0.0f);
    putFloat(at + 20, 1023.0f);
    putFloat(at + 24, 2.048f);
  }
  file[681] = 5; // packed to 32-bit words, left-justified
  for (int i = 0; i < width * height; ++i) {
    const std::uint32_t r = 64 + 120 * i, g = 1023 - 100 * i, b = 445;
    put32(2048 + 4 * i, r << 22 | g << 12 | b << 2);
  }
  return file;
}

// Footage: 10- and 12-bit DPX, half and float EXR, 16-bit TIFF of colour and of grey, from the
// picture library's writers, and the Cineon file.
std::vector<std::pair<int, std::string>> FootagePictures(const fs::path &scratch) {
  std::vector<std::pair<int, std::string>> files;
  const struct {
    int Selector;
    const char *Extension;
    OIIO::TypeDesc Type;
    int Channels, Bits;
  } kinds[] = {{kDpx, "dpx", OIIO::TypeDesc::UINT16, 3, 10}, {kDpx, "dpx", OIIO::TypeDesc::UINT16, 4, 12},
               {kExr, "exr", OIIO::TypeDesc::HALF, 4, 0},    {kExr, "exr", OIIO::TypeDesc::FLOAT, 1, 0},
               {kTiff, "tif", OIIO::TypeDesc::UINT16, 3, 16}, {kTiff, "tif", OIIO::TypeDesc::UINT16, 1, 16}};
  const int width = 7, height = 5;
  std::vector<float> pixels(width * height * 4);
  for (std::size_t i = 0; i < pixels.size(); ++i)
    pixels[i] = static_cast<float>(i % 11) / 10.0f;
  for (const auto &kind : kinds) {
    const fs::path file = scratch / (std::string("footage.") + kind.Extension);
    OIIO::ImageSpec spec(width, height, kind.Channels, kind.Type);
    if (kind.Bits)
      spec.attribute("oiio:BitsPerSample", kind.Bits);
    auto out = OIIO::ImageOutput::create(file.string());
    if (out && out->open(file.string(), spec) && out->write_image(OIIO::TypeDesc::FLOAT, pixels.data()) &&
        out->close())
      files.push_back({kind.Selector, ReadFile(file)});
    else
      std::fprintf(stderr, "fuzz_seeds: cannot write %s: %s\n", file.c_str(), OIIO::geterror().c_str());
  }
  files.push_back({kCineon, CineonPicture()});
  return files;
}

} // namespace

int main(int argc, char **argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: fuzz_seeds MANIFEST OUTPUT_FOLDER [SHARED_FOLDER]\n");
    return 2;
  }
  const fs::path out = argv[2];
  const fs::path shared = argc > 3 ? fs::path(argv[3]) : fs::path();
  std::vector<TTarget> targets;
  {
    std::ifstream manifest(argv[1]);
    std::string line;
    while (std::getline(manifest, line)) {
      if (line.empty() || line[0] == '#')
        continue;
      std::istringstream fields(line);
      TTarget t;
      std::string index;
      fields >> t.Name >> index >> t.Extension;
      t.FormatIndex = index == "-" ? -1 : std::stoi(index);
      targets.push_back(t);
    }
  }
  InitLutFormats();
  std::map<int, const TTarget *> byFormat;
  for (const TTarget &t : targets)
    if (t.FormatIndex >= 0)
      byFormat[t.FormatIndex] = &t;

  int count = 0;
  auto add = [&](const std::string &target, const std::string &name, std::string_view data) {
    WriteFile(out / target / name, data);
    ++count;
  };
  // A LUT file for its reader's corpus, the format finder's (with its extension's selector) and,
  // for XML files, the XML reader's.
  auto addLut = [&](const TTarget &t, const std::string &name, const std::string &data) {
    add(t.Name, name, data);
    add("fuzz_find_lut_format", t.Name + "-" + name, WithSelector(fuzz::FinderSelector(t.Extension), data));
    if (data.find('<') != std::string::npos)
      add("fuzz_xml_reader", t.Name + "-" + name, data);
  };

  // The writers, at a few sizes and every bit depth they take.
  TLUT lut;
  const fs::path scratch = fs::temp_directory_path() / ("tintwise-seeds-" + std::to_string(::getpid()));
  fs::create_directories(scratch);
  for (const auto &[index, target] : byFormat) {
    TLUTFormat *format = GetLutFormat(index);
    if (!format->CanWrite())
      continue;
    const std::vector<int> sizes = format->Is3D ? std::vector<int>{2, 3, 5, 64} : std::vector<int>{2, 5, 17};
    for (int size : sizes)
      for (int bits : {0, 8, 10, 12, 16}) {
        FillLut(lut, format->Is3D ? size : 2, format->Is3D ? 2 : size);
        const fs::path file = scratch / ("lut." + target->Extension);
        try {
          format->SaveToFile(file.string(), lut, bits);
        } catch (const ETintwiseError &) {
          continue; // a size or depth this format does not take
        }
        if (size == 64 && index != int(TLutFormatId::FsiDit3D))
          continue; // only the FSI DIT format needs a lattice this large
        addLut(*target, "writer-" + std::to_string(size) + "-" + std::to_string(bits) + "." + target->Extension,
               ReadFile(file));
      }
  }
  int hand = 0;
  for (const auto &[index, data] : HandMadeLuts())
    if (byFormat.count(index))
      addLut(*byFormat[index], "hand-" + std::to_string(hand++) + "." + byFormat[index]->Extension, data);

  std::vector<std::pair<int, std::string>> pictures = Pictures(), footage = FootagePictures(scratch);
  fs::remove_all(scratch);
  pictures.insert(pictures.end(), footage.begin(), footage.end());
  for (const auto &[selector, data] : pictures)
    if (!data.empty())
      add("fuzz_picture", "picture-" + std::to_string(count), WithSelector(selector, data));

  // The shared peer files: to the format that claims each, to every reader of the same extension,
  // and to the finder.
  const fs::path peers = shared / "peer-luts";
  if (!shared.empty() && fs::is_directory(peers))
    for (const auto &entry : fs::recursive_directory_iterator(peers)) {
      if (!entry.is_regular_file() || entry.path().extension().empty() || entry.path().extension() == ".md")
        continue;
      const std::string data = ReadFile(entry.path());
      const std::string extension = entry.path().extension().string().substr(1);
      const std::string name = "peer-" + entry.path().filename().string();
      TLUTFormat *claimed = nullptr;
      try {
        claimed = FindLutFormat(entry.path().string());
      } catch (const ETintwiseError &) {
      }
      for (const TTarget &t : targets)
        if (t.FormatIndex >= 0 && (t.Extension == extension || GetLutFormat(t.FormatIndex) == claimed))
          add(t.Name, name, data);
      add("fuzz_find_lut_format", name, WithSelector(fuzz::FinderSelector(extension), data));
      if (data.find('<') != std::string::npos)
        add("fuzz_xml_reader", name, data);
    }
  const fs::path bmpsuite = shared / "bmpsuite";
  if (!shared.empty() && fs::is_directory(bmpsuite))
    for (const auto &entry : fs::recursive_directory_iterator(bmpsuite)) {
      const std::string extension = entry.path().extension().string();
      if (!entry.is_regular_file() || (extension != ".bmp" && extension != ".png" && extension != ".jpg"))
        continue;
      const int selector = extension == ".bmp" ? kBmp : extension == ".png" ? kPng : kJpeg;
      add("fuzz_picture", "bmpsuite-" + entry.path().parent_path().filename().string() + "-" +
                              entry.path().filename().string(),
          WithSelector(selector, ReadFile(entry.path())));
    }
  std::printf("fuzz_seeds: %d seed files in %s\n", count, out.c_str());
  return 0;
}
