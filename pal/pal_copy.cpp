// pal_copy.cpp: copying and appending a file with progress, the same on
// every platform (C streams, chunks of 99,996 bytes).
#include "pal/pal.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

namespace {

constexpr size_t kCopyChunk = 99996;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Copies or appends source to destination; 0, or the number of the
// failure's message. Both files are closed when it returns.
int copyOrAppend(const char* source, const char* destination, int mode, std::atomic<int>* progress) {
  File out(std::fopen(destination, mode == 1 ? "ab" : "wb"));
  if (!out) return mode == 1 ? 2 : 4;
  File in(std::fopen(source, "rb"));
  if (!in) return 6;
  std::error_code error;
  const std::uintmax_t length = std::filesystem::file_size(source, error);
  const int64_t size = error ? 0 : static_cast<int64_t>(length);
  std::vector<char> chunk(kCopyChunk);
  int64_t done = 0;
  for (size_t got; !pal_StopRequested() && (got = std::fread(chunk.data(), 1, chunk.size(), in.get())) > 0;) {
    // A short write (a full disk) would leave a silently truncated copy.
    if (std::fwrite(chunk.data(), 1, got, out.get()) != got) return 8;
    done += static_cast<int64_t>(got);
    if (progress != nullptr && size > 0) *progress = static_cast<int>(done * 100 / size);
  }
  if (std::ferror(in.get())) return 7;
  if (std::fclose(out.release()) != 0) return 8;
  return 0;
}

}  // namespace

// The files are closed before a failure is raised: the fatal alert may end
// the process from the copying thread without unwinding it.
void pal_CopyOrAppendFile(const char* source, const char* destination, int mode, std::atomic<int>* progress) {
  const int failure = copyOrAppend(source, destination, mode, progress);
  if (failure == 0) return;
  char text[40];
  std::snprintf(text, sizeof text, "Unexpected Err PCOAF%02d", failure);
  pal_FatalAlert("Exiting...", text);
}
