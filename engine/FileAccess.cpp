#include "engine/FileAccess.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/Errors.h"

namespace tintwise {

namespace {

EFOpenError OpenFailure(const std::string &fileName, const std::string &cause) {
  return EFOpenError("Cannot open file \"" + fileName + "\". " + cause);
}

EFOpenError OpenFailure(const std::string &fileName, int err) {
  return OpenFailure(fileName, std::string(std::strerror(err)) + ".");
}

EFCreateError CreateFailure(const std::string &fileName, const std::string &cause) {
  return EFCreateError("Cannot create file \"" + fileName + "\". " + cause);
}

EFCreateError CreateFailure(const std::string &fileName, int err) {
  return CreateFailure(fileName, std::string(std::strerror(err)) + ".");
}

std::string KindOf(mode_t mode) {
  if (S_ISDIR(mode))
    return "a folder";
  if (S_ISFIFO(mode))
    return "a pipe";
  if (S_ISCHR(mode) || S_ISBLK(mode))
    return "a device";
  if (S_ISSOCK(mode))
    return "a socket";
  return "not a regular file";
}

struct TDescriptor {
  int fd = -1;
  explicit TDescriptor(int d) : fd(d) {}
  ~TDescriptor() {
    if (fd >= 0)
      ::close(fd);
  }
  int Release() {
    int d = fd;
    fd = -1;
    return d;
  }
};

// Reads up to maxBytes + 1 bytes, so a caller can tell "exactly the cap" from "more than the cap".
std::string ReadUpTo(int fd, const std::string &fileName, std::size_t want, std::size_t sizeHint) {
  std::string data;
  data.resize(std::min(want, sizeHint));
  std::size_t got = 0;
  for (;;) {
    if (got == data.size()) {
      if (data.size() >= want)
        break;
      data.resize(std::min(want, data.size() + std::max<std::size_t>(65536, data.size() / 2)));
    }
    ssize_t n = ::read(fd, data.data() + got, data.size() - got);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      throw OpenFailure(fileName, errno);
    }
    if (n == 0)
      break;
    got += static_cast<std::size_t>(n);
  }
  data.resize(got);
  return data;
}

} // namespace

int OpenRegularFile(const std::string &fileName) {
  if (fileName.empty())
    throw OpenFailure(fileName, "No file name was given.");
  // O_NONBLOCK: opening a FIFO with no writer must not wait for one.
  TDescriptor fd(::open(fileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.fd < 0) {
    const int err = errno;
    if (err == ENOENT) {
      // Tell a missing file from one inside a folder the user may not search.
      const std::string::size_type slash = fileName.rfind('/');
      const std::string folder = slash == std::string::npos ? "." : fileName.substr(0, slash + 1);
      struct stat dir {};
      if (::stat(folder.c_str(), &dir) == 0 && S_ISDIR(dir.st_mode))
        throw OpenFailure(fileName, "The file does not exist.");
      throw OpenFailure(fileName, "Its folder does not exist.");
    }
    throw OpenFailure(fileName, err);
  }
  struct stat st {};
  if (::fstat(fd.fd, &st) != 0)
    throw OpenFailure(fileName, errno);
  if (!S_ISREG(st.st_mode))
    throw OpenFailure(fileName, "It is " + KindOf(st.st_mode) + ", not a file.");
  const int flags = ::fcntl(fd.fd, F_GETFL);
  if (flags >= 0)
    (void)::fcntl(fd.fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd.Release();
}

std::uint64_t RegularFileSize(const std::string &fileName) {
  TDescriptor fd(OpenRegularFile(fileName));
  struct stat st {};
  if (::fstat(fd.fd, &st) != 0)
    throw OpenFailure(fileName, errno);
  return static_cast<std::uint64_t>(st.st_size);
}

std::string ReadWholeFile(const std::string &fileName, std::size_t maxBytes, std::string_view what) {
  TDescriptor fd(OpenRegularFile(fileName));
  struct stat st {};
  if (::fstat(fd.fd, &st) != 0)
    throw OpenFailure(fileName, errno);
  const std::size_t want = maxBytes == SIZE_MAX ? SIZE_MAX : maxBytes + 1;
  std::string data = ReadUpTo(fd.fd, fileName, want, static_cast<std::size_t>(st.st_size) + 1);
  if (data.size() > maxBytes) {
    std::string cause = "It is larger than " + std::to_string(maxBytes) + " bytes";
    cause += what.empty() ? std::string(".") : ", the most " + std::string(what) + " can hold.";
    throw OpenFailure(fileName, cause);
  }
  return data;
}

std::string ReadFileHead(const std::string &fileName, std::size_t maxBytes) {
  TDescriptor fd(OpenRegularFile(fileName));
  return ReadUpTo(fd.fd, fileName, maxBytes, maxBytes);
}

bool SameFile(const std::string &a, const std::string &b) {
  struct stat sa {}, sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0)
    return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

namespace {

// The file a write to fileName lands in: links followed to their final target (which need not
// exist yet). Raises EFCreateError for anything that cannot be replaced by a regular file.
std::string ResolveTarget(const std::string &fileName, struct stat &st, bool &exists) {
  if (fileName.empty())
    throw CreateFailure(fileName, "No file name was given.");
  std::string target = fileName;
  for (int depth = 0;; ++depth) {
    struct stat lst {};
    if (::lstat(target.c_str(), &lst) != 0 || !S_ISLNK(lst.st_mode))
      break;
    if (depth >= 40)
      throw CreateFailure(fileName, std::string(std::strerror(ELOOP)) + ".");
    std::string link(PATH_MAX, '\0');
    const ssize_t n = ::readlink(target.c_str(), link.data(), link.size());
    if (n < 0)
      throw CreateFailure(fileName, errno);
    link.resize(static_cast<std::size_t>(n));
    if (!link.empty() && link[0] != '/') {
      const std::string::size_type slash = target.rfind('/');
      if (slash != std::string::npos)
        link = target.substr(0, slash + 1) + link;
    }
    target = link;
  }
  exists = ::stat(target.c_str(), &st) == 0;
  if (exists) {
    if (!S_ISREG(st.st_mode))
      throw CreateFailure(fileName, "It is " + KindOf(st.st_mode) + ", not a file.");
    if (::access(target.c_str(), W_OK) != 0)
      throw CreateFailure(fileName, errno == EACCES || errno == EROFS
                                        ? "You may not write to it."
                                        : std::string(std::strerror(errno)) + ".");
  }
  const std::string::size_type slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  struct stat dir {};
  if (::stat(folder.c_str(), &dir) != 0 || !S_ISDIR(dir.st_mode))
    throw CreateFailure(fileName, "Its folder does not exist.");
  if (::access(folder.c_str(), W_OK | X_OK) != 0)
    throw CreateFailure(fileName, "You may not write to its folder.");
  return target;
}

} // namespace

void TFileOutput::Check(const std::string &fileName) {
  if (IsStandardOutput(fileName))
    return;
  struct stat st {};
  bool exists = false;
  (void)ResolveTarget(fileName, st, exists);
}

TFileOutput::TFileOutput(const std::string &fileName) : FFileName(fileName) {
  struct stat st {};
  bool exists = false;
  FTarget = ResolveTarget(fileName, st, exists);
  if (exists) {
    FMode = st.st_mode & 07777;
    FHasMode = true;
  }
  const std::string::size_type slash = FTarget.rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : FTarget.substr(0, slash + 1);
  // A short hidden name, so a target name near the file system's limit still works and a killed
  // write leaves nothing a user would mistake for a finished file.
  std::random_device random;
  static const char digits[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = ".tw-";
    for (int i = 0; i < 8; ++i)
      name += digits[random() % 36];
    FTemp = folder + name + ".tmp";
    FDescriptor = ::open(FTemp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (FDescriptor >= 0)
      break;
    if (errno != EEXIST)
      throw CreateFailure(fileName, errno);
  }
  if (FDescriptor < 0)
    throw CreateFailure(fileName, EEXIST);
  if (FHasMode)
    (void)::fchmod(FDescriptor, FMode);
}

TFileOutput::~TFileOutput() {
  if (FDescriptor >= 0)
    ::close(FDescriptor);
  if (!FCommitted && !FTemp.empty())
    ::unlink(FTemp.c_str());
}

void TFileOutput::Write(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(FDescriptor, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      throw CreateFailure(FFileName, errno);
    }
    done += static_cast<std::size_t>(n);
  }
}

void TFileOutput::Commit() {
  if (FDescriptor >= 0) {
    const int fd = FDescriptor;
    FDescriptor = -1;
    if (::close(fd) != 0)
      throw CreateFailure(FFileName, errno);
  }
  if (FHasMode)
    (void)::chmod(FTemp.c_str(), FMode); // a picture writer may have recreated the file
  if (::rename(FTemp.c_str(), FTarget.c_str()) != 0)
    throw CreateFailure(FFileName, errno);
  FCommitted = true;
}

void WriteStandardOutput(std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(STDOUT_FILENO, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      throw EFCreateError("Cannot write to standard output. " + std::string(std::strerror(errno)) + ".");
    }
    done += static_cast<std::size_t>(n);
  }
}

void WriteFileAtomically(const std::string &fileName, std::string_view bytes) {
  if (IsStandardOutput(fileName)) {
    WriteStandardOutput(bytes);
    return;
  }
  TFileOutput output(fileName);
  output.Write(bytes);
  output.Commit();
}

} // namespace tintwise
