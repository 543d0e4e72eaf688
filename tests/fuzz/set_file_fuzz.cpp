// set_file_fuzz.cpp: the Presenter's set file ("PMP_set.txt"), which names
// the package beside it.
#include "demo/demo_package.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string folder = fuzz::scratchFolder() + "/";
  fuzz::writeWhole(folder + "PMP_set.txt", data, size);
  char path[PKG_PATH_LEN];
  int32_t skip = 0;
  if (demoReadSetFile(folder.c_str(), path, &skip) == 1 && std::strlen(path) >= PKG_PATH_LEN) std::abort();
  return 0;
}
