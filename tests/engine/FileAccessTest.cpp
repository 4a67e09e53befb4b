#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

#include "engine/Errors.h"
#include "engine/FileAccess.h"
#include "tests/support/TestFiles.h"

using namespace tintwise;
namespace fs = std::filesystem;

namespace {

class FileAccess : public ::testing::Test {
protected:
  std::string Path(const std::string &name) const { return Dir.File(name); }
  std::string Write(const std::string &name, const std::string &bytes) const { return test::WriteText(Path(name), bytes); }
  // The names in the folder, hidden temporary files included.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto &entry : fs::directory_iterator(Dir.Path))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  test::TTempDir Dir;
};

} // namespace

TEST_F(FileAccess, ReadsRegularFilesUpToTheirCapAndRefusesToReadOrReplaceAnythingElse) {
  const std::string file = Write("a.cube", "0123456789");
  EXPECT_EQ(ReadWholeFile(file, 10), "0123456789");
  EXPECT_EQ(ReadFileHead(file, 4), "0123");
  EXPECT_EQ(ReadFileHead(file, 100), "0123456789");
  EXPECT_EQ(RegularFileSize(file), 10u);
  EXPECT_EQ(ReadWholeFile(Write("empty", ""), 0), "");

  fs::create_directory(Path("folder"));
  ASSERT_EQ(::mkfifo(Path("fifo").c_str(), 0600), 0);
  struct Case { std::string file; std::size_t cap; const char *what; std::string message; } cases[] = {
      {file, 9, "", "Cannot open file \"" + file + "\". It is larger than 9 bytes."},
      {file, 9, "a cube file", "Cannot open file \"" + file + "\". It is larger than 9 bytes, the most a cube file can hold."},
      {Path("missing"), 10, "", "Cannot open file \"" + Path("missing") + "\". The file does not exist."},
      {"/tw-missing", 10, "", "Cannot open file \"/tw-missing\". The file does not exist."},
      {Path("nowhere/missing"), 10, "", "Cannot open file \"" + Path("nowhere/missing") + "\". Its folder does not exist."},
      {Path("folder"), 10, "", "Cannot open file \"" + Path("folder") + "\". It is a folder, not a file."},
      {Path("fifo"), 10, "", "Cannot open file \"" + Path("fifo") + "\". It is a pipe, not a file."}, // and does not hang
      {"/dev/zero", 10, "", "Cannot open file \"/dev/zero\". It is a device, not a file."},
      {"", 10, "", "Cannot open file \"\". No file name was given."},
  };
  const auto descriptors = std::distance(fs::directory_iterator("/proc/self/fd"), {});
  for (const Case &c : cases)
    EXPECT_EQ(test::ErrorOf<EFOpenError>([&] { ReadWholeFile(c.file, c.cap, c.what); }), c.message);
  EXPECT_EQ(std::distance(fs::directory_iterator("/proc/self/fd"), {}), descriptors); // none left open

  // Nor is anything but a regular file or a new name replaced.
  fs::create_symlink("/dev/null", Path("null-link"));
  const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", Path("socket").c_str());
  ASSERT_EQ(::bind(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
  struct Refusal { std::string file; std::string cause; } refusals[] = {
      {Path("socket"), "It is a socket, not a file."},
      {Path("folder"), "It is a folder, not a file."},
      {Path("fifo"), "It is a pipe, not a file."},
      {"/dev/null", "It is a device, not a file."},
      {Path("null-link"), "It is a device, not a file."},
      {Path("nowhere/a.cube"), "Its folder does not exist."},
      {"", "No file name was given."},
  };
  for (const Refusal &c : refusals) {
    const std::string expected = "Cannot create file \"" + c.file + "\". " + c.cause;
    EXPECT_EQ(test::ErrorOf<EFCreateError>([&] { TFileOutput::Check(c.file); }), expected);
    // Writes take the same check; a device is only checked, so that a broken refusal run as root
    // cannot put a file in place of the system's /dev/null.
    if (c.cause.find("device") == std::string::npos) {
      EXPECT_EQ(test::ErrorOf<EFCreateError>([&] { WriteFileAtomically(c.file, "x"); }), expected);
    }
  }
  ::close(socket);
  EXPECT_TRUE(fs::is_fifo(Path("fifo")));
  EXPECT_TRUE(fs::is_character_file("/dev/null"));
  EXPECT_NO_THROW(TFileOutput::Check("-"));
  EXPECT_NO_THROW(TFileOutput::Check(Path("new.cube")));

  if (::geteuid() == 0)
    GTEST_SKIP() << "permissions do not stop root";
  const std::string locked = Write("locked.cube", "keep");
  ::chmod(locked.c_str(), 0444);
  EXPECT_EQ(test::ErrorOf<EFCreateError>([&] { WriteFileAtomically(locked, "x"); }),
            "Cannot create file \"" + locked + "\". You may not write to it.");
  EXPECT_EQ(test::ReadText(locked), "keep");
  fs::create_directory(Path("shut"));
  ::chmod(Path("shut").c_str(), 0555);
  EXPECT_EQ(test::ErrorOf<EFCreateError>([&] { WriteFileAtomically(Path("shut/a.cube"), "x"); }),
            "Cannot create file \"" + Path("shut/a.cube") + "\". You may not write to its folder.");
}

TEST_F(FileAccess, WritesInOneStepThroughLinksKeepingPermissions) {
  const std::string target = Write("target.cube", "old");
  ::chmod(target.c_str(), 0640);
  fs::create_symlink("target.cube", Path("link.cube")); // relative to the link's folder
  EXPECT_TRUE(SameFile(target, Path("link.cube")));
  EXPECT_TRUE(SameFile(target, Path("./target.cube")));
  EXPECT_FALSE(SameFile(target, Write("other.cube", "old")));
  EXPECT_FALSE(SameFile(target, Path("missing")));
  EXPECT_FALSE(SameFile(Path("missing"), Path("missing")));
  WriteFileAtomically(Path("link.cube"), "new contents");
  EXPECT_TRUE(fs::is_symlink(Path("link.cube")));
  EXPECT_EQ(test::ReadText(target), "new contents");
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  // Standard input must be open for the check below to mean anything.
  ASSERT_TRUE(::fcntl(0, F_GETFD) != -1 || ::open("/dev/null", O_RDONLY) == 0);
  const auto descriptors = std::distance(fs::directory_iterator("/proc/self/fd"), {});
  {
    TFileOutput output(Path("fresh.cube"));
    output.Write("abc");
    output.Write("def");
    EXPECT_FALSE(fs::exists(Path("fresh.cube"))); // nothing at the name until the commit
    EXPECT_EQ(fs::path(output.TempPath()).parent_path(), Dir.Path);
    EXPECT_EQ(fs::path(output.TempPath()).filename().string()[0], '.');
    output.Commit();
    EXPECT_EQ(std::distance(fs::directory_iterator("/proc/self/fd"), {}), descriptors); // closed at the commit
  }
  EXPECT_EQ(test::ReadText(Path("fresh.cube")), "abcdef");
  EXPECT_NE(::fcntl(0, F_GETFD), -1) << "a committed output closed standard input";
  {
    TFileOutput abandoned(Path("abandoned.cube"));
    abandoned.Write("partial");
  }
  EXPECT_EQ(Names(), (std::vector<std::string>{"fresh.cube", "link.cube", "other.cube", "target.cube"}));
}

// A write the system cuts short (here at the file size limit, 4096 bytes) is a failure with its
// reason, and the file in place is left as it was.
TEST_F(FileAccess, WritesCutShortFailAndStandardOutputTakesEveryByte) {
  const std::string old = Write("keep.cube", "old contents\n"), text(10000, 'x');
  std::fflush(stdout);
  const int saved = ::dup(1);
  ASSERT_GE(saved, 0);
  const int file = ::open(Path("stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(file, 1);
  ::close(file);
  struct rlimit limit {};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  struct rlimit small = limit;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const std::string cutFile = test::ErrorOf<EFCreateError>([&] { WriteFileAtomically(old, text); });
  const std::string cutOutput = test::ErrorOf<EFCreateError>([&] { WriteStandardOutput(text); });
  ::setrlimit(RLIMIT_FSIZE, &limit);
  std::signal(SIGXFSZ, oldHandler);
  WriteFileAtomically("-", text);
  WriteStandardOutput("!");
  ::dup2(saved, 1);
  ::close(saved);
  EXPECT_EQ(cutFile, "Cannot create file \"" + old + "\". File too large.");
  EXPECT_EQ(cutOutput, "Cannot write to standard output. File too large.");
  EXPECT_EQ(test::ReadText(old), "old contents\n");
  EXPECT_EQ(Names(), (std::vector<std::string>{"keep.cube", "stdout"}));
  EXPECT_EQ(test::ReadText(Path("stdout")), std::string(4096, 'x') + text + "!");
}
