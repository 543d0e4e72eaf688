// package_reader_fuzz.cpp: a package as the Presenter reads it: found
// behind a marker or standing alone, its header and flow data read into the
// model, then every frame decoded from the line tables and the pool. A
// damaged package ends with its fatal alert, which is observed here.
#include "demo/demo_frames.h"
#include "demo/demo_model.h"
#include "demo/demo_package.h"
#include "tests/fuzz/fuzz_support.h"

#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::MemoryFile file("package");
  const char* path = file.set(data, size);
  std::snprintf(gDemoFilePath, sizeof gDemoFilePath, "%s", path);
  const int64_t attached = demoFindAttachedPackage(path);
  demoInitDatastores();
  PkgProblem problem;
  if (!demoReadPackage(path, attached > 0 ? attached : 0, &problem)) return 0;
  // A frame larger than any screen would only measure the allocator.
  if (gCropSize[2] < 1 || gCropSize[3] < 1 || int64_t{gCropSize[2]} * gCropSize[3] > (int64_t{1} << 22)) return 0;
  pal_InitWinBuf(1, gCropSize[2], gCropSize[3]);
  fuzz::survivesFatal([] {
    for (int32_t f = 0; f < gFrameCount && f < 64; ++f) pkgFrameToBuff(f);
  });
  return 0;
}
