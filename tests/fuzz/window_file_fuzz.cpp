// window_file_fuzz.cpp: the recording's window file, as the abstraction
// reads it to find the crop.
#include "studio/capture/demo_files.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemoryFile file("window");
  std::vector<std::array<int32_t, 4>> rects;
  winReadRects(file.set(data, size), &rects);
  return 0;
}
