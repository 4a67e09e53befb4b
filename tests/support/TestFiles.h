// Files for the tests: a temporary folder that goes with its contents, whole files read and written,
// and the message of the error an action raises.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

namespace tintwise::test {

class TTempDir {
public:
  TTempDir() {
    static int counter = 0;
    Path = std::filesystem::temp_directory_path() /
           ("tintwise-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(Path);
  }
  ~TTempDir() { // a test may have shut the folder
    std::error_code ec;
    std::filesystem::permissions(Path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(Path, ec);
  }
  std::string File(const std::string &name) const { return (Path / name).string(); }
  std::filesystem::path Path;
};

inline std::string WriteText(const std::string &file, const std::string &text) {
  std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
  return file;
}

inline std::string ReadText(const std::string &file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The message of the TError that f raises, or `none` when it raises none.
template <class TError = std::exception, class F> std::string ErrorOf(F f, const std::string &none = "") {
  try {
    f();
  } catch (const TError &e) {
    return e.what();
  }
  return none;
}

} // namespace tintwise::test
