// Every file Tintwise reads or writes goes through here, so every front end and format refuses the
// same things in the same words: only regular files are read (a FIFO, a device or an endless stream
// is refused at once rather than read until memory runs out), every read has a cap, and writes
// replace their target in one step without ever turning a device or a link into a regular file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tintwise {

// Opens the file for reading after checking it is a regular file the user may read. Raises
// EFOpenError naming the file and the cause. Opening never blocks, even on a FIFO with no writer.
// Returns the open descriptor; the caller closes it (see TReadFile for an owning wrapper).
int OpenRegularFile(const std::string &fileName);

// The size of a regular file, raising EFOpenError as OpenRegularFile does.
std::uint64_t RegularFileSize(const std::string &fileName);

// The whole file. Raises EFOpenError when it is not a regular readable file or holds more than
// maxBytes ("... is larger than N bytes, the most a <what> can hold."), naming `what` when given.
std::string ReadWholeFile(const std::string &fileName, std::size_t maxBytes,
                          std::string_view what = {});

// At most the first maxBytes of the file (fewer when it is shorter).
std::string ReadFileHead(const std::string &fileName, std::size_t maxBytes);

// True when both names lead to the same file (device and inode), following links. False when
// either does not exist.
bool SameFile(const std::string &a, const std::string &b);

// True for the name that stands for standard output.
inline bool IsStandardOutput(std::string_view fileName) { return fileName == "-"; }

// Writes a file in one step. The constructor resolves the target (following a symbolic link to the
// file it names), refuses a target that exists and is not a regular file (a folder, a device, a
// FIFO) or that the user may not write, and a folder that does not exist; then creates a short
// hidden temporary file beside the target. Write the contents through TempPath() (a picture
// writer that wants a path) or Write(); Commit() renames the temporary file over the target,
// keeping the target's permissions. Destroying an uncommitted output removes its temporary file.
// Raises EFCreateError naming the file and the cause.
class TFileOutput {
public:
  explicit TFileOutput(const std::string &fileName);
  ~TFileOutput();
  TFileOutput(const TFileOutput &) = delete;
  TFileOutput &operator=(const TFileOutput &) = delete;

  // Checks, without creating anything, that fileName could be written as the constructor would.
  static void Check(const std::string &fileName);

  const std::string &FileName() const { return FFileName; }
  const std::string &TargetPath() const { return FTarget; }
  const std::string &TempPath() const { return FTemp; }
  // Appends bytes to the temporary file.
  void Write(std::string_view bytes);
  // Moves the finished file over the target; after this the destructor removes nothing.
  void Commit();

private:
  std::string FFileName; // as the user gave it, for messages
  std::string FTarget;   // the file that will be replaced, links followed
  std::string FTemp;
  int FDescriptor = -1;
  bool FCommitted = false;
  unsigned FMode = 0;
  bool FHasMode = false;
};

// Writes bytes to fileName in one step through TFileOutput, or to standard output for "-".
// Raises EFCreateError; a failed write to standard output (a full disk, a closed pipe) raises it too.
void WriteFileAtomically(const std::string &fileName, std::string_view bytes);

// Writes bytes to standard output, raising EFCreateError when they cannot all be written.
void WriteStandardOutput(std::string_view bytes);

} // namespace tintwise
