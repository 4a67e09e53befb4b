#include "fuzz/FuzzSupport.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/Bitmap24.h"
#include "engine/Errors.h"
#include "engine/Lut.h"
#include "engine/Parallel.h"
#include "formats/LutFormat.h"

namespace tintwise::fuzz {

namespace {

// A signalling NaN with a payload: parsing text never yields it, and no reader computes it.
constexpr std::uint64_t kMarkerBits = 0x7FF4'0000'DEAD'BEEFull;

double Marker() {
  double d;
  std::memcpy(&d, &kMarkerBits, sizeof d);
  return d;
}

bool IsMarker(double d) {
  std::uint64_t bits;
  std::memcpy(&bits, &d, sizeof bits);
  return bits == kMarkerBits;
}

// Never destroyed: the handler that removes the folder at a normal exit runs after static
// destructors.
const std::string &InputFolder() {
  static const std::string *folder = [] {
    std::string base = "/dev/shm";
    struct stat st {};
    if (::stat(base.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || ::access(base.c_str(), W_OK) != 0) {
      const char *tmp = std::getenv("TMPDIR");
      base = tmp && *tmp ? tmp : "/tmp";
    }
    // libFuzzer leaves with _Exit after a fault or at the end of its time, so folders of processes
    // that are gone are removed here.
    const std::string prefix = "tintwise-fuzz-";
    std::error_code ec;
    for (const auto &entry : std::filesystem::directory_iterator(base, ec)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind(prefix, 0) == 0 && !std::filesystem::exists("/proc/" + name.substr(prefix.size()), ec))
        std::filesystem::remove_all(entry.path(), ec);
    }
    auto *dir = new std::string(base + "/" + prefix + std::to_string(::getpid()));
    std::filesystem::create_directories(*dir);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(InputFolder(), ec);
    });
    return dir;
  }();
  return *folder;
}

void MarkLattice(TLUT &lut, int n) {
  const double m = Marker();
  for (int r = 0; r < n; ++r)
    for (int g = 0; g < n; ++g)
      for (int b = 0; b < n; ++b)
        lut.Lattice[r][g][b] = {m, m, m};
}

void MarkCurve(TLUT &lut, int n) {
  const double m = Marker();
  for (int i = 0; i < n; ++i)
    lut.Curve[i] = {m, m, m};
}

[[noreturn]] void Unset(const std::string &formatName, const std::string &where) {
  std::fprintf(stderr, "%s: the reader left %s unset after a successful load.\n", formatName.c_str(),
               where.c_str());
  std::abort();
}

} // namespace

std::string WriteInput(const std::uint8_t *data, std::size_t size, std::string_view extension) {
  std::string name = InputFolder() + "/input";
  if (!extension.empty())
    name.append(".").append(extension);
  const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) {
    std::perror(name.c_str());
    std::abort();
  }
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0) {
      std::perror(name.c_str());
      std::abort();
    }
    done += static_cast<std::size_t>(n);
  }
  ::close(fd);
  return name;
}

TLUT &SharedLut() {
  static TLUT *lut = [] {
    auto *l = new TLUT;
    MarkLattice(*l, kMaxSize3D);
    MarkCurve(*l, kMaxSize1D);
    return l;
  }();
  return *lut;
}

void Initialize() {
  static const bool done = [] {
    InitLutFormats();
    SetEngineThreadCount(1);
    (void)SharedLut();
    (void)InputFolder();
    return true;
  }();
  (void)done;
}

void CheckLoadedLut(const std::string &formatName) {
  TLUT &lut = SharedLut();
  const bool curve = lut.Mode == kMode1D || lut.Mode == kMode1DThen3D;
  const bool lattice = lut.Mode == kMode3D || lut.Mode == kMode1DThen3D;
  if (curve)
    for (int i = 0; i < lut.Size1D; ++i)
      for (int c = 0; c < 3; ++c)
        if (IsMarker(lut.Curve[i][c]))
          Unset(formatName, "curve entry " + std::to_string(i));
  if (lattice)
    for (int r = 0; r < lut.Size3D; ++r)
      for (int g = 0; g < lut.Size3D; ++g)
        for (int b = 0; b < lut.Size3D; ++b)
          for (int c = 0; c < 3; ++c)
            if (IsMarker(lut.Lattice[r][g][b][c]))
              Unset(formatName, "lattice point " + std::to_string(r) + ", " + std::to_string(g) + ", " +
                                    std::to_string(b));

  // Whatever the file held (NaN, infinities, huge values), applying the LUT must stay defined.
  TBitmap24 picture(7, 5);
  std::uint32_t v = 0x9E3779B9u;
  for (int y = 0; y < picture.Height(); ++y)
    for (int x = 0; x < picture.Width(); ++x) {
      v = v * 1664525u + 1013904223u;
      picture.SetPixel(x, y, static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                       static_cast<std::uint8_t>(v >> 8));
    }
  picture.SetPixel(0, 0, 0, 0, 0);
  picture.SetPixel(1, 0, 255, 255, 255);
  lut.ApplyToBitmap(picture);
  for (std::uint16_t value : {0, 1, 32767, 65535}) {
    TColorTriple in{value, static_cast<std::uint16_t>(65535 - value), value, 16};
    TColorTriple out;
    out.Bits = 10;
    lut.ApplyToColor(in, out);
  }
  (void)lut.Evaluate({std::nan(""), -1e300, 1e300});

  if (curve)
    MarkCurve(lut, lut.Size1D);
  if (lattice)
    MarkLattice(lut, lut.Size3D);
}

const std::vector<std::string> &FinderExtensions() {
  static const std::vector<std::string> extensions = [] {
    std::vector<std::string> list;
    for (const TLutFormatInfo &info : kLutFormatInfo) {
      std::string_view rest = info.Extensions;
      while (!rest.empty()) {
        const std::size_t blank = rest.find(' ');
        const std::string extension(rest.substr(0, blank));
        rest = blank == std::string_view::npos ? std::string_view() : rest.substr(blank + 1);
        if (std::find(list.begin(), list.end(), extension) == list.end())
          list.push_back(extension);
      }
    }
    list.emplace_back();
    return list;
  }();
  return extensions;
}

int FinderSelector(const std::string &extension) {
  const std::vector<std::string> &list = FinderExtensions();
  const auto it = std::find(list.begin(), list.end(), extension);
  return static_cast<int>((it == list.end() ? list.end() - 1 : it) - list.begin());
}

int FuzzLutFormat(int formatIndex, const char *extension, const std::uint8_t *data, std::size_t size) {
  Initialize();
  TLUTFormat *format = GetLutFormat(formatIndex);
  if (!format)
    std::abort();
  const std::string name = WriteInput(data, size, extension);
  try {
    (void)format->CanRead(TLutFileHead::Read(name));
  } catch (const ETintwiseError &) {
  }
  TLUT &lut = SharedLut();
  lut.Comments.clear();
  try {
    format->LoadFromFile(name, lut);
  } catch (const ETintwiseError &) {
    return 0;
  }
  CheckLoadedLut(format->Name);
  return 0;
}

} // namespace tintwise::fuzz
