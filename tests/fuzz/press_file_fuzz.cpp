// press_file_fuzz.cpp: the press side file of a capture or a demo. Every
// line it takes must be written back as a line that reads to the same
// object, and the file must never be read past a line's cap.
#include "studio/capture/press_objects.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemoryFile file("press");
  std::vector<PressObject> presses;
  if (!readPressFile(file.set(data, size), &presses)) std::abort();
  for (const PressObject& p : presses) {
    const std::string line = pressLine(p);
    PressObject back;
    if (line.size() < 2 || !readPressLine(line.substr(0, line.size() - 2), &back) || back.time != p.time ||
        back.role != p.role || back.name != p.name || std::memcmp(back.extents, p.extents, sizeof p.extents) != 0)
      std::abort();
  }
  return 0;
}
