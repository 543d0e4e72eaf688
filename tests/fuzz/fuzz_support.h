// fuzz_support.h: what the harnesses share: the input as a file of its own
// (readers take paths and descriptors), and fatal alerts observed rather
// than ending the process.
#pragma once

#include "pal/pal.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

// Thrown by the fatal-alert hook: the reader gave up with its alert.
struct FatalAlertSeen {};

inline void throwFatal(const char*, const char*) { throw FatalAlertSeen{}; }

// Calls fn; true when it returned, false when it raised a fatal alert.
template <class F>
bool survivesFatal(F fn) {
  pal_SetFatalAlertHook(throwFatal);
  try {
    fn();
  } catch (const FatalAlertSeen&) {
    return false;
  }
  return true;
}

// A file in memory, rewritten for every input and named by a path that
// readers can open ("/proc/self/fd/N").
class MemoryFile {
 public:
  explicit MemoryFile(const char* name) : fd_(::memfd_create(name, 0)) {
    if (fd_ < 0) std::abort();
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  ~MemoryFile() { ::close(fd_); }
  // Replaces the contents with size bytes of data.
  const char* set(const uint8_t* data, size_t size) {
    if (::ftruncate(fd_, 0) != 0) std::abort();
    for (size_t done = 0; done < size;) {
      const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) std::abort();
      done += static_cast<size_t>(n);
    }
    return path_.c_str();
  }
  int fd() const { return fd_; }
  const char* path() const { return path_.c_str(); }

 private:
  int fd_;
  std::string path_;
};

// A folder of the harness's own under TMPDIR (or /tmp), made once.
inline const std::string& scratchFolder() {
  static const std::string folder = [] {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base ? base : "/tmp") + "/pictomira-fuzz-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return pattern;
  }();
  return folder;
}

// Writes size bytes of data to path; aborts when it cannot.
inline void writeWhole(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0) std::abort();
}

}  // namespace fuzz
