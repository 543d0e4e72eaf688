// record_reader_fuzz.cpp: the authoring program's record reader walked
// over a whole recording, as the examiner and the paste do: every step must
// move forward or stop.
#include "studio/capture/demo_files.h"
#include "tests/fuzz/fuzz_support.h"

#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemoryFile file("recording");
  std::FILE* f = std::fopen(file.set(data, size), "rb");
  if (f == nullptr) std::abort();
  RecordLine r{};
  std::vector<unsigned char> pixels;
  for (int64_t at = 0, next; (next = recReadRecord(f, at, &r, &pixels)) >= 0; at = next) {
    if (next <= at || pixels.size() != static_cast<size_t>(r.w * r.h * 3)) std::abort();
    if (recReadRecord(f, at, &r, nullptr) != next) std::abort();
  }
  std::fclose(f);
  return 0;
}
