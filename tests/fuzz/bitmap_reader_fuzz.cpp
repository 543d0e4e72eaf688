// bitmap_reader_fuzz.cpp: feeds arbitrary bytes to the bitmap reader of the
// editor's import, for a few frame sizes, and checks that an accepted file
// gives exactly a whole picture. Built only with clang (-fsanitize=fuzzer).
#include "studio/editor/bitmap_io.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int32_t sizes[][2] = {{4, 2}, {5, 3}, {1, 1}, {1022, 2}};
  for (const auto& s : sizes) {
    std::vector<unsigned char> bgr;
    if (bmpDecode(data, size, s[0], s[1], &bgr) == BmpCheck::Ok &&
        bgr.size() != static_cast<size_t>(s[0]) * s[1] * 3)
      std::abort();
  }
  return 0;
}
