// exchange_files_fuzz.cpp: the frame and instruction exchange files that
// join two demos, appended to a model as the combined demo is made. The
// input holds both files, split at the first NUL byte.
#include "demo/demo_model.h"
#include "studio/capture/demo_files.h"
#include "tests/fuzz/fuzz_support.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool folders = [] {
    std::snprintf(gProgramFolder, sizeof gProgramFolder, "%s/", fuzz::scratchFolder().c_str());
    ::mkdir((fuzz::scratchFolder() + "/Demos").c_str(), 0777);
    return ::mkdir(demoFolderPath("X").c_str(), 0777) == 0;
  }();
  if (!folders) std::abort();
  const uint8_t* split = static_cast<const uint8_t*>(std::memchr(data, 0, size));
  const size_t first = split != nullptr ? static_cast<size_t>(split - data) : size;
  fuzz::writeWhole(exchangeFramePath("X"), data, first);
  fuzz::writeWhole(exchangeInstrPath("X"), data + std::min(size, first + 1), size - std::min(size, first + 1));
  demoInitDatastores();
  readExchangeFiles("X");
  return 0;
}
