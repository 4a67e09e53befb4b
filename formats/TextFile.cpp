#include "formats/TextFile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "formats/LutErrors.h"

namespace tintwise {

std::string ReadWholeFile(const std::string &FileName) {
  auto fail = [&](int err) {
    return EFOpenError("Cannot open file \"" + FileName + "\". " + std::strerror(err) + ".");
  };
  int fd = ::open(FileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    throw fail(errno);
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd);
    throw fail(err);
  }
  std::string data;
  data.resize(st.st_size > 0 ? static_cast<std::size_t>(st.st_size) : 0);
  std::size_t got = 0;
  for (;;) {
    if (got == data.size())
      data.resize(data.size() + 65536); // the file grew, or reports no size
    ssize_t n = ::read(fd, data.data() + got, data.size() - got);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      int err = errno;
      ::close(fd);
      throw fail(err);
    }
    if (n == 0)
      break;
    got += static_cast<std::size_t>(n);
  }
  ::close(fd);
  data.resize(got);
  return data;
}

void WriteFileReplacing(const std::string &FileName, std::string_view Data) {
  auto fail = [&](int err) {
    return EFCreateError("Cannot create file \"" + FileName + "\". " + std::strerror(err) + ".");
  };
  struct stat target {};
  const bool exists = ::stat(FileName.c_str(), &target) == 0;
  if (exists && S_ISDIR(target.st_mode))
    throw fail(EISDIR);

  std::string tempName;
  int fd = -1;
  for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
    tempName = FileName + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
    fd = ::open(tempName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST)
      throw fail(errno);
  }
  if (fd < 0)
    throw fail(EEXIST);
  auto abandon = [&](int err) {
    ::close(fd);
    ::unlink(tempName.c_str());
    throw fail(err);
  };
  if (exists)
    (void)::fchmod(fd, target.st_mode & 07777);
  std::size_t done = 0;
  while (done < Data.size()) {
    ssize_t n = ::write(fd, Data.data() + done, Data.size() - done);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      abandon(errno);
    }
    done += static_cast<std::size_t>(n);
  }
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(tempName.c_str());
    throw fail(err);
  }
  if (::rename(tempName.c_str(), FileName.c_str()) != 0) {
    int err = errno;
    ::unlink(tempName.c_str());
    throw fail(err);
  }
}

void TTextFile::LoadFromFile(const std::string &FileName) {
  FData = ReadWholeFile(FileName);
  Split();
}

void TTextFile::SetText(std::string_view Text) {
  FData.assign(Text);
  Split();
}

void TTextFile::Split() {
  FSpans.clear();
  std::size_t n = FData.size();
  if (const void *z = std::memchr(FData.data(), '\0', n))
    n = static_cast<const char *>(z) - FData.data();
  const char *base = FData.data();
  if (!std::memchr(base, '\r', n)) {
    // Line feeds only: the common case, split with memchr.
    std::size_t start = 0;
    while (start < n) {
      const void *lf = std::memchr(base + start, '\n', n - start);
      std::size_t end = lf ? static_cast<const char *>(lf) - base : n;
      FSpans.emplace_back(start, end - start);
      start = end + 1;
    }
    return;
  }
  std::size_t start = 0, i = 0;
  while (i < n) {
    char c = base[i];
    if (c == '\n' || c == '\r') {
      FSpans.emplace_back(start, i - start);
      ++i;
      if (c == '\r' && i < n && base[i] == '\n')
        ++i;
      start = i;
    } else {
      ++i;
    }
  }
  if (start < n)
    FSpans.emplace_back(start, n - start);
}

void TTextFile::Add(std::string_view Line) {
  FSpans.emplace_back(FData.size(), Line.size());
  FData.append(Line);
}

void TTextFile::Clear() {
  FData.clear();
  FSpans.clear();
}

void TTextFile::Reserve(std::size_t lines, std::size_t chars) {
  FSpans.reserve(FSpans.size() + lines);
  FData.reserve(FData.size() + chars);
}

std::string TTextFile::Text() const {
  std::string out;
  out.reserve(FData.size() + FSpans.size() * LineBreak.size());
  for (std::size_t i = 0; i < FSpans.size(); ++i) {
    out.append((*this)[i]);
    out.append(LineBreak);
  }
  return out;
}

void TTextFile::SaveToFile(const std::string &FileName) const { WriteFileReplacing(FileName, Text()); }

} // namespace tintwise
