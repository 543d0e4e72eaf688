// examine_fuzz.cpp: the examiner's entry for each kind of file: the first
// byte chooses demo data, recording, package or wrapped file (or lets the
// examiner guess), the rest is the file. Whatever it holds, the examiner
// answers; its printout goes nowhere.
#include "tests/fuzz/fuzz_support.h"
#include "tools/examine.h"

#include <fcntl.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemoryFile file("examined");
  static const bool quiet = [] {
    const int null = ::open("/dev/null", O_WRONLY);
    return null >= 0 && ::dup2(null, 1) == 1;
  }();
  if (!quiet || size < 1) return 0;
  static const char* kKinds[] = {"dmd", "dmr", "package", "wrap", ""};
  const char* kind = kKinds[data[0] % 5];
  file.set(data + 1, size - 1);
  fuzz::survivesFatal([&] { examineFile(file.path(), kind); });
  return 0;
}
